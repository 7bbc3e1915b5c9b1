#include "drivers/components/usb/qex_usb/DmxPacking.h"
#include "drivers/components/usb/qex_usb/QexUsbPrivate.h"

#include <algorithm>

namespace qex_usb {

namespace {

using usb_driver::CompleteRequest;

NTSTATUS DmxWriteComplete(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    auto* urb = static_cast<PURB>(context);
    IoFreeMdl(urb->UrbBulkOrInterruptTransfer.TransferBufferMDL);
    EndTransfer(irp, urb);
    WidgetDeviceExtension* extension = ExtensionOf(device);
    ReleaseTransferBuffer(extension);
    // Last: once the reference is back, removal may delete the device.
    usb_driver::ReleaseIo(&extension->Io);
    return STATUS_SUCCESS;
}

// Sends the packed image, which the transfer buffer holds, described by a list of the
// whole buffer; the buffer stays taken until the transfer completes. STATUS_PENDING when
// it is on its way.
NTSTATUS SendPacked(WidgetDeviceExtension* extension, PIRP irp, ULONG length)
{
    PMDL mdl = IoAllocateMdl(extension->TransferBuffer, kTransferBufferSize, FALSE, FALSE, nullptr);
    if (!mdl)
        return STATUS_NO_MEMORY;
    MmBuildMdlForNonPagedPool(mdl);
    PURB urb = AllocateTransferUrb(extension->Interface->Pipes[kCommandPipe].PipeHandle, nullptr, mdl, length,
                                   USBD_TRANSFER_DIRECTION_OUT | USBD_SHORT_TRANSFER_OK);
    if (!urb) {
        IoFreeMdl(mdl);
        return STATUS_NO_MEMORY;
    }
    return SendTransfer(extension, irp, urb, &DmxWriteComplete);
}

NTSTATUS StartDmxWrite(WidgetDeviceExtension* extension, PIRP irp)
{
    NTSTATUS status = CheckCommandPipes(extension, false);
    if (!NT_SUCCESS(status))
        return status;
    const WidgetProductLayout layout = ProductLayout(extension->ProductId);
    if (layout.imageBytes == 0)
        return STATUS_INVALID_PARAMETER;

    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const LONGLONG offset = stack->Parameters.Write.ByteOffset.QuadPart;
    if (offset < 0)
        return STATUS_INVALID_PARAMETER;
    if (offset >= LONGLONG(layout.imageBytes))
        return STATUS_END_OF_FILE;
    // The widget's packets carry no frame offset the widget could place a partial image
    // by, so an image that does not start the frame would be sent as if it did.
    if (offset != 0)
        return STATUS_INVALID_PARAMETER;
    const ULONG length = std::min<ULONG>(stack->Parameters.Write.Length, layout.imageBytes);
    PMDL mdl = irp->MdlAddress;
    if (!mdl || length == 0 || MmGetMdlByteCount(mdl) < length)
        return STATUS_INVALID_PARAMETER;
    const auto* data = static_cast<const UCHAR*>(MmGetSystemAddressForMdlSafe(mdl, NormalPagePriority));
    if (!data)
        return STATUS_NO_MEMORY;

    AcquireTransferBuffer(extension);
    // Checked again with the buffer held: a stop or removal may have come meanwhile.
    status = CheckCommandPipes(extension, false);
    if (NT_SUCCESS(status)) {
        const ULONG packed = PackDmxImage(layout, data, length, extension->TransferBuffer, kTransferBufferSize);
        if (packed == 0 || packed > extension->Interface->Pipes[kCommandPipe].MaximumTransferSize)
            status = STATUS_INVALID_PARAMETER;
        else
            status = SendPacked(extension, irp, packed);
    }
    if (status != STATUS_PENDING)
        ReleaseTransferBuffer(extension);
    return status;
}

} // namespace

NTSTATUS DispatchWrite(PDEVICE_OBJECT device, PIRP irp)
{
    WidgetDeviceExtension* extension = ExtensionOf(device);
    if (IsMapDevice(extension))
        return CompleteRequest(irp, STATUS_UNSUCCESSFUL);
    NTSTATUS status = usb_driver::AcquireIo(&extension->Io);
    if (!NT_SUCCESS(status))
        return CompleteRequest(irp, status);
    status = StartDmxWrite(extension, irp);
    if (status == STATUS_PENDING)
        return status; // the transfer's completion gives the reference back
    CompleteRequest(irp, status);
    usb_driver::ReleaseIo(&extension->Io);
    return status;
}

} // namespace qex_usb
