#include "platform/kernel/UserIo.h"
#include "platform/kernel/KernelPrivate.h"

#include <cstring>

namespace {

constexpr ULONG kFileTag = MakePoolTag("File");
constexpr ULONG kWriteBufferTag = MakePoolTag("IoWB");
const std::wstring kUserPrefix = L"\\\\.\\";

using namespace platform::kernel::detail;

bool Deleted(PDEVICE_OBJECT device)
{
    std::lock_guard lock(IoLock());
    return device->KernelPrivate->deleted;
}

// The top of the file's stack, referenced, or NULL when the file's device or the top has
// been deleted.
PDEVICE_OBJECT LiveTarget(PFILE_OBJECT file)
{
    if (Deleted(file->DeviceObject))
        return nullptr;
    PDEVICE_OBJECT top = ReferenceAttachedDevice(file->DeviceObject);
    if (Deleted(top)) {
        DereferenceDevice(top);
        return nullptr;
    }
    return top;
}

IO_STATUS_BLOCK SendFileRequest(PFILE_OBJECT file, PDEVICE_OBJECT target, UCHAR major)
{
    PIRP irp = IoAllocateIrp(target->StackSize, FALSE);
    if (!irp)
        return IO_STATUS_BLOCK{{STATUS_INSUFFICIENT_RESOURCES}, 0};
    irp->RequestorMode = UserMode;
    irp->Tail.Overlay.OriginalFileObject = file;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = major;
    next->FileObject = file;
    return SendSynchronousRequest(target, irp);
}

} // namespace

