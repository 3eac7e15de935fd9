// The extraction helper against harmless and hostile archives: what lands
// in the folder, what exit status it gives, and that nothing ever appears
// anywhere else.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "testdata.h"
#include "vzunzip_name.h"

using Entries = QList<TestZipEntry>;
using Contents = QMap<QString, QByteArray>;

namespace
{

constexpr quint64 MiB = 1024 * 1024;

TestZipEntry file(const QByteArray &name, const QByteArray &data)
{
    return {name, data, TestZipEntry::File, 0};
}

TestZipEntry zeros(const QByteArray &name, quint64 count)
{
    return {name, {}, TestZipEntry::ZeroFill, count};
}

QString helperPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/vzunzip");
}

int runHelper(const QString &archive, const QString &folder)
{
    QProcess helper;
    helper.setProcessChannelMode(QProcess::ForwardedChannels);
    helper.start(helperPath(), {archive, folder});
    if (!helper.waitForFinished(300000) || helper.exitStatus() != QProcess::NormalExit)
        return -1;
    return helper.exitCode();
}

// Every path below root, relative, hidden ones included, links not followed.
QStringList tree(const QString &root)
{
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << QDir(root).relativeFilePath(it.next());
    paths.sort();
    return paths;
}

Contents folderContents(const QString &folder)
{
    Contents contents;
    const QDir dir(folder);
    for (const QFileInfo &info :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        QFile f(info.filePath());
        contents.insert(info.fileName(), info.isFile() && !info.isSymLink() && f.open(QIODevice::ReadOnly)
                                             ? f.readAll()
                                             : "?");
    }
    return contents;
}

} // namespace

class TestVzunzip : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void nameCheck_data();
    void nameCheck();
    void extract_data();
    void extract();
    void zipBombRefusedBeforeWriting();
    void existingLinkIsReplacedNotFollowed();
    void unusableFolderOrArchive_data();
    void unusableFolderOrArchive();

private:
    // A fresh place for one case: <case>/a/b/fwupdate, the archive in <case>.
    struct Place {
        QString root;
        QString folder;
        QString archive;
    };
    Place makePlace();
    QStringList expectedTree(const Place &place, const QStringList &files) const;

    QTemporaryDir base;
    int places = 0;
};

void TestVzunzip::initTestCase()
{
    QVERIFY(base.isValid());
    QVERIFY2(QFileInfo(helperPath()).isExecutable(), qPrintable(helperPath()));
}

TestVzunzip::Place TestVzunzip::makePlace()
{
    Place place;
    place.root = base.filePath(QStringLiteral("case%1").arg(++places));
    place.folder = place.root + QStringLiteral("/a/b/fwupdate");
    place.archive = place.root + QStringLiteral("/archive.zip");
    QDir().mkpath(place.folder);
    return place;
}

QStringList TestVzunzip::expectedTree(const Place &place, const QStringList &files) const
{
    QStringList paths{"a", "a/b", "a/b/fwupdate"};
    if (QFile::exists(place.archive))
        paths << "archive.zip";
    for (const QString &name : files)
        paths << QStringLiteral("a/b/fwupdate/") + name;
    paths.sort();
    return paths;
}

void TestVzunzip::nameCheck_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("verdict");

    QTest::newRow("plain") << QByteArray("VeldracorderQ7_v102.bin") << int(VZUNZIP_NAME_OK);
    QTest::newRow("inner dots") << QByteArray("fw..v1.bin") << int(VZUNZIP_NAME_OK);
    QTest::newRow("utf-8") << QByteArray("\xe6\x9b\xb4\xe6\x96\xb0.txt") << int(VZUNZIP_NAME_OK);
    QTest::newRow("255 characters") << QByteArray(255, 'a') << int(VZUNZIP_NAME_OK);
    QTest::newRow("256 characters") << QByteArray(256, 'a') << int(VZUNZIP_NAME_TOO_LONG);
    QTest::newRow("empty") << QByteArray() << int(VZUNZIP_NAME_EMPTY);
    QTest::newRow("dot") << QByteArray(".") << int(VZUNZIP_NAME_DOT);
    QTest::newRow("dot dot") << QByteArray("..") << int(VZUNZIP_NAME_DOT);
    QTest::newRow("hidden") << QByteArray(".profile") << int(VZUNZIP_NAME_DOT);
    QTest::newRow("parent") << QByteArray("../fw.bin") << int(VZUNZIP_NAME_DIRECTORY);
    QTest::newRow("absolute") << QByteArray("/etc/passwd") << int(VZUNZIP_NAME_DIRECTORY);
    QTest::newRow("subfolder") << QByteArray("fw/fw.bin") << int(VZUNZIP_NAME_DIRECTORY);
    QTest::newRow("trailing slash") << QByteArray("fw/") << int(VZUNZIP_NAME_DIRECTORY);
    QTest::newRow("backslash") << QByteArray("fw\\fw.bin") << int(VZUNZIP_NAME_DIRECTORY);
    QTest::newRow("drive") << QByteArray("C:fw.bin") << int(VZUNZIP_NAME_DRIVE);
    QTest::newRow("stream") << QByteArray("fw.bin:evil") << int(VZUNZIP_NAME_DRIVE);
    QTest::newRow("newline") << QByteArray("fw\n.bin") << int(VZUNZIP_NAME_CONTROL);
    QTest::newRow("embedded zero") << QByteArray("fw.bin\0.txt", 11) << int(VZUNZIP_NAME_CONTROL);
    QTest::newRow("delete") << QByteArray("fw\x7f.bin") << int(VZUNZIP_NAME_CONTROL);
}

