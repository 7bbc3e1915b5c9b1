#include "app/devices/DeviceGui.h"

#include "app/devices/DeviceDelegates.h"
#include "app/devices/DeviceNodes.h"
#include "app/shell/MainWindowParts.h"
#include "app/tasks/TaskView.h"
#include "app/tree/NodeTree.h"
#include "app/wizards/WizardFleetChooser.h"

void RegisterDeviceGui()
{
    NodeTree::RegisterDelegate("DeviceManagerNode", [](NodeTree* tree) { return new DeviceManagerDelegate(tree); });
    // Name and address cells of a fixture row each have a controller of their own.
    NodeTree::RegisterDelegate("DeviceNameNode", [](NodeTree* tree) { return new DeviceDelegate(tree); });
    NodeTree::RegisterDelegate("DeviceAddressNode", [](NodeTree* tree) { return new DeviceDelegate(tree); });
    MainWindowParts::SetDevicesRow([](DeviceManager* registry) { return new DeviceManagerNode(registry); });
    MainWindowParts::SetTaskList([](QWidget* parent) { return new TaskView(parent); });
    RegisterWizards();
}
