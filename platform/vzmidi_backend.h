/* The stand-in's MIDI back-ends: each one is a source of named ports.
 * The Windows MIDI functions of the stand-in list and open ports through
 * this interface only, so a back-end is one file that fills one table,
 * listed in backends.cpp. */
#ifndef VZMIDI_BACKEND_H
#define VZMIDI_BACKEND_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VZMIDI_NAME_MAX 32 /* characters, as in the Windows capabilities record */

typedef struct vzmidi_endpoint {
    uintptr_t id;               /* the back-end's own key for the port, never reused */
    char name[VZMIDI_NAME_MAX]; /* UTF-8, zero terminated */
} vzmidi_endpoint;

/* Called by a back-end on any thread of its own: one whole MIDI message
 * that arrived on an open input. */
typedef void (*vzmidi_sink)(void *context, const uint8_t *bytes, size_t length);
/* Called by a back-end when an open port has gone (unplugged). */
typedef void (*vzmidi_gone)(void *context);
/* What a send answers when the message goes out later: the back-end then
 * calls vzmidi_output_sent. */
#define VZMIDI_SEND_PENDING 2

typedef struct vzmidi_backend {
    const char *name; /* for the VZMIDI_BACKENDS selection */
    /* Lists the current inputs (is_input 1) or outputs (0) into out;
     * returns how many there are (may exceed max: only max are written). */
    size_t (*list)(int is_input, vzmidi_endpoint *out, size_t max);
    /* Opens a port. Inputs deliver messages to sink; both report gone.
     * Returns a handle, or null when the port cannot be opened. */
    void *(*open)(int is_input, uintptr_t id, vzmidi_sink sink, vzmidi_gone gone, void *context);
    /* Sends one whole MIDI message on an open output, on the caller's
     * thread, which waits in it: 0 sent, VZMIDI_SEND_PENDING when it will
     * go out later (vzmidi_output_sent follows), anything else failed. The
     * bytes are valid during the call only. */
    int (*send)(void *handle, const uint8_t *bytes, size_t length);
    /* Closes a port; no sink, gone or vzmidi_output_sent call happens
     * after it returns (pending messages are then lost). */
    void (*close)(void *handle);
} vzmidi_backend;

/* Provided by the stand-in: a message whose send answered
 * VZMIDI_SEND_PENDING has gone out. context is the output's, as given to
 * open; calls come in the order of the sends, on any thread. */
void vzmidi_output_sent(void *context);

#ifdef __cplusplus
}
#endif

#endif
