#pragma once

#include "platform/kernel/Kernel.h"
#include "platform/usb/UsbDeviceModel.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace platform::kernel {
class PnpManager;
}

namespace platform::usb {

// Injected failures: the next requests of the kind fail as a device that stalls them.
enum class UsbFault {
    SelectConfiguration,
    DeviceDescriptor,
    ConfigurationDescriptor,
    StringDescriptor,
    VendorRequest,
};

// The host controller and its root hub: a bus driver ("\Driver\usbhub") with one
// physical device object per attached device, serving IOCTL_INTERNAL_USB_SUBMIT_URB
// (select configuration, descriptors, bulk and interrupt transfers, reset and abort
// pipe, vendor device requests) from the device models plugged into its ports, and
// reporting arrivals and removals to the PnP manager.
//
// Transfers: an OUT transfer is handed to the device whole and completes when the device
// has taken it (replies the device sends meanwhile are delivered first). An IN transfer
// completes with one packet, the oldest the device has sent on that pipe, or waits until
// the device sends one; several may wait per pipe, in order. Aborting a pipe completes
// its waiting transfers cancelled; after a device has left the bus everything fails with
// USBD_STATUS_DEVICE_GONE (STATUS_DEVICE_NOT_CONNECTED).
//
// Threads: all calls are thread-safe. Requests run on the thread that submits them.
class UsbBus
{
public:
    using PortId = int;

    explicit UsbBus(kernel::PnpManager& pnp);
    // Detaches what is still attached, waits until the PnP manager has removed it and
    // unloads the bus driver.
    ~UsbBus();
    UsbBus(const UsbBus&) = delete;
    UsbBus& operator=(const UsbBus&) = delete;

    // Plugs a device into a new port; its driver is loaded and started on the PnP
    // manager's thread (PnpManager::WaitUntilIdle waits for that).
    PortId Attach(std::shared_ptr<UsbDeviceModel> device);
    // Unplugs the port's device: what it had pending ends device-gone at once, and the
    // PnP manager removes its stack.
    void Detach(PortId port);
    void DetachAll();

    // The ports that have a device; a device that re-enumerates keeps its port.
    std::vector<PortId> Ports() const;
    std::shared_ptr<UsbDeviceModel> Device(PortId port) const;
    PDEVICE_OBJECT PhysicalDevice(PortId port) const;

    void FailNext(PortId port, UsbFault fault, int count);
    // While held, OUT transfers on the endpoint wait (cancellable, abortable) as they
    // would for a device that does not take data; releasing hands them on in order.
    void HoldOutTransfers(PortId port, quint8 endpoint, bool hold);
    // The minor functions of the power requests that reached the port's device, in order.
    std::vector<UCHAR> PowerRequests(PortId port) const;
    // Transfers now waiting on the port's device: all of them, or those of one endpoint.
    int PendingTransfers(PortId port) const;
    int PendingTransfers(PortId port, quint8 endpoint) const;

    struct Attachment; // one device's presence on the bus (internal)

private:
    int CountPending(PortId port, std::optional<quint8> endpoint) const;

    struct Port
    {
        std::shared_ptr<Attachment> current;
        std::map<UsbFault, int> faults;
        std::set<quint8> heldEndpoints;
        std::vector<UCHAR> powerRequests;
    };

    friend struct Attachment;
    friend struct BusDriver;
    void AttachToPort(PortId port, std::shared_ptr<UsbDeviceModel> device);
    void Leave(const std::shared_ptr<Attachment>& attachment);
    bool TakeFault(PortId port, UsbFault fault);
    bool Held(PortId port, quint8 endpoint) const;
    void RecordPower(PortId port, UCHAR minor);

    kernel::PnpManager& pnp_;
    PDRIVER_OBJECT driver_ = nullptr;
    // May be taken while an attachment's own lock is held, never the other way round.
    mutable std::mutex mutex_;
    bool closing_ = false;
    PortId nextPort_ = 0;
    std::map<PortId, Port> ports_;
    // Every attachment stays until the bus goes, so a late request on a deleted physical
    // device object still finds valid bookkeeping.
    std::vector<std::shared_ptr<Attachment>> attachments_;
};

} // namespace platform::usb
