#pragma once

#include "platform/kernel/PnpManager.h"

#include <vector>

namespace machine {

// The binding table of the drivers this project ships: which driver the PnP manager loads
// for which USB device (the firmware loader for the unprogrammed widget, the USB driver
// for the programmed widget's products). Each driver adds its own lines in
// DriverBindings.cpp.
std::vector<platform::kernel::DriverBinding> DefaultDriverBindings();

} // namespace machine
