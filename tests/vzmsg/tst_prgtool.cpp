// prgtool end to end: build, check, info and decode, refusals of bad input,
// and that no command ever writes over its input.
#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "prgdecode.h"

struct Run {
    int exitCode;
    QByteArray out, err;
};

static Run prgtool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(PRGTOOL_PATH), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, {}, {}};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

static QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

static bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

static QByteArray flipped(QByteArray bytes, int at)
{
    bytes[at] = char(bytes[at] ^ 0x40);
    return bytes;
}

class TestPrgtool : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void generatedImage();
    void payloadImage();
    void changedImageFails_data();
    void changedImageFails();
    void badCommandLine_data();
    void badCommandLine();
    void neverOverwritesInput();

private:
    QTemporaryDir m_dir;
};

void TestPrgtool::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const Run help = prgtool({"--help"});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.startsWith("Usage: prgtool"));
}

void TestPrgtool::generatedImage()
{
    const QString image = m_dir.filePath("gen.prg");
    const QStringList build = {"build", "--generate-size", "5000", "--product", "VD-NIMBO",   "--version",
                               "102",   "--build",         "7",    "--date",    "2024-02-29", "-o",
                               image};
    QCOMPARE(prgtool(build).exitCode, 0);
    const QByteArray first = readFile(image);
    QCOMPARE(first.size(), 5000);
    QCOMPARE(prgtool(build).exitCode, 0);
    QCOMPARE(readFile(image), first); // the generated payload is the same on every run
    QCOMPARE(prgtool({"check", image}).exitCode, 0);
    const Run info = prgtool({"info", image});
    QCOMPARE(info.exitCode, 0);
    const QList<QByteArray> lines = info.out.split('\n');
    QVERIFY(lines.size() >= 10);
    QCOMPARE(lines[1], QByteArray("product: VD-NIMBO"));
    QCOMPARE(lines[2], QByteArray("version: 102"));
    QCOMPARE(lines[3], QByteArray("build: 7"));
    QCOMPARE(lines[4], QByteArray("date: 2024/2/29"));
    QCOMPARE(lines[6], QByteArray("size: 5000"));
    QCOMPARE(lines[8], QByteArray("OK"));
    QCOMPARE(prgtool({"decode", image}).exitCode, 0);
    QCOMPARE(readFile(image + ".bin").size(), 5000 - 32);
}

void TestPrgtool::payloadImage()
{
    const QString payload = m_dir.filePath("payload.raw"), image = m_dir.filePath("payload.prg");
    QByteArray bytes;
    for (int i = 0; i < 3000; ++i)
        bytes.append(char(i * 7));
    QVERIFY(writeFile(payload, bytes));
    QCOMPARE(prgtool({"build", "--payload", payload, "-o", image}).exitCode, 0);
    QCOMPARE(prgtool({"check", image}).exitCode, 0);
    QCOMPARE(prgtool({"decode", image}).exitCode, 0);
    const QByteArray decoded = readFile(image + ".bin");
    QCOMPARE(decoded.left(bytes.size()), bytes);
    QCOMPARE(decoded.size(), bytes.size() + 4);
    const QByteArray header = readFile(image).left(PRG_HEADER_SIZE);
    QCOMPARE(decoded.right(4), header.mid(16, 4)); // the trailer repeats the header checksum
    QCOMPARE(header.left(8), QByteArray("VELDR-Q7"));
}

void TestPrgtool::changedImageFails_data()
{
    QTest::addColumn<int>("at"); // negative counts from the end
    QTest::newRow("first payload byte") << 32;
    QTest::newRow("last payload byte") << -5;
    QTest::newRow("header checksum") << 17;
    QTest::newRow("size field") << 22;
    QTest::newRow("trailer first byte") << -4;
    QTest::newRow("trailer last byte") << -1;
}

void TestPrgtool::changedImageFails()
{
    QFETCH(int, at);
    const QString source = m_dir.filePath("sound.prg"), changed = m_dir.filePath("changed.prg");
    QCOMPARE(prgtool({"build", "--generate-size", "4096", "-o", source}).exitCode, 0);
    const QByteArray sound = readFile(source);
    QVERIFY(writeFile(changed, flipped(sound, at < 0 ? sound.size() + at : at)));
    const Run check = prgtool({"check", changed});
    QCOMPARE(check.exitCode, 1);
    QVERIFY(check.err.contains("checksum test failed"));
    const Run info = prgtool({"info", changed});
    QCOMPARE(info.exitCode, 1);
    QVERIFY(info.out.contains("\nNG\n"));
}

