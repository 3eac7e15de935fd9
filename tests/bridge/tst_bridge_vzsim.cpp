// vzsim in a process of its own: its command line's refusals and exit codes,
// and the real port layer against it through the bridge: discovery by name,
// whole updates, recorder faults, and vzsim going away as an unplug.
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

#include "test_images.h"
#include "vzmsg_ctl.h"
#include "vzsim_process.h"

namespace
{

struct HostPort {
    std::unique_ptr<vzmsg_dev_t> dev = std::make_unique<vzmsg_dev_t>();
    int opened = vzmsg_devs_open(dev.get());
    ~HostPort() { vzmsg_devs_close(dev.get()); }
};

struct Counters {
    uint32_t status = 0, progress = 0, total = 0;
};

// Waits until the recorder answers, then lets any late answer arrive and
// go: a slow start of vzsim on a busy machine must not count against the
// exchange under test (each reply is due within 100 ms).
bool warmUp(vzmsg_dev_t *dev)
{
    Counters c;
    QDeadlineTimer deadline(20000);
    while (vzmsg_ctl_fwup_get_status(dev, &c.status, &c.progress, &c.total) != 0)
        if (deadline.hasExpired())
            return false;
    uint8_t buffer[256], length;
    do
        length = 0;
    while (vzmsg_devs_recv(dev, buffer, sizeof buffer, &length) == 0 && length > 0);
    return true;
}

// The update's steps as the device wrapper runs them, up to the first that
// fails: the number of the last step run and its result.
QPair<int, int> runUpdate(vzmsg_dev_t *dev, const std::vector<uint8_t> &image, Counters &c)
{
    const auto size = uint32_t(image.size());
    if (int result = vzmsg_ctl_fwup_enter(dev, &c.status))
        return {1, result};
    if (int result = vzmsg_ctl_fwup_send_data(dev, image.data(), size, &c.progress, &c.total, &c.status))
        return {2, result};
    if (int result = vzmsg_ctl_fwup_data_check(dev, &c.status))
        return {3, result};
    return {4, vzmsg_ctl_fwup_write(dev, &c.progress, &c.total, &c.status)};
}

} // namespace

class TestBridgeVzsim : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_socket = m_dir.filePath(QStringLiteral("q7.sock"));

