/* The rules an update must pass before anything is sent to the recorder,
 * shared by the window and the command-line update: the image must be
 * whole and name a product; the recorder must speak our protocol, have a
 * usable battery, be the image's product and not hold a newer version.
 * Product names: the recorder's model text and the image's product code
 * both become one display name, so that the two can be compared. */
#ifndef VZMSG_CHECK_H
#define VZMSG_CHECK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The product code room that vzmsg_check_image needs. */
#define VZMSG_CHECK_PRODUCT_SIZE 64

/* The display name of a model text or a product code: a name of the
 * table, or the text itself when the table does not know it. */
const char *vzmsg_check_recorder_product(const char *model);
const char *vzmsg_check_image_product(const char *code);

/* 0 passes, 1 refuses. */
int vzmsg_check_protocol(uint32_t protocol);
int vzmsg_check_battery(uint32_t battery);
int vzmsg_check_products(const char *recorder, const char *image);
/* Refuses a recorder version above the image's: no going back. */
int vzmsg_check_version(uint32_t recorder, uint32_t image);

enum vzmsg_check_image_result {
    VZMSG_CHECK_IMAGE_OK = 0,
    VZMSG_CHECK_IMAGE_BROKEN = 1,     /* too short, or the checksum test fails */
    VZMSG_CHECK_IMAGE_NO_PRODUCT = 2, /* no product code to be read */
};
/* The whole image in memory; on success its product code, zero terminated,
 * in product (size at least VZMSG_CHECK_PRODUCT_SIZE). */
int vzmsg_check_image(const uint8_t *image, uint32_t length, char *product, int size);

#ifdef __cplusplus
}
#endif

#endif
