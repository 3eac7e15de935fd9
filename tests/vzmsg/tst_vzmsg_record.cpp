// The message record: item layout, building at the buffer's edges, reading
// well-formed and malformed records.
#include <QRandomGenerator>
#include <QtTest>

#include <cstring>
#include <vector>

#include "stdout_capture.h"
#include "vzmsg.h"

static const QString source = QStringLiteral("vzmsg/vzmsg.c");

// One add operation chosen by type, so that tables can list items.
static int addItem(vzmsg_t *msg, int type, quint8 code, quint64 value, const QByteArray &str)
{
    switch (type) {
    case VZMSG_TYPE_CMD:
        return vzmsg_add_cmd(msg, code);
    case VZMSG_TYPE_U8:
        return vzmsg_add_u8(msg, code, quint8(value));
    case VZMSG_TYPE_U16:
        return vzmsg_add_u16(msg, code, quint16(value));
    case VZMSG_TYPE_U32:
        return vzmsg_add_u32(msg, code, quint32(value));
    case VZMSG_TYPE_U64:
        return vzmsg_add_u64(msg, code, value);
    case VZMSG_TYPE_STR8:
        return vzmsg_add_str8(msg, code, str.constData(), quint8(str.size()));
    default:
        return vzmsg_add_str16(msg, code, str.constData(), quint16(str.size()));
    }
}

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

class TestVzmsgRecord : public QObject
{
    Q_OBJECT
private slots:
    void itemBytes_data();
    void itemBytes();
    void addAtEdge_data();
    void addAtEdge();
    void readMalformed_data();
    void readMalformed();
    void roomLeft_data();
    void roomLeft();
    void randomRecordsRoundTrip();
    void clearAndRewind();
    void withoutRecord();
    void item12();
    void sleepHook();
};

void TestVzmsgRecord::itemBytes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("code");
    QTest::addColumn<quint64>("value");
    QTest::addColumn<QByteArray>("str");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("status request") << 1 << 0x55 << quint64(0) << QByteArray() << hex("5501");
    QTest::newRow("size") << 4 << 0x52 << quint64(0x1234) << QByteArray() << hex("520434120000");
    QTest::newRow("data block") << 7 << 0x59 << quint64(0) << hex("AABBCC") << hex("59070300AABBCC");
    QTest::newRow("check") << 2 << 0x53 << quint64(0) << QByteArray() << hex("530200");
    QTest::newRow("u16") << 3 << 0x01 << quint64(0xBEEF) << QByteArray() << hex("0103EFBE");
    QTest::newRow("u64") << 5 << 0x08 << quint64(0x0102030405060708) << QByteArray()
                         << hex("08050807060504030201");
    QTest::newRow("str8") << 6 << 0x5A << quint64(0) << QByteArray("AB") << hex("5A06024142");
    QTest::newRow("empty str8") << 6 << 0x5A << quint64(0) << QByteArray() << hex("5A0600");
    QTest::newRow("empty str16") << 7 << 0x59 << quint64(0) << QByteArray() << hex("59070000");
    QTest::newRow("code 0 is an item") << 1 << 0x00 << quint64(0) << QByteArray() << hex("0001");
}

// Builds one item, compares its bytes, and reads it back.
void TestVzmsgRecord::itemBytes()
{
    QFETCH(int, type);
    QFETCH(int, code);
    QFETCH(quint64, value);
    QFETCH(QByteArray, str);
    QFETCH(QByteArray, expected);
    uint8_t buffer[256] = {};
    vzmsg_t msg;
    QCOMPARE(vzmsg_init(&msg, buffer, sizeof buffer), 0);
    QCOMPARE(addItem(&msg, type, quint8(code), value, str), 1);
    QCOMPARE(msg.position, quint16(expected.size()));
    QCOMPARE(QByteArray(reinterpret_cast<char *>(buffer), expected.size()), expected);

    QCOMPARE(vzmsg_rewind(&msg), 0);
    uint32_t gotCode = 0xDEAD, gotType = 0xDEAD;
    uint64_t gotValue = 0xDEAD;
    uint16_t gotSize = 0xDEAD;
    QCOMPARE(vzmsg_get(&msg, &gotCode, &gotType, &gotValue, &gotSize), 0);
    QCOMPARE(int(gotCode), code);
    QCOMPARE(int(gotType), type);
    if (type >= VZMSG_TYPE_STR8) {
        QCOMPARE(int(gotSize), str.size());
        const char *at = reinterpret_cast<const char *>(uintptr_t(gotValue));
        QVERIFY(at >= reinterpret_cast<char *>(buffer) && at <= reinterpret_cast<char *>(buffer) + 256);
        QCOMPARE(QByteArray(at, gotSize), str);
    } else {
        QCOMPARE(gotValue, value);
        QCOMPARE(int(gotSize), (expected.size() - 2));
    }
    QCOMPARE(msg.position, quint16(expected.size()));
    QVERIFY(vzmsg_get(&msg, nullptr, nullptr, nullptr, nullptr) != 0); // the zeroed rest ends the list
}

