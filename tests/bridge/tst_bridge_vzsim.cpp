// The real port layer in this process against vzsim in another, through the
// recorder bridge: discovery by name, identity queries, a whole update of a
// small image, recorder faults, and vzsim going away as an unplug.
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

#include <mmsystem.h>

#include "test_images.h"
#include "vzsim_process.h"
#include "vzmsg_ctl.h"

namespace
{

// The host's port, closed at the end.
struct HostPort {
    std::unique_ptr<vzmsg_dev_t> dev = std::make_unique<vzmsg_dev_t>();
    int opened = vzmsg_devs_open(dev.get());
    ~HostPort() { vzmsg_devs_close(dev.get()); }
};

struct Identity {
    uint32_t version = 0;
    uint32_t build = 0;
    QString product;
};

// Asks the recorder for its version, as the device wrapper does.
bool queryIdentity(vzmsg_dev_t *dev, Identity &identity)
{
    uint8_t buffer[256] = {};
    vzmsg_t msg;
    vzmsg_init(&msg, buffer, sizeof buffer);
    vzmsg_add_cmd(&msg, VZMSG_DATA_VERSION);
    if (vzmsg_ctl_send(dev, &msg) != 0 || vzmsg_ctl_recv(dev, &msg) != 0)
        return false;
    uint32_t code, type;
    uint64_t value;
    uint16_t size;
    bool seen = false;
    while (vzmsg_get(&msg, &code, &type, &value, &size) == 0) {
        if (code == VZMSG_DATA_VERSION) {
            identity.version = uint32_t(value);
            seen = true;
        } else if (code == VZMSG_DATA_BUILD) {
            identity.build = uint32_t(value);
        } else if (code == VZMSG_DATA_PRODUCT) {
            identity.product = QString::fromLatin1(reinterpret_cast<const char *>(uintptr_t(value)), size);
        }
    }
    return seen;
}

// Waits until the recorder answers, and lets any late answer arrive and
// go, so that a slow start of vzsim on a busy machine does not count
// against the exchange under test (each reply is due within 100 ms).
bool warmUp(vzmsg_dev_t *dev)
{
    QDeadlineTimer deadline(20000);
    Identity identity;
    while (!queryIdentity(dev, identity)) {
        if (deadline.hasExpired())
            return false;
    }
    uint8_t buffer[256];
    uint8_t length = 0;
    for (;;) {
        length = 0;
        if (vzmsg_devs_recv(dev, buffer, sizeof buffer, &length) != 0 || length == 0)
            return true;
    }
}

struct Counters {
    uint32_t status = 0;
    uint32_t progress = 0;
    uint32_t total = 0;
};

// The steps of an update as the device wrapper runs them; the number of
// the step that failed (0 none) and its result.
struct Update {
    int failedStep = 0;
    int result = 0;
};

Update runUpdate(vzmsg_dev_t *dev, const std::vector<uint8_t> &image, Counters &c)
{
    const std::function<int()> steps[] = {
        [&] { return vzmsg_ctl_fwup_enter(dev, &c.status); },
        [&] {
            return vzmsg_ctl_fwup_send_data(dev, image.data(), uint32_t(image.size()), &c.progress, &c.total,
                                            &c.status);
        },
        [&] { return vzmsg_ctl_fwup_data_check(dev, &c.status); },
        [&] { return vzmsg_ctl_fwup_write(dev, &c.progress, &c.total, &c.status); },
    };
    for (int i = 0; i < 4; ++i)
        if (int result = steps[i]())
            return {i + 1, result};
    return {};
}

// The library's waits between status polls, made short: vzsim's phases
// are counted in polls, not in time.
void shortWait(uint32_t)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace

class TestBridgeVzsim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void commandLine_data();
    void commandLine();
    void secondListenerIsRefused();
    void discoveryAndIdentity_data();
    void discoveryAndIdentity();
    void fullUpdate();
    void recorderError_data();
    void recorderError();
    void vzsimGoingAwayIsUnplug_data();
    void vzsimGoingAwayIsUnplug();

private:
    QTemporaryDir m_dir;
    QString m_socket;
};

