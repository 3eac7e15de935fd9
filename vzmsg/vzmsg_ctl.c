/* Control transactions: one request record out, one reply record back, and
 * the recorder's firmware-update sequence built from them. */
#include "vzmsg_ctl.h"

#include <inttypes.h>
#include <stdio.h>

#include "vzmsg_diag.h"

#define CTL_RECORD_SIZE 256
#define CTL_STATUS_ERROR_FLOOR 99 /* every status above is the recorder's error */
#define CTL_SHORT_WAIT_MS 100
#define CTL_WRITE_WAIT_MS 1000
#define CTL_SHORT_WAIT_RETRIES 10 /* the 11th poll of a kind gives up */
#define CTL_ENTER_POLLS 11
#define CTL_WRITE_RETRIES 300 /* the 301st poll of a kind gives up */
#define CTL_IDLE_RETRIES 10   /* the 11th "no free space" answer gives up */
#define CTL_SERIAL_POLLS 301

/* The status, progress and total counters are read by another thread while
 * an update runs, so every access from here is a relaxed atomic one. */
static void store32(uint32_t *counter, uint32_t value)
{
    if (counter)
        __atomic_store_n(counter, value, __ATOMIC_RELAXED);
}

static uint32_t load32(const uint32_t *counter)
{
    return __atomic_load_n(counter, __ATOMIC_RELAXED);
}

static int is_number(uint32_t type)
{
    return type >= VZMSG_TYPE_U8 && type <= VZMSG_TYPE_U64;
}

static int is_error_status(uint32_t status)
{
    return status > CTL_STATUS_ERROR_FLOOR;
}

static void print_other_item(uint32_t code, uint32_t type, uint64_t value, uint16_t size)
{
    printf("cmd=%#x, type=%d, data=%" PRIu64 ", size=%u\n", (unsigned)code, (int)type, value, (unsigned)size);
}

static void print_status(uint32_t status)
{
    printf("status = %d\n", (int)status);
}

const char *vzmsg_ctl_status_name(uint32_t status)
{
    static const char *const steps[] = {
        "VZMSG_DATA_FWUP_STATUS_NONE",
        "VZMSG_DATA_FWUP_STATUS_UPDATE_MODE_CHANGED",
        "VZMSG_DATA_FWUP_STATUS_DATA_TRANS_READY",
        "VZMSG_DATA_FWUP_STATUS_DATA_TRANSFERRING",
        "VZMSG_DATA_FWUP_STATUS_DATA_TRANS_COMPLETE",
        "VZMSG_DATA_FWUP_STATUS_WRITE_READY",
        "VZMSG_DATA_FWUP_STATUS_WRITE1_ERASE",
        "VZMSG_DATA_FWUP_STATUS_WRITE2_BLANK",
        "VZMSG_DATA_FWUP_STATUS_WRITE3_WRITE",
        "VZMSG_DATA_FWUP_STATUS_WRITE4_COMPARE",
        "VZMSG_DATA_FWUP_STATUS_COMPLETE",
        "VZMSG_DATA_FWUP_STATUS_SERIAL_WRITE_START",
        "VZMSG_DATA_FWUP_STATUS_SERIAL_WRITE_COMPLETE",
    };
    static const char *const errors[] = {
        "VZMSG_DATA_FWUP_STATUS_ERROR",        "VZMSG_DATA_FWUP_STATUS_ERR_MASSSTORAGE",
        "VZMSG_DATA_FWUP_STATUS_ERR_REC_PLAY", "VZMSG_DATA_FWUP_STATUS_ERR_NO_BATTERY",
        "VZMSG_DATA_FWUP_STATUS_ERR_VERSION",  "VZMSG_DATA_FWUP_STATUS_ERR_PRODUCT",
        "VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK",   "VZMSG_DATA_FWUP_STATUS_ERR_ERASE",
        "VZMSG_DATA_FWUP_STATUS_ERR_BLANK",    "VZMSG_DATA_FWUP_STATUS_ERR_WRITE",
        "VZMSG_DATA_FWUP_STATUS_ERR_VERIFY",   "VZMSG_DATA_FWUP_STATUS_ERR_COMMUNICATE",
    };
    const uint32_t step_count = sizeof steps / sizeof steps[0];
    const uint32_t error_count = sizeof errors / sizeof errors[0];

    if (status < step_count)
        return steps[status];
    if (status >= VZMSG_DATA_FWUP_STATUS_ERROR && status - VZMSG_DATA_FWUP_STATUS_ERROR < error_count)
        return errors[status - VZMSG_DATA_FWUP_STATUS_ERROR];
    return "UNKNOWN VZMSG_DATA_FWUP_STATUS";
}

