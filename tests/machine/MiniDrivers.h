#pragma once

#include "platform/usb/Usb.h"

#include <QStringList>

// Two small drivers for the machine's tests, written against the kernel and USB API the
// way the widget's real drivers are:
//
// - the mini loader, bound to the unprogrammed widget: on start it holds the 8051 in
//   reset, writes the firmware image with vendor requests and releases it;
// - the mini widget driver, bound to the programmed widget: on start it selects the
//   configuration; its device "\\.\MiniWidget" takes pipe writes and reads as control
//   requests (the pipe number as a u32 input, the data through direct I/O), passing the
//   caller's request down the USB stack as a bulk transfer.
namespace mini {

constexpr ULONG IOCTL_MINI_READ_PIPE = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x821, METHOD_OUT_DIRECT, FILE_ANY_ACCESS);
constexpr ULONG IOCTL_MINI_WRITE_PIPE = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x822, METHOD_IN_DIRECT, FILE_ANY_ACCESS);

NTSTATUS LoaderEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS WidgetEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

// What the drivers did, in order ("loader:start", "widget:remove", ...).
QStringList TakeJournal();

} // namespace mini
