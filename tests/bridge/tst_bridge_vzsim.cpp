// The real port layer in this process against vzsim in another, through the
// recorder bridge: discovery by name, a whole update of a small image,
// recorder faults, and vzsim going away as an unplug.
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

void shortWait(uint32_t) // vzsim's phases are counted in status polls, not in time
{
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
        vzmsg_set_sleep_hook(shortWait);
    }
    void cleanupTestCase() { vzmsg_set_sleep_hook(nullptr); }
    void cleanup() { QFile::remove(m_socket); } // left by a vzsim that was killed

    void update_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("lastStep"); // 0: the recorder's port is not found
        QTest::addColumn<int>("result");
        QTest::addColumn<uint>("status");
        QTest::newRow("other port name") << QStringList{"--name", "Q7 CONTROL 2"} << 0 << 0 << 0u;
        QTest::newRow("whole update") << QStringList{"--verbose", "--free-space", "600"} << 4 << 0
                                      << uint(VZMSG_DATA_FWUP_STATUS_COMPLETE);
        QTest::newRow("no battery") << QStringList{"--battery", "0"} << 1 << 1 << 103u;
        QTest::newRow("checksum error") << QStringList{"--fail-status", "0x53=106"} << 3 << 1 << 106u;
        QTest::newRow("image of another product")
            << QStringList{"--image-product", "VD-NIMBO"} << 3 << 1 << 105u;
        QTest::newRow("erase error") << QStringList{"--fail-status", "0x55=107,status=6"} << 4 << 1 << 107u;
    }
    void update()
    {
        QFETCH(QStringList, args);
        QFETCH(int, lastStep);
        QFETCH(int, result);
        QFETCH(uint, status);
        Vzsim vzsim(m_socket);
        QVERIFY(vzsim.start(args));
        HostPort host;
        QCOMPARE(host.opened, lastStep == 0 ? 2 : 0);
        if (lastStep == 0)
            return;
        QVERIFY(warmUp(host.dev.get()));
        const std::vector<uint8_t> image = simtest::makeImage(3000, "VELDR-Q7", 102, 40);
        Counters counters;
        QCOMPARE(runUpdate(host.dev.get(), image, counters), qMakePair(lastStep, result));
        QCOMPARE(counters.status, uint32_t(status));
        QTRY_COMPARE(vzsim.output().contains("vzsim: firmware written, now version 1.02 build 40"),
                     result == 0);
        if (result != 0)
            return;
        QCOMPARE(counters.progress, counters.total);
        QVERIFY(vzsim.output().contains("-> 0x52 FWUP_SIZE=" + QString::number(image.size()) + "\n"));
        QVERIFY(vzsim.output().contains("-> 0x59 FWUP_DATA=[252 bytes]\n<- 0x58=252 0x59=348\n"));
    }

    void vzsimGoingAwayIsUnplug_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("ending"); // what the test does mid-transfer
        // A few milliseconds per reply keep the transfer going long enough.
        QTest::newRow("terminated") << QStringList{"--latency", "4"} << "terminate";
        QTest::newRow("killed") << QStringList{"--latency", "4"} << "kill";
        QTest::newRow("unplug fault") << QStringList{"--unplug", "0x59,at=21"} << "";
    }
    void vzsimGoingAwayIsUnplug()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, ending);
        Vzsim vzsim(m_socket);
        QVERIFY(vzsim.start(args));
        auto host = std::make_unique<HostPort>();
        QCOMPARE(host->opened, 0);
        QVERIFY(warmUp(host->dev.get()));
        Counters counters;
        QCOMPARE(vzmsg_ctl_fwup_enter(host->dev.get(), &counters.status), 0);
        const std::vector<uint8_t> image = simtest::makeImage(60000);
        std::atomic<int> result{-1};
        std::thread transfer([&] {
            result = vzmsg_ctl_fwup_send_data(host->dev.get(), image.data(), uint32_t(image.size()),
                                              &counters.progress, &counters.total, &counters.status);
        });
        QTRY_VERIFY(__atomic_load_n(&counters.progress, __ATOMIC_RELAXED) >= 2520 || result != -1);
        if (ending == "terminate")
            vzsim.process().terminate();
        else if (ending == "kill")
            vzsim.process().kill();
        transfer.join();
        QVERIFY(result != 0);
        QVERIFY(counters.progress < image.size());
        if (ending == "terminate") { // a clean exit that removes the socket
            QVERIFY(vzsim.process().waitForFinished(30000));
            QCOMPARE(vzsim.process().exitStatus(), QProcess::NormalExit);
            QCOMPARE(vzsim.process().exitCode(), 0);
            QVERIFY(!QFileInfo::exists(m_socket));
        }
        host.reset(); // unplugged: the port is gone and does not open again
        HostPort again;
        QCOMPARE(again.opened, 2);
    }
};

QTEST_GUILESS_MAIN(TestBridgeVzsim)
#include "tst_bridge_vzsim.moc"
