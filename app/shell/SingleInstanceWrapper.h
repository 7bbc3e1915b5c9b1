#pragma once

#include "platform/system/InstanceGuard.h"

#include <QString>

// Marks the running instance of the program for the life of the process, so that a
// second start can tell it is not alone. A guard that cannot be taken counts as another
// instance running.
class SingleInstanceWrapper
{
public:
    explicit SingleInstanceWrapper(const QString& name) : guard_(name) {}
    virtual ~SingleInstanceWrapper() = default;

    bool AlreadyRunning() const { return guard_.AnotherInstanceRunning(); }

private:
    platform::InstanceGuard guard_;
};
