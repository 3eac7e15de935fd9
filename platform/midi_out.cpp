// The Windows MIDI output functions over the back-ends' ports. A message
// goes to the back-end on the caller's thread, so that a send that the
// back-end takes at once is done when midiOutLongMsg returns; the done
// notification follows on the notification thread.
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "device_list.h"
#include "handle_table.h"
#include "midi_client.h"

namespace
{

using namespace vzmidi;

struct OutPort {
    const vzmidi_backend *backend = nullptr;
    void *link = nullptr; // the back-end's handle
    Client<HMIDIOUT> client;
    std::atomic<bool> gone{false};

    std::mutex mutex;
    LPMIDIHDR pending = nullptr; // handed over, not yet given back done
    std::uint64_t sequence = 0;  // of the pending message
    // Messages the back-end has not reported sent yet, oldest first.
    std::deque<std::uint64_t> unsent;
};

HandleTable<OutPort> &outputs()
{
    // Never destroyed: ports left open at exit may still be in use.
    static auto *table = new HandleTable<OutPort>;
    return *table;
}

// Marks the pending message done and tells the client; under the lock.
void give_back(OutPort &port)
{
    LPMIDIHDR header = port.pending;
    port.pending = nullptr;
    change_header_flags(header, MHDR_DONE, MHDR_INQUEUE);
    port.client.post(MOM_DONE, reinterpret_cast<DWORD_PTR>(header), 0);
}

// The message numbered sequence has gone out, or failed; a reset may have
// given it back already, and the client may have handed over the next.
void finish(OutPort &port, std::uint64_t sequence)
{
    std::lock_guard<std::mutex> lock(port.mutex);
    if (port.pending && port.sequence == sequence)
        give_back(port);
}

void on_gone(void *context)
{
    static_cast<OutPort *>(context)->gone = true;
}

} // namespace

void vzmidi_output_sent(void *context)
{
    auto &port = *static_cast<OutPort *>(context);
    std::uint64_t sequence;
    {
        std::lock_guard<std::mutex> lock(port.mutex);
        if (port.unsent.empty())
            return;
        sequence = port.unsent.front();
        port.unsent.pop_front();
    }
    finish(port, sequence);
}

extern "C" {

UINT WINAPI midiOutGetNumDevs(void)
{
    return count_devices(Direction::output);
}

MMRESULT WINAPI midiOutGetDevCapsW(UINT_PTR device, LPMIDIOUTCAPSW caps, UINT caps_size)
{
    if (!caps || caps_size < sizeof(MIDIOUTCAPSW))
        return MMSYSERR_INVALPARAM;
    Device found;
    if (!find_device(Direction::output, device, &found))
        return MMSYSERR_BADDEVICEID;
    copy_wide_name(found.endpoint.name, caps->szPname);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutOpen(LPHMIDIOUT handle, UINT device, DWORD_PTR callback, DWORD_PTR instance,
                            DWORD flags)
{
    if (!handle)
        return MMSYSERR_INVALPARAM;
    if (MMRESULT result = check_open_flags(flags, callback))
        return result;
    Device found;
    if (!find_device(Direction::output, device, &found))
        return MMSYSERR_BADDEVICEID;
    auto port = std::make_shared<OutPort>();
    port->backend = found.backend;
    port->link = found.backend->open(0, found.endpoint.id, nullptr, on_gone, port.get());
    if (!port->link)
        return MMSYSERR_ALLOCATED;
    if ((flags & CALLBACK_TYPEMASK) == CALLBACK_FUNCTION)
        port->client.callback = reinterpret_cast<Client<HMIDIOUT>::Callback>(callback);
    port->client.instance = instance;
    port->client.handle = static_cast<HMIDIOUT>(outputs().add(port));
    *handle = port->client.handle;
    port->client.post(MOM_OPEN, 0, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutPrepareHeader(HMIDIOUT handle, LPMIDIHDR header, UINT header_size)
{
    if (!outputs().find(handle))
        return MMSYSERR_INVALHANDLE;
    if (MMRESULT result = check_buffer(header, header_size))
        return result;
    change_header_flags(header, MHDR_PREPARED, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutUnprepareHeader(HMIDIOUT handle, LPMIDIHDR header, UINT header_size)
{
    std::shared_ptr<OutPort> port = outputs().find(handle);
    if (!port)
        return MMSYSERR_INVALHANDLE;
    if (MMRESULT result = check_header(header, header_size))
        return result;
    std::lock_guard<std::mutex> lock(port->mutex);
    if (port->pending == header)
        return MIDIERR_STILLPLAYING;
    change_header_flags(header, 0, MHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutLongMsg(HMIDIOUT handle, LPMIDIHDR header, UINT header_size)
{
    std::shared_ptr<OutPort> port = outputs().find(handle);
    if (!port)
        return MMSYSERR_INVALHANDLE;
    if (MMRESULT result = check_buffer(header, header_size))
        return result;
    if (!(header_flags(header) & MHDR_PREPARED))
        return MIDIERR_UNPREPARED;
    if (port->gone)
        return MIDIERR_NODEVICE;
    std::uint64_t sequence;
    {
        std::lock_guard<std::mutex> lock(port->mutex);
        if (port->pending)
            return MIDIERR_UNPREPARED;
        port->pending = header;
        sequence = ++port->sequence;
        // Listed before the send: the back-end may report it sent at once.
        port->unsent.push_back(sequence);
        change_header_flags(header, MHDR_INQUEUE, MHDR_DONE);
    }
    const int sent = port->backend->send(port->link, reinterpret_cast<const std::uint8_t *>(header->lpData),
                                         header->dwBufferLength);
    if (sent != VZMIDI_SEND_PENDING) {
        {
            std::lock_guard<std::mutex> lock(port->mutex);
            auto listed = std::find(port->unsent.begin(), port->unsent.end(), sequence);
            if (listed != port->unsent.end())
                port->unsent.erase(listed);
        }
        // A message that failed is lost, as on a pulled cable.
        finish(*port, sequence);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutReset(HMIDIOUT handle)
{
    std::shared_ptr<OutPort> port = outputs().find(handle);
    if (!port)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> lock(port->mutex);
    if (port->pending)
        give_back(*port);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutClose(HMIDIOUT handle)
{
    std::shared_ptr<OutPort> port = outputs().find(handle);
    if (!port)
        return MMSYSERR_INVALHANDLE;
    {
        std::lock_guard<std::mutex> lock(port->mutex);
        if (port->pending)
            return MIDIERR_STILLPLAYING;
    }
    if (!outputs().remove(handle))
        return MMSYSERR_INVALHANDLE; // closed meanwhile by another thread
    port->backend->close(port->link);
    port->client.notify_and_wait(MOM_CLOSE);
    return MMSYSERR_NOERROR;
}

} // extern "C"
