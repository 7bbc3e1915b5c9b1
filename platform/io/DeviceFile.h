#pragma once

#include "platform/kernel/NtStatus.h"

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>

struct FILE_OBJECT;
struct IO_STATUS_BLOCK;

namespace platform::kernel {
class UserIrp;
}

namespace platform::io {

// Error codes as the program prints them (the system's "last error" numbers).
constexpr quint32 ERROR_SUCCESS = 0;
constexpr quint32 ERROR_INVALID_FUNCTION = 1;
constexpr quint32 ERROR_FILE_NOT_FOUND = 2;
constexpr quint32 ERROR_ACCESS_DENIED = 5;
constexpr quint32 ERROR_INVALID_HANDLE = 6;
constexpr quint32 ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr quint32 ERROR_GEN_FAILURE = 31;
constexpr quint32 ERROR_SHARING_VIOLATION = 32;
constexpr quint32 ERROR_HANDLE_EOF = 38;
constexpr quint32 ERROR_NOT_SUPPORTED = 50;
constexpr quint32 ERROR_INVALID_PARAMETER = 87;
constexpr quint32 ERROR_INSUFFICIENT_BUFFER = 122;
constexpr quint32 ERROR_INVALID_NAME = 123;
constexpr quint32 ERROR_ALREADY_EXISTS = 183;
constexpr quint32 WAIT_TIMEOUT = 258;
constexpr quint32 ERROR_OPERATION_ABORTED = 995;
constexpr quint32 ERROR_IO_INCOMPLETE = 996;
constexpr quint32 ERROR_IO_PENDING = 997;
constexpr quint32 ERROR_DEVICE_NOT_CONNECTED = 1167;
constexpr quint32 ERROR_NO_SYSTEM_RESOURCES = 1450;

// The error code a failed status gives; 0 for success.
quint32 ErrorFromStatus(NTSTATUS status);

struct IoError
{
    NTSTATUS status = STATUS_SUCCESS;
    quint32 code = ERROR_SUCCESS; // ErrorFromStatus(status)
    QString Text() const;         // "error 2 (STATUS_OBJECT_NAME_NOT_FOUND (0xC0000034))"
};

// One control request or write in progress, as its issuer holds it. The request owns its
// buffers, so it stays safe to drop or keep however long the driver takes.
//
// Thread-safe.
class IoRequest
{
public:
    // Waits up to `timeoutMs` (platform::Clock timeout rules); a negative value waits for
    // ever. True once the request has completed.
    bool Wait(qint64 timeoutMs);
    bool IsComplete() const;
    // Asks the driver to cancel the request; a request the driver cancels completes with
    // STATUS_CANCELLED. Does nothing once it has completed.
    void Cancel();

    NTSTATUS Status() const; // STATUS_PENDING until complete
    quint64 BytesTransferred() const;
    quint32 Error() const; // ERROR_IO_INCOMPLETE until complete, then ErrorFromStatus(Status())
    // A control request's output buffer, whole, as the request left it.
    QByteArray OutputBuffer() const;
    // Its first BytesTransferred() bytes.
    QByteArray Output() const;

private:
    friend class DeviceFile;
    void Complete(NTSTATUS status, quint64 information);

    mutable std::mutex mutex_;
    std::condition_variable done_;
    bool complete_ = false;
    bool cancelRequested_ = false;
    NTSTATUS status_ = STATUS_PENDING;
    quint64 information_ = 0;
    QByteArray input_;
    QByteArray output_;
    std::shared_ptr<kernel::UserIrp> irp_;
};

// A handle on a device from user mode: "\\.\name" opened for reading and/or writing.
// Control requests and writes go out at once and complete on their own; the caller waits
// on the request it gets back.
//
// Thread-safe; requests may be issued from several threads at once.
class DeviceFile
{
public:
    enum class Access { Read, Write, ReadWrite };

    // Null, with the reason in `error`, when the device cannot be opened.
    static std::unique_ptr<DeviceFile> Open(const QString& path, Access access, IoError* error = nullptr);
    ~DeviceFile(); // Close()
    DeviceFile(const DeviceFile&) = delete;
    DeviceFile& operator=(const DeviceFile&) = delete;

    // `output` is the output buffer as it goes to the driver (its size is the output
    // length; direct-input codes carry data to the device in it).
    std::shared_ptr<IoRequest> DeviceControl(quint32 code, const QByteArray& input, const QByteArray& output);
    std::shared_ptr<IoRequest> DeviceControl(quint32 code, const QByteArray& input, int outputLength);
    std::shared_ptr<IoRequest> Write(const QByteArray& data, qint64 offset = 0);

    // Cancels the requests still in progress, waits until every one has completed, then
    // closes the handle. Requests issued after (or during) closing fail with
    // STATUS_INVALID_HANDLE.
    void Close();

private:
    explicit DeviceFile(FILE_OBJECT* file);
    // A new request that owns its buffers, tracked until it completes; already complete
    // (STATUS_INVALID_HANDLE) when the file is closing.
    std::shared_ptr<IoRequest> Begin(QByteArray input, QByteArray output);
    void Track(const std::shared_ptr<IoRequest>& request, std::shared_ptr<kernel::UserIrp> irp);
    // What the kernel runs when the request completes (see kernel::UserCompletion).
    std::function<void(const IO_STATUS_BLOCK&)> CompletionFor(const std::shared_ptr<IoRequest>& request);

    struct Tracker
    {
        std::mutex mutex;
        std::condition_variable idle;
        std::set<std::shared_ptr<IoRequest>> pending;
        bool closing = false;
    };

    std::mutex closeMutex_; // one Close() at a time
    FILE_OBJECT* file_;
    std::shared_ptr<Tracker> tracker_;
};

} // namespace platform::io
