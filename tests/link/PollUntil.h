#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

// Runs this thread's events until `done` holds; false if a (real-time) safety limit
// passes first, which only a broken test should ever see.
template <typename Predicate>
bool PollUntil(Predicate done, int limitMs = 10000)
{
    QDeadlineTimer limit(limitMs);
    while (!done()) {
        if (limit.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    return true;
}
