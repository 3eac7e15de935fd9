// The readable form of the frames that vzsim exchanges, for --verbose:
// "-> 0x55 FWUP_STATUS" for a request, "<- 0x55=6 0x56=120 0x57=1000" for
// a reply.
#ifndef VZSIM_TOOL_FRAME_TEXT_H
#define VZSIM_TOOL_FRAME_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace vzsimtool
{

// The item's name without its VZMSG_DATA_ prefix ("FWUP_STATUS"); empty for
// a code the protocol does not name.
std::string itemName(uint8_t code);
// A request from the host: each item as its code and name, with its value
// after "=" when it has one.
std::string requestText(const uint8_t *frame, size_t length);
// A reply to the host: each item as its code "=" its value.
std::string replyText(const uint8_t *frame, size_t length);

} // namespace vzsimtool

#endif
