// The host's side of the recorder simulator without a port: requests built
// as the control layer builds them, replies read back, and a link that
// collects what the simulator sends.
#ifndef SIM_FRAMES_H
#define SIM_FRAMES_H

#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "vzmsg.h"
#include "vzsim_recorder.h"

namespace simtest
{

using vzsim::Bytes;

// One request record, framed.
class Request
{
public:
    Request() { vzmsg_init(&m_msg, m_buffer, sizeof m_buffer); }
    Request &cmd(uint8_t code)
    {
        vzmsg_add_cmd(&m_msg, code);
        return *this;
    }
    Request &u8(uint8_t code, uint8_t value)
    {
        vzmsg_add_u8(&m_msg, code, value);
        return *this;
    }
    Request &u32(uint8_t code, uint32_t value)
    {
        vzmsg_add_u32(&m_msg, code, value);
        return *this;
    }
    Request &str8(uint8_t code, const std::string &text)
    {
        vzmsg_add_str8(&m_msg, code, text.data(), uint8_t(text.size()));
        return *this;
    }
    Request &block(const uint8_t *bytes, uint16_t length)
    {
        vzmsg_add_str16(&m_msg, VZMSG_DATA_FWUP_DATA, bytes, length);
        return *this;
    }
    Bytes frame() const { return vzsim::encodeFrame(m_buffer, m_msg.position); }

private:
    uint8_t m_buffer[256] = {};
    vzmsg_t m_msg{};
};

struct Item {
    uint8_t code;
    uint32_t type;
    uint64_t value;
    std::string text; // string items
};

// The items of a reply frame; empty when it does not decode.
inline std::vector<Item> readReply(const Bytes &frame)
{
    Bytes payload;
    std::vector<Item> items;
    if (!vzsim::decodeFrame(frame.data(), frame.size(), payload))
        return items;
    vzmsg_t msg;
    vzmsg_init(&msg, payload.data(), uint16_t(payload.size()));
    uint32_t code, type;
    uint64_t value;
    uint16_t size;
    while (vzmsg_get(&msg, &code, &type, &value, &size) == 0) {
        Item item{uint8_t(code), type, value, {}};
        if (type == VZMSG_TYPE_STR8 || type == VZMSG_TYPE_STR16)
            item.text.assign(reinterpret_cast<const char *>(uintptr_t(value)), size);
        items.push_back(item);
    }
    return items;
}

// "51=1 02='Q7'": a reply in a form a table can hold.
inline QString describe(const std::vector<Item> &items)
{
    QStringList parts;
    for (const Item &item : items) {
        const QString code = QString::number(item.code, 16).rightJustified(2, QLatin1Char('0'));
        if (item.type == VZMSG_TYPE_STR8 || item.type == VZMSG_TYPE_STR16)
            parts << QStringLiteral("%1='%2'").arg(code, QString::fromStdString(item.text));
        else
            parts << QStringLiteral("%1=%2").arg(code).arg(item.value);
    }
    return parts.join(QLatin1Char(' '));
}

// The value of the numeric item `code`, or -1.
inline int64_t valueOf(const std::vector<Item> &items, uint8_t code)
{
    for (const Item &item : items)
        if (item.code == code && item.type >= VZMSG_TYPE_U8 && item.type <= VZMSG_TYPE_U64)
            return int64_t(item.value);
    return -1;
}

// Collects the frames the simulator sends, and its unplugging.
class FrameLink : public vzsim::HostLink
{
public:
    void sendToHost(const Bytes &frame) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_frames.push_back(frame);
        m_senders.push_back(std::this_thread::get_id());
        m_changed.notify_all();
    }
    void unplug() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_unplugs;
        m_unplugger = std::this_thread::get_id();
        m_changed.notify_all();
    }

    bool waitFrames(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_frames.size() >= count; });
    }
    unsigned unplugs() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_unplugs;
    }
    std::vector<Bytes> frames() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_frames;
    }
    std::vector<std::thread::id> senders() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_senders;
    }
    std::thread::id unplugger() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_unplugger;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Bytes> m_frames;
    std::vector<std::thread::id> m_senders;
    unsigned m_unplugs = 0;
    std::thread::id m_unplugger;
};

} // namespace simtest

#endif
