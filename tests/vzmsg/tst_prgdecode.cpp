// The firmware image module: byte code, header fields, the checksum test on
// images made by the encoder, and the file operations.
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <cstring>

#include "prgencode.h"
#include "stdout_capture.h"

static const QString source = QStringLiteral("vzmsg/prgdecode.c");

static const uint8_t *bytesOf(const QByteArray &a)
{
    return reinterpret_cast<const uint8_t *>(a.constData());
}

static prg_image_info sampleInfo()
{
    return prg_image_info{{'V', 'E', 'L', 'D', 'R', '-', 'Q', '7'}, 100, 39, 2022, 8, 1};
}

static QByteArray pattern(int length)
{
    QByteArray payload(length, '\0');
    for (int i = 0; i < length; ++i)
        payload[i] = char(i * 37 + 11);
    return payload;
}

static QByteArray buildImage(const QByteArray &payload, const prg_image_info &info = sampleInfo())
{
    QByteArray image(payload.size() + PRG_MIN_IMAGE_SIZE, '\0');
    if (prg_build_image(&info, bytesOf(payload), payload.size(), reinterpret_cast<uint8_t *>(image.data()),
                        image.size()) != 0)
        return QByteArray();
    return image;
}

static quint32 byteSum(const QByteArray &bytes)
{
    quint32 sum = 0;
    for (char c : bytes)
        sum += uchar(c);
    return sum;
}

static QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char(value >> (24 - 8 * i));
    return bytes;
}

static void setBigEndian(QByteArray &image, int offset, quint32 value)
{
    image.replace(offset, 4, bigEndian(value));
}

static bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

class TestPrgDecode : public QObject
{
    Q_OBJECT
private slots:
    void byteCode();
    void headerFields();
    void check_data();
    void check();
    void checkRandomPayloads();
    void checkSumWraps();
    void loadAndReadHeader();
    void decodeFile();
    void decodeFilePathLength_data();
    void decodeFilePathLength();
    void printInfo();
};

void TestPrgDecode::byteCode()
{
    bool seen[256] = {};
    int fixedPoints = 0;
    for (int v = 0; v < 256; ++v) {
        const uint8_t d = prg_decode_table[v];
        QVERIFY2(!seen[d], "the decode table is not a permutation");
        seen[d] = true;
        fixedPoints += d == v;
        QCOMPARE(int(prg_encode_table[d]), v);
        QCOMPARE(int(d), int(PRG_DECODE_BYTE(v)));
    }
    QVERIFY(fixedPoints < 16);
    uint8_t all[256], coded[256], back[256];
    for (int v = 0; v < 256; ++v)
        all[v] = uint8_t(v);
    QCOMPARE(prg_encode(coded, all, 256), 256);
    QCOMPARE(prg_decode(back, coded, 256), 256);
    QVERIFY(std::memcmp(back, all, 256) == 0);
    std::memset(back, 0xEE, sizeof back);
    QCOMPARE(prg_decode(back, coded, 0), 0);
    QCOMPARE(prg_decode(back, coded, -5), -5);
    QCOMPARE(prg_encode(back, all, -1), -1);
    QCOMPARE(int(back[0]), 0xEE);
}

void TestPrgDecode::headerFields()
{
    prg_image_info info{{'Q', '9', 0, 0, 0, 0, 0, 0}, 0x1234, 0xBEEF, 2022, 12, 31};
    const QByteArray image = buildImage(pattern(3), info);
    QCOMPARE(image.left(24).toHex(), QByteArray("5139000000000000"
                                                "1234"
                                                "beef"
                                                "07e6"
                                                "0c"
                                                "1f"
                                                "00000090"
                                                "00000027"));
    QCOMPARE(image.mid(24, 8), QByteArray(8, '\0'));
    prg_header header;
    std::memset(&header, 0xEE, sizeof header);
    QCOMPARE(prg_set_header(&header, nullptr), 32);
    QCOMPARE(int(header.month), 0xEE);
    QCOMPARE(prg_set_header(&header, bytesOf(image)), 32);
    QCOMPARE(prg_get_version(&header), quint16(0x1234));
    QCOMPARE(prg_get_build(&header), quint16(0xBEEF));
    QCOMPARE(prg_get_year(&header), quint16(2022));
    QCOMPARE(prg_get_month(&header), quint8(12));
    QCOMPARE(prg_get_day(&header), quint8(31));
    QCOMPARE(prg_get_checksum(&header), quint32(11 + 48 + 85));
    QCOMPARE(prg_get_size(&header), quint32(39));
    QCOMPARE(prg_get_data_size(&header), quint32(3));
    char product[9];
    std::memset(product, 'x', sizeof product);
    QCOMPARE(prg_get_product(&header, product, 9), 0);
    QCOMPARE(QByteArray(product), QByteArray("Q9"));

    prg_set_header(&header, bytesOf(buildImage(QByteArray())));
    QCOMPARE(prg_get_product(&header, product, 9), 0);
    QCOMPARE(QByteArray(product, 9), QByteArray("VELDR-Q7\0", 9));
    QCOMPARE(prg_get_data_size(&header), quint32(0));
    header.size[3] = 10; // smaller than any image
    QCOMPARE(prg_get_data_size(&header), quint32(0));
    StdoutCapture capture;
    const int small = prg_get_product(&header, product, 8);
    const QString text = capture.finish();
    QCOMPARE(small, -1);
    QCOMPARE(StdoutCapture::errorLines(text, source), 1);
}

