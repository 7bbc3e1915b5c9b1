#include "drivers/components/usb/qex_usb/QexUsbPrivate.h"

namespace qex_usb {

namespace {

using usb_driver::CompleteRequest;

constexpr ULONG kDeviceDescriptorSize = sizeof(USB_DEVICE_DESCRIPTOR);

VOID FreeConfigurationCopies(WidgetDeviceExtension* extension)
{
    extension->ConfigurationHandle = nullptr;
    if (extension->Interface) {
        ExFreePoolWithTag(extension->Interface, kPoolTag);
        extension->Interface = nullptr;
    }
    if (extension->DeviceDescriptor) {
        ExFreePoolWithTag(extension->DeviceDescriptor, kPoolTag);
        extension->DeviceDescriptor = nullptr;
    }
}

// The value of the decimal digits the serial-number string begins with.
ULONG ReadSerialNumber(WidgetDeviceExtension* extension, UCHAR stringIndex)
{
    UCHAR text[kSerialStringBufferSize];
    ULONG received = 0;
    if (!NT_SUCCESS(GetDescriptor(extension, USB_STRING_DESCRIPTOR_TYPE, stringIndex, kSerialLanguageId, text,
                                  sizeof text, &received)))
        return 0;
    ULONG serial = 0;
    // UTF-16 after the two-byte head; the low byte of each unit is enough for digits.
    for (ULONG i = 2; i < received && text[i] >= '0' && text[i] <= '9'; i += 2)
        serial = serial * 10 + ULONG(text[i] - '0');
    return serial;
}

VOID FillSlotFrom(WidgetDeviceExtension* extension, const USB_DEVICE_DESCRIPTOR& descriptor)
{
    const ULONG serial = descriptor.iSerialNumber ? ReadSerialNumber(extension, descriptor.iSerialNumber) : 0;
    FillSlotIdentity(extension->DeviceNumber, descriptor.idVendor, descriptor.idProduct, serial);
}

// Fills the widget's slot from its device descriptor. False when the descriptor cannot be
// read; the start goes on, and fails later if the widget really does not answer.
bool FillSlot(WidgetDeviceExtension* extension)
{
    USB_DEVICE_DESCRIPTOR descriptor;
    ULONG received = 0;
    if (!NT_SUCCESS(GetDescriptor(extension, USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, &descriptor, sizeof descriptor,
                                  &received)) ||
        received != kDeviceDescriptorSize)
        return false;
    FillSlotFrom(extension, descriptor);
    return true;
}

NTSTATUS ReadDeviceDescriptorCopy(WidgetDeviceExtension* extension)
{
    auto* descriptor =
        static_cast<PUSB_DEVICE_DESCRIPTOR>(ExAllocatePoolWithTag(NonPagedPool, kDeviceDescriptorSize, kPoolTag));
    if (!descriptor)
        return STATUS_NO_MEMORY;
    ULONG received = 0;
    NTSTATUS status =
        GetDescriptor(extension, USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, descriptor, kDeviceDescriptorSize, &received);
    if (NT_SUCCESS(status) && received != kDeviceDescriptorSize)
        status = STATUS_UNSUCCESSFUL;
    if (!NT_SUCCESS(status)) {
        ExFreePoolWithTag(descriptor, kPoolTag);
        return status;
    }
    extension->DeviceDescriptor = descriptor;
    extension->ProductId = descriptor->idProduct;
    return STATUS_SUCCESS;
}

// Configuration descriptor 0, whole, in pool the caller frees.
NTSTATUS ReadConfigurationDescriptor(WidgetDeviceExtension* extension, PUSB_CONFIGURATION_DESCRIPTOR* result)
{
    *result = nullptr;
    USB_CONFIGURATION_DESCRIPTOR head;
    ULONG received = 0;
    NTSTATUS status =
        GetDescriptor(extension, USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 0, &head, sizeof head, &received);
    if (!NT_SUCCESS(status))
        return status;
    if (received < sizeof head || head.wTotalLength < sizeof head)
        return STATUS_UNSUCCESSFUL;

    const ULONG total = head.wTotalLength;
    // Room beyond the total, so that a parser that looks one descriptor head too far
    // still reads memory we own.
    auto* whole =
        static_cast<PUSB_CONFIGURATION_DESCRIPTOR>(ExAllocatePoolWithTag(NonPagedPool, total + 16, kPoolTag));
    if (!whole)
        return STATUS_NO_MEMORY;
    RtlZeroMemory(whole, total + 16);
    status = GetDescriptor(extension, USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 0, whole, total, &received);
    // The parsers walk the descriptor as far as its own total says: one that now claims
    // another total than its head did would lead them past what was read.
    if (NT_SUCCESS(status) && (received < total || whole->wTotalLength != total))
        status = STATUS_UNSUCCESSFUL;
    if (!NT_SUCCESS(status)) {
        ExFreePoolWithTag(whole, kPoolTag);
        return status;
    }
    *result = whole;
    return STATUS_SUCCESS;
}

NTSTATUS SelectConfiguration(WidgetDeviceExtension* extension, PUSB_CONFIGURATION_DESCRIPTOR configuration)
{
    PUSB_INTERFACE_DESCRIPTOR interfaceDescriptor =
        USBD_ParseConfigurationDescriptorEx(configuration, configuration, -1, -1, -1, -1, -1);
    if (!interfaceDescriptor)
        return STATUS_UNSUCCESSFUL;
    USBD_INTERFACE_LIST_ENTRY list[2] = {{interfaceDescriptor, nullptr}, {nullptr, nullptr}};
    PURB urb = USBD_CreateConfigurationRequestEx(configuration, list);
    if (!urb)
        return STATUS_NO_MEMORY;

    PUSBD_INTERFACE_INFORMATION interface = list[0].Interface;
    NTSTATUS status = STATUS_UNSUCCESSFUL;
    for (int attempt = 0; attempt < kSelectConfigurationAttempts; ++attempt) {
        for (ULONG i = 0; i < interface->NumberOfPipes; ++i)
            interface->Pipes[i].MaximumTransferSize = kMaximumTransferSize;
        status = usb_driver::SubmitUrbAndWait(extension->StackDeviceObject, urb);
        if (NT_SUCCESS(status))
            break;
    }
    if (NT_SUCCESS(status)) {
        auto* copy = static_cast<PUSBD_INTERFACE_INFORMATION>(
            ExAllocatePoolWithTag(NonPagedPool, interface->Length, kPoolTag));
        if (copy) {
            RtlCopyMemory(copy, interface, interface->Length);
            extension->Interface = copy;
            extension->ConfigurationHandle = urb->UrbSelectConfiguration.ConfigurationHandle;
        } else {
            status = STATUS_NO_MEMORY;
        }
    } else if (status == STATUS_INSUFFICIENT_RESOURCES) {
        status = STATUS_NO_MEMORY;
    }
    ExFreePool(urb);
    return status;
}

struct StartupQuery
{
    UCHAR command;
    ULONG minimumReply;  // bytes, the command byte included
    ULONG slotOffset;    // where reply bytes 1.. go
    ULONG storedBytes;
};

constexpr StartupQuery kVersionQuery{kCommandVersion, 3, offsetof(WidgetMapSlot, version), 2};
constexpr StartupQuery kQuery23{kCommandQuery23, 7, offsetof(WidgetMapSlot, reply23), 6};
constexpr StartupQuery kQuery0A{kCommandQuery0A, 2, offsetof(WidgetMapSlot, reply0A), 1};

// One query: the command on pipe 0, the reply from pipe 1. The slot takes the reply only
// when it is what the command asks for.
NTSTATUS RunQuery(WidgetDeviceExtension* extension, const StartupQuery& query)
{
    PUCHAR buffer = extension->TransferBuffer;
    buffer[0] = query.command;
    ULONG transferred = 0;
    NTSTATUS status = TransferAndWait(extension, kCommandPipe, buffer, 1,
                                      USBD_TRANSFER_DIRECTION_OUT | USBD_SHORT_TRANSFER_OK, TimeoutPolicy::AbortPipe,
                                      &transferred);
    if (!NT_SUCCESS(status))
        return status;
    RtlZeroMemory(buffer, kWidgetPacketSize);
    status = TransferAndWait(extension, kReplyPipe, buffer, kWidgetPacketSize,
                             USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK, TimeoutPolicy::AbortPipe,
                             &transferred);
    if (NT_SUCCESS(status) && transferred >= query.minimumReply && buffer[0] == query.command)
        StoreSlotBytes(extension->DeviceNumber, query.slotOffset, buffer + 1, query.storedBytes);
    return status;
}

NTSTATUS RunStartupQueries(WidgetDeviceExtension* extension)
{
    const StartupQuery* queries[2] = {};
    switch (extension->ProductId) {
    case kProduct512:
        queries[0] = &kVersionQuery;
        queries[1] = &kQuery23;
        break;
    case kProduct2048:
    case kProduct2048B:
        queries[0] = &kVersionQuery;
        queries[1] = &kQuery0A;
        break;
    case kProduct4096:
        queries[0] = &kVersionQuery;
        break;
    default:
        return STATUS_SUCCESS;
    }
    if (!UsablePipe(extension, kCommandPipe) || !UsablePipe(extension, kReplyPipe))
        return STATUS_UNSUCCESSFUL;

    // Each query runs whatever became of the one before; the last one's status is the
    // start's.
    NTSTATUS status = STATUS_SUCCESS;
    AcquireTransferBuffer(extension);
    for (const StartupQuery* query : queries)
        if (query)
            status = RunQuery(extension, *query);
    ReleaseTransferBuffer(extension);
    return status;
}

NTSTATUS StartWidget(WidgetDeviceExtension* extension)
{
    // A restart after a stop begins afresh.
    FreeConfigurationCopies(extension);
    const bool filled = FillSlot(extension);
    NTSTATUS status = ReadDeviceDescriptorCopy(extension);
    if (NT_SUCCESS(status)) {
        // A widget that answered only the second read would otherwise start unseen.
        if (!filled)
            FillSlotFrom(extension, *extension->DeviceDescriptor);
        PUSB_CONFIGURATION_DESCRIPTOR configuration = nullptr;
        status = ReadConfigurationDescriptor(extension, &configuration);
        if (NT_SUCCESS(status)) {
            status = SelectConfiguration(extension, configuration);
            ExFreePoolWithTag(configuration, kPoolTag);
        }
    }
    if (NT_SUCCESS(status))
        status = RunStartupQueries(extension);
    if (NT_SUCCESS(status))
        InterlockedExchange(&extension->Started, 1);
    return status;
}

NTSTATUS DeselectConfiguration(WidgetDeviceExtension* extension)
{
    constexpr USHORT kUrbSize = sizeof(_URB_SELECT_CONFIGURATION);
    auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, kUrbSize, kPoolTag));
    if (!urb)
        return STATUS_NO_MEMORY;
    RtlZeroMemory(urb, kUrbSize);
    UsbBuildSelectConfigurationRequest(urb, kUrbSize, nullptr);
    // The widget is going down either way; its answer changes nothing.
    usb_driver::SubmitUrbAndWait(extension->StackDeviceObject, urb);
    ExFreePoolWithTag(urb, kPoolTag);
    return STATUS_SUCCESS;
}

