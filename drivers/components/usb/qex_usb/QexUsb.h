#pragma once

// qex_usb: the USB function driver of the programmed widget. It makes one device per
// attached widget ("\\.\qex_usb_devNN") and the device map ("\\.\qex_usb_map") that lists
// them, and serves the control codes and DMX writes of QexUsbPublic.h.
//
// Loaded by the PnP manager through the binding table (see machine/); tests may load it
// with platform::kernel::LoadDriver and hand it physical devices themselves.

#include "platform/kernel/Kernel.h"

namespace qex_usb {

inline constexpr wchar_t kDriverName[] = L"qex_usb";

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

} // namespace qex_usb
