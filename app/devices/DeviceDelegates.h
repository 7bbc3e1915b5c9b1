#pragma once

#include "link/devices/DeviceManager.h"
#include "app/devices/DeviceViews.h"
#include "app/tree/Delegate.h"

#include <QPointer>
#include <QUuid>

#include <map>
#include <memory>

class CommManager;
class Command;

// The controller of the "Devices" row: its view lists every fixture the registry knows,
// and follows the registry (fixtures added, removed or refreshed) once it has been shown.
class DeviceManagerDelegate : public Delegate
{
    Q_OBJECT
public:
    explicit DeviceManagerDelegate(NodeTree* tree);

    QWidget* View(Node* node) override;

private:
    void Follow(DeviceManager* registry);
    void Refresh();

    OwnedView<DeviceListView> list_;
    QPointer<DeviceManager> registry_;
};

// The controller of the fixture rows: the fixture's parameter table, the context menu of
// the device actions, and the commands those actions queue.
//
// Commands are kept with the unique id of their fixture, never a device or a row: a
// discovery may replace either while a command waits. When a command finishes, the table
// is rebuilt if it still shows that same fixture object and the registry still holds it.
// A command is deleted once the queue reports it completed (its Execute may still be
// returning when its own finished signal arrives); commands still pending when the
// controller goes are handed to the queue's manager, which deletes them once completed.
class DeviceDelegate : public Delegate
{
    Q_OBJECT
public:
    explicit DeviceDelegate(NodeTree* tree);
    ~DeviceDelegate() override;

    // The device actions for an RDM fixture's row; nothing for other rows.
    void ContextMenuEvent(NodeTree* tree, QContextMenuEvent* event, Node* node) override;
    // The parameter table of the row's fixture; null for other rows.
    QWidget* View(Node* node) override;
    // Queues `command` (one of the device actions' commands) and keeps it until it has
    // completed. GUI thread.
    virtual void QueueCommand(std::unique_ptr<Command> command);

    DeviceView* GetView() const { return view_.get(); }
    // The commands queued here that have not completed yet.
    int PendingCommands() const { return int(commands_.size()); }

public slots:
    void OnIdentifyCompleted(QUuid id, bool bSuccess);
    void OnAddressChanged(QUuid id, bool bSuccess);
    void OnMosavraIdCompleted(QUuid id, bool bSuccess);

private slots:
    void OnCommandCompleted(QUuid id);

private:
    // Rebuilds the table after command `id` finished, if it shows that command's fixture.
    void RefreshAfter(const QUuid& id);

    struct Pending {
        std::unique_ptr<Command> command;
        quint64 uid = 0;
        QPointer<CommManager> queue;
    };

    OwnedView<DeviceView> view_;
    std::map<QUuid, Pending> commands_;
};
