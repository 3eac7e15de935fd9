// The extraction helper against harmless and hostile archives: what lands
// in the folder, its exit status, and that nothing appears anywhere else.
#include <QProcess>
#include <QtTest>

#include "onlinekit.h"
#include "testsupport.h"
#include "vzunzip_name.h"

namespace
{

int runHelper(const QString &archive, const QString &folder)
{
    QProcess helper;
    helper.setProcessChannelMode(QProcess::ForwardedChannels);
    // Capped at 1024 blocks: a helper writing what it should refuse dies of SIGXFSZ.
    helper.start("sh", {"-c", "ulimit -f 1024 && exec \"$0\" \"$@\"",
                        QCoreApplication::applicationDirPath() + "/vzunzip", archive, folder});
    return helper.waitForFinished(300000) && helper.exitStatus() == QProcess::NormalExit ? helper.exitCode()
                                                                                         : -1;
}

} // namespace

class TestVzunzip : public QObject
{
    Q_OBJECT
    QTemporaryDir base;
    int cases = 0;
    // Each case: <root>/archive.zip, extracted into <root>/a/b/fwupdate.
    QString root, folder, archive;

private slots:
    void init()
    {
        root = base.filePath(QString::number(++cases));
        folder = root + QStringLiteral("/a/b/fwupdate");
        archive = root + QStringLiteral("/archive.zip");
        QVERIFY(QDir().mkpath(folder));
    }

    void nameCheck_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("verdict");
        QTest::newRow("utf-8") << QByteArray("\xe6\x9b\xb4\xe6\x96\xb0.txt") << int(VZUNZIP_NAME_OK);
        QTest::newRow("255 characters") << QByteArray(255, 'a') << int(VZUNZIP_NAME_OK);
        QTest::newRow("256 characters") << QByteArray(256, 'a') << int(VZUNZIP_NAME_TOO_LONG);
        QTest::newRow("empty") << QByteArray() << int(VZUNZIP_NAME_EMPTY);
        QTest::newRow("dot dot") << QByteArray("..") << int(VZUNZIP_NAME_DOT);
        QTest::newRow("parent") << QByteArray("../fw.bin") << int(VZUNZIP_NAME_DIRECTORY);
        QTest::newRow("drive") << QByteArray("C:fw.bin") << int(VZUNZIP_NAME_DRIVE);
        QTest::newRow("embedded zero") << QByteArray("fw.bin\0.txt", 11) << int(VZUNZIP_NAME_CONTROL);
        QTest::newRow("delete") << QByteArray("fw\x7f.bin") << int(VZUNZIP_NAME_CONTROL);
    }
    void nameCheck()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, verdict);
        QCOMPARE(int(vzunzip_name_check(name.constData(), size_t(name.size()))), verdict);
    }

    void extract_data()
    {
        QTest::addColumn<QByteArray>("zip");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<Contents>("expected");
        const QByteArray image = randomBytes(70000);
        const QByteArray note = "Release notes for 1.02\n";
        const QByteArray zeros(64 * 1024 * 1024, '\0');
        QByteArray twins = zipOf({{"fw1.bin", image}, {"fw2.bin", note}});
        twins.replace("fw2.bin", "fw1.bin");
        QByteArray longer = zipOf({{"notes.txt", note}, {"fw.bin", zeros.left(4 * 1024 * 1024)}});
        declareSize(longer, "fw.bin", 1000);
        QByteArray shorter = zipOf({{"notes.txt", note}, {"fw.bin", image}});
        declareSize(shorter, "fw.bin", quint32(image.size() + 1));
        QList<ZipEntry> bomb; // a few hundred kilobytes, honestly declaring 576 MiB
        for (int i = 1; i <= 9; ++i)
            bomb.append({"fw" + QByteArray::number(i) + ".bin", zeros});

        const Contents untouched{{"fw.bin", "<link>"}};

        QTest::newRow("image, notes and manual")
            << zipOf({{"fw.bin", image}, {"notes.txt", note}, {"manual.pdf", "%PDF-1.4"}}) << 0
            << Contents{{"fw.bin", image}, {"notes.txt", note}, {"manual.pdf", "%PDF-1.4"}};
        // libzip writes no file for an empty archive: the end record alone.
        QTest::newRow("empty archive")
            << QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0') << 0 << untouched;
        QTest::newRow("parent folder after a good entry")
            << zipOf({{"fw.bin", image}, {"../../evil.bin", image}}) << 2 << untouched;
        QTest::newRow("link after a good entry")
            << zipOf({{"notes.txt", note}, {"fw.bin", "/etc/passwd", true}}) << 2 << untouched;
        QTest::newRow("two entries of one name") << twins << 2 << untouched;
        QTest::newRow("entry longer than declared") << longer << 2 << untouched;
        QTest::newRow("entry shorter than declared") << shorter << 2 << untouched;
        QTest::newRow("zip bomb") << zipOf(bomb) << 2 << untouched;
        QTest::newRow("not an archive") << QByteArray("MZ\x90 not a zip") << 2 << untouched;
    }
    // Each case finds a link named fw.bin in the folder: replaced, never followed.
    void extract()
    {
        QFETCH(QByteArray, zip);
        QFETCH(int, exitCode);
        QFETCH(Contents, expected);
        QVERIFY(!zip.isEmpty() && writeFile(archive, zip) && writeFile(root + "/outside.bin", "keep"));
        QVERIFY(QFile::link(root + "/outside.bin", folder + "/fw.bin"));

        QCOMPARE(runHelper(archive, folder), exitCode);

        QCOMPARE(contentsOf(folder), expected);
        const Contents tree = contentsOf(root); // a, a/b, the folder, the archive and outside.bin besides
        QVERIFY2(tree.size() == 5 + expected.size(), qPrintable(tree.keys().join(' ')));
        QCOMPARE(tree.value("outside.bin"), QByteArray("keep"));
    }

    // Failures of the surroundings, not of the archive, have a status of their own.
    void unusableSurroundings()
    {
        QVERIFY(writeFile(archive, zipOf({{"fw.bin", "image"}})));
        QVERIFY(QFile::link(folder, root + "/linked"));
        QCOMPARE(runHelper(archive, root + "/linked"), 1); // a link is never followed
        QCOMPARE(runHelper(root + "/missing.zip", folder), 1);
        QVERIFY(contentsOf(folder).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestVzunzip)
#include "test_vzunzip.moc"
