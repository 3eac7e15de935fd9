// Events, critical sections and timing of the Windows kernel over the C++
// standard library, and a module look-up that finds nothing.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "handle_table.h"

namespace
{

struct Event {
    std::mutex mutex;
    std::condition_variable changed;
    bool manual_reset = false;
    bool signalled = false;
};

vzmidi::HandleTable<Event> &events()
{
    // Never destroyed: handles may still be used while the process exits.
    static auto *table = new vzmidi::HandleTable<Event>;
    return *table;
}

std::recursive_mutex &section_mutex(LPCRITICAL_SECTION section)
{
    return *std::launder(reinterpret_cast<std::recursive_mutex *>(section->opaque.bytes));
}

static_assert(sizeof(std::recursive_mutex) <= sizeof(CRITICAL_SECTION::opaque), "critical section too small");
static_assert(alignof(std::recursive_mutex) <= alignof(CRITICAL_SECTION), "critical section misaligned");

} // namespace

extern "C" {

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manual_reset, BOOL initial_state, LPCWSTR name)
{
    if (name)
        return nullptr;
    auto event = std::make_shared<Event>();
    event->manual_reset = manual_reset != FALSE;
    event->signalled = initial_state != FALSE;
    return events().add(std::move(event));
}

BOOL WINAPI SetEvent(HANDLE handle)
{
    std::shared_ptr<Event> event = events().find(handle);
    if (!event)
        return FALSE;
    std::lock_guard<std::mutex> lock(event->mutex);
    event->signalled = true;
    event->changed.notify_all();
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE handle)
{
    std::shared_ptr<Event> event = events().find(handle);
    if (!event)
        return FALSE;
    std::lock_guard<std::mutex> lock(event->mutex);
    event->signalled = false;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    std::shared_ptr<Event> event = events().find(handle);
    if (!event)
        return WAIT_FAILED;
    std::unique_lock<std::mutex> lock(event->mutex);
    auto signalled = [&] { return event->signalled; };
    if (milliseconds == INFINITE)
        event->changed.wait(lock, signalled);
    else if (!event->changed.wait_for(lock, std::chrono::milliseconds(milliseconds), signalled))
        return WAIT_TIMEOUT;
    if (!event->manual_reset)
        event->signalled = false;
    return WAIT_OBJECT_0;
}

BOOL WINAPI CloseHandle(HANDLE handle)
{
    return events().remove(handle) ? TRUE : FALSE;
}

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section)
{
    new (section->opaque.bytes) std::recursive_mutex;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section)
{
    section_mutex(section).lock();
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section)
{
    section_mutex(section).unlock();
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section)
{
    section_mutex(section).~recursive_mutex();
}

DWORD WINAPI GetTickCount(void)
{
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void WINAPI Sleep(DWORD milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR)
{
    return nullptr;
}

FARPROC WINAPI GetProcAddress(HMODULE, const char *)
{
    return nullptr;
}

} // extern "C"
