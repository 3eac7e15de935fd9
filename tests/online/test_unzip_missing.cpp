// A zip download when the extraction helper is not next to the program
// (this test is built into a folder without it): a failure, reported, and
// no archive left behind.
#include <QDir>
#include <QSignalSpy>
#include <QtTest>

#include "onlinefixture.h"
#include "testdata.h"
#include "testsupport.h"
#include "updateinformation.h"

class TestUnzipMissing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/vzunzip")));
        const QString failure = fixture.setUp();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        fixture.startCase();
    }
    void cleanupTestCase() { fixture.endCase(); }

    void zipDownloadFails()
    {
        UpdateRoute route;
        route.body = zipBytes({{"fw.bin", firmwareImage("VELDR-Q7", 102, 1), TestZipEntry::File, 0}});
        fixture.server.setRoute(QStringLiteral("/fw/fw.zip"), route);
        MessageLog log;
        UpdateInformation web;
        QSignalSpy failed(&web, &UpdateInformation::errorDownloadFile);
        QSignalSpy ready(&web, &UpdateInformation::readiedExec);

        web.downloadFile(fixture.url(QStringLiteral("/fw/fw.zip")).toString(), 102);

        QVERIFY(failed.wait(30000));
        QCOMPARE(ready.count(), 0);
        QVERIFY(log.messages().filter(QStringLiteral("UpdateInformation: unzip not started")).size() == 1);
        QCOMPARE(QDir(fixture.downloadFolder()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

private:
    OnlineFixture fixture;
};

QTEST_GUILESS_MAIN(TestUnzipMissing)
#include "test_unzip_missing.moc"