int vzmsg_ctl_send(vzmsg_dev_t *dev, vzmsg_t *msg)
{
    if (!msg || msg->position > CTL_RECORD_SIZE) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    if (vzmsg_devs_send(dev, msg->buffer, msg->position) != 0) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    return 0;
}

int vzmsg_ctl_recv(vzmsg_dev_t *dev, vzmsg_t *msg)
{
    uint8_t length = 0;
    int result;

    if (!msg) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    vzmsg_rewind(msg);
    vzmsg_clear(msg);
    if (msg->capacity > CTL_RECORD_SIZE) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    result = vzmsg_devs_recv(dev, msg->buffer, msg->capacity, &length);
    if (result != 0)
        return result;
    /* The port reports an 8-bit count: a reply that fills the whole
     * 256-byte record reads as 0 and is accepted. */
    if (length >= msg->capacity) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    return 0;
}

/* Sends the record and receives the reply into it. */
static int exchange(vzmsg_dev_t *dev, vzmsg_t *msg)
{
    int result;

    if (vzmsg_ctl_send(dev, msg) != 0) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    result = vzmsg_ctl_recv(dev, msg);
    if (result != 0) {
        VZMSG_ERROR_LINE();
        return result;
    }
    return 0;
}

/* Sends a command-only request and receives the reply into msg. */
static int exchange_cmd(vzmsg_dev_t *dev, vzmsg_t *msg, uint8_t code)
{
    if (!vzmsg_add_cmd(msg, code)) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    return exchange(dev, msg);
}

/* Reads the whole reply, storing the numeric item `code` into *value.
 * Answers whether the item was there. */
static int read_status_reply(vzmsg_t *msg, uint32_t code, uint32_t *value)
{
    uint32_t item, type;
    uint64_t data;
    uint16_t size;
    int seen = 0;

    while (vzmsg_get(msg, &item, &type, &data, &size) == 0) {
        if (item == code && is_number(type)) {
            store32(value, (uint32_t)data);
            seen = 1;
        } else {
            print_other_item(item, type, data, size);
        }
    }
    return seen;
}

/* Sends a command-only request whose reply must carry its own code as the
 * update status (update mode, write); an error status fails at once. */
static int request_status(vzmsg_dev_t *dev, uint8_t code, uint32_t *status)
{
    uint8_t buffer[CTL_RECORD_SIZE] = {0};
    vzmsg_t msg;
    int result;

    vzmsg_init(&msg, buffer, sizeof buffer);
    result = exchange_cmd(dev, &msg, code);
    if (result != 0)
        return result;
    if (!read_status_reply(&msg, code, status)) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    if (is_error_status(load32(status))) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    return 0;
}

/* One status poll; *saw_status tells whether the reply carried a status at
 * all, so that an error status also ends the waits when the poll itself
 * failed for another missing item. */
