#include "app/wizards/WizardFleetChooser.h"

#include "app/shell/MainWindowParts.h"
#include "app/wizards/AboutDialog.h"
#include "app/wizards/CloneWizard.h"
#include "app/wizards/FleetWizards.h"
#include "app/wizards/UpgradeWizard.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"
#include "library/stock/StockContentRoot.h"
#include "link/devices/Device.h"
#include "link/devices/DeviceManager.h"

namespace {

// Taken once the wizard is accepted, before anything else can run: what it answers stays
// in memory for as long as the answer is kept.
std::shared_ptr<void> NewHold()
{
    return std::make_shared<DeviceManager::RemovalHold>();
}

std::optional<FleetChoice> ModelChoice(FleetWizard& wizard)
{
    if (wizard.exec() != QDialog::Accepted)
        return std::nullopt;
    FleetChoice choice;
    choice.hold = NewHold();
    choice.model = wizard.SelectedModel();
    choice.devices = wizard.SelectedDevices();
    if (choice.devices.isEmpty())
        return std::nullopt;
    return choice;
}

} // namespace

std::optional<FleetChoice> WizardFleetChooser::ChooseStockUpdate(QWidget* parent, const QList<Device*>& devices,
                                                                 ContentFolder* stockRoot)
{
    StockContentWizard wizard(parent, devices, qobject_cast<StockContentRoot*>(stockRoot));
    return ModelChoice(wizard);
}

std::optional<FleetChoice> WizardFleetChooser::ChooseMosavraUpdate(QWidget* parent, const QList<Device*>& devices,
                                                                   ContentFolder* mosavraRoot)
{
    UpdateMosavraContentWizard wizard(parent, devices, qobject_cast<MosavraContentLibraryRoot*>(mosavraRoot));
    return ModelChoice(wizard);
}

std::optional<FleetChoice> WizardFleetChooser::ChooseUserContentDeletion(QWidget* parent,
                                                                         const QList<Device*>& devices)
{
    DeleteAllUserContentWizard wizard(parent, devices);
    return ModelChoice(wizard);
}

std::optional<FleetChoice> WizardFleetChooser::ChooseMosavraContentDeletion(QWidget* parent,
                                                                            const QList<Device*>& devices)
{
    DeleteAllMosavraContentWizard wizard(parent, devices);
    return ModelChoice(wizard);
}

std::optional<FleetChoice> WizardFleetChooser::ChooseClone(QWidget* parent, const QList<Device*>& devices,
                                                           const QList<ContentFolder*>& packages)
{
    CloneWizard wizard(parent, devices, packages);
    if (wizard.exec() != QDialog::Accepted)
        return std::nullopt;
    FleetChoice choice;
    choice.hold = NewHold();
    choice.source = wizard.Source();
    choice.targets = wizard.Targets();
    if (!choice.source || choice.targets.isEmpty())
        return std::nullopt;
    return choice;
}

QList<Device*> WizardFleetChooser::UpgradableDevices(const QList<Device*>& devices)
{
    return UpgradeWizard::Upgradable(devices);
}

std::optional<FleetChoice> WizardFleetChooser::ChooseUpgrade(QWidget* parent, const QList<Device*>& devices)
{
    UpgradeWizard wizard(parent, devices);
    if (wizard.exec() != QDialog::Accepted)
        return std::nullopt;
    FleetChoice choice;
    choice.hold = NewHold();
    choice.model = wizard.field(QStringLiteral("model")).toString();
    choice.file = wizard.GetFile();
    choice.devices = wizard.GetUpgradeList();
    if (choice.devices.isEmpty())
        return std::nullopt;
    return choice;
}

void WizardFleetChooser::ShowAbout(QWidget* parent)
{
    AboutDialog about(parent);
    about.exec();
}

void RegisterWizards()
{
    MainWindowParts::SetFleetChooser(std::make_shared<WizardFleetChooser>());
}
