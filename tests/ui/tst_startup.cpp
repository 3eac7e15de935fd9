/* The program's start-up: the catalog chosen for a locale, the first log lines, the exit code when the
 * document cannot be created, and the real program from its window to the "Close" entry. */
#include <QDir>
#include <QGuiApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>

#include "documentfixture.h"
#include "mainwindow.h"
#include "runupdater.h"
#include "testsupport.h"

class TestStartup : public QObject
{
    Q_OBJECT
    QTemporaryDir temporary;
    QString logFolder;

    /* The first lines of an English start-up without a catalog, and the last,
     * from every log file (oldest day first) without the time prefix. */
    void verifyLog()
    {
        QStringList messages;
        for (const QFileInfo &log : QDir(logFolder).entryInfoList({"*_log.log"}, QDir::Files, QDir::Name)) {
            QFile file(log.filePath());
            QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
            messages += QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        }
        messages.replaceInStrings(QRegularExpression(QStringLiteral("^\\[..:..:..\\] ")), QString());
        QCOMPARE(messages.mid(0, 4), QStringList({"APP OPEN", "Translate: NG", "\"\"", "\"\""}));
        QCOMPARE(messages.value(messages.size() - 1), QStringLiteral("APP CLOSE"));
    }

    /* The program's window once it is on screen. */
    static QQuickWindow *shownWindow()
    {
        for (QWindow *window : QGuiApplication::topLevelWindows())
            if (window->isExposed())
                return qobject_cast<QQuickWindow *>(window);
        return nullptr;
    }

    /* Runs the program's start-up on this process's application object, with
     * the log handler it installs taken out again afterwards. */
    static int runProgram(const QUrl &document)
    {
        const QtMessageHandler testHandler = qInstallMessageHandler(nullptr);
        const int result = runUpdater(*qApp, document);
        qInstallMessageHandler(testHandler);
        return result;
    }

    /* Every property as "type name notify-signal", and every invokable's
     * signature, declared by the class itself. */
    static QStringList publishedInterface(const QMetaObject &meta)
    {
        QStringList items;
        for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
            const QMetaProperty property = meta.property(i);
            items << QStringLiteral("%1 %2 %3")
                         .arg(QLatin1String(property.typeName()), QLatin1String(property.name()),
                              QLatin1String(property.notifySignal().methodSignature()));
        }
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
            if (meta.method(i).methodType() == QMetaMethod::Method)
                items << QString::fromLatin1(meta.method(i).methodSignature());
        items.sort();
        return items;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(temporary.isValid());
        QCoreApplication::setOrganizationName(QStringLiteral("somename"));
        QStandardPaths::setTestModeEnabled(true);
        logFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        useOwnTemporaryFolder(temporary.filePath(QStringLiteral("tmp")));
        keepOffline();
    }
    void init() { QVERIFY(QDir(logFolder).removeRecursively()); }

    void controllerDoubleMatchesTheController()
    {
        // The document tests bind to the double; they only prove something
        // while it publishes exactly what the controller publishes.
        const QStringList published = publishedInterface(MainWindow::staticMetaObject);
        QVERIFY(published.contains(QStringLiteral("bool update changeUpdateEnable()")));
        QCOMPARE(publishedInterface(ControllerDouble::staticMetaObject), published);
    }

    void catalogForLocale_data()
    {
        QTest::addColumn<QString>("catalog");
        QTest::addColumn<QString>("language");
        // clang-format off
        QTest::newRow("ja_JP") << ":/Translation/translate_ja.qm" << "ja_JP";
        QTest::newRow("zh_TW") << ":/Translation/translate_zh.qm" << "zh_CN";
        QTest::newRow("de_CH") << ":/Translation/translate_de.qm" << "de_DE";
        QTest::newRow("en_US") << "" << "";
        QTest::newRow("pt_BR") << "" << "";
        // clang-format on
    }
    void catalogForLocale()
    {
        QFETCH(QString, catalog);
        QFETCH(QString, language);
        const bool found = !catalog.isEmpty();
        QTranslator translator;
        MessageLog log;
        QCOMPARE(installTranslation(*qApp, translator, QLatin1String(QTest::currentDataTag())), found);
        QCOMPARE(translator.filePath(), catalog);
        const QString quoted = QStringLiteral("\"%1\"");
        QCOMPARE(log.messages(), QStringList({found ? "Translate: OK" : "Translate: NG", quoted.arg(catalog),
                                              quoted.arg(language)}));
        // Installed only when found: the window's texts change language.
        QCOMPARE(QCoreApplication::translate("mainwindow", "Close") != QStringLiteral("Close"), found);
        QCoreApplication::removeTranslator(&translator);
    }

    void documentThatCannotBeCreatedEndsWithMinusOne_data()
    {
        QTest::addColumn<QUrl>("document");
        QTest::newRow("syntax error") << QUrl("qrc:/broken/mainwindow.qml");
        QTest::newRow("missing") << QUrl("qrc:/nowhere/mainwindow.qml");
        QTest::newRow("upper-case scheme") << QUrl("Qrc:/broken/mainwindow.qml", QUrl::TolerantMode);
    }
    void documentThatCannotBeCreatedEndsWithMinusOne()
    {
        QFETCH(QUrl, document);
        QCOMPARE(runProgram(document), -1);
        verifyLog();
    }

    void programShowsItsWindowAndClosesFromTheMenu()
    {
        QPointer<QQuickWindow> window;
        QString title, status, caption;
        // Runs inside the program's event loop: waits for the window, reads what
        // the real controller put into it and closes it through the menu.
        QTimer::singleShot(0, [&] {
            if (!QTest::qWaitFor([&] { return (window = shownWindow()) != nullptr; }))
                return QCoreApplication::exit(99);
            title = window->title();
            status = find(window, "statusText")->property("text").toString();
            caption = find(window, "updateCaption")->property("text").toString();
            if (!chooseMenu(window, QStringLiteral("App"), "closeItem"))
                QCoreApplication::exit(98);
        });
        int result = -2;
        const QByteArray printed = captureOutput(2, [&] { result = runProgram(documentUrl()); });
        QCOMPARE(result, 0);
        QVERIFY2(!printed.contains("TypeError"), printed.constData()); // the controller goes first
        QCOMPARE(title, QStringLiteral("SORAVE Veldracorder Q7 Firmware Updater"));
        QCOMPARE(status, QStringLiteral("Please connect the device."));
        QCOMPARE(caption, QStringLiteral("Start updating"));
        QVERIFY(!window);
        verifyLog();
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
