// Sending and receiving over an open port: framing on the wire, the single
// pending slot, waits that end on time, messages the protocol does not
// use, a send whose completion does not come, and an unplugged recorder.
#include <QtTest>

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "stdout_capture.h"
#include "virtual_device.h"
#include "vzmsg_devs_midi_win.h"

Q_DECLARE_METATYPE(Bytes)

static const QString source = QStringLiteral("vzmsg/vzmsg_devs_midi_win.c");
static const Bytes statusRequest = fromHex("5501");
static const Bytes versionReply = fromHex("500401000000");

class TestPortTransfer : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void sendPutsOneFrameOnTheWire_data();
    void sendPutsOneFrameOnTheWire();
    void sendRefusesMissingPayload_data();
    void sendRefusesMissingPayload();
    void receiveTakesTheReply_data();
    void receiveTakesTheReply();
    void receiveRefusesArguments_data();
    void receiveRefusesArguments();
    void receiveWithNothingArriving();
    void replyAroundSendIsKept_data();
    void replyAroundSendIsKept();
    void secondReplyIsDropped();
    void brokenFrameIsDumped_data();
    void brokenFrameIsDumped();
    void oversizedSysexIsRefused();
    void otherMessagesDoNotStopInput_data();
    void otherMessagesDoNotStopInput();
    void sendWhoseCompletionDoesNotCome();
    void closeWhileSendIsOut();
    void unplugWhileOpen();

private:
    int pendingLength() const;
    int dropped() const;

    std::unique_ptr<VirtualDevice> m_device;
    vzmsg_dev_t m_dev;
};

int TestPortTransfer::pendingLength() const
{
    return int(__atomic_load_n(&m_dev.in_mailbox.pending_length, __ATOMIC_ACQUIRE));
}

int TestPortTransfer::dropped() const
{
    return __atomic_load_n(&m_dev.in_mailbox.dropped, __ATOMIC_ACQUIRE);
}

void TestPortTransfer::init()
{
    m_device.reset(new VirtualDevice);
    std::memset(&m_dev, 0, sizeof m_dev);
    QCOMPARE(vzmsg_devs_open(&m_dev), 0);
}

void TestPortTransfer::cleanup()
{
    vzmidi_virtual_hold(m_device->port(), 0);
    vzmsg_devs_close(&m_dev);
    m_device.reset();
}

void TestPortTransfer::sendPutsOneFrameOnTheWire_data()
{
    QTest::addColumn<Bytes>("payload");
    QTest::addColumn<Bytes>("frame");
    QTest::newRow("status request") << statusRequest << fromHex("f04e502300 550200 f7");
    QTest::newRow("six bytes") << fromHex("520445230100") << fromHex("f04e5023005208141a120000f7");
    QTest::newRow("seven bytes ff") << fromHex("ffffffffffffff") << fromHex("f04e5023007f7f7f7f7f7f7f7ff7");
    Bytes full(256);
    for (size_t i = 0; i < full.size(); ++i)
        full[i] = uint8_t(i * 7 + 3);
    QTest::newRow("full record") << full << frameOf(full);
}

void TestPortTransfer::sendPutsOneFrameOnTheWire()
{
    QFETCH(Bytes, payload);
    QFETCH(Bytes, frame);
    QVERIFY(!frame.empty());
    // Twice: the second send reuses the header that the first gave back.
    for (int round = 1; round <= 2; ++round) {
        QCOMPARE(vzmsg_devs_send(&m_dev, payload.data(), uint16_t(payload.size())), 0);
        const std::vector<Bytes> received = m_device->received();
        QCOMPARE(received.size(), size_t(round));
        QCOMPARE(toByteArray(received.back()), toByteArray(frame));
    }
}

void TestPortTransfer::sendRefusesMissingPayload_data()
{
    QTest::addColumn<bool>("withContext");
    QTest::addColumn<bool>("withBytes");
    QTest::addColumn<int>("length");
    QTest::newRow("length 0") << true << true << 0;
    QTest::newRow("no bytes") << true << false << 2;
    QTest::newRow("no context") << false << true << 2;
}

