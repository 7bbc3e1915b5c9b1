#include "link/commands/RDMIdentifyCommand.h"

#include "link/devices/RDMDevice.h"
#include "link/rdm/RDMProtocol.h"

RDMIdentifyCommand::RDMIdentifyCommand(QObject* parent) : RDMDeviceCommand(parent)
{
    SetName(QStringLiteral("Identify Device"));
}

RDMIdentifyCommand::~RDMIdentifyCommand() = default;

void RDMIdentifyCommand::SetDevice(Device* device)
{
    RDMDevice* fixture = qobject_cast<RDMDevice*>(device);
    const bool identify = fixture && !fixture->GetIdentify();
    {
        QMutexLocker lock(&mutex_);
        identify_ = identify;
    }
    SetTarget(device, [identify](RDMDevice& target) { target.SetIdentify(identify); });
    if (fixture)
        AddString(QStringLiteral("Identifying %1").arg(fixture->GetUniqueId()), FeedbackNormal);
}

bool RDMIdentifyCommand::GetRequestedIdentify() const
{
    QMutexLocker lock(&mutex_);
    return identify_;
}

bool RDMIdentifyCommand::Execute()
{
    const bool identify = GetRequestedIdentify();
    const bool ok = RunOnFixture(
        [this, identify](RDMDevice& fixture) { return RDMProtocol::Instance()->SetIdentify(&fixture, identify, this); },
        "Error: Identify failed for %1! Invalid Device object.");
    emit FinishedIdentify(GetId(), ok);
    return ok;
}
