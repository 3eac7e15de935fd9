// Firmware images: header fields, the checksum test on images made by the
// encoder, the file operations, and prgtool end to end.
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <cstring>

#include "prgencode.h"
#include "test_support.h"

static const QString source = QStringLiteral("vzmsg/prgdecode.c");

static const prg_image_info sample = {{'V', 'E', 'L', 'D', 'R', '-', 'Q', '7'}, 100, 39, 2022, 8, 1};

static QByteArray buildImage(const QByteArray &payload, const prg_image_info &info = sample)
{
    QByteArray image(payload.size() + PRG_MIN_IMAGE_SIZE, '\0');
    const int built = prg_build_image(&info, bytesOf(payload), payload.size(),
                                      reinterpret_cast<uint8_t *>(image.data()), image.size());
    return built == 0 ? image : QByteArray();
}

static QByteArray pattern(int length)
{
    QByteArray payload(length, '\0');
    for (int i = 0; i < length; ++i)
        payload[i] = char(i * 37 + 11);
    return payload;
}

static QByteArray decodedBody(const QByteArray &image)
{
    QByteArray body(image.size() - 32, '\0');
    prg_decode(reinterpret_cast<uint8_t *>(body.data()), bytesOf(image) + 32, body.size());
    return body;
}

static const struct CheckCase {
    const char *name;
    int payload;         // length of the payload
    int flip;            // image byte to change (negative: from the end), 0 for none
    int extra;           // bytes added behind (negative: cut from) the image
    qint64 declared;     // total size written into the header, -1 for the true one
    const char *message; // printed beside the diagnostic line; null when the image passes
} checkCases[] = {
    {"sound", 1000, 0, 0, -1, nullptr},
    {"sum past 2^32", 40000000, 0, 0, -1, nullptr},
    {"first payload byte", 1000, 32, 0, -1, "check_size = 1000, real sum = "},
    {"header checksum", 1000, 19, 0, -1, "check_size = 1000, real sum = "},
    {"last trailer byte", 1000, -1, 0, -1, "check_size = 1000, real sum = "},
    {"longer memory", 1000, 0, 77, -1, nullptr},
    {"shorter memory, before decoding", 1000, 0, -1, -1, ""},
    {"declared 0", 1000, 0, 0, 0, ""},
    {"declared 1", 1000, 0, 0, 1, ""},
    {"declared 35", 1000, 0, 0, 35, ""},
    {"declared 2 GiB", 1000, 0, 0, 0x80000000, ""},
    {"empty payload", 0, 0, 0, -1, nullptr},
    {"empty payload, trailer not 0", 0, -1, 0, -1, "check_size = 0, real sum = "},
    {"35 bytes", 0, 0, -1, 35, "check size = 0, fw_size = 35\n"},
    {"10 bytes, no size field", 0, 0, -26, -1, "check size = 0, fw_size = 10\n"},
};

// Runs prgtool with the blank-separated arguments, '@' standing for `dir`.
static ProgramRun prgtool(const QString &arguments, const QString &dir = QString())
{
    return runProgram(QStringLiteral(PRGTOOL_PATH),
                      QString(arguments).replace('@', dir).split(' ', Qt::SkipEmptyParts));
}

static const struct BadCase {
    const char *name, *arguments; // '@' is a fresh folder
    int exitCode;
    const char *complaint;
} badCases[] = {
    {"no command", "", 2, "no command"},
    {"unknown command", "frob x", 2, "unknown command"},
    {"both payloads", "build --generate-size 100 --payload p -o @/out.prg", 2, "exactly one of"},
    {"size 35", "build --generate-size 35 -o @/out.prg", 2, "from 36"},
    {"30 February", "build --generate-size 36 --date 2022-02-30 -o @/out.prg", 2, "--date"},
    {"missing payload", "build --payload @/none.raw -o @/out.prg", 1, "cannot read the payload"},
    {"output folder missing", "build --generate-size 36 -o @/no/dir/out.prg", 1, "cannot create"},
};

