// The control layer's operations through the real port layer to the
// recorder simulator: the transfer's pacing, progress lines and offset
// checks; the status waits and polls; serial-number write, refused
// arguments.
#include "link_rig.h"
#include "test_support.h"

#include <functional>
#include <numeric>

using namespace simtest;
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

// Ten answers of 0 before each of `offers`.
FreeSpace zerosBefore(std::initializer_list<uint32_t> offers)
{
    FreeSpace space;
    for (uint32_t offer : offers) {
        space.sequence.insert(space.sequence.end(), 10, 0);
        space.sequence.push_back(offer);
    }
    return space;
}

using Sizes = std::vector<uint16_t>;
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
    {"600 bytes, 100 free", 600, fixed(100), 0, 0, Sizes(6, 100), {0, 100, 200, 300, 400, 500}},
    {"free space changing", 600, {{100, 300, 50}}, 0, 0, {100, 252, 50, 198}, {0, 100, 352, 402}},
    {"offers and refusals in turn", 600, {{0, 100}, true}, 0, 6, Sizes(6, 100), {0, 100, 200, 300, 400, 500}},
    // Blocks far below a tenth of the image: the mark paces the lines.
    {"many blocks", 1000, fixed(50), 0, 0, Sizes(20, 50), {0, 100, 200, 300, 400, 500, 600, 700, 800, 900}},
    {"nothing to send", 0, fixed(4096), 0, 0, {}, {}},
    {"ten zero answers are waited out", 600, zeroThen(10, 4096), 0, 10, {252, 252, 96}, {0, 252, 504}},
    {"the eleventh zero answer fails", 600, zeroThen(11, 4096), 1, 10, {}, {}},
    {"an offer resets the count", 600, zerosBefore({252, 252, 4096}), 0, 30, {252, 252, 96}, {0, 252, 504}},
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
    {"block short", offsetOff(-1, 2), 1, 2, 252},
    {"last block ahead", offsetOff(4, 6), 1, 6, 600},
    // The copy comes after the answer was taken; the block's receive takes
    // it, and its offset is the old one.
    {"question answered twice", Fault(FaultKind::DuplicateReply).on(VZMSG_DATA_FWUP_DATA).at(3), 1, 4, 504},
    // It lands in the first status poll, which fails and is retried.
    {"size answered late", Fault(FaultKind::LateReply).on(VZMSG_DATA_FWUP_SIZE), 0, 6, 600},
};

const auto garbled = [](unsigned polls) {
    return Fault(FaultKind::Garbage).on(VZMSG_DATA_FWUP_STATUS).times(polls);
};
const auto errorAt = [](unsigned poll, uint32_t status) {
    return Fault::error(VZMSG_DATA_FWUP_STATUS, status).at(poll);
};

Fault pollWithout(uint8_t item)
{
    Fault fault(FaultKind::DropItem);
    fault.item = item;
    return fault.on(VZMSG_DATA_FWUP_STATUS);
}

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
const Fault noTotal = pollWithout(VZMSG_DATA_FWUP_TOTAL);
const Wait waits[] = {
    {"mode: at the eleventh poll", Enter, 0, 11, 1, {10}, {}},
    {"mode: not by the eleventh poll", Enter, 1, 11, 0, {11}, {}},
    {"mode: a failed poll ends at once", Enter, 1, 2, 0, {3}, {garbled(1).at(2)}},
    {"mode: an error as the reply", Enter, 1, 0, 101, {}, {Fault::error(VZMSG_DATA_FWUP_MODE, 101)}},
    {"mode: an error ends at once", Enter, 1, 1, 100, {2}, {errorAt(1, 100)}},
    {"ready: ten failed polls", SendData, 0, 11, 2, {0, 10}, {garbled(10)}},
    {"ready: the eleventh failed poll fails", SendData, 1, 11, 0, {0, 11}, {garbled(11)}},
    {"ready: ten polls still in 1", SendData, 0, 11, 2, {0, 10}, {}},
    {"ready: the eleventh poll in 1 fails", SendData, 1, 11, 1, {0, 11}, {}},
    {"ready: the two counts are apart", SendData, 0, 21, 2, {0, 20}, {garbled(10)}},
    {"ready: an error for the size", SendData, 1, 1, 104, {}, {Fault::error(VZMSG_DATA_FWUP_SIZE, 104)}},
    {"ready: an error ends at once", SendData, 1, 2, 103, {0, 3}, {errorAt(2, 103)}},
    {"check: the eleventh poll in 4 fails", DataCheck, 1, 11, 4, {0, 0, 11}, {}},
    {"check: an error without total", DataCheck, 1, 1, 105, {0, 0, 3}, {errorAt(1, 105), noTotal}},
    {"write: 300 polls in 6 to 9", Write, 0, 301, 10, {0, 0, 0, 0, 75, 75, 75, 75}, {}},
    {"write: the 301st poll in 6 to 9 fails", Write, 1, 301, 9, {0, 0, 0, 0, 75, 75, 75, 76}, {}},
    {"write: 300 failed polls", Write, 0, 301, 10, {0, 0, 0, 0, 300}, {garbledErasing}},
    {"write: the 301st failed poll fails", Write, 1, 301, 6, {0, 0, 0, 0, 301}, {garbled(301)}},
    {"write: 300 polls before erasing", Write, 0, 301, 10, {0, 0, 0, 300}, {}},
    {"write: the 301st poll before erasing fails", Write, 1, 301, 5, {0, 0, 0, 301}, {}},
    {"write: three counts apart", Write, 0, 901, 10, {0, 0, 0, 300, 300, 0, 0, 300}, {garbledErasing}},
    {"write: an error as the reply", Write, 1, 0, 107, {}, {Fault::error(VZMSG_DATA_FWUP_WRITE, 107)}},
    {"write: an error ends at once", Write, 1, 2, 107, {0, 0, 0, 0, 2}, {errorAt(2, 107).inStatus(6)}},
    {"write: an error without total", Write, 1, 1, 110, {0, 0, 0, 0, 0, 0, 0, 2}, {errorAt(1, 110), noTotal}},
};