void TestVzmsgRecord::addAtEdge_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("length"); // string length
    QTest::addColumn<int>("room");   // capacity - position
    QTest::addColumn<bool>("added");
    QTest::addColumn<int>("lines"); // diagnostic lines of a failure
    struct Edge {
        const char *name;
        int type, length, whole;
    };
    const Edge edges[] = {{"cmd", 1, 0, 2},          {"u8", 2, 0, 3},           {"u16", 3, 0, 4},
                          {"u32", 4, 0, 6},          {"u64", 5, 0, 10},         {"str8 L=5", 6, 5, 8},
                          {"str16 L=5", 7, 5, 9},    {"str8 L=0", 6, 0, 3},     {"str16 L=0", 7, 0, 4},
                          {"str8 253", 6, 253, 256}, {"str16 252", 7, 252, 256}};
    for (const Edge &e : edges) {
        QTest::addRow("%s fits exactly", e.name) << e.type << 0x40 << e.length << e.whole << true << 0;
        QTest::addRow("%s one byte short", e.name)
            << e.type << 0x40 << e.length << e.whole - 1 << false << (e.whole - 1 < 2 ? 2 : 3);
    }
    QTest::newRow("str16 253 in 256") << 7 << 0x59 << 253 << 256 << false << 3;
    QTest::newRow("cmd in no room") << 1 << 0x40 << 0 << 0 << false << 2;
    QTest::newRow("code 0 in one byte") << 1 << 0x00 << 0 << 1 << true << 0;
}

// An item that fits fills exactly its bytes; one that does not leaves the
// record as it was.
void TestVzmsgRecord::addAtEdge()
{
    QFETCH(int, type);
    QFETCH(int, code);
    QFETCH(int, length);
    QFETCH(int, room);
    QFETCH(bool, added);
    QFETCH(int, lines);
    std::vector<uint8_t> memory(300, 0xEE);
    const QByteArray str(length, 'x');
    const int start = 256 - room;
    vzmsg_t msg;
    vzmsg_init(&msg, memory.data(), 256);
    msg.position = quint16(start);
    StdoutCapture capture;
    const int result = addItem(&msg, type, quint8(code), 0, str);
    const QString printed = capture.finish();
    QCOMPARE(result, added ? 1 : 0);
    QCOMPARE(StdoutCapture::errorLines(printed, source), lines);
    const bool wrote = added && code != 0;
    // Every fitting row fills the buffer exactly.
    QCOMPARE(int(msg.position), wrote ? 256 : start);
    // Nothing past the buffer, and nothing at all for a failed add.
    for (size_t i = wrote ? 256 : 0; i < memory.size(); ++i)
        QCOMPARE(int(memory[i]), 0xEE);
    if (wrote) {
        QCOMPARE(int(memory[size_t(start)]), code);
        QCOMPARE(int(memory[size_t(start) + 1]), type);
    }
}

void TestVzmsgRecord::readMalformed_data()
{
    QTest::addColumn<QByteArray>("bytes"); // the whole buffer
    QTest::addColumn<int>("items");        // read before the stop
    QTest::addColumn<int>("position");     // after the stop
    QTest::addColumn<QString>("printed");
    QTest::newRow("zero filled") << QByteArray(256, 0) << 0 << 0 << QString();
    QTest::newRow("empty buffer") << QByteArray() << 0 << 0 << QString();
    QTest::newRow("one byte") << hex("55") << 0 << 0 << QString();
    QTest::newRow("str8 past the end") << hex("5501"
                                              "0206054142")
                                       << 1 << 2 << QString();
    QTest::newRow("str8 exactly to the end") << hex("02060241420000") << 1 << 5 << QString();
    QTest::newRow("str8 without length byte") << hex("0206") << 0 << 0 << QString();
    QTest::newRow("str16 without length") << hex("590703") << 0 << 0 << QString();
    QTest::newRow("str16 past the end") << hex("59070500AABBCCDD") << 0 << 0 << QString();
    QTest::newRow("u32 cut short") << hex("5204341200") << 0 << 0 << QString();
    QTest::newRow("u64 cut short") << hex("0105010203040506070800") << 1 << 10 << QString();
    QTest::newRow("u16 cut short") << hex("5501"
                                          "010301")
                                   << 1 << 2 << QString();
    QTest::newRow("type 8") << hex("5501"
                                   "1108"
                                   "5501")
                            << 1 << 2 << QStringLiteral(" 0x8");
    QTest::newRow("type ff") << hex("44FF") << 0 << 0 << QStringLiteral(" 0xff");
    QTest::newRow("end item mid-list") << hex("5501"
                                              "0000"
                                              "5501")
                                       << 1 << 2 << QString();
    QTest::newRow("code 0 with a type") << hex("0001"
                                               "0002"
                                               "07"
                                               "5501")
                                        << 3 << 7 << QString();
}

