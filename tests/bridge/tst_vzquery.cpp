// vzquery against vzsim through the recorder bridge: what the recorder
// reports is printed, and a missing or silent recorder is a failure.
#include <QtTest>

#include "vzsim_process.h"

class TstVzquery : public QObject
{
    Q_OBJECT

private slots:
    void run_data()
    {
        QTest::addColumn<QStringList>("vzsimArgs"); // "none": no recorder listens
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("lines"); // on stdout (exit 0) or stderr
        QTest::newRow("defaults with identity")
            << QStringList{"--version", "1.02", "--build", "34", "--serial", "Q7-000123", "--battery", "3"}
            << QStringList() << 0
            << QStringList{"port: Q7 CONTROL", "protocol: 1",       "version: 1.02", "build: 34",
                           "product: Q7",      "serial: Q7-000123", "battery: 3"};
        QTest::newRow("sibling model, flat battery")
            << QStringList{"--version", "5", "--product", "Q9", "--battery", "0", "--protocol", "2"}
            << QStringList() << 0
            << QStringList{"protocol: 2", "version: 0.05", "product: Q9", "battery: 0 (no usable battery)"};
        QTest::newRow("no recorder") << QStringList("none") << QStringList() << 1
                                     << QStringList("no recorder");
        QTest::newRow("silent recorder") << QStringList{"--no-reply", "any,times=0"} << QStringList() << 1
                                         << QStringList("did not answer");
        QTest::newRow("help") << QStringList("none") << QStringList("--help") << 0
                              << QStringList("usage: vzquery");
        QTest::newRow("unknown argument")
            << QStringList("none") << QStringList("--update") << 2 << QStringList("usage: vzquery");
    }
    void run()
    {
        QFETCH(QStringList, vzsimArgs);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QStringList, lines);
        QTemporaryDir dir;
        const QString socket = dir.filePath(QStringLiteral("rec.sock"));
        Vzsim vzsim(socket);
        if (vzsimArgs != QStringList("none"))
            QVERIFY(vzsim.start(vzsimArgs));
        QProcess query;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VZMIDI_BRIDGE"), socket);
        env.insert(QStringLiteral("VZMIDI_BACKENDS"), QStringLiteral("bridge"));
        query.setProcessEnvironment(env);
        query.start(QStringLiteral(VZQUERY_PATH), args);
        QVERIFY(query.waitForFinished(60000));
        QCOMPARE(query.exitCode(), exitCode);
        const QString text = QString::fromLocal8Bit(exitCode == 0 ? query.readAllStandardOutput()
                                                                  : query.readAllStandardError());
        // The recorder's report line by line; anything else anywhere in the text.
        const bool report = exitCode == 0 && args.isEmpty();
        for (const QString &line : lines)
            QVERIFY2(report ? text.split('\n').contains(line) : text.contains(line),
                     qPrintable(line + QLatin1String(" missing in:\n") + text));
        if (exitCode == 1 && !vzsim.process().processId()) // no recorder: no port named either
            QVERIFY(!query.readAllStandardOutput().contains("port: "));
    }
};

QTEST_GUILESS_MAIN(TstVzquery)
#include "tst_vzquery.moc"