class TestPrg : public QObject
{
    Q_OBJECT
private slots:
    // The header's big-endian fields and the abc image: checksum 0x126, total
    // size 39, a body that decodes to the payload and the checksum again.
    void header()
    {
        const QByteArray image = buildImage("abc", {{'Q', '9'}, 0x1234, 0xBEEF, 2022, 12, 31});
        QCOMPARE(image.left(32).toHex(),
                 QByteArray("51390000000000001234beef07e60c1f00000126000000270000000000000000"));
        QCOMPARE(decodedBody(image).toHex(), QByteArray("61626300000126"));
        QCOMPARE(prg_check(bytesOf(image), image.size()), 0);
        prg_header header;
        QCOMPARE(prg_set_header(&header, bytesOf(image)), 32);
        QVERIFY(prg_get_version(&header) == 0x1234 && prg_get_build(&header) == 0xBEEF);
        QVERIFY(prg_get_year(&header) == 2022 && prg_get_month(&header) == 12 && prg_get_day(&header) == 31);
        QVERIFY(prg_get_checksum(&header) == 0x126 && prg_get_size(&header) == 39 &&
                prg_get_data_size(&header) == 3);
        char product[9] = "xxxxxxxx";
        QVERIFY(prg_get_product(&header, product, 9) == 0 && QByteArray(product) == "Q9");
        prg_set_header(&header, bytesOf(buildImage(QByteArray())));
        QVERIFY(prg_get_product(&header, product, 9) == 0 &&
                QByteArray(product, 9) == QByteArray("VELDR-Q7\0", 9));
        header.size[3] = 10; // smaller than any image
        QCOMPARE(prg_get_data_size(&header), 0u);
        uint8_t tooSmall[38]; // the abc image less one byte
        StdoutCapture capture;
        const int small = prg_get_product(&header, product, 8);
        const int refused = prg_build_image(&sample, bytesOf("abc"), 3, tooSmall, sizeof tooSmall);
        const QString text = capture.finish();
        QVERIFY(small == -1 && refused == 1 && StdoutCapture::errorLines(text, source) == 1);
    }

    void check_data() { addRows(checkCases); }
    void check()
    {
        const CheckCase &c = fetchCase(checkCases);
        QByteArray image = buildImage(pattern(c.payload));
        if (c.flip != 0)
            image.data()[c.flip < 0 ? image.size() + c.flip : c.flip] ^= 0x10;
        image = c.extra > 0 ? image + QByteArray(c.extra, '\x7F') : image.left(image.size() + c.extra);
        if (c.declared >= 0)
            qToBigEndian(quint32(c.declared), image.data() + 20);
        const QByteArray before = image;
        StdoutCapture capture;
        const int result = prg_check(bytesOf(image), image.size());
        const QString text = capture.finish();
        QCOMPARE(result, c.message ? 1 : 0);
        QCOMPARE(image, before);
        QCOMPARE(StdoutCapture::errorLines(text, source), c.message ? 1 : 0);
        QCOMPARE(text.count('\n'), !c.message   ? 0
                                   : *c.message ? 2
                                                : 1); // "": nothing decoded, nothing summed
        QVERIFY2(!c.message || text.contains(c.message), qPrintable(text));
    }

