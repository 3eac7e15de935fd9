// The translation catalogs against the program: the same texts in the same
// contexts as the code, every one translated, the pieces of composed
// sentences fitting together, and the compiled catalogs found by locale.
#include "tscatalog.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <functional>

namespace
{

struct Language {
    const char *code; // file name suffix
    const char *tag;  // the catalog's language attribute
};
const Language kLanguages[] = {{"de", "de_DE"}, {"es", "es_ES"}, {"fr", "fr_FR"}, {"it", "it_IT"},
                               {"ja", "ja_JP"}, {"ko", "ko_KR"}, {"zh", "zh_CN"}};

struct Text {
    const char *context;
    const char *source;
};

// Every text the program translates; the catalogs carry exactly these.
const Text kProgramTexts[] = {
    {"FWUpdateWorker", "Update complete"},
    {"FWUpdateWorker", "Update error"},
    {"FWUpdateWorker", "Updating..."},
    {"MainWindow", " to "},
    {"MainWindow", "?"},
    {"MainWindow", "An error occurred while updating."},
    {"MainWindow", "Device recognition failed."},
    {"MainWindow", "Do not turn off the unit's power"},
    {"MainWindow", "Install batteries that have enough remaining charge."},
    {"MainWindow", "Please connect the device."},
    {"MainWindow", "Please connect to the Internet."},
    {"MainWindow", "Please reinstall the app."},
    {"MainWindow", "Please use the correct file."},
    {"MainWindow", "Restart the device's power once and try again."},
    {"MainWindow", "Start updating"},
    {"MainWindow", "Stop operation as an SD card reader."},
    {"MainWindow", "Stop recording and playback."},
    {"MainWindow", "The latest firmware is available for update."},
    {"MainWindow", "This firmware cannot be used to update this device."},
    {"MainWindow", "This is the latest firmware."},
    {"MainWindow", "Update complete"},
    {"MainWindow", "Update the firmware from "},
    {"MainWindow", "Updating to an older firmware version"},
    {"MainWindow", "Updating to an older firmware version is not possible."},
    {"MainWindow", "Updating will start."},
    {"MainWindow", "Updating..."},
    {"MainWindow", "during the update."},
    {"MainWindow", "is not possible."},
    {"mainwindow", "About this app"},
    {"mainwindow", "App"},
    {"mainwindow", "Back"},
    {"mainwindow", "Close"},
    {"mainwindow", "Current:"},
    {"mainwindow", "Downloaded:"},
    {"mainwindow", "Error"},
    {"mainwindow", "Firmware Version"},
    {"mainwindow", "Help"},
    {"mainwindow", "Information"},
    {"mainwindow", "Latest:"},
    {"mainwindow", "License"},
    {"mainwindow", "No"},
    {"mainwindow", "OK"},
    {"mainwindow", "Release notes"},
    {"mainwindow", "Select the firmware file"},
    {"mainwindow", "Serial number"},
    {"mainwindow", "SORAVE Veldracorder Q7 Firmware Updater"},
    {"mainwindow", "Yes"},
};

// The window title used only on macOS, which this program is not built for:
// the code marks it translatable, the catalogs deliberately leave it out.
const Text kOutsideCatalogs[] = {{"mainwindow", "Veldracorder Q7 Firmware Updater"}};

// Words that the language really writes as English does.
struct SameWord {
    const char *language;
    const char *source;
};
const SameWord kSameAsEnglish[] = {{"de", "App"}, {"de", "OK"}, {"es", "Error"}, {"es", "No"}, {"fr", "OK"},
                                   {"it", "App"}, {"it", "No"}, {"it", "OK"},    {"ja", "OK"}};

bool sameAsEnglishIsRight(const QString &code, const QString &source)
{
    for (const SameWord &word : kSameAsEnglish) {
        if (code == word.language && source == word.source)
            return true;
    }
    return false;
}

using TextKey = QPair<QString, QString>; // context, source

template <size_t N> QSet<TextKey> keysOf(const Text (&texts)[N])
{
    QSet<TextKey> keys;
    for (const Text &text : texts)
        keys.insert({text.context, text.source});
    return keys;
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

bool isCjk(const QString &code)
{
    return code == "ja" || code == "ko" || code == "zh";
}

bool hasLetter(const QString &text)
{
    for (QChar c : text) {
        if (c.isLetter())
            return true;
    }
    return false;
}

// Kana, Hangul or CJK ideographs.
bool hasNativeCjk(const QString &text)
{
    static const QRegularExpression native("[\\x{3040}-\\x{30FF}\\x{AC00}-\\x{D7AF}\\x{4E00}-\\x{9FFF}]");
    return text.contains(native);
}

enum class Ending { None, FullStop, Question, Colon };

Ending endingOf(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return Ending::None;
    switch (t.back().unicode()) {
    case '.':
    case 0x3002: // ideographic full stop
        return Ending::FullStop;
    case '?':
    case 0xFF1F: // full-width question mark
        return Ending::Question;
    case ':':
    case 0xFF1A: // full-width colon
        return Ending::Colon;
    default:
        return Ending::None;
    }
}

using Translate = std::function<QString(const char *)>;

// The composed messages, put together exactly as the controller builds them.
struct Composition {
    const char *name;
    QStringList versions;
    std::function<QString(const Translate &)> compose;
};

const QVector<Composition> &compositions()
{
    static const QVector<Composition> all = {
        {"update question",
         {"V1.00", "V1.02"},
         [](const Translate &tr) {
             return tr("Update the firmware from ") + "V1.00" + tr(" to ") + "V1.02" + tr("?");
         }},
        {"downgrade refusal",
         {"V1.02", "V1.01"},
         [](const Translate &tr) {
             return tr("Updating to an older firmware version") + "\n(V1.02" + tr(" to ") + "V1.01" + ")" +
                    tr("is not possible.");
         }},
        {"power warning",
         {},
         [](const Translate &tr) {
             return tr("Updating will start.") + "\n" + tr("Do not turn off the unit's power") + "\n" +
                    tr("during the update.");
         }},
        {"device recognition",
         {},
         [](const Translate &tr) {
             return tr("Device recognition failed.") + "\n" +
                    tr("Restart the device's power once and try again.");
         }},
    };
    return all;
}

} // namespace

class TestCatalogs : public QObject
{
    Q_OBJECT

private:
    Catalog codeTexts;

private slots:
    void initTestCase();

