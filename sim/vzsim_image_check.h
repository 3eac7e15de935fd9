// The recorder's check of a received image before it may be written.
#ifndef VZSIM_IMAGE_CHECK_H
#define VZSIM_IMAGE_CHECK_H

#include <cstdint>
#include <string>
#include <vector>

namespace vzsim
{

// The status the data check ends in: 5 when all `announced` bytes arrived,
// the header declares that size, the product code is `product` and the
// checksum holds; 105 for an image of another product; 106 otherwise.
uint32_t checkImage(const std::vector<uint8_t> &image, uint32_t announced, const std::string &product);

} // namespace vzsim

#endif
