// The recorder bridge back-end: when VZMIDI_BRIDGE names a Unix-domain
// stream socket, the process listening there serves one MIDI input and one
// MIDI output, both under the name it sends first on every connection (see
// docs/bridge-protocol.md). The back-end's name, for the VZMIDI_BACKENDS
// selection, is "bridge".
//
// Listing connects only to learn the name, unless the pair is open: then the
// open connection answers, because a simple listener serves one connection
// at a time. Opening the pair makes one connection for both directions;
// when the listener closes it, the pair has gone, as an unplugged recorder.
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "backend_bridge_framing.h"
#include "vzmidi_backend.h"

namespace
{

using Clock = std::chrono::steady_clock;
using namespace vzmidi::bridge;

// A listener that does not give its name within this time is taken as
// absent; the app lists the ports once a second on its GUI thread.
constexpr auto name_timeout = std::chrono::milliseconds(500);
// A recorder that does not take a frame within this time has hung.
constexpr int send_timeout_ms = 1000;

struct Connection;

struct Link {
    std::shared_ptr<Connection> connection;
    bool is_input;
    vzmidi_sink sink;
    vzmidi_gone gone;
    void *context;
};

struct Connection {
    int fd = -1;
    std::string name;
    std::uintptr_t id = 0;

    std::mutex mutex;     // guards the four below; sink and gone are called under it
    Link *links[2] = {};  // output, input
    bool alive = true;    // the listener has not closed the connection
    bool closing = false; // our own close ends the connection
    bool read_done = false;
    std::condition_variable read_ended;
    std::mutex write_mutex; // one message at a time on the socket

