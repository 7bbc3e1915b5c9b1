#include "tools/screenshots/WizardScenes.h"

#include "app/wizards/AboutDialog.h"
#include "app/wizards/CloneWizard.h"
#include "app/wizards/FleetWizards.h"
#include "app/wizards/UpgradeWizard.h"
#include "content/ContentFolder.h"
#include "content/ContentMutex.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"
#include "library/stock/StockContentRoot.h"
#include "library/user/ContentLibraryRoot.h"
#include "link/devices/DeviceManager.h"
#include "tools/firmware_packages/FirmwarePackages.h"
#include "tools/screenshots/Shooting.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>
#include <memory>

namespace {

constexpr QSize kWizardSize(600, 440);

QTreeWidget* ListOf(QWizard& wizard)
{
    return wizard.currentPage()->findChild<QTreeWidget*>();
}

// Ticks the first `count` rows with a check box on the current page, as a user would.
void TickFirst(QWizard& wizard, int count)
{
    int ticked = 0;
    for (QTreeWidgetItem* row : ListOf(wizard)->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive)) {
        if (ticked < count && row->data(0, Qt::CheckStateRole).isValid()) {
            row->setCheckState(0, Qt::Checked);
            ++ticked;
        }
    }
}

bool Next(QWizard& wizard, int expectedId)
{
    wizard.button(QWizard::NextButton)->click();
    if (wizard.currentId() != expectedId) {
        std::fprintf(stderr, "%s: page %d instead of %d\n", wizard.metaObject()->className(), wizard.currentId(),
                     expectedId);
        return false;
    }
    return true;
}

// The model page and the devices page of one model-and-fixtures wizard.
bool TakeFleetWizard(QWizard& wizard, const QString& name, Shooter& shooter)
{
    wizard.resize(kWizardSize);
    if (!ShowDialog(wizard) || !shooter.Save(name + QStringLiteral("-model.png"), Grab(wizard)) || !Next(wizard, 1))
        return false;
    TickFirst(wizard, 1);
    return shooter.Save(name + QStringLiteral("-devices.png"), Grab(wizard));
}

QList<ContentFolder*> UserPackages()
{
    ContentLibraryRoot* library = ContentLibraryRoot::Instance();
    QList<ContentFolder*> packages;
    const ContentLocker lock(&ContentMutex);
    for (int i = 0; i < library->ChildCount(); ++i) {
        if (auto* package = qobject_cast<ContentFolder*>(library->Child(i)))
            packages.append(package);
    }
    return packages;
}

bool TakeClone(QWidget& window, const QList<Device*>& devices, Shooter& shooter)
{
    CloneWizard wizard(&window, devices, UserPackages());
    wizard.resize(kWizardSize);
    if (!ShowDialog(wizard))
        return false;
    QTreeWidget* tree = ListOf(wizard);
    const QList<QTreeWidgetItem*> show =
        tree->findItems(QStringLiteral("Show (BREVANT)"), Qt::MatchExactly | Qt::MatchRecursive);
    if (show.isEmpty()) {
        std::fprintf(stderr, "the clone wizard does not offer the package \"Show\"\n");
        return false;
    }
    tree->setCurrentItem(show.first());
    if (!shooter.Save(QStringLiteral("clone-source.png"), Grab(wizard)) || !Next(wizard, 1))
        return false;
    TickFirst(wizard, 2);
    return shooter.Save(QStringLiteral("clone-destination.png"), Grab(wizard));
}

bool TakeUpgrade(QWidget& window, const QList<Device*>& devices, Shooter& shooter)
{
    QString error;
    if (!firmware_packages::WritePackage(0, QDir(QStringLiteral("Firmware:.")).absolutePath(), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    UpgradeWizard wizard(&window, devices);
    wizard.resize(kWizardSize);
    if (!ShowDialog(wizard) || !shooter.Save(QStringLiteral("upgrade-model.png"), Grab(wizard)))
        return false;
    // A lamp model has no file of its own: the file page.
    auto* models = wizard.currentPage()->findChild<QComboBox*>();
    models->setCurrentIndex(models->count() - 1);
    if (!Next(wizard, 1) || !shooter.Save(QStringLiteral("upgrade-file.png"), Grab(wizard)))
        return false;
    wizard.back();
    models->setCurrentText(QStringLiteral("BREVANT"));
    return Next(wizard, 2) && shooter.Save(QStringLiteral("upgrade-devices.png"), Grab(wizard));
}

bool TakeAbout(QWidget& window, Shooter& shooter)
{
    AboutDialog about(&window);
    return ShowDialog(about) && shooter.Save(QStringLiteral("about.png"), Grab(about));
}

} // namespace

bool TakeWizardScenes(QWidget& window, Shooter& shooter)
{
    const QList<Device*> devices = DeviceManager::Instance()->Devices();
    {
        StockContentWizard stock(&window, devices, StockContentRoot::Instance());
        if (!TakeFleetWizard(stock, QStringLiteral("stock-content"), shooter))
            return false;
    }
    {
        UpdateMosavraContentWizard mosavra(&window, devices, MosavraContentLibraryRoot::Instance());
        if (!TakeFleetWizard(mosavra, QStringLiteral("mosavra-update"), shooter))
            return false;
    }
    {
        DeleteAllUserContentWizard deletion(&window, devices);
        if (!TakeFleetWizard(deletion, QStringLiteral("delete-user-content"), shooter))
            return false;
    }
    {
        DeleteAllMosavraContentWizard deletion(&window, devices);
        if (!TakeFleetWizard(deletion, QStringLiteral("delete-mosavra-content"), shooter))
            return false;
    }
    return TakeClone(window, devices, shooter) && TakeUpgrade(window, devices, shooter) && TakeAbout(window, shooter);
}
