// The host's port opened on the recorder simulator behind the virtual pair
// "Q7 CONTROL", and the library's sleeps counted instead of slept.
#ifndef LINK_RIG_H
#define LINK_RIG_H

#include <QtTest>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "vzmsg_ctl.h"
#include "vzsim.h"

namespace simtest
{

// The library's fixed waits, counted by length; none of them is slept.
class Sleeps
{
public:
    static void install() { vzmsg_set_sleep_hook(&Sleeps::hook); }
    static void uninstall() { vzmsg_set_sleep_hook(nullptr); }
    static void reset()
    {
        s_short.store(0);
        s_long.store(0);
    }
    static unsigned shortWaits() { return s_short.load(); } // 100 ms
    static unsigned longWaits() { return s_long.load(); }   // 1000 ms

private:
    static void hook(uint32_t milliseconds) { (milliseconds >= 1000 ? s_long : s_short).fetch_add(1); }
    static inline std::atomic<unsigned> s_short{0};
    static inline std::atomic<unsigned> s_long{0};
};

// Recorder, its port pair and the host's opened port, torn down in the
// right order.
class LinkRig
{
public:
    explicit LinkRig(vzsim::RecorderConfig config = {})
        : recorder(std::move(config)), port(recorder), m_dev(std::make_unique<vzmsg_dev_t>())
    {
        m_open = vzmsg_devs_open(m_dev.get()) == 0;
        Sleeps::reset();
    }
    ~LinkRig() { vzmsg_devs_close(m_dev.get()); }
    LinkRig(const LinkRig &) = delete;
    LinkRig &operator=(const LinkRig &) = delete;

    bool isOpen() const { return m_open; }
    vzmsg_dev_t *dev() { return m_dev.get(); }
    // Opens the host's port again, as after a replug.
    bool reopen()
    {
        vzmsg_devs_close(m_dev.get());
        m_open = vzmsg_devs_open(m_dev.get()) == 0;
        return m_open;
    }

    vzsim::Recorder recorder;
    vzsim::VirtualPort port;

private:
    std::unique_ptr<vzmsg_dev_t> m_dev;
    bool m_open = false;
};

// The counters an update shares with the thread that watches it.
struct Counters {
    uint32_t status = 0;
    uint32_t progress = 0;
    uint32_t total = 0;
};

enum UpdateStep { Enter, SendData, DataCheck, Write };

// One step of the update, called as the device wrapper calls it, with the
// same counters throughout.
inline int runStep(LinkRig &rig, const std::vector<uint8_t> &image, UpdateStep step, Counters &counters)
{
    switch (step) {
    case Enter:
        return vzmsg_ctl_fwup_enter(rig.dev(), &counters.status);
    case SendData:
        return vzmsg_ctl_fwup_send_data(rig.dev(), image.data(), uint32_t(image.size()), &counters.progress,
                                        &counters.total, &counters.status);
    case DataCheck:
        return vzmsg_ctl_fwup_data_check(rig.dev(), &counters.status);
    default:
        return vzmsg_ctl_fwup_write(rig.dev(), &counters.progress, &counters.total, &counters.status);
    }
}

// The steps before `last` must succeed (-1 when one fails); answers the
// result of `last`.
inline int runUpTo(LinkRig &rig, const std::vector<uint8_t> &image, UpdateStep last, Counters &counters)
{
    for (int step = Enter; step < last; ++step) {
        if (runStep(rig, image, UpdateStep(step), counters) != 0)
            return -1;
    }
    return runStep(rig, image, last, counters);
}

// The four steps in order, stopping at the first failure: the number of
// steps that succeeded (4: the whole update).
inline int stepsDone(LinkRig &rig, const std::vector<uint8_t> &image, Counters &counters)
{
    for (int step = Enter; step <= Write; ++step) {
        if (runStep(rig, image, UpdateStep(step), counters) != 0)
            return step;
    }
    return Write + 1;
}

// A recorder whose phases pass at the first poll.
inline vzsim::RecorderConfig instantConfig()
{
    vzsim::RecorderConfig config;
    config.timing.dataCheck = vzsim::Phase{};
    config.timing.erase = config.timing.blankCheck = config.timing.write = config.timing.compare =
        vzsim::Phase{};
    return config;
}

} // namespace simtest

#endif
