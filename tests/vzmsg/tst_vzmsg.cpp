// The message library: records, and their SysEx framing with the bit
// regrouping.
#include <QRandomGenerator>
#include <QtTest>

#include <vector>

#include "test_support.h"
#include "vzmsg.h"
#include "vzmsg_midi.h"

static const QString recordSource = QStringLiteral("vzmsg/vzmsg.c"),
                     midiSource = QStringLiteral("vzmsg/vzmsg_midi.c");

// One add operation chosen by type, so that tables can list items.
static int addItem(vzmsg_t *msg, int type, quint8 code, quint64 value, const QByteArray &str = {})
{
    const char *bytes = str.constData();
    return type == 1   ? vzmsg_add_cmd(msg, code)
           : type == 2 ? vzmsg_add_u8(msg, code, quint8(value))
           : type == 3 ? vzmsg_add_u16(msg, code, quint16(value))
           : type == 4 ? vzmsg_add_u32(msg, code, quint32(value))
           : type == 5 ? vzmsg_add_u64(msg, code, value)
           : type == 6 ? vzmsg_add_str8(msg, code, bytes, quint8(str.size()))
                       : vzmsg_add_str16(msg, code, bytes, quint16(str.size()));
}

static const struct AddCase {
    const char *name;
    int type, code;
    quint64 value;
    const char *str; // hexadecimal, `repeat` times
    int repeat;
    const char *head; // hexadecimal: the item without its string bytes
} addCases[] = {
    {"status request", 1, 0x55, 0, "", 0, "5501"},
    {"size", 4, 0x52, 0x1234, "", 0, "520434120000"},
    {"check", 2, 0x53, 0, "", 0, "530200"},
    {"u16", 3, 0x01, 0xBEEF, "", 0, "0103EFBE"},
    {"u64", 5, 0x08, 0x0102030405060708, "", 0, "08050807060504030201"},
    {"str8", 6, 0x5A, 0, "4142", 1, "5A0602"},
    {"empty str8", 6, 0x5A, 0, "", 0, "5A0600"},
    {"str8 of 253", 6, 0x5A, 0, "78", 253, "5A06FD"},
    {"str16 of 252", 7, 0x59, 0, "78", 252, "5907FC00"},
    {"code 0 with a type", 1, 0x00, 0, "", 0, "0001"},
};

static const struct ReadCase {
    const char *name, *bytes; // the whole buffer, in hexadecimal
    int items, position;      // read before the stop, position after it
    const char *printed;      // behind the diagnostic line of an unknown type
} readCases[] = {
    {"one byte", "55", 0, 0, ""},
    {"str8 past the end", "5501 0206054142", 1, 2, ""},
    {"str8 without length byte", "0206", 0, 0, ""},
    {"str16 past the end", "59070500AABBCCDD", 0, 0, ""},
    {"type 8", "5501 1108 5501", 1, 2, " 0x8"},
    {"end item mid-list", "5501 0000 5501", 1, 2, ""},
    {"code 0 with a type", "0001 000207 5501", 3, 7, ""},
};

using Codec = int (*)(const uint8_t *, uint64_t, uint8_t *, uint64_t, uint64_t *);

// The output, or "refused" with the number of diagnostic lines and the
// length reported (none); nothing may be written past the capacity.
static QByteArray run(Codec codec, const QByteArray &input, int capacity = 400)
{
    std::vector<uint8_t> out(size_t(capacity) + 16, 0xEE);
    uint64_t length = 55;
    StdoutCapture capture;
    const int result = codec(input.isEmpty() ? nullptr : bytesOf(input), uint64_t(input.size()), out.data(),
                             uint64_t(capacity), &length);
    const QString text = capture.finish();
    if (std::any_of(out.begin() + capacity, out.end(), [](uint8_t b) { return b != 0xEE; }))
        return "overrun";
    if (result != 0)
        return "refused " + QByteArray::number(StdoutCapture::errorLines(text, midiSource)) + " " +
               QByteArray::number(qulonglong(length));
    return QByteArray(reinterpret_cast<const char *>(out.data()), int(length)) + text.toLatin1();
}

