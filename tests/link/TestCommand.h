#pragma once

#include "link/commands/Command.h"

#include <QThread>

#include <functional>

// A command whose work is a function the test gives; it announces its own end with
// Done(id), as real commands do with their own finished signals.
class TestCommand : public Command
{
    Q_OBJECT
public:
    explicit TestCommand(std::function<void(TestCommand&)> work = {}) : work_(std::move(work)) {}

    bool Execute() override
    {
        executedOn = QThread::currentThread();
        if (work_)
            work_(*this);
        emit Done(GetId());
        return true;
    }

    QThread* executedOn = nullptr;

signals:
    void Done(QUuid id);

private:
    std::function<void(TestCommand&)> work_;
};
