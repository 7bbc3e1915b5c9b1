#pragma once

#include "link/commands/CommThread.h"

#include <QObject>
#include <QUuid>

#include <memory>

class Command;
class RdmWidget;

// The process-wide command queue and the one widget. Made on first use: it looks for the
// widget in the driver's device map, opens it and sets it to mode 1; without one it
// still runs commands (they find no widget). Its signals repeat the command thread's, on
// the thread the manager lives in (the GUI thread).
//
// Lifetime: Instance() makes it and it lives until DestroyInstance(), which the program
// calls before its devices go (and tests call between machines); failing that, it goes
// when the application object is destroyed. Teardown stops the
// command thread after the command executing now, then releases the widget, so a running
// command never loses its widget; commands still queued are left unexecuted and belong to
// whoever queued them. Instance() after DestroyInstance() makes a fresh manager that
// looks for the widget again.
class CommManager : public QObject
{
    Q_OBJECT
public:
    // Creates the manager on first call (from the GUI thread).
    static CommManager* Instance();
    // Stops the queue, releases the widget and forgets the instance. Call from the thread
    // the manager lives in, never from a command.
    static void DestroyInstance();

    // Moves the command to the command thread (so call it from the thread the command
    // lives in) and appends it to the queue. The command comes back to the calling thread
    // once executed, before CommandCompleted.
    void QueueCommand(Command* command);
    // The queued command with that id, or null (also for the one executing).
    Command* FindCommand(const QUuid& id) const;
    // The name of the command, executing or queued, that must not be cut short (see
    // CommThread::UninterruptibleCommandName); empty when there is none. Any thread.
    QString UninterruptibleCommandName() const;

    // Whether a widget object exists; it may still be unusable (RdmWidget::HasError).
    bool HasWidget() const;
    RdmWidget* GetWidget() const;

    // Slots of a DMX frame: the idle frame is this many zero bytes.
    static constexpr int kDmxFrameSlots = 512;

signals:
    void CommandQueueIdle();
    void CommandQueued(QUuid commandId);
    void ExecutingNextCommand(QUuid commandId);
    void CommandCompleted(QUuid commandId);

private:
    CommManager();
    ~CommManager() override;
    // Keeps the line alive while nothing is queued; on the command thread.
    void WriteIdleFrame();

    std::unique_ptr<RdmWidget> widget_;
    CommThread thread_;
};
