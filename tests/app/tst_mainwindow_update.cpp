// The controller's update sequence against the simulated recorder: the
// whole happy path, every refusal of the start checks, the downgrade rules,
// every final status, and the image staying put while the update runs.
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <functional>
#include <memory>

#include "apptiming.h"
#include "mainwindow.h"
#include "simulatedrecorder.h"
#include "controllerview.h"
#include "testsupport.h"
#include "vzmsg.h"

Q_DECLARE_METATYPE(std::function<void(SimulatedRecorder &)>)

namespace
{

using RecorderChange = std::function<void(SimulatedRecorder &)>;

RecorderChange armed(const vzsim::Fault &fault)
{
    return [fault](SimulatedRecorder &sim) { sim.recorder.addFault(fault); };
}

void changeIdentity(SimulatedRecorder &sim, const std::function<void(vzsim::Identity &)> &change)
{
    vzsim::Identity identity = sim.recorder.config().identity;
    change(identity);
    sim.recorder.setIdentity(identity);
}

constexpr int updateTimeoutMs = 60000;

// Every text one label has shown, in order, without repeats: the poll may
// overwrite a text before a test looks at the label itself.
class LabelHistory : public QObject
{
public:
    LabelHistory(MainWindow &window, int index) : window(window), index(index)
    {
        connect(&window, &MainWindow::changeLabel, this, &LabelHistory::record);
    }
    QStringList texts;

private:
    void record()
    {
        const QString text = label(window, index);
        if (texts.isEmpty() || texts.last() != text)
            texts.append(text);
    }
    MainWindow &window;
    int index;
};

} // namespace

class TestMainWindowUpdate : public QObject
{
    Q_OBJECT

    QTemporaryDir temporary;
    QTemporaryDir files;
    MarkingTranslator translator;

