#pragma once

#include "drivers/components/usb/qex_usb/QexUsbPublic.h"
#include "platform/io/DeviceFile.h"
#include "platform/kernel/PnpManager.h"
#include "platform/usb/UsbBus.h"
#include "sim/widget/ProgrammedWidget.h"
#include "tests/platform/kernel/KernelTestSupport.h"
#include "tests/sim/WidgetBytes.h"

#include <QByteArray>
#include <QList>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>

// What the widget drivers' tests share: a bench with the kernel's PnP manager, the USB bus
// and the drivers' binding table, a tap that records a device's USB traffic, a widget
// whose firmware can be made to misbehave, and short ways to send requests.

namespace drivers_test {

// One thing that crossed the bus, as the device saw it.
struct UsbEvent
{
    enum Kind { Out, In, Control };
    Kind kind = Out;
    quint8 endpoint = 0;                // Out, In
    platform::usb::UsbSetupPacket setup; // Control
    QByteArray data;
};

// Wraps a device model and records its traffic: bulk OUT transfers, control transfers
// and the packets it sends IN. Forwards everything, re-enumeration included.
class TappedDevice : public platform::usb::UsbDeviceModel, private platform::usb::UsbPort
{
public:
    explicit TappedDevice(std::shared_ptr<platform::usb::UsbDeviceModel> inner);

    QList<UsbEvent> Events() const;
    // The OUT data on one endpoint, one entry per transfer.
    QList<QByteArray> OutTransfers(quint8 endpoint) const;
    void Clear();

    void Connected(platform::usb::UsbPort* port) override;
    void Disconnected() override;
    QByteArray DeviceDescriptor() override { return inner_->DeviceDescriptor(); }
    QByteArray ConfigurationDescriptor(quint8 index) override { return inner_->ConfigurationDescriptor(index); }
    QByteArray StringDescriptor(quint8 index, quint16 languageId) override;
    void ConfigurationSelected(quint8 value) override { inner_->ConfigurationSelected(value); }
    platform::usb::UsbResponse ControlTransfer(const platform::usb::UsbSetupPacket& setup, QByteArray& data) override;
    platform::usb::UsbResponse BulkOut(quint8 endpoint, const QByteArray& data) override;

    // The language ids the string descriptors were asked in.
    QList<quint16> StringLanguages() const;

private:
    void SendIn(quint8 endpoint, const QByteArray& packet) override;
    void Reenumerate(std::shared_ptr<platform::usb::UsbDeviceModel> next, qint64 delayMs) override;
    void Record(UsbEvent event);

    std::shared_ptr<platform::usb::UsbDeviceModel> inner_;
    mutable std::mutex mutex_;
    platform::usb::UsbPort* port_ = nullptr;
    QList<UsbEvent> events_;
    QList<quint16> languages_;
};

// The programmed widget with knobs for what its firmware gets wrong.
class TestWidget : public sim::ProgrammedWidget
{
public:
    explicit TestWidget(sim::WidgetConfig config);

    // Commands the firmware takes but never answers.
    void Silence(quint8 command);
    // The answer to a command, instead of the firmware's own.
    void Answer(quint8 command, const QByteArray& reply);
    // A configuration without any interface.
    void DropInterface() { dropInterface_ = true; }
    // After the first read, a configuration descriptor whose head claims a far larger
    // total and whose last descriptor runs past the end.
    void InflateConfigurationAfterFirstRead() { inflate_ = true; }

    QByteArray ConfigurationDescriptor(quint8 index) override;
    platform::usb::UsbResponse BulkOut(quint8 endpoint, const QByteArray& data) override;

private:
    std::mutex mutex_;
    std::set<quint8> silenced_;
    std::map<quint8, QByteArray> answers_;
    bool dropInterface_ = false;
    bool inflate_ = false;
    int configurationReads_ = 0;
};

std::shared_ptr<TestWidget> MakeWidget(quint16 productId = 0x0002, const QString& serial = "00000001");

// The PnP manager and the USB bus, with the machine's binding table of the project's
// drivers (plus any extra lines a test wants). Lighter than a machine: no rig, and the
// test plugs in devices of its own.
class Bench
{
public:
    // With `projectDrivers` false only the `extra` lines are bound.
    explicit Bench(std::vector<platform::kernel::DriverBinding> extra = {}, bool projectDrivers = true);
    ~Bench();

    platform::kernel::PnpManager& Pnp() { return *pnp_; }
    platform::usb::UsbBus& Bus() { return *bus_; }

    // Plugs the device in and waits until its driver has started (or failed to).
    platform::usb::UsbBus::PortId Plug(std::shared_ptr<platform::usb::UsbDeviceModel> device);
    // The same, with faults set on the port before its driver sees the device.
    platform::usb::UsbBus::PortId Plug(std::shared_ptr<platform::usb::UsbDeviceModel> device,
                                       const std::function<void(platform::usb::UsbBus::PortId)>& beforeStart);
    void Unplug(platform::usb::UsbBus::PortId port);
    void Settle();
    platform::kernel::DeviceState StateOf(platform::usb::UsbBus::PortId port) const;
    NTSTATUS LastStatusOf(platform::usb::UsbBus::PortId port) const;

    // Sends a plug-and-play request to the top of the port's stack on the PnP manager's
    // thread, as the manager does when it removes a device that is still plugged in.
    NTSTATUS SendPnp(platform::usb::UsbBus::PortId port, UCHAR minor);

private:
    std::unique_ptr<platform::kernel::PnpManager> pnp_;
    std::unique_ptr<platform::usb::UsbBus> bus_;
};

// Every driver test ends with the kernel's pool as it began.
class DriverTest : public KernelTest
{
protected:
    void TearDown() override;
};

std::unique_ptr<platform::io::DeviceFile> OpenMap();
std::unique_ptr<platform::io::DeviceFile> OpenWidget(int number, platform::io::IoError* error = nullptr);

// Sends a control request and waits for it (it must complete within the wait).
std::shared_ptr<platform::io::IoRequest> Control(platform::io::DeviceFile& file, quint32 code,
                                                 const QByteArray& input, int outputLength);
std::shared_ptr<platform::io::IoRequest> Control(platform::io::DeviceFile& file, quint32 code,
                                                 const QByteArray& input, const QByteArray& output);
std::shared_ptr<platform::io::IoRequest> Write(platform::io::DeviceFile& file, const QByteArray& data,
                                               qint64 offset = 0);

WidgetDeviceMap ReadMap(platform::io::DeviceFile& file);
quint32 ReadStamp(platform::io::DeviceFile& file);

} // namespace drivers_test
