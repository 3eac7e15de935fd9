// What the port layer relies on in the stand-in's MIDI functions: the
// device lists, one message in flight on an output, notifications on a
// thread of the stand-in, long messages cut to the queued buffers, reset
// handing buffers back, and no notification after a close.
#include <QtTest>

#include <mmsystem.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include "virtual_device.h"

Q_DECLARE_METATYPE(Bytes)

namespace
{

struct Notice {
    UINT code;
    DWORD_PTR param1;
    DWORD_PTR param2;
    std::thread::id thread;
    Bytes data; // of a returned buffer, as recorded
    DWORD flags;
};

// Records the notifications of one port; may give returned input buffers
// back to the port, as the port layer does.
class NoticeLog
{
public:
    std::atomic<bool> giveBack{false};

    std::vector<Notice> notices() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_notices;
    }
    int count(UINT code) const
    {
        int n = 0;
        for (const Notice &notice : notices())
            n += notice.code == code;
        return n;
    }
    std::vector<Notice> of(UINT code) const
    {
        std::vector<Notice> found;
        for (const Notice &notice : notices())
            if (notice.code == code)
                found.push_back(notice);
        return found;
    }

    static void CALLBACK outProc(HMIDIOUT, UINT code, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2)
    {
        reinterpret_cast<NoticeLog *>(instance)->add(
            {code, param1, param2, std::this_thread::get_id(), {}, 0});
    }
    static void CALLBACK inProc(HMIDIIN handle, UINT code, DWORD_PTR instance, DWORD_PTR param1,
                                DWORD_PTR param2)
    {
        auto *log = reinterpret_cast<NoticeLog *>(instance);
        Notice notice{code, param1, param2, std::this_thread::get_id(), {}, 0};
        if (code == MIM_LONGDATA || code == MIM_LONGERROR) {
            auto *header = reinterpret_cast<MIDIHDR *>(param1);
            const auto *data = reinterpret_cast<const uint8_t *>(header->lpData);
            notice.data.assign(data, data + header->dwBytesRecorded);
            notice.flags = __atomic_load_n(&header->dwFlags, __ATOMIC_ACQUIRE);
            if (log->giveBack)
                midiInAddBuffer(handle, header, sizeof *header);
        }
        log->add(notice);
    }

private:
    void add(const Notice &notice)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_notices.push_back(notice);
    }

    mutable std::mutex m_mutex;
    std::vector<Notice> m_notices;
};

// The index of the only port of that name in the fresh output or input list.
int indexOf(bool input, const QString &name)
{
    const UINT count = input ? midiInGetNumDevs() : midiOutGetNumDevs();
    int found = -1;
    for (UINT i = 0; i < count; ++i) {
        MIDIOUTCAPSW outCaps;
        MIDIINCAPSW inCaps;
        const MMRESULT result = input ? midiInGetDevCapsW(i, &inCaps, sizeof inCaps)
                                      : midiOutGetDevCapsW(i, &outCaps, sizeof outCaps);
        if (result == MMSYSERR_NOERROR &&
            QString::fromWCharArray(input ? inCaps.szPname : outCaps.szPname) == name)
            found = int(i);
    }
    return found;
}

struct InputBuffer {
    explicit InputBuffer(size_t size) : bytes(size)
    {
        std::memset(&header, 0, sizeof header);
        header.lpData = reinterpret_cast<LPSTR>(bytes.data());
        header.dwBufferLength = DWORD(size);
    }
    DWORD flags() const { return __atomic_load_n(&header.dwFlags, __ATOMIC_ACQUIRE); }
    Bytes bytes;
    MIDIHDR header;
};

// A frame to send and the header that describes it.
struct OutputFrame {
    explicit OutputFrame(const char *payloadHex) : bytes(frameOf(fromHex(payloadHex)))
    {
        std::memset(&header, 0, sizeof header);
        header.lpData = reinterpret_cast<LPSTR>(bytes.data());
        header.dwBufferLength = DWORD(bytes.size());
    }
    DWORD flags() const { return __atomic_load_n(&header.dwFlags, __ATOMIC_ACQUIRE); }
    Bytes bytes;
    MIDIHDR header;
};

