/* System Exclusive framing of message records. */
#ifndef VZMSG_MIDI_H
#define VZMSG_MIDI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Regroups a bit stream (least significant bit first) from src_width-bit
 * elements into dst_width-bit elements, one element per byte. Returns the
 * number of bits moved. */
uint64_t vzmsg_midi_repack(const uint8_t *src, uint64_t src_count, uint8_t src_width, uint64_t *src_used,
                           uint8_t *dst, uint64_t dst_capacity, uint8_t dst_width, uint64_t *dst_produced);

/* 0 on success, 1 on failure. */
int vzmsg_midi_encode(const uint8_t *payload, uint64_t length, uint8_t *out, uint64_t capacity,
                      uint64_t *frame_length);
int vzmsg_midi_decode(const uint8_t *frame, uint64_t length, uint8_t *out, uint64_t capacity,
                      uint64_t *payload_length);

#ifdef __cplusplus
}
#endif

#endif
