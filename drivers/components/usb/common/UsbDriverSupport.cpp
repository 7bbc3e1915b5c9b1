#include "drivers/components/usb/common/UsbDriverSupport.h"

namespace usb_driver {

namespace {

LARGE_INTEGER RelativeMs(LONG ms)
{
    LARGE_INTEGER timeout;
    timeout.QuadPart = -LONGLONG(ms) * 10'000;
    return timeout;
}

NTSTATUS SignalOnCompletion(PDEVICE_OBJECT, PIRP, PVOID context)
{
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    // The request stays with whoever waits for the event.
    return STATUS_MORE_PROCESSING_REQUIRED;
}

} // namespace

VOID InitializeOutstandingIo(OutstandingIo* io)
{
    io->Count = 1;
    io->Removing = 0;
    KeInitializeEvent(&io->RemoveEvent, NotificationEvent, FALSE);
    KeInitializeEvent(&io->ReleaseEvent, SynchronizationEvent, FALSE);
}

NTSTATUS AcquireIo(OutstandingIo* io)
{
    // Counted first and checked second, so that removal, which marks first and waits
    // second, either sees this request or the request sees the mark.
    InterlockedIncrement(&io->Count);
    if (InterlockedCompareExchange(&io->Removing, 0, 0)) {
        ReleaseIo(io);
        return STATUS_DELETE_PENDING;
    }
    return STATUS_SUCCESS;
}

VOID ReleaseIo(OutstandingIo* io)
{
    // The release event is set while this reference still keeps the device alive: once
    // the count has fallen, removal may free the device at any moment. The remove event is
    // the exception, as removal waits for exactly that event before it frees anything.
    KeSetEvent(&io->ReleaseEvent, IO_NO_INCREMENT, FALSE);
    if (InterlockedDecrement(&io->Count) == 0)
        KeSetEvent(&io->RemoveEvent, IO_NO_INCREMENT, FALSE);
}

BOOLEAN IsRemoving(const OutstandingIo* io)
{
    return InterlockedCompareExchange(const_cast<LONG volatile*>(&io->Removing), 0, 0) ? TRUE : FALSE;
}

VOID WaitForOutstandingIo(OutstandingIo* io, LONG limit, DrainKick kick, PVOID context)
{
    for (;;) {
        if (kick)
            kick(context);
        LARGE_INTEGER timeout = RelativeMs(kDrainRetryMs);
        if (limit == 0) {
            if (KeWaitForSingleObject(&io->RemoveEvent, Executive, KernelMode, FALSE, &timeout) == STATUS_SUCCESS)
                return;
            continue;
        }
        while (InterlockedCompareExchange(&io->Count, 0, 0) > limit) {
            if (KeWaitForSingleObject(&io->ReleaseEvent, Executive, KernelMode, FALSE, &timeout) == STATUS_TIMEOUT)
                break;
        }
        if (InterlockedCompareExchange(&io->Count, 0, 0) <= limit)
            return;
    }
}

VOID DrainForRemoval(OutstandingIo* io, DrainKick kick, PVOID context)
{
    // AcquireIo fails from here on.
    InterlockedExchange(&io->Removing, 1);
    ReleaseIo(io); // the removal request's
    ReleaseIo(io); // the device's own, held since it was added
    WaitForOutstandingIo(io, 0, kick, context);
}

NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS PassDownAndWait(PDEVICE_OBJECT lower, PIRP irp)
{
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, &SignalOnCompletion, &done, TRUE, TRUE, TRUE);
    NTSTATUS status = IoCallDriver(lower, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
        status = irp->IoStatus.Status;
    }
    return status;
}

NTSTATUS PassDown(PDEVICE_OBJECT lower, PIRP irp)
{
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(lower, irp);
}

