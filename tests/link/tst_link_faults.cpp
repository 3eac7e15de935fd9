// Every fault the recorder simulator can inject, at four points of an update
// through the real port layer, ends the step with the promised result and
// last status; a recorder unplugged amid an update is updated once back.
#include "link_rig.h"
#include "test_support.h"

using namespace simtest;
using vzsim::Fault;
using vzsim::FaultKind;

namespace
{

struct Point {
    const char *name;
    UpdateStep step;
    uint8_t request;
    std::optional<uint32_t> whileStatus; // none: any
    uint8_t mainItem;                    // what DropItem leaves out
    uint32_t errorStatus;                // what ErrorStatus sets
};
const Point points[] = {
    {"update mode reply", Enter, VZMSG_DATA_FWUP_MODE, {}, VZMSG_DATA_FWUP_MODE, 101},
    {"transfer question", SendData, VZMSG_DATA_FWUP_DATA, {}, VZMSG_DATA_FWUP_RECEIVED, 111},
    {"write reply", Write, VZMSG_DATA_FWUP_WRITE, {}, VZMSG_DATA_FWUP_WRITE, 107},
    {"blank-check poll", Write, VZMSG_DATA_FWUP_STATUS, 7, VZMSG_DATA_FWUP_TOTAL, 108},
};

// "result/status" at each point. A lost, spoilt or late reply fails the
// steps that need it and is retried by the write's status wait; a copy
// arriving late is caught by the check of the next reply's items.
struct Outcomes {
    const char *name;
    FaultKind kind;
    const char *atPoint[std::size(points)];
};
const Outcomes outcomes[] = {
    {"no reply", FaultKind::NoReply, {"1/0", "1/2", "1/5", "0/10"}},
    {"late reply", FaultKind::LateReply, {"1/0", "1/2", "1/5", "0/10"}},
    {"duplicate reply", FaultKind::DuplicateReply, {"1/1", "1/2", "0/10", "0/10"}},
    {"garbage", FaultKind::Garbage, {"1/0", "1/2", "1/5", "0/10"}},
    // A reply cut inside its only value reads the missing bytes as zeros:
    // 0x51 and 0x54 then report status 0, which is waited on like any other.
    {"truncated frame", FaultKind::Truncated, {"0/1", "1/2", "0/10", "0/10"}},
    {"no end byte", FaultKind::NoEndByte, {"1/0", "1/2", "1/5", "0/10"}},
    {"oversized SysEx", FaultKind::Oversized, {"1/0", "1/2", "1/5", "0/10"}},
    {"item missing", FaultKind::DropItem, {"1/0", "1/2", "1/5", "0/10"}},
    {"offset wrong", FaultKind::WrongOffset, {"0/1", "1/2", "0/10", "0/10"}},
    // Unplugged while blank-checking: every poll after it fails, and the
    // 301st failed poll ends the wait.
    {"unplugged", FaultKind::Unplug, {"1/0", "1/2", "1/5", "1/6"}},
    {"error status", FaultKind::ErrorStatus, {"1/101", "1/2", "1/107", "1/108"}},
};

struct Unplug {
    const char *name;
    uint8_t request;
    unsigned occurrence;
    int stepsDone;
};
const Unplug unplugs[] = {
    {"amid the transfer", VZMSG_DATA_FWUP_DATA, 40, SendData},
    {"amid the write", VZMSG_DATA_FWUP_STATUS, 6, Write},
};

} // namespace

class TestLinkFaults : public QObject
{
    Q_OBJECT

private slots:
    void faultEndsStep_data();
    void faultEndsStep();
    void updateAfterReplug_data() { addRows(unplugs); }
    void updateAfterReplug();
};

void TestLinkFaults::faultEndsStep_data()
{
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("point");
    for (size_t o = 0; o < std::size(outcomes); ++o)
        for (size_t p = 0; p < std::size(points); ++p)
            QTest::addRow("%s at %s", outcomes[o].name, points[p].name) << int(o) << int(p);
}

void TestLinkFaults::faultEndsStep()
{
    QFETCH(int, outcome);
    QFETCH(int, point);
    const Point &at = points[point];
    Fault fault(outcomes[outcome].kind);
    fault.request = at.request;
    fault.whileStatus = at.whileStatus;
    fault.item = at.mainItem;
    fault.status = at.errorStatus;
    fault.offsetDelta = 8;
    const QStringList expected = QString::fromLatin1(outcomes[outcome].atPoint[point]).split('/');
    vzsim::RecorderConfig config;
    config.faults = {fault};
    LinkRig rig(config);
    const Image image = makeImage(564);

    QCOMPARE(rig.runUpTo(at.step, image), expected[0].toInt());
    QCOMPARE(rig.counters.status, expected[1].toUInt());
    if (expected[0] == "0" && at.step == Write)
        QCOMPARE(rig.recorder.receivedImage(), image);
    QCOMPARE(rig.recorder.protocolErrors(), uint64_t(0));
    if (outcomes[outcome].kind == FaultKind::ErrorStatus) // kept until switched off and on
        QCOMPARE(vzmsg_ctl_fwup_enter(&rig.dev, &rig.counters.status), 1);
}

void TestLinkFaults::updateAfterReplug()
{
    const Unplug &c = fetchCase(unplugs);
    vzsim::RecorderConfig config;
    config.faults = {Fault(FaultKind::Unplug).on(c.request).at(c.occurrence)};
    LinkRig rig(config);
    const Image image = makeImage(9000);

    QCOMPARE(rig.stepsDone(image), c.stepsDone);
    QCOMPARE(vzmsg_ctl_fwup_enter(&rig.dev, &rig.counters.status), 1); // nothing gets through

    rig.port.plug();
    rig.recorder.powerCycle();
    QVERIFY(rig.reopen());
    rig.counters = {};
    QCOMPARE(rig.stepsDone(image), 4);
    QCOMPARE(rig.counters.status, uint32_t(VZMSG_DATA_FWUP_STATUS_COMPLETE));
    QCOMPARE(rig.recorder.receivedImage(), image);
    QCOMPARE(rig.recorder.config().identity.build, uint16_t(40)); // the image's
    const uint8_t serial[] = {'N'};                               // refused until the recorder restarts
    QCOMPARE(vzmsg_ctl_serial_write(&rig.dev, serial, sizeof serial), 1);
}

QTEST_GUILESS_MAIN(TestLinkFaults)
#include "tst_link_faults.moc"