enum { Keep = INT_MIN };

void TestPrgDecode::check_data()
{
    QTest::addColumn<int>("payload");     // payload length
    QTest::addColumn<int>("flip");        // image byte to change, Keep for none; negative counts from the end
    QTest::addColumn<int>("extra");       // bytes added behind (or, negative, cut from) the image
    QTest::addColumn<qint64>("declared"); // total size written into the header, Keep for the true one
    QTest::addColumn<bool>("pass");
    QTest::addColumn<QString>("message"); // printed beside the diagnostic line
    const QString mismatch = QStringLiteral("check_size = 1000, real sum = ");
    QTest::newRow("sound") << 1000 << int(Keep) << 0 << qint64(Keep) << true << QString();
    QTest::newRow("abc") << 3 << int(Keep) << 0 << qint64(Keep) << true << QString();
    QTest::newRow("first payload byte") << 1000 << 32 << 0 << qint64(Keep) << false << mismatch;
    QTest::newRow("middle payload byte") << 1000 << 500 << 0 << qint64(Keep) << false << mismatch;
    QTest::newRow("last payload byte") << 1000 << -5 << 0 << qint64(Keep) << false << mismatch;
    QTest::newRow("header checksum") << 1000 << 19 << 0 << qint64(Keep) << false << mismatch;
    for (int i = 1; i <= 4; ++i)
        QTest::addRow("trailer byte %d", i) << 1000 << -i << 0 << qint64(Keep) << false << mismatch;
    QTest::newRow("reserved bytes are not read") << 1000 << 30 << 0 << qint64(Keep) << true << QString();
    QTest::newRow("longer memory") << 1000 << int(Keep) << 77 << qint64(Keep) << true << QString();
    QTest::newRow("shorter memory, before decoding")
        << 1000 << int(Keep) << -1 << qint64(Keep) << false << QString();
    QTest::newRow("declared 0") << 1000 << int(Keep) << 0 << qint64(0) << false << QString();
    QTest::newRow("declared 1") << 1000 << int(Keep) << 0 << qint64(1) << false << QString();
    QTest::newRow("declared 35") << 1000 << int(Keep) << 0 << qint64(35) << false << QString();
    QTest::newRow("declared 2 GiB") << 1000 << int(Keep) << 0 << qint64(0x80000000) << false << QString();
    QTest::newRow("empty payload") << 0 << int(Keep) << 0 << qint64(Keep) << true << QString();
    QTest::newRow("empty payload, trailer not 0")
        << 0 << -1 << 0 << qint64(Keep) << false << QStringLiteral("check_size = 0, real sum = ");
    QTest::newRow("35 bytes") << 0 << int(Keep) << -1 << qint64(35) << false
                              << QStringLiteral("check size = 0, fw_size = 35\n");
    QTest::newRow("24 bytes") << 0 << int(Keep) << -12 << qint64(24) << false
                              << QStringLiteral("check size = 0, fw_size = 24\n");
    QTest::newRow("10 bytes, no size field")
        << 0 << int(Keep) << -26 << qint64(Keep) << false << QStringLiteral("check size = 0, fw_size = 10\n");
}

