/* Virtual MIDI ports: a process-local registry in which a test or the
 * recorder simulator plays the device side of a named input/output pair,
 * exchanging whole MIDI messages with whoever opens it through the
 * Windows MIDI functions of the stand-in. The back-end's name, for the
 * VZMIDI_BACKENDS selection, is "virtual". */
#ifndef VZMIDI_VIRTUAL_H
#define VZMIDI_VIRTUAL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vzmidi_virtual_port vzmidi_virtual_port;

/* Device side of the port: each whole message the host sends on the
 * output arrives here before the host's send completes, on the host's
 * sending thread (a held message: on the thread that ends the hold), so it
 * should return soon, like a device that takes the bytes. It may call
 * vzmidi_virtual_deliver (to answer at once) and any other function of
 * this header on its own port. */
typedef void (*vzmidi_virtual_receive)(void *context, const uint8_t *bytes, size_t length);

/* The ports a registration offers the host, as seen from the host. */
#define VZMIDI_VIRTUAL_OUTPUT 1 /* the host sends on it; messages reach receive */
#define VZMIDI_VIRTUAL_INPUT 2  /* the host receives on it what deliver hands over */

/* Registers a pair (one output and one input, both named name; names are
 * cut to 31 bytes). receive may be null. Several ports may share a name;
 * they are listed in the order of registration. The pointer is valid
 * until vzmidi_virtual_unregister. */
vzmidi_virtual_port *vzmidi_virtual_register(const char *name, vzmidi_virtual_receive receive, void *context);
/* The same with only some of the two ports: ports is VZMIDI_VIRTUAL_OUTPUT,
 * VZMIDI_VIRTUAL_INPUT or both. Null for no name or no port. */
vzmidi_virtual_port *vzmidi_virtual_register_ports(const char *name, int ports,
                                                   vzmidi_virtual_receive receive, void *context);

/* Device to host: hands one whole message to the open input.
 * 0 delivered, 1 when nobody has the input open. */
int vzmidi_virtual_deliver(vzmidi_virtual_port *port, const uint8_t *bytes, size_t length);

/* While busy, opening the pair fails as if another program held it. */
void vzmidi_virtual_set_busy(vzmidi_virtual_port *port, int busy);

/* Test hook. While hold is set, messages the host sends are held back:
 * receive is not called and the host's send does not complete (no done
 * notification) until the hold is cleared, when they go out in order on
 * the clearing thread. Closing the output or unregistering the port loses
 * them. Input goes on meanwhile, so a reply can reach the host while its
 * send still waits. */
void vzmidi_virtual_hold(vzmidi_virtual_port *port, int hold);

/* Test hook: what the host has done with the port so far. */
typedef struct vzmidi_virtual_state {
    int output_open;       /* the host has the output open now */
    int input_open;        /* the host has the input open now */
    unsigned output_opens; /* times the host has opened the output */
    unsigned input_opens;  /* times the host has opened the input */
} vzmidi_virtual_state;
void vzmidi_virtual_get_state(vzmidi_virtual_port *port, vzmidi_virtual_state *state);

/* Removes the pair, as an unplugged device: open handles see it vanish
 * (sends fail, nothing more arrives). No receive call is running or made
 * once this returns, except the one that made this call, if any. */
void vzmidi_virtual_unregister(vzmidi_virtual_port *port);

#ifdef __cplusplus
}
#endif

#endif
