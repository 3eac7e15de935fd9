// The status waits of the update steps, through the real port layer, with
// the recorder simulator: how many polls each step allows, what ends it at
// once, what a poll keeps, and the status names.
#include <QtTest>

#include "link_rig.h"
#include "test_images.h"

using namespace simtest;
using vzsim::Fault;
using vzsim::FaultKind;

Q_DECLARE_METATYPE(std::vector<vzsim::Fault>)
Q_DECLARE_METATYPE(vzsim::Timing)

namespace
{

// Runs the update steps up to `last`, arming `faultsForLast` just before
// it. Answers the result of `last` (-1 when an earlier step failed) and the
// status polls `last` made.
int runUpTo(LinkRig &rig, const std::vector<uint8_t> &image, UpdateStep last, Counters &counters,
            uint64_t &polls, const std::vector<Fault> &faultsForLast = {})
{
    for (int step = Enter; step < last; ++step) {
        if (runStep(rig, image, UpdateStep(step), counters) != 0)
            return -1;
    }
    for (const Fault &fault : faultsForLast)
        rig.recorder.addFault(fault);
    const uint64_t before = rig.recorder.requestCount(VZMSG_DATA_FWUP_STATUS);
    const int result = runStep(rig, image, last, counters);
    polls = rig.recorder.requestCount(VZMSG_DATA_FWUP_STATUS) - before;
    return result;
}

std::vector<Fault> garbledPolls(unsigned count)
{
    if (count == 0)
        return {};
    return {Fault(FaultKind::Garbage).on(VZMSG_DATA_FWUP_STATUS).times(count)};
}

} // namespace

class TestLinkStatus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Sleeps::install(); }
    void cleanupTestCase() { Sleeps::uninstall(); }

    void enterPolls_data();
    void enterPolls();
    void readyWaits_data();
    void readyWaits();
    void writePolls_data();
    void writePolls();
    void errorStatusEndsEveryStepAtOnce_data();
    void errorStatusEndsEveryStepAtOnce();
    void statusPollKeepsWhatItRead_data();
    void statusPollKeepsWhatItRead();
    void statusNames_data();
    void statusNames();
    void serialWrite_data();
    void serialWrite();
    void missingArgumentsAreRefused_data();
    void missingArgumentsAreRefused();
};

void TestLinkStatus::enterPolls_data()
{
    QTest::addColumn<uint>("modePolls");   // polls that still see status 0
    QTest::addColumn<uint>("garbledFrom"); // first garbled poll, 0: none
    QTest::addColumn<int>("result");
    QTest::addColumn<uint>("polls");
    QTest::addColumn<uint>("status");

    QTest::newRow("mode at the first poll") << 0u << 0u << 0 << 1u << 1u;
    QTest::newRow("mode at the eleventh poll") << 10u << 0u << 0 << 11u << 1u;
    QTest::newRow("no mode by the eleventh poll") << 11u << 0u << 1 << 11u << 0u;
    QTest::newRow("a failed poll ends at once") << 3u << 2u << 1 << 2u << 0u;
    QTest::newRow("a failed first poll ends at once") << 0u << 1u << 1 << 1u << 1u;
}

void TestLinkStatus::enterPolls()
{
    QFETCH(uint, modePolls);
    QFETCH(uint, garbledFrom);
    QFETCH(int, result);
    QFETCH(uint, polls);
    QFETCH(uint, status);

    vzsim::RecorderConfig config;
    config.timing.modeChange = vzsim::Phase{modePolls, {}};
    if (garbledFrom > 0)
        config.faults.push_back(
            Fault(FaultKind::Garbage).on(VZMSG_DATA_FWUP_STATUS).at(garbledFrom).always());
    LinkRig rig(config);
    QVERIFY(rig.isOpen());
    Counters counters;
    uint64_t made = 0;

    QCOMPARE(runUpTo(rig, {}, Enter, counters, made), result);
    QCOMPARE(uint(made), polls);
    QCOMPARE(Sleeps::shortWaits(), polls - 1);
    QCOMPARE(uint(counters.status), status);
}

