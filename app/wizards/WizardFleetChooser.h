#pragma once

#include "app/shell/IFleetChooser.h"

// The main window's fleet commands ask the user through the wizards and the About box.
// Each answer holds only fixtures and folders still alive when the wizard was accepted,
// and carries a DeviceManager::RemovalHold taken then, so that nothing chosen is deleted
// while the window keeps the answer. A wizard left by Cancel, or whose every choice went
// away meanwhile, answers nothing. GUI thread.
class WizardFleetChooser : public IFleetChooser
{
public:
    std::optional<FleetChoice> ChooseStockUpdate(QWidget* parent, const QList<Device*>& devices,
                                                 ContentFolder* stockRoot) override;
    std::optional<FleetChoice> ChooseMosavraUpdate(QWidget* parent, const QList<Device*>& devices,
                                                   ContentFolder* mosavraRoot) override;
    std::optional<FleetChoice> ChooseUserContentDeletion(QWidget* parent, const QList<Device*>& devices) override;
    std::optional<FleetChoice> ChooseMosavraContentDeletion(QWidget* parent, const QList<Device*>& devices) override;
    std::optional<FleetChoice> ChooseClone(QWidget* parent, const QList<Device*>& devices,
                                           const QList<ContentFolder*>& packages) override;
    QList<Device*> UpgradableDevices(const QList<Device*>& devices) override;
    std::optional<FleetChoice> ChooseUpgrade(QWidget* parent, const QList<Device*>& devices) override;
    void ShowAbout(QWidget* parent) override;
};

// Installs the wizards as the main window's chooser (MainWindowParts), for windows built
// from now on.
void RegisterWizards();
