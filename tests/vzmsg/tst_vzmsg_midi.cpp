// SysEx framing: the frame bytes, the bit regrouping for any widths, round
// trips and every refusal of the encoder and the decoder.
#include <QRandomGenerator>
#include <QtTest>

#include <vector>

#include "stdout_capture.h"
#include "vzmsg_midi.h"

static const QString source = QStringLiteral("vzmsg/vzmsg_midi.c");

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}
static const uint8_t *bytesOf(const QByteArray &a)
{
    return reinterpret_cast<const uint8_t *>(a.constData());
}

// The regrouping as a plain loop over stream bits, one division per bit.
struct Repacked {
    uint64_t bits, used, produced;
};
static Repacked referenceRepack(const uint8_t *src, uint64_t count, unsigned s, uint8_t *dst,
                                uint64_t capacity, unsigned d)
{
    uint64_t bits = std::min(count * s, capacity * d);
    if (s < d)
        bits -= bits % d;
    for (uint64_t k = 0; k * d < bits; ++k) {
        dst[k] = 0;
        for (unsigned p = 0; p < d && k * d + p < bits; ++p) {
            const uint64_t t = k * d + p;
            dst[k] |= uint8_t(((src[t / s] >> (t % s)) & 1) << p);
        }
    }
    return {bits, (bits + s - 1) / s, (bits + d - 1) / d};
}

static QByteArray encoded(const QByteArray &payload)
{
    QByteArray frame(payload.size() * 8 / 7 + 8, '\0');
    uint64_t length = 0;
    if (vzmsg_midi_encode(bytesOf(payload), uint64_t(payload.size()),
                          reinterpret_cast<uint8_t *>(frame.data()), uint64_t(frame.size()), &length) != 0)
        return QByteArray("failed");
    return frame.left(int(length));
}

class TestVzmsgMidi : public QObject
{
    Q_OBJECT
private slots:
    void frames_data();
    void frames();
    void roundTripEveryLength();
    void repackMatchesReference();
    void repackBadWidth();
    void encodeRefused_data();
    void encodeRefused();
    void decodeRefused_data();
    void decodeRefused();
    void decodeLenient_data();
    void decodeLenient();
};

void TestVzmsgMidi::frames_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("status request") << hex("5501") << hex("F04E5023005502 00F7");
    QTest::newRow("size record") << hex("520445230100") << hex("F04E502300 52 08 14 1A 12 00 00 F7");
    QTest::newRow("seven FF") << hex("FFFFFFFFFFFFFF") << hex("F04E502300 7F7F7F7F7F7F7F7F F7");
    QTest::newRow("one 80") << hex("80") << hex("F04E502300 0001 F7");
    QTest::newRow("empty") << QByteArray() << hex("F04E502300F7");
    QTest::newRow("stream order") << hex("0102") << hex("F04E502300 01 04 00 F7");
}

void TestVzmsgMidi::frames()
{
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, frame);
    QCOMPARE(encoded(payload), frame);
    QByteArray out(300, '\x55');
    uint64_t length = 999;
    QCOMPARE(vzmsg_midi_decode(bytesOf(frame), uint64_t(frame.size()),
                               reinterpret_cast<uint8_t *>(out.data()), uint64_t(out.size()), &length),
             0);
    QCOMPARE(out.left(int(length)), payload);
}

// Every payload length up to 300, random content: the frame has its
// computed length, 7-bit data, and decodes to the payload.
void TestVzmsgMidi::roundTripEveryLength()
{
    QRandomGenerator rng(7);
    for (int n = 0; n <= 300; ++n) {
        QByteArray payload(n, '\0');
        for (char &c : payload)
            c = char(rng.bounded(256));
        const QByteArray frame = encoded(payload);
        QCOMPARE(frame.size(), (8 * n + 6) / 7 + 6);
        for (int i = 1; i < frame.size() - 1; ++i)
            QVERIFY2(uchar(frame[i]) < 0x80, qPrintable(QString::number(n)));
        QByteArray out(n, '\0');
        uint64_t length = 0;
        // Decoding into exactly the payload's size must succeed.
        QCOMPARE(vzmsg_midi_decode(bytesOf(frame), uint64_t(frame.size()),
                                   reinterpret_cast<uint8_t *>(out.data()), uint64_t(n), &length),
                 0);
        QCOMPARE(int(length), n);
        QCOMPARE(out, payload);
    }
    const int lengths[][2] = {{1, 8}, {2, 9}, {7, 14}, {8, 16}, {14, 22}, {256, 299}};
    for (const auto &pair : lengths)
        QCOMPARE(encoded(QByteArray(pair[0], 'a')).size(), pair[1]);
}

// The fast paths and the general one against the plain loop: every pair of
// widths, short and long counts, capacities that cut the stream anywhere,
// source bits above the width set.
void TestVzmsgMidi::repackMatchesReference()
{
    QRandomGenerator rng(99);
    std::vector<uint8_t> src(200), got(220), want(220);
    for (unsigned s = 1; s <= 8; ++s)
        for (unsigned d = 1; d <= 8; ++d)
            for (int round = 0; round < 60; ++round) {
                for (uint8_t &b : src)
                    b = uint8_t(rng.bounded(256));
                const uint64_t count = rng.bounded(round < 30 ? 20 : 200);
                const uint64_t capacity = rng.bounded(round % 3 ? 220 : 20);
                std::fill(got.begin(), got.end(), 0xAB);
                std::fill(want.begin(), want.end(), 0xAB);
                uint64_t used = 1234, produced = 1234;
                const uint64_t bits = vzmsg_midi_repack(src.data(), count, uint8_t(s), &used, got.data(),
                                                        capacity, uint8_t(d), &produced);
                const Repacked ref = referenceRepack(src.data(), count, s, want.data(), capacity, d);
                const QByteArray where = QStringLiteral("s=%1 d=%2 count=%3 capacity=%4")
                                             .arg(s)
                                             .arg(d)
                                             .arg(count)
                                             .arg(capacity)
                                             .toLatin1();
                QVERIFY2(bits == ref.bits && used == ref.used && produced == ref.produced, where);
                QVERIFY2(got == want, where); // also nothing written past the produced elements
            }
}

