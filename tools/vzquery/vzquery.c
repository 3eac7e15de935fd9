/* vzquery: opens the recorder's control port and prints what the recorder
 * reports about itself. A quick check that a recorder is reachable (a real
 * one over ALSA or Windows MIDI, or vzsim through the bridge) without
 * starting the updater; it sends only queries, never an update request. */
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vzmsg.h"
#include "vzmsg_ctl.h"
#include "vzmsg_devs_midi_win.h"

#define QUERY_RECEIVES 10
#define QUERY_RETRY_MS 100

static const char usage[] = "usage: vzquery\n"
                            "Opens the MIDI ports named \"Q7 CONTROL\" and prints the recorder's protocol\n"
                            "version, firmware version and build, product, serial number and battery.\n"
                            "Exit status: 0 the recorder answered, 1 no recorder, 2 bad command line.\n";

static void print_item(uint32_t code, uint32_t type, uint64_t value, uint16_t size)
{
    const char *text = (const char *)(uintptr_t)value;
    int is_text = type == VZMSG_TYPE_STR8 || type == VZMSG_TYPE_STR16;

    switch (code) {
    case VZMSG_DATA_PROTOCOL:
        printf("protocol: %" PRIu64 "\n", value);
        break;
    case VZMSG_DATA_VERSION:
        printf("version: %u.%02u\n", (unsigned)(value & 0xFFFF) / 100, (unsigned)(value & 0xFFFF) % 100);
        break;
    case VZMSG_DATA_BUILD:
        printf("build: %" PRIu64 "\n", value & 0xFFFF);
        break;
    case VZMSG_DATA_BATTERY:
        printf("battery: %" PRIu64 "%s\n", value & 0xFFFF, (value & 0xFFFF) ? "" : " (no usable battery)");
        break;
    case VZMSG_DATA_PRODUCT:
    case VZMSG_DATA_SERIAL:
        if (is_text)
            printf("%s: %.*s\n", code == VZMSG_DATA_PRODUCT ? "product" : "serial", (int)size, text);
        break;
    default:
        break; /* items the updater keeps but does not show */
    }
}

/* One request and its reply; the receive is retried only when the port
 * reports an error, as the updater does. Answers whether items came back. */
static int query(vzmsg_dev_t *dev, uint8_t code)
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
        print_item(item, type, value, size);
        items++;
    }
    return items > 0;
}

int main(int argc, char **argv)
{
    static const uint8_t requests[] = {VZMSG_DATA_PROTOCOL, VZMSG_DATA_VERSION, VZMSG_DATA_SERIAL,
                                       VZMSG_DATA_BATTERY};
    vzmsg_dev_t *dev;
    size_t i;
    int answered = 1;

    if (argc > 1) {
        int help = strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0;
        fputs(usage, help ? stdout : stderr);
        return help ? 0 : 2;
    }
    /* The port context holds two 2 KiB buffers: too big for some stacks. */
    dev = calloc(1, sizeof *dev);
    if (!dev || vzmsg_devs_open(dev) != 0) {
        fprintf(stderr, "vzquery: no recorder: no MIDI ports named \"Q7 CONTROL\" could be opened\n");
        free(dev);
        return 1;
    }
    printf("port: Q7 CONTROL\n");
    for (i = 0; i < sizeof requests; i++)
        answered &= query(dev, requests[i]);
    vzmsg_devs_close(dev);
    free(dev);
    if (!answered)
        fprintf(stderr, "vzquery: the recorder did not answer every query\n");
    return answered ? 0 : 1;
}
