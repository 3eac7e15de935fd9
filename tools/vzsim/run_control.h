// The outside events of a transport's serving loop: a stop (a signal), an
// unplug (the recorder's fault, from any thread) and the plugging in again
// that an unplug may bring some time later. The loop polls fd() with
// pollTimeoutMs() beside its own descriptors, then asks next().
#ifndef VZSIM_TOOL_RUN_CONTROL_H
#define VZSIM_TOOL_RUN_CONTROL_H

#include <chrono>

namespace vzsimtool
{

class RunControl
{
public:
    enum class Event { none, stop, unplug, replug };

    // replugAfterMs: how long after an unplug to plug in again; -1 never.
    explicit RunControl(int replugAfterMs);
    ~RunControl();
    RunControl(const RunControl &) = delete;
    RunControl &operator=(const RunControl &) = delete;

    bool ready() const { return wake_[0] >= 0; }
    int fd() const { return wake_[0]; }
    // Safe to call from a signal handler.
    void stop();
    void unplug();
    // What the loop has to do now; a stop goes before an unplug.
    Event next();
    // For poll: -1 while no plugging in is due.
    int pollTimeoutMs() const;

private:
    using Clock = std::chrono::steady_clock;

    const int replugAfterMs_;
    int wake_[2] = {-1, -1};
    bool replugPending_ = false;
    Clock::time_point replugAt_{};
};

} // namespace vzsimtool

#endif
