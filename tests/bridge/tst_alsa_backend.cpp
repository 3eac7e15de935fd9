// What of the ALSA back-end can be checked without a sound card: SysEx
// pieces joined into whole messages, the ports it lists, what the events
// at its ports mean, and a machine without a sequencer listing nothing,
// quietly.
#include <QtTest>

#include <mmsystem.h>

#include <cstdio>
#include <unistd.h>

#include "backend_alsa_rules.h"
#include "backend_alsa_sysex.h"
#include "vzmidi_backend.h"

extern "C" const vzmidi_backend vzmidi_alsa_backend;

using Bytes = std::vector<uint8_t>;
using Pieces = std::vector<Bytes>;
using Results = std::vector<int>;
Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(Pieces)
Q_DECLARE_METATYPE(Results)
Q_DECLARE_METATYPE(snd_seq_event_t)

namespace
{

using vzmidi::alsa::EventMeaning;
using vzmidi::alsa::SysexJoiner;
using R = SysexJoiner::Result;

// A SysEx message of `length` bytes, F0 to F7, with varied data between.
Bytes sysex(size_t length)
{
    Bytes message(length);
    for (size_t i = 0; i < length; ++i)
        message[i] = uint8_t((i * 13 + 5) & 0x7F);
    message.front() = 0xF0;
    message.back() = 0xF7;
    return message;
}

// The message cut as the kernel cuts it.
Pieces cut(const Bytes &message, size_t piece = 256)
{
    Pieces pieces;
    for (size_t at = 0; at < message.size(); at += piece)
        pieces.emplace_back(message.begin() + long(at),
                            message.begin() + long(std::min(at + piece, message.size())));
    return pieces;
}

Pieces operator+(Pieces a, const Pieces &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Results repeated(R result, size_t times)
{
    return Results(times, int(result));
}

Results operator+(Results a, const Results &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

snd_seq_addr_t address(int client, int port)
{
    snd_seq_addr_t a;
    a.client = uint8_t(client);
    a.port = uint8_t(port);
    return a;
}

const snd_seq_addr_t kRemote = address(24, 0);
const snd_seq_addr_t kLocal = address(130, 0);

snd_seq_event_t eventAt(snd_seq_event_type_t type, snd_seq_addr_t source)
{
    snd_seq_event_t e;
    snd_seq_ev_clear(&e);
    e.type = type;
    e.source = source;
    e.dest = kLocal;
    return e;
}

snd_seq_event_t announcement(snd_seq_event_type_t type, snd_seq_addr_t about)
{
    snd_seq_event_t e = eventAt(type, address(SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE));
    e.data.addr = about;
    return e;
}

snd_seq_event_t unsubscribed(snd_seq_addr_t sender, snd_seq_addr_t dest)
{
    snd_seq_event_t e = eventAt(SND_SEQ_EVENT_PORT_UNSUBSCRIBED, address(SND_SEQ_CLIENT_SYSTEM, 1));
    e.data.connect.sender = sender;
    e.data.connect.dest = dest;
    return e;
}

// Everything written to standard output and error meanwhile.
class OutputCapture
{
public:
    OutputCapture() : m_file(std::tmpfile())
    {
        std::fflush(nullptr);
        for (int fd : {1, 2}) {
            m_saved[fd - 1] = ::dup(fd);
            ::dup2(fileno(m_file), fd);
        }
    }
    QByteArray finish()
    {
        std::fflush(nullptr);
        for (int fd : {1, 2}) {
            ::dup2(m_saved[fd - 1], fd);
            ::close(m_saved[fd - 1]);
        }
        std::rewind(m_file);
        QByteArray text;
        char chunk[256];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, m_file)) > 0)
            text.append(chunk, int(n));
        std::fclose(m_file);
        return text;
    }

private:
    FILE *m_file;
    int m_saved[2];
};

} // namespace

class TestAlsaBackend : public QObject
{
    Q_OBJECT

private slots:
    void joiner_data();
    void joiner();
    void joinerStartsOverAfterDrop();
    void listedPorts_data();
    void listedPorts();
    void eventMeaning_data();
    void eventMeaning();
    void noSequencerListsNothingQuietly();
};