private slots:
    void initTestCase()
    {
        QVERIFY(qputenv("VZMIDI_BRIDGE", m_socket.toLocal8Bit()));
        // vzsim's phases are counted in status polls, not in time.
        vzmsg_set_sleep_hook([](uint32_t) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
    }
    void cleanup() { QFile::remove(m_socket); } // left by a vzsim that was killed

    void exitCodes_data()
    {
        QTest::addColumn<QString>("args"); // with the socket path last, unless refused before
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed"); // the start of stdout (exit 0) or stderr
        QTest::newRow("help wins") << "--build 7 -h --bogus" << 0 << "Usage: vzsim [options]";
        QTest::newRow("no path") << "--verbose" << 2 << "vzsim: no socket path given\n";
        QTest::newRow("unknown option") << "p --colour" << 2 << "vzsim: unknown option --colour";
        for (const char *bad :
             {"--fail-status 0x53", "--fail-status 0x55=5", "--build 0x10", "--build 65536"}) {
            const QStringList option = QString(bad).split(' ');
            QTest::newRow(bad) << "p " + QString(bad) << 2
                               << "vzsim: bad value \"" + option[1] + "\" for " + option[0];
        }
        QTest::newRow("path not a socket")
            << VZSIM_PATH << 1 << "vzsim: " VZSIM_PATH " exists and is not a socket";
        QTest::newRow("another vzsim there") << "" << 1 << "vzsim: another listener is already at";
    }
    void exitCodes()
    {
        QFETCH(QString, args);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        Vzsim first(m_socket);
        if (args.isEmpty())
            QVERIFY(first.start({}));
        QProcess vzsim;
        vzsim.start(VZSIM_PATH, args.isEmpty() ? QStringList{m_socket} : args.split(' '));
        QVERIFY(vzsim.waitForFinished(30000));
        QCOMPARE(vzsim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(vzsim.exitCode(), exitCode);
        const QByteArray text = exitCode == 0 ? vzsim.readAllStandardOutput() : vzsim.readAllStandardError();
        QVERIFY2(text.startsWith(printed.toLocal8Bit()), text.constData());
    }

    void update_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("ending"); // what the test does to vzsim mid-transfer
        QTest::addColumn<int>("lastStep");   // 0: the recorder's port is not found
        QTest::addColumn<int>("result");     // -1: the recorder has gone
        QTest::addColumn<uint>("status");
        QTest::newRow("other port name") << QStringList{"--name", "Q7 CONTROL 2"} << "" << 0 << 0 << 0u;
        QTest::newRow("whole update") << QStringList{"--verbose", "--free-space", "600"} << "" << 4 << 0
                                      << uint(VZMSG_DATA_FWUP_STATUS_COMPLETE);
        // A few milliseconds per reply keep the transfer going long enough.
        QTest::newRow("vzsim terminated") << QStringList{"--latency", "4"} << "terminate" << 2 << -1 << 0u;
        QTest::newRow("vzsim killed") << QStringList{"--latency", "4"} << "kill" << 2 << -1 << 0u;
        QTest::newRow("unplug fault") << QStringList{"--unplug", "0x59,at=21"} << "" << 2 << -1 << 0u;
    }
    void update()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, ending);
        QFETCH(int, lastStep);
        QFETCH(int, result);
        QFETCH(uint, status);
        Vzsim vzsim(m_socket);
        QVERIFY(vzsim.start(args));
        auto host = std::make_unique<HostPort>();
        QCOMPARE(host->opened, lastStep == 0 ? 2 : 0);
        if (lastStep == 0)
            return;
        QVERIFY(warmUp(host->dev.get()));
        // Long enough for vzsim to go away mid-transfer, else short: fewer replies to be late when busy.
        const auto image = simtest::makeImage(result < 0 ? 60000 : 3000, "VELDR-Q7", 102, 40);
        Counters counters;
        QPair<int, int> outcome;
        std::atomic<bool> done{false};
        std::thread update([&] {
            outcome = runUpdate(host->dev.get(), image, counters);
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(__atomic_load_n(&counters.progress, __ATOMIC_RELAXED) >= 2520 || done,
                                 30000);
        if (ending == "terminate")
            vzsim.process().terminate();
        else if (ending == "kill")
            vzsim.process().kill();
        update.join();
        QCOMPARE(outcome.first, lastStep);
        if (result < 0) { // gone: the port too, for good
            QVERIFY(outcome.second != 0 && counters.progress < image.size());
            host.reset();
            QCOMPARE(HostPort().opened, 2);
            if (ending == "terminate") { // a clean exit that removes the socket
                QVERIFY(vzsim.process().waitForFinished(30000));
                QCOMPARE(vzsim.process().exitStatus(), QProcess::NormalExit);
                QCOMPARE(vzsim.process().exitCode(), 0);
                QVERIFY(!QFileInfo::exists(m_socket));
            }
            return;
        }
        QCOMPARE(outcome.second, result);
        QCOMPARE(counters.status, uint32_t(status));
        QTRY_COMPARE(vzsim.output().contains("vzsim: firmware written, now version 1.02 build 40"),
                     result == 0);
        QVERIFY(result != 0 || counters.progress == counters.total);
        QVERIFY(result != 0 || vzsim.output().contains(QString("-> 0x52 FWUP_SIZE=%1\n").arg(image.size())));
        QVERIFY(result != 0 ||
                vzsim.output().contains("-> 0x59 FWUP_DATA=[252 bytes]\n<- 0x58=252 0x59=348\n"));
    }
};

QTEST_GUILESS_MAIN(TestBridgeVzsim)
#include "tst_bridge_vzsim.moc"
