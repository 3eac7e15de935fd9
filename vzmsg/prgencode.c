/* Making firmware images: the inverse byte code and the image layout. */
#include "prgencode.h"

#include <string.h>

#include "vzmsg_diag.h"

const uint8_t prg_encode_table[256] = {PRG_BYTE_TABLE(PRG_ENCODE_BYTE)};

#define TRAILER_SIZE 4

int32_t prg_encode(uint8_t *dst, const uint8_t *src, int32_t count)
{
    for (int32_t i = 0; i < count; i++)
        dst[i] = prg_encode_table[src[i]];
    return count;
}

static void store_be(uint8_t *dst, uint32_t value, int count)
{
    for (int i = count - 1; i >= 0; i--, value >>= 8)
        dst[i] = (uint8_t)value;
}

static uint32_t byte_sum(const uint8_t *bytes, int32_t count)
{
    uint32_t sum = 0;
    for (int32_t i = 0; i < count; i++)
        sum += bytes[i];
    return sum;
}

static void fill_header(prg_header *header, const prg_image_info *info, uint32_t checksum, uint32_t size)
{
    memset(header, 0, sizeof *header);
    memcpy(header->product, info->product, sizeof header->product);
    store_be(header->version, info->version, 2);
    store_be(header->build, info->build, 2);
    store_be(header->year, info->year, 2);
    header->month = info->month;
    header->day = info->day;
    store_be(header->checksum, checksum, 4);
    store_be(header->size, size, 4);
}

int prg_build_image(const prg_image_info *info, const uint8_t *payload, int32_t payload_length, uint8_t *out,
                    int32_t capacity)
{
    if (!info || !out || payload_length < 0 || (payload_length && !payload)) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    if (payload_length > INT32_MAX - PRG_MIN_IMAGE_SIZE || capacity < payload_length + PRG_MIN_IMAGE_SIZE) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    int32_t size = payload_length + PRG_MIN_IMAGE_SIZE;
    uint32_t checksum = byte_sum(payload, payload_length);
    prg_header header;
    fill_header(&header, info, checksum, (uint32_t)size);
    memcpy(out, &header, PRG_HEADER_SIZE);
    prg_encode(out + PRG_HEADER_SIZE, payload, payload_length);
    uint8_t trailer[TRAILER_SIZE];
    store_be(trailer, checksum, TRAILER_SIZE);
    prg_encode(out + size - TRAILER_SIZE, trailer, TRAILER_SIZE);
    return 0;
}
