// The one thread on which the library makes every MIDI notification, in
// the order in which they were posted, as the Windows MIDI functions call
// their clients' callbacks on a thread of their own.
#ifndef VZMIDI_NOTIFICATION_THREAD_H
#define VZMIDI_NOTIFICATION_THREAD_H

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace vzmidi
{

class NotificationThread
{
public:
    static NotificationThread &instance();

    void post(std::function<void()> job);
    // Runs job after everything posted before it and returns once it has
    // run; on the notification thread itself it runs job at once.
    void run_and_wait(const std::function<void()> &job);

private:
    NotificationThread();
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_jobs;
    std::thread::id m_id;
};

} // namespace vzmidi

#endif
