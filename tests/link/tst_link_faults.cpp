// Every fault the recorder simulator can inject, at four points of an
// update, through the real port layer: the step ends with the result and the
// last status the control layer promises.
#include <QtTest>

#include "link_rig.h"
#include "test_images.h"

using namespace simtest;
using vzsim::Fault;
using vzsim::FaultKind;

Q_DECLARE_METATYPE(std::vector<vzsim::Fault>)

namespace
{

struct Point {
    const char *name;
    UpdateStep step;
    uint8_t request;
    std::optional<uint32_t> whileStatus;
    uint8_t mainItem;     // the item DropItem leaves out
    uint32_t errorStatus; // what ErrorStatus sets
};

// Where the faults strike: the reply to 0x51, the first question of the
// transfer, the reply to 0x54 and the first poll while blank-checking.
const Point points[] = {
    {"update mode reply", Enter, VZMSG_DATA_FWUP_MODE, {}, VZMSG_DATA_FWUP_MODE, 101},
    {"transfer question", SendData, VZMSG_DATA_FWUP_DATA, {}, VZMSG_DATA_FWUP_RECEIVED, 111},
    {"write reply", Write, VZMSG_DATA_FWUP_WRITE, {}, VZMSG_DATA_FWUP_WRITE, 107},
    {"blank-check poll", Write, VZMSG_DATA_FWUP_STATUS, 7u, VZMSG_DATA_FWUP_TOTAL, 108},
};

struct Outcomes {
    const char *name;
    FaultKind kind;
    // "result/status" at each point, in the order of `points`.
    const char *atPoint[4];
};

// A lost, spoilt or late reply fails the steps that need it and is retried
// by the write's status wait; a copy that arrives late is caught by the
// check of what the next reply holds; an error status ends any step.
const Outcomes table[] = {
    {"no reply", FaultKind::NoReply, {"1/0", "1/2", "1/5", "0/10"}},
    {"late reply", FaultKind::LateReply, {"1/0", "1/2", "1/5", "0/10"}},
    {"duplicate reply", FaultKind::DuplicateReply, {"1/1", "1/2", "0/10", "0/10"}},
    {"garbage", FaultKind::Garbage, {"1/0", "1/2", "1/5", "0/10"}},
    // A reply cut inside its only value reads the missing bytes as the zeros
    // that fill the rest of the record: 0x51 and 0x54 then report status 0,
    // which is waited on like any other.
    {"truncated frame", FaultKind::Truncated, {"0/1", "1/2", "0/10", "0/10"}},
    {"no end byte", FaultKind::NoEndByte, {"1/0", "1/2", "1/5", "0/10"}},
    {"oversized SysEx", FaultKind::Oversized, {"1/0", "1/2", "1/5", "0/10"}},
    {"item missing", FaultKind::DropItem, {"1/0", "1/2", "1/5", "0/10"}},
    {"offset wrong", FaultKind::WrongOffset, {"0/1", "1/2", "0/10", "0/10"}},
    // Unplugged while blank-checking: the poll goes unanswered, every send
    // after it fails, and the 301st failed poll ends the wait.
    {"unplugged", FaultKind::Unplug, {"1/0", "1/2", "1/5", "1/6"}},
    {"error status", FaultKind::ErrorStatus, {"1/101", "1/2", "1/107", "1/108"}},
};

} // namespace

class TestLinkFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Sleeps::install(); }
    void cleanupTestCase() { Sleeps::uninstall(); }

    void faultEndsStep_data();
    void faultEndsStep();
    void unpluggedRecorderCanBeUpdatedAfterReplug_data();
    void unpluggedRecorderCanBeUpdatedAfterReplug();
};

void TestLinkFaults::faultEndsStep_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<std::vector<vzsim::Fault>>("faults");
    QTest::addColumn<int>("result");
    QTest::addColumn<uint>("status");

    for (const Outcomes &row : table) {
        for (size_t i = 0; i < std::size(points); ++i) {
            const Point &point = points[i];
            Fault fault(row.kind);
            fault.on(point.request);
            if (point.whileStatus)
                fault.inStatus(*point.whileStatus);
            fault.item = point.mainItem;
            fault.status = point.errorStatus;
            fault.offsetDelta = 8;
            const QStringList outcome = QString::fromLatin1(row.atPoint[i]).split('/');
            QTest::addRow("%s at %s", row.name, point.name)
                << int(point.step) << std::vector<Fault>{fault} << outcome[0].toInt() << outcome[1].toUInt();
        }
    }
}

void TestLinkFaults::faultEndsStep()
{
    QFETCH(int, step);
    QFETCH(std::vector<vzsim::Fault>, faults);
    QFETCH(int, result);
    QFETCH(uint, status);

    vzsim::RecorderConfig config;
    config.faults = faults;
    LinkRig rig(config);
    QVERIFY(rig.isOpen());
    const auto image = makeImage(564);
    Counters counters;

    QCOMPARE(runUpTo(rig, image, UpdateStep(step), counters), result);
    QCOMPARE(uint(counters.status), status);
    if (result == 0 && step == Write)
        QCOMPARE(rig.recorder.receivedImage(), image);
    QCOMPARE(rig.recorder.protocolErrors(), uint64_t(0));
}

void TestLinkFaults::unpluggedRecorderCanBeUpdatedAfterReplug_data()
{
    QTest::addColumn<int>("request");
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<int>("failingStep");

    QTest::newRow("at update mode") << int(VZMSG_DATA_FWUP_MODE) << 1 << int(Enter);
    QTest::newRow("at the size") << int(VZMSG_DATA_FWUP_SIZE) << 1 << int(SendData);
    QTest::newRow("amid the transfer") << int(VZMSG_DATA_FWUP_DATA) << 40 << int(SendData);
    QTest::newRow("at the data check") << int(VZMSG_DATA_FWUP_CHECK) << 1 << int(DataCheck);
    QTest::newRow("at the write") << int(VZMSG_DATA_FWUP_WRITE) << 1 << int(Write);
    QTest::newRow("amid the write") << int(VZMSG_DATA_FWUP_STATUS) << 6 << int(Write);
}

void TestLinkFaults::unpluggedRecorderCanBeUpdatedAfterReplug()
{
    QFETCH(int, request);
    QFETCH(int, occurrence);
    QFETCH(int, failingStep);

    vzsim::RecorderConfig config;
    config.faults.push_back(Fault(FaultKind::Unplug).on(uint8_t(request)).at(unsigned(occurrence)));
    LinkRig rig(config);
    QVERIFY(rig.isOpen());
    const auto image = makeImage(9000);
    Counters counters;

    QCOMPARE(stepsDone(rig, image, counters), failingStep);
    // Gone until the cable is back: nothing gets through.
    QCOMPARE(vzmsg_ctl_fwup_enter(rig.dev(), &counters.status), 1);
    QVERIFY(!rig.port.plugged());

    rig.port.plug();
    rig.recorder.powerCycle();
    QVERIFY(rig.reopen());
    Counters again;
    QCOMPARE(runUpTo(rig, image, Write, again), 0);
    QCOMPARE(again.status, uint32_t(VZMSG_DATA_FWUP_STATUS_COMPLETE));
    QCOMPARE(rig.recorder.receivedImage(), image);
}

QTEST_GUILESS_MAIN(TestLinkFaults)
#include "tst_link_faults.moc"
