#pragma once

#include "link/commands/RDMDeviceCommand.h"

#include <atomic>
#include <memory>

// Toggles the identify state of one RDM fixture: SET IDENTIFY_DEVICE with the opposite of
// the state the fixture last confirmed on the link (RDMProtocol::LastKnownIdentify),
// decided when the command executes, so that commands queued back to back alternate; the
// state its Device showed at SetDevice stands in until the fixture has confirmed one. On
// an acknowledgement the Device's identify state is stored (on its thread).
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

    bool Execute() override;
    bool InterruptsSafely() const override { return true; }

signals:
    void FinishedIdentify(QUuid command, bool bResult);

private:
    bool shown_ = false;  // the Device's identify state at SetDevice; under mutex_
    // The state sent, for storing in the Device once acknowledged (on its thread).
    const std::shared_ptr<std::atomic<bool>> sent_ = std::make_shared<std::atomic<bool>>(false);
};
