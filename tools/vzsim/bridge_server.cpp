#include "bridge_server.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace vzsimtool
{

namespace
{

// A host that does not take a reply within this time has hung.
constexpr int kSendTimeoutMs = 1000;
constexpr int kBacklog = 16;

bool socketAddress(const std::string &path, sockaddr_un &address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Someone already listens at the address.
bool listenerAt(const sockaddr_un &address)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool answered =
        fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return answered;
}

} // namespace

BridgeServer::BridgeServer(vzsim::Recorder &recorder, const Options &options) : Transport(recorder, options)
{
    recorder_.attach(this);
}

BridgeServer::~BridgeServer()
{
    recorder_.attach(nullptr);
    for (auto &connection : connections_)
        ::close(connection->fd);
    closeListener();
}

bool BridgeServer::listen(std::string &error)
{
    sockaddr_un address;
    if (!control_.ready()) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    if (!socketAddress(options_.socketPath, address)) {
        error = "socket path too long: " + options_.socketPath;
        return false;
    }
    struct stat existing;
    if (::lstat(address.sun_path, &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode)) {
            error = options_.socketPath + " exists and is not a socket";
            return false;
        }
        if (listenerAt(address)) {
            error = "another listener is already at " + options_.socketPath;
            return false;
        }
        ::unlink(address.sun_path); // left behind by a listener that has gone
    }
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0 ||
        ::bind(listenFd_, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        error = "cannot bind " + options_.socketPath + ": " + std::strerror(errno);
        closeListener();
        return false;
    }
    bound_ = true;
    if (::listen(listenFd_, kBacklog) != 0) {
        error = "cannot listen on " + options_.socketPath + ": " + std::strerror(errno);
        closeListener();
        return false;
    }
    return true;
}

void BridgeServer::closeListener()
{
    if (listenFd_ >= 0)
        ::close(listenFd_);
    listenFd_ = -1;
    if (bound_)
        ::unlink(options_.socketPath.c_str());
    bound_ = false;
}

void BridgeServer::stop()
{
    control_.stop();
}

void BridgeServer::unplug()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        unplugged_ = true;
        replyFd_ = -1;
    }
    control_.unplug();
}

void BridgeServer::sendToHost(const vzsim::Bytes &frame)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (unplugged_ || replyFd_ < 0)
        return;
    requests_.showReply(frame);
    if (!vzmidi::bridge::write_message(replyFd_, frame.data(), frame.size(), kSendTimeoutMs))
        ::shutdown(replyFd_, SHUT_RDWR); // out of step: the loop sees it end
}

void BridgeServer::run()
{
    requests_.print("vzsim: listening on " + options_.socketPath + " as \"" + options_.portName + "\"");
    for (;;) {
        std::vector<pollfd> fds{{control_.fd(), POLLIN, 0}};
        if (listenFd_ >= 0)
            fds.push_back({listenFd_, POLLIN, 0});
        for (const auto &connection : connections_)
            fds.push_back({connection->fd, POLLIN, 0});
        const int ready = ::poll(fds.data(), fds.size(), control_.pollTimeoutMs());
        if (ready < 0 && errno != EINTR)
            break;

        const RunControl::Event event = control_.next();
        if (event == RunControl::Event::stop)
            break;
        if (event == RunControl::Event::unplug) {
            while (!connections_.empty())
                close(*connections_.back());
            closeListener();
            requests_.print("vzsim: unplugged");
            continue;
        }
        if (event == RunControl::Event::replug) {
            std::string error;
            if (!listen(error)) {
                requests_.print("vzsim: " + error);
                break;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            unplugged_ = false;
            requests_.print("vzsim: plugged in again");
            continue;
        }
        // Connections first: accepting changes the list behind fds.
        size_t index = listenFd_ >= 0 ? 2 : 1;
        std::vector<Connection *> ended;
        for (const auto &connection : connections_)
            if (fds[index++].revents && !serve(*connection))
                ended.push_back(connection.get());
        for (Connection *connection : ended)
            close(*connection);
        if (listenFd_ >= 0 && fds[1].revents)
            accept();
    }
    while (!connections_.empty())
        close(*connections_.back());
    closeListener();
}

void BridgeServer::accept()
{
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return;
    const auto *name = reinterpret_cast<const uint8_t *>(options_.portName.data());
    if (!vzmidi::bridge::write_message(fd, name, options_.portName.size(), kSendTimeoutMs)) {
        ::close(fd);
        return;
    }
    connections_.push_back(std::unique_ptr<Connection>(new Connection{fd, {}}));
}

bool BridgeServer::serve(Connection &connection)
{
    uint8_t chunk[4096];
    const ssize_t got = ::recv(connection.fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got < 0)
        return errno == EINTR || errno == EAGAIN;
    if (got == 0)
        return false;
    return connection.reader.feed(chunk, size_t(got),
                                  [this, &connection](const uint8_t *bytes, size_t length) {
                                      handleRequest(connection.fd, bytes, length);
                                  });
}

void BridgeServer::handleRequest(int fd, const uint8_t *bytes, size_t length)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (unplugged_)
            return;
        replyFd_ = fd;
    }
    requests_.handle(bytes, length);
}

void BridgeServer::close(Connection &connection)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (replyFd_ == connection.fd)
            replyFd_ = -1;
        ::close(connection.fd);
    }
    for (auto it = connections_.begin(); it != connections_.end(); ++it) {
        if (it->get() == &connection) {
            connections_.erase(it);
            return;
        }
    }
}

} // namespace vzsimtool
