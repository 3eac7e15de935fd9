// The pieces of a System Exclusive message on the ALSA sequencer: the
// kernel hands a long SysEx from hardware over as several events, cut into
// pieces of 256 bytes, while the port layer wants each message whole.
#ifndef VZMIDI_BACKEND_ALSA_SYSEX_H
#define VZMIDI_BACKEND_ALSA_SYSEX_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vzmidi
{
namespace alsa
{

// The longest SysEx event the kernel makes of a message from hardware.
constexpr std::size_t sysex_piece_limit = 256;

// Cuts a message as a USB-MIDI device's driver delivers it: pieces of
// sysex_piece_limit bytes, the last one shorter. Stops at the first piece
// that send (bool(const uint8_t *, size_t)) refuses; true when all went.
template <class Send> bool send_in_pieces(const std::uint8_t *bytes, std::size_t length, Send send)
{
    for (std::size_t offset = 0; offset < length; offset += sysex_piece_limit)
        if (!send(bytes + offset, std::min(sysex_piece_limit, length - offset)))
            return false;
    return true;
}

class SysexJoiner
{
public:
    // The longest message handed on; a longer one is dropped whole.
    static constexpr std::size_t limit = 64 * 1024;

    enum class Result {
        ignored,  // no message was under way and the piece does not start one
        partial,  // the message goes on
        complete, // message() holds it, F0 to F7
        dropped,  // the message ended, longer than the limit
    };

    SysexJoiner();
    // One piece, as carried by one SysEx event. A piece that starts with
    // F0 starts a new message, giving up one that has not ended.
    Result add(const std::uint8_t *bytes, std::size_t length);
    // The message of the last add that answered complete.
    const std::vector<std::uint8_t> &message() const { return m_message; }

private:
    std::vector<std::uint8_t> m_message;
    bool m_collecting = false;
    bool m_overflow = false;
};

} // namespace alsa
} // namespace vzmidi

#endif
