// The recorder simulator on its own, where the tests through the port layer
// would not notice its faults: the image check, the requests it counts as
// the host's mistakes, the frames its faults send, the phase ramps.
#include <QtTest>

#include <mutex>
#include <optional>

#include "test_images.h"
#include "test_support.h"
#include "vzmsg_ctl.h"
#include "vzsim_image_check.h"
#include "vzsim_recorder.h"

using namespace simtest;
using vzsim::Bytes;
using vzsim::FaultKind;
using namespace std::chrono_literals;

namespace
{

// Collects the frames the recorder sends; read them under the lock.
struct FrameLink : vzsim::HostLink {
    void sendToHost(const Bytes &frame) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        frames.push_back(frame);
    }
    void unplug() override {}

    std::mutex mutex;
    std::vector<Bytes> frames;
};

// The frame of a request record that `add` fills.
template <typename Add> Bytes request(Add add)
{
    uint8_t buffer[vzsim::kRecordSize] = {};
    vzmsg_t msg;
    vzmsg_init(&msg, buffer, sizeof buffer);
    add(&msg);
    return vzsim::encodeFrame(buffer, msg.position);
}

Bytes command(uint8_t code)
{
    return request([code](vzmsg_t *msg) { vzmsg_add_cmd(msg, code); });
}

// "55=2 56=0 57=600": the numeric items a frame carries.
QString items(const Bytes &frame)
{
    Bytes payload;
    QStringList parts;
    if (!vzsim::decodeFrame(frame.data(), frame.size(), payload))
        return {};
    vzmsg_t msg;
    vzmsg_init(&msg, payload.data(), uint16_t(payload.size()));
    uint32_t code, type;
    uint64_t value;
    uint16_t size;
    while (vzmsg_get(&msg, &code, &type, &value, &size) == 0)
        parts << QStringLiteral("%1=%2").arg(code, 2, 16, QLatin1Char('0')).arg(value);
    return parts.join(' ');
}

struct Check {
    const char *name;
    int32_t payload;
    std::string product, expected;
    std::vector<int> flipped; // bytes changed; below 0 from the end
    size_t cut;               // bytes missing at the end
    uint32_t verdict;
};
const Check checks[] = {
    {"sound", 500, "VELDR-Q7", "VELDR-Q7", {}, 0, VZMSG_DATA_FWUP_STATUS_WRITE_READY},
    {"empty payload", 0, "VELDR-Q7", "VELDR-Q7", {}, 0, VZMSG_DATA_FWUP_STATUS_WRITE_READY},
    {"other product", 500, "VD-NIMBO", "VELDR-Q7", {}, 0, VZMSG_DATA_FWUP_STATUS_ERR_PRODUCT},
    {"the recorder's own product", 500, "VD-NIMBO", "VD-NIMBO", {}, 0, VZMSG_DATA_FWUP_STATUS_WRITE_READY},
    {"payload byte changed", 500, "VELDR-Q7", "VELDR-Q7", {100}, 0, VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK},
    {"trailer changed", 500, "VELDR-Q7", "VELDR-Q7", {-1}, 0, VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK},
    {"header declares another size", 500, "VELDR-Q7", "VELDR-Q7", {23}, 0, VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK},
    {"fewer bytes than announced", 500, "VELDR-Q7", "VELDR-Q7", {}, 1, VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK},
};

Bytes block(uint16_t length)
{
    static const uint8_t bytes[16] = {};
    return request([length](vzmsg_t *m) { vzmsg_add_str16(m, VZMSG_DATA_FWUP_DATA, bytes, length); });
}

// Requests that went before: update mode, the size of 100 bytes, a status
// poll and a question answered with 10 bytes free.
const Bytes before[] = {command(VZMSG_DATA_FWUP_MODE),
                        request([](vzmsg_t *m) { vzmsg_add_u32(m, VZMSG_DATA_FWUP_SIZE, 100); }),
                        command(VZMSG_DATA_FWUP_STATUS), command(VZMSG_DATA_FWUP_DATA)};
struct Misstep {
    const char *name;
    size_t before;
    Bytes request;
    uint32_t status; // after it
    uint32_t forced; // the status a fault puts it in as the request arrives; 0 none
};
const Misstep missteps[] = {
    {"size outside update mode", 0, before[1], 0},
    {"block before the size", 1, block(4), 1},
    {"write before the check", 2, command(VZMSG_DATA_FWUP_WRITE), 2},
    {"serial write in update mode", 1,
     request([](vzmsg_t *m) { vzmsg_add_str8(m, VZMSG_DATA_SERIAL_WRITE, "N", 1); }), 1},
    {"block beyond the offer", 4, block(11), VZMSG_DATA_FWUP_STATUS_ERR_COMMUNICATE},
    {"size beyond its memory", 1,
     request([](vzmsg_t *m) { vzmsg_add_u32(m, VZMSG_DATA_FWUP_SIZE, 0xFFFFFFFF); }),
     VZMSG_DATA_FWUP_STATUS_ERROR},
    {"write of an image never received", 0, command(VZMSG_DATA_FWUP_WRITE), VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK,
     VZMSG_DATA_FWUP_STATUS_WRITE_READY},
};

