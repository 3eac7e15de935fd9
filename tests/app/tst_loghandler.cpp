// The dated log file and the standard error echo of the message handler.
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <vector>

#include "loghandler.h"
#include "testsupport.h"

class TestLogHandler : public QObject
{
    Q_OBJECT

private:
    QString logDirectory() const
    {
        return QStandardPaths::standardLocations(QStandardPaths::AppDataLocation).value(0);
    }
    static QString logName(const QDate &date)
    {
        return date.toString(QStringLiteral("yyyyMMdd")) + "_log.log";
    }
    QByteArray todaysLog() const
    {
        QFile file(logDirectory() + '/' + logName(QDate::currentDate()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QByteArray logAndCaptureStderr(QtMsgType type, const QString &text)
    {
        FdCapture err(2);
        logMessageHandler(type, QMessageLogContext(), text);
        return err.finish();
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("vzapptest"));
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(!logDirectory().isEmpty());
    }

    void init()
    {
        // The whole organisation folder goes, so the handler must make the
        // application folder and its missing parent.
        QDir organisation(logDirectory());
        organisation.cdUp();
        QVERIFY(organisation.removeRecursively());
        QVERIFY(!QDir(logDirectory()).exists());
    }

    void debugMessageGoesToFileAndStandardError()
    {
        const QTime before = QTime::currentTime();
        const QByteArray err = logAndCaptureStderr(QtDebugMsg, QStringLiteral("APP OPEN"));
        const QTime after = QTime::currentTime();

        QCOMPARE(err, QByteArray("APP OPEN\n"));
        const QByteArray log = todaysLog();
        const QRegularExpression line(QStringLiteral("^\\[(\\d\\d:\\d\\d:\\d\\d)\\] APP OPEN\\n$"));
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(log));
        QVERIFY2(match.hasMatch(), log.constData());
        const QTime stamp = QTime::fromString(match.captured(1), QStringLiteral("hh:mm:ss"));
        // Seconds only; a run across midnight wraps the clock.
        QVERIFY(before > after || (stamp >= before.addMSecs(-before.msec()) && stamp <= after));
    }

    void messagesAppendInOrder()
    {
        logAndCaptureStderr(QtDebugMsg, QStringLiteral("first"));
        logAndCaptureStderr(QtDebugMsg, QStringLiteral("zweite Zeile äöü"));
        const QStringList lines = QString::fromUtf8(todaysLog()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).endsWith(QStringLiteral("] first")));
        QVERIFY(lines.at(1).endsWith(QStringLiteral("] zweite Zeile äöü")));
    }

    void onlyDebugMessagesReachTheFile_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("inFile");
        QTest::newRow("debug") << int(QtDebugMsg) << true;
        QTest::newRow("info") << int(QtInfoMsg) << false;
        QTest::newRow("warning") << int(QtWarningMsg) << false;
        QTest::newRow("critical") << int(QtCriticalMsg) << false;
    }
    void onlyDebugMessagesReachTheFile()
    {
        QFETCH(int, type);
        QFETCH(bool, inFile);
        const QByteArray err = logAndCaptureStderr(QtMsgType(type), QStringLiteral("level check"));
        QCOMPARE(err, QByteArray("level check\n"));
        QCOMPARE(todaysLog().contains("] level check\n"), inFile);
    }

    void unmakeableDirectoryIsReported()
    {
        // A plain file where the folder should be: it can never be made.
        QDir().mkpath(QFileInfo(logDirectory()).path());
        QVERIFY(writeFile(logDirectory(), "in the way"));
        const QByteArray err = logAndCaptureStderr(QtDebugMsg, QStringLiteral("lost line"));
        QCOMPARE(err, "lost line\nCannot make directory:" + logDirectory().toUtf8() + "\n");
        // The next message tries again and succeeds once the way is free.
        QVERIFY(QFile::remove(logDirectory()));
        logAndCaptureStderr(QtDebugMsg, QStringLiteral("kept line"));
        QVERIFY(todaysLog().endsWith("] kept line\n"));
        QVERIFY(!todaysLog().contains("lost line"));
    }

    void unopenableFileIsReported()
    {
        // A folder in the file's place fails the open even for root; made
        // for today and tomorrow in case the run crosses midnight.
        const QDate today = QDate::currentDate();
        QVERIFY(QDir().mkpath(logDirectory() + '/' + logName(today)));
        QVERIFY(QDir().mkpath(logDirectory() + '/' + logName(today.addDays(1))));
        const QByteArray err = logAndCaptureStderr(QtDebugMsg, QStringLiteral("no file"));
        const QString expectedToday = logDirectory() + '/' + logName(today);
        const QString expectedTomorrow = logDirectory() + '/' + logName(today.addDays(1));
        QVERIFY2(err == "no file\nCannot open log file:" + expectedToday.toUtf8() + "\n" ||
                     err == "no file\nCannot open log file:" + expectedTomorrow.toUtf8() + "\n",
                 err.constData());
    }

    void linesFromManyThreadsNeverInterleave()
    {
        constexpr int threads = 4;
        constexpr int perThread = 150;
        std::vector<QThread *> workers;
        FdCapture err(2);
        for (int t = 0; t < threads; ++t) {
            workers.push_back(QThread::create([t] {
                for (int i = 0; i < perThread; ++i)
                    logMessageHandler(
                        QtDebugMsg, QMessageLogContext(),
                        QStringLiteral("thread %1 message %2 with some length to it").arg(t).arg(i));
            }));
            workers.back()->start();
        }
        for (QThread *worker : workers) {
            worker->wait();
            delete worker;
        }
        const QByteArray stderrText = err.finish();

        QSet<QString> expected;
        for (int t = 0; t < threads; ++t)
            for (int i = 0; i < perThread; ++i)
                expected.insert(QStringLiteral("thread %1 message %2 with some length to it").arg(t).arg(i));

        const QStringList errLines = QString::fromUtf8(stderrText).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(errLines.size(), threads * perThread);
        QCOMPARE(QSet<QString>(errLines.begin(), errLines.end()), expected);

        const QRegularExpression stamp(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] "));
        QStringList fileLines;
        for (QString line : QString::fromUtf8(todaysLog()).split('\n', Qt::SkipEmptyParts)) {
            QVERIFY2(stamp.match(line).hasMatch(), qPrintable(line));
            fileLines.append(line.remove(stamp));
        }
        QCOMPARE(fileLines.size(), threads * perThread);
        QCOMPARE(QSet<QString>(fileLines.begin(), fileLines.end()), expected);
    }
};

QTEST_GUILESS_MAIN(TestLogHandler)
#include "tst_loghandler.moc"