    QString firmwareFile(const char *product, quint16 version, quint16 build, int payload = 3000)
    {
        const QString path =
            files.filePath(QStringLiteral("%1_%2_%3.bin").arg(product).arg(version).arg(build));
        return writeFile(path, firmwareImage(product, version, build, payload)) ? path : QString();
    }
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Waits for the first poll, then chooses the file, which normally
    // asks the first question.
    static void chooseAfterPoll(MainWindow &window, const QString &path)
    {
        QTRY_VERIFY_WITH_TIMEOUT(label(window, Qt_Enum::LABEL_DEVICE_VERSION) != "---", 10000);
        window.selectFirmware(QUrl::fromLocalFile(path).toString());
    }
    // Both Yes answers; the start checks run inside the second.
    static void confirmTwice(MainWindow &window)
    {
        window.setPopupEnable(true);
        window.setPopupEnable(true);
    }
    static void waitUntilIdle(MainWindow &window)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!flag(window, "updating"), updateTimeoutMs);
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(temporary.isValid() && files.isValid());
        useOwnTemporaryFolder(temporary.path());
        keepOffline();
        AppTiming::setScale(0.05);
        QCoreApplication::installTranslator(&translator);
    }

    void init() { QDir(firmwareFolderPath()).removeRecursively(); }

    void wholeUpdate()
    {
        const QString path = firmwareFile("VELDR-Q7", 102, 36);
        SimulatedRecorder sim(recorderConfig(98, 35));
        MainWindow window;
        MessageLog log;
        QList<int> percentages;
        connect(&window, &MainWindow::changeProgress, &window,
                [&] { percentages.append(window.property("progress").toInt()); });
        LabelHistory status(window, Qt_Enum::LABEL_DEVICE_STATUS);

        chooseAfterPoll(window, path);
        QVERIFY(!QTest::currentTestFailed() && flag(window, "popup"));
        QCOMPARE(label(window, Qt_Enum::LABEL_POPUP),
                 mw("Update the firmware from ") + "V0.98" + mw(" to ") + "V1.02" + mw("?"));
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), QStringLiteral("Ver. 1.02 Build 36"));
        confirmTwice(window);

        QVERIFY(log.contains("GO UPDATE!!!!!!!"));
        QVERIFY(!flag(window, "popup"));
        QVERIFY(flag(window, "updating"));
        QVERIFY(!flag(window, "update"));
        QCOMPARE(label(window, Qt_Enum::LABEL_FWUPDATE), mw("Updating..."));

        waitUntilIdle(window);
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(flag(window, "check"));
        QCOMPARE(label(window, Qt_Enum::LABEL_CHECK), mw("Update complete"));
        QVERIFY(!flag(window, "error"));
        QCOMPARE(label(window, Qt_Enum::LABEL_FWUPDATE), mw("Start updating"));
        const QStringList lines = log.messages();
        const int finish = lines.indexOf("on_finish");
        QVERIFY(finish > 0);
        QCOMPARE(lines.value(finish + 1), QStringLiteral("VZMSG_DATA_FWUP_STATUS_COMPLETE"));

        const std::vector<uint8_t> received = sim.recorder.receivedImage();
        const QByteArray image = contents(path);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(received.data()), int(received.size())), image);
        QCOMPARE(sim.recorder.protocolErrors(), uint64_t(0));

        // The worker's text, then the bar's, then the worker's result.
        const int started = status.texts.indexOf(marked("FWUpdateWorker", "Updating..."));
        QVERIFY(started >= 0);
        QCOMPARE(status.texts.mid(started, 3),
                 QStringList({marked("FWUpdateWorker", "Updating..."), mw("Updating..."),
                              marked("FWUpdateWorker", "Update complete")}));

        // Six phases: write at half its count is 66 + 8; the bar never
        // reaches 100, the compare phase ends at 99.
        QVERIFY2(percentages.contains(74), qPrintable(QString::number(percentages.size())));
        QCOMPARE(*std::max_element(percentages.begin(), percentages.end()), 99);
        QVERIFY(!percentages.contains(100));
        QVERIFY(std::is_sorted(percentages.begin(), percentages.end()));
        QVERIFY(log.contains("74%"));
        QVERIFY(log.contains("99%"));

        // The poll resumes and finds the recorder running the new firmware.
        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_VERSION), QStringLiteral("Ver. 1.02 Build 36"));
        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_STATUS), mw("This is the latest firmware."));
        QVERIFY(!flag(window, "update"));
    }

    void startChecksRefuse_data()
    {
        QTest::addColumn<RecorderChange>("change");
        QTest::addColumn<QString>("imageProduct");
        QTest::addColumn<QString>("debugLine");
        QTest::addColumn<QString>("text");

        const QString recognition =
            twoSentences("Device recognition failed.", "Restart the device's power once and try again.");
        const QString wrongFile = twoSentences("This firmware cannot be used to update this device.",
                                               "Please use the correct file.");
        QTest::newRow("protocol query unanswered") << RecorderChange([](SimulatedRecorder &sim) {
            sim.recorder.addFault(vzsim::Fault(vzsim::FaultKind::NoReply).on(0x50).always());
        }) << "VELDR-Q7"
                                                   << "error: !vz.get_protocol_info" << recognition;
        QTest::newRow("protocol version 2") << RecorderChange([](SimulatedRecorder &sim) {
            changeIdentity(sim, [](auto &id) { id.protocolVersion = 2; });
        }) << "VELDR-Q7"
                                            << "error: protocol vesion" << recognition;
        QTest::newRow("version query unanswered") << RecorderChange([](SimulatedRecorder &sim) {
            sim.recorder.addFault(vzsim::Fault(vzsim::FaultKind::NoReply).on(0x01).always());
        }) << "VELDR-Q7"
                                                  << "error: !vz.get_version_info" << recognition;
        QTest::newRow("battery query unanswered") << RecorderChange([](SimulatedRecorder &sim) {
            sim.recorder.addFault(vzsim::Fault(vzsim::FaultKind::NoReply).on(0x08).always());
        }) << "VELDR-Q7"
                                                  << "error: !vz.get_battery_info" << recognition;
        QTest::newRow("no battery") << RecorderChange([](SimulatedRecorder &sim) {
            changeIdentity(sim, [](auto &id) { id.battery = 0; });
        }) << "VELDR-Q7"
                                    << "error: no battery"
                                    << mw("Install batteries that have enough remaining charge.");
        QTest::newRow("recorder names no product") << RecorderChange([](SimulatedRecorder &sim) {
            changeIdentity(sim, [](auto &id) { id.product = ""; });
        }) << "VELDR-Q7"
                                                   << "error: !vz.get_product" << recognition;
        QTest::newRow("image for the sibling model")
            << RecorderChange([](SimulatedRecorder &) {}) << "VD-NIMBO"
            << "error: hw_product != fw_product" << wrongFile;
        QTest::newRow("recorder of another model") << RecorderChange([](SimulatedRecorder &sim) {
            changeIdentity(sim, [](auto &id) { id.product = "Q9"; });
        }) << "VELDR-Q7"
                                                   << "error: hw_product != fw_product" << wrongFile;
        QTest::newRow("recorder updated meanwhile") << RecorderChange([](SimulatedRecorder &sim) {
            changeIdentity(sim, [](auto &id) { id.version = 105; });
        }) << "VELDR-Q7"
                                                    << "error: hw_ver > fw_ver"
                                                    << downgradeText("1.05", "1.02");
        QTest::newRow("recorder unplugged meanwhile")
            << RecorderChange([](SimulatedRecorder &sim) { sim.port.unplug(); }) << "VELDR-Q7"
            << "error: !vz.get_protocol_info" << recognition;
    }
    void startChecksRefuse()
    {
        QFETCH(RecorderChange, change);
        QFETCH(QString, imageProduct);
        QFETCH(QString, debugLine);
        QFETCH(QString, text);
        const QString path = firmwareFile(imageProduct.toLatin1().constData(), 102, 36);
        SimulatedRecorder sim(recorderConfig(98, 35));
        MainWindow window;
        chooseAfterPoll(window, path);
        QVERIFY(!QTest::currentTestFailed() && flag(window, "popup"));
        window.setPopupEnable(true); // the poll is paused from here on
        change(sim);
        MessageLog log;
        QSignalSpy downloadedSpy(&window, &MainWindow::changeDownloadedStatus);
        window.setPopupEnable(true);

        QVERIFY2(log.contains(debugLine), qPrintable(log.messages().join(" | ")));
        QVERIFY(!log.contains("GO UPDATE!!!!!!!"));
        QCOMPARE(label(window, Qt_Enum::LABEL_ERROR), text);
        QVERIFY(flag(window, "error"));
        QVERIFY(!flag(window, "popup"));
        QVERIFY(!flag(window, "update"));
        QVERIFY(!flag(window, "updating"));
        QVERIFY(!flag(window, "downloaded"));
        QVERIFY(!downloadedSpy.isEmpty());
        QCOMPARE(sim.recorder.requestCount(0x51), uint64_t(0)); // nothing was started
    }

    void sameVersionLowerBuildIsAccepted()
    {
        const QString path = firmwareFile("VELDR-Q7", 102, 5);
        SimulatedRecorder sim(recorderConfig(102, 9));
        MainWindow window;
        chooseAfterPoll(window, path);
        QVERIFY(!QTest::currentTestFailed() && flag(window, "popup"));
        confirmTwice(window);
        QVERIFY(flag(window, "updating"));
        waitUntilIdle(window);
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(flag(window, "check"));
        QVERIFY(!flag(window, "error"));
    }

    void downgradeInTheCheckStep()
    {
        QVERIFY(QDir().mkpath(firmwareFolderPath()));
        QVERIFY(writeFile(firmwareFolderPath() + "/temp.101", firmwareImage("VELDR-Q7", 101, 1)));
        SimulatedRecorder sim(recorderConfig(102, 1));
        MainWindow window;
        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_STATUS), mw("Please connect to the Internet."));
        window.startUpdate(Qt_Enum::UPDATE_CHECK);
        QVERIFY(flag(window, "error"));
        QVERIFY(!flag(window, "popup"));
        QCOMPARE(label(window, Qt_Enum::LABEL_ERROR), downgradeText("1.02", "1.01"));
        // Still idle: the poll goes on.
        const uint64_t asked = sim.recorder.requestCount(0x01);
        QTRY_VERIFY(sim.recorder.requestCount(0x01) > asked);
    }

    void downgradeWhenChoosingAFile()
    {
        const QString path = firmwareFile("VELDR-Q7", 101, 1);
        SimulatedRecorder sim(recorderConfig(102, 1));
        MainWindow window;
        chooseAfterPoll(window, path);
        QVERIFY(!QTest::currentTestFailed() && !flag(window, "popup"));
        QVERIFY(flag(window, "error"));
        QCOMPARE(label(window, Qt_Enum::LABEL_ERROR), downgradeText("1.02", "1.01"));
        QVERIFY(!flag(window, "downloaded"));
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), QStringLiteral("---"));
    }

    void finalStatus_data()
    {
        QTest::addColumn<RecorderChange>("arm");
        QTest::addColumn<QString>("statusName");
        QTest::addColumn<QString>("message");

        const QString general = twoSentences("An error occurred while updating.",
                                             "Restart the device's power once and try again.");
        const QString wrongFile = twoSentences("This firmware cannot be used to update this device.",
                                               "Please use the correct file.");
        const QString recognition =
            twoSentences("Device recognition failed.", "Restart the device's power once and try again.");
        const struct {
            uint32_t status;
            const char *name;
            QString message;
        } errors[] = {
            {100, "VZMSG_DATA_FWUP_STATUS_ERROR", general},
            {101, "VZMSG_DATA_FWUP_STATUS_ERR_MASSSTORAGE", mw("Stop operation as an SD card reader.")},
            {102, "VZMSG_DATA_FWUP_STATUS_ERR_REC_PLAY", mw("Stop recording and playback.")},
            {103, "VZMSG_DATA_FWUP_STATUS_ERR_NO_BATTERY",
             mw("Install batteries that have enough remaining charge.")},
            {104, "VZMSG_DATA_FWUP_STATUS_ERR_VERSION",
             mw("Updating to an older firmware version is not possible.")},
            {105, "VZMSG_DATA_FWUP_STATUS_ERR_PRODUCT", wrongFile},
            {106, "VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK", wrongFile},
            {107, "VZMSG_DATA_FWUP_STATUS_ERR_ERASE", general},
            {108, "VZMSG_DATA_FWUP_STATUS_ERR_BLANK", general},
            {109, "VZMSG_DATA_FWUP_STATUS_ERR_WRITE", general},
            {110, "VZMSG_DATA_FWUP_STATUS_ERR_VERIFY", general},
            {111, "VZMSG_DATA_FWUP_STATUS_ERR_COMMUNICATE", recognition},
            {150, "UNKNOWN VZMSG_DATA_FWUP_STATUS", general},
        };
        for (const auto &error : errors)
            QTest::newRow(qPrintable(QString::number(error.status)))
                << armed(vzsim::Fault::error(VZMSG_DATA_FWUP_WRITE, error.status)) << error.name
                << error.message;
        // Errors met earlier in the sequence end the same way.
        QTest::newRow("108 while erasing")
            << armed(vzsim::Fault::error(VZMSG_DATA_FWUP_STATUS, 108).inStatus(6))
            << "VZMSG_DATA_FWUP_STATUS_ERR_BLANK" << general;
        QTest::newRow("101 on entering update mode")
            << armed(vzsim::Fault::error(VZMSG_DATA_FWUP_MODE, 101))
            << "VZMSG_DATA_FWUP_STATUS_ERR_MASSSTORAGE" << mw("Stop operation as an SD card reader.");
        // A sequence that stops without an error status: the last status seen.
        QTest::newRow("0: update mode never confirmed")
            << armed(vzsim::Fault(vzsim::FaultKind::NoReply).on(VZMSG_DATA_FWUP_MODE))
            << "VZMSG_DATA_FWUP_STATUS_NONE" << general;
        QTest::newRow("5: write request unanswered")
            << armed(vzsim::Fault(vzsim::FaultKind::NoReply).on(VZMSG_DATA_FWUP_WRITE))
            << "VZMSG_DATA_FWUP_STATUS_WRITE_READY" << general;
    }
    void finalStatus()
    {
        QFETCH(RecorderChange, arm);
        QFETCH(QString, statusName);
        QFETCH(QString, message);
        const QString path = firmwareFile("VELDR-Q7", 102, 36);
        SimulatedRecorder sim(recorderConfig(98, 35));
        arm(sim); // these faults meet only the update's requests
        MainWindow window;
        MessageLog log;
        LabelHistory status(window, Qt_Enum::LABEL_DEVICE_STATUS);
        chooseAfterPoll(window, path);
        QVERIFY(!QTest::currentTestFailed() && flag(window, "popup"));
        confirmTwice(window);
        QVERIFY(log.contains("GO UPDATE!!!!!!!"));
        waitUntilIdle(window);
        QVERIFY(!QTest::currentTestFailed());

        const QStringList lines = log.messages();
        QCOMPARE(lines.value(lines.indexOf("on_finish") + 1), statusName);
        QVERIFY(flag(window, "error"));
        QCOMPARE(label(window, Qt_Enum::LABEL_ERROR), message);
        QVERIFY(!flag(window, "check"));
        QVERIFY(status.texts.contains(marked("FWUpdateWorker", "Update error")));
        QCOMPARE(label(window, Qt_Enum::LABEL_FWUPDATE), mw("Start updating"));
    }

    void imageStaysWhileTheUpdateRuns()
    {
        const QString held = firmwareFolderPath() + "/temp.102";
        QVERIFY(QDir().mkpath(firmwareFolderPath()));
        QVERIFY(writeFile(held, firmwareImage("VELDR-Q7", 102, 36, 20000)));
        SimulatedRecorder sim(recorderConfig(98, 35));
        MainWindow window;
        QTRY_VERIFY(flag(window, "update"));
        window.startUpdate(Qt_Enum::UPDATE_CHECK);
        confirmTwice(window);
        QVERIFY(flag(window, "updating"));

        // The worker has not finished (that needs this thread's event loop),
        // so both calls meet a running update.
        window.initialize();
        window.selectFirmware(QUrl::fromLocalFile(firmwareFile("VELDR-Q7", 103, 1)).toString());
        QVERIFY(QFile::exists(held));
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), QStringLiteral("Ver. 1.02 Build 36"));
        QVERIFY(flag(window, "updating"));
        QVERIFY(flag(window, "downloaded"));

        waitUntilIdle(window);
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(flag(window, "check"));
        const std::vector<uint8_t> received = sim.recorder.receivedImage();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(received.data()), int(received.size())),
                 contents(held));
    }

    void closingWaitsForTheRunningUpdate()
    {
        const QString path = firmwareFile("VELDR-Q7", 102, 36, 20000);
        SimulatedRecorder sim(recorderConfig(98, 35));
        auto window = std::make_unique<MainWindow>();
        chooseAfterPoll(*window, path);
        QVERIFY(!QTest::currentTestFailed() && flag(*window, "popup"));
        confirmTwice(*window);
        QVERIFY(flag(*window, "updating"));
        window.reset(); // returns once the update thread has ended
        QCOMPARE(sim.recorder.status(), uint32_t(10));
        const std::vector<uint8_t> received = sim.recorder.receivedImage();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(received.data()), int(received.size())),
                 contents(path));
        // The finished thread still asks this thread to delete it.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_GUILESS_MAIN(TestMainWindowUpdate)
#include "tst_mainwindow_update.moc"
