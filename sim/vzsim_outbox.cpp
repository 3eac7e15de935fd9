#include "vzsim_outbox.h"

#include <utility>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace vzsim
{

Outbox::Outbox(Deliver deliver) : deliver_(std::move(deliver)), thread_([this] { run(); }) {}

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
        queue_.push_back(Entry{due, held, std::move(frame)});
    }
    if (wake)
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
    deliverDue();
}

bool Outbox::waitDelivered(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] {
        return delivering_ == 0 && (queue_.empty() || queue_.front().due > Clock::now());
    });
}

void Outbox::deliverDue()
{
    std::lock_guard<std::mutex> order(deliverMutex_);

    for (;;) {
        Entry entry;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (queue_.empty() || queue_.front().due > Clock::now())
                return;
            entry = std::move(queue_.front());
            queue_.pop_front();
            ++delivering_;
        }
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
        deliverDue();
        lock.lock();
    }
}

} // namespace vzsim
