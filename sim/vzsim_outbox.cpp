#include "vzsim_outbox.h"

#include <utility>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace vzsim
{

Outbox::Outbox(Deliver deliver, Unplug unplug)
    : deliver_(std::move(deliver)), unplug_(std::move(unplug)), thread_([this] { run(); })
{
}

Outbox::~Outbox()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void Outbox::post(Bytes frame, Clock::time_point due, bool held)
{
    bool wake;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // A frame due now goes out with the caller's pump(); waking the
        // thread for it would only cost a context switch per reply.
        wake = due > Clock::now();
        queue_.push_back(Entry{due, held, false, std::move(frame)});
    }
    if (wake)
        changed_.notify_all();
}

void Outbox::postUnplug()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(Entry{Clock::now(), false, true, {}});
    }
    changed_.notify_all();
}

void Outbox::releaseHeld()
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    for (Entry &entry : queue_) {
        if (entry.held && entry.due > now)
            entry.due = now;
    }
}

void Outbox::clear()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.clear();
    }
    changed_.notify_all();
}

void Outbox::pump()
{
    deliverDue(false);
}

bool Outbox::waitDelivered(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] {
        return delivering_ == 0 && (queue_.empty() || queue_.front().due > Clock::now());
    });
}

void Outbox::deliverDue(bool mayUnplug)
{
    // pump() never waits for the thread: the thread may be unplugging, which
    // waits for the transport's receive call that is pumping. Whatever pump()
    // leaves, the thread (woken here) delivers.
    std::unique_lock<std::mutex> order(deliverMutex_, std::defer_lock);
    if (mayUnplug) {
        order.lock();
    } else if (!order.try_lock()) {
        changed_.notify_all();
        return;
    }

    for (;;) {
        Entry entry;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (queue_.empty() || queue_.front().due > Clock::now() || (queue_.front().unplug && !mayUnplug))
                return;
            entry = std::move(queue_.front());
            queue_.pop_front();
            ++delivering_;
        }
        if (entry.unplug)
            unplug_();
        else
            deliver_(entry.frame);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            --delivering_;
        }
        changed_.notify_all();
    }
}

void Outbox::run()
{
#ifdef __linux__
    // Latencies of a millisecond are simulated; the default 50 us timer
    // slack would add 5 % to each.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        if (queue_.empty()) {
            changed_.wait(lock);
            continue;
        }
        const auto due = queue_.front().due;
        if (due > Clock::now()) {
            changed_.wait_until(lock, due);
            continue;
        }
        lock.unlock();
        deliverDue(true);
        lock.lock();
    }
}

} // namespace vzsim
