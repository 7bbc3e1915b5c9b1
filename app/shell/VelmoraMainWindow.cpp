#include "app/shell/VelmoraMainWindow.h"

#include "app/shell/IFleetChooser.h"
#include "app/shell/ITaskList.h"
#include "app/tree/ContentNodes.h"
#include "app/tree/NodeTree.h"
#include "content/ContentFolder.h"
#include "content/ContentMutex.h"
#include "content/ContentProtection.h"
#include "content/operations/ContentOperation.h"
#include "content/operations/ContentSyncOperation.h"
#include "content/ui/ContentActions.h"
#include "fixtures/commands/QelContentDownloadCommand.h"
#include "fixtures/operations/ContentDeleteAllOperations.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"
#include "library/mosavra/UpdateMosavraContentSyncOperation.h"
#include "library/stock/StockContentRoot.h"
#include "link/commands/CommManager.h"
#include "link/devices/Device.h"
#include "link/devices/DeviceManager.h"
#include "link/ui/OperationDialog.h"
#include "link/ui/Preferences.h"

#include <QAction>
#include <QCloseEvent>
#include <QErrorMessage>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int kWidth = 750;
constexpr int kHeight = 600;
constexpr int kTreeWidth = 220;

const char* const kNoDevices = "No devices have been discovered";

QLabel* BannerPiece(QWidget* parent, const char* picture)
{
    auto* label = new QLabel(parent);
    label->setPixmap(QPixmap(QString::fromLatin1(picture)));
    return label;
}

} // namespace

VelmoraMainWindow::VelmoraMainWindow(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags), roots_(MainWindowParts::Roots()), chooser_(MainWindowParts::FleetChooser())
{
    ContentOperation::SetMessageReceiver(this);
    // Downloads run on the command thread; their errors are shown here, on this one.
    QelContentDownloadCommand::SetErrorReceiver(new QErrorMessage(this));
    CreateLayout();
    CreateActions();
    CreateMenus();
    UpdateActions();
    queueWatcher_.SetTaskList(taskList_);
    DeviceManager::Instance()->Discover();
    Preferences::Acquire();
}

VelmoraMainWindow::~VelmoraMainWindow()
{
    // The tree first: its controllers own the views in the stack, and its rows follow
    // devices and content that must not call back into a half-destroyed window.
    delete nodeTree_;
    nodeTree_ = nullptr;
    Preferences::Release();
    // Operations and downloads started from now on must not report to this window.
    if (ContentOperation::MessageReceiver() == this)
        ContentOperation::SetMessageReceiver(nullptr);
    QelContentDownloadCommand::SetErrorReceiver(nullptr);
}

void VelmoraMainWindow::CreateLayout()
{
    setWindowTitle(tr("Velmora - Quorvane"));
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* banner = new QHBoxLayout;
    banner->setContentsMargins(0, 0, 0, 0);
    banner->setSpacing(0);
    banner->addWidget(BannerPiece(central, ":/Resources/banner-left.png"), 0);
    QLabel* middle = BannerPiece(central, ":/Resources/banner-mid.png");
    middle->setScaledContents(true);
    banner->addWidget(middle, 1);
    banner->addWidget(BannerPiece(central, ":/Resources/banner-right.png"), 0);
    layout->addLayout(banner, 0);

    auto* outer = new QSplitter(Qt::Vertical, central);
    auto* inner = new QSplitter(Qt::Horizontal, central);
    viewStack_ = new QStackedWidget(inner);
    nodeTree_ = new NodeTree(inner, viewStack_);

    devicesRow_ = nodeTree_->AddNode(MainWindowParts::MakeDevicesRow(DeviceManager::Instance()));
    if (roots_.user)
        nodeTree_->AddNode(new ContentLibraryNode(roots_.user));
    if (roots_.stock) {
        roots_.stock->Reload(true);
        nodeTree_->AddNode(new StockContentNode(roots_.stock));
    }
    if (roots_.mosavra) {
        roots_.mosavra->Reload(true);
        nodeTree_->AddNode(new MosavraContentNode(roots_.mosavra));
    }
    nodeTree_->viewNode(devicesRow_);

    inner->addWidget(nodeTree_);
    inner->addWidget(viewStack_);
    inner->setStretchFactor(0, 1);
    inner->setStretchFactor(1, 3);
    // Room for the rows' names at first; the stretch factors share out later resizes.
    inner->setSizes({kTreeWidth, kWidth - kTreeWidth});
    taskList_ = MainWindowParts::MakeTaskList(this);
    outer->addWidget(inner);
    if (taskList_)
        outer->addWidget(taskList_->Widget());
    outer->setStretchFactor(0, 3);
    outer->setStretchFactor(1, 1);
    layout->addWidget(outer);
    setCentralWidget(central);
    resize(kWidth, kHeight);
}

