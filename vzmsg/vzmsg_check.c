#include "vzmsg_check.h"

#include <string.h>

#include "prgdecode.h"

#define CHECK_PROTOCOL 1

struct product_name {
    const char *raw;
    const char *name;
};

static const struct product_name recorder_products[] = {{"Q7", "Veldracorder Q7"}};
static const struct product_name image_products[] = {{"VELDR-Q7", "Veldracorder Q7"},
                                                     {"VD-NIMBO", "Veldracorder Q9"}};

static const char *product_name(const struct product_name *table, size_t count, const char *raw)
{
    size_t i;
    for (i = 0; i < count; i++)
        if (strcmp(table[i].raw, raw) == 0)
            return table[i].name;
    return raw;
}

const char *vzmsg_check_recorder_product(const char *model)
{
    return product_name(recorder_products, sizeof recorder_products / sizeof *recorder_products, model);
}

const char *vzmsg_check_image_product(const char *code)
{
    return product_name(image_products, sizeof image_products / sizeof *image_products, code);
}

int vzmsg_check_protocol(uint32_t protocol)
{
    return protocol != CHECK_PROTOCOL;
}

int vzmsg_check_battery(uint32_t battery)
{
    return battery == 0;
}

int vzmsg_check_products(const char *recorder, const char *image)
{
    return strcmp(recorder, image) != 0;
}

int vzmsg_check_version(uint32_t recorder, uint32_t image)
{
    return recorder > image;
}

int vzmsg_check_image(const uint8_t *image, uint32_t length, char *product, int size)
{
    prg_header header;
    if (length < PRG_HEADER_SIZE || length > INT32_MAX || prg_check(image, (int32_t)length) != 0)
        return VZMSG_CHECK_IMAGE_BROKEN;
    prg_set_header(&header, image);
    return prg_get_product(&header, product, size) == 0 ? VZMSG_CHECK_IMAGE_OK : VZMSG_CHECK_IMAGE_NO_PRODUCT;
}