    void catalogsCarryExactlyTheProgramTexts_data();
    void catalogsCarryExactlyTheProgramTexts();
    void everyEntryIsTranslated_data();
    void everyEntryIsTranslated();
    void composedMessagesReadRight_data();
    void composedMessagesReadRight();
    void compiledCatalogsMatchTheirSources_data();
    void compiledCatalogsMatchTheirSources();
    void systemLocaleFindsItsCatalog_data();
    void systemLocaleFindsItsCatalog();
    void codeAndCatalogsAgree_data();
    void codeAndCatalogsAgree();
};

// Extracts the code's translatable texts the way update_translations does.
void TestCatalogs::initTestCase()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ts = dir.filePath("code.ts");
    QStringList args = QString(VZ_LUPDATE_OPTIONS).split('|');
    args << QString(VZ_TRANSLATABLE_PATHS).split('|') << "-silent"
         << "-ts" << ts;
    QProcess lupdate;
    lupdate.start(VZ_LUPDATE, args);
    QVERIFY2(lupdate.waitForFinished(120000), qPrintable(lupdate.errorString()));
    QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
             lupdate.readAllStandardError().constData());
    codeTexts = readCatalog(ts);
    QVERIFY2(codeTexts.error.isEmpty(), qPrintable(codeTexts.error));
}

void TestCatalogs::catalogsCarryExactlyTheProgramTexts_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("tag");
    for (const Language &language : kLanguages)
        QTest::newRow(language.code) << language.code << language.tag;
}

void TestCatalogs::catalogsCarryExactlyTheProgramTexts()
{
    QFETCH(QString, code);
    QFETCH(QString, tag);
    const Catalog catalog = readCatalog(catalogPath(code));
    QVERIFY2(catalog.error.isEmpty(), qPrintable(catalog.error));
    QCOMPARE(catalog.language, tag);

    QSet<TextKey> held;
    for (const CatalogEntry &entry : catalog.entries) {
        const TextKey key{entry.context, entry.source};
        QVERIFY2(!held.contains(key), qPrintable("twice: " + describe({key})));
        // A refresh may bring the macOS-only title in; it must stay untranslated.
        if (keysOf(kOutsideCatalogs).contains(key) && entry.type == "unfinished")
            continue;
        held.insert(key);
    }
    const QSet<TextKey> wanted = keysOf(kProgramTexts);
    QVERIFY2((wanted - held).isEmpty(), qPrintable("missing: " + describe(wanted - held)));
    QVERIFY2((held - wanted).isEmpty(), qPrintable("not a program text: " + describe(held - wanted)));
}

