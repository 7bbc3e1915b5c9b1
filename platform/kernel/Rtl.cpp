#include "platform/kernel/KernelPrivate.h"

#include <QDebug>
#include <cstdarg>
#include <cstdio>
#include <cwchar>

VOID RtlInitUnicodeString(PUNICODE_STRING DestinationString, PCWSTR SourceString)
{
    const SIZE_T length = SourceString ? std::wcslen(SourceString) * sizeof(WCHAR) : 0;
    DestinationString->Length = USHORT(length);
    DestinationString->MaximumLength = SourceString ? USHORT(length + sizeof(WCHAR)) : 0;
    DestinationString->Buffer = const_cast<PWSTR>(SourceString);
}

ULONG DbgPrint(const char* Format, ...)
{
    char message[512];
    va_list args;
    va_start(args, Format);
    std::vsnprintf(message, sizeof message, Format, args);
    va_end(args);
    qDebug().noquote() << "kernel:" << QString::fromLocal8Bit(message).trimmed();
    return 0;
}

namespace platform::kernel {

std::string NtStatusText(NTSTATUS status)
{
    struct Name
    {
        NTSTATUS status;
        const char* name;
    };
    static const Name names[] = {
        {STATUS_SUCCESS, "STATUS_SUCCESS"},
        {STATUS_TIMEOUT, "STATUS_TIMEOUT"},
        {STATUS_PENDING, "STATUS_PENDING"},
        {STATUS_UNSUCCESSFUL, "STATUS_UNSUCCESSFUL"},
        {STATUS_NOT_IMPLEMENTED, "STATUS_NOT_IMPLEMENTED"},
        {STATUS_INVALID_HANDLE, "STATUS_INVALID_HANDLE"},
        {STATUS_INVALID_PARAMETER, "STATUS_INVALID_PARAMETER"},
        {STATUS_NO_SUCH_DEVICE, "STATUS_NO_SUCH_DEVICE"},
        {STATUS_INVALID_DEVICE_REQUEST, "STATUS_INVALID_DEVICE_REQUEST"},
        {STATUS_END_OF_FILE, "STATUS_END_OF_FILE"},
        {STATUS_MORE_PROCESSING_REQUIRED, "STATUS_MORE_PROCESSING_REQUIRED"},
        {STATUS_NO_MEMORY, "STATUS_NO_MEMORY"},
        {STATUS_ACCESS_DENIED, "STATUS_ACCESS_DENIED"},
        {STATUS_BUFFER_TOO_SMALL, "STATUS_BUFFER_TOO_SMALL"},
        {STATUS_OBJECT_NAME_INVALID, "STATUS_OBJECT_NAME_INVALID"},
        {STATUS_OBJECT_NAME_NOT_FOUND, "STATUS_OBJECT_NAME_NOT_FOUND"},
        {STATUS_OBJECT_NAME_COLLISION, "STATUS_OBJECT_NAME_COLLISION"},
        {STATUS_SHARING_VIOLATION, "STATUS_SHARING_VIOLATION"},
        {STATUS_DELETE_PENDING, "STATUS_DELETE_PENDING"},
        {STATUS_INSUFFICIENT_RESOURCES, "STATUS_INSUFFICIENT_RESOURCES"},
        {STATUS_DEVICE_NOT_CONNECTED, "STATUS_DEVICE_NOT_CONNECTED"},
        {STATUS_NOT_SUPPORTED, "STATUS_NOT_SUPPORTED"},
        {STATUS_CANCELLED, "STATUS_CANCELLED"},
    };
    char value[16];
    std::snprintf(value, sizeof value, "0x%08X", unsigned(status));
    for (const Name& name : names)
        if (name.status == status)
            return std::string(name.name) + " (" + value + ")";
    return std::string("NTSTATUS ") + value;
}

} // namespace platform::kernel
