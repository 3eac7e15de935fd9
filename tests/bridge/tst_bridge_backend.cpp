// The bridge back-end under the real port layer, against a listener written
// from the wire format alone: which ports are listed, one connection for
// the open pair, whole frames both ways, and the listener going away seen
// as an unplugged recorder.
#include <QtTest>

#include <mmsystem.h>

#include <memory>

#include "fake_listener.h"
#include "vzmsg_devs_midi_win.h"
#include "vzmsg_midi.h"

Q_DECLARE_METATYPE(Bytes)

namespace
{

const Bytes kPortName = bytesOf("Q7 CONTROL");
const Bytes kPayload{0x55, 0x01};

QStringList portNames(bool inputs)
{
    QStringList names;
    const UINT count = inputs ? midiInGetNumDevs() : midiOutGetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        MIDIINCAPSW in{};
        MIDIOUTCAPSW out{};
        const MMRESULT result =
            inputs ? midiInGetDevCapsW(i, &in, sizeof in) : midiOutGetDevCapsW(i, &out, sizeof out);
        if (result == MMSYSERR_NOERROR)
            names << QString::fromWCharArray(inputs ? in.szPname : out.szPname);
    }
    return names;
}

Bytes frameOf(const Bytes &payload)
{
    Bytes frame(VZMSG_DEVS_BUFFER_SIZE);
    uint64_t length = 0;
    vzmsg_midi_encode(payload.data(), payload.size(), frame.data(), frame.size(), &length);
    frame.resize(size_t(length));
    return frame;
}

// Calls condition until it holds, for up to ten seconds. Unlike QTRY_*,
// it never calls it again once it has held, so it may send or take.
bool eventually(const std::function<bool()> &condition)
{
    QDeadlineTimer deadline(10000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}

// The host's port context, closed at the end.
struct HostPort {
    std::unique_ptr<vzmsg_dev_t> dev = std::make_unique<vzmsg_dev_t>();
    int opened = vzmsg_devs_open(dev.get());
    ~HostPort() { vzmsg_devs_close(dev.get()); }
    int send(const Bytes &payload)
    {
        return vzmsg_devs_send(dev.get(), payload.data(), uint16_t(payload.size()));
    }
    // The payload that arrives within about 100 ms; empty when none.
    Bytes receive()
    {
        uint8_t buffer[256];
        uint8_t length = 0;
        if (vzmsg_devs_recv(dev.get(), buffer, sizeof buffer, &length) != 0)
            return {};
        return Bytes(buffer, buffer + length);
    }
};

} // namespace

class TestBridgeBackend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void listing_data();
    void listing();
    void listingWithoutVariable();
    void pairUsesOneConnection();
    void framesTravelWhole();
    void secondOpenIsRefused();
    void listenerGoingAwayIsUnplug_data();
    void listenerGoingAwayIsUnplug();
    void overlongLengthClosesTheConnection();

private:
    QTemporaryDir m_dir;
    QString m_socket;
};

void TestBridgeBackend::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_socket = m_dir.filePath(QStringLiteral("bridge"));
    QVERIFY(qputenv("VZMIDI_BRIDGE", m_socket.toLocal8Bit()));
}

void TestBridgeBackend::init()
{
    QVERIFY(qputenv("VZMIDI_BRIDGE", m_socket.toLocal8Bit()));
}

void TestBridgeBackend::cleanup()
{
    QFile::remove(m_socket);
}

void TestBridgeBackend::listing_data()
{
    QTest::addColumn<bool>("listens");
    QTest::addColumn<bool>("greets");
    QTest::addColumn<Bytes>("greeting");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("no listener") << false << true << kPortName << QStringList{};
    QTest::newRow("recorder") << true << true << kPortName << QStringList{"Q7 CONTROL"};
    QTest::newRow("other name") << true << true << bytesOf("q7 control 2") << QStringList{"q7 control 2"};
    QTest::newRow("name cut to 31 bytes")
        << true << true << bytesOf("Q7 CONTROL with a name much too long for Windows")
        << QStringList{"Q7 CONTROL with a name much too"};
    QTest::newRow("name ends at a zero byte")
        << true << true << Bytes{'Q', '7', ' ', 'C', 'O', 'N', 'T', 'R', 'O', 'L', 0, 'X'}
        << QStringList{"Q7 CONTROL"};
    QTest::newRow("listener never greets") << true << false << kPortName << QStringList{};
    QTest::newRow("greeting longer than 64 KiB")
        << true << true << Bytes(64 * 1024 + 1, 'Q') << QStringList{};
}

void TestBridgeBackend::listing()
{
    QFETCH(bool, listens);
    QFETCH(bool, greets);
    QFETCH(Bytes, greeting);
    QFETCH(QStringList, names);

    std::unique_ptr<FakeListener> listener;
    if (listens) {
        listener = std::make_unique<FakeListener>(m_socket.toStdString(), greeting, greets);
        QVERIFY(listener->listening());
    }
    QCOMPARE(portNames(false), names);
    QCOMPARE(portNames(true), names);
    if (listener) {
        // Each listing connected only to learn the name, and let go again.
        QVERIFY(listener->accepted() > 0);
        QTRY_COMPARE(listener->openCount(), 0);
        QVERIFY(listener->received().empty());
    }
}

