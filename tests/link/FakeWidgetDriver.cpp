#include "tests/link/FakeWidgetDriver.h"

#include "link/transport/RdmWidget.h" // the driver's interface

#include <QtEndian>

#include <cstring>
#include <deque>
#include <list>
#include <map>
#include <mutex>

namespace fake_widget {
namespace {

constexpr int kReadPipes[] = {1, 3, 5};
constexpr quint32 kSlotSize = 28;
constexpr quint32 kSlots = 32;

struct Held
{
    PIRP irp;
    int pipe; // the IN pipe of a read; -1 for a held write
};

struct WriteResult
{
    NTSTATUS status = STATUS_SUCCESS;
    bool hold = false;
};

struct State
{
    std::mutex mutex;
    QByteArray mapHeader;
    QByteArray mapRecords;
    Responder responder;
    std::map<int, std::deque<QByteArray>> queued; // packets waiting for a read, per pipe
    std::map<int, NTSTATUS> failedPipes;
    WriteResult pipeWrites;
    WriteResult dmxWrites;
    bool unplugged = false;
    std::list<Held> held;
    QList<PipeWrite> written;
    QList<QByteArray> frames;
    int cancelled = 0;
};

State& S()
{
    static State state;
    return state;
}

const wchar_t* const kNames[][2] = {
    {L"\\Device\\qex_usb_map", L"\\DosDevices\\qex_usb_map"},
    {L"\\Device\\qex_usb_dev00", L"\\DosDevices\\qex_usb_dev00"},
};

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = NT_SUCCESS(status) ? information : 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

void* OutputAddress(PIRP irp)
{
    return irp->MdlAddress ? MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority) : nullptr;
}

NTSTATUS CompleteRead(PIRP irp, const QByteArray& packet)
{
    const ULONG room = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength;
    const ULONG count = std::min<ULONG>(room, ULONG(packet.size()));
    void* output = OutputAddress(irp);
    if (count && output)
        std::memcpy(output, packet.constData(), count);
    return Complete(irp, STATUS_SUCCESS, count);
}

VOID CancelHeld(PDEVICE_OBJECT, PIRP irp)
{
    IoReleaseCancelSpinLock(irp->CancelIrql);
    {
        std::lock_guard lock(S().mutex);
        S().held.remove_if([irp](const Held& held) { return held.irp == irp; });
        ++S().cancelled;
    }
    Complete(irp, STATUS_CANCELLED, 0);
}

// Keeps the request until a packet, a fault or a cancel ends it; the state lock is held.
NTSTATUS HoldLocked(PIRP irp, int pipe)
{
    IoMarkIrpPending(irp);
    S().held.push_back({irp, pipe});
    IoSetCancelRoutine(irp, &CancelHeld);
    if (irp->Cancel && IoSetCancelRoutine(irp, nullptr)) {
        S().held.pop_back();
        ++S().cancelled;
        Complete(irp, STATUS_CANCELLED, 0);
    }
    return STATUS_PENDING;
}

// Takes the held requests that `match` picks and whose cancel routine has not started;
// the caller completes them outside the lock.
template <typename Match>
std::list<Held> TakeHeldLocked(Match match)
{
    std::list<Held> taken;
    for (auto it = S().held.begin(); it != S().held.end();) {
        if (match(*it) && IoSetCancelRoutine(it->irp, nullptr)) {
            taken.push_back(*it);
            it = S().held.erase(it);
        } else {
            ++it;
        }
    }
    return taken;
}

NTSTATUS CreateClose(PDEVICE_OBJECT, PIRP irp)
{
    std::lock_guard lock(S().mutex);
    const bool create = IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_CREATE;
    return Complete(irp, create && S().unplugged ? STATUS_DELETE_PENDING : STATUS_SUCCESS, 0);
}

NTSTATUS Control(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    const bool isMap = device->DeviceExtension && *static_cast<int*>(device->DeviceExtension) == 1;
    QByteArray pipeWrite;
    int pipe = -1;
    {
        std::unique_lock lock(S().mutex);
        if (S().unplugged && !isMap)
            return Complete(irp, STATUS_DELETE_PENDING, 0);
        if (code == IOCTL_WIDGET_GET_MAP_HEADER || code == IOCTL_WIDGET_GET_MAP) {
            const QByteArray& answer =
                code == IOCTL_WIDGET_GET_MAP_HEADER ? S().mapHeader : S().mapRecords;
            const ULONG room = stack->Parameters.DeviceIoControl.OutputBufferLength;
            if (room < ULONG(answer.size()))
                return Complete(irp, STATUS_UNSUCCESSFUL, 0);
            std::memcpy(irp->AssociatedIrp.SystemBuffer, answer.constData(), size_t(answer.size()));
            return Complete(irp, STATUS_SUCCESS, ULONG(answer.size()));
        }
        if (isMap)
            return Complete(irp, STATUS_UNSUCCESSFUL, 0);
        if (code != IOCTL_WIDGET_READ_PIPE && code != IOCTL_WIDGET_WRITE_PIPE)
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        if (stack->Parameters.DeviceIoControl.InputBufferLength < 4)
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        pipe = int(qFromLittleEndian<quint32>(irp->AssociatedIrp.SystemBuffer));

        if (code == IOCTL_WIDGET_READ_PIPE) {
            if (auto failed = S().failedPipes.find(pipe); failed != S().failedPipes.end())
                return Complete(irp, failed->second, 0);
            auto& queued = S().queued[pipe];
            if (queued.empty())
                return HoldLocked(irp, pipe);
            const QByteArray packet = queued.front();
            queued.pop_front();
            return CompleteRead(irp, packet);
        }

        const auto* data = static_cast<const char*>(OutputAddress(irp));
        pipeWrite = QByteArray(data, data ? int(stack->Parameters.DeviceIoControl.OutputBufferLength) : 0);
        if (S().pipeWrites.hold)
            return HoldLocked(irp, -1);
        if (!NT_SUCCESS(S().pipeWrites.status))
            return Complete(irp, S().pipeWrites.status, 0);
        S().written.append({quint8(pipe), pipeWrite});
    }
    // The widget answers before the write completes.
    Responder responder;
    {
        std::lock_guard lock(S().mutex);
        responder = S().responder;
    }
    if (responder)
        responder(quint8(pipe), pipeWrite);
    return Complete(irp, STATUS_SUCCESS, ULONG(pipeWrite.size()));
}

NTSTATUS Write(PDEVICE_OBJECT device, PIRP irp)
{
    std::lock_guard lock(S().mutex);
    const bool isMap = device->DeviceExtension && *static_cast<int*>(device->DeviceExtension) == 1;
    if (isMap)
        return Complete(irp, STATUS_UNSUCCESSFUL, 0);
    if (S().unplugged)
        return Complete(irp, STATUS_DELETE_PENDING, 0);
    if (S().dmxWrites.hold)
        return HoldLocked(irp, -1);
    if (!NT_SUCCESS(S().dmxWrites.status))
        return Complete(irp, S().dmxWrites.status, 0);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const auto* data = static_cast<const char*>(OutputAddress(irp));
    const ULONG length = stack->Parameters.Write.Length;
    S().frames.append(QByteArray(data, data ? int(length) : 0));
    return Complete(irp, STATUS_SUCCESS, length);
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
}

} // namespace

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    driver->MajorFunction[IRP_MJ_CREATE] = &CreateClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = &CreateClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = &Control;
    driver->MajorFunction[IRP_MJ_WRITE] = &Write;
    driver->DriverUnload = &Unload;
    for (int i = 0; i < 2; ++i) {
        UNICODE_STRING name, link;
        RtlInitUnicodeString(&name, kNames[i][0]);
        RtlInitUnicodeString(&link, kNames[i][1]);
        PDEVICE_OBJECT device;
        NTSTATUS status = IoCreateDevice(driver, sizeof(int), &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
        if (NT_SUCCESS(status)) {
            *static_cast<int*>(device->DeviceExtension) = i == 0 ? 1 : 0; // 1 marks the map device
            device->Flags |= DO_DIRECT_IO;
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
    S().mapHeader.clear();
    S().mapRecords.clear();
    S().responder = nullptr;
    S().queued.clear();
    S().failedPipes.clear();
    S().pipeWrites = WriteResult{};
    S().dmxWrites = WriteResult{};
    S().unplugged = false;
    S().written.clear();
    S().frames.clear();
    S().cancelled = 0;
}

void SetMap(const QByteArray& header, const QByteArray& records)
{
    std::lock_guard lock(S().mutex);
    S().mapHeader = header;
    S().mapRecords = records;
}

void SetMapRecords(const QList<MapRecord>& records)
{
    QByteArray header(12, '\0');
    qToLittleEndian<quint32>(0x1234, header.data());
    qToLittleEndian<quint32>(kSlotSize, header.data() + 4);
    qToLittleEndian<quint32>(kSlots, header.data() + 8);
    QByteArray map(int(kSlotSize * kSlots), '\0');
    for (const MapRecord& record : records) {
        char* slot = map.data() + record.slot * kSlotSize;
        qToLittleEndian<quint32>(record.vendor, slot);
        qToLittleEndian<quint32>(record.product, slot + 4);
        qToLittleEndian<quint32>(record.serial, slot + 8);
    }
    SetMap(header, map);
}

void SetResponder(Responder responder)
{
    std::lock_guard lock(S().mutex);
    S().responder = std::move(responder);
}

void Push(quint8 pipe, const QByteArray& packet)
{
    std::list<Held> reader;
    {
        std::lock_guard lock(S().mutex);
        bool taken = false;
        reader = TakeHeldLocked([&](const Held& held) {
            if (taken || held.pipe != pipe)
                return false;
            taken = true;
            return true;
        });
        if (reader.empty()) {
            S().queued[pipe].push_back(packet);
            return;
        }
    }
    CompleteRead(reader.front().irp, packet);
}

void FailReads(quint8 pipe, NTSTATUS status)
{
    std::list<Held> readers;
    {
        std::lock_guard lock(S().mutex);
        S().failedPipes[pipe] = status;
        readers = TakeHeldLocked([pipe](const Held& held) { return held.pipe == pipe; });
    }
    for (const Held& held : readers)
        Complete(held.irp, status, 0);
}

void SetPipeWriteResult(NTSTATUS status, bool hold)
{
    std::lock_guard lock(S().mutex);
    S().pipeWrites = WriteResult{status, hold};
}

void SetDmxWriteResult(NTSTATUS status, bool hold)
{
    std::lock_guard lock(S().mutex);
    S().dmxWrites = WriteResult{status, hold};
}

void Unplug()
{
    std::list<Held> all;
    {
        std::lock_guard lock(S().mutex);
        S().unplugged = true;
        for (int pipe : kReadPipes)
            S().failedPipes[pipe] = STATUS_DELETE_PENDING;
        all = TakeHeldLocked([](const Held&) { return true; });
    }
    for (const Held& held : all)
        Complete(held.irp, STATUS_DELETE_PENDING, 0);
}

QList<PipeWrite> PipeWrites()
{
    std::lock_guard lock(S().mutex);
    return S().written;
}

QList<QByteArray> PipeWrites(quint8 pipe)
{
    QList<QByteArray> onPipe;
    for (const PipeWrite& write : PipeWrites())
        if (write.pipe == pipe)
            onPipe.append(write.data);
    return onPipe;
}

QList<QByteArray> DmxFrames()
{
    std::lock_guard lock(S().mutex);
    return S().frames;
}

int PendingReads()
{
    std::lock_guard lock(S().mutex);
    int count = 0;
    for (const Held& held : S().held)
        count += held.pipe >= 0;
    return count;
}

int CancelledRequests()
{
    std::lock_guard lock(S().mutex);
    return S().cancelled;
}

} // namespace fake_widget
