#include "firmware/FirmwareUpgradeCommand.h"

#include "firmware/FirmwareTarget.h"
#include "firmware/IFirmwareProtocol.h"

#include <QSet>

FirmwareUpgradeCommand::FirmwareUpgradeCommand(QObject* parent) : Command(parent)
{
    SetName(QStringLiteral("Tarvo Firmware Upgrade"));
}

FirmwareUpgradeCommand::~FirmwareUpgradeCommand() = default;

void FirmwareUpgradeCommand::SetUpgrade(const QList<Device*>& devices, IFirmwareProtocol* protocol,
                                        const QString& file)
{
    QList<std::shared_ptr<FirmwareTarget>> targets;
    QSet<quint64> taken;
    for (const Device* device : devices) {
        // A device chosen twice is upgraded once.
        if (device && !taken.contains(device->GetUniqueId())) {
            taken.insert(device->GetUniqueId());
            targets.append(std::make_shared<FirmwareTarget>(*device));
        }
    }
    QMutexLocker lock(&mutex_);
    targets_ = targets;
    protocol_ = protocol;
    file_ = file;
}

bool FirmwareUpgradeCommand::Execute()
{
    QList<std::shared_ptr<FirmwareTarget>> targets;
    IFirmwareProtocol* protocol = nullptr;
    QString file;
    {
        QMutexLocker lock(&mutex_);
        targets = targets_;  // shared: they outlive a SetUpgrade made meanwhile
        protocol = protocol_;
        file = file_;
    }
    QList<Device*> devices;
    for (const auto& target : targets)
        devices.append(target.get());
    // The upload succeeds when one device took the image; the upgrade only when every
    // device chosen did.
    const bool ok = protocol && protocol->UploadFirmware(file, devices, this) && devices.size() == targets.size();
    emit FinishedFirmwareUpgrade();
    Finished(ok ? FeedbackSuccess : FeedbackFailure);
    return ok;
}
