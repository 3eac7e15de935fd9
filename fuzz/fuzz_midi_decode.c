/* The frame decoder over arbitrary bytes: a frame it accepts holds a payload
 * that encodes and decodes back to itself. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vzmsg_midi.h"

int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    (void)argc;
    (void)argv;
    /* The library's diagnostic lines would drown the fuzzer's own output. */
    return freopen("/dev/null", "w", stdout) ? 0 : 1;
}

/* Records are at most 256 bytes; larger outputs exercise long frames. */
enum { RECORD = 256, LARGE = 4096 };

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static uint8_t payload[LARGE], frame[LARGE * 8 / 7 + 8], again[LARGE];
    uint64_t length, frame_length, length_again;
    if (vzmsg_midi_decode(data, size, payload, RECORD, &length) == 0 && length > RECORD)
        abort();
    if (vzmsg_midi_decode(data, size, payload, LARGE, &length) != 0)
        return 0;
    if (length > LARGE || length != (size - 6) * 7 / 8)
        abort();
    if (vzmsg_midi_encode(payload, length, frame, sizeof frame, &frame_length) != 0 || frame_length > size)
        abort();
    if (vzmsg_midi_decode(frame, frame_length, again, LARGE, &length_again) != 0 || length_again != length ||
        memcmp(again, payload, length) != 0)
        abort();
    return 0;
}
