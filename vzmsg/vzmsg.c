/* Message record: building and reading typed items in a caller-owned buffer. */
#include "vzmsg.h"

#include <string.h>

#include "vzmsg_diag.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <errno.h>
#include <time.h>
#endif

/* Bytes of code and type in front of every value. */
#define ITEM_HEAD 2

/* Value bytes of the fixed-size types and the length field of the string
 * types, indexed by type; -1 marks a type that has no item layout. */
static int fixed_value_bytes(unsigned type)
{
    static const signed char bytes[] = {0, 0, 1, 2, 4, 8, 1, 2};
    return type < sizeof bytes ? bytes[type] : -1;
}

static int is_string_type(unsigned type)
{
    return type == VZMSG_TYPE_STR8 || type == VZMSG_TYPE_STR16;
}

/* Bytes from the position to the end; a position past the end (a broken
 * invariant) leaves no room rather than a huge one. */
static unsigned room(const vzmsg_t *msg)
{
    return msg->position < msg->capacity ? (unsigned)msg->capacity - msg->position : 0;
}

static void store_le(uint8_t *dst, uint64_t value, unsigned bytes)
{
    for (unsigned i = 0; i < bytes; i++)
        dst[i] = (uint8_t)(value >> (8 * i));
}

static uint64_t load_le(const uint8_t *src, unsigned bytes)
{
    uint64_t value = 0;
    for (unsigned i = 0; i < bytes; i++)
        value |= (uint64_t)src[i] << (8 * i);
    return value;
}

int vzmsg_init(vzmsg_t *msg, void *buffer, uint16_t capacity)
{
    if (!msg || (!buffer && capacity)) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    msg->buffer = buffer;
    msg->capacity = capacity;
    msg->position = 0;
    return 0;
}

int vzmsg_rewind(vzmsg_t *msg)
{
    if (!msg) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    msg->position = 0;
    return 0;
}

int vzmsg_clear(vzmsg_t *msg)
{
    if (!msg) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    if (msg->capacity)
        memset(msg->buffer, 0, msg->capacity);
    return 0;
}

static unsigned room_after(const vzmsg_t *msg, unsigned overhead)
{
    if (!msg || room(msg) < overhead)
        return 0;
    return room(msg) - overhead;
}

unsigned vzmsg_room_str8(const vzmsg_t *msg)
{
    return room_after(msg, ITEM_HEAD + 1);
}

unsigned vzmsg_room_str16(const vzmsg_t *msg)
{
    return room_after(msg, ITEM_HEAD + 2);
}

/* Checks that the whole item fits, then writes its head (and a string's
 * length field) and advances over it. The value goes to *value, which is
 * *value_length bytes long. type is one of the types 1 to 7; length is the
 * exact string length, so 0 makes an empty string. Nothing is written when
 * the item does not fit: the zeros behind the last item keep ending the
 * list. */
static int vzmsg_reserve(vzmsg_t *msg, uint8_t code, uint8_t type, uint16_t length, uint8_t **value,
                         uint16_t *value_length)
{
    *value = NULL;
    *value_length = 0;
    if (room(msg) < ITEM_HEAD) {
        /* A code-0 item is the list's end, which the zeroed buffer
         * already marks. */
        return code == 0 ? 0 : 1;
    }
    unsigned field = (unsigned)fixed_value_bytes(type);
    unsigned data = is_string_type(type) ? length : field;
    unsigned whole = ITEM_HEAD + (is_string_type(type) ? field : 0) + data;
    if (room(msg) < whole) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    uint8_t *head = msg->buffer + msg->position;
    head[0] = code;
    head[1] = type;
    if (is_string_type(type))
        store_le(head + ITEM_HEAD, length, field);
    *value = head + whole - data;
    *value_length = (uint16_t)data;
    msg->position = (uint16_t)(msg->position + whole);
    return 0;
}

/* Appends one item: integers as number (little-endian), strings as length
 * bytes copied from bytes. */
static int vzmsg_put(vzmsg_t *msg, uint8_t code, uint8_t type, uint64_t number, const void *bytes,
                     uint16_t length)
{
    if (is_string_type(type) && length && !bytes) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    uint8_t *value;
    uint16_t value_length;
    if (vzmsg_reserve(msg, code, type, length, &value, &value_length)) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    if (is_string_type(type)) {
        if (value_length)
            memcpy(value, bytes, value_length);
    } else {
        store_le(value, number, value_length);
    }
    return 0;
}

static int add(vzmsg_t *msg, uint8_t code, uint8_t type, uint64_t number, const void *bytes, uint16_t length)
{
    if (!msg || vzmsg_put(msg, code, type, number, bytes, length)) {
        VZMSG_ERROR_LINE();
        return 0;
    }
    return 1;
}

