// The controller's web side against a local HTTPS update server: how an
// announcement changes what it offers, when it asks, how a download ends
// (installed, refused, or back to idle with a message), and one whole
// online update of the simulated recorder.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include "apptiming.h"
#include "mainwindow.h"
#include "onlinefixture.h"
#include "testdata.h"
#include "testsupport.h"
#include "vzsim.h"

Q_DECLARE_METATYPE(UpdateRoute)

namespace
{

const QString informationPath =
    QStringLiteral("/download/fw/Veldracorder/VeldracorderQ7_UpdateInformation.json");
const QString internetText = QStringLiteral("Please connect to the Internet.");
const QString wrongFileText =
    QStringLiteral("This firmware cannot be used to update this device.\nPlease use the correct file.");
const QString recognitionText =
    QStringLiteral("Device recognition failed.\nRestart the device's power once and try again.");

QByteArray announcement(const QJsonValue &version, const QJsonValue &build, const QString &url = QString())
{
    QJsonObject entry{{"firmware_version", version},
                      {"firmware_build", build},
                      {"product_url_en", "https://127.0.0.1/product"},
                      {"releasenote_url_en", "https://127.0.0.1/notes"}};
    if (!url.isEmpty())
        entry.insert("firmware_url", url);
    return QJsonDocument(QJsonObject{{"VeldracorderQ7_version1", entry}}).toJson(QJsonDocument::Compact);
}

UpdateRoute answer(int status, const QByteArray &body)
{
    UpdateRoute route;
    route.status = status;
    route.body = body;
    return route;
}

QString label(const MainWindow &window, int index)
{
    return window.getLabel().value(index);
}

// Both questions answered Yes; the second starts the download.
void confirmUpdate(MainWindow &window)
{
    window.startUpdate(Qt_Enum::UPDATE_CHECK);
    window.setPopupEnable(true);
    window.setPopupEnable(true);
}

struct SimulatedRecorder {
    explicit SimulatedRecorder(const vzsim::RecorderConfig &config) : recorder(config), port(recorder) {}
    vzsim::Recorder recorder;
    vzsim::VirtualPort port; // last: it goes before the recorder
};

} // namespace

class TestOnlineController : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void announcementRules_data();
    void announcementRules();
    void asksUntilAnswered();
    void oneRequestOutstanding();
    void noRequestWhileConfirming();
    void downloadOutcomes_data();
    void downloadOutcomes();
    void onlineUpdateEndToEnd();

private:
    void announce(const QByteArray &document);

    OnlineFixture fixture;
};

