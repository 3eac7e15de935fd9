#include "vzsim_virtual_port.h"

#include <utility>

#include "vzmidi_virtual.h"

namespace vzsim
{

VirtualPort::VirtualPort(Recorder &recorder, std::string name, bool plugged)
    : recorder_(recorder), name_(std::move(name))
{
    recorder_.attach(this);
    if (plugged)
        plug();
}

VirtualPort::~VirtualPort()
{
    unplug();
    recorder_.attach(nullptr);
}

void VirtualPort::plug()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (port_)
        return;
    port_ = vzmidi_virtual_register(name_.c_str(), &VirtualPort::onReceive, this);
    vzmidi_virtual_set_busy(port_, busy_);
}

void VirtualPort::unplug()
{
    vzmidi_virtual_port *port;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        port = port_;
        port_ = nullptr;
    }
    // Outside the lock: unregistering waits for a running receive call,
    // which may be trying to deliver a reply through sendToHost().
    if (port)
        vzmidi_virtual_unregister(port);
}

bool VirtualPort::plugged() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return port_ != nullptr;
}

void VirtualPort::setBusy(bool busy)
{
    std::lock_guard<std::mutex> lock(mutex_);
    busy_ = busy;
    if (port_)
        vzmidi_virtual_set_busy(port_, busy);
}

void VirtualPort::onReceive(void *context, const uint8_t *bytes, size_t length)
{
    static_cast<VirtualPort *>(context)->recorder_.receiveFromHost(bytes, length);
}

void VirtualPort::sendToHost(const Bytes &frame)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (port_)
        vzmidi_virtual_deliver(port_, frame.data(), frame.size());
}

} // namespace vzsim
