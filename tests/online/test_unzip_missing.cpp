// A zip download when the extraction helper is not next to the program
// (this test is built into a folder without it): a failure, reported, and
// no archive left behind.
#include <QSignalSpy>
#include <QtTest>

#include "onlinekit.h"
#include "testsupport.h"
#include "updateinformation.h"

class TestUnzipMissing : public QObject
{
    Q_OBJECT
    OnlineFixture fixture;

private slots:
    void initTestCase() { fixture.setUp(); }
    void zipDownloadFails()
    {
        QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/vzunzip")));
        fixture.startCase();
        fixture.server.setRoute(QStringLiteral("/fw/fw.zip"),
                                answer(200, zipOf({{"fw.bin", firmwareImage("VELDR-Q7", 102, 1)}})));
        MessageLog log;
        UpdateInformation web;
        QSignalSpy failed(&web, &UpdateInformation::errorDownloadFile);
        QSignalSpy ready(&web, &UpdateInformation::readiedExec);

        web.downloadFile(fixture.url(QStringLiteral("/fw/fw.zip")).toString(), 102);

        QVERIFY(failed.wait(30000));
        QCOMPARE(ready.count(), 0);
        QCOMPARE(log.messages().filter(QStringLiteral("UpdateInformation: unzip not started")).size(), 1);
        QCOMPARE(treeOf(fixture.temporaryLocation()), QStringList{"fwupdate"});
    }
};

QTEST_GUILESS_MAIN(TestUnzipMissing)
#include "test_unzip_missing.moc"
