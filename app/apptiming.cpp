#include "apptiming.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "vzmsg.h"

namespace
{

std::atomic<double> timeScale{1.0};
static_assert(std::atomic<double>::is_always_lock_free, "the scale is read from the library's threads");

void scaledSleep(uint32_t milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(AppTiming::scaled(static_cast<int>(milliseconds))));
}

} // namespace

double AppTiming::scale()
{
    return timeScale.load(std::memory_order_relaxed);
}

bool AppTiming::setScale(double factor)
{
    if (!(factor > 0.0) || !std::isfinite(factor))
        return false;
    timeScale.store(factor, std::memory_order_relaxed);
    vzmsg_set_sleep_hook(factor == 1.0 ? nullptr : scaledSleep);
    return true;
}

int AppTiming::scaled(int milliseconds)
{
    if (milliseconds <= 0)
        return 0;
    const double scaledValue = std::floor(milliseconds * scale());
    if (scaledValue < 1.0)
        return 1;
    if (scaledValue > 2147483647.0)
        return 2147483647;
    return static_cast<int>(scaledValue);
}
