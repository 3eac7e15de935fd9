// The process-wide time scale: how waits shrink, which factors are taken,
// and that the message library's sleeps follow it.
#include <QElapsedTimer>
#include <QTest>

#include <cmath>
#include <limits>

#include "apptiming.h"
#include "vzmsg.h"

class TestAppTiming : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { AppTiming::setScale(1.0); }

    void scaledWaits_data()
    {
        QTest::addColumn<double>("factor");
        QTest::addColumn<int>("milliseconds");
        QTest::addColumn<int>("scaled");
        QTest::newRow("production") << 1.0 << 1000 << 1000;
        QTest::newRow("hundredth") << 0.01 << 1000 << 10;
        QTest::newRow("never below 1") << 0.01 << 60 << 1;
        QTest::newRow("rounded down") << 0.05 << 110 << 5;
        QTest::newRow("no wait stays none") << 0.01 << 0 << 0;
        QTest::newRow("negative is none") << 1.0 << -5 << 0;
        QTest::newRow("longer") << 3.0 << 1000 << 3000;
        QTest::newRow("capped") << 1000.0 << 60000000 << std::numeric_limits<int>::max();
    }
    void scaledWaits()
    {
        QFETCH(double, factor);
        QFETCH(int, milliseconds);
        QVERIFY(AppTiming::setScale(factor));
        QCOMPARE(AppTiming::scale(), factor);
        QTEST(AppTiming::scaled(milliseconds), "scaled");
    }

    void unusableFactorsAreRefused_data()
    {
        QTest::addColumn<double>("factor");
        QTest::newRow("zero") << 0.0;
        QTest::newRow("negative") << -0.5;
        QTest::newRow("not a number") << std::nan("");
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity();
    }
    void unusableFactorsAreRefused()
    {
        QFETCH(double, factor);
        QVERIFY(AppTiming::setScale(0.25));
        QVERIFY(!AppTiming::setScale(factor));
        QCOMPARE(AppTiming::scale(), 0.25);
        QCOMPARE(AppTiming::scaled(1000), 250);
    }

    void librarySleepsFollowTheScale()
    {
        QVERIFY(AppTiming::setScale(0.001));
        QElapsedTimer clock;
        clock.start();
        vzmsg_sleep(5000); // 5 ms at this scale
        // Far below the unscaled wait, with room for a loaded machine.
        QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestAppTiming)
#include "tst_apptiming.moc"
