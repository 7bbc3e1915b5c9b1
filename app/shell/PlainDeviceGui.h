#pragma once

#include "app/shell/ITaskList.h"
#include "app/tree/Delegate.h"
#include "app/tree/Node.h"

#include <QSet>
#include <QTextEdit>
#include <QUuid>
#include <QWidget>

#include <map>
#include <memory>

class Device;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QStandardItemModel;

// The main window's plain device views, used until the full device views are installed:
// a "Devices" row whose view lists the fixtures the registry knows, the RDM parameters of
// the selected one and its device actions (identify, set the DMX start address), and a
// bottom pane that logs the progress of every queued command.

// The "Devices" top row.
class DevicesNode : public Node
{
    Q_OBJECT
public:
    DevicesNode();
};

// The fixtures, the selected one's parameters and its actions. Devices are held by unique
// id and looked up in the registry whenever they are used, so a discovery may replace
// them at any time.
class PlainDeviceView : public QWidget
{
    Q_OBJECT
public:
    explicit PlainDeviceView(QWidget* parent = nullptr);
    // Stops the command queue first when a command of the view has not completed yet.
    ~PlainDeviceView() override;

    // The unique id of the selected fixture; 0 when none.
    quint64 SelectedUid() const;

public slots:
    void OnIdentify();
    void OnSetAddress();

private slots:
    void OnDeviceAdded(Device* device);
    void OnDeviceRemoved(Device* device);
    void OnDiscoveryCompleted(bool success);
    void OnSelectionChanged();
    void OnCommandCompleted(QUuid id);

private:
    Device* SelectedDevice() const;
    QListWidgetItem* ItemFor(quint64 uid) const;
    void RefreshItem(QListWidgetItem* item, Device* device) const;
    void ShowParameters();
    void UpdateActions();
    void QueueOwned(std::unique_ptr<Command> command);

    QListWidget* devices_;
    QStandardItemModel* parameters_;
    QLabel* status_;
    QPushButton* identify_;
    QPushButton* setAddress_;
    std::map<QUuid, std::unique_ptr<Command>> commands_; // ours, until CommandCompleted
};

class PlainDevicesDelegate : public Delegate
{
    Q_OBJECT
public:
    explicit PlainDevicesDelegate(NodeTree* tree);

    QWidget* View(Node* node) override;

private:
    OwnedView<PlainDeviceView> view_;
};

// The log of the queued commands' progress, one line per feedback text, coloured by its
// status.
class CommandLogPane : public QTextEdit, public ITaskList
{
    Q_OBJECT
public:
    explicit CommandLogPane(QWidget* parent = nullptr);

    QWidget* Widget() override { return this; }
    bool HasTaskFor(const QUuid& commandId) const override;
    void AddCommandTask(CommManager* manager, Command* command) override;

private slots:
    void OnCommandCompleted(QUuid id);

private:
    void AppendLine(const QString& text, int status);

    QSet<QUuid> followed_;
};

Node* MakePlainDevicesRow();
CommandLogPane* MakeCommandLogPane(QWidget* parent);
// Gives trees built afterwards the controller of the plain "Devices" row.
void RegisterPlainDevicesDelegate();