void TestCatalogs::everyEntryIsTranslated_data()
{
    catalogsCarryExactlyTheProgramTexts_data();
}

void TestCatalogs::everyEntryIsTranslated()
{
    QFETCH(QString, code);
    const Catalog catalog = readCatalog(catalogPath(code));
    QVERIFY2(catalog.error.isEmpty(), qPrintable(catalog.error));
    for (const CatalogEntry &entry : catalog.entries) {
        if (keysOf(kOutsideCatalogs).contains({entry.context, entry.source}))
            continue;
        const QString where =
            QString("%1: \"%2\" -> \"%3\"").arg(entry.context, entry.source, entry.translation);
        QVERIFY2(entry.type.isEmpty(), qPrintable(where + " is " + entry.type));
        QVERIFY2(!entry.numerus, qPrintable(where + " has plural forms"));
        QVERIFY2(!entry.translation.trimmed().isEmpty(), qPrintable(where + " is empty"));
        QVERIFY2(!entry.translation.contains('\n') && !entry.translation.contains('\t'),
                 qPrintable(where + " breaks the line itself"));
        if (entry.translation == entry.source)
            QVERIFY2(!hasLetter(entry.source) || sameAsEnglishIsRight(code, entry.source),
                     qPrintable(where + " is left in English"));
        if (isCjk(code) && entry.translation.contains(QRegularExpression("[A-Za-z]")))
            QVERIFY2(hasNativeCjk(entry.translation) || sameAsEnglishIsRight(code, entry.source),
                     qPrintable(where + " is left in English"));
        QVERIFY2(endingOf(entry.translation) == endingOf(entry.source),
                 qPrintable(where + " ends with other punctuation than the source"));
    }
}

void TestCatalogs::composedMessagesReadRight_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("composition");
    for (const Language &language : kLanguages) {
        for (int i = 0; i < compositions().size(); ++i)
            QTest::addRow("%s %s", language.code, compositions()[i].name) << language.code << i;
    }
}

void TestCatalogs::composedMessagesReadRight()
{
    QFETCH(QString, code);
    QFETCH(int, composition);
    const Catalog catalog = readCatalog(catalogPath(code));
    QVERIFY2(catalog.error.isEmpty(), qPrintable(catalog.error));
    QStringList missing;
    const Translate tr = [&](const char *source) {
        const QString text = catalog.translationOf("MainWindow", source);
        if (text.isNull())
            missing << source;
        return text;
    };
    const Composition &c = compositions()[composition];
    const QString message = c.compose(tr);
    QVERIFY2(missing.isEmpty(), qPrintable("no translation for: " + missing.join(" | ")));

    const QString shown = "\"" + message + "\"";
    for (const QString &line : message.split('\n'))
        QVERIFY2(!line.isEmpty() && line == line.trimmed(), qPrintable("blank at a line's edge in " + shown));
    QVERIFY2(!message.contains("  "), qPrintable("double blank in " + shown));
    for (const QString &version : c.versions)
        QVERIFY2(message.count(version) == 1, qPrintable(version + " is not shown once in " + shown));
    // Words of alphabetic scripts need a blank between them and the numbers or the parenthesis.
    static const QRegularExpression runTogether(
        "\\p{Latin}V\\d\\.\\d\\d|V\\d\\.\\d\\d\\p{Latin}|\\)\\p{Latin}");
    QVERIFY2(!message.contains(runTogether), qPrintable("words run together in " + shown));
    QVERIFY2(endingOf(message) == Ending::FullStop || endingOf(message) == Ending::Question,
             qPrintable("no closing punctuation in " + shown));
}

void TestCatalogs::compiledCatalogsMatchTheirSources_data()
{
    catalogsCarryExactlyTheProgramTexts_data();
}

