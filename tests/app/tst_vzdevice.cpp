// The product names of firmware images; the device wrapper's recorder
// queries are proven against the simulated recorder through the controller.
#include <QTest>

#include <string>

#include "testsupport.h"
#include "vzdevice.h"

class TestVzDevice : public QObject
{
    Q_OBJECT

private slots:
    void imageProductNames_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("Q7") << QByteArray("VELDR-Q7") << "Veldracorder Q7";
        QTest::newRow("sibling") << QByteArray("VD-NIMBO") << "Veldracorder Q9";
        QTest::newRow("unknown, kept as it is") << QByteArray("veldr-q7") << "veldr-q7";
    }
    void imageProductNames()
    {
        QFETCH(QByteArray, code);
        QFETCH(QString, name);
        const QByteArray image = firmwareImage(code.constData(), 100, 1);
        VzDevice device;
        device.fw_set_header(reinterpret_cast<const uint8_t *>(image.constData()));
        std::string text = "prefix:"; // the name is appended
        QVERIFY(device.fw_get_product(text));
        QCOMPARE(QString::fromStdString(text), "prefix:" + name);
    }
};

QTEST_GUILESS_MAIN(TestVzDevice)
#include "tst_vzdevice.moc"
