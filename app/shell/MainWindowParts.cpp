#include "app/shell/MainWindowParts.h"

#include "app/shell/IFleetChooser.h"
#include "app/shell/PlainDeviceGui.h"

namespace {

struct Parts {
    MainWindowParts::DevicesRowFactory devicesRow = [](DeviceManager*) { return MakePlainDevicesRow(); };
    MainWindowParts::TaskListFactory taskList = [](QWidget* parent) { return MakeCommandLogPane(parent); };
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
    return TheParts().devicesRow ? TheParts().devicesRow(registry) : MakePlainDevicesRow();
}

void MainWindowParts::SetTaskList(TaskListFactory factory)
{
    TheParts().taskList = std::move(factory);
}

ITaskList* MainWindowParts::MakeTaskList(QWidget* parent)
{
    return TheParts().taskList ? TheParts().taskList(parent) : MakeCommandLogPane(parent);
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
