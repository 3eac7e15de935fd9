/* The application's one object for one recorder: its control port, the
 * answers to the recorder queries, the header of the firmware image under
 * consideration, and the update run. Results are true for success. */
#ifndef VZDEVICE_H
#define VZDEVICE_H

#include <cstdint>
#include <string>

#include "prgdecode.h"
#include "vzmsg.h"
#include "vzmsg_devs_midi_win.h"

class VzDevice
{
public:
    VzDevice();
    ~VzDevice();
    VzDevice(const VzDevice &) = delete;
    VzDevice &operator=(const VzDevice &) = delete;

    bool select_default();
    bool close();
    bool is_open() const;

    bool get_protocol_info();
    bool get_battery_info();
    bool get_version_info();
    bool get_serial_info();

    bool get_protocol(uint16_t *value) const;
    bool get_battery(uint16_t *value) const;
    bool get_version(uint16_t *value) const;
    bool get_build(uint16_t *value) const;
    bool get_product(std::string &name) const;
    bool get_serial(std::string &serial) const;

    uint32_t fw_set_header(const uint8_t *image);
    bool fw_check(const uint8_t *image, uint32_t length) const;
    uint16_t fw_get_version() const;
    uint16_t fw_get_build() const;
    uint32_t fw_get_data_size() const;
    uint32_t fw_get_header_checksum() const;
    bool fw_get_product(std::string &name) const;
    bool fw_load_header(const std::string &path);
    bool fw_check_file() const;
    bool fw_get_checksum(uint32_t size, uint32_t *checksum) const;

    bool fw_update(const uint8_t *image, uint32_t length, uint32_t *progress, uint32_t *total,
                   uint32_t *status);

    /* The recorder and the image name the model differently; both become
     * one display name so that they can be compared. */
    static std::string recorderProductName(const std::string &model);
    static std::string imageProductName(const std::string &code);

private:
    bool query(uint8_t code);
    bool parse_reply(vzmsg_t *msg);
    bool cached(uint16_t cachedValue, uint16_t *value) const;
    bool cachedText(const std::string &cachedValue, std::string &text) const;

    vzmsg_dev_t device;
    bool open = false;
    prg_header firmwareHeader;
    std::string firmwarePath;
    std::string productName;
    std::string serialNumber;
    uint16_t protocolVersion = 0;
    uint16_t battery = 0;
    uint16_t version = 0;
    uint16_t build = 0;
};

#endif
