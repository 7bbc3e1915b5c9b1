#include "app/devices/DeviceActions.h"

#include "app/devices/DeviceDelegates.h"
#include "app/devices/DeviceNodes.h"
#include "fixtures/QelRDM.h"
#include "fixtures/commands/QelSetMosavraIdCommand.h"
#include "link/commands/RDMChangeAddressCommand.h"
#include "link/commands/RDMIdentifyCommand.h"
#include "link/devices/DeviceManager.h"
#include "link/devices/RDMDevice.h"
#include "link/ui/NumberDialog.h"

#include <QWidget>

// ---- DeviceAction ----

DeviceAction::DeviceAction(const QString& text, QObject* parent, DeviceNode* row, DeviceDelegate* controller)
    : QAction(text, parent), controller_(controller)
{
    if (Device* device = row ? row->GetDevice() : nullptr) {
        uid_ = device->GetUniqueId();
        device_ = device;
    }
    connect(this, &QAction::triggered, this, &DeviceAction::execute);
}

Device* DeviceAction::LiveDevice() const
{
    if (!device_)
        return nullptr;
    Device* registered = DeviceManager::Instance()->FindDevice(uid_);
    return registered == device_ ? registered : nullptr;
}

std::optional<quint16> DeviceAction::AskAddress(int current, quint16 maximum) const
{
    AddressDialog dialog(current, qobject_cast<QWidget*>(parent()), maximum);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    // The dialog ran an event loop: a discovery may have dropped the fixture meanwhile.
    if (!LiveDevice())
        return std::nullopt;
    return quint16(dialog.GetNumber());
}

// ---- DeviceChangeAddressAction ----

DeviceChangeAddressAction::DeviceChangeAddressAction(QObject* parent, DeviceNode* row, DeviceDelegate* controller)
    : DeviceAction(QStringLiteral("Change DMX Address"), parent, row, controller)
{
}

void DeviceChangeAddressAction::execute()
{
    auto* device = qobject_cast<RDMDevice*>(LiveDevice());
    if (!device)
        return;
    const std::optional<quint16> address = AskAddress(device->GetDmxAddress(), kMaximum);
    if (!address || !Controller())
        return;
    auto command = std::make_unique<RDMChangeAddressCommand>();
    command->SetDevice(LiveDevice(), *address);
    Controller()->QueueCommand(std::move(command));
}

// ---- DeviceIdentifyAction ----

DeviceIdentifyAction::DeviceIdentifyAction(QObject* parent, DeviceNode* row, DeviceDelegate* controller)
    : DeviceAction(QStringLiteral("Identify"), parent, row, controller)
{
    if (const auto* device = qobject_cast<const RDMDevice*>(row ? row->GetDevice() : nullptr))
        setText(QStringLiteral("%1 Identify").arg(device->GetIdentify() ? QStringLiteral("Disable")
                                                                           : QStringLiteral("Enable")));
}

void DeviceIdentifyAction::execute()
{
    auto* device = qobject_cast<RDMDevice*>(LiveDevice());
    if (!device || !Controller())
        return;
    auto command = std::make_unique<RDMIdentifyCommand>();
    command->SetDevice(device);
    Controller()->QueueCommand(std::move(command));
}

// ---- QelDeviceSetMosavraIdAction ----

QelDeviceSetMosavraIdAction::QelDeviceSetMosavraIdAction(QObject* parent, DeviceNode* row,
                                                         DeviceDelegate* controller)
    : DeviceAction(QStringLiteral("Set Mosavra Address"), parent, row, controller)
{
}

void QelDeviceSetMosavraIdAction::execute()
{
    auto* fixture = qobject_cast<QelRDM*>(LiveDevice());
    if (!fixture)
        return;
    const std::optional<quint16> address = AskAddress(fixture->GetMosavraAddress(), kMaximum);
    if (!address || !Controller())
        return;
    auto command = std::make_unique<QelSetMosavraIdCommand>();
    command->SetTarget(LiveDevice(), *address);
    Controller()->QueueCommand(std::move(command));
}