void TestPrgtool::badCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("complaint");
    const QString out = QStringLiteral("@/out.prg");
    QTest::newRow("no command") << QStringList() << 2 << "no command";
    QTest::newRow("unknown command") << QStringList{"frob", "x"} << 2 << "unknown command";
    QTest::newRow("two files") << QStringList{"check", "a", "b"} << 2 << "exactly one FILE";
    QTest::newRow("no output") << QStringList{"build", "--generate-size", "100"} << 2 << "-o OUT";
    QTest::newRow("no payload") << QStringList{"build", "-o", out} << 2 << "exactly one of";
    QTest::newRow("both payloads") << QStringList{"build", "--generate-size", "100", "--payload", "p", "-o",
                                                  out}
                                   << 2 << "exactly one of";
    QTest::newRow("size 35") << QStringList{"build", "--generate-size", "35", "-o", out} << 2 << "from 36";
    QTest::newRow("size not a number")
        << QStringList{"build", "--generate-size", "1e3", "-o", out} << 2 << "from 36";
    QTest::newRow("size 2 GiB") << QStringList{"build", "--generate-size", "2147483648", "-o", out} << 2
                                << "from 36";
    QTest::newRow("product too long")
        << QStringList{"build", "--generate-size", "36", "--product", "VELDR-Q7X", "-o", out} << 2
        << "--product";
    QTest::newRow("version too big") << QStringList{"build",     "--generate-size", "36",
                                                    "--version", "65536",           "-o",
                                                    out}
                                     << 2 << "0 to 65535";
    QTest::newRow("negative build") << QStringList{"build", "--generate-size", "36", "--build", "-1", "-o",
                                                   out}
                                    << 2 << "0 to 65535";
    QTest::newRow("30 February") << QStringList{"build",  "--generate-size", "36",
                                                "--date", "2022-02-30",      "-o",
                                                out}
                                 << 2 << "--date";
    QTest::newRow("date format") << QStringList{"build", "--generate-size", "36", "--date", "2022-8-1", "-o",
                                                out}
                                 << 2 << "--date";
    QTest::newRow("option without value")
        << QStringList{"build", "--generate-size", "36", "-o"} << 2 << "missing value";
    QTest::newRow("unknown option") << QStringList{"build", "--frob", "1", "-o", out} << 2
                                    << "unknown option";
    QTest::newRow("check a missing file")
        << QStringList{"check", "@/none.prg"} << 1 << "checksum test failed";
    QTest::newRow("decode a missing file") << QStringList{"decode", "@/none.prg"} << 1 << "cannot decode";
    QTest::newRow("missing payload") << QStringList{"build", "--payload", "@/none.raw", "-o", out} << 1
                                     << "cannot read the payload";
    QTest::newRow("output folder missing")
        << QStringList{"build", "--generate-size", "36", "-o", "@/no/dir/x"} << 1 << "cannot create";
}

// Bad input: a message on standard error, a non-zero exit, no file made.
void TestPrgtool::badCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, complaint);
    QTemporaryDir dir;
    for (QString &argument : arguments)
        argument.replace(QLatin1Char('@'), dir.path());
    const Run run = prgtool(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(complaint.toUtf8()), run.err.constData());
    QVERIFY(!QFile::exists(dir.filePath("out.prg")));
}

void TestPrgtool::neverOverwritesInput()
{
    QTemporaryDir dir;
    const QString payload = dir.filePath("p.raw"), image = dir.filePath("p.prg");
    QVERIFY(writeFile(payload, QByteArray(1000, 'p')));
    const Run same = prgtool({"build", "--payload", payload, "-o", dir.path() + "/./p.raw"});
    QVERIFY(same.exitCode != 0);
    QVERIFY(same.err.contains("not overwriting"));
    QCOMPARE(readFile(payload), QByteArray(1000, 'p'));

    QVERIFY(QFile::link(payload, dir.filePath("link.raw")));
    QVERIFY(prgtool({"build", "--payload", dir.filePath("link.raw"), "-o", payload}).exitCode != 0);
    QCOMPARE(readFile(payload), QByteArray(1000, 'p'));

    // FILE.bin that is FILE itself, through a link.
    QCOMPARE(prgtool({"build", "--payload", payload, "-o", image}).exitCode, 0);
    const QByteArray sound = readFile(image);
    QVERIFY(QFile::link(image, image + ".bin"));
    const Run decode = prgtool({"decode", image});
    QVERIFY(decode.exitCode != 0);
    QVERIFY(decode.err.contains("not overwriting"));
    QCOMPARE(readFile(image), sound);
}

QTEST_GUILESS_MAIN(TestPrgtool)
#include "tst_prgtool.moc"
