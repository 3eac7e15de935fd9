#include "vzsim_timeline.h"

#include <algorithm>
#include <utility>

namespace vzsim
{

void Timeline::start(std::vector<Step> steps, Clock::time_point now)
{
    steps_ = steps.empty() ? std::vector<Step>{Step{}} : std::move(steps);
    current_ = 0;
    polls_ = 0;
    started_ = now;
}

void Timeline::hold(uint32_t status, uint32_t progress, uint32_t total, Clock::time_point now)
{
    start({Step{status, Phase{}, progress, total, false}}, now);
}

StatusReport Timeline::poll(Clock::time_point now)
{
    advance(now);
    ++polls_;
    return report(now, polls_);
}

StatusReport Timeline::peek(Clock::time_point now)
{
    advance(now);
    return report(now, polls_);
}

void Timeline::advance(Clock::time_point now)
{
    while (current_ + 1 < steps_.size()) {
        const Phase &phase = steps_[current_].phase;
        if (polls_ < phase.polls || now - started_ < phase.time)
            return;
        ++current_;
        polls_ = 0;
        started_ = now;
    }
}

StatusReport Timeline::report(Clock::time_point now, unsigned pollsIncluded) const
{
    const Step &step = steps_[current_];
    StatusReport report{step.status, step.progress, step.total};

    if (!step.ramp)
        return report;
    // The share of the phase that has passed, by polls and by time; the
    // slower of the two sets the progress.
    uint64_t progress = step.progress;
    if (step.phase.polls > 0)
        progress = std::min<uint64_t>(progress, uint64_t(step.progress) * pollsIncluded / step.phase.polls);
    if (step.phase.time.count() > 0) {
        auto length = std::chrono::duration_cast<Microseconds>(step.phase.time).count();
        auto elapsed =
            std::min<int64_t>(std::chrono::duration_cast<Microseconds>(now - started_).count(), length);
        progress =
            std::min<uint64_t>(progress, uint64_t(step.progress) * uint64_t(elapsed) / uint64_t(length));
    }
    report.progress = uint32_t(progress);
    return report;
}

} // namespace vzsim
