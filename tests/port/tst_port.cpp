// The recorder's MIDI port: opening it by its exact name past ports held
// elsewhere, failures that leave nothing open, frames each way, the single
// pending slot, a send that does not complete, an unplugged recorder, and
// the stand-in's events beneath it.
#include <QtTest>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "test_support.h"
#include "vzmidi_virtual.h"
#include "vzmsg_devs_midi_win.h"
#include "vzmsg_midi.h"

// The System Exclusive frame that carries payload.
static QByteArray frameOf(const QByteArray &payload)
{
    uint8_t frame[VZMSG_DEVS_BUFFER_SIZE];
    uint64_t length = 0;
    vzmsg_midi_encode(bytesOf(payload), uint64_t(payload.size()), frame, sizeof frame, &length);
    return QByteArray(reinterpret_cast<const char *>(frame), int(length));
}

// Keeps what the host sends and runs onMessage, both on the sending thread
// before the send completes; delivers messages to the host.
struct VirtualDevice {
    explicit VirtualDevice(const char *name = "Q7 CONTROL",
                           int sides = VZMIDI_VIRTUAL_OUTPUT | VZMIDI_VIRTUAL_INPUT)
        : port(vzmidi_virtual_register_ports(name, sides, keep, this))
    {
    }
    ~VirtualDevice() { vzmidi_virtual_unregister(port); }
    bool deliver(const QByteArray &message)
    {
        return vzmidi_virtual_deliver(port, bytesOf(message), message.size()) == 0;
    }
    vzmidi_virtual_state state() const
    {
        vzmidi_virtual_state state{};
        vzmidi_virtual_get_state(port, &state);
        return state;
    }
    static void keep(void *context, const uint8_t *bytes, size_t length)
    {
        auto *device = static_cast<VirtualDevice *>(context);
        device->received << QByteArray(reinterpret_cast<const char *>(bytes), int(length));
        if (device->onMessage)
            device->onMessage();
    }

    vzmidi_virtual_port *port;
    QList<QByteArray> received;
    std::function<void()> onMessage;
};

static int send(vzmsg_dev_t &dev, const QByteArray &payload)
{
    return vzmsg_devs_send(&dev, bytesOf(payload), uint16_t(payload.size()));
}

// Receives with room for a full record. payload gets as many bytes as the
// length tells, or stays null when the length was left alone.
static int receive(vzmsg_dev_t &dev, QByteArray &payload, uint16_t capacity = 256)
{
    uint8_t buffer[256];
    uint8_t length = 0xAB; // no test payload is that long
    const int result = vzmsg_devs_recv(&dev, buffer, capacity, &length);
    payload = length == 0xAB ? QByteArray() : QByteArray(reinterpret_cast<const char *>(buffer), length);
    return result;
}

static bool framePending(const vzmsg_dev_t &dev)
{
    return __atomic_load_n(&dev.in_mailbox.pending_length, __ATOMIC_ACQUIRE) != 0;
}

static int portLines(const QString &text, const QString &what)
{
    return StdoutCapture::errorLines(text, QStringLiteral("vzmsg/vzmsg_devs_midi_win.c"), what);
}

static const QByteArray request = QByteArray::fromHex("5501");
static const QByteArray reply = QByteArray::fromHex("500401000000");

// Whether text holds the line the port layer dumps frame as.
static bool dumps(const QString &text, const QByteArray &frame)
{
    return text.contains(QString::fromLatin1("\n " + frame.toHex(' ') + '\n'));
}

// The data of the short messages the stand-in's input passes on, in order.
struct ShortData {
    static void CALLBACK keep(HMIDIIN, UINT code, DWORD_PTR instance, DWORD_PTR data, DWORD_PTR)
    {
        auto &kept = *reinterpret_cast<ShortData *>(instance);
        if (code == MIM_DATA && kept.count < 4) {
            kept.data[kept.count] = data;
            ++kept.count; // published after the data
        }
    }
    DWORD_PTR data[4] = {};
    std::atomic<int> count{0};
};

