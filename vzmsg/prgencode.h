/* The inverse of the image decoding: makes images for tools and tests. */
#ifndef PRGENCODE_H
#define PRGENCODE_H

#include "prgdecode.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The inverse of PRG_DECODE_BYTE: exclusive-or 0xA5, rotate right by 3. */
#define PRG_ENCODE_BYTE(d)                                                                                   \
    ((uint8_t)(((((unsigned)(d) ^ PRG_DECODE_KEY) & 0xFF) >> PRG_DECODE_ROTATE) |                            \
               ((((unsigned)(d) ^ PRG_DECODE_KEY) << (8 - PRG_DECODE_ROTATE)) & 0xFF)))

extern const uint8_t prg_encode_table[256];

/* dst[i] = prg_encode_table[src[i]]; returns count (nothing for count < 1). */
int32_t prg_encode(uint8_t *dst, const uint8_t *src, int32_t count);

typedef struct prg_image_info {
    char product[8]; /* copied as is; shorter codes are zero padded */
    uint16_t version;
    uint16_t build;
    uint16_t year;
    uint8_t month;
    uint8_t day;
} prg_image_info;

/* Writes a complete image (header, encoded payload, encoded trailer) of
 * payload_length + PRG_MIN_IMAGE_SIZE bytes into out; the checksum is the
 * payload's byte sum modulo 2^32. payload may be null when payload_length
 * is 0. 0 on success, 1 (with a diagnostic line) when out is too small, the
 * image would reach 2 GiB or an argument is missing. */
int prg_build_image(const prg_image_info *info, const uint8_t *payload, int32_t payload_length, uint8_t *out,
                    int32_t capacity);

#ifdef __cplusplus
}
#endif

#endif
