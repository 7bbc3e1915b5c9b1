#pragma once

#include "link/commands/Command.h"

#include <QMetaObject>

#include <functional>

class Device;
class RDMDevice;

// A command on one RDM fixture. It is given the fixture's Device on the GUI thread and
// keeps only its unique id and what it needs to know of it then: a later discovery may
// delete the Device while the command waits in the queue, so the command thread never
// touches it. The engine works on a stand-in that carries the unique id; once the fixture
// has acknowledged, the change is stored in the Device on the Device's own thread — and
// only if it still exists — before the command's finished signal reaches that thread.
class RDMDeviceCommand : public Command
{
    Q_OBJECT
public:
    explicit RDMDeviceCommand(QObject* parent = nullptr);
    ~RDMDeviceCommand() override;

    // The target's unique id; 0 when none was given.
    quint64 GetDeviceUid() const;
    // Whether the target given was an RDM fixture.
    bool HasRdmDevice() const;

signals:
    // The fixture acknowledged; carries the stored change to the Device's thread.
    void Acknowledged(QPrivateSignal);

protected:
    // On the GUI thread, under no lock: remembers `device` (any kind, or null) and what to
    // store in it when the fixture acknowledges (run on the Device's thread, only for an
    // RDM fixture that still exists). Replaces an earlier target.
    void SetTarget(Device* device, std::function<void(RDMDevice&)> onAcknowledged);
    // On the command thread: runs `request` on a stand-in for the fixture that carries its
    // unique id, and on success stores the change set up by SetTarget. Without an RDM
    // fixture writes `invalidMessage` (%1: "0x" and the unique id in hexadecimal) as an
    // error instead. Ends with Finished(1) or Finished(2); returns whether it succeeded.
    bool RunOnFixture(const std::function<bool(RDMDevice& fixture)>& request, const char* invalidMessage);

private:
    quint64 uid_ = 0;     // under mutex_
    bool rdm_ = false;    // under mutex_
    QMetaObject::Connection store_;
};
