#include "platform/io/DeviceFile.h"
#include "platform/kernel/UserIo.h"
#include "platform/system/Clock.h"

namespace platform::io {

quint32 ErrorFromStatus(NTSTATUS status)
{
    struct Mapping
    {
        NTSTATUS status;
        quint32 code;
    };
    static const Mapping mappings[] = {
        {STATUS_PENDING, ERROR_IO_PENDING},
        {STATUS_TIMEOUT, WAIT_TIMEOUT},
        {STATUS_UNSUCCESSFUL, ERROR_GEN_FAILURE},
        {STATUS_NOT_IMPLEMENTED, ERROR_INVALID_FUNCTION},
        {STATUS_INVALID_HANDLE, ERROR_INVALID_HANDLE},
        {STATUS_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
        {STATUS_NO_SUCH_DEVICE, ERROR_FILE_NOT_FOUND},
        {STATUS_INVALID_DEVICE_REQUEST, ERROR_INVALID_FUNCTION},
        {STATUS_END_OF_FILE, ERROR_HANDLE_EOF},
        {STATUS_NO_MEMORY, ERROR_NOT_ENOUGH_MEMORY},
        {STATUS_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {STATUS_BUFFER_TOO_SMALL, ERROR_INSUFFICIENT_BUFFER},
        {STATUS_OBJECT_NAME_INVALID, ERROR_INVALID_NAME},
        {STATUS_OBJECT_NAME_NOT_FOUND, ERROR_FILE_NOT_FOUND},
        {STATUS_OBJECT_NAME_COLLISION, ERROR_ALREADY_EXISTS},
        {STATUS_SHARING_VIOLATION, ERROR_SHARING_VIOLATION},
        {STATUS_DELETE_PENDING, ERROR_ACCESS_DENIED},
        {STATUS_INSUFFICIENT_RESOURCES, ERROR_NO_SYSTEM_RESOURCES},
        {STATUS_DEVICE_NOT_CONNECTED, ERROR_DEVICE_NOT_CONNECTED},
        {STATUS_NOT_SUPPORTED, ERROR_NOT_SUPPORTED},
        {STATUS_CANCELLED, ERROR_OPERATION_ABORTED},
    };
    for (const Mapping& mapping : mappings)
        if (mapping.status == status)
            return mapping.code;
    return NT_ERROR(status) ? ERROR_GEN_FAILURE : ERROR_SUCCESS;
}

QString IoError::Text() const
{
    return QStringLiteral("error %1 (%2)").arg(code).arg(QString::fromStdString(kernel::NtStatusText(status)));
}

bool IoRequest::Wait(qint64 timeoutMs)
{
    std::unique_lock lock(mutex_);
    if (timeoutMs < 0) {
        done_.wait(lock, [this] { return complete_; });
        return true;
    }
    return done_.wait_for(lock, Clock::TimeoutDuration(timeoutMs), [this] { return complete_; });
}

bool IoRequest::IsComplete() const
{
    std::lock_guard lock(mutex_);
    return complete_;
}

void IoRequest::Cancel()
{
    std::shared_ptr<kernel::UserIrp> irp;
    {
        std::lock_guard lock(mutex_);
        if (complete_)
            return;
        cancelRequested_ = true;
        irp = irp_;
    }
    if (irp)
        irp->Cancel();
}

NTSTATUS IoRequest::Status() const
{
    std::lock_guard lock(mutex_);
    return status_;
}

quint64 IoRequest::BytesTransferred() const
{
    std::lock_guard lock(mutex_);
    return information_;
}

quint32 IoRequest::Error() const
{
    std::lock_guard lock(mutex_);
    return complete_ ? ErrorFromStatus(status_) : ERROR_IO_INCOMPLETE;
}

QByteArray IoRequest::OutputBuffer() const
{
    std::lock_guard lock(mutex_);
    return complete_ ? output_ : QByteArray();
}

QByteArray IoRequest::Output() const
{
    std::lock_guard lock(mutex_);
    if (!complete_)
        return {};
    return output_.left(qsizetype(std::min<quint64>(information_, quint64(output_.size()))));
}

void IoRequest::Complete(NTSTATUS status, quint64 information)
{
    {
        std::lock_guard lock(mutex_);
        status_ = status;
        information_ = information;
        complete_ = true;
        irp_.reset();
    }
    done_.notify_all();
}

std::unique_ptr<DeviceFile> DeviceFile::Open(const QString& path, Access access, IoError* error)
{
    ACCESS_MASK mask = 0;
    if (access != Access::Write)
        mask |= GENERIC_READ;
    if (access != Access::Read)
        mask |= GENERIC_WRITE;
    FILE_OBJECT* file = nullptr;
    const NTSTATUS status = kernel::OpenDeviceFile(path.toStdWString(), mask, &file);
    if (error)
        *error = IoError{status, ErrorFromStatus(status)};
    if (!NT_SUCCESS(status))
        return nullptr;
    return std::unique_ptr<DeviceFile>(new DeviceFile(file));
}

DeviceFile::DeviceFile(FILE_OBJECT* file)
    : file_(file)
    , tracker_(std::make_shared<Tracker>())
{
}

DeviceFile::~DeviceFile()
{
    Close();
}

std::shared_ptr<IoRequest> DeviceFile::Begin(QByteArray input, QByteArray output)
{
    auto request = std::make_shared<IoRequest>();
    request->input_ = std::move(input);
    request->output_ = std::move(output);
    // The driver writes through these pointers; make sure no other array shares them.
    request->input_.detach();
    request->output_.detach();
    std::lock_guard lock(tracker_->mutex);
    if (tracker_->closing) {
        request->Complete(STATUS_INVALID_HANDLE, 0);
        return request;
    }
    tracker_->pending.insert(request);
    return request;
}

void DeviceFile::Track(const std::shared_ptr<IoRequest>& request, std::shared_ptr<kernel::UserIrp> irp)
{
    bool cancel;
    {
        std::lock_guard lock(request->mutex_);
        if (request->complete_)
            return;
        request->irp_ = irp;
        cancel = request->cancelRequested_;
    }
    if (cancel)
        irp->Cancel();
}

kernel::UserCompletion DeviceFile::CompletionFor(const std::shared_ptr<IoRequest>& request)
{
    // Finishes the request and lets a waiting Close() know when the last one is done.
    return [request, tracker = tracker_](const IO_STATUS_BLOCK& result) {
        request->Complete(result.Status, result.Information);
        {
            std::lock_guard lock(tracker->mutex);
            tracker->pending.erase(request);
        }
        tracker->idle.notify_all();
    };
}

std::shared_ptr<IoRequest> DeviceFile::DeviceControl(quint32 code, const QByteArray& input, const QByteArray& output)
{
    auto request = Begin(input, output);
    if (request->IsComplete())
        return request;
    auto irp = kernel::SendDeviceControl(file_, code, request->input_.isEmpty() ? nullptr : request->input_.data(),
                                         ULONG(request->input_.size()),
                                         request->output_.isEmpty() ? nullptr : request->output_.data(),
                                         ULONG(request->output_.size()), CompletionFor(request));
    Track(request, std::move(irp));
    return request;
}

std::shared_ptr<IoRequest> DeviceFile::DeviceControl(quint32 code, const QByteArray& input, int outputLength)
{
    return DeviceControl(code, input, QByteArray(std::max(outputLength, 0), '\0'));
}

std::shared_ptr<IoRequest> DeviceFile::Write(const QByteArray& data, qint64 offset)
{
    auto request = Begin(data, QByteArray());
    if (request->IsComplete())
        return request;
    auto irp = kernel::SendWrite(file_, request->input_.isEmpty() ? nullptr : request->input_.data(),
                                 ULONG(request->input_.size()), offset, CompletionFor(request));
    Track(request, std::move(irp));
    return request;
}

void DeviceFile::Close()
{
    std::lock_guard closing(closeMutex_);
    if (!file_)
        return;
    std::set<std::shared_ptr<IoRequest>> pending;
    {
        std::lock_guard lock(tracker_->mutex);
        tracker_->closing = true;
        pending = tracker_->pending;
    }
    for (const auto& request : pending)
        request->Cancel();
    {
        std::unique_lock lock(tracker_->mutex);
        tracker_->idle.wait(lock, [this] { return tracker_->pending.empty(); });
    }
    kernel::CloseDeviceFile(file_);
    file_ = nullptr;
}

} // namespace platform::io
