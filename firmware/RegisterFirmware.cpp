#include "firmware/RegisterFirmware.h"

#include "firmware/FirmwareUpgradeCommand.h"
#include "firmware/QelUpgradeCommand.h"
#include "firmware/TarvoProtocol.h"
#include "link/devices/DeviceManager.h"
#include "link/rdm/RDMProtocol.h"

#include <memory>

namespace {

// The factory of one LED family's upgrade command.
template <class UpgradeCommand>
DeviceManager::UpgradeCommandFactory FamilyUpgrade()
{
    return [](const QList<Device*>& devices, const QString& package) -> std::unique_ptr<Command> {
        auto command = std::make_unique<UpgradeCommand>();
        command->SetUpgrade(devices, package);
        return command;
    };
}

} // namespace

void RegisterFirmware()
{
    DeviceManager* registry = DeviceManager::Instance();
    registry->SetDiscoveryProtocols({TarvoProtocol::Instance(), RDMProtocol::Instance()});
    registry->SetUpgradeCommandFactory(
        DeviceManager::UpgradeKind::Lamp,
        [](const QList<Device*>& devices, const QString& file) -> std::unique_ptr<Command> {
            auto command = std::make_unique<FirmwareUpgradeCommand>();
            command->SetUpgrade(devices, TarvoProtocol::Instance(), file);
            return command;
        });
    registry->SetUpgradeCommandFactory(DeviceManager::UpgradeKind::Brevant, FamilyUpgrade<BrevantUpgradeCommand>());
    registry->SetUpgradeCommandFactory(DeviceManager::UpgradeKind::Cindral, FamilyUpgrade<CindralUpgradeCommand>());
}
