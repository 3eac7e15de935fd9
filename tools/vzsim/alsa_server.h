// The simulated recorder as a client of the ALSA sequencer, looking like a
// plugged-in USB-MIDI recorder: one duplex hardware port named as the
// recorder's control port. Requests come in as SysEx events, whole or in
// pieces; each reply goes to every subscriber in pieces of at most 256
// bytes, as the kernel delivers a long message from a device. Unplugging
// closes the client, which takes the port and its connections away.
#ifndef VZSIM_TOOL_ALSA_SERVER_H
#define VZSIM_TOOL_ALSA_SERVER_H

#include <mutex>
#include <string>

#include <alsa/asoundlib.h>

#include "backend_alsa_sysex.h"
#include "transport.h"

namespace vzsimtool
{

class AlsaServer : public Transport
{
public:
    // Attaches to the recorder; destroy the server before the recorder.
    AlsaServer(vzsim::Recorder &recorder, const Options &options);
    ~AlsaServer() override;
    AlsaServer(const AlsaServer &) = delete;
    AlsaServer &operator=(const AlsaServer &) = delete;

    // Opens the client and creates the port.
    bool listen(std::string &error) override;
    void run() override;
    void stop() override;

    // Recorder side.
    void sendToHost(const vzsim::Bytes &frame) override;
    void unplug() override;

private:
    // Hands on every request waiting at the port.
    void readRequests();
    void closeClient();

    vzmidi::alsa::SysexJoiner joiner_; // the run loop's only

    std::mutex mutex_; // guards the three below, and every use of seq_
    snd_seq_t *seq_ = nullptr;
    int port_ = -1;
    bool unplugged_ = false;
};

} // namespace vzsimtool

#endif
