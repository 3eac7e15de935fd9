// Firmware images made on the spot, sound or spoiled on purpose.
#ifndef TEST_IMAGES_H
#define TEST_IMAGES_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "prgencode.h"

namespace simtest
{

// A sound image of payloadLength + 36 bytes with a deterministic payload.
inline std::vector<uint8_t> makeImage(int32_t payloadLength, const std::string &product = "VELDR-Q7",
                                      uint16_t version = 102, uint16_t build = 40)
{
    prg_image_info info{{}, version, build, 2023, 5, 17};
    std::memcpy(info.product, product.data(), product.size() < 8 ? product.size() : 8);
    std::vector<uint8_t> payload(static_cast<size_t>(payloadLength));
    uint32_t state = 0x2545F491u;
    for (uint8_t &byte : payload) {
        state = state * 1103515245u + 12345u;
        byte = uint8_t(state >> 24);
    }
    std::vector<uint8_t> image(payload.size() + PRG_MIN_IMAGE_SIZE);
    prg_build_image(&info, payload.data(), payloadLength, image.data(), int32_t(image.size()));
    return image;
}

} // namespace simtest

#endif
