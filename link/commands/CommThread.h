#pragma once

#include <QList>
#include <QMutex>
#include <QPointer>
#include <QString>
#include <QThread>
#include <QUuid>
#include <QWaitCondition>

#include <functional>
#include <stop_token>

class Command;

// The command thread: one first-in-first-out queue of commands, executed one at a time.
// While the queue is empty it keeps the DMX line alive: after kIdleFrameMs of virtual
// time without a command it calls the idle action (the manager writes one all-zero DMX
// frame) and emits CommandQueueIdle(), and again after every further kIdleFrameMs.
//
// Stopping ends the command that runs as soon as it can: the thread's stop token
// (platform::Clock) is stopped, so every sleep and wait the command makes through the clock
// ends at once and the RDM engine gives up its exchanges; a command that notices
// (Clock::StopRequested, IsCancelled) ends with FeedbackCancelled.
//
// Threads: Enqueue, FindCommand and UninterruptibleCommandName from any thread; the
// signals other than CommandQueued are emitted on the command thread. The queue mutex is
// never held while a command executes or a signal is emitted.
class CommThread : public QThread
{
    Q_OBJECT
public:
    // `idleAction` runs on the command thread at each idle interval; it may be empty.
    explicit CommThread(std::function<void()> idleAction = {}, QObject* parent = nullptr);
    // Stop().
    ~CommThread() override;

    // Appends the command (which must already live in this thread), emits
    // CommandQueued(id) on the calling thread and starts the thread if it is not running.
    // `origin` is the thread the command goes back to once it has executed. The command
    // does not start before every slot of CommandQueued has returned, so a listener that
    // connects to it there (through FindCommand) misses none of its feedback.
    void Enqueue(Command* command, QThread* origin);
    // Starts the thread unless it runs or has been stopped.
    void StartThread();
    // The queued command with that id, or null; the one executing is no longer queued.
    Command* FindCommand(const QUuid& id) const;
    // The name of a command that must not be cut short (Command::InterruptsSafely is
    // false): the one executing if it is such, else the first such in the queue; empty
    // when there is none. Asked of the queue itself, so a command queued from any thread is
    // seen from the moment it is queued until it has executed.
    QString UninterruptibleCommandName() const;

    // Stops the loop after the command executing now (if any), which is asked to stop too,
    // and waits for the thread. Commands still queued stay unexecuted, get no
    // CommandCompleted and are not deleted.
    void Stop();
    // The same without waiting; a command may call it on the command thread (its own
    // remaining sleeps and waits then end at once).
    void RequestStop();

    // Quiet time after which the idle frame goes out.
    static constexpr qint64 kIdleFrameMs = 30000;

signals:
    void CommandQueueIdle();
    void CommandQueued(QUuid commandId);
    void ExecutingNextCommand(QUuid commandId);
    void CommandCompleted(QUuid commandId);

protected:
    void run() override;

private:
    struct Entry
    {
        Command* command;
        QPointer<QThread> origin;
        bool announced = false;  // CommandQueued has been emitted for it
    };
    // Whether the head of the queue may be taken; mutex_ held.
    bool HeadReadyLocked() const;
    // One command from dequeue to CommandCompleted.
    void RunCommand(const Entry& entry);

    mutable QMutex mutex_;   // the queue, the executing command and the stop flag
    QWaitCondition wakeUp_;  // an enqueue or the stop
    bool stop_ = false;
    std::stop_source stopSource_;  // what the command thread's clock sleeps and waits observe
    QList<Entry> queue_;
    Command* executing_ = nullptr;  // from dequeue until it has executed
    const std::function<void()> idleAction_;
};
