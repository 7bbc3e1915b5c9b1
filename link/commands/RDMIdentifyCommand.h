#pragma once

#include "link/commands/RDMDeviceCommand.h"

// Toggles the identify state of one RDM fixture: SET IDENTIFY_DEVICE with 1 when the
// fixture's Device shows identify off at SetDevice, with 0 when it shows it on. On an
// acknowledgement the Device's identify state is stored (on its thread).
//
// Ends with Finished(1) or Finished(2) and FinishedIdentify(id, ok). Without an RDM
// fixture it writes "Error: Identify failed for 0x<uid>! Invalid Device object." and
// fails the same way.
class RDMIdentifyCommand : public RDMDeviceCommand
{
    Q_OBJECT
public:
    explicit RDMIdentifyCommand(QObject* parent = nullptr);
    ~RDMIdentifyCommand() override;

    // GUI thread, before queueing. For an RDM fixture writes "Identifying <uid in decimal>".
    void SetDevice(Device* device);
    // The state the command will ask for.
    bool GetRequestedIdentify() const;

    bool Execute() override;

signals:
    void FinishedIdentify(QUuid command, bool bResult);

private:
    bool identify_ = false;  // under mutex_
};