void TestCatalogs::compiledCatalogsMatchTheirSources()
{
    QFETCH(QString, code);
    QFETCH(QString, tag);
    const Catalog catalog = readCatalog(catalogPath(code));
    QVERIFY2(catalog.error.isEmpty(), qPrintable(catalog.error));
    QTranslator translator;
    QVERIFY(translator.load(":/Translation/translate_" + code + ".qm"));
    QCOMPARE(translator.language(), tag);
    for (const CatalogEntry &entry : catalog.entries) {
        if (!entry.type.isEmpty())
            continue;
        const QByteArray context = entry.context.toUtf8();
        const QByteArray source = entry.source.toUtf8();
        QCOMPARE(translator.translate(context.constData(), source.constData()), entry.translation);
    }
}

void TestCatalogs::systemLocaleFindsItsCatalog_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("file"); // empty: no catalog, English texts
    QTest::newRow("ja_JP") << "ja_JP"
                           << "translate_ja.qm";
    QTest::newRow("zh_CN") << "zh_CN"
                           << "translate_zh.qm";
    QTest::newRow("zh_TW") << "zh_TW"
                           << "translate_zh.qm";
    QTest::newRow("de_CH") << "de_CH"
                           << "translate_de.qm";
    QTest::newRow("de_AT") << "de_AT"
                           << "translate_de.qm";
    QTest::newRow("es_MX") << "es_MX"
                           << "translate_es.qm";
    QTest::newRow("fr_CA") << "fr_CA"
                           << "translate_fr.qm";
    QTest::newRow("it_CH") << "it_CH"
                           << "translate_it.qm";
    QTest::newRow("ko_KR") << "ko_KR"
                           << "translate_ko.qm";
    QTest::newRow("en_US") << "en_US" << QString();
    QTest::newRow("pt_BR") << "pt_BR" << QString();
    QTest::newRow("nl_NL") << "nl_NL" << QString();
}

// The program loads "translate_" + the locale's name from :/Translation.
void TestCatalogs::systemLocaleFindsItsCatalog()
{
    QFETCH(QString, locale);
    QFETCH(QString, file);
    QTranslator translator;
    const bool loaded = translator.load("translate_" + locale, ":/Translation");
    QCOMPARE(loaded, !file.isEmpty());
    if (loaded)
        QCOMPARE(translator.filePath(), ":/Translation/" + file);
}

void TestCatalogs::codeAndCatalogsAgree_data()
{
    QTest::addColumn<QString>("context");
    for (const char *context : {"FWUpdateWorker", "MainWindow", "mainwindow"})
        QTest::newRow(context) << context;
}

void TestCatalogs::codeAndCatalogsAgree()
{
    QFETCH(QString, context);
    QSet<TextKey> inCode;
    QSet<QString> contexts;
    for (const CatalogEntry &entry : codeTexts.entries) {
        contexts.insert(entry.context);
        if (entry.context == context)
            inCode.insert({entry.context, entry.source});
    }
    QSet<QString> known;
    for (const Text &text : kProgramTexts)
        known.insert(text.context);
    QVERIFY2((contexts - known).isEmpty(),
             qPrintable("the code translates in contexts that no catalog has: " +
                        (contexts - known).values().join(", ")));
    inCode -= keysOf(kOutsideCatalogs);

    for (const Language &language : kLanguages) {
        const Catalog catalog = readCatalog(catalogPath(language.code));
        QVERIFY2(catalog.error.isEmpty(), qPrintable(catalog.error));
        QSet<TextKey> inCatalog;
        for (const CatalogEntry &entry : catalog.entries) {
            if (entry.context == context && entry.type.isEmpty())
                inCatalog.insert({entry.context, entry.source});
        }
        const QString name = QString("translate_%1.ts").arg(language.code);
        QVERIFY2((inCode - inCatalog).isEmpty(),
                 qPrintable(name + " does not translate: " + describe(inCode - inCatalog)));
        QVERIFY2((inCatalog - inCode).isEmpty(),
                 qPrintable(name + " has texts the code no longer uses: " + describe(inCatalog - inCode)));
    }
}

QTEST_GUILESS_MAIN(TestCatalogs)
#include "tst_catalogs.moc"
