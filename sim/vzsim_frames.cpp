#include "vzsim_frames.h"

#include "vzmsg_midi.h"

namespace vzsim
{

namespace
{
constexpr size_t kHeaderLength = 5; // F0 4E 50 23 00
constexpr uint8_t kEnd = 0xF7;
} // namespace

Bytes encodeFrame(const uint8_t *payload, size_t length)
{
    Bytes frame(kHeaderLength + (length * 8 + 6) / 7 + 1);
    uint64_t written = 0;

    if (length > kRecordSize || vzmsg_midi_encode(payload, length, frame.data(), frame.size(), &written) != 0)
        return {};
    frame.resize(written);
    return frame;
}

bool decodeFrame(const uint8_t *frame, size_t length, Bytes &payload)
{
    uint64_t decoded = 0;

    payload.assign(kRecordSize, 0);
    if (vzmsg_midi_decode(frame, length, payload.data(), payload.size(), &decoded) != 0)
        return false;
    payload.resize(decoded);
    return true;
}

Bytes garbageFrame()
{
    Bytes frame{0xF0, 0x7D, 0x13, 0x37};
    for (uint8_t i = 0; i < 16; ++i)
        frame.push_back(uint8_t((i * 37 + 11) & 0x7F));
    frame.push_back(kEnd);
    return frame;
}

Bytes truncatedFrame(const Bytes &frame)
{
    if (frame.size() <= kHeaderLength + 1)
        return frame;
    size_t data = frame.size() - kHeaderLength - 1;
    Bytes cut(frame.begin(), frame.begin() + long(kHeaderLength + data / 2));
    cut.push_back(kEnd);
    return cut;
}

Bytes frameWithoutEnd(const Bytes &frame)
{
    return frame.empty() ? frame : Bytes(frame.begin(), frame.end() - 1);
}

Bytes oversizedFrame()
{
    Bytes frame{0xF0, 0x4E, 0x50, 0x23, 0x00};
    frame.resize(kHostInputBuffer + kHostInputBuffer / 2, 0x00);
    frame.push_back(kEnd);
    return frame;
}

} // namespace vzsim