static int poll_status(vzmsg_dev_t *dev, uint32_t *status, uint32_t *progress, uint32_t *total,
                       int *saw_status)
{
    uint8_t buffer[CTL_RECORD_SIZE] = {0};
    vzmsg_t msg;
    uint32_t code, type;
    uint64_t value;
    uint16_t size;
    int seen_status = 0, seen_progress = 0, seen_total = 0;
    int result;

    *saw_status = 0;
    vzmsg_init(&msg, buffer, sizeof buffer);
    result = exchange_cmd(dev, &msg, VZMSG_DATA_FWUP_STATUS);
    if (result != 0)
        return result;
    while (vzmsg_get(&msg, &code, &type, &value, &size) == 0) {
        if (code == VZMSG_DATA_FWUP_STATUS && is_number(type)) {
            store32(status, (uint32_t)value);
            seen_status = 1;
        } else if (code == VZMSG_DATA_FWUP_PROGRESS && is_number(type)) {
            store32(progress, (uint32_t)value);
            seen_progress = 1;
        } else if (code == VZMSG_DATA_FWUP_TOTAL && is_number(type)) {
            store32(total, (uint32_t)value);
            seen_total = 1;
        } else {
            print_other_item(code, type, value, size);
        }
    }
    *saw_status = seen_status;
    if (!seen_status || !seen_progress || !seen_total) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    return 0;
}

int vzmsg_ctl_fwup_get_status(vzmsg_dev_t *dev, uint32_t *status, uint32_t *progress, uint32_t *total)
{
    int saw_status;

    return poll_status(dev, status, progress, total, &saw_status);
}

/* Polls until the recorder reports `wanted`, 100 ms apart. Failed polls and
 * polls with another status are counted separately; the 11th of either
 * kind gives up, an error status gives up at once. */
static int wait_for_status(vzmsg_dev_t *dev, uint32_t wanted, uint32_t *status, uint32_t *progress,
                           uint32_t *total)
{
    unsigned failed = 0, other = 0;

    for (;;) {
        int saw_status;
        int result = poll_status(dev, status, progress, total, &saw_status);
        uint32_t now = load32(status);

        if (saw_status && is_error_status(now)) {
            VZMSG_ERROR_LINE();
            return 1;
        }
        if (result == 0 && now == wanted)
            return 0;
        if (result != 0 ? ++failed > CTL_SHORT_WAIT_RETRIES : ++other > CTL_SHORT_WAIT_RETRIES) {
            VZMSG_ERROR_LINE();
            print_status(now);
            return 1;
        }
        vzmsg_sleep(CTL_SHORT_WAIT_MS);
    }
}

int vzmsg_ctl_fwup_transfer(vzmsg_dev_t *dev, uint32_t *received, uint32_t *free_bytes, const uint8_t *image,
                            uint32_t block_length, uint16_t *sent)
{
    uint8_t buffer[CTL_RECORD_SIZE] = {0};
    vzmsg_t msg;
    uint32_t code, type;
    uint64_t value;
    uint16_t size;
    int seen_received = 0, seen_free = 0;
    int result;

    vzmsg_init(&msg, buffer, sizeof buffer);
    if (image) {
        uint32_t room = vzmsg_room_str16(&msg);
        uint16_t n = (uint16_t)(block_length < room ? block_length : room);

        if (!vzmsg_add_str16(&msg, VZMSG_DATA_FWUP_DATA, image, n)) {
            VZMSG_ERROR_LINE();
            return 1;
        }
        if (sent)
            *sent = n;
    } else if (!vzmsg_add_cmd(&msg, VZMSG_DATA_FWUP_DATA)) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    result = exchange(dev, &msg);
    if (result != 0)
        return result;
    while (vzmsg_get(&msg, &code, &type, &value, &size) == 0) {
        if (code == VZMSG_DATA_FWUP_RECEIVED && is_number(type)) {
            if (received)
                *received = (uint32_t)value;
            seen_received = 1;
        } else if (code == VZMSG_DATA_FWUP_DATA && is_number(type)) {
            if (free_bytes)
                *free_bytes = (uint32_t)value;
            seen_free = 1;
        } else {
            print_other_item(code, type, value, size);
        }
    }
    if (!seen_received || !seen_free) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    return 0;
}