static const struct FrameCase {
    const char *name, *frame; // hexadecimal
    int capacity;
    const char *payload; // hexadecimal, or null for a refusal
    bool encoded;        // the frame is what the encoder makes of the payload
} frameCases[] = {
    {"size record", "F04E502300 52 08 14 1A 12 00 00 F7", 16, "520445230100", true},
    {"seven FF", "F04E502300 7F7F7F7F7F7F7F7F F7", 16, "FFFFFFFFFFFFFF", true},
    {"one 80", "F04E502300 0001 F7", 16, "80", true},
    {"empty", "F04E502300 F7", 16, "", true},
    {"bit 7 ignored", "F04E502300 D5828080808080 80 D5 82 80 F7", 16, "55010000000000 5501", false},
    {"leftover bits dropped", "F04E502300 55 02 60 F7", 16, "5501", false},
    {"five bytes", "F04E502300", 16, nullptr, false},
    {"fourth byte not 23", "F04E502400 5502 00 F7", 16, nullptr, false},
    {"byte 4 not 00", "F04E502301 5502 00 F7", 16, nullptr, false},
    {"no F7", "F04E502300 5502 00 F0", 16, nullptr, false},
    {"one data byte", "F04E502300 7F F7", 16, nullptr, false},
    {"nine data bytes", "F04E502300 7F7F7F7F7F7F7F7F7F F7", 16, nullptr, false},
    {"payload does not fit", "F04E502300 5502 00 F7", 1, nullptr, false},
};

class TestVzmsg : public QObject
{
    Q_OBJECT
private slots:
    void add_data() { addRows(addCases); }
    // At the end of a 256-byte buffer an item that fits exactly fills the rest
    // and reads back (strings in place); one that does not fit changes nothing
    // and says so. The room reported for a string is what one item can carry.
    void add()
    {
        const AddCase &c = fetchCase(addCases);
        const QByteArray str = QByteArray::fromHex(c.str).repeated(c.repeat);
        const QByteArray bytes = QByteArray::fromHex(c.head) + str;
        for (const int room : {bytes.size(), bytes.size() - 1, 0, -44}) {
            std::vector<uint8_t> memory(300, 0xEE);
            const int start = 256 - room, header = c.type == VZMSG_TYPE_STR8 ? 3 : 4;
            const bool fits = room == bytes.size();
            vzmsg_t msg;
            QCOMPARE(vzmsg_init(&msg, memory.data(), 256), 0);
            msg.position = quint16(start);
            QCOMPARE(int(c.type == VZMSG_TYPE_STR8 ? vzmsg_room_str8(&msg) : vzmsg_room_str16(&msg)),
                     std::max(room - header, 0));
            StdoutCapture capture;
            const int added = addItem(&msg, c.type, quint8(c.code), c.value, str);
            const QString printed = capture.finish();
            QCOMPARE(added, fits || c.code == 0 ? 1 : 0); // an item with code 0 needs no room
            QCOMPARE(StdoutCapture::errorLines(printed, recordSource), added ? 0 : room < 2 ? 2 : 3);
            QCOMPARE(int(msg.position), fits ? 256 : start);
            QVERIFY(std::all_of(memory.begin() + (fits ? 256 : 0), memory.end(),
                                [](uint8_t b) { return b == 0xEE; }));
            if (!fits)
                continue;
            QCOMPARE(QByteArray(reinterpret_cast<char *>(memory.data()) + start, room), bytes);
            uint32_t code, type;
            uint64_t value;
            uint16_t size;
            msg.position = quint16(start);
            QCOMPARE(vzmsg_get(&msg, &code, &type, &value, &size), 0);
            QVERIFY(int(code) == c.code && int(type) == c.type && msg.position == 256);
            if (c.type < VZMSG_TYPE_STR8)
                QVERIFY(value == c.value && size == bytes.size() - 2);
            else
                QVERIFY(value == uintptr_t(memory.data() + 256 - size) && size == str.size());
        }
    }

    void readMalformed_data() { addRows(readCases); }
    // Reads items until the stop: the stop leaves position and outputs alone,
    // and only an unknown type prints a line, naming the type.
    void readMalformed()
    {
        const ReadCase &c = fetchCase(readCases);
        QByteArray bytes = QByteArray::fromHex(c.bytes);
        vzmsg_t msg;
        vzmsg_init(&msg, bytes.data(), quint16(bytes.size()));
        StdoutCapture capture;
        int read = 0;
        while (vzmsg_get(&msg, nullptr, nullptr, nullptr, nullptr) == 0)
            ++read;
        uint32_t code = 7, type = 7;
        uint64_t value = 7;
        uint16_t size = 7;
        const int again = vzmsg_get(&msg, &code, &type, &value, &size);
        const QString text = capture.finish();
        QVERIFY(read == c.items && msg.position == c.position);
        QVERIFY(again != 0 && code == 7 && type == 7 && value == 7 && size == 7); // untouched by the stop
        const int lines = *c.printed ? 2 : 0;                                     // once per call at the stop
        QCOMPARE(StdoutCapture::errorLines(text, recordSource), lines);
        QCOMPARE(text.count(QStringLiteral(":ERROR%1\n").arg(c.printed)), lines);
    }

