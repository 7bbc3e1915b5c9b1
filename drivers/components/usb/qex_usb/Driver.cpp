#include "drivers/components/usb/qex_usb/QexUsb.h"
#include "drivers/components/usb/qex_usb/QexUsbPrivate.h"

#include <cwchar>

namespace qex_usb {

namespace {

constexpr wchar_t kMapDeviceName[] = L"\\Device\\qex_usb_map";
constexpr wchar_t kMapLinkName[] = L"\\DosDevices\\qex_usb_map";
constexpr wchar_t kDeviceNameFormat[] = L"\\Device\\qex_usb_dev%02u";
constexpr wchar_t kDeviceLinkFormat[] = L"\\DosDevices\\qex_usb_dev%02u";
constexpr wchar_t kShortLinkFormat[] = L"\\DosDevices\\ezusb-%u";
// Only single digits get the short link.
constexpr ULONG kShortLinkNumbers = 10;

// Driver-wide state, touched by DriverEntry and by add-device and removal, which the PnP
// manager runs one at a time.
struct DriverState
{
    PDEVICE_OBJECT MapDevice;
    BOOLEAN MapLinkMade;
    LONG volatile WidgetDevices;
};

DriverState gDriver;

VOID Unload(PDRIVER_OBJECT)
{
    // Nothing to do: removal deletes every device, and with the last one the map device.
}

VOID CreateMapDevice(PDRIVER_OBJECT driver)
{
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, kMapDeviceName);
    PDEVICE_OBJECT device = nullptr;
    // The map is a convenience for finding widgets; a widget works without it, so its
    // failure does not fail the widget.
    if (!NT_SUCCESS(IoCreateDevice(driver, sizeof(WidgetDeviceExtension), &name, FILE_DEVICE_UNKNOWN, 0, FALSE,
                                   &device)))
        return;
    ExtensionOf(device)->Self = device;
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, kMapLinkName);
    gDriver.MapLinkMade = NT_SUCCESS(IoCreateSymbolicLink(&link, &name));
    device->Flags |= DO_DIRECT_IO;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    gDriver.MapDevice = device;
}

VOID DeleteMapDevice()
{
    if (!gDriver.MapDevice)
        return;
    if (gDriver.MapLinkMade) {
        UNICODE_STRING link;
        RtlInitUnicodeString(&link, kMapLinkName);
        IoDeleteSymbolicLink(&link);
        gDriver.MapLinkMade = FALSE;
    }
    IoDeleteDevice(gDriver.MapDevice);
    gDriver.MapDevice = nullptr;
}

// Undoes CreateWidgetDevice.
VOID DestroyWidgetDevice(PDEVICE_OBJECT device)
{
    ReleaseDeviceResources(ExtensionOf(device));
    IoDeleteDevice(device);
}

// One attempt at a device number: the device, its transfer buffer and its links, or
// nothing at all. STATUS_OBJECT_NAME_COLLISION when the number's device or link name is
// taken.
NTSTATUS CreateWidgetDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo, ULONG number, PDEVICE_OBJECT* created)
{
    *created = nullptr;
    WCHAR nameText[32];
    std::swprintf(nameText, 32, kDeviceNameFormat, unsigned(number));
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, nameText);
    PDEVICE_OBJECT device = nullptr;
    NTSTATUS status =
        IoCreateDevice(driver, sizeof(WidgetDeviceExtension), &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;

    WidgetDeviceExtension* extension = ExtensionOf(device);
    extension->Self = device;
    extension->PhysicalDeviceObject = pdo;
    extension->DeviceNumber = number;
    usb_driver::InitializeOutstandingIo(&extension->Io);
    KeInitializeEvent(&extension->TransferBufferFree, SynchronizationEvent, TRUE);

    extension->TransferBuffer =
        static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPool, kTransferBufferSize, kPoolTag));
    if (!extension->TransferBuffer) {
        DestroyWidgetDevice(device);
        return STATUS_NO_MEMORY;
    }

    std::swprintf(extension->DeviceLinkText, 32, kDeviceLinkFormat, unsigned(number));
    RtlInitUnicodeString(&extension->DeviceLinkName, extension->DeviceLinkText);
    status = IoCreateSymbolicLink(&extension->DeviceLinkName, &name);
    if (!NT_SUCCESS(status)) {
        DestroyWidgetDevice(device);
        return status;
    }
    extension->DeviceLinkMade = TRUE;

    if (number < kShortLinkNumbers) {
        std::swprintf(extension->ShortLinkText, 24, kShortLinkFormat, unsigned(number));
        RtlInitUnicodeString(&extension->ShortLinkName, extension->ShortLinkText);
        // Only older tools use the short name; the widget works without it.
        extension->ShortLinkMade = NT_SUCCESS(IoCreateSymbolicLink(&extension->ShortLinkName, &name));
    }
    *created = device;
    return STATUS_SUCCESS;
}

NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo)
{
    NTSTATUS status = STATUS_OBJECT_NAME_COLLISION;
    PDEVICE_OBJECT device = nullptr;
    for (ULONG number = 0; number < kWidgetMapSlotCount; ++number) {
        status = CreateWidgetDevice(driver, pdo, number, &device);
        // A taken name means another widget has the number: try the next. Anything else
        // would fail the same way for every number.
        if (status != STATUS_OBJECT_NAME_COLLISION)
            break;
    }
    if (!NT_SUCCESS(status))
        return status;

    if (InterlockedIncrement(&gDriver.WidgetDevices) == 1)
        CreateMapDevice(driver);

    device->Flags |= DO_DIRECT_IO | DO_POWER_PAGABLE;
    WidgetDeviceExtension* extension = ExtensionOf(device);
    extension->StackDeviceObject = IoAttachDeviceToDeviceStack(device, pdo);
    if (!extension->StackDeviceObject) {
        DestroyWidgetDevice(device);
        ForgetWidgetDevice();
        return STATUS_NO_SUCH_DEVICE;
    }
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

} // namespace

VOID ForgetWidgetDevice()
{
    if (InterlockedDecrement(&gDriver.WidgetDevices) == 0)
        DeleteMapDevice();
}

VOID ReleaseDeviceResources(WidgetDeviceExtension* extension)
{
    if (extension->DeviceLinkMade) {
        IoDeleteSymbolicLink(&extension->DeviceLinkName);
        extension->DeviceLinkMade = FALSE;
    }
    if (extension->ShortLinkMade) {
        IoDeleteSymbolicLink(&extension->ShortLinkName);
        extension->ShortLinkMade = FALSE;
    }
    if (extension->TransferBuffer) {
        ExFreePoolWithTag(extension->TransferBuffer, kPoolTag);
        extension->TransferBuffer = nullptr;
    }
}

NTSTATUS DispatchCreate(PDEVICE_OBJECT device, PIRP irp)
{
    WidgetDeviceExtension* extension = ExtensionOf(device);
    if (IsMapDevice(extension))
        return usb_driver::CompleteRequest(irp, STATUS_SUCCESS);
    NTSTATUS status = usb_driver::AcquireIo(&extension->Io);
    if (!NT_SUCCESS(status))
        return usb_driver::CompleteRequest(irp, status);

    // One handle at a time: the open flag in the map is the lock, claimed atomically.
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    status = STATUS_UNSUCCESSFUL;
    if (!file) {
        status = STATUS_INVALID_PARAMETER;
    } else if (IsStarted(extension) && ClaimSlot(extension->DeviceNumber)) {
        InterlockedIncrement(&extension->OpenHandles);
        // Marks the handle that owns the open flag, so that only its close clears it.
        file->FsContext = extension;
        status = STATUS_SUCCESS;
    }
    usb_driver::CompleteRequest(irp, status);
    usb_driver::ReleaseIo(&extension->Io);
    return status;
}

NTSTATUS DispatchClose(PDEVICE_OBJECT device, PIRP irp)
{
    WidgetDeviceExtension* extension = ExtensionOf(device);
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    if (!IsMapDevice(extension) && file && file->FsContext == extension) {
        file->FsContext = nullptr;
        InterlockedDecrement(&extension->OpenHandles);
        // Once removal has begun the slot is no longer this widget's to change: it is
        // zeroed, and its number may soon belong to another widget.
        if (NT_SUCCESS(usb_driver::AcquireIo(&extension->Io))) {
            ReleaseSlot(extension->DeviceNumber);
            usb_driver::ReleaseIo(&extension->Io);
        }
    }
    return usb_driver::CompleteRequest(irp, STATUS_SUCCESS);
}

bool IsStarted(WidgetDeviceExtension* extension)
{
    return InterlockedCompareExchange(&extension->Started, 0, 0) != 0;
}

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    gDriver = DriverState{};
    ClearDeviceMap();

    driver->MajorFunction[IRP_MJ_CREATE] = &DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = &DispatchClose;
    driver->MajorFunction[IRP_MJ_WRITE] = &DispatchWrite;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = &DispatchDeviceControl;
    driver->MajorFunction[IRP_MJ_PNP] = &DispatchPnp;
    driver->DriverUnload = &Unload;
    driver->DriverExtension->AddDevice = &AddDevice;
    return STATUS_SUCCESS;
}

} // namespace qex_usb
