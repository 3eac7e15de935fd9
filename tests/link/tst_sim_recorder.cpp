// The recorder simulator on its own: frames in, frames out, no port.
#include <QtTest>

#include <thread>

#include "sim_frames.h"
#include "test_images.h"
#include "vzmsg_ctl.h"
#include "vzsim_image_check.h"
#include "vzsim_recorder.h"
#include "vzsim_timeline.h"

using namespace simtest;
using vzsim::Fault;
using vzsim::FaultKind;

Q_DECLARE_METATYPE(std::vector<uint32_t>)

namespace
{

// A recorder with a link that collects its replies.
struct Bench {
    explicit Bench(vzsim::RecorderConfig config = {}) : recorder(std::move(config))
    {
        recorder.attach(&link);
    }
    ~Bench() { recorder.attach(nullptr); }

    // Hands the request over and waits for the replies due at once.
    void send(const Request &request)
    {
        const Bytes frame = request.frame();
        recorder.receiveFromHost(frame.data(), frame.size());
        QVERIFY(recorder.waitRepliesDelivered(std::chrono::seconds(10)));
    }
    std::vector<Item> ask(const Request &request)
    {
        const size_t before = link.frames().size();
        send(request);
        const auto frames = link.frames();
        return frames.size() > before ? readReply(frames.back()) : std::vector<Item>{};
    }
    std::vector<Item> poll() { return ask(Request().cmd(VZMSG_DATA_FWUP_STATUS)); }
    uint32_t pollStatus() { return uint32_t(valueOf(poll(), VZMSG_DATA_FWUP_STATUS)); }
    // Update mode and the size announced, ready for data.
    void readyFor(uint32_t size)
    {
        ask(Request().cmd(VZMSG_DATA_FWUP_MODE));
        ask(Request().u32(VZMSG_DATA_FWUP_SIZE, size));
    }
    // The whole image as the host sends it, blocks as large as offered.
    void transfer(const std::vector<uint8_t> &image)
    {
        size_t sent = 0;
        while (sent < image.size()) {
            const auto offer = valueOf(ask(Request().cmd(VZMSG_DATA_FWUP_DATA)), VZMSG_DATA_FWUP_DATA);
            const size_t n = std::min<size_t>({size_t(offer), 252, image.size() - sent});
            ask(Request().block(image.data() + sent, uint16_t(n)));
            sent += n;
        }
    }

    FrameLink link;
    vzsim::Recorder recorder;
};

vzsim::RecorderConfig quickConfig()
{
    vzsim::RecorderConfig config;
    config.timing.dataCheck = vzsim::Phase{};
    config.timing.erase = config.timing.blankCheck = config.timing.write = config.timing.compare =
        vzsim::Phase{};
    return config;
}

} // namespace

class TestSimRecorder : public QObject
{
    Q_OBJECT

private slots:
    void queries_data();
    void queries();
    void updateSequence();
    void imageCheck_data();
    void imageCheck();
    void freeSpace_data();
    void freeSpace();
    void blockBeyondOfferIsCommunicationError();
    void outOfOrderRequestsChangeNothing_data();
    void outOfOrderRequestsChangeNothing();
    void deliveryFaults_data();
    void deliveryFaults();
    void lateAndDuplicateRepliesPrecedeTheNextReply_data();
    void lateAndDuplicateRepliesPrecedeTheNextReply();
    void lateReplyComesByItselfAfterItsDelay_data();
    void lateReplyComesByItselfAfterItsDelay();
    void faultMatching_data();
    void faultMatching();
    void errorStatusStaysUntilPowerCycle();
    void wrongOffsetAndDroppedItem();
    void latencyRepliesFromOwnThreadInOrder();
    void unplugFaultPullsTheCableAtOnce();
    void noBatteryRefusesUpdateMode();
    void timelineRamps_data();
    void timelineRamps();
};

void TestSimRecorder::queries_data()
{
    QTest::addColumn<int>("request");
    QTest::addColumn<QString>("reply");

    QTest::newRow("protocol") << 0x50 << "50=7";
    QTest::newRow("version") << 0x01 << "01=131 02='Q7X' 03='board' 04=77 05='dsp' 06='boot'";
    QTest::newRow("battery") << 0x08 << "08=2";
    QTest::newRow("serial") << 0x07 << "07='SN-42'";
    QTest::newRow("unknown code goes unanswered") << 0x12 << "";
}

