#pragma once

#include <QList>
#include <QString>

#include <memory>
#include <optional>

class ContentFolder;
class Device;
class QWidget;

// What a fleet command's wizard chose. Only the fields of the command asked are set.
struct FleetChoice {
    // Stock and Mosavra updates, delete-alls: the fixture model chosen.
    QString model;
    // The fixtures chosen, in choice order; live when the choice is returned.
    QList<Device*> devices;
    // Clone: the folder to copy and the folders to bring in line with it.
    ContentFolder* source = nullptr;
    QList<ContentFolder*> targets;
    // Upgrade: the firmware file.
    QString file;
    // Whatever must live as long as the command's run (the registry's hold on the chosen
    // fixtures, so that a discovery meanwhile deletes none of them): the window keeps it
    // until the operation it starts has been destroyed.
    std::shared_ptr<void> hold;
};

// The wizards and the About box of the main window's fleet commands. The window checks
// the preconditions, runs the chooser, then builds and runs the operation, shows its
// messages and keeps the protection flags; the chooser only asks the user. A window
// without a chooser offers none of these commands.
//
// Each Choose opens its modal wizard over `parent` and answers what the user chose, or
// nothing when the user declined. GUI thread.
class IFleetChooser
{
public:
    virtual ~IFleetChooser() = default;

    virtual std::optional<FleetChoice> ChooseStockUpdate(QWidget* parent, const QList<Device*>& devices,
                                                         ContentFolder* stockRoot) = 0;
    virtual std::optional<FleetChoice> ChooseMosavraUpdate(QWidget* parent, const QList<Device*>& devices,
                                                           ContentFolder* mosavraRoot) = 0;
    virtual std::optional<FleetChoice> ChooseUserContentDeletion(QWidget* parent, const QList<Device*>& devices) = 0;
    virtual std::optional<FleetChoice> ChooseMosavraContentDeletion(QWidget* parent,
                                                                    const QList<Device*>& devices) = 0;
    // `packages`: the user library's packages (at least one).
    virtual std::optional<FleetChoice> ChooseClone(QWidget* parent, const QList<Device*>& devices,
                                                   const QList<ContentFolder*>& packages) = 0;
    // The fixtures of `devices` that the upgrade wizard would offer; none: the window
    // refuses the upgrade.
    virtual QList<Device*> UpgradableDevices(const QList<Device*>& devices) = 0;
    virtual std::optional<FleetChoice> ChooseUpgrade(QWidget* parent, const QList<Device*>& devices) = 0;
    virtual void ShowAbout(QWidget* parent) = 0;
};
