// The image transfer of the control layer, through the real port layer, to
// the recorder simulator: blocks, pacing by free space, offset checks.
#include <QtTest>

#include "link_rig.h"
#include "stdout_capture.h"
#include "test_images.h"

using namespace simtest;
using vzsim::Fault;
using vzsim::FaultKind;

Q_DECLARE_METATYPE(std::vector<uint32_t>)
Q_DECLARE_METATYPE(std::vector<uint16_t>)

namespace
{

struct Transfer {
    int result = -1;
    Counters counters;
    QStringList progressLines; // the "sent / size" lines
};

// Update mode, then the image's transfer, as the device wrapper runs them.
Transfer transfer(LinkRig &rig, const std::vector<uint8_t> &image)
{
    Transfer run;
    if (vzmsg_ctl_fwup_enter(rig.dev(), &run.counters.status) != 0)
        return run;
    StdoutCapture capture;
    run.result = vzmsg_ctl_fwup_send_data(rig.dev(), image.data(), uint32_t(image.size()),
                                          &run.counters.progress, &run.counters.total, &run.counters.status);
    const QRegularExpression line(QStringLiteral("^\\d+ / \\d+$"), QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(capture.finish()); it.hasNext();)
        run.progressLines << it.next().captured();
    return run;
}

std::vector<uint8_t> head(const std::vector<uint8_t> &image, size_t length)
{
    return std::vector<uint8_t>(image.begin(), image.begin() + long(length));
}

} // namespace

class TestLinkTransfer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Sleeps::install(); }
    void cleanupTestCase() { Sleeps::uninstall(); }

    void blocksFollowFreeSpace_data();
    void blocksFollowFreeSpace();
    void noFreeSpace_data();
    void noFreeSpace();
    void offsetMismatchFails_data();
    void offsetMismatchFails();
    void staleRepliesAreRejected_data();
    void staleRepliesAreRejected();
    void emptyImage();
    void progressIsOptional();
};

void TestLinkTransfer::blocksFollowFreeSpace_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<std::vector<uint32_t>>("freeAnswers"); // then 4096 for ever
    QTest::addColumn<uint>("free");
    QTest::addColumn<std::vector<uint16_t>>("blocks");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("600 bytes, 4096 free")
        << 600 << std::vector<uint32_t>{} << 4096u << std::vector<uint16_t>{252, 252, 96}
        << QStringList{"0 / 600", "252 / 600", "504 / 600"};
    QTest::newRow("600 bytes, 100 free")
        << 600 << std::vector<uint32_t>{} << 100u << std::vector<uint16_t>{100, 100, 100, 100, 100, 100}
        << QStringList{"0 / 600", "100 / 600", "200 / 600", "300 / 600", "400 / 600", "500 / 600"};
    QTest::newRow("free space changing")
        << 600 << std::vector<uint32_t>{100, 300, 50} << 4096u << std::vector<uint16_t>{100, 252, 50, 198}
        << QStringList{"0 / 600", "100 / 600", "352 / 600", "402 / 600"};
    QTest::newRow("exactly one block")
        << 252 << std::vector<uint32_t>{} << 252u << std::vector<uint16_t>{252} << QStringList{"0 / 252"};
    QTest::newRow("one byte free") << 3 << std::vector<uint32_t>{} << 1u << std::vector<uint16_t>{1, 1, 1}
                                   << QStringList{"0 / 3", "1 / 3", "2 / 3"};
    // With blocks far below a tenth of the image, the mark paces the lines.
    QTest::newRow("ten lines for many blocks")
        << 5040 << std::vector<uint32_t>{} << 4096u << std::vector<uint16_t>(20, 252)
        << QStringList{"0 / 5040",    "504 / 5040",  "1008 / 5040", "1512 / 5040", "2016 / 5040",
                       "2520 / 5040", "3024 / 5040", "3528 / 5040", "4032 / 5040", "4536 / 5040"};
}