void TestLinkStatus::readyWaits_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<uint>("failed"); // garbled polls first
    QTest::addColumn<uint>("other");  // then polls that see the previous status
    QTest::addColumn<int>("result");
    QTest::addColumn<uint>("status");

    // Waiting for 2 after the size (status starts at 0, the recorder shows
    // 1 meanwhile) and for 5 after the data check (the recorder shows 4).
    const struct {
        const char *name;
        UpdateStep step;
        uint start, previous, ready;
    } steps[] = {{"size", SendData, 0, 1, 2}, {"check", DataCheck, 2, 4, 5}};
    for (const auto &s : steps) {
        QTest::addRow("%s: ten failed polls are retried", s.name) << int(s.step) << 10u << 0u << 0 << s.ready;
        QTest::addRow("%s: the eleventh failed poll fails", s.name)
            << int(s.step) << 11u << 0u << 1 << s.start;
        QTest::addRow("%s: ten polls in another status", s.name) << int(s.step) << 0u << 10u << 0 << s.ready;
        QTest::addRow("%s: the eleventh in another status fails", s.name)
            << int(s.step) << 0u << 11u << 1 << s.previous;
        QTest::addRow("%s: the two counts are apart", s.name) << int(s.step) << 10u << 10u << 0 << s.ready;
        QTest::addRow("%s: ready at once", s.name) << int(s.step) << 0u << 0u << 0 << s.ready;
    }
}

void TestLinkStatus::readyWaits()
{
    QFETCH(int, step);
    QFETCH(uint, failed);
    QFETCH(uint, other);
    QFETCH(int, result);
    QFETCH(uint, status);

    vzsim::RecorderConfig config = instantConfig();
    (step == SendData ? config.timing.transferReady : config.timing.dataCheck) =
        vzsim::Phase{failed + other, {}};
    LinkRig rig(config);
    QVERIFY(rig.isOpen());
    const auto image = makeImage(400);
    Counters counters;
    uint64_t polls = 0;

    QCOMPARE(runUpTo(rig, image, UpdateStep(step), counters, polls, garbledPolls(failed)), result);
    const uint expectedPolls = result == 0 ? failed + other + 1 : 11;
    QCOMPARE(uint(polls), expectedPolls);
    QCOMPARE(Sleeps::shortWaits(), expectedPolls - 1);
    QCOMPARE(uint(counters.status), status);
}

void TestLinkStatus::writePolls_data()
{
    QTest::addColumn<QList<uint>>("phases"); // polls in status 5 after 0x54, then in 6, 7, 8, 9
    QTest::addColumn<uint>("garbled");       // garbled polls, from the first
    QTest::addColumn<int>("result");
    QTest::addColumn<uint>("polls");
    QTest::addColumn<uint>("status");

    QTest::newRow("300 polls in 6 to 9") << QList<uint>{0, 75, 75, 75, 75} << 0u << 0 << 301u << 10u;
    QTest::newRow("the 301st poll in 6 to 9 fails")
        << QList<uint>{0, 75, 75, 75, 76} << 0u << 1 << 301u << 9u;
    QTest::newRow("300 failed polls") << QList<uint>{0, 300, 0, 0, 0} << 300u << 0 << 301u << 10u;
    QTest::newRow("the 301st failed poll fails") << QList<uint>{0, 301, 0, 0, 0} << 301u << 1 << 301u << 6u;
    QTest::newRow("300 polls before erasing") << QList<uint>{300, 0, 0, 0, 0} << 0u << 0 << 301u << 10u;
    QTest::newRow("the 301st poll before erasing fails")
        << QList<uint>{301, 0, 0, 0, 0} << 0u << 1 << 301u << 5u;
    QTest::newRow("the three counts are apart")
        << QList<uint>{300, 300, 0, 0, 300} << 300u << 0 << 901u << 10u;
}

