// vzquery against vzsim through the recorder bridge: what the recorder
// reports is printed, and a missing or silent recorder is a failure; for an
// update, every refusal comes before the update starts, each failure has its
// exit status, and a sound image ends up installed.
#include <QtTest>

#include "test_images.h"
#include "test_support.h"

namespace
{

// vzsim in a process of its own, with its output kept.
struct Vzsim {
    QProcess process;
    QString printed;
    ~Vzsim()
    {
        process.kill();
        process.waitForFinished();
    }
    bool start(const QString &socket, const QStringList &args) // and wait until it listens
    {
        process.start(QStringLiteral(VZSIM_PATH), QStringList(args) << socket);
        while (!output().contains(QLatin1String("vzsim: listening on")))
            if (!process.waitForReadyRead(10000))
                return false;
        return true;
    }
    QString output() { return printed += QString::fromLocal8Bit(process.readAllStandardOutput()); }
};

// vzquery run to its end through the bridge at socket.
ProgramRun runVzquery(const QString &socket, const QStringList &args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VZMIDI_BRIDGE"), socket);
    env.insert(QStringLiteral("VZMIDI_BACKENDS"), QStringLiteral("bridge"));
    return runProgram(QStringLiteral(VZQUERY_PATH), args, QString(), env);
}

} // namespace

class TstVzquery : public QObject
{
    Q_OBJECT

private slots:
    void report_data()
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
        QTest::newRow("another port's name")
            << QStringList{"--name", "Q7 CONTROL 2"} << QStringList() << 1 << QStringList("no recorder");
        QTest::newRow("silent recorder") << QStringList{"--no-reply", "any,times=0"} << QStringList() << 1
                                         << QStringList("did not answer");
        QTest::newRow("help") << QStringList("none") << QStringList("--help") << 0
                              << QStringList("usage: vzquery");
        QTest::newRow("unknown argument")
            << QStringList("none") << QStringList("--update") << 2 << QStringList("usage: vzquery");
    }
    void report()
    {
        QFETCH(QStringList, vzsimArgs);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QStringList, lines);
        QTemporaryDir dir;
        const QString socket = dir.filePath(QStringLiteral("rec.sock"));
        Vzsim vzsim;
        if (vzsimArgs != QStringList("none"))
            QVERIFY(vzsim.start(socket, vzsimArgs));
        const ProgramRun run = runVzquery(socket, args);
        QCOMPARE(run.exitCode, exitCode);
        const QString text = QString::fromLocal8Bit(exitCode == 0 ? run.out : run.err);
        // The recorder's report line by line; anything else anywhere in the text.
        const bool report = exitCode == 0 && args.isEmpty();
        for (const QString &line : lines)
            QVERIFY2(report ? text.split('\n').contains(line) : text.contains(line),
                     qPrintable(line + QLatin1String(" missing in:\n") + text));
        if (text.contains("no recorder")) // no port named either
            QVERIFY(!run.out.contains("port: "));
    }

    void update_data()
    {
        QTest::addColumn<QStringList>("vzsimArgs");
        QTest::addColumn<QString>("product");
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<QStringList>("toolArgs");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("words");
        const QString q7 = QStringLiteral("VELDR-Q7");
        QTest::newRow("complete") << QStringList{} << q7 << false << QStringList{} << 0 << "";
        QTest::newRow("no image") << QStringList{} << q7 << false << QStringList{"/nonexistent.prg"} << 3
                                  << "cannot read";
        QTest::newRow("damaged image") << QStringList{} << q7 << true << QStringList{} << 4 << "correct file";
        QTest::newRow("protocol 2") << QStringList{"--protocol", "2"} << q7 << false << QStringList{} << 5
                                    << "Device recognition failed.";
        QTest::newRow("flat battery")
            << QStringList{"--battery", "0"} << q7 << false << QStringList{} << 6 << "Install batteries";
        QTest::newRow("sibling model")
            << QStringList{} << "VD-NIMBO" << false << QStringList{} << 7 << "correct file";
        QTest::newRow("older") << QStringList{"--version", "1.05"} << q7 << false << QStringList{} << 8
                               << "older firmware";
        QTest::newRow("older, allowed")
            << QStringList{"--version", "1.05"} << q7 << false << QStringList{"--allow-older"} << 0 << "";
        QTest::newRow("recorder's error")
            << QStringList{"--fail-status", "0x53=106"} << q7 << false << QStringList{} << 9 << "ERR_SUMCHK";
        QTest::newRow("unplugged") << QStringList{"--unplug", "0x59,at=40"} << q7 << false << QStringList{}
                                   << 10 << "Restart the device's power";
        QTest::newRow("no recorder") << QStringList{"--unplug", "any"} << q7 << false << QStringList{} << 1
                                     << "did not answer";
        QTest::newRow("bad command line")
            << QStringList{} << q7 << false << QStringList{"--force"} << 2 << "usage: vzquery update";
    }
    void update()
    {
        QFETCH(QStringList, vzsimArgs);
        QFETCH(QString, product);
        QFETCH(bool, damaged);
        QFETCH(QStringList, toolArgs);
        QFETCH(int, exitCode);
        QFETCH(QString, words);
        QTemporaryDir dir;
        std::vector<uint8_t> image = simtest::makeImage(20000, product.toStdString());
        if (damaged)
            image[1000] ^= 0x40;
        const QByteArray bytes(reinterpret_cast<const char *>(image.data()), int(image.size()));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("fw.prg")), bytes));
        if (toolArgs.isEmpty() || toolArgs.last().startsWith(QLatin1String("--allow")))
            toolArgs << dir.filePath(QStringLiteral("fw.prg"));

        const QString socket = dir.filePath(QStringLiteral("rec.sock"));
        Vzsim vzsim;
        const QString written = dir.filePath(QStringLiteral("written.prg"));
        QVERIFY(vzsim.start(socket, QStringList(vzsimArgs) << "--instant"
                                                           << "--verbose"
                                                           << "--save-image" << written));
        const ProgramRun tool = runVzquery(socket, QStringList{"update"} << toolArgs);
        QVERIFY2(QString::fromLocal8Bit(tool.err).contains(words), tool.err.constData());
        QCOMPARE(tool.exitCode, exitCode);

        const bool refused = exitCode >= 2 && exitCode <= 8;
        QTRY_VERIFY(exitCode != 0 || vzsim.output().contains("firmware written, now version 1.02 build 40"));
        QVERIFY2(!refused || !vzsim.output().contains(QLatin1String("-> 0x51")), qPrintable(vzsim.output()));
        vzsim.process.terminate();
        QVERIFY(vzsim.process.waitForFinished(10000));
        QCOMPARE(QFile::exists(written), exitCode == 0);
        QVERIFY(exitCode != 0 || (tool.out.contains("update complete") && readFile(written) == bytes));
    }
};

QTEST_GUILESS_MAIN(TstVzquery)
#include "tst_vzquery.moc"
