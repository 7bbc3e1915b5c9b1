#pragma once

// The kernel's own bookkeeping behind the objects of Kernel.h. Not for drivers.

#include "platform/kernel/Kernel.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <new>
#include <string>
#include <utility>

struct KernelDriverPrivate
{
    // One for the loader until the driver is unloaded, one per device object that exists.
    std::atomic<int> references{1};
    bool unloaded = false;
    std::wstring name;
    DRIVER_EXTENSION extension{};
};

struct KernelDevicePrivate
{
    // One for the driver until IoDeleteDevice, plus one per open file, attachment above
    // it, dispatch in progress and explicit reference.
    std::atomic<int> references{1};
    bool deleted = false;       // guarded by IoLock
    std::wstring name;          // as created; empty for unnamed devices
    PDEVICE_OBJECT attachedTo = nullptr; // the device below; guarded by IoLock
    bool exclusive = false;
    int openFiles = 0;          // guarded by IoLock
};

struct KernelIrpPrivate
{
    // One for whoever owns the request, plus one per canceller that holds it while it
    // calls IoCancelIrp.
    std::atomic<int> references{1};
    // Set for requests the I/O manager built: runs once every stack location has
    // completed, finishes the request for its issuer and frees it.
    std::function<void(PIRP)> ioCompletion;
    // Buffered output: how many bytes the caller's buffer holds.
    ULONG outputBufferLength = 0;
};

namespace platform::kernel::detail {

// Stops the process the way a fatal kernel error stops a machine.
[[noreturn]] void BugCheck(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Guards the object namespace, the drivers' device lists and the attachment chains.
// Never held while a driver routine runs.
std::mutex& IoLock();

template <class T, class... Args>
T* PoolNew(ULONG tag, Args&&... args)
{
    void* memory = ExAllocatePoolWithTag(NonPagedPool, sizeof(T), tag);
    return memory ? new (memory) T(std::forward<Args>(args)...) : nullptr;
}

template <class T>
void PoolDelete(T* object)
{
    if (!object)
        return;
    object->~T();
    ExFreePool(object);
}

// Object namespace (caller holds IoLock). Names compare without regard to case, and
// "\DosDevices\" is another spelling of "\??\".
NTSTATUS InsertDeviceName(const std::wstring& name, PDEVICE_OBJECT device);
void RemoveDeviceName(const std::wstring& name);
NTSTATUS InsertSymbolicLink(const std::wstring& link, const std::wstring& target);
NTSTATUS RemoveSymbolicLink(const std::wstring& link);
// Follows links to a device; NULL when the name leads nowhere.
PDEVICE_OBJECT LookupDevice(const std::wstring& name);

std::wstring FromUnicodeString(PCUNICODE_STRING string);

void ReferenceDevice(PDEVICE_OBJECT device);
void DereferenceDevice(PDEVICE_OBJECT device);
// The top of the stack DeviceObject belongs to, referenced.
PDEVICE_OBJECT ReferenceAttachedDevice(PDEVICE_OBJECT device);

void ReferenceDriver(PDRIVER_OBJECT driver);
void DereferenceDriver(PDRIVER_OBJECT driver);

void ReferenceIrp(PIRP irp);
// Lets go of a reference without IoFreeIrp's ownership check; frees at the last one.
void DereferenceIrp(PIRP irp);

// Sets up the buffers of a device control request as its transfer method asks: buffered
// (one system buffer for input and output), in-direct and out-direct (input in a system
// buffer, the output buffer described by a locked MDL) or neither (the caller's own
// pointers). False when an allocation failed; nothing is left allocated then.
bool PrepareDeviceControlBuffers(PIRP irp, ULONG code, PVOID input, ULONG inputLength, PVOID output,
                                 ULONG outputLength);

// Sends a request the kernel built (its next stack location set up) and waits for it to
// complete; frees it and returns the final status block.
IO_STATUS_BLOCK SendSynchronousRequest(PDEVICE_OBJECT target, PIRP irp);

// True when an injected fault says the next MDL mapping fails.
bool TakeMdlMappingFault();

// Frees the system buffer and the memory descriptor lists the I/O manager made for a
// request, copying buffered output back to UserBuffer first when the request succeeded.
void ReleaseIoManagerBuffers(PIRP irp);

} // namespace platform::kernel::detail
