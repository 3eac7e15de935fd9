#include "tscatalog.h"

#include <QFile>
#include <QXmlStreamReader>

QString Catalog::translationOf(const QString &context, const QString &source) const
{
    for (const CatalogEntry &entry : entries) {
        if (entry.context == context && entry.source == source && entry.type.isEmpty())
            return entry.translation;
    }
    return QString();
}

static CatalogEntry readMessage(QXmlStreamReader &xml, const QString &context)
{
    CatalogEntry entry;
    entry.context = context;
    entry.numerus = xml.attributes().value("numerus") == QLatin1String("yes");
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("source")) {
            entry.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            entry.type = xml.attributes().value("type").toString();
            // A numerus translation holds <numerusform> children instead of text.
            entry.translation = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else {
            xml.skipCurrentElement();
        }
    }
    return entry;
}

static void readContext(QXmlStreamReader &xml, Catalog &catalog)
{
    QString name;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("name"))
            name = xml.readElementText();
        else if (xml.name() == QLatin1String("message"))
            catalog.entries.append(readMessage(xml, name));
        else
            xml.skipCurrentElement();
    }
}

Catalog readCatalog(const QString &path)
{
    Catalog catalog;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        catalog.error = path + ": " + file.errorString();
        return catalog;
    }
    QXmlStreamReader xml(&file);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("TS")) {
        catalog.error = path + ": not a translation catalog";
        return catalog;
    }
    catalog.language = xml.attributes().value("language").toString();
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("context"))
            readContext(xml, catalog);
        else
            xml.skipCurrentElement();
    }
    if (xml.hasError())
        catalog.error = QString("%1:%2: %3").arg(path).arg(xml.lineNumber()).arg(xml.errorString());
    return catalog;
}
