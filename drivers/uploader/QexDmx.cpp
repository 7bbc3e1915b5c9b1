#include "drivers/uploader/QexDmx.h"
#include "drivers/components/usb/common/UsbDriverSupport.h"

namespace qex_dmx {

namespace {

using usb_driver::CompleteRequest;

constexpr ULONG kPoolTag = MakePoolTag("QxDm");

struct LoaderDeviceExtension
{
    PDEVICE_OBJECT PhysicalDeviceObject;
    PDEVICE_OBJECT StackDeviceObject;
    usb_driver::OutstandingIo Io;
};

LoaderDeviceExtension* ExtensionOf(PDEVICE_OBJECT device)
{
    return static_cast<LoaderDeviceExtension*>(device->DeviceExtension);
}

VOID Unload(PDRIVER_OBJECT)
{
}

NTSTATUS WriteMemory(PDEVICE_OBJECT lower, USHORT address, const UCHAR* data, ULONG length)
{
    return usb_driver::SendVendorWrite(lower, kFirmwareLoadRequest, address, 0, data, length, kPoolTag,
                                       kVendorRequestTimeoutMs);
}

NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo)
{
    PDEVICE_OBJECT device = nullptr;
    NTSTATUS status =
        IoCreateDevice(driver, sizeof(LoaderDeviceExtension), nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    LoaderDeviceExtension* extension = ExtensionOf(device);
    extension->PhysicalDeviceObject = pdo;
    usb_driver::InitializeOutstandingIo(&extension->Io);
    device->Flags |= DO_DIRECT_IO;
    extension->StackDeviceObject = IoAttachDeviceToDeviceStack(device, pdo);
    if (!extension->StackDeviceObject) {
        IoDeleteDevice(device);
        return STATUS_NO_SUCH_DEVICE;
    }
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

NTSTATUS HandleStart(LoaderDeviceExtension* extension, PIRP irp)
{
    NTSTATUS status = usb_driver::PassDownAndWait(extension->StackDeviceObject, irp);
    if (NT_SUCCESS(status)) {
        status = DownloadFirmware(extension->StackDeviceObject, kWidgetFirmwareImage, kWidgetFirmwareRecordCount);
        if (!NT_SUCCESS(status))
            DbgPrint("qex_dmx: firmware download failed (0x%08X); the widget stays unprogrammed", unsigned(status));
    }
    return CompleteRequest(irp, status);
}

NTSTATUS HandleRemove(PDEVICE_OBJECT device, LoaderDeviceExtension* extension, PIRP irp)
{
    usb_driver::DrainForRemoval(&extension->Io, nullptr, nullptr);
    PDEVICE_OBJECT lower = extension->StackDeviceObject;
    IoDetachDevice(lower);
    IoDeleteDevice(device);
    return usb_driver::PassDown(lower, irp);
}

NTSTATUS DispatchPnp(PDEVICE_OBJECT device, PIRP irp)
{
    LoaderDeviceExtension* extension = ExtensionOf(device);
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
    case IRP_MN_REMOVE_DEVICE:
        // Gives the reference back itself.
        return HandleRemove(device, extension, irp);
    default:
        // Surprise removal included: the remove request that follows does the work.
        status = usb_driver::PassDown(extension->StackDeviceObject, irp);
        break;
    }
    usb_driver::ReleaseIo(&extension->Io);
    return status;
}

NTSTATUS DispatchPower(PDEVICE_OBJECT device, PIRP irp)
{
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(ExtensionOf(device)->StackDeviceObject, irp);
}

} // namespace

NTSTATUS DownloadFirmware(PDEVICE_OBJECT lower, const WidgetFirmwareRecord* records, std::size_t count)
{
    constexpr UCHAR kDataRecord = 0;
    NTSTATUS status = WriteMemory(lower, kCpuControlRegister, &kCpuHoldInReset, 1);
    for (std::size_t i = 0; NT_SUCCESS(status) && i < count; ++i) {
        const WidgetFirmwareRecord& record = records[i];
        if (record.Type != kDataRecord)
            break;
        if (record.Length > sizeof record.Data)
            status = STATUS_INVALID_PARAMETER;
        else if (record.Address <= kHighestLoadAddress)
            status = WriteMemory(lower, record.Address, record.Data, record.Length);
    }
    // Released only after a whole download: a partly written program must not run.
    if (NT_SUCCESS(status))
        status = WriteMemory(lower, kCpuControlRegister, &kCpuRun, 1);
    return status;
}

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    driver->MajorFunction[IRP_MJ_PNP] = &DispatchPnp;
    driver->MajorFunction[IRP_MJ_POWER] = &DispatchPower;
    driver->DriverUnload = &Unload;
    driver->DriverExtension->AddDevice = &AddDevice;
    return STATUS_SUCCESS;
}

} // namespace qex_dmx
