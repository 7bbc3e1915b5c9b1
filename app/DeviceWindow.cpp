#include "app/DeviceWindow.h"

#include "app/ApplicationVersion.h"
#include "link/commands/CommManager.h"
#include "link/commands/RDMChangeAddressCommand.h"
#include "link/commands/RDMIdentifyCommand.h"
#include "link/devices/DeviceManager.h"
#include "link/devices/RDMDevice.h"

#include <QAction>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QTextEdit>
#include <QToolBar>

namespace {

constexpr int kUidRole = Qt::UserRole + 1;

QString UidText(quint64 uid)
{
    return QStringLiteral("%1:%2")
        .arg(uid >> 32, 4, 16, QLatin1Char('0'))
        .arg(uid & 0xFFFFFFFFu, 8, 16, QLatin1Char('0'))
        .toUpper();
}

} // namespace

DeviceWindow::DeviceWindow(QWidget* parent)
    : QMainWindow(parent),
      devices_(new QListWidget),
      parameters_(new QStandardItemModel(this)),
      log_(new QTextEdit),
      status_(new QLabel)
{
    setWindowTitle(QStringLiteral("Velmora"));
    devices_->setObjectName(QStringLiteral("devices"));
    log_->setObjectName(QStringLiteral("log"));
    log_->setReadOnly(true);
    log_->setLineWrapMode(QTextEdit::NoWrap);

    auto* table = new QTableView;
    table->setObjectName(QStringLiteral("parameters"));
    table->setModel(parameters_);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto* top = new QSplitter(Qt::Horizontal);
    top->addWidget(devices_);
    top->addWidget(table);
    top->setStretchFactor(1, 2);
    auto* whole = new QSplitter(Qt::Vertical);
    whole->addWidget(top);
    whole->addWidget(log_);
    whole->setStretchFactor(0, 3);
    setCentralWidget(whole);
    statusBar()->addWidget(status_, 1);

    discover_ = new QAction(tr("&Discover Devices"), this);
    identify_ = new QAction(tr("&Identify"), this);
    setAddress_ = new QAction(tr("Set DMX &Address..."), this);
    auto* about = new QAction(tr("&About Velmora"), this);
    auto* quit = new QAction(tr("E&xit"), this);
    connect(discover_, &QAction::triggered, this, &DeviceWindow::OnDiscover);
    connect(identify_, &QAction::triggered, this, &DeviceWindow::OnIdentify);
    connect(setAddress_, &QAction::triggered, this, &DeviceWindow::OnSetAddress);
    connect(about, &QAction::triggered, this, &DeviceWindow::OnAbout);
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(quit);
    QMenu* device = menuBar()->addMenu(tr("&Device"));
    device->addActions({discover_, identify_, setAddress_});
    menuBar()->addMenu(tr("&Help"))->addAction(about);
    QToolBar* tools = addToolBar(tr("Devices"));
    tools->addActions({discover_, identify_, setAddress_});

    DeviceManager* registry = DeviceManager::Instance();
    connect(registry, &DeviceManager::DeviceAdded, this, &DeviceWindow::OnDeviceAdded);
    connect(registry, &DeviceManager::DeviceRemoved, this, &DeviceWindow::OnDeviceRemoved);
    connect(registry, &DeviceManager::DiscoveryCompleted, this, &DeviceWindow::OnDiscoveryCompleted);
    CommManager* queue = CommManager::Instance();
    connect(queue, &CommManager::CommandQueued, this, &DeviceWindow::OnCommandQueued);
    connect(queue, &CommManager::CommandCompleted, this, &DeviceWindow::OnCommandCompleted);
    connect(devices_, &QListWidget::itemSelectionChanged, this, &DeviceWindow::OnSelectionChanged);

    for (Device* known : registry->Devices())
        OnDeviceAdded(known);
    status_->setText(queue->HasWidget() ? tr("DMX widget connected") : tr("No DMX widget found"));
    UpdateActions();
    resize(900, 600);
}

DeviceWindow::~DeviceWindow()
{
    // A command of ours may still wait or run on the command thread, and may be deleted
    // only once it has completed. The window's end is the program's end, so stop the
    // queue (with the registry that uses it) rather than leave commands behind.
    if (!commands_.empty())
        DeviceManager::DestroyInstance();
}

quint64 DeviceWindow::SelectedUid() const
{
    const QList<QListWidgetItem*> selected = devices_->selectedItems();
    return selected.isEmpty() ? 0 : selected.first()->data(kUidRole).toULongLong();
}

Device* DeviceWindow::SelectedDevice() const
{
    const quint64 uid = SelectedUid();
    return uid ? DeviceManager::Instance()->FindDevice(uid) : nullptr;
}