QAction* VelmoraMainWindow::MakeAction(const char* icon, const QString& text, const QString& shortcut,
                                       const QString& tip)
{
    auto* action = new QAction(QIcon(QString::fromLatin1(icon)), text, this);
    if (!shortcut.isEmpty())
        action->setShortcut(QKeySequence(shortcut));
    if (!tip.isEmpty())
        action->setStatusTip(tip);
    return action;
}

void VelmoraMainWindow::CreateActions()
{
    discoverAction_ = MakeAction(":/Resources/fixture-discover-16.png", tr("&Discover Devices"), tr("Ctrl+D"),
                                 QStringLiteral("Discover Devices"));
    connect(discoverAction_, &QAction::triggered, this, &VelmoraMainWindow::OnDiscover);
    upgradeAction_ = MakeAction(":/Resources/fixture-upgrade-16.png", tr("&Upgrade Devices"), tr("Ctrl+U"),
                                QStringLiteral("Upgrade software"));
    connect(upgradeAction_, &QAction::triggered, this, &VelmoraMainWindow::OnUpgrade);
    updateStockContentAction_ = MakeAction(":/Resources/fixture-content-16.png", tr("Updat&e Stock Content"),
                                           tr("Ctrl+E"), QStringLiteral("Update Stock Content"));
    connect(updateStockContentAction_, &QAction::triggered, this, &VelmoraMainWindow::OnUpdateStockContent);
    deleteAllUserContentAction_ = MakeAction(":/Resources/fixture-delete-16.png", tr("Dele&te All User Content"),
                                             tr("Ctrl+T"), QStringLiteral("Delete All User Content"));
    connect(deleteAllUserContentAction_, &QAction::triggered, this, &VelmoraMainWindow::OnDeleteAllUserContent);
    cloneAction_ = MakeAction(":/Resources/fixtures-16.png", tr("C&lone Devices"), tr("Ctrl+L"),
                              QStringLiteral("Clone content to devices"));
    connect(cloneAction_, &QAction::triggered, this, &VelmoraMainWindow::OnClone);
    aboutAction_ = MakeAction(":/Resources/help-16.png", tr("About"), QString(), QString());
    connect(aboutAction_, &QAction::triggered, this, &VelmoraMainWindow::OnAbout);
    exitAction_ = MakeAction(":/Resources/power.png", tr("Exit"), tr("Ctrl+Q"), QStringLiteral("Exit Application"));
    connect(exitAction_, &QAction::triggered, this, &QWidget::close);
    createMosavraAction_ = MakeAction(":/Resources/fixture-content-16.png", tr("C&reate..."), tr("Ctrl+R"),
                                      QStringLiteral("Create New Mosavra"));
    connect(createMosavraAction_, &QAction::triggered, this, &VelmoraMainWindow::OnCreateMosavra);
    updateMosavraContentAction_ = MakeAction(":/Resources/fixture-content-16.png", tr("Update &Mosavra Content"),
                                             tr("Ctrl+P"), QStringLiteral("Update Mosavra Content"));
    connect(updateMosavraContentAction_, &QAction::triggered, this, &VelmoraMainWindow::OnUpdateMosavraContent);
    deleteAllMosavraContentAction_ = MakeAction(":/Resources/fixture-delete-16.png",
                                                tr("Delete All Mosavr&a Content"), tr("Ctrl+G"),
                                                QStringLiteral("Delete All Mosavra Content"));
    connect(deleteAllMosavraContentAction_, &QAction::triggered, this, &VelmoraMainWindow::OnDeleteAllMosavraContent);
}

void VelmoraMainWindow::CreateMenus()
{
    auto* bar = new QMenuBar(this);
    bar->addMenu(QStringLiteral("File"))->addAction(exitAction_);
    QMenu* device = bar->addMenu(QStringLiteral("Device"));
    device->addActions({discoverAction_, upgradeAction_, updateStockContentAction_, deleteAllUserContentAction_,
                        cloneAction_});
    QMenu* mosavra = bar->addMenu(QStringLiteral("Mosavra"));
    mosavra->addAction(createMosavraAction_);
    mosavra->addAction(updateMosavraContentAction_);
    mosavra->addSeparator();
    mosavra->addAction(deleteAllMosavraContentAction_);
    bar->addMenu(QStringLiteral("Help"))->addAction(aboutAction_);
    setMenuBar(bar);
}