void TestPortTransfer::sendRefusesMissingPayload()
{
    QFETCH(bool, withContext);
    QFETCH(bool, withBytes);
    QFETCH(int, length);
    StdoutCapture capture;
    const int result = vzmsg_devs_send(withContext ? &m_dev : nullptr,
                                       withBytes ? statusRequest.data() : nullptr, uint16_t(length));
    const QString out = capture.finish();
    QCOMPARE(result, 1);
    QVERIFY2(out.isEmpty(), qPrintable(out));
    QVERIFY(m_device->received().empty());
    // The port was not touched: no header prepared, nothing framed.
    QCOMPARE(m_dev.out_prepared, 0);
    QCOMPARE(m_dev.out_length, uint64_t(0));
    // And it still works.
    QCOMPARE(vzmsg_devs_send(&m_dev, statusRequest.data(), uint16_t(statusRequest.size())), 0);
    QCOMPARE(m_device->received().size(), size_t(1));
}

void TestPortTransfer::receiveTakesTheReply_data()
{
    QTest::addColumn<Bytes>("payload");
    QTest::newRow("version reply") << versionReply;
    QTest::newRow("one byte") << fromHex("07");
    Bytes longest(255);
    for (size_t i = 0; i < longest.size(); ++i)
        longest[i] = uint8_t(255 - i);
    QTest::newRow("255 bytes") << longest;
}

void TestPortTransfer::receiveTakesTheReply()
{
    QFETCH(Bytes, payload);
    QVERIFY(m_device->deliver(frameOf(payload)));
    QTRY_VERIFY(pendingLength() != 0);
    uint8_t buffer[256];
    uint8_t length = 0;
    QCOMPARE(vzmsg_devs_recv(&m_dev, buffer, sizeof buffer, &length), 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), length), toByteArray(payload));
    QCOMPARE(pendingLength(), 0);
}

void TestPortTransfer::receiveRefusesArguments_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("expected");
    QTest::newRow("no context") << "context" << 1;
    QTest::newRow("no buffer") << "buffer" << 1;
    QTest::newRow("capacity 0") << "capacity" << 1;
    QTest::newRow("never opened") << "closed" << 2;
}

void TestPortTransfer::receiveRefusesArguments()
{
    QFETCH(QString, what);
    QFETCH(int, expected);
    vzmsg_dev_t closed;
    std::memset(&closed, 0, sizeof closed);
    vzmsg_dev_t *dev = what == "context" ? nullptr : what == "closed" ? &closed : &m_dev;
    uint8_t buffer[16];
    uint8_t length = 0xAB;
    StdoutCapture capture;
    const int result = vzmsg_devs_recv(dev, what == "buffer" ? nullptr : buffer,
                                       what == "capacity" ? 0 : uint16_t(sizeof buffer), &length);
    const QString out = capture.finish();
    QCOMPARE(result, expected);
    QCOMPARE(length, uint8_t(0xAB));
    QCOMPARE(StdoutCapture::errorLines(out, source), expected == 2 ? 1 : 0);
}

void TestPortTransfer::receiveWithNothingArriving()
{
    uint8_t buffer[256];
    uint8_t length = 0xAB;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(vzmsg_devs_recv(&m_dev, buffer, sizeof buffer, &length), 0);
    const qint64 waited = timer.elapsed();
    QCOMPARE(length, uint8_t(0xAB));
    // It waited for a reply, and gave up rather than waiting on.
    QVERIFY2(waited >= 99, qPrintable(QString::number(waited)));
    QVERIFY2(waited < 5000, qPrintable(QString::number(waited)));
}

void TestPortTransfer::replyAroundSendIsKept_data()
{
    QTest::addColumn<bool>("duringSend");
    QTest::newRow("late reply to an earlier request") << false;
    QTest::newRow("reply before the send came back") << true;
}

// A reply in the slot stays there across a send, and the next receive
// takes it.
void TestPortTransfer::replyAroundSendIsKept()
{
    QFETCH(bool, duringSend);
    if (duringSend) {
        m_device->setHandler([this](const Bytes &) {
            m_device->deliver(frameOf(versionReply));
            // The send completes only once the reply sits in the slot.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (pendingLength() == 0 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    } else {
        QVERIFY(m_device->deliver(frameOf(versionReply)));
        QTRY_VERIFY(pendingLength() != 0);
    }
    QCOMPARE(vzmsg_devs_send(&m_dev, statusRequest.data(), uint16_t(statusRequest.size())), 0);
    QVERIFY(pendingLength() != 0);
    uint8_t buffer[256];
    uint8_t length = 0;
    QCOMPARE(vzmsg_devs_recv(&m_dev, buffer, sizeof buffer, &length), 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), length), toByteArray(versionReply));
}