void TestLinkTransfer::blocksFollowFreeSpace()
{
    QFETCH(int, size);
    QFETCH(std::vector<uint32_t>, freeAnswers);
    QFETCH(uint, free);
    QFETCH(std::vector<uint16_t>, blocks);
    QFETCH(QStringList, lines);

    vzsim::RecorderConfig config;
    config.freeSpace = vzsim::FreeSpace{freeAnswers, false, free};
    LinkRig rig(config);
    QVERIFY(rig.isOpen());
    const auto image = head(makeImage(size), size_t(size));

    const Transfer run = transfer(rig, image);
    QCOMPARE(run.result, 0);
    QCOMPARE(rig.recorder.blockSizes(), blocks);
    QCOMPARE(rig.recorder.receivedImage(), image);
    QCOMPARE(run.progressLines, lines);
    // The recorder's count at status 2 (0) plus every byte sent.
    QCOMPARE(run.counters.progress, uint32_t(size));
    QCOMPARE(run.counters.total, uint32_t(size));
    QCOMPARE(run.counters.status, uint32_t(VZMSG_DATA_FWUP_STATUS_DATA_TRANS_READY));
    QCOMPARE(rig.recorder.requestCount(VZMSG_DATA_FWUP_DATA), uint64_t(2 * blocks.size()));
    QCOMPARE(Sleeps::shortWaits(), 0u);
    QCOMPARE(rig.recorder.protocolErrors(), uint64_t(0));
}

