#pragma once

#include "app/shell/CommandQueueWatcher.h"
#include "app/shell/IFleetChooser.h"
#include "app/shell/MainWindowParts.h"

#include <QMainWindow>
#include <QPersistentModelIndex>

#include <functional>
#include <memory>
#include <optional>

class ContentOperation;
class Device;
class ITaskList;
class NodeTree;
class QAction;
class QStackedWidget;

// The program's window: the banner, the navigation tree with the view of its current row,
// the task list, and the menus of the fleet commands (discovery, upgrade, stock and
// Mosavra updates, the delete-alls, clone, the Mosavra creator, About).
//
// Building it queues a device discovery and holds the preferences for its life. It shows
// the information boxes of the content operations (it is their message receiver while it
// lives). Fleet commands refuse without devices, ask their chooser, then run one operation
// behind the operation dialog; those without a chooser are not offered. Closing it while
// a device command that writes to a fixture or a library runs or waits asks first.
//
// GUI thread; one per program.
class VelmoraMainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit VelmoraMainWindow(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~VelmoraMainWindow() override;

    NodeTree* Tree() const { return nodeTree_; }
    QStackedWidget* ViewStack() const { return viewStack_; }
    ITaskList* TaskList() const { return taskList_; }
    // The index of the "Devices" row.
    QModelIndex DevicesRow() const { return devicesRow_; }

public slots:
    void OnDiscover();
    void OnUpgrade();
    void OnUpdateStockContent();
    void OnDeleteAllUserContent();
    void OnDeleteAllMosavraContent();
    void OnClone();
    void OnUpdateMosavraContent();
    void OnCreateMosavra();
    void OnAbout();
    void DisplayInformationBox(QString title, QString message);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateLayout();
    void CreateActions();
    void CreateMenus();
    // Enables the commands that can run: those whose chooser is installed.
    void UpdateActions();
    using FleetQuestion = std::function<std::optional<FleetChoice>(IFleetChooser& chooser,
                                                                   const QList<Device*>& devices)>;
    // Asks the chooser about the registered devices; refuses without any (nothing is asked).
    std::optional<FleetChoice> ChooseFor(const FleetQuestion& ask);
    // Runs a delete-all operation of type `Deletion` on the fixtures the chooser chose.
    template <class Deletion>
    void DeleteAll(const FleetQuestion& ask);
    // The devices of `chosen` that the registry still holds.
    static QList<Device*> StillRegistered(const QList<Device*>& chosen);
    // Runs `operation` behind the operation dialog; nothing when it has nothing to do.
    void RunOperation(ContentOperation& operation);
    // Whether the user quits although device commands are still running, `running` the one
    // named; No is the default.
    bool QuitAnyway(const QString& running);
    // An information box over the window.
    void Inform(const QString& title, const QString& message);
    QAction* MakeAction(const char* icon, const QString& text, const QString& shortcut, const QString& tip);

    QAction* exitAction_ = nullptr;
    QAction* upgradeAction_ = nullptr;
    QAction* updateStockContentAction_ = nullptr;
    QAction* deleteAllUserContentAction_ = nullptr;
    QAction* deleteAllMosavraContentAction_ = nullptr;
    QAction* cloneAction_ = nullptr;
    QAction* discoverAction_ = nullptr;
    QAction* createMosavraAction_ = nullptr;
    QAction* updateMosavraContentAction_ = nullptr;
    QAction* aboutAction_ = nullptr;
    NodeTree* nodeTree_ = nullptr;
    QStackedWidget* viewStack_ = nullptr;
    ITaskList* taskList_ = nullptr;
    CommandQueueWatcher queueWatcher_;
    ContentRoots roots_;
    std::shared_ptr<IFleetChooser> chooser_;
    QPersistentModelIndex devicesRow_;
};
