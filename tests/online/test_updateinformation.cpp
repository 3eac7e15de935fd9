// The update-information request and the firmware download against a real
// local HTTPS server: answers, refusals, progress, file naming, archive
// extraction and every way a download can fail.
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include "apptiming.h"
#include "onlinefixture.h"
#include "testdata.h"
#include "testsupport.h"
#include "updateinformation.h"

using Contents = QMap<QString, QByteArray>;
using Entries = QList<TestZipEntry>;
Q_DECLARE_METATYPE(UpdateRoute)

namespace
{

const QString informationPath =
    QStringLiteral("/download/fw/Veldracorder/VeldracorderQ7_UpdateInformation.json");

UpdateRoute answer(int status, const QByteArray &body)
{
    UpdateRoute route;
    route.status = status;
    route.body = body;
    return route;
}

Contents folderContents(const QString &folder)
{
    Contents contents;
    const QDir dir(folder);
    for (const QFileInfo &info : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        QFile file(info.filePath());
        contents.insert(info.fileName(),
                        info.isFile() && file.open(QIODevice::ReadOnly) ? file.readAll() : "<dir>");
    }
    return contents;
}

} // namespace

class TestUpdateInformation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void addressFromEnvironment();
    void informationAnswers_data();
    void informationAnswers();
    void oneRequestAtATimeUntilAnswered();

    void progressPercent_data();
    void progressPercent();
    void progressOfRealDownload_data();
    void progressOfRealDownload();

    void download_data();
    void download();
    void secondDownloadClearsFolder();
    void failures_data();
    void failures();

private:
    void useInformationAddress(const QUrl &url);
    // Starts a download and waits until the object says it is done.
    void runDownload(UpdateInformation &web, const QUrl &url, int version);

    OnlineFixture fixture;
};

void TestUpdateInformation::initTestCase()
{
    const QString failure = fixture.setUp();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void TestUpdateInformation::init()
{
    fixture.startCase();
}

void TestUpdateInformation::cleanup()
{
    fixture.endCase();
    qunsetenv("VZ_UPDATE_INFO_URL");
}

void TestUpdateInformation::useInformationAddress(const QUrl &url)
{
    qputenv("VZ_UPDATE_INFO_URL", url.toEncoded());
}

void TestUpdateInformation::runDownload(UpdateInformation &web, const QUrl &url, int version)
{
    QSignalSpy ready(&web, &UpdateInformation::readiedExec);
    QSignalSpy failed(&web, &UpdateInformation::errorDownloadFile);
    web.downloadFile(url.toString(), version);
    QTRY_VERIFY_WITH_TIMEOUT(ready.count() + failed.count() > 0, 60000);
}

void TestUpdateInformation::addressFromEnvironment()
{
    const QUrl standard = UpdateInformation::informationAddress();
    QCOMPARE(standard.scheme(), QStringLiteral("https"));
    QVERIFY(!standard.host().isEmpty());
    QCOMPARE(standard.path(), informationPath);

    const QUrl local(QStringLiteral("https://127.0.0.1:8443/info.json"));
    useInformationAddress(local);
    QCOMPARE(UpdateInformation::informationAddress(), local);
}

void TestUpdateInformation::informationAnswers_data()
{
    QTest::addColumn<QString>("where"); // trusted, untrusted or dead
    QTest::addColumn<UpdateRoute>("route");
    QTest::addColumn<QString>("expected");

    const QByteArray document = R"({"VeldracorderQ7_version1":{"firmware_version":102}})";
    UpdateRoute redirect = answer(301, QByteArray());
    redirect.location = "/elsewhere.json";

    QTest::newRow("document") << "trusted" << answer(200, document) << QString::fromUtf8(document);
    QTest::newRow("text ends at a zero byte")
        << "trusted" << answer(200, QByteArray("{\"a\":1}\0trailing", 16)) << QStringLiteral("{\"a\":1}");
    QTest::newRow("empty body") << "trusted" << answer(200, QByteArray()) << QString();
    QTest::newRow("not found") << "trusted" << answer(404, document) << QStringLiteral("ERROR");
    QTest::newRow("server error") << "trusted" << answer(500, document) << QStringLiteral("ERROR");
    QTest::newRow("redirect not followed") << "trusted" << redirect << QStringLiteral("ERROR");
    QTest::newRow("untrusted certificate") << "untrusted" << answer(200, document) << QStringLiteral("ERROR");
    QTest::newRow("nobody listening") << "dead" << answer(200, document) << QStringLiteral("ERROR");
}

void TestUpdateInformation::informationAnswers()
{
    QFETCH(QString, where);
    QFETCH(UpdateRoute, route);
    QFETCH(QString, expected);

    fixture.server.setRoute(informationPath, route);
    fixture.untrusted.setRoute(informationPath, route);
    fixture.server.setRoute(QStringLiteral("/elsewhere.json"), answer(200, "{}"));
    useInformationAddress(where == "trusted"     ? fixture.url(informationPath)
                          : where == "untrusted" ? fixture.untrustedUrl(informationPath)
                                                 : fixture.deadUrl(informationPath));
    UpdateInformation web;
    QSignalSpy finished(&web, &UpdateInformation::finishedInformation);

    web.downloadInformation();

    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toString(), expected);
    QCOMPARE(fixture.server.requestCount(QStringLiteral("/elsewhere.json")), 0);
}

