// The bridge's wire format on its own: a byte stream cut into messages
// whatever the pieces it arrives in, the 64 KiB limit, and whole messages
// written to a socket.
#include <QtTest>

#include <numeric>
#include <thread>

#include <sys/socket.h>
#include <unistd.h>

#include "backend_bridge_framing.h"

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

Bytes prefixed(const Bytes &body, uint32_t n = ~0u) // n: the length given, if not the body's
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

} // namespace

class TestBridgeFraming : public QObject
{
    Q_OBJECT

private slots:
    void read_data()
    {
        QTest::addColumn<Bytes>("stream");
        QTest::addColumn<int>("piece");
        QTest::addColumn<Messages>("messages");
        QTest::addColumn<bool>("refused");
        const Bytes name{'Q', '7', ' ', 'C', 'O', 'N', 'T', 'R', 'O', 'L'};
        const Bytes frame{0xF0, 0x4E, 0x50, 0x23, 0x00, 0x55, 0x00, 0xF7}, largest = pattern(message_max);
        for (int piece : {1, 3, 5, 1024})
            QTest::addRow("two messages, pieces of %d", piece)
                << prefixed(name) + prefixed(frame) << piece << Messages{name, frame} << false;
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
};

QTEST_GUILESS_MAIN(TestBridgeFraming)
#include "tst_bridge_framing.moc"
