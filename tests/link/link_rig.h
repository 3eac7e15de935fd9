// The host's port opened on the recorder simulator behind the virtual pair
// "Q7 CONTROL", the update steps run as the device wrapper runs them, and
// the library's sleeps counted instead of slept.
#ifndef LINK_RIG_H
#define LINK_RIG_H

#include <QtTest>

#include <atomic>

#include "test_images.h"
#include "vzmsg_ctl.h"
#include "vzsim.h"

namespace simtest
{

using Image = std::vector<uint8_t>;

inline std::atomic<unsigned> shortWaits{0}; // 100 ms
inline std::atomic<unsigned> longWaits{0};  // 1000 ms
inline std::atomic<unsigned> otherWaits{0}; // any other length, which nothing asks for

// The counters an update shares with the thread that watches it.
struct Counters {
    uint32_t status = 0, progress = 0, total = 0;
};

enum UpdateStep { Enter, SendData, DataCheck, Write };

// Phases that pass after the given numbers of polls, in the order update
// mode, ready for data, data check, write start, erase, blank check, write,
// compare; the ones not given pass at the first poll.
inline vzsim::Timing phases(const std::vector<unsigned> &polls)
{
    using T = vzsim::Timing;
    vzsim::Phase T::*const order[] = {&T::modeChange, &T::transferReady, &T::dataCheck, &T::writeStart,
                                      &T::erase,      &T::blankCheck,    &T::write,     &T::compare};
    vzsim::Timing timing;
    for (size_t i = 0; i < std::size(order); ++i)
        timing.*order[i] = vzsim::Phase{i < polls.size() ? polls[i] : 0, {}};
    return timing;
}

class LinkRig
{
public:
    explicit LinkRig(vzsim::RecorderConfig config = {}) : recorder(std::move(config)), port(recorder)
    {
        vzmsg_set_sleep_hook([](uint32_t ms) {
            (ms == 1000 ? longWaits : ms == 100 ? shortWaits : otherWaits).fetch_add(1);
        });
        if (!reopen())
            qFatal("the host cannot open the recorder's port");
    }
    ~LinkRig() { vzmsg_devs_close(&dev); }

    // Opens the host's port (again, as after a replug).
    bool reopen()
    {
        vzmsg_devs_close(&dev);
        shortWaits = longWaits = otherWaits = 0;
        return vzmsg_devs_open(&dev) == 0;
    }

    int step(UpdateStep step, const Image &image)
    {
        switch (step) {
        case Enter:
            return vzmsg_ctl_fwup_enter(&dev, &counters.status);
        case SendData:
            return vzmsg_ctl_fwup_send_data(&dev, image.data(), uint32_t(image.size()), &counters.progress,
                                            &counters.total, &counters.status);
        case DataCheck:
            return vzmsg_ctl_fwup_data_check(&dev, &counters.status);
        default:
            return vzmsg_ctl_fwup_write(&dev, &counters.progress, &counters.total, &counters.status);
        }
    }
    // The steps in order from Enter up to `last` or the first failure: how
    // many succeeded.
    int stepsDone(const Image &image, int last = Write)
    {
        int s = Enter;
        while (s <= last && step(UpdateStep(s), image) == 0)
            ++s;
        return s;
    }
    // The steps before `last` must succeed (-1 when one fails); then arms
    // `faults` and answers the result of `last`, whose sleeps and polls are
    // counted on their own.
    int runUpTo(UpdateStep last, const Image &image, const std::vector<vzsim::Fault> &faults = {})
    {
        if (stepsDone(image, last - 1) != last)
            return -1;
        for (const vzsim::Fault &fault : faults)
            recorder.addFault(fault);
        shortWaits = longWaits = otherWaits = 0;
        m_polls = polls();
        return step(last, image);
    }
    unsigned pollsOfLastStep() const { return unsigned(polls() - m_polls); }

    vzsim::Recorder recorder;
    vzsim::VirtualPort port; // after the recorder: goes first
    vzmsg_dev_t dev{};
    Counters counters;

private:
    uint64_t polls() const { return recorder.requestCount(VZMSG_DATA_FWUP_STATUS); }

    uint64_t m_polls = 0;
};

} // namespace simtest

#endif
