#include "app/devices/DeviceDelegates.h"

#include "app/devices/DeviceActions.h"
#include "app/devices/DeviceNodes.h"
#include "app/devices/DeviceViews.h"
#include "app/tree/NodeTree.h"
#include "fixtures/QelRDM.h"
#include "fixtures/commands/QelSetMosavraIdCommand.h"
#include "link/commands/CommManager.h"
#include "link/commands/RDMChangeAddressCommand.h"
#include "link/commands/RDMIdentifyCommand.h"
#include "link/devices/DeviceManager.h"
#include "link/devices/RDMDevice.h"

#include <QContextMenuEvent>
#include <QMenu>

namespace {

// A command whose owner has gone, kept until the queue reports it completed. A child of
// the queue's manager, so at the latest it goes with the manager, whose thread has
// stopped by then.
class ParkedCommand : public QObject
{
public:
    ParkedCommand(CommManager* queue, std::unique_ptr<Command> command)
        : QObject(queue), id_(command->GetId()), command_(std::move(command))
    {
        connect(queue, &CommManager::CommandCompleted, this, [this](QUuid id) {
            if (id == id_)
                deleteLater();
        });
    }

private:
    const QUuid id_;
    std::unique_ptr<Command> command_;
};

} // namespace

// ---- DeviceManagerDelegate ----

DeviceManagerDelegate::DeviceManagerDelegate(NodeTree* tree) : Delegate(tree) {}

QWidget* DeviceManagerDelegate::View(Node* node)
{
    auto* row = dynamic_cast<DeviceManagerNode*>(node);
    if (!row)
        return nullptr;
    if (!list_)
        list_.reset(new DeviceListView);
    Follow(row->Registry());
    Refresh();
    return list_.get();
}

void DeviceManagerDelegate::Follow(DeviceManager* registry)
{
    if (registry == registry_)
        return;
    if (registry_)
        disconnect(registry_, nullptr, this, nullptr);
    registry_ = registry;
    if (!registry)
        return;
    const auto follow = [this](Device* device) {
        connect(device, &Device::AddressChanged, this, &DeviceManagerDelegate::Refresh, Qt::UniqueConnection);
        connect(device, &Device::ValuesChanged, this, &DeviceManagerDelegate::Refresh, Qt::UniqueConnection);
    };
    for (Device* device : registry->Devices())
        follow(device);
    connect(registry, &DeviceManager::DeviceAdded, this, [this, follow](Device* device) {
        follow(device);
        Refresh();
    });
    // The registry has taken the device out of its list before it says so.
    connect(registry, &DeviceManager::DeviceRemoved, this, &DeviceManagerDelegate::Refresh);
}

void DeviceManagerDelegate::Refresh()
{
    if (list_)
        list_->Refresh(registry_);
}

// ---- DeviceDelegate ----

DeviceDelegate::DeviceDelegate(NodeTree* tree) : Delegate(tree), view_(new DeviceView) {}

DeviceDelegate::~DeviceDelegate()
{
    for (auto& [id, pending] : commands_) {
        // Without its manager the queue has stopped: the command never runs again.
        if (pending.queue)
            new ParkedCommand(pending.queue, std::move(pending.command));
    }
}

void DeviceDelegate::ContextMenuEvent(NodeTree* tree, QContextMenuEvent* event, Node* node)
{
    auto* row = dynamic_cast<DeviceNode*>(node);
    if (!row || !qobject_cast<RDMDevice*>(row->GetDevice()))
        return;
    // The actions' dialogs open over the tree; the actions go with the menu.
    QMenu menu(tree);
    std::vector<std::unique_ptr<QAction>> actions;
    actions.emplace_back(new DeviceChangeAddressAction(tree, row, this));
    actions.emplace_back(new DeviceIdentifyAction(tree, row, this));
    menu.addAction(actions[0].get());
    menu.addAction(actions[1].get());
    if (qobject_cast<QelRDM*>(row->GetDevice())) {
        actions.emplace_back(new QelDeviceSetMosavraIdAction(tree, row, this));
        menu.addSeparator();
        menu.addAction(actions[2].get());
    }
    menu.exec(event->globalPos());
}

QWidget* DeviceDelegate::View(Node* node)
{
    auto* row = dynamic_cast<DeviceNode*>(node);
    Device* device = row ? row->GetDevice() : nullptr;
    if (!device)
        return nullptr;
    view_->Show(device);
    return view_.get();
}

void DeviceDelegate::QueueCommand(std::unique_ptr<Command> command)
{
    if (!command)
        return;
    Command* queued = command.get();
    if (auto* identify = qobject_cast<RDMIdentifyCommand*>(queued))
        connect(identify, &RDMIdentifyCommand::FinishedIdentify, this, &DeviceDelegate::OnIdentifyCompleted);
    else if (auto* mosavra = qobject_cast<QelSetMosavraIdCommand*>(queued))
        connect(mosavra, &QelSetMosavraIdCommand::FinishedQelSetMosavraId, this,
                &DeviceDelegate::OnMosavraIdCompleted);
    else if (auto* address = qobject_cast<RDMChangeAddressCommand*>(queued))
        connect(address, &RDMChangeAddressCommand::FinishedChangeAddress, this, &DeviceDelegate::OnAddressChanged);
    const auto* onFixture = qobject_cast<RDMDeviceCommand*>(queued);
    CommManager* queue = CommManager::Instance();
    connect(queue, &CommManager::CommandCompleted, this, &DeviceDelegate::OnCommandCompleted, Qt::UniqueConnection);
    commands_[queued->GetId()] = Pending{std::move(command), onFixture ? onFixture->GetDeviceUid() : 0, queue};
    queue->QueueCommand(queued);
}

void DeviceDelegate::OnIdentifyCompleted(QUuid id, bool)
{
    RefreshAfter(id);
}

void DeviceDelegate::OnAddressChanged(QUuid id, bool)
{
    RefreshAfter(id);
}

void DeviceDelegate::OnMosavraIdCompleted(QUuid id, bool)
{
    RefreshAfter(id);
}

void DeviceDelegate::RefreshAfter(const QUuid& id)
{
    const auto found = commands_.find(id);
    if (found == commands_.end() || !view_)
        return;
    // Only the table of that very fixture: another fixture's may be showing now, and the
    // fixture may have gone (or come back as a new device) since the command was queued.
    Device* shown = view_->ShownDevice();
    if (shown && view_->ShownUid() == found->second.uid
        && DeviceManager::Instance()->FindDevice(found->second.uid) == shown)
        view_->Show(shown);
}

void DeviceDelegate::OnCommandCompleted(QUuid id)
{
    const auto found = commands_.find(id);
    if (found == commands_.end())
        return;
    found->second.command.release()->deleteLater();
    commands_.erase(found);
}
