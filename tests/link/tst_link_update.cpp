// Whole updates through the control layer, the real port layer and the
// recorder simulator, with another thread watching the shared counters.
#include "link_rig.h"
#include "prgdecode.h"
#include "test_support.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

using namespace simtest;

namespace
{

struct Latency {
    const char *name;
    int milliseconds;
    int stepsDone;
};
// Beyond the receive's wait every reply comes too late: update mode is
// never confirmed.
const Latency latencies[] = {{"within the receive's wait", 5, 4}, {"beyond the receive's wait", 250, 0}};

} // namespace

class TestLinkUpdate : public QObject
{
    Q_OBJECT

private slots:
    void sampleImage();
    void replyLatency_data() { addRows(latencies); }
    void replyLatency();
};

void TestLinkUpdate::sampleImage()
{
    int32_t length = 0;
    uint8_t *bytes = prg_load_file(VZ_SAMPLE_IMAGE, &length);
    const Image image(bytes, bytes + (bytes ? length : 0));
    std::free(bytes);
    QCOMPARE(image.size(), size_t(22972448));
    LinkRig rig;

    // Another thread reads the counters while the update runs, as the
    // controller's refresh does, once more after it.
    std::atomic<bool> over{false};
    uint32_t highestStatus = 0;
    bool progressBeyondTotal = false;
    std::thread watcher([&] {
        for (bool last = false; !last; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
            last = over;
            const uint32_t status = __atomic_load_n(&rig.counters.status, __ATOMIC_RELAXED);
            const uint32_t progress = __atomic_load_n(&rig.counters.progress, __ATOMIC_RELAXED);
            const uint32_t total = __atomic_load_n(&rig.counters.total, __ATOMIC_RELAXED);
            highestStatus = std::max(highestStatus, status);
            // The scale is set once, before the first byte is counted.
            progressBeyondTotal = progressBeyondTotal || (total != 0 && progress > total);
        }
    });
    const int steps = rig.stepsDone(image);
    over = true;
    watcher.join();

    QCOMPARE(steps, 4);
    QCOMPARE(rig.counters.status, uint32_t(VZMSG_DATA_FWUP_STATUS_COMPLETE));
    QCOMPARE(rig.counters.progress, rig.counters.total);
    QVERIFY(rig.recorder.receivedImage() == image); // not QCOMPARE: no 22 MB dump on failure
    QCOMPARE(rig.recorder.protocolErrors(), uint64_t(0));
    QCOMPARE(rig.recorder.badFrames(), uint64_t(0));
    // The recorder now runs the sample image's firmware, 1.00 build 39.
    QCOMPARE(rig.recorder.config().identity.version, uint16_t(100));
    QCOMPARE(rig.recorder.config().identity.build, uint16_t(39));
    QCOMPARE(highestStatus, uint32_t(VZMSG_DATA_FWUP_STATUS_COMPLETE));
    QVERIFY(!progressBeyondTotal);
}

void TestLinkUpdate::replyLatency()
{
    const Latency &c = fetchCase(latencies);
    vzsim::RecorderConfig config;
    config.timing = phases({});
    config.timing.latency = std::chrono::milliseconds(c.milliseconds);
    LinkRig rig(config);
    const Image image = makeImage(800);

    QCOMPARE(rig.stepsDone(image), c.stepsDone);
    QCOMPARE(rig.recorder.receivedImage(), c.stepsDone == 4 ? image : Image());
}

QTEST_GUILESS_MAIN(TestLinkUpdate)
#include "tst_link_update.moc"