void TestPortTransfer::secondReplyIsDropped()
{
    const Bytes first = fromHex("0104ff000000");
    const Bytes second = fromHex("0204aa000000");
    QVERIFY(m_device->deliver(frameOf(first)));
    QVERIFY(m_device->deliver(frameOf(second)));
    QTRY_COMPARE(dropped(), 1);
    uint8_t buffer[256];
    uint8_t length = 0;
    QCOMPARE(vzmsg_devs_recv(&m_dev, buffer, sizeof buffer, &length), 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), length), toByteArray(first));
    // The second is gone for good.
    length = 0xAB;
    QCOMPARE(vzmsg_devs_recv(&m_dev, buffer, sizeof buffer, &length), 0);
    QCOMPARE(length, uint8_t(0xAB));
}

void TestPortTransfer::brokenFrameIsDumped_data()
{
    QTest::addColumn<Bytes>("frame");
    QTest::newRow("other manufacturer") << fromHex("f04f502300550200f7");
    QTest::newRow("byte 4 not 00") << fromHex("f04e502301550200f7");
    QTest::newRow("no data bytes") << fromHex("f04e502300f7");
    QTest::newRow("single data byte") << fromHex("f04e50230055f7");
    QTest::newRow("payload beyond capacity") << frameOf(Bytes(17, 0x11));
}

void TestPortTransfer::brokenFrameIsDumped()
{
    QFETCH(Bytes, frame);
    QVERIFY(m_device->deliver(frame));
    QTRY_VERIFY(pendingLength() != 0);
    uint8_t buffer[16];
    uint8_t length = 0xAB;
    StdoutCapture capture;
    const int result = vzmsg_devs_recv(&m_dev, buffer, sizeof buffer, &length);
    const QString out = capture.finish();
    // The empty payload of "no data bytes" decodes: nothing to refuse.
    const bool decodes = frame.size() == 6;
    QCOMPARE(result, decodes ? 0 : 1);
    if (decodes) {
        QCOMPARE(length, uint8_t(0));
        return;
    }
    QCOMPARE(length, uint8_t(0xAB));
    QVERIFY(StdoutCapture::errorLines(out, source) >= 1);
    QString dump;
    for (uint8_t byte : frame)
        dump += QString::asprintf(" %02x", byte);
    QVERIFY2(out.split('\n').contains(dump), qPrintable(out));
}

// A message longer than the input buffer comes in two pieces: the first is
// kept without its end byte and refused, the rest is dropped.
void TestPortTransfer::oversizedSysexIsRefused()
{
    Bytes frame(3000, 0x55);
    const Bytes header = fromHex("f04e502300");
    std::copy(header.begin(), header.end(), frame.begin());
    frame.back() = 0xF7;
    StdoutCapture capture;
    QVERIFY(m_device->deliver(frame));
    QTRY_COMPARE(dropped(), 1);
    uint8_t buffer[256];
    uint8_t length = 0xAB;
    const int result = vzmsg_devs_recv(&m_dev, buffer, sizeof buffer, &length);
    const QString out = capture.finish();
    QCOMPARE(result, 1);
    QCOMPARE(length, uint8_t(0xAB));
    const QStringList lines = out.split('\n');
    QCOMPARE(lines.count(QStringLiteral("  last byte != 0xf7")), 1);
    QString firstPiece;
    for (size_t i = 0; i < VZMSG_DEVS_BUFFER_SIZE; ++i)
        firstPiece += QString::asprintf(" %02x", frame[i]);
    QVERIFY(lines.contains(firstPiece));
    QCOMPARE(__atomic_load_n(&m_dev.in_mailbox.oversized, __ATOMIC_ACQUIRE), 0);
    // Nothing of it is left, and input goes on.
    QCOMPARE(pendingLength(), 0);
    QVERIFY(m_device->deliver(frameOf(versionReply)));
    length = 0;
    QTRY_VERIFY(pendingLength() != 0);
    QCOMPARE(vzmsg_devs_recv(&m_dev, buffer, sizeof buffer, &length), 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), length), toByteArray(versionReply));
}

void TestPortTransfer::otherMessagesDoNotStopInput_data()
{
    QTest::addColumn<Bytes>("noise");
    QTest::newRow("note on") << fromHex("90407f");
    QTest::newRow("active sensing") << fromHex("fe");
    QTest::newRow("sysex without end byte") << fromHex("f04e50230055");
    QTest::newRow("long non-sysex") << fromHex("9040 7f 40 00 12");
}

