// prgtool.exe under Wine does what the native prgtool does: the same
// output (Windows line ends aside), exit status and files, side by side in
// two folders holding the same inputs.
#include <QtTest>

#include "test_images.h"

namespace
{

// Standard output and error apart: how the two interleave depends on the
// C library's buffering, which differs between the systems.
struct Run {
    int exitCode = -1;
    QByteArray out, err;
};

} // namespace

class TstPrgtoolWine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_prefix, m_native, m_wine;
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();

    Run run(const QString &program, const QStringList &args, const QString &folder)
    {
        QProcess process;
        process.setProcessEnvironment(m_env);
        process.setWorkingDirectory(folder);
        process.start(program, args);
        Run result;
        if (process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit)
            result.exitCode = process.exitCode();
        result.out = process.readAllStandardOutput().replace("\r\n", "\n");
        result.err = process.readAllStandardError().replace("\r\n", "\n");
        return result;
    }
    static void put(const QString &path, const std::vector<uint8_t> &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size())),
                 qint64(bytes.size()));
    }
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(QStringLiteral(PRGTOOL_EXE)),
                 "no " PRGTOOL_EXE ": build the mingw cross-build first (scripts/test.sh does)");
        QVERIFY2(QFile::exists(QStringLiteral(WINE_PATH)) && QFile::exists(QStringLiteral(WINESERVER_PATH)),
                 "Wine is missing: scripts/install-deps.sh installs it");
        m_env.insert(QStringLiteral("WINEPREFIX"), m_prefix.path());
        m_env.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
        m_env.remove(QStringLiteral("DISPLAY"));
        // One Wine server for every run instead of one per program; making
        // the prefix is the slow part.
        QCOMPARE(run(QStringLiteral(WINESERVER_PATH), {"--persistent"}, m_wine.path()).exitCode, 0);
        QCOMPARE(run(QStringLiteral(WINE_PATH), {"wineboot", "--init"}, m_wine.path()).exitCode, 0);

        std::vector<uint8_t> image = simtest::makeImage(70000);
        std::vector<uint8_t> payload(3000);
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = uint8_t(i * 7);
        for (const QTemporaryDir *dir : {&m_native, &m_wine}) {
            put(dir->filePath("fw.prg"), image);
            put(dir->filePath("payload.bin"), payload);
            image[5000] ^= 1;
            put(dir->filePath("bad.prg"), image);
            image[5000] ^= 1;
        }
    }

    void sameAsNative_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("written");
        QTest::newRow("info") << QStringList{"info", "fw.prg"} << "";
        QTest::newRow("info damaged") << QStringList{"info", "bad.prg"} << "";
        QTest::newRow("check") << QStringList{"check", "fw.prg"} << "";
        QTest::newRow("check damaged") << QStringList{"check", "bad.prg"} << "";
        QTest::newRow("decode") << QStringList{"decode", "fw.prg"} << "fw.prg.bin";
        QTest::newRow("build generated")
            << QStringList{"build", "--generate-size", "100000",     "--version", "205",    "--build",
                           "9",     "--date",          "2024-02-29", "-o",        "gen.prg"}
            << "gen.prg";
        QTest::newRow("build payload")
            << QStringList{"build", "--payload", "payload.bin", "--product", "VD-NIMBO", "-o", "nimbo.prg"}
            << "nimbo.prg";
        QTest::newRow("bad command line") << QStringList{"build", "--version", "x"} << "";
        QTest::newRow("missing file") << QStringList{"info", "none.prg"} << "";
    }
    void sameAsNative()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, written);
        const Run native = run(QStringLiteral(PRGTOOL_PATH), args, m_native.path());
        const Run wine = run(QStringLiteral(WINE_PATH), QStringList(PRGTOOL_EXE) + args, m_wine.path());
        QCOMPARE(wine.out, native.out);
        QCOMPARE(wine.err, native.err);
        QCOMPARE(wine.exitCode, native.exitCode);
        if (!written.isEmpty()) {
            QVERIFY(QFile::exists(m_native.filePath(written)));
            QCOMPARE(contents(m_wine.filePath(written)), contents(m_native.filePath(written)));
        }
    }

    void cleanupTestCase() { run(QStringLiteral(WINESERVER_PATH), {"--kill"}, m_wine.path()); }
};

QTEST_GUILESS_MAIN(TstPrgtoolWine)
#include "tst_prgtool_wine.moc"
