#pragma once

#include "platform/kernel/Kernel.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>

// The I/O manager's side of user-mode device I/O: opening a device by its user-mode name,
// building the requests of a handle and finishing them for their issuer. platform/io
// builds its DeviceFile on these; nothing else should need them.
namespace platform::kernel {

// Opens "\\.\name" (the link "\DosDevices\name") with GENERIC_READ and/or GENERIC_WRITE:
// sends IRP_MJ_CREATE to the top of the device's stack and waits for it. Fails with
// STATUS_OBJECT_NAME_NOT_FOUND when no device answers to the name, STATUS_NO_SUCH_DEVICE
// while the device is still initialising, STATUS_ACCESS_DENIED when an exclusive device
// is open already, or the driver's own status.
NTSTATUS OpenDeviceFile(const std::wstring& path, ACCESS_MASK access, PFILE_OBJECT* file);

// Sends IRP_MJ_CLEANUP and IRP_MJ_CLOSE (not to a device that has been deleted, whose
// driver may be gone) and releases the file. The caller makes sure that none of the
// file's requests is still in progress.
void CloseDeviceFile(PFILE_OBJECT file);

// A request in progress, as its issuer holds it: it can be cancelled until it completes.
class UserIrp
{
public:
    // Asks the driver that holds the request to cancel it (IoCancelIrp); does nothing once
    // the request has completed.
    void Cancel();

private:
    friend struct UserIrpAccess;
    std::mutex mutex_;
    PIRP irp_ = nullptr; // null once completed
};

// Runs exactly once, on the thread that completes the request (possibly inside the call
// that issued it), with the final status and byte count. Must not block.
using UserCompletion = std::function<void(const IO_STATUS_BLOCK&)>;

// Issues IRP_MJ_DEVICE_CONTROL on an open file, with the buffers made as the code's
// transfer method asks. Both buffers must stay valid until `completion` has run; buffered
// output is copied back into `output` before it runs. A handle without the access the
// code requires gets STATUS_ACCESS_DENIED, a deleted device STATUS_DELETE_PENDING, both
// through `completion`.
std::shared_ptr<UserIrp> SendDeviceControl(PFILE_OBJECT file, ULONG code, void* input, ULONG inputLength,
                                           void* output, ULONG outputLength, UserCompletion completion);

// Issues IRP_MJ_WRITE at a byte offset, buffered, direct or neither as the device's flags
// ask. `data` must stay valid until `completion` has run.
std::shared_ptr<UserIrp> SendWrite(PFILE_OBJECT file, void* data, ULONG length, LONGLONG offset,
                                   UserCompletion completion);

} // namespace platform::kernel