struct Delivery {
    const char *name;
    std::optional<FaultKind> kind;
    size_t frames; // at once
    bool endsWithF7;
    QString items; // none: the frame is not one of ours
};
const Delivery deliveries[] = {
    {"none", {}, 1, true, "55=0 56=0 57=0"},
    {"no reply", FaultKind::NoReply, 0, false, ""},
    {"late", FaultKind::LateReply, 0, false, ""},
    {"duplicate", FaultKind::DuplicateReply, 1, true, "55=0 56=0 57=0"},
    {"garbage", FaultKind::Garbage, 1, true, ""},
    {"truncated", FaultKind::Truncated, 1, true, "55=0"},
    {"no end byte", FaultKind::NoEndByte, 1, false, ""},
    {"oversized", FaultKind::Oversized, 1, true, ""},
    {"item dropped", FaultKind::DropItem, 1, true, "55=0 56=0"},
};

struct Ramp {
    const char *name;
    vzsim::Phase phase;
    std::vector<int> pollAt; // ms
    QStringList reports;     // status/progress
};
const Ramp ramps[] = {
    {"by polls", {4, 0ms}, {0, 0, 0, 0, 0}, {"6/25", "6/50", "6/75", "6/100", "10/100"}},
    {"by time", {0, 100ms}, {0, 30, 99, 100, 150}, {"6/0", "6/30", "6/99", "10/100", "10/100"}},
    {"both, the slower counts",
     {2, 100ms},
     {0, 10, 50, 120, 130},
     {"6/0", "6/10", "6/50", "10/100", "10/100"}},
};

} // namespace

class TestSimRecorder : public QObject
{
    Q_OBJECT

private slots:
    void imageCheck_data() { addRows(checks); }
    void imageCheck();
    void hostMistakes_data() { addRows(missteps); }
    void hostMistakes();
    void deliveryFaults_data() { addRows(deliveries); }
    void deliveryFaults();
    void timelineRamps_data() { addRows(ramps); }
    void timelineRamps();
};

void TestSimRecorder::imageCheck()
{
    const Check &c = fetchCase(checks);
    std::vector<uint8_t> image = makeImage(c.payload, c.product);
    const uint32_t announced = uint32_t(image.size());
    for (int at : c.flipped)
        image[at < 0 ? image.size() - size_t(-at) : size_t(at)] ^= 0x10;
    image.resize(image.size() - c.cut);

    QCOMPARE(vzsim::checkImage(image, announced, c.expected), c.verdict);
}

void TestSimRecorder::hostMistakes()
{
    const Misstep &c = fetchCase(missteps);
    vzsim::RecorderConfig config;
    config.freeSpace = vzsim::FreeSpace::fixed(10);
    if (c.forced)
        config.faults.push_back(vzsim::Fault::error(VZMSG_DATA_FWUP_WRITE, c.forced));
    vzsim::Recorder recorder(config);
    for (size_t i = 0; i < c.before; ++i)
        recorder.receiveFromHost(before[i].data(), before[i].size());
    recorder.receiveFromHost(c.request.data(), c.request.size());
    QCOMPARE(recorder.protocolErrors(), uint64_t(1)); // the one above, none before
    QCOMPARE(recorder.status(), c.status);
    QVERIFY(recorder.receivedImage().empty());
    QCOMPARE(recorder.config().identity.serial, vzsim::Identity().serial);
}

void TestSimRecorder::deliveryFaults()
{
    const Delivery &c = fetchCase(deliveries);
    vzsim::RecorderConfig config;
    if (c.kind) {
        vzsim::Fault fault(*c.kind);
        fault.item = VZMSG_DATA_FWUP_TOTAL;
        fault.delay = std::chrono::seconds(30);
        config.faults.push_back(fault.on(VZMSG_DATA_FWUP_STATUS));
    }
    FrameLink link;
    vzsim::Recorder recorder(config); // goes before the link
    recorder.attach(&link);
    const Bytes poll = command(VZMSG_DATA_FWUP_STATUS);
    recorder.receiveFromHost(poll.data(), poll.size());
    QVERIFY(recorder.waitRepliesDelivered(std::chrono::seconds(10)));

    std::lock_guard<std::mutex> lock(link.mutex);
    QCOMPARE(link.frames.size(), c.frames);
    if (c.frames == 0)
        return;
    const Bytes &frame = link.frames.front();
    QCOMPARE(frame.back() == 0xF7, c.endsWithF7);
    QCOMPARE(items(frame), c.items);
    QCOMPARE(frame.size() > vzsim::kHostInputBuffer, c.kind == FaultKind::Oversized);
}

void TestSimRecorder::timelineRamps()
{
    const Ramp &c = fetchCase(ramps);
    vzsim::Timeline timeline;
    const auto start = vzsim::Clock::time_point{} + std::chrono::hours(1);
    timeline.start(
        {vzsim::Step{6, c.phase, 100, 100, true}, vzsim::Step{10, vzsim::Phase{}, 100, 100, false}}, start);
    QStringList reports;
    for (int at : c.pollAt) {
        const auto report = timeline.poll(start + std::chrono::milliseconds(at));
        reports << QStringLiteral("%1/%2").arg(report.status).arg(report.progress);
    }
    QCOMPARE(reports, c.reports);
}

QTEST_GUILESS_MAIN(TestSimRecorder)
#include "tst_sim_recorder.moc"
