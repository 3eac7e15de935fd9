#include "vzsim_image_check.h"

#include <cstring>

#include "prgdecode.h"
#include "vzmsg_ctl.h"

namespace vzsim
{

namespace
{

bool sameProduct(const prg_header &header, const std::string &product)
{
    char code[sizeof header.product + 1] = {};
    std::memcpy(code, header.product, sizeof header.product);
    return product == code;
}

} // namespace

uint32_t checkImage(const std::vector<uint8_t> &image, uint32_t announced, const std::string &product)
{
    prg_header header;

    if (image.size() != announced || image.size() < PRG_MIN_IMAGE_SIZE)
        return VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK;
    prg_set_header(&header, image.data());
    if (prg_get_size(&header) != announced)
        return VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK;
    if (!sameProduct(header, product))
        return VZMSG_DATA_FWUP_STATUS_ERR_PRODUCT;
    if (prg_check(image.data(), int32_t(image.size())) != 0)
        return VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK;
    return VZMSG_DATA_FWUP_STATUS_WRITE_READY;
}

} // namespace vzsim
