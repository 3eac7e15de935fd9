// The dated log file and the standard error echo of the message handler.
#include <QDate>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <memory>
#include <vector>

#include "loghandler.h"
#include "testsupport.h"

namespace
{

QString logDirectory()
{
    return QStandardPaths::standardLocations(QStandardPaths::AppDataLocation).value(0);
}
QString logPath(const QDate &date)
{
    return logDirectory() + date.toString(QStringLiteral("/yyyyMMdd")) + "_log.log";
}
QString todaysLog()
{
    QFile file(logPath(QDate::currentDate()));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
const QRegularExpression timeStamp(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] "),
                                   QRegularExpression::MultilineOption);
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
        QString log = todaysLog();
        QCOMPARE(log.count(timeStamp), 2); // each line stamped with its time
        QCOMPARE(log.remove(timeStamp), QStringLiteral("APP OPEN\nzweite Zeile äöü\n"));
    }

    void unwritableLogIsReported()
    {
        // A plain file where the folder should be: it can never be made.
        QVERIFY(QDir().mkpath(QFileInfo(logDirectory()).path()) && writeFile(logDirectory(), "in the way"));
        QCOMPARE(logged(QtDebugMsg, {"lost"}),
                 "lost\nCannot make directory:" + logDirectory().toUtf8() + "\n");
        // The next message tries again and succeeds once the way is free.
        QVERIFY(QFile::remove(logDirectory()));
        logged(QtDebugMsg, {"kept"});
        QVERIFY2(todaysLog().endsWith("] kept\n") && !todaysLog().contains("lost"), qPrintable(todaysLog()));
        // A folder in the file's place fails the open even for root; made
        // for tomorrow too, in case the run crosses midnight.
        const QDate today = QDate::currentDate();
        QVERIFY(QFile::remove(logPath(today)) && QDir().mkpath(logPath(today)) &&
                QDir().mkpath(logPath(today.addDays(1))));
        const QByteArray err = logged(QtDebugMsg, {"no file"});
        QVERIFY2(err == "no file\nCannot open log file:" + logPath(today).toUtf8() + "\n" ||
                     err == "no file\nCannot open log file:" + logPath(today.addDays(1)).toUtf8() + "\n",
                 err.constData());
    }

    // The worker's and the recorder poll's threads log beside the window's.
    void linesFromManyThreadsNeverInterleave()
    {
        QStringList expected;
        for (int i = 0; i < 600; ++i)
            expected << QStringLiteral("thread %1 message %2 of some length").arg(i % 4).arg(i / 4);
        const QByteArray err = captureOutput(2, [&] {
            std::vector<std::unique_ptr<QThread>> threads;
            for (int t = 0; t < 4; ++t) {
                threads.emplace_back(QThread::create([t, &expected] {
                    for (int i = t; i < expected.size(); i += 4)
                        logMessageHandler(QtDebugMsg, QMessageLogContext(), expected.at(i));
                }));
                threads.back()->start();
            }
            for (auto &thread : threads)
                thread->wait();
        });
        QStringList errLines = QString::fromUtf8(err).split('\n', Qt::SkipEmptyParts);
        QStringList fileLines = todaysLog().remove(timeStamp).split('\n', Qt::SkipEmptyParts);
        for (QStringList *lines : {&expected, &errLines, &fileLines})
            lines->sort();
        QCOMPARE(errLines, expected);
        QCOMPARE(fileLines, expected);
    }
};

QTEST_GUILESS_MAIN(TestLogHandler)
#include "tst_loghandler.moc"
