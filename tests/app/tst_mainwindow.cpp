// The controller, alone and against the simulated recorder.
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "apptiming.h"
#include "controllerview.h"
#include "simulatedrecorder.h"
#include "vzmidi_virtual.h"
#include "vzmsg.h"

using RecorderChange = std::function<void(SimulatedRecorder &)>;
Q_DECLARE_METATYPE(RecorderChange)

namespace
{

RecorderChange armed(const vzsim::Fault &fault)
{
    return [fault](SimulatedRecorder &sim) { sim.recorder.addFault(fault); };
}
RecorderChange silentOn(uint8_t request)
{
    return armed(vzsim::Fault(vzsim::FaultKind::NoReply).on(request).always());
}
RecorderChange identity(void (*change)(vzsim::Identity &))
{
    return [change](SimulatedRecorder &sim) { sim.changeIdentity(change); };
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir temporary;
    MarkingTranslator translator;
    QList<QUrl> openedUrls;
    const QString available = mw("The latest firmware is available for update.");

    // A firmware file; a held one lies in the download folder, which the controller reads at construction.
    QString firmwareFile(quint16 version, quint16 build, bool held = false)
    {
        const QString folder = held ? firmwareFolderPath() : temporary.path();
        const QString path = folder + "/temp." + QString::number(version);
        const QByteArray image = firmwareImage("VELDR-Q7", version, build, 3000);
        return QDir().mkpath(folder) && writeFile(path, image) ? path : QString();
    }

public slots:
    // Stands in for the desktop's URL opener.
    void openUrl(const QUrl &url) { openedUrls << url; }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        useOwnTemporaryFolder(temporary.path());
        keepOffline();
        QCoreApplication::installTranslator(&translator);
        for (const char *scheme : {"http", "https", "file"})
            QDesktopServices::setUrlHandler(scheme, this, "openUrl");
    }

    void init()
    {
        AppTiming::setScale(0.05);
        QDir(firmwareFolderPath()).removeRecursively();
    }

