// What the port layer relies on in the platform stand-in beyond what the port
// tests see: events, long messages in pieces, buffers given back, close.
#include <QtTest>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "port_test_support.h"

namespace
{

struct Notice {
    UINT code;
    DWORD_PTR param1;
    std::thread::id thread;
    QByteArray data; // of a returned buffer, as recorded
    DWORD flags;
};

// Records the notifications of one port; may give returned input buffers
// back to the port, as the port layer does.
struct NoticeLog {
    std::atomic<bool> giveBack{false};
    std::function<void()> onData; // runs for each short message
    mutable std::mutex mutex;
    std::vector<Notice> notices;

    // The notifications of one code, or all of them.
    std::vector<Notice> of(UINT code = 0) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<Notice> found;
        for (const Notice &notice : notices)
            if (code == 0 || notice.code == code)
                found.push_back(notice);
        return found;
    }
    static void CALLBACK inProc(HMIDIIN handle, UINT code, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
    {
        auto *log = reinterpret_cast<NoticeLog *>(instance);
        Notice notice{code, param1, std::this_thread::get_id(), {}, 0};
        if (code == MIM_DATA && log->onData)
            log->onData();
        if (code == MIM_LONGDATA || code == MIM_LONGERROR) {
            auto *header = reinterpret_cast<MIDIHDR *>(param1);
            notice.data = QByteArray(header->lpData, int(header->dwBytesRecorded));
            notice.flags = __atomic_load_n(&header->dwFlags, __ATOMIC_ACQUIRE) & (MHDR_DONE | MHDR_INQUEUE);
            if (log->giveBack)
                midiInAddBuffer(handle, header, sizeof *header);
        }
        std::lock_guard<std::mutex> lock(log->mutex);
        log->notices.push_back(notice);
    }
};

// Bytes and the header that describes them.
struct Buffer {
    explicit Buffer(const QByteArray &content) : bytes(content)
    {
        std::memset(&header, 0, sizeof header);
        header.lpData = bytes.data();
        header.dwBufferLength = DWORD(bytes.size());
    }
    DWORD state() const
    {
        return __atomic_load_n(&header.dwFlags, __ATOMIC_ACQUIRE) & (MHDR_DONE | MHDR_INQUEUE);
    }
    QByteArray bytes;
    MIDIHDR header;
};

const UINT headerSize = sizeof(MIDIHDR);
const DWORD done = MHDR_DONE;
const MMRESULT ok = MMSYSERR_NOERROR;

} // namespace