struct Kept {
    const char *name;
    Fault fault;
    bool status, progress, total;
};
const Kept kept[] = {
    {"no total", noTotal, false, false, true},
    {"no status", pollWithout(VZMSG_DATA_FWUP_STATUS), true, false, false},
    {"no reply", Fault(FaultKind::NoReply).on(VZMSG_DATA_FWUP_STATUS), true, true, true},
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
    void pollKeepsWhatItRead_data() { addRows(kept); }
    void pollKeepsWhatItRead();
    void serialWrite_data() { addRows(serialWrites); }
    void serialWrite();
    void arguments();
    void recordSize_data() { addRows(recordSizes); }
    void recordSize();
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

void TestLinkControl::pollKeepsWhatItRead()
{
    const Kept &c = fetchCase(kept);
    LinkRig rig;
    const Image image = makeImage(640);
    QCOMPARE(rig.runUpTo(SendData, image), 0); // the recorder now reports 4, 676, 676
    rig.recorder.addFault(c.fault);

    const uint32_t before = 0xA5A5A5A5u;
    Counters poll{before, before, before};
    QCOMPARE(vzmsg_ctl_fwup_get_status(&rig.dev, &poll.status, &poll.progress, &poll.total), 1);
    QCOMPARE(poll.status, c.status ? before : uint32_t(VZMSG_DATA_FWUP_STATUS_DATA_TRANS_COMPLETE));
    QCOMPARE(poll.progress, c.progress ? before : uint32_t(image.size()));
    QCOMPARE(poll.total, c.total ? before : uint32_t(image.size()));
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

// Missing arguments are refused before anything is sent; progress alone is
// optional.
void TestLinkControl::arguments()
{
    LinkRig rig;
    vzmsg_dev_t *dev = &rig.dev;
    uint32_t value = 0;
    const uint8_t byte = 'S';
    const std::function<int()> refused[] = {
        [&] { return vzmsg_ctl_fwup_enter(dev, nullptr); },
        [&] { return vzmsg_ctl_fwup_send_data(dev, &byte, 1, &value, &value, nullptr); },
        [&] { return vzmsg_ctl_fwup_send_data(dev, nullptr, 10, &value, &value, &value); },
        [&] { return vzmsg_ctl_serial_write(dev, &byte, 0); },
        [&] { return vzmsg_ctl_recv(dev, nullptr); },
    };
    for (size_t i = 0; i < std::size(refused); ++i)
        QVERIFY2(refused[i]() == 1, qPrintable(QStringLiteral("call %1").arg(i)));
    QVERIFY(rig.recorder.waitRepliesDelivered(std::chrono::seconds(5)));
    for (int code = 0; code < 256; ++code)
        QCOMPARE(rig.recorder.requestCount(uint8_t(code)), uint64_t(0));

    const Image image = makeImage(700);
    QCOMPARE(vzmsg_ctl_fwup_enter(dev, &rig.counters.status), 0);
    QCOMPARE(vzmsg_ctl_fwup_send_data(dev, image.data(), uint32_t(image.size()), nullptr, &rig.counters.total,
                                      &rig.counters.status),
             0);
    QCOMPARE(rig.recorder.receivedImage(), image);
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
    QCOMPARE(printed, c.result
                          ? QStringLiteral("vzmsg/vzmsg_ctl.c:%1:ERROR\n").arg(printed.section(':', 1, 1))
                          : QString());
    QVERIFY(!c.result || printed.section(':', 1, 1).toInt() > 0);
    if (c.send)
        QCOMPARE(rig.recorder.badFrames() + rig.recorder.requestCount(0), uint64_t(!c.result));
    else if (c.result == 0)
        QCOMPARE(msg.buffer[0], uint8_t(VZMSG_DATA_PROTOCOL)); // the reply is there
}

QTEST_GUILESS_MAIN(TestLinkControl)
#include "tst_link_control.moc"