    void newestDownloadIsChosen_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("versions");
        QTest::addColumn<QString>("shown");
        QTest::newRow("largest number")
            << QStringList{"temp.101", "temp.103"} << QList<int>{101, 103} << "Ver. 1.03 Build 7";
        QTest::newRow("exe counts as 0")
            << QStringList{"temp.exe", "temp.102"} << QList<int>{200, 102} << "Ver. 1.02 Build 7";
        QTest::newRow("last three characters")
            << QStringList{"fw_v2_110", "temp.102"} << QList<int>{110, 102} << "Ver. 1.10 Build 7";
        QTest::newRow("hidden files are passed over")
            << QStringList{".temp.999", "temp.101"} << QList<int>{199, 101} << "Ver. 1.01 Build 7";
    }
    void newestDownloadIsChosen()
    {
        QFETCH(QStringList, names);
        QFETCH(QList<int>, versions);
        QFETCH(QString, shown);
        QVERIFY(QDir().mkpath(firmwareFolderPath() + "/temp.999")); // folders are passed over
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(writeFile(firmwareFolderPath() + '/' + names.at(i),
                              firmwareImage("VELDR-Q7", versions.at(i), 7)));
        MainWindow window;
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), shown);
        QCOMPARE(flag(window, "downloaded"), shown != "---");
    }

    // A folder or file that someone else could have placed is not offered.
    void plantedFirmwareIsIgnored_data()
    {
        QTest::addColumn<QString>("planted");
        for (const char *kind : {"folder writable by others", "folder is a link", "file is a link"})
            QTest::newRow(kind) << kind;
    }
    void plantedFirmwareIsIgnored()
    {
        QFETCH(QString, planted);
        const QString elsewhere = temporary.filePath("elsewhere"), folder = firmwareFolderPath();
        const auto cleanUp = qScopeGuard([&] { QFile::remove(folder); });
        QVERIFY(QDir().mkpath(elsewhere) &&
                QFile::setPermissions(elsewhere, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(writeFile(elsewhere + "/temp.102", firmwareImage("VELDR-Q7", 102, 3)));
        if (planted == "folder writable by others") {
            QVERIFY(QDir().mkpath(folder) && QFile::copy(elsewhere + "/temp.102", folder + "/temp.102"));
            QVERIFY(QFile::setPermissions(folder, QFile::permissions(folder) | QFile::WriteOther));
        } else if (planted == "folder is a link") {
            QVERIFY(QFile::link(elsewhere, folder));
        } else {
            QVERIFY(QDir().mkpath(folder) && QFile::link(elsewhere + "/temp.102", folder + "/temp.102"));
        }
        MessageLog log;
        MainWindow window;
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), QStringLiteral("---"));
        QVERIFY(!flag(window, "downloaded"));
        QCOMPARE(log.messages().filter("local firmware refused").size(), 1);
    }

    // A picked file arrives as a file URL and is checked before anything is
    // offered; a file beyond the format's 32-bit size is not even read.
    void pickedFileIsChecked_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // null: no such file
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("refusal"); // the log line of a refusal the user sees
        const QByteArray image = firmwareImage("VELDR-Q7", 102, 3);
        QByteArray corrupted = image;
        corrupted[image.size() / 2] = char(image.at(image.size() / 2) ^ 0x5a); // a payload byte
        for (const char *name :
             {"fw#1.bin", "100%.bin", "fw%41.bin", "my firmware.bin", "Größe ファーム.bin"})
            QTest::newRow(name) << QString::fromUtf8(name) << image << true << "";
        QTest::newRow("sibling model") << "q9.bin" << firmwareImage("VD-NIMBO", 102, 3) << true << "";
        QTest::newRow("checksum fails") << "bad.bin" << corrupted << false << "file checksum error";
        QTest::newRow("beyond 4 GiB") << "huge.bin" << QByteArray() << false << "file too large";
        QTest::newRow("shorter than a header") << "short.bin" << QByteArray(31, 'x') << false << "";
        QTest::newRow("missing file") << "missing.bin" << QByteArray() << false << "";
    }
    void pickedFileIsChecked()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, accepted);
        QFETCH(QString, refusal);
        const QString path = temporary.filePath(name);
        const auto cleanUp = qScopeGuard([&] { QFile::remove(path); });
        if (name == "huge.bin")
            QVERIFY(writeFile(path, QByteArray()) && QFile::resize(path, qint64(1) << 32));
        QVERIFY(content.isNull() || writeFile(path, content));
        MainWindow window;
        MessageLog log;
        window.selectFirmware(QUrl::fromLocalFile(path).toString());
        QCOMPARE(flag(window, "downloaded"), accepted);
        QCOMPARE(flag(window, "error"), !refusal.isEmpty());
        QCOMPARE(label(window, Qt_Enum::LABEL_ERROR), refusal.isEmpty() ? "---" : wrongFirmwareText());
        QVERIFY(refusal.isEmpty() || log.contains(refusal));
        // An accepted file leads straight to the question (no recorder: V0.00).
        QCOMPARE(label(window, Qt_Enum::LABEL_POPUP), accepted ? question("0.00", "1.02") : "---");
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), accepted ? "Ver. 1.02 Build 3" : "---");
    }

    void links_data()
    {
        QTest::addColumn<bool>("answered");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("opened");
        QTest::newRow("product page") << true << "en_GB" << 0 << "https://example.invalid/en/product";
        QTest::newRow("release notes, Japanese")
            << true << "ja_JP" << 1 << "https://example.invalid/ja/notes";
        QTest::newRow("plain http") << true << "de_DE" << 1 << "http://example.invalid/en/notes";
        QTest::newRow("local file refused") << true << "ja_JP" << 0 << "";
        QTest::newRow("before any answer") << false << "en_GB" << 0 << "";
    }
    void links()
    {
        QFETCH(bool, answered);
        QFETCH(QString, locale);
        QFETCH(int, type);
        QFETCH(QString, opened);
        const QLocale previous;
        const auto cleanUp = qScopeGuard([&] { QLocale::setDefault(previous); });
        QLocale::setDefault(QLocale(locale));
        openedUrls.clear();
        MainWindow window;
        const QString document = R"({"VeldracorderQ7_version1":{)"
                                 R"("product_url_en":"https://example.invalid/en/product",)"
                                 R"("product_url_ja":"file:///etc/passwd",)"
                                 R"("releasenote_url_en":"http://example.invalid/en/notes",)"
                                 R"("releasenote_url_ja":"https://example.invalid/ja/notes"}})";
        QVERIFY(!answered || QMetaObject::invokeMethod(&window, "getJSON", Q_ARG(QString, document)));
        window.goLink(type);
        QCOMPARE(openedUrls, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(opened)});
    }

    void licencePage()
    {
        QFile file(":/res/LICENSE.txt");
        QVERIFY(file.open(QIODevice::ReadOnly));
        MainWindow window;
        QSignalSpy shown(&window, &MainWindow::changeLicenseEnable);
        window.openLicensePage();
        QCOMPARE(label(window, Qt_Enum::LABEL_LICENSE),
                 QString::fromUtf8(file.readAll()).remove(QChar(0x0C)));
        QVERIFY(flag(window, "license") && !flag(window, "error") && shown.count() == 1);
    }

    // The held file and the recorder are forgotten, the announced version is not.
    void initializeForgets()
    {
        QVERIFY(!firmwareFile(102, 34, true).isEmpty());
        SimulatedRecorder sim(101, 7);
        MainWindow window;
        const QString document = R"({"VeldracorderQ7_version1":{"firmware_version":110,"firmware_build":3}})";
        QVERIFY(QMetaObject::invokeMethod(&window, "getJSON", Q_ARG(QString, document)));
        QTRY_VERIFY(flag(window, "update"));
        window.initialize();
        QCOMPARE(QDir(firmwareFolderPath()).entryList(QDir::Files), QStringList());
        QCOMPARE(window.getLabel().mid(0, 4),
                 (QList<QString>{"Ver. 1.10 Build 3", "---", "---", mw("Please connect the device.")}));
        QVERIFY(!flag(window, "update") && !flag(window, "updating") && !flag(window, "downloaded"));
        window.startUpdate(Qt_Enum::UPDATE_CHECK);
        QCOMPARE(label(window, Qt_Enum::LABEL_POPUP), question("0.00", "1.10"));
    }

    void confirmationQuestions()
    {
        QVERIFY(!firmwareFile(102, 3, true).isEmpty());
        MainWindow window;
        window.startUpdate(Qt_Enum::UPDATE_START); // while idle the check step, not the start
        QCOMPARE(label(window, Qt_Enum::LABEL_POPUP), question("0.00", "1.02"));
        QVERIFY(flag(window, "popup"));
        window.setPopupEnable(false); // No at the first question
        QVERIFY(!flag(window, "popup"));
        window.startUpdate(Qt_Enum::UPDATE_CHECK);
        window.setPopupEnable(true);
        QVERIFY(flag(window, "popup"));
        QCOMPARE(label(window, Qt_Enum::LABEL_POPUP), mw("Updating will start.") + "\n" +
                                                          mw("Do not turn off the unit's power") + "\n" +
                                                          mw("during the update."));
        window.setPopupEnable(false); // No at the second question: idle again
        QVERIFY(!flag(window, "popup") && !flag(window, "updating") && !flag(window, "error"));
        // The image forgotten between the questions, the interface may still ask for the start.
        window.startUpdate(Qt_Enum::UPDATE_CHECK);
        window.setPopupEnable(true);
        window.initialize();
        window.setLabel(Qt_Enum::LABEL_ROM_VERSION, "Ver. 1.02 Build 3");
        MessageLog log;
        window.startUpdate(Qt_Enum::UPDATE_START);
        QCOMPARE(label(window, Qt_Enum::LABEL_ERROR), wrongFirmwareText());
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), QStringLiteral("---"));
        QVERIFY(flag(window, "error") && !flag(window, "updating"));
        QVERIFY(log.messages().isEmpty()); // refused before the recorder is asked
    }

    void pollRules_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("build");
        QTest::addColumn<int>("battery");
        QTest::addColumn<bool>("held"); // the controller holds version 1.02 build 34
        QTest::addColumn<QString>("sentence");
        QTest::addColumn<bool>("offered");
        const QString latest = mw("This is the latest firmware.");
        const QString internet = mw("Please connect to the Internet.");
        const QString batteries = mw("Install batteries that have enough remaining charge.");
        QTest::newRow("same version and build") << 102 << 34 << 3 << true << latest << false;
        QTest::newRow("newer build on the recorder") << 102 << 35 << 3 << true << available << true;
        QTest::newRow("newer recorder") << 103 << 1 << 3 << true << internet << false;
        QTest::newRow("older recorder") << 101 << 99 << 3 << true << available << true;
        QTest::newRow("nothing held") << 98 << 35 << 3 << false << internet << false;
        QTest::newRow("battery beats an offer") << 101 << 1 << 0 << true << batteries << false;
    }
    void pollRules()
    {
        QFETCH(int, version);
        QFETCH(int, build);
        QFETCH(int, battery);
        QFETCH(bool, held);
        QFETCH(bool, offered);
        QVERIFY(!held || !firmwareFile(102, 34, true).isEmpty());
        SimulatedRecorder sim(version, build, battery);
        sim.changeIdentity([](vzsim::Identity &id) { id.serial = "Nº-Ω-42"; });
        MainWindow window;
        QSignalSpy updateSpy(&window, &MainWindow::changeUpdateEnable);
        QTRY_VERIFY(updateSpy.count() >= 3); // announced on every poll, changed or not
        QCOMPARE(flag(window, "update"), offered);
        QTEST(label(window, Qt_Enum::LABEL_DEVICE_STATUS), "sentence");
        QCOMPARE(label(window, Qt_Enum::LABEL_DEVICE_VERSION),
                 QStringLiteral("Ver. %1 Build %2").arg(MainWindow::versionText(version)).arg(build));
        QCOMPARE(label(window, Qt_Enum::LABEL_DEVICE_SERIALNO), QStringLiteral("Nº-Ω-42"));
    }

    void unplugAndReplug()
    {
        QVERIFY(!firmwareFile(102, 34, true).isEmpty());
        SimulatedRecorder sim(101, 7);
        MainWindow window;
        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_STATUS), available);
        window.setProgress(40);

        sim.port.unplug();
        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_STATUS), mw("Please connect the device."));
        QCOMPARE(label(window, Qt_Enum::LABEL_DEVICE_SERIALNO), QStringLiteral("---"));
        QCOMPARE(label(window, Qt_Enum::LABEL_DEVICE_VERSION), QStringLiteral("---"));
        QCOMPARE(window.property("progress").toInt(), 0);
        QVERIFY(!flag(window, "update"));
        // The port was closed on the way out, so it is opened afresh.
        sim.changeIdentity([](vzsim::Identity &id) { id.version = 110; });
        sim.port.plug();
        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_VERSION), QStringLiteral("Ver. 1.10 Build 7"));
        QCOMPARE(label(window, Qt_Enum::LABEL_DEVICE_STATUS), mw("Please connect to the Internet."));
    }

    // The full-size sample image, from the file choice to the recorder running it.
    void wholeUpdate()
    {
        AppTiming::setScale(0.1); // the bar is refreshed every 10 ms, each half phase lasts 100 ms
        QFile file(QStringLiteral(VZ_SAMPLE_IMAGE));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray image = file.readAll();
        QCOMPARE(image.size(), 22972448);
        SimulatedRecorder sim(98, 35);
        QStringList status; // every text of the label, without repeats: the poll may overwrite one soon
        QList<int> percentages;
        MainWindow window;
        MessageLog log;
        connect(&window, &MainWindow::changeLabel, [&] {
            if (status.value(status.size() - 1) != label(window, Qt_Enum::LABEL_DEVICE_STATUS))
                status << label(window, Qt_Enum::LABEL_DEVICE_STATUS);
        });
        connect(&window, &MainWindow::changeProgress,
                [&] { percentages << window.property("progress").toInt(); });
        choose(window, QStringLiteral(VZ_SAMPLE_IMAGE));
        QCOMPARE(label(window, Qt_Enum::LABEL_POPUP), question("0.98", "1.00"));
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), QStringLiteral("Ver. 1.00 Build 39"));
        confirm(window);
        QTRY_VERIFY(log.contains("GO UPDATE!!!!!!!"));
        QVERIFY(!flag(window, "popup") && flag(window, "updating") && !flag(window, "update"));
        QCOMPARE(label(window, Qt_Enum::LABEL_FWUPDATE), mw("Updating..."));

        QTRY_VERIFY_WITH_TIMEOUT(!flag(window, "updating"), 600000);
        QVERIFY2(flag(window, "check") && !flag(window, "error"),
                 qPrintable(label(window, Qt_Enum::LABEL_ERROR)));
        QCOMPARE(label(window, Qt_Enum::LABEL_CHECK), mw("Update complete"));
        QCOMPARE(label(window, Qt_Enum::LABEL_FWUPDATE), mw("Start updating"));
        QVERIFY(sim.receivedImage() == image);
        // The worker's text, then the bar's, then the worker's result.
        const QString workerUpdating = marked("FWUpdateWorker", "Updating...");
        QCOMPARE(
            status.mid(status.indexOf(workerUpdating), 3),
            QStringList({workerUpdating, mw("Updating..."), marked("FWUpdateWorker", "Update complete")}));
        // Six phases: blank check and writing at half their count are 50 + 8 and 66 + 8; the compare
        // phase ends at 99, never 100.
        QVERIFY2(percentages.contains(58) && percentages.contains(74) && log.contains("74%") &&
                     percentages.last() == 99,
                 qPrintable(log.messages().filter("%").join(' ')));
        // The poll resumes and finds the recorder running the new firmware.
        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_VERSION), QStringLiteral("Ver. 1.00 Build 39"));
        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_STATUS), mw("This is the latest firmware."));
    }

    void startChecksRefuse_data()
    {
        QTest::addColumn<RecorderChange>("change");
        QTest::addColumn<QString>("debugLine");
        QTest::addColumn<QString>("text");
        const QString recognition = deviceRecognitionText();
        QTest::newRow("unplugged") << RecorderChange([](SimulatedRecorder &sim) { sim.port.unplug(); })
                                   << "error: !vz.get_protocol_info" << recognition;
        QTest::newRow("protocol 2") << identity([](auto &id) { id.protocolVersion = 2; })
                                    << "error: protocol vesion" << recognition;
        QTest::newRow("version unanswered") << silentOn(0x01) << "error: !vz.get_version_info" << recognition;
        QTest::newRow("battery unanswered") << silentOn(0x08) << "error: !vz.get_battery_info" << recognition;
        QTest::newRow("no battery") << identity([](auto &id) { id.battery = 0; }) << "error: no battery"
                                    << mw("Install batteries that have enough remaining charge.");
        QTest::newRow("no product") << identity([](auto &id) { id.product = ""; }) << "error: !vz.get_product"
                                    << recognition;
        QTest::newRow("another model") << identity([](auto &id) { id.product = "Q9"; })
                                       << "error: hw_product != fw_product" << wrongFirmwareText();
        QTest::newRow("updated meanwhile") << identity([](auto &id) { id.version = 105; })
                                           << "error: hw_ver > fw_ver" << downgradeText("1.05", "1.02");
    }
    void startChecksRefuse()
    {
        QFETCH(RecorderChange, change);
        QFETCH(QString, debugLine);
        SimulatedRecorder sim(98, 35);
        MainWindow window;
        choose(window, firmwareFile(102, 36));
        window.setPopupEnable(true);
        QTest::qWait(200); // a poll asked for before may still be answered
        const uint64_t asked = sim.recorder.requestCount(0x01);
        QVERIFY(QMetaObject::invokeMethod(&window, "on_timer_device")); // the poll is paused now
        QTest::qWait(200);
        QCOMPARE(sim.recorder.requestCount(0x01), asked);
        change(sim);
        MessageLog log;
        bool updateAtRefusal = true; // the poll resumes after the refusal and may offer again
        connect(&window, &MainWindow::changeUpdatingStatus,
                [&] { updateAtRefusal = flag(window, "update"); });
        window.setPopupEnable(true);
        QTRY_VERIFY2(log.contains(debugLine), qPrintable(log.messages().join(" | ")));
        QTEST(label(window, Qt_Enum::LABEL_ERROR), "text");
        QVERIFY(flag(window, "error") && !flag(window, "popup") && !updateAtRefusal);
        QVERIFY(!flag(window, "updating") && !flag(window, "downloaded"));
        QCOMPARE(sim.recorder.requestCount(0x51), uint64_t(0)); // nothing was started
    }

    // The recorder is asked off the GUI thread. A port that sends nothing but
    // damaged frames fails each of a query's ten receives, a second and more
    // that froze the window when the GUI thread asked; a timer there must
    // keep firing (the margin is wide for a loaded machine).
    void windowKeepsTurning()
    {
        AppTiming::setScale(1);
        vzmidi_virtual_port *port = vzmidi_virtual_register("Q7 CONTROL", nullptr, nullptr);
        std::atomic<bool> flooding{true};
        std::thread flood([&] {
            static const uint8_t damaged[] = {0xF0, 0x4E, 0x50, 0x24, 0x00, 0x55, 0x02, 0x00, 0xF7};
            while (flooding.load()) {
                vzmidi_virtual_deliver(port, damaged, sizeof damaged);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        qint64 longest = 0;
        {
            MainWindow window;
            QElapsedTimer clock;
            QTimer tick;
            connect(&tick, &QTimer::timeout, [&] { longest = qMax(longest, clock.restart()); });
            clock.start();
            tick.start(10);
            vzmidi_virtual_state state{};
            QTRY_VERIFY_WITH_TIMEOUT((vzmidi_virtual_get_state(port, &state), state.input_opens >= 3), 30000);
        }
        flooding = false;
        flood.join();
        vzmidi_virtual_unregister(port);
        QVERIFY2(longest < 700, qPrintable(QString::number(longest)));
    }

    void downgradeIsRefused()
    {
        SimulatedRecorder sim(102, 1);
        MainWindow window;
        choose(window, firmwareFile(100, 1));
        QVERIFY(flag(window, "error") && !flag(window, "popup") && !flag(window, "downloaded"));
        QCOMPARE(label(window, Qt_Enum::LABEL_ERROR), downgradeText("1.02", "1.00"));
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), QStringLiteral("---"));
    }

    void finalStatus_data()
    {
        QTest::addColumn<RecorderChange>("arm");
        QTest::addColumn<QString>("message");
        const QString general =
            mw("An error occurred while updating.", "Restart the device's power once and try again.");
        const auto row = [](uint32_t status, const QString &message) {
            QTest::newRow(qPrintable(QString::number(status)))
                << armed(vzsim::Fault::error(VZMSG_DATA_FWUP_WRITE, status)) << message;
        };
        row(100, general);
        row(101, mw("Stop operation as an SD card reader."));
        row(102, mw("Stop recording and playback."));
        row(103, mw("Install batteries that have enough remaining charge."));
        row(104, mw("Updating to an older firmware version is not possible."));
        row(106, wrongFirmwareText());
        row(111, deviceRecognitionText());
        // A sequence that stops without an error status ends on the last status seen.
        QTest::newRow("5: write request unanswered") << silentOn(VZMSG_DATA_FWUP_WRITE) << general;
    }
    void finalStatus()
    {
        QFETCH(RecorderChange, arm);
        SimulatedRecorder sim(102, 40); // the same version with a lower build passes the start checks
        arm(sim);                       // these faults meet only the update's requests
        MainWindow window;
        MessageLog log;
        choose(window, firmwareFile(102, 36));
        confirm(window);
        QTRY_VERIFY(log.contains("GO UPDATE!!!!!!!"));
        QTRY_VERIFY_WITH_TIMEOUT(!flag(window, "updating"), 60000);
        QVERIFY(flag(window, "error") && !flag(window, "check"));
        QTEST(label(window, Qt_Enum::LABEL_ERROR), "message");
        QCOMPARE(label(window, Qt_Enum::LABEL_FWUPDATE), mw("Start updating"));
    }
};

QTEST_GUILESS_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