void TestLinkStatus::writePolls()
{
    QFETCH(QList<uint>, phases);
    QFETCH(uint, garbled);
    QFETCH(int, result);
    QFETCH(uint, polls);
    QFETCH(uint, status);

    vzsim::RecorderConfig config = instantConfig();
    vzsim::Timing &timing = config.timing;
    timing.writeStart = vzsim::Phase{phases[0], {}};
    timing.erase = vzsim::Phase{phases[1], {}};
    timing.blankCheck = vzsim::Phase{phases[2], {}};
    timing.write = vzsim::Phase{phases[3], {}};
    timing.compare = vzsim::Phase{phases[4], {}};
    LinkRig rig(config);
    QVERIFY(rig.isOpen());
    const auto image = makeImage(500);
    Counters counters;
    uint64_t made = 0;
    std::vector<Fault> faults;
    if (garbled > 0) // only while erasing, so that the other counts stay clean
        faults.push_back(Fault(FaultKind::Garbage).on(VZMSG_DATA_FWUP_STATUS).inStatus(6).times(garbled));

    QCOMPARE(runUpTo(rig, image, Write, counters, made, faults), result);
    QCOMPARE(uint(made), polls);
    QCOMPARE(Sleeps::longWaits(), polls - 1);
    QCOMPARE(uint(counters.status), status);
    if (result == 0)
        QCOMPARE(counters.progress, uint32_t(image.size()));
}

void TestLinkStatus::errorStatusEndsEveryStepAtOnce_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<vzsim::Timing>("timing");
    QTest::addColumn<std::vector<Fault>>("faults");
    QTest::addColumn<QString>("product");
    QTest::addColumn<bool>("corrupt");
    QTest::addColumn<uint>("status");
    QTest::addColumn<uint>("polls");

    const vzsim::Timing plain = instantConfig().timing;
    vzsim::Timing slowMode = plain;
    slowMode.modeChange = vzsim::Phase{2, {}};
    vzsim::Timing slowReady = plain;
    slowReady.transferReady = vzsim::Phase{3, {}};
    vzsim::Timing slowCheck = plain;
    slowCheck.dataCheck = vzsim::Phase{1, {}};
    vzsim::Timing slowWrite = plain;
    slowWrite.erase = slowWrite.blankCheck = slowWrite.write = slowWrite.compare = vzsim::Phase{2, {}};
    const QString q7 = "VELDR-Q7";

    QTest::newRow("update mode reply")
        << int(Enter) << plain << std::vector<Fault>{Fault::error(0x51, 101)} << q7 << false << 101u << 0u;
    QTest::newRow("update mode poll")
        << int(Enter) << slowMode << std::vector<Fault>{Fault::error(0x55, 102)} << q7 << false << 102u << 1u;
    QTest::newRow("size reply") << int(SendData) << plain << std::vector<Fault>{Fault::error(0x52, 104)} << q7
                                << false << 104u << 1u;
    QTest::newRow("waiting for data ready")
        << int(SendData) << slowReady << std::vector<Fault>{Fault::error(0x55, 103).at(2)} << q7 << false
        << 103u << 2u;
    QTest::newRow("data check, other product")
        << int(DataCheck) << slowCheck << std::vector<Fault>{} << "VD-NIMBO" << false << 105u << 2u;
    QTest::newRow("data check, checksum")
        << int(DataCheck) << slowCheck << std::vector<Fault>{} << q7 << true << 106u << 2u;
    QTest::newRow("write reply") << int(Write) << plain << std::vector<Fault>{Fault::error(0x54, 107)} << q7
                                 << false << 107u << 0u;
    QTest::newRow("erasing") << int(Write) << slowWrite
                             << std::vector<Fault>{Fault::error(0x55, 107).inStatus(6).at(2)} << q7 << false
                             << 107u << 2u;
    Fault dropTotal(FaultKind::DropItem);
    dropTotal.item = VZMSG_DATA_FWUP_TOTAL;
    QTest::newRow("comparing, in a poll that lacks an item")
        << int(Write) << slowWrite
        << std::vector<Fault>{Fault::error(0x55, 110).inStatus(9), dropTotal.inStatus(9)} << q7 << false
        << 110u << 7u;
}