class TestPort : public QObject
{
    Q_OBJECT
    std::unique_ptr<VirtualDevice> m_device; // the recorder, its port open in m_dev
    vzmsg_dev_t m_dev;

    int dropped() const { return __atomic_load_n(&m_dev.in_mailbox.dropped, __ATOMIC_ACQUIRE); }
    // What the device delivers reaches the port whole.
    void verifyArrives(VirtualDevice &device, const QByteArray &payload = reply)
    {
        QVERIFY(device.deliver(frameOf(payload)));
        QTRY_VERIFY(framePending(m_dev));
        QByteArray received;
        QCOMPARE(receive(m_dev, received), 0);
        QCOMPARE(received, payload);
    }

private slots:
    void init()
    {
        m_device.reset(new VirtualDevice);
        QCOMPARE(vzmsg_devs_open(&m_dev), 0);
    }
    void cleanup()
    {
        vzmsg_devs_close(&m_dev);
        m_device.reset();
    }

    void opensFirstFreePortOfExactName_data()
    {
        // The ports in the order of the lists, as "name/sides": o for an
        // output, i for an input, * when another program holds the pair.
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<int>("output"); // the port whose output gets opened, -1 none
        QTest::addColumn<int>("input");
        QTest::addColumn<int>("held"); // "allocated" result lines
        QTest::addColumn<int>("result");
        QTest::newRow("no outputs") << QStringList{"Q7 CONTROL/i"} << -1 << -1 << 0 << 2;
        QTest::newRow("no inputs") << QStringList{"Q7 CONTROL/o"} << 0 << -1 << 0 << 2;
        QTest::newRow("input held") << QStringList{"Q7 CONTROL/o", "Q7 CONTROL/i*"} << 0 << -1 << 1 << 2;
        QTest::newRow("exact name") << QStringList{"Q7 CONTROL/oi"} << 0 << 0 << 0 << 0;
        QTest::newRow("longer name") << QStringList{"Q7 CONTROL 2/oi"} << -1 << -1 << 0 << 2;
        QTest::newRow("sequencer name, not Wine")
            << QStringList{"Veldracorder Q7 - Q7 CONTROL/oi"} << -1 << -1 << 0 << 2;
        QTest::newRow("other case") << QStringList{"Q7 Control/oi"} << -1 << -1 << 0 << 2;
        QTest::newRow("two-byte character in place of O")
            << QStringList{"Q7 CONTR\u008FL/oi"} << -1 << -1 << 0 << 2;
        QTest::newRow("first output held")
            << QStringList{"Q7 CONTROL/o*", "Q7 CONTROL/i", "Q7 CONTROL/oi"} << 2 << 1 << 1 << 0;
        QTest::newRow("first input held")
            << QStringList{"Q7 CONTROL/o", "Q7 CONTROL/i*", "Q7 CONTROL/oi"} << 0 << 2 << 1 << 0;
        QTest::newRow("all held") << QStringList{"Q7 CONTROL/oi*", "Q7 CONTROL/oi*"} << -1 << -1 << 2 << 2;
    }
    void opensFirstFreePortOfExactName()
    {
        QFETCH(QStringList, ports);
        QFETCH(int, output);
        QFETCH(int, input);
        QFETCH(int, held);
        QFETCH(int, result);
        cleanup(); // these ports instead
        std::vector<std::unique_ptr<VirtualDevice>> devices;
        for (const QString &port : ports) {
            const QString sides = port.section('/', 1);
            devices.emplace_back(new VirtualDevice(port.section('/', 0, 0).toUtf8().constData(),
                                                   (sides.contains('o') ? VZMIDI_VIRTUAL_OUTPUT : 0) |
                                                       (sides.contains('i') ? VZMIDI_VIRTUAL_INPUT : 0)));
            vzmidi_virtual_set_busy(devices.back()->port, sides.contains('*'));
        }
        int opened = -1;
        const QString out = printedBy([&] { opened = vzmsg_devs_open(&m_dev); });
        QCOMPARE(opened, result);
        // Only the sides chosen were opened, once, and stay open only on success.
        for (int i = 0; i < int(devices.size()); ++i) {
            const vzmidi_virtual_state state = devices[i]->state();
            QCOMPARE(state.output_opens, unsigned(i == output));
            QCOMPARE(state.input_opens, unsigned(i == input));
            QCOMPARE(state.output_open, int(i == output && result == 0));
            QCOMPARE(state.input_open, int(i == input && result == 0));
        }
        QCOMPARE(portLines(out, "MMRESULT 0x4: MMSYSERR_ALLOCATED"), held);
        if (result != 0) {
            QVERIFY(portLines(out, "ERROR") >= 1);
            QVERIFY(!m_dev.out_handle && !m_dev.in_handle && !m_dev.in_header.lpData);
            QVERIFY(!m_dev.out_ring.event && !m_dev.in_mailbox.event && !m_dev.in_mailbox.lock_ready);
            return;
        }
        QCOMPARE(out.count('\n'), held);
        // The messages go through the ports chosen.
        QCOMPARE(send(m_dev, request), 0);
        QCOMPARE(devices[output]->received, QList<QByteArray>{frameOf(request)});
        verifyArrives(*devices[input]);
    }

