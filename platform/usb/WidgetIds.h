#pragma once

#include <cstdint>

// The widget's USB identities, shared by the drivers (their binding table), the program
// (which looks for the widget in the driver's device map), the simulated widget and the
// machine. The vendor ids and the unprogrammed product id are this project's own choice.
namespace widget_ids {

// The widget's microcontroller before its firmware is loaded: it enumerates with the
// identity of its bare USB chip, and the firmware loader is bound to it.
constexpr std::uint16_t kUnprogrammedVendorId = 0x0D79;
constexpr std::uint16_t kUnprogrammedProductId = 0x2131;

// The widget running its firmware. The USB driver is bound to this vendor id; the
// product id says which widget it is (and how the driver packs DMX frames for it).
constexpr std::uint16_t kWidgetVendorId = 0x0D7A;
// The widget the firmware image makes.
constexpr std::uint16_t kWidgetProductId = 0x0002;

} // namespace widget_ids
