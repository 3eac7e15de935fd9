/* The recorder's MIDI control port over the Windows Multimedia MIDI API:
 * one framed message in flight each way, replies collected by the input
 * callback into a single pending slot. */
#include "vzmsg_devs_midi_win.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "vzmsg_diag.h"
#include "vzmsg_midi.h"

/* How long send waits for its message to go out and receive waits for a
 * message to come in. */
#define WAIT_MS 100
/* Close waits this many times WAIT_MS for the input's close notification. */
#define CLOSE_WAITS 10
#define SYSEX_END 0xF7

/* A failing platform call: the line prefix, then the result's name. */
#define VZMSG_RESULT_LINE(result)                                                                            \
    do {                                                                                                     \
        printf("%s:%d:", __FILE__, __LINE__);                                                                \
        vzmsg_devs_print_mmresult(result);                                                                   \
    } while (0)

static const struct {
    MMRESULT code;
    const char *name;
} mmresult_names[] = {
    {0, "MMSYSERR_NOERROR"},     {2, "MMSYSERR_BADDEVICEID"}, {4, "MMSYSERR_ALLOCATED"},
    {5, "MMSYSERR_INVALHANDLE"}, {6, "MMSYSERR_NODRIVER"},    {7, "MMSYSERR_NOMEM"},
    {11, "MMSYSERR_INVALPARAM"}, {64, "MIDIERR_UNPREPARED"},  {65, "MIDIERR_STILLPLAYING"},
    {68, "MIDIERR_NODEVICE"},
};

static const char *mmresult_name(MMRESULT result)
{
    for (size_t i = 0; i < sizeof mmresult_names / sizeof mmresult_names[0]; i++)
        if (mmresult_names[i].code == result)
            return mmresult_names[i].name;
    return "UNKNOWN";
}

void vzmsg_devs_print_mmresult(MMRESULT result)
{
    printf("MMRESULT %#x: %s\n", (unsigned)result, mmresult_name(result));
}

void vzmsg_devs_dump(const uint8_t *bytes, uint64_t count)
{
    for (uint64_t i = 0; i < count; i++)
        printf(" %02x", bytes[i]);
    printf("\n");
}

/* Header flags are set by the platform on its callback thread. */
static int header_has(const MIDIHDR *header, DWORD flag)
{
    return (__atomic_load_n(&header->dwFlags, __ATOMIC_ACQUIRE) & flag) != 0;
}

/* Wine's WinMM names a port of the ALSA sequencer "CLIENT - PORT", so the
 * recorder's port reads "Veldracorder Q7 - Q7 CONTROL" there; on Windows a
 * USB-MIDI port carries the device's own name, and only that is taken. */
static int running_under_wine(void)
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != NULL;
}

static int has_recorder_name(const WCHAR *name)
{
    static const WCHAR sequencer_suffix[] = L" - " VZMSG_DEVS_PORT_NAME;
    const size_t suffix_length = sizeof sequencer_suffix / sizeof *sequencer_suffix - 1;
    size_t length;

    if (wcsncmp(name, VZMSG_DEVS_PORT_NAME, MAXPNAMELEN) == 0)
        return 1;
    length = wcsnlen(name, MAXPNAMELEN);
    return length > suffix_length && wcscmp(name + length - suffix_length, sequencer_suffix) == 0 &&
           running_under_wine();
}

/* Whether a port whose capabilities read gave result is the recorder's,
 * by its name. A port that has gone since the count is skipped silently,
 * any other failing read with its result line. */
static int is_recorder_port(MMRESULT result, const WCHAR *name)
{
    if (result == MMSYSERR_BADDEVICEID)
        return 0;
    if (result != MMSYSERR_NOERROR) {
        VZMSG_RESULT_LINE(result);
        return 0;
    }
    return has_recorder_name(name);
}

/* Waiting -------------------------------------------------------------- */

static DWORD ms_since(DWORD start)
{
    return GetTickCount() - start;
}

/* Waits until the output header comes back done, at most WAIT_MS. */
static int wait_sent(vzmsg_dev_t *dev)
{
    DWORD start = GetTickCount();
    ResetEvent(dev->out_ring.event);
    for (;;) {
        if (header_has(&dev->out_header, MHDR_DONE))
            return 1;
        DWORD elapsed = ms_since(start);
        if (elapsed >= WAIT_MS || WaitForSingleObject(dev->out_ring.event, WAIT_MS - elapsed) == WAIT_FAILED)
            return header_has(&dev->out_header, MHDR_DONE);
    }
}

