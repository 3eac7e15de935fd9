#include "bridge_server.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "frame_text.h"

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

std::string versionText(uint16_t hundredths)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%02u", hundredths / 100u, hundredths % 100u);
    return text;
}

} // namespace

BridgeServer::BridgeServer(vzsim::Recorder &recorder, const Options &options)
    : recorder_(recorder), options_(options)
{
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        wake_[0] = wake_[1] = -1;
    const vzsim::Identity identity = recorder_.config().identity;
    version_ = identity.version;
    build_ = identity.build;
    recorder_.attach(this);
}

BridgeServer::~BridgeServer()
{
    recorder_.attach(nullptr);
    for (auto &connection : connections_)
        ::close(connection->fd);
    closeListener();
    for (int fd : wake_)
        if (fd >= 0)
            ::close(fd);
}

bool BridgeServer::listen(std::string &error)
{
    sockaddr_un address;
    if (wake_[0] < 0) {
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
    const char stopping = 's';
    (void)!::write(wake_[1], &stopping, 1);
}

void BridgeServer::unplug()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        unplugged_ = true;
        replyFd_ = -1;
    }
    const char unplugging = 'u';
    (void)!::write(wake_[1], &unplugging, 1);
}

void BridgeServer::print(const std::string &line)
{
    std::lock_guard<std::mutex> lock(printMutex_);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void BridgeServer::sendToHost(const vzsim::Bytes &frame)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (unplugged_ || replyFd_ < 0)
        return;
    if (options_.verbose)
        print(replyText(frame.data(), frame.size()));
    if (!vzmidi::bridge::write_message(replyFd_, frame.data(), frame.size(), kSendTimeoutMs))
        ::shutdown(replyFd_, SHUT_RDWR); // out of step: the loop sees it end
}

void BridgeServer::run()
{
    print("vzsim: listening on " + options_.socketPath + " as \"" + options_.portName + "\"");
    for (;;) {
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}};
        if (listenFd_ >= 0)
            fds.push_back({listenFd_, POLLIN, 0});
        for (const auto &connection : connections_)
            fds.push_back({connection->fd, POLLIN, 0});
        const int ready = ::poll(fds.data(), fds.size(), pollTimeoutMs());
        if (ready < 0 && errno != EINTR)
            break;

        bool stopping = false, unplugging = false;
        drainWakeups(stopping, unplugging);
        if (stopping)
            break;
        if (unplugging) {
            while (!connections_.empty())
                close(*connections_.back());
            closeListener();
            print("vzsim: unplugged");
            replugPending_ = options_.replugAfterMs >= 0;
            replugAt_ = Clock::now() + std::chrono::milliseconds(options_.replugAfterMs);
            continue;
        }
        if (replugPending_ && Clock::now() >= replugAt_) {
            replugPending_ = false;
            std::string error;
            if (!listen(error)) {
                print("vzsim: " + error);
                break;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            unplugged_ = false;
            print("vzsim: plugged in again");
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

void BridgeServer::drainWakeups(bool &stopping, bool &unplugging)
{
    char reasons[16];
    ssize_t got;
    while ((got = ::read(wake_[0], reasons, sizeof reasons)) > 0) {
        for (ssize_t i = 0; i < got; ++i) {
            stopping = stopping || reasons[i] == 's';
            unplugging = unplugging || reasons[i] == 'u';
        }
    }
}

int BridgeServer::pollTimeoutMs() const
{
    if (!replugPending_)
        return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(replugAt_ - Clock::now()).count();
    return left > 0 ? int(left) : 0;
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
    if (options_.verbose)
        print(requestText(bytes, length));
    recorder_.receiveFromHost(bytes, length);

    const vzsim::Identity identity = recorder_.config().identity;
    if (identity.version != version_ || identity.build != build_) {
        version_ = identity.version;
        build_ = identity.build;
        print("vzsim: firmware written, now version " + versionText(version_) + " build " +
              std::to_string(build_));
    }
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
