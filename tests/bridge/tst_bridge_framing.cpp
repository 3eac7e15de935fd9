// The bridge's wire format on its own: length prefixes, a byte stream cut
// into messages whatever the pieces it arrives in, the 64 KiB limit, and
// whole messages written to a socket.
#include <QtTest>

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

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

Bytes prefixed(const Bytes &body)
{
    Bytes stream{uint8_t(body.size()), uint8_t(body.size() >> 8), uint8_t(body.size() >> 16),
                 uint8_t(body.size() >> 24)};
    stream.insert(stream.end(), body.begin(), body.end());
    return stream;
}

Bytes lengthOnly(uint32_t length)
{
    return {uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16), uint8_t(length >> 24)};
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes pattern(size_t length)
{
    Bytes bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = uint8_t(i * 7 + 3);
    return bytes;
}

struct Fed {
    Messages messages;
    std::vector<bool> accepted; // per piece
};

Fed feedInPieces(const Bytes &stream, size_t piece)
{
    MessageReader reader;
    Fed fed;
    for (size_t at = 0; at < stream.size(); at += piece) {
        const size_t count = std::min(piece, stream.size() - at);
        fed.accepted.push_back(
            reader.feed(stream.data() + at, count, [&](const uint8_t *bytes, size_t length) {
                fed.messages.emplace_back(bytes, bytes + length);
            }));
    }
    return fed;
}

} // namespace

class TestBridgeFraming : public QObject
{
    Q_OBJECT

private slots:
    void lengthPrefix_data();
    void lengthPrefix();
    void streamCutIntoMessages_data();
    void streamCutIntoMessages();
    void overlongLengthEndsTheStream_data();
    void overlongLengthEndsTheStream();
    void writeRoundTrip_data();
    void writeRoundTrip();
    void writeRefusesOverlongMessage();
    void writeToClosedPeerFails();
    void writeGivesUpOnPeerThatDoesNotRead();
};

void TestBridgeFraming::lengthPrefix_data()
{
    QTest::addColumn<uint>("length");
    QTest::addColumn<Bytes>("prefix");
    QTest::newRow("zero") << 0u << Bytes{0, 0, 0, 0};
    QTest::newRow("name") << 10u << Bytes{0x0A, 0, 0, 0};
    QTest::newRow("little endian") << 0x01020304u << Bytes{0x04, 0x03, 0x02, 0x01};
    QTest::newRow("64 KiB") << 65536u << Bytes{0x00, 0x00, 0x01, 0x00};
}

void TestBridgeFraming::lengthPrefix()
{
    QFETCH(uint, length);
    QFETCH(Bytes, prefix);
    uint8_t written[length_size];
    put_length(length, written);
    QCOMPARE(Bytes(written, written + length_size), prefix);
}

void TestBridgeFraming::streamCutIntoMessages_data()
{
    QTest::addColumn<Bytes>("stream");
    QTest::addColumn<int>("piece");
    QTest::addColumn<Messages>("messages");

    const Bytes name{'Q', '7', ' ', 'C', 'O', 'N', 'T', 'R', 'O', 'L'};
    const Bytes frame{0xF0, 0x4E, 0x50, 0x23, 0x00, 0x55, 0x00, 0xF7};
    const Bytes both = concat({prefixed(name), prefixed(frame)});
    for (int piece : {1, 3, 4, 5, 13, 1024})
        QTest::addRow("name and frame, pieces of %d", piece) << both << piece << Messages{name, frame};
    QTest::newRow("empty message between two")
        << concat({prefixed(frame), prefixed({}), prefixed(frame)}) << 2 << Messages{frame, {}, frame};
    QTest::newRow("prefix cut after two bytes, nothing more") << lengthOnly(8) << 2 << Messages{};
    QTest::newRow("body not complete yet") << concat({lengthOnly(8), Bytes{0xF0, 0x4E}}) << 100 << Messages{};
    const Bytes largest = pattern(message_max);
    QTest::newRow("exactly 64 KiB") << prefixed(largest) << 4000 << Messages{largest};
}

void TestBridgeFraming::streamCutIntoMessages()
{
    QFETCH(Bytes, stream);
    QFETCH(int, piece);
    QFETCH(Messages, messages);
    const Fed fed = feedInPieces(stream, size_t(piece));
    QCOMPARE(fed.messages, messages);
    QVERIFY(std::all_of(fed.accepted.begin(), fed.accepted.end(), [](bool ok) { return ok; }));
}

