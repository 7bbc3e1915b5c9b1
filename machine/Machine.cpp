#include "machine/Machine.h"

#include <QDebug>
#include <algorithm>
#include <atomic>

namespace machine {

namespace {

std::atomic<bool> machineRunning{false};

} // namespace

bool LoadRigFromEnvironment(MachineOptions* options, QString* error)
{
    const QString path = qEnvironmentVariable("VELMORA_RIG");
    if (path.isEmpty())
        return true;
    options->rig = sim::LoadRig(path, options->fixtureKinds, error);
    if (!options->rig && error)
        *error = QStringLiteral("VELMORA_RIG: ") + *error;
    return options->rig.has_value();
}

std::unique_ptr<Machine> Machine::Boot(MachineOptions options, QString* error)
{
    if (machineRunning.exchange(true)) {
        if (error)
            *error = QStringLiteral("a machine is already running in this process");
        return nullptr;
    }
    std::unique_ptr<Machine> machine(new Machine(std::move(options)));
    if (machine->options_.rig) {
        for (const sim::WidgetSpec& spec : machine->options_.rig->widgets) {
            if (!machine->PlugWidget(spec, error))
                return nullptr; // the destructor shuts down what was started
        }
    }
    if (!machine->WaitUntilSettled()) {
        if (error)
            *error = QStringLiteral("the devices of the rig did not settle");
        return nullptr;
    }
    return machine;
}

Machine::Machine(MachineOptions options)
    : options_(std::move(options))
    , pnp_(std::make_unique<platform::kernel::PnpManager>(options_.drivers))
    , bus_(std::make_unique<platform::usb::UsbBus>(*pnp_))
    , running_(true)
{
}

Machine::~Machine()
{
    Shutdown();
}

void Machine::Shutdown()
{
    if (!running_)
        return;
    bus_->DetachAll();
    if (!WaitUntilSettled())
        qWarning("machine: the devices did not go away at shutdown");
    bus_.reset();
    pnp_->Shutdown();
    pnp_.reset();
    widgets_.clear();
    running_ = false;
    machineRunning = false;
}

std::shared_ptr<platform::usb::UsbDeviceModel> Machine::DeviceOf(const Widget& widget) const
{
    return bus_ ? bus_->Device(widget.port) : nullptr;
}

std::optional<Machine::Widget> Machine::PlugWidget(const sim::WidgetSpec& spec, QString* error)
{
    QString reason;
    std::optional<sim::WidgetHardware> hardware = sim::BuildWidget(spec, options_.fixtureKinds, &reason);
    if (!hardware) {
        if (error)
            *error = reason;
        return std::nullopt;
    }
    Widget widget{0, spec, *hardware};
    widget.port = bus_->Attach(hardware->device);
    widgets_.push_back(widget);
    WaitUntilSettled();
    return widget;
}

platform::usb::UsbBus::PortId Machine::Plug(std::shared_ptr<platform::usb::UsbDeviceModel> device)
{
    const auto port = bus_->Attach(std::move(device));
    WaitUntilSettled();
    return port;
}

void Machine::Unplug(platform::usb::UsbBus::PortId port)
{
    bus_->Detach(port);
    WaitUntilSettled();
    widgets_.erase(std::remove_if(widgets_.begin(), widgets_.end(), [port](const Widget& w) { return w.port == port; }),
                   widgets_.end());
}

bool Machine::WaitUntilSettled(qint64 timeoutMs)
{
    return pnp_ && pnp_->WaitUntilIdle(timeoutMs);
}

} // namespace machine