void VelmoraMainWindow::UpdateActions()
{
    const bool chooser = chooser_ != nullptr;
    upgradeAction_->setEnabled(chooser);
    updateStockContentAction_->setEnabled(chooser && roots_.stock);
    deleteAllUserContentAction_->setEnabled(chooser);
    cloneAction_->setEnabled(chooser && roots_.user);
    updateMosavraContentAction_->setEnabled(chooser && roots_.mosavra);
    deleteAllMosavraContentAction_->setEnabled(chooser);
    aboutAction_->setEnabled(chooser);
    createMosavraAction_->setEnabled(bool(ContentFolderNewAction::InstalledMosavraCreator()));
}

std::optional<FleetChoice> VelmoraMainWindow::ChooseFor(const FleetQuestion& ask)
{
    if (!chooser_)
        return std::nullopt;
    const QList<Device*> devices = DeviceManager::Instance()->Devices();
    if (devices.isEmpty()) {
        QMessageBox::critical(this, QString(), QString::fromLatin1(kNoDevices), QMessageBox::Ok, QMessageBox::NoButton);
        return std::nullopt;
    }
    return ask(*chooser_, devices);
}

QList<Device*> VelmoraMainWindow::StillRegistered(const QList<Device*>& chosen)
{
    // Compared by address only: a device a discovery removed during the wizard is not
    // touched.
    const QList<Device*> registered = DeviceManager::Instance()->Devices();
    QList<Device*> live;
    for (Device* device : chosen) {
        if (registered.contains(device))
            live.append(device);
    }
    return live;
}

void VelmoraMainWindow::RunOperation(ContentOperation& operation)
{
    // A run without work (its fixtures left during the wizard) would only report failure.
    if (!operation.IsValid())
        return;
    OperationDialog dialog(this);
    dialog.Run(&operation);
    // The rows' icons show what is write-protected, which the run may have changed; they
    // are painted again once the caller has raised the protection after the run.
    nodeTree_->viewport()->update();
}

