#include "link/commands/DiscoveryCommand.h"

#include "link/commands/CommManager.h"
#include "link/devices/Device.h"
#include "link/devices/IDiscoveryProtocol.h"
#include "link/transport/RdmWidget.h"
#include "platform/system/Clock.h"

#include <QByteArray>
#include <QCoreApplication>

#include <utility>

DiscoveryCommand::DiscoveryCommand(QObject* parent)
    : Command(parent)
    , home_(QThread::currentThread())
{
    SetName(QStringLiteral("Fixture Discovery"));
}

DiscoveryCommand::~DiscoveryCommand()
{
    QMutexLocker lock(&mutex_);
    qDeleteAll(devices_);
}

void DiscoveryCommand::SetProtocols(const QList<IDiscoveryProtocol*>& protocols)
{
    QMutexLocker lock(&mutex_);
    protocols_ = protocols;
}

QList<Device*> DiscoveryCommand::TakeDevices()
{
    QMutexLocker lock(&mutex_);
    return std::exchange(devices_, {});
}

void DiscoveryCommand::MoveToHome(const QList<Device*>& devices) const
{
    QThread* home = home_ ? home_.data() : QCoreApplication::instance()->thread();
    for (Device* device : devices) {
        // The protocols make their devices here, on the command thread; only the thread an
        // object lives in may hand it on.
        if (device && device->thread() == QThread::currentThread())
            device->moveToThread(home);
    }
}

bool DiscoveryCommand::GiveUp(QList<Device*>& found)
{
    qDeleteAll(std::exchange(found, {}));
    AddString(QStringLiteral("Fixture discovery stopped: the command queue is closing."), FeedbackWarning);
    Finished(FeedbackCancelled);
    return false;
}

bool DiscoveryCommand::Execute()
{
    QList<IDiscoveryProtocol*> protocols;
    {
        QMutexLocker lock(&mutex_);
        // Devices of an earlier run that nobody took go with their own thread's events.
        for (Device* device : std::exchange(devices_, {}))
            device->deleteLater();
        protocols = protocols_;
    }

    CommManager* manager = CommManager::Instance();
    RdmWidget* widget = manager->GetWidget();
    if (!manager->HasWidget() || !widget) {
        AddString(QStringLiteral("Dmx widget driver is not installed!"), FeedbackError);
        Finished(FeedbackFailure);
        return false;
    }
    if (widget->HasError()) {
        AddString(QStringLiteral("Dmx widget is not in correct state. Please reconnect the widget!"), FeedbackError);
        Finished(FeedbackFailure);
        return false;
    }

    quint8 major = 0;
    quint8 minor = 0;
    if (widget->GetVersion(major, minor))
        AddString(QStringLiteral("Found dmx widget version %1.%2.").arg(major).arg(minor), FeedbackNormal);
    else
        AddString(QStringLiteral("Found dmx widget, version unknown."), FeedbackNormal);

    AddString(QStringLiteral("Transmitting 10 seconds of DMX to wake up devices"), FeedbackNormal);
    static const QByteArray zeros(CommManager::kDmxFrameSlots, '\0');
    if (!widget->WriteDmxFrame(reinterpret_cast<const quint8*>(zeros.constData()), CommManager::kDmxFrameSlots))
        AddString(QStringLiteral("Warning: the wake-up DMX frame could not be written to the widget."), FeedbackWarning);
    // The widget repeats the frame on the line meanwhile.
    QList<Device*> found;
    platform::Clock::SleepMs(kWakeUpMs);
    if (platform::Clock::StopRequested())
        return GiveUp(found);
    widget->SetMode(RdmWidget::kModeRdm);

    try {
        for (IDiscoveryProtocol* protocol : protocols)
            if (protocol && !platform::Clock::StopRequested())
                protocol->Discover(&found, this);
    } catch (...) {
        qDeleteAll(found);
        AddString(QStringLiteral("Error: the discovery stopped on an unexpected failure."), FeedbackError);
        Finished(FeedbackFailure);
        return false;
    }
    if (platform::Clock::StopRequested())
        return GiveUp(found);

    MoveToHome(found);
    {
        QMutexLocker lock(&mutex_);
        devices_ = found;
    }
    emit FinishedDiscovery(GetId());
    Finished(FeedbackSuccess);
    return true;
}
