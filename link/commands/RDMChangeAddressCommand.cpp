#include "link/commands/RDMChangeAddressCommand.h"

#include "link/devices/RDMDevice.h"
#include "link/rdm/RDMProtocol.h"

RDMChangeAddressCommand::RDMChangeAddressCommand(QObject* parent) : RDMDeviceCommand(parent)
{
    SetName(QStringLiteral("Change DMX Address"));
}

RDMChangeAddressCommand::~RDMChangeAddressCommand() = default;

void RDMChangeAddressCommand::SetDevice(Device* device, quint16 address)
{
    {
        QMutexLocker lock(&mutex_);
        address_ = address;
    }
    SetTarget(device, [address](RDMDevice& target) { target.SetDmxStartAddress(address); });
}

quint16 RDMChangeAddressCommand::GetAddress() const
{
    QMutexLocker lock(&mutex_);
    return address_;
}

bool RDMChangeAddressCommand::Execute()
{
    const quint16 address = GetAddress();
    const bool ok = RunOnFixture(
        [this, address](RDMDevice& fixture) { return RDMProtocol::Instance()->SetDmxStartAddress(&fixture, address, this); },
        "Error: Set Dmx address failed for %1! Invalid Device object.");
    emit FinishedChangeAddress(GetId(), ok);
    return ok;
}
