#pragma once

#include <functional>
#include <memory>

class ContentFolder;
class DeviceManager;
class IFleetChooser;
class ITaskList;
class Node;
class QWidget;

// The roots of the three content libraries, as the main window's top rows show them;
// a null root has no row.
struct ContentRoots {
    ContentFolder* user = nullptr;
    ContentFolder* stock = nullptr;
    ContentFolder* mosavra = nullptr;
};

// The pieces of the main window that other parts of the program supply. They are set at
// start-up (and in tests' set-up), before the window is built; the window asks for them
// once, as it builds itself. Until the device views are installed (RegisterDeviceGui), the
// "Devices" row is a bare row and the window has no bottom pane. GUI thread.
class MainWindowParts
{
public:
    using DevicesRowFactory = std::function<Node*(DeviceManager* registry)>;
    using TaskListFactory = std::function<ITaskList*(QWidget* parent)>;
    using RootsProvider = std::function<ContentRoots()>;

    // The "Devices" top row over the registry (the tree owns it).
    static void SetDevicesRow(DevicesRowFactory factory);
    static Node* MakeDevicesRow(DeviceManager* registry);
    // The bottom pane, its widget a child of `parent`; null: none.
    static void SetTaskList(TaskListFactory factory);
    static ITaskList* MakeTaskList(QWidget* parent);
    // The wizards of the fleet commands; none: those commands are not offered.
    static void SetFleetChooser(std::shared_ptr<IFleetChooser> chooser);
    static std::shared_ptr<IFleetChooser> FleetChooser();
    // The library roots; none by default.
    static void SetContentRoots(RootsProvider provider);
    static ContentRoots Roots();

    // Back to the program's own defaults.
    static void Reset();
};
