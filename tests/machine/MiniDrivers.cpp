#include "tests/machine/MiniDrivers.h"
#include "tests/platform/kernel/ForwardAndWait.h"
#include "tools/widget_firmware/WidgetFirmware.h"

#include <mutex>

namespace mini {
namespace {

std::mutex journalMutex;
QStringList journal;

void Note(const QString& entry)
{
    std::lock_guard lock(journalMutex);
    journal << entry;
}

constexpr ULONG kUrbTag = MakePoolTag("Mini");

using test_drivers::ForwardAndWait;

NTSTATUS PassDown(PDEVICE_OBJECT lower, PIRP irp)
{
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(lower, irp);
}

NTSTATUS SubmitUrb(PDEVICE_OBJECT lower, PURB urb)
{
    KEVENT done;
    IO_STATUS_BLOCK result{};
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    PIRP irp =
        IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_URB, lower, nullptr, 0, nullptr, 0, TRUE, &done, &result);
    if (!irp)
        return STATUS_INSUFFICIENT_RESOURCES;
    IoGetNextIrpStackLocation(irp)->Parameters.Others.Argument1 = urb;
    NTSTATUS status = IoCallDriver(lower, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
        status = result.Status;
    }
    return status;
}

NTSTATUS PowerPassDown(PDEVICE_OBJECT device, PIRP irp)
{
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(*static_cast<PDEVICE_OBJECT*>(device->DeviceExtension), irp);
}

// ---- the loader -------------------------------------------------------------------------

struct LoaderExtension
{
    PDEVICE_OBJECT lower; // first: PowerPassDown finds it there
};

NTSTATUS WriteMemory(PDEVICE_OBJECT lower, USHORT address, const UCHAR* data, ULONG length)
{
    URB urb{};
    UsbBuildVendorRequest(&urb, URB_FUNCTION_VENDOR_DEVICE, sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST),
                          USBD_TRANSFER_DIRECTION_OUT, 0, 0xA0, address, 0, const_cast<UCHAR*>(data), nullptr, length,
                          nullptr);
    return SubmitUrb(lower, &urb);
}

NTSTATUS LoaderPnp(PDEVICE_OBJECT device, PIRP irp)
{
    auto* extension = static_cast<LoaderExtension*>(device->DeviceExtension);
    PDEVICE_OBJECT lower = extension->lower;
    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
    case IRP_MN_START_DEVICE: {
        Note("loader:start");
        const NTSTATUS status = ForwardAndWait(lower, irp);
        if (NT_SUCCESS(status)) {
            const UCHAR hold = 1, release = 0;
            NTSTATUS written = WriteMemory(lower, 0x7F92, &hold, 1);
            for (std::size_t i = 0; NT_SUCCESS(written) && kWidgetFirmwareImage[i].Type == 0; ++i) {
                const WidgetFirmwareRecord& record = kWidgetFirmwareImage[i];
                if (record.Address <= 0x1B3F)
                    written = WriteMemory(lower, record.Address, record.Data, record.Length);
            }
            WriteMemory(lower, 0x7F92, &release, 1);
        }
        return test_drivers::CompleteIrp(irp, status);
    }
    case IRP_MN_REMOVE_DEVICE:
        Note("loader:remove");
        IoDetachDevice(lower);
        IoDeleteDevice(device);
        return PassDown(lower, irp);
    default:
        return PassDown(lower, irp);
    }
}

