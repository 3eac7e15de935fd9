/* Message record: a list of typed items in a caller-owned buffer. */
#ifndef VZMSG_H
#define VZMSG_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vzmsg {
    uint8_t *buffer;   /* owned by the caller */
    uint16_t capacity; /* bytes in buffer */
    uint16_t position; /* bytes written, or offset of the next unread item */
} vzmsg_t;

/* Item types. */
#define VZMSG_TYPE_END 0
#define VZMSG_TYPE_CMD 1
#define VZMSG_TYPE_U8 2
#define VZMSG_TYPE_U16 3
#define VZMSG_TYPE_U32 4
#define VZMSG_TYPE_U64 5
#define VZMSG_TYPE_STR8 6
#define VZMSG_TYPE_STR16 7

/* Item codes. */
#define VZMSG_DATA_VERSION 0x01
#define VZMSG_DATA_PRODUCT 0x02
#define VZMSG_DATA_BUILD 0x04
#define VZMSG_DATA_SERIAL 0x07
#define VZMSG_DATA_BATTERY 0x08
#define VZMSG_DATA_ITEM12 0x12
#define VZMSG_DATA_PROTOCOL 0x50
#define VZMSG_DATA_FWUP_MODE 0x51
#define VZMSG_DATA_FWUP_SIZE 0x52
#define VZMSG_DATA_FWUP_CHECK 0x53
#define VZMSG_DATA_FWUP_WRITE 0x54
#define VZMSG_DATA_FWUP_STATUS 0x55
#define VZMSG_DATA_FWUP_PROGRESS 0x56
#define VZMSG_DATA_FWUP_TOTAL 0x57
#define VZMSG_DATA_FWUP_RECEIVED 0x58
#define VZMSG_DATA_FWUP_DATA 0x59
#define VZMSG_DATA_SERIAL_WRITE 0x5A

/* 0 on success; 1 when msg is null (or buffer is null with a capacity). */
int vzmsg_init(vzmsg_t *msg, void *buffer, uint16_t capacity);
int vzmsg_rewind(vzmsg_t *msg);
int vzmsg_clear(vzmsg_t *msg);
unsigned vzmsg_room_str8(const vzmsg_t *msg);
unsigned vzmsg_room_str16(const vzmsg_t *msg);

/* Add operations answer 1 when the item was added, 0 when it was not (also
 * when msg is null). A failed add changes neither the position nor the
 * buffer, so the zeros behind the last item still end the list. The string
 * adds copy exactly
 * length bytes; a length of 0 adds an empty string item (L = 0), and bytes
 * may then be null. */
int vzmsg_add_cmd(vzmsg_t *msg, uint8_t code);
int vzmsg_add_u8(vzmsg_t *msg, uint8_t code, uint8_t value);
int vzmsg_add_u16(vzmsg_t *msg, uint8_t code, uint16_t value);
int vzmsg_add_u32(vzmsg_t *msg, uint8_t code, uint32_t value);
int vzmsg_add_u64(vzmsg_t *msg, uint8_t code, uint64_t value);
int vzmsg_add_str8(vzmsg_t *msg, uint8_t code, const void *bytes, uint8_t length);
int vzmsg_add_str16(vzmsg_t *msg, uint8_t code, const void *bytes, uint16_t length);

/* Reads the next item. 0 when an item was read; non-zero when there is none
 * (end of list, end of buffer or a malformed item). For string items the
 * value is the address of the first string byte inside the buffer. */
int vzmsg_get(vzmsg_t *msg, uint32_t *code, uint32_t *type, uint64_t *value, uint16_t *size);

/* Item 0x12: one 16-bit field and five 8-bit fields, as a 7-byte type 6
 * string. Note the other result convention: 0 added, 1 failed (also when
 * msg is null). parse answers 1 when fewer than 7 bytes are given. */
int vzmsg_add_item12(vzmsg_t *msg, uint16_t a, uint8_t b, uint8_t c, uint8_t d, uint8_t e, uint8_t f);
int vzmsg_parse_item12(const uint8_t *bytes, unsigned length, uint16_t *a, uint8_t *b, uint8_t *c, uint8_t *d,
                       uint8_t *e, uint8_t *f);

/* Blocks the calling thread, or calls the sleep hook when one is set. */
void vzmsg_sleep(uint32_t milliseconds);

/* Tests run the library's fixed waits faster by replacing the sleep; null
 * restores the real one. The hook is stored atomically, so any thread may
 * set it. Production code never calls this. */
typedef void (*vzmsg_sleep_fn)(uint32_t milliseconds);
void vzmsg_set_sleep_hook(vzmsg_sleep_fn hook);

#ifdef __cplusplus
}
#endif

#endif
