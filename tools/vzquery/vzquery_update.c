#include "vzquery_update.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "prgdecode.h"
#include "recorder_query.h"
#include "update_progress.h"
#include "vzmsg.h"
#include "vzmsg_check.h"
#include "vzmsg_ctl.h"

static const char usage[] =
    "usage: vzquery update [--allow-older] IMAGE\n"
    "Installs the firmware IMAGE on the recorder at the MIDI ports named \"Q7 CONTROL\", after the\n"
    "checks the updater's window makes: the image's checksum and product; the recorder's protocol,\n"
    "battery and product, and a firmware version not newer than the image's (--allow-older sends\n"
    "an older image all the same; the recorder may still refuse it). One line on standard error\n"
    "follows the phases: transfer, erase, blank check, write, compare.\n"
    "Exit status:\n"
    "   0  update complete\n"
    "   1  no recorder, or it did not answer\n"
    "   2  bad command line\n"
    "   3  the image cannot be read\n"
    "   4  the image is damaged or names no product\n"
    "   5  the recorder speaks another protocol version\n"
    "   6  the recorder has no usable battery\n"
    "   7  the image is for another product\n"
    "   8  the image is older than the recorder's firmware\n"
    "   9  the recorder ended the update with an error\n"
    "  10  the update stopped without the recorder's word (recorder lost or silent)\n"
    "Nothing is sent to the recorder before every check has passed (statuses 3 to 8).\n";

static const char wrong_firmware[] =
    "This firmware cannot be used to update this device. Please use the correct file.";
static const char recognition_failed[] =
    "Device recognition failed. Restart the device's power once and try again.";
static const char no_battery[] = "Install batteries that have enough remaining charge.";
static const char update_error[] =
    "An error occurred while updating. Restart the device's power once and try again.";

struct options {
    const char *image_path;
    int allow_older;
};

struct image {
    uint8_t *bytes;
    uint32_t length;
    uint32_t version;
    uint32_t build;
    char product[VZMSG_CHECK_PRODUCT_SIZE];
};

static int read_options(int argc, char **argv, struct options *options)
{
    int i;
    for (i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--allow-older") == 0)
            options->allow_older = 1;
        else if (argv[i][0] == '-' || options->image_path)
            return 0;
        else
            options->image_path = argv[i];
    }
    return options->image_path != NULL;
}

static int refuse(int status, const char *reason, const char *advice)
{
    fprintf(stderr, "vzquery: %s\n%s\n", reason, advice);
    return status;
}

/* What the user reads when the recorder ends the update without
 * "complete": the window's final message for the status. */
static const char *final_message(uint32_t status)
{
    switch (status) {
    case VZMSG_DATA_FWUP_STATUS_ERR_MASSSTORAGE:
        return "Stop operation as an SD card reader.";
    case VZMSG_DATA_FWUP_STATUS_ERR_REC_PLAY:
        return "Stop recording and playback.";
    case VZMSG_DATA_FWUP_STATUS_ERR_NO_BATTERY:
        return no_battery;
    case VZMSG_DATA_FWUP_STATUS_ERR_VERSION:
        return "Updating to an older firmware version is not possible.";
    case VZMSG_DATA_FWUP_STATUS_ERR_PRODUCT:
    case VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK:
        return wrong_firmware;
    case VZMSG_DATA_FWUP_STATUS_ERR_COMMUNICATE:
        return recognition_failed;
    default:
        return update_error;
    }
}

static int load_image(const char *path, struct image *image)
{
    int32_t length = 0;
    prg_header header;
    image->bytes = prg_load_file(path, &length);
    if (!image->bytes)
        return refuse(UPDATE_EXIT_NO_IMAGE, "cannot read the image file", path);
    image->length = (uint32_t)length;
    if (vzmsg_check_image(image->bytes, image->length, image->product, sizeof image->product) != 0)
        return refuse(UPDATE_EXIT_BAD_IMAGE, "the image is damaged or names no product", wrong_firmware);
    prg_set_header(&header, image->bytes);
    image->version = prg_get_version(&header);
    image->build = prg_get_build(&header);
    return UPDATE_EXIT_COMPLETE;
}

