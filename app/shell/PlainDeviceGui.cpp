#include "app/shell/PlainDeviceGui.h"

#include "app/tree/NodeTree.h"
#include "link/commands/CommManager.h"
#include "link/commands/Command.h"
#include "link/commands/RDMChangeAddressCommand.h"
#include "link/commands/RDMIdentifyCommand.h"
#include "link/devices/DeviceManager.h"
#include "link/devices/RDMDevice.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

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

// ---- the row ----

DevicesNode::DevicesNode() : Node(QStringLiteral("Devices"))
{
    setIcon(QIcon(QStringLiteral(":/Resources/truss-16.png")));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
}

// ---- the view ----

PlainDeviceView::PlainDeviceView(QWidget* parent)
    : QWidget(parent),
      devices_(new QListWidget),
      parameters_(new QStandardItemModel(this)),
      status_(new QLabel),
      identify_(new QPushButton(tr("&Identify"))),
      setAddress_(new QPushButton(tr("Set DMX &Address...")))
{
    devices_->setObjectName(QStringLiteral("devices"));
    auto* table = new QTableView;
    table->setObjectName(QStringLiteral("parameters"));
    table->setModel(parameters_);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto* lists = new QSplitter(Qt::Horizontal);
    lists->addWidget(devices_);
    lists->addWidget(table);
    lists->setStretchFactor(1, 2);
    lists->setSizes({260, 400});
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(identify_);
    buttons->addWidget(setAddress_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lists, 1);
    layout->addLayout(buttons);

    connect(identify_, &QPushButton::clicked, this, &PlainDeviceView::OnIdentify);
    connect(setAddress_, &QPushButton::clicked, this, &PlainDeviceView::OnSetAddress);
    DeviceManager* registry = DeviceManager::Instance();
    connect(registry, &DeviceManager::DeviceAdded, this, &PlainDeviceView::OnDeviceAdded);
    connect(registry, &DeviceManager::DeviceRemoved, this, &PlainDeviceView::OnDeviceRemoved);
    connect(registry, &DeviceManager::DiscoveryCompleted, this, &PlainDeviceView::OnDiscoveryCompleted);
    connect(CommManager::Instance(), &CommManager::CommandCompleted, this, &PlainDeviceView::OnCommandCompleted);
    connect(devices_, &QListWidget::itemSelectionChanged, this, &PlainDeviceView::OnSelectionChanged);

    for (Device* known : registry->Devices())
        OnDeviceAdded(known);
    status_->setText(CommManager::Instance()->HasWidget() ? tr("DMX widget connected") : tr("No DMX widget found"));
    UpdateActions();
}

PlainDeviceView::~PlainDeviceView()
{
    // A command of ours may still wait or run on the command thread, and may be deleted
    // only once it has completed. The view goes with the window, at the program's end, so
    // stop the queue (with the registry that uses it) rather than leave commands behind.
    if (!commands_.empty())
        DeviceManager::DestroyInstance();
}

quint64 PlainDeviceView::SelectedUid() const
{
    const QList<QListWidgetItem*> selected = devices_->selectedItems();
    return selected.isEmpty() ? 0 : selected.first()->data(kUidRole).toULongLong();
}

Device* PlainDeviceView::SelectedDevice() const
{
    const quint64 uid = SelectedUid();
    return uid ? DeviceManager::Instance()->FindDevice(uid) : nullptr;
}

QListWidgetItem* PlainDeviceView::ItemFor(quint64 uid) const
{
    for (int row = 0; row < devices_->count(); ++row) {
        if (devices_->item(row)->data(kUidRole).toULongLong() == uid)
            return devices_->item(row);
    }
    return nullptr;
}

void PlainDeviceView::RefreshItem(QListWidgetItem* item, Device* device) const
{
    const QString name = device->GetDeviceName().isEmpty() ? device->GetModelName() : device->GetDeviceName();
    item->setText(QStringLiteral("%1  %2  (DMX %3)")
                      .arg(name, UidText(device->GetUniqueId()))
                      .arg(device->GetDmxAddress()));
}

