#include "link/commands/RDMDeviceCommand.h"

#include "link/devices/RDMDevice.h"
#include "link/rdm/RdmDefs.h"
#include "link/rdm/RdmText.h"

RDMDeviceCommand::RDMDeviceCommand(QObject* parent) : Command(parent) {}

RDMDeviceCommand::~RDMDeviceCommand() = default;

quint64 RDMDeviceCommand::GetDeviceUid() const
{
    QMutexLocker lock(&mutex_);
    return uid_;
}

bool RDMDeviceCommand::HasRdmDevice() const
{
    QMutexLocker lock(&mutex_);
    return rdm_;
}

void RDMDeviceCommand::SetTarget(Device* device, std::function<void(RDMDevice&)> onAcknowledged)
{
    disconnect(store_);
    RDMDevice* fixture = qobject_cast<RDMDevice*>(device);
    {
        QMutexLocker lock(&mutex_);
        uid_ = device ? device->GetUniqueId() : 0;
        rdm_ = fixture != nullptr;
    }
    if (fixture && onAcknowledged) {
        // The device is the context: the change runs on its thread, and never once it is
        // gone (Qt drops the connection and any call still pending with it).
        store_ = connect(this, &RDMDeviceCommand::Acknowledged, fixture,
                         [fixture, store = std::move(onAcknowledged)] { store(*fixture); });
    }
}

bool RDMDeviceCommand::RunOnFixture(const std::function<bool(RDMDevice& fixture)>& request, const char* invalidMessage)
{
    const quint64 uid = GetDeviceUid();
    bool ok = false;
    if (HasRdmDevice()) {
        RDMDevice standIn;
        standIn.SetUniqueId(rdm::UidLow(uid), rdm::UidHigh(uid));
        ok = request(standIn);
        if (ok)
            emit Acknowledged(QPrivateSignal());
    } else {
        AddString(QString::fromLatin1(invalidMessage).arg(QStringLiteral("0x") + rdm::Hex(uid)), FeedbackError);
    }
    Finished(ok ? FeedbackSuccess : FeedbackFailure);
    return ok;
}
