// The translation catalogs against the program: the same texts in the same
// contexts as the code, every one translated, and the pieces of composed
// sentences fitting together.
#include "tscatalog.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
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

using TextKey = QPair<QString, QString>; // context, source

// The window title used only on macOS, which this program is not built for:
// the code marks it translatable, the catalogs deliberately leave it out.
const TextKey kOutsideCatalogs{"mainwindow", "Veldracorder Q7 Firmware Updater"};

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

    QSet<TextKey> codeTexts;

    static void addLanguages()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("tag");
        for (const Language &language : kLanguages)
            QTest::newRow(language.code) << language.code << language.tag;
    }

private slots:
    // Extracts the code's translatable texts the way update_translations does.
    void initTestCase()
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
        const Catalog code = readCatalog(ts);
        QVERIFY2(code.error.isEmpty(), qPrintable(code.error));
        for (const CatalogEntry &entry : code.entries)
            codeTexts.insert({entry.context, entry.source});
        codeTexts.remove(kOutsideCatalogs);
        QVERIFY(codeTexts.contains(TextKey("FWUpdateWorker", "Update error")));
    }

    void catalogTranslatesExactlyTheCodesTexts_data() { addLanguages(); }
    // Each text once, finished, on one line, in the language's own script and
    // punctuated like the source.
    void catalogTranslatesExactlyTheCodesTexts()
    {
        QFETCH(QString, code);
        QFETCH(QString, tag);
        const Catalog catalog = readCatalog(catalogPath(code));
        QVERIFY2(catalog.error.isEmpty(), qPrintable(catalog.error));
        QCOMPARE(catalog.language, tag);
        QSet<TextKey> held;
        for (const CatalogEntry &entry : catalog.entries) {
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
            if (entry.translation == entry.source)
                QVERIFY2(!hasLetter(entry.source) || sameAsEnglishIsRight(code, entry.source),
                         qPrintable(where + " is left in English"));
            if (isCjk(code) && entry.translation.contains(QRegularExpression("[A-Za-z]")))
                QVERIFY2(hasNativeCjk(entry.translation) || sameAsEnglishIsRight(code, entry.source),
                         qPrintable(where + " is left in English"));
            QVERIFY2(endingOf(entry.translation) == endingOf(entry.source),
                     qPrintable(where + " ends with other punctuation than the source"));
        }
        QVERIFY2((codeTexts - held).isEmpty(),
                 qPrintable("does not translate: " + describe(codeTexts - held)));
        QVERIFY2((held - codeTexts).isEmpty(),
                 qPrintable("has texts the code does not use: " + describe(held - codeTexts)));
    }

    void composedMessagesReadRight_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("composition");
        for (const Language &language : kLanguages) {
            for (int i = 0; i < compositions().size(); ++i)
                QTest::addRow("%s %s", language.code, compositions()[i].name) << language.code << i;
        }
    }
    void composedMessagesReadRight()
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
            QVERIFY2(!line.isEmpty() && line == line.trimmed(),
                     qPrintable("blank at a line's edge in " + shown));
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
};

QTEST_GUILESS_MAIN(TestCatalogs)
#include "tst_catalogs.moc"