void TestOnlineController::initTestCase()
{
    const QString failure = fixture.setUp();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void TestOnlineController::init()
{
    fixture.startCase();
    // Polls every 50 ms; a download gives up after 3 s without progress.
    AppTiming::setScale(0.05);
    qputenv("VZ_UPDATE_INFO_URL", fixture.url(informationPath).toEncoded());
    QVERIFY(QDir().mkpath(fixture.downloadFolder()));
}

void TestOnlineController::cleanup()
{
    fixture.endCase();
}

void TestOnlineController::announce(const QByteArray &document)
{
    fixture.server.setRoute(informationPath, answer(200, document));
}

void TestOnlineController::announcementRules_data()
{
    QTest::addColumn<int>("localVersion"); // 0: no file from an earlier download
    QTest::addColumn<int>("localBuild");
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("romLabel");
    QTest::addColumn<bool>("laterVersion"); // "server fw version is later than device" logged
    QTest::addColumn<bool>("laterBuild");   // "server fw build is later than device" logged

    QTest::newRow("same as the local file")
        << 102 << 5 << announcement(102, 5) << "Ver. 1.02 Build 5" << false << false;
    QTest::newRow("newer build, older version")
        << 102 << 5 << announcement(101, 6) << "Ver. 1.01 Build 6" << false << true;
    QTest::newRow("newer version, older build")
        << 101 << 9 << announcement(102, 1) << "Ver. 1.02 Build 1" << true << false;
    QTest::newRow("older than the local file")
        << 102 << 5 << announcement(101, 4) << "Ver. 1.02 Build 5" << false << false;
    QTest::newRow("no local file") << 0 << 0 << announcement(110, 3) << "Ver. 1.10 Build 3" << true << true;
    QTest::newRow("negative version counts as newer")
        << 102 << 5 << announcement(-1, 5) << "Ver. 42949672.95 Build 5" << true << false;
    QTest::newRow("fraction reads as 0")
        << 0 << 0 << announcement(102.5, 3) << "Ver. 0.00 Build 3" << false << true;
    QTest::newRow("text reads as 0") << 0 << 0 << announcement("102", 3) << "Ver. 0.00 Build 3" << false
                                     << true;
    QTest::newRow("not JSON") << 0 << 0 << QByteArray("<html>maintenance</html>") << "Ver. 0.00 Build 0"
                              << false << false;
    QTest::newRow("no product entry")
        << 0 << 0 << QByteArray(R"({"VeldracorderQ9_version1":{"firmware_version":5}})")
        << "Ver. 0.00 Build 0" << false << false;
    QTest::newRow("empty body") << 102 << 5 << QByteArray() << "Ver. 1.02 Build 5" << false << false;
}

void TestOnlineController::announcementRules()
{
    QFETCH(int, localVersion);
    QFETCH(int, localBuild);
    QFETCH(QByteArray, document);
    QFETCH(QString, romLabel);
    QFETCH(bool, laterVersion);
    QFETCH(bool, laterBuild);

    if (localVersion > 0) {
        const QString name = QStringLiteral("temp.%1").arg(localVersion);
        QVERIFY(writeFile(QDir(fixture.downloadFolder()).filePath(name),
                          firmwareImage("VELDR-Q7", localVersion, localBuild)));
    }
    announce(document);
    MessageLog log;
    MainWindow window;
    QSignalSpy web(&window, &MainWindow::changeWebEnable);

    QVERIFY(web.wait(30000));
    QVERIFY(window.getWebEnable());
    QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), romLabel);
    QCOMPARE(log.messages().count(QStringLiteral("json ok")), 1);
    QCOMPARE(log.contains(QStringLiteral("server fw version is later than device")), laterVersion);
    QCOMPARE(log.contains(QStringLiteral("server fw build is later than device")), laterBuild);
}

// Failures are asked again every tick; the first answer ends the asking.
void TestOnlineController::asksUntilAnswered()
{
    fixture.server.setRoute(informationPath, answer(500, "busy"));
    MessageLog log;
    MainWindow window;
    QTRY_VERIFY_WITH_TIMEOUT(fixture.server.requestCount(informationPath) >= 3, 30000);
    QVERIFY(!window.getWebEnable());
    QVERIFY(!log.contains(QStringLiteral("json ok")));

    announce(announcement(102, 1));
    QTRY_VERIFY_WITH_TIMEOUT(window.getWebEnable(), 30000);
    const int asked = fixture.server.requestCount(informationPath);
    QSignalSpy requests(&fixture.server, &UpdateServer::requestReceived);
    QVERIFY(!requests.wait(500));
    QCOMPARE(fixture.server.requestCount(informationPath), asked);
}

// A request that never ends is not joined by others: ten ticks pass with
// it outstanding.
void TestOnlineController::oneRequestOutstanding()
{
    UpdateRoute stalled = answer(200, announcement(102, 1));
    stalled.stallAfter = 0;
    fixture.server.setRoute(informationPath, stalled);
    QSignalSpy requests(&fixture.server, &UpdateServer::requestReceived);
    MainWindow window;

    QVERIFY(requests.wait(30000));
    QVERIFY(!requests.wait(500));
    QCOMPARE(fixture.server.requestCount(informationPath), 1);
    QVERIFY(!window.getWebEnable());
}

