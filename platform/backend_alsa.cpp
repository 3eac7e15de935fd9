// The ALSA sequencer back-end: the machine's MIDI ports, named by their
// port name alone, so that a recorder whose port is "Q7 CONTROL" is found
// by that name. The back-end's name, for the VZMIDI_BACKENDS selection, is
// "alsa".
//
// Listing uses one sequencer client for the whole process. Each opened
// port gets a client and a port of its own, connected to the listed port:
// an output sends every message whole as one SysEx event; an input runs a
// thread that joins the SysEx pieces the kernel delivers and watches the
// system's announcements for the port going away. A machine without a
// sequencer (no /dev/snd/seq) has no ports, and says nothing about it.
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "backend_alsa_rules.h"
#include "backend_alsa_sysex.h"
#include "vzmidi_backend.h"

namespace
{

using namespace vzmidi::alsa;

const char client_name[] = "Veldracorder Updater";
// A port that does not take a message within this time has hung.
constexpr int send_timeout_ms = 1000;

struct Known {
    std::uintptr_t id;
    std::string name;
};

// The listing client and the ports it has seen, by direction.
struct Lister {
    std::mutex mutex; // guards everything below
    bool tried = false;
    snd_seq_t *seq = nullptr;      // null: no sequencer on this machine
    std::map<int, Known> known[2]; // by client << 8 | port; outputs, inputs
    std::uintptr_t last_id = 0;
};

Lister &lister()
{
    // Never destroyed: ports may still be listed while the process exits.
    static auto *instance = new Lister;
    return *instance;
}

// libasound's own messages ("cannot open /dev/snd/seq"...) would reach
// standard error once a second while the app looks for the recorder.
void quiet(const char *, int, const char *, int, const char *, ...) {}

int address_key(const snd_seq_addr_t &address)
{
    return address.client << 8 | address.port;
}

snd_seq_t *open_client(int streams, int mode)
{
    snd_seq_t *seq = nullptr;
    if (snd_seq_open(&seq, "default", streams, mode) < 0)
        return nullptr;
    snd_seq_set_client_name(seq, client_name);
    return seq;
}

// Under the lister's lock: the sequencer, opened on first use only.
snd_seq_t *listing_client(Lister &all)
{
    if (!all.tried) {
        all.tried = true;
        snd_lib_error_set_handler(quiet);
        all.seq = open_client(SND_SEQ_OPEN_DUPLEX, 0);
    }
    return all.seq;
}

template <class Visit> void for_each_port(snd_seq_t *seq, Visit visit)
{
    snd_seq_client_info_t *client;
    snd_seq_port_info_t *port;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    const int own = snd_seq_client_id(seq);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq, client) >= 0) {
        const int number = snd_seq_client_info_get_client(client);
        if (number == own || number == SND_SEQ_CLIENT_SYSTEM)
            continue;
        snd_seq_port_info_set_client(port, number);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq, port) >= 0)
            visit(*snd_seq_port_info_get_addr(port), snd_seq_port_info_get_capability(port),
                  snd_seq_port_info_get_name(port));
    }
}

size_t list_ports(int is_input, vzmidi_endpoint *out, size_t max)
{
    Lister &all = lister();
    std::lock_guard<std::mutex> lock(all.mutex);
    snd_seq_t *seq = listing_client(all);
    if (!seq)
        return 0;
    std::map<int, Known> &known = all.known[is_input ? 1 : 0];
    std::map<int, Known> seen;
    size_t count = 0;
    for_each_port(seq, [&](const snd_seq_addr_t &address, unsigned int capabilities, const char *name) {
        if (!listed(is_input != 0, capabilities))
            return;
        const int key = address_key(address);
        auto it = known.find(key);
        // A port that reappears, or is renamed, is another port.
        const std::uintptr_t id =
            it != known.end() && it->second.name == name ? it->second.id : ++all.last_id;
        seen[key] = Known{id, name};
        if (count < max) {
            out[count].id = id;
            std::memset(out[count].name, 0, sizeof out[count].name);
            std::strncpy(out[count].name, name, sizeof out[count].name - 1);
        }
        ++count;
    });
    known.swap(seen);
    return count;
}

bool find_address(int is_input, std::uintptr_t id, snd_seq_addr_t &address)
{
    Lister &all = lister();
    std::lock_guard<std::mutex> lock(all.mutex);
    for (const auto &entry : all.known[is_input ? 1 : 0]) {
        if (entry.second.id == id) {
            address.client = static_cast<unsigned char>(entry.first >> 8);
            address.port = static_cast<unsigned char>(entry.first & 0xFF);
            return true;
        }
    }
    return false;
}

struct Link {
    bool is_input = false;
    snd_seq_t *seq = nullptr; // our client for this port
    snd_seq_addr_t local{};   // our port
    snd_seq_addr_t remote{};  // the listed port
    vzmidi_sink sink = nullptr;
    vzmidi_gone gone = nullptr;
    void *context = nullptr;
    int wake = -1; // eventfd that ends the input thread
    std::thread reader;
    std::mutex mutex; // one send at a time, and close after it
    bool gone_told = false;

    ~Link()
    {
        if (wake >= 0)
            ::close(wake);
        if (seq)
            snd_seq_close(seq); // deletes our port and its connections
    }
};

void tell_gone(Link &link)
{
    if (!link.gone_told && link.gone)
        link.gone(link.context);
    link.gone_told = true;
}