int vzmsg_ctl_fwup_enter(vzmsg_dev_t *dev, uint32_t *status)
{
    uint32_t progress = 0, total = 0;
    int result, poll;

    if (!status) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    result = request_status(dev, VZMSG_DATA_FWUP_MODE, status);
    if (result != 0)
        return result;
    for (poll = 1;; poll++) {
        int saw_status;

        result = poll_status(dev, status, &progress, &total, &saw_status);
        if (result != 0) {
            VZMSG_ERROR_LINE();
            return result;
        }
        if (is_error_status(load32(status))) {
            VZMSG_ERROR_LINE();
            return 1;
        }
        if (load32(status) == VZMSG_DATA_FWUP_STATUS_UPDATE_MODE_CHANGED)
            return 0;
        if (poll == CTL_ENTER_POLLS) {
            VZMSG_ERROR_LINE();
            return 1;
        }
        vzmsg_sleep(CTL_SHORT_WAIT_MS);
    }
}

/* Streams the image, each block preceded by a question that learns the
 * recorder's offset and free space; the block's reply confirms the new
 * offset, which is how a stale reply gets caught. */
static int transfer_image(vzmsg_dev_t *dev, const uint8_t *image, uint32_t size, uint32_t *progress)
{
    const uint32_t step = size / 10;
    uint32_t next_report = 0, sent = 0;
    unsigned idle = 0;

    while (sent < size) {
        uint32_t received = 0, free_bytes = 0;
        uint16_t block = 0;
        int result = vzmsg_ctl_fwup_transfer(dev, &received, &free_bytes, NULL, 0, NULL);

        if (result != 0) {
            VZMSG_ERROR_LINE();
            return result;
        }
        if (received != sent) {
            VZMSG_ERROR_LINE();
            return 1;
        }
        if (free_bytes == 0) {
            if (++idle > CTL_IDLE_RETRIES) {
                VZMSG_ERROR_LINE();
                return 1;
            }
            vzmsg_sleep(CTL_SHORT_WAIT_MS);
            continue;
        }
        if (next_report <= sent) {
            printf("%u / %u\n", (unsigned)sent, (unsigned)size);
            next_report += step;
        }
        result = vzmsg_ctl_fwup_transfer(dev, &received, &free_bytes, image + sent,
                                         size - sent < free_bytes ? size - sent : free_bytes, &block);
        if (result != 0) {
            VZMSG_ERROR_LINE();
            return result;
        }
        sent += block;
        if (sent != received) {
            VZMSG_ERROR_LINE();
            return 1;
        }
        store32(progress, load32(progress) + block);
        idle = 0;
    }
    return 0;
}

int vzmsg_ctl_fwup_send_data(vzmsg_dev_t *dev, const uint8_t *image, uint32_t size, uint32_t *progress,
                             uint32_t *total, uint32_t *status)
{
    uint8_t buffer[CTL_RECORD_SIZE] = {0};
    vzmsg_t msg;
    uint32_t scratch_progress = 0;
    int result;

    if (!total || !status || (size > 0 && !image)) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    if (!progress)
        progress = &scratch_progress;
    vzmsg_init(&msg, buffer, sizeof buffer);
    if (!vzmsg_add_u32(&msg, VZMSG_DATA_FWUP_SIZE, size)) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    result = exchange(dev, &msg);
    if (result != 0)
        return result;
    store32(status, VZMSG_DATA_FWUP_STATUS_NONE);
    result = wait_for_status(dev, VZMSG_DATA_FWUP_STATUS_DATA_TRANS_READY, status, progress, total);
    if (result != 0)
        return result;
    return transfer_image(dev, image, size, progress);
}