void TestBridgeBackend::listingWithoutVariable()
{
    FakeListener listener(m_socket.toStdString(), kPortName);
    QVERIFY(listener.listening());
    QVERIFY(qunsetenv("VZMIDI_BRIDGE"));
    QCOMPARE(portNames(false), QStringList{});
    QCOMPARE(listener.accepted(), 0);
    QVERIFY(qputenv("VZMIDI_BRIDGE", QByteArray()));
    QCOMPARE(portNames(true), QStringList{});
    QCOMPARE(listener.accepted(), 0);
}

void TestBridgeBackend::pairUsesOneConnection()
{
    FakeListener listener(m_socket.toStdString(), kPortName);
    QVERIFY(listener.listening());
    {
        HostPort host;
        QCOMPARE(host.opened, 0);
        QTRY_COMPARE(listener.openCount(), 1);
        // Listing while the pair is open asks the open connection, so a
        // listener that serves one connection at a time is not bothered.
        const int accepted = listener.accepted();
        QCOMPARE(portNames(false), QStringList{"Q7 CONTROL"});
        QCOMPARE(portNames(true), QStringList{"Q7 CONTROL"});
        QCOMPARE(listener.accepted(), accepted);
        QCOMPARE(listener.openCount(), 1);
    }
    QTRY_COMPARE(listener.openCount(), 0);
}

void TestBridgeBackend::framesTravelWhole()
{
    FakeListener listener(m_socket.toStdString(), kPortName);
    QVERIFY(listener.listening());
    HostPort host;
    QCOMPARE(host.opened, 0);

    QCOMPARE(host.send(kPayload), 0);
    QTRY_COMPARE(listener.received(), std::vector<Bytes>{frameOf(kPayload)});

    const Bytes reply{0x55, 0x04, 0x06, 0x00, 0x00, 0x00, 0x56, 0x04, 0x78, 0x00, 0x00, 0x00};
    QVERIFY(listener.send(frameOf(reply)));
    Bytes got;
    QVERIFY(eventually([&] { return !(got = host.receive()).empty(); }));
    QCOMPARE(got, reply);
}

void TestBridgeBackend::secondOpenIsRefused()
{
    FakeListener listener(m_socket.toStdString(), kPortName);
    QVERIFY(listener.listening());
    HostPort first;
    QCOMPARE(first.opened, 0);
    {
        HostPort second;
        QCOMPARE(second.opened, 2);
    }
    // The refused open took nothing from the first one.
    QCOMPARE(first.send(kPayload), 0);
    QTRY_COMPARE(listener.received().size(), size_t(1));
    QCOMPARE(listener.openCount(), 1);
}

void TestBridgeBackend::listenerGoingAwayIsUnplug_data()
{
    QTest::addColumn<bool>("keepsListening");
    QTest::newRow("listener ends") << false;
    QTest::newRow("connection dropped, listener stays") << true;
}

void TestBridgeBackend::listenerGoingAwayIsUnplug()
{
    QFETCH(bool, keepsListening);
    FakeListener listener(m_socket.toStdString(), kPortName);
    QVERIFY(listener.listening());
    HostPort host;
    QCOMPARE(host.opened, 0);
    QTRY_COMPARE(listener.openCount(), 1);

    if (keepsListening)
        listener.dropConnections();
    else
        listener.stop();
    // The open pair has gone: sends fail once the drop is seen, and
    // nothing arrives.
    QVERIFY(eventually([&] { return host.send(kPayload) == 2; }));
    QVERIFY(host.receive().empty());
    QCOMPARE(listener.received(), std::vector<Bytes>{});

    // A listener still there is a recorder plugged in again: a new pair.
    HostPort again;
    QCOMPARE(again.opened, keepsListening ? 0 : 2);
    QCOMPARE(portNames(false), keepsListening ? QStringList{"Q7 CONTROL"} : QStringList{});
    if (keepsListening) {
        QCOMPARE(again.send(kPayload), 0);
        QTRY_COMPARE(listener.received(), std::vector<Bytes>{frameOf(kPayload)});
    }
}

void TestBridgeBackend::overlongLengthClosesTheConnection()
{
    FakeListener listener(m_socket.toStdString(), kPortName);
    QVERIFY(listener.listening());
    HostPort host;
    QCOMPARE(host.opened, 0);
    QTRY_COMPARE(listener.openCount(), 1);

    // 64 KiB + 1: the back-end hangs up instead of reading on.
    QVERIFY(listener.sendRaw(Bytes{0x01, 0x00, 0x01, 0x00, 0xF0}));
    QTRY_COMPARE(listener.openCount(), 0);
    QVERIFY(eventually([&] { return host.send(kPayload) == 2; }));
    QVERIFY(host.receive().empty());
}

QTEST_GUILESS_MAIN(TestBridgeBackend)
#include "tst_bridge_backend.moc"
