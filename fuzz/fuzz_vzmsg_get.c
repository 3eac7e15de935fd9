/* The record reader over arbitrary bytes: every item it reports lies inside
 * the buffer, and the reading always ends. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vzmsg.h"

int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    (void)argc;
    (void)argv;
    /* The library's diagnostic lines would drown the fuzzer's own output. */
    return freopen("/dev/null", "w", stdout) ? 0 : 1;
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    uint16_t capacity = size > UINT16_MAX ? UINT16_MAX : (uint16_t)size;
    /* A copy of exactly the input's size, so that reading past it is caught. */
    uint8_t *buffer = malloc(capacity ? capacity : 1);
    if (!buffer)
        return 0;
    if (capacity)
        memcpy(buffer, data, capacity);
    vzmsg_t msg;
    vzmsg_init(&msg, buffer, capacity);
    uint32_t code, type;
    uint64_t value;
    uint16_t length;
    for (;;) {
        uint16_t before = msg.position;
        if (vzmsg_get(&msg, &code, &type, &value, &length) != 0) {
            if (msg.position != before)
                abort();
            break;
        }
        if (msg.position <= before || msg.position > capacity || code > 0xFF || type < 1 || type > 7)
            abort();
        if (type >= VZMSG_TYPE_STR8) {
            const uint8_t *at = (const uint8_t *)(uintptr_t)value;
            if (at < buffer + before || at + length != buffer + msg.position)
                abort();
        }
    }
    free(buffer);
    return 0;
}
