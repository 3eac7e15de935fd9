// The bridge back-end under the real port layer, against a listener of the
// test's own: the ports listed, one connection for the open pair, and the
// connection's end seen as an unplugged recorder.
#include <QtTest>

#include <mmsystem.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "output_capture.h"
#include "vzmsg_devs_midi_win.h"
#include "vzmsg_midi.h"

using Bytes = std::vector<uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace
{

// The length prefix spelled out (4 bytes, little-endian), so that the host
// is held to the wire format rather than to its own framing code.
Bytes framed(const Bytes &message)
{
    Bytes out(4 + message.size());
    for (size_t i = 0; i < 4; ++i)
        out[i] = uint8_t(message.size() >> (8 * i));
    std::copy(message.begin(), message.end(), out.begin() + 4);
    return out;
}

// Serves one connection at a time, as a simple listener does: greets it
// with the bytes it is given (none: never gives a name), keeps what the host
// sends, and sends, drops the connection or goes away when the test says so.
class Listener
{
public:
    Listener(const QString &path, Bytes greeting)
        : m_path(path.toStdString()), m_greeting(std::move(greeting))
    {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        m_path.copy(address.sun_path, sizeof address.sun_path - 1);
        if (::bind(m_listen, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
            ::listen(m_listen, 8) == 0)
            m_thread = std::thread([this] { serve(); });
    }
    ~Listener()
    {
        if (m_thread.joinable()) {
            ::shutdown(m_listen, SHUT_RDWR);
            drop();
            m_thread.join();
            ::unlink(m_path.c_str());
        }
        ::close(m_listen);
    }
    int accepted() const { return m_accepted; }
    bool connected() const { return m_fd >= 0; }
    Bytes received() const // every byte after the greeting
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_received;
    }
    bool send(const Bytes &raw)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return ::send(m_fd, raw.data(), raw.size(), MSG_NOSIGNAL) == ssize_t(raw.size());
    }
    void drop() // listening goes on
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ::shutdown(m_fd, SHUT_RDWR);
    }

private:
    void serve()
    {
        for (int fd; (fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
            ++m_accepted;
            (void)!::send(fd, m_greeting.data(), m_greeting.size(), MSG_NOSIGNAL);
            m_fd = fd;
            uint8_t chunk[4096];
            for (ssize_t n; (n = ::recv(fd, chunk, sizeof chunk, 0)) > 0;) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_received.insert(m_received.end(), chunk, chunk + n);
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            m_fd = -1;
            ::close(fd);
        }
    }

    const std::string m_path;
    const Bytes m_greeting;
    int m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::thread m_thread;
    std::atomic<int> m_accepted{0};
    mutable std::mutex m_mutex; // guards the received messages and the use of m_fd
    std::atomic<int> m_fd{-1};
    Bytes m_received;
};

const Bytes kName{'Q', '7', ' ', 'C', 'O', 'N', 'T', 'R', 'O', 'L'};
const Bytes kPayload{0x55, 0x01};

// The outputs' names, then the inputs'.
QStringList portNames()
{
    QStringList names;
    MIDIOUTCAPSW out{};
    MIDIINCAPSW in{};
    for (UINT i = 0; i < midiOutGetNumDevs(); ++i)
        if (midiOutGetDevCapsW(i, &out, sizeof out) == MMSYSERR_NOERROR)
            names << QString::fromWCharArray(out.szPname);
    for (UINT i = 0; i < midiInGetNumDevs(); ++i)
        if (midiInGetDevCapsW(i, &in, sizeof in) == MMSYSERR_NOERROR)
            names << QString::fromWCharArray(in.szPname);
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

struct HostPort {
    std::unique_ptr<vzmsg_dev_t> dev = std::make_unique<vzmsg_dev_t>();
    int opened = vzmsg_devs_open(dev.get());
    ~HostPort() { vzmsg_devs_close(dev.get()); }
    int send(const Bytes &payload)
    {
        return vzmsg_devs_send(dev.get(), payload.data(), uint16_t(payload.size()));
    }
};

} // namespace

class TestBridgeBackend : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_socket = m_dir.filePath(QStringLiteral("bridge"));