void TestLinkStatus::errorStatusEndsEveryStepAtOnce()
{
    QFETCH(int, step);
    QFETCH(vzsim::Timing, timing);
    QFETCH(std::vector<Fault>, faults);
    QFETCH(QString, product);
    QFETCH(bool, corrupt);
    QFETCH(uint, status);
    QFETCH(uint, polls);

    vzsim::RecorderConfig config;
    config.timing = timing;
    LinkRig rig(config);
    QVERIFY(rig.isOpen());
    auto image = makeImage(300, product.toStdString());
    if (corrupt)
        image[200] ^= 0x40;
    Counters counters;
    uint64_t made = 0;

    QCOMPARE(runUpTo(rig, image, UpdateStep(step), counters, made, faults), 1);
    QCOMPARE(uint(counters.status), status);
    QCOMPARE(uint(made), polls);
    QCOMPARE(
        QString::fromLatin1(vzmsg_ctl_status_name(counters.status)).startsWith("VZMSG_DATA_FWUP_STATUS_ERR"),
        status > 100);
}

void TestLinkStatus::statusPollKeepsWhatItRead_data()
{
    QTest::addColumn<int>("fault"); // -1 none
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("statusKept");
    QTest::addColumn<bool>("progressKept");
    QTest::addColumn<bool>("totalKept");

    QTest::newRow("whole reply") << -1 << 0 << 0 << false << false << false;
    QTest::newRow("no total") << int(FaultKind::DropItem) << VZMSG_DATA_FWUP_TOTAL << 1 << false << false
                              << true;
    QTest::newRow("no progress") << int(FaultKind::DropItem) << VZMSG_DATA_FWUP_PROGRESS << 1 << false << true
                                 << false;
    QTest::newRow("no status") << int(FaultKind::DropItem) << VZMSG_DATA_FWUP_STATUS << 1 << true << false
                               << false;
    QTest::newRow("no reply") << int(FaultKind::NoReply) << 0 << 1 << true << true << true;
    QTest::newRow("garbage") << int(FaultKind::Garbage) << 0 << 1 << true << true << true;
}

void TestLinkStatus::statusPollKeepsWhatItRead()
{
    QFETCH(int, fault);
    QFETCH(int, item);
    QFETCH(int, result);
    QFETCH(bool, statusKept);
    QFETCH(bool, progressKept);
    QFETCH(bool, totalKept);

    LinkRig rig(instantConfig());
    QVERIFY(rig.isOpen());
    const auto image = makeImage(640);
    Counters counters;
    uint64_t polls = 0;
    QCOMPARE(runUpTo(rig, image, SendData, counters, polls), 0); // the recorder now reports 4, 676, 676
    if (fault >= 0) {
        Fault injected(static_cast<FaultKind>(fault));
        injected.item = uint8_t(item);
        rig.recorder.addFault(injected.on(VZMSG_DATA_FWUP_STATUS));
    }

    const uint32_t before = 0xA5A5A5A5u;
    Counters poll{before, before, before};
    QCOMPARE(vzmsg_ctl_fwup_get_status(rig.dev(), &poll.status, &poll.progress, &poll.total), result);
    QCOMPARE(poll.status, statusKept ? before : uint32_t(VZMSG_DATA_FWUP_STATUS_DATA_TRANS_COMPLETE));
    QCOMPARE(poll.progress, progressKept ? before : uint32_t(image.size()));
    QCOMPARE(poll.total, totalKept ? before : uint32_t(image.size()));
}