/* Waits until a frame is pending, at most about WAIT_MS. */
static void wait_pending(vzmsg_devs_mailbox *mailbox)
{
    DWORD start = GetTickCount();
    for (;;) {
        ResetEvent(mailbox->event);
        if (__atomic_load_n(&mailbox->pending_length, __ATOMIC_ACQUIRE) != 0)
            return;
        DWORD elapsed = ms_since(start);
        if (elapsed >= WAIT_MS || WaitForSingleObject(mailbox->event, WAIT_MS - elapsed) == WAIT_FAILED)
            return;
    }
}

/* Opening --------------------------------------------------------------- */

/* The first output named like the recorder's port that opens. */
static int open_output(vzmsg_dev_t *dev)
{
    UINT count = midiOutGetNumDevs();
    if (count == 0) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    for (UINT index = 0; index < count; index++) {
        MIDIOUTCAPSW caps;
        MMRESULT result = midiOutGetDevCapsW(index, &caps, sizeof caps);
        if (!is_recorder_port(result, caps.szPname))
            continue;
        dev->out_caps = caps;
        dev->out_index = index;
        result = midiOutOpen(&dev->out_handle, index, (DWORD_PTR)vzmsg_devs_out_proc,
                             (DWORD_PTR)&dev->out_ring, CALLBACK_FUNCTION);
        if (result == MMSYSERR_NOERROR)
            return 0;
        VZMSG_RESULT_LINE(result);
        dev->out_handle = NULL;
    }
    VZMSG_ERROR_LINE();
    return 1;
}

/* The first input named like the recorder's port that opens. */
static int open_input(vzmsg_dev_t *dev)
{
    UINT count = midiInGetNumDevs();
    if (count == 0) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    for (UINT index = 0; index < count; index++) {
        MIDIINCAPSW caps;
        MMRESULT result = midiInGetDevCapsW(index, &caps, sizeof caps);
        if (!is_recorder_port(result, caps.szPname))
            continue;
        dev->in_caps = caps;
        dev->in_index = index;
        result = midiInOpen(&dev->in_handle, index, (DWORD_PTR)vzmsg_devs_in_proc,
                            (DWORD_PTR)&dev->in_mailbox, CALLBACK_FUNCTION);
        if (result == MMSYSERR_NOERROR)
            return 0;
        VZMSG_RESULT_LINE(result);
        dev->in_handle = NULL;
    }
    VZMSG_ERROR_LINE();
    return 1;
}

/* Queues the receive buffer and starts input. */
static int start_input(vzmsg_dev_t *dev)
{
    MMRESULT result;

    dev->in_header.lpData = malloc(VZMSG_DEVS_BUFFER_SIZE);
    if (!dev->in_header.lpData) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    dev->in_header.dwBufferLength = VZMSG_DEVS_BUFFER_SIZE;
    result = midiInPrepareHeader(dev->in_handle, &dev->in_header, sizeof dev->in_header);
    if (result == MMSYSERR_NOERROR)
        result = midiInAddBuffer(dev->in_handle, &dev->in_header, sizeof dev->in_header);
    if (result == MMSYSERR_NOERROR)
        result = midiInStart(dev->in_handle);
    if (result != MMSYSERR_NOERROR) {
        VZMSG_RESULT_LINE(result);
        return 1;
    }
    return 0;
}

/* The events and the lock exist before the ports open, since the
 * callbacks may run as soon as a port is open. */
int vzmsg_devs_open(vzmsg_dev_t *dev)
{
    if (!dev) {
        VZMSG_ERROR_LINE();
        return 2;
    }
    memset(dev, 0, sizeof *dev);
    dev->out_ring.event = CreateEventW(NULL, FALSE, FALSE, NULL);
    dev->in_mailbox.event = CreateEventW(NULL, FALSE, FALSE, NULL);
    if (!dev->out_ring.event || !dev->in_mailbox.event) {
        VZMSG_ERROR_LINE();
        vzmsg_devs_close(dev);
        return 2;
    }
    InitializeCriticalSection(&dev->in_mailbox.lock);
    dev->in_mailbox.lock_ready = 1;
    if (open_output(dev) != 0 || open_input(dev) != 0 || start_input(dev) != 0) {
        VZMSG_ERROR_LINE();
        vzmsg_devs_close(dev);
        return 2;
    }
    __atomic_store_n(&dev->in_mailbox.running, 1, __ATOMIC_RELEASE);
    return 0;
}

/* Closing --------------------------------------------------------------- */

