#pragma once

#include "link/commands/CommManager.h"
#include "tests/link/TestCommand.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QStringList>
#include <QUuid>

// The queue's signals and the commands' own ends, as the GUI thread sees them, in order.
class QueueEventLog : public QObject
{
public:
    explicit QueueEventLog(CommManager* manager)
    {
        connect(manager, &CommManager::CommandQueued, this, [this](QUuid id) { Add("queued", id); });
        connect(manager, &CommManager::ExecutingNextCommand, this, [this](QUuid id) { Add("executing", id); });
        connect(manager, &CommManager::CommandCompleted, this, [this](QUuid id) { Add("completed", id); });
    }
    void Watch(TestCommand* command)
    {
        names_.append({command->GetId(), QString::number(names_.size())});
        connect(command, &TestCommand::Done, this, [this](QUuid id) { Add("done", id); });
    }
    void Add(const char* what, QUuid id)
    {
        QString name = "?";
        for (const auto& [known, label] : names_)
            if (known == id)
                name = label;
        events.append(QString::fromLatin1(what) + " " + name);
    }
    QStringList events;

private:
    QList<QPair<QUuid, QString>> names_;
};