// At most one request in flight; an error lets the next call ask again.
void TestUpdateInformation::oneRequestAtATimeUntilAnswered()
{
    UpdateRoute stalled = answer(200, "{}");
    stalled.stallAfter = 0;
    fixture.server.setRoute(informationPath, stalled);
    useInformationAddress(fixture.url(informationPath));
    UpdateInformation web;
    QSignalSpy finished(&web, &UpdateInformation::finishedInformation);
    QSignalSpy requests(&fixture.server, &UpdateServer::requestReceived);

    web.downloadInformation();
    QVERIFY(requests.wait(30000));
    web.downloadInformation();
    web.downloadInformation();
    QVERIFY(!requests.wait(500));
    QCOMPARE(fixture.server.requestCount(informationPath), 1);

    fixture.server.setRoute(informationPath, answer(200, "{}"));
    fixture.server.closeConnections();
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.takeFirst().at(0).toString(), QStringLiteral("ERROR"));

    web.downloadInformation();
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.takeFirst().at(0).toString(), QStringLiteral("{}"));
    QCOMPARE(fixture.server.requestCount(informationPath), 2);
}

void TestUpdateInformation::progressPercent_data()
{
    QTest::addColumn<qlonglong>("received");
    QTest::addColumn<qlonglong>("total");
    QTest::addColumn<QVariantList>("emitted");

    QTest::newRow("nothing yet") << 0LL << 6000000LL << QVariantList{0};
    QTest::newRow("a sixth") << 1000000LL << 6000000LL << QVariantList{2};
    QTest::newRow("all of it") << 6000000LL << 6000000LL << QVariantList{16};
    QTest::newRow("truncating steps") << 3LL << 6LL << QVariantList{8};
    QTest::newRow("no total yet") << 500LL << 0LL << QVariantList{};
    QTest::newRow("unknown total") << 600LL << -1LL << QVariantList{-10000};
    QTest::newRow("announced beyond the cap") << 10LL << 600LL * 1024 * 1024 << QVariantList{};
    QTest::newRow("received beyond the cap") << 513LL * 1024 * 1024 << -1LL << QVariantList{};
}

void TestUpdateInformation::progressPercent()
{
    QFETCH(qlonglong, received);
    QFETCH(qlonglong, total);
    QFETCH(QVariantList, emitted);

    UpdateInformation web;
    QSignalSpy progress(&web, &UpdateInformation::progressValueChanged);
    QVERIFY(QMetaObject::invokeMethod(&web, "replyDownloadProgress", Qt::DirectConnection,
                                      Q_ARG(qlonglong, received), Q_ARG(qlonglong, total)));
    QVariantList values;
    for (const QList<QVariant> &call : progress)
        values << call.at(0);
    QCOMPARE(values, emitted);
}

void TestUpdateInformation::progressOfRealDownload_data()
{
    QTest::addColumn<bool>("announceLength");
    QTest::newRow("length announced") << true;
    QTest::newRow("no length") << false;
}

// Six million bytes, sent in slices as over a slow line, move the bar over
// its first sixth. Without a length the values on the way are negative, for
// the controller to refuse; the toolkit reports the total it found once the
// body is complete.
void TestUpdateInformation::progressOfRealDownload()
{
    QFETCH(bool, announceLength);
    UpdateRoute route = answer(200, randomBytes(6000000));
    route.announceLength = announceLength;
    route.trickleBytes = 1000000;
    fixture.server.setRoute(QStringLiteral("/fw/big.bin"), route);
    UpdateInformation web;
    QSignalSpy progress(&web, &UpdateInformation::progressValueChanged);
    QSignalSpy ready(&web, &UpdateInformation::readiedExec);

    runDownload(web, fixture.url(QStringLiteral("/fw/big.bin")), 102);

    QCOMPARE(ready.count(), 1);
    QCOMPARE(progress.takeLast().at(0).toInt(), 16);
    QVERIFY(!progress.isEmpty());
    int previous = 0;
    for (const QList<QVariant> &call : progress) {
        const int value = call.at(0).toInt();
        QVERIFY2(announceLength ? value >= previous && value <= 16 : value < 0,
                 qPrintable(QString::number(value)));
        previous = value;
    }
}