void TestVzmsgMidi::repackBadWidth()
{
    uint8_t src[4] = {1, 2, 3, 4}, dst[8];
    uint64_t used = 9, produced = 9;
    StdoutCapture capture;
    const uint64_t zero = vzmsg_midi_repack(src, 4, 0, &used, dst, 8, 7, &produced);
    const uint64_t nine = vzmsg_midi_repack(src, 4, 8, nullptr, dst, 8, 9, nullptr);
    const QString text = capture.finish();
    QCOMPARE(zero, uint64_t(0));
    QCOMPARE(nine, uint64_t(0));
    QVERIFY(used == 0 && produced == 0);
    QCOMPARE(StdoutCapture::errorLines(text, source), 2);
}

void TestVzmsgMidi::encodeRefused_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<bool>("ok");
    QTest::newRow("capacity 4") << 0 << 4 << false;
    QTest::newRow("capacity 0") << 0 << 0 << false;
    QTest::newRow("empty in 6") << 0 << 6 << true;
    QTest::newRow("empty in 5, no end byte") << 0 << 5 << false;
    QTest::newRow("N=2 in M+6") << 2 << 9 << true;
    QTest::newRow("N=2 in M+5") << 2 << 8 << false;
    QTest::newRow("N=256 in M+6") << 256 << 299 << true;
    QTest::newRow("N=256 in M+5") << 256 << 298 << false;
    QTest::newRow("N=256 payload does not fit") << 256 << 200 << false;
    QTest::newRow("N=7 data full, no end byte") << 7 << 13 << false;
    QTest::newRow("N=1 in 6") << 1 << 6 << false;
}

void TestVzmsgMidi::encodeRefused()
{
    QFETCH(int, length);
    QFETCH(int, capacity);
    QFETCH(bool, ok);
    const QByteArray payload(length, '\x5A');
    std::vector<uint8_t> out(size_t(capacity) + 16, 0xEE);
    uint64_t frameLength = 77;
    StdoutCapture capture;
    const int result =
        vzmsg_midi_encode(bytesOf(payload), uint64_t(length), out.data(), uint64_t(capacity), &frameLength);
    const QString text = capture.finish();
    QCOMPARE(result, ok ? 0 : 1);
    QCOMPARE(StdoutCapture::errorLines(text, source), ok ? 0 : 1);
    if (ok)
        QCOMPARE(frameLength, uint64_t((8 * length + 6) / 7 + 6));
    else
        QCOMPARE(frameLength, uint64_t(77));
    for (size_t i = size_t(capacity); i < out.size(); ++i)
        QCOMPARE(int(out[i]), 0xEE);
}

void TestVzmsgMidi::decodeRefused_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("capacity");
    const QByteArray good = encoded(hex("5501"));
    QTest::newRow("five bytes") << hex("F04E502300") << 16;
    QTest::newRow("nothing") << QByteArray() << 16;
    QTest::newRow("not F0") << hex("F14E5023005502 00F7") << 16;
    QTest::newRow("other maker") << hex("F04F5023005502 00F7") << 16;
    QTest::newRow("byte 2") << hex("F04E5123005502 00F7") << 16;
    QTest::newRow("fourth byte not 23") << hex("F04E5024005502 00F7") << 16;
    QTest::newRow("byte 4 not 00") << hex("F04E5023015502 00F7") << 16;
    QTest::newRow("no F7") << hex("F04E5023005502 00F0") << 16;
    QTest::newRow("one data byte") << hex("F04E5023007FF7") << 16;
    QTest::newRow("nine data bytes") << hex("F04E502300 7F7F7F7F7F7F7F7F7F F7") << 16;
    QTest::newRow("payload does not fit") << good << 1;
    QTest::newRow("no output") << good << 0;
    QTest::newRow("300-byte frame into 256") << encoded(QByteArray(257, 'q')) << 256;
}

void TestVzmsgMidi::decodeRefused()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, capacity);
    std::vector<uint8_t> out(size_t(capacity) + 1);
    uint64_t length = 55;
    StdoutCapture capture;
    const int result = vzmsg_midi_decode(frame.isEmpty() ? nullptr : bytesOf(frame), uint64_t(frame.size()),
                                         out.data(), uint64_t(capacity), &length);
    const QString text = capture.finish();
    QCOMPARE(result, 1);
    QCOMPARE(length, uint64_t(55));
    QCOMPARE(StdoutCapture::errorLines(text, source), 1);
}

void TestVzmsgMidi::decodeLenient_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("bit 7 ignored") << hex("F04E502300 D5 82 80 F7") << hex("5501");
    QTest::newRow("leftover bits dropped") << hex("F04E502300 55 02 60 F7") << hex("5501");
    QTest::newRow("299 bytes into 256") << encoded(QByteArray(256, '\x81')) << QByteArray(256, '\x81');
}

void TestVzmsgMidi::decodeLenient()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, payload);
    std::vector<uint8_t> out(256);
    uint64_t length = 0;
    QCOMPARE(vzmsg_midi_decode(bytesOf(frame), uint64_t(frame.size()), out.data(), out.size(), &length), 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(out.data()), int(length)), payload);
}

QTEST_GUILESS_MAIN(TestVzmsgMidi)
#include "tst_vzmsg_midi.moc"
