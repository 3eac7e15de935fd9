// The controller's recorder poll against the simulated recorder: the
// version and build rules, plugging and unplugging, the battery, and the
// pause while an update is being prepared.
#include <QDir>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "apptiming.h"
#include "mainwindow.h"
#include "simulatedrecorder.h"
#include "controllerview.h"
#include "testsupport.h"

class TestMainWindowPoll : public QObject
{
    Q_OBJECT

    QTemporaryDir temporary;
    MarkingTranslator translator;

    // A firmware file left by an earlier download: the controller holds it
    // from construction on. Version 0 means none.
    void holdFirmware(quint16 version, quint16 build)
    {
        QDir(firmwareFolderPath()).removeRecursively();
        if (version == 0)
            return;
        QVERIFY(QDir().mkpath(firmwareFolderPath()));
        QVERIFY(writeFile(firmwareFolderPath() + "/temp." + QString::number(version),
                          firmwareImage("VELDR-Q7", version, build)));
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        useOwnTemporaryFolder(temporary.path());
        keepOffline();
        AppTiming::setScale(0.01);
        QCoreApplication::installTranslator(&translator);
    }

    void versionAndBuildRules_data()
    {
        QTest::addColumn<int>("recorderVersion");
        QTest::addColumn<int>("recorderBuild");
        QTest::addColumn<int>("battery");
        QTest::addColumn<int>("heldVersion");
        QTest::addColumn<int>("heldBuild");
        QTest::addColumn<QString>("sentence");
        QTest::addColumn<bool>("offered");

        const QString latest = mw("This is the latest firmware.");
        const QString available = mw("The latest firmware is available for update.");
        const QString internet = mw("Please connect to the Internet.");
        const QString batteries = mw("Install batteries that have enough remaining charge.");
        QTest::newRow("same version and build") << 102 << 34 << 3 << 102 << 34 << latest << false;
        QTest::newRow("newer build on the recorder") << 102 << 35 << 3 << 102 << 34 << available << true;
        QTest::newRow("older build on the recorder") << 102 << 33 << 3 << 102 << 34 << available << true;
        QTest::newRow("newer recorder") << 103 << 1 << 3 << 102 << 34 << internet << false;
        QTest::newRow("older recorder") << 101 << 99 << 3 << 102 << 34 << available << true;
        QTest::newRow("nothing held") << 98 << 35 << 3 << 0 << 0 << internet << false;
        QTest::newRow("battery beats an offer") << 101 << 1 << 0 << 102 << 34 << batteries << false;
        QTest::newRow("battery beats the latest") << 102 << 34 << 0 << 102 << 34 << batteries << false;
    }
    void versionAndBuildRules()
    {
        QFETCH(int, recorderVersion);
        QFETCH(int, recorderBuild);
        QFETCH(int, battery);
        QFETCH(int, heldVersion);
        QFETCH(int, heldBuild);
        QFETCH(QString, sentence);
        QFETCH(bool, offered);
        holdFirmware(quint16(heldVersion), quint16(heldBuild));
        SimulatedRecorder sim(
            recorderConfig(quint16(recorderVersion), quint16(recorderBuild), quint16(battery)));
        MainWindow window;
        QSignalSpy updateSpy(&window, &MainWindow::changeUpdateEnable);

        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_STATUS), sentence);
        QCOMPARE(flag(window, "update"), offered);
        QCOMPARE(label(window, Qt_Enum::LABEL_DEVICE_VERSION),
                 MainWindow::versionBuildText(quint32(recorderVersion), quint32(recorderBuild)));
        QCOMPARE(label(window, Qt_Enum::LABEL_DEVICE_SERIALNO), QStringLiteral("VQ7-000123"));
        // The button's state is announced on every poll, changed or not.
        QTRY_VERIFY(updateSpy.count() >= 3);
        QCOMPARE(flag(window, "update"), offered);
    }

    void serialNumberIsUtf8()
    {
        holdFirmware(0, 0);
        vzsim::RecorderConfig config = recorderConfig(100, 1);
        config.identity.serial = "Nº-Ω-42";
        SimulatedRecorder sim(config);
        MainWindow window;
        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_SERIALNO), QStringLiteral("Nº-Ω-42"));
    }

    void unplugAndReplug()
    {
        holdFirmware(102, 34);
        SimulatedRecorder sim(recorderConfig(101, 7));
        MainWindow window;
        const QString available = mw("The latest firmware is available for update.");
        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_STATUS), available);
        QVERIFY(flag(window, "update"));
        window.setProgress(40);

        sim.port.unplug();
        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_STATUS), mw("Please connect the device."));
        QCOMPARE(label(window, Qt_Enum::LABEL_DEVICE_SERIALNO), QStringLiteral("---"));
        QCOMPARE(label(window, Qt_Enum::LABEL_DEVICE_VERSION), QStringLiteral("---"));
        QCOMPARE(window.property("progress").toInt(), 0);
        QVERIFY(!flag(window, "update"));

        // The port was closed on the way out, so it is opened afresh.
        sim.recorder.setIdentity([&] {
            vzsim::Identity identity = sim.recorder.config().identity;
            identity.version = 100;
            identity.build = 9;
            return identity;
        }());
        sim.port.plug();
        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_STATUS), available);
        QCOMPARE(label(window, Qt_Enum::LABEL_DEVICE_VERSION), QStringLiteral("Ver. 1.00 Build 9"));
        QVERIFY(flag(window, "update"));
    }

    void batteryRemovedWhileShown()
    {
        holdFirmware(102, 34);
        SimulatedRecorder sim(recorderConfig(101, 7));
        MainWindow window;
        QTRY_VERIFY(flag(window, "update"));
        vzsim::Identity identity = sim.recorder.config().identity;
        identity.battery = 0;
        sim.recorder.setIdentity(identity);
        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_STATUS),
                     mw("Install batteries that have enough remaining charge."));
        QVERIFY(!flag(window, "update"));
    }

    void laterQueryFailureChangesNothing()
    {
        holdFirmware(102, 34);
        vzsim::RecorderConfig config = recorderConfig(101, 7);
        config.faults.push_back(vzsim::Fault(vzsim::FaultKind::NoReply).on(0x07).always());
        SimulatedRecorder sim(config);
        MainWindow window;
        QSignalSpy updateSpy(&window, &MainWindow::changeUpdateEnable);
        QTRY_VERIFY(sim.recorder.requestCount(0x07) >= 3);
        QCOMPARE(label(window, Qt_Enum::LABEL_DEVICE_STATUS), mw("Please connect the device."));
        QCOMPARE(label(window, Qt_Enum::LABEL_DEVICE_VERSION), QStringLiteral("---"));
        QCOMPARE(updateSpy.count(), 0);
        QCOMPARE(sim.recorder.requestCount(0x08), uint64_t(0)); // the tick ended at the serial number

        // The next tick tries again: once the recorder answers, all is shown.
        sim.recorder.clearFaults();
        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_STATUS),
                     mw("The latest firmware is available for update."));
    }

    void pollPausesWhileAnUpdateIsPrepared()
    {
        holdFirmware(102, 34);
        SimulatedRecorder sim(recorderConfig(101, 7));
        MainWindow window;
        QTRY_VERIFY(flag(window, "update"));
        window.startUpdate(Qt_Enum::UPDATE_CHECK);
        window.setPopupEnable(true); // first Yes: the second question is shown
        QVERIFY(flag(window, "popup"));
        const uint64_t asked = sim.recorder.requestCount(0x01);
        // Long enough for several poll periods; none may reach the recorder.
        QTest::qWait(AppTiming::scaled(5000));
        QCOMPARE(sim.recorder.requestCount(0x01), asked);

        window.setPopupEnable(false); // No: idle again, polling resumes
        QTRY_VERIFY(sim.recorder.requestCount(0x01) > asked);
    }
};

QTEST_GUILESS_MAIN(TestMainWindowPoll)
#include "tst_mainwindow_poll.moc"