void TestBridgeVzsim::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_socket = m_dir.filePath(QStringLiteral("q7.sock"));
    // Before the first port listing of this process.
    QVERIFY(qputenv("VZMIDI_BRIDGE", m_socket.toLocal8Bit()));
    vzmsg_set_sleep_hook(shortWait);
}

void TestBridgeVzsim::cleanupTestCase()
{
    vzmsg_set_sleep_hook(nullptr);
}

void TestBridgeVzsim::cleanup()
{
    QFile::remove(m_socket); // left by a vzsim that was killed
}

void TestBridgeVzsim::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutHas");
    QTest::addColumn<QString>("stderrHas");

    QTest::newRow("help") << QStringList{"--help"} << 0 << "--fail-status REQ=STATUS"
                          << "";
    QTest::newRow("bad option") << QStringList{"--nonsense", "x"} << 2 << ""
                                << "unknown option --nonsense";
    QTest::newRow("no path") << QStringList{"--verbose"} << 2 << ""
                             << "no socket path given";
    QTest::newRow("path not a socket") << QStringList{QStringLiteral(VZSIM_PATH)} << 1 << ""
                                       << "exists and is not a socket";
}

void TestBridgeVzsim::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutHas);
    QFETCH(QString, stderrHas);
    QProcess process;
    process.start(QStringLiteral(VZSIM_PATH), args);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    QVERIFY(QString::fromLocal8Bit(process.readAllStandardOutput()).contains(stdoutHas));
    QVERIFY(QString::fromLocal8Bit(process.readAllStandardError()).contains(stderrHas));
}

void TestBridgeVzsim::secondListenerIsRefused()
{
    Vzsim first(m_socket);
    QVERIFY(first.start({}));
    QProcess second;
    second.start(QStringLiteral(VZSIM_PATH), {m_socket});
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(QString::fromLocal8Bit(second.readAllStandardError()).contains("another listener is already at"));
    // The first one is untouched and still serves the recorder.
    HostPort host;
    QCOMPARE(host.opened, 0);

    // SIGTERM: a clean exit that removes the socket.
    first.process().terminate();
    QVERIFY(first.process().waitForFinished(30000));
    QCOMPARE(first.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.process().exitCode(), 0);
    QVERIFY(!QFileInfo::exists(m_socket));
}

void TestBridgeVzsim::discoveryAndIdentity_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("found");
    QTest::addColumn<uint>("version");
    QTest::addColumn<uint>("build");
    QTest::addColumn<QString>("product");

    QTest::newRow("defaults") << QStringList{} << true << 98u << 35u << "Q7";
    QTest::newRow("identity options")
        << QStringList{"--version", "1.10", "--build", "7", "--product", "VD-NIMBO"} << true << 110u << 7u
        << "VD-NIMBO";
    QTest::newRow("other port name") << QStringList{"--name", "Q7 CONTROL 2"} << false << 0u << 0u << "";
}

void TestBridgeVzsim::discoveryAndIdentity()
{
    QFETCH(QStringList, args);
    QFETCH(bool, found);
    QFETCH(uint, version);
    QFETCH(uint, build);
    QFETCH(QString, product);

    Vzsim vzsim(m_socket);
    QVERIFY(vzsim.start(args));
    HostPort host;
    QCOMPARE(host.opened, found ? 0 : 2);
    if (!found)
        return;
    QVERIFY(warmUp(host.dev.get()));
    Identity identity;
    QVERIFY(queryIdentity(host.dev.get(), identity));
    QCOMPARE(identity.version, version);
    QCOMPARE(identity.build, build);
    QCOMPARE(identity.product, product);
}

