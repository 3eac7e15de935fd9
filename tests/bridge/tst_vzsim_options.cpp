// vzsim's command line: what the options do to the simulated recorder, and
// the arguments refused, with their exit codes.
#include <QtTest>

#include "sim_options.h"
#include "vzsim_process.h"

using vzsim::FaultKind;

class TestVzsimOptions : public QObject
{
    Q_OBJECT

private slots:
    void accepted()
    {
        std::vector<std::string> args{"--socket",          "/tmp/s",
                                      "--name=Other Port", "--version=2.5",
                                      "--build",           "0x28",
                                      "--latency",         "2.5",
                                      "--phase",           "erase=3:1500",
                                      "--instant",         "--phase=write=4",
                                      "--late-reply",      "any,status=3,at=5,times=0,delay=250",
                                      "--wrong-offset",    "89=-4",
                                      "--replug-after",    "500"};
        vzsimtool::Options o;
        std::string error;
        QCOMPARE(int(vzsimtool::parseOptions(args, o, error)), int(vzsimtool::ParseResult::Run));
        QCOMPARE(o.socketPath, "/tmp/s");
        QCOMPARE(o.portName, "Other Port");
        QCOMPARE(o.recorder.identity.version, 250);
        QCOMPARE(o.recorder.identity.build, 40);
        const vzsim::Timing &t = o.recorder.timing; // --instant in its place among the phases
        QCOMPARE(t.latency.count(), 2500);
        QCOMPARE(t.erase.polls, 0);
        QCOMPARE(t.write.polls, 4);
        const std::vector<vzsim::Fault> &f = o.recorder.faults;
        QCOMPARE(f.size(), size_t(2));
        QVERIFY(f[0].kind == FaultKind::LateReply && !f[0].request && f[0].whileStatus == 3u);
        QVERIFY(f[0].occurrence == 5 && f[0].count == 0 && f[0].delay.count() == 250);
        QVERIFY(f[1].kind == FaultKind::WrongOffset && f[1].request == uint8_t(0x59) &&
                f[1].offsetDelta == -4);
        QCOMPARE(o.replugAfterMs, 500);
    }

    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed"); // the start of stdout (exit 0) or stderr
        QTest::newRow("help wins") << QStringList{"--build", "7", "-h", "--bogus"} << 0
                                   << "Usage: vzsim [options]";
        QTest::newRow("no path") << QStringList{"--verbose"} << 2 << "vzsim: no socket path given\n";
        QTest::newRow("two paths") << QStringList{"a", "b"} << 2 << "vzsim: unexpected argument \"b\"";
        QTest::newRow("unknown option")
            << QStringList{"p", "--colour"} << 2 << "vzsim: unknown option --colour";
        QTest::newRow("missing value") << QStringList{"p", "--build"} << 2 << "vzsim: --build needs N";
        QTest::newRow("flag with value")
            << QStringList{"p", "--verbose=1"} << 2 << "vzsim: --verbose takes no";
        for (const QStringList &bad : {QStringList{"--build", "65536"},
                                       {"--version", "1.025"},
                                       {"--free-space", "12k"},
                                       {"--phase", "polish=1"},
                                       {"--fail-status", "0x53"},
                                       {"--garbage", "0x155"},
                                       {"--unplug", "any,at=0"},
                                       {"--truncated", "any,when=3"},
                                       {"--image-product", "VELDR-Q7X"}})
            QTest::addRow("%s %s", qPrintable(bad[0]), qPrintable(bad[1]))
                << QStringList{"p"} + bad << 2 << "vzsim: bad value \"" + bad[1] + "\" for " + bad[0];
        QTest::newRow("path not a socket")
            << QStringList{VZSIM_PATH} << 1 << "vzsim: " VZSIM_PATH " exists and is not a socket";
        QTest::newRow("another vzsim there") << QStringList{} << 1 << "vzsim: another listener is already at";
    }
    void exitCodes()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        QTemporaryDir dir;
        Vzsim first(dir.filePath(QStringLiteral("q7.sock")));
        if (args.isEmpty()) {
            QVERIFY(first.start({}));
            args << dir.filePath(QStringLiteral("q7.sock"));
        }
        QProcess vzsim;
        vzsim.start(QStringLiteral(VZSIM_PATH), args);
        QVERIFY(vzsim.waitForFinished(30000));
        QCOMPARE(vzsim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(vzsim.exitCode(), exitCode);
        const QByteArray text = exitCode == 0 ? vzsim.readAllStandardOutput() : vzsim.readAllStandardError();
        QVERIFY2(text.startsWith(printed.toLocal8Bit()), text.constData());
    }
};

QTEST_GUILESS_MAIN(TestVzsimOptions)
#include "tst_vzsim_options.moc"
