// The recorder's update status over time: a list of steps, each shown for
// its phase, the last one kept for good.
#ifndef VZSIM_TIMELINE_H
#define VZSIM_TIMELINE_H

#include <chrono>
#include <cstdint>
#include <vector>

#include "vzsim_config.h"

namespace vzsim
{

using Clock = std::chrono::steady_clock;

// What a status reply carries: items 0x55, 0x56 and 0x57.
struct StatusReport {
    uint32_t status = 0;
    uint32_t progress = 0;
    uint32_t total = 0;
};

struct Step {
    uint32_t status = 0;
    Phase phase;
    uint32_t progress = 0; // progress shown, or the end point of a ramp
    uint32_t total = 0;
    bool ramp = false; // progress rises from 0 to `progress` as the phase passes
};

class Timeline
{
public:
    // Starts the steps at `now`; the last one's phase is never over.
    void start(std::vector<Step> steps, Clock::time_point now);
    // A single step for good: an error, or a status that waits for the host.
    void hold(uint32_t status, uint32_t progress, uint32_t total, Clock::time_point now);

    // The report for a status request, counted against the phase.
    StatusReport poll(Clock::time_point now);
    // The report without counting a poll (replies to 0x51, 0x52, 0x54).
    StatusReport peek(Clock::time_point now);

    uint32_t status(Clock::time_point now) { return peek(now).status; }

private:
    void advance(Clock::time_point now);
    StatusReport report(Clock::time_point now, unsigned pollsIncluded) const;

    std::vector<Step> steps_{Step{}};
    size_t current_ = 0;
    unsigned polls_ = 0;
    Clock::time_point started_{};
};

} // namespace vzsim

#endif
