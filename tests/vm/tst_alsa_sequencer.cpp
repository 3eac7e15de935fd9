// The ALSA back-end against a kernel sequencer (run in the guest machine,
// the ThreadSanitizer build among others): a device port played here by a
// client of our own, its pieces as a USB-MIDI driver cuts them, the input
// thread, a close while messages arrive, and the device vanishing.
#include <QtTest>

#include <alsa/asoundlib.h>
#include <atomic>
#include <mutex>
#include <thread>

#include "vzmidi_backend.h"

extern "C" const vzmidi_backend vzmidi_alsa_backend;

using Bytes = std::vector<uint8_t>;

namespace
{

// A recorder's port: a client with one duplex port "Q7 CONTROL".
struct Device {
    snd_seq_t *seq = nullptr;
    int port = -1;
    Device()
    {
        if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0)
            return;
        snd_seq_set_client_name(seq, "Veldracorder Q7");
        port = snd_seq_create_simple_port(seq, "Q7 CONTROL",
                                          SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_WRITE |
                                              SND_SEQ_PORT_CAP_SUBS_READ | SND_SEQ_PORT_CAP_SUBS_WRITE |
                                              SND_SEQ_PORT_CAP_DUPLEX,
                                          SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_HARDWARE);
    }
    ~Device()
    {
        if (seq)
            snd_seq_close(seq);
    }
    // To every connected reader, in pieces of at most 256 bytes.
    bool send(const Bytes &message)
    {
        for (size_t at = 0; at < message.size(); at += 256) {
            snd_seq_event_t event;
            snd_seq_ev_clear(&event);
            snd_seq_ev_set_source(&event, port);
            snd_seq_ev_set_subs(&event);
            snd_seq_ev_set_direct(&event);
            snd_seq_ev_set_sysex(&event, unsigned(std::min<size_t>(256, message.size() - at)),
                                 const_cast<uint8_t *>(message.data() + at));
            int result;
            while ((result = snd_seq_event_output_direct(seq, &event)) == -EAGAIN)
                std::this_thread::yield();
            if (result < 0)
                return false;
        }
        return true;
    }
};

Bytes sysex(size_t length, uint8_t seed)
{
    Bytes message(length);
    for (size_t i = 0; i < length; ++i)
        message[i] = uint8_t((i * 7 + seed) & 0x7F);
    message.front() = 0xF0;
    message.back() = 0xF7;
    return message;
}

// What an open input delivered, filled on the back-end's thread.
struct Received {
    std::mutex mutex;
    std::vector<Bytes> messages;
    std::atomic<int> gone{0};
    std::atomic<bool> closed{false};
    std::atomic<int> afterClose{0};
    size_t count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return messages.size();
    }
    static void sink(void *context, const uint8_t *bytes, size_t length)
    {
        auto *self = static_cast<Received *>(context);
        if (self->closed)
            ++self->afterClose;
        std::lock_guard<std::mutex> lock(self->mutex);
        self->messages.emplace_back(bytes, bytes + length);
    }
    static void wentAway(void *context) { ++static_cast<Received *>(context)->gone; }
};

uintptr_t findPort(int isInput)
{
    vzmidi_endpoint ports[16];
    const size_t count = std::min<size_t>(16, vzmidi_alsa_backend.list(isInput, ports, 16));
    for (size_t i = 0; i < count; ++i)
        if (qstrcmp(ports[i].name, "Q7 CONTROL") == 0)
            return ports[i].id;
    return 0;
}

} // namespace

class TestAlsaSequencer : public QObject
{
    Q_OBJECT

    Device *m_device = nullptr;
    Received m_received;
    void *m_input = nullptr;
    void *m_output = nullptr;

private slots:
    void init()
    {
        m_device = new Device;
        QVERIFY2(m_device->port >= 0, "no sequencer here: this test runs in the guest machine");
        const uintptr_t in = findPort(1), out = findPort(0);
        QVERIFY(in && out);
        m_input = vzmidi_alsa_backend.open(1, in, Received::sink, Received::wentAway, &m_received);
        m_output = vzmidi_alsa_backend.open(0, out, nullptr, nullptr, nullptr);
        QVERIFY(m_input && m_output);
    }
    void cleanup()
    {
        for (void *port : {m_input, m_output})
            if (port)
                vzmidi_alsa_backend.close(port);
        m_input = m_output = nullptr;
        delete m_device;
        m_received.messages.clear();
        m_received.gone = 0;
    }

    // The other direction, and whole exchanges, are the guest's vzquery runs.
    void piecesJoined_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("one piece") << 12;
        QTest::newRow("a largest frame") << 2048;
    }
    void piecesJoined()
    {
        QFETCH(int, length);
        const Bytes reply = sysex(size_t(length), 1);
        QVERIFY(m_device->send(reply));
        QTRY_COMPARE(m_received.count(), size_t(1));
        QCOMPARE(m_received.messages.front(), reply);
    }

    // Messages keep coming while the input closes: nothing is delivered
    // after the close has returned, and the close does not hang.
    void closeWhileMessagesArrive()
    {
        std::atomic<bool> stop{false};
        std::thread flood([&] {
            const Bytes message = sysex(700, 3);
            while (!stop && m_device->send(message)) {
            }
        });
        QTRY_VERIFY(m_received.count() >= 3);
        vzmidi_alsa_backend.close(m_input);
        m_input = nullptr;
        m_received.closed = true;
        QTest::qWait(50);
        stop = true;
        flood.join();
        QCOMPARE(m_received.afterClose.load(), 0);
        m_received.closed = false;
    }

    void unplugIsSeen()
    {
        delete m_device;
        m_device = nullptr;
        QTRY_COMPARE(m_received.gone.load(), 1);
        const Bytes request = sysex(20, 4);
        QVERIFY(vzmidi_alsa_backend.send(m_output, request.data(), request.size()) != 0);
        QVERIFY(!findPort(0));
    }
};

QTEST_GUILESS_MAIN(TestAlsaSequencer)
#include "tst_alsa_sequencer.moc"
