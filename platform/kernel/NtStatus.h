#pragma once

#include <cstdint>

// NT status values: the result type of every kernel routine and request. The top two
// bits give the severity (00 success, 01 informational, 10 warning, 11 error), so
// anything below 0x80000000 counts as success.
using NTSTATUS = std::int32_t;

constexpr bool NT_SUCCESS(NTSTATUS status) { return status >= 0; }
constexpr bool NT_INFORMATION(NTSTATUS status) { return (std::uint32_t(status) >> 30) == 1; }
constexpr bool NT_WARNING(NTSTATUS status) { return (std::uint32_t(status) >> 30) == 2; }
constexpr bool NT_ERROR(NTSTATUS status) { return (std::uint32_t(status) >> 30) == 3; }

constexpr NTSTATUS MakeNtStatus(std::uint32_t value) { return static_cast<NTSTATUS>(value); }

constexpr NTSTATUS STATUS_SUCCESS = MakeNtStatus(0x00000000);
constexpr NTSTATUS STATUS_TIMEOUT = MakeNtStatus(0x00000102);
constexpr NTSTATUS STATUS_PENDING = MakeNtStatus(0x00000103);
constexpr NTSTATUS STATUS_UNSUCCESSFUL = MakeNtStatus(0xC0000001);
constexpr NTSTATUS STATUS_NOT_IMPLEMENTED = MakeNtStatus(0xC0000002);
constexpr NTSTATUS STATUS_INVALID_HANDLE = MakeNtStatus(0xC0000008);
constexpr NTSTATUS STATUS_INVALID_PARAMETER = MakeNtStatus(0xC000000D);
constexpr NTSTATUS STATUS_NO_SUCH_DEVICE = MakeNtStatus(0xC000000E);
constexpr NTSTATUS STATUS_INVALID_DEVICE_REQUEST = MakeNtStatus(0xC0000010);
constexpr NTSTATUS STATUS_END_OF_FILE = MakeNtStatus(0xC0000011);
constexpr NTSTATUS STATUS_MORE_PROCESSING_REQUIRED = MakeNtStatus(0xC0000016);
constexpr NTSTATUS STATUS_NO_MEMORY = MakeNtStatus(0xC0000017);
constexpr NTSTATUS STATUS_ACCESS_DENIED = MakeNtStatus(0xC0000022);
constexpr NTSTATUS STATUS_BUFFER_TOO_SMALL = MakeNtStatus(0xC0000023);
constexpr NTSTATUS STATUS_OBJECT_NAME_INVALID = MakeNtStatus(0xC0000033);
constexpr NTSTATUS STATUS_OBJECT_NAME_NOT_FOUND = MakeNtStatus(0xC0000034);
constexpr NTSTATUS STATUS_OBJECT_NAME_COLLISION = MakeNtStatus(0xC0000035);
constexpr NTSTATUS STATUS_SHARING_VIOLATION = MakeNtStatus(0xC0000043);
constexpr NTSTATUS STATUS_DELETE_PENDING = MakeNtStatus(0xC0000056);
constexpr NTSTATUS STATUS_INSUFFICIENT_RESOURCES = MakeNtStatus(0xC000009A);
constexpr NTSTATUS STATUS_DEVICE_NOT_CONNECTED = MakeNtStatus(0xC000009D);
constexpr NTSTATUS STATUS_NOT_SUPPORTED = MakeNtStatus(0xC00000BB);
constexpr NTSTATUS STATUS_CANCELLED = MakeNtStatus(0xC0000120);

#include <string>

namespace platform::kernel {

// For log lines and test messages: "STATUS_CANCELLED (0xC0000120)", or just the value for
// codes this kernel does not name.
std::string NtStatusText(NTSTATUS status);

} // namespace platform::kernel
