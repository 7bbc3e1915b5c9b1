#include "drivers/components/usb/qex_usb/QexUsbPrivate.h"

namespace qex_usb {

namespace {

struct PipeAbort
{
    PDEVICE_OBJECT lower;
    USBD_PIPE_HANDLE pipe;
};

VOID AbortPipeOnTimeout(PVOID context, PIRP)
{
    auto* abort = static_cast<PipeAbort*>(context);
    usb_driver::SubmitPipeRequest(abort->lower, URB_FUNCTION_ABORT_PIPE, abort->pipe, kPoolTag);
}

bool IsBulkOrInterrupt(const USBD_PIPE_INFORMATION& pipe)
{
    return pipe.PipeType == UsbdPipeTypeBulk || pipe.PipeType == UsbdPipeTypeInterrupt;
}

} // namespace

NTSTATUS GetDescriptor(WidgetDeviceExtension* extension, UCHAR type, UCHAR index, USHORT languageId, PVOID buffer,
                       ULONG length, ULONG* received)
{
    *received = 0;
    constexpr USHORT kUrbSize = sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST);
    auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, kUrbSize, kPoolTag));
    if (!urb)
        return STATUS_NO_MEMORY;
    RtlZeroMemory(urb, kUrbSize);
    UsbBuildGetDescriptorRequest(urb, kUrbSize, type, index, languageId, buffer, nullptr, length, nullptr);
    NTSTATUS status = usb_driver::SubmitUrbAndWait(extension->StackDeviceObject, urb);
    if (status == STATUS_INSUFFICIENT_RESOURCES)
        status = STATUS_NO_MEMORY;
    if (NT_SUCCESS(status))
        *received = urb->UrbControlDescriptorRequest.TransferBufferLength;
    ExFreePoolWithTag(urb, kPoolTag);
    return status;
}

PURB AllocateTransferUrb(USBD_PIPE_HANDLE pipe, PVOID buffer, PMDL mdl, ULONG length, ULONG transferFlags)
{
    constexpr USHORT kUrbSize = sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER);
    auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, kUrbSize, kPoolTag));
    if (!urb)
        return nullptr;
    RtlZeroMemory(urb, kUrbSize);
    UsbBuildInterruptOrBulkTransferRequest(urb, kUrbSize, pipe, buffer, mdl, length, transferFlags, nullptr);
    return urb;
}

NTSTATUS SendTransfer(WidgetDeviceExtension* extension, PIRP irp, PURB urb, PIO_COMPLETION_ROUTINE completion)
{
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
    next->Parameters.Others.Argument1 = urb;
    IoSetCompletionRoutine(irp, completion, urb, TRUE, TRUE, TRUE);
    IoMarkIrpPending(irp);
    IoCallDriver(extension->StackDeviceObject, irp);
    return STATUS_PENDING;
}

VOID EndTransfer(PIRP irp, PURB urb)
{
    irp->IoStatus.Information =
        NT_SUCCESS(irp->IoStatus.Status) ? urb->UrbBulkOrInterruptTransfer.TransferBufferLength : 0;
    ExFreePoolWithTag(urb, kPoolTag);
    if (irp->PendingReturned)
        IoMarkIrpPending(irp);
}

PUSBD_PIPE_INFORMATION UsablePipe(WidgetDeviceExtension* extension, ULONG pipeIndex)
{
    PUSBD_INTERFACE_INFORMATION interface = extension->Interface;
    if (!interface || pipeIndex >= interface->NumberOfPipes)
        return nullptr;
    PUSBD_PIPE_INFORMATION pipe = &interface->Pipes[pipeIndex];
    return IsBulkOrInterrupt(*pipe) && pipe->PipeHandle ? pipe : nullptr;
}

NTSTATUS TransferAndWait(WidgetDeviceExtension* extension, ULONG pipeIndex, PVOID buffer, ULONG length,
                         ULONG transferFlags, TimeoutPolicy policy, ULONG* transferred)
{
    *transferred = 0;
    PUSBD_PIPE_INFORMATION pipe = UsablePipe(extension, pipeIndex);
    if (!pipe)
        return STATUS_UNSUCCESSFUL;
    PURB urb = AllocateTransferUrb(pipe->PipeHandle, buffer, nullptr, length, transferFlags);
    if (!urb)
        return STATUS_NO_MEMORY;
    PipeAbort abort{extension->StackDeviceObject, pipe->PipeHandle};
    NTSTATUS status = usb_driver::SubmitUrbAndWait(
        extension->StackDeviceObject, urb, kWidgetReplyTimeoutMs,
        policy == TimeoutPolicy::AbortPipe ? &AbortPipeOnTimeout : nullptr, &abort);
    if (status == STATUS_INSUFFICIENT_RESOURCES)
        status = STATUS_NO_MEMORY;
    if (NT_SUCCESS(status))
        *transferred = urb->UrbBulkOrInterruptTransfer.TransferBufferLength;
    ExFreePoolWithTag(urb, kPoolTag);
    return status;
}

NTSTATUS CheckCommandPipes(WidgetDeviceExtension* extension, bool needsReplyPipe)
{
    if (usb_driver::IsRemoving(&extension->Io))
        return STATUS_DELETE_PENDING;
    if (!IsStarted(extension) || !UsablePipe(extension, kCommandPipe) ||
        (needsReplyPipe && !UsablePipe(extension, kReplyPipe)))
        return STATUS_UNSUCCESSFUL;
    return STATUS_SUCCESS;
}

VOID AbortAllPipes(PVOID context)
{
    auto* extension = static_cast<WidgetDeviceExtension*>(context);
    PUSBD_INTERFACE_INFORMATION interface = extension->Interface;
    if (!interface)
        return;
    for (ULONG i = 0; i < interface->NumberOfPipes; ++i)
        if (interface->Pipes[i].PipeHandle)
            usb_driver::SubmitPipeRequest(extension->StackDeviceObject, URB_FUNCTION_ABORT_PIPE,
                                          interface->Pipes[i].PipeHandle, kPoolTag);
}

VOID AcquireTransferBuffer(WidgetDeviceExtension* extension)
{
    KeWaitForSingleObject(&extension->TransferBufferFree, Executive, KernelMode, FALSE, nullptr);
}

VOID ReleaseTransferBuffer(WidgetDeviceExtension* extension)
{
    KeSetEvent(&extension->TransferBufferFree, IO_NO_INCREMENT, FALSE);
}

} // namespace qex_usb