void TestVzunzip::nameCheck()
{
    QFETCH(QByteArray, name);
    QFETCH(int, verdict);
    QCOMPARE(int(vzunzip_name_check(name.constData(), size_t(name.size()))), verdict);
}

void TestVzunzip::extract_data()
{
    QTest::addColumn<Entries>("entries");
    // Applied after writing: an entry renamed, or its declared size changed.
    QTest::addColumn<QByteArray>("patchEntry");
    QTest::addColumn<QByteArray>("patchName");
    QTest::addColumn<qint64>("patchSize");
    // When not empty, written instead of an archive.
    QTest::addColumn<QByteArray>("rawArchive");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<Contents>("expected");

    const QByteArray image = randomBytes(70000);
    const QByteArray note = "Release notes for 1.02\n";
    const QByteArray none;
    const Contents nothing;
    const QByteArray escaped = QFile::encodeName(base.filePath(QStringLiteral("escaped.bin")));
    const auto refused = [&](const char *row, const Entries &entries) {
        QTest::newRow(row) << entries << none << none << qint64(-1) << none << 2 << nothing;
    };

    QTest::newRow("image, notes and manual")
        << Entries{file("fw.bin", image), file("notes.txt", note), file("manual.pdf", "%PDF-1.4")} << none
        << none << qint64(-1) << none << 0
        << Contents{{"fw.bin", image}, {"notes.txt", note}, {"manual.pdf", "%PDF-1.4"}};
    // libzip writes no file for an empty archive: the end record alone.
    QTest::newRow("empty archive") << Entries{} << none << none << qint64(-1)
                                   << (QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0')) << 0 << nothing;
    QTest::newRow("empty entry") << Entries{file("empty.bin", "")} << none << none << qint64(-1) << none << 0
                                 << Contents{{"empty.bin", ""}};

    refused("parent folder", {file("../evil.bin", image)});
    refused("far parent folder", {file("../../../evil.bin", image)});
    refused("good entry, then parent folder", {file("fw.bin", image), file("../evil.bin", image)});
    refused("absolute path", {file(escaped, image)});
    refused("subfolder", {file("sub/fw.bin", image)});
    refused("directory entry", {{"sub", {}, TestZipEntry::Directory, 0}});
    refused("backslash parent", {file("..\\evil.bin", image)});
    refused("drive letter", {file("C:evil.bin", image)});
    refused("drive path", {file("C:/evil.bin", image)});
    refused("dot dot", {file("..", image)});
    refused("hidden file", {file(".hidden", image)});
    refused("control character", {file("fw\n.bin", image)});
    refused("link to an absolute path", {{"fw.bin", "/etc/passwd", TestZipEntry::Symlink, 0}});
    refused("good entry, then a link",
            {file("notes.txt", note), {"link", "../..", TestZipEntry::Symlink, 0}});
    refused("encrypted entry", {{"fw.bin", image, TestZipEntry::Encrypted, 0}});

    QTest::newRow("two entries of one name")
        << Entries{file("fw1.bin", image), file("fw2.bin", note)} << QByteArray("fw2.bin")
        << QByteArray("fw1.bin") << qint64(-1) << none << 2 << nothing;
    QTest::newRow("entry longer than declared")
        << Entries{file("notes.txt", note), zeros("fw.bin", 4 * MiB)} << QByteArray("fw.bin") << none
        << qint64(1000) << none << 2 << nothing;
    QTest::newRow("entry shorter than declared")
        << Entries{file("notes.txt", note), file("fw.bin", image)} << QByteArray("fw.bin") << none
        << qint64(image.size() + 1) << none << 2 << nothing;
    QTest::newRow("declared beyond the cap") << Entries{zeros("fw.bin", MiB)} << QByteArray("fw.bin") << none
                                             << qint64(600 * MiB) << none << 2 << nothing;
    QTest::newRow("together beyond the cap")
        << Entries{zeros("fw.bin", MiB), file("notes.txt", note)} << QByteArray("fw.bin") << none
        << qint64(512 * MiB) << none << 2 << nothing;
    QTest::newRow("not an archive") << Entries{} << none << none << qint64(-1)
                                    << QByteArray("MZ\x90 not a zip") << 2 << nothing;
}

void TestVzunzip::extract()
{
    QFETCH(Entries, entries);
    QFETCH(QByteArray, patchEntry);
    QFETCH(QByteArray, patchName);
    QFETCH(qint64, patchSize);
    QFETCH(QByteArray, rawArchive);
    QFETCH(int, exitCode);
    QFETCH(Contents, expected);

    const Place place = makePlace();
    if (rawArchive.isEmpty()) {
        const QString failure = writeTestZip(place.archive, entries);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    } else {
        QFile raw(place.archive);
        QVERIFY(raw.open(QIODevice::WriteOnly) && raw.write(rawArchive) == rawArchive.size());
    }
    if (!patchName.isEmpty())
        QVERIFY(::patchName(place.archive, patchEntry, patchName));
    if (patchSize >= 0)
        QVERIFY(patchDeclaredSize(place.archive, patchEntry, quint32(patchSize)));

    QCOMPARE(runHelper(place.archive, place.folder), exitCode);
    QCOMPARE(folderContents(place.folder), expected);
    QCOMPARE(tree(place.root), expectedTree(place, expected.keys()));
    QVERIFY(!QFile::exists(base.filePath(QStringLiteral("escaped.bin"))));
}

// A real bomb: a few hundred kilobytes that inflate to more than the cap.
// Its honest sizes get it refused before a byte is written.
void TestVzunzip::zipBombRefusedBeforeWriting()
{
    const Place place = makePlace();
    const QString failure =
        writeTestZip(place.archive, {zeros("fw.bin", 300 * MiB), zeros("fw2.bin", 300 * MiB)});
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY(QFileInfo(place.archive).size() < qint64(4 * MiB));

    QCOMPARE(runHelper(place.archive, place.folder), 2);
    QCOMPARE(tree(place.root), expectedTree(place, {}));
}

void TestVzunzip::existingLinkIsReplacedNotFollowed()
{
    const Place place = makePlace();
    const QString outside = place.root + QStringLiteral("/outside.bin");
    QFile target(outside);
    QVERIFY(target.open(QIODevice::WriteOnly) && target.write("keep") == 4);
    target.close();
    QVERIFY(QFile::link(outside, place.folder + QStringLiteral("/fw.bin")));
    const QByteArray image = randomBytes(5000);
    QVERIFY(writeTestZip(place.archive, {file("fw.bin", image)}).isEmpty());

    QCOMPARE(runHelper(place.archive, place.folder), 0);

    QVERIFY(!QFileInfo(place.folder + QStringLiteral("/fw.bin")).isSymLink());
    QCOMPARE(folderContents(place.folder), (Contents{{"fw.bin", image}}));
    QVERIFY(target.open(QIODevice::ReadOnly));
    QCOMPARE(target.readAll(), QByteArray("keep"));
}

void TestVzunzip::unusableFolderOrArchive_data()
{
    QTest::addColumn<QString>("situation");
    QTest::newRow("folder is a link") << "link";
    QTest::newRow("folder missing") << "missing";
    QTest::newRow("archive missing") << "no archive";
}

// Failures of the surroundings (status 1), not of the archive; the link's
// target stays empty.
void TestVzunzip::unusableFolderOrArchive()
{
    QFETCH(QString, situation);
    const Place place = makePlace();
    QVERIFY(writeTestZip(place.archive, {file("fw.bin", "image")}).isEmpty());
    QString folder = place.folder;
    const QString elsewhere = place.root + QStringLiteral("/elsewhere");
    if (situation == "link") {
        QVERIFY(QDir().mkpath(elsewhere));
        folder = place.root + QStringLiteral("/linked");
        QVERIFY(QFile::link(elsewhere, folder));
    } else if (situation == "missing") {
        folder = place.root + QStringLiteral("/missing");
    } else {
        QVERIFY(QFile::remove(place.archive));
    }

    QCOMPARE(runHelper(place.archive, folder), 1);

    QVERIFY(
        QDir(place.folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
    QVERIFY(!QFileInfo::exists(elsewhere + QStringLiteral("/fw.bin")));
    QVERIFY(!QFileInfo::exists(place.root + QStringLiteral("/missing")));
}

QTEST_GUILESS_MAIN(TestVzunzip)
#include "test_vzunzip.moc"