    // Item 0x12 answers 0 for success, unlike the other adds; its seven
    // bytes read back field by field, and a record without room refuses it.
    void item12()
    {
        uint8_t buffer[16] = {};
        vzmsg_t msg;
        vzmsg_init(&msg, buffer, 16);
        QCOMPARE(vzmsg_add_item12(&msg, 0x1234, 1, 2, 3, 4, 5), 0);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), msg.position).toHex(), "1206073412"
                                                                                           "0102030405");
        uint16_t a = 0;
        uint8_t f[5] = {};
        QCOMPARE(vzmsg_parse_item12(buffer + 3, 7, &a, &f[0], &f[1], &f[2], &f[3], &f[4]), 0);
        QVERIFY(a == 0x1234 &&
                QByteArray(reinterpret_cast<const char *>(f), 5) == QByteArray::fromHex("0102030405"));
        StdoutCapture capture;
        QCOMPARE(vzmsg_parse_item12(buffer + 3, 6, &a, f, f, f, f, f), 1);
        QCOMPARE(StdoutCapture::errorLines(capture.finish(), recordSource), 1);
        QCOMPARE(vzmsg_add_item12(&msg, 0, 0, 0, 0, 0, 0), 1);
        QCOMPARE(msg.position, uint16_t(10));
    }

    void frames_data() { addRows(frameCases); }
    void frames()
    {
        const FrameCase &c = fetchCase(frameCases);
        const QByteArray frame = QByteArray::fromHex(c.frame), payload = QByteArray::fromHex(c.payload);
        QCOMPARE(run(vzmsg_midi_decode, frame, c.capacity), c.payload ? payload : QByteArray("refused 1 55"));
        if (c.encoded && c.payload)
            QCOMPARE(run(vzmsg_midi_encode, payload), frame);
    }

    // Random payloads of every length up to 300 come back from a frame of
    // exactly (8n + 6) / 7 + 6 bytes: the encoder refuses one byte less (no
    // end byte) and two (no room for data).
    void roundTripEveryLength()
    {
        QRandomGenerator rng(7);
        for (int n = 0; n <= 300; ++n) {
            QByteArray payload(n, '\0');
            for (char &c : payload)
                c = char(rng.bounded(256));
            const QByteArray frame = run(vzmsg_midi_encode, payload, (8 * n + 6) / 7 + 6);
            QCOMPARE(frame.size(), (8 * n + 6) / 7 + 6);
            QVERIFY(std::all_of(frame.begin() + 1, frame.end() - 1, [](char b) { return uchar(b) < 0x80; }));
            QCOMPARE(run(vzmsg_midi_decode, frame, n), payload);
            QCOMPARE(run(vzmsg_midi_encode, payload, frame.size() - 1), QByteArray("refused 1 55"));
            QCOMPARE(run(vzmsg_midi_encode, payload, frame.size() - 2), QByteArray("refused 1 55"));
        }
    }

    // A width outside 1 to 8 moves nothing and says so.
    void repackRefusesWidths()
    {
        const uint8_t src[4] = {1, 2, 3, 4};
        uint8_t dst[8];
        uint64_t used = 9, produced = 9;
        StdoutCapture capture;
        const uint64_t moved = vzmsg_midi_repack(src, 4, 0, &used, dst, 8, 7, &produced) +
                               vzmsg_midi_repack(src, 4, 9, nullptr, dst, 8, 8, nullptr) +
                               vzmsg_midi_repack(src, 4, 8, nullptr, dst, 8, 9, nullptr);
        const QString text = capture.finish();
        QVERIFY(moved == 0 && used == 0 && produced == 0);
        QCOMPARE(StdoutCapture::errorLines(text, midiSource), 3);
    }
};

QTEST_GUILESS_MAIN(TestVzmsg)
#include "tst_vzmsg.moc"
