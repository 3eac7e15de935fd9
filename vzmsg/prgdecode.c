/* Firmware image: header fields, body decoding and the checksum test. */
#include "prgdecode.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vzmsg_diag.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

const uint8_t prg_decode_table[256] = {PRG_BYTE_TABLE(PRG_DECODE_BYTE)};

/* Room for a path plus ".bin" and its terminator. */
#define OUTPUT_PATH_SIZE 512
#define OUTPUT_SUFFIX ".bin"
#define PATH_MAX_LENGTH (OUTPUT_PATH_SIZE - 1 - (int)(sizeof OUTPUT_SUFFIX - 1))
#define TRAILER_SIZE 4
/* The header's fields up to and including the total size. */
#define SIZE_FIELD_END 24

static uint32_t load_be(const uint8_t *bytes, int count)
{
    uint32_t value = 0;
    for (int i = 0; i < count; i++)
        value = value << 8 | bytes[i];
    return value;
}

int32_t prg_decode(uint8_t *dst, const uint8_t *src, int32_t count)
{
    for (int32_t i = 0; i < count; i++)
        dst[i] = prg_decode_table[src[i]];
    return count;
}

static long file_length(FILE *file)
{
    if (fseek(file, 0, SEEK_END) != 0) {
        VZMSG_ERROR_LINE();
        return -1;
    }
    long length = ftell(file);
    if (length <= 0 || length > INT32_MAX) {
        VZMSG_ERROR_LINE();
        return -1;
    }
    if (fseek(file, 0, SEEK_SET) != 0) {
        VZMSG_ERROR_LINE();
        return -1;
    }
    return length;
}

static uint8_t *read_all(FILE *file, long length)
{
    uint8_t *data = malloc((size_t)length);
    if (!data) {
        VZMSG_ERROR_LINE();
        return NULL;
    }
    if (fread(data, 1, (size_t)length, file) != (size_t)length) {
        VZMSG_ERROR_LINE();
        free(data);
        return NULL;
    }
    return data;
}

uint8_t *prg_load_file(const char *path, int32_t *length)
{
    FILE *file = path ? fopen(path, "rb") : NULL;
    if (!file) {
        VZMSG_ERROR_LINE();
        return NULL;
    }
    long size = file_length(file);
    uint8_t *data = size > 0 ? read_all(file, size) : NULL;
    fclose(file);
    if (data && length)
        *length = (int32_t)size;
    return data;
}

int prg_read_header(prg_header *header, const char *path)
{
    if (!header) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    memset(header, 0, sizeof *header);
    FILE *file = path ? fopen(path, "rb") : NULL;
    if (!file) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    size_t got = fread(header, PRG_HEADER_SIZE, 1, file);
    fclose(file);
    if (got != 1) {
        VZMSG_ERROR_LINE();
        memset(header, 0, sizeof *header);
        return 1;
    }
    return 0;
}

int prg_set_header(prg_header *header, const uint8_t *image)
{
    if (header && image)
        memcpy(header, image, PRG_HEADER_SIZE);
    return PRG_HEADER_SIZE;
}

int prg_get_product(const prg_header *header, char *buffer, int size)
{
    if (!header || !buffer || size <= (int)sizeof header->product) {
        VZMSG_ERROR_LINE();
        return -1;
    }
    memcpy(buffer, header->product, sizeof header->product);
    buffer[sizeof header->product] = '\0';
    return 0;
}

uint16_t prg_get_version(const prg_header *header)
{
    return (uint16_t)load_be(header->version, 2);
}
uint16_t prg_get_build(const prg_header *header)
{
    return (uint16_t)load_be(header->build, 2);
}
uint16_t prg_get_year(const prg_header *header)
{
    return (uint16_t)load_be(header->year, 2);
}
uint8_t prg_get_month(const prg_header *header)
{
    return header->month;
}
uint8_t prg_get_day(const prg_header *header)
{
    return header->day;
}
uint32_t prg_get_checksum(const prg_header *header)
{
    return load_be(header->checksum, 4);
}
uint32_t prg_get_size(const prg_header *header)
{
    return load_be(header->size, 4);
}

uint32_t prg_get_data_size(const prg_header *header)
{
    uint32_t size = prg_get_size(header);
    return size < PRG_MIN_IMAGE_SIZE ? 0 : size - PRG_MIN_IMAGE_SIZE;
}

#ifdef __SSE2__
/* PRG_DECODE_BYTE on 16 bytes at once: the rotation is two 16-bit shifts
 * with the bits that crossed into a neighbouring byte masked away. */
static __m128i decode16(__m128i stored)
{
    const __m128i high = _mm_set1_epi8((char)(0xFF << PRG_DECODE_ROTATE));
    const __m128i low = _mm_set1_epi8((char)(0xFF >> (8 - PRG_DECODE_ROTATE)));
    const __m128i key = _mm_set1_epi8((char)PRG_DECODE_KEY);
    __m128i left = _mm_and_si128(_mm_slli_epi16(stored, PRG_DECODE_ROTATE), high);
    __m128i right = _mm_and_si128(_mm_srli_epi16(stored, 8 - PRG_DECODE_ROTATE), low);
    return _mm_xor_si128(_mm_or_si128(left, right), key);
}

/* Sum of the decoded bytes of the leading whole 64-byte blocks; *done
 * receives how many bytes they were. */
