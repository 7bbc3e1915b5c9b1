#include "platform/system/InstanceGuard.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {
namespace {

QString LockFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath() + QStringLiteral("/velmora-%1").arg(getuid());
    QDir().mkpath(folder);
    return folder;
}

} // namespace

InstanceGuard::InstanceGuard(const QString& name)
    : path_(LockFolder() + QLatin1Char('/') + name + QStringLiteral(".lock"))
{
    fd_ = ::open(QFile::encodeName(path_).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0)
        return;
    int rc;
    do {
        rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    owned_ = rc == 0;
}

InstanceGuard::~InstanceGuard()
{
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace platform