void TestPrgDecode::check()
{
    QFETCH(int, payload);
    QFETCH(int, flip);
    QFETCH(int, extra);
    QFETCH(qint64, declared);
    QFETCH(bool, pass);
    QFETCH(QString, message);
    QByteArray image = buildImage(pattern(payload));
    QVERIFY(!image.isEmpty());
    if (flip != Keep)
        image[flip < 0 ? image.size() + flip : flip] =
            char(image[flip < 0 ? image.size() + flip : flip] ^ 0x10);
    if (extra > 0)
        image.append(QByteArray(extra, '\x7F'));
    else
        image.chop(-extra);
    if (declared != Keep)
        setBigEndian(image, 20, quint32(declared));
    const QByteArray before = image;
    StdoutCapture capture;
    const int result = prg_check(bytesOf(image), image.size());
    const QString text = capture.finish();
    QCOMPARE(result, pass ? 0 : 1);
    QCOMPARE(image, before);
    QCOMPARE(StdoutCapture::errorLines(text, source), pass ? 0 : 1);
    if (message.isEmpty())
        QCOMPARE(text.count('\n'), pass ? 0 : 1);
    else
        QVERIFY2(text.contains(message), qPrintable(text));
}

// Random payloads of every length around the check's block size: sound
// images pass, one changed byte anywhere in the body fails.
void TestPrgDecode::checkRandomPayloads()
{
    QRandomGenerator rng(36);
    for (int length = 0; length < 300; ++length) {
        QByteArray payload(length, '\0');
        for (char &c : payload)
            c = char(rng.bounded(256));
        QByteArray image = buildImage(payload);
        QCOMPARE(prg_check(bytesOf(image), image.size()), 0);
        const int at = 32 + int(rng.bounded(length + 4));
        image[at] = char(image[at] ^ (1 << rng.bounded(8)));
        StdoutCapture quiet;
        const int result = prg_check(bytesOf(image), image.size());
        quiet.finish();
        QVERIFY2(result == 1, qPrintable(QString::number(length)));
    }
}

// 17,000,000 bytes of FF sum past 2^32; the checksum holds the sum modulo 2^32.
void TestPrgDecode::checkSumWraps()
{
    const QByteArray image = buildImage(QByteArray(17000000, '\xFF'));
    prg_header header;
    prg_set_header(&header, bytesOf(image));
    QCOMPARE(prg_get_checksum(&header), quint32(17000000ull * 255 % (1ull << 32)));
    QCOMPARE(prg_check(bytesOf(image), image.size()), 0);
}

void TestPrgDecode::loadAndReadHeader()
{
    QTemporaryDir dir;
    const QByteArray image = buildImage(pattern(50));
    const QString good = dir.filePath("good.prg"), empty = dir.filePath("empty.prg"),
                  stub = dir.filePath("stub.prg"), missing = dir.filePath("missing.prg");
    QVERIFY(writeFile(good, image) && writeFile(empty, QByteArray()) && writeFile(stub, image.left(31)));

    int32_t length = -1;
    uint8_t *loaded = prg_load_file(QFile::encodeName(good).constData(), &length);
    QVERIFY(loaded);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(loaded), length), image);
    std::free(loaded);
    prg_header header;
    QCOMPARE(prg_read_header(&header, QFile::encodeName(good).constData()), 0);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(&header), 32), image.left(32));
    QCOMPARE(prg_check_file(QFile::encodeName(good).constData()), 0);

    StdoutCapture capture;
    uint8_t *none = prg_load_file(QFile::encodeName(empty).constData(), &length);
    uint8_t *gone = prg_load_file(QFile::encodeName(missing).constData(), nullptr);
    std::memset(&header, 0xEE, sizeof header);
    const int shortRead = prg_read_header(&header, QFile::encodeName(stub).constData());
    const QByteArray cleared(reinterpret_cast<char *>(&header), 32);
    const int missingRead = prg_read_header(&header, QFile::encodeName(missing).constData());
    const int missingCheck = prg_check_file(QFile::encodeName(missing).constData());
    const int stubCheck = prg_check_file(QFile::encodeName(stub).constData());
    const QString text = capture.finish();
    QVERIFY(!none && !gone);
    QCOMPARE(length, 50 + 36); // unchanged by the failed load
    QCOMPARE(shortRead, 1);
    QCOMPARE(cleared, QByteArray(32, '\0'));
    QCOMPARE(missingRead, 1);
    QCOMPARE(missingCheck, 1);
    QCOMPARE(stubCheck, 1);
    QVERIFY(StdoutCapture::errorLines(text, source) >= 7);
}

