#pragma once

#include <QUuid>

class Command;
class CommManager;
class QWidget;

// The bottom pane of the main window: one task for each device command queued, which
// follows the command's feedback until it ends. GUI thread.
class ITaskList
{
public:
    virtual ~ITaskList() = default;

    // The pane's widget; the window places it.
    virtual QWidget* Widget() = 0;
    // Whether a task follows the command with that id already.
    virtual bool HasTaskFor(const QUuid& commandId) const = 0;
    // Adds a task that follows `command` (queued on `manager`, not yet executed).
    virtual void AddCommandTask(CommManager* manager, Command* command) = 0;
};
