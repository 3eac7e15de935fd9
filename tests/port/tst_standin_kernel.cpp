// The stand-in's kernel objects as the port layer uses them: auto- and
// manual-reset events waited on from other threads, stale handles, a
// recursive critical section that excludes other threads, and the clock.
#include <QtTest>

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

class TestStandInKernel : public QObject
{
    Q_OBJECT
private slots:
    void eventResetModes_data();
    void eventResetModes();
    void eventWakesWaiterOnAnotherThread();
    void staleHandlesAreRefused();
    void namedEventsAreRefused();
    void criticalSectionExcludesAndNests();
    void tickCountFollowsSleep();
};

void TestStandInKernel::eventResetModes_data()
{
    QTest::addColumn<bool>("manualReset");
    QTest::addColumn<bool>("initiallySet");
    QTest::addColumn<bool>("setsAfterFirstWait");
    QTest::newRow("auto, clear") << false << false << false;
    QTest::newRow("auto, set") << false << true << false;
    QTest::newRow("manual, clear") << true << false << true;
    QTest::newRow("manual, set") << true << true << true;
}

void TestStandInKernel::eventResetModes()
{
    QFETCH(bool, manualReset);
    QFETCH(bool, initiallySet);
    QFETCH(bool, setsAfterFirstWait);
    HANDLE event = CreateEventW(nullptr, manualReset, initiallySet, nullptr);
    QVERIFY(event);
    QCOMPARE(WaitForSingleObject(event, 0), initiallySet ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
    QVERIFY(SetEvent(event));
    QCOMPARE(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    QCOMPARE(WaitForSingleObject(event, 0), setsAfterFirstWait ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
    QVERIFY(ResetEvent(event));
    QCOMPARE(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    QVERIFY(CloseHandle(event));
}

void TestStandInKernel::eventWakesWaiterOnAnotherThread()
{
    HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<DWORD> result{0xDEAD};
    std::thread waiter([&] {
        SetEvent(ready);
        result = WaitForSingleObject(go, INFINITE);
    });
    QCOMPARE(WaitForSingleObject(ready, INFINITE), WAIT_OBJECT_0);
    QVERIFY(SetEvent(go));
    waiter.join();
    QCOMPARE(result.load(), WAIT_OBJECT_0);
    // The wake used the signal up.
    QCOMPARE(WaitForSingleObject(go, 0), WAIT_TIMEOUT);
    CloseHandle(ready);
    CloseHandle(go);
}

void TestStandInKernel::staleHandlesAreRefused()
{
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    QVERIFY(CloseHandle(event));
    QCOMPARE(WaitForSingleObject(event, 0), WAIT_FAILED);
    QVERIFY(!SetEvent(event));
    QVERIFY(!ResetEvent(event));
    QVERIFY(!CloseHandle(event));
    QCOMPARE(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    QVERIFY(!SetEvent(nullptr));
    // A new event never takes the old one's handle.
    HANDLE next = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    QVERIFY(next != event);
    CloseHandle(next);
}

void TestStandInKernel::namedEventsAreRefused()
{
    QVERIFY(!CreateEventW(nullptr, FALSE, FALSE, L"Q7"));
}

void TestStandInKernel::criticalSectionExcludesAndNests()
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    long counter = 0; // guarded by section only
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            EnterCriticalSection(&section);
            EnterCriticalSection(&section);
            ++counter;
            LeaveCriticalSection(&section);
            LeaveCriticalSection(&section);
        }
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i)
        threads.emplace_back(work);
    for (std::thread &thread : threads)
        thread.join();
    QCOMPARE(counter, 60000L);
    DeleteCriticalSection(&section);
}

void TestStandInKernel::tickCountFollowsSleep()
{
    const DWORD before = GetTickCount();
    QElapsedTimer timer;
    timer.start();
    Sleep(30);
    const qint64 slept = timer.elapsed();
    const DWORD ticks = GetTickCount() - before;
    QVERIFY2(slept >= 30, qPrintable(QString::number(slept)));
    QVERIFY2(ticks >= 29 && ticks <= DWORD(slept) + 2, qPrintable(QString::number(ticks)));
}

QTEST_GUILESS_MAIN(TestStandInKernel)
#include "tst_standin_kernel.moc"