void TestLinkStatus::statusNames_data()
{
    QTest::addColumn<uint>("status");
    QTest::addColumn<QString>("name");

    QTest::newRow("0") << 0u << "VZMSG_DATA_FWUP_STATUS_NONE";
    QTest::newRow("1") << 1u << "VZMSG_DATA_FWUP_STATUS_UPDATE_MODE_CHANGED";
    QTest::newRow("2") << 2u << "VZMSG_DATA_FWUP_STATUS_DATA_TRANS_READY";
    QTest::newRow("3") << 3u << "VZMSG_DATA_FWUP_STATUS_DATA_TRANSFERRING";
    QTest::newRow("4") << 4u << "VZMSG_DATA_FWUP_STATUS_DATA_TRANS_COMPLETE";
    QTest::newRow("5") << 5u << "VZMSG_DATA_FWUP_STATUS_WRITE_READY";
    QTest::newRow("6") << 6u << "VZMSG_DATA_FWUP_STATUS_WRITE1_ERASE";
    QTest::newRow("7") << 7u << "VZMSG_DATA_FWUP_STATUS_WRITE2_BLANK";
    QTest::newRow("8") << 8u << "VZMSG_DATA_FWUP_STATUS_WRITE3_WRITE";
    QTest::newRow("9") << 9u << "VZMSG_DATA_FWUP_STATUS_WRITE4_COMPARE";
    QTest::newRow("10") << 10u << "VZMSG_DATA_FWUP_STATUS_COMPLETE";
    QTest::newRow("11") << 11u << "VZMSG_DATA_FWUP_STATUS_SERIAL_WRITE_START";
    QTest::newRow("12") << 12u << "VZMSG_DATA_FWUP_STATUS_SERIAL_WRITE_COMPLETE";
    QTest::newRow("100") << 100u << "VZMSG_DATA_FWUP_STATUS_ERROR";
    QTest::newRow("101") << 101u << "VZMSG_DATA_FWUP_STATUS_ERR_MASSSTORAGE";
    QTest::newRow("102") << 102u << "VZMSG_DATA_FWUP_STATUS_ERR_REC_PLAY";
    QTest::newRow("103") << 103u << "VZMSG_DATA_FWUP_STATUS_ERR_NO_BATTERY";
    QTest::newRow("104") << 104u << "VZMSG_DATA_FWUP_STATUS_ERR_VERSION";
    QTest::newRow("105") << 105u << "VZMSG_DATA_FWUP_STATUS_ERR_PRODUCT";
    QTest::newRow("106") << 106u << "VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK";
    QTest::newRow("107") << 107u << "VZMSG_DATA_FWUP_STATUS_ERR_ERASE";
    QTest::newRow("108") << 108u << "VZMSG_DATA_FWUP_STATUS_ERR_BLANK";
    QTest::newRow("109") << 109u << "VZMSG_DATA_FWUP_STATUS_ERR_WRITE";
    QTest::newRow("110") << 110u << "VZMSG_DATA_FWUP_STATUS_ERR_VERIFY";
    QTest::newRow("111") << 111u << "VZMSG_DATA_FWUP_STATUS_ERR_COMMUNICATE";
    const QString unknown = "UNKNOWN VZMSG_DATA_FWUP_STATUS";
    QTest::newRow("13") << 13u << unknown;
    QTest::newRow("99") << 99u << unknown;
    QTest::newRow("112") << 112u << unknown;
    QTest::newRow("largest") << 0xFFFFFFFFu << unknown;
}

void TestLinkStatus::statusNames()
{
    QFETCH(uint, status);
    QFETCH(QString, name);

    QCOMPARE(QString::fromLatin1(vzmsg_ctl_status_name(status)), name);
}

