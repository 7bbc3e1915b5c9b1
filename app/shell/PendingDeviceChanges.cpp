#include "app/shell/PendingDeviceChanges.h"

#include "link/commands/CommManager.h"
#include "link/commands/Command.h"

PendingDeviceChanges::PendingDeviceChanges(QObject* parent) : QObject(parent), manager_(CommManager::Instance())
{
    CommManager* manager = manager_;
    connect(manager, &CommManager::CommandQueued, this, &PendingDeviceChanges::OnQueued);
    connect(manager, &CommManager::ExecutingNextCommand, this, &PendingDeviceChanges::OnExecuting);
    connect(manager, &CommManager::CommandCompleted, this, &PendingDeviceChanges::OnCompleted);
    // A queue that goes completes nothing more.
    connect(manager, &QObject::destroyed, this, &PendingDeviceChanges::Forget);
}

QString PendingDeviceChanges::Current() const
{
    for (const Entry& entry : pending_) {
        if (entry.id == running_)
            return entry.name;
    }
    return pending_.isEmpty() ? QString() : pending_.first().name;
}

void PendingDeviceChanges::OnQueued(const QUuid& id)
{
    // Emitted while the command still waits in the queue, so it can be asked.
    const Command* command = manager_ ? manager_->FindCommand(id) : nullptr;
    if (command && !command->InterruptsSafely())
        pending_.append({id, command->GetName()});
}

void PendingDeviceChanges::OnExecuting(const QUuid& id)
{
    running_ = id;
}

void PendingDeviceChanges::OnCompleted(const QUuid& id)
{
    pending_.removeIf([&id](const Entry& entry) { return entry.id == id; });
    if (running_ == id)
        running_ = QUuid();
}

void PendingDeviceChanges::Forget()
{
    pending_.clear();
    running_ = QUuid();
}
