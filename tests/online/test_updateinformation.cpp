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
        fixture.trustTestCa(trusted);
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
        QTest::addColumn<QString>("announced"); // in the folder; empty: nothing usable
        QTest::addColumn<Contents>("folder");
        const QByteArray image = randomBytes(40000);
        QTest::newRow("exe") << "/fw/Update.exe" << image << "temp.exe" << Contents{{"temp.exe", image}};
        QTest::newRow("dmg") << "/fw/Update.DMG" << image << "temp.dmg" << Contents{{"temp.dmg", image}};
        QTest::newRow("zip") << "/fw/VELDRACORDERQ7_102.ZIP"
                             << zipOf({{"VeldracorderQ7_102.bin", image},
                                       {"ReadMe.txt", "What is new in 1.02\n"},
                                       {"Manual.PDF", "%PDF-1.4 manual"}})
                             << "VeldracorderQ7_102.bin" << Contents{{"VeldracorderQ7_102.bin", image}};
        QTest::newRow("zip escaping the folder")
            << "/fw/evil.zip" << zipOf({{"VeldracorderQ7_102.bin", image}, {"../../evil.bin", image}})
            << QString() << Contents{};
    }
    // Each is a second download: the first one's file goes, a planted link
    // too, while hidden files and subfolders stay.
    void download()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(QString, announced);
        QFETCH(Contents, folder);
        QVERIFY(!body.isEmpty());
        fixture.server.setRoute(QStringLiteral("/fw/old.bin"), answer(200, "old"));
        fixture.server.setRoute(path, answer(200, body));
        UpdateInformation web;
        runDownload(web, QStringLiteral("/fw/old.bin"), 101);
        const QString downloads = fixture.downloadFolder();
        QCOMPARE(contentsOf(downloads), (Contents{{"temp.101", "old"}}));
        QVERIFY(QDir(downloads).mkdir(QStringLiteral("keep")) && writeFile(downloads + "/.hidden", "h"));
        QVERIFY(QFile::link(QStringLiteral("/nonexistent"), downloads + "/temp.102"));
        folder.insert(Contents{{"keep", "<dir>"}, {".hidden", "h"}});
        QSignalSpy ready(&web, &UpdateInformation::readiedExec);

        runDownload(web, path, 102);

        QCOMPARE(ready.count(), 1);
        QCOMPARE(ready.at(0).at(0).toString(), announced.isEmpty() ? QString() : downloads + '/' + announced);
        QCOMPARE(contentsOf(downloads), folder);
        QCOMPARE(QDir::currentPath(), downloads);
        const QStringList tree = contentsOf(fixture.temporaryLocation()).keys(); // nothing beside the folder
        QVERIFY2(tree.size() == 1 + folder.size(), qPrintable(tree.join(' ')));
    }

    // Firmware over https; plain http only where the information came over http.
    void firmwareAddress_data()
    {
        QTest::addColumn<QByteArray>("information");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<bool>("refused");
        QTest::newRow("http after https")
            << QByteArray("https://a.invalid/i.json") << "http://127.0.0.1:1/fw.bin" << true;
        QTest::newRow("http after http")
            << QByteArray("http://a.invalid/i.json") << "http://127.0.0.1:1/fw.bin" << false;
        QTest::newRow("local file") << QByteArray("http://a.invalid/i.json") << "file:///etc/hostname"
                                    << true;
    }
    void firmwareAddress()
    {
        QFETCH(QByteArray, information);
        QFETCH(QString, firmware);
        QFETCH(bool, refused);
        qputenv("VZ_UPDATE_INFO_URL", information);
        UpdateInformation web; // reads the address once, here
        QSignalSpy finished(&web, &UpdateInformation::finishedDownloadFile);
        QSignalSpy failed(&web, &UpdateInformation::errorDownloadFile);
        web.downloadFile(firmware, 102);
        QCOMPARE(failed.count(), int(refused)); // a refusal comes before any connection
        QVERIFY(refused || finished.wait(30000));
    }

    void failures_data()
    {
        QTest::addColumn<UpdateRoute>("route"); // at /fw/fw.bin
        QTest::addColumn<int>("errors");        // errorDownloadFile signals
        QTest::addColumn<QString>("logLine");
        const QByteArray image = randomBytes(5000);
        UpdateRoute stalled = answer(200, image);
        stalled.stallAfter = 100;
        UpdateRoute huge = answer(200, image);
        huge.announcedLength = 600LL * 1024 * 1024;
        huge.stallAfter = 1000;
        UpdateRoute held = answer(200, image); // cancelled by the caller
        held.stallAfter = 0;
        QTest::newRow("not found") << answer(404, image) << 1 << "UpdateInformation: file download error";
        QTest::newRow("empty body") << answer(200) << 1 << "UpdateInformation: file download size zero";
        QTest::newRow("stalled transfer") << stalled << 1 << "UpdateInformation: timeout";
        QTest::newRow("too large") << huge << 1 << "UpdateInformation: file too large";
        QTest::newRow("cancelled") << held << 0 << "UpdateInformation: cancel download";
    }
    // Nothing is saved and the folder is not even made. Redirects and
    // certificates are handled as for the information request above.
    void failures()
    {
        QFETCH(UpdateRoute, route);
        QFETCH(int, errors);
        QFETCH(QString, logLine);
        const QString path = QStringLiteral("/fw/fw.bin");
        fixture.server.setRoute(path, route);
        AppTiming::setScale(0.004); // the inactivity limit shrinks to a quarter second
        MessageLog log;
        UpdateInformation web;
        QSignalSpy finished(&web, &UpdateInformation::finishedDownloadFile);
        QSignalSpy failed(&web, &UpdateInformation::errorDownloadFile);
        QSignalSpy requests(&fixture.server, &UpdateServer::requestReceived);

        web.downloadFile(fixture.url(path).toString(), 102);
        if (errors == 0) {
            QVERIFY(requests.wait(30000));
            web.cancelDownload();
        }

        QVERIFY(finished.wait(60000));
        QCOMPARE(failed.count(), errors);
        QVERIFY2(!log.messages().filter(logLine).isEmpty(), qPrintable(log.messages().join('\n')));
        QVERIFY(contentsOf(fixture.temporaryLocation()).isEmpty());
    }

    // Run by the copy of this test that is built where no extraction helper lies.
    void zipWithoutHelperFails()
    {
        if (QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/vzunzip")))
            QSKIP("the extraction helper lies beside this copy");
        fixture.server.setRoute(QStringLiteral("/fw/fw.zip"), answer(200, zipOf({{"fw.bin", "image"}})));
        UpdateInformation web;
        QSignalSpy ready(&web, &UpdateInformation::readiedExec);
        runDownload(web, QStringLiteral("/fw/fw.zip"), 102);
        QCOMPARE(ready.count(), 0);
        QCOMPARE(contentsOf(fixture.temporaryLocation()), (Contents{{"fwupdate", "<dir>"}}));
    }
};

QTEST_GUILESS_MAIN(TestUpdateInformation)
#include "test_updateinformation.moc"
