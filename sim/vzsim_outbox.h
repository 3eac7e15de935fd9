// The recorder's outgoing messages, in order, each at its due time: replies
// delayed by the recorder's latency or held back as late replies. Owns the
// recorder's thread.
#ifndef VZSIM_OUTBOX_H
#define VZSIM_OUTBOX_H

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "vzsim_frames.h"

namespace vzsim
{

class Outbox
{
public:
    using Clock = std::chrono::steady_clock;
    using Deliver = std::function<void(const Bytes &frame)>;

    explicit Outbox(Deliver deliver);
    ~Outbox();
    Outbox(const Outbox &) = delete;
    Outbox &operator=(const Outbox &) = delete;

    // Queues a frame due at `due`: one due at once goes out with the next
    // pump(), a later one from the outbox's thread. A held frame (a late
    // reply) also goes as soon as releaseHeld() is called.
    void post(Bytes frame, Clock::time_point due, bool held = false);
    // Makes every held frame due now, to go out with the next pump().
    void releaseHeld();
    // Forgets everything queued.
    void clear();
    // Delivers, on the calling thread, the frames that are due now.
    void pump();
    // Waits until everything due by now has been delivered (frames due
    // later, such as held late replies, are not waited for); false on
    // timeout.
    bool waitDelivered(std::chrono::milliseconds timeout);

private:
    struct Entry {
        Clock::time_point due;
        bool held = false;
        Bytes frame;
    };

    void run();
    void deliverDue();

    Deliver deliver_;
    std::mutex deliverMutex_; // one delivery at a time, in queue order
    std::mutex mutex_;        // guards everything below
    std::condition_variable changed_;
    std::deque<Entry> queue_;
    unsigned delivering_ = 0;
    bool stop_ = false;
    std::thread thread_; // last: starts once everything above exists
};

} // namespace vzsim

#endif