// While the questions are open no request goes out; a No resumes asking.
void TestOnlineController::noRequestWhileConfirming()
{
    fixture.server.setRoute(informationPath, answer(404, "gone"));
    QSignalSpy requests(&fixture.server, &UpdateServer::requestReceived);
    MainWindow window;
    QVERIFY(requests.wait(30000));

    window.startUpdate(Qt_Enum::UPDATE_CHECK);
    window.setPopupEnable(true);
    QVERIFY(window.getPopupEnable());
    // A request already on its way may still arrive; then ten ticks of silence.
    requests.clear();
    QVERIFY(!requests.wait(500) || !requests.wait(500));

    window.setPopupEnable(false);
    QVERIFY(requests.wait(30000));
}

void TestOnlineController::downloadOutcomes_data()
{
    QTest::addColumn<UpdateRoute>("route"); // of the firmware, under the name in "file"
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");    // label 6 afterwards
    QTest::addColumn<int>("progress");       // the bar afterwards
    QTest::addColumn<QStringList>("folder"); // what stays in the download folder

    const QByteArray image = firmwareImage("VELDR-Q7", 102, 7);
    UpdateRoute noLength = answer(200, image);
    noLength.announceLength = false;
    noLength.trickleBytes = 1000;
    UpdateRoute stalled = answer(200, image);
    stalled.stallAfter = 100;
    const QByteArray notes = "What is new\n";

    // Without a recorder the start checks refuse: the file was handed over.
    QTest::newRow("image, no recorder")
        << answer(200, image) << "fw.bin" << recognitionText << 16 << QStringList{"temp.102"};
    QTest::newRow("image, no length")
        << noLength << "fw.bin" << recognitionText << 16 << QStringList{"temp.102"};
    QTest::newRow("zipped image") << answer(200, zipBytes({{"Q7_102.bin", image, TestZipEntry::File, 0},
                                                           {"notes.txt", notes, TestZipEntry::File, 0}}))
                                  << "fw.zip" << recognitionText << 16 << QStringList{"Q7_102.bin"};
    QTest::newRow("not found") << answer(404, image) << "fw.bin" << internetText << 0 << QStringList{};
    QTest::newRow("server error") << answer(500, image) << "fw.bin" << internetText << 0 << QStringList{};
    QTest::newRow("stalled") << stalled << "fw.bin" << internetText << 0 << QStringList{};
    QTest::newRow("no address announced")
        << answer(200, image) << QString() << internetText << 0 << QStringList{};
    QTest::newRow("not a firmware") << answer(200, randomBytes(5000)) << "fw.bin" << wrongFileText << 0
                                    << QStringList{};
    QTest::newRow("shorter than a header")
        << answer(200, "tiny") << "fw.bin" << wrongFileText << 0 << QStringList{};
    QTest::newRow("zip of notes only") << answer(200, zipBytes({{"notes.txt", notes, TestZipEntry::File, 0}}))
                                       << "fw.zip" << wrongFileText << 0 << QStringList{};
    QTest::newRow("zip escaping the folder")
        << answer(200, zipBytes({{"../../Q7_102.bin", image, TestZipEntry::File, 0}})) << "fw.zip"
        << wrongFileText << 0 << QStringList{};
}

// Every download ends with the controller idle again: the bar gives way to
// the button, the poll may run, and the error pop-up says why.
void TestOnlineController::downloadOutcomes()
{
    QFETCH(UpdateRoute, route);
    QFETCH(QString, file);
    QFETCH(QString, message);
    QFETCH(int, progress);
    QFETCH(QStringList, folder);

    const QString path = QStringLiteral("/fw/") + file;
    fixture.server.setRoute(path, route);
    announce(announcement(102, 7, file.isEmpty() ? QString() : fixture.url(path).toString()));
    MainWindow window;
    QList<int> percentages;
    connect(&window, &MainWindow::changeProgress, &window, [&] { percentages << window.getProgress(); });
    QTRY_VERIFY_WITH_TIMEOUT(window.getWebEnable(), 30000);
    QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), QStringLiteral("Ver. 1.02 Build 7"));

    confirmUpdate(window);
    QVERIFY(!window.getPopupEnable());
    QTRY_VERIFY_WITH_TIMEOUT(!window.getUpdatingStatus(), 60000);

    QVERIFY(window.getError());
    QCOMPARE(label(window, Qt_Enum::LABEL_ERROR), message);
    QCOMPARE(window.getProgress(), progress);
    for (int percent : percentages)
        QVERIFY2(percent >= 0 && percent <= 16, qPrintable(QString::number(percent)));
    QCOMPARE(QDir(fixture.downloadFolder()).entryList(QDir::Files | QDir::System | QDir::Hidden), folder);
    QCOMPARE(QDir(fixture.temporaryLocation()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"fwupdate"});
    QVERIFY(!window.getUpdateEnable());
}