void TestUpdateInformation::download_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("announced"); // relative to the folder; empty: nothing
    QTest::addColumn<Contents>("folder");

    const QByteArray image = randomBytes(40000);
    const QByteArray notes = "What is new in 1.02\n";
    const QByteArray pdf = "%PDF-1.4 manual";
    const Entries release{{"VeldracorderQ7_102.bin", image, TestZipEntry::File, 0},
                          {"ReadMe.txt", notes, TestZipEntry::File, 0},
                          {"Manual.PDF", pdf, TestZipEntry::File, 0}};

    QTest::newRow("image") << "/fw/VeldracorderQ7_102.bin" << image << "temp.102"
                           << Contents{{"temp.102", image}};
    QTest::newRow("exe") << "/fw/Update.exe" << image << "temp.exe" << Contents{{"temp.exe", image}};
    QTest::newRow("dmg") << "/fw/Update.dmg" << image << "temp.dmg" << Contents{{"temp.dmg", image}};
    QTest::newRow("zip") << "/fw/VeldracorderQ7_102.zip" << zipBytes(release) << "VeldracorderQ7_102.bin"
                         << Contents{{"VeldracorderQ7_102.bin", image}};
    QTest::newRow("ZIP") << "/fw/VELDRACORDERQ7_102.ZIP" << zipBytes(release) << "VeldracorderQ7_102.bin"
                         << Contents{{"VeldracorderQ7_102.bin", image}};
    QTest::newRow("zip of notes only")
        << "/fw/notes.zip" << zipBytes({{"ReadMe.txt", notes, TestZipEntry::File, 0}}) << QString()
        << Contents{};
    QTest::newRow("zip escaping the folder")
        << "/fw/evil.zip"
        << zipBytes({{"VeldracorderQ7_102.bin", image, TestZipEntry::File, 0},
                     {"../../evil.bin", image, TestZipEntry::File, 0}})
        << QString() << Contents{};
    QTest::newRow("zip with a link") << "/fw/link.zip"
                                     << zipBytes({{"VeldracorderQ7_102.bin", "/etc/passwd",
                                                   TestZipEntry::Symlink, 0}})
                                     << QString() << Contents{};
    QTest::newRow("corrupt zip") << "/fw/broken.zip" << QByteArray::fromHex("504b0304") + " broken"
                                 << QString() << Contents{};
}

void TestUpdateInformation::download()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, body);
    QFETCH(QString, announced);
    QFETCH(Contents, folder);
    QVERIFY(!body.isEmpty());
    fixture.server.setRoute(path, answer(200, body));
    UpdateInformation web;
    QSignalSpy started(&web, &UpdateInformation::startedDownloadFile);
    QSignalSpy finished(&web, &UpdateInformation::finishedDownloadFile);
    QSignalSpy ready(&web, &UpdateInformation::readiedExec);
    QSignalSpy failed(&web, &UpdateInformation::errorDownloadFile);

    runDownload(web, fixture.url(path), 102);

    QCOMPARE(started.count(), 1);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(ready.count(), 1);
    const QString expectedPath = announced.isEmpty() ? QString() : fixture.downloadFolder() + '/' + announced;
    QCOMPARE(ready.at(0).at(0).toString(), expectedPath);
    QCOMPARE(folderContents(fixture.downloadFolder()), folder);
    QCOMPARE(QDir::currentPath(), fixture.downloadFolder());
    // Nothing beside the folder, whatever the archive tried.
    QStringList tree{"fwupdate"};
    for (const QString &name : folder.keys())
        tree << "fwupdate/" + name;
    QCOMPARE(fixture.temporaryTree(), tree);
}

