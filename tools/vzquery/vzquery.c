/* vzquery: opens the recorder's control port and prints what the recorder
 * reports about itself. A quick check that a recorder is reachable (a real
 * one over ALSA or Windows MIDI, or vzsim through the bridge) without
 * starting the updater; it sends only queries. "vzquery update" is the
 * updater for scripts and machines without a desktop. */
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "recorder_query.h"
#include "vzmsg.h"
#include "vzquery_update.h"

static const char usage[] =
    "usage: vzquery\n"
    "       vzquery update [--allow-older] IMAGE\n"
    "Opens the MIDI ports named \"Q7 CONTROL\" and prints the recorder's protocol\n"
    "version, firmware version and build, product, serial number and battery.\n"
    "Exit status: 0 the recorder answered, 1 no recorder, 2 bad command line.\n"
    "With update, installs the firmware IMAGE on the recorder (see vzquery update --help).\n";

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

int main(int argc, char **argv)
{
    static const uint8_t requests[] = {VZMSG_DATA_PROTOCOL, VZMSG_DATA_VERSION, VZMSG_DATA_SERIAL,
                                       VZMSG_DATA_BATTERY};
    struct recorder_info info = {0};
    vzmsg_dev_t *dev;
    size_t i;
    int answered = 1;

    if (argc > 1 && strcmp(argv[1], "update") == 0)
        return vzquery_update(argc - 2, argv + 2);
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
        answered &= recorder_query(dev, requests[i], &info, print_item);
    vzmsg_devs_close(dev);
    free(dev);
    if (!answered)
        fprintf(stderr, "vzquery: the recorder did not answer every query\n");
    return answered ? 0 : 1;
}