private slots:
    void init() { QVERIFY(qputenv("VZMIDI_BRIDGE", m_socket.toLocal8Bit())); }
    void cleanup() { QFile::remove(m_socket); }

    void listing_data()
    {
        QTest::addColumn<bool>("listens");
        QTest::addColumn<bool>("variableSet");
        QTest::addColumn<Bytes>("greeting");
        QTest::addColumn<QString>("name"); // empty: no ports
        const std::string tooLong = "Q7 CONTROL with a name much too long for Windows";
        QTest::newRow("no listener") << false << true << Bytes{} << "";
        QTest::newRow("recorder") << true << true << framed(kName) << "Q7 CONTROL";
        QTest::newRow("name cut to 31 bytes") << true << true << framed(Bytes(tooLong.begin(), tooLong.end()))
                                              << "Q7 CONTROL with a name much too";
        QTest::newRow("name ends at a zero byte") << true << true << framed(Bytes{'Q', '7', 0, 'X'}) << "Q7";
        QTest::newRow("never greets") << true << true << Bytes{} << "";
        QTest::newRow("greeting over 64 KiB") << true << true << framed(Bytes(64 * 1024 + 1, 'Q')) << "";
        QTest::newRow("no VZMIDI_BRIDGE") << true << false << framed(kName) << "";
    }
    void listing()
    {
        QFETCH(bool, listens);
        QFETCH(bool, variableSet);
        QFETCH(Bytes, greeting);
        QFETCH(QString, name);
        std::unique_ptr<Listener> listener;
        if (listens)
            listener = std::make_unique<Listener>(m_socket, greeting);
        if (!variableSet)
            QVERIFY(qunsetenv("VZMIDI_BRIDGE"));
        QStringList names; // the app lists once a second: never a word about it
        QCOMPARE(printedBy([&] { names = portNames(); }), QByteArray());
        QCOMPARE(names, name.isEmpty() ? QStringList() : (QStringList{name, name}));
        if (listener) { // each listing connected only to learn the name, and let go again
            QCOMPARE(listener->accepted() > 0, variableSet);
            QTRY_VERIFY(!listener->connected());
            QVERIFY(listener->received().empty());
        }
    }

    void pairUsesOneConnection()
    {
        Listener listener(m_socket, framed(kName));
        {
            HostPort host;
            QCOMPARE(host.opened, 0);
            QTRY_VERIFY(listener.connected());
            // Listing asks the pair's connection, as a listener may serve one at a time.
            const int accepted = listener.accepted();
            QCOMPARE(portNames(), (QStringList{"Q7 CONTROL", "Q7 CONTROL"}));
            HostPort second;
            QCOMPARE(second.opened, 2);
            QCOMPARE(listener.accepted(), accepted);
            QCOMPARE(host.send(kPayload), 0); // the refused open took nothing from the first
            QTRY_COMPARE(listener.received(), framed(frameOf(kPayload)));
            QVERIFY(listener.connected());
        }
        QTRY_VERIFY(!listener.connected());
    }

    void connectionEndIsUnplug_data()
    {
        QTest::addColumn<bool>("overlong");
        QTest::newRow("listener drops the connection") << false;
        QTest::newRow("length over 64 KiB: the host hangs up") << true;
    }
    void connectionEndIsUnplug()
    {
        QFETCH(bool, overlong);
        Listener listener(m_socket, framed(kName));
        HostPort host;
        QCOMPARE(host.opened, 0);
        QTRY_VERIFY(listener.connected());
        if (overlong)
            QVERIFY(listener.send(Bytes{0x01, 0x00, 0x01, 0x00, 0xF0}));
        else
            listener.drop();
        QTRY_VERIFY(!listener.connected());
        QTRY_COMPARE(host.send(kPayload), 2);
        // The listener still there is the recorder plugged in again: a new pair.
        HostPort again;
        QCOMPARE(again.opened, 0);
        const size_t before = listener.received().size();
        QCOMPARE(again.send(kPayload), 0);
        QTRY_COMPARE(listener.received().size(), before + framed(frameOf(kPayload)).size());
    }
};

QTEST_GUILESS_MAIN(TestBridgeBackend)
#include "tst_bridge_backend.moc"
