/* The program's start-up: the catalog chosen for a locale, the resources it
 * carries, the first log lines, the exit code when the document cannot be
 * created, and the real program from its window to the "Close" entry. */
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QResource>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

#include "controllerdouble.h"
#include "mainwindow.h"
#include "runupdater.h"
#include "startup.h"
#include "testsupport.h"
#include "updateserver.h"
#include "windowdriver.h"

namespace
{

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

/* The messages of every log file in folder, oldest day first, without the
 * time prefix "[hh:mm:ss] ". */
QStringList loggedMessages(const QString &folder)
{
    QStringList messages;
    const QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("*_log.log")}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        for (const QString &line :
             QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            messages << line.mid(QStringLiteral("[hh:mm:ss] ").size());
    }
    return messages;
}

/* Notes every window that reaches the screen while it lives. */
class WindowWatcher : public QObject
{
public:
    WindowWatcher() { qApp->installEventFilter(this); }
    ~WindowWatcher() override { qApp->removeEventFilter(this); }
    QStringList shown;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && watched->isWindowType()) {
            auto *window = static_cast<QWindow *>(watched);
            if (window->isExposed() && !shown.contains(window->title()))
                shown << window->title();
        }
        return false;
    }
};

QQuickWindow *programWindow()
{
    for (QWindow *window : QGuiApplication::topLevelWindows())
        if (window->objectName() == QLatin1String("mainWindow"))
            return qobject_cast<QQuickWindow *>(window);
    return nullptr;
}

/* Runs the program's start-up on this process's application object, with
 * the log handler it installs taken out again afterwards. */
int runProgram(const QUrl &document)
{
    const QtMessageHandler testHandler = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(testHandler);
    const int result = runUpdater(*qApp, document);
    qInstallMessageHandler(testHandler);
    return result;
}

/* Every property as "type name notify-signal", and every invokable's
 * signature, declared by the class itself. */
QStringList publishedInterface(const QMetaObject &meta)
{
    QStringList items;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        items << QStringLiteral("property %1 %2 %3")
                     .arg(QLatin1String(property.typeName()), QLatin1String(property.name()),
                          QLatin1String(property.notifySignal().methodSignature()));
    }
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.methodType() == QMetaMethod::Method && method.access() == QMetaMethod::Public)
            items << QStringLiteral("invokable ") + QLatin1String(method.methodSignature());
    }
    items.sort();
    return items;
}

const char *const startLinesInEnglish[] = {"APP OPEN", "Translate: NG", "\"\"", "\"\""};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void documentAddress();
    void controllerDoubleMatchesTheController();
    void catalogForLocale_data();
    void catalogForLocale();
    void resourceLayout_data();
    void resourceLayout();
    void documentThatCannotBeCreatedEndsWithMinusOne_data();
    void documentThatCannotBeCreatedEndsWithMinusOne();
    void programShowsItsWindowAndClosesFromTheMenu();
    void executableStartsInTheUsersLanguage();
    void executableCarriesTheSampleImage();

private:
    QTemporaryDir temporary;
    QString logFolder;
    void verifyStartLines(const QStringList &messages);
};

