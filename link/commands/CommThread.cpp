#include "link/commands/CommThread.h"

#include "link/commands/Command.h"
#include "platform/system/Clock.h"

#include <QDeadlineTimer>

#include <chrono>

using platform::Clock;

CommThread::CommThread(std::function<void()> idleAction, QObject* parent)
    : QThread(parent)
    , idleAction_(std::move(idleAction))
{
}

CommThread::~CommThread()
{
    Stop();
}

void CommThread::Enqueue(Command* command, QThread* origin)
{
    if (!command)
        return;
    const QUuid id = command->GetId();
    {
        QMutexLocker lock(&mutex_);
        queue_.append(Entry{command, origin, false});
    }
    // Listeners connect to the command's feedback here; it must not have started yet.
    emit CommandQueued(id);
    {
        QMutexLocker lock(&mutex_);
        for (Entry& entry : queue_) {
            if (entry.command == command && !entry.announced) {
                entry.announced = true;
                break;
            }
        }
        wakeUp_.wakeAll();
    }
    StartThread();
}

bool CommThread::HeadReadyLocked() const
{
    return !queue_.isEmpty() && (!queue_.first().command || queue_.first().announced);
}

void CommThread::StartThread()
{
    QMutexLocker lock(&mutex_);
    if (!stop_ && !isRunning())
        start(QThread::InheritPriority);
}

Command* CommThread::FindCommand(const QUuid& id) const
{
    QMutexLocker lock(&mutex_);
    for (const Entry& entry : queue_)
        if (entry.command && entry.command->GetId() == id)
            return entry.command;
    return nullptr;
}

QString CommThread::UninterruptibleCommandName() const
{
    QMutexLocker lock(&mutex_);
    if (executing_ && !executing_->InterruptsSafely())
        return executing_->GetName();
    for (const Entry& entry : queue_) {
        if (entry.command && !entry.command->InterruptsSafely())
            return entry.command->GetName();
    }
    return {};
}

void CommThread::RequestStop()
{
    QMutexLocker lock(&mutex_);
    stop_ = true;
    stopSource_.request_stop();
    wakeUp_.wakeAll();
}

void CommThread::Stop()
{
    RequestStop();
    wait();
}

void CommThread::RunCommand(const Entry& entry)
{
    Command* command = entry.command;
    const QUuid id = command->GetId();
    emit ExecutingNextCommand(id);
    try {
        command->Execute();
    } catch (...) {
        // A failing command must not take the queue down with it; it reports its own
        // failure through its feedback, and its owner still hears CommandCompleted.
    }
    // Back to the thread that queued it, so that its owner can delete it there (an
    // object of this thread could not be deleteLater'd: this loop runs no event loop).
    if (entry.origin)
        command->moveToThread(entry.origin);
    {
        // Before CommandCompleted, after which its owner may delete it.
        QMutexLocker lock(&mutex_);
        executing_ = nullptr;
    }
    emit CommandCompleted(id);
}

void CommThread::run()
{
    const platform::ScopedStopToken stoppable(stopSource_.get_token());
    qint64 idleSince = Clock::NowMs();
    for (;;) {
        Entry next{nullptr, nullptr};
        {
            QMutexLocker lock(&mutex_);
            if (stop_)
                return;
            while (HeadReadyLocked() && !next.command)
                next = queue_.takeFirst();
            executing_ = next.command;
        }
        if (next.command) {
            RunCommand(next);
            idleSince = Clock::NowMs();
            continue;
        }

        if (Clock::NowMs() - idleSince >= kIdleFrameMs) {
            if (idleAction_)
                idleAction_();
            idleSince = Clock::NowMs();
            emit CommandQueueIdle();
        }

        // Sleep until the next idle frame is due, unless a command or the stop comes
        // first (both wake the condition).
        QMutexLocker lock(&mutex_);
        if (stop_ || HeadReadyLocked())
            continue;
        const qint64 remainingMs = std::max<qint64>(1, kIdleFrameMs - (Clock::NowMs() - idleSince));
        const auto real = std::chrono::duration<double, std::milli>(double(remainingMs) * Clock::Scale());
        wakeUp_.wait(&mutex_, QDeadlineTimer(std::chrono::duration_cast<std::chrono::nanoseconds>(real)));
    }
}
