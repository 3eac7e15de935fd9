// What of the ALSA back-end can be checked without a sound card: SysEx
// pieces joined into whole messages, and a machine without a sequencer
// listing nothing, quietly.
#include <QtTest>

#include <mmsystem.h>

#include "backend_alsa_sysex.h"
#include "test_support.h"
#include "vzmidi_backend.h"

extern "C" const vzmidi_backend vzmidi_alsa_backend;

using Bytes = std::vector<uint8_t>;
using Pieces = std::vector<Bytes>;
Q_DECLARE_METATYPE(Pieces)

namespace
{

using vzmidi::alsa::SysexJoiner;

// A SysEx message of `length` bytes, cut into 256-byte pieces as the kernel
// cuts it; without its last piece when `unfinished`.
Pieces sysex(size_t length, bool unfinished = false)
{
    Pieces pieces;
    for (size_t at = 0; at < length; at += 256) {
        pieces.emplace_back(std::min(length - at, size_t(256)));
        for (size_t i = 0; i < pieces.back().size(); ++i)
            pieces.back()[i] = uint8_t((at + i) * 13 & 0x7F);
    }
    pieces.front().front() = 0xF0;
    pieces.back().back() = 0xF7;
    if (unfinished)
        pieces.pop_back();
    return pieces;
}

Pieces operator+(Pieces a, const Pieces &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

class TestAlsaBackend : public QObject
{
    Q_OBJECT

private slots:
    void joiner_data()
    {
        QTest::addColumn<Pieces>("pieces");
        QTest::addColumn<QByteArray>("results"); // per piece: ignored, partial, complete, dropped
        QTest::addColumn<int>("from");           // the last complete message: the pieces from this one on
        const Bytes frame{0xF0, 0x4E, 0x50, 0x23, 0x00, 0x2A, 0x00, 0xF7};
        QTest::newRow("in pieces") << sysex(600) << QByteArray("ppc") << 0;
        QTest::newRow("new F0 gives up the unfinished one")
            << Pieces{{0xF0, 0x01, 0x02}, {0x03}, frame} << QByteArray("ppc") << 2;
        QTest::newRow("rest of a missed start ignored")
            << Pieces{{0x05, 0x06}, {0x07, 0xF7}, frame} << QByteArray("iic") << 2;
        QTest::newRow("empty piece changes nothing")
            << Pieces{{0xF0, 0x01}, {}, {0x02, 0xF7}} << QByteArray("pic") << 0;
        QTest::newRow("64 KiB kept") << sysex(SysexJoiner::limit) << QByteArray(255, 'p') + "c" << 0;
        QTest::newRow("one byte over dropped, the next kept")
            << sysex(SysexJoiner::limit + 1) + Pieces{frame} << QByteArray(256, 'p') + "dc" << 257;
        QTest::newRow("over the limit, cut off by a new F0")
            << sysex(SysexJoiner::limit + 300, true) + sysex(600) << QByteArray(257, 'p') + "ppc" << 257;
    }
    void joiner()
    {
        QFETCH(Pieces, pieces);
        QFETCH(QByteArray, results);
        QFETCH(int, from);
        SysexJoiner joiner;
        QByteArray got;
        for (const Bytes &piece : pieces)
            got += "ipcd"[int(joiner.add(piece.data(), piece.size()))];
        QCOMPARE(got, results);
        Bytes message;
        for (size_t i = size_t(from); i < pieces.size(); ++i)
            message.insert(message.end(), pieces[i].begin(), pieces[i].end());
        QCOMPARE(joiner.message(), message);
    }

    void noSequencerListsNothingQuietly()
    {
        if (QFileInfo::exists(QStringLiteral("/dev/snd/seq")))
            QSKIP("this machine has a sequencer: its ports are listed");
        vzmidi_endpoint endpoints[4];
        size_t listed = 0;
        const QString printed = printedBy(
            [&] {
                for (int i = 0; i < 3; ++i) // as the app's poll does, once a second
                    listed +=
                        vzmidi_alsa_backend.list(0, endpoints, 4) + vzmidi_alsa_backend.list(1, endpoints, 4);
                listed += midiOutGetNumDevs() + midiInGetNumDevs();
            },
            true);
        QCOMPARE(printed, QString());
        QCOMPARE(listed, size_t(0));
        QCOMPARE(vzmidi_alsa_backend.open(0, 1, nullptr, nullptr, nullptr), nullptr);
    }
};

QTEST_GUILESS_MAIN(TestAlsaBackend)
#include "tst_alsa_backend.moc"
