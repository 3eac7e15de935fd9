// vzsim's command line and its readable frames: what each option does to
// the simulated recorder, the values refused, and the lines of --verbose.
#include <QtTest>

#include "frame_text.h"
#include "sim_options.h"
#include "vzmsg.h"
#include "vzsim_frames.h"

using vzsim::Fault;
using vzsim::FaultKind;
using vzsimtool::Options;
using vzsimtool::ParseResult;

using Check = std::function<bool(const Options &)>;
Q_DECLARE_METATYPE(Check)

namespace
{

std::vector<std::string> argsOf(const QStringList &list)
{
    std::vector<std::string> args;
    for (const QString &arg : list)
        args.push_back(arg.toStdString());
    return args;
}

bool oneFault(const Options &o, FaultKind kind, std::optional<uint8_t> request)
{
    return o.recorder.faults.size() == 1 && o.recorder.faults[0].kind == kind &&
           o.recorder.faults[0].request == request;
}

vzsim::Bytes frameOf(std::function<void(vzmsg_t *)> fill)
{
    uint8_t buffer[256] = {};
    vzmsg_t msg;
    vzmsg_init(&msg, buffer, sizeof buffer);
    fill(&msg);
    return vzsim::encodeFrame(buffer, msg.position);
}

} // namespace

class TestVzsimOptions : public QObject
{
    Q_OBJECT

private slots:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void help();
    void helpNamesEveryFault();
    void requestLines_data();
    void requestLines();
    void replyLines_data();
    void replyLines();
};

void TestVzsimOptions::accepted_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<Check>("check");

    QTest::newRow("path alone, defaults") << QStringList{"/tmp/q7"} << Check([](const Options &o) {
        const Options defaults;
        return o.socketPath == "/tmp/q7" && o.portName == "Q7 CONTROL" && !o.verbose &&
               o.replugAfterMs == -1 && o.recorder.identity.version == defaults.recorder.identity.version &&
               o.recorder.faults.empty();
    });
    QTest::newRow("--socket and --name")
        << QStringList{"--socket", "/tmp/s", "--name=Other Port"}
        << Check([](const Options &o) { return o.socketPath == "/tmp/s" && o.portName == "Other Port"; });
    QTest::newRow("identity") << QStringList{"p",         "--version",  "1.02",     "--build",  "0x28",
                                             "--product", "Q7X",        "--serial", "SN-9",     "--battery",
                                             "0",         "--protocol", "2",        "--item05", "DSP 3"}
                              << Check([](const Options &o) {
                                     const vzsim::Identity &i = o.recorder.identity;
                                     return i.version == 102 && i.build == 40 && i.product == "Q7X" &&
                                            i.serial == "SN-9" && i.battery == 0 && i.protocolVersion == 2 &&
                                            i.extra05 == "DSP 3";
                                 });
    QTest::newRow("version in hundredths")
        << QStringList{"p", "--version", "98"}
        << Check([](const Options &o) { return o.recorder.identity.version == 98; });
    QTest::newRow("version with one decimal")
        << QStringList{"p", "--version=2.5"}
        << Check([](const Options &o) { return o.recorder.identity.version == 250; });
    QTest::newRow("free space")
        << QStringList{"p", "--free-space", "100", "--free-sequence", "0,0,252", "--free-repeat"}
        << Check([](const Options &o) {
               const vzsim::FreeSpace &f = o.recorder.freeSpace;
               return f.value == 100 && f.sequence == std::vector<uint32_t>{0, 0, 252} && f.repeat;
           });
    QTest::newRow("latency with a fraction")
        << QStringList{"p", "--latency", "2.5"}
        << Check([](const Options &o) { return o.recorder.timing.latency == vzsim::Microseconds(2500); });
    QTest::newRow("phases") << QStringList{"p", "--phase", "erase=3:1500", "--phase=mode-change=2"}
                            << Check([](const Options &o) {
                                   const vzsim::Timing &t = o.recorder.timing;
                                   return t.erase.polls == 3 && t.erase.time == vzsim::Milliseconds(1500) &&
                                          t.modeChange.polls == 2 && t.modeChange.time.count() == 0;
                               });
    QTest::newRow("instant keeps the latency")
        << QStringList{"p", "--latency", "3", "--instant"} << Check([](const Options &o) {
               const vzsim::Timing &t = o.recorder.timing;
               return t.latency == vzsim::Microseconds(3000) && t.dataCheck.polls == 0 &&
                      t.erase.polls == 0 && t.compare.polls == 0 && t.serialWrite.polls == 0;
           });
    QTest::newRow("fail-status at the data check")
        << QStringList{"p", "--fail-status", "0x53=106"} << Check([](const Options &o) {
               return oneFault(o, FaultKind::ErrorStatus, 0x53) && o.recorder.faults[0].status == 106 &&
                      o.recorder.faults[0].occurrence == 1 && o.recorder.faults[0].count == 1;
           });
    QTest::newRow("fault modifiers") << QStringList{"p", "--late-reply",
                                                    "any,status=3,at=5,times=0,delay=250"}
                                     << Check([](const Options &o) {
                                            const Fault &f = o.recorder.faults[0];
                                            return oneFault(o, FaultKind::LateReply, std::nullopt) &&
                                                   f.whileStatus == 3u && f.occurrence == 5 && f.count == 0 &&
                                                   f.delay == vzsim::Milliseconds(250);
                                        });
    QTest::newRow("drop-item and wrong-offset, in order")
        << QStringList{"p", "--drop-item", "0x55=0x57", "--wrong-offset", "89=-4"}
        << Check([](const Options &o) {
               const auto &f = o.recorder.faults;
               return f.size() == 2 && f[0].kind == FaultKind::DropItem && f[0].item == 0x57 &&
                      f[1].kind == FaultKind::WrongOffset && f[1].request == uint8_t(0x59) &&
                      f[1].offsetDelta == -4;
           });
    QTest::newRow("unplug and replug")
        << QStringList{"p", "--unplug", "0x59,at=20", "--replug-after", "500"} << Check([](const Options &o) {
               return oneFault(o, FaultKind::Unplug, 0x59) && o.recorder.faults[0].occurrence == 20 &&
                      o.replugAfterMs == 500;
           });
    QTest::newRow("verbose and image product")
        << QStringList{"--verbose", "p", "--image-product", "VD-NIMBO"}
        << Check([](const Options &o) { return o.verbose && o.recorder.imageProduct == "VD-NIMBO"; });
}