void TestAlsaBackend::joiner_data()
{
    QTest::addColumn<Pieces>("pieces");
    QTest::addColumn<Results>("results");
    QTest::addColumn<Bytes>("message"); // of the last complete

    const Bytes frame{0xF0, 0x4E, 0x50, 0x23, 0x00, 0x2A, 0x00, 0xF7};
    QTest::newRow("whole in one event") << Pieces{frame} << Results{int(R::complete)} << frame;
    const Bytes long600 = sysex(600);
    QTest::newRow("cut into 256-byte pieces")
        << cut(long600) << repeated(R::partial, 2) + Results{int(R::complete)} << long600;
    const Bytes exact = sysex(512);
    QTest::newRow("cut exactly at a piece end")
        << cut(exact) << Results{int(R::partial), int(R::complete)} << exact;
    QTest::newRow("new F0 gives up the unfinished one")
        << Pieces{{0xF0, 0x01, 0x02}, {0x03}, frame}
        << Results{int(R::partial), int(R::partial), int(R::complete)} << frame;
    QTest::newRow("rest of a missed start is ignored")
        << Pieces{{0x05, 0x06}, {0x07, 0xF7}, frame}
        << Results{int(R::ignored), int(R::ignored), int(R::complete)} << frame;
    QTest::newRow("empty piece changes nothing")
        << Pieces{{0xF0, 0x01}, {}, {0x02, 0xF7}}
        << Results{int(R::partial), int(R::ignored), int(R::complete)} << Bytes{0xF0, 0x01, 0x02, 0xF7};
    const Bytes largest = sysex(SysexJoiner::limit);
    QTest::newRow("64 KiB kept") << cut(largest) << repeated(R::partial, 255) + Results{int(R::complete)}
                                 << largest;
    QTest::newRow("one byte over 64 KiB dropped, the next one kept")
        << cut(sysex(SysexJoiner::limit + 1)) + Pieces{frame}
        << repeated(R::partial, 256) + Results{int(R::dropped), int(R::complete)} << frame;
}

void TestAlsaBackend::joiner()
{
    QFETCH(Pieces, pieces);
    QFETCH(Results, results);
    QFETCH(Bytes, message);
    SysexJoiner joiner;
    Results got;
    for (const Bytes &piece : pieces)
        got.push_back(int(joiner.add(piece.data(), piece.size())));
    QCOMPARE(got, results);
    QCOMPARE(joiner.message(), message);
}

void TestAlsaBackend::joinerStartsOverAfterDrop()
{
    // A message over the limit that a new F0 interrupts: the new one is
    // joined from its start, not added to what was skipped.
    SysexJoiner joiner;
    const Pieces over = cut(sysex(SysexJoiner::limit + 300));
    for (size_t i = 0; i + 1 < over.size(); ++i)
        QCOMPARE(joiner.add(over[i].data(), over[i].size()), R::partial);
    const Bytes next = sysex(300);
    const Pieces pieces = cut(next);
    QCOMPARE(joiner.add(pieces[0].data(), pieces[0].size()), R::partial);
    QCOMPARE(joiner.add(pieces[1].data(), pieces[1].size()), R::complete);
    QCOMPARE(joiner.message(), next);
}

void TestAlsaBackend::listedPorts_data()
{
    QTest::addColumn<uint>("capabilities");
    QTest::addColumn<bool>("asInput");
    QTest::addColumn<bool>("asOutput");

    const uint read = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    const uint write = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    QTest::newRow("USB MIDI port, both ways") << (read | write | SND_SEQ_PORT_CAP_DUPLEX) << true << true;
    QTest::newRow("readable only") << read << true << false;
    QTest::newRow("writable only") << write << false << true;
    QTest::newRow("write without subscription") << uint(SND_SEQ_PORT_CAP_WRITE | read) << true << false;
    QTest::newRow("read without subscription") << uint(SND_SEQ_PORT_CAP_READ | write) << false << true;
    QTest::newRow("not exported (our own ports)")
        << (read | write | SND_SEQ_PORT_CAP_NO_EXPORT) << false << false;
    QTest::newRow("no capabilities") << 0u << false << false;
}

