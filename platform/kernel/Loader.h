#pragma once

#include "platform/kernel/Kernel.h"

#include <string>

// Loading and unloading drivers. The PnP manager loads a driver when a device it is bound
// to arrives; tests load small drivers of their own directly.
namespace platform::kernel {

// Makes the driver object (every major function answering STATUS_INVALID_DEVICE_REQUEST),
// calls `entry` with the registry path of the driver's service key and, on success,
// hands the object out. Devices the driver made in its entry routine are marked ready
// (DO_DEVICE_INITIALIZING cleared). A failed entry leaves nothing loaded.
NTSTATUS LoadDriver(const std::wstring& name, PDRIVER_INITIALIZE entry, PDRIVER_OBJECT* driver);

// Calls the driver's unload routine, if any, and lets go of the driver object; the object
// itself goes once its last device object is gone. A driver that leaves devices behind is
// reported on the debug log (and its devices show up as pool leaks).
void UnloadDriver(PDRIVER_OBJECT driver);

} // namespace platform::kernel
