// What the port tests share: the device side of a virtual MIDI port pair,
// short forms of the port layer's calls, and counting its diagnostic lines.
#ifndef PORT_TEST_SUPPORT_H
#define PORT_TEST_SUPPORT_H

#include <QtTest>

#include <functional>

#include "test_support.h"
#include "vzmidi_virtual.h"
#include "vzmsg_devs_midi_win.h"
#include "vzmsg_midi.h"

// The System Exclusive frame that carries payload.
inline QByteArray frameOf(const QByteArray &payload)
{
    uint8_t frame[VZMSG_DEVS_BUFFER_SIZE];
    uint64_t length = 0;
    vzmsg_midi_encode(bytesOf(payload), uint64_t(payload.size()), frame, sizeof frame, &length);
    return QByteArray(reinterpret_cast<const char *>(frame), int(length));
}

// Keeps what the host sends and runs onMessage, both on the sending thread
// before the send completes; delivers messages to the host.
struct VirtualDevice {
    explicit VirtualDevice(const char *name = "Q7 CONTROL",
                           int sides = VZMIDI_VIRTUAL_OUTPUT | VZMIDI_VIRTUAL_INPUT)
        : port(vzmidi_virtual_register_ports(name, sides, keep, this))
    {
    }
    ~VirtualDevice() { vzmidi_virtual_unregister(port); }
    bool deliver(const QByteArray &message)
    {
        return vzmidi_virtual_deliver(port, bytesOf(message), message.size()) == 0;
    }
    vzmidi_virtual_state state() const
    {
        vzmidi_virtual_state state{};
        vzmidi_virtual_get_state(port, &state);
        return state;
    }
    static void keep(void *context, const uint8_t *bytes, size_t length)
    {
        auto *device = static_cast<VirtualDevice *>(context);
        device->received << QByteArray(reinterpret_cast<const char *>(bytes), int(length));
        if (device->onMessage)
            device->onMessage();
    }

    vzmidi_virtual_port *port;
    QList<QByteArray> received;
    std::function<void()> onMessage;
};

inline int send(vzmsg_dev_t &dev, const QByteArray &payload)
{
    return vzmsg_devs_send(&dev, bytesOf(payload), uint16_t(payload.size()));
}

// Receives with room for a full record. payload gets as many bytes as the
// length tells, or stays null when the length was left alone.
inline int receive(vzmsg_dev_t &dev, QByteArray &payload, uint16_t capacity = 256)
{
    uint8_t buffer[256];
    uint8_t length = 0xAB; // no test payload is that long
    const int result = vzmsg_devs_recv(&dev, buffer, capacity, &length);
    payload = length == 0xAB ? QByteArray() : QByteArray(reinterpret_cast<const char *>(buffer), length);
    return result;
}

inline bool framePending(const vzmsg_dev_t &dev)
{
    return __atomic_load_n(&dev.in_mailbox.pending_length, __ATOMIC_ACQUIRE) != 0;
}

inline int portLines(const QString &text, const QString &what)
{
    return StdoutCapture::errorLines(text, QStringLiteral("vzmsg/vzmsg_devs_midi_win.c"), what);
}

#endif
