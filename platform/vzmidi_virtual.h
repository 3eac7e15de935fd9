/* Virtual MIDI ports: a process-local registry in which a test or the
 * recorder simulator plays the device side of a named input/output pair,
 * exchanging whole MIDI messages with whoever opens it through the
 * Windows MIDI functions of the stand-in. */
#ifndef VZMIDI_VIRTUAL_H
#define VZMIDI_VIRTUAL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vzmidi_virtual_port vzmidi_virtual_port;

/* Device side of the port: each whole message the host sends on the
 * output arrives here, on a thread of the stand-in. */
typedef void (*vzmidi_virtual_receive)(void *context, const uint8_t *bytes, size_t length);

/* Registers a pair (one output and one input, both named name). */
vzmidi_virtual_port *vzmidi_virtual_register(const char *name, vzmidi_virtual_receive receive, void *context);

/* Device to host: hands one whole message to the open input.
 * 0 delivered, 1 when nobody has the input open. */
int vzmidi_virtual_deliver(vzmidi_virtual_port *port, const uint8_t *bytes, size_t length);

/* While busy, opening the pair fails as if another program held it. */
void vzmidi_virtual_set_busy(vzmidi_virtual_port *port, int busy);

/* Removes the pair, as an unplugged device: open handles see it vanish.
 * No receive call is running or made once this returns. */
void vzmidi_virtual_unregister(vzmidi_virtual_port *port);

#ifdef __cplusplus
}
#endif

#endif
