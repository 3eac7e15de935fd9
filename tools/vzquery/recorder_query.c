#include "recorder_query.h"

#include <string.h>

#include "vzmsg.h"
#include "vzmsg_ctl.h"

#define QUERY_RECEIVES 10
#define QUERY_RETRY_MS 100

static void keep_text(char *field, uint64_t value, uint16_t size)
{
    size_t length = size < RECORDER_TEXT_SIZE - 1 ? size : RECORDER_TEXT_SIZE - 1;
    memcpy(field, (const char *)(uintptr_t)value, length);
    field[length] = '\0';
}

static void keep_item(struct recorder_info *info, uint32_t code, uint32_t type, uint64_t value, uint16_t size)
{
    int is_text = type == VZMSG_TYPE_STR8 || type == VZMSG_TYPE_STR16;

    switch (code) {
    case VZMSG_DATA_PROTOCOL:
        info->protocol = (uint32_t)(value & 0xFFFF);
        break;
    case VZMSG_DATA_VERSION:
        info->version = (uint32_t)(value & 0xFFFF);
        break;
    case VZMSG_DATA_BUILD:
        info->build = (uint32_t)(value & 0xFFFF);
        break;
    case VZMSG_DATA_BATTERY:
        info->battery = (uint32_t)(value & 0xFFFF);
        break;
    case VZMSG_DATA_PRODUCT:
        if (is_text)
            keep_text(info->product, value, size);
        break;
    case VZMSG_DATA_SERIAL:
        if (is_text)
            keep_text(info->serial, value, size);
        break;
    default:
        break; /* items the updater keeps but does not use */
    }
}

int recorder_query(vzmsg_dev_t *dev, uint8_t code, struct recorder_info *info, recorder_item_fn show)
{
    uint8_t buffer[256] = {0};
    vzmsg_t msg;
    uint32_t item, type;
    uint64_t value;
    uint16_t size;
    int attempt, items = 0;

    vzmsg_init(&msg, buffer, sizeof buffer);
    if (!vzmsg_add_cmd(&msg, code) || vzmsg_ctl_send(dev, &msg) != 0)
        return 0;
    for (attempt = 0; attempt < QUERY_RECEIVES; attempt++) {
        if (vzmsg_ctl_recv(dev, &msg) == 0)
            break;
        vzmsg_sleep(QUERY_RETRY_MS);
    }
    if (attempt == QUERY_RECEIVES)
        return 0;
    while (vzmsg_get(&msg, &item, &type, &value, &size) == 0) {
        keep_item(info, item, type, value, size);
        if (show)
            show(item, type, value, size);
        items++;
    }
    return items > 0;
}