// Messages that are not frames neither fill the slot nor stop input.
void TestPortTransfer::otherMessagesDoNotStopInput()
{
    QFETCH(Bytes, noise);
    for (int round = 0; round < 2; ++round) {
        QVERIFY(m_device->deliver(noise));
        QVERIFY(m_device->deliver(frameOf(versionReply)));
        QTRY_VERIFY(pendingLength() != 0);
        uint8_t buffer[256];
        uint8_t length = 0;
        QCOMPARE(vzmsg_devs_recv(&m_dev, buffer, sizeof buffer, &length), 0);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), length), toByteArray(versionReply));
    }
    QCOMPARE(dropped(), 0);
}

// While a message has not come back, the platform still owns the header
// and buffer: later sends must fail without touching them, and work again
// once it is back.
void TestPortTransfer::sendWhoseCompletionDoesNotCome()
{
    const Bytes first = fromHex("0101");
    const Bytes second = fromHex("0801");
    const Bytes third = fromHex("0701");
    vzmidi_virtual_hold(m_device->port(), 1);
    StdoutCapture capture;
    QCOMPARE(vzmsg_devs_send(&m_dev, first.data(), uint16_t(first.size())), 2);
    QCOMPARE(vzmsg_devs_send(&m_dev, second.data(), uint16_t(second.size())), 2);
    const QString out = capture.finish();
    QCOMPARE(StdoutCapture::errorLines(out, source), 2);
    QCOMPARE(toByteArray(Bytes(m_dev.out_buffer, m_dev.out_buffer + m_dev.out_length)),
             toByteArray(frameOf(first)));

    vzmidi_virtual_hold(m_device->port(), 0);
    QTRY_COMPARE(m_device->received().size(), size_t(1));
    QCOMPARE(vzmsg_devs_send(&m_dev, third.data(), uint16_t(third.size())), 0);
    const std::vector<Bytes> received = m_device->received();
    QCOMPARE(received.size(), size_t(2));
    QCOMPARE(toByteArray(received[0]), toByteArray(frameOf(first)));
    QCOMPARE(toByteArray(received[1]), toByteArray(frameOf(third)));
}

// A message that never came back must not keep the port from closing.
void TestPortTransfer::closeWhileSendIsOut()
{
    vzmidi_virtual_hold(m_device->port(), 1);
    StdoutCapture capture;
    QCOMPARE(vzmsg_devs_send(&m_dev, statusRequest.data(), uint16_t(statusRequest.size())), 2);
    QCOMPARE(vzmsg_devs_close(&m_dev), 0);
    const QString out = capture.finish();
    QCOMPARE(out.count(QStringLiteral("MMRESULT")), 0);
    QCOMPARE(m_device->state().output_open, 0);
    QCOMPARE(m_device->state().input_open, 0);

    vzmidi_virtual_hold(m_device->port(), 0);
    QCOMPARE(vzmsg_devs_open(&m_dev), 0);
    QCOMPARE(vzmsg_devs_send(&m_dev, statusRequest.data(), uint16_t(statusRequest.size())), 0);
    QCOMPARE(m_device->received().size(), size_t(1));
}

void TestPortTransfer::unplugWhileOpen()
{
    m_device->unplug();
    StdoutCapture capture;
    const int sent = vzmsg_devs_send(&m_dev, statusRequest.data(), uint16_t(statusRequest.size()));
    uint8_t buffer[256];
    uint8_t length = 0xAB;
    const int received = vzmsg_devs_recv(&m_dev, buffer, sizeof buffer, &length);
    const int closed = vzmsg_devs_close(&m_dev);
    const QString out = capture.finish();
    QCOMPARE(sent, 2);
    QVERIFY2(out.contains(QStringLiteral("MMRESULT 0x44: MIDIERR_NODEVICE")), qPrintable(out));
    QCOMPARE(received, 0);
    QCOMPARE(length, uint8_t(0xAB));
    QCOMPARE(closed, 0);
    // Gone from the lists too.
    QCOMPARE(vzmsg_devs_open(&m_dev), 2);
    m_device.reset(new VirtualDevice);
}

QTEST_GUILESS_MAIN(TestPortTransfer)
#include "tst_port_transfer.moc"