// Reads items until the stop: the stop leaves position and outputs alone,
// and only an unknown type prints a line, naming the type.
void TestVzmsgRecord::readMalformed()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, items);
    QFETCH(int, position);
    QFETCH(QString, printed);
    vzmsg_t msg;
    vzmsg_init(&msg, bytes.isEmpty() ? nullptr : bytes.data(), quint16(bytes.size()));
    StdoutCapture capture;
    int read = 0;
    while (vzmsg_get(&msg, nullptr, nullptr, nullptr, nullptr) == 0)
        ++read;
    uint32_t code = 7, type = 7;
    uint64_t value = 7;
    uint16_t size = 7;
    const int again = vzmsg_get(&msg, &code, &type, &value, &size);
    const QString text = capture.finish();
    QCOMPARE(read, items);
    QCOMPARE(int(msg.position), position);
    QVERIFY(again != 0);
    QVERIFY(code == 7 && type == 7 && value == 7 && size == 7);
    if (printed.isEmpty()) {
        QCOMPARE(text, QString());
    } else {
        QCOMPARE(StdoutCapture::errorLines(text, source), 2); // once per call at the stop
        QVERIFY(text.contains(":ERROR" + printed + "\n"));
    }
}

void TestVzmsgRecord::roomLeft_data()
{
    QTest::addColumn<int>("capacity");
    QTest::addColumn<int>("position");
    QTest::addColumn<uint>("str8");
    QTest::addColumn<uint>("str16");
    QTest::newRow("fresh 256") << 256 << 0 << 253u << 252u;
    QTest::newRow("three left") << 256 << 253 << 0u << 0u;
    QTest::newRow("four left") << 256 << 252 << 1u << 0u;
    QTest::newRow("five left") << 256 << 251 << 2u << 1u;
    QTest::newRow("full") << 256 << 256 << 0u << 0u;
    QTest::newRow("position past the end") << 256 << 300 << 0u << 0u;
    QTest::newRow("largest record") << 65535 << 0 << 65532u << 65531u;
}

void TestVzmsgRecord::roomLeft()
{
    QFETCH(int, capacity);
    QFETCH(int, position);
    QFETCH(uint, str8);
    QFETCH(uint, str16);
    std::vector<uint8_t> buffer(size_t(capacity), 0);
    vzmsg_t msg;
    vzmsg_init(&msg, buffer.data(), quint16(capacity));
    msg.position = quint16(position);
    QCOMPARE(vzmsg_room_str8(&msg), str8);
    QCOMPARE(vzmsg_room_str16(&msg), str16);
    QVERIFY(vzmsg_get(&msg, nullptr, nullptr, nullptr, nullptr) != 0); // zeros, or nothing to read
    // The room reported is exactly what one string item can carry.
    if (str16) {
        const QByteArray most(int(str16), 'z');
        QCOMPARE(vzmsg_add_str16(&msg, 0x59, most.constData(), quint16(str16)), 1);
        QCOMPARE(int(msg.position), capacity);
    }
}

// Random item lists, built until the buffer is full, read back the same.
void TestVzmsgRecord::randomRecordsRoundTrip()
{
    QRandomGenerator rng(20220801);
    for (int round = 0; round < 200; ++round) {
        uint8_t buffer[256] = {};
        vzmsg_t msg;
        vzmsg_init(&msg, buffer, sizeof buffer);
        struct Item {
            int type;
            quint8 code;
            quint64 value;
            QByteArray str;
        };
        std::vector<Item> items;
        for (;;) {
            Item item{int(rng.bounded(1, 8)), quint8(rng.bounded(1, 256)), rng.generate64(), QByteArray()};
            const int bits[] = {0, 0, 8, 16, 32, 64};
            if (item.type < 6)
                item.value = bits[item.type] ? item.value & (~0ULL >> (64 - bits[item.type])) : 0;
            else
                item.str = QByteArray(int(rng.bounded(0, 40)), char(rng.bounded(256)));
            const quint16 before = msg.position;
            StdoutCapture quiet;
            if (!addItem(&msg, item.type, item.code, item.value, item.str)) {
                quiet.finish();
                QCOMPARE(msg.position, before);
                break;
            }
            items.push_back(item);
        }
        vzmsg_rewind(&msg);
        for (const Item &item : items) {
            uint32_t code, type;
            uint64_t value;
            uint16_t size;
            QCOMPARE(vzmsg_get(&msg, &code, &type, &value, &size), 0);
            QCOMPARE(int(code), int(item.code));
            QCOMPARE(int(type), item.type);
            if (item.type >= 6)
                QCOMPARE(QByteArray(reinterpret_cast<const char *>(uintptr_t(value)), size), item.str);
            else
                QCOMPARE(value, item.value);
        }
        QVERIFY(vzmsg_get(&msg, nullptr, nullptr, nullptr, nullptr) != 0);
    }
}

