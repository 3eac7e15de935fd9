// What the ALSA back-end makes of the sequencer's ports and events: which
// ports it lists, and what an event arriving at one of its own ports means.
#ifndef VZMIDI_BACKEND_ALSA_RULES_H
#define VZMIDI_BACKEND_ALSA_RULES_H

#include <alsa/asoundlib.h>

namespace vzmidi
{
namespace alsa
{

// A port with these capabilities is listed as an input (we read from it,
// is_input true) or an output (we write to it). Ports that refuse to be
// connected by others are never listed; the back-end's own are such.
bool listed(bool is_input, unsigned int capabilities);

enum class EventMeaning {
    ignored,
    sysex_piece, // part or all of a SysEx message from the remote port
    gone,        // the remote port, or our connection to it, has gone
};

// An event at our port `local`, which is connected from `remote`; the
// announcements of the system's announce port arrive there too.
EventMeaning meaning(const snd_seq_event_t &event, const snd_seq_addr_t &remote, const snd_seq_addr_t &local);

} // namespace alsa
} // namespace vzmidi

#endif