void TestLinkTransfer::noFreeSpace_data()
{
    QTest::addColumn<std::vector<uint32_t>>("freeAnswers"); // then 4096 for ever
    QTest::addColumn<int>("result");
    QTest::addColumn<uint>("waits");
    QTest::addColumn<int>("received");

    const std::vector<uint32_t> tenZeros(10, 0);
    auto join = [](std::initializer_list<std::vector<uint32_t>> parts) {
        std::vector<uint32_t> all;
        for (const auto &part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    QTest::newRow("ten zero answers are waited out") << tenZeros << 0 << 10u << 600;
    QTest::newRow("the eleventh zero answer fails") << join({tenZeros, {0}}) << 1 << 10u << 0;
    QTest::newRow("an offer resets the count")
        << join({tenZeros, {252}, tenZeros, {252}, tenZeros}) << 0 << 30u << 600;
    QTest::newRow("eleven zeros after some data") << join({{252}, tenZeros, {0}}) << 1 << 10u << 252;
}

void TestLinkTransfer::noFreeSpace()
{
    QFETCH(std::vector<uint32_t>, freeAnswers);
    QFETCH(int, result);
    QFETCH(uint, waits);
    QFETCH(int, received);

    vzsim::RecorderConfig config;
    config.freeSpace = vzsim::FreeSpace{freeAnswers, false, 4096};
    LinkRig rig(config);
    QVERIFY(rig.isOpen());
    const auto image = head(makeImage(600), 600);

    const Transfer run = transfer(rig, image);
    QCOMPARE(run.result, result);
    QCOMPARE(Sleeps::shortWaits(), waits);
    QCOMPARE(rig.recorder.receivedImage(), head(image, size_t(received)));
    QCOMPARE(run.counters.progress, uint32_t(received));
    QCOMPARE(run.counters.status, uint32_t(VZMSG_DATA_FWUP_STATUS_DATA_TRANS_READY));
}

void TestLinkTransfer::offsetMismatchFails_data()
{
    QTest::addColumn<int>("request"); // the n-th transfer exchange (questions and blocks)
    QTest::addColumn<int>("delta");
    QTest::addColumn<int>("sent"); // bytes the recorder took

    QTest::newRow("first question ahead") << 1 << 1 << 0;
    QTest::newRow("first block short") << 2 << -1 << 252;
    QTest::newRow("second question behind") << 3 << -252 << 252;
    QTest::newRow("last block ahead") << 6 << 4 << 600;
}

void TestLinkTransfer::offsetMismatchFails()
{
    QFETCH(int, request);
    QFETCH(int, delta);
    QFETCH(int, sent);

    Fault fault = Fault(FaultKind::WrongOffset).on(VZMSG_DATA_FWUP_DATA).at(unsigned(request));
    fault.offsetDelta = delta;
    vzsim::RecorderConfig config;
    config.faults.push_back(fault);
    LinkRig rig(config);
    QVERIFY(rig.isOpen());
    const auto image = head(makeImage(600), 600);

    const Transfer run = transfer(rig, image);
    QCOMPARE(run.result, 1);
    QCOMPARE(rig.recorder.requestCount(VZMSG_DATA_FWUP_DATA), uint64_t(request));
    QCOMPARE(int(rig.recorder.receivedImage().size()), sent);
    QCOMPARE(run.counters.status, uint32_t(VZMSG_DATA_FWUP_STATUS_DATA_TRANS_READY));
}

void TestLinkTransfer::staleRepliesAreRejected_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("request"); // code
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("exchanges"); // transfer exchanges made

    // The repeated answer to a question arrives after the host took the
    // first one; the block's receive takes it and its offset is the old one.
    QTest::newRow("question answered twice")
        << int(FaultKind::DuplicateReply) << VZMSG_DATA_FWUP_DATA << 1 << 1 << 2;
    QTest::newRow("later question answered twice")
        << int(FaultKind::DuplicateReply) << VZMSG_DATA_FWUP_DATA << 3 << 1 << 4;
    // A question whose answer comes after the receive gave up fails.
    QTest::newRow("question answered late")
        << int(FaultKind::LateReply) << VZMSG_DATA_FWUP_DATA << 3 << 1 << 3;
    // A late size reply lands in the first status poll, which fails and is
    // retried; the exchanges are in step again afterwards.
    QTest::newRow("size answered late") << int(FaultKind::LateReply) << VZMSG_DATA_FWUP_SIZE << 1 << 0 << 6;
}

void TestLinkTransfer::staleRepliesAreRejected()
{
    QFETCH(int, kind);
    QFETCH(int, request);
    QFETCH(int, occurrence);
    QFETCH(int, result);
    QFETCH(int, exchanges);

    vzsim::RecorderConfig config;
    config.faults.push_back(
        Fault(static_cast<FaultKind>(kind)).on(uint8_t(request)).at(unsigned(occurrence)));
    LinkRig rig(config);
    QVERIFY(rig.isOpen());
    const auto image = head(makeImage(600), 600);

    const Transfer run = transfer(rig, image);
    QCOMPARE(run.result, result);
    QCOMPARE(rig.recorder.requestCount(VZMSG_DATA_FWUP_DATA), uint64_t(exchanges));
    if (result == 0)
        QCOMPARE(rig.recorder.receivedImage(), image);
}

void TestLinkTransfer::emptyImage()
{
    LinkRig rig;
    QVERIFY(rig.isOpen());
    vzsim::Timing timing;
    timing.transferReady = vzsim::Phase{2, {}};
    rig.recorder.setTiming(timing);

    const Transfer run = transfer(rig, {});
    QCOMPARE(run.result, 0);
    QCOMPARE(rig.recorder.requestCount(VZMSG_DATA_FWUP_SIZE), uint64_t(1));
    QCOMPARE(rig.recorder.announcedSize(), 0u);
    QCOMPARE(rig.recorder.requestCount(VZMSG_DATA_FWUP_DATA), uint64_t(0));
    // Status 2 was awaited: two polls saw the recorder still in update mode.
    QCOMPARE(rig.recorder.reportedStatuses(), (std::vector<uint32_t>{1, 1, 1, 2}));
    QCOMPARE(run.counters.status, uint32_t(VZMSG_DATA_FWUP_STATUS_DATA_TRANS_READY));
    QCOMPARE(Sleeps::shortWaits(), 2u);
    QVERIFY(run.progressLines.isEmpty());
}

void TestLinkTransfer::progressIsOptional()
{
    LinkRig rig;
    QVERIFY(rig.isOpen());
    const auto image = makeImage(700);
    Counters counters;

    QCOMPARE(vzmsg_ctl_fwup_enter(rig.dev(), &counters.status), 0);
    QCOMPARE(vzmsg_ctl_fwup_send_data(rig.dev(), image.data(), uint32_t(image.size()), nullptr,
                                      &counters.total, &counters.status),
             0);
    QCOMPARE(rig.recorder.receivedImage(), image);
    QCOMPARE(counters.total, uint32_t(image.size()));
}

QTEST_GUILESS_MAIN(TestLinkTransfer)
#include "tst_link_transfer.moc"
