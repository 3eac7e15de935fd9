// The recorder bridge's wire format, shared by the stand-in's bridge
// back-end and by any listener written in this project: every message is a
// 4-byte little-endian length followed by that many bytes; the first
// message on a connection is the port name, each later one a whole MIDI
// message. A length over 64 KiB ends the connection.
#ifndef VZMIDI_BACKEND_BRIDGE_FRAMING_H
#define VZMIDI_BACKEND_BRIDGE_FRAMING_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace vzmidi
{
namespace bridge
{

constexpr std::size_t length_size = 4;
constexpr std::uint32_t message_max = 64 * 1024;

// The length prefix of a message of `length` bytes.
void put_length(std::uint32_t length, std::uint8_t (&prefix)[length_size]);

// Cuts a byte stream, as it arrives in pieces of any size, into messages.
class MessageReader
{
public:
    using Handler = std::function<void(const std::uint8_t *bytes, std::size_t length)>;

    MessageReader();

    // Hands each message completed by these bytes to handler, in order.
    // False once a length over message_max has arrived: the stream cannot
    // be followed any further, and every later call is refused as well.
    bool feed(const std::uint8_t *bytes, std::size_t count, const Handler &handler);

private:
    std::uint8_t m_prefix[length_size] = {};
    std::vector<std::uint8_t> m_body; // sized for the longest message once
    std::size_t m_filled = 0;         // bytes of the prefix or body so far
    std::uint32_t m_length = 0;       // of the body being read
    bool m_in_body = false;
    bool m_broken = false;
};

// Writes one message whole to a connected stream socket, waiting as long
// as the peer is slow to read but at most timeout_ms in all. False when the
// socket failed or the time ran out (the stream is then out of step and
// must be closed). Never raises SIGPIPE.
bool write_message(int fd, const std::uint8_t *bytes, std::size_t length, int timeout_ms);

} // namespace bridge
} // namespace vzmidi

#endif
