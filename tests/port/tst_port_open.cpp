// Finding, opening and closing the recorder's port: exact name matching,
// ports held by other programs, and failures that must leave nothing open.
#include <QtTest>

#include <cstring>
#include <memory>

#include "stdout_capture.h"
#include "virtual_device.h"
#include "vzmsg_devs_midi_win.h"

static const QString source = QStringLiteral("vzmsg/vzmsg_devs_midi_win.c");

class TestPortOpen : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void openFailsWithoutOutputs();
    void openFailsWithoutMatchingInput_data();
    void openFailsWithoutMatchingInput();
    void portNameMustMatchExactly_data();
    void portNameMustMatchExactly();
    void busyPortIsSkipped_data();
    void busyPortIsSkipped();
    void everyMatchingPortBusy();
    void closeIsSafeOnAnyContext();
    void closeTwiceAndReopen();

private:
    void verifyClosed();

    vzmsg_dev_t m_dev;
};

void TestPortOpen::init()
{
    std::memset(&m_dev, 0, sizeof m_dev);
}

void TestPortOpen::cleanup()
{
    vzmsg_devs_close(&m_dev);
}

// The context holds nothing any more.
void TestPortOpen::verifyClosed()
{
    QVERIFY(!m_dev.out_handle);
    QVERIFY(!m_dev.in_handle);
    QVERIFY(!m_dev.out_ring.event);
    QVERIFY(!m_dev.in_mailbox.event);
    QVERIFY(!m_dev.in_header.lpData);
    QCOMPARE(m_dev.in_mailbox.lock_ready, 0);
    QCOMPARE(m_dev.in_mailbox.running, 0);
}

void TestPortOpen::openFailsWithoutOutputs()
{
    VirtualDevice inputOnly("Q7 CONTROL", VZMIDI_VIRTUAL_INPUT);
    StdoutCapture capture;
    const int result = vzmsg_devs_open(&m_dev);
    const QString out = capture.finish();
    QCOMPARE(result, 2);
    QVERIFY(StdoutCapture::errorLines(out, source) >= 1);
    QCOMPARE(inputOnly.state().input_opens, 0u);
    verifyClosed();
}

void TestPortOpen::openFailsWithoutMatchingInput_data()
{
    QTest::addColumn<QByteArray>("inputName");
    QTest::addColumn<bool>("inputBusy");
    QTest::newRow("no inputs at all") << QByteArray() << false;
    QTest::newRow("input of another name") << QByteArray("Q7 MONITOR") << false;
    QTest::newRow("matching input held elsewhere") << QByteArray("Q7 CONTROL") << true;
}

void TestPortOpen::openFailsWithoutMatchingInput()
{
    QFETCH(QByteArray, inputName);
    QFETCH(bool, inputBusy);
    VirtualDevice output("Q7 CONTROL", VZMIDI_VIRTUAL_OUTPUT);
    std::unique_ptr<VirtualDevice> input;
    if (!inputName.isEmpty()) {
        input.reset(new VirtualDevice(inputName.constData(), VZMIDI_VIRTUAL_INPUT));
        vzmidi_virtual_set_busy(input->port(), inputBusy);
    }
    StdoutCapture capture;
    const int result = vzmsg_devs_open(&m_dev);
    const QString out = capture.finish();
    QCOMPARE(result, 2);
    QVERIFY(StdoutCapture::errorLines(out, source) >= 1);
    // The output was opened, then closed again.
    QCOMPARE(output.state().output_opens, 1u);
    QCOMPARE(output.state().output_open, 0);
    if (input)
        QCOMPARE(input->state().input_open, 0);
    verifyClosed();
}

void TestPortOpen::portNameMustMatchExactly_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("used");
    QTest::newRow("exact") << QByteArray("Q7 CONTROL") << true;
    QTest::newRow("longer") << QByteArray("Q7 CONTROL 2") << false;
    QTest::newRow("longer without blank") << QByteArray("Q7 CONTROLLER") << false;
    QTest::newRow("shorter") << QByteArray("Q7 CONTRO") << false;
    QTest::newRow("lower case") << QByteArray("q7 control") << false;
    QTest::newRow("mixed case") << QByteArray("Q7 Control") << false;
    QTest::newRow("leading blank") << QByteArray(" Q7 CONTROL") << false;
    QTest::newRow("trailing blank") << QByteArray("Q7 CONTROL ") << false;
    QTest::newRow("hyphen") << QByteArray("Q7-CONTROL") << false;
}

void TestPortOpen::portNameMustMatchExactly()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, used);
    VirtualDevice device(name.constData());
    StdoutCapture capture;
    const int result = vzmsg_devs_open(&m_dev);
    capture.finish();
    QCOMPARE(result, used ? 0 : 2);
    const vzmidi_virtual_state state = device.state();
    QCOMPARE(state.output_open, used ? 1 : 0);
    QCOMPARE(state.input_open, used ? 1 : 0);
    QCOMPARE(state.output_opens, used ? 1u : 0u);
    vzmsg_devs_close(&m_dev);
    QCOMPARE(device.state().output_open, 0);
    QCOMPARE(device.state().input_open, 0);
}

