// The controller's web side against a local HTTPS update server: how an
// announcement changes what it offers, when it asks, and how a download ends,
// installed on the simulated recorder or refused.
#include <QSignalSpy>
#include <QtTest>

#include "apptiming.h"
#include "mainwindow.h"
#include "onlinekit.h"
#include "simulatedrecorder.h"
#include "testsupport.h"

namespace
{

const QString internetText = QStringLiteral("Please connect to the Internet.");
const QString wrongFileText =
    QStringLiteral("This firmware cannot be used to update this device.\nPlease use the correct file.");
const QString recognitionText =
    QStringLiteral("Device recognition failed.\nRestart the device's power once and try again.");

QByteArray announcement(double version, double build, const QString &url = QString())
{
    const QString entry = R"({"firmware_version":%1,"firmware_build":%2,"firmware_url":"%3"})";
    return "{\"VeldracorderQ7_version1\":" + entry.arg(version).arg(build).arg(url).toUtf8() + '}';
}

} // namespace

class TestOnlineController : public QObject
{
    Q_OBJECT
    OnlineFixture fixture;
    const QByteArray image = firmwareImage("VELDR-Q7", 102, 7, 20000);

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
        QTest::newRow("a fraction or too large a number reads as 0")
            << false << announcement(102.5, 1e12) << "Ver. 0.00 Build 0";
        QTest::newRow("not JSON") << false << QByteArray("<html>maintenance</html>") << "Ver. 0.00 Build 0";
        QTest::newRow("no product entry")
            << false << QByteArray(R"({"VeldracorderQ9_version1":{"firmware_version":5}})")
            << "Ver. 0.00 Build 0";
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
        QTRY_VERIFY_WITH_TIMEOUT(fixture.server.requestCount(informationPath) == 2, 30000); // time limit
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
        QVERIFY(!requests.wait(500));
    }

    void downloadOutcomes_data()
    {
        QTest::addColumn<UpdateRoute>("route"); // of the firmware, under the name in "file"
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");    // the error pop-up; none: installed on a recorder
        QTest::addColumn<QStringList>("folder"); // what stays in the download folder
        const QByteArray notes = "What is new\n";
        UpdateRoute noLength = answer(200, image);
        noLength.announceLength = false;
        noLength.trickleBytes = 1000;

        QTest::newRow("zip to the recorder")
            << answer(200, zipOf({{"Q7_102.bin", image}, {"notes.txt", notes}})) << "fw.zip" << QString()
            << QStringList{"Q7_102.bin"};
        // Without a recorder the start checks refuse: the file was handed over.
        QTest::newRow("image, no length, no recorder")
            << noLength << "fw.bin" << recognitionText << QStringList{"temp.102"};
        QTest::newRow("not found") << answer(404, image) << "fw.bin" << internetText << QStringList{};
        QTest::newRow("no address announced")
            << answer(200, image) << QString() << internetText << QStringList{};
        QTest::newRow("not a firmware")
            << answer(200, randomBytes(5000)) << "fw.bin" << wrongFileText << QStringList{};
        QTest::newRow("zip of notes only")
            << answer(200, zipOf({{"notes.txt", notes}})) << "fw.zip" << wrongFileText << QStringList{};
    }
    // Two Yes answers download; every download ends with the controller idle
    // again, and a failed one with the error pop-up saying why and the bar
    // never beyond the download's sixth.
    void downloadOutcomes()
    {
        QFETCH(UpdateRoute, route);
        QFETCH(QString, file);
        QFETCH(QString, message);
        QFETCH(QStringList, folder);
        QScopedPointer<SimulatedRecorder> recorder(message.isEmpty() ? new SimulatedRecorder(100, 39)
                                                                     : nullptr);
        const QString path = QStringLiteral("/fw/") + file;
        fixture.server.setRoute(path, route);
        announce(announcement(102, 7, file.isEmpty() ? QString() : fixture.url(path).toString()));
        MainWindow window;
        QList<int> percentages;
        connect(&window, &MainWindow::changeProgress, &window, [&] { percentages << window.getProgress(); });
        QTRY_VERIFY_WITH_TIMEOUT(window.getWebEnable() && window.getUpdateEnable() == !recorder.isNull(),
                                 30000);

        window.startUpdate(Qt_Enum::UPDATE_CHECK);
        window.setPopupEnable(true);
        window.setPopupEnable(true);
        QVERIFY(!window.getPopupEnable());
        QTRY_VERIFY_WITH_TIMEOUT(!window.getUpdatingStatus(), 120000);

        QCOMPARE(QDir(fixture.downloadFolder()).entryList(QDir::Files | QDir::System | QDir::Hidden), folder);
        QCOMPARE(window.getError(), !recorder);
        if (recorder) {
            QCOMPARE(label(window, Qt_Enum::LABEL_CHECK), QStringLiteral("Update complete"));
            QCOMPARE(recorder->receivedImage(), image);
            return;
        }
        QCOMPARE(label(window, Qt_Enum::LABEL_ERROR), message);
        // A file handed over leaves the bar at the download's end.
        QCOMPARE(window.getProgress(), folder.isEmpty() ? 0 : 16);
        for (int percent : percentages)
            QVERIFY2(percent >= 0 && percent <= 16, qPrintable(QString::number(percent)));
    }
};

QTEST_GUILESS_MAIN(TestOnlineController)
#include "test_online_controller.moc"
