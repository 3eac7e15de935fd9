/* System Exclusive framing: the record's bytes as one continuous bit stream,
 * least significant bit first, cut into 7-bit MIDI data bytes. */
#include "vzmsg_midi.h"

#include <string.h>

#include "vzmsg_diag.h"

static const uint8_t frame_header[] = {0xF0, 0x4E, 0x50, 0x23, 0x00};
#define HEADER_LENGTH ((uint64_t)sizeof frame_header)
#define END_BYTE 0xF7
/* Header and end byte around the data bytes. */
#define FRAME_OVERHEAD (HEADER_LENGTH + 1)

/* The framing's constant widths only pay off when the regrouping is
 * inlined into it. */
#if defined(__GNUC__)
#define ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define ALWAYS_INLINE inline
#endif

static uint64_t bit_count(uint64_t count, uint8_t width)
{
    return count > UINT64_MAX / width ? UINT64_MAX : count * width;
}

static uint64_t div_up(uint64_t n, uint8_t d)
{
    return n / d + (n % d != 0);
}

/* Little-endian loads and stores of up to 8 bytes; on a little-endian
 * host a plain copy, which the compiler turns into moves (best with
 * counts of 4 and 8). */
static ALWAYS_INLINE uint64_t load_le(const uint8_t *src, int count)
{
    uint64_t v = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    memcpy(&v, src, (size_t)count);
#else
    for (int i = 0; i < count; i++)
        v |= (uint64_t)src[i] << (8 * i);
#endif
    return v;
}

static ALWAYS_INLINE void store_le(uint8_t *dst, uint64_t v, int count)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    memcpy(dst, &v, (size_t)count);
#else
    for (int i = 0; i < count; i++)
        dst[i] = (uint8_t)(v >> (8 * i));
#endif
}

/* 56 bits from seven 8-bit source bytes into eight 7-bit elements: the
 * bits are spread out in three halving steps (28, 14, 7 bits per lane). */
static ALWAYS_INLINE void pack_block_8to7(const uint8_t *src, uint8_t *dst)
{
    /* Two overlapping 4-byte loads: bytes 0-3 and 3-6. */
    uint64_t v = load_le(src, 4) | (load_le(src + 3, 4) >> 8) << 32;
    v = (v & 0x000000000FFFFFFFull) | ((v & 0x00FFFFFFF0000000ull) << 4);
    v = (v & 0x00003FFF00003FFFull) | ((v & 0x0FFFC0000FFFC000ull) << 2);
    v = (v & 0x007F007F007F007Full) | ((v & 0x3F803F803F803F80ull) << 1);
    store_le(dst, v, 8);
}

/* 56 bits from eight 7-bit source elements into seven bytes: the halving
 * steps of the packing, backwards. Bit 7 of each element is dropped. */
static ALWAYS_INLINE void unpack_block_7to8(const uint8_t *src, uint8_t *dst)
{
    uint64_t v = load_le(src, 8) & 0x7F7F7F7F7F7F7F7Full;
    v = (v & 0x007F007F007F007Full) | ((v & 0x7F007F007F007F00ull) >> 1);
    v = (v & 0x00003FFF00003FFFull) | ((v & 0x3FFF00003FFF0000ull) >> 2);
    v = (v & 0x000000000FFFFFFFull) | ((v & 0x0FFFFFFF00000000ull) >> 4);
    store_le(dst, v, 7);
}

/* Whole 56-bit blocks that the fast 8<->7 paths may move; returns the bits
 * they covered. */
static ALWAYS_INLINE uint64_t repack_blocks(const uint8_t *src, uint8_t src_width, uint8_t *dst,
                                            uint8_t dst_width, uint64_t bits)
{
    uint64_t blocks = bits / 56;
    if (src_width == 8 && dst_width == 7) {
        for (uint64_t i = 0; i < blocks; i++)
            pack_block_8to7(src + 7 * i, dst + 8 * i);
    } else if (src_width == 7 && dst_width == 8) {
        for (uint64_t i = 0; i < blocks; i++)
            unpack_block_7to8(src + 8 * i, dst + 7 * i);
    } else {
        return 0;
    }
    return blocks * 56;
}