int vzmsg_add_cmd(vzmsg_t *msg, uint8_t code)
{
    return add(msg, code, VZMSG_TYPE_CMD, 0, NULL, 0);
}

int vzmsg_add_u8(vzmsg_t *msg, uint8_t code, uint8_t value)
{
    return add(msg, code, VZMSG_TYPE_U8, value, NULL, 0);
}

int vzmsg_add_u16(vzmsg_t *msg, uint8_t code, uint16_t value)
{
    return add(msg, code, VZMSG_TYPE_U16, value, NULL, 0);
}

int vzmsg_add_u32(vzmsg_t *msg, uint8_t code, uint32_t value)
{
    return add(msg, code, VZMSG_TYPE_U32, value, NULL, 0);
}

int vzmsg_add_u64(vzmsg_t *msg, uint8_t code, uint64_t value)
{
    return add(msg, code, VZMSG_TYPE_U64, value, NULL, 0);
}

int vzmsg_add_str8(vzmsg_t *msg, uint8_t code, const void *bytes, uint8_t length)
{
    return add(msg, code, VZMSG_TYPE_STR8, 0, bytes, length);
}

int vzmsg_add_str16(vzmsg_t *msg, uint8_t code, const void *bytes, uint16_t length)
{
    return add(msg, code, VZMSG_TYPE_STR16, 0, bytes, length);
}

int vzmsg_get(vzmsg_t *msg, uint32_t *code, uint32_t *type, uint64_t *value, uint16_t *size)
{
    if (!msg || room(msg) < ITEM_HEAD)
        return 1;
    const uint8_t *b = msg->buffer + msg->position;
    unsigned item_type = b[1];
    if (item_type == VZMSG_TYPE_END)
        return 1;
    int field = fixed_value_bytes(item_type);
    if (field < 0) {
        printf("%s:%d:ERROR %#x\n", __FILE__, __LINE__, item_type);
        return 1;
    }
    unsigned whole = ITEM_HEAD + (unsigned)field;
    if (room(msg) < whole)
        return 1;
    uint64_t item_value;
    unsigned item_size = (unsigned)field;
    if (is_string_type(item_type)) {
        item_size = (unsigned)load_le(b + ITEM_HEAD, (unsigned)field);
        whole += item_size;
        if (room(msg) < whole)
            return 1;
        item_value = (uint64_t)(uintptr_t)(b + ITEM_HEAD + field);
    } else {
        item_value = load_le(b + ITEM_HEAD, item_size);
    }
    msg->position = (uint16_t)(msg->position + whole);
    if (code)
        *code = b[0];
    if (type)
        *type = item_type;
    if (value)
        *value = item_value;
    if (size)
        *size = (uint16_t)item_size;
    return 0;
}

#define ITEM12_LENGTH 7

int vzmsg_add_item12(vzmsg_t *msg, uint16_t a, uint8_t b, uint8_t c, uint8_t d, uint8_t e, uint8_t f)
{
    const uint8_t bytes[ITEM12_LENGTH] = {(uint8_t)a, (uint8_t)(a >> 8), b, c, d, e, f};
    return vzmsg_add_str8(msg, VZMSG_DATA_ITEM12, bytes, ITEM12_LENGTH) ? 0 : 1;
}

int vzmsg_parse_item12(const uint8_t *bytes, unsigned length, uint16_t *a, uint8_t *b, uint8_t *c, uint8_t *d,
                       uint8_t *e, uint8_t *f)
{
    if (!bytes || length < ITEM12_LENGTH) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    uint8_t *fields[] = {b, c, d, e, f};
    if (a)
        *a = (uint16_t)load_le(bytes, 2);
    for (unsigned i = 0; i < 5; i++)
        if (fields[i])
            *fields[i] = bytes[2 + i];
    return 0;
}

static vzmsg_sleep_fn sleep_hook;

void vzmsg_set_sleep_hook(vzmsg_sleep_fn hook)
{
    __atomic_store_n(&sleep_hook, hook, __ATOMIC_RELEASE);
}

void vzmsg_sleep(uint32_t milliseconds)
{
    vzmsg_sleep_fn hook = __atomic_load_n(&sleep_hook, __ATOMIC_ACQUIRE);
    if (hook) {
        hook(milliseconds);
        return;
    }
#ifdef _WIN32
    Sleep(milliseconds);
#else
    struct timespec left = {(time_t)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000000L};
    /* A signal may cut the wait short; the rest is still owed. */
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
#endif
}