static uint64_t sum_decoded_blocks(const uint8_t *bytes, size_t count, size_t *done)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i acc[4] = {zero, zero, zero, zero};
    size_t i = 0;
    for (; i + 64 <= count; i += 64)
        for (int j = 0; j < 4; j++) {
            __m128i stored = _mm_loadu_si128((const __m128i *)(bytes + i + 16 * j));
            acc[j] = _mm_add_epi64(acc[j], _mm_sad_epu8(decode16(stored), zero));
        }
    __m128i total = _mm_add_epi64(_mm_add_epi64(acc[0], acc[1]), _mm_add_epi64(acc[2], acc[3]));
    uint64_t lanes[2];
    _mm_storeu_si128((__m128i *)lanes, total);
    *done = i;
    return lanes[0] + lanes[1];
}
#else
static uint64_t sum_decoded_blocks(const uint8_t *bytes, size_t count, size_t *done)
{
    (void)bytes;
    (void)count;
    *done = 0;
    return 0;
}
#endif

/* Sum of the decoded bytes modulo 2^32, without writing them anywhere. */
static uint32_t sum_decoded(const uint8_t *bytes, size_t count)
{
    size_t i;
    uint64_t sum = sum_decoded_blocks(bytes, count, &i);
    for (; i < count; i++)
        sum += prg_decode_table[bytes[i]];
    return (uint32_t)sum;
}

static void print_sum_mismatch(int32_t data_size, uint32_t sum, uint32_t header_sum)
{
    printf("check_size = %ld, real sum = %#lx, hdr sum = %#lx\n", (long)data_size, (unsigned long)sum,
           (unsigned long)header_sum);
}

int prg_check(const uint8_t *image, int32_t length)
{
    if (!image) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    const prg_header *header = (const prg_header *)image;
    /* Memory too short to hold the size field is judged by its length alone,
     * without reading past it. */
    uint32_t size = 0;
    if (length >= SIZE_FIELD_END) {
        size = prg_get_size(header);
        if (size == 0) {
            VZMSG_ERROR_LINE();
            return 1;
        }
        if ((int64_t)length < (int64_t)size) {
            VZMSG_ERROR_LINE();
            return 1;
        }
    }
    if (length < PRG_MIN_IMAGE_SIZE) {
        VZMSG_ERROR_LINE();
        printf("check size = %ld, fw_size = %ld\n", 0L, (long)length);
        return 1;
    }
    if (size < PRG_MIN_IMAGE_SIZE) {
        /* Header and trailer would overlap: no such image exists. */
        VZMSG_ERROR_LINE();
        return 1;
    }
    int32_t data_size = (int32_t)(size - PRG_MIN_IMAGE_SIZE);
    uint32_t sum = sum_decoded(image + PRG_HEADER_SIZE, (size_t)data_size);
    uint32_t header_sum = prg_get_checksum(header);
    if (sum != header_sum) {
        VZMSG_ERROR_LINE();
        print_sum_mismatch(data_size, sum, header_sum);
        return 1;
    }
    uint8_t trailer[TRAILER_SIZE];
    prg_decode(trailer, image + size - TRAILER_SIZE, TRAILER_SIZE);
    uint32_t trailer_sum = load_be(trailer, TRAILER_SIZE);
    if (trailer_sum != sum) {
        VZMSG_ERROR_LINE();
        print_sum_mismatch(data_size, trailer_sum, header_sum);
        return 1;
    }
    return 0;
}

int prg_check_file(const char *path)
{
    int32_t length;
    uint8_t *image = prg_load_file(path, &length);
    if (!image) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    int result = prg_check(image, length);
    free(image);
    return result;
}

static int write_file(const char *path, const uint8_t *data, size_t length)
{
    FILE *file = fopen(path, "wb");
    if (!file) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    int failed = fwrite(data, 1, length, file) != length;
    failed |= fclose(file) != 0;
    if (failed) {
        VZMSG_ERROR_LINE();
        remove(path);
        return 1;
    }
    return 0;
}

int prg_decode_file(const char *path)
{
    if (!path || strlen(path) > PATH_MAX_LENGTH) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    char output[OUTPUT_PATH_SIZE];
    snprintf(output, sizeof output, "%s%s", path, OUTPUT_SUFFIX);
    int32_t length;
    uint8_t *image = prg_load_file(path, &length);
    if (!image) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    if (length < PRG_HEADER_SIZE) {
        VZMSG_ERROR_LINE();
        free(image);
        return 1;
    }
    /* At least one byte, so that a header-only file still gets a buffer. */
    uint8_t *body = malloc((size_t)(length - PRG_HEADER_SIZE) + 1);
    if (!body) {
        VZMSG_ERROR_LINE();
        free(image);
        return 1;
    }
    int32_t body_length = prg_decode(body, image + PRG_HEADER_SIZE, length - PRG_HEADER_SIZE);
    free(image);
    int result = write_file(output, body, (size_t)body_length);
    free(body);
    return result;
}

int prg_print_info(const char *path)
{
    printf("filename: %s\n", path ? path : "");
    prg_header header;
    if (prg_read_header(&header, path)) {
        VZMSG_ERROR_LINE();
        return -1;
    }
    char product[sizeof header.product + 1];
    prg_get_product(&header, product, (int)sizeof product);
    printf("product: %s\n", product);
    printf("version: %u\n", (unsigned)prg_get_version(&header));
    printf("build: %u\n", (unsigned)prg_get_build(&header));
    printf("date: %u/%u/%u\n", (unsigned)prg_get_year(&header), (unsigned)prg_get_month(&header),
           (unsigned)prg_get_day(&header));
    printf("checksum: %#lx\n", (unsigned long)prg_get_checksum(&header));
    printf("size: %lu\n", (unsigned long)prg_get_size(&header));
    printf("test checksum...\n");
    if (prg_check_file(path)) {
        printf("NG\n");
        VZMSG_ERROR_LINE();
        return -1;
    }
    printf("OK\n");
    return 0;
}