int vzmsg_ctl_fwup_data_check(vzmsg_dev_t *dev, uint32_t *status)
{
    uint8_t buffer[CTL_RECORD_SIZE] = {0};
    vzmsg_t msg;
    uint32_t code, type, progress = 0, total = 0;
    uint64_t value;
    uint16_t size;
    int result;

    if (!status) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    vzmsg_init(&msg, buffer, sizeof buffer);
    if (!vzmsg_add_u8(&msg, VZMSG_DATA_FWUP_CHECK, 0)) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    result = exchange(dev, &msg);
    if (result != 0)
        return result;
    while (vzmsg_get(&msg, &code, &type, &value, &size) == 0) {
        if (code == VZMSG_DATA_FWUP_CHECK)
            printf("data check ok ");
        else
            print_other_item(code, type, value, size);
    }
    result = wait_for_status(dev, VZMSG_DATA_FWUP_STATUS_WRITE_READY, status, &progress, &total);
    if (result != 0)
        return result;
    printf("Write Ready ");
    return 0;
}

/* Counts one poll of a kind; past the limit the wait gives up. */
static int write_poll_exhausted(unsigned *count, uint32_t status)
{
    if (++*count <= CTL_WRITE_RETRIES)
        return 0;
    VZMSG_ERROR_LINE();
    print_status(status);
    return 1;
}

int vzmsg_ctl_fwup_write(vzmsg_dev_t *dev, uint32_t *progress, uint32_t *total, uint32_t *status)
{
    unsigned failed = 0, busy = 0, other = 0;
    int result;

    if (!progress || !total || !status) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    result = request_status(dev, VZMSG_DATA_FWUP_WRITE, status);
    if (result != 0)
        return result;
    for (;;) {
        int saw_status;
        uint32_t now;

        result = poll_status(dev, status, progress, total, &saw_status);
        now = load32(status);
        if (saw_status && is_error_status(now)) {
            VZMSG_ERROR_LINE();
            return 1;
        }
        if (result != 0) {
            if (write_poll_exhausted(&failed, now))
                return 1;
        } else if (now == VZMSG_DATA_FWUP_STATUS_COMPLETE) {
            print_status(now);
            printf("complete ");
            return 0;
        } else if (now >= VZMSG_DATA_FWUP_STATUS_WRITE1_ERASE &&
                   now <= VZMSG_DATA_FWUP_STATUS_WRITE4_COMPARE) {
            print_status(now);
            printf("progress = %d\n", (int)load32(progress));
            if (write_poll_exhausted(&busy, now))
                return 1;
        } else if (write_poll_exhausted(&other, now)) {
            /* A recorder that never starts writing would otherwise be
             * waited on for ever. */
            return 1;
        }
        vzmsg_sleep(CTL_WRITE_WAIT_MS);
    }
}

int vzmsg_ctl_serial_write(vzmsg_dev_t *dev, const uint8_t *serial, uint8_t length)
{
    uint8_t buffer[CTL_RECORD_SIZE] = {0};
    vzmsg_t msg;
    uint32_t code, type, status = 0, progress = 0, total = 0;
    uint64_t value;
    uint16_t size;
    int result, poll, refused = 0;

    if (!serial || length == 0) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    vzmsg_init(&msg, buffer, sizeof buffer);
    if (!vzmsg_add_str8(&msg, VZMSG_DATA_SERIAL_WRITE, serial, length)) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    result = exchange(dev, &msg);
    if (result != 0)
        return result;
    while (vzmsg_get(&msg, &code, &type, &value, &size) == 0) {
        if (code != VZMSG_DATA_SERIAL_WRITE) {
            print_other_item(code, type, value, size);
            refused = 1;
        }
    }
    if (refused) {
        VZMSG_ERROR_LINE();
        return 1;
    }
    for (poll = 1;; poll++) {
        int saw_status;

        result = poll_status(dev, &status, &progress, &total, &saw_status);
        if (result == 0 && status == VZMSG_DATA_FWUP_STATUS_SERIAL_WRITE_COMPLETE)
            return 0;
        if (result == 0 && status == VZMSG_DATA_FWUP_STATUS_ERROR) {
            VZMSG_ERROR_LINE();
            return 1;
        }
        if (poll == CTL_SERIAL_POLLS) {
            VZMSG_ERROR_LINE();
            print_status(status);
            return 1;
        }
        vzmsg_sleep(CTL_WRITE_WAIT_MS);
    }
}