void TestVzsimOptions::accepted()
{
    QFETCH(QStringList, args);
    QFETCH(Check, check);
    Options options;
    std::string error;
    QCOMPARE(int(vzsimtool::parseOptions(argsOf(args), options, error)), int(ParseResult::Run));
    QVERIFY2(error.empty(), error.c_str());
    QVERIFY(check(options));
}

void TestVzsimOptions::refused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");

    QTest::newRow("no path") << QStringList{"--verbose"} << "no socket path given";
    QTest::newRow("two paths") << QStringList{"a", "b"} << "unexpected argument \"b\"";
    QTest::newRow("unknown option") << QStringList{"p", "--colour"} << "unknown option --colour";
    QTest::newRow("missing value") << QStringList{"p", "--build"} << "--build needs N";
    QTest::newRow("flag with value") << QStringList{"p", "--verbose=1"} << "--verbose takes no value";
    QTest::newRow("build too large") << QStringList{"p", "--build", "65536"}
                                     << "bad value \"65536\" for --build N";
    QTest::newRow("negative battery")
        << QStringList{"p", "--battery", "-1"} << "bad value \"-1\" for --battery N";
    QTest::newRow("version with three decimals")
        << QStringList{"p", "--version", "1.025"} << "bad value \"1.025\" for --version N";
    QTest::newRow("trailing text") << QStringList{"p", "--free-space", "12k"}
                                   << "bad value \"12k\" for --free-space N";
    QTest::newRow("unknown phase") << QStringList{"p", "--phase", "polish=1"}
                                   << "bad value \"polish=1\" for --phase NAME=POLLS[:MS]";
    QTest::newRow("latency over a minute")
        << QStringList{"p", "--latency", "60001"} << "bad value \"60001\" for --latency MS";
    QTest::newRow("fail-status without status") << QStringList{"p", "--fail-status", "0x53"}
                                                << "bad value \"0x53\" for --fail-status REQ=STATUS[,...]";
    QTest::newRow("no-reply with a value")
        << QStringList{"p", "--no-reply", "0x55=3"} << "bad value \"0x55=3\" for --no-reply REQ[,...]";
    QTest::newRow("request code over a byte")
        << QStringList{"p", "--garbage", "0x155"} << "bad value \"0x155\" for --garbage REQ[,...]";
    QTest::newRow("occurrence zero") << QStringList{"p", "--unplug", "any,at=0"}
                                     << "bad value \"any,at=0\" for --unplug REQ[,...]";
    QTest::newRow("unknown modifier") << QStringList{"p", "--truncated", "any,when=3"}
                                      << "bad value \"any,when=3\" for --truncated REQ[,...]";
    QTest::newRow("empty sequence entry")
        << QStringList{"p", "--free-sequence", "1,,2"} << "bad value \"1,,2\" for --free-sequence N,N,...";
    QTest::newRow("image product over 8 bytes") << QStringList{"p", "--image-product", "VELDR-Q7X"}
                                                << "bad value \"VELDR-Q7X\" for --image-product CODE";
}

