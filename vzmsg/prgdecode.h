/* Firmware image: header access, body decoding and the checksum test. */
#ifndef PRGDECODE_H
#define PRGDECODE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PRG_HEADER_SIZE 32
/* Header and trailer: the smallest image that can be valid. */
#define PRG_MIN_IMAGE_SIZE 36

/* The 32-byte header; every multi-byte field is big-endian. */
typedef struct prg_header {
    uint8_t product[8]; /* ends at the first zero byte when shorter than 8 */
    uint8_t version[2]; /* hundredths: 102 is 1.02 */
    uint8_t build[2];
    uint8_t year[2];
    uint8_t month;
    uint8_t day;
    uint8_t checksum[4]; /* sum of the decoded payload, modulo 2^32 */
    uint8_t size[4];     /* whole image, header included */
    uint8_t reserved[8];
} prg_header;

/* The body's byte code: a stored byte v decodes to v rotated left by 3
 * bits, then exclusive-or 0xA5. prg_decode_table holds this for every v;
 * prgencode.h has the inverse. */
#define PRG_DECODE_ROTATE 3
#define PRG_DECODE_KEY 0xA5
#define PRG_DECODE_BYTE(v)                                                                                   \
    ((uint8_t)((((unsigned)(v) << PRG_DECODE_ROTATE) | ((unsigned)(v) >> (8 - PRG_DECODE_ROTATE))) ^         \
               PRG_DECODE_KEY))

extern const uint8_t prg_decode_table[256];

/* The 256 initialisers f(0) to f(255) of a table over byte values. */
#define PRG_BYTE_ROW(f, r)                                                                                   \
    f(r + 0), f(r + 1), f(r + 2), f(r + 3), f(r + 4), f(r + 5), f(r + 6), f(r + 7), f(r + 8), f(r + 9),      \
        f(r + 10), f(r + 11), f(r + 12), f(r + 13), f(r + 14), f(r + 15)
#define PRG_BYTE_TABLE(f)                                                                                    \
    PRG_BYTE_ROW(f, 0x00), PRG_BYTE_ROW(f, 0x10), PRG_BYTE_ROW(f, 0x20), PRG_BYTE_ROW(f, 0x30),              \
        PRG_BYTE_ROW(f, 0x40), PRG_BYTE_ROW(f, 0x50), PRG_BYTE_ROW(f, 0x60), PRG_BYTE_ROW(f, 0x70),          \
        PRG_BYTE_ROW(f, 0x80), PRG_BYTE_ROW(f, 0x90), PRG_BYTE_ROW(f, 0xA0), PRG_BYTE_ROW(f, 0xB0),          \
        PRG_BYTE_ROW(f, 0xC0), PRG_BYTE_ROW(f, 0xD0), PRG_BYTE_ROW(f, 0xE0), PRG_BYTE_ROW(f, 0xF0)

/* Results: 0 success, 1 failure, unless said otherwise; every failure also
 * prints a diagnostic line. Sizes are signed 32-bit: images of 2 GiB or
 * more are out of range. */

/* dst[i] = prg_decode_table[src[i]]; returns count (nothing for count < 1). */
int32_t prg_decode(uint8_t *dst, const uint8_t *src, int32_t count);
/* The whole file in a new buffer (caller frees), or null; an empty file or
 * one of 2 GiB or more fails. */
uint8_t *prg_load_file(const char *path, int32_t *length);
/* Clears the header, then reads the file's first 32 bytes into it. */
int prg_read_header(prg_header *header, const char *path);
/* Copies the image's first 32 bytes (nothing for a null image); returns 32. */
int prg_set_header(prg_header *header, const uint8_t *image);
/* The product code, zero terminated; -1 for a buffer of 8 bytes or less. */
int prg_get_product(const prg_header *header, char *buffer, int size);
uint16_t prg_get_version(const prg_header *header);
uint16_t prg_get_build(const prg_header *header);
uint16_t prg_get_year(const prg_header *header);
uint8_t prg_get_month(const prg_header *header);
uint8_t prg_get_day(const prg_header *header);
uint32_t prg_get_checksum(const prg_header *header);
uint32_t prg_get_size(const prg_header *header);
/* The payload length, total size - 36; 0 when the total size is smaller. */
uint32_t prg_get_data_size(const prg_header *header);
/* The checksum test: passes (0) when the header checksum, the sum of the
 * decoded payload modulo 2^32 and the decoded trailer agree. The image is
 * read only; bytes behind the declared total size are ignored. A declared
 * size below 36 fails. */
int prg_check(const uint8_t *image, int32_t length);
int prg_check_file(const char *path);
/* Writes the decoded bytes behind the header to path + ".bin"; a path of
 * more than 507 characters is refused. */
int prg_decode_file(const char *path);
/* Prints the header fields and the checksum test's result; 0 or -1. */
int prg_print_info(const char *path);

#ifdef __cplusplus
}
#endif

#endif