void TestStartup::initTestCase()
{
    QVERIFY(temporary.isValid());
    QCoreApplication::setOrganizationName(QStringLiteral("somename"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("somename"));
    QStandardPaths::setTestModeEnabled(true);
    logFolder = QStandardPaths::standardLocations(QStandardPaths::AppDataLocation).value(0);
    QVERIFY(!logFolder.isEmpty());
    useOwnTemporaryFolder(temporary.filePath(QStringLiteral("tmp")));
    // Nothing that the controller asks the network for may leave this machine.
    qputenv("VZ_UPDATE_INFO_URL", "http://127.0.0.1:9/none.json");
}

void TestStartup::init()
{
    QVERIFY(QDir(logFolder).removeRecursively());
}

void TestStartup::verifyStartLines(const QStringList &messages)
{
    QVERIFY2(messages.size() >= 5, qPrintable(messages.join(QLatin1Char('|'))));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(messages.at(i), QLatin1String(startLinesInEnglish[i]));
    QCOMPARE(messages.last(), QStringLiteral("APP CLOSE"));
}

void TestStartup::documentAddress()
{
    const QUrl url = documentUrl();
    QCOMPARE(url.scheme(), QStringLiteral("qrc"));
    QCOMPARE(url, QUrl(QStringLiteral("qrc:/mainwindow.qml")));
    QVERIFY(QFile::exists(QStringLiteral(":/mainwindow.qml")));
}

void TestStartup::controllerDoubleMatchesTheController()
{
    // The document tests bind to the double; they only prove something
    // while it publishes exactly what the controller publishes.
    const QStringList published = publishedInterface(MainWindow::staticMetaObject);
    QVERIFY(published.contains(QStringLiteral("property bool update changeUpdateEnable()")));
    QCOMPARE(publishedInterface(ControllerDouble::staticMetaObject), published);
}

void TestStartup::catalogForLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("catalog");
    QTest::addColumn<QString>("language");

    QTest::newRow("ja_JP") << "ja_JP"
                           << ":/Translation/translate_ja.qm"
                           << "ja_JP";
    QTest::newRow("zh_TW") << "zh_TW"
                           << ":/Translation/translate_zh.qm"
                           << "zh_CN";
    QTest::newRow("zh_CN") << "zh_CN"
                           << ":/Translation/translate_zh.qm"
                           << "zh_CN";
    QTest::newRow("de_CH") << "de_CH"
                           << ":/Translation/translate_de.qm"
                           << "de_DE";
    QTest::newRow("de_AT") << "de_AT"
                           << ":/Translation/translate_de.qm"
                           << "de_DE";
    QTest::newRow("ko_KR") << "ko_KR"
                           << ":/Translation/translate_ko.qm"
                           << "ko_KR";
    QTest::newRow("fr_CA") << "fr_CA"
                           << ":/Translation/translate_fr.qm"
                           << "fr_FR";
    QTest::newRow("es_MX") << "es_MX"
                           << ":/Translation/translate_es.qm"
                           << "es_ES";
    QTest::newRow("it_IT") << "it_IT"
                           << ":/Translation/translate_it.qm"
                           << "it_IT";
    QTest::newRow("en_US") << "en_US"
                           << ""
                           << "";
    QTest::newRow("pt_BR") << "pt_BR"
                           << ""
                           << "";
    QTest::newRow("nl_NL") << "nl_NL"
                           << ""
                           << "";
    QTest::newRow("C") << "C"
                       << ""
                       << "";
}

void TestStartup::catalogForLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, catalog);
    QFETCH(QString, language);
    const bool found = !catalog.isEmpty();

    QTranslator translator;
    QStringList messages;
    {
        MessageLog log;
        QCOMPARE(installTranslation(*qApp, translator, locale), found);
        messages = log.messages();
    }
    QCOMPARE(translator.filePath(), catalog);
    QCOMPARE(translator.language(), language);
    const QStringList expected{found ? QStringLiteral("Translate: OK") : QStringLiteral("Translate: NG"),
                               quoted(catalog), quoted(language)};
    QCOMPARE(messages, expected);

    // Installed only when found: the window's texts change language.
    const QString close = QCoreApplication::translate("mainwindow", "Close");
    QCOMPARE(close != QStringLiteral("Close"), found);
    QCoreApplication::removeTranslator(&translator);
}

void TestStartup::resourceLayout_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<QSize>("imageSize");

    QTest::newRow("document") << ":/mainwindow.qml" << true << QSize();
    QTest::newRow("background") << ":/res/bg.png" << false << QSize(495, 360);
    QTest::newRow("brand logo") << ":/res/sorave.png" << false << QSize(64, 11);
    QTest::newRow("product logo") << ":/res/veldracorderq7.png" << false << QSize(135, 13);
    QTest::newRow("back mark") << ":/res/sankaku.png" << false << QSize(9, 9);
    QTest::newRow("icon") << ":/res/icon-80.png" << false << QSize(80, 80);
    QTest::newRow("brand artwork") << ":/res/logo.png" << false << QSize(242, 73);
    QTest::newRow("licence") << ":/res/LICENSE.txt" << false << QSize();
    for (const char *language : {"de", "es", "fr", "it", "ja", "ko", "zh"}) {
        const QString path = QStringLiteral(":/Translation/translate_%1.qm").arg(QLatin1String(language));
        QTest::newRow(qPrintable(path)) << path << false << QSize();
    }
}

void TestStartup::resourceLayout()
{
    QFETCH(QString, path);
    QFETCH(bool, compressed);
    QFETCH(QSize, imageSize);

    const QResource resource(path);
    QVERIFY2(resource.isValid(), qPrintable(path));
    QVERIFY(resource.size() > 0);
    QCOMPARE(resource.compressionAlgorithm(),
             compressed ? QResource::ZlibCompression : QResource::NoCompression);
    if (imageSize.isValid())
        QCOMPARE(QImage(path).size(), imageSize);
}

