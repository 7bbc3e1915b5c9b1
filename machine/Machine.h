#pragma once

#include "machine/DriverBindings.h"
#include "platform/kernel/PnpManager.h"
#include "platform/usb/UsbBus.h"
#include "sim/rig/Rig.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace machine {

struct MachineOptions
{
    std::vector<platform::kernel::DriverBinding> drivers = DefaultDriverBindings();
    sim::FixtureRegistry fixtureKinds = sim::FixtureRegistry::Standard();
    std::optional<sim::Rig> rig; // plugged in at boot
};

// Reads the rig file that VELMORA_RIG names into `options` (with the fixture kinds they
// carry). No VELMORA_RIG, no rig: true. False, with the reason, when the file cannot be
// read or is not a valid rig.
bool LoadRigFromEnvironment(MachineOptions* options, QString* error);

// The computer the program and the drivers run on: the kernel's PnP manager with the
// drivers' binding table, the USB bus, and the simulated devices of a rig plugged into
// it. Booting waits until every device's driver has started it (an unprogrammed widget
// whose loader is bound comes back as the programmed widget first); shutting down unplugs
// everything, waits until the drivers have removed their devices and unloads them.
//
// The kernel is one per process, so one machine runs at a time; a process may boot and
// shut down machines one after the other as often as it likes. Not thread-safe: one
// thread boots, drives and shuts down a machine (the kernel inside runs its own threads).
class Machine
{
public:
    // How long, in virtual time, the PnP work of a boot or an unplug may take before it
    // counts as hung: it runs only code and the widget's re-enumeration delay.
    static constexpr qint64 kSettleLimitMs = platform::kernel::PnpManager::kIdleLimitMs;

    struct Widget
    {
        platform::usb::UsbBus::PortId port = 0;
        sim::WidgetSpec spec;
        sim::WidgetHardware hardware; // the line and its fixtures stay with the port
    };

    // Null, with the reason in `error`, when another machine is running or the rig's
    // hardware cannot be built.
    static std::unique_ptr<Machine> Boot(MachineOptions options, QString* error = nullptr);
    ~Machine(); // Shutdown()
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    void Shutdown();

    platform::kernel::PnpManager& Pnp() { return *pnp_; }
    platform::usb::UsbBus& Bus() { return *bus_; }

    const std::vector<Widget>& Widgets() const { return widgets_; }
    // The device now on the widget's port (the programmed widget once its firmware runs);
    // null while it is away.
    std::shared_ptr<platform::usb::UsbDeviceModel> DeviceOf(const Widget& widget) const;

    // More hardware after boot; each waits until the PnP manager is done with it.
    std::optional<Widget> PlugWidget(const sim::WidgetSpec& spec, QString* error = nullptr);
    platform::usb::UsbBus::PortId Plug(std::shared_ptr<platform::usb::UsbDeviceModel> device);
    void Unplug(platform::usb::UsbBus::PortId port);
    bool WaitUntilSettled(qint64 timeoutMs = kSettleLimitMs);

private:
    explicit Machine(MachineOptions options);

    MachineOptions options_;
    std::unique_ptr<platform::kernel::PnpManager> pnp_;
    std::unique_ptr<platform::usb::UsbBus> bus_;
    std::vector<Widget> widgets_;
    bool running_ = false;
};

} // namespace machine