NTSTATUS LoaderAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo)
{
    Note("loader:add");
    PDEVICE_OBJECT device;
    const NTSTATUS status = IoCreateDevice(driver, sizeof(LoaderExtension), nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    static_cast<LoaderExtension*>(device->DeviceExtension)->lower = IoAttachDeviceToDeviceStack(device, pdo);
    device->Flags |= DO_DIRECT_IO;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

// ---- the widget driver ------------------------------------------------------------------

struct WidgetExtension
{
    PDEVICE_OBJECT lower; // first: PowerPassDown finds it there
    USBD_PIPE_HANDLE pipes[8];
    ULONG pipeCount;
    BOOLEAN started;
    BOOLEAN removing;
    LONG outstanding; // one for the device, one per request in the driver
    KEVENT removeEvent;
};

const wchar_t kDeviceName[] = L"\\Device\\MiniWidget";
const wchar_t kLinkName[] = L"\\DosDevices\\MiniWidget";

void Release(WidgetExtension* extension)
{
    if (InterlockedDecrement(&extension->outstanding) == 0)
        KeSetEvent(&extension->removeEvent, IO_NO_INCREMENT, FALSE);
}

NTSTATUS SelectConfiguration(WidgetExtension* extension)
{
    UCHAR head[9];
    URB urb{};
    UsbBuildGetDescriptorRequest(&urb, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 0,
                                 head, nullptr, sizeof head, nullptr);
    NTSTATUS status = SubmitUrb(extension->lower, &urb);
    if (!NT_SUCCESS(status))
        return status;
    const USHORT total = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(head)->wTotalLength;
    auto* configuration = static_cast<PUSB_CONFIGURATION_DESCRIPTOR>(ExAllocatePoolWithTag(NonPagedPool, total, kUrbTag));
    if (!configuration)
        return STATUS_NO_MEMORY;
    UsbBuildGetDescriptorRequest(&urb, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 0,
                                 configuration, nullptr, total, nullptr);
    status = SubmitUrb(extension->lower, &urb);
    USBD_INTERFACE_LIST_ENTRY list[2] = {
        {USBD_ParseConfigurationDescriptorEx(configuration, configuration, -1, -1, -1, -1, -1), nullptr},
        {nullptr, nullptr}};
    PURB select = NT_SUCCESS(status) && list[0].InterfaceDescriptor
                      ? USBD_CreateConfigurationRequestEx(configuration, list)
                      : nullptr;
    if (select) {
        for (ULONG i = 0; i < list[0].Interface->NumberOfPipes; ++i)
            list[0].Interface->Pipes[i].MaximumTransferSize = 65535;
        status = SubmitUrb(extension->lower, select);
        if (NT_SUCCESS(status)) {
            extension->pipeCount = std::min<ULONG>(list[0].Interface->NumberOfPipes, 8);
            for (ULONG i = 0; i < extension->pipeCount; ++i)
                extension->pipes[i] = list[0].Interface->Pipes[i].PipeHandle;
        }
        ExFreePool(select);
    } else if (NT_SUCCESS(status)) {
        status = STATUS_UNSUCCESSFUL;
    }
    ExFreePool(configuration);
    return status;
}

void AbortPipes(WidgetExtension* extension)
{
    for (ULONG i = 0; i < extension->pipeCount; ++i) {
        URB urb{};
        urb.UrbHeader.Function = URB_FUNCTION_ABORT_PIPE;
        urb.UrbHeader.Length = sizeof(_URB_PIPE_REQUEST);
        urb.UrbPipeRequest.PipeHandle = extension->pipes[i];
        SubmitUrb(extension->lower, &urb);
    }
}

NTSTATUS WidgetPnp(PDEVICE_OBJECT device, PIRP irp)
{
    auto* extension = static_cast<WidgetExtension*>(device->DeviceExtension);
    PDEVICE_OBJECT lower = extension->lower;
    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
    case IRP_MN_START_DEVICE: {
        Note("widget:start");
        NTSTATUS status = ForwardAndWait(lower, irp);
        if (NT_SUCCESS(status))
            status = SelectConfiguration(extension);
        extension->started = NT_SUCCESS(status);
        return test_drivers::CompleteIrp(irp, status);
    }
    case IRP_MN_QUERY_CAPABILITIES: {
        const NTSTATUS status = ForwardAndWait(lower, irp);
        PDEVICE_CAPABILITIES capabilities =
            IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceCapabilities.Capabilities;
        if (NT_SUCCESS(status) && capabilities->Version >= 1)
            capabilities->SurpriseRemovalOK = 1;
        return test_drivers::CompleteIrp(irp, status);
    }
    case IRP_MN_SURPRISE_REMOVAL:
        Note("widget:surprise-removal");
        extension->removing = TRUE;
        AbortPipes(extension);
        return PassDown(lower, irp);
    case IRP_MN_REMOVE_DEVICE: {
        Note("widget:remove");
        extension->removing = TRUE;
        AbortPipes(extension);
        Release(extension);
        KeWaitForSingleObject(&extension->removeEvent, Executive, KernelMode, FALSE, nullptr);
        UNICODE_STRING link;
        RtlInitUnicodeString(&link, kLinkName);
        IoDeleteSymbolicLink(&link);
        IoDetachDevice(lower);
        IoDeleteDevice(device);
        return PassDown(lower, irp);
    }
    default:
        return PassDown(lower, irp);
    }
}

NTSTATUS WidgetCreateClose(PDEVICE_OBJECT device, PIRP irp)
{
    auto* extension = static_cast<WidgetExtension*>(device->DeviceExtension);
    const bool create = IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_CREATE;
    return test_drivers::CompleteIrp(irp, !create || (extension->started && !extension->removing) ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL);
}

NTSTATUS TransferDone(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    auto* urb = static_cast<PURB>(context);
    if (irp->PendingReturned)
        IoMarkIrpPending(irp);
    irp->IoStatus.Information =
        NT_SUCCESS(irp->IoStatus.Status) ? urb->UrbBulkOrInterruptTransfer.TransferBufferLength : 0;
    ExFreePool(urb);
    Release(static_cast<WidgetExtension*>(device->DeviceExtension));
    return STATUS_SUCCESS;
}

NTSTATUS WidgetControl(PDEVICE_OBJECT device, PIRP irp)
{
    auto* extension = static_cast<WidgetExtension*>(device->DeviceExtension);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    if (extension->removing)
        return test_drivers::CompleteIrp(irp, STATUS_DELETE_PENDING);
    if (code != IOCTL_MINI_READ_PIPE && code != IOCTL_MINI_WRITE_PIPE)
        return test_drivers::CompleteIrp(irp, STATUS_INVALID_PARAMETER);
    if (stack->Parameters.DeviceIoControl.InputBufferLength < sizeof(ULONG))
        return test_drivers::CompleteIrp(irp, STATUS_INVALID_PARAMETER);
    const ULONG pipe = *static_cast<ULONG*>(irp->AssociatedIrp.SystemBuffer);
    if (pipe >= extension->pipeCount)
        return test_drivers::CompleteIrp(irp, STATUS_INVALID_PARAMETER);

    auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), kUrbTag));
    if (!urb)
        return test_drivers::CompleteIrp(irp, STATUS_NO_MEMORY);
    const ULONG length = irp->MdlAddress ? MmGetMdlByteCount(irp->MdlAddress) : 0;
    UsbBuildInterruptOrBulkTransferRequest(urb, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), extension->pipes[pipe], nullptr,
                                           irp->MdlAddress, length,
                                           USBD_SHORT_TRANSFER_OK |
                                               (code == IOCTL_MINI_READ_PIPE ? USBD_TRANSFER_DIRECTION_IN : 0),
                                           nullptr);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
    next->Parameters.Others.Argument1 = urb;
    IoSetCompletionRoutine(irp, &TransferDone, urb, TRUE, TRUE, TRUE);
    InterlockedIncrement(&extension->outstanding);
    return IoCallDriver(extension->lower, irp);
}

