#pragma once

#include "drivers/components/usb/qex_usb/QexUsbPublic.h"

#include <cstdint>

namespace qex_usb {

// Packs a DMX image that starts at frame offset 0 into the product's 64-byte packets
// (layout in QexUsbPublic.h). Returns the bytes written to `out`, headers included, or 0
// when the product takes no writes, there is no data, or `capacity` is too small.
std::uint32_t PackDmxImage(const WidgetProductLayout& layout, const std::uint8_t* data, std::uint32_t length,
                           std::uint8_t* out, std::uint32_t capacity);

} // namespace qex_usb