static void close_output(vzmsg_dev_t *dev)
{
    MMRESULT result;

    if (dev->out_handle) {
        /* A message that never came back would keep the port from closing. */
        if (dev->out_prepared && !header_has(&dev->out_header, MHDR_DONE)) {
            result = midiOutReset(dev->out_handle);
            if (result != MMSYSERR_NOERROR)
                VZMSG_RESULT_LINE(result);
        }
        if (dev->out_prepared) {
            result = midiOutUnprepareHeader(dev->out_handle, &dev->out_header, sizeof dev->out_header);
            if (result != MMSYSERR_NOERROR)
                VZMSG_RESULT_LINE(result);
            dev->out_prepared = 0;
        }
        result = midiOutClose(dev->out_handle);
        if (result != MMSYSERR_NOERROR)
            VZMSG_RESULT_LINE(result);
        dev->out_handle = NULL;
    }
    /* Only now: the close notification still signals the event. */
    if (dev->out_ring.event) {
        CloseHandle(dev->out_ring.event);
        dev->out_ring.event = NULL;
    }
}

/* Waits for the close notification, at most CLOSE_WAITS times WAIT_MS. */
static void wait_input_closed(vzmsg_devs_mailbox *mailbox)
{
    for (int i = 0; i < CLOSE_WAITS; i++) {
        ResetEvent(mailbox->event);
        if (__atomic_load_n(&mailbox->closed, __ATOMIC_ACQUIRE))
            return;
        WaitForSingleObject(mailbox->event, WAIT_MS);
    }
}

static void close_input(vzmsg_dev_t *dev)
{
    vzmsg_devs_mailbox *mailbox = &dev->in_mailbox;
    MMRESULT result;

    /* First, so that the buffer handed back by the reset stays with us.
     * Under the lock, so that a callback about to queue the buffer again
     * has done so before the reset below, which then returns it. The lock
     * is not held across the reset: the reset waits for the callbacks. */
    if (mailbox->lock_ready)
        EnterCriticalSection(&mailbox->lock);
    __atomic_store_n(&mailbox->running, 0, __ATOMIC_RELEASE);
    if (mailbox->lock_ready)
        LeaveCriticalSection(&mailbox->lock);
    if (dev->in_handle) {
        result = midiInStop(dev->in_handle);
        if (result != MMSYSERR_NOERROR)
            VZMSG_RESULT_LINE(result);
        result = midiInReset(dev->in_handle);
        if (result != MMSYSERR_NOERROR)
            VZMSG_RESULT_LINE(result);
        if (header_has(&dev->in_header, MHDR_PREPARED)) {
            result = midiInUnprepareHeader(dev->in_handle, &dev->in_header, sizeof dev->in_header);
            if (result != MMSYSERR_NOERROR)
                VZMSG_RESULT_LINE(result);
        }
        result = midiInClose(dev->in_handle);
        if (result != MMSYSERR_NOERROR)
            VZMSG_RESULT_LINE(result);
        wait_input_closed(mailbox);
        dev->in_handle = NULL;
    }
    free(dev->in_header.lpData);
    dev->in_header.lpData = NULL;
    if (mailbox->event) {
        CloseHandle(mailbox->event);
        mailbox->event = NULL;
    }
    if (mailbox->lock_ready) {
        mailbox->lock_ready = 0;
        DeleteCriticalSection(&mailbox->lock);
    }
}

int vzmsg_devs_close(vzmsg_dev_t *dev)
{
    if (!dev)
        return 0;
    close_output(dev);
    close_input(dev);
    return 0;
}

/* Sending --------------------------------------------------------------- */

/* Describes the frame in the output buffer, flags cleared. */
static void reset_out_header(vzmsg_dev_t *dev)
{
    dev->out_header.lpData = (LPSTR)dev->out_buffer;
    dev->out_header.dwBufferLength = (DWORD)dev->out_length;
    dev->out_header.dwBytesRecorded = 0;
    __atomic_store_n(&dev->out_header.dwFlags, 0, __ATOMIC_RELEASE);
}

/* Releases the header of the previous message. While that message has
 * not come back done the platform still owns the header and the buffer,
 * so neither may be touched: wait for it, and fail if it stays out. */