void TestVzsimOptions::refused()
{
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    Options options;
    std::string reason;
    QCOMPARE(int(vzsimtool::parseOptions(argsOf(args), options, reason)), int(ParseResult::Error));
    QCOMPARE(QString::fromStdString(reason), error);
}

void TestVzsimOptions::help()
{
    for (const char *flag : {"--help", "-h"}) {
        Options options;
        std::string error;
        QCOMPARE(int(vzsimtool::parseOptions({"--build", "7", flag, "--bogus"}, options, error)),
                 int(ParseResult::Help));
    }
}

void TestVzsimOptions::helpNamesEveryFault()
{
    const QString help = QString::fromStdString(vzsimtool::helpText("vzsim"));
    for (const char *option :
         {"--fail-status", "--no-reply", "--late-reply", "--duplicate-reply", "--garbage", "--truncated",
          "--no-end-byte", "--oversized", "--unplug", "--drop-item", "--wrong-offset", "--phase", "--latency",
          "--free-space", "--replug-after"})
        QVERIFY2(help.contains(QLatin1String(option)), option);
    for (const char *phase : {"mode-change", "transfer-ready", "data-check", "write-start", "erase",
                              "blank-check", "write", "compare", "serial-write"}) {
        Options options;
        std::string error;
        QCOMPARE(int(vzsimtool::parseOptions({"p", "--phase", std::string(phase) + "=1"}, options, error)),
                 int(ParseResult::Run));
        QVERIFY2(help.contains(QLatin1String(phase)), phase);
    }
}

void TestVzsimOptions::requestLines_data()
{
    QTest::addColumn<vzsim::Bytes>("frame");
    QTest::addColumn<QString>("line");

    QTest::newRow("status") << frameOf([](vzmsg_t *m) { vzmsg_add_cmd(m, 0x55); }) << "-> 0x55 FWUP_STATUS";
    QTest::newRow("size") << frameOf([](vzmsg_t *m) { vzmsg_add_u32(m, 0x52, 1036); })
                          << "-> 0x52 FWUP_SIZE=1036";
    const uint8_t block[252] = {};
    QTest::newRow("block") << frameOf([&](vzmsg_t *m) { vzmsg_add_str16(m, 0x59, block, sizeof block); })
                           << "-> 0x59 FWUP_DATA=[252 bytes]";
    QTest::newRow("serial write") << frameOf([](vzmsg_t *m) { vzmsg_add_str8(m, 0x5A, "S\"1", 3); })
                                  << "-> 0x5A SERIAL_WRITE=\"S\\x221\"";
    QTest::newRow("unnamed item") << frameOf([](vzmsg_t *m) { vzmsg_add_cmd(m, 0x03); }) << "-> 0x03";
    QTest::newRow("not a record") << vzsim::Bytes{0xF0, 0x7D, 0x01, 0xF7}
                                  << "-> not a record (4 bytes): f0 7d 01 f7";
}

void TestVzsimOptions::requestLines()
{
    QFETCH(vzsim::Bytes, frame);
    QFETCH(QString, line);
    QCOMPARE(QString::fromStdString(vzsimtool::requestText(frame.data(), frame.size())), line);
}

void TestVzsimOptions::replyLines_data()
{
    QTest::addColumn<vzsim::Bytes>("frame");
    QTest::addColumn<QString>("line");

    QTest::newRow("status") << frameOf([](vzmsg_t *m) {
        vzmsg_add_u32(m, 0x55, 6);
        vzmsg_add_u32(m, 0x56, 120);
        vzmsg_add_u32(m, 0x57, 1000);
    }) << "<- 0x55=6 0x56=120 0x57=1000";
    QTest::newRow("version") << frameOf([](vzmsg_t *m) {
        vzmsg_add_u16(m, 0x01, 98);
        vzmsg_add_str8(m, 0x02, "Q7", 2);
    }) << "<- 0x01=98 0x02=\"Q7\"";
    QTest::newRow("check answer") << frameOf([](vzmsg_t *m) { vzmsg_add_u8(m, 0x53, 0); }) << "<- 0x53=0";
}

void TestVzsimOptions::replyLines()
{
    QFETCH(vzsim::Bytes, frame);
    QFETCH(QString, line);
    QCOMPARE(QString::fromStdString(vzsimtool::replyText(frame.data(), frame.size())), line);
}

QTEST_GUILESS_MAIN(TestVzsimOptions)
#include "tst_vzsim_options.moc"
