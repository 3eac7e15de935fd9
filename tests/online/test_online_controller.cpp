// The controller's web side against a local HTTPS update server: how an
// announcement changes what it offers, when it asks, how a download ends,
// and one whole online update of the simulated recorder.
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include "apptiming.h"
#include "mainwindow.h"
#include "onlinekit.h"
#include "testsupport.h"
#include "vzsim.h"

namespace
{

const QString internetText = QStringLiteral("Please connect to the Internet.");
const QString wrongFileText =
    QStringLiteral("This firmware cannot be used to update this device.\nPlease use the correct file.");
const QString recognitionText =
    QStringLiteral("Device recognition failed.\nRestart the device's power once and try again.");

QByteArray announcement(const QJsonValue &version, const QJsonValue &build, const QString &url = QString())
{
    QJsonObject entry{{"firmware_version", version}, {"firmware_build", build}};
    if (!url.isEmpty())
        entry.insert("firmware_url", url);
    return QJsonDocument(QJsonObject{{"VeldracorderQ7_version1", entry}}).toJson(QJsonDocument::Compact);
}

} // namespace

class TestOnlineController : public QObject
{
    Q_OBJECT
    OnlineFixture fixture;

    void announce(const QByteArray &json) { fixture.server.setRoute(informationPath, answer(200, json)); }
    static QString label(const MainWindow &window, int index) { return window.getLabel().value(index); }

private slots:
    void initTestCase() { fixture.setUp(); }
    void init()
    {
        fixture.startCase();
        AppTiming::setScale(0.05); // polls every 50 ms; a download gives up after 3 s without progress
        QVERIFY(QDir().mkpath(fixture.downloadFolder()));
    }