    // File operations; a decoded file covers the whole file, and its name must fit 512 bytes.
    void files()
    {
        QTemporaryDir dir;
        const QByteArray image = buildImage(pattern(50)) + "tail";
        const QString good = dir.filePath("good.prg"), empty = dir.filePath("empty.prg"),
                      stub = dir.filePath("stub.prg"), missing = dir.filePath("missing.prg");
        QVERIFY(writeFile(good, image) && writeFile(empty, QByteArray()) && writeFile(stub, image.left(31)));
        const auto name = [](const QString &path) { return QFile::encodeName(path); };

        int32_t length = -1;
        uint8_t *loaded = prg_load_file(name(good), &length);
        QVERIFY(loaded && QByteArray(reinterpret_cast<char *>(loaded), length) == image);
        std::free(loaded);
        prg_header header;
        QCOMPARE(prg_read_header(&header, name(good)), 0);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(&header), 32), image.left(32));
        QCOMPARE(prg_check_file(name(good)), 0);
        QCOMPARE(prg_decode_file(name(good)), 0);
        QCOMPARE(readFile(good + ".bin"), decodedBody(image)); // the file's length sets the extent

        StdoutCapture capture;
        const bool notLoaded = !prg_load_file(name(empty), &length) && !prg_load_file(name(missing), nullptr);
        int refused = prg_read_header(&header, name(missing)) + prg_check_file(name(missing)) +
                      prg_check_file(name(stub)) + prg_decode_file(name(stub));
        std::memset(&header, 0xEE, sizeof header);
        refused += prg_read_header(&header, name(stub)); // a short read leaves the header cleared
        const QString text = capture.finish();
        QVERIFY(notLoaded);
        QCOMPARE(length, image.size()); // unchanged by the failed load
        QCOMPARE(refused, 5);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(&header), 32), QByteArray(32, '\0'));
        QVERIFY(!QFile::exists(stub + ".bin"));
        QVERIFY(StdoutCapture::errorLines(text, source) >= 8);

        for (const int pathLength : {507, 508}) {
            QString path = dir.path();
            while (path.size() + 200 < pathLength)
                QVERIFY(QDir().mkpath(path += "/" + QString(100, 'd')));
            path += "/" + QString(pathLength - path.size() - 1, 'f');
            QVERIFY(writeFile(path, image));
            StdoutCapture quiet;
            const int result = prg_decode_file(name(path));
            quiet.finish();
            QCOMPARE(result, pathLength > 507 ? 1 : 0);
            QCOMPARE(QFile::exists(path + ".bin"), result == 0);
        }
    }

    // A generated image (the same on every run) passes check, and info shows
    // its header; a changed byte fails both.
    void buildCheckInfo()
    {
        QTemporaryDir dir;
        const QString image = dir.filePath("gen.prg"), changed = dir.filePath("changed.prg");
        const char *build = "build --generate-size 5000 --product VD-NIMBO --version 102 --build 7 --date "
                            "2024-02-29 -o @/gen.prg";
        QCOMPARE(prgtool(build, dir.path()).exitCode, 0);
        const QByteArray sound = readFile(image);
        QCOMPARE(sound.size(), 5000);
        QCOMPARE(prgtool(build, dir.path()).exitCode, 0);
        QCOMPARE(readFile(image), sound);
        const ProgramRun check = prgtool("check " + image);
        QVERIFY(check.exitCode == 0 && check.out == image + ": OK\n");
        const ProgramRun info = prgtool("info " + image);
        QCOMPARE(info.exitCode, 0);
        QCOMPARE(info.out, "filename: " + image.toUtf8() +
                               "\nproduct: VD-NIMBO\nversion: 102\nbuild: 7\ndate: 2024/2/29\nchecksum: 0x" +
                               QByteArray::number(qFromBigEndian<quint32>(sound.constData() + 16), 16) +
                               "\nsize: 5000\ntest checksum...\nOK\n");
        QByteArray bytes = sound;
        bytes[4999] = char(bytes[4999] ^ 0x40);
        QVERIFY(writeFile(changed, bytes));
        const ProgramRun badCheck = prgtool("check " + changed), badInfo = prgtool("info " + changed);
        QVERIFY(badCheck.exitCode == 1 && badCheck.err.contains("checksum test failed"));
        QVERIFY(badInfo.exitCode == 1 && badInfo.out.contains("\nNG\n"));
    }

    void badCommandLine_data() { addRows(badCases); }
    // Bad input: a message on standard error, a non-zero exit, no file made.
    void badCommandLine()
    {
        const BadCase &c = fetchCase(badCases);
        QTemporaryDir dir;
        const ProgramRun run = prgtool(c.arguments, dir.path());
        QCOMPARE(run.exitCode, c.exitCode);
        QVERIFY2(run.err.contains(c.complaint), run.err.constData());
        QVERIFY(!QFile::exists(dir.filePath("out.prg")));
    }

    // A given payload is stored as it is behind the default header, decode
    // gives it back with the trailer; no command writes over its input.
    void payloadAndNoOverwrite()
    {
        QTemporaryDir dir;
        const QString payload = dir.filePath("p.raw"), image = dir.filePath("p.prg");
        const QByteArray bytes = pattern(3000);
        QVERIFY(writeFile(payload, bytes));
        const ProgramRun same = prgtool("build --payload @/p.raw -o @/./p.raw", dir.path());
        QVERIFY(same.exitCode != 0 && same.err.contains("not overwriting"));
        QVERIFY(QFile::link(payload, dir.filePath("link.raw")));
        QVERIFY(prgtool("build --payload @/link.raw -o @/p.raw", dir.path()).exitCode != 0);
        QCOMPARE(readFile(payload), bytes);

        QCOMPARE(prgtool("build --payload @/p.raw -o @/p.prg", dir.path()).exitCode, 0);
        QCOMPARE(prgtool("decode " + image).exitCode, 0);
        const QByteArray sound = readFile(image);
        QCOMPARE(sound.left(12).toHex(), QByteArray("56454c44522d513700640001")); // VELDR-Q7, 1.00, build 1
        QCOMPARE(readFile(image + ".bin"), bytes + sound.mid(16, 4)); // the trailer repeats the checksum
        // FILE.bin that is FILE itself, through a link.
        QVERIFY(QFile::remove(image + ".bin") && QFile::link(image, image + ".bin"));
        const ProgramRun decode = prgtool("decode " + image);
        QVERIFY(decode.exitCode != 0 && decode.err.contains("not overwriting"));
        QCOMPARE(readFile(image), sound);
    }
};

QTEST_GUILESS_MAIN(TestPrg)
#include "tst_prg.moc"
