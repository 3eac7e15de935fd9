// The device wrapper: port handling, the reply reader and its cached
// values, the product names and the firmware header operations.
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <string>

#include "apptiming.h"
#include "prgencode.h"
#include "scriptedrecorder.h"
#include "testsupport.h"
#include "vzdevice.h"

Q_DECLARE_METATYPE(ReplyRecord)

namespace
{

const QRegularExpression diagnosticLine(QStringLiteral("^app/vzdevice\\.cpp:\\d+:ERROR\\n$"));

quint16 cachedNumber(VzDevice &device, bool (VzDevice::*getter)(uint16_t *) const)
{
    uint16_t value = 0xBEEF;
    (device.*getter)(&value);
    return value;
}

} // namespace

class TestVzDevice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { AppTiming::setScale(0.05); }

    void closedDeviceRefusesEverything()
    {
        VzDevice device;
        QVERIFY(!device.is_open());
        QVERIFY(device.close());
        uint16_t number = 0xBEEF;
        QVERIFY(!device.get_protocol(&number));
        QVERIFY(!device.get_battery(&number));
        QVERIFY(!device.get_version(&number));
        QVERIFY(!device.get_build(&number));
        QCOMPARE(number, uint16_t(0xBEEF));
        std::string text = "untouched";
        FdCapture out(1);
        const bool product = device.get_product(text);
        const bool serial = device.get_serial(text);
        const bool query = device.get_version_info();
        const QString printed = QString::fromUtf8(out.finish());
        QVERIFY(!product && !serial && !query);
        QCOMPARE(text, std::string("untouched"));
        const QStringList lines = printed.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        for (const QString &line : lines)
            QVERIFY2(diagnosticLine.match(line + '\n').hasMatch(), qPrintable(line));
    }

    void noRecorderPortMeansNoOpen()
    {
        VzDevice device;
        QVERIFY(!device.select_default());
        QVERIFY(!device.is_open());
    }

    void openStaysOpenWithoutReopening()
    {
        ScriptedRecorder recorder;
        VzDevice device;
        QVERIFY(device.select_default());
        // A second open of the port would now fail: success shows the
        // library was not asked again.
        recorder.setBusy(true);
        QVERIFY(device.select_default());
        QVERIFY(device.is_open());
        QVERIFY(device.close());
        QVERIFY(!device.is_open());
        QVERIFY(!device.select_default());
        recorder.setBusy(false);
        QVERIFY(device.select_default());
    }

    void replyItemsFillTheCache_data()
    {
        QTest::addColumn<ReplyRecord>("reply");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("build");
        QTest::addColumn<int>("battery");
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("printed");

        // Every row starts from version 1, build 2, battery 3, protocol 4,
        // product "Start", serial "S0" (see the test body).
        QTest::newRow("version information") << ReplyRecord().u16(0x01, 0x0102).str8(0x02, "Q7").u16(0x04, 7)
                                             << true << 258 << 7 << 3 << 4 << "Veldracorder Q7"
                                             << "S0"
                                             << "";
        QTest::newRow("other model keeps its text")
            << ReplyRecord().str8(0x02, "Q9") << true << 1 << 2 << 3 << 4 << "Q9"
            << "S0"
            << "";
        QTest::newRow("model text is compared whole")
            << ReplyRecord().str8(0x02, "Q7 ") << true << 1 << 2 << 3 << 4 << "Q7 "
            << "S0"
            << "";
        QTest::newRow("battery keeps the low 16 bits")
            << ReplyRecord().u32(0x08, 0x12345) << true << 1 << 2 << 0x2345 << 4 << "Start"
            << "S0"
            << "";
        QTest::newRow("protocol as one byte")
            << ReplyRecord().u8(0x50, 1) << true << 1 << 2 << 3 << 1 << "Start"
            << "S0"
            << "";
        QTest::newRow("serial number")
            << ReplyRecord().str8(0x07, "VQ7-0042") << true << 1 << 2 << 3 << 4 << "Start"
            << "VQ7-0042"
            << "";
        QTest::newRow("command-only item gives 0")
            << ReplyRecord().command(0x04) << true << 1 << 0 << 3 << 4 << "Start"
            << "S0"
            << "";
        QTest::newRow("unknown item is reported")
            << ReplyRecord().u16(0x30, 5) << true << 1 << 2 << 3 << 4 << "Start"
            << "S0"
            << "cmd=0x30,type=3,size=2\r\n";
        QTest::newRow("unknown text item is reported")
            << ReplyRecord().str8(0x41, "abc") << true << 1 << 2 << 3 << 4 << "Start"
            << "S0"
            << "cmd=0x41,type=6,size=3\r\n";
        QTest::newRow("kept-not-used texts are silent")
            << ReplyRecord().str8(0x03, "x").str8(0x05, "y").str8(0x06, "z") << true << 1 << 2 << 3 << 4
            << "Start"
            << "S0"
            << "";
        QTest::newRow("text under a number code is ignored")
            << ReplyRecord().str8(0x01, "9.99").str16(0x04, "77") << true << 1 << 2 << 3 << 4 << "Start"
            << "S0"
            << "";
        QTest::newRow("wide text under the serial code is ignored")
            << ReplyRecord().str16(0x07, "XX") << true << 1 << 2 << 3 << 4 << "Start"
            << "S0"
            << "";
        QTest::newRow("number under the product code is ignored")
            << ReplyRecord().u16(0x02, 7) << true << 1 << 2 << 3 << 4 << "Start"
            << "S0"
            << "";
        QTest::newRow("reply without items fails silently")
            << ReplyRecord() << false << 1 << 2 << 3 << 4 << "Start"
            << "S0"
            << "";
    }
    void replyItemsFillTheCache()
    {
        QFETCH(ReplyRecord, reply);
        QFETCH(bool, answered);
        ScriptedRecorder recorder;
        VzDevice device;
        QVERIFY(device.select_default());
        recorder.answer(ReplyRecord()
                            .u16(0x01, 1)
                            .u16(0x04, 2)
                            .u16(0x08, 3)
                            .u16(0x50, 4)
                            .str8(0x02, "Start")
                            .str8(0x07, "S0"));
        QVERIFY(device.get_version_info());
        recorder.answer(reply);

        FdCapture out(1);
        const bool result = device.get_battery_info();
        const QByteArray printed = out.finish();

        QCOMPARE(result, answered);
        QTEST(int(cachedNumber(device, &VzDevice::get_version)), "version");
        QTEST(int(cachedNumber(device, &VzDevice::get_build)), "build");
        QTEST(int(cachedNumber(device, &VzDevice::get_battery)), "battery");
        QTEST(int(cachedNumber(device, &VzDevice::get_protocol)), "protocol");
        std::string product;
        std::string serial;
        QVERIFY(device.get_product(product));
        QVERIFY(device.get_serial(serial));
        QTEST(QString::fromStdString(product), "product");
        QTEST(QString::fromStdString(serial), "serial");
        QTEST(QString::fromUtf8(printed), "printed");
    }

    void eachQueryAsksForItsItem()
    {
        ScriptedRecorder recorder;
        VzDevice device;
        QVERIFY(device.select_default());
        for (int i = 0; i < 4; ++i)
            recorder.answer(ReplyRecord().u16(0x30 + i, 1));
        FdCapture out(1);
        const bool all = device.get_protocol_info() && device.get_battery_info() &&
                         device.get_version_info() && device.get_serial_info();
        out.finish();
        QVERIFY(all);
        const std::vector<uint8_t> expected{0x50, 0x08, 0x01, 0x07};
        QCOMPARE(recorder.requests(), expected);
    }

    void textsBeforeAnyReplyAreMissing()
    {
        ScriptedRecorder recorder;
        VzDevice device;
        QVERIFY(device.select_default());
        std::string text = "kept";
        FdCapture out(1);
        const bool product = device.get_product(text);
        const bool serial = device.get_serial(text);
        const QString printed = QString::fromUtf8(out.finish());
        QVERIFY(!product && !serial);
        QCOMPARE(text, std::string("kept"));
        QCOMPARE(printed.count(QStringLiteral(":ERROR\n")), 2);
    }

    void cachedValuesOutliveThePortButAreNotShownClosed()
    {
        ScriptedRecorder recorder;
        VzDevice device;
        QVERIFY(device.select_default());
        recorder.answer(ReplyRecord().u16(0x01, 205).u16(0x04, 9).str8(0x02, "Q7"));
        QVERIFY(device.get_version_info());
        device.close();
        QCOMPARE(cachedNumber(device, &VzDevice::get_version), quint16(0xBEEF));
        QVERIFY(device.select_default());
        QCOMPARE(cachedNumber(device, &VzDevice::get_version), quint16(205));
        QCOMPARE(cachedNumber(device, &VzDevice::get_build), quint16(9));
    }

    void silentOrVanishedRecorderFailsTheQuery()
    {
        ScriptedRecorder recorder;
        VzDevice device;
        QVERIFY(device.select_default());
        QVERIFY(!device.get_version_info()); // no reply scripted
        recorder.unplug();
        FdCapture out(1);
        const bool answered = device.get_version_info();
        out.finish();
        QVERIFY(!answered);
        device.close();
        QVERIFY(!device.select_default());
        recorder.plugIn();
        QVERIFY(device.select_default());
    }

    void imageProductNames_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("this model") << QByteArray("VELDR-Q7") << "Veldracorder Q7";
        QTest::newRow("sibling model") << QByteArray("VD-NIMBO") << "Veldracorder Q9";
        QTest::newRow("short code") << QByteArray("ABC") << "ABC";
        QTest::newRow("recorder's text is not an image code") << QByteArray("Q7") << "Q7";
        QTest::newRow("case matters") << QByteArray("veldr-q7") << "veldr-q7";
    }
    void imageProductNames()
    {
        QFETCH(QByteArray, code);
        const QByteArray image = firmwareImage(code.constData(), 100, 1);
        VzDevice device;
        QCOMPARE(device.fw_set_header(reinterpret_cast<const uint8_t *>(image.constData())), 32u);
        // The name is appended to what the caller passes in.
        std::string text = "prefix:";
        QVERIFY(device.fw_get_product(text));
        QFETCH(QString, name);
        QCOMPARE(QString::fromStdString(text), "prefix:" + name);
    }

    void headerFieldsAndChecks()
    {
        const QByteArray image = firmwareImage("VELDR-Q7", 1234, 56, 1000);
        const auto *bytes = reinterpret_cast<const uint8_t *>(image.constData());
        quint32 sum = 0;
        for (int i = 0; i < 1000; ++i)
            sum += static_cast<uint8_t>(i * 7 + 1234);
        VzDevice device;
        device.fw_set_header(bytes);
        QCOMPARE(device.fw_get_version(), uint16_t(1234));
        QCOMPARE(device.fw_get_build(), uint16_t(56));
        QCOMPARE(device.fw_get_data_size(), 1000u);
        QCOMPARE(device.fw_get_header_checksum(), sum);
        QVERIFY(device.fw_check(bytes, static_cast<uint32_t>(image.size())));
        QVERIFY(!device.fw_check(bytes, static_cast<uint32_t>(image.size() - 1)));
        const QByteArray bad = corruptedImage(image);
        QVERIFY(!device.fw_check(reinterpret_cast<const uint8_t *>(bad.constData()),
                                 static_cast<uint32_t>(bad.size())));

        // Without an image only the length is reported; the header stays.
        QCOMPARE(device.fw_set_header(nullptr), 32u);
        QCOMPARE(device.fw_get_version(), uint16_t(1234));

        uint32_t reading = 0xCAFE;
        QVERIFY(device.fw_get_checksum(device.fw_get_data_size(), &reading));
        QCOMPARE(reading, 0xCAFEu);
    }

    void headerFromFile()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath("good.bin");
        const QString bad = dir.filePath("bad.bin");
        QVERIFY(writeFile(good, firmwareImage("VELDR-Q7", 321, 4)));
        QVERIFY(writeFile(bad, corruptedImage(firmwareImage("VELDR-Q7", 322, 4))));
        VzDevice device;
        QVERIFY(!device.fw_check_file()); // nothing loaded yet
        QVERIFY(device.fw_load_header(good.toStdString()));
        QCOMPARE(device.fw_get_version(), uint16_t(321));
        QVERIFY(device.fw_check_file());
        QVERIFY(device.fw_load_header(bad.toStdString()));
        QCOMPARE(device.fw_get_version(), uint16_t(322));
        QVERIFY(!device.fw_check_file());
        QVERIFY(device.fw_load_header(good.toStdString()));
        FdCapture out(1);
        const bool loaded = device.fw_load_header(dir.filePath("missing.bin").toStdString());
        const bool checked = device.fw_check_file();
        out.finish();
        QVERIFY(!loaded);
        QVERIFY(!checked); // the good path was forgotten with the failure
    }

    void updateNeedsAnOpenPort()
    {
        const QByteArray image = firmwareImage("VELDR-Q7", 100, 1);
        uint32_t progress = 7, total = 8, status = 9;
        VzDevice device;
        FdCapture out(1);
        const bool updated =
            device.fw_update(reinterpret_cast<const uint8_t *>(image.constData()),
                             static_cast<uint32_t>(image.size()), &progress, &total, &status);
        out.finish();
        QVERIFY(!updated);
        QCOMPARE(progress, 7u);
        QCOMPARE(total, 8u);
        QCOMPARE(status, 9u);
    }
};

QTEST_GUILESS_MAIN(TestVzDevice)
#include "tst_vzdevice.moc"