void TestPortOpen::busyPortIsSkipped_data()
{
    QTest::addColumn<bool>("outputHeld");
    QTest::addColumn<bool>("inputHeld");
    QTest::newRow("both held") << true << true;
    QTest::newRow("output held") << true << false;
    QTest::newRow("input held") << false << true;
}

// Another program holds (a side of) the first port of that name.
void TestPortOpen::busyPortIsSkipped()
{
    QFETCH(bool, outputHeld);
    QFETCH(bool, inputHeld);
    VirtualDevice firstOutput("Q7 CONTROL", VZMIDI_VIRTUAL_OUTPUT);
    VirtualDevice firstInput("Q7 CONTROL", VZMIDI_VIRTUAL_INPUT);
    VirtualDevice second("Q7 CONTROL");
    vzmidi_virtual_set_busy(firstOutput.port(), outputHeld);
    vzmidi_virtual_set_busy(firstInput.port(), inputHeld);

    StdoutCapture capture;
    const int result = vzmsg_devs_open(&m_dev);
    const QString out = capture.finish();
    QCOMPARE(result, 0);
    QCOMPARE(firstOutput.state().output_open, outputHeld ? 0 : 1);
    QCOMPARE(second.state().output_open, outputHeld ? 1 : 0);
    QCOMPARE(firstInput.state().input_open, inputHeld ? 0 : 1);
    QCOMPARE(second.state().input_open, inputHeld ? 1 : 0);
    const QRegularExpression allocated(
        QStringLiteral("^%1:\\d+:MMRESULT 0x4: MMSYSERR_ALLOCATED$").arg(QRegularExpression::escape(source)),
        QRegularExpression::MultilineOption);
    int held = 0;
    for (auto it = allocated.globalMatch(out); it.hasNext(); it.next())
        ++held;
    QCOMPARE(held, int(outputHeld) + int(inputHeld));
    QCOMPARE(StdoutCapture::errorLines(out, source), 0);

    const Bytes status = fromHex("5501");
    QCOMPARE(vzmsg_devs_send(&m_dev, status.data(), uint16_t(status.size())), 0);
    VirtualDevice &used = outputHeld ? second : firstOutput;
    QCOMPARE(used.received().size(), size_t(1));
    QCOMPARE(toByteArray(used.received().front()), toByteArray(frameOf(status)));
}

void TestPortOpen::everyMatchingPortBusy()
{
    VirtualDevice first("Q7 CONTROL");
    VirtualDevice second("Q7 CONTROL");
    vzmidi_virtual_set_busy(first.port(), 1);
    vzmidi_virtual_set_busy(second.port(), 1);
    StdoutCapture capture;
    const int result = vzmsg_devs_open(&m_dev);
    capture.finish();
    QCOMPARE(result, 2);
    for (VirtualDevice *device : {&first, &second}) {
        QCOMPARE(device->state().output_opens, 0u);
        QCOMPARE(device->state().input_opens, 0u);
    }
    verifyClosed();
}

void TestPortOpen::closeIsSafeOnAnyContext()
{
    StdoutCapture capture;
    QCOMPARE(vzmsg_devs_close(nullptr), 0);
    QCOMPARE(vzmsg_devs_close(&m_dev), 0);
    const QString out = capture.finish();
    QVERIFY2(out.isEmpty(), qPrintable(out));
    verifyClosed();
}

void TestPortOpen::closeTwiceAndReopen()
{
    VirtualDevice device;
    QCOMPARE(vzmsg_devs_open(&m_dev), 0);
    QCOMPARE(vzmsg_devs_close(&m_dev), 0);
    verifyClosed();
    StdoutCapture capture;
    QCOMPARE(vzmsg_devs_close(&m_dev), 0);
    const QString out = capture.finish();
    QVERIFY2(out.isEmpty(), qPrintable(out));
    QCOMPARE(device.state().output_opens, 1u);
    QCOMPARE(device.state().output_open, 0);

    // Opening again starts from scratch and works as the first time.
    QCOMPARE(vzmsg_devs_open(&m_dev), 0);
    QCOMPARE(device.state().output_opens, 2u);
    const Bytes reply = fromHex("500401000000");
    QVERIFY(device.deliver(frameOf(reply)));
    QTRY_VERIFY(__atomic_load_n(&m_dev.in_mailbox.pending_length, __ATOMIC_ACQUIRE) != 0);
    uint8_t payload[256];
    uint8_t length = 0;
    QCOMPARE(vzmsg_devs_recv(&m_dev, payload, sizeof payload, &length), 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(payload), length), toByteArray(reply));
}

QTEST_GUILESS_MAIN(TestPortOpen)
#include "tst_port_open.moc"