QListWidgetItem* DeviceWindow::ItemFor(quint64 uid) const
{
    for (int row = 0; row < devices_->count(); ++row) {
        if (devices_->item(row)->data(kUidRole).toULongLong() == uid)
            return devices_->item(row);
    }
    return nullptr;
}

void DeviceWindow::RefreshItem(QListWidgetItem* item, Device* device) const
{
    item->setText(QStringLiteral("%1  %2  (DMX %3)")
                      .arg(device->GetDeviceName(), UidText(device->GetUniqueId()))
                      .arg(device->GetDmxAddress()));
}

void DeviceWindow::OnDeviceAdded(Device* device)
{
    const quint64 uid = device->GetUniqueId();
    QListWidgetItem* item = ItemFor(uid);
    if (!item) {
        item = new QListWidgetItem;
        item->setData(kUidRole, uid);
        // Keep the list in unique-id order, as the registry is.
        int row = 0;
        while (row < devices_->count() && devices_->item(row)->data(kUidRole).toULongLong() < uid)
            ++row;
        devices_->insertItem(row, item);
    }
    RefreshItem(item, device);
    const auto refresh = [this, uid] {
        Device* current = DeviceManager::Instance()->FindDevice(uid);
        if (QListWidgetItem* entry = ItemFor(uid); current && entry)
            RefreshItem(entry, current);
        if (SelectedUid() == uid)
            ShowParameters();
    };
    connect(device, &Device::AddressChanged, this, refresh);
    connect(device, &Device::ValuesChanged, this, refresh);
}

void DeviceWindow::OnDeviceRemoved(Device* device)
{
    delete ItemFor(device->GetUniqueId());
    UpdateActions();
}

void DeviceWindow::OnDiscoveryCompleted(bool success)
{
    discover_->setEnabled(true);
    const int count = DeviceManager::Instance()->Devices().size();
    status_->setText(success ? tr("%n device(s) found", nullptr, count) : tr("Discovery failed"));
    ShowParameters();
}

void DeviceWindow::OnSelectionChanged()
{
    ShowParameters();
    UpdateActions();
}

void DeviceWindow::ShowParameters()
{
    Device* device = SelectedDevice();
    if (!device) {
        parameters_->clear();
        return;
    }
    device->BuildParameterTable(parameters_);
}

void DeviceWindow::UpdateActions()
{
    const bool rdm = qobject_cast<RDMDevice*>(SelectedDevice()) != nullptr;
    identify_->setEnabled(rdm);
    setAddress_->setEnabled(rdm);
}

void DeviceWindow::OnDiscover()
{
    discover_->setEnabled(false);
    status_->setText(tr("Discovering devices..."));
    DeviceManager::Instance()->Discover();
}

void DeviceWindow::OnIdentify()
{
    Device* device = SelectedDevice();
    if (!device)
        return;
    auto command = std::make_unique<RDMIdentifyCommand>();
    command->SetDevice(device);
    QueueOwned(std::move(command));
}

void DeviceWindow::OnSetAddress()
{
    Device* device = SelectedDevice();
    if (!device)
        return;
    const quint64 uid = device->GetUniqueId();
    bool ok = false;
    const int address = QInputDialog::getInt(this, tr("Set DMX Address"), tr("DMX start address:"),
                                             device->GetDmxAddress(), 1, 512, 1, &ok);
    // The dialog ran an event loop: the device may have gone meanwhile.
    device = DeviceManager::Instance()->FindDevice(uid);
    if (!ok || !device)
        return;
    auto command = std::make_unique<RDMChangeAddressCommand>();
    command->SetDevice(device, quint16(address));
    QueueOwned(std::move(command));
}

void DeviceWindow::OnAbout()
{
    QMessageBox::about(this, tr("About Velmora"), ApplicationVersionText());
}

void DeviceWindow::QueueOwned(std::unique_ptr<Command> command)
{
    Command* queued = command.get();
    commands_[queued->GetId()] = std::move(command);
    CommManager::Instance()->QueueCommand(queued);
}

void DeviceWindow::OnCommandQueued(QUuid id)
{
    // Every command's progress goes to the log, the registry's discoveries included.
    if (Command* command = CommManager::Instance()->FindCommand(id)) {
        connect(command, &Command::IFeedback_AddString, this,
                [this](QString text, FeedbackStatus status) { OnLogLine(text, int(status)); });
    }
}

void DeviceWindow::OnCommandCompleted(QUuid id)
{
    commands_.erase(id);
    UpdateActions();
}

void DeviceWindow::OnLogLine(QString text, int status)
{
    const QColor colours[] = {Qt::black, QColor(160, 110, 0), Qt::red};
    log_->setTextColor(colours[qBound(0, status, 2)]);
    log_->append(text);
}