// Opens the only output, with log's callback.
HMIDIOUT openOutput(NoticeLog &log)
{
    HMIDIOUT handle = nullptr;
    if (midiOutGetNumDevs() != 1 ||
        midiOutOpen(&handle, 0, reinterpret_cast<DWORD_PTR>(NoticeLog::outProc),
                    reinterpret_cast<DWORD_PTR>(&log), CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
        return nullptr;
    return handle;
}

} // namespace

class TestStandInMidi : public QObject
{
    Q_OBJECT
private slots:
    void wideNames_data();
    void wideNames();
    void vanishedIndexIsBadDevice();
    void portsAreExclusive();
    void oneLongMessageInFlight();
    void doneWhenTakenNotifiedElsewhere();
    void longMessagesFillBuffers_data();
    void longMessagesFillBuffers();
    void shortMessages_data();
    void shortMessages();
    void inputOnlyWhileStarted();
    void resetGivesBuffersBack();
    void closeNotifiesLast();
    void unpluggedOutputFails();

private:
    HMIDIIN openInput(VirtualDevice &device, NoticeLog &log);
};

HMIDIIN TestStandInMidi::openInput(VirtualDevice &device, NoticeLog &log)
{
    Q_UNUSED(device);
    HMIDIIN handle = nullptr;
    const int index = indexOf(true, QStringLiteral("Q7 CONTROL"));
    if (index < 0 || midiInOpen(&handle, UINT(index), reinterpret_cast<DWORD_PTR>(NoticeLog::inProc),
                                reinterpret_cast<DWORD_PTR>(&log), CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
        return nullptr;
    return handle;
}

void TestStandInMidi::wideNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("wide");
    QTest::newRow("ascii") << QByteArray("Q7 CONTROL") << QStringLiteral("Q7 CONTROL");
    QTest::newRow("two-byte UTF-8") << QByteArray("Q7 CONTR\xc3\x96L")
                                    << QString::fromUtf8("Q7 CONTR\xc3\x96L");
    QTest::newRow("three-byte UTF-8")
        << QByteArray("\xe9\x8c\xb2\xe9\x9f\xb3") << QString::fromUtf8("\xe9\x8c\xb2\xe9\x9f\xb3");
    QTest::newRow("cut to 31") << QByteArray(40, 'x') << QString(31, 'x');
    QTest::newRow("malformed byte") << QByteArray("A\xff"
                                                  "B")
                                    << QString::fromUtf8("A\xef\xbf\xbd"
                                                         "B");
    QTest::newRow("cut inside a character") << QByteArray("Q\xc3") << QString::fromUtf8("Q\xef\xbf\xbd");
}

void TestStandInMidi::wideNames()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, wide);
    VirtualDevice device(name.constData());
    QCOMPARE(midiOutGetNumDevs(), 1u);
    QCOMPARE(midiInGetNumDevs(), 1u);
    MIDIOUTCAPSW outCaps;
    MIDIINCAPSW inCaps;
    QCOMPARE(midiOutGetDevCapsW(0, &outCaps, sizeof outCaps), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(midiInGetDevCapsW(0, &inCaps, sizeof inCaps), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(QString::fromWCharArray(outCaps.szPname), wide);
    QCOMPARE(QString::fromWCharArray(inCaps.szPname), wide);
}

// The lists change only when counted; a port that has gone meanwhile
// answers "bad device".
void TestStandInMidi::vanishedIndexIsBadDevice()
{
    auto first = std::make_unique<VirtualDevice>("FIRST");
    VirtualDevice second("SECOND");
    QCOMPARE(midiOutGetNumDevs(), 2u);
    first->unplug();
    MIDIOUTCAPSW caps;
    QCOMPARE(midiOutGetDevCapsW(0, &caps, sizeof caps), MMRESULT(MMSYSERR_BADDEVICEID));
    QCOMPARE(midiOutGetDevCapsW(1, &caps, sizeof caps), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(QString::fromWCharArray(caps.szPname), QStringLiteral("SECOND"));
    QCOMPARE(midiOutGetDevCapsW(2, &caps, sizeof caps), MMRESULT(MMSYSERR_BADDEVICEID));
    HMIDIOUT handle = nullptr;
    QCOMPARE(midiOutOpen(&handle, 0, 0, 0, CALLBACK_NULL), MMRESULT(MMSYSERR_BADDEVICEID));
    QCOMPARE(midiOutGetNumDevs(), 1u);
    QCOMPARE(midiOutGetDevCapsW(0, &caps, sizeof caps), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(QString::fromWCharArray(caps.szPname), QStringLiteral("SECOND"));
}

void TestStandInMidi::portsAreExclusive()
{
    VirtualDevice device;
    QCOMPARE(midiOutGetNumDevs(), 1u);
    HMIDIOUT first = nullptr;
    HMIDIOUT second = nullptr;
    QCOMPARE(midiOutOpen(&first, 0, 0, 0, CALLBACK_NULL), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(midiOutOpen(&second, 0, 0, 0, CALLBACK_NULL), MMRESULT(MMSYSERR_ALLOCATED));
    QCOMPARE(midiOutClose(first), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(midiOutClose(first), MMRESULT(MMSYSERR_INVALHANDLE));
    vzmidi_virtual_set_busy(device.port(), 1);
    QCOMPARE(midiOutOpen(&second, 0, 0, 0, CALLBACK_NULL), MMRESULT(MMSYSERR_ALLOCATED));
    vzmidi_virtual_set_busy(device.port(), 0);
    QCOMPARE(midiOutOpen(&second, 0, 0, 0, CALLBACK_NULL), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(midiOutClose(second), MMRESULT(MMSYSERR_NOERROR));
}

void TestStandInMidi::oneLongMessageInFlight()
{
    VirtualDevice device;
    NoticeLog log;
    HMIDIOUT handle = openOutput(log);
    QVERIFY(handle);
    OutputFrame first("5501");
    OutputFrame second("0801");
    const UINT size = sizeof(MIDIHDR);

    QCOMPARE(midiOutLongMsg(handle, &first.header, size), MMRESULT(MIDIERR_UNPREPARED));
    QCOMPARE(midiOutPrepareHeader(handle, &first.header, size), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(midiOutPrepareHeader(handle, &second.header, size), MMRESULT(MMSYSERR_NOERROR));
    vzmidi_virtual_hold(device.port(), 1);
    QCOMPARE(midiOutLongMsg(handle, &first.header, size), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(midiOutLongMsg(handle, &second.header, size), MMRESULT(MIDIERR_UNPREPARED));
    QCOMPARE(midiOutLongMsg(handle, &first.header, size), MMRESULT(MIDIERR_UNPREPARED));
    QCOMPARE(midiOutUnprepareHeader(handle, &first.header, size), MMRESULT(MIDIERR_STILLPLAYING));
    QCOMPARE(midiOutClose(handle), MMRESULT(MIDIERR_STILLPLAYING));
    QCOMPARE(first.flags() & (MHDR_DONE | MHDR_INQUEUE), DWORD(MHDR_INQUEUE));

    // A reset gives the message back at once; the device still gets it
    // when the hold ends, as from a port that had already taken it.
    QCOMPARE(midiOutReset(handle), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(first.flags() & (MHDR_DONE | MHDR_INQUEUE), DWORD(MHDR_DONE));
    QTRY_COMPARE(log.count(MOM_DONE), 1);
    QCOMPARE(log.of(MOM_DONE).front().param1, reinterpret_cast<DWORD_PTR>(&first.header));
    QCOMPARE(midiOutUnprepareHeader(handle, &first.header, size), MMRESULT(MMSYSERR_NOERROR));
    QVERIFY(!(first.flags() & MHDR_PREPARED));

    QCOMPARE(midiOutLongMsg(handle, &second.header, size), MMRESULT(MMSYSERR_NOERROR));
    vzmidi_virtual_hold(device.port(), 0);
    QCOMPARE(second.flags() & (MHDR_DONE | MHDR_INQUEUE), DWORD(MHDR_DONE));
    const std::vector<Bytes> received = device.received();
    QCOMPARE(received.size(), size_t(2));
    QCOMPARE(toByteArray(received[0]), toByteArray(first.bytes));
    QCOMPARE(toByteArray(received[1]), toByteArray(second.bytes));
    QCOMPARE(midiOutClose(handle), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(log.notices().back().code, UINT(MOM_CLOSE));
    QCOMPARE(log.count(MOM_OPEN), 1);
    QCOMPARE(log.count(MOM_DONE), 2);
}

// A port that takes the message at once has sent it, and marked it done,
// when midiOutLongMsg returns; the notification comes on another thread.
void TestStandInMidi::doneWhenTakenNotifiedElsewhere()
{
    VirtualDevice device;
    NoticeLog log;
    HMIDIOUT handle = openOutput(log);
    QVERIFY(handle);
    OutputFrame frame("5501");
    QCOMPARE(midiOutPrepareHeader(handle, &frame.header, sizeof frame.header), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(midiOutLongMsg(handle, &frame.header, sizeof frame.header), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(frame.flags() & (MHDR_DONE | MHDR_INQUEUE), DWORD(MHDR_DONE));
    QCOMPARE(device.received().size(), size_t(1));
    QCOMPARE(toByteArray(device.received().front()), toByteArray(frame.bytes));
    QTRY_COMPARE(log.count(MOM_DONE), 1);
    QCOMPARE(midiOutClose(handle), MMRESULT(MMSYSERR_NOERROR));
    const std::thread::id notifier = log.of(MOM_DONE).front().thread;
    QVERIFY(notifier != std::this_thread::get_id());
    for (const Notice &notice : log.notices())
        QVERIFY(notice.thread == notifier);
}

void TestStandInMidi::longMessagesFillBuffers_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("ended");
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<bool>("giveBack");
    QTest::addColumn<QList<int>>("pieces");
    QTest::addColumn<UINT>("lastCode");
    QTest::newRow("fits") << 100 << true << 2048 << true << QList<int>{100} << UINT(MIM_LONGDATA);
    QTest::newRow("fills exactly") << 2048 << true << 2048 << true << QList<int>{2048} << UINT(MIM_LONGDATA);
    QTest::newRow("two pieces") << 3000 << true << 2048 << true << QList<int>{2048, 952}
                                << UINT(MIM_LONGDATA);
    QTest::newRow("three pieces") << 5000 << true << 2048 << true << QList<int>{2048, 2048, 904}
                                  << UINT(MIM_LONGDATA);
    QTest::newRow("small buffer") << 100 << true << 32 << true << QList<int>{32, 32, 32, 4}
                                  << UINT(MIM_LONGDATA);
    QTest::newRow("rest finds no buffer")
        << 3000 << true << 2048 << false << QList<int>{2048} << UINT(MIM_LONGDATA);
    QTest::newRow("no end byte") << 10 << false << 2048 << true << QList<int>{10} << UINT(MIM_LONGERROR);
    QTest::newRow("no end byte, two pieces")
        << 40 << false << 32 << true << QList<int>{32, 8} << UINT(MIM_LONGERROR);
}

void TestStandInMidi::longMessagesFillBuffers()
{
    QFETCH(int, length);
    QFETCH(bool, ended);
    QFETCH(int, bufferSize);
    QFETCH(bool, giveBack);
    QFETCH(QList<int>, pieces);
    QFETCH(UINT, lastCode);
    VirtualDevice device;
    NoticeLog log;
    log.giveBack = giveBack;
    HMIDIIN handle = openInput(device, log);
    QVERIFY(handle);
    InputBuffer buffer(static_cast<size_t>(bufferSize));
    QCOMPARE(midiInPrepareHeader(handle, &buffer.header, sizeof buffer.header), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(midiInAddBuffer(handle, &buffer.header, sizeof buffer.header), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(midiInStart(handle), MMRESULT(MMSYSERR_NOERROR));

    Bytes message(static_cast<size_t>(length));
    for (size_t i = 0; i < message.size(); ++i)
        message[i] = uint8_t(i % 0x80);
    message.front() = 0xF0;
    if (ended)
        message.back() = 0xF7;
    QVERIFY(device.deliver(message));
    // A message after it shows when the long one has been handled.
    QVERIFY(device.deliver(fromHex("fe")));
    QTRY_COMPARE(log.count(MIM_DATA), 1);

    std::vector<Notice> returned;
    for (const Notice &notice : log.notices())
        if (notice.code == MIM_LONGDATA || notice.code == MIM_LONGERROR)
            returned.push_back(notice);
    QCOMPARE(int(returned.size()), pieces.size());
    Bytes joined;
    for (size_t i = 0; i < returned.size(); ++i) {
        QCOMPARE(int(returned[i].data.size()), pieces[int(i)]);
        QCOMPARE(returned[i].code, i + 1 == returned.size() ? lastCode : UINT(MIM_LONGDATA));
        QVERIFY(returned[i].flags & MHDR_DONE);
        QVERIFY(!(returned[i].flags & MHDR_INQUEUE));
        joined.insert(joined.end(), returned[i].data.begin(), returned[i].data.end());
    }
    QCOMPARE(toByteArray(joined), toByteArray(message).left(int(joined.size())));

    log.giveBack = false;
    QCOMPARE(midiInReset(handle), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(midiInUnprepareHeader(handle, &buffer.header, sizeof buffer.header), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(midiInClose(handle), MMRESULT(MMSYSERR_NOERROR));
}

void TestStandInMidi::shortMessages_data()
{
    QTest::addColumn<Bytes>("message");
    QTest::addColumn<UINT>("code");
    QTest::addColumn<qulonglong>("packed");
    QTest::newRow("note on") << fromHex("90407f") << UINT(MIM_DATA) << 0x7f4090ull;
    QTest::newRow("program change") << fromHex("c005") << UINT(MIM_DATA) << 0x05c0ull;
    QTest::newRow("active sensing") << fromHex("fe") << UINT(MIM_DATA) << 0xfeull;
    QTest::newRow("too long") << fromHex("9040 7f 01") << UINT(MIM_ERROR) << 0x7f4090ull;
}

void TestStandInMidi::shortMessages()
{
    QFETCH(Bytes, message);
    QFETCH(UINT, code);
    QFETCH(qulonglong, packed);
    VirtualDevice device;
    NoticeLog log;
    HMIDIIN handle = openInput(device, log);
    QVERIFY(handle);
    QCOMPARE(midiInStart(handle), MMRESULT(MMSYSERR_NOERROR));
    QVERIFY(device.deliver(message));
    QTRY_COMPARE(log.count(code), 1);
    QCOMPARE(qulonglong(log.of(code).front().param1), packed);
    QCOMPARE(midiInClose(handle), MMRESULT(MMSYSERR_NOERROR));
}

void TestStandInMidi::inputOnlyWhileStarted()
{
    VirtualDevice device;
    NoticeLog log;
    HMIDIIN handle = openInput(device, log);
    QVERIFY(handle);
    QVERIFY(device.deliver(fromHex("90407f")));
    QCOMPARE(midiInStart(handle), MMRESULT(MMSYSERR_NOERROR));
    QVERIFY(device.deliver(fromHex("90417f")));
    QTRY_COMPARE(log.count(MIM_DATA), 1);
    QCOMPARE(midiInStop(handle), MMRESULT(MMSYSERR_NOERROR));
    QVERIFY(device.deliver(fromHex("90427f")));
    QCOMPARE(midiInClose(handle), MMRESULT(MMSYSERR_NOERROR));
    const std::vector<Notice> data = log.of(MIM_DATA);
    QCOMPARE(data.size(), size_t(1));
    QCOMPARE(qulonglong(data.front().param1), 0x7f4190ull);
}

void TestStandInMidi::resetGivesBuffersBack()
{
    VirtualDevice device;
    NoticeLog log;
    HMIDIIN handle = openInput(device, log);
    QVERIFY(handle);
    InputBuffer first(64);
    InputBuffer second(64);
    for (InputBuffer *buffer : {&first, &second}) {
        QCOMPARE(midiInAddBuffer(handle, &buffer->header, sizeof buffer->header),
                 MMRESULT(MIDIERR_UNPREPARED));
        QCOMPARE(midiInPrepareHeader(handle, &buffer->header, sizeof buffer->header),
                 MMRESULT(MMSYSERR_NOERROR));
        QCOMPARE(midiInAddBuffer(handle, &buffer->header, sizeof buffer->header), MMRESULT(MMSYSERR_NOERROR));
        QCOMPARE(midiInAddBuffer(handle, &buffer->header, sizeof buffer->header),
                 MMRESULT(MIDIERR_STILLPLAYING));
        QVERIFY(buffer->flags() & MHDR_INQUEUE);
    }
    QCOMPARE(midiInStart(handle), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(midiInUnprepareHeader(handle, &first.header, sizeof first.header),
             MMRESULT(MIDIERR_STILLPLAYING));
    QCOMPARE(midiInClose(handle), MMRESULT(MIDIERR_STILLPLAYING));

    QCOMPARE(midiInReset(handle), MMRESULT(MMSYSERR_NOERROR));
    // Both came back before the reset returned, empty and done.
    const std::vector<Notice> returned = log.of(MIM_LONGDATA);
    QCOMPARE(returned.size(), size_t(2));
    QCOMPARE(returned[0].param1, reinterpret_cast<DWORD_PTR>(&first.header));
    QCOMPARE(returned[1].param1, reinterpret_cast<DWORD_PTR>(&second.header));
    for (const Notice &notice : returned) {
        QVERIFY(notice.data.empty());
        QCOMPARE(notice.flags & (MHDR_DONE | MHDR_INQUEUE), DWORD(MHDR_DONE));
    }
    // Input has stopped.
    QVERIFY(device.deliver(fromHex("90407f")));
    for (InputBuffer *buffer : {&first, &second})
        QCOMPARE(midiInUnprepareHeader(handle, &buffer->header, sizeof buffer->header),
                 MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(midiInClose(handle), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(log.count(MIM_DATA), 0);
}

void TestStandInMidi::closeNotifiesLast()
{
    VirtualDevice device;
    NoticeLog log;
    HMIDIIN handle = openInput(device, log);
    QVERIFY(handle);
    QCOMPARE(midiInStart(handle), MMRESULT(MMSYSERR_NOERROR));
    for (int i = 0; i < 20; ++i)
        QVERIFY(device.deliver(fromHex("90407f")));
    QCOMPARE(midiInClose(handle), MMRESULT(MMSYSERR_NOERROR));
    // The close notification was made before the close returned, and
    // nothing follows it: the port is no longer open.
    const std::vector<Notice> before = log.notices();
    QVERIFY(!before.empty());
    QCOMPARE(before.front().code, UINT(MIM_OPEN));
    QCOMPARE(before.back().code, UINT(MIM_CLOSE));
    QVERIFY(!device.deliver(fromHex("90407f")));
    QCOMPARE(device.state().input_open, 0);
    QCOMPARE(midiInStart(handle), MMRESULT(MMSYSERR_INVALHANDLE));
    QCOMPARE(log.notices().size(), before.size());
}

void TestStandInMidi::unpluggedOutputFails()
{
    auto device = std::make_unique<VirtualDevice>();
    NoticeLog log;
    HMIDIOUT handle = openOutput(log);
    QVERIFY(handle);
    OutputFrame frame("5501");
    QCOMPARE(midiOutPrepareHeader(handle, &frame.header, sizeof frame.header), MMRESULT(MMSYSERR_NOERROR));
    device->unplug();
    QCOMPARE(midiOutLongMsg(handle, &frame.header, sizeof frame.header), MMRESULT(MIDIERR_NODEVICE));
    QCOMPARE(midiOutGetNumDevs(), 0u);
    QCOMPARE(midiOutUnprepareHeader(handle, &frame.header, sizeof frame.header), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(midiOutClose(handle), MMRESULT(MMSYSERR_NOERROR));
    QCOMPARE(log.notices().back().code, UINT(MOM_CLOSE));
}

QTEST_GUILESS_MAIN(TestStandInMidi)
#include "tst_standin_midi.moc"