NTSTATUS HandleStart(WidgetDeviceExtension* extension, PIRP irp)
{
    NTSTATUS status = usb_driver::PassDownAndWait(extension->StackDeviceObject, irp);
    if (NT_SUCCESS(status))
        status = StartWidget(extension);
    return CompleteRequest(irp, status);
}

NTSTATUS HandleStop(WidgetDeviceExtension* extension, PIRP irp)
{
    // New requests fail from here on; those already past that check end (the pipes are
    // aborted) before the pipes they use go away. Two references stay: the device's own
    // and this request's.
    InterlockedExchange(&extension->Started, 0);
    usb_driver::WaitForOutstandingIo(&extension->Io, 2, &AbortAllPipes, extension);
    NTSTATUS status = usb_driver::PassDownAndWait(extension->StackDeviceObject, irp);
    if (NT_SUCCESS(status))
        status = DeselectConfiguration(extension);
    if (extension->Interface) {
        ExFreePoolWithTag(extension->Interface, kPoolTag);
        extension->Interface = nullptr;
    }
    extension->ConfigurationHandle = nullptr;
    return CompleteRequest(irp, status);
}

// Remove device and surprise removal alike: the widget is gone, or about to be.
NTSTATUS HandleRemoval(PDEVICE_OBJECT device, WidgetDeviceExtension* extension, PIRP irp)
{
    InterlockedExchange(&extension->Started, 0);
    // Every transfer still in progress is aborted and waited for before anything it may
    // use is freed.
    usb_driver::DrainForRemoval(&extension->Io, &AbortAllPipes, extension);

    FreeConfigurationCopies(extension);
    ReleaseDeviceResources(extension);
    // Kept before the device (and its extension) goes.
    const ULONG number = extension->DeviceNumber;
    PDEVICE_OBJECT lower = extension->StackDeviceObject;
    IoDetachDevice(lower);
    IoDeleteDevice(device);
    ForgetWidgetDevice();
    ZeroSlot(number);
    return usb_driver::PassDown(lower, irp);
}

} // namespace

NTSTATUS DispatchPnp(PDEVICE_OBJECT device, PIRP irp)
{
    WidgetDeviceExtension* extension = ExtensionOf(device);
    if (IsMapDevice(extension))
        return CompleteRequest(irp, irp->IoStatus.Status);
    NTSTATUS status = usb_driver::AcquireIo(&extension->Io);
    if (!NT_SUCCESS(status))
        return CompleteRequest(irp, status);

    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
    case IRP_MN_START_DEVICE:
        status = HandleStart(extension, irp);
        break;
    case IRP_MN_QUERY_CAPABILITIES:
        status = usb_driver::HandleQueryCapabilities(extension->StackDeviceObject, irp);
        break;
    case IRP_MN_STOP_DEVICE:
        status = HandleStop(extension, irp);
        break;
    case IRP_MN_REMOVE_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL:
        // Gives the reference back itself.
        return HandleRemoval(device, extension, irp);
    default:
        status = usb_driver::PassDown(extension->StackDeviceObject, irp);
        break;
    }
    usb_driver::ReleaseIo(&extension->Io);
    return status;
}

} // namespace qex_usb
