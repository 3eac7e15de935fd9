// The device wrapper: port handling, the reply reader and its cached
// values, and the product names of firmware images.
#include <QTest>

#include <deque>
#include <string>

#include "testsupport.h"
#include "vzdevice.h"
#include "vzmidi_virtual.h"
#include "vzmsg.h"
#include "vzmsg_midi.h"

namespace
{

// A recorder port that answers each request with the next scripted reply
// record, and not at all once the script is used up. Requests arrive on the
// sending thread, here the test's own.
struct ScriptedPort {
    ScriptedPort() : port(vzmidi_virtual_register("Q7 CONTROL", &ScriptedPort::receive, this)) {}
    ~ScriptedPort() { vzmidi_virtual_unregister(port); }
    static void receive(void *context, const uint8_t *, size_t)
    {
        auto *self = static_cast<ScriptedPort *>(context);
        if (self->replies.empty())
            return;
        const QByteArray reply = self->replies.front();
        self->replies.pop_front();
        uint8_t frame[512];
        uint64_t length = 0;
        if (vzmsg_midi_encode(reinterpret_cast<const uint8_t *>(reply.constData()), uint64_t(reply.size()),
                              frame, sizeof frame, &length) == 0)
            vzmidi_virtual_deliver(self->port, frame, length);
    }
    std::deque<QByteArray> replies;
    vzmidi_virtual_port *port;
};

// One reply item as record bytes; the items of a record follow each other.
template <typename Add> QByteArray item(Add add)
{
    uint8_t buffer[256] = {};
    vzmsg_t msg;
    vzmsg_init(&msg, buffer, sizeof buffer);
    add(&msg);
    return QByteArray(reinterpret_cast<const char *>(buffer), msg.position);
}
const auto u16 = [](uint8_t code, uint16_t value) {
    return item([&](vzmsg_t *m) { vzmsg_add_u16(m, code, value); });
};
const auto u32 = [](uint8_t code, uint32_t value) {
    return item([&](vzmsg_t *m) { vzmsg_add_u32(m, code, value); });
};
const auto str8 = [](uint8_t code, const QByteArray &text) {
    return item([&](vzmsg_t *m) { vzmsg_add_str8(m, code, text.constData(), uint8_t(text.size())); });
};

// What the getters give, "version|build|battery|protocol|product|serial";
// 9999 and "-" where a getter left its output alone.
QString cached(const VzDevice &device)
{
    QStringList values;
    for (auto getter :
         {&VzDevice::get_version, &VzDevice::get_build, &VzDevice::get_battery, &VzDevice::get_protocol}) {
        uint16_t value = 9999;
        (device.*getter)(&value);
        values << QString::number(value);
    }
    for (auto getter : {&VzDevice::get_product, &VzDevice::get_serial}) {
        std::string text = "-";
        (device.*getter)(text);
        values << QString::fromStdString(text);
    }
    return values.join('|');
}

} // namespace

class TestVzDevice : public QObject
{
    Q_OBJECT

private slots:
    void closedPortRefusesEverything()
    {
        VzDevice device;
        QVERIFY(!device.select_default()); // no recorder
        QVERIFY(!device.get_version_info());
        QCOMPARE(cached(device), QStringLiteral("9999|9999|9999|9999|-|-"));
    }

    void replyItemsFillTheCache_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<QString>("values");
        QTest::addColumn<QByteArray>("printed");
        // Every row starts from version 1, build 2, battery 3, protocol 4, product "Start", serial "S0".
        QTest::newRow("all it uses") << u16(0x01, 0x0102) + str8(0x02, "Q7") + u16(0x04, 7) +
                                            str8(0x07, "VQ7-0042") + u16(0x50, 1)
                                     << true << "258|7|3|1|Veldracorder Q7|VQ7-0042" << QByteArray();
        QTest::newRow("other model text kept whole")
            << str8(0x02, "Q7 ") << true << "1|2|3|4|Q7 |S0" << QByteArray();
        QTest::newRow("battery keeps the low 16 bits of 0x12345")
            << u32(0x08, 0x12345) << true << "1|2|9029|4|Start|S0" << QByteArray();
        QTest::newRow("command-only item gives 0")
            << item([](vzmsg_t *m) { vzmsg_add_cmd(m, 0x04); }) << true << "1|0|3|4|Start|S0" << QByteArray();
        QTest::newRow("unknown items are reported")
            << u16(0x30, 5) + str8(0x41, "abc") << true << "1|2|3|4|Start|S0"
            << QByteArray("cmd=0x30,type=3,size=2\r\ncmd=0x41,type=6,size=3\r\n");
        QTest::newRow("ignored items") << str8(0x03, "x") + str8(0x05, "y") + str8(0x06, "z") +
                                              str8(0x01, "9.99") + u16(0x02, 7) + u16(0x07, 5)
                                       << true << "1|2|3|4|Start|S0" << QByteArray();
        QTest::newRow("no items") << QByteArray() << false << "1|2|3|4|Start|S0" << QByteArray();
    }
    void replyItemsFillTheCache()
    {
        QFETCH(QByteArray, reply);
        ScriptedPort recorder;
        VzDevice device;
        QVERIFY(device.select_default());
        recorder.replies = {u16(0x01, 1) + u16(0x04, 2) + u16(0x08, 3) + u16(0x50, 4) + str8(0x02, "Start") +
                                str8(0x07, "S0"),
                            reply};
        QVERIFY(device.get_version_info());
        bool answered = false;
        QTEST(captureOutput(1, [&] { answered = device.get_battery_info(); }), "printed");
        QTEST(answered, "answered");
        QTEST(cached(device), "values");
    }

    void imageProductNames()
    {
        const QStringList codes{"VELDR-Q7", "VD-NIMBO", "ABC", "Q7", "veldr-q7"};
        const QStringList names{"Veldracorder Q7", "Veldracorder Q9", "ABC", "Q7", "veldr-q7"};
        for (int i = 0; i < codes.size(); ++i) {
            const QByteArray image = firmwareImage(codes.at(i).toLatin1().constData(), 100, 1);
            VzDevice device;
            device.fw_set_header(reinterpret_cast<const uint8_t *>(image.constData()));
            std::string text = "prefix:"; // the name is appended
            QVERIFY(device.fw_get_product(text));
            QCOMPARE(QString::fromStdString(text), "prefix:" + names.at(i));
        }
    }
};

QTEST_GUILESS_MAIN(TestVzDevice)
#include "tst_vzdevice.moc"
