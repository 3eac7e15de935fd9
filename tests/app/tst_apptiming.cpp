// The process-wide time scale: how waits shrink and which factors are taken.
#include <QTest>

#include <cmath>
#include <limits>

#include "apptiming.h"

class TestAppTiming : public QObject
{
    Q_OBJECT

private slots:
    void scaledWaits()
    {
        QCOMPARE(AppTiming::scaled(1000), 1000); // production
        QVERIFY(AppTiming::setScale(0.05));
        QCOMPARE(AppTiming::scaled(110), 5);
        QCOMPARE(AppTiming::scaled(10), 1); // a wait never vanishes
        QCOMPARE(AppTiming::scaled(0), 0);
        for (double refused : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()})
            QVERIFY2(!AppTiming::setScale(refused), qPrintable(QString::number(refused)));
        QCOMPARE(AppTiming::scaled(1000), 50);
        QVERIFY(AppTiming::setScale(1000.0));
        QCOMPARE(AppTiming::scaled(60000000), std::numeric_limits<int>::max());
    }
};

QTEST_GUILESS_MAIN(TestAppTiming)
#include "tst_apptiming.moc"
