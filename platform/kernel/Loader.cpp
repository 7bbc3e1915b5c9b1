#include "platform/kernel/Loader.h"
#include "platform/kernel/KernelPrivate.h"

#include <QDebug>
#include <cstring>
#include <cwchar>

namespace {

constexpr ULONG kDriverTag = MakePoolTag("Drvr");
constexpr ULONG kDriverPrivateTag = MakePoolTag("DrvP");

} // namespace

namespace platform::kernel::detail {

NTSTATUS InvalidDeviceRequest(PDEVICE_OBJECT, PIRP irp);

void ReferenceDriver(PDRIVER_OBJECT driver)
{
    driver->KernelPrivate->references.fetch_add(1);
}

void DereferenceDriver(PDRIVER_OBJECT driver)
{
    if (driver->KernelPrivate->references.fetch_sub(1) == 1) {
        PoolDelete(driver->KernelPrivate);
        ExFreePool(driver);
    }
}

} // namespace platform::kernel::detail

namespace platform::kernel {

using namespace detail;

NTSTATUS LoadDriver(const std::wstring& name, PDRIVER_INITIALIZE entry, PDRIVER_OBJECT* driver)
{
    *driver = nullptr;
    auto* object = static_cast<PDRIVER_OBJECT>(ExAllocatePoolWithTag(NonPagedPool, sizeof(DRIVER_OBJECT), kDriverTag));
    if (!object)
        return STATUS_INSUFFICIENT_RESOURCES;
    auto* priv = PoolNew<KernelDriverPrivate>(kDriverPrivateTag);
    if (!priv) {
        ExFreePool(object);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    std::memset(static_cast<void*>(object), 0, sizeof *object);
    object->KernelPrivate = priv;
    priv->name = L"\\Driver\\" + name;
    priv->extension.DriverObject = object;
    object->DriverExtension = &priv->extension;
    object->DriverName.Buffer = priv->name.data();
    object->DriverName.Length = USHORT(priv->name.size() * sizeof(WCHAR));
    object->DriverName.MaximumLength = object->DriverName.Length;
    object->DriverInit = entry;
    for (PDRIVER_DISPATCH& dispatch : object->MajorFunction)
        dispatch = &InvalidDeviceRequest;

    std::wstring registryPath = L"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\" + name;
    UNICODE_STRING path;
    RtlInitUnicodeString(&path, registryPath.c_str());
    const NTSTATUS status = entry(object, &path);
    if (!NT_SUCCESS(status)) {
        if (object->DeviceObject)
            qWarning("driver %ls failed to load but left devices behind", name.c_str());
        priv->unloaded = true;
        DereferenceDriver(object);
        return status;
    }
    {
        std::lock_guard lock(IoLock());
        for (PDEVICE_OBJECT device = object->DeviceObject; device; device = device->NextDevice)
            device->Flags &= ~DO_DEVICE_INITIALIZING;
    }
    *driver = object;
    return STATUS_SUCCESS;
}

void UnloadDriver(PDRIVER_OBJECT driver)
{
    if (!driver || driver->KernelPrivate->unloaded)
        return;
    if (driver->DriverUnload)
        driver->DriverUnload(driver);
    driver->KernelPrivate->unloaded = true;
    bool devicesLeft;
    {
        std::lock_guard lock(IoLock());
        devicesLeft = driver->DeviceObject != nullptr;
    }
    if (devicesLeft)
        qWarning("driver %ls unloaded with devices still present", driver->KernelPrivate->name.c_str());
    DereferenceDriver(driver);
}

} // namespace platform::kernel
