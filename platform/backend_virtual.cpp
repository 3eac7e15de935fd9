// The virtual back-end: ports that a test or the recorder simulator
// registers in this process and serves itself.
#include "vzmidi_virtual.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "vzmidi_backend.h"

namespace
{

struct Link;

} // namespace

struct vzmidi_virtual_port {
    char name[VZMIDI_NAME_MAX] = {};
    std::uintptr_t output_id = 0; // 0: no such port
    std::uintptr_t input_id = 0;
    vzmidi_virtual_receive receive = nullptr;
    void *context = nullptr;

    std::mutex mutex;
    std::condition_variable changed;
    bool busy = false;
    bool hold = false;
    bool removed = false;
    Link *output = nullptr; // the host's open output, if any
    Link *input = nullptr;
    unsigned output_opens = 0;
    unsigned input_opens = 0;
    bool receiving = false;
    std::thread::id receiver; // the thread in receive, while receiving
};

namespace
{

// One port as the host has opened it; the rest under the port's mutex.
struct Link {
    std::shared_ptr<vzmidi_virtual_port> port;
    bool is_input = false;
    vzmidi_sink sink = nullptr;
    vzmidi_gone gone = nullptr;
    void *context = nullptr;
    std::deque<std::vector<std::uint8_t>> held; // sent by the host while held back
    bool releasing = false;                     // a thread is sending the held messages
};

struct Registry {
    std::mutex mutex;
    std::vector<std::shared_ptr<vzmidi_virtual_port>> ports;
    std::uintptr_t last_id = 0;
};

Registry &registry()
{
    // Never destroyed: ports may still be in use while the process exits.
    static auto *instance = new Registry;
    return *instance;
}

std::uintptr_t port_id(const vzmidi_virtual_port &port, int is_input)
{
    return is_input ? port.input_id : port.output_id;
}

Link *&open_link(vzmidi_virtual_port &port, bool is_input)
{
    return is_input ? port.input : port.output;
}

size_t list_ports(int is_input, vzmidi_endpoint *out, size_t max)
{
    Registry &all = registry();
    std::lock_guard<std::mutex> lock(all.mutex);
    size_t count = 0;
    for (const auto &port : all.ports) {
        if (!port_id(*port, is_input))
            continue;
        if (count < max) {
            out[count].id = port_id(*port, is_input);
            std::memcpy(out[count].name, port->name, sizeof port->name);
        }
        ++count;
    }
    return count;
}

std::shared_ptr<vzmidi_virtual_port> find_port(int is_input, std::uintptr_t id)
{
    Registry &all = registry();
    std::lock_guard<std::mutex> lock(all.mutex);
    for (const auto &port : all.ports)
        if (port_id(*port, is_input) == id)
            return port;
    return nullptr;
}

void *open_port(int is_input, std::uintptr_t id, vzmidi_sink sink, vzmidi_gone gone, void *context)
{
    std::shared_ptr<vzmidi_virtual_port> port = find_port(is_input, id);
    if (!port)
        return nullptr;
    std::lock_guard<std::mutex> lock(port->mutex);
    Link *&slot = open_link(*port, is_input);
    if (port->busy || port->removed || slot)
        return nullptr;
    slot = new Link{port, is_input != 0, sink, gone, context, {}, false};
    ++(is_input ? port->input_opens : port->output_opens);
    return slot;
}

// Hands one message to the device, with the lock released meanwhile.
void device_receive(vzmidi_virtual_port &port, std::unique_lock<std::mutex> &lock,
                    const std::vector<std::uint8_t> &message)
{
    if (!port.receive)
        return;
    port.receiving = true;
    port.receiver = std::this_thread::get_id();
    lock.unlock();
    port.receive(port.context, message.data(), message.size());
    lock.lock();
    port.receiving = false;
    port.changed.notify_all();
}

int send_message(void *handle, const std::uint8_t *bytes, size_t length)
{
    Link &link = *static_cast<Link *>(handle);
    vzmidi_virtual_port &port = *link.port;
    std::unique_lock<std::mutex> lock(port.mutex);
    if (port.removed)
        return 1;
    std::vector<std::uint8_t> message(bytes, bytes + length);
    // Behind held messages, to keep the order.
    if (port.hold || !link.held.empty() || link.releasing) {
        link.held.push_back(std::move(message));
        return VZMIDI_SEND_PENDING;
    }
    device_receive(port, lock, message);
    return 0;
}

// Sends what was held back while the hold stays off and the link open.
void release_held(vzmidi_virtual_port &port, std::unique_lock<std::mutex> &lock)
{
    Link *link = port.output;
    if (!link || link->releasing)
        return;
    link->releasing = true;
    while (!link->held.empty() && !port.hold && !port.removed) {
        const std::vector<std::uint8_t> message = std::move(link->held.front());
        link->held.pop_front();
        device_receive(port, lock, message);
        lock.unlock();
        vzmidi_output_sent(link->context);
        lock.lock();
    }
    link->releasing = false;
    port.changed.notify_all();
}

void close_port(void *handle)
{
    auto *link = static_cast<Link *>(handle);
    vzmidi_virtual_port &port = *link->port;
    {
        std::unique_lock<std::mutex> lock(port.mutex);
        port.changed.wait(lock, [&] { return !link->releasing; });
        open_link(port, link->is_input) = nullptr;
    }
    delete link;
}

} // namespace

