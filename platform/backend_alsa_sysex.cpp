#include "backend_alsa_sysex.h"

namespace vzmidi
{
namespace alsa
{

namespace
{
constexpr std::uint8_t sysex_start = 0xF0;
constexpr std::uint8_t sysex_end = 0xF7;
} // namespace

SysexJoiner::SysexJoiner()
{
    // Once, so that joining never allocates.
    m_message.reserve(limit);
}

SysexJoiner::Result SysexJoiner::add(const std::uint8_t *bytes, std::size_t length)
{
    if (length == 0)
        return Result::ignored;
    if (bytes[0] == sysex_start) {
        m_message.clear();
        m_collecting = true;
        m_overflow = false;
    } else if (!m_collecting) {
        return Result::ignored; // the rest of a message whose start was missed
    }
    if (!m_overflow && m_message.size() + length > limit) {
        m_overflow = true;
        m_message.clear();
    }
    if (!m_overflow)
        m_message.insert(m_message.end(), bytes, bytes + length);
    if (bytes[length - 1] != sysex_end)
        return Result::partial;
    m_collecting = false;
    return m_overflow ? Result::dropped : Result::complete;
}

} // namespace alsa
} // namespace vzmidi
