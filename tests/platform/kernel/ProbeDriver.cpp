#include "tests/platform/kernel/ProbeDriver.h"
#include "tests/platform/kernel/ForwardAndWait.h"

#include <cstring>
#include <mutex>

namespace probe {
namespace {

struct State
{
    std::mutex mutex;
    Observation last;
    QByteArray reply;
    NTSTATUS replyStatus = STATUS_SUCCESS;
    PIRP held = nullptr;
    int creates = 0;
    int closes = 0;
    bool unloaded = false;
};

State& S()
{
    static State state;
    return state;
}

const wchar_t* const kNames[][2] = {
    {L"\\Device\\Probe", L"\\DosDevices\\Probe"},
    {L"\\Device\\ProbeBuffered", L"\\DosDevices\\ProbeBuffered"},
};

NTSTATUS CreateClose(PDEVICE_OBJECT, PIRP irp)
{
    {
        std::lock_guard lock(S().mutex);
        (IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_CREATE ? S().creates : S().closes)++;
    }
    return test_drivers::CompleteIrp(irp, STATUS_SUCCESS, 0);
}

VOID CancelHeld(PDEVICE_OBJECT, PIRP irp)
{
    IoReleaseCancelSpinLock(irp->CancelIrql);
    {
        std::lock_guard lock(S().mutex);
        if (S().held == irp)
            S().held = nullptr;
    }
    test_drivers::CompleteIrp(irp, STATUS_CANCELLED, 0);
}

Observation Observe(PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    Observation seen;
    seen.major = stack->MajorFunction;
    if (seen.major == IRP_MJ_WRITE) {
        seen.writeLength = stack->Parameters.Write.Length;
        seen.byteOffset = stack->Parameters.Write.ByteOffset.QuadPart;
        seen.inputLength = seen.writeLength;
    } else {
        seen.inputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
        seen.outputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
        if (METHOD_FROM_CTL_CODE(stack->Parameters.DeviceIoControl.IoControlCode) == METHOD_NEITHER &&
            stack->Parameters.DeviceIoControl.Type3InputBuffer)
            seen.type3Input = QByteArray(static_cast<const char*>(stack->Parameters.DeviceIoControl.Type3InputBuffer),
                                         seen.inputLength);
    }
    seen.hasSystemBuffer = irp->AssociatedIrp.SystemBuffer != nullptr;
    if (seen.hasSystemBuffer)
        seen.systemBufferInput = QByteArray(static_cast<const char*>(irp->AssociatedIrp.SystemBuffer), seen.inputLength);
    seen.hasMdl = irp->MdlAddress != nullptr;
    if (seen.hasMdl) {
        seen.mdlByteCount = MmGetMdlByteCount(irp->MdlAddress);
        if (auto* data = static_cast<const char*>(MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority)))
            seen.mdlData = QByteArray(data, seen.mdlByteCount);
    }
    seen.hasUserBuffer = irp->UserBuffer != nullptr;
    return seen;
}

NTSTATUS Control(PDEVICE_OBJECT, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    const ULONG outputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;

    if (code == IOCTL_PROBE_HOLD) {
        std::lock_guard lock(S().mutex);
        if (S().held)
            return test_drivers::CompleteIrp(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
        IoMarkIrpPending(irp);
        S().held = irp;
        IoSetCancelRoutine(irp, &CancelHeld);
        if (irp->Cancel && IoSetCancelRoutine(irp, nullptr)) {
            S().held = nullptr;
            irp->IoStatus.Status = STATUS_CANCELLED;
            irp->IoStatus.Information = 0;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
        }
        return STATUS_PENDING;
    }
    if (code == IOCTL_PROBE_RELEASE) {
        if (stack->Parameters.DeviceIoControl.InputBufferLength < 8)
            return test_drivers::CompleteIrp(irp, STATUS_INVALID_PARAMETER, 0);
        NTSTATUS status;
        ULONG information;
        std::memcpy(&status, irp->AssociatedIrp.SystemBuffer, 4);
        std::memcpy(&information, static_cast<char*>(irp->AssociatedIrp.SystemBuffer) + 4, 4);
        PIRP held;
        {
            std::lock_guard lock(S().mutex);
            held = S().held;
            // A held request whose cancel routine is already running belongs to it.
            if (held && !IoSetCancelRoutine(held, nullptr))
                held = nullptr;
            if (held)
                S().held = nullptr;
        }
        if (!held)
            return test_drivers::CompleteIrp(irp, STATUS_UNSUCCESSFUL, 0);
        test_drivers::CompleteIrp(held, status, information);
        return test_drivers::CompleteIrp(irp, STATUS_SUCCESS, 0);
    }

    QByteArray reply;
    NTSTATUS status;
    {
        std::lock_guard lock(S().mutex);
        S().last = Observe(irp);
        reply = S().reply;
        status = S().replyStatus;
    }
    void* destination = nullptr;
    switch (METHOD_FROM_CTL_CODE(code)) {
    case METHOD_BUFFERED:
        destination = irp->AssociatedIrp.SystemBuffer;
        break;
    case METHOD_OUT_DIRECT:
        destination = irp->MdlAddress ? MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority) : nullptr;
        break;
    case METHOD_NEITHER:
        destination = irp->UserBuffer;
        break;
    default: // direct in: the output buffer carried data to the device
        return test_drivers::CompleteIrp(irp, status, irp->MdlAddress ? MmGetMdlByteCount(irp->MdlAddress) : 0);
    }
    const ULONG count = std::min<ULONG>(ULONG(reply.size()), outputLength);
    if (destination && count)
        std::memcpy(destination, reply.constData(), count);
    return test_drivers::CompleteIrp(irp, status, count);
}

NTSTATUS Write(PDEVICE_OBJECT, PIRP irp)
{
    NTSTATUS status;
    {
        std::lock_guard lock(S().mutex);
        S().last = Observe(irp);
        status = S().replyStatus;
    }
    return test_drivers::CompleteIrp(irp, status, IoGetCurrentIrpStackLocation(irp)->Parameters.Write.Length);
}

VOID Unload(PDRIVER_OBJECT driver)
{
    for (const auto& names : kNames) {
        UNICODE_STRING link;
        RtlInitUnicodeString(&link, names[1]);
        IoDeleteSymbolicLink(&link);
    }
    while (driver->DeviceObject)
        IoDeleteDevice(driver->DeviceObject);
    std::lock_guard lock(S().mutex);
    S().unloaded = true;
}

} // namespace

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    driver->MajorFunction[IRP_MJ_CREATE] = &CreateClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = &CreateClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = &Control;
    driver->MajorFunction[IRP_MJ_WRITE] = &Write;
    driver->DriverUnload = &Unload;
    const ULONG ioFlags[] = {DO_DIRECT_IO, DO_BUFFERED_IO};
    for (int i = 0; i < 2; ++i) {
        UNICODE_STRING name, link;
        RtlInitUnicodeString(&name, kNames[i][0]);
        RtlInitUnicodeString(&link, kNames[i][1]);
        PDEVICE_OBJECT device;
        NTSTATUS status = IoCreateDevice(driver, 16, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
        if (NT_SUCCESS(status)) {
            device->Flags |= ioFlags[i];
            status = IoCreateSymbolicLink(&link, &name);
        }
        if (!NT_SUCCESS(status)) {
            Unload(driver);
            return status;
        }
    }
    return STATUS_SUCCESS;
}

void Reset()
{
    std::lock_guard lock(S().mutex);
    S().last = Observation{};
    S().reply.clear();
    S().replyStatus = STATUS_SUCCESS;
    S().held = nullptr;
    S().creates = S().closes = 0;
    S().unloaded = false;
}

void SetReply(const QByteArray& reply, NTSTATUS status)
{
    std::lock_guard lock(S().mutex);
    S().reply = reply;
    S().replyStatus = status;
}

Observation Last()
{
    std::lock_guard lock(S().mutex);
    return S().last;
}

int CreateCount()
{
    std::lock_guard lock(S().mutex);
    return S().creates;
}

int CloseCount()
{
    std::lock_guard lock(S().mutex);
    return S().closes;
}

bool Unloaded()
{
    std::lock_guard lock(S().mutex);
    return S().unloaded;
}

} // namespace probe