void PlainDeviceView::OnDeviceAdded(Device* device)
{
    const quint64 uid = device->GetUniqueId();
    QListWidgetItem* item = ItemFor(uid);
    if (!item) {
        item = new QListWidgetItem(QIcon(QStringLiteral(":/Resources/fixture-16.png")), QString());
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

void PlainDeviceView::OnDeviceRemoved(Device* device)
{
    delete ItemFor(device->GetUniqueId());
    UpdateActions();
}

void PlainDeviceView::OnDiscoveryCompleted(bool success)
{
    const int count = DeviceManager::Instance()->Devices().size();
    status_->setText(success ? tr("%n device(s) found", nullptr, count) : tr("Discovery failed"));
    ShowParameters();
}

void PlainDeviceView::OnSelectionChanged()
{
    ShowParameters();
    UpdateActions();
}

void PlainDeviceView::ShowParameters()
{
    Device* device = SelectedDevice();
    if (!device) {
        parameters_->clear();
        return;
    }
    device->BuildParameterTable(parameters_);
}

void PlainDeviceView::UpdateActions()
{
    const bool rdm = qobject_cast<RDMDevice*>(SelectedDevice()) != nullptr;
    identify_->setEnabled(rdm);
    setAddress_->setEnabled(rdm);
}

void PlainDeviceView::OnIdentify()
{
    Device* device = SelectedDevice();
    if (!device)
        return;
    auto command = std::make_unique<RDMIdentifyCommand>();
    command->SetDevice(device);
    QueueOwned(std::move(command));
}

void PlainDeviceView::OnSetAddress()
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

void PlainDeviceView::QueueOwned(std::unique_ptr<Command> command)
{
    Command* queued = command.get();
    commands_[queued->GetId()] = std::move(command);
    CommManager::Instance()->QueueCommand(queued);
}

void PlainDeviceView::OnCommandCompleted(QUuid id)
{
    commands_.erase(id);
    UpdateActions();
}

// ---- the row's controller ----

PlainDevicesDelegate::PlainDevicesDelegate(NodeTree* tree) : Delegate(tree) {}

QWidget* PlainDevicesDelegate::View(Node* node)
{
    if (!dynamic_cast<DevicesNode*>(node))
        return nullptr;
    if (!view_)
        view_.reset(new PlainDeviceView);
    return view_.get();
}

// ---- the log ----

CommandLogPane::CommandLogPane(QWidget* parent) : QTextEdit(parent)
{
    setObjectName(QStringLiteral("log"));
    setReadOnly(true);
    setLineWrapMode(QTextEdit::NoWrap);
}

bool CommandLogPane::HasTaskFor(const QUuid& commandId) const
{
    return followed_.contains(commandId);
}

void CommandLogPane::AddCommandTask(CommManager* manager, Command* command)
{
    followed_.insert(command->GetId());
    connect(manager, &CommManager::CommandCompleted, this, &CommandLogPane::OnCommandCompleted, Qt::UniqueConnection);
    connect(command, &Command::IFeedback_AddString, this,
            [this](QString text, FeedbackStatus status) { AppendLine(text, int(status)); });
}

void CommandLogPane::OnCommandCompleted(QUuid id)
{
    followed_.remove(id);
}

void CommandLogPane::AppendLine(const QString& text, int status)
{
    const QColor colours[] = {palette().color(QPalette::Text), QColor(160, 110, 0), Qt::red};
    setTextColor(colours[qBound(0, status, 2)]);
    append(text);
}

// ---- installation ----

Node* MakePlainDevicesRow()
{
    return new DevicesNode;
}

CommandLogPane* MakeCommandLogPane(QWidget* parent)
{
    return new CommandLogPane(parent);
}

void RegisterPlainDevicesDelegate()
{
    NodeTree::RegisterDelegate("DevicesNode", [](NodeTree* tree) { return new PlainDevicesDelegate(tree); });
}
