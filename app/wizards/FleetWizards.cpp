#include "app/wizards/FleetWizards.h"

#include "library/mosavra/MosavraContentLibraryRoot.h"
#include "library/stock/StockContentRoot.h"
#include "link/devices/Device.h"

namespace {

constexpr Qt::Alignment kRight = Qt::AlignRight;
constexpr Qt::Alignment kCentred = Qt::AlignHCenter | Qt::AlignVCenter;

// How the four wizards differ; everything else they share.
FleetWizardKind StockKind()
{
    return {QStringLiteral("Stock Content Wizard"),
            QStringLiteral("This wizard will update the stock content on the selected devices."),
            QStringLiteral("Select the devices to update.  User content on the selected devices will NOT be affected."),
            {QStringLiteral("Description"), QStringLiteral("Address")},
            {kRight},
            false};
}

FleetWizardKind UpdateMosavraKind()
{
    return {QStringLiteral("Mosavra Content Wizard"),
            QStringLiteral("This wizard will update the mosavra content on the selected devices."),
            QStringLiteral("Select the devices to update.  User and Stock content on the selected devices will NOT be "
                           "affected."),
            {QStringLiteral("Description"), QStringLiteral("Mosavra Address"), QStringLiteral("DMX Address")},
            {kCentred, kRight},
            true};
}

FleetWizardKind DeleteUserKind()
{
    return {QStringLiteral("Delete All User Content Wizard"),
            QStringLiteral("This wizard will remove all user content on the selected devices."),
            QStringLiteral("Select the devices to update.  User content on the selected devices WILL be removed."),
            {QStringLiteral("Description"), QStringLiteral("Address")},
            {kRight},
            false};
}

FleetWizardKind DeleteMosavraKind()
{
    return {QStringLiteral("Delete All Mosavra Content Wizard"),
            QStringLiteral("This wizard will remove all Mosavra content on the selected devices."),
            QStringLiteral("Select the devices to update.  Mosavra content on the selected devices WILL be removed."),
            {QStringLiteral("Description"), QStringLiteral("Mosavra Address"), QStringLiteral("Address")},
            {kRight, kRight},
            true};
}

bool HasUserContent(Device* device)
{
    return device->GetUserContentGroup() != nullptr;
}

} // namespace

StockContentWizard::StockContentWizard(QWidget* parent, const QList<Device*>& devices, StockContentRoot* root)
    : FleetWizard(parent, devices, StockKind(), [root](Device* device) {
          return device->GetStockContentGroup() && root && root->PackageByModel(device->GetModelName());
      })
{
    SetPages(new StockContentModelPage(this), new StockContentDevicesPage(this));
}

UpdateMosavraContentWizard::UpdateMosavraContentWizard(QWidget* parent, const QList<Device*>& devices,
                                                       MosavraContentLibraryRoot* root)
    : FleetWizard(parent, devices, UpdateMosavraKind(), [root](Device* device) {
          return device->GetStockContentGroup() && root && root->PackageByName(device->GetModelName());
      })
{
    SetPages(new UpdateMosavraContentModelPage(this), new UpdateMosavraContentDevicesPage(this));
}

DeleteAllUserContentWizard::DeleteAllUserContentWizard(QWidget* parent, const QList<Device*>& devices)
    : FleetWizard(parent, devices, DeleteUserKind(), HasUserContent)
{
    SetPages(new DeleteAllUserContentModelPage(this), new DeleteAllUserContentDevicesPage(this));
}

DeleteAllMosavraContentWizard::DeleteAllMosavraContentWizard(QWidget* parent, const QList<Device*>& devices)
    : FleetWizard(parent, devices, DeleteMosavraKind(), HasUserContent)
{
    SetPages(new DeleteAllMosavraContentModelPage(this), new DeleteAllMosavraContentDevicesPage(this));
}