/* The window's start checks, in its order. */
static int check_recorder(vzmsg_dev_t *dev, const struct image *image, int allow_older)
{
    struct recorder_info info = {0};
    const char *product;

    if (!recorder_query(dev, VZMSG_DATA_PROTOCOL, &info, NULL))
        return refuse(UPDATE_EXIT_NO_RECORDER, "the recorder did not answer", recognition_failed);
    if (vzmsg_check_protocol(info.protocol))
        return refuse(UPDATE_EXIT_PROTOCOL, "the recorder speaks another protocol version",
                      recognition_failed);
    if (!recorder_query(dev, VZMSG_DATA_VERSION, &info, NULL) ||
        !recorder_query(dev, VZMSG_DATA_BATTERY, &info, NULL))
        return refuse(UPDATE_EXIT_NO_RECORDER, "the recorder did not answer", recognition_failed);
    if (vzmsg_check_battery(info.battery))
        return refuse(UPDATE_EXIT_BATTERY, "the recorder has no usable battery", no_battery);
    if (!info.product[0])
        return refuse(UPDATE_EXIT_NO_RECORDER, "the recorder did not name its product", recognition_failed);
    product = vzmsg_check_recorder_product(info.product);
    printf("recorder: %s %u.%02u build %u; image: %s %u.%02u build %u\n", product, info.version / 100,
           info.version % 100, info.build, vzmsg_check_image_product(image->product), image->version / 100,
           image->version % 100, image->build);
    if (vzmsg_check_products(product, vzmsg_check_image_product(image->product)))
        return refuse(UPDATE_EXIT_PRODUCT, "the image is for another product", wrong_firmware);
    if (!allow_older && vzmsg_check_version(info.version, image->version))
        return refuse(UPDATE_EXIT_OLDER, "the image is older than the recorder's firmware",
                      "Updating to an older firmware version is not possible.");
    return UPDATE_EXIT_COMPLETE;
}

static int run_update(vzmsg_dev_t *dev, const struct image *image)
{
    uint32_t status = 0;
    int completed = 0;
    if (update_run(dev, image->bytes, image->length, stderr, &status, &completed) != 0)
        return refuse(UPDATE_EXIT_BROKEN_OFF, "cannot start the update", update_error);
    if (completed && status == VZMSG_DATA_FWUP_STATUS_COMPLETE) {
        printf("update complete\n");
        return UPDATE_EXIT_COMPLETE;
    }
    fprintf(stderr, "vzquery: update failed, recorder status %s\n", vzmsg_ctl_status_name(status));
    return refuse(status >= VZMSG_DATA_FWUP_STATUS_ERROR ? UPDATE_EXIT_RECORDER_ERROR
                                                         : UPDATE_EXIT_BROKEN_OFF,
                  "the update did not complete", final_message(status));
}

int vzquery_update(int argc, char **argv)
{
    struct options options = {0};
    struct image image = {0};
    vzmsg_dev_t *dev = NULL;
    int result;

    if (argc == 1 && (strcmp(argv[0], "--help") == 0 || strcmp(argv[0], "-h") == 0)) {
        fputs(usage, stdout);
        return UPDATE_EXIT_COMPLETE;
    }
    if (!read_options(argc, argv, &options)) {
        fputs(usage, stderr);
        return UPDATE_EXIT_USAGE;
    }
    result = load_image(options.image_path, &image);
    /* The port context holds two 2 KiB buffers: too big for some stacks. */
    if (result == UPDATE_EXIT_COMPLETE) {
        dev = calloc(1, sizeof *dev);
        if (!dev || vzmsg_devs_open(dev) != 0) {
            result =
                refuse(UPDATE_EXIT_NO_RECORDER,
                       "no recorder: no MIDI ports named \"Q7 CONTROL\" could be opened", recognition_failed);
            free(dev);
            dev = NULL;
        }
    }
    if (result == UPDATE_EXIT_COMPLETE)
        result = check_recorder(dev, &image, options.allow_older);
    if (result == UPDATE_EXIT_COMPLETE)
        result = run_update(dev, &image);
    if (dev)
        vzmsg_devs_close(dev);
    free(dev);
    free(image.bytes);
    return result;
}
