#pragma once

#include "link/commands/Command.h"

#include <QList>
#include <QString>

#include <memory>

class Device;
class FirmwareTarget;
class IFirmwareProtocol;

// The queued upgrade of lamp fixtures: hands a firmware file and its devices to a firmware
// protocol (the Tarvo protocol) on the command thread. Every line and progress value of
// the upload goes through the command's IFeedback; the command adds none of its own.
//
// Each upgrade is a command of its own, made and set up on the GUI thread and deleted by
// whoever queued it after CommandCompleted.
class FirmwareUpgradeCommand : public Command
{
    Q_OBJECT
public:
    explicit FirmwareUpgradeCommand(QObject* parent = nullptr);  // "Tarvo Firmware Upgrade"
    ~FirmwareUpgradeCommand() override;

    // Under the command's lock: takes a stand-in of each device as it is now (the devices
    // themselves are not kept; a device listed twice counts once), the protocol (not owned; it must outlive the command) and
    // the file. Call on the thread that owns the devices. A call while the command runs
    // does not change the running upload.
    void SetUpgrade(const QList<Device*>& devices, IFirmwareProtocol* protocol, const QString& file);

    // Runs the upload, emits FinishedFirmwareUpgrade, then Finished: 1 when every device
    // verified the image, 2 when one did not (it was lost on the way, or its checksum
    // failed). Returns whether every device verified it.
    bool Execute() override;

signals:
    void FinishedFirmwareUpgrade();

private:
    QList<std::shared_ptr<FirmwareTarget>> targets_;  // under mutex_
    IFirmwareProtocol* protocol_ = nullptr;             // under mutex_
    QString file_;                                      // under mutex_
};
