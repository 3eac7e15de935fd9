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

extern const uint8_t prg_decode_table[256];

int32_t prg_decode(uint8_t *dst, const uint8_t *src, int32_t count);
uint8_t *prg_load_file(const char *path, int32_t *length);
int prg_read_header(prg_header *header, const char *path);
int prg_set_header(prg_header *header, const uint8_t *image);
int prg_get_product(const prg_header *header, char *buffer, int size);
uint16_t prg_get_version(const prg_header *header);
uint16_t prg_get_build(const prg_header *header);
uint16_t prg_get_year(const prg_header *header);
uint8_t prg_get_month(const prg_header *header);
uint8_t prg_get_day(const prg_header *header);
uint32_t prg_get_checksum(const prg_header *header);
uint32_t prg_get_size(const prg_header *header);
uint32_t prg_get_data_size(const prg_header *header);
int prg_check(const uint8_t *image, int32_t length);
int prg_check_file(const char *path);
int prg_decode_file(const char *path);
int prg_print_info(const char *path);

#ifdef __cplusplus
}
#endif

#endif
