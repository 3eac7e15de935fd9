/* System Exclusive framing of message records. */
#ifndef VZMSG_MIDI_H
#define VZMSG_MIDI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Regroups a bit stream (least significant bit first) from src_width-bit
 * elements into dst_width-bit elements, one element per byte. Moves the
 * smaller of src_count * src_width and dst_capacity * dst_width bits, cut
 * down to whole destination elements when src_width < dst_width; source
 * bits above src_width are ignored, destination bits above dst_width are 0.
 * src_used and dst_produced (optional) receive the elements touched, each
 * rounded up. Returns the number of bits moved; 0 (and a diagnostic line)
 * for a width outside 1 to 8. A null buffer counts as empty. */
uint64_t vzmsg_midi_repack(const uint8_t *src, uint64_t src_count, uint8_t src_width, uint64_t *src_used,
                           uint8_t *dst, uint64_t dst_capacity, uint8_t dst_width, uint64_t *dst_produced);

/* A frame is F0 4E 50 23 00, ceil(8 * N / 7) data bytes, F7. Both answer 0
 * on success and 1 (with a diagnostic line) on failure; the output may be
 * partly written then. Decoding ignores bit 7 of the data bytes and drops
 * leftover bits that do not fill a whole payload byte. */
int vzmsg_midi_encode(const uint8_t *payload, uint64_t length, uint8_t *out, uint64_t capacity,
                      uint64_t *frame_length);
int vzmsg_midi_decode(const uint8_t *frame, uint64_t length, uint8_t *out, uint64_t capacity,
                      uint64_t *payload_length);

#ifdef __cplusplus
}
#endif

#endif