    ~Connection()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

struct Bridge {
    std::mutex mutex;                       // guards everything below
    std::shared_ptr<Connection> connection; // of the open pair, while it lasts
    bool present = false;                   // the last listing found a listener
    std::string name;                       // its port name
    std::uintptr_t id = 0;                  // its ports' id, new whenever the pair reappears
};

Bridge &bridge()
{
    // Never destroyed: a pair may still be open while the process exits.
    static auto *instance = new Bridge;
    return *instance;
}

const char *socket_path()
{
    const char *path = std::getenv("VZMIDI_BRIDGE");
    return path && *path ? path : nullptr;
}

int left_ms(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool wait_ready(int fd, short events, Clock::time_point deadline)
{
    pollfd wait = {fd, events, 0};
    for (;;) {
        const int ready = ::poll(&wait, 1, left_ms(deadline));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

bool read_exact(int fd, std::uint8_t *bytes, std::size_t length, Clock::time_point deadline)
{
    for (std::size_t done = 0; done < length;) {
        if (!wait_ready(fd, POLLIN, deadline))
            return false;
        const ssize_t got = ::recv(fd, bytes + done, length - done, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
            return false;
        done += got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    return true;
}

// The first message of a connection: the port name, up to its first zero byte.
bool read_name(int fd, std::string &name, Clock::time_point deadline)
{
    std::uint8_t prefix[length_size];
    if (!read_exact(fd, prefix, length_size, deadline))
        return false;
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < length_size; ++i)
        length |= std::uint32_t(prefix[i]) << (8 * i);
    if (length > message_max)
        return false;
    std::string text(length, '\0');
    if (!read_exact(fd, reinterpret_cast<std::uint8_t *>(&text[0]), length, deadline))
        return false;
    name.assign(text.c_str());
    return true;
}

bool connect_socket(int fd, const char *path, Clock::time_point deadline)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (std::strlen(path) >= sizeof address.sun_path)
        return false;
    std::strcpy(address.sun_path, path);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
        return true;
    if (errno != EINPROGRESS && errno != EINTR)
        return false; // no listener, or its queue is full: absent for now
    int error = 0;
    socklen_t size = sizeof error;
    return wait_ready(fd, POLLOUT, deadline) && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
           error == 0;
}

// A connection to the listener that has sent its name, in blocking mode;
// -1 when there is none within the time-out.
int connect_listener(const char *path, std::string &name)
{
    const auto deadline = Clock::now() + name_timeout;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    if (connect_socket(fd, path, deadline) && read_name(fd, name, deadline) &&
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
        return fd;
    ::close(fd);
    return -1;
}

// Under the bridge's lock: the listener is there under name, and its ports
// keep their id while it stays there under that name.
void note_present(Bridge &all, const std::string &name)
{
    static std::uintptr_t last_id = 0;
    if (!all.present || name != all.name) {
        all.name = name;
        all.id = ++last_id;
    }
    all.present = true;
}

bool connection_alive(Connection &connection)
{
    std::lock_guard<std::mutex> lock(connection.mutex);
    return connection.alive;
}

// Reader thread: the end of the connection, as our close or as the
// listener's; in the latter case the pair has gone.
void connection_lost(Connection &connection)
{
    {
        std::lock_guard<std::mutex> lock(connection.mutex);
        connection.alive = false;
        if (connection.closing)
            return;
        for (Link *link : connection.links)
            if (link && link->gone)
                link->gone(link->context);
    }
    Bridge &all = bridge();
    std::lock_guard<std::mutex> lock(all.mutex);
    if (all.connection.get() == &connection) {
        all.connection.reset();
        all.present = false;
    }
}

void deliver(Connection &connection, const std::uint8_t *bytes, std::size_t length)
{
    std::lock_guard<std::mutex> lock(connection.mutex);
    Link *input = connection.links[1];
    if (input && input->sink && length > 0)
        input->sink(input->context, bytes, length);
}

// Keeps the connection alive until it ends, whoever else lets go of it.
void read_loop(std::shared_ptr<Connection> connection)
{
    MessageReader reader;
    const MessageReader::Handler handler = [&connection](const std::uint8_t *bytes, std::size_t length) {
        deliver(*connection, bytes, length);
    };
    std::uint8_t chunk[4096];
    for (;;) {
        const ssize_t got = ::recv(connection->fd, chunk, sizeof chunk, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || !reader.feed(chunk, static_cast<std::size_t>(got), handler))
            break;
    }
    // Tells the listener, when the end is ours (a stream out of step).
    ::shutdown(connection->fd, SHUT_RDWR);
    connection_lost(*connection);
    std::lock_guard<std::mutex> lock(connection->mutex);
    connection->read_done = true;
    connection->read_ended.notify_all();
}

// Under the bridge's lock: the connection for the pair with this id.
std::shared_ptr<Connection> connection_for(Bridge &all, std::uintptr_t id)
{
    if (all.connection)
        return all.connection->id == id ? all.connection : nullptr;
    const char *path = socket_path();
    if (!path || !all.present || all.id != id)
        return nullptr;
    auto connection = std::make_shared<Connection>();
    connection->fd = connect_listener(path, connection->name);
    if (connection->fd < 0 || connection->name != all.name)
        return nullptr; // gone or renamed since the listing: the id is stale
    connection->id = id;
    std::thread(read_loop, connection).detach();
    all.connection = connection;
    return connection;
}

size_t list_ports(int, vzmidi_endpoint *out, size_t max)
{
    const char *path = socket_path();
    if (!path)
        return 0;
    Bridge &all = bridge();
    std::lock_guard<std::mutex> lock(all.mutex);
    if (!all.connection || !connection_alive(*all.connection)) {
        std::string name;
        const int fd = connect_listener(path, name);
        if (fd < 0) {
            all.present = false;
            return 0;
        }
        ::close(fd);
        note_present(all, name);
    }
    if (max > 0) {
        out[0].id = all.id;
        std::memset(out[0].name, 0, sizeof out[0].name);
        all.name.copy(out[0].name, sizeof out[0].name - 1);
    }
    return 1;
}

void *open_port(int is_input, std::uintptr_t id, vzmidi_sink sink, vzmidi_gone gone, void *context)
{
    Bridge &all = bridge();
    std::lock_guard<std::mutex> lock(all.mutex);
    std::shared_ptr<Connection> connection = connection_for(all, id);
    if (!connection)
        return nullptr;
    std::lock_guard<std::mutex> connection_lock(connection->mutex);
    Link *&slot = connection->links[is_input ? 1 : 0];
    if (!connection->alive || slot)
        return nullptr;
    slot = new Link{connection, is_input != 0, sink, gone, context};
    return slot;
}

int send_message(void *handle, const std::uint8_t *bytes, size_t length)
{
    Connection &connection = *static_cast<Link *>(handle)->connection;
    if (!connection_alive(connection))
        return 1;
    std::lock_guard<std::mutex> lock(connection.write_mutex);
    if (write_message(connection.fd, bytes, length, send_timeout_ms))
        return 0;
    // A message cut short leaves the stream out of step: end the
    // connection, which the reader then reports as the pair gone.
    ::shutdown(connection.fd, SHUT_RDWR);
    return 1;
}

void close_port(void *handle)
{
    std::unique_ptr<Link> link(static_cast<Link *>(handle));
    std::shared_ptr<Connection> connection = link->connection;
    bool last;
    {
        Bridge &all = bridge();
        std::lock_guard<std::mutex> lock(all.mutex);
        std::lock_guard<std::mutex> connection_lock(connection->mutex);
        connection->links[link->is_input ? 1 : 0] = nullptr;
        last = !connection->links[0] && !connection->links[1];
        connection->closing = last;
        if (last && all.connection == connection)
            all.connection.reset();
    }
    if (last)
        ::shutdown(connection->fd, SHUT_RDWR); // ends a send and the reader
    // Waits for a send of this link that may still be running.
    {
        std::lock_guard<std::mutex> lock(connection->write_mutex);
    }
    if (last) {
        std::unique_lock<std::mutex> lock(connection->mutex);
        connection->read_ended.wait(lock, [&] { return connection->read_done; });
    }
}

} // namespace

extern "C" const vzmidi_backend vzmidi_bridge_backend = {"bridge", list_ports, open_port, send_message,
                                                         close_port};
