// vzsim on the ALSA sequencer, as far as it goes without one: replies cut
// into the pieces a USB-MIDI driver delivers, and the command line.
#include <QtTest>

#include "backend_alsa_sysex.h"
#include "sim_options.h"

using vzmidi::alsa::SysexJoiner;
using Sizes = std::vector<size_t>;
Q_DECLARE_METATYPE(Sizes)

class TestVzsimAlsa : public QObject
{
    Q_OBJECT
private slots:
    void pieces_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<Sizes>("sizes");
        QTest::newRow("short reply") << 12 << Sizes{12};
        QTest::newRow("one piece exactly") << 256 << Sizes{256};
        QTest::newRow("one byte over") << 257 << Sizes{256, 1};
        QTest::newRow("oversized reply") << 2100 << Sizes{256, 256, 256, 256, 256, 256, 256, 256, 52};
    }
    // Each piece at most 256 bytes, and the host's joiner makes the reply whole again.
    void pieces()
    {
        QFETCH(int, length);
        QFETCH(Sizes, sizes);
        std::vector<uint8_t> reply(size_t(length), 0x11);
        reply.front() = 0xF0;
        reply.back() = 0xF7;
        Sizes sent;
        SysexJoiner joiner;
        SysexJoiner::Result last = SysexJoiner::Result::ignored;
        QVERIFY(vzmidi::alsa::send_in_pieces(reply.data(), reply.size(), [&](const uint8_t *piece, size_t n) {
            sent.push_back(n);
            last = joiner.add(piece, n);
            return true;
        }));
        QCOMPARE(sent, sizes);
        QCOMPARE(last, SysexJoiner::Result::complete);
        QVERIFY(joiner.message() == reply);
    }

    void refusedPieceStops()
    {
        const std::vector<uint8_t> reply(600, 0x22);
        int calls = 0;
        QVERIFY(!vzmidi::alsa::send_in_pieces(reply.data(), reply.size(),
                                              [&](const uint8_t *, size_t) { return ++calls < 2; }));
        QCOMPARE(calls, 2);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("alsa");
        using R = vzsimtool::ParseResult;
        QTest::newRow("alsa") << QStringList{"--alsa", "--battery", "0"} << int(R::Run) << true;
        QTest::newRow("socket") << QStringList{"/tmp/q7"} << int(R::Run) << false;
        QTest::newRow("alsa and socket") << QStringList{"--alsa", "/tmp/q7"} << int(R::Error) << true;
        QTest::newRow("neither") << QStringList{"--verbose"} << int(R::Error) << false;
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, result);
        QFETCH(bool, alsa);
        std::vector<std::string> argv;
        for (const QString &arg : args)
            argv.push_back(arg.toStdString());
        vzsimtool::Options options;
        std::string error;
        QCOMPARE(int(vzsimtool::parseOptions(argv, options, error)), result);
        QCOMPARE(options.alsa, alsa);
    }
};

QTEST_GUILESS_MAIN(TestVzsimAlsa)
#include "tst_vzsim_alsa.moc"
