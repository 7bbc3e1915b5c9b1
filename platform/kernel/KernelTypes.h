#pragma once

// The scalar types, strings, events and memory descriptors of the kernel API, under the
// kernel's own names, so that driver code reads as it would against the real kernel.

#include "platform/kernel/NtStatus.h"

#include <cstddef>
#include <cstdint>

using VOID = void;
using PVOID = void*;
using CHAR = char;
using CCHAR = char;
using UCHAR = std::uint8_t;
using PUCHAR = UCHAR*;
using SHORT = std::int16_t;
using CSHORT = std::int16_t;
using USHORT = std::uint16_t;
using PUSHORT = USHORT*;
using LONG = std::int32_t;
using PLONG = LONG*;
using ULONG = std::uint32_t;
using PULONG = ULONG*;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using SIZE_T = std::size_t;
using BOOLEAN = UCHAR;
using WCHAR = wchar_t;
using PWCH = WCHAR*;
using PWSTR = WCHAR*;
using PCWSTR = const WCHAR*;
using KIRQL = UCHAR;
using PKIRQL = KIRQL*;
using KPRIORITY = LONG;
using KPROCESSOR_MODE = CCHAR;
using DEVICE_TYPE = ULONG;
using ACCESS_MASK = ULONG;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Pointer-sized alignment of a structure member, as the kernel's records use it so that
// the members of overlaid parameter blocks line up.
#define POINTER_ALIGNMENT alignas(sizeof(void*))

enum MODE : KPROCESSOR_MODE { KernelMode = 0, UserMode = 1 };
enum KWAIT_REASON { Executive = 0, UserRequest = 6 };
enum EVENT_TYPE { NotificationEvent = 0, SynchronizationEvent = 1 };
enum POOL_TYPE { NonPagedPool = 0, PagedPool = 1, NonPagedPoolNx = 512 };
enum MM_PAGE_PRIORITY { LowPagePriority = 0, NormalPagePriority = 16, HighPagePriority = 32 };
enum LOCK_OPERATION { IoReadAccess = 0, IoWriteAccess = 1, IoModifyAccess = 2 };

constexpr KIRQL PASSIVE_LEVEL = 0;
constexpr KIRQL DISPATCH_LEVEL = 2;
constexpr KPRIORITY IO_NO_INCREMENT = 0;
constexpr CCHAR EVENT_INCREMENT = 1;

union LARGE_INTEGER {
    struct
    {
        ULONG LowPart;
        LONG HighPart;
    };
    struct
    {
        ULONG LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};
using PLARGE_INTEGER = LARGE_INTEGER*;

// Length and MaximumLength count bytes, not characters.
struct UNICODE_STRING
{
    USHORT Length;
    USHORT MaximumLength;
    PWSTR Buffer;
};
using PUNICODE_STRING = UNICODE_STRING*;
using PCUNICODE_STRING = const UNICODE_STRING*;

struct IO_STATUS_BLOCK
{
    union {
        NTSTATUS Status;
        PVOID Pointer;
    };
    ULONG_PTR Information;
};
using PIO_STATUS_BLOCK = IO_STATUS_BLOCK*;

// A dispatcher object. Its state is changed and read only under the kernel's dispatcher
// lock, so it can live in any memory a driver owns (a device extension, the stack, pool)
// and needs no destruction.
struct DISPATCHER_HEADER
{
    UCHAR Type;
    LONG SignalState;
};

struct KEVENT
{
    DISPATCHER_HEADER Header;
};
using PKEVENT = KEVENT*;
using PRKEVENT = KEVENT*;

// A memory descriptor list. This kernel has one address space, so an MDL describes a
// range of it directly: the system address is the buffer's own address once the range
// is locked (MmProbeAndLockPages) or known to be non-paged (MmBuildMdlForNonPagedPool).
struct MDL
{
    MDL* Next;
    CSHORT Size;
    CSHORT MdlFlags;
    PVOID MappedSystemVa;
    PVOID StartVa;
    ULONG ByteCount;
    ULONG ByteOffset;
};
using PMDL = MDL*;

constexpr CSHORT MDL_MAPPED_TO_SYSTEM_VA = 0x0001;
constexpr CSHORT MDL_PAGES_LOCKED = 0x0002;
constexpr CSHORT MDL_SOURCE_IS_NONPAGED_POOL = 0x0004;

// Control codes: device type, required access, function number and transfer method.
constexpr ULONG CTL_CODE(ULONG deviceType, ULONG function, ULONG method, ULONG access)
{
    return (deviceType << 16) | (access << 14) | (function << 2) | method;
}
constexpr ULONG METHOD_FROM_CTL_CODE(ULONG code) { return code & 3; }
constexpr ULONG DEVICE_TYPE_FROM_CTL_CODE(ULONG code) { return (code & 0xFFFF0000u) >> 16; }

constexpr ULONG METHOD_BUFFERED = 0;
constexpr ULONG METHOD_IN_DIRECT = 1;
constexpr ULONG METHOD_OUT_DIRECT = 2;
constexpr ULONG METHOD_NEITHER = 3;

constexpr ULONG FILE_ANY_ACCESS = 0;
constexpr ULONG FILE_READ_ACCESS = 1;
constexpr ULONG FILE_WRITE_ACCESS = 2;

constexpr DEVICE_TYPE FILE_DEVICE_BUS_EXTENDER = 0x2A;
constexpr DEVICE_TYPE FILE_DEVICE_UNKNOWN = 0x22;

constexpr ACCESS_MASK GENERIC_READ = 0x80000000u;
constexpr ACCESS_MASK GENERIC_WRITE = 0x40000000u;
