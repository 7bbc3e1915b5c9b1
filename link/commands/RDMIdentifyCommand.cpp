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
    {
        QMutexLocker lock(&mutex_);
        shown_ = fixture && fixture->GetIdentify();
    }
    SetTarget(device, [sent = sent_](RDMDevice& target) { target.SetIdentify(*sent); });
    if (fixture)
        AddString(QStringLiteral("Identifying %1").arg(fixture->GetUniqueId()), FeedbackNormal);
}

bool RDMIdentifyCommand::Execute()
{
    bool shown;
    {
        QMutexLocker lock(&mutex_);
        shown = shown_;
    }
    const bool ok = RunOnFixture(
        [this, shown](RDMDevice& fixture) {
            const bool identify = !RDMProtocol::LastKnownIdentify(fixture.GetUniqueId()).value_or(shown);
            *sent_ = identify;
            return RDMProtocol::Instance()->SetIdentify(&fixture, identify, this);
        },
        "Error: Identify failed for %1! Invalid Device object.");
    emit FinishedIdentify(GetId(), ok);
    return ok;
}