NTSTATUS WidgetAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo)
{
    Note("widget:add");
    UNICODE_STRING name, link;
    RtlInitUnicodeString(&name, kDeviceName);
    RtlInitUnicodeString(&link, kLinkName);
    PDEVICE_OBJECT device;
    NTSTATUS status = IoCreateDevice(driver, sizeof(WidgetExtension), &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    auto* extension = static_cast<WidgetExtension*>(device->DeviceExtension);
    extension->outstanding = 1;
    KeInitializeEvent(&extension->removeEvent, NotificationEvent, FALSE);
    extension->lower = IoAttachDeviceToDeviceStack(device, pdo);
    device->Flags |= DO_DIRECT_IO;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

} // namespace

NTSTATUS LoaderEntry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    driver->MajorFunction[IRP_MJ_PNP] = &LoaderPnp;
    driver->MajorFunction[IRP_MJ_POWER] = &PowerPassDown;
    driver->DriverExtension->AddDevice = &LoaderAddDevice;
    driver->DriverUnload = [](PDRIVER_OBJECT) { Note("loader:unload"); };
    return STATUS_SUCCESS;
}

NTSTATUS WidgetEntry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    driver->MajorFunction[IRP_MJ_CREATE] = &WidgetCreateClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = &WidgetCreateClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = &WidgetControl;
    driver->MajorFunction[IRP_MJ_PNP] = &WidgetPnp;
    driver->MajorFunction[IRP_MJ_POWER] = &PowerPassDown;
    driver->DriverExtension->AddDevice = &WidgetAddDevice;
    driver->DriverUnload = [](PDRIVER_OBJECT) { Note("widget:unload"); };
    return STATUS_SUCCESS;
}

QStringList TakeJournal()
{
    std::lock_guard lock(journalMutex);
    return std::exchange(journal, {});
}

} // namespace mini