class TestStandIn : public QObject
{
    Q_OBJECT
    // The only input, opened with log's callback after a count.
    HMIDIIN openInput(NoticeLog &log)
    {
        HMIDIIN handle = nullptr;
        midiInGetNumDevs();
        midiInOpen(&handle, 0, DWORD_PTR(NoticeLog::inProc), DWORD_PTR(&log), CALLBACK_FUNCTION);
        return handle;
    }

private slots:
    void events_data()
    {
        QTest::addColumn<bool>("manualReset");
        QTest::newRow("auto reset") << false;
        QTest::newRow("manual reset") << true;
    }
    void events()
    {
        QFETCH(bool, manualReset);
        HANDLE event = CreateEventW(nullptr, manualReset, TRUE, nullptr);
        QCOMPARE(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
        QCOMPARE(WaitForSingleObject(event, 0), manualReset ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
        QVERIFY(ResetEvent(event));
        QCOMPARE(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
        // Set from another thread while this one waits.
        std::thread setter([event] { SetEvent(event); });
        QCOMPARE(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
        setter.join();
        QVERIFY(CloseHandle(event));
        // A stale handle is refused, and never given to a new event.
        QCOMPARE(WaitForSingleObject(event, 0), WAIT_FAILED);
        HANDLE next = CreateEventW(nullptr, manualReset, FALSE, nullptr);
        QVERIFY(next != event && CloseHandle(next));
    }

    void longMessagesFillBuffers_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("ended");
        QTest::addColumn<QList<int>>("pieces");
        // Into one buffer of 2048 bytes, given back as the port layer does.
        QTest::newRow("fills exactly") << 2048 << true << QList<int>{2048};
        QTest::newRow("three pieces") << 5000 << true << QList<int>{2048, 2048, 904};
        QTest::newRow("no end byte") << 2100 << false << QList<int>{2048, 52};
    }
    void longMessagesFillBuffers()
    {
        QFETCH(int, length);
        QFETCH(bool, ended);
        QFETCH(QList<int>, pieces);
        VirtualDevice device;
        NoticeLog log;
        log.giveBack = true;
        HMIDIIN handle = openInput(log);
        QVERIFY(handle);
        Buffer buffer(QByteArray(2048, 0));
        QCOMPARE(midiInPrepareHeader(handle, &buffer.header, headerSize), ok);
        QCOMPARE(midiInAddBuffer(handle, &buffer.header, headerSize), ok);
        QCOMPARE(midiInStart(handle), ok);
        QByteArray message(length, 0);
        for (int i = 1; i < length; ++i)
            message[i] = char(i % 0x80);
        message[0] = '\xf0';
        message[length - 1] = ended ? '\xf7' : '\x01';
        QVERIFY(device.deliver(message));
        // A message after it shows when the long one has been handled.
        QVERIFY(device.deliver(QByteArray::fromHex("fe")));
        QTRY_COMPARE(log.of(MIM_DATA).size(), size_t(1));

        std::vector<Notice> returned = log.of(MIM_LONGDATA);
        for (const Notice &notice : log.of(MIM_LONGERROR))
            returned.push_back(notice);
        QCOMPARE(int(returned.size()), pieces.size());
        QByteArray joined;
        for (size_t i = 0; i < returned.size(); ++i) {
            QCOMPARE(returned[i].data.size(), pieces[int(i)]);
            QCOMPARE(returned[i].code,
                     UINT(i + 1 == returned.size() && !ended ? MIM_LONGERROR : MIM_LONGDATA));
            QCOMPARE(returned[i].flags, done);
            joined += returned[i].data;
        }
        QCOMPARE(joined, message.left(joined.size()));
        log.giveBack = false;
        QCOMPARE(midiInReset(handle), ok);
        QCOMPARE(midiInClose(handle), ok);
    }

    // Buffers queue once and stay with the port until a reset hands them back.
    void resetAndClose()
    {
        VirtualDevice device;
        NoticeLog log;
        HMIDIIN handle = openInput(log);
        QVERIFY(handle);
        Buffer first(QByteArray(64, 0));
        Buffer second(QByteArray(64, 0));
        for (Buffer *buffer : {&first, &second}) {
            QCOMPARE(midiInAddBuffer(handle, &buffer->header, headerSize), MMRESULT(MIDIERR_UNPREPARED));
            QCOMPARE(midiInPrepareHeader(handle, &buffer->header, headerSize), ok);
            QCOMPARE(midiInAddBuffer(handle, &buffer->header, headerSize), ok);
            QCOMPARE(midiInAddBuffer(handle, &buffer->header, headerSize), MMRESULT(MIDIERR_STILLPLAYING));
            QCOMPARE(buffer->state(), DWORD(MHDR_INQUEUE));
        }
        QCOMPARE(midiInStart(handle), ok);
        QCOMPARE(midiInUnprepareHeader(handle, &first.header, headerSize), MMRESULT(MIDIERR_STILLPLAYING));
        QCOMPARE(midiInClose(handle), MMRESULT(MIDIERR_STILLPLAYING));
        QCOMPARE(midiInReset(handle), ok);
        // Both came back, in order, before the reset returned, empty and done.
        const std::vector<Notice> returned = log.of(MIM_LONGDATA);
        QCOMPARE(returned.size(), size_t(2));
        QCOMPARE(returned[0].param1, DWORD_PTR(&first.header));
        QCOMPARE(returned[1].param1, DWORD_PTR(&second.header));
        for (const Notice &notice : returned) {
            QVERIFY(notice.data.isEmpty());
            QCOMPARE(notice.flags, done);
        }
        for (Buffer *buffer : {&first, &second})
            QCOMPARE(midiInUnprepareHeader(handle, &buffer->header, headerSize), ok);
        // Input again, the notifications held up until the close is under
        // way: the close notification still comes last, before it returns.
        log.onData = [&] {
            for (int ms = 0; ms < 5000 && device.state().input_open; ++ms)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        QCOMPARE(midiInStart(handle), ok);
        for (int i = 0; i < 20; ++i)
            QVERIFY(device.deliver(QByteArray::fromHex("90407f")));
        QCOMPARE(midiInClose(handle), ok);
        const std::vector<Notice> made = log.of();
        QCOMPARE(made.back().code, UINT(MIM_CLOSE));
        QVERIFY(!device.deliver(QByteArray::fromHex("90407f")));
        QCOMPARE(log.of().size(), made.size());
    }
};

QTEST_GUILESS_MAIN(TestStandIn)
#include "tst_standin.moc"
