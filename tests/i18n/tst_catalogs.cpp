// The translation catalogs against the program: the same texts in the same
// contexts as the code, every one translated, on one line, in the language's
// own script and punctuated like the source.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace
{

struct Entry {
    QString context, source, translation;
    QString type; // the translation's type attribute: "", "unfinished",
                  // "vanished", "obsolete"
    bool numerus = false;
};
struct Catalog {
    QString language, error; // error: empty when the file was read completely
    QVector<Entry> entries;
};

// A Qt Linguist catalog (.ts), as lupdate writes it and lrelease reads it.
Catalog readCatalog(const QString &path)
{
    Catalog catalog;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, path + ": " + file.errorString(), {}};
    QXmlStreamReader xml(&file);
    QString context;
    Entry entry;
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
        const QStringRef name = xml.name();
        if (xml.isEndElement() && name == QLatin1String("message"))
            catalog.entries << entry;
        if (!xml.isStartElement())
            continue;
        if (name == QLatin1String("TS"))
            catalog.language = xml.attributes().value("language").toString();
        else if (name == QLatin1String("name"))
            context = xml.readElementText();
        else if (name == QLatin1String("message"))
            entry = {context, {}, {}, {}, xml.attributes().value("numerus") == QLatin1String("yes")};
        else if (name == QLatin1String("source"))
            entry.source = xml.readElementText();
        else if (name == QLatin1String("translation")) {
            entry.type = xml.attributes().value("type").toString();
            // A numerus translation holds <numerusform> children instead of text.
            entry.translation = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        }
    }
    if (xml.hasError())
        catalog.error = QString("%1:%2: %3").arg(path).arg(xml.lineNumber()).arg(xml.errorString());
    return catalog;
}

const char *const kLanguages[][2] = {{"de", "de_DE"}, {"es", "es_ES"}, {"fr", "fr_FR"}, {"it", "it_IT"},
                                     {"ja", "ja_JP"}, {"ko", "ko_KR"}, {"zh", "zh_CN"}}; // file suffix, tag

using TextKey = QPair<QString, QString>; // context, source

// The window title used only on macOS, which this program is not built for:
// the code marks it translatable, the catalogs deliberately leave it out.
const TextKey kOutsideCatalogs{"mainwindow", "Veldracorder Q7 Firmware Updater"};

// Words that the language really writes as English does.
bool sameAsEnglishIsRight(const QString &code, const QString &source)
{
    static const QSet<QString> words{"de App", "de OK", "es Error", "es No", "fr OK",
                                     "it App", "it No", "it OK",    "ja OK"};
    return words.contains(code + ' ' + source);
}

QString catalogPath(const QString &code)
{
    return QStringLiteral(VZ_TS_DIR "/translate_%1.ts").arg(code);
}

QString describe(const QSet<TextKey> &keys)
{
    QStringList lines;
    for (const TextKey &key : keys)
        lines << QString("%1: \"%2\"").arg(key.first, key.second);
    lines.sort();
    return lines.join("; ");
}

// The closing full stop, question mark or colon, the full-width ones read as
// their ASCII twins; a null character for none.
QChar endingOf(const QString &text)
{
    const QString t = text.trimmed();
    static const QString ascii = ".?:", wide = QString::fromUtf8("。？：");
    if (t.isEmpty())
        return {};
    if (wide.contains(t.back()))
        return ascii[wide.indexOf(t.back())];
    return ascii.contains(t.back()) ? t.back() : QChar();
}

} // namespace

class TestCatalogs : public QObject
{
    Q_OBJECT
    QSet<TextKey> codeTexts;

private slots:
    // Extracts the code's translatable texts the way update_translations does.
    void initTestCase()
    {
        QTemporaryDir dir;
        const QString ts = dir.filePath("code.ts");
        QProcess lupdate;
        lupdate.start(VZ_LUPDATE, QString(VZ_LUPDATE_OPTIONS).split('|') +
                                      QString(VZ_TRANSLATABLE_PATHS).split('|') +
                                      QStringList{"-silent", "-ts", ts});
        QVERIFY2(lupdate.waitForFinished(120000), qPrintable(lupdate.errorString()));
        QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
                 lupdate.readAllStandardError().constData());
        const Catalog code = readCatalog(ts);
        QVERIFY2(code.error.isEmpty(), qPrintable(code.error));
        for (const Entry &entry : code.entries)
            codeTexts.insert({entry.context, entry.source});
        codeTexts.remove(kOutsideCatalogs);
        QVERIFY(codeTexts.contains(TextKey("FWUpdateWorker", "Update error")));
    }

    void catalogTranslatesExactlyTheCodesTexts_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("tag");
        for (const auto &language : kLanguages)
            QTest::newRow(language[0]) << language[0] << language[1];
    }
    void catalogTranslatesExactlyTheCodesTexts()
    {
        QFETCH(QString, code);
        QFETCH(QString, tag);
        const Catalog catalog = readCatalog(catalogPath(code));
        QVERIFY2(catalog.error.isEmpty(), qPrintable(catalog.error));
        QCOMPARE(catalog.language, tag);
        static const QRegularExpression native("[\\x{3040}-\\x{30FF}\\x{AC00}-\\x{D7AF}\\x{4E00}-\\x{9FFF}]");
        const bool cjk = code == "ja" || code == "ko" || code == "zh";
        QSet<TextKey> held;
        for (const Entry &entry : catalog.entries) {
            const TextKey key{entry.context, entry.source};
            // A refresh may bring the macOS-only title in; it must stay untranslated.
            if (key == kOutsideCatalogs && entry.type == "unfinished")
                continue;
            const QString where =
                QString("%1: \"%2\" -> \"%3\"").arg(entry.context, entry.source, entry.translation);
            QVERIFY2(!held.contains(key), qPrintable(where + " twice"));
            held.insert(key);
            QVERIFY2(entry.type.isEmpty(), qPrintable(where + " is " + entry.type));
            QVERIFY2(!entry.numerus, qPrintable(where + " has plural forms"));
            QVERIFY2(!entry.translation.trimmed().isEmpty(), qPrintable(where + " is empty"));
            QVERIFY2(!entry.translation.contains('\n') && !entry.translation.contains('\t'),
                     qPrintable(where + " breaks the line itself"));
            bool english =
                entry.translation == entry.source && entry.source.contains(QRegularExpression("\\p{L}"));
            if (cjk && entry.translation.contains(QRegularExpression("[A-Za-z]")))
                english = english || !entry.translation.contains(native);
            QVERIFY2(!english || sameAsEnglishIsRight(code, entry.source),
                     qPrintable(where + " is left in English"));
            QVERIFY2(endingOf(entry.translation) == endingOf(entry.source),
                     qPrintable(where + " ends with other punctuation than the source"));
        }
        QVERIFY2((codeTexts - held).isEmpty(),
                 qPrintable("does not translate: " + describe(codeTexts - held)));
        QVERIFY2((held - codeTexts).isEmpty(),
                 qPrintable("has texts the code does not use: " + describe(held - codeTexts)));
    }
};

QTEST_GUILESS_MAIN(TestCatalogs)
#include "tst_catalogs.moc"
