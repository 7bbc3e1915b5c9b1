#pragma once

#include "link/commands/RDMDeviceCommand.h"

// Sets the DMX start address of one RDM fixture (SET DMX_START_ADDRESS). On an
// acknowledgement the fixture's Device stores the address on its thread, which emits its
// AddressChanged there.
//
// Ends with Finished(1) or Finished(2) and FinishedChangeAddress(id, ok). Without an RDM
// fixture it writes "Error: Set Dmx address failed for 0x<uid>! Invalid Device object."
// and fails.
class RDMChangeAddressCommand : public RDMDeviceCommand
{
    Q_OBJECT
public:
    explicit RDMChangeAddressCommand(QObject* parent = nullptr);
    ~RDMChangeAddressCommand() override;

    // GUI thread, before queueing.
    void SetDevice(Device* device, quint16 address);
    quint16 GetAddress() const;

    bool Execute() override;

signals:
    void FinishedChangeAddress(QUuid command, bool bResult);

private:
    quint16 address_ = 0;  // under mutex_
};
