// The translation catalogs against the program: the same texts in the same
// contexts as the code, every one translated, on one line, in the language's
// own script and punctuated like the source.
#include <QDomDocument>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

using TextKey = QPair<QString, QString>; // context, source

// The window title used only on macOS, which this program is not built for:
// the code marks it translatable, the catalogs deliberately leave it out.
const TextKey kOutsideCatalogs{"mainwindow", "Veldracorder Q7 Firmware Updater"};

// The <message> elements of a Qt Linguist catalog (.ts); none when it cannot be read.
QDomNodeList messagesOf(const QString &path, QDomDocument &catalog)
{
    QFile file(path);
    QString error;
    int line = 0;
    if (!file.open(QIODevice::ReadOnly) || !catalog.setContent(&file, &error, &line))
        qWarning("%s:%d: %s %s", qPrintable(path), line, qPrintable(file.errorString()), qPrintable(error));
    return catalog.elementsByTagName(QStringLiteral("message"));
}

TextKey keyOf(const QDomElement &message)
{
    return {message.parentNode().firstChildElement(QStringLiteral("name")).text(),
            message.firstChildElement(QStringLiteral("source")).text()};
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
    static const QString ascii = ".?:", wide = QString::fromUtf8("。？：");
    const QChar last = text.trimmed().isEmpty() ? QChar() : text.trimmed().back();
    if (wide.contains(last))
        return ascii[wide.indexOf(last)];
    return ascii.contains(last) ? last : QChar();
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
        QVERIFY2(lupdate.waitForFinished(120000) && lupdate.exitStatus() == QProcess::NormalExit &&
                     lupdate.exitCode() == 0,
                 qPrintable(lupdate.errorString() + '\n' + lupdate.readAllStandardError()));
        QDomDocument code;
        const QDomNodeList messages = messagesOf(ts, code);
        for (int i = 0; i < messages.size(); ++i)
            codeTexts.insert(keyOf(messages.at(i).toElement()));
        codeTexts.remove(kOutsideCatalogs);
        QVERIFY(codeTexts.contains(TextKey("FWUpdateWorker", "Update error")));
    }

    void catalogTranslatesExactlyTheCodesTexts_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("tag");
        for (const char *tag : {"de_DE", "es_ES", "fr_FR", "it_IT", "ja_JP", "ko_KR", "zh_CN"})
            QTest::newRow(tag) << QString(tag).left(2) << tag;
    }
    void catalogTranslatesExactlyTheCodesTexts()
    {
        QFETCH(QString, code);
        QDomDocument catalog;
        const QDomNodeList messages =
            messagesOf(QStringLiteral(VZ_TS_DIR "/translate_%1.ts").arg(code), catalog);
        QTEST(catalog.documentElement().attribute("language"), "tag");
        // Words that the language really writes as English does.
        static const QSet<QString> englishWords{"de App", "de OK", "es Error", "es No", "fr OK",
                                                "it App", "it No", "it OK",    "ja OK"};
        static const QRegularExpression native("[\\x{3040}-\\x{30FF}\\x{AC00}-\\x{D7AF}\\x{4E00}-\\x{9FFF}]");
        const bool cjk = code == "ja" || code == "ko" || code == "zh";
        QSet<TextKey> held;
        for (int i = 0; i < messages.size(); ++i) {
            const TextKey key = keyOf(messages.at(i).toElement());
            const QDomElement translation = messages.at(i).firstChildElement(QStringLiteral("translation"));
            const QString text = translation.text(), type = translation.attribute("type");
            // A refresh may bring the macOS-only title in; it must stay untranslated.
            if (key == kOutsideCatalogs && type == "unfinished")
                continue;
            const QString where = QString("%1: \"%2\" -> \"%3\"").arg(key.first, key.second, text);
            QVERIFY2(!held.contains(key), qPrintable(where + " twice"));
            held.insert(key);
            QVERIFY2(type.isEmpty(), qPrintable(where + " is " + type));
            QVERIFY2(!text.trimmed().isEmpty(), qPrintable(where + " is empty"));
            QVERIFY2(!text.contains('\n') && !text.contains('\t'),
                     qPrintable(where + " breaks the line itself"));
            bool english = text == key.second && key.second.contains(QRegularExpression("\\p{L}"));
            if (cjk && text.contains(QRegularExpression("[A-Za-z]")))
                english = english || !text.contains(native);
            QVERIFY2(!english || englishWords.contains(code + ' ' + key.second),
                     qPrintable(where + " is left in English"));
            QVERIFY2(endingOf(text) == endingOf(key.second),
                     qPrintable(where + " ends with other punctuation than the source"));
        }
        QVERIFY2(held == codeTexts,
                 qPrintable("misses " + describe(codeTexts - held) +
                            "; has what the code does not use: " + describe(held - codeTexts)));
    }
};

QTEST_GUILESS_MAIN(TestCatalogs)
#include "tst_catalogs.moc"
