// Open objects behind the opaque handles given to callers. Handle values
// are never reused, so a stale or foreign handle is refused instead of
// reaching a destroyed object, and an object stays alive while a call that
// found it is still using it.
#ifndef VZMIDI_HANDLE_TABLE_H
#define VZMIDI_HANDLE_TABLE_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace vzmidi
{

// One sequence for every table, so a handle of one kind never names an
// object of another.
inline std::uintptr_t next_handle_value()
{
    static std::atomic<std::uintptr_t> next{0x1000};
    return next.fetch_add(4);
}

template <class T> class HandleTable
{
public:
    void *add(std::shared_ptr<T> object)
    {
        const std::uintptr_t value = next_handle_value();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_objects.emplace(value, std::move(object));
        return reinterpret_cast<void *>(value);
    }

    std::shared_ptr<T> find(const void *handle) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_objects.find(reinterpret_cast<std::uintptr_t>(handle));
        return it == m_objects.end() ? nullptr : it->second;
    }

    std::shared_ptr<T> remove(const void *handle)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_objects.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == m_objects.end())
            return nullptr;
        std::shared_ptr<T> object = std::move(it->second);
        m_objects.erase(it);
        return object;
    }

private:
    mutable std::mutex m_mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<T>> m_objects;
};

} // namespace vzmidi

#endif
