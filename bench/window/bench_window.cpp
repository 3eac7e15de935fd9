// The longest stall of the GUI event loop, with the controller polling a
// recorder whose port sends nothing, sends damaged frames, or vanishes in
// the middle of a query; each case runs for a while at the real timing.
// Usage: bench_window [SECONDS per case] (default 10).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "mainwindow.h"
#include "vzsim.h"

namespace
{

struct Case {
    const char *name;
    std::function<void(vzsim::Recorder &)> arm;
    bool replugged = false; // the port comes back a little after it vanished
    bool plugged = true;
};

void armEvery(vzsim::Recorder &recorder, vzsim::FaultKind kind)
{
    recorder.addFault(vzsim::Fault(kind).always());
}

struct Stalls {
    qint64 longest = 0;
    int over50 = 0; // gaps of 50 ms or more: the old poll made one per second
};

// The gaps between two turns of the event loop while the window polls.
Stalls stalls(const Case &test, int seconds)
{
    vzsim::Recorder recorder;
    vzsim::VirtualPort port(recorder, "Q7 CONTROL", test.plugged);
    test.arm(recorder);
    QTimer replug;
    QObject::connect(&replug, &QTimer::timeout, [&port] { port.plug(); });
    if (test.replugged)
        replug.start(700);
    MainWindow window;
    QElapsedTimer clock;
    qint64 last = 0;
    Stalls result;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        result.longest = qMax(result.longest, now - last);
        result.over50 += now - last >= 50;
        last = now;
    });
    QTimer end;
    end.setSingleShot(true);
    QObject::connect(&end, &QTimer::timeout, QCoreApplication::instance(), &QCoreApplication::quit);
    clock.start();
    tick.start(1);
    end.start(seconds * 1000);
    QCoreApplication::exec();
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir temporary;
    qputenv("TMPDIR", temporary.path().toLocal8Bit());
    qputenv("VZ_UPDATE_INFO_URL", "http://127.0.0.1:9/"); // nothing answers: the poll alone counts
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    const Case cases[] = {
        {"no recorder (the machine's own noise)", [](vzsim::Recorder &) {}, false, false},
        {"answers at once", [](vzsim::Recorder &) {}},
        {"sends nothing", [](vzsim::Recorder &r) { armEvery(r, vzsim::FaultKind::NoReply); }},
        {"damaged frames (truncated)", [](vzsim::Recorder &r) { armEvery(r, vzsim::FaultKind::Truncated); }},
        {"damaged frames (foreign header)",
         [](vzsim::Recorder &r) { armEvery(r, vzsim::FaultKind::Garbage); }},
        {"damaged frames (no end byte)",
         [](vzsim::Recorder &r) { armEvery(r, vzsim::FaultKind::NoEndByte); }},
        {"damaged frames (oversized)", [](vzsim::Recorder &r) { armEvery(r, vzsim::FaultKind::Oversized); }},
        {"vanishes mid-query, plugged again",
         [](vzsim::Recorder &r) { r.addFault(vzsim::Fault(vzsim::FaultKind::Unplug).on(0x07).always()); },
         true},
    };
    // The library's diagnostic lines on standard output go nowhere.
    std::FILE *out = fdopen(dup(STDOUT_FILENO), "w");
    dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);
    std::fprintf(out, "longest event-loop stall over %d s per case (goal: under 20 ms)\n", seconds);
    for (const Case &test : cases) {
        const Stalls found = stalls(test, seconds);
        std::fprintf(out, "  %-38s %5lld ms   %3d gaps of 50 ms or more\n", test.name,
                     static_cast<long long>(found.longest), found.over50);
    }
    return 0;
}
