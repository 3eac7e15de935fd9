// prgtool.exe under Wine does what the native prgtool does: the same
// output (Windows line ends aside), exit status and files, side by side in
// two folders holding the same inputs. Standard output and error are compared
// apart: how the two interleave depends on each C library's buffering.
#include <QtTest>

#include "test_images.h"
#include "test_support.h"

class TstPrgtoolWine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_prefix, m_native, m_wine;
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();

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
        QCOMPARE(runProgram(QStringLiteral(WINESERVER_PATH), {"--persistent"}, m_wine.path(), m_env).exitCode,
                 0);
        QCOMPARE(runProgram(QStringLiteral(WINE_PATH), {"wineboot", "--init"}, m_wine.path(), m_env).exitCode,
                 0);

        const std::vector<uint8_t> made = simtest::makeImage(70000);
        const QByteArray image(reinterpret_cast<const char *>(made.data()), int(made.size()));
        QByteArray bad = image, payload(3000, 0);
        bad[5000] = char(bad[5000] ^ 1);
        for (int i = 0; i < payload.size(); ++i)
            payload[i] = char(i * 7);
        for (const QTemporaryDir *dir : {&m_native, &m_wine})
            QVERIFY(writeFile(dir->filePath("fw.prg"), image) && writeFile(dir->filePath("bad.prg"), bad) &&
                    writeFile(dir->filePath("payload.bin"), payload));
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
        const ProgramRun native = runProgram(QStringLiteral(PRGTOOL_PATH), args, m_native.path(), m_env);
        const ProgramRun wine =
            runProgram(QStringLiteral(WINE_PATH), QStringList(PRGTOOL_EXE) + args, m_wine.path(), m_env);
        QCOMPARE(wine.out, native.out);
        QCOMPARE(wine.err, native.err);
        QCOMPARE(wine.exitCode, native.exitCode);
        if (!written.isEmpty()) {
            QVERIFY(QFile::exists(m_native.filePath(written)));
            QCOMPARE(readFile(m_wine.filePath(written)), readFile(m_native.filePath(written)));
        }
    }

    void cleanupTestCase() { runProgram(QStringLiteral(WINESERVER_PATH), {"--kill"}, m_wine.path(), m_env); }
};

QTEST_GUILESS_MAIN(TstPrgtoolWine)
#include "tst_prgtool_wine.moc"