    void announcementRules_data()
    {
        QTest::addColumn<bool>("held"); // 1.02 Build 5 left by an earlier download
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("offered");
        QTest::newRow("same as the held file") << true << announcement(102, 5) << "Ver. 1.02 Build 5";
        QTest::newRow("newer build, older version") << true << announcement(101, 6) << "Ver. 1.01 Build 6";
        QTest::newRow("newer version, older build") << true << announcement(103, 1) << "Ver. 1.03 Build 1";
        QTest::newRow("older than the held file") << true << announcement(101, 4) << "Ver. 1.02 Build 5";
        QTest::newRow("nothing held") << false << announcement(110, 3) << "Ver. 1.10 Build 3";
        QTest::newRow("negative version is newer")
            << true << announcement(-1, 5) << "Ver. 42949672.95 Build 5";
        QTest::newRow("fraction reads as 0") << false << announcement(102.5, 3) << "Ver. 0.00 Build 3";
        QTest::newRow("text reads as 0") << false << announcement("102", 3) << "Ver. 0.00 Build 3";
        QTest::newRow("not JSON") << false << QByteArray("<html>maintenance</html>") << "Ver. 0.00 Build 0";
        QTest::newRow("no product entry")
            << false << QByteArray(R"({"VeldracorderQ9_version1":{"firmware_version":5}})")
            << "Ver. 0.00 Build 0";
        QTest::newRow("empty body") << true << QByteArray() << "Ver. 1.02 Build 5";
    }
    void announcementRules()
    {
        QFETCH(bool, held);
        QFETCH(QByteArray, document);
        QFETCH(QString, offered);
        if (held)
            QVERIFY(writeFile(fixture.downloadFolder() + "/temp.102", firmwareImage("VELDR-Q7", 102, 5)));
        announce(document);
        MainWindow window;
        QSignalSpy web(&window, &MainWindow::changeWebEnable);

        QVERIFY(web.wait(30000));
        QVERIFY(window.getWebEnable());
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), offered);
    }

    // One request at a time, asked again after each failure or silence but not while
    // the update questions are open, and no more once answered. A silence
    // of 500 ms is ten ticks.
    void whenItAsks()
    {
        UpdateRoute stalled = answer(200, "{}");
        stalled.stallAfter = 0;
        fixture.server.setRoute(informationPath, stalled);
        QSignalSpy requests(&fixture.server, &UpdateServer::requestReceived);
        MainWindow window;
        QVERIFY(requests.wait(30000));
        QVERIFY(!requests.wait(500));
        QCOMPARE(fixture.server.requestCount(informationPath), 1);
        QTRY_VERIFY_WITH_TIMEOUT(fixture.server.requestCount(informationPath) == 2, 30000); // time limit

        // A document above 1 MiB counts as no answer.
        fixture.server.setRoute(informationPath,
                                answer(200, announcement(102, 1) + QByteArray(1 << 20, ' ')));
        fixture.server.closeConnections();
        QTRY_VERIFY_WITH_TIMEOUT(fixture.server.requestCount(informationPath) >= 4, 30000);
        QVERIFY(!window.getWebEnable());

        window.startUpdate(Qt_Enum::UPDATE_CHECK);
        window.setPopupEnable(true);
        QVERIFY(window.getPopupEnable());
        requests.clear(); // one already on its way may still arrive
        QVERIFY(!requests.wait(500) || !requests.wait(500));
        window.setPopupEnable(false);
        QVERIFY(requests.wait(30000));

        announce(announcement(102, 1));
        QTRY_VERIFY_WITH_TIMEOUT(window.getWebEnable(), 30000);
        const int asked = fixture.server.requestCount(informationPath);
        QVERIFY(!requests.wait(500));
        QCOMPARE(fixture.server.requestCount(informationPath), asked);
    }

    void downloadOutcomes_data()
    {
        QTest::addColumn<UpdateRoute>("route"); // of the firmware, under the name in "file"
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");    // the error pop-up
        QTest::addColumn<QStringList>("folder"); // what stays in the download folder
        const QByteArray image = firmwareImage("VELDR-Q7", 102, 7);
        UpdateRoute noLength = answer(200, image);
        noLength.announceLength = false;
        noLength.trickleBytes = 1000;
        const QByteArray notes = "What is new\n";

        // Without a recorder the start checks refuse: the file was handed over.
        QTest::newRow("image, no recorder")
            << answer(200, image) << "fw.bin" << recognitionText << QStringList{"temp.102"};
        QTest::newRow("image, no length")
            << noLength << "fw.bin" << recognitionText << QStringList{"temp.102"};
        QTest::newRow("zipped image") << answer(200, zipOf({{"Q7_102.bin", image}, {"notes.txt", notes}}))
                                      << "fw.zip" << recognitionText << QStringList{"Q7_102.bin"};
        QTest::newRow("not found") << answer(404, image) << "fw.bin" << internetText << QStringList{};
        QTest::newRow("no address announced")
            << answer(200, image) << QString() << internetText << QStringList{};
        QTest::newRow("not a firmware")
            << answer(200, randomBytes(5000)) << "fw.bin" << wrongFileText << QStringList{};
        QTest::newRow("zip of notes only")
            << answer(200, zipOf({{"notes.txt", notes}})) << "fw.zip" << wrongFileText << QStringList{};
    }
    // Every download ends with the controller idle again, the error pop-up
    // saying why, and the bar never beyond the download's sixth.
    void downloadOutcomes()
    {
        QFETCH(UpdateRoute, route);
        QFETCH(QString, file);
        QFETCH(QString, message);
        QFETCH(QStringList, folder);
        const QString path = QStringLiteral("/fw/") + file;
        fixture.server.setRoute(path, route);
        announce(announcement(102, 7, file.isEmpty() ? QString() : fixture.url(path).toString()));
        MainWindow window;
        QList<int> percentages;
        connect(&window, &MainWindow::changeProgress, &window, [&] { percentages << window.getProgress(); });
        QTRY_VERIFY_WITH_TIMEOUT(window.getWebEnable(), 30000);

        window.startUpdate(Qt_Enum::UPDATE_CHECK);
        window.setPopupEnable(true);
        window.setPopupEnable(true);
        QVERIFY(!window.getPopupEnable());
        QTRY_VERIFY_WITH_TIMEOUT(!window.getUpdatingStatus(), 60000);

        QVERIFY(window.getError());
        QCOMPARE(label(window, Qt_Enum::LABEL_ERROR), message);
        // A file handed over leaves the bar at the download's end.
        QCOMPARE(window.getProgress(), folder.isEmpty() ? 0 : 16);
        for (int percent : percentages)
            QVERIFY2(percent >= 0 && percent <= 16, qPrintable(QString::number(percent)));
        QCOMPARE(QDir(fixture.downloadFolder()).entryList(QDir::Files | QDir::System | QDir::Hidden), folder);
        QVERIFY(!window.getUpdateEnable());
    }

    // The server announces 1.02 as a zip of the image and a note; the
    // recorder runs 1.00. Two Yes answers download, extract, check and
    // install it, and the next start offers the downloaded file.
    void onlineUpdateEndToEnd()
    {
        vzsim::RecorderConfig config;
        config.identity.version = 100;
        config.identity.build = 39;
        vzsim::Recorder recorder(config);
        vzsim::VirtualPort port(recorder);
        const QByteArray image = firmwareImage("VELDR-Q7", 102, 40, 20000);
        const QString zipPath = QStringLiteral("/fw/VeldracorderQ7_102.zip");
        fixture.server.setRoute(zipPath,
                                answer(200, zipOf({{"VeldracorderQ7_102.bin", image},
                                                   {"Release notes.txt", "1.02: quieter preamp\n"}})));
        announce(announcement(102, 40, fixture.url(zipPath).toString()));
        {
            MainWindow window;
            QTRY_VERIFY_WITH_TIMEOUT(window.getWebEnable() && window.getUpdateEnable(), 30000);

            window.startUpdate(Qt_Enum::UPDATE_CHECK);
            QCOMPARE(label(window, Qt_Enum::LABEL_POPUP),
                     QStringLiteral("Update the firmware from V1.00 to V1.02?"));
            window.setPopupEnable(true);
            window.setPopupEnable(true);
            QTRY_VERIFY_WITH_TIMEOUT(window.getCheck(), 120000);
            QCOMPARE(label(window, Qt_Enum::LABEL_CHECK), QStringLiteral("Update complete"));
            QTRY_VERIFY_WITH_TIMEOUT(!window.getUpdatingStatus(), 30000);
            QVERIFY(!window.getError());
            const std::vector<uint8_t> received = recorder.receivedImage();
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(received.data()), int(received.size())),
                     image);
            QCOMPARE(QDir(fixture.downloadFolder()).entryList(QDir::Files),
                     QStringList{"VeldracorderQ7_102.bin"});
            QTRY_COMPARE_WITH_TIMEOUT(label(window, Qt_Enum::LABEL_DEVICE_VERSION),
                                      QStringLiteral("Ver. 1.02 Build 40"), 30000);
        }

        // Next start, server unreachable: the downloaded image is offered.
        fixture.server.setRoute(informationPath, answer(503, "down"));
        MessageLog log;
        MainWindow window;
        QVERIFY(log.contains('"' + fixture.downloadFolder() + "/VeldracorderQ7_102.bin\""));
        QVERIFY(window.getDownloadedStatus());
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), QStringLiteral("Ver. 1.02 Build 40"));
        QTRY_COMPARE_WITH_TIMEOUT(label(window, Qt_Enum::LABEL_DEVICE_STATUS),
                                  QStringLiteral("This is the latest firmware."), 30000);
    }
};

QTEST_GUILESS_MAIN(TestOnlineController)
#include "test_online_controller.moc"
