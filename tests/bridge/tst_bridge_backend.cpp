// The recorder bridge back-end: its wire format alone, then under the real
// port layer against a listener of the test's own: the ports listed, one
// connection for the pair, and the connection's end seen as an unplug.
#include <QtTest>

#include <atomic>
#include <memory>
#include <mmsystem.h>
#include <mutex>
#include <numeric>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "backend_bridge_framing.h"
#include "test_support.h"
#include "vzmsg_devs_midi_win.h"
#include "vzmsg_midi.h"

using Bytes = std::vector<uint8_t>;
using Messages = std::vector<Bytes>;
Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(Messages)

namespace
{

using namespace vzmidi::bridge;

Bytes operator+(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The length prefix spelled out (4 bytes, little-endian), so that the code
// is held to the wire format rather than to itself; n: a length of its own.
Bytes prefixed(const Bytes &body, uint32_t n = ~0u)
{
    n = n == ~0u ? uint32_t(body.size()) : n;
    return Bytes{uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)} + body;
}

Bytes pattern(size_t length)
{
    Bytes bytes(length);
    std::iota(bytes.begin(), bytes.end(), uint8_t(3));
    return bytes;
}

struct SocketPair {
    int fd[2] = {-1, -1};
    SocketPair() { ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fd); }
    ~SocketPair() { ::close(fd[0]), ::close(fd[1]); }
};

// Serves one connection at a time, as a simple listener does: greets it with
// the bytes it is given (none: never gives a name), keeps what the host
// sends, and sends or drops the connection when the test says so.
class Listener
{
public:
    Listener(const QString &path, Bytes greeting)
        : m_path(path.toStdString()), m_greeting(std::move(greeting))
    {
        sockaddr_un address = {AF_UNIX, {}};
        m_path.copy(address.sun_path, sizeof address.sun_path - 1);
        if (::bind(m_listen, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
            ::listen(m_listen, 8) == 0)
            m_thread = std::thread([this] { serve(); });
    }
    ~Listener()
    {
        ::shutdown(m_listen, SHUT_RDWR);
        drop();
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listen);
        ::unlink(m_path.c_str());
    }
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
    mutable std::mutex m_mutex; // guards the bytes received and the use of m_fd
    std::atomic<int> m_fd{-1};
    Bytes m_received;
};

const Bytes kName{'Q', '7', ' ', 'C', 'O', 'N', 'T', 'R', 'O', 'L'};

// The outputs' names, as the app lists them.
QStringList portNames()
{
    QStringList names;
    MIDIOUTCAPSW caps{};
    for (UINT i = 0; i < midiOutGetNumDevs(); ++i)
        if (midiOutGetDevCapsW(i, &caps, sizeof caps) == MMSYSERR_NOERROR)
            names << QString::fromWCharArray(caps.szPname);
    return names;
}

struct HostPort {
    std::unique_ptr<vzmsg_dev_t> dev = std::make_unique<vzmsg_dev_t>();
    int opened = vzmsg_devs_open(dev.get());
    ~HostPort() { vzmsg_devs_close(dev.get()); }
    // Sends a small request; on the wire, the frame the port layer makes of it.
    int send(Bytes *wire = nullptr)
    {
        const uint8_t payload[] = {0x55, 0x01};
        uint8_t frame[64];
        uint64_t length = 0;
        if (wire && vzmsg_midi_encode(payload, sizeof payload, frame, sizeof frame, &length) == 0)
            *wire = prefixed(Bytes(frame, frame + length));
        return vzmsg_devs_send(dev.get(), payload, sizeof payload);
    }
};

} // namespace

class TestBridgeBackend : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_socket = m_dir.filePath(QStringLiteral("bridge"));

