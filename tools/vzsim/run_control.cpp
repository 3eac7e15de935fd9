#include "run_control.h"

#include <fcntl.h>
#include <unistd.h>

namespace vzsimtool
{

RunControl::RunControl(int replugAfterMs) : replugAfterMs_(replugAfterMs)
{
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        wake_[0] = wake_[1] = -1;
}

RunControl::~RunControl()
{
    for (int fd : wake_)
        if (fd >= 0)
            ::close(fd);
}

void RunControl::stop()
{
    const char stopping = 's';
    (void)!::write(wake_[1], &stopping, 1);
}

void RunControl::unplug()
{
    const char unplugging = 'u';
    (void)!::write(wake_[1], &unplugging, 1);
}

RunControl::Event RunControl::next()
{
    bool stopping = false, unplugging = false;
    char reasons[16];
    ssize_t got;
    while ((got = ::read(wake_[0], reasons, sizeof reasons)) > 0) {
        for (ssize_t i = 0; i < got; ++i) {
            stopping = stopping || reasons[i] == 's';
            unplugging = unplugging || reasons[i] == 'u';
        }
    }
    if (stopping)
        return Event::stop;
    if (unplugging) {
        replugPending_ = replugAfterMs_ >= 0;
        replugAt_ = Clock::now() + std::chrono::milliseconds(replugAfterMs_);
        return Event::unplug;
    }
    if (replugPending_ && Clock::now() >= replugAt_) {
        replugPending_ = false;
        return Event::replug;
    }
    return Event::none;
}

int RunControl::pollTimeoutMs() const
{
    if (!replugPending_)
        return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(replugAt_ - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

} // namespace vzsimtool
