// The dated log file and the standard error echo of the message handler.
#include <QDate>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include "loghandler.h"
#include "testsupport.h"

namespace
{

QString logDirectory()
{
    return QStandardPaths::standardLocations(QStandardPaths::AppDataLocation).value(0);
}
QString todaysLog()
{
    QFile file(logDirectory() + QDate::currentDate().toString(QStringLiteral("/yyyyMMdd")) + "_log.log");
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
// What logging the texts in turn wrote to standard error.
QByteArray logged(QtMsgType type, const QStringList &texts)
{
    return captureOutput(2, [&] {
        for (const QString &text : texts)
            logMessageHandler(type, QMessageLogContext(), text);
    });
}

} // namespace

class TestLogHandler : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("vzapptest"));
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(!logDirectory().isEmpty());
    }

    // The whole organisation folder goes, so the handler must make the
    // application folder and its missing parent.
    void init() { QVERIFY(QDir(QFileInfo(logDirectory()).path()).removeRecursively()); }

    void debugMessagesGoToFileAndEveryMessageToStandardError()
    {
        const QByteArray err = logged(QtDebugMsg, {"APP OPEN", "zweite Zeile äöü"}) +
                               logged(QtWarningMsg, {"a warning"}) + logged(QtInfoMsg, {"some information"});
        QCOMPARE(err, QByteArray("APP OPEN\nzweite Zeile äöü\na warning\nsome information\n"));
        const QRegularExpression time(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] "),
                                      QRegularExpression::MultilineOption);
        QString log = todaysLog();
        QCOMPARE(log.count(time), 2); // each line stamped with its time
        QCOMPARE(log.remove(time), QStringLiteral("APP OPEN\nzweite Zeile äöü\n"));
    }
};

QTEST_GUILESS_MAIN(TestLogHandler)
#include "tst_loghandler.moc"
