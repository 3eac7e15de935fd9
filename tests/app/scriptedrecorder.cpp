#include "scriptedrecorder.h"

#include "vzmsg.h"
#include "vzmsg_midi.h"

ReplyRecord::ReplyRecord() : buffer{}, used(0) {}

namespace
{
template <typename Add> uint16_t append(uint8_t *buffer, uint16_t used, Add add)
{
    vzmsg_t msg;
    vzmsg_init(&msg, buffer, 256);
    msg.position = used;
    add(&msg);
    return msg.position;
}
} // namespace

ReplyRecord &ReplyRecord::command(uint8_t code)
{
    used = append(buffer, used, [&](vzmsg_t *m) { vzmsg_add_cmd(m, code); });
    return *this;
}

ReplyRecord &ReplyRecord::u8(uint8_t code, uint8_t value)
{
    used = append(buffer, used, [&](vzmsg_t *m) { vzmsg_add_u8(m, code, value); });
    return *this;
}

ReplyRecord &ReplyRecord::u16(uint8_t code, uint16_t value)
{
    used = append(buffer, used, [&](vzmsg_t *m) { vzmsg_add_u16(m, code, value); });
    return *this;
}

ReplyRecord &ReplyRecord::u32(uint8_t code, uint32_t value)
{
    used = append(buffer, used, [&](vzmsg_t *m) { vzmsg_add_u32(m, code, value); });
    return *this;
}

ReplyRecord &ReplyRecord::str8(uint8_t code, const QByteArray &text)
{
    used = append(buffer, used, [&](vzmsg_t *m) {
        vzmsg_add_str8(m, code, text.constData(), static_cast<uint8_t>(text.size()));
    });
    return *this;
}

ReplyRecord &ReplyRecord::str16(uint8_t code, const QByteArray &text)
{
    used = append(buffer, used, [&](vzmsg_t *m) {
        vzmsg_add_str16(m, code, text.constData(), static_cast<uint16_t>(text.size()));
    });
    return *this;
}

QByteArray ReplyRecord::bytes() const
{
    return QByteArray(reinterpret_cast<const char *>(buffer), used);
}

ScriptedRecorder::ScriptedRecorder()
{
    plugIn();
}

ScriptedRecorder::~ScriptedRecorder()
{
    unplug();
}

void ScriptedRecorder::plugIn()
{
    if (!port)
        port = vzmidi_virtual_register("Q7 CONTROL", &ScriptedRecorder::receive, this);
}

void ScriptedRecorder::unplug()
{
    if (port)
        vzmidi_virtual_unregister(port);
    port = nullptr;
}

void ScriptedRecorder::setBusy(bool busy)
{
    vzmidi_virtual_set_busy(port, busy ? 1 : 0);
}

void ScriptedRecorder::answer(const ReplyRecord &reply)
{
    std::lock_guard<std::mutex> lock(mutex);
    script.push_back(reply.bytes());
}

std::vector<uint8_t> ScriptedRecorder::requests() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return received;
}

void ScriptedRecorder::receive(void *context, const uint8_t *bytes, size_t length)
{
    static_cast<ScriptedRecorder *>(context)->onRequest(bytes, length);
}

void ScriptedRecorder::onRequest(const uint8_t *bytes, size_t length)
{
    uint8_t payload[256] = {};
    uint64_t payloadLength = 0;
    if (vzmsg_midi_decode(bytes, length, payload, sizeof payload, &payloadLength) != 0)
        return;
    QByteArray reply;
    {
        std::lock_guard<std::mutex> lock(mutex);
        received.push_back(payloadLength > 0 ? payload[0] : 0);
        if (script.empty())
            return;
        reply = script.front();
        script.pop_front();
    }
    uint8_t frame[512];
    uint64_t frameLength = 0;
    if (vzmsg_midi_encode(reinterpret_cast<const uint8_t *>(reply.constData()),
                          static_cast<uint64_t>(reply.size()), frame, sizeof frame, &frameLength) == 0)
        vzmidi_virtual_deliver(port, frame, frameLength);
}