extern "C" const vzmidi_backend vzmidi_virtual_backend = {"virtual", list_ports, open_port, send_message,
                                                          close_port};

extern "C" {

vzmidi_virtual_port *vzmidi_virtual_register_ports(const char *name, int ports,
                                                   vzmidi_virtual_receive receive, void *context)
{
    if (!name || !(ports & (VZMIDI_VIRTUAL_OUTPUT | VZMIDI_VIRTUAL_INPUT)))
        return nullptr;
    auto port = std::make_shared<vzmidi_virtual_port>();
    std::strncpy(port->name, name, sizeof port->name - 1);
    port->receive = receive;
    port->context = context;
    Registry &all = registry();
    std::lock_guard<std::mutex> lock(all.mutex);
    if (ports & VZMIDI_VIRTUAL_OUTPUT)
        port->output_id = ++all.last_id;
    if (ports & VZMIDI_VIRTUAL_INPUT)
        port->input_id = ++all.last_id;
    all.ports.push_back(port);
    return port.get();
}

vzmidi_virtual_port *vzmidi_virtual_register(const char *name, vzmidi_virtual_receive receive, void *context)
{
    return vzmidi_virtual_register_ports(name, VZMIDI_VIRTUAL_OUTPUT | VZMIDI_VIRTUAL_INPUT, receive,
                                         context);
}

int vzmidi_virtual_deliver(vzmidi_virtual_port *port, const std::uint8_t *bytes, size_t length)
{
    std::lock_guard<std::mutex> lock(port->mutex);
    if (!port->input || port->removed)
        return 1;
    // Under the lock, so that the host's close waits for the sink.
    port->input->sink(port->input->context, bytes, length);
    return 0;
}

void vzmidi_virtual_set_busy(vzmidi_virtual_port *port, int busy)
{
    std::lock_guard<std::mutex> lock(port->mutex);
    port->busy = busy != 0;
}

void vzmidi_virtual_hold(vzmidi_virtual_port *port, int hold)
{
    std::unique_lock<std::mutex> lock(port->mutex);
    port->hold = hold != 0;
    if (!port->hold)
        release_held(*port, lock);
}

void vzmidi_virtual_get_state(vzmidi_virtual_port *port, vzmidi_virtual_state *state)
{
    std::lock_guard<std::mutex> lock(port->mutex);
    state->output_open = port->output != nullptr;
    state->input_open = port->input != nullptr;
    state->output_opens = port->output_opens;
    state->input_opens = port->input_opens;
}

void vzmidi_virtual_unregister(vzmidi_virtual_port *port)
{
    std::shared_ptr<vzmidi_virtual_port> kept;
    {
        Registry &all = registry();
        std::lock_guard<std::mutex> lock(all.mutex);
        auto it =
            std::find_if(all.ports.begin(), all.ports.end(),
                         [port](const std::shared_ptr<vzmidi_virtual_port> &p) { return p.get() == port; });
        if (it == all.ports.end())
            return;
        kept = std::move(*it);
        all.ports.erase(it);
    }
    std::unique_lock<std::mutex> lock(port->mutex);
    port->removed = true;
    for (Link *link : {port->output, port->input}) {
        if (!link)
            continue;
        link->held.clear();
        if (link->gone)
            link->gone(link->context);
    }
    port->changed.wait(lock,
                       [port] { return !port->receiving || port->receiver == std::this_thread::get_id(); });
}

} // extern "C"