void TestLinkStatus::serialWrite_data()
{
    QTest::addColumn<uint>("phase"); // polls in status 11
    QTest::addColumn<std::vector<Fault>>("faults");
    QTest::addColumn<int>("result");
    QTest::addColumn<uint>("polls");

    QTest::newRow("written") << 1u << std::vector<Fault>{} << 0 << 2u;
    QTest::newRow("refused with status 100")
        << 5u << std::vector<Fault>{Fault::error(VZMSG_DATA_FWUP_STATUS, 100).at(3)} << 1 << 3u;
    QTest::newRow("written at the 301st poll") << 300u << std::vector<Fault>{} << 0 << 301u;
    QTest::newRow("not written by the 301st poll") << 301u << std::vector<Fault>{} << 1 << 301u;
    QTest::newRow("failed polls count too") << 0u << garbledPolls(301) << 1 << 301u;
}

void TestLinkStatus::serialWrite()
{
    QFETCH(uint, phase);
    QFETCH(std::vector<Fault>, faults);
    QFETCH(int, result);
    QFETCH(uint, polls);

    vzsim::RecorderConfig config;
    config.timing.serialWrite = vzsim::Phase{phase, {}};
    config.faults = faults;
    LinkRig rig(config);
    QVERIFY(rig.isOpen());
    const std::string serial = "VQ7-NEW-0042";

    QCOMPARE(vzmsg_ctl_serial_write(rig.dev(), reinterpret_cast<const uint8_t *>(serial.data()),
                                    uint8_t(serial.size())),
             result);
    QCOMPARE(uint(rig.recorder.requestCount(VZMSG_DATA_FWUP_STATUS)), polls);
    QCOMPARE(Sleeps::longWaits(), polls - 1);
    QCOMPARE(rig.recorder.config().identity.serial, serial);
}

void TestLinkStatus::missingArgumentsAreRefused_data()
{
    QTest::addColumn<int>("call");

    QTest::newRow("update mode without status") << 0;
    QTest::newRow("transfer without status") << 1;
    QTest::newRow("transfer without total") << 2;
    QTest::newRow("transfer of bytes not given") << 3;
    QTest::newRow("data check without status") << 4;
    QTest::newRow("write without progress") << 5;
    QTest::newRow("serial write without a number") << 6;
    QTest::newRow("serial write of nothing") << 7;
    QTest::newRow("send without a record") << 8;
    QTest::newRow("receive without a record") << 9;
}

void TestLinkStatus::missingArgumentsAreRefused()
{
    QFETCH(int, call);

    LinkRig rig;
    QVERIFY(rig.isOpen());
    vzmsg_dev_t *dev = rig.dev();
    uint32_t value = 0;
    const uint8_t serial[] = {'S'};
    int result = -1;
    switch (call) {
    case 0:
        result = vzmsg_ctl_fwup_enter(dev, nullptr);
        break;
    case 1:
        result = vzmsg_ctl_fwup_send_data(dev, serial, 1, &value, &value, nullptr);
        break;
    case 2:
        result = vzmsg_ctl_fwup_send_data(dev, serial, 1, &value, nullptr, &value);
        break;
    case 3:
        result = vzmsg_ctl_fwup_send_data(dev, nullptr, 10, &value, &value, &value);
        break;
    case 4:
        result = vzmsg_ctl_fwup_data_check(dev, nullptr);
        break;
    case 5:
        result = vzmsg_ctl_fwup_write(dev, nullptr, &value, &value);
        break;
    case 6:
        result = vzmsg_ctl_serial_write(dev, nullptr, 4);
        break;
    case 7:
        result = vzmsg_ctl_serial_write(dev, serial, 0);
        break;
    case 8:
        result = vzmsg_ctl_send(dev, nullptr);
        break;
    default:
        result = vzmsg_ctl_recv(dev, nullptr);
        break;
    }
    QCOMPARE(result, 1);
    QVERIFY(rig.recorder.waitRepliesDelivered(std::chrono::seconds(5)));
    for (int code = 0; code < 256; ++code)
        QCOMPARE(rig.recorder.requestCount(uint8_t(code)), uint64_t(0));
}

QTEST_GUILESS_MAIN(TestLinkStatus)
#include "tst_link_status.moc"