void TestSimRecorder::queries()
{
    QFETCH(int, request);
    QFETCH(QString, reply);

    vzsim::RecorderConfig config;
    config.identity = vzsim::Identity{7, 131, 77, "Q7X", "board", "dsp", "boot", "SN-42", 2};
    Bench bench(config);

    QCOMPARE(describe(bench.ask(Request().cmd(uint8_t(request)))), reply);
    QCOMPARE(bench.recorder.requestCount(uint8_t(request)), uint64_t(1));
}

void TestSimRecorder::updateSequence()
{
    vzsim::RecorderConfig config;
    config.timing.modeChange = vzsim::Phase{2, {}};
    config.timing.transferReady = vzsim::Phase{1, {}};
    config.timing.dataCheck = vzsim::Phase{1, {}};
    config.timing.erase = vzsim::Phase{2, {}};
    config.timing.blankCheck = vzsim::Phase{1, {}};
    config.timing.write = vzsim::Phase{4, {}};
    config.timing.compare = vzsim::Phase{1, {}};
    Bench bench(config);
    const auto image = makeImage(1000, "VELDR-Q7", 104, 51);
    const uint32_t size = uint32_t(image.size());

    QCOMPARE(describe(bench.ask(Request().cmd(VZMSG_DATA_FWUP_MODE))), QString("51=0"));
    QCOMPARE(bench.pollStatus(), 0u);
    QCOMPARE(bench.pollStatus(), 0u);
    QCOMPARE(bench.pollStatus(), 1u);

    QCOMPARE(describe(bench.ask(Request().u32(VZMSG_DATA_FWUP_SIZE, size))), QString("52=1"));
    QCOMPARE(bench.pollStatus(), 1u);
    QCOMPARE(describe(bench.poll()), QString("55=2 56=0 57=%1").arg(size));

    bench.transfer(image);
    QCOMPARE(describe(bench.poll()), QString("55=4 56=%1 57=%1").arg(size));
    QCOMPARE(bench.recorder.receivedImage(), image);

    QCOMPARE(describe(bench.ask(Request().u8(VZMSG_DATA_FWUP_CHECK, 0))), QString("53=0"));
    QCOMPARE(bench.pollStatus(), 4u);
    QCOMPARE(bench.pollStatus(), 5u);

    QCOMPARE(describe(bench.ask(Request().cmd(VZMSG_DATA_FWUP_WRITE))), QString("54=6"));
    // Each write phase's progress rises to the full scale over its polls.
    const QStringList expected = {
        QString("55=6 56=%1 57=%2").arg(size / 2).arg(size),
        QString("55=6 56=%1 57=%1").arg(size),
        QString("55=7 56=%1 57=%1").arg(size),
        QString("55=8 56=%1 57=%2").arg(size / 4).arg(size),
        QString("55=8 56=%1 57=%2").arg(size / 2).arg(size),
        QString("55=8 56=%1 57=%2").arg(size * 3 / 4).arg(size),
        QString("55=8 56=%1 57=%1").arg(size),
        QString("55=9 56=%1 57=%1").arg(size),
        QString("55=10 56=%1 57=%1").arg(size),
        QString("55=10 56=%1 57=%1").arg(size),
    };
    for (const QString &line : expected)
        QCOMPARE(describe(bench.poll()), line);

    // After the update the recorder runs what it was sent.
    QCOMPARE(describe(bench.ask(Request().cmd(VZMSG_DATA_VERSION))).section(' ', 0, 0), QString("01=104"));
    QCOMPARE(bench.recorder.config().identity.build, uint16_t(51));
    QCOMPARE(bench.recorder.protocolErrors(), uint64_t(0));
    QCOMPARE(bench.recorder.badFrames(), uint64_t(0));
}

