#include "backend_bridge_framing.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>

namespace vzmidi
{
namespace bridge
{

void put_length(std::uint32_t length, std::uint8_t (&prefix)[length_size])
{
    for (std::size_t i = 0; i < length_size; ++i)
        prefix[i] = static_cast<std::uint8_t>(length >> (8 * i));
}

MessageReader::MessageReader() : m_body(message_max) {}

bool MessageReader::feed(const std::uint8_t *bytes, std::size_t count, const Handler &handler)
{
    while (count > 0 && !m_broken) {
        if (!m_in_body) {
            m_prefix[m_filled++] = *bytes++;
            --count;
            if (m_filled < length_size)
                continue;
            m_length = 0;
            for (std::size_t i = 0; i < length_size; ++i)
                m_length |= std::uint32_t(m_prefix[i]) << (8 * i);
            m_filled = 0;
            m_broken = m_length > message_max;
            m_in_body = !m_broken;
        } else {
            const std::size_t take = std::min<std::size_t>(count, m_length - m_filled);
            std::memcpy(m_body.data() + m_filled, bytes, take);
            m_filled += take;
            bytes += take;
            count -= take;
        }
        if (m_in_body && m_filled == m_length) {
            m_in_body = false;
            m_filled = 0;
            handler(m_body.data(), m_length);
        }
    }
    return !m_broken;
}

namespace
{

// Milliseconds left until deadline, at least 0.
int left_ms(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Sends what the socket takes now; the bytes sent, or -1 on failure.
ssize_t send_some(int fd, const std::uint8_t *bytes, std::size_t length,
                  std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const ssize_t sent = ::send(fd, bytes, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0)
            return sent;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
        pollfd wait = {fd, POLLOUT, 0};
        const int ready = ::poll(&wait, 1, left_ms(deadline));
        if (ready == 0 || (ready < 0 && errno != EINTR))
            return -1;
    }
}

} // namespace

bool write_message(int fd, const std::uint8_t *bytes, std::size_t length, int timeout_ms)
{
    if (length > message_max)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    std::uint8_t prefix[length_size];
    put_length(static_cast<std::uint32_t>(length), prefix);
    const struct {
        const std::uint8_t *bytes;
        std::size_t length;
    } parts[] = {{prefix, length_size}, {bytes, length}};
    for (const auto &part : parts) {
        for (std::size_t done = 0; done < part.length;) {
            const ssize_t sent = send_some(fd, part.bytes + done, part.length - done, deadline);
            if (sent < 0)
                return false;
            done += static_cast<std::size_t>(sent);
        }
    }
    return true;
}

} // namespace bridge
} // namespace vzmidi
