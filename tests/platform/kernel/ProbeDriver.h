#pragma once

#include "platform/kernel/Kernel.h"

#include <QByteArray>

// A small driver for the kernel's tests: two named devices, "\\.\Probe" (direct I/O) and
// "\\.\ProbeBuffered" (buffered I/O), that record what each request brought and answer
// with a reply the test chooses. One request at a time can be held pending.
namespace probe {

constexpr ULONG IOCTL_PROBE_BUFFERED = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x900, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr ULONG IOCTL_PROBE_IN_DIRECT = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x901, METHOD_IN_DIRECT, FILE_ANY_ACCESS);
constexpr ULONG IOCTL_PROBE_OUT_DIRECT = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x902, METHOD_OUT_DIRECT, FILE_ANY_ACCESS);
constexpr ULONG IOCTL_PROBE_NEITHER = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x903, METHOD_NEITHER, FILE_ANY_ACCESS);
// Held pending until IOCTL_PROBE_RELEASE or cancellation.
constexpr ULONG IOCTL_PROBE_HOLD = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x910, METHOD_BUFFERED, FILE_ANY_ACCESS);
// Input: NTSTATUS, ULONG information: completes the held request with them.
constexpr ULONG IOCTL_PROBE_RELEASE = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x911, METHOD_BUFFERED, FILE_ANY_ACCESS);
// Needs a handle opened for reading.
constexpr ULONG IOCTL_PROBE_READ_ACCESS = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x920, METHOD_BUFFERED, FILE_READ_ACCESS);

struct Observation
{
    UCHAR major = 0;
    ULONG inputLength = 0;
    ULONG outputLength = 0;
    bool hasSystemBuffer = false;
    QByteArray systemBufferInput; // the first inputLength bytes of the system buffer
    bool hasMdl = false;
    ULONG mdlByteCount = 0;
    QByteArray mdlData;           // what the MDL described when the request arrived
    QByteArray type3Input;        // METHOD_NEITHER input
    bool hasUserBuffer = false;
    ULONG writeLength = 0;
    LONGLONG byteOffset = 0;
};

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

void Reset();
// How the next requests end: `reply` goes into the output (system buffer, direct-out MDL
// or the caller's buffer), the request completes with `status` and reply.size() bytes.
void SetReply(const QByteArray& reply, NTSTATUS status = STATUS_SUCCESS);
Observation Last();
int CreateCount();
int CloseCount();
bool Unloaded();

} // namespace probe