void TestBridgeVzsim::fullUpdate()
{
    Vzsim vzsim(m_socket);
    QVERIFY(vzsim.start({"--verbose", "--free-space", "600"}));
    HostPort host;
    QCOMPARE(host.opened, 0);
    QVERIFY(warmUp(host.dev.get()));

    const std::vector<uint8_t> image = simtest::makeImage(3000, "VELDR-Q7", 102, 40);
    Counters counters;
    const Update update = runUpdate(host.dev.get(), image, counters);
    QCOMPARE(update.failedStep, 0);
    QCOMPARE(counters.status, uint32_t(VZMSG_DATA_FWUP_STATUS_COMPLETE));
    QCOMPARE(counters.progress, counters.total);

    // The recorder now runs the image it was sent.
    Identity identity;
    QVERIFY(queryIdentity(host.dev.get(), identity));
    QCOMPARE(identity.version, 102u);
    QCOMPARE(identity.build, 40u);
    QTRY_VERIFY(vzsim.output().contains("vzsim: firmware written, now version 1.02 build 40"));
    const QString log = vzsim.output();
    QVERIFY(log.contains("-> 0x51 FWUP_MODE\n<- 0x51="));
    QVERIFY(log.contains("-> 0x52 FWUP_SIZE=" + QString::number(image.size()) + "\n"));
    QVERIFY(log.contains("-> 0x59 FWUP_DATA\n<- 0x58=0 0x59=600\n"));
    QVERIFY(log.contains("-> 0x59 FWUP_DATA=[252 bytes]\n<- 0x58=252 0x59=348\n"));
    QVERIFY(log.contains("-> 0x55 FWUP_STATUS\n<- 0x55=10 0x56="));
}

void TestBridgeVzsim::recorderError_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("failedStep");
    QTest::addColumn<uint>("status");

    QTest::newRow("checksum error at the data check")
        << QStringList{"--fail-status", "0x53=106"} << 3 << 106u;
    QTest::newRow("erase error while writing")
        << QStringList{"--fail-status", "0x55=107,status=6"} << 4 << 107u;
    QTest::newRow("no battery") << QStringList{"--battery", "0"} << 1 << 103u;
    QTest::newRow("image of another product") << QStringList{"--image-product", "VD-NIMBO"} << 3 << 105u;
}

void TestBridgeVzsim::recorderError()
{
    QFETCH(QStringList, args);
    QFETCH(int, failedStep);
    QFETCH(uint, status);

    Vzsim vzsim(m_socket);
    QVERIFY(vzsim.start(args));
    HostPort host;
    QCOMPARE(host.opened, 0);
    QVERIFY(warmUp(host.dev.get()));
    Counters counters;
    const Update update = runUpdate(host.dev.get(), simtest::makeImage(1000), counters);
    QCOMPARE(update.failedStep, failedStep);
    QCOMPARE(update.result, 1);
    QCOMPARE(counters.status, uint32_t(status));
    QVERIFY(!vzsim.output().contains("firmware written"));
}

void TestBridgeVzsim::vzsimGoingAwayIsUnplug_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("ending"); // what the test does mid-transfer

    // A few milliseconds per reply keep the transfer going long enough.
    QTest::newRow("terminated") << QStringList{"--latency", "4"} << "terminate";
    QTest::newRow("killed") << QStringList{"--latency", "4"} << "kill";
    QTest::newRow("unplug fault") << QStringList{"--unplug", "0x59,at=21"} << "";
}

void TestBridgeVzsim::vzsimGoingAwayIsUnplug()
{
    QFETCH(QStringList, args);
    QFETCH(QString, ending);

    Vzsim vzsim(m_socket);
    QVERIFY(vzsim.start(args));
    auto host = std::make_unique<HostPort>();
    QCOMPARE(host->opened, 0);
    QVERIFY(warmUp(host->dev.get()));
    uint32_t status = 0;
    QCOMPARE(vzmsg_ctl_fwup_enter(host->dev.get(), &status), 0);

    const std::vector<uint8_t> image = simtest::makeImage(60000);
    Counters counters;
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
    if (!ending.isEmpty())
        QVERIFY(vzsim.process().waitForFinished(30000));

    // Unplugged: the port is gone and does not open again.
    host.reset();
    HostPort again;
    QCOMPARE(again.opened, 2);
}

QTEST_GUILESS_MAIN(TestBridgeVzsim)
#include "tst_bridge_vzsim.moc"
