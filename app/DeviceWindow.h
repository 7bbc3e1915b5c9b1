#pragma once

#include <QMainWindow>
#include <QUuid>

#include <map>
#include <memory>

class Command;
class Device;
class QAction;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QStandardItemModel;
class QTextEdit;

// The program's window while the full main window is not built: the fixtures the
// registry knows, the RDM parameters of the selected one, the device actions (discover,
// identify, set the DMX start address) and a log of the queued commands' progress.
//
// GUI thread only. Devices are held by unique id and looked up in the registry whenever
// they are used, so a discovery may replace them at any time.
class DeviceWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit DeviceWindow(QWidget* parent = nullptr);
    // Stops the command queue first when a command of the window has not completed yet.
    ~DeviceWindow() override;

    // The unique id of the selected fixture; 0 when none.
    quint64 SelectedUid() const;

public slots:
    void OnDiscover();
    void OnIdentify();
    void OnSetAddress();
    void OnAbout();

private slots:
    void OnDeviceAdded(Device* device);
    void OnDeviceRemoved(Device* device);
    void OnDiscoveryCompleted(bool success);
    void OnSelectionChanged();
    void OnCommandQueued(QUuid id);
    void OnCommandCompleted(QUuid id);
    void OnLogLine(QString text, int status);

private:
    Device* SelectedDevice() const;
    QListWidgetItem* ItemFor(quint64 uid) const;
    void RefreshItem(QListWidgetItem* item, Device* device) const;
    void ShowParameters();
    void UpdateActions();
    void QueueOwned(std::unique_ptr<Command> command);

    QListWidget* devices_;
    QStandardItemModel* parameters_;
    QTextEdit* log_;
    QLabel* status_;
    QAction* discover_;
    QAction* identify_;
    QAction* setAddress_;
    std::map<QUuid, std::unique_ptr<Command>> commands_; // ours, until CommandCompleted
};
