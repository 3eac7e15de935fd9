// The update-information request and the firmware download against a local
// HTTPS server: answers, refusals, progress, file naming, extraction, and
// the ways a download fails.
#include <QSignalSpy>
#include <QtTest>

#include "apptiming.h"
#include "onlinekit.h"
#include "testsupport.h"
#include "updateinformation.h"

class TestUpdateInformation : public QObject
{
    Q_OBJECT
    OnlineFixture fixture;
    const QByteArray image = randomBytes(40000);

    void runDownload(UpdateInformation &web, const QString &path, int version)
    {
        QSignalSpy ready(&web, &UpdateInformation::readiedExec);
        QSignalSpy failed(&web, &UpdateInformation::errorDownloadFile);
        web.downloadFile(fixture.url(path).toString(), version);
        QTRY_VERIFY_WITH_TIMEOUT(ready.count() + failed.count() > 0, 60000);
    }

private slots:
    void initTestCase() { fixture.setUp(); }
    void init() { fixture.startCase(); }

    void informationAnswers_data()
    {
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<UpdateRoute>("route");
        QTest::addColumn<QString>("expected");
        const QByteArray document = R"({"VeldracorderQ7_version1":{"firmware_version":102}})";
        UpdateRoute redirect = answer(301);
        redirect.location = "/elsewhere.json";
        QTest::newRow("text ends at a zero byte")
            << true << answer(200, QByteArray("{\"a\":1}\0trailing", 16)) << "{\"a\":1}";
        QTest::newRow("above 1 MiB") << true << answer(200, document + QByteArray(1 << 20, ' ')) << "ERROR";
        QTest::newRow("not found") << true << answer(404, document) << "ERROR";
        QTest::newRow("redirect not followed") << true << redirect << "ERROR";
        QTest::newRow("untrusted certificate") << false << answer(200, document) << "ERROR";
    }
    void informationAnswers()
    {
        QFETCH(bool, trusted);
        QFETCH(UpdateRoute, route);
        QFETCH(QString, expected);
        fixture.server.setRoute(informationPath, route);
        fixture.trustServer(trusted);
        UpdateInformation web;
        QSignalSpy finished(&web, &UpdateInformation::finishedInformation);

        web.downloadInformation();

        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.at(0).at(0).toString(), expected);
        QCOMPARE(fixture.server.requestCount(QStringLiteral("/elsewhere.json")), 0);
    }

    // Without an announced length the cap is met while receiving; no step is shown.
    void receivingBeyondTheCap()
    {
        UpdateInformation web;
        QSignalSpy progress(&web, &UpdateInformation::progressValueChanged);
        QVERIFY(QMetaObject::invokeMethod(&web, "replyDownloadProgress", Qt::DirectConnection,
                                          Q_ARG(qlonglong, 513LL * 1024 * 1024), Q_ARG(qlonglong, -1LL)));
        QCOMPARE(progress.count(), 0);
    }

    void download_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("announced"); // the image's name in the folder; empty: nothing usable
        QTest::newRow("exe") << "/fw/Update.exe" << image << "temp.exe";
        QTest::newRow("dmg") << "/fw/Update.DMG" << image << "temp.dmg";
        QTest::newRow("zip") << "/fw/VELDRACORDERQ7_102.ZIP"
                             << zipOf({{"VeldracorderQ7_102.bin", image},
                                       {"ReadMe.txt", "What is new in 1.02\n"},
                                       {"Manual.PDF", "%PDF-1.4 manual"}})
                             << "VeldracorderQ7_102.bin";
        QTest::newRow("zip escaping the folder")
            << "/fw/evil.zip" << zipOf({{"VeldracorderQ7_102.bin", image}, {"../../evil.bin", image}})
            << QString();
    }
    // Each is a second download: the first one's file goes, a planted link
    // too, while hidden files and subfolders stay.
    void download()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(QString, announced);
        fixture.server.setRoute(QStringLiteral("/fw/old.bin"), answer(200, "old"));
        fixture.server.setRoute(path, answer(200, body));
        UpdateInformation web;
        runDownload(web, QStringLiteral("/fw/old.bin"), 101);
        const QString downloads = fixture.downloadFolder();
        QCOMPARE(contentsOf(downloads), (Contents{{"temp.101", "old"}}));
        QVERIFY(QDir(downloads).mkdir(QStringLiteral("keep")) && writeFile(downloads + "/.hidden", "h"));
        QVERIFY(QFile::link(QStringLiteral("/nonexistent"), downloads + "/temp.102"));
        Contents folder{{"keep", "<dir>"}, {".hidden", "h"}};
        if (!announced.isEmpty())
            folder.insert(announced, image);
        QSignalSpy ready(&web, &UpdateInformation::readiedExec);

        runDownload(web, path, 102);

        QCOMPARE(ready.count(), 1);
        QCOMPARE(ready.at(0).at(0).toString(), announced.isEmpty() ? QString() : downloads + '/' + announced);
        QCOMPARE(contentsOf(downloads), folder);
        const QStringList tree = contentsOf(fixture.temporaryLocation()).keys(); // nothing beside the folder
        QVERIFY2(tree.size() == 1 + folder.size(), qPrintable(tree.join(' ')));
    }

    void failures_data()
    {
        QTest::addColumn<UpdateRoute>("route");      // at /fw/fw.bin
        QTest::addColumn<QString>("address");        // of the firmware; empty: that route
        QTest::addColumn<QByteArray>("information"); // its address, when not the test server's
        QTest::addColumn<int>("errors");             // errorDownloadFile signals
        QTest::addColumn<QString>("logLine");
        const QByteArray http = "http://a.invalid/i.json";
        UpdateRoute stalled = answer(200, image);
        stalled.stallAfter = 100;
        UpdateRoute huge = answer(200, image);
        huge.announcedLength = 600LL * 1024 * 1024;
        huge.stallAfter = 1000;
        UpdateRoute held = answer(200, image); // cancelled by the caller
        held.stallAfter = 0;
        const QString portOne = "http://127.0.0.1:1/fw.bin";
        QTest::newRow("empty body") << answer(200) << QString() << QByteArray() << 1
                                    << "file download size zero";
        QTest::newRow("stalled transfer") << stalled << QString() << QByteArray() << 1 << "timeout";
        QTest::newRow("too large") << huge << QString() << QByteArray() << 1 << "file too large";
        QTest::newRow("cancelled") << held << QString() << QByteArray() << 0 << "cancel download";
        // Firmware over https; plain http only where the information came over http.
        QTest::newRow("http after https")
            << UpdateRoute() << portOne << QByteArray() << 1 << "address refused";
        QTest::newRow("http after http") << UpdateRoute() << portOne << http << 1 << "file download error";
        QTest::newRow("local file") << UpdateRoute() << "file:///etc/hostname" << http << 1
                                    << "address refused";
    }
    // Nothing is saved and the folder is not even made. Redirects and
    // certificates are handled as for the information request above.
    void failures()
    {
        QFETCH(UpdateRoute, route);
        QFETCH(QString, address);
        QFETCH(QByteArray, information);
        QFETCH(int, errors);
        QFETCH(QString, logLine);
        const QString path = QStringLiteral("/fw/fw.bin");
        fixture.server.setRoute(path, route);
        if (!information.isEmpty())
            qputenv("VZ_UPDATE_INFO_URL", information); // read once, by the constructor
        AppTiming::setScale(0.004);                     // the inactivity limit shrinks to a quarter second
        MessageLog log;
        UpdateInformation web;
        QSignalSpy finished(&web, &UpdateInformation::finishedDownloadFile);
        QSignalSpy failed(&web, &UpdateInformation::errorDownloadFile);
        QSignalSpy requests(&fixture.server, &UpdateServer::requestReceived);

        web.downloadFile(address.isEmpty() ? fixture.url(path).toString() : address, 102);
        if (errors == 0) {
            QVERIFY(requests.wait(30000));
            web.cancelDownload();
        }

        QTRY_VERIFY_WITH_TIMEOUT(finished.count() + failed.count() > 0, 60000);
        QCOMPARE(failed.count(), errors);
        QVERIFY2(!log.messages().filter("UpdateInformation: " + logLine).isEmpty(),
                 qPrintable(log.messages().join('\n')));
        QVERIFY(contentsOf(fixture.temporaryLocation()).isEmpty());
    }

    // Run by the copy of this test that is built where no extraction helper lies.
    void zipWithoutHelperFails()
    {
        if (QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/vzunzip")))
            QSKIP("the extraction helper lies beside this copy");
        fixture.server.setRoute(QStringLiteral("/fw/fw.zip"), answer(200, zipOf({{"fw.bin", "image"}})));
        UpdateInformation web;
        runDownload(web, QStringLiteral("/fw/fw.zip"), 102);
        QCOMPARE(contentsOf(fixture.temporaryLocation()), (Contents{{"fwupdate", "<dir>"}}));
    }
};

QTEST_GUILESS_MAIN(TestUpdateInformation)
#include "test_updateinformation.moc"
