// Puts a simulated recorder behind a virtual MIDI port pair of the platform
// stand-in, so that the real port layer finds and opens it by name.
#ifndef VZSIM_VIRTUAL_PORT_H
#define VZSIM_VIRTUAL_PORT_H

#include <mutex>
#include <string>

#include "vzsim_recorder.h"

struct vzmidi_virtual_port;

namespace vzsim
{

class VirtualPort : public HostLink
{
public:
    // Attaches to the recorder and, when `plugged`, registers the pair.
    explicit VirtualPort(Recorder &recorder, std::string name = "Q7 CONTROL", bool plugged = true);
    // Unplugs and detaches; destroy it before the recorder.
    ~VirtualPort() override;
    VirtualPort(const VirtualPort &) = delete;
    VirtualPort &operator=(const VirtualPort &) = delete;

    // The pair appears; nothing happens when it is there already.
    void plug();
    // The pair vanishes: the host's open handles see it gone. Safe to call
    // at any time, from any thread, also when already unplugged.
    void unplug() override;
    bool plugged() const;
    // While busy, the host cannot open the pair (another program holds it).
    void setBusy(bool busy);

private:
    static void onReceive(void *context, const uint8_t *bytes, size_t length);
    void sendToHost(const Bytes &frame) override;

    Recorder &recorder_;
    const std::string name_;
    mutable std::mutex mutex_; // guards port_ and busy_
    vzmidi_virtual_port *port_ = nullptr;
    bool busy_ = false;
};

} // namespace vzsim

#endif