// Earlier files go, hidden files and subfolders stay.
void TestUpdateInformation::secondDownloadClearsFolder()
{
    const QByteArray first = randomBytes(1000);
    const QByteArray second = randomBytes(2000);
    fixture.server.setRoute(QStringLiteral("/fw/101.bin"), answer(200, first));
    fixture.server.setRoute(QStringLiteral("/fw/102.bin"), answer(200, second));
    UpdateInformation web;

    runDownload(web, fixture.url(QStringLiteral("/fw/101.bin")), 101);
    QCOMPARE(folderContents(fixture.downloadFolder()), (Contents{{"temp.101", first}}));
    const QDir folder(fixture.downloadFolder());
    QVERIFY(folder.mkdir(QStringLiteral("keep")));
    QFile hidden(folder.filePath(QStringLiteral(".hidden")));
    QVERIFY(hidden.open(QIODevice::WriteOnly) && hidden.write("h") == 1);
    hidden.close();
    QVERIFY(QFile::link(QStringLiteral("/nonexistent/target"), folder.filePath(QStringLiteral("temp.102"))));

    runDownload(web, fixture.url(QStringLiteral("/fw/102.bin")), 102);

    QCOMPARE(folderContents(fixture.downloadFolder()),
             (Contents{{"temp.102", second}, {".hidden", "h"}, {"keep", "<dir>"}}));
    QVERIFY(!QFileInfo(folder.filePath(QStringLiteral("temp.102"))).isSymLink());
}

void TestUpdateInformation::failures_data()
{
    QTest::addColumn<QString>("where");     // trusted, untrusted or dead
    QTest::addColumn<UpdateRoute>("route"); // at /fw/fw.bin
    QTest::addColumn<bool>("cancelByCaller");
    QTest::addColumn<int>("errors");      // errorDownloadFile signals
    QTest::addColumn<QString>("logLine"); // a line that must be logged

    const QByteArray image = randomBytes(5000);
    UpdateRoute redirect = answer(302, QByteArray());
    redirect.location = "/fw/other.bin";
    UpdateRoute stalled = answer(200, image);
    stalled.stallAfter = 100;
    UpdateRoute huge = answer(200, image);
    huge.announcedLength = 600LL * 1024 * 1024;
    huge.stallAfter = 1000;
    UpdateRoute held = answer(200, image);
    held.stallAfter = 0;
    const QString error = QStringLiteral("UpdateInformation: file download error");

    QTest::newRow("not found") << "trusted" << answer(404, image) << false << 1 << error;
    QTest::newRow("server error") << "trusted" << answer(500, image) << false << 1 << error;
    QTest::newRow("redirect not followed") << "trusted" << redirect << false << 1 << error;
    QTest::newRow("empty body") << "trusted" << answer(200, QByteArray()) << false << 1
                                << "UpdateInformation: file download size zero";
    QTest::newRow("stalled transfer") << "trusted" << stalled << false << 1 << "UpdateInformation: timeout";
    QTest::newRow("too large") << "trusted" << huge << false << 1 << error;
    QTest::newRow("untrusted certificate") << "untrusted" << answer(200, image) << false << 1 << error;
    QTest::newRow("nobody listening") << "dead" << answer(200, image) << false << 1 << error;
    QTest::newRow("cancelled by the caller")
        << "trusted" << held << true << 0 << "UpdateInformation: cancel download";
}

// Nothing is saved and the folder is not even made.
void TestUpdateInformation::failures()
{
    QFETCH(QString, where);
    QFETCH(UpdateRoute, route);
    QFETCH(bool, cancelByCaller);
    QFETCH(int, errors);
    QFETCH(QString, logLine);

    const QString path = QStringLiteral("/fw/fw.bin");
    fixture.server.setRoute(path, route);
    fixture.server.setRoute(QStringLiteral("/fw/other.bin"), answer(200, "image"));
    fixture.untrusted.setRoute(path, route);
    // The inactivity limit shrinks to a quarter second.
    AppTiming::setScale(0.004);
    const QUrl url = where == "trusted"     ? fixture.url(path)
                     : where == "untrusted" ? fixture.untrustedUrl(path)
                                            : fixture.deadUrl(path);
    MessageLog log;
    UpdateInformation web;
    QSignalSpy finished(&web, &UpdateInformation::finishedDownloadFile);
    QSignalSpy failed(&web, &UpdateInformation::errorDownloadFile);
    QSignalSpy ready(&web, &UpdateInformation::readiedExec);
    QSignalSpy requests(&fixture.server, &UpdateServer::requestReceived);

    web.downloadFile(url.toString(), 102);
    if (cancelByCaller) {
        QVERIFY(requests.wait(30000));
        web.cancelDownload();
    }

    QVERIFY(finished.wait(60000));
    QCOMPARE(failed.count(), errors);
    QCOMPARE(ready.count(), 0);
    QVERIFY2(log.contains(logLine), qPrintable(log.messages().join('\n')));
    QCOMPARE(fixture.server.requestCount(QStringLiteral("/fw/other.bin")), 0);
    QCOMPARE(fixture.temporaryTree(), QStringList());
}

QTEST_GUILESS_MAIN(TestUpdateInformation)
#include "test_updateinformation.moc"