void TestAlsaBackend::listedPorts()
{
    QFETCH(uint, capabilities);
    QFETCH(bool, asInput);
    QFETCH(bool, asOutput);
    QCOMPARE(vzmidi::alsa::listed(true, capabilities), asInput);
    QCOMPARE(vzmidi::alsa::listed(false, capabilities), asOutput);
}

void TestAlsaBackend::eventMeaning_data()
{
    QTest::addColumn<snd_seq_event_t>("event");
    QTest::addColumn<int>("meaning");

    QTest::newRow("SysEx from the port")
        << eventAt(SND_SEQ_EVENT_SYSEX, kRemote) << int(EventMeaning::sysex_piece);
    QTest::newRow("SysEx from another port")
        << eventAt(SND_SEQ_EVENT_SYSEX, address(24, 1)) << int(EventMeaning::ignored);
    QTest::newRow("note from the port")
        << eventAt(SND_SEQ_EVENT_NOTEON, kRemote) << int(EventMeaning::ignored);
    QTest::newRow("clock from the port")
        << eventAt(SND_SEQ_EVENT_CLOCK, kRemote) << int(EventMeaning::ignored);
    QTest::newRow("the port exits") << announcement(SND_SEQ_EVENT_PORT_EXIT, kRemote)
                                    << int(EventMeaning::gone);
    QTest::newRow("another port of its client exits")
        << announcement(SND_SEQ_EVENT_PORT_EXIT, address(24, 1)) << int(EventMeaning::ignored);
    QTest::newRow("its client exits (unplugged)")
        << announcement(SND_SEQ_EVENT_CLIENT_EXIT, address(24, 0)) << int(EventMeaning::gone);
    QTest::newRow("another client exits")
        << announcement(SND_SEQ_EVENT_CLIENT_EXIT, address(20, 0)) << int(EventMeaning::ignored);
    QTest::newRow("a port starts") << announcement(SND_SEQ_EVENT_PORT_START, kRemote)
                                   << int(EventMeaning::ignored);
    QTest::newRow("our connection taken away") << unsubscribed(kRemote, kLocal) << int(EventMeaning::gone);
    QTest::newRow("someone else's connection ends")
        << unsubscribed(kRemote, address(131, 0)) << int(EventMeaning::ignored);
}

void TestAlsaBackend::eventMeaning()
{
    QFETCH(snd_seq_event_t, event);
    QFETCH(int, meaning);
    QCOMPARE(int(vzmidi::alsa::meaning(event, kRemote, kLocal)), meaning);
}

void TestAlsaBackend::noSequencerListsNothingQuietly()
{
    if (QFileInfo::exists(QStringLiteral("/dev/snd/seq")))
        QSKIP("this machine has a sequencer: its ports are listed");
    vzmidi_endpoint endpoints[4];
    OutputCapture capture;
    size_t counts[6];
    // As the app's poll does, once a second: never a word about it.
    for (int i = 0; i < 3; ++i) {
        counts[2 * i] = vzmidi_alsa_backend.list(0, endpoints, 4);
        counts[2 * i + 1] = vzmidi_alsa_backend.list(1, endpoints, 4);
    }
    const UINT outputs = midiOutGetNumDevs();
    const UINT inputs = midiInGetNumDevs();
    const QByteArray printed = capture.finish();
    QCOMPARE(printed, QByteArray());
    for (size_t count : counts)
        QCOMPARE(count, size_t(0));
    QCOMPARE(outputs, 0u);
    QCOMPARE(inputs, 0u);
    QCOMPARE(vzmidi_alsa_backend.open(0, 1, nullptr, nullptr, nullptr), nullptr);
}

QTEST_GUILESS_MAIN(TestAlsaBackend)
#include "tst_alsa_backend.moc"