NTSTATUS HandleQueryCapabilities(PDEVICE_OBJECT lower, PIRP irp)
{
    PDEVICE_CAPABILITIES capabilities = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceCapabilities.Capabilities;
    if (!capabilities || capabilities->Version < 1)
        return PassDown(lower, irp);
    const NTSTATUS status = PassDownAndWait(lower, irp);
    if (NT_SUCCESS(status))
        capabilities->SurpriseRemovalOK = 1;
    return CompleteRequest(irp, status, irp->IoStatus.Information);
}

NTSTATUS SubmitUrbAndWait(PDEVICE_OBJECT lower, PURB urb, LONG timeoutMs, TimeoutAction onTimeout,
                          PVOID timeoutContext)
{
    // A request of our own rather than one the I/O manager builds: it stays ours until
    // we free it, so a timed-out wait can still cancel it safely.
    PIRP irp = IoAllocateIrp(lower->StackSize, FALSE);
    if (!irp)
        return STATUS_INSUFFICIENT_RESOURCES;
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
    next->Parameters.Others.Argument1 = urb;
    IoSetCompletionRoutine(irp, &SignalOnCompletion, &done, TRUE, TRUE, TRUE);

    IoCallDriver(lower, irp);
    bool waited = false;
    if (timeoutMs > 0) {
        LARGE_INTEGER timeout = RelativeMs(timeoutMs);
        waited = KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, &timeout) == STATUS_SUCCESS;
        if (!waited) {
            if (onTimeout)
                onTimeout(timeoutContext, irp);
            else
                IoCancelIrp(irp);
        }
    }
    if (!waited)
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);

    const NTSTATUS status = irp->IoStatus.Status;
    IoFreeIrp(irp);
    return NT_SUCCESS(status) && USBD_SUCCESS(urb->UrbHeader.Status) ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL;
}

NTSTATUS SubmitPipeRequest(PDEVICE_OBJECT lower, USHORT function, USBD_PIPE_HANDLE pipe, ULONG poolTag)
{
    auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, sizeof(_URB_PIPE_REQUEST), poolTag));
    if (!urb)
        return STATUS_INSUFFICIENT_RESOURCES;
    RtlZeroMemory(urb, sizeof(_URB_PIPE_REQUEST));
    USBD_VERSION_INFORMATION version;
    USBD_GetUSBDIVersion(&version);
    constexpr ULONG kUsbdiVersion1 = 0x100;
    USHORT length = USHORT(sizeof(_URB_PIPE_REQUEST));
    if (version.USBDI_Version <= kUsbdiVersion1)
        length = USHORT(length - sizeof(ULONG));
    urb->UrbHeader.Length = length;
    urb->UrbHeader.Function = function;
    urb->UrbPipeRequest.PipeHandle = pipe;
    const NTSTATUS status = SubmitUrbAndWait(lower, urb);
    ExFreePoolWithTag(urb, poolTag);
    return status;
}

NTSTATUS SendVendorWrite(PDEVICE_OBJECT lower, UCHAR request, USHORT value, USHORT index, const UCHAR* data,
                         ULONG length, ULONG poolTag, LONG timeoutMs)
{
    const ULONG urbSize = sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST);
    auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, urbSize + length, poolTag));
    if (!urb)
        return STATUS_NO_MEMORY;
    RtlZeroMemory(urb, urbSize);
    // The data travels in the same allocation, behind the request block.
    PUCHAR buffer = length ? reinterpret_cast<PUCHAR>(urb) + urbSize : nullptr;
    if (length)
        RtlCopyMemory(buffer, data, length);
    UsbBuildVendorRequest(urb, URB_FUNCTION_VENDOR_DEVICE, USHORT(urbSize), USBD_TRANSFER_DIRECTION_OUT, 0, request,
                          value, index, buffer, nullptr, length, nullptr);
    const NTSTATUS status = SubmitUrbAndWait(lower, urb, timeoutMs);
    ExFreePoolWithTag(urb, poolTag);
    return status;
}

} // namespace usb_driver