    void framesCrossWhole()
    {
        QByteArray payload(255, 0);
        for (int i = 0; i < payload.size(); ++i)
            payload[i] = char(255 - i);
        const QByteArray frame = frameOf(payload);
        // Twice: the second send reuses the header that the first gave back.
        QCOMPARE(send(m_dev, payload), 0);
        QCOMPARE(send(m_dev, payload), 0);
        QCOMPARE(m_device->received, (QList<QByteArray>{frame, frame}));
        verifyArrives(*m_device, payload);
        // One byte short of room: refused, and the frame dumped.
        QVERIFY(m_device->deliver(frame));
        QTRY_VERIFY(framePending(m_dev));
        int result = -1;
        QByteArray received;
        const QString out =
            printedBy([&] { result = receive(m_dev, received, uint16_t(payload.size() - 1)); });
        QCOMPARE(result, 1);
        QVERIFY(received.isNull());
        QCOMPARE(portLines(out, "ERROR"), 1);
        QVERIFY2(dumps(out, frame), qPrintable(out));
    }

    // A reply that came while the send was out is kept for the receive; one
    // that was already waiting is stale and goes, as does a second reply
    // before the first is taken; a receive with the slot empty gives up after
    // its wait.
    void replySlot()
    {
        auto deliverReply = [this] {
            m_device->deliver(frameOf(reply));
            (void)QTest::qWaitFor([this] { return framePending(m_dev); }); // checked after the send
        };
        QVERIFY(m_device->deliver(frameOf(QByteArray::fromHex("0304bb000000"))));
        QTRY_VERIFY(framePending(m_dev));
        QByteArray payload;
        m_device->onMessage = deliverReply;
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(send(m_dev, request), 0);
            QVERIFY(framePending(m_dev));
            QCOMPARE(receive(m_dev, payload), 0);
            QCOMPARE(payload, reply);
        }
        QCOMPARE(dropped(), 1);
        m_device->onMessage = nullptr;
        QVERIFY(m_device->deliver(frameOf(reply)));
        QVERIFY(m_device->deliver(frameOf(QByteArray::fromHex("0204aa000000"))));
        QTRY_COMPARE(dropped(), 2);
        QCOMPARE(receive(m_dev, payload), 0);
        QCOMPARE(payload, reply);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(receive(m_dev, payload), 0);
        const qint64 waited = timer.elapsed();
        QVERIFY(payload.isNull());
        QVERIFY2(waited >= 99 && waited < 5000, qPrintable(QString::number(waited)));
    }

    // A message longer than the input buffer comes in pieces: the first is
    // kept without its end byte and refused, the rest (here the end byte
    // alone) is dropped. Neither that nor messages that are not frames stop input.
    void oversizedSysexIsRefused()
    {
        const QByteArray frame = QByteArray::fromHex("f04e502300") + QByteArray(2043, 0x55) + '\xf7';
        int result = -1;
        QByteArray payload;
        const QString out = printedBy([&] {
            if (m_device->deliver(frame) && QTest::qWaitFor([&] { return dropped() == 1; }))
                result = receive(m_dev, payload);
        });
        QCOMPARE(result, 1);
        QVERIFY(payload.isNull());
        QCOMPARE(out.split('\n').count(QStringLiteral("  last byte != 0xf7")), 1);
        QVERIFY2(dumps(out, frame.left(VZMSG_DEVS_BUFFER_SIZE)), qPrintable(out));
        QVERIFY(!framePending(m_dev));
        QVERIFY(m_device->deliver(QByteArray::fromHex("90407f")));
        QVERIFY(m_device->deliver(QByteArray::fromHex("f04e50230055"))); // no end byte
        verifyArrives(*m_device);
        QCOMPARE(dropped(), 1);
    }

    // While a message is out the platform owns header and buffer: sends fail
    // without touching them, and work again once it is back. Nor may it keep
    // the port from closing; closed (twice), the port opens from scratch.
    void messageThatDoesNotComeBack()
    {
        const QByteArray first = QByteArray::fromHex("0101");
        vzmidi_virtual_hold(m_device->port, 1);
        QList<int> results;
        QString out = printedBy([&] { results << send(m_dev, first) << send(m_dev, request); });
        QCOMPARE(portLines(out, "ERROR"), 2);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(m_dev.out_buffer), int(m_dev.out_length)),
                 frameOf(first));
        vzmidi_virtual_hold(m_device->port, 0);
        results << send(m_dev, request);
        QCOMPARE(m_device->received, (QList<QByteArray>{frameOf(first), frameOf(request)}));

        vzmidi_virtual_hold(m_device->port, 1);
        out = printedBy([&] {
            results << send(m_dev, request) << vzmsg_devs_close(&m_dev) << vzmsg_devs_close(&m_dev)
                    << vzmsg_devs_close(nullptr);
        });
        QCOMPARE(results, (QList<int>{2, 2, 0, 2, 0, 0, 0}));
        QCOMPARE(out.count('\n'), portLines(out, "ERROR"));
        QCOMPARE(m_device->state().output_open + m_device->state().input_open, 0);
        vzmidi_virtual_hold(m_device->port, 0);
        QCOMPARE(vzmsg_devs_open(&m_dev), 0);
        verifyArrives(*m_device);
    }

    void unplugWhileOpen()
    {
        m_device.reset();
        QList<int> results;
        QByteArray payload;
        const QString out = printedBy(
            [&] { results << send(m_dev, request) << receive(m_dev, payload) << vzmsg_devs_close(&m_dev); });
        QCOMPARE(results, (QList<int>{2, 0, 0}));
        QVERIFY(payload.isNull());
        // Only the send complains; the port closes cleanly.
        QCOMPARE(portLines(out, "MMRESULT 0x44: MIDIERR_NODEVICE"), 1);
        QCOMPARE(out.count(QStringLiteral("MMRESULT")), 1);
        // Gone from the lists too.
        QCOMPARE(vzmsg_devs_open(&m_dev), 2);
    }

    // Close must not race the callback that hands the input buffer back:
    // a buffer queued again after the reset kept the port open for good.
    void closeWhileFramesFlood()
    {
        std::atomic<bool> flooding{true};
        std::thread flood([&] {
            // Paced, so that the platform's thread keeps up and close's
            // waits for it end.
            while (flooding.load()) {
                m_device->deliver(frameOf(reply));
                std::this_thread::sleep_for(std::chrono::microseconds(20));
            }
        });
        QString out;
        int failedOpens = 0;
        for (int round = 0; round < 8000 && failedOpens == 0; ++round) {
            out += printedBy([&] { vzmsg_devs_close(&m_dev); });
            failedOpens += vzmsg_devs_open(&m_dev) != 0;
        }
        flooding = false;
        flood.join();
        QCOMPARE(failedOpens, 0);
        QCOMPARE(out.count(QStringLiteral("MMRESULT")), 0);
    }

    // Input runs only between start and stop; a three-byte message comes
    // whole, as data.
    void standInInputWhileStarted()
    {
        cleanup(); // the port opened here instead
        VirtualDevice device;
        ShortData kept;
        HMIDIIN in = nullptr;
        // Listed anew, as on Windows, the device is the only port.
        QCOMPARE(midiInOpen(&in, midiInGetNumDevs() - 1, DWORD_PTR(&ShortData::keep), DWORD_PTR(&kept),
                            CALLBACK_FUNCTION),
                 MMRESULT(MMSYSERR_NOERROR));
        const auto closeIn = qScopeGuard([in] { midiInClose(in); });
        device.deliver(QByteArray::fromHex("804000")); // lost: not started yet
        midiInStart(in);
        device.deliver(QByteArray::fromHex("90407f"));
        QTRY_COMPARE(kept.count.load(), 1); // passed on: a stop drops what is not
        midiInStop(in);
        device.deliver(QByteArray::fromHex("804100")); // lost: stopped
        midiInStart(in);
        device.deliver(QByteArray::fromHex("c005"));
        QTRY_COMPARE(kept.count.load(), 2);
        QCOMPARE(QList<DWORD_PTR>(kept.data, kept.data + 2), (QList<DWORD_PTR>{0x7f4090, 0x05c0}));
    }

    // A message that a reset gave back may still go out later: that must
    // not complete the message sent after it, which is still on its way.
    void standInSendAfterReset()
    {
        cleanup(); // the port opened here instead
        VirtualDevice device;
        HMIDIOUT out = nullptr;
        QCOMPARE(midiOutOpen(&out, midiOutGetNumDevs() - 1, 0, 0, CALLBACK_NULL), MMRESULT(MMSYSERR_NOERROR));
        char bytes[] = "\xf0\x7d\xf7";
        MIDIHDR first{bytes, 3, 0, 0}, second{bytes, 3, 0, 0};
        QList<bool> secondDone; // as each message reaches the device
        device.onMessage = [&] { secondDone << bool(second.dwFlags & MHDR_DONE); };
        vzmidi_virtual_hold(device.port, 1);
        for (MIDIHDR *header : {&first, &second}) {
            midiOutReset(out); // gives the message before back
            midiOutPrepareHeader(out, header, sizeof *header);
            midiOutLongMsg(out, header, sizeof *header);
        }
        vzmidi_virtual_hold(device.port, 0);
        QCOMPARE(secondDone, (QList<bool>{false, false}));
        midiOutClose(out);
    }

    // The stand-in's kernel events, which the mailbox and the send ring wait
    // on across threads.
    void standInEvents_data()
    {
        QTest::addColumn<bool>("manualReset");
        QTest::newRow("auto reset") << false;
        QTest::newRow("manual reset") << true;
    }
    void standInEvents()
    {
        QFETCH(bool, manualReset);
        HANDLE event = CreateEventW(nullptr, manualReset, TRUE, nullptr);
        QCOMPARE(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
        QCOMPARE(WaitForSingleObject(event, 0), manualReset ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
        QVERIFY(ResetEvent(event));
        QCOMPARE(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
        // Set from another thread while this one waits.
        std::thread setter([event] { SetEvent(event); });
        QCOMPARE(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
        setter.join();
        QVERIFY(CloseHandle(event));
        // A stale handle is refused, and never given to a new event.
        QCOMPARE(WaitForSingleObject(event, 0), WAIT_FAILED);
        HANDLE next = CreateEventW(nullptr, manualReset, FALSE, nullptr);
        QVERIFY(next != event && CloseHandle(next));
    }
};

QTEST_GUILESS_MAIN(TestPort)
#include "tst_port.moc"
