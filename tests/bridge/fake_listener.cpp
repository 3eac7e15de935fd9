#include "fake_listener.h"

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{

Bytes withLength(const Bytes &message)
{
    const auto n = uint32_t(message.size());
    Bytes out(4 + message.size());
    for (int i = 0; i < 4; ++i)
        out[size_t(i)] = uint8_t(n >> (8 * i));
    std::copy(message.begin(), message.end(), out.begin() + 4);
    return out;
}

bool writeAll(int fd, const Bytes &bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

} // namespace

Bytes bytesOf(const std::string &text)
{
    return Bytes(text.begin(), text.end());
}

FakeListener::FakeListener(std::string path, Bytes greeting, bool greets)
    : m_path(std::move(path)), m_greeting(std::move(greeting)), m_greets(greets)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, m_path.c_str(), sizeof address.sun_path - 1);
    ::unlink(m_path.c_str());
    m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0 ||
        ::bind(m_listen, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(m_listen, 8) != 0) {
        ::close(m_listen);
        m_listen = -1;
        return;
    }
    m_started = true;
    m_thread = std::thread(&FakeListener::run, this);
}

FakeListener::~FakeListener()
{
    stop();
    for (int fd : m_wake)
        if (fd >= 0)
            ::close(fd);
}

int FakeListener::accepted() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_accepted;
}

int FakeListener::openCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_peers.size());
}

std::vector<Bytes> FakeListener::received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

bool FakeListener::send(const Bytes &message)
{
    return sendRaw(withLength(message));
}

bool FakeListener::sendRaw(const Bytes &bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_peers.empty() && writeAll(m_peers.back().fd, bytes);
}

void FakeListener::wake()
{
    const char byte = 1;
    (void)!::write(m_wake[1], &byte, 1);
}

void FakeListener::dropConnections()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_drop = true;
    }
    wake();
}

void FakeListener::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    wake();
    if (m_thread.joinable())
        m_thread.join();
}

void FakeListener::readFrom(Peer &peer)
{
    uint8_t chunk[4096];
    const ssize_t n = ::recv(peer.fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n <= 0) {
        ::close(peer.fd);
        peer.fd = -1;
        return;
    }
    peer.pending.insert(peer.pending.end(), chunk, chunk + n);
    while (peer.pending.size() >= 4) {
        const uint32_t length = uint32_t(peer.pending[0]) | uint32_t(peer.pending[1]) << 8 |
                                uint32_t(peer.pending[2]) << 16 | uint32_t(peer.pending[3]) << 24;
        if (peer.pending.size() < 4 + size_t(length))
            break;
        m_received.emplace_back(peer.pending.begin() + 4, peer.pending.begin() + 4 + length);
        peer.pending.erase(peer.pending.begin(), peer.pending.begin() + 4 + length);
    }
}

void FakeListener::run()
{
    for (;;) {
        std::vector<pollfd> fds{{m_wake[0], POLLIN, 0}, {m_listen, POLLIN, 0}};
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (const Peer &peer : m_peers)
                fds.push_back({peer.fd, POLLIN, 0});
        }
        ::poll(fds.data(), fds.size(), -1);
        char drain[16];
        while (::read(m_wake[0], drain, sizeof drain) > 0) {
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stop || m_drop) {
            for (const Peer &peer : m_peers)
                ::close(peer.fd);
            m_peers.clear();
            m_drop = false;
        }
        if (m_stop)
            break;
        for (size_t i = 2; i < fds.size(); ++i)
            if (fds[i].revents)
                for (Peer &peer : m_peers)
                    if (peer.fd == fds[i].fd)
                        readFrom(peer);
        m_peers.erase(std::remove_if(m_peers.begin(), m_peers.end(), [](const Peer &p) { return p.fd < 0; }),
                      m_peers.end());
        if (fds[1].revents & POLLIN) {
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                ++m_accepted;
                if (m_greets)
                    writeAll(fd, withLength(m_greeting));
                m_peers.push_back({fd, {}});
            }
        }
    }
    ::close(m_listen);
    m_listen = -1;
    ::unlink(m_path.c_str());
}
