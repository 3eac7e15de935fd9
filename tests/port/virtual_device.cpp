#include "virtual_device.h"

#include "vzmsg_devs_midi_win.h"
#include "vzmsg_midi.h"

QByteArray toByteArray(const Bytes &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size()));
}

Bytes fromHex(const char *hex)
{
    const QByteArray raw = QByteArray::fromHex(hex);
    return Bytes(raw.begin(), raw.end());
}

Bytes frameOf(const Bytes &payload)
{
    Bytes frame(VZMSG_DEVS_BUFFER_SIZE);
    uint64_t length = 0;
    if (vzmsg_midi_encode(payload.data(), payload.size(), frame.data(), frame.size(), &length) != 0)
        return {};
    frame.resize(length);
    return frame;
}

VirtualDevice::VirtualDevice(const char *name, int ports)
    : m_port(vzmidi_virtual_register_ports(name, ports, receive, this))
{
}

VirtualDevice::~VirtualDevice()
{
    unplug();
}

bool VirtualDevice::deliver(const Bytes &message)
{
    return vzmidi_virtual_deliver(m_port, message.data(), message.size()) == 0;
}

void VirtualDevice::unplug()
{
    if (m_port)
        vzmidi_virtual_unregister(m_port);
    m_port = nullptr;
}

vzmidi_virtual_state VirtualDevice::state() const
{
    vzmidi_virtual_state state{};
    vzmidi_virtual_get_state(m_port, &state);
    return state;
}

std::vector<Bytes> VirtualDevice::received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

void VirtualDevice::setHandler(std::function<void(const Bytes &)> handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handler = std::move(handler);
}

void VirtualDevice::receive(void *context, const std::uint8_t *bytes, std::size_t length)
{
    auto *device = static_cast<VirtualDevice *>(context);
    const Bytes message(bytes, bytes + length);
    std::function<void(const Bytes &)> handler;
    {
        std::lock_guard<std::mutex> lock(device->m_mutex);
        device->m_received.push_back(message);
        handler = device->m_handler;
    }
    if (handler)
        handler(message);
}
