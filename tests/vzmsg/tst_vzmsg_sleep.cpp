// The sleep hook may be swapped while other threads sleep through it.
#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

#include "vzmsg.h"

static std::atomic<int> hookCalls{0};
static void countSleep(uint32_t)
{
    hookCalls.fetch_add(1);
}

class TestVzmsgSleep : public QObject
{
    Q_OBJECT
private slots:
    void hookSwappedWhileSleeping();
};

void TestVzmsgSleep::hookSwappedWhileSleeping()
{
    std::atomic<bool> stop{false};
    std::atomic<int> sleeps{0};
    vzmsg_set_sleep_hook(countSleep);
    std::vector<std::thread> sleepers;
    for (int i = 0; i < 2; ++i)
        sleepers.emplace_back([&] {
            while (!stop.load()) {
                vzmsg_sleep(0);
                sleeps.fetch_add(1);
            }
        });
    QTRY_VERIFY(sleeps.load() > 0); // swap while they are sleeping
    for (int i = 0; i < 2000; ++i)
        vzmsg_set_sleep_hook(i % 2 ? countSleep : nullptr);
    vzmsg_set_sleep_hook(countSleep);
    const int before = hookCalls.load();
    QTRY_VERIFY(hookCalls.load() > before + 100);
    stop.store(true);
    for (std::thread &t : sleepers)
        t.join();
    vzmsg_set_sleep_hook(nullptr);
    QVERIFY(sleeps.load() >= hookCalls.load()); // every hook call was a sleep
    const int after = hookCalls.load();
    vzmsg_sleep(1);
    QCOMPARE(hookCalls.load(), after);
}

QTEST_GUILESS_MAIN(TestVzmsgSleep)
#include "tst_vzmsg_sleep.moc"
