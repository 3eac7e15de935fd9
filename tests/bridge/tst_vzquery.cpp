// vzquery against vzsim through the recorder bridge: what the recorder
// reports is printed, and a missing or silent recorder is a failure.
#include <QtTest>

#include "vzsim_process.h"

namespace
{

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run runVzquery(const QString &socket, const QStringList &args = {})
{
    QProcess query;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VZMIDI_BRIDGE"), socket);
    env.insert(QStringLiteral("VZMIDI_BACKENDS"), QStringLiteral("bridge"));
    query.setProcessEnvironment(env);
    query.start(QStringLiteral(VZQUERY_PATH), args);
    Run run;
    if (!query.waitForFinished(60000))
        return run;
    run.exitCode = query.exitCode();
    run.out = QString::fromLocal8Bit(query.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(query.readAllStandardError());
    return run;
}

} // namespace

class TstVzquery : public QObject
{
    Q_OBJECT

private slots:
    void printsWhatTheRecorderReports_data()
    {
        QTest::addColumn<QStringList>("vzsimArgs");
        QTest::addColumn<QStringList>("expectedLines");
        QTest::newRow("defaults with identity")
            << QStringList{"--version", "1.02", "--build", "34", "--serial", "Q7-000123", "--battery", "3"}
            << QStringList{"port: Q7 CONTROL", "protocol: 1",       "version: 1.02", "build: 34",
                           "product: Q7",      "serial: Q7-000123", "battery: 3"};
        QTest::newRow("sibling model, flat battery")
            << QStringList{"--version", "5", "--product", "Q9", "--battery", "0", "--protocol", "2"}
            << QStringList{"protocol: 2", "version: 0.05", "product: Q9", "battery: 0 (no usable battery)"};
    }
    void printsWhatTheRecorderReports()
    {
        QFETCH(QStringList, vzsimArgs);
        QFETCH(QStringList, expectedLines);
        QTemporaryDir dir;
        const QString socket = dir.filePath(QStringLiteral("rec.sock"));
        Vzsim vzsim(socket);
        QVERIFY(vzsim.start(vzsimArgs));

        const Run run = runVzquery(socket);
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &line : expectedLines)
            QVERIFY2(lines.contains(line), qPrintable(line + QLatin1String(" missing in:\n") + run.out));
    }

    void noRecorderFails()
    {
        QTemporaryDir dir;
        const Run run = runVzquery(dir.filePath(QStringLiteral("nobody.sock")));
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(QLatin1String("no recorder")));
        QVERIFY(!run.out.contains(QLatin1String("port: ")));
    }

    void silentRecorderFails()
    {
        QTemporaryDir dir;
        const QString socket = dir.filePath(QStringLiteral("rec.sock"));
        Vzsim vzsim(socket);
        QVERIFY(vzsim.start({"--no-reply", "any,times=0"}));
        const Run run = runVzquery(socket);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(QLatin1String("did not answer")));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("help") << QStringList{"--help"} << 0;
        QTest::newRow("unknown argument") << QStringList{"--update"} << 2;
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        const Run run = runVzquery(dir.filePath(QStringLiteral("x.sock")), args);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY((exitCode == 0 ? run.out : run.err).startsWith(QLatin1String("usage: vzquery")));
    }
};

QTEST_GUILESS_MAIN(TstVzquery)
#include "tst_vzquery.moc"