namespace platform::kernel {

struct UserIrpAccess
{
    static void Attach(UserIrp& handle, PIRP irp)
    {
        std::lock_guard lock(handle.mutex_);
        handle.irp_ = irp;
    }
    static void Detach(UserIrp& handle)
    {
        std::lock_guard lock(handle.mutex_);
        handle.irp_ = nullptr;
    }
};

void UserIrp::Cancel()
{
    PIRP irp;
    {
        std::lock_guard lock(mutex_);
        irp = irp_;
        if (!irp)
            return;
        // Keeps the request's memory alive across IoCancelIrp even if it completes meanwhile.
        ReferenceIrp(irp);
    }
    IoCancelIrp(irp);
    DereferenceIrp(irp);
}

NTSTATUS OpenDeviceFile(const std::wstring& path, ACCESS_MASK access, PFILE_OBJECT* file)
{
    *file = nullptr;
    if (path.compare(0, kUserPrefix.size(), kUserPrefix) != 0 || path.size() == kUserPrefix.size())
        return STATUS_OBJECT_NAME_INVALID;
    const std::wstring name = L"\\??\\" + path.substr(kUserPrefix.size());

    PDEVICE_OBJECT device;
    {
        std::lock_guard lock(IoLock());
        device = LookupDevice(name);
        if (!device)
            return STATUS_OBJECT_NAME_NOT_FOUND;
        if (device->Flags & DO_DEVICE_INITIALIZING)
            return STATUS_NO_SUCH_DEVICE;
        if (device->KernelPrivate->exclusive && device->KernelPrivate->openFiles > 0)
            return STATUS_ACCESS_DENIED;
        ReferenceDevice(device);
        device->KernelPrivate->openFiles++;
    }
    auto* object = static_cast<PFILE_OBJECT>(ExAllocatePoolWithTag(NonPagedPool, sizeof(FILE_OBJECT), kFileTag));
    NTSTATUS status = STATUS_INSUFFICIENT_RESOURCES;
    if (object) {
        std::memset(static_cast<void*>(object), 0, sizeof *object);
        object->DeviceObject = device;
        object->ReadAccess = (access & GENERIC_READ) ? TRUE : FALSE;
        object->WriteAccess = (access & GENERIC_WRITE) ? TRUE : FALSE;
        PDEVICE_OBJECT top = LiveTarget(object);
        status = STATUS_DELETE_PENDING;
        if (top) {
            status = SendFileRequest(object, top, IRP_MJ_CREATE).Status;
            DereferenceDevice(top);
        }
        if (NT_SUCCESS(status)) {
            *file = object;
            return status;
        }
        ExFreePool(object);
    }
    {
        std::lock_guard lock(IoLock());
        device->KernelPrivate->openFiles--;
    }
    DereferenceDevice(device);
    return status;
}

void CloseDeviceFile(PFILE_OBJECT file)
{
    if (!file)
        return;
    PDEVICE_OBJECT device = file->DeviceObject;
    if (PDEVICE_OBJECT top = LiveTarget(file)) {
        SendFileRequest(file, top, IRP_MJ_CLEANUP);
        SendFileRequest(file, top, IRP_MJ_CLOSE);
        DereferenceDevice(top);
    }
    {
        std::lock_guard lock(IoLock());
        device->KernelPrivate->openFiles--;
    }
    ExFreePool(file);
    DereferenceDevice(device);
}

namespace {

// Allocates a user request for the top of the file's stack, or reports why not.
PIRP BeginUserRequest(PFILE_OBJECT file, bool needsRead, bool needsWrite, PDEVICE_OBJECT* target,
                      const UserCompletion& completion)
{
    *target = nullptr;
    NTSTATUS refusal = STATUS_SUCCESS;
    if ((needsRead && !file->ReadAccess) || (needsWrite && !file->WriteAccess))
        refusal = STATUS_ACCESS_DENIED;
    else if (!(*target = LiveTarget(file)))
        refusal = STATUS_DELETE_PENDING;
    PIRP irp = nullptr;
    if (NT_SUCCESS(refusal)) {
        irp = IoAllocateIrp((*target)->StackSize, FALSE);
        if (!irp) {
            refusal = STATUS_INSUFFICIENT_RESOURCES;
            DereferenceDevice(*target);
            *target = nullptr;
        }
    }
    if (!NT_SUCCESS(refusal)) {
        completion(IO_STATUS_BLOCK{{refusal}, 0});
        return nullptr;
    }
    irp->RequestorMode = UserMode;
    irp->Tail.Overlay.OriginalFileObject = file;
    IoGetNextIrpStackLocation(irp)->FileObject = file;
    return irp;
}

std::shared_ptr<UserIrp> Dispatch(PDEVICE_OBJECT target, PIRP irp, UserCompletion completion)
{
    auto handle = std::make_shared<UserIrp>();
    UserIrpAccess::Attach(*handle, irp);
    irp->KernelPrivate->ioCompletion = [handle, completion = std::move(completion)](PIRP done) {
        ReleaseIoManagerBuffers(done);
        const IO_STATUS_BLOCK result = done->IoStatus;
        UserIrpAccess::Detach(*handle);
        IoFreeIrp(done);
        completion(result);
    };
    IoCallDriver(target, irp);
    DereferenceDevice(target);
    return handle;
}

} // namespace

std::shared_ptr<UserIrp> SendDeviceControl(PFILE_OBJECT file, ULONG code, void* input, ULONG inputLength,
                                           void* output, ULONG outputLength, UserCompletion completion)
{
    const ULONG access = (code >> 14) & 3;
    PDEVICE_OBJECT target;
    PIRP irp = BeginUserRequest(file, access & FILE_READ_ACCESS, access & FILE_WRITE_ACCESS, &target, completion);
    if (!irp)
        return std::make_shared<UserIrp>();
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.OutputBufferLength = outputLength;
    next->Parameters.DeviceIoControl.InputBufferLength = inputLength;
    next->Parameters.DeviceIoControl.IoControlCode = code;
    if (!PrepareDeviceControlBuffers(irp, code, input, inputLength, output, outputLength)) {
        IoFreeIrp(irp);
        DereferenceDevice(target);
        completion(IO_STATUS_BLOCK{{STATUS_INSUFFICIENT_RESOURCES}, 0});
        return std::make_shared<UserIrp>();
    }
    return Dispatch(target, irp, std::move(completion));
}

std::shared_ptr<UserIrp> SendWrite(PFILE_OBJECT file, void* data, ULONG length, LONGLONG offset,
                                   UserCompletion completion)
{
    PDEVICE_OBJECT target;
    PIRP irp = BeginUserRequest(file, false, true, &target, completion);
    if (!irp)
        return std::make_shared<UserIrp>();
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_WRITE;
    next->Parameters.Write.Length = length;
    next->Parameters.Write.ByteOffset.QuadPart = offset;
    bool failed = false;
    if (length && data) {
        if (target->Flags & DO_BUFFERED_IO) {
            irp->AssociatedIrp.SystemBuffer = ExAllocatePoolWithTag(NonPagedPool, length, kWriteBufferTag);
            failed = !irp->AssociatedIrp.SystemBuffer;
            if (!failed) {
                std::memcpy(irp->AssociatedIrp.SystemBuffer, data, length);
                irp->Flags |= IRP_BUFFERED_IO | IRP_DEALLOCATE_BUFFER;
            }
        } else if (target->Flags & DO_DIRECT_IO) {
            PMDL mdl = IoAllocateMdl(data, length, FALSE, FALSE, irp);
            failed = !mdl;
            if (!failed)
                MmProbeAndLockPages(mdl, UserMode, IoReadAccess);
        } else {
            irp->UserBuffer = data;
        }
    }
    if (failed) {
        ReleaseIoManagerBuffers(irp);
        IoFreeIrp(irp);
        DereferenceDevice(target);
        completion(IO_STATUS_BLOCK{{STATUS_INSUFFICIENT_RESOURCES}, 0});
        return std::make_shared<UserIrp>();
    }
    return Dispatch(target, irp, std::move(completion));
}

} // namespace platform::kernel