void handle_event(Link &link, SysexJoiner &joiner, const snd_seq_event_t &event)
{
    switch (meaning(event, link.remote, link.local)) {
    case EventMeaning::sysex_piece:
        if (joiner.add(static_cast<const std::uint8_t *>(event.data.ext.ptr), event.data.ext.len) ==
                SysexJoiner::Result::complete &&
            link.sink)
            link.sink(link.context, joiner.message().data(), joiner.message().size());
        break;
    case EventMeaning::gone:
        tell_gone(link);
        break;
    case EventMeaning::ignored:
        break;
    }
}

void read_loop(Link *link)
{
    SysexJoiner joiner;
    const int count = snd_seq_poll_descriptors_count(link->seq, POLLIN);
    std::vector<pollfd> fds(static_cast<size_t>(count) + 1);
    snd_seq_poll_descriptors(link->seq, fds.data(), static_cast<unsigned int>(count), POLLIN);
    fds[static_cast<size_t>(count)] = {link->wake, POLLIN, 0};
    for (;;) {
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
            return;
        if (fds[static_cast<size_t>(count)].revents)
            return;
        snd_seq_event_t *event = nullptr;
        int result;
        // Non-blocking: -EAGAIN once every waiting event is read; -ENOSPC
        // tells of events lost to an overrun, and reading goes on.
        while ((result = snd_seq_event_input(link->seq, &event)) >= 0 || result == -ENOSPC)
            if (result >= 0 && event)
                handle_event(*link, joiner, *event);
    }
}

// Our client and port for a link, connected to the remote port.
bool connect_link(Link &link)
{
    const unsigned int capabilities = (link.is_input ? SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE
                                                     : SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ) |
                                      SND_SEQ_PORT_CAP_NO_EXPORT;
    link.seq = open_client(link.is_input ? SND_SEQ_OPEN_INPUT : SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK);
    if (!link.seq)
        return false;
    const int port = snd_seq_create_simple_port(
        link.seq, client_name, capabilities, SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0)
        return false;
    link.local.client = static_cast<unsigned char>(snd_seq_client_id(link.seq));
    link.local.port = static_cast<unsigned char>(port);
    if (!link.is_input)
        return snd_seq_connect_to(link.seq, port, link.remote.client, link.remote.port) >= 0;
    return snd_seq_connect_from(link.seq, port, link.remote.client, link.remote.port) >= 0 &&
           snd_seq_connect_from(link.seq, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) >= 0;
}

void *open_port(int is_input, std::uintptr_t id, vzmidi_sink sink, vzmidi_gone gone, void *context)
{
    auto link = std::make_unique<Link>();
    link->is_input = is_input != 0;
    link->sink = sink;
    link->gone = gone;
    link->context = context;
    if (!find_address(is_input, id, link->remote) || !connect_link(*link))
        return nullptr;
    if (link->is_input) {
        link->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (link->wake < 0)
            return nullptr;
        link->reader = std::thread(read_loop, link.get());
    }
    return link.release();
}

// Our connection to the remote port still stands: it goes when the
// device is unplugged, or when someone takes it away.
bool still_connected(Link &link)
{
    snd_seq_port_subscribe_t *subscription;
    snd_seq_port_subscribe_alloca(&subscription);
    snd_seq_port_subscribe_set_sender(subscription, &link.local);
    snd_seq_port_subscribe_set_dest(subscription, &link.remote);
    return snd_seq_get_port_subscription(link.seq, subscription) >= 0;
}

// Waits until the kernel takes more output, or the time is up.
bool wait_writable(Link &link, std::chrono::steady_clock::time_point deadline)
{
    const int count = snd_seq_poll_descriptors_count(link.seq, POLLOUT);
    std::vector<pollfd> fds(static_cast<size_t>(count));
    snd_seq_poll_descriptors(link.seq, fds.data(), static_cast<unsigned int>(count), POLLOUT);
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 && ::poll(fds.data(), fds.size(), static_cast<int>(left.count())) > 0;
}

int send_message(void *handle, const std::uint8_t *bytes, size_t length)
{
    Link &link = *static_cast<Link *>(handle);
    std::lock_guard<std::mutex> lock(link.mutex);
    if (link.gone_told || !still_connected(link)) {
        tell_gone(link);
        return 1;
    }
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_seq_ev_set_source(&event, link.local.port);
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    snd_seq_ev_set_sysex(&event, static_cast<unsigned int>(length), const_cast<std::uint8_t *>(bytes));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(send_timeout_ms);
    int result;
    while ((result = snd_seq_event_output(link.seq, &event)) == -EAGAIN && wait_writable(link, deadline)) {
    }
    if (result < 0)
        return 1;
    while ((result = snd_seq_drain_output(link.seq)) == -EAGAIN || result > 0)
        if (!wait_writable(link, deadline))
            break;
    if (result == 0)
        return 0;
    snd_seq_drop_output(link.seq); // what is left would go out with the next message
    return 1;
}

void close_port(void *handle)
{
    std::unique_ptr<Link> link(static_cast<Link *>(handle));
    std::lock_guard<std::mutex> lock(link->mutex);
    if (link->reader.joinable()) {
        const std::uint64_t one = 1;
        (void)!::write(link->wake, &one, sizeof one);
        link->reader.join();
    }
}

} // namespace

extern "C" const vzmidi_backend vzmidi_alsa_backend = {"alsa", list_ports, open_port, send_message,
                                                       close_port};