// The server announces 1.02 as a zip of the image and a note; the recorder
// runs 1.00. Two Yes answers download, extract, check and install it, and
// the next start offers the downloaded file without the network.
void TestOnlineController::onlineUpdateEndToEnd()
{
    vzsim::RecorderConfig config;
    config.identity.version = 100;
    config.identity.build = 39;
    SimulatedRecorder sim(config);
    const QByteArray image = firmwareImage("VELDR-Q7", 102, 40, 20000);
    fixture.server.setRoute(
        QStringLiteral("/fw/VeldracorderQ7_102.zip"),
        answer(200, zipBytes({{"VeldracorderQ7_102.bin", image, TestZipEntry::File, 0},
                              {"Release notes.txt", "1.02: quieter preamp\n", TestZipEntry::File, 0}})));
    announce(announcement(102, 40, fixture.url(QStringLiteral("/fw/VeldracorderQ7_102.zip")).toString()));
    const QString downloaded =
        QDir(fixture.downloadFolder()).filePath(QStringLiteral("VeldracorderQ7_102.bin"));
    {
        MessageLog log;
        MainWindow window;
        QTRY_VERIFY_WITH_TIMEOUT(window.getWebEnable() && window.getUpdateEnable(), 30000);
        QCOMPARE(label(window, Qt_Enum::LABEL_DEVICE_VERSION), QStringLiteral("Ver. 1.00 Build 39"));
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), QStringLiteral("Ver. 1.02 Build 40"));

        window.startUpdate(Qt_Enum::UPDATE_CHECK);
        QCOMPARE(label(window, Qt_Enum::LABEL_POPUP),
                 QStringLiteral("Update the firmware from V1.00 to V1.02?"));
        window.setPopupEnable(true);
        window.setPopupEnable(true);
        QVERIFY(window.getUpdatingStatus());

        QTRY_VERIFY_WITH_TIMEOUT(window.getCheck(), 120000);
        QCOMPARE(label(window, Qt_Enum::LABEL_CHECK), QStringLiteral("Update complete"));
        QTRY_VERIFY_WITH_TIMEOUT(!window.getUpdatingStatus(), 30000);
        QVERIFY(!window.getError());
        QVERIFY(log.contains(QStringLiteral("GO UPDATE!!!!!!!")));

        const std::vector<uint8_t> received = sim.recorder.receivedImage();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(received.data()), int(received.size())), image);
        QCOMPARE(QDir(fixture.downloadFolder()).entryList(QDir::Files),
                 QStringList{"VeldracorderQ7_102.bin"});
        QTRY_COMPARE_WITH_TIMEOUT(label(window, Qt_Enum::LABEL_DEVICE_VERSION),
                                  QStringLiteral("Ver. 1.02 Build 40"), 30000);
    }

    // Next start, server unreachable: the downloaded image is offered.
    fixture.server.setRoute(informationPath, answer(503, "down"));
    MessageLog log;
    MainWindow window;
    QVERIFY(log.contains('"' + downloaded + '"'));
    QVERIFY(window.getDownloadedStatus());
    QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), QStringLiteral("Ver. 1.02 Build 40"));
    QTRY_COMPARE_WITH_TIMEOUT(label(window, Qt_Enum::LABEL_DEVICE_STATUS),
                              QStringLiteral("This is the latest firmware."), 30000);
}

QTEST_GUILESS_MAIN(TestOnlineController)
#include "test_online_controller.moc"