void TestSimRecorder::imageCheck_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<uint>("announced");
    QTest::addColumn<QString>("product");
    QTest::addColumn<uint>("verdict");

    auto bytes = [](const std::vector<uint8_t> &image) {
        return QByteArray(reinterpret_cast<const char *>(image.data()), int(image.size()));
    };
    const QByteArray good = bytes(makeImage(500));
    const uint size = uint(good.size());

    QTest::newRow("sound") << good << size << "VELDR-Q7" << uint(VZMSG_DATA_FWUP_STATUS_WRITE_READY);
    QTest::newRow("other product") << bytes(makeImage(500, "VD-NIMBO")) << size << "VELDR-Q7"
                                   << uint(VZMSG_DATA_FWUP_STATUS_ERR_PRODUCT);
    QTest::newRow("the recorder's own other product")
        << bytes(makeImage(500, "VD-NIMBO")) << size << "VD-NIMBO"
        << uint(VZMSG_DATA_FWUP_STATUS_WRITE_READY);
    QByteArray payloadChanged = good;
    payloadChanged[100] = char(payloadChanged[100] ^ 0x01);
    QTest::newRow("payload byte changed")
        << payloadChanged << size << "VELDR-Q7" << uint(VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK);
    QByteArray trailerChanged = good;
    trailerChanged[trailerChanged.size() - 1] = char(trailerChanged[trailerChanged.size() - 1] ^ 0x10);
    QTest::newRow("trailer changed") << trailerChanged << size << "VELDR-Q7"
                                     << uint(VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK);
    QTest::newRow("fewer bytes than announced")
        << good.left(int(size) - 1) << size << "VELDR-Q7" << uint(VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK);
    QByteArray sizeField = good;
    sizeField[23] = char(sizeField[23] + 1);
    QTest::newRow("header declares another size")
        << sizeField << size << "VELDR-Q7" << uint(VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK);
    QTest::newRow("nothing") << QByteArray() << 0u << "VELDR-Q7" << uint(VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK);
    QTest::newRow("empty payload") << bytes(makeImage(0)) << uint(PRG_MIN_IMAGE_SIZE) << "VELDR-Q7"
                                   << uint(VZMSG_DATA_FWUP_STATUS_WRITE_READY);
}

void TestSimRecorder::imageCheck()
{
    QFETCH(QByteArray, image);
    QFETCH(uint, announced);
    QFETCH(QString, product);
    QFETCH(uint, verdict);

    const std::vector<uint8_t> bytes(image.begin(), image.end());
    QCOMPARE(uint(vzsim::checkImage(bytes, announced, product.toStdString())), verdict);

    // The same verdict through the recorder's data check.
    vzsim::RecorderConfig config = quickConfig();
    config.imageProduct = product.toStdString();
    Bench bench(config);
    bench.readyFor(announced);
    bench.pollStatus();
    bench.transfer(bytes);
    bench.ask(Request().u8(VZMSG_DATA_FWUP_CHECK, 0));
    QCOMPARE(uint(bench.pollStatus()), verdict);
}

void TestSimRecorder::freeSpace_data()
{
    QTest::addColumn<std::vector<uint32_t>>("sequence");
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<uint>("value");
    QTest::addColumn<std::vector<uint32_t>>("answers");

    QTest::newRow("fixed") << std::vector<uint32_t>{} << false << 100u
                           << std::vector<uint32_t>{100, 100, 100};
    QTest::newRow("sequence, then the value")
        << std::vector<uint32_t>{10, 20} << false << 7u << std::vector<uint32_t>{10, 20, 7, 7};
    QTest::newRow("sequence repeated")
        << std::vector<uint32_t>{10, 20} << true << 7u << std::vector<uint32_t>{10, 20, 10, 20, 10};
    const auto zeros = vzsim::FreeSpace::zeroThen(3, 512);
    QTest::newRow("zero three times")
        << zeros.sequence << zeros.repeat << uint(zeros.value) << std::vector<uint32_t>{0, 0, 0, 512, 512};
}

void TestSimRecorder::freeSpace()
{
    QFETCH(std::vector<uint32_t>, sequence);
    QFETCH(bool, repeat);
    QFETCH(uint, value);
    QFETCH(std::vector<uint32_t>, answers);

    vzsim::RecorderConfig config;
    config.freeSpace = vzsim::FreeSpace{sequence, repeat, value};
    Bench bench(config);
    bench.readyFor(100000);
    QCOMPARE(bench.pollStatus(), 2u);

    std::vector<uint32_t> got;
    for (size_t i = 0; i < answers.size(); ++i)
        got.push_back(
            uint32_t(valueOf(bench.ask(Request().cmd(VZMSG_DATA_FWUP_DATA)), VZMSG_DATA_FWUP_DATA)));
    QCOMPARE(got, answers);

    // A block's reply tells the new offset and what is left of the offer.
    const uint8_t block[5] = {1, 2, 3, 4, 5};
    const auto reply = bench.ask(Request().block(block, 5));
    QCOMPARE(valueOf(reply, VZMSG_DATA_FWUP_RECEIVED), int64_t(5));
    QCOMPARE(valueOf(reply, VZMSG_DATA_FWUP_DATA), int64_t(answers.back()) - 5);
}

