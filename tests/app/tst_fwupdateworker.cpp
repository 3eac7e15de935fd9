// The update worker's own rules; its updates are watched through the controller.
#include <QTest>

#include "fwupdateworker.h"

class TestFWUpdateWorker : public QObject
{
    Q_OBJECT

private slots:
    // Three checksum readings agree within 256; 0 is no reading only while an extreme is unset.
    void readingSpread_data()
    {
        QTest::addColumn<quint32>("first");
        QTest::addColumn<quint32>("second");
        QTest::addColumn<quint32>("third");
        QTest::addColumn<bool>("agree");
        QTest::newRow("no readings") << 0u << 0u << 0u << true;
        QTest::newRow("spread 256") << 1000u << 1256u << 1100u << true;
        QTest::newRow("spread 257") << 1257u << 1000u << 1100u << false;
        QTest::newRow("leading zero skipped") << 0u << 5000u << 5256u << true;
        QTest::newRow("later zero counts") << 5000u << 5100u << 0u << false;
        QTest::newRow("top of the range") << 0xFFFFFFFFu << 0xFFFFFF00u << 0xFFFFFFFEu << true;
        QTest::newRow("both ends") << 1u << 0xFFFFFFFFu << 1u << false;
    }
    void readingSpread()
    {
        QFETCH(quint32, first);
        QFETCH(quint32, second);
        QFETCH(quint32, third);
        QTEST(FWUpdateWorker::readingsAgree({first, second, third}), "agree");
    }
};

QTEST_GUILESS_MAIN(TestFWUpdateWorker)
#include "tst_fwupdateworker.moc"
