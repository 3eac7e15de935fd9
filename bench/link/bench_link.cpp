// Figures of the control layer over the real port layer, against the
// recorder simulator on the platform's virtual ports:
//   1. exchanges per second with a recorder that answers at once, and where
//      an exchange's time goes;
//   2. wall and CPU time of a whole update with the sample image, write
//      phases shortened;
//   3. a 256 KiB transfer with 1 ms reply latency beside its floor, the
//      number of exchanges times 1 ms, and where the time above it goes.
// Usage: bench_link [IMAGE] (default: the build's sample image).
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "prgdecode.h"
#include "prgencode.h"
#include "vzmidi_virtual.h"
#include "vzmsg_ctl.h"
#include "vzmsg_midi.h"
#include "vzsim.h"

namespace
{

using Clock = std::chrono::steady_clock;

// The figures; standard output itself takes the library's progress lines,
// which go nowhere.
std::FILE *out = stdout;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

int64_t nanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// CPU time of the whole process (every thread: host, simulator, stand-in).
double processCpu()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

void noSleep(uint32_t) {}

// The recorder's side of the virtual pair, noting when each request
// arrives and when its reply is handed over.
class TimedPort : public vzsim::HostLink
{
public:
    explicit TimedPort(vzsim::Recorder &recorder) : m_recorder(recorder)
    {
        m_recorder.attach(this);
        m_port = vzmidi_virtual_register("Q7 CONTROL", &TimedPort::onReceive, this);
    }
    ~TimedPort() override
    {
        vzmidi_virtual_unregister(m_port);
        m_recorder.attach(nullptr);
    }

    int64_t arrived() const { return m_arrived.load(); }
    int64_t replied() const { return m_replied.load(); }

private:
    static void onReceive(void *context, const uint8_t *bytes, size_t length)
    {
        auto *self = static_cast<TimedPort *>(context);
        self->m_arrived.store(nanoseconds());
        self->m_recorder.receiveFromHost(bytes, length);
    }
    void sendToHost(const vzsim::Bytes &frame) override
    {
        m_replied.store(nanoseconds());
        vzmidi_virtual_deliver(m_port, frame.data(), frame.size());
    }
    void unplug() override {}

    vzsim::Recorder &m_recorder;
    vzmidi_virtual_port *m_port = nullptr;
    std::atomic<int64_t> m_arrived{0};
    std::atomic<int64_t> m_replied{0};
};

// The host's port opened on a simulated recorder, through the simulator's
// own binding or through the timed one.
template <typename Port> struct Rig {
    explicit Rig(vzsim::RecorderConfig config)
        : recorder(std::move(config)), port(recorder), dev(std::make_unique<vzmsg_dev_t>())
    {
        open = vzmsg_devs_open(dev.get()) == 0;
    }
    ~Rig() { vzmsg_devs_close(dev.get()); }

    uint64_t exchanges() const
    {
        uint64_t all = 0;
        for (int code = 0; code < 256; ++code)
            all += recorder.requestCount(uint8_t(code));
        return all;
    }

    vzsim::Recorder recorder;
    Port port;
    std::unique_ptr<vzmsg_dev_t> dev;
    bool open = false;
};

vzsim::RecorderConfig quickRecorder(std::chrono::microseconds latency = {})
{
    vzsim::RecorderConfig config;
    config.timing.latency = latency;
    config.timing.dataCheck = vzsim::Phase{};
    config.timing.erase = config.timing.blankCheck = config.timing.write = config.timing.compare =
        vzsim::Phase{};
    return config;
}

struct Rate {
    double perSecond = 0;
    double cpuPerCall = 0; // seconds of process CPU
};

// Best of three rounds of `count` calls.
template <typename Call> Rate measure(int count, Call call)
{
    Rate best;
    for (int round = 0; round < 3; ++round) {
        const double cpu = processCpu();
        const auto start = Clock::now();
        for (int i = 0; i < count; ++i)
            call();
        const double wall = seconds(Clock::now() - start);
        if (count / wall > best.perSecond)
            best = Rate{count / wall, (processCpu() - cpu) / count};
    }
    return best;
}

// Average times of one exchange's stages, in microseconds.
struct Stages {
    double toRecorder = 0;  // host's send called -> request at the recorder
    double inRecorder = 0;  // request at the recorder -> reply handed over
    double toHost = 0;      // reply handed over -> host's receive returns it
    double sendReturns = 0; // host's send called -> it returns (done mark seen)
    int count = 0;