void TestSimRecorder::blockBeyondOfferIsCommunicationError()
{
    Bench bench(vzsim::RecorderConfig{{}, vzsim::FreeSpace::fixed(10), {}, "VELDR-Q7", {}});
    bench.readyFor(1000);
    bench.pollStatus();
    bench.ask(Request().cmd(VZMSG_DATA_FWUP_DATA));
    const uint8_t block[11] = {};
    const auto reply = bench.ask(Request().block(block, 11));

    QCOMPARE(valueOf(reply, VZMSG_DATA_FWUP_RECEIVED), int64_t(0));
    QCOMPARE(bench.pollStatus(), uint32_t(VZMSG_DATA_FWUP_STATUS_ERR_COMMUNICATE));
    QCOMPARE(bench.recorder.protocolErrors(), uint64_t(1));
    QVERIFY(bench.recorder.receivedImage().empty());
}

void TestSimRecorder::outOfOrderRequestsChangeNothing_data()
{
    QTest::addColumn<int>("stage"); // 0 idle, 1 update mode, 2 ready for data
    QTest::addColumn<QString>("request");
    QTest::addColumn<uint>("status");

    QTest::newRow("size outside update mode") << 0 << "size" << 0u;
    QTest::newRow("block before the size") << 1 << "block" << 1u;
    QTest::newRow("question before the size") << 1 << "question" << 1u;
    QTest::newRow("check before the size") << 1 << "check" << 1u;
    QTest::newRow("write before the check") << 2 << "write" << 2u;
    QTest::newRow("serial write in update mode") << 1 << "serial" << 1u;
}

void TestSimRecorder::outOfOrderRequestsChangeNothing()
{
    QFETCH(int, stage);
    QFETCH(QString, request);
    QFETCH(uint, status);

    Bench bench(quickConfig());
    if (stage >= 1)
        bench.ask(Request().cmd(VZMSG_DATA_FWUP_MODE));
    if (stage >= 2)
        bench.ask(Request().u32(VZMSG_DATA_FWUP_SIZE, 100));
    const uint8_t block[4] = {9, 9, 9, 9};
    if (request == "size")
        bench.ask(Request().u32(VZMSG_DATA_FWUP_SIZE, 100));
    else if (request == "block")
        bench.ask(Request().block(block, 4));
    else if (request == "question")
        QCOMPARE(valueOf(bench.ask(Request().cmd(VZMSG_DATA_FWUP_DATA)), VZMSG_DATA_FWUP_DATA), int64_t(0));
    else if (request == "check")
        bench.ask(Request().u8(VZMSG_DATA_FWUP_CHECK, 0));
    else if (request == "write")
        bench.ask(Request().cmd(VZMSG_DATA_FWUP_WRITE));
    else
        bench.ask(Request().str8(VZMSG_DATA_SERIAL_WRITE, "NEW"));

    QCOMPARE(bench.recorder.protocolErrors(), uint64_t(1));
    QCOMPARE(uint(bench.pollStatus()), status);
    QVERIFY(bench.recorder.receivedImage().empty());
    QCOMPARE(bench.recorder.config().identity.serial, vzsim::Identity().serial);
}

void TestSimRecorder::deliveryFaults_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("frames");
    QTest::addColumn<bool>("decodes");
    QTest::addColumn<bool>("endsWithF7");
    QTest::addColumn<QString>("items");

    const QString full = "55=0 56=0 57=0";
    QTest::newRow("none") << -1 << 1 << true << true << full;
    QTest::newRow("no reply") << int(FaultKind::NoReply) << 0 << false << false << "";
    QTest::newRow("garbage") << int(FaultKind::Garbage) << 1 << false << true << "";
    QTest::newRow("truncated") << int(FaultKind::Truncated) << 1 << true << true << "55=0";
    QTest::newRow("no end byte") << int(FaultKind::NoEndByte) << 1 << false << false << "";
    QTest::newRow("oversized") << int(FaultKind::Oversized) << 1 << false << true << "";
    QTest::newRow("item dropped") << int(FaultKind::DropItem) << 1 << true << true << "55=0 56=0";
    QTest::newRow("late") << int(FaultKind::LateReply) << 0 << false << false << "";
    QTest::newRow("duplicate") << int(FaultKind::DuplicateReply) << 1 << true << true << full;
}

