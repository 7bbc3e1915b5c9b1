#include "library/archive/SpillFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace ArchiveLibInterface {
namespace {

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

SpillFile::~SpillFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool SpillFile::OpenLocked()
{
    if (fd_ >= 0)
        return true;
    const QByteArray folder = QFile::encodeName(QDir::tempPath());
    int fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        // A file system without unnamed files: make a named one and unlink it at once.
        QByteArray name = folder + "/velmora-spill-XXXXXX";
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0)
            ::unlink(name.constData());
    }
    if (fd < 0) {
        error_ = QStringLiteral("no temporary file can be made in \"%1\": %2").arg(QDir::tempPath(), SystemError(errno));
        return false;
    }
    fd_ = fd;
    return true;
}

qint64 SpillFile::Append(const char* data, qint64 length)
{
    std::lock_guard lock(mutex_);
    if (!OpenLocked())
        return -1;
    const qint64 start = size_;
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pwrite(fd_, data + done, size_t(length - done), off_t(start + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            error_ = QStringLiteral("the temporary file in \"%1\" could not be written: %2")
                         .arg(QDir::tempPath(), SystemError(error));
            return -1;
        }
        done += n;
    }
    size_ += length;
    return start;
}

bool SpillFile::ReadAt(qint64 offset, char* buffer, qint64 length) const
{
    int fd;
    {
        std::lock_guard lock(mutex_);
        if (offset < 0 || length < 0 || offset + length > size_)
            return false;
        fd = fd_;
    }
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, buffer + done, size_t(length - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

qint64 SpillFile::Size() const
{
    std::lock_guard lock(mutex_);
    return size_;
}

QString SpillFile::ErrorString() const
{
    std::lock_guard lock(mutex_);
    return error_;
}

} // namespace ArchiveLibInterface