static int release_previous(vzmsg_dev_t *dev)
{
    MMRESULT result;

    if (!dev->out_prepared)
        return 0;
    if (!wait_sent(dev)) {
        VZMSG_ERROR_LINE();
        return 2;
    }
    result = midiOutUnprepareHeader(dev->out_handle, &dev->out_header, sizeof dev->out_header);
    if (result != MMSYSERR_NOERROR) {
        VZMSG_RESULT_LINE(result);
        VZMSG_ERROR_LINE();
        return 2;
    }
    dev->out_prepared = 0;
    return 0;
}

/* Hands the output header to the port; on failure it is released again,
 * since the platform never took it. */
static int hand_over(vzmsg_dev_t *dev)
{
    MMRESULT result = midiOutPrepareHeader(dev->out_handle, &dev->out_header, sizeof dev->out_header);
    if (result != MMSYSERR_NOERROR) {
        VZMSG_RESULT_LINE(result);
        VZMSG_ERROR_LINE();
        return 2;
    }
    dev->out_prepared = 1;
    result = midiOutLongMsg(dev->out_handle, &dev->out_header, sizeof dev->out_header);
    if (result != MMSYSERR_NOERROR) {
        VZMSG_RESULT_LINE(result);
        VZMSG_ERROR_LINE();
        midiOutUnprepareHeader(dev->out_handle, &dev->out_header, sizeof dev->out_header);
        dev->out_prepared = 0;
        return 2;
    }
    return 0;
}

/* A frame already pending cannot answer the request about to go out: it is
 * a reply that came after its receive gave up. Handing it to the next
 * receive would pair every later request with the previous one's reply, so
 * one late reply would fail the rest of an update. It is counted as dropped. */
static void discard_stale(vzmsg_devs_mailbox *mailbox)
{
    if (!mailbox->lock_ready)
        return;
    EnterCriticalSection(&mailbox->lock);
    if (mailbox->pending_length != 0) {
        __atomic_store_n(&mailbox->pending_length, 0, __ATOMIC_RELEASE);
        __atomic_fetch_add(&mailbox->dropped, 1, __ATOMIC_RELAXED);
    }
    LeaveCriticalSection(&mailbox->lock);
}

int vzmsg_devs_send(vzmsg_dev_t *dev, const uint8_t *payload, uint16_t length)
{
    uint8_t frame[VZMSG_DEVS_BUFFER_SIZE];
    uint64_t frame_length = 0;
    int result;

    if (!dev || !payload || length == 0)
        return 1;
    if (vzmsg_midi_encode(payload, length, frame, sizeof frame, &frame_length) != 0) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    result = release_previous(dev);
    if (result != 0)
        return result;
    discard_stale(&dev->in_mailbox);
    memcpy(dev->out_buffer, frame, frame_length);
    dev->out_length = frame_length;
    reset_out_header(dev);
    result = hand_over(dev);
    if (result == 0 && !wait_sent(dev)) {
        VZMSG_ERROR_LINE();
        result = 2;
    }
    /* Nothing reads the notifications; they only woke us. */
    __atomic_store_n(&dev->out_ring.read_index, __atomic_load_n(&dev->out_ring.write_index, __ATOMIC_ACQUIRE),
                     __ATOMIC_RELEASE);
    return result;
}

/* Receiving ------------------------------------------------------------- */

/* Empties the pending slot into frame; its length (0: nothing), or more
 * than VZMSG_DEVS_BUFFER_SIZE when the slot holds something impossible. */
static uint64_t take_pending(vzmsg_devs_mailbox *mailbox, uint8_t *frame)
{
    EnterCriticalSection(&mailbox->lock);
    uint64_t length = mailbox->pending_length;
    if (length <= VZMSG_DEVS_BUFFER_SIZE) {
        memcpy(frame, mailbox->pending, length);
        __atomic_store_n(&mailbox->pending_length, 0, __ATOMIC_RELEASE);
    }
    LeaveCriticalSection(&mailbox->lock);
    return length;
}

int vzmsg_devs_recv(vzmsg_dev_t *dev, uint8_t *payload, uint16_t capacity, uint8_t *length)
{
    uint8_t frame[VZMSG_DEVS_BUFFER_SIZE];
    uint64_t frame_length, payload_length = 0;

    if (!dev || !payload || capacity == 0)
        return 1;
    if (!dev->in_mailbox.lock_ready) {
        VZMSG_ERROR_LINE();
        return 2;
    }
    wait_pending(&dev->in_mailbox);
    frame_length = take_pending(&dev->in_mailbox, frame);
    if (frame_length > VZMSG_DEVS_BUFFER_SIZE) {
        VZMSG_ERROR_LINE();
        return 2;
    }
    if (frame_length == 0)
        return 0;
    if (vzmsg_midi_decode(frame, frame_length, payload, capacity, &payload_length) != 0) {
        VZMSG_ERROR_LINE();
        vzmsg_devs_dump(frame, frame_length);
        return 1;
    }
    /* The count is 8 bits wide: a full 256-byte record reads as 0. */
    if (length)
        *length = (uint8_t)payload_length;
    return 0;
}

