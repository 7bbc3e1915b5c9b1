#include "app/shell/CommandQueueWatcher.h"

#include "app/shell/ITaskList.h"
#include "link/commands/CommManager.h"
#include "link/commands/Command.h"

CommandQueueWatcher::CommandQueueWatcher(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<QUuid>("QUuid");
    CommManager* manager = CommManager::Instance();
    connect(manager, &CommManager::CommandQueueIdle, this, &CommandQueueWatcher::OnCommandQueueIdle);
    connect(manager, &CommManager::CommandQueued, this, &CommandQueueWatcher::OnCommandQueued);
}

void CommandQueueWatcher::OnCommandQueueIdle() {}

void CommandQueueWatcher::OnCommandQueued(QUuid commandId)
{
    CommManager* manager = CommManager::Instance();
    Command* command = manager->FindCommand(commandId);
    if (!command || command->ChainedFeedback() || !taskList_ || taskList_->HasTaskFor(command->GetId()))
        return;
    taskList_->AddCommandTask(manager, command);
}