void TestVzmsgRecord::clearAndRewind()
{
    uint8_t memory[40];
    std::memset(memory, 0xEE, sizeof memory);
    vzmsg_t msg;
    QCOMPARE(vzmsg_init(&msg, memory, 32), 0);
    QCOMPARE(int(memory[0]), 0xEE); // binding does not touch the buffer
    vzmsg_add_u32(&msg, 0x52, 7);
    QCOMPARE(vzmsg_clear(&msg), 0);
    QCOMPARE(int(msg.position), 6);
    for (int i = 0; i < 40; ++i)
        QCOMPARE(int(memory[i]), i < 32 ? 0 : 0xEE);
    QCOMPARE(vzmsg_rewind(&msg), 0);
    QCOMPARE(int(msg.position), 0);
}

void TestVzmsgRecord::withoutRecord()
{
    const char bytes[] = "ab";
    StdoutCapture capture;
    const int added = vzmsg_add_cmd(nullptr, 1) + vzmsg_add_u8(nullptr, 1, 1) + vzmsg_add_u16(nullptr, 1, 1) +
                      vzmsg_add_u32(nullptr, 1, 1) + vzmsg_add_u64(nullptr, 1, 1) +
                      vzmsg_add_str8(nullptr, 1, bytes, 2) + vzmsg_add_str16(nullptr, 1, bytes, 2);
    const int item12 = vzmsg_add_item12(nullptr, 1, 2, 3, 4, 5, 6);
    const int others = vzmsg_init(nullptr, nullptr, 0) + vzmsg_rewind(nullptr) + vzmsg_clear(nullptr);
    const int got = vzmsg_get(nullptr, nullptr, nullptr, nullptr, nullptr);
    uint8_t buffer[8] = {};
    vzmsg_t msg;
    vzmsg_init(&msg, buffer, sizeof buffer);
    const int missingBytes = vzmsg_add_str8(&msg, 1, nullptr, 2);
    const QString text = capture.finish();
    QCOMPARE(added, 0);
    QCOMPARE(item12, 1);
    QCOMPARE(others, 3);
    QVERIFY(got != 0);
    QCOMPARE(vzmsg_room_str8(nullptr), 0u);
    QCOMPARE(missingBytes, 0);
    QCOMPARE(int(msg.position), 0);
    QVERIFY(StdoutCapture::errorLines(text, source) >= 7 + 1 + 3 + 2);
}

void TestVzmsgRecord::item12()
{
    uint8_t buffer[16] = {};
    vzmsg_t msg;
    vzmsg_init(&msg, buffer, sizeof buffer);
    QCOMPARE(vzmsg_add_item12(&msg, 0xA1B2, 3, 4, 5, 6, 7), 0);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(buffer), 10), hex("120607B2A10304050607"));
    uint16_t a = 0;
    uint8_t f[5] = {};
    QCOMPARE(vzmsg_parse_item12(buffer + 3, 7, &a, &f[0], &f[1], &f[2], &f[3], &f[4]), 0);
    QCOMPARE(int(a), 0xA1B2);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(f), 5), hex("0304050607"));
    QCOMPARE(vzmsg_parse_item12(buffer + 3, 7, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    StdoutCapture capture;
    const int shortParse = vzmsg_parse_item12(buffer + 3, 6, &a, nullptr, nullptr, nullptr, nullptr, nullptr);
    const int full = vzmsg_add_item12(&msg, 1, 2, 3, 4, 5, 6); // 6 bytes left, 9 needed
    capture.finish();
    QCOMPARE(shortParse, 1);
    QCOMPARE(full, 1);
    QCOMPARE(int(msg.position), 10);
}

static QList<uint32_t> hookCalls;
static void recordSleep(uint32_t milliseconds)
{
    hookCalls.append(milliseconds);
}

void TestVzmsgRecord::sleepHook()
{
    vzmsg_set_sleep_hook(recordSleep);
    vzmsg_sleep(100);
    vzmsg_sleep(1000);
    vzmsg_set_sleep_hook(nullptr);
    QCOMPARE(hookCalls, (QList<uint32_t>{100, 1000}));
    QElapsedTimer timer;
    timer.start();
    vzmsg_sleep(30);
    QVERIFY(timer.elapsed() >= 29);
    QCOMPARE(hookCalls.size(), 2);
}

QTEST_GUILESS_MAIN(TestVzmsgRecord)
#include "tst_vzmsg_record.moc"