void TestSimRecorder::deliveryFaults()
{
    QFETCH(int, kind);
    QFETCH(int, frames);
    QFETCH(bool, decodes);
    QFETCH(bool, endsWithF7);
    QFETCH(QString, items);

    vzsim::RecorderConfig config;
    if (kind >= 0) {
        Fault fault(static_cast<FaultKind>(kind));
        fault.item = VZMSG_DATA_FWUP_TOTAL;
        fault.delay = std::chrono::seconds(30);
        config.faults.push_back(fault.on(VZMSG_DATA_FWUP_STATUS));
    }
    Bench bench(config);
    bench.send(Request().cmd(VZMSG_DATA_FWUP_STATUS));

    const auto got = bench.link.frames();
    QCOMPARE(int(got.size()), frames);
    if (frames == 0)
        return;
    const Bytes &frame = got.front();
    Bytes payload;
    QCOMPARE(vzsim::decodeFrame(frame.data(), frame.size(), payload), decodes);
    QCOMPARE(frame.back() == 0xF7, endsWithF7);
    QCOMPARE(describe(readReply(frame)), items);
    QCOMPARE(frame.size() > vzsim::kHostInputBuffer, kind == int(FaultKind::Oversized));
}

void TestSimRecorder::lateAndDuplicateRepliesPrecedeTheNextReply_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("replies");

    QTest::newRow("late") << int(FaultKind::LateReply) << QStringList{"50=1", "08=3"};
    QTest::newRow("duplicate") << int(FaultKind::DuplicateReply) << QStringList{"50=1", "50=1", "08=3"};
}

void TestSimRecorder::lateAndDuplicateRepliesPrecedeTheNextReply()
{
    QFETCH(int, kind);
    QFETCH(QStringList, replies);

    Fault fault(static_cast<FaultKind>(kind));
    fault.delay = std::chrono::hours(1);
    vzsim::RecorderConfig config;
    config.faults.push_back(fault.on(VZMSG_DATA_PROTOCOL));
    Bench bench(config);

    bench.send(Request().cmd(VZMSG_DATA_PROTOCOL));
    bench.send(Request().cmd(VZMSG_DATA_BATTERY));

    QStringList got;
    for (const Bytes &frame : bench.link.frames())
        got << describe(readReply(frame));
    QCOMPARE(got, replies);
}

void TestSimRecorder::lateReplyComesByItselfAfterItsDelay_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("frames"); // once the delay is over

    QTest::newRow("late") << int(FaultKind::LateReply) << 1;
    QTest::newRow("duplicate") << int(FaultKind::DuplicateReply) << 2;
}

void TestSimRecorder::lateReplyComesByItselfAfterItsDelay()
{
    QFETCH(int, kind);
    QFETCH(int, frames);

    Fault fault(static_cast<FaultKind>(kind));
    fault.delay = std::chrono::milliseconds(30);
    vzsim::RecorderConfig config;
    config.faults.push_back(fault.on(VZMSG_DATA_PROTOCOL));
    Bench bench(config);

    const auto sent = std::chrono::steady_clock::now();
    bench.send(Request().cmd(VZMSG_DATA_PROTOCOL));
    QVERIFY(bench.link.waitFrames(size_t(frames)));
    QVERIFY(std::chrono::steady_clock::now() - sent >= fault.delay);
    const auto got = bench.link.frames();
    QCOMPARE(int(got.size()), frames);
    QCOMPARE(describe(readReply(got.back())), QString("50=1"));
    QVERIFY(bench.link.senders().back() != std::this_thread::get_id());
}

void TestSimRecorder::faultMatching_data()
{
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("whileStatus");  // -1: any
    QTest::addColumn<QString>("answered"); // per poll: 1 answered, 0 not

    QTest::newRow("first") << 1 << 1 << -1 << "01111111";
    QTest::newRow("third, twice") << 3 << 2 << -1 << "11001111";
    QTest::newRow("from the second on") << 2 << 0 << -1 << "10000000";
    QTest::newRow("second poll in blank check") << 2 << 1 << 7 << "11110111";
    QTest::newRow("every poll in blank check") << 1 << 0 << 7 << "11100011";
}