private slots:
    void initTestCase() { QVERIFY(qputenv("VZMIDI_BRIDGE", m_socket.toLocal8Bit())); }

    void read_data()
    {
        QTest::addColumn<Bytes>("stream");
        QTest::addColumn<int>("piece");
        QTest::addColumn<Messages>("messages");
        QTest::addColumn<bool>("refused");
        const Bytes frame{0xF0, 0x4E, 0x50, 0x23, 0x00, 0x55, 0x00, 0xF7}, largest = pattern(message_max);
        for (int piece : {1, 3, 5, 1024})
            QTest::addRow("two messages, pieces of %d", piece)
                << prefixed(kName) + prefixed(frame) << piece << Messages{kName, frame} << false;
        QTest::newRow("empty message between two")
            << prefixed(frame) + prefixed({}) + prefixed(frame) << 2 << Messages{frame, {}, frame} << false;
        QTest::newRow("prefix not complete") << Bytes{0x08, 0x00} << 1 << Messages{} << false;
        QTest::newRow("body not complete") << prefixed({0xF0, 0x4E}, 8) << 100 << Messages{} << false;
        QTest::newRow("exactly 64 KiB") << prefixed(largest) << 4000 << Messages{largest} << false;
        QTest::newRow("64 KiB + 1") << prefixed(frame, message_max + 1) << 64 << Messages{} << true;
        QTest::newRow("huge length between two, byte by byte: lost for good")
            << prefixed(frame) + prefixed({}, 0xFFFFFFFE) + prefixed(frame) << 1 << Messages{frame} << true;
    }
    void read()
    {
        QFETCH(Bytes, stream);
        QFETCH(int, piece);
        QFETCH(Messages, messages);
        QFETCH(bool, refused);
        MessageReader reader;
        Messages got;
        const auto keep = [&](const uint8_t *bytes, size_t length) {
            got.emplace_back(bytes, bytes + length);
        };
        bool ok = true;
        for (size_t at = 0; at < stream.size(); at += size_t(piece))
            ok = reader.feed(stream.data() + at, std::min(size_t(piece), stream.size() - at), keep) && ok;
        QCOMPARE(ok, !refused);
        QCOMPARE(got, messages);
    }

    void writeInPieces() // 64 KiB: more than the socket takes at once
    {
        const Bytes message = pattern(message_max), expected = prefixed(message);
        SocketPair pair;
        Bytes got;
        std::thread reader([&] {
            uint8_t chunk[1000];
            ssize_t n;
            while (got.size() < expected.size() && (n = ::recv(pair.fd[1], chunk, sizeof chunk, 0)) > 0)
                got.insert(got.end(), chunk, chunk + n);
        });
        const bool written = write_message(pair.fd[0], message.data(), message.size(), 5000);
        reader.join();
        QVERIFY(written);
        QCOMPARE(got, expected);
    }

    void writeFailures()
    {
        const Bytes frame{0xF0, 0x01, 0xF7}, tooLong = pattern(message_max + 1), large = pattern(message_max);
        SocketPair refused, closed, full;
        QVERIFY(!write_message(refused.fd[0], tooLong.data(), tooLong.size(), 1000));
        uint8_t byte; // nothing went out, so the stream is still in step
        QCOMPARE(::recv(refused.fd[1], &byte, 1, MSG_DONTWAIT), ssize_t(-1));

        ::shutdown(closed.fd[1], SHUT_RDWR); // a SIGPIPE would end the test instead
        QVERIFY(!write_message(closed.fd[0], frame.data(), frame.size(), 1000));

        bool gaveUp = false; // the peer never reads: at last a message cannot go out whole
        for (int i = 0; i < 64 && !gaveUp; ++i)
            gaveUp = !write_message(full.fd[0], large.data(), large.size(), 50);
        QVERIFY(gaveUp);
    }

    void listing_data()
    {
        QTest::addColumn<bool>("listens");
        QTest::addColumn<Bytes>("greeting");
        QTest::addColumn<QString>("name"); // empty: no ports
        const std::string tooLong = "Q7 CONTROL with a name much too long for Windows";
        QTest::newRow("no listener") << false << Bytes{} << "";
        QTest::newRow("recorder") << true << prefixed(kName) << "Q7 CONTROL";
        QTest::newRow("name cut to 31 bytes")
            << true << prefixed(Bytes(tooLong.begin(), tooLong.end())) << "Q7 CONTROL with a name much too";
        QTest::newRow("name ends at a zero byte") << true << prefixed(Bytes{'Q', '7', 0, 'X'}) << "Q7";
        QTest::newRow("never greets") << true << Bytes{} << "";
        QTest::newRow("greeting over 64 KiB") << true << prefixed(Bytes(64 * 1024 + 1, 'Q')) << "";
    }
    void listing()
    {
        QFETCH(bool, listens);
        QFETCH(Bytes, greeting);
        QFETCH(QString, name);
        std::unique_ptr<Listener> listener(listens ? new Listener(m_socket, greeting) : nullptr);
        QStringList names; // the app lists once a second: never a word about it
        QCOMPARE(printedBy([&] { names = portNames(); }, true), QString());
        QCOMPARE(names, name.isEmpty() ? QStringList() : QStringList(name));
        if (listener) { // each listing connected only to learn the name, and let go again
            QTRY_VERIFY(!listener->connected());
            QVERIFY(listener->received().empty());
        }
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
        Listener listener(m_socket, prefixed(kName));
        HostPort host;
        QCOMPARE(host.opened, 0);
        QTRY_VERIFY(listener.connected());
        // Listing asks the pair's connection: the listener serves one at a time.
        QCOMPARE(portNames(), QStringList("Q7 CONTROL"));
        QCOMPARE(HostPort().opened, 2);
        Bytes wire;
        QCOMPARE(host.send(&wire), 0); // the refused open took nothing from the first
        QTRY_COMPARE(listener.received(), wire);
        if (overlong)
            QVERIFY(listener.send(prefixed({0xF0}, message_max + 1)));
        else
            listener.drop();
        QTRY_VERIFY(!listener.connected());
        QTRY_COMPARE(host.send(), 2);
        // The listener still there is the recorder plugged in again: a new pair.
        {
            HostPort again;
            QCOMPARE(again.opened, 0);
            const Bytes before = listener.received();
            QCOMPARE(again.send(&wire), 0);
            QTRY_COMPARE(listener.received(), before + wire);
        }
        QTRY_VERIFY(!listener.connected());
    }
};

QTEST_GUILESS_MAIN(TestBridgeBackend)
#include "tst_bridge_backend.moc"
