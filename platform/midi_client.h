// What the MIDI output and input functions share: the client's callback,
// the checks of open flags and headers, and the header flags, which the
// client reads on its own thread while the library sets them on another.
#ifndef VZMIDI_MIDI_CLIENT_H
#define VZMIDI_MIDI_CLIENT_H

#include <mmsystem.h>

#include "notification_thread.h"

namespace vzmidi
{

template <class Handle> struct Client {
    using Callback = void(CALLBACK *)(Handle, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);

    Callback callback = nullptr;
    DWORD_PTR instance = 0;
    Handle handle = nullptr;

    void notify(UINT code, DWORD_PTR param1, DWORD_PTR param2) const
    {
        if (callback)
            callback(handle, code, instance, param1, param2);
    }
    // Makes the notification on the notification thread, after those
    // posted before it.
    void post(UINT code, DWORD_PTR param1, DWORD_PTR param2) const
    {
        const Client client = *this;
        NotificationThread::instance().post(
            [client, code, param1, param2] { client.notify(code, param1, param2); });
    }
    void notify_and_wait(UINT code) const
    {
        NotificationThread::instance().run_and_wait([this, code] { notify(code, 0, 0); });
    }
};

// A function callback or none; MMSYSERR_INVALPARAM for anything else.
inline MMRESULT check_open_flags(DWORD flags, DWORD_PTR callback)
{
    switch (flags & CALLBACK_TYPEMASK) {
    case CALLBACK_NULL:
        return MMSYSERR_NOERROR;
    case CALLBACK_FUNCTION:
        return callback ? MMSYSERR_NOERROR : MMSYSERR_INVALPARAM;
    default:
        return MMSYSERR_INVALPARAM;
    }
}

inline MMRESULT check_header(const MIDIHDR *header, UINT size)
{
    return header && size >= sizeof(MIDIHDR) ? MMSYSERR_NOERROR : MMSYSERR_INVALPARAM;
}

// A header that describes a buffer.
inline MMRESULT check_buffer(const MIDIHDR *header, UINT size)
{
    if (check_header(header, size) != MMSYSERR_NOERROR || !header->lpData || header->dwBufferLength == 0)
        return MMSYSERR_INVALPARAM;
    return MMSYSERR_NOERROR;
}

inline DWORD header_flags(const MIDIHDR *header)
{
    return __atomic_load_n(&header->dwFlags, __ATOMIC_ACQUIRE);
}

inline void change_header_flags(MIDIHDR *header, DWORD set, DWORD clear)
{
    DWORD flags = __atomic_load_n(&header->dwFlags, __ATOMIC_RELAXED);
    while (!__atomic_compare_exchange_n(&header->dwFlags, &flags, (flags & ~clear) | set, true,
                                        __ATOMIC_ACQ_REL, __ATOMIC_RELAXED)) {
    }
}

} // namespace vzmidi

#endif
