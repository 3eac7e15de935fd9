#ifndef TSCATALOG_H
#define TSCATALOG_H

#include <QString>
#include <QVector>

// One <message> of a Qt Linguist catalog.
struct CatalogEntry {
    QString context;
    QString source;
    QString translation;
    QString type; // the translation's type attribute: "", "unfinished", "vanished", "obsolete"
    bool numerus = false;
};

// A whole Qt Linguist catalog (.ts), as lupdate writes it and lrelease reads it.
struct Catalog {
    QString language;
    QVector<CatalogEntry> entries;
    QString error; // empty when the file was read completely

    // The finished translation of a text, or a null string when there is none.
    QString translationOf(const QString &context, const QString &source) const;
};

Catalog readCatalog(const QString &path);

#endif