    void add(int64_t sent, int64_t arrived, int64_t replied, int64_t sendDone, int64_t received)
    {
        toRecorder += (arrived - sent) * 1e-3;
        inRecorder += (replied - arrived) * 1e-3;
        toHost += (received - replied) * 1e-3;
        sendReturns += (sendDone - sent) * 1e-3;
        ++count;
    }
    void print(const char *indent) const
    {
        std::fprintf(out, "%shost send -> request at recorder: %7.1f us\n", indent, toRecorder / count);
        std::fprintf(out, "%srequest -> reply handed over:     %7.1f us\n", indent, inRecorder / count);
        std::fprintf(out, "%sreply handed over -> host has it: %7.1f us\n", indent, toHost / count);
        std::fprintf(out, "%s(host's send returns after        %7.1f us)\n", indent, sendReturns / count);
    }
};

// One status request through the port layer alone, timed stage by stage.
void timedExchange(Rig<TimedPort> &rig, Stages &stages)
{
    static const uint8_t request[] = {VZMSG_DATA_FWUP_STATUS, VZMSG_TYPE_CMD};
    uint8_t reply[256], length = 0;
    const int64_t sent = nanoseconds();
    vzmsg_devs_send(rig.dev.get(), request, sizeof request);
    const int64_t sendDone = nanoseconds();
    vzmsg_devs_recv(rig.dev.get(), reply, sizeof reply, &length);
    stages.add(sent, rig.port.arrived(), rig.port.replied(), sendDone, nanoseconds());
}

void exchangeFigures()
{
    Rig<vzsim::VirtualPort> rig(quickRecorder());
    if (!rig.open) {
        std::fprintf(out, "cannot open the simulated recorder's port\n");
        return;
    }
    uint32_t status, progress, total;
    const Rate poll =
        measure(20000, [&] { vzmsg_ctl_fwup_get_status(rig.dev.get(), &status, &progress, &total); });

    Rig<TimedPort> timed(quickRecorder());
    Stages stages;
    const Rate port = measure(20000, [&] { timedExchange(timed, stages); });

    // The records and frames of one exchange, both sides, and the
    // simulator's handling of a request with nowhere to send the reply.
    const Rate codec = measure(200000, [&] {
        uint8_t buffer[256] = {0}, frame[400], back[256];
        uint64_t frameLength, payloadLength;
        vzmsg_t msg;
        vzmsg_init(&msg, buffer, sizeof buffer);
        vzmsg_add_cmd(&msg, VZMSG_DATA_FWUP_STATUS);
        vzmsg_midi_encode(buffer, msg.position, frame, sizeof frame, &frameLength);
        vzmsg_midi_decode(frame, frameLength, back, sizeof back, &payloadLength);
        vzmsg_add_u32(&msg, VZMSG_DATA_FWUP_STATUS, 1);
        vzmsg_add_u32(&msg, VZMSG_DATA_FWUP_PROGRESS, 2);
        vzmsg_add_u32(&msg, VZMSG_DATA_FWUP_TOTAL, 3);
        vzmsg_midi_encode(buffer, msg.position, frame, sizeof frame, &frameLength);
        vzmsg_midi_decode(frame, frameLength, back, sizeof back, &payloadLength);
    });
    vzsim::Recorder alone(quickRecorder());
    const uint8_t pollFrame[] = {0xF0, 0x4E, 0x50, 0x23, 0x00, 0x55, 0x02, 0x00, 0xF7};
    const Rate sim = measure(200000, [&] { alone.receiveFromHost(pollFrame, sizeof pollFrame); });

    std::fprintf(out, "exchanges with an instant recorder (status polls, best of 3 x 20000):\n");
    std::fprintf(
        out, "  control + port layers: %8.0f exchanges/s, %6.1f us wall, %6.1f us CPU (all threads) each\n",
        poll.perSecond, 1e6 / poll.perSecond, 1e6 * poll.cpuPerCall);
    std::fprintf(
        out, "  port layer alone:      %8.0f exchanges/s, %6.1f us wall, %6.1f us CPU (all threads) each\n",
        port.perSecond, 1e6 / port.perSecond, 1e6 * port.cpuPerCall);
    std::fprintf(out, "  stages of a port-layer exchange (mean of all 60000):\n");
    stages.print("    ");
    std::fprintf(out, "  records and frames of one exchange (both sides): %6.2f us CPU\n",
                 1e6 * codec.cpuPerCall);
    std::fprintf(out, "  simulator handling one request:                   %6.2f us CPU\n",
                 1e6 * sim.cpuPerCall);
}

template <typename Port> int update(Rig<Port> &rig, const std::vector<uint8_t> &image, uint32_t counters[3])
{
    const uint32_t size = uint32_t(image.size());
    vzmsg_dev_t *dev = rig.dev.get();
    if (vzmsg_ctl_fwup_enter(dev, &counters[2]) != 0 ||
        vzmsg_ctl_fwup_send_data(dev, image.data(), size, &counters[0], &counters[1], &counters[2]) != 0 ||
        vzmsg_ctl_fwup_data_check(dev, &counters[2]) != 0 ||
        vzmsg_ctl_fwup_write(dev, &counters[0], &counters[1], &counters[2]) != 0)
        return 1;
    return 0;
}

void fullUpdateFigures(const char *path)
{
    int32_t length = 0;
    uint8_t *bytes = prg_load_file(path, &length);
    if (!bytes) {
        std::fprintf(out, "cannot read %s\n", path);
        return;
    }
    const std::vector<uint8_t> image(bytes, bytes + length);
    std::free(bytes);

    Rig<vzsim::VirtualPort> rig(quickRecorder());
    uint32_t counters[3] = {0, 0, 0};
    const double cpu = processCpu();
    const auto start = Clock::now();
    const int failed = update(rig, image, counters);
    const double wall = seconds(Clock::now() - start);
    const double used = processCpu() - cpu;
    const uint64_t exchanges = rig.exchanges();
    const bool whole = rig.recorder.receivedImage() == image;

    std::fprintf(out, "whole update of %s (%d bytes, write phases shortened):\n", path, length);
    std::fprintf(out, "  %s, status %u, image %s\n", failed ? "FAILED" : "done", counters[2],
                 whole ? "received whole" : "NOT received whole");
    std::fprintf(out,
                 "  wall %.2f s, CPU %.2f s (all threads), %llu exchanges, %.0f exchanges/s, %.2f MB/s\n",
                 wall, used, (unsigned long long)exchanges, exchanges / wall, length / wall / 1e6);
}

void latencyFigures()
{
    const std::chrono::milliseconds latency(1);
    const int32_t payload = 256 * 1024 - PRG_MIN_IMAGE_SIZE;
    std::vector<uint8_t> data(size_t(payload), 0x5A), image(256 * 1024);
    prg_image_info info{{'V', 'E', 'L', 'D', 'R', '-', 'Q', '7'}, 102, 40, 2023, 5, 17};
    prg_build_image(&info, data.data(), payload, image.data(), int32_t(image.size()));

    Rig<vzsim::VirtualPort> rig(quickRecorder(latency));
    uint32_t status = 0, progress = 0, total = 0;
    if (vzmsg_ctl_fwup_enter(rig.dev.get(), &status) != 0) {
        std::fprintf(out, "latency run: update mode failed\n");
        return;
    }
    const uint64_t before = rig.exchanges();
    const auto start = Clock::now();
    const int failed = vzmsg_ctl_fwup_send_data(rig.dev.get(), image.data(), uint32_t(image.size()),
                                                &progress, &total, &status);
    const double wall = seconds(Clock::now() - start);
    const uint64_t exchanges = rig.exchanges() - before;
    const double floor = double(exchanges) * 1e-3;

    Rig<TimedPort> timed(quickRecorder(latency));
    Stages stages;
    for (int i = 0; i < 500; ++i)
        timedExchange(timed, stages);

    std::fprintf(out, "256 KiB transfer (size, status wait, blocks) with 1 ms reply latency:\n");
    std::fprintf(out,
                 "  %s, %llu exchanges, %.3f s against a floor of %.3f s: %+.1f %%, %.1f us per exchange "
                 "above the latency\n",
                 failed ? "FAILED" : "done", (unsigned long long)exchanges, wall, floor,
                 100.0 * (wall - floor) / floor, 1e6 * (wall - floor) / double(exchanges));
    std::fprintf(out, "  stages of a port-layer exchange with that latency (mean of 500):\n");
    stages.print("    ");
}

} // namespace

int main(int argc, char **argv)
{
    // Only the simulator's ports, whatever else the machine offers.
    setenv("VZMIDI_BACKENDS", "virtual", 1);
    vzmsg_set_sleep_hook(noSleep);
    std::fflush(stdout);
    out = fdopen(dup(STDOUT_FILENO), "w");
    const int nowhere = open("/dev/null", O_WRONLY);
    dup2(nowhere, STDOUT_FILENO);
    close(nowhere);

    exchangeFigures();
    fullUpdateFigures(argc > 1 ? argv[1] : VZ_SAMPLE_IMAGE);
    latencyFigures();
    std::fclose(out);
    return 0;
}
