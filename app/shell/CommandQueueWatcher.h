#pragma once

#include <QObject>
#include <QUuid>

class ITaskList;

// Puts a task in the task list for each device command queued: one per command, none for
// a command that reports through another's feedback (its progress shows in that one).
// Follows whichever command queue exists when it is made. GUI thread.
class CommandQueueWatcher : public QObject
{
    Q_OBJECT
public:
    explicit CommandQueueWatcher(QObject* parent = nullptr);

    // The list to fill (not owned); null: none yet.
    void SetTaskList(ITaskList* taskList) { taskList_ = taskList; }

public slots:
    void OnCommandQueueIdle();
    void OnCommandQueued(QUuid commandId);

private:
    ITaskList* taskList_ = nullptr;
};