void VelmoraMainWindow::closeEvent(QCloseEvent* event)
{
    // A firmware upgrade or a content transfer cut short can leave a fixture without
    // working firmware or with half its content; a discovery or a read can be cut at will.
    const QString running = CommManager::Instance()->UninterruptibleCommandName();
    if (!running.isEmpty() && !QuitAnyway(running)) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

bool VelmoraMainWindow::QuitAnyway(const QString& running)
{
    const QString question = QStringLiteral("Device commands are still running (%1). Quitting now may leave fixtures "
                                            "without working firmware or content. Quit anyway?")
                                 .arg(running);
    return QMessageBox::warning(this, QStringLiteral("Velmora Application"), question,
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void VelmoraMainWindow::Inform(const QString& title, const QString& message)
{
    QMessageBox::information(this, title, message, QMessageBox::Ok, QMessageBox::NoButton);
}

void VelmoraMainWindow::OnDiscover()
{
    DeviceManager::Instance()->Discover();
}

void VelmoraMainWindow::OnUpgrade()
{
    if (!chooser_)
        return;
    const QList<Device*> devices = DeviceManager::Instance()->Devices();
    if (chooser_->UpgradableDevices(devices).isEmpty()) {
        QMessageBox::critical(this, QStringLiteral("Device Upgrade"),
                              QStringLiteral("No upgradable devices have been discovered"), QMessageBox::Ok,
                              QMessageBox::NoButton);
        return;
    }
    const std::optional<FleetChoice> choice = chooser_->ChooseUpgrade(this, devices);
    if (!choice)
        return;
    QString error;
    if (!DeviceManager::Instance()->UpgradeDevices(StillRegistered(choice->devices), choice->file, &error))
        QMessageBox::critical(this, QStringLiteral("Device Upgrade"), error, QMessageBox::Ok, QMessageBox::NoButton);
}

namespace {

// The content group `group` gives of each device that has one, in order.
QList<ContentFolder*> GroupsOf(const QList<Device*>& devices, ContentFolder* (Device::*group)())
{
    QList<ContentFolder*> groups;
    for (Device* device : devices) {
        if (ContentFolder* found = (device->*group)())
            groups.append(found);
    }
    return groups;
}

} // namespace

void VelmoraMainWindow::OnUpdateStockContent()
{
    if (!roots_.stock)
        return;
    // The choice (and the hold it may carry) outlives the operation.
    const std::optional<FleetChoice> choice = ChooseFor([this](IFleetChooser& chooser, const QList<Device*>& devices) {
        return chooser.ChooseStockUpdate(this, devices, roots_.stock);
    });
    if (!choice)
        return;
    bool upToDate = false;
    {
        // The fixtures' stock groups take changes only during the run; the flag is back up
        // before anything else is shown.
        const ScopedProtectionLowering lowered(StockContentProtected);
        const auto* stock = qobject_cast<StockContentRoot*>(roots_.stock);
        // The wizard offers only models with a package; without one there is nothing to run.
        ContentFolder* package = stock ? stock->PackageByModel(choice->model) : nullptr;
        if (!package)
            return;
        ContentSyncOperation operation;
        operation.SetSource(package);
        operation.SetTargets(GroupsOf(StillRegistered(choice->devices), &Device::GetStockContentGroup));
        RunOperation(operation);
        upToDate = operation.Succeeded();
    }
    if (upToDate)
        Inform(QStringLiteral("Update Stock Content"), QStringLiteral("Stock Content Up To Date."));
}

void VelmoraMainWindow::OnUpdateMosavraContent()
{
    if (!roots_.mosavra)
        return;
    const std::optional<FleetChoice> choice = ChooseFor([this](IFleetChooser& chooser, const QList<Device*>& devices) {
        return chooser.ChooseMosavraUpdate(this, devices, roots_.mosavra);
    });
    if (!choice)
        return;
    bool prepared = false;
    bool upToDate = false;
    {
        const ScopedProtectionLowering lowered(MosavraContentProtected);
        const auto* library = qobject_cast<MosavraContentLibraryRoot*>(roots_.mosavra);
        MosavraContentLibraryPackage* package = library ? library->PackageByName(choice->model) : nullptr;
        if (!package)
            return;
        UpdateMosavraContentSyncOperation operation;
        prepared = operation.Prepare(package, StillRegistered(choice->devices));
        if (prepared) {
            RunOperation(operation);
            // Every fixture's share was there already: nothing was copied.
            upToDate = operation.Succeeded();
        }
    }
    if (!prepared)
        Inform(QStringLiteral("Update Mosavra Content"), QStringLiteral("Failed to determine source."));
    else if (upToDate)
        Inform(QStringLiteral("Update Mosavra Content"), QStringLiteral("Mosavra Content Up To Date."));
}

template <class Deletion>
void VelmoraMainWindow::DeleteAll(const FleetQuestion& ask)
{
    const std::optional<FleetChoice> choice = ChooseFor(ask);
    if (!choice)
        return;
    Deletion operation;
    operation.SetDevices(StillRegistered(choice->devices));
    RunOperation(operation);
}

void VelmoraMainWindow::OnDeleteAllUserContent()
{
    DeleteAll<ContentDeleteUserContentOperation>([this](IFleetChooser& chooser, const QList<Device*>& devices) {
        return chooser.ChooseUserContentDeletion(this, devices);
    });
}

void VelmoraMainWindow::OnDeleteAllMosavraContent()
{
    // The fixtures lower the Mosavra protection themselves around their own deletion.
    DeleteAll<ContentDeleteMosavraContentOperation>([this](IFleetChooser& chooser, const QList<Device*>& devices) {
        return chooser.ChooseMosavraContentDeletion(this, devices);
    });
}

void VelmoraMainWindow::OnClone()
{
    if (!roots_.user)
        return;
    // The choice (and the hold it may carry) outlives the operation.
    const std::optional<FleetChoice> choice = ChooseFor([this](IFleetChooser& chooser, const QList<Device*>& devices) {
        QList<ContentFolder*> packages;
        {
            const ContentLocker lock(&ContentMutex);
            for (int i = 0; i < roots_.user->ChildCount(); ++i) {
                if (auto* package = qobject_cast<ContentFolder*>(roots_.user->Child(i)))
                    packages.append(package);
            }
        }
        if (packages.isEmpty()) {
            QMessageBox::critical(this, QString(),
                                  QStringLiteral("No content packages have been created.  Create or import a content "
                                                 "package to the user content library."),
                                  QMessageBox::Ok, QMessageBox::NoButton);
            return std::optional<FleetChoice>();
        }
        return chooser.ChooseClone(this, devices, packages);
    });
    if (!choice || !choice->source)
        return;
    ContentSyncOperation operation;
    QList<ContentFolder*> targets = choice->targets;
    targets.removeAll(nullptr);
    operation.SetSource(choice->source);
    operation.SetTargets(targets);
    RunOperation(operation);
}

void VelmoraMainWindow::OnCreateMosavra()
{
    // Held by value: the creator installed may be replaced while it runs.
    if (const std::function<void(QWidget*)> creator = ContentFolderNewAction::InstalledMosavraCreator())
        creator(this);
}

void VelmoraMainWindow::OnAbout()
{
    if (chooser_)
        chooser_->ShowAbout(this);
}

void VelmoraMainWindow::DisplayInformationBox(QString title, QString message)
{
    Inform(title, message);
}
