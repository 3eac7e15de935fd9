// The port layer's diagnostic output: platform result names, the result
// line's form, and the hexadecimal dump.
#include <QtTest>

#include <cstring>

#include "stdout_capture.h"
#include "virtual_device.h"
#include "vzmsg_devs_midi_win.h"

Q_DECLARE_METATYPE(Bytes)

class TestPortDiagnostics : public QObject
{
    Q_OBJECT
private slots:
    void resultNames_data();
    void resultNames();
    void dump_data();
    void dump();
    void failingCallIsNamedAfterLinePrefix();
};

void TestPortDiagnostics::resultNames_data()
{
    QTest::addColumn<uint>("code");
    QTest::addColumn<QString>("line");
    QTest::newRow("no error") << 0u << "MMRESULT 0: MMSYSERR_NOERROR";
    QTest::newRow("bad device") << 2u << "MMRESULT 0x2: MMSYSERR_BADDEVICEID";
    QTest::newRow("allocated") << 4u << "MMRESULT 0x4: MMSYSERR_ALLOCATED";
    QTest::newRow("invalid handle") << 5u << "MMRESULT 0x5: MMSYSERR_INVALHANDLE";
    QTest::newRow("no driver") << 6u << "MMRESULT 0x6: MMSYSERR_NODRIVER";
    QTest::newRow("no memory") << 7u << "MMRESULT 0x7: MMSYSERR_NOMEM";
    QTest::newRow("invalid parameter") << 11u << "MMRESULT 0xb: MMSYSERR_INVALPARAM";
    QTest::newRow("unprepared") << 64u << "MMRESULT 0x40: MIDIERR_UNPREPARED";
    QTest::newRow("still playing") << 65u << "MMRESULT 0x41: MIDIERR_STILLPLAYING";
    QTest::newRow("no device") << 68u << "MMRESULT 0x44: MIDIERR_NODEVICE";
    QTest::newRow("generic error") << 1u << "MMRESULT 0x1: UNKNOWN";
    QTest::newRow("between names") << 66u << "MMRESULT 0x42: UNKNOWN";
    QTest::newRow("large") << 0x12345u << "MMRESULT 0x12345: UNKNOWN";
}

void TestPortDiagnostics::resultNames()
{
    QFETCH(uint, code);
    QFETCH(QString, line);
    StdoutCapture capture;
    vzmsg_devs_print_mmresult(code);
    QCOMPARE(capture.finish(), line + '\n');
}

void TestPortDiagnostics::dump_data()
{
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing") << Bytes() << "\n";
    QTest::newRow("frame") << fromHex("f04e502300550200f7") << " f0 4e 50 23 00 55 02 00 f7\n";
    QTest::newRow("small values padded") << fromHex("000107") << " 00 01 07\n";
}

void TestPortDiagnostics::dump()
{
    QFETCH(Bytes, bytes);
    QFETCH(QString, text);
    StdoutCapture capture;
    vzmsg_devs_dump(bytes.data(), bytes.size());
    QCOMPARE(capture.finish(), text);
}

// A port held by another program: the open names the failing call's result
// after the source position, without the word ERROR.
void TestPortDiagnostics::failingCallIsNamedAfterLinePrefix()
{
    VirtualDevice held;
    VirtualDevice free;
    vzmidi_virtual_set_busy(held.port(), 1);
    vzmsg_dev_t dev;
    std::memset(&dev, 0, sizeof dev);
    StdoutCapture capture;
    const int result = vzmsg_devs_open(&dev);
    const QString out = capture.finish();
    vzmsg_devs_close(&dev);
    QCOMPARE(result, 0);
    const QRegularExpression line(QStringLiteral("^vzmsg/vzmsg_devs_midi_win\\.c:(\\d+):(.*)$"),
                                  QRegularExpression::MultilineOption);
    QStringList rest;
    for (auto it = line.globalMatch(out); it.hasNext();)
        rest << it.next().captured(2);
    QCOMPARE(rest, QStringList() << "MMRESULT 0x4: MMSYSERR_ALLOCATED"
                                 << "MMRESULT 0x4: MMSYSERR_ALLOCATED");
    QCOMPARE(out.count('\n'), 2);
}

QTEST_GUILESS_MAIN(TestPortDiagnostics)
#include "tst_port_diagnostics.moc"
