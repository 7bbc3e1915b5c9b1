#include "drivers/components/usb/qex_usb/QexUsbPrivate.h"

namespace qex_usb {

namespace {

using usb_driver::CompleteRequest;

struct ControlRequest
{
    PIRP irp;
    ULONG code;
    ULONG inputLength;
    ULONG outputLength;
    PVOID systemBuffer;
    ULONG_PTR information = 0; // returned length on success
};

bool IsMapControl(ULONG code)
{
    return code == IOCTL_WIDGET_GET_MAP_HEADER || code == IOCTL_WIDGET_GET_MAP || code == IOCTL_WIDGET_GET_SHORT_MAP ||
           code == IOCTL_WIDGET_GET_SHORT_MAP_HEADER;
}

bool IsWidgetControl(ULONG code)
{
    switch (code) {
    case IOCTL_WIDGET_GET_DEVICE_DESCRIPTOR:
    case IOCTL_WIDGET_GET_CONFIGURATION_DESCRIPTOR:
    case IOCTL_WIDGET_RESET_PIPE:
    case IOCTL_WIDGET_ABORT_PIPE:
    case IOCTL_WIDGET_GET_STRING_DESCRIPTOR:
    case IOCTL_WIDGET_READ_PIPE:
    case IOCTL_WIDGET_WRITE_PIPE:
    case IOCTL_WIDGET_SET_MODE:
    case IOCTL_WIDGET_GET_MODE:
    case IOCTL_WIDGET_SEND_COMMAND_8:
        return true;
    default:
        return false;
    }
}

// ---- The map ------------------------------------------------------------------------------

NTSTATUS MapControl(ControlRequest& request)
{
    ULONG needed = 0;
    switch (request.code) {
    case IOCTL_WIDGET_GET_MAP_HEADER:
    case IOCTL_WIDGET_GET_SHORT_MAP_HEADER:
        needed = sizeof(WidgetMapHeader);
        break;
    case IOCTL_WIDGET_GET_MAP:
        needed = sizeof(WidgetDeviceMap);
        break;
    default:
        needed = sizeof(WidgetShortMap);
        break;
    }
    if (request.outputLength < needed || !request.systemBuffer)
        return STATUS_UNSUCCESSFUL;

    switch (request.code) {
    case IOCTL_WIDGET_GET_MAP_HEADER:
        *static_cast<WidgetMapHeader*>(request.systemBuffer) =
            WidgetMapHeader{CurrentChangeStamp(), sizeof(WidgetMapSlot), kWidgetMapSlotCount};
        break;
    case IOCTL_WIDGET_GET_SHORT_MAP_HEADER:
        *static_cast<WidgetMapHeader*>(request.systemBuffer) =
            WidgetMapHeader{CurrentChangeStamp(), sizeof(WidgetMapEntry), kWidgetMapSlotCount};
        break;
    case IOCTL_WIDGET_GET_MAP:
        CopyDeviceMap(static_cast<WidgetDeviceMap*>(request.systemBuffer));
        break;
    default:
        CopyShortMap(static_cast<WidgetShortMap*>(request.systemBuffer));
        break;
    }
    request.information = needed;
    return STATUS_SUCCESS;
}

// ---- Descriptors ----------------------------------------------------------------------------

NTSTATUS DescriptorControl(WidgetDeviceExtension* extension, ControlRequest& request)
{
    if (!request.systemBuffer || request.outputLength == 0)
        return STATUS_INVALID_PARAMETER;
    UCHAR type = USB_DEVICE_DESCRIPTOR_TYPE;
    UCHAR index = 0;
    USHORT language = 0;
    switch (request.code) {
    case IOCTL_WIDGET_GET_DEVICE_DESCRIPTOR:
        if (request.outputLength < sizeof(USB_DEVICE_DESCRIPTOR))
            return STATUS_BUFFER_TOO_SMALL;
        break;
    case IOCTL_WIDGET_GET_CONFIGURATION_DESCRIPTOR:
        type = USB_CONFIGURATION_DESCRIPTOR_TYPE;
        break;
    default: {
        if (request.inputLength < sizeof(WidgetStringRequest))
            return STATUS_INVALID_PARAMETER;
        // Read before the buffer, which input and output share, receives the descriptor.
        WidgetStringRequest input;
        RtlCopyMemory(&input, request.systemBuffer, sizeof input);
        type = USB_STRING_DESCRIPTOR_TYPE;
        index = input.index;
        language = input.languageId;
        break;
    }
    }
    const ULONG length =
        request.code == IOCTL_WIDGET_GET_DEVICE_DESCRIPTOR ? ULONG(sizeof(USB_DEVICE_DESCRIPTOR)) : request.outputLength;
    ULONG received = 0;
    const NTSTATUS status = GetDescriptor(extension, type, index, language, request.systemBuffer, length, &received);
    if (status == STATUS_NO_MEMORY)
        return status;
    request.information = received;
    if (request.code == IOCTL_WIDGET_GET_STRING_DESCRIPTOR)
        return NT_SUCCESS(status) ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL;
    // The device and configuration descriptor controls report a failed read as an empty
    // answer.
    return STATUS_SUCCESS;
}

// ---- Pipes ------------------------------------------------------------------------------------

// The pipe named by the request's u32 input, after the checks every pipe control shares.
NTSTATUS PipeOfRequest(WidgetDeviceExtension* extension, const ControlRequest& request,
                       PUSBD_PIPE_INFORMATION* pipe)
{
    *pipe = nullptr;
    if (!IsStarted(extension) || !extension->ConfigurationHandle || !extension->Interface)
        return STATUS_UNSUCCESSFUL;
    if (request.inputLength < sizeof(ULONG) || !request.systemBuffer)
        return STATUS_INVALID_PARAMETER;
    ULONG index;
    RtlCopyMemory(&index, request.systemBuffer, sizeof index);
    if (index >= extension->Interface->NumberOfPipes)
        return STATUS_INVALID_PARAMETER;
    *pipe = &extension->Interface->Pipes[index];
    return STATUS_SUCCESS;
}

NTSTATUS ResetOrAbortPipe(WidgetDeviceExtension* extension, ControlRequest& request)
{
    PUSBD_PIPE_INFORMATION pipe;
    NTSTATUS status = PipeOfRequest(extension, request, &pipe);
    if (!NT_SUCCESS(status))
        return status;
    const bool reset = request.code == IOCTL_WIDGET_RESET_PIPE;
    status = usb_driver::SubmitPipeRequest(extension->StackDeviceObject,
                                           reset ? URB_FUNCTION_RESET_PIPE : URB_FUNCTION_ABORT_PIPE,
                                           pipe->PipeHandle, kPoolTag);
    if (reset || status == STATUS_INSUFFICIENT_RESOURCES)
        return status;
    // An abort has done its work whatever the stack says about it.
    return STATUS_SUCCESS;
}

NTSTATUS PipeTransferComplete(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    EndTransfer(irp, static_cast<PURB>(context));
    // Last: once the reference is back, removal may delete the device.
    usb_driver::ReleaseIo(&ExtensionOf(device)->Io);
    return STATUS_SUCCESS;
}

// IOCTL_WIDGET_READ_PIPE and IOCTL_WIDGET_WRITE_PIPE: the caller's buffer, locked by the
// I/O manager, goes down the stack as it is. STATUS_PENDING when the transfer is on its
// way; it then holds the request's I/O reference until it completes.
NTSTATUS PipeTransfer(WidgetDeviceExtension* extension, ControlRequest& request)
{
    PUSBD_PIPE_INFORMATION pipe;
    NTSTATUS status = PipeOfRequest(extension, request, &pipe);
    if (!NT_SUCCESS(status))
        return status;
    if (pipe->PipeType != UsbdPipeTypeBulk && pipe->PipeType != UsbdPipeTypeInterrupt)
        return STATUS_INVALID_PARAMETER;
    if (!pipe->PipeHandle)
        return STATUS_UNSUCCESSFUL;
    PMDL mdl = request.irp->MdlAddress;
    const ULONG length = request.outputLength;
    if (!mdl || length == 0 || MmGetMdlByteCount(mdl) < length || length > pipe->MaximumTransferSize)
        return STATUS_INVALID_PARAMETER;
    // The endpoint decides the direction; a code that asks for the other one is a
    // caller's mistake, not a transfer.
    const bool in = USB_ENDPOINT_DIRECTION_IN(pipe->EndpointAddress);
    if (in != (request.code == IOCTL_WIDGET_READ_PIPE))
        return STATUS_INVALID_PARAMETER;

    PURB urb = AllocateTransferUrb(pipe->PipeHandle, nullptr, mdl, length,
                                   (in ? USBD_TRANSFER_DIRECTION_IN : USBD_TRANSFER_DIRECTION_OUT) |
                                       USBD_SHORT_TRANSFER_OK);
    if (!urb)
        return STATUS_NO_MEMORY;
    return SendTransfer(extension, request.irp, urb, &PipeTransferComplete);
}

// ---- Widget commands ---------------------------------------------------------------------------

NTSTATUS WidgetCommand(WidgetDeviceExtension* extension, ControlRequest& request)
{
    const WidgetProductLayout layout = ProductLayout(extension->ProductId);
    if (layout.imageBytes == 0)
        return STATUS_INVALID_PARAMETER;
    const bool modeCommand = request.code != IOCTL_WIDGET_SEND_COMMAND_8;
    WidgetModeRecord record{};
    if (modeCommand) {
        if (request.inputLength < sizeof record || !request.systemBuffer)
            return STATUS_INVALID_PARAMETER;
        RtlCopyMemory(&record, request.systemBuffer, sizeof record);
    }
    const bool query = request.code == IOCTL_WIDGET_GET_MODE;
    PUCHAR output = nullptr;
    if (query && request.irp->MdlAddress && request.outputLength >= sizeof record) {
        output = static_cast<PUCHAR>(MmGetSystemAddressForMdlSafe(request.irp->MdlAddress, NormalPagePriority));
        if (!output)
            return STATUS_NO_MEMORY;
    }

    AcquireTransferBuffer(extension);
    // Checked with the buffer held: a stop or removal may have come while we waited for it.
    NTSTATUS status = CheckCommandPipes(extension, query);
    if (NT_SUCCESS(status)) {
        PUCHAR buffer = extension->TransferBuffer;
        RtlZeroMemory(buffer, kWidgetPacketSize);
        ULONG length = 0;
        switch (request.code) {
        case IOCTL_WIDGET_SET_MODE:
            buffer[length++] = kCommandSetMode;
            if (layout.selectorForm)
                buffer[length++] = record.selector;
            buffer[length++] = record.mode;
            break;
        case IOCTL_WIDGET_GET_MODE:
            buffer[length++] = kCommandGetMode;
            if (layout.selectorForm)
                buffer[length++] = record.selector;
            break;
        default:
            buffer[0] = kCommand8;
            length = kWidgetPacketSize;
            break;
        }
        ULONG transferred = 0;
        status = TransferAndWait(extension, kCommandPipe, buffer, length,
                                 USBD_TRANSFER_DIRECTION_OUT | USBD_SHORT_TRANSFER_OK, TimeoutPolicy::CancelTransfer,
                                 &transferred);
        if (NT_SUCCESS(status) && query) {
            RtlZeroMemory(buffer, kWidgetPacketSize);
            status = TransferAndWait(extension, kReplyPipe, buffer, kWidgetPacketSize,
                                     USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK,
                                     TimeoutPolicy::CancelTransfer, &transferred);
            if (NT_SUCCESS(status) && transferred >= 1 && buffer[0] == kCommandGetMode) {
                // {0x02, mode} or {0x02, selector, mode}; a reply too short to hold the
                // mode is no answer.
                const ULONG modeAt = layout.selectorForm ? 2 : 1;
                if (transferred <= modeAt)
                    status = STATUS_UNSUCCESSFUL;
                else if (layout.selectorForm && buffer[1] != record.selector)
                    status = STATUS_UNSUCCESSFUL;
                else
                    record.mode = buffer[modeAt];
            }
        }
    }
    ReleaseTransferBuffer(extension);

    if (NT_SUCCESS(status) && query) {
        static_cast<PUCHAR>(request.systemBuffer)[1] = record.mode;
        if (output) {
            RtlCopyMemory(output, &record, sizeof record);
            request.information = sizeof record;
        }
    }
    return status;
}

NTSTATUS WidgetControl(WidgetDeviceExtension* extension, ControlRequest& request)
{
    switch (request.code) {
    case IOCTL_WIDGET_GET_DEVICE_DESCRIPTOR:
    case IOCTL_WIDGET_GET_CONFIGURATION_DESCRIPTOR:
    case IOCTL_WIDGET_GET_STRING_DESCRIPTOR:
        return DescriptorControl(extension, request);
    case IOCTL_WIDGET_RESET_PIPE:
    case IOCTL_WIDGET_ABORT_PIPE:
        return ResetOrAbortPipe(extension, request);
    case IOCTL_WIDGET_READ_PIPE:
    case IOCTL_WIDGET_WRITE_PIPE:
        return PipeTransfer(extension, request);
    default:
        return WidgetCommand(extension, request);
    }
}

} // namespace

NTSTATUS DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp)
{
    WidgetDeviceExtension* extension = ExtensionOf(device);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ControlRequest request{irp, stack->Parameters.DeviceIoControl.IoControlCode,
                           stack->Parameters.DeviceIoControl.InputBufferLength,
                           stack->Parameters.DeviceIoControl.OutputBufferLength, irp->AssociatedIrp.SystemBuffer};

    if (IsMapDevice(extension)) {
        NTSTATUS status = STATUS_INVALID_PARAMETER;
        if (IsMapControl(request.code))
            status = MapControl(request);
        else if (IsWidgetControl(request.code))
            status = STATUS_UNSUCCESSFUL;
        return CompleteRequest(irp, status, NT_SUCCESS(status) ? request.information : 0);
    }

    NTSTATUS status = usb_driver::AcquireIo(&extension->Io);
    if (!NT_SUCCESS(status))
        return CompleteRequest(irp, status);
    if (IsMapControl(request.code))
        status = MapControl(request);
    else if (IsWidgetControl(request.code))
        status = WidgetControl(extension, request);
    else
        status = STATUS_INVALID_PARAMETER;
    if (status == STATUS_PENDING)
        return status; // the transfer's completion gives the reference back
    CompleteRequest(irp, status, NT_SUCCESS(status) ? request.information : 0);
    usb_driver::ReleaseIo(&extension->Io);
    return status;
}

} // namespace qex_usb
