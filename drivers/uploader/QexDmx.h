#pragma once

// qex_dmx: the firmware loader of the unprogrammed widget. When its device starts it holds
// the widget's 8051 in reset, writes the firmware image into the microcontroller's memory
// with vendor request 0xA0 and releases the reset; the widget then leaves the bus and
// comes back as the programmed widget that qex_usb serves. It offers nothing to user mode.

#include "platform/kernel/Kernel.h"
#include "tools/widget_firmware/WidgetFirmware.h"

#include <cstddef>

namespace qex_dmx {

inline constexpr wchar_t kDriverName[] = L"qex_dmx";

// The EZ-USB firmware-load request and the CPU control register it writes to.
constexpr UCHAR kFirmwareLoadRequest = 0xA0;
constexpr USHORT kCpuControlRegister = 0x7F92;
constexpr UCHAR kCpuHoldInReset = 0x01;
constexpr UCHAR kCpuRun = 0x00;
// The loader writes only the microcontroller's internal program memory, which ends here;
// records above it are skipped.
constexpr USHORT kHighestLoadAddress = 0x1B3F;
// How long one vendor request may take before the download gives up on the widget.
constexpr LONG kVendorRequestTimeoutMs = 1000;

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

// Writes the `count` records through the USB device below `lower`: reset on, the data
// records up to the first record that is not one (those above kHighestLoadAddress
// skipped), reset off. The first failed request ends the download with its status and the
// CPU stays in reset, so a half-written program never runs. STATUS_INVALID_PARAMETER for
// a record longer than 16 bytes. The loader's own image is kWidgetFirmwareImage.
NTSTATUS DownloadFirmware(PDEVICE_OBJECT lower, const WidgetFirmwareRecord* records, std::size_t count);

} // namespace qex_dmx
