// Whole updates through the control layer, the real port layer and the
// recorder simulator, with another thread watching the shared counters.
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <numeric>
#include <set>
#include <thread>

#include "link_rig.h"
#include "prgdecode.h"
#include "test_images.h"

using namespace simtest;

Q_DECLARE_METATYPE(std::chrono::milliseconds)

namespace
{

// Reads the counters while the update runs, as the controller's timer
// does, and notes what it saw.
class Watcher
{
public:
    explicit Watcher(const Counters &counters) : m_counters(counters), m_thread([this] { watch(); }) {}
    ~Watcher() { stop(); }

    void stop()
    {
        m_stop.store(true);
        if (m_thread.joinable())
            m_thread.join();
    }
    std::set<uint32_t> statuses() const { return m_statuses; }
    bool progressBeyondTotal() const { return m_beyond; }

private:
    void watch()
    {
        while (!m_stop.load()) {
            const uint32_t status = __atomic_load_n(&m_counters.status, __ATOMIC_RELAXED);
            const uint32_t progress = __atomic_load_n(&m_counters.progress, __ATOMIC_RELAXED);
            const uint32_t total = __atomic_load_n(&m_counters.total, __ATOMIC_RELAXED);
            m_statuses.insert(status);
            // The scale is set once, before the first byte is counted.
            m_beyond = m_beyond || (total != 0 && progress > total);
            // About as often as the controller's refresh, without taking
            // a core from the update on a small machine.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    const Counters &m_counters;
    std::atomic<bool> m_stop{false};
    std::set<uint32_t> m_statuses;
    bool m_beyond = false;
    std::thread m_thread; // last: starts once the rest exists
};

std::vector<uint8_t> loadSampleImage()
{
    int32_t length = 0;
    uint8_t *bytes = prg_load_file(VZ_SAMPLE_IMAGE, &length);
    std::vector<uint8_t> image(bytes, bytes + (bytes ? length : 0));
    std::free(bytes);
    return image;
}

} // namespace

class TestLinkUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Sleeps::install(); }
    void cleanupTestCase() { Sleeps::uninstall(); }

    void sampleImage();
    void wrongImageThenRightAfterPowerCycle();
    void replyLatency_data();
    void replyLatency();
};

void TestLinkUpdate::sampleImage()
{
    const std::vector<uint8_t> image = loadSampleImage();
    QCOMPARE(image.size(), size_t(22972448));
    vzsim::RecorderConfig config;
    config.identity.version = 98;
    LinkRig rig(config);
    QVERIFY(rig.isOpen());
    Counters counters;

    Watcher watcher(counters);
    const int steps = stepsDone(rig, image, counters);
    watcher.stop();

    QCOMPARE(steps, 4);
    QCOMPARE(counters.status, uint32_t(VZMSG_DATA_FWUP_STATUS_COMPLETE));
    QCOMPARE(counters.progress, counters.total);
    QVERIFY(rig.recorder.receivedImage() == image); // not QCOMPARE: no 22 MB dump on failure
    const auto blocks = rig.recorder.blockSizes();
    QCOMPARE(std::accumulate(blocks.begin(), blocks.end(), uint64_t(0)), uint64_t(image.size()));
    QCOMPARE(*std::max_element(blocks.begin(), blocks.end()), uint16_t(252));
    QCOMPARE(rig.recorder.protocolErrors(), uint64_t(0));
    QCOMPARE(rig.recorder.badFrames(), uint64_t(0));
    // The recorder now runs the sample image's firmware, 1.00 build 39.
    QCOMPARE(rig.recorder.config().identity.version, uint16_t(100));
    QCOMPARE(rig.recorder.config().identity.build, uint16_t(39));
    QVERIFY(!watcher.progressBeyondTotal());
    for (uint32_t seen : watcher.statuses())
        QVERIFY2(seen <= VZMSG_DATA_FWUP_STATUS_COMPLETE, qPrintable(QString::number(seen)));
}

void TestLinkUpdate::wrongImageThenRightAfterPowerCycle()
{
    LinkRig rig;
    QVERIFY(rig.isOpen());
    const auto wrong = makeImage(3000, "VD-NIMBO");
    const auto right = makeImage(3000);
    Counters counters;

    QCOMPARE(stepsDone(rig, wrong, counters), 2);
    QCOMPARE(counters.status, uint32_t(VZMSG_DATA_FWUP_STATUS_ERR_PRODUCT));
    // The recorder keeps its error until it is switched off and on.
    Counters refused;
    QCOMPARE(stepsDone(rig, right, refused), 0);
    QCOMPARE(refused.status, uint32_t(VZMSG_DATA_FWUP_STATUS_ERR_PRODUCT));

    rig.recorder.powerCycle();
    Counters again;
    QCOMPARE(stepsDone(rig, right, again), 4);
    QCOMPARE(again.status, uint32_t(VZMSG_DATA_FWUP_STATUS_COMPLETE));
    QCOMPARE(rig.recorder.receivedImage(), right);
}

void TestLinkUpdate::replyLatency_data()
{
    QTest::addColumn<std::chrono::milliseconds>("latency");
    QTest::addColumn<int>("steps");

    QTest::newRow("none") << std::chrono::milliseconds(0) << 4;
    QTest::newRow("within the receive's wait") << std::chrono::milliseconds(5) << 4;
    // Every reply comes after the receive gave up: update mode is never
    // confirmed.
    QTest::newRow("beyond the receive's wait") << std::chrono::milliseconds(250) << 0;
}

void TestLinkUpdate::replyLatency()
{
    QFETCH(std::chrono::milliseconds, latency);
    QFETCH(int, steps);

    vzsim::RecorderConfig config = instantConfig();
    config.timing.latency = latency;
    LinkRig rig(config);
    QVERIFY(rig.isOpen());
    const auto image = makeImage(800);
    Counters counters;

    QCOMPARE(stepsDone(rig, image, counters), steps);
    if (steps == 4)
        QCOMPARE(rig.recorder.receivedImage(), image);
}

QTEST_GUILESS_MAIN(TestLinkUpdate)
#include "tst_link_update.moc"
