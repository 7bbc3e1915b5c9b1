#include "firmware/RegisterFirmware.h"

#include "firmware/FirmwareUpgradeCommand.h"
#include "firmware/TarvoProtocol.h"
#include "link/devices/DeviceManager.h"
#include "link/rdm/RDMProtocol.h"

#include <memory>

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
}
