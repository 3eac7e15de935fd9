// The device side of a virtual MIDI port pair for the port tests: keeps
// every message the host sends, delivers messages to the host, and may run
// a handler for each message on the stand-in's thread.
#ifndef VIRTUAL_DEVICE_H
#define VIRTUAL_DEVICE_H

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "vzmidi_virtual.h"

using Bytes = std::vector<std::uint8_t>;

QByteArray toByteArray(const Bytes &bytes);
Bytes fromHex(const char *hex);
// The System Exclusive frame that carries payload.
Bytes frameOf(const Bytes &payload);

class VirtualDevice
{
public:
    explicit VirtualDevice(const char *name = "Q7 CONTROL",
                           int ports = VZMIDI_VIRTUAL_OUTPUT | VZMIDI_VIRTUAL_INPUT);
    ~VirtualDevice();
    VirtualDevice(const VirtualDevice &) = delete;
    VirtualDevice &operator=(const VirtualDevice &) = delete;

    vzmidi_virtual_port *port() const { return m_port; }
    bool deliver(const Bytes &message);
    void unplug();
    vzmidi_virtual_state state() const;
    std::vector<Bytes> received() const;
    // Runs on the stand-in's thread for each message the host sends, after
    // the message has been kept and before the host's send completes.
    void setHandler(std::function<void(const Bytes &)> handler);

private:
    static void receive(void *context, const std::uint8_t *bytes, std::size_t length);

    vzmidi_virtual_port *m_port = nullptr;
    mutable std::mutex m_mutex;
    std::vector<Bytes> m_received;
    std::function<void(const Bytes &)> m_handler;
};

#endif
