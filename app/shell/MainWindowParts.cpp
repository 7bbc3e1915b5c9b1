#include "app/shell/MainWindowParts.h"

#include "app/shell/IFleetChooser.h"
#include "app/tree/Node.h"

namespace {

// A bare "Devices" row (with the default view) and no bottom pane.
Node* PlainDevicesRow()
{
    return new Node(QStringLiteral("Devices"));
}

struct Parts {
    MainWindowParts::DevicesRowFactory devicesRow;
    MainWindowParts::TaskListFactory taskList;
    std::shared_ptr<IFleetChooser> chooser;
    MainWindowParts::RootsProvider roots;
};

Parts& TheParts()
{
    static Parts parts;
    return parts;
}

} // namespace

void MainWindowParts::SetDevicesRow(DevicesRowFactory factory)
{
    TheParts().devicesRow = std::move(factory);
}

Node* MainWindowParts::MakeDevicesRow(DeviceManager* registry)
{
    return TheParts().devicesRow ? TheParts().devicesRow(registry) : PlainDevicesRow();
}

void MainWindowParts::SetTaskList(TaskListFactory factory)
{
    TheParts().taskList = std::move(factory);
}

ITaskList* MainWindowParts::MakeTaskList(QWidget* parent)
{
    return TheParts().taskList ? TheParts().taskList(parent) : nullptr;
}

void MainWindowParts::SetFleetChooser(std::shared_ptr<IFleetChooser> chooser)
{
    TheParts().chooser = std::move(chooser);
}

std::shared_ptr<IFleetChooser> MainWindowParts::FleetChooser()
{
    return TheParts().chooser;
}

void MainWindowParts::SetContentRoots(RootsProvider provider)
{
    TheParts().roots = std::move(provider);
}

ContentRoots MainWindowParts::Roots()
{
    return TheParts().roots ? TheParts().roots() : ContentRoots();
}

void MainWindowParts::Reset()
{
    TheParts() = Parts();
}
