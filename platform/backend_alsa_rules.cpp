#include "backend_alsa_rules.h"

namespace vzmidi
{
namespace alsa
{

namespace
{

bool same(const snd_seq_addr_t &a, const snd_seq_addr_t &b)
{
    return a.client == b.client && a.port == b.port;
}

} // namespace

bool listed(bool is_input, unsigned int capabilities)
{
    if (capabilities & SND_SEQ_PORT_CAP_NO_EXPORT)
        return false;
    const unsigned int needed = is_input ? SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ
                                         : SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    return (capabilities & needed) == needed;
}

EventMeaning meaning(const snd_seq_event_t &event, const snd_seq_addr_t &remote, const snd_seq_addr_t &local)
{
    switch (event.type) {
    case SND_SEQ_EVENT_SYSEX:
        return same(event.source, remote) ? EventMeaning::sysex_piece : EventMeaning::ignored;
    case SND_SEQ_EVENT_CLIENT_EXIT:
        return event.data.addr.client == remote.client ? EventMeaning::gone : EventMeaning::ignored;
    case SND_SEQ_EVENT_PORT_EXIT:
        return same(event.data.addr, remote) ? EventMeaning::gone : EventMeaning::ignored;
    case SND_SEQ_EVENT_PORT_UNSUBSCRIBED:
        return same(event.data.connect.sender, remote) && same(event.data.connect.dest, local)
                   ? EventMeaning::gone
                   : EventMeaning::ignored;
    default:
        return EventMeaning::ignored;
    }
}

} // namespace alsa
} // namespace vzmidi