void TestSimRecorder::faultMatching()
{
    QFETCH(int, occurrence);
    QFETCH(int, count);
    QFETCH(int, whileStatus);
    QFETCH(QString, answered);

    // Statuses seen by the polls: 5, 6, 6, 7, 7, 7, 8, 10 (phases by polls).
    vzsim::RecorderConfig config = quickConfig();
    config.timing.erase = vzsim::Phase{2, {}};
    config.timing.blankCheck = vzsim::Phase{3, {}};
    config.timing.write = vzsim::Phase{1, {}};
    Bench bench(config);
    const auto image = makeImage(64);
    bench.readyFor(uint32_t(image.size()));
    bench.transfer(image);
    bench.ask(Request().u8(VZMSG_DATA_FWUP_CHECK, 0));

    Fault fault =
        Fault(FaultKind::NoReply).on(VZMSG_DATA_FWUP_STATUS).at(unsigned(occurrence)).times(unsigned(count));
    if (whileStatus >= 0)
        fault.inStatus(uint32_t(whileStatus));
    bench.recorder.addFault(fault);

    QString got;
    for (int i = 0; i < answered.size(); ++i) {
        if (i == 1)
            bench.ask(Request().cmd(VZMSG_DATA_FWUP_WRITE));
        got += bench.poll().empty() ? QLatin1Char('0') : QLatin1Char('1');
    }
    QCOMPARE(got, answered);
}

void TestSimRecorder::errorStatusStaysUntilPowerCycle()
{
    vzsim::RecorderConfig config = quickConfig();
    config.timing.erase = vzsim::Phase{3, {}};
    config.faults.push_back(Fault::error(VZMSG_DATA_FWUP_STATUS, VZMSG_DATA_FWUP_STATUS_ERR_ERASE)
                                .inStatus(VZMSG_DATA_FWUP_STATUS_WRITE1_ERASE)
                                .at(2));
    Bench bench(config);
    const auto image = makeImage(300);
    bench.readyFor(uint32_t(image.size()));
    bench.transfer(image);
    bench.ask(Request().u8(VZMSG_DATA_FWUP_CHECK, 0));
    QCOMPARE(bench.pollStatus(), 5u);
    bench.ask(Request().cmd(VZMSG_DATA_FWUP_WRITE));

    QCOMPARE(bench.pollStatus(), 6u);
    const auto failed = bench.poll();
    QCOMPARE(valueOf(failed, VZMSG_DATA_FWUP_STATUS), int64_t(VZMSG_DATA_FWUP_STATUS_ERR_ERASE));
    QCOMPARE(valueOf(failed, VZMSG_DATA_FWUP_TOTAL), int64_t(image.size())); // last progress scale kept
    QCOMPARE(bench.pollStatus(), uint32_t(VZMSG_DATA_FWUP_STATUS_ERR_ERASE));
    QCOMPARE(describe(bench.ask(Request().cmd(VZMSG_DATA_FWUP_MODE))), QString("51=107"));
    QCOMPARE(bench.recorder.config().identity.version, vzsim::Identity().version);

    bench.recorder.powerCycle();
    QCOMPARE(bench.pollStatus(), 0u);
    QCOMPARE(describe(bench.ask(Request().cmd(VZMSG_DATA_FWUP_MODE))), QString("51=1"));
    QCOMPARE(bench.recorder.protocolErrors(), uint64_t(0));
}

void TestSimRecorder::wrongOffsetAndDroppedItem()
{
    Fault offset(FaultKind::WrongOffset);
    offset.offsetDelta = -3;
    Fault drop(FaultKind::DropItem);
    drop.item = VZMSG_DATA_FWUP_RECEIVED;
    vzsim::RecorderConfig config;
    config.faults = {offset.on(VZMSG_DATA_FWUP_DATA).at(2), drop.on(VZMSG_DATA_FWUP_DATA).at(3)};
    Bench bench(config);
    bench.readyFor(1000);
    bench.pollStatus();

    const uint8_t block[10] = {};
    QCOMPARE(describe(bench.ask(Request().cmd(VZMSG_DATA_FWUP_DATA))), QString("58=0 59=4096"));
    QCOMPARE(describe(bench.ask(Request().block(block, 10))), QString("58=7 59=4086"));
    QCOMPARE(describe(bench.ask(Request().cmd(VZMSG_DATA_FWUP_DATA))), QString("59=4096"));
    QCOMPARE(describe(bench.ask(Request().block(block, 10))), QString("58=20 59=4086"));
}

