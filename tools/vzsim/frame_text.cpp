#include "frame_text.h"

#include <cstdio>

#include "vzmsg.h"
#include "vzsim_frames.h"

namespace vzsimtool
{

namespace
{

// A frame that is no record is shown as bytes, this many at most.
constexpr size_t kShownBytes = 48;

std::string hex(uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%02llX", static_cast<unsigned long long>(value));
    return text;
}

std::string quoted(const uint8_t *bytes, uint16_t size)
{
    std::string text = "\"";
    for (uint16_t i = 0; i < size; ++i) {
        const uint8_t c = bytes[i];
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            text += char(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        }
    }
    return text + "\"";
}

// The item's value as text; empty for a command item, which has none.
std::string valueText(uint32_t type, uint64_t value, uint16_t size)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(value));
    switch (type) {
    case VZMSG_TYPE_CMD:
        return {};
    case VZMSG_TYPE_STR8:
        return quoted(bytes, size);
    case VZMSG_TYPE_STR16:
        return "[" + std::to_string(size) + " bytes]";
    default:
        return std::to_string(value);
    }
}

std::string bytesText(const uint8_t *frame, size_t length)
{
    std::string text = "not a record (" + std::to_string(length) + " bytes):";
    for (size_t i = 0; i < length && i < kShownBytes; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, " %02x", frame[i]);
        text += byte;
    }
    return length > kShownBytes ? text + " ..." : text;
}

template <class Describe> std::string itemsText(const uint8_t *frame, size_t length, Describe describe)
{
    vzsim::Bytes payload;
    if (!vzsim::decodeFrame(frame, length, payload))
        return bytesText(frame, length);
    vzmsg_t msg;
    vzmsg_init(&msg, payload.data(), static_cast<uint16_t>(payload.size()));
    std::string text;
    uint32_t code, type;
    uint64_t value;
    uint16_t size;
    while (vzmsg_get(&msg, &code, &type, &value, &size) == 0)
        text += (text.empty() ? "" : " ") + describe(uint8_t(code), valueText(type, value, size));
    return text.empty() ? "empty record" : text;
}

} // namespace

std::string itemName(uint8_t code)
{
    switch (code) {
    case VZMSG_DATA_VERSION:
        return "VERSION";
    case VZMSG_DATA_PRODUCT:
        return "PRODUCT";
    case VZMSG_DATA_BUILD:
        return "BUILD";
    case VZMSG_DATA_SERIAL:
        return "SERIAL";
    case VZMSG_DATA_BATTERY:
        return "BATTERY";
    case VZMSG_DATA_ITEM12:
        return "ITEM12";
    case VZMSG_DATA_PROTOCOL:
        return "PROTOCOL";
    case VZMSG_DATA_FWUP_MODE:
        return "FWUP_MODE";
    case VZMSG_DATA_FWUP_SIZE:
        return "FWUP_SIZE";
    case VZMSG_DATA_FWUP_CHECK:
        return "FWUP_CHECK";
    case VZMSG_DATA_FWUP_WRITE:
        return "FWUP_WRITE";
    case VZMSG_DATA_FWUP_STATUS:
        return "FWUP_STATUS";
    case VZMSG_DATA_FWUP_PROGRESS:
        return "FWUP_PROGRESS";
    case VZMSG_DATA_FWUP_TOTAL:
        return "FWUP_TOTAL";
    case VZMSG_DATA_FWUP_RECEIVED:
        return "FWUP_RECEIVED";
    case VZMSG_DATA_FWUP_DATA:
        return "FWUP_DATA";
    case VZMSG_DATA_SERIAL_WRITE:
        return "SERIAL_WRITE";
    default:
        return {};
    }
}

std::string requestText(const uint8_t *frame, size_t length)
{
    return "-> " + itemsText(frame, length, [](uint8_t code, const std::string &value) {
               const std::string name = itemName(code);
               std::string item = hex(code) + (name.empty() ? "" : " " + name);
               return value.empty() ? item : item + "=" + value;
           });
}

std::string replyText(const uint8_t *frame, size_t length)
{
    return "<- " + itemsText(frame, length, [](uint8_t code, const std::string &value) {
               return value.empty() ? hex(code) : hex(code) + "=" + value;
           });
}

} // namespace vzsimtool
