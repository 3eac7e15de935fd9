// The recorder's side of the SysEx framing, and the malformed frames that
// its faults send.
#ifndef VZSIM_FRAMES_H
#define VZSIM_FRAMES_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vzsim
{

using Bytes = std::vector<uint8_t>;

constexpr size_t kRecordSize = 256;       // every record of the protocol fits
constexpr size_t kHostInputBuffer = 2048; // the host takes SysEx messages up to this length

// The frame that carries a record's bytes (empty when the record is too long).
Bytes encodeFrame(const uint8_t *payload, size_t length);
// The record a frame carries; false when it is not one of ours or holds more
// than a record.
bool decodeFrame(const uint8_t *frame, size_t length, Bytes &payload);

// A SysEx message with another maker's header.
Bytes garbageFrame();
// The frame with its data bytes cut to half; header and end byte kept.
Bytes truncatedFrame(const Bytes &frame);
// The frame without its final F7.
Bytes frameWithoutEnd(const Bytes &frame);
// A frame of ours, well formed but longer than the host's input buffer.
Bytes oversizedFrame();

} // namespace vzsim

#endif