void TestSimRecorder::latencyRepliesFromOwnThreadInOrder()
{
    vzsim::RecorderConfig config;
    config.timing.latency = std::chrono::milliseconds(20);
    Bench bench(config);

    const auto sent = std::chrono::steady_clock::now();
    bench.send(Request().cmd(VZMSG_DATA_PROTOCOL));
    bench.send(Request().cmd(VZMSG_DATA_BATTERY));
    bench.send(Request().cmd(VZMSG_DATA_SERIAL));
    QVERIFY(bench.link.waitFrames(3));
    QVERIFY(std::chrono::steady_clock::now() - sent >= config.timing.latency);

    QStringList got;
    for (const Bytes &frame : bench.link.frames())
        got << describe(readReply(frame));
    QCOMPARE(got, (QStringList{"50=1", "08=3", "07='VQ7-000123'"}));
    for (const auto &sender : bench.link.senders())
        QVERIFY(sender != std::this_thread::get_id());
    QVERIFY(bench.recorder.waitRepliesDelivered(std::chrono::seconds(5)));
}

void TestSimRecorder::unplugFaultPullsTheCableAtOnce()
{
    vzsim::RecorderConfig config;
    config.faults.push_back(Fault(FaultKind::Unplug).on(VZMSG_DATA_BATTERY));
    Bench bench(config);

    QCOMPARE(describe(bench.ask(Request().cmd(VZMSG_DATA_PROTOCOL))), QString("50=1"));
    QCOMPARE(bench.link.unplugs(), 0u);
    bench.send(Request().cmd(VZMSG_DATA_BATTERY));
    // Before the request's hand-over returns: nothing can follow it.
    QCOMPARE(bench.link.unplugs(), 1u);
    QCOMPARE(bench.link.unplugger(), std::this_thread::get_id());
    QCOMPARE(bench.link.frames().size(), size_t(1));
}

void TestSimRecorder::noBatteryRefusesUpdateMode()
{
    vzsim::RecorderConfig config;
    config.identity.battery = 0;
    Bench bench(config);

    QCOMPARE(describe(bench.ask(Request().cmd(VZMSG_DATA_FWUP_MODE))), QString("51=103"));
    QCOMPARE(bench.pollStatus(), uint32_t(VZMSG_DATA_FWUP_STATUS_ERR_NO_BATTERY));
}

void TestSimRecorder::timelineRamps_data()
{
    QTest::addColumn<uint>("polls");
    QTest::addColumn<int>("timeMs");
    QTest::addColumn<QList<int>>("pollAtMs"); // when each poll comes
    QTest::addColumn<QStringList>("reports"); // status/progress

    QTest::newRow("by polls") << 4u << 0 << QList<int>{0, 0, 0, 0, 0}
                              << QStringList{"6/25", "6/50", "6/75", "6/100", "10/100"};
    QTest::newRow("by time") << 0u << 100 << QList<int>{0, 30, 99, 100, 150}
                             << QStringList{"6/0", "6/30", "6/99", "10/100", "10/100"};
    QTest::newRow("polls and time, the slower counts")
        << 2u << 100 << QList<int>{0, 10, 50, 120, 130}
        << QStringList{"6/0", "6/10", "6/50", "10/100", "10/100"};
}

void TestSimRecorder::timelineRamps()
{
    QFETCH(uint, polls);
    QFETCH(int, timeMs);
    QFETCH(QList<int>, pollAtMs);
    QFETCH(QStringList, reports);

    vzsim::Timeline timeline;
    const auto start = vzsim::Clock::time_point{} + std::chrono::hours(1);
    timeline.start({vzsim::Step{6, vzsim::Phase{polls, std::chrono::milliseconds(timeMs)}, 100, 100, true},
                    vzsim::Step{10, vzsim::Phase{}, 100, 100, false}},
                   start);
    QStringList got;
    for (int at : pollAtMs) {
        const auto report = timeline.poll(start + std::chrono::milliseconds(at));
        got << QStringLiteral("%1/%2").arg(report.status).arg(report.progress);
    }
    QCOMPARE(got, reports);
}

QTEST_GUILESS_MAIN(TestSimRecorder)
#include "tst_sim_recorder.moc"