void TestBridgeFraming::overlongLengthEndsTheStream_data()
{
    QTest::addColumn<Bytes>("stream");
    QTest::addColumn<int>("piece");
    QTest::addColumn<Messages>("messages"); // handed on before the refusal

    const Bytes frame{0xF0, 0x01, 0xF7};
    QTest::newRow("64 KiB + 1 first") << concat({lengthOnly(message_max + 1), frame}) << 64 << Messages{};
    QTest::newRow("after a good message, one byte at a time")
        << concat({prefixed(frame), lengthOnly(0xFFFFFFFF), prefixed(frame)}) << 1 << Messages{frame};
    QTest::newRow("good message in the same piece")
        << concat({prefixed(frame), lengthOnly(0x80000000), prefixed(frame)}) << 1000 << Messages{frame};
}

void TestBridgeFraming::overlongLengthEndsTheStream()
{
    QFETCH(Bytes, stream);
    QFETCH(int, piece);
    QFETCH(Messages, messages);

    MessageReader reader;
    Messages got;
    const auto keep = [&](const uint8_t *bytes, size_t length) { got.emplace_back(bytes, bytes + length); };
    bool refused = false;
    for (size_t at = 0; at < stream.size() && !refused; at += size_t(piece))
        refused = !reader.feed(stream.data() + at, std::min(size_t(piece), stream.size() - at), keep);
    QVERIFY(refused);
    QCOMPARE(got, messages);
    // The stream is lost for good: a sound message afterwards is refused too.
    const Bytes more = prefixed(Bytes{0xF0, 0x01, 0xF7});
    QVERIFY(!reader.feed(more.data(), more.size(), keep));
    QCOMPARE(got, messages);
}

void TestBridgeFraming::writeRoundTrip_data()
{
    QTest::addColumn<Bytes>("message");
    QTest::newRow("empty") << Bytes{};
    QTest::newRow("frame") << Bytes{0xF0, 0x4E, 0x50, 0x23, 0x00, 0x2A, 0x00, 0xF7};
    // Larger than a socket buffer: written in many pieces while read.
    QTest::newRow("64 KiB") << pattern(message_max);
}

void TestBridgeFraming::writeRoundTrip()
{
    QFETCH(Bytes, message);
    int pair[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    Messages got;
    bool readOk = true;
    std::thread reader([&] {
        MessageReader messages;
        uint8_t chunk[1000];
        ssize_t n;
        while (got.empty() && (n = ::recv(pair[1], chunk, sizeof chunk, 0)) > 0)
            readOk = messages.feed(chunk, size_t(n), [&](const uint8_t *bytes, size_t length) {
                got.emplace_back(bytes, bytes + length);
            }) && readOk;
    });
    const bool written = write_message(pair[0], message.data(), message.size(), 5000);
    reader.join();
    ::close(pair[0]);
    ::close(pair[1]);
    QVERIFY(written);
    QVERIFY(readOk);
    QCOMPARE(got, Messages{message});
}

void TestBridgeFraming::writeRefusesOverlongMessage()
{
    int pair[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    const Bytes tooLong = pattern(message_max + 1);
    QVERIFY(!write_message(pair[0], tooLong.data(), tooLong.size(), 1000));
    // Nothing at all went out, so the stream is still in step.
    uint8_t byte;
    QCOMPARE(::recv(pair[1], &byte, 1, MSG_DONTWAIT), ssize_t(-1));
    ::close(pair[0]);
    ::close(pair[1]);
}

void TestBridgeFraming::writeToClosedPeerFails()
{
    // A SIGPIPE would end the test process instead of failing the write.
    int pair[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    ::close(pair[1]);
    const Bytes frame{0xF0, 0x01, 0xF7};
    QVERIFY(!write_message(pair[0], frame.data(), frame.size(), 1000));
    ::close(pair[0]);
}

void TestBridgeFraming::writeGivesUpOnPeerThatDoesNotRead()
{
    int pair[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    int small = 4096;
    ::setsockopt(pair[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ::setsockopt(pair[1], SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    const Bytes large = pattern(message_max);
    bool full = false;
    // The peer never reads: sooner or later a message cannot go out whole.
    for (int i = 0; i < 64 && !full; ++i)
        full = !write_message(pair[0], large.data(), large.size(), 50);
    QVERIFY(full);
    ::close(pair[0]);
    ::close(pair[1]);
}

QTEST_GUILESS_MAIN(TestBridgeFraming)
#include "tst_bridge_framing.moc"