/* Callbacks, on the platform's thread ------------------------------------- */

void CALLBACK vzmsg_devs_out_proc(HMIDIOUT handle, UINT code, DWORD_PTR instance, DWORD_PTR param1,
                                  DWORD_PTR param2)
{
    vzmsg_devs_ring *ring = (vzmsg_devs_ring *)instance;
    (void)handle;
    if (!ring)
        return;
    uint64_t write = __atomic_load_n(&ring->write_index, __ATOMIC_ACQUIRE);
    uint64_t next = (write + 1) % VZMSG_DEVS_RING_SIZE;
    if (next == __atomic_load_n(&ring->read_index, __ATOMIC_ACQUIRE)) {
        __atomic_fetch_add(&ring->overflow, 1, __ATOMIC_RELAXED);
    } else {
        ring->notifications[write].code = code;
        ring->notifications[write].param1 = param1;
        ring->notifications[write].param2 = param2;
        __atomic_store_n(&ring->write_index, next, __ATOMIC_RELEASE);
    }
    SetEvent(ring->event);
}

/* The older pending frame wins: a second one is counted and dropped. */
static void keep_frame(vzmsg_devs_mailbox *mailbox, const uint8_t *bytes, uint64_t length)
{
    if (length > VZMSG_DEVS_BUFFER_SIZE) {
        __atomic_fetch_add(&mailbox->oversized, 1, __ATOMIC_RELAXED);
        if (length > __atomic_load_n(&mailbox->largest_oversized, __ATOMIC_RELAXED))
            __atomic_store_n(&mailbox->largest_oversized, (uint32_t)length, __ATOMIC_RELAXED);
        return;
    }
    EnterCriticalSection(&mailbox->lock);
    if (mailbox->pending_length == 0) {
        memcpy(mailbox->pending, bytes, length);
        __atomic_store_n(&mailbox->pending_length, length, __ATOMIC_RELEASE);
    } else {
        __atomic_fetch_add(&mailbox->dropped, 1, __ATOMIC_RELAXED);
    }
    LeaveCriticalSection(&mailbox->lock);
}

/* A buffer that came back: keep a complete message's bytes, and give the
 * buffer back to the port while input runs. A buffer returned with an
 * error (an incomplete message) is given back too, or input would stop. */
static void take_buffer(HMIDIIN handle, vzmsg_devs_mailbox *mailbox, UINT code, MIDIHDR *header)
{
    if (!header || !header_has(header, MHDR_DONE))
        return;
    uint64_t length = header->dwBytesRecorded;
    if (code == MIM_LONGDATA && length > 0) {
        const uint8_t *bytes = (const uint8_t *)header->lpData;
        if (bytes[length - 1] != SYSEX_END)
            printf("  last byte != 0xf7\n");
        keep_frame(mailbox, bytes, length);
    }
    /* Close clears running under the lock: checked and queued under it,
     * the buffer cannot go back to the port after close's reset. */
    EnterCriticalSection(&mailbox->lock);
    if (__atomic_load_n(&mailbox->running, __ATOMIC_ACQUIRE) && header_has(header, MHDR_PREPARED)) {
        MMRESULT result = midiInAddBuffer(handle, header, sizeof *header);
        if (result != MMSYSERR_NOERROR)
            VZMSG_RESULT_LINE(result);
    }
    LeaveCriticalSection(&mailbox->lock);
}

void CALLBACK vzmsg_devs_in_proc(HMIDIIN handle, UINT code, DWORD_PTR instance, DWORD_PTR param1,
                                 DWORD_PTR param2)
{
    vzmsg_devs_mailbox *mailbox = (vzmsg_devs_mailbox *)instance;
    if (!mailbox)
        return;
    mailbox->last.code = code;
    mailbox->last.param1 = param1;
    mailbox->last.param2 = param2;
    if (code == MIM_CLOSE)
        __atomic_store_n(&mailbox->closed, 1, __ATOMIC_RELEASE);
    if (code == MIM_LONGDATA || code == MIM_LONGERROR)
        take_buffer(handle, mailbox, code, (MIDIHDR *)param1);
    SetEvent(mailbox->event);
}
