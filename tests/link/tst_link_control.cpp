// The control layer's operations through the real port layer to the
// recorder simulator: the transfer's pacing, progress lines and offset
// checks; the status waits and polls; serial-number write, the record's
// size. And the simulator on its own where those would not notice its
// faults: the image check and the requests it counts as the host's mistakes.
#include "link_rig.h"
#include "test_support.h"
#include "vzsim_image_check.h"

#include <numeric>

using namespace simtest;
using vzsim::Bytes;
using vzsim::Fault;
using vzsim::FaultKind;
using vzsim::FreeSpace;

namespace
{

Image bytes(size_t count)
{
    Image image(count);
    std::iota(image.begin(), image.end(), uint8_t(7));
    return image;
}

using Sizes = std::vector<uint16_t>;
const FreeSpace zerosThenOffer{{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 252}, true}; // ten zeros before each offer
const auto fixed = &FreeSpace::fixed;
const auto zeroThen = &FreeSpace::zeroThen;

struct Pacing {
    const char *name;
    size_t size;
    FreeSpace free;
    int result;
    unsigned waits;   // for free space
    Sizes blocks;     // the recorder took
    QList<int> lines; // offsets of the "sent / size" lines
};
const Pacing pacings[] = {
    {"600 bytes, 4096 free", 600, fixed(4096), 0, 0, {252, 252, 96}, {0, 252, 504}},
    {"free space changing", 600, {{100, 300, 50}}, 0, 0, {100, 252, 50, 198}, {0, 100, 352, 402}},
    {"offers and refusals in turn", 600, {{0, 100}, true}, 0, 6, Sizes(6, 100), {0, 100, 200, 300, 400, 500}},
    // Blocks far below a tenth of the image: the mark paces the lines.
    {"many blocks", 1000, fixed(50), 0, 0, Sizes(20, 50), {0, 100, 200, 300, 400, 500, 600, 700, 800, 900}},
    {"nothing to send", 0, fixed(4096), 0, 0, {}, {}},
    {"ten zero answers are waited out", 600, zeroThen(10, 4096), 0, 10, {252, 252, 96}, {0, 252, 504}},
    {"the eleventh zero answer fails", 600, zeroThen(11, 4096), 1, 10, {}, {}},
    {"an offer resets the count", 600, zerosThenOffer, 0, 30, {252, 252, 96}, {0, 252, 504}},
};

Fault offsetOff(int32_t delta, unsigned exchange)
{
    Fault fault = Fault(FaultKind::WrongOffset).on(VZMSG_DATA_FWUP_DATA).at(exchange);
    fault.offsetDelta = delta;
    return fault;
}

// Questions and blocks take turns: exchange 1 asks, 2 sends 252 bytes...
struct Mismatch {
    const char *name;
    Fault fault;
    int result;
    unsigned exchanges;
    size_t taken; // bytes the recorder took
};
const Mismatch mismatches[] = {
    {"question ahead", offsetOff(1, 1), 1, 1, 0},
    {"question behind", offsetOff(-1, 3), 1, 3, 252},
    {"block short", offsetOff(-1, 2), 1, 2, 252},
    {"last block ahead", offsetOff(4, 6), 1, 6, 600},
    // The copy comes after the answer was taken; the block's receive takes
    // it, and its offset is the old one.
    {"question answered twice", Fault(FaultKind::DuplicateReply).on(VZMSG_DATA_FWUP_DATA).at(3), 1, 4, 504},
    // It lands in the first status poll, which fails and is retried; that
    // poll's own reply, dropped or stale by the next send, is never taken.
    {"size answered late", Fault(FaultKind::LateReply).on(VZMSG_DATA_FWUP_SIZE), 0, 6, 600},
};

const auto garbled = [](unsigned polls) {
    return Fault(FaultKind::Garbage).on(VZMSG_DATA_FWUP_STATUS).times(polls);
};
const auto errorAt = [](unsigned poll, uint32_t status) {
    return Fault::error(VZMSG_DATA_FWUP_STATUS, status).at(poll);
};

struct Wait {
    const char *name;
    UpdateStep step;
    int result;
    unsigned polls;
    uint32_t status;
    std::vector<unsigned> phases; // see phases()
    std::vector<Fault> faults;    // armed before the step
};
// Garbled polls count against the phase they fall in; an error ends a wait
// even in a poll that fails for a missing item.
const Fault garbledErasing = garbled(300).inStatus(6);
const Fault noTotal = [] {
    Fault fault = Fault(FaultKind::DropItem).on(VZMSG_DATA_FWUP_STATUS);
    fault.item = VZMSG_DATA_FWUP_TOTAL;
    return fault;
}();
const Wait waits[] = {
    {"mode: at the eleventh poll", Enter, 0, 11, 1, {10}, {}},
    {"mode: not by the eleventh poll", Enter, 1, 11, 0, {11}, {}},
    {"mode: a failed poll ends at once", Enter, 1, 2, 0, {3}, {garbled(1).at(2)}},
    {"mode: an error as the reply", Enter, 1, 0, 101, {}, {Fault::error(VZMSG_DATA_FWUP_MODE, 101)}},
    {"mode: an error ends at once", Enter, 1, 1, 100, {2}, {errorAt(1, 100)}},
    {"mode: 99 is no error", Enter, 1, 11, 99, {11}, {errorAt(1, 99)}},
    {"ready: ten failed polls", SendData, 0, 11, 2, {0, 10}, {garbled(10)}},
    {"ready: the eleventh failed poll fails", SendData, 1, 11, 0, {0, 11}, {garbled(11)}},
    {"ready: ten polls still in 1", SendData, 0, 11, 2, {0, 10}, {}},
    {"ready: the eleventh poll in 1 fails", SendData, 1, 11, 1, {0, 11}, {}},
    {"ready: the two counts are apart", SendData, 0, 21, 2, {0, 20}, {garbled(10)}},
    {"ready: an error for the size", SendData, 1, 1, 104, {}, {Fault::error(VZMSG_DATA_FWUP_SIZE, 104)}},
    {"check: an error without total", DataCheck, 1, 1, 105, {0, 0, 3}, {errorAt(1, 105), noTotal}},
    {"write: 300 polls in 6 to 9", Write, 0, 301, 10, {0, 0, 0, 0, 75, 75, 75, 75}, {}},
    {"write: the 301st poll in 6 to 9 fails", Write, 1, 301, 9, {0, 0, 0, 0, 75, 75, 75, 76}, {}},
    {"write: 300 failed polls", Write, 0, 301, 10, {0, 0, 0, 0, 300}, {garbledErasing}},
    {"write: the 301st failed poll fails", Write, 1, 301, 6, {0, 0, 0, 0, 301}, {garbled(301)}},
    {"write: 300 polls before erasing", Write, 0, 301, 10, {0, 0, 0, 300}, {}},
    {"write: the 301st poll before erasing fails", Write, 1, 301, 5, {0, 0, 0, 301}, {}},
    {"write: three counts apart", Write, 0, 901, 10, {0, 0, 0, 300, 300, 0, 0, 300}, {garbledErasing}},
    {"write: an error without total", Write, 1, 1, 110, {0, 0, 0, 0, 0, 0, 0, 2}, {errorAt(1, 110), noTotal}},
};

struct SerialWrite {
    const char *name;
    unsigned phase; // polls in status 11
    std::vector<Fault> faults;
    int result;
    unsigned polls;
};
const SerialWrite serialWrites[] = {
    {"written at the 301st poll", 300, {}, 0, 301},
    {"not written by the 301st poll", 301, {}, 1, 301},
    {"refused with status 100", 5, {errorAt(3, 100)}, 1, 3},
    {"failed polls count too", 0, {garbled(301)}, 1, 301},
};

// A record of `size` bytes sent, or received into a record of that capacity
// after the reply to 0x50 (4 bytes) has arrived.
struct RecordSize {
    const char *name;
    bool send;
    uint16_t size;
    int result; // with one diagnostic line when it fails
};
const RecordSize recordSizes[] = {
    {"send a whole record", true, 256, 0},          {"send beyond a record", true, 257, 1},
    {"receive into a whole record", false, 256, 0}, {"receive beyond a record", false, 257, 1},
    {"a reply that fills the room", false, 4, 1},   {"a reply with a byte to spare", false, 5, 0},
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
    {"other product", 500, "VD-NIMBO", "VELDR-Q7", {}, 0, VZMSG_DATA_FWUP_STATUS_ERR_PRODUCT},
    {"the recorder's own product", 500, "VD-NIMBO", "VD-NIMBO", {}, 0, VZMSG_DATA_FWUP_STATUS_WRITE_READY},
    {"payload byte changed", 500, "VELDR-Q7", "VELDR-Q7", {100}, 0, VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK},
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
    uint32_t status;     // after it
    uint32_t forced = 0; // the status a fault puts it in as the request arrives; 0 none
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

} // namespace

class TestLinkControl : public QObject
{
    Q_OBJECT

private slots:
    void pacing_data() { addRows(pacings); }
    void pacing();
    void offsetMismatch_data() { addRows(mismatches); }
    void offsetMismatch();
    void statusWait_data() { addRows(waits); }
    void statusWait();
    void serialWrite_data() { addRows(serialWrites); }
    void serialWrite();
    void recordSize_data() { addRows(recordSizes); }
    void recordSize();
    void imageCheck_data() { addRows(checks); }
    void imageCheck();
    void hostMistakes_data() { addRows(missteps); }
    void hostMistakes();
};

void TestLinkControl::pacing()
{
    const Pacing &c = fetchCase(pacings);
    vzsim::RecorderConfig config;
    config.freeSpace = c.free;
    LinkRig rig(config);
    const Image image = bytes(c.size);

    StdoutCapture capture;
    const int result = rig.runUpTo(SendData, image);
    const QString printed = capture.finish();

    QCOMPARE(result, c.result);
    QCOMPARE(rig.recorder.blockSizes(), c.blocks);
    const uint32_t sent = std::accumulate(c.blocks.begin(), c.blocks.end(), 0u);
    QCOMPARE(rig.recorder.receivedImage(), Image(image.begin(), image.begin() + sent));
    QCOMPARE(rig.counters.progress, sent);
    QCOMPARE(rig.counters.status, uint32_t(VZMSG_DATA_FWUP_STATUS_DATA_TRANS_READY));
    QStringList lines;
    for (int offset : c.lines)
        lines << QStringLiteral("%1 / %2").arg(offset).arg(c.size);
    QCOMPARE(printed.split('\n').filter(QRegularExpression(QStringLiteral("^\\d+ / \\d+$"))), lines);
    QCOMPARE(shortWaits.load(), c.waits);
    // A question before each block and each wait; the failing one waits not.
    QCOMPARE(rig.recorder.requestCount(VZMSG_DATA_FWUP_DATA),
             uint64_t(2 * c.blocks.size() + c.waits + (c.result != 0)));
    QCOMPARE(rig.recorder.protocolErrors(), uint64_t(0));
}

void TestLinkControl::offsetMismatch()
{
    const Mismatch &c = fetchCase(mismatches);
    vzsim::RecorderConfig config;
    config.faults = {c.fault};
    LinkRig rig(config);
    const Image image = bytes(600);

    QCOMPARE(rig.runUpTo(SendData, image), c.result);
    QCOMPARE(rig.recorder.requestCount(VZMSG_DATA_FWUP_DATA), uint64_t(c.exchanges));
    QCOMPARE(rig.recorder.receivedImage(), Image(image.begin(), image.begin() + long(c.taken)));
    QCOMPARE(rig.counters.status, uint32_t(VZMSG_DATA_FWUP_STATUS_DATA_TRANS_READY));
}

void TestLinkControl::statusWait()
{
    const Wait &c = fetchCase(waits);
    vzsim::RecorderConfig config;
    config.timing = phases(c.phases);
    LinkRig rig(config);
    const Image image = makeImage(400);

    QCOMPARE(rig.runUpTo(c.step, image, c.faults), c.result);
    QCOMPARE(rig.pollsOfLastStep(), c.polls);
    QCOMPARE((c.step == Write ? longWaits : shortWaits).load(), std::max(c.polls, 1u) - 1);
    QCOMPARE((c.step == Write ? shortWaits : longWaits).load() + otherWaits.load(), 0u);
    QCOMPARE(rig.counters.status, c.status);
    if (c.step == Write && c.result == 0)
        QCOMPARE(rig.counters.progress, uint32_t(image.size()));
}

void TestLinkControl::serialWrite()
{
    const SerialWrite &c = fetchCase(serialWrites);
    vzsim::RecorderConfig config;
    config.timing.serialWrite = vzsim::Phase{c.phase, {}};
    config.faults = c.faults;
    LinkRig rig(config);
    const std::string serial = "VQ7-NEW-0042";

    QCOMPARE(vzmsg_ctl_serial_write(&rig.dev, reinterpret_cast<const uint8_t *>(serial.data()),
                                    uint8_t(serial.size())),
             c.result);
    QCOMPARE(unsigned(rig.recorder.requestCount(VZMSG_DATA_FWUP_STATUS)), c.polls);
    QCOMPARE(longWaits.load(), c.polls - 1);
    QCOMPARE(rig.recorder.config().identity.serial, serial);
}

void TestLinkControl::recordSize()
{
    const RecordSize &c = fetchCase(recordSizes);
    LinkRig rig;
    uint8_t buffer[300] = {};
    vzmsg_t msg;
    vzmsg_init(&msg, buffer, c.size);
    if (c.send) {
        msg.position = c.size;
    } else {
        QVERIFY(vzmsg_add_cmd(&msg, VZMSG_DATA_PROTOCOL));
        QCOMPARE(vzmsg_ctl_send(&rig.dev, &msg), 0);
        QVERIFY(rig.recorder.waitRepliesDelivered(std::chrono::seconds(5)));
    }
    StdoutCapture capture;
    const int result = c.send ? vzmsg_ctl_send(&rig.dev, &msg) : vzmsg_ctl_recv(&rig.dev, &msg);
    const QString printed = capture.finish();
    QCOMPARE(result, c.result);
    QVERIFY2(c.result ? QRegularExpression(QStringLiteral("^vzmsg/vzmsg_ctl.c:[1-9]\\d*:ERROR\n$"))
                            .match(printed)
                            .hasMatch()
                      : printed.isEmpty(),
             qPrintable(printed));
    if (c.send)
        QCOMPARE(rig.recorder.badFrames() + rig.recorder.requestCount(0), uint64_t(!c.result));
    else if (c.result == 0)
        QCOMPARE(msg.buffer[0], uint8_t(VZMSG_DATA_PROTOCOL)); // the reply is there
}

void TestLinkControl::imageCheck()
{
    const Check &c = fetchCase(checks);
    std::vector<uint8_t> image = makeImage(c.payload, c.product);
    const uint32_t announced = uint32_t(image.size());
    for (int at : c.flipped)
        image[at < 0 ? image.size() - size_t(-at) : size_t(at)] ^= 0x10;
    image.resize(image.size() - c.cut);

    QCOMPARE(vzsim::checkImage(image, announced, c.expected), c.verdict);
}

void TestLinkControl::hostMistakes()
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

QTEST_GUILESS_MAIN(TestLinkControl)
#include "tst_link_control.moc"