/* Any widths from 1 to 8, starting at stream bit first (a multiple of both
 * widths): an accumulator holds the source bits not yet handed on. Source
 * elements are read only while they carry bits below the bit count. */
static ALWAYS_INLINE void repack_stream(const uint8_t *src, uint8_t src_width, uint8_t *dst,
                                        uint8_t dst_width, uint64_t first, uint64_t bits)
{
    const uint8_t src_mask = (uint8_t)((1u << src_width) - 1);
    uint64_t acc = 0;
    unsigned held = 0;
    uint64_t s = first / src_width;
    for (uint64_t k = first / dst_width; k * dst_width < bits; k++) {
        uint64_t left = bits - k * dst_width;
        unsigned want = left < dst_width ? (unsigned)left : dst_width;
        while (held < want) {
            acc |= (uint64_t)(src[s++] & src_mask) << held;
            held += src_width;
        }
        dst[k] = (uint8_t)(acc & ((1u << want) - 1));
        acc >>= want;
        held -= want;
    }
}

/* The regrouping for valid widths and buffers. The framing calls it with
 * constant widths, so once inlined its divisions become multiplications. */
static ALWAYS_INLINE uint64_t regroup(const uint8_t *src, uint64_t src_count, uint8_t src_width,
                                      uint64_t *src_used, uint8_t *dst, uint64_t dst_capacity,
                                      uint8_t dst_width, uint64_t *dst_produced)
{
    uint64_t src_bits = bit_count(src_count, src_width);
    uint64_t dst_bits = bit_count(dst_capacity, dst_width);
    uint64_t bits = src_bits < dst_bits ? src_bits : dst_bits;
    if (src_width < dst_width)
        bits -= bits % dst_width;
    uint64_t done = repack_blocks(src, src_width, dst, dst_width, bits);
    repack_stream(src, src_width, dst, dst_width, done, bits);
    *src_used = div_up(bits, src_width);
    *dst_produced = div_up(bits, dst_width);
    return bits;
}

uint64_t vzmsg_midi_repack(const uint8_t *src, uint64_t src_count, uint8_t src_width, uint64_t *src_used,
                           uint8_t *dst, uint64_t dst_capacity, uint8_t dst_width, uint64_t *dst_produced)
{
    uint64_t unused_count;
    if (!src_used)
        src_used = &unused_count;
    if (!dst_produced)
        dst_produced = &unused_count;
    *src_used = 0;
    *dst_produced = 0;
    if (src_width < 1 || src_width > 8 || dst_width < 1 || dst_width > 8) {
        VZMSG_ERROR_LINE();
        return 0;
    }
    return regroup(src, src ? src_count : 0, src_width, src_used, dst, dst ? dst_capacity : 0, dst_width,
                   dst_produced);
}

int vzmsg_midi_encode(const uint8_t *payload, uint64_t length, uint8_t *out, uint64_t capacity,
                      uint64_t *frame_length)
{
    if (capacity < HEADER_LENGTH || !out || (length && !payload)) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    for (uint64_t i = 0; i < HEADER_LENGTH; i++)
        out[i] = frame_header[i];
    uint64_t used, data;
    regroup(payload, length, 8, &used, out + HEADER_LENGTH, capacity - HEADER_LENGTH, 7, &data);
    if (used < length) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    if (data + FRAME_OVERHEAD > capacity) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    out[HEADER_LENGTH + data] = END_BYTE;
    if (frame_length)
        *frame_length = data + FRAME_OVERHEAD;
    return 0;
}

static int has_frame_header(const uint8_t *frame)
{
    for (uint64_t i = 0; i < HEADER_LENGTH; i++)
        if (frame[i] != frame_header[i])
            return 0;
    return 1;
}

int vzmsg_midi_decode(const uint8_t *frame, uint64_t length, uint8_t *out, uint64_t capacity,
                      uint64_t *payload_length)
{
    if (length < FRAME_OVERHEAD || !frame) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    if (!has_frame_header(frame)) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    if (frame[length - 1] != END_BYTE) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    uint64_t data = length - FRAME_OVERHEAD;
    uint64_t used, produced;
    uint64_t bits = regroup(frame + HEADER_LENGTH, data, 7, &used, out, out ? capacity : 0, 8, &produced);
    if (used < data) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    if (payload_length)
        *payload_length = bits / 8;
    return 0;
}
