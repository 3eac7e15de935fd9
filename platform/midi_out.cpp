// The Windows MIDI output functions over the back-ends' ports. Each open
// output has a sender thread, so that a back-end that takes its time
// delays neither the caller nor the notifications of other ports.
#include <mmsystem.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

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
    std::condition_variable changed;
    LPMIDIHDR pending = nullptr; // handed over, not yet given back done
    std::uint64_t sequence = 0;  // counts the messages handed over
    std::vector<std::uint8_t> message;
    bool to_send = false; // message waits for the sender thread
    bool closing = false;
    std::thread sender;
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
    port.to_send = false;
    change_header_flags(header, MHDR_DONE, MHDR_INQUEUE);
    port.client.post(MOM_DONE, reinterpret_cast<DWORD_PTR>(header), 0);
}

void send_loop(OutPort *port)
{
    std::unique_lock<std::mutex> lock(port->mutex);
    for (;;) {
        port->changed.wait(lock, [port] { return port->to_send || port->closing; });
        if (port->closing)
            return;
        port->to_send = false;
        const std::uint64_t sequence = port->sequence;
        const std::vector<std::uint8_t> bytes = port->message;
        lock.unlock();
        // A message to a port that has gone is lost, as on a pulled cable.
        port->backend->send(port->link, bytes.data(), bytes.size());
        lock.lock();
        // A reset may have given the message back already, and the client
        // may even have handed over the next one.
        if (port->pending && port->sequence == sequence)
            give_back(*port);
    }
}

void on_gone(void *context)
{
    static_cast<OutPort *>(context)->gone = true;
}

} // namespace

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
    port->sender = std::thread(send_loop, port.get());
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
    std::lock_guard<std::mutex> lock(port->mutex);
    if (port->pending)
        return MIDIERR_UNPREPARED;
    const auto *data = reinterpret_cast<const std::uint8_t *>(header->lpData);
    port->message.assign(data, data + header->dwBufferLength);
    port->pending = header;
    ++port->sequence;
    port->to_send = true;
    change_header_flags(header, MHDR_INQUEUE, MHDR_DONE);
    port->changed.notify_all();
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
        port->closing = true;
        port->changed.notify_all();
    }
    if (!outputs().remove(handle))
        return MMSYSERR_INVALHANDLE; // closed meanwhile by another thread
    // Closing the back-end's port first ends a send that it is holding.
    port->backend->close(port->link);
    port->sender.join();
    port->client.notify_and_wait(MOM_CLOSE);
    return MMSYSERR_NOERROR;
}

} // extern "C"
