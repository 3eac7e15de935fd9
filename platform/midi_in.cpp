// The Windows MIDI input functions over the back-ends' ports. Messages are
// placed in the client's queued buffers on the notification thread, one
// after the other: a System Exclusive message longer than a buffer fills
// as many buffers as it needs, and what finds no buffer queued is lost, as
// on Windows.
#include <mmsystem.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "device_list.h"
#include "handle_table.h"
#include "midi_client.h"

namespace
{

using namespace vzmidi;

constexpr std::uint8_t sysex_start = 0xF0;
constexpr std::uint8_t sysex_end = 0xF7;
// The most bytes a short (channel or system) message can have.
constexpr std::size_t short_message_max = 3;

struct Arrival {
    std::vector<std::uint8_t> bytes;
    std::size_t placed = 0; // bytes already in the client's buffers
    DWORD time = 0;         // milliseconds since input started
};

struct Notification {
    UINT code = 0; // 0: none to make
    DWORD_PTR param1 = 0;
    DWORD_PTR param2 = 0;
};

struct InPort : std::enable_shared_from_this<InPort> {
    const vzmidi_backend *backend = nullptr;
    void *link = nullptr; // the back-end's handle
    Client<HMIDIIN> client;

    std::mutex mutex;
    std::deque<LPMIDIHDR> buffers;
    std::deque<Arrival> arrivals;
    bool started = false;
    bool pumping = false; // a pump is posted or running
    std::chrono::steady_clock::time_point start_time;
};

HandleTable<InPort> &inputs()
{
    // Never destroyed: ports left open at exit may still be in use.
    static auto *table = new HandleTable<InPort>;
    return *table;
}

DWORD_PTR packed_short_message(const std::vector<std::uint8_t> &bytes)
{
    DWORD_PTR packed = 0;
    for (std::size_t i = 0; i < bytes.size() && i < short_message_max; ++i)
        packed |= DWORD_PTR(bytes[i]) << (8 * i);
    return packed;
}

// The next piece of the oldest arrival, under the lock.
Notification take_piece(InPort &port)
{
    Arrival &arrival = port.arrivals.front();
    Notification made;
    made.param2 = arrival.time;
    if (arrival.bytes[0] != sysex_start) {
        made.code = arrival.bytes.size() <= short_message_max ? MIM_DATA : MIM_ERROR;
        made.param1 = packed_short_message(arrival.bytes);
        port.arrivals.pop_front();
        return made;
    }
    if (port.buffers.empty()) {
        port.arrivals.pop_front();
        return {};
    }
    LPMIDIHDR header = port.buffers.front();
    port.buffers.pop_front();
    const std::size_t left = arrival.bytes.size() - arrival.placed;
    const std::size_t length = left < header->dwBufferLength ? left : header->dwBufferLength;
    std::memcpy(header->lpData, arrival.bytes.data() + arrival.placed, length);
    header->dwBytesRecorded = static_cast<DWORD>(length);
    arrival.placed += length;
    made.code = MIM_LONGDATA;
    if (arrival.placed == arrival.bytes.size()) {
        if (arrival.bytes.back() != sysex_end)
            made.code = MIM_LONGERROR;
        port.arrivals.pop_front();
    }
    made.param1 = reinterpret_cast<DWORD_PTR>(header);
    change_header_flags(header, MHDR_DONE, MHDR_INQUEUE);
    return made;
}

// Runs on the notification thread until every arrival has been placed.
void pump(InPort &port)
{
    for (;;) {
        Notification made;
        {
            std::lock_guard<std::mutex> lock(port.mutex);
            if (port.arrivals.empty()) {
                port.pumping = false;
                return;
            }
            made = take_piece(port);
        }
        if (made.code)
            port.client.notify(made.code, made.param1, made.param2);
    }
}

void on_message(void *context, const std::uint8_t *bytes, std::size_t length)
{
    InPort &port = *static_cast<InPort *>(context);
    std::lock_guard<std::mutex> lock(port.mutex);
    if (!port.started || length == 0)
        return;
    const auto since_start = std::chrono::steady_clock::now() - port.start_time;
    port.arrivals.push_back(
        {std::vector<std::uint8_t>(bytes, bytes + length), 0,
         static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(since_start).count())});
    if (!port.pumping) {
        port.pumping = true;
        NotificationThread::instance().post([keep = port.shared_from_this()] { pump(*keep); });
    }
}

// Input of a port that has gone simply stops: the back-end calls no sink.
void on_gone(void *) {}

// Empties the buffer queue, each buffer marked done with nothing in it.
std::deque<LPMIDIHDR> take_buffers(InPort &port)
{
    std::deque<LPMIDIHDR> taken;
    taken.swap(port.buffers);
    for (LPMIDIHDR header : taken) {
        header->dwBytesRecorded = 0;
        change_header_flags(header, MHDR_DONE, MHDR_INQUEUE);
    }
    return taken;
}

} // namespace

