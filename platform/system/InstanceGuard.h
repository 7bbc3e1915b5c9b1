#pragma once

#include <QString>

namespace platform {

// Tells whether another process of this user already runs the program. The guard takes
// an exclusive lock on a per-user lock file named after `name` and holds it for its own
// life; the operating system drops the lock when the process ends, however it ends.
// A lock that cannot be taken for any reason counts as another instance, so two copies
// never run side by side by accident.
class InstanceGuard
{
public:
    explicit InstanceGuard(const QString& name);
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    bool AnotherInstanceRunning() const { return !owned_; }
    QString LockFilePath() const { return path_; }

private:
    QString path_;
    int fd_ = -1;
    bool owned_ = false;
};

} // namespace platform