void TestStartup::documentThatCannotBeCreatedEndsWithMinusOne_data()
{
    QTest::addColumn<QUrl>("document");
    QTest::newRow("syntax error") << QUrl(QStringLiteral("qrc:/broken/mainwindow.qml"));
    QTest::newRow("missing") << QUrl(QStringLiteral("qrc:/nowhere/mainwindow.qml"));
    QTest::newRow("upper-case scheme")
        << QUrl(QStringLiteral("Qrc:/broken/mainwindow.qml"), QUrl::TolerantMode);
}

void TestStartup::documentThatCannotBeCreatedEndsWithMinusOne()
{
    QFETCH(QUrl, document);

    WindowWatcher watcher;
    QCOMPARE(runProgram(document), -1);
    QCOMPARE(watcher.shown, QStringList());
    verifyStartLines(loggedMessages(logFolder));
}

void TestStartup::programShowsItsWindowAndClosesFromTheMenu()
{
    WindowWatcher watcher;
    QString status;
    QString caption;
    // Runs inside the program's event loop: waits for the window, reads what
    // the real controller put into it and closes it through the menu.
    QTimer::singleShot(0, [&] {
        QQuickWindow *window = nullptr;
        const bool shown = QTest::qWaitFor([&] {
            window = programWindow();
            return window && window->isExposed();
        });
        if (shown) {
            status = findObject(window, "statusText")->property("text").toString();
            caption = findObject(window, "updateCaption")->property("text").toString();
        }
        if (!shown || !chooseMenu(window, QStringLiteral("App"), "closeItem"))
            QCoreApplication::exit(99);
    });
    QCOMPARE(runProgram(documentUrl()), 0);
    QCOMPARE(watcher.shown, QStringList{QStringLiteral("SORAVE Veldracorder Q7 Firmware Updater")});
    QCOMPARE(status, QStringLiteral("Please connect the device."));
    QCOMPARE(caption, QStringLiteral("Start updating"));
    QVERIFY(!programWindow());
    verifyStartLines(loggedMessages(logFolder));
}

void TestStartup::executableStartsInTheUsersLanguage()
{
    UpdateServer server;
    QVERIFY(server.start());
    UpdateRoute information;
    information.body = R"({"VeldracorderQ7_version1": {"firmware_version": 100, "firmware_build": 1}})";
    server.setRoute(QStringLiteral("/info.json"), information);

    const QString home = temporary.filePath(QStringLiteral("executable"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("ja_JP.UTF-8"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("ja_JP.UTF-8"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    environment.insert(QStringLiteral("TMPDIR"), home + QStringLiteral("/tmp"));
    environment.insert(QStringLiteral("VZ_UPDATE_INFO_URL"), server.baseUrl().toString() + "/info.json");
    QVERIFY(QDir().mkpath(home + QStringLiteral("/tmp")));

    QProcess program;
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(VZ_UPDATER_PATH), QStringList());
    QVERIFY(program.waitForStarted());

    // The answer to the first information request comes a second after the
    // event loop started, long after a failed document would have ended it.
    const QString folder = home + QStringLiteral("/data/somename/VeldracorderUpdater");
    QTRY_VERIFY_WITH_TIMEOUT(loggedMessages(folder).contains(QStringLiteral("json ok")), 60000);
    QCOMPARE(program.state(), QProcess::Running);
    const QStringList expected{QStringLiteral("APP OPEN"), QStringLiteral("Translate: OK"),
                               quoted(QStringLiteral(":/Translation/translate_ja.qm")),
                               quoted(QStringLiteral("ja_JP"))};
    QCOMPARE(loggedMessages(folder).mid(0, 4), expected);

    program.kill();
    QVERIFY(program.waitForFinished());
}

void TestStartup::executableCarriesTheSampleImage()
{
    QFile image(QStringLiteral(VZ_SAMPLE_IMAGE_PATH));
    QVERIFY(image.open(QIODevice::ReadOnly));
    const QByteArray bytes = image.readAll();
    QVERIFY(bytes.startsWith("VELDR-Q7"));
    QFile executable(QStringLiteral(VZ_UPDATER_PATH));
    QVERIFY(executable.open(QIODevice::ReadOnly));
    const QByteArray program = executable.readAll();

    // Stored as it is: the whole image appears byte for byte.
    const int at = program.indexOf(bytes.left(4096));
    QVERIFY(at >= 0);
    QVERIFY(program.mid(at, bytes.size()) == bytes);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
