#include "notification_thread.h"

namespace vzmidi
{

NotificationThread &NotificationThread::instance()
{
    // Never destroyed: ports left open at exit may still post to it.
    static auto *thread = new NotificationThread;
    return *thread;
}

NotificationThread::NotificationThread()
{
    std::thread thread([this] { loop(); });
    m_id = thread.get_id();
    thread.detach();
}

void NotificationThread::post(std::function<void()> job)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_jobs.push_back(std::move(job));
    m_posted.notify_one();
}

void NotificationThread::run_and_wait(const std::function<void()> &job)
{
    if (std::this_thread::get_id() == m_id) {
        job();
        return;
    }
    std::mutex done_mutex;
    std::condition_variable done_changed;
    bool done = false;
    post([&] {
        job();
        std::lock_guard<std::mutex> lock(done_mutex);
        done = true;
        done_changed.notify_one();
    });
    std::unique_lock<std::mutex> lock(done_mutex);
    done_changed.wait(lock, [&] { return done; });
}

void NotificationThread::loop()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_posted.wait(lock, [this] { return !m_jobs.empty(); });
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

} // namespace vzmidi