extern "C" {

UINT WINAPI midiInGetNumDevs(void)
{
    return count_devices(Direction::input);
}

MMRESULT WINAPI midiInGetDevCapsW(UINT_PTR device, LPMIDIINCAPSW caps, UINT caps_size)
{
    if (!caps || caps_size < sizeof(MIDIINCAPSW))
        return MMSYSERR_INVALPARAM;
    Device found;
    if (!find_device(Direction::input, device, &found))
        return MMSYSERR_BADDEVICEID;
    copy_wide_name(found.endpoint.name, caps->szPname);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInOpen(LPHMIDIIN handle, UINT device, DWORD_PTR callback, DWORD_PTR instance, DWORD flags)
{
    if (!handle)
        return MMSYSERR_INVALPARAM;
    if (MMRESULT result = check_open_flags(flags, callback))
        return result;
    Device found;
    if (!find_device(Direction::input, device, &found))
        return MMSYSERR_BADDEVICEID;
    auto port = std::make_shared<InPort>();
    port->backend = found.backend;
    if ((flags & CALLBACK_TYPEMASK) == CALLBACK_FUNCTION)
        port->client.callback = reinterpret_cast<Client<HMIDIIN>::Callback>(callback);
    port->client.instance = instance;
    port->link = found.backend->open(1, found.endpoint.id, on_message, on_gone, port.get());
    if (!port->link)
        return MMSYSERR_ALLOCATED;
    {
        // The back-end may already be calling the sink.
        std::lock_guard<std::mutex> lock(port->mutex);
        port->client.handle = static_cast<HMIDIIN>(inputs().add(port));
    }
    *handle = port->client.handle;
    port->client.post(MIM_OPEN, 0, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInPrepareHeader(HMIDIIN handle, LPMIDIHDR header, UINT header_size)
{
    if (!inputs().find(handle))
        return MMSYSERR_INVALHANDLE;
    if (MMRESULT result = check_buffer(header, header_size))
        return result;
    change_header_flags(header, MHDR_PREPARED, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInUnprepareHeader(HMIDIIN handle, LPMIDIHDR header, UINT header_size)
{
    if (!inputs().find(handle))
        return MMSYSERR_INVALHANDLE;
    if (MMRESULT result = check_header(header, header_size))
        return result;
    if (header_flags(header) & MHDR_INQUEUE)
        return MIDIERR_STILLPLAYING;
    change_header_flags(header, 0, MHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInAddBuffer(HMIDIIN handle, LPMIDIHDR header, UINT header_size)
{
    std::shared_ptr<InPort> port = inputs().find(handle);
    if (!port)
        return MMSYSERR_INVALHANDLE;
    if (MMRESULT result = check_buffer(header, header_size))
        return result;
    const DWORD flags = header_flags(header);
    if (!(flags & MHDR_PREPARED))
        return MIDIERR_UNPREPARED;
    if (flags & MHDR_INQUEUE)
        return MIDIERR_STILLPLAYING;
    std::lock_guard<std::mutex> lock(port->mutex);
    header->dwBytesRecorded = 0;
    change_header_flags(header, MHDR_INQUEUE, MHDR_DONE);
    port->buffers.push_back(header);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInStart(HMIDIIN handle)
{
    std::shared_ptr<InPort> port = inputs().find(handle);
    if (!port)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> lock(port->mutex);
    if (!port->started) {
        port->started = true;
        port->start_time = std::chrono::steady_clock::now();
    }
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInStop(HMIDIIN handle)
{
    std::shared_ptr<InPort> port = inputs().find(handle);
    if (!port)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> lock(port->mutex);
    port->started = false;
    port->arrivals.clear();
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInReset(HMIDIIN handle)
{
    std::shared_ptr<InPort> port = inputs().find(handle);
    if (!port)
        return MMSYSERR_INVALHANDLE;
    std::deque<LPMIDIHDR> returned;
    {
        std::lock_guard<std::mutex> lock(port->mutex);
        port->started = false;
        port->arrivals.clear();
        returned = take_buffers(*port);
    }
    NotificationThread::instance().run_and_wait([&] {
        for (LPMIDIHDR header : returned)
            port->client.notify(MIM_LONGDATA, reinterpret_cast<DWORD_PTR>(header), 0);
    });
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInClose(HMIDIIN handle)
{
    std::shared_ptr<InPort> port = inputs().find(handle);
    if (!port)
        return MMSYSERR_INVALHANDLE;
    {
        std::lock_guard<std::mutex> lock(port->mutex);
        if (!port->buffers.empty())
            return MIDIERR_STILLPLAYING;
        port->started = false;
        port->arrivals.clear();
    }
    if (!inputs().remove(handle))
        return MMSYSERR_INVALHANDLE; // closed meanwhile by another thread
    port->backend->close(port->link);
    port->client.notify_and_wait(MIM_CLOSE);
    return MMSYSERR_NOERROR;
}

} // extern "C"
