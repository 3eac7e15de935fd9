#include "vzdevice.h"

#include <cstdio>
#include <cstring>

#include "vzmsg_check.h"
#include "vzmsg_ctl.h"
#include "vzmsg_diag.h"

namespace
{

constexpr uint16_t recordSize = 256;
constexpr int receiveAttempts = 10;
constexpr uint32_t receiveRetryMs = 100;
constexpr int productBufferSize = 64;

void printUnknownItem(uint32_t code, uint32_t type, uint16_t size)
{
    printf("cmd=%#x,type=%d,size=%u\r\n", code, static_cast<int>(type), static_cast<unsigned>(size));
}

} // namespace

VzDevice::VzDevice() : device{}, firmwareHeader{} {}

VzDevice::~VzDevice()
{
    close();
}

bool VzDevice::select_default()
{
    if (open)
        return true;
    if (vzmsg_devs_open(&device) != 0)
        return false;
    open = true;
    return true;
}

bool VzDevice::close()
{
    if (open) {
        vzmsg_devs_close(&device);
        open = false;
    }
    return true;
}

bool VzDevice::is_open() const
{
    return open;
}

bool VzDevice::get_protocol_info()
{
    return query(VZMSG_DATA_PROTOCOL);
}

bool VzDevice::get_battery_info()
{
    return query(VZMSG_DATA_BATTERY);
}

bool VzDevice::get_version_info()
{
    return query(VZMSG_DATA_VERSION);
}

bool VzDevice::get_serial_info()
{
    return query(VZMSG_DATA_SERIAL);
}

/* One request, then receives until one succeeds: only receive errors are
 * retried; a recorder that stays silent yields an empty reply at once. */
bool VzDevice::query(uint8_t code)
{
    if (!open) {
        VZMSG_ERROR_LINE();
        return false;
    }
    uint8_t buffer[recordSize] = {};
    vzmsg_t msg;
    if (vzmsg_init(&msg, buffer, sizeof buffer) != 0) {
        VZMSG_ERROR_LINE();
        return false;
    }
    if (vzmsg_add_cmd(&msg, code) == 0) {
        VZMSG_ERROR_LINE();
        return false;
    }
    if (vzmsg_ctl_send(&device, &msg) != 0) {
        VZMSG_ERROR_LINE();
        return false;
    }
    for (int attempt = 0; attempt < receiveAttempts; ++attempt) {
        if (vzmsg_ctl_recv(&device, &msg) == 0)
            return parse_reply(&msg);
        vzmsg_sleep(receiveRetryMs);
    }
    VZMSG_ERROR_LINE();
    return false;
}

bool VzDevice::parse_reply(vzmsg_t *msg)
{
    bool anyItem = false;
    uint32_t code = 0;
    uint32_t type = 0;
    uint64_t value = 0;
    uint16_t size = 0;
    while (vzmsg_get(msg, &code, &type, &value, &size) == 0) {
        anyItem = true;
        const bool text = type == VZMSG_TYPE_STR8 || type == VZMSG_TYPE_STR16;
        const uint16_t number = static_cast<uint16_t>(value);
        switch (code) {
        case VZMSG_DATA_VERSION:
            if (!text)
                version = number;
            break;
        case VZMSG_DATA_BUILD:
            if (!text)
                build = number;
            break;
        case VZMSG_DATA_BATTERY:
            if (!text)
                battery = number;
            break;
        case VZMSG_DATA_PROTOCOL:
            if (!text)
                protocolVersion = number;
            break;
        case VZMSG_DATA_PRODUCT:
            if (type == VZMSG_TYPE_STR8)
                productName = recorderProductName(
                    std::string(reinterpret_cast<const char *>(static_cast<uintptr_t>(value)), size));
            break;
        case VZMSG_DATA_SERIAL:
            if (type == VZMSG_TYPE_STR8)
                serialNumber.assign(reinterpret_cast<const char *>(static_cast<uintptr_t>(value)), size);
            break;
        case 0x03:
        case 0x05:
        case 0x06:
            break;
        default:
            printUnknownItem(code, type, size);
            break;
        }
    }
    return anyItem;
}

bool VzDevice::cached(uint16_t cachedValue, uint16_t *value) const
{
    if (open && value)
        *value = cachedValue;
    return open;
}

bool VzDevice::cachedText(const std::string &cachedValue, std::string &text) const
{
    if (!open || cachedValue.empty()) {
        VZMSG_ERROR_LINE();
        return false;
    }
    text = cachedValue;
    return true;
}

bool VzDevice::get_protocol(uint16_t *value) const
{
    return cached(protocolVersion, value);
}

bool VzDevice::get_battery(uint16_t *value) const
{
    return cached(battery, value);
}

bool VzDevice::get_version(uint16_t *value) const
{
    return cached(version, value);
}

bool VzDevice::get_build(uint16_t *value) const
{
    return cached(build, value);
}

bool VzDevice::get_product(std::string &name) const
{
    return cachedText(productName, name);
}

bool VzDevice::get_serial(std::string &serial) const
{
    return cachedText(serialNumber, serial);
}

uint32_t VzDevice::fw_set_header(const uint8_t *image)
{
    return static_cast<uint32_t>(prg_set_header(&firmwareHeader, image));
}

bool VzDevice::fw_check(const uint8_t *image, uint32_t length) const
{
    return prg_check(image, static_cast<int32_t>(length)) == 0;
}

uint16_t VzDevice::fw_get_version() const
{
    return prg_get_version(&firmwareHeader);
}

uint16_t VzDevice::fw_get_build() const
{
    return prg_get_build(&firmwareHeader);
}

uint32_t VzDevice::fw_get_data_size() const
{
    return prg_get_data_size(&firmwareHeader);
}

uint32_t VzDevice::fw_get_header_checksum() const
{
    return prg_get_checksum(&firmwareHeader);
}

bool VzDevice::fw_get_product(std::string &name) const
{
    char code[productBufferSize] = {};
    if (prg_get_product(&firmwareHeader, code, sizeof code) != 0)
        return false;
    name += imageProductName(code);
    return true;
}

bool VzDevice::fw_load_header(const std::string &path)
{
    firmwarePath = path;
    if (prg_read_header(&firmwareHeader, firmwarePath.c_str()) == 0)
        return true;
    firmwarePath.clear();
    return false;
}

bool VzDevice::fw_check_file() const
{
    return !firmwarePath.empty() && prg_check_file(firmwarePath.c_str()) == 0;
}

/* The image carries its own checksum, tested by fw_check; the recorder
 * offers no request for a checksum of what it holds, so there is nothing
 * to report here and the hook always succeeds. */
bool VzDevice::fw_get_checksum(uint32_t size, uint32_t *checksum) const
{
    (void)size;
    (void)checksum;
    return true;
}

bool VzDevice::fw_update(const uint8_t *image, uint32_t length, uint32_t *progress, uint32_t *total,
                         uint32_t *status)
{
    if (!open) {
        VZMSG_ERROR_LINE();
        return false;
    }
    return vzmsg_ctl_fwup_enter(&device, status) == 0 &&
           vzmsg_ctl_fwup_send_data(&device, image, length, progress, total, status) == 0 &&
           vzmsg_ctl_fwup_data_check(&device, status) == 0 &&
           vzmsg_ctl_fwup_write(&device, progress, total, status) == 0;
}

std::string VzDevice::recorderProductName(const std::string &model)
{
    return vzmsg_check_recorder_product(model.c_str());
}

std::string VzDevice::imageProductName(const std::string &code)
{
    return vzmsg_check_image_product(code.c_str());
}
