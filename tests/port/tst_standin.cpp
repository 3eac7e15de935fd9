// The kernel events of the platform stand-in, which the port layer's
// mailbox and send ring wait on across threads.
#include <QtTest>

#include <thread>

#include <windows.h>

class TestStandIn : public QObject
{
    Q_OBJECT

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
};

QTEST_GUILESS_MAIN(TestStandIn)
#include "tst_standin.moc"
