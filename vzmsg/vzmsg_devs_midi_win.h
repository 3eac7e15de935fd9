/* The recorder's MIDI control port over the Windows Multimedia MIDI API. */
#ifndef VZMSG_DEVS_MIDI_WIN_H
#define VZMSG_DEVS_MIDI_WIN_H

#include <stdint.h>

#include <windows.h>
#include <mmsystem.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VZMSG_DEVS_PORT_NAME L"Q7 CONTROL"
#define VZMSG_DEVS_BUFFER_SIZE 2048
#define VZMSG_DEVS_RING_SIZE 8

typedef struct vzmsg_devs_notification {
    uint32_t code;
    uint64_t param1;
    uint64_t param2;
} vzmsg_devs_notification;

/* Instance data of the output callback. */
typedef struct vzmsg_devs_ring {
    vzmsg_devs_notification notifications[VZMSG_DEVS_RING_SIZE]; /* not "slots": a Qt keyword macro */
    uint64_t read_index;
    uint64_t write_index;
    int32_t overflow;
    HANDLE event;
} vzmsg_devs_ring;

/* Instance data of the input callback. */
typedef struct vzmsg_devs_mailbox {
    vzmsg_devs_notification last;
    int32_t oversized;
    uint32_t largest_oversized;
    int32_t dropped;
    uint8_t pending[VZMSG_DEVS_BUFFER_SIZE];
    uint64_t pending_length; /* guarded by lock; 0 means empty */
    int32_t running;
    int32_t closed;
    CRITICAL_SECTION lock;
    int32_t lock_ready;
    HANDLE event;
} vzmsg_devs_mailbox;

typedef struct vzmsg_dev {
    /* output side */
    MIDIOUTCAPSW out_caps;
    uint32_t out_index;
    HMIDIOUT out_handle;
    MIDIHDR out_header;
    int32_t out_prepared;
    vzmsg_devs_ring out_ring;
    uint8_t out_buffer[VZMSG_DEVS_BUFFER_SIZE];
    uint64_t out_length;
    /* input side */
    MIDIINCAPSW in_caps;
    uint32_t in_index;
    HMIDIIN in_handle;
    MIDIHDR in_header;
    vzmsg_devs_mailbox in_mailbox;
} vzmsg_dev_t;

int vzmsg_devs_open(vzmsg_dev_t *dev);
int vzmsg_devs_close(vzmsg_dev_t *dev);
int vzmsg_devs_send(vzmsg_dev_t *dev, const uint8_t *payload, uint16_t length);
int vzmsg_devs_recv(vzmsg_dev_t *dev, uint8_t *payload, uint16_t capacity, uint8_t *length);
void CALLBACK vzmsg_devs_out_proc(HMIDIOUT handle, UINT code, DWORD_PTR instance, DWORD_PTR param1,
                                  DWORD_PTR param2);
void CALLBACK vzmsg_devs_in_proc(HMIDIIN handle, UINT code, DWORD_PTR instance, DWORD_PTR param1,
                                 DWORD_PTR param2);
void vzmsg_devs_dump(const uint8_t *bytes, uint64_t count);
void vzmsg_devs_print_mmresult(MMRESULT result);

#ifdef __cplusplus
}
#endif

#endif
