#include "alsa_server.h"

#include <cerrno>
#include <vector>

#include <poll.h>

namespace vzsimtool
{

namespace
{

const char client_name[] = "Veldracorder Q7";

// What a USB-MIDI device's port offers: others may read from it and write
// to it, and programs that list only hardware ports see it.
constexpr unsigned int port_capabilities = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_WRITE |
                                           SND_SEQ_PORT_CAP_SUBS_READ | SND_SEQ_PORT_CAP_SUBS_WRITE |
                                           SND_SEQ_PORT_CAP_DUPLEX;
constexpr unsigned int port_type =
    SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_HARDWARE | SND_SEQ_PORT_TYPE_PORT;

} // namespace

AlsaServer::AlsaServer(vzsim::Recorder &recorder, const Options &options) : Transport(recorder, options)
{
    recorder_.attach(this);
}

AlsaServer::~AlsaServer()
{
    recorder_.attach(nullptr);
    closeClient();
}

bool AlsaServer::listen(std::string &error)
{
    if (!control_.ready()) {
        error = "cannot make a pipe";
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    int result = snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, 0);
    if (result >= 0)
        result = snd_seq_set_client_name(seq_, client_name);
    if (result >= 0)
        result = port_ =
            snd_seq_create_simple_port(seq_, options_.portName.c_str(), port_capabilities, port_type);
    if (result < 0) {
        error = std::string("cannot appear on the ALSA sequencer: ") + snd_strerror(result);
        if (seq_)
            snd_seq_close(seq_);
        seq_ = nullptr;
        return false;
    }
    unplugged_ = false;
    return true;
}

void AlsaServer::closeClient()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (seq_)
        snd_seq_close(seq_); // the port goes with it, as with a device pulled out
    seq_ = nullptr;
    port_ = -1;
}

void AlsaServer::stop()
{
    control_.stop();
}

void AlsaServer::unplug()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        unplugged_ = true;
    }
    control_.unplug();
}

void AlsaServer::sendToHost(const vzsim::Bytes &frame)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (unplugged_ || !seq_)
        return;
    requests_.showReply(frame);
    vzmidi::alsa::send_in_pieces(frame.data(), frame.size(), [this](const uint8_t *piece, size_t length) {
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        snd_seq_ev_set_source(&event, port_);
        snd_seq_ev_set_subs(&event);
        snd_seq_ev_set_direct(&event);
        snd_seq_ev_set_sysex(&event, unsigned(length), const_cast<uint8_t *>(piece));
        return snd_seq_event_output_direct(seq_, &event) >= 0;
    });
}

void AlsaServer::readRequests()
{
    for (;;) {
        bool complete = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            snd_seq_event_t *event = nullptr;
            // Poll said there is input, so the first read does not block;
            // after it only what the library already holds is read.
            const int result = snd_seq_event_input(seq_, &event);
            if (result < 0 && result != -ENOSPC)
                return;
            if (event && event->type == SND_SEQ_EVENT_SYSEX)
                complete = joiner_.add(static_cast<const uint8_t *>(event->data.ext.ptr),
                                       event->data.ext.len) == vzmidi::alsa::SysexJoiner::Result::complete;
        }
        // Unlocked: the recorder may answer at once through sendToHost.
        if (complete)
            requests_.handle(joiner_.message().data(), joiner_.message().size());
        std::lock_guard<std::mutex> lock(mutex_);
        if (!seq_ || snd_seq_event_input_pending(seq_, 0) <= 0)
            return;
    }
}

void AlsaServer::run()
{
    requests_.print("vzsim: listening on ALSA sequencer port " + std::to_string(snd_seq_client_id(seq_)) +
                    ":" + std::to_string(port_) + " as \"" + options_.portName + "\"");
    for (;;) {
        std::vector<pollfd> fds{{control_.fd(), POLLIN, 0}};
        if (seq_) {
            const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
            fds.resize(size_t(count) + 1);
            snd_seq_poll_descriptors(seq_, &fds[1], unsigned(count), POLLIN);
        }
        if (::poll(fds.data(), fds.size(), control_.pollTimeoutMs()) < 0 && errno != EINTR)
            break;

        const RunControl::Event event = control_.next();
        if (event == RunControl::Event::stop)
            break;
        if (event == RunControl::Event::unplug) {
            closeClient();
            requests_.print("vzsim: unplugged");
        } else if (event == RunControl::Event::replug) {
            std::string error;
            if (!listen(error)) {
                requests_.print("vzsim: " + error);
                break;
            }
            requests_.print("vzsim: plugged in again");
        } else if (seq_ && fds.size() > 1) {
            bool input = false;
            for (size_t i = 1; i < fds.size(); ++i)
                input = input || fds[i].revents;
            if (input)
                readRequests();
        }
    }
    closeClient();
}

} // namespace vzsimtool
