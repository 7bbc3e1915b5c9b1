#include "link/commands/CommManager.h"

#include "link/commands/Command.h"
#include "link/rdm/RDMProtocol.h"
#include "link/transport/RdmWidget.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QMetaType>

#include <mutex>

namespace {

std::mutex instanceMutex;
CommManager* instance = nullptr;

} // namespace

CommManager* CommManager::Instance()
{
    std::lock_guard lock(instanceMutex);
    if (!instance) {
        // Should the program not tear the manager down itself, it goes with the
        // application object, while the devices it uses are still there.
        static const bool teardownRegistered = (qAddPostRoutine(&CommManager::DestroyInstance), true);
        Q_UNUSED(teardownRegistered);
        instance = new CommManager();
    }
    return instance;
}

void CommManager::DestroyInstance()
{
    CommManager* manager;
    {
        std::lock_guard lock(instanceMutex);
        manager = instance;
    }
    // The instance stays reachable while it stops: a command still running may ask for
    // it (and its widget) until the thread has ended.
    delete manager;
    std::lock_guard lock(instanceMutex);
    if (instance == manager)
        instance = nullptr;
}

CommManager::CommManager()
    : thread_([this] { WriteIdleFrame(); })
{
    qRegisterMetaType<QUuid>("QUuid");
    const quint8 index = RdmWidget::FindWidget();
    if (index != RdmWidget::kNoWidget) {
        widget_ = std::make_unique<RdmWidget>(index);
        widget_->SetMode(RdmWidget::kModeOpen);
    }
    connect(&thread_, &CommThread::CommandQueueIdle, this, &CommManager::CommandQueueIdle);
    connect(&thread_, &CommThread::CommandQueued, this, &CommManager::CommandQueued);
    connect(&thread_, &CommThread::ExecutingNextCommand, this, &CommManager::ExecutingNextCommand);
    connect(&thread_, &CommThread::CommandCompleted, this, &CommManager::CommandCompleted);
}

CommManager::~CommManager()
{
    thread_.Stop();
    widget_.reset();
    RDMProtocol::ForgetLastKnownIdentify();
}

void CommManager::QueueCommand(Command* command)
{
    if (!command)
        return;
    QThread* origin = command->thread();
    command->moveToThread(&thread_);
    thread_.Enqueue(command, origin);
}

Command* CommManager::FindCommand(const QUuid& id) const
{
    return thread_.FindCommand(id);
}

QString CommManager::UninterruptibleCommandName() const
{
    return thread_.UninterruptibleCommandName();
}

bool CommManager::HasWidget() const
{
    return widget_ != nullptr;
}

RdmWidget* CommManager::GetWidget() const
{
    return widget_.get();
}

void CommManager::WriteIdleFrame()
{
    if (!widget_)
        return;
    static const QByteArray zeros(kDmxFrameSlots, '\0');
    widget_->WriteDmxFrame(reinterpret_cast<const quint8*>(zeros.constData()), kDmxFrameSlots);
}