void TestPrgDecode::decodeFile()
{
    QTemporaryDir dir;
    const QByteArray payload = pattern(100);
    const QByteArray image = buildImage(payload) + QByteArray("tail");
    const QString path = dir.filePath("fw.prg");
    QVERIFY(writeFile(path, image));
    QCOMPARE(prg_decode_file(QFile::encodeName(path).constData()), 0);
    QFile out(path + ".bin");
    QVERIFY(out.open(QIODevice::ReadOnly));
    const QByteArray expected = payload + bigEndian(byteSum(payload));
    QByteArray tail(4, '\0');
    prg_decode(reinterpret_cast<uint8_t *>(tail.data()), bytesOf(QByteArray("tail")), 4);
    QCOMPARE(out.readAll(), expected + tail); // the file length sets the extent

    const QString headerOnly = dir.filePath("header.prg"), stub = dir.filePath("stub.prg");
    QVERIFY(writeFile(headerOnly, image.left(32)) && writeFile(stub, image.left(31)));
    QCOMPARE(prg_decode_file(QFile::encodeName(headerOnly).constData()), 0);
    QCOMPARE(QFileInfo(headerOnly + ".bin").size(), 0);
    StdoutCapture capture;
    const int refused = prg_decode_file(QFile::encodeName(stub).constData());
    capture.finish();
    QCOMPARE(refused, 1);
    QVERIFY(!QFile::exists(stub + ".bin"));
}

void TestPrgDecode::decodeFilePathLength_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("result");
    QTest::newRow("507 characters") << 507 << 0;
    QTest::newRow("508 characters") << 508 << 1;
    QTest::newRow("600 characters") << 600 << 1;
}

// The output name is the path plus ".bin" in 512 bytes: a longer path is
// refused without touching anything.
void TestPrgDecode::decodeFilePathLength()
{
    QFETCH(int, length);
    QFETCH(int, result);
    QTemporaryDir dir;
    QString path = dir.path();
    while (path.size() + 1 + 200 < length) {
        path += "/" + QString(100, 'd');
        QVERIFY(QDir().mkdir(path));
    }
    path += "/" + QString(length - path.size() - 1, 'f');
    QCOMPARE(path.size(), length);
    QVERIFY(writeFile(path, buildImage(pattern(10))));
    StdoutCapture capture;
    const int got = prg_decode_file(QFile::encodeName(path).constData());
    const QString text = capture.finish();
    QCOMPARE(got, result);
    QCOMPARE(QFile::exists(path + ".bin"), result == 0);
    QCOMPARE(StdoutCapture::errorLines(text, source), result);
}

void TestPrgDecode::printInfo()
{
    QTemporaryDir dir;
    const QString good = dir.filePath("good.prg"), bad = dir.filePath("bad.prg");
    QByteArray image = buildImage(pattern(1000));
    QVERIFY(writeFile(good, image));
    const QString lines = QStringLiteral("filename: %1\nproduct: VELDR-Q7\nversion: 100\nbuild: 39\n"
                                         "date: 2022/8/1\nchecksum: 0x%2\nsize: 1036\ntest checksum...\n")
                              .arg(QStringLiteral("%1"), QString::number(byteSum(pattern(1000)), 16));
    image[40] = char(image[40] ^ 1);
    QVERIFY(writeFile(bad, image));
    StdoutCapture capture;
    const int passed = prg_print_info(QFile::encodeName(good).constData());
    const QString goodText = capture.finish();
    QCOMPARE(passed, 0);
    QCOMPARE(goodText, lines.arg(good) + "OK\n");
    StdoutCapture again;
    const int failed = prg_print_info(QFile::encodeName(bad).constData());
    const int missing = prg_print_info(QFile::encodeName(dir.filePath("none")).constData());
    const QString badText = again.finish();
    QCOMPARE(failed, -1);
    QCOMPARE(missing, -1);
    QVERIFY2(badText.startsWith(lines.arg(bad) + source + ":"), qPrintable(badText));
    QVERIFY(badText.contains(":ERROR\ncheck_size = 1000, real sum = "));
    QVERIFY(badText.contains("\nNG\n" + source + ":"));
}

QTEST_GUILESS_MAIN(TestPrgDecode)
#include "tst_prgdecode.moc"
