#pragma once

#include "platform/kernel/Kernel.h"

// Routines the tests' own drivers share.
namespace test_drivers {

// Ends a request with `status` and `information`.
inline NTSTATUS CompleteIrp(PIRP irp, NTSTATUS status, ULONG_PTR information = 0)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

inline NTSTATUS SignalEvent(PDEVICE_OBJECT, PIRP, PVOID context)
{
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// What a test driver does with a plug-and-play request the lower drivers must handle
// first: pass it down and wait until they have finished with it, keeping the request.
inline NTSTATUS ForwardAndWait(PDEVICE_OBJECT lower, PIRP irp)
{
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, &SignalEvent, &done, TRUE, TRUE, TRUE);
    if (IoCallDriver(lower, irp) == STATUS_PENDING)
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    return irp->IoStatus.Status;
}

} // namespace test_drivers
