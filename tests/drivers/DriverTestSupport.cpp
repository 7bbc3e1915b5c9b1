#include "tests/drivers/DriverTestSupport.h"

#include "machine/DriverBindings.h"
#include "platform/kernel/Kernel.h"
#include "platform/usb/UsbDescriptors.h"
#include "tests/platform/kernel/ForwardAndWait.h"

#include <QtEndian>
#include <future>

namespace drivers_test {

using namespace platform::usb;
using platform::kernel::DeviceState;
using platform::kernel::DriverBinding;

namespace {

// Long enough for anything the bench does, the drivers' own time limits included: a
// timeout's real floor (platform::Clock) makes short virtual waits alike in real time, so
// a bound only a few times a driver's limit could expire first on a loaded machine.
// Tests never wait it out.
constexpr qint64 kSettleMs = platform::kernel::PnpManager::kIdleLimitMs;
constexpr qint64 kRequestWaitMs = kCompletes;

} // namespace

// ---- TappedDevice ---------------------------------------------------------------------------

TappedDevice::TappedDevice(std::shared_ptr<UsbDeviceModel> inner)
    : inner_(std::move(inner))
{
}

void TappedDevice::Record(UsbEvent event)
{
    std::lock_guard lock(mutex_);
    events_.append(std::move(event));
}

QList<UsbEvent> TappedDevice::Events() const
{
    std::lock_guard lock(mutex_);
    return events_;
}

QList<QByteArray> TappedDevice::OutTransfers(quint8 endpoint) const
{
    QList<QByteArray> transfers;
    for (const UsbEvent& event : Events())
        if (event.kind == UsbEvent::Out && event.endpoint == endpoint)
            transfers.append(event.data);
    return transfers;
}

void TappedDevice::Clear()
{
    std::lock_guard lock(mutex_);
    events_.clear();
}

QList<quint16> TappedDevice::StringLanguages() const
{
    std::lock_guard lock(mutex_);
    return languages_;
}

void TappedDevice::Connected(UsbPort* port)
{
    {
        std::lock_guard lock(mutex_);
        port_ = port;
    }
    inner_->Connected(this);
}

void TappedDevice::Disconnected()
{
    inner_->Disconnected();
    std::lock_guard lock(mutex_);
    port_ = nullptr;
}

QByteArray TappedDevice::StringDescriptor(quint8 index, quint16 languageId)
{
    {
        std::lock_guard lock(mutex_);
        languages_.append(languageId);
    }
    return inner_->StringDescriptor(index, languageId);
}

UsbResponse TappedDevice::ControlTransfer(const UsbSetupPacket& setup, QByteArray& data)
{
    UsbEvent event;
    event.kind = UsbEvent::Control;
    event.setup = setup;
    event.data = data;
    Record(event);
    return inner_->ControlTransfer(setup, data);
}

UsbResponse TappedDevice::BulkOut(quint8 endpoint, const QByteArray& data)
{
    Record(UsbEvent{UsbEvent::Out, endpoint, {}, data});
    return inner_->BulkOut(endpoint, data);
}

void TappedDevice::SendIn(quint8 endpoint, const QByteArray& packet)
{
    Record(UsbEvent{UsbEvent::In, endpoint, {}, packet});
    UsbPort* port;
    {
        std::lock_guard lock(mutex_);
        port = port_;
    }
    if (port)
        port->SendIn(endpoint, packet);
}

void TappedDevice::Reenumerate(std::shared_ptr<UsbDeviceModel> next, qint64 delayMs)
{
    UsbPort* port;
    {
        std::lock_guard lock(mutex_);
        port = port_;
    }
    if (port)
        port->Reenumerate(std::move(next), delayMs);
}

// ---- TestWidget ---------------------------------------------------------------------------------

TestWidget::TestWidget(sim::WidgetConfig config)
    : ProgrammedWidget(std::move(config), std::make_shared<sim::DmxLine>())
{
}

void TestWidget::Silence(quint8 command)
{
    std::lock_guard lock(mutex_);
    silenced_.insert(command);
}

void TestWidget::Answer(quint8 command, const QByteArray& reply)
{
    std::lock_guard lock(mutex_);
    answers_[command] = reply;
}

QByteArray TestWidget::ConfigurationDescriptor(quint8 index)
{
    if (dropInterface_)
        return index == 0 ? MakeConfigurationDescriptor(1, 0x80, 100, {}) : QByteArray();
    QByteArray descriptor = ProgrammedWidget::ConfigurationDescriptor(index);
    if (inflate_ && configurationReads_++ > 0 && descriptor.size() >= 16) {
        qToLittleEndian<quint16>(1000, descriptor.data() + 2); // wTotalLength
        descriptor[descriptor.size() - 7] = char(0xF0);       // the last endpoint's bLength
    }
    return descriptor;
}

UsbResponse TestWidget::BulkOut(quint8 endpoint, const QByteArray& data)
{
    constexpr quint8 kCommandEndpoint = 0x02, kReplyEndpoint = 0x82;
    if (endpoint == kCommandEndpoint && !data.isEmpty()) {
        const quint8 command = quint8(data[0]);
        std::lock_guard lock(mutex_);
        if (silenced_.count(command))
            return UsbResponse::Ack;
        auto answer = answers_.find(command);
        if (answer != answers_.end()) {
            if (port_)
                port_->SendIn(kReplyEndpoint, answer->second);
            return UsbResponse::Ack;
        }
    }
    return ProgrammedWidget::BulkOut(endpoint, data);
}

std::shared_ptr<TestWidget> MakeWidget(quint16 productId, const QString& serial)
{
    sim::WidgetConfig config;
    config.productId = productId;
    config.serial = serial;
    return std::make_shared<TestWidget>(config);
}

// ---- Bench -----------------------------------------------------------------------------------------

Bench::Bench(std::vector<DriverBinding> extra, bool projectDrivers)
{
    std::vector<DriverBinding> bindings = projectDrivers ? machine::DefaultDriverBindings() : std::vector<DriverBinding>{};
    bindings.insert(bindings.end(), extra.begin(), extra.end());
    pnp_ = std::make_unique<platform::kernel::PnpManager>(bindings);
    bus_ = std::make_unique<UsbBus>(*pnp_);
}

Bench::~Bench()
{
    bus_.reset();
    pnp_.reset();
}

UsbBus::PortId Bench::Plug(std::shared_ptr<UsbDeviceModel> device)
{
    const UsbBus::PortId port = bus_->Attach(std::move(device));
    Settle();
    return port;
}

UsbBus::PortId Bench::Plug(std::shared_ptr<UsbDeviceModel> device,
                           const std::function<void(UsbBus::PortId)>& beforeStart)
{
    // The PnP manager handles the arrival only after the gate opens.
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    pnp_->Post([opened] { opened.wait(); });
    const UsbBus::PortId port = bus_->Attach(std::move(device));
    beforeStart(port);
    gate.set_value();
    Settle();
    return port;
}

void Bench::Unplug(UsbBus::PortId port)
{
    bus_->Detach(port);
    Settle();
}

void Bench::Settle()
{
    EXPECT_TRUE(pnp_->WaitUntilIdle(kSettleMs));
}

DeviceState Bench::StateOf(UsbBus::PortId port) const
{
    PDEVICE_OBJECT pdo = bus_->PhysicalDevice(port);
    for (const auto& node : pnp_->Devices())
        if (node.pdo == pdo)
            return node.state;
    return DeviceState::NoDriver;
}

NTSTATUS Bench::LastStatusOf(UsbBus::PortId port) const
{
    PDEVICE_OBJECT pdo = bus_->PhysicalDevice(port);
    for (const auto& node : pnp_->Devices())
        if (node.pdo == pdo)
            return node.lastStatus;
    return STATUS_NO_SUCH_DEVICE;
}

NTSTATUS Bench::SendPnp(UsbBus::PortId port, UCHAR minor)
{
    PDEVICE_OBJECT pdo = bus_->PhysicalDevice(port);
    auto result = std::make_shared<std::promise<NTSTATUS>>();
    auto future = result->get_future();
    pnp_->Post([pdo, minor, result] {
        PDEVICE_OBJECT top = IoGetAttachedDevice(pdo);
        PIRP irp = IoAllocateIrp(CCHAR(top->StackSize + 1), FALSE);
        irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
        next->MajorFunction = IRP_MJ_PNP;
        next->MinorFunction = minor;
        KEVENT done;
        KeInitializeEvent(&done, NotificationEvent, FALSE);
        IoSetCompletionRoutine(irp, &test_drivers::SignalEvent, &done, TRUE, TRUE, TRUE);
        IoCallDriver(top, irp);
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
        const NTSTATUS status = irp->IoStatus.Status;
        IoFreeIrp(irp);
        result->set_value(status);
    });
    return future.get();
}

// ---- Requests --------------------------------------------------------------------------------------

void DriverTest::TearDown()
{
    platform::usb::ResetUsbdiVersion();
    KernelTest::TearDown();
}

std::unique_ptr<platform::io::DeviceFile> OpenMap()
{
    return platform::io::DeviceFile::Open(QString::fromLatin1(qex_usb::kMapDevicePath),
                                          platform::io::DeviceFile::Access::Read);
}

std::unique_ptr<platform::io::DeviceFile> OpenWidget(int number, platform::io::IoError* error)
{
    return platform::io::DeviceFile::Open(QString::asprintf(qex_usb::kWidgetDevicePathFormat, number),
                                          platform::io::DeviceFile::Access::Write, error);
}

namespace {

std::shared_ptr<platform::io::IoRequest> Waited(std::shared_ptr<platform::io::IoRequest> request)
{
    EXPECT_TRUE(request->Wait(kRequestWaitMs)) << "the request did not complete";
    return request;
}

} // namespace

std::shared_ptr<platform::io::IoRequest> Control(platform::io::DeviceFile& file, quint32 code,
                                                 const QByteArray& input, int outputLength)
{
    return Waited(file.DeviceControl(code, input, outputLength));
}

std::shared_ptr<platform::io::IoRequest> Control(platform::io::DeviceFile& file, quint32 code,
                                                 const QByteArray& input, const QByteArray& output)
{
    return Waited(file.DeviceControl(code, input, output));
}

std::shared_ptr<platform::io::IoRequest> Write(platform::io::DeviceFile& file, const QByteArray& data, qint64 offset)
{
    return Waited(file.Write(data, offset));
}

WidgetDeviceMap ReadMap(platform::io::DeviceFile& file)
{
    WidgetDeviceMap map{};
    auto request = Control(file, IOCTL_WIDGET_GET_MAP, {}, int(sizeof map));
    EXPECT_EQ(request->Status(), STATUS_SUCCESS);
    const QByteArray output = request->Output();
    if (output.size() == int(sizeof map))
        std::memcpy(&map, output.constData(), sizeof map);
    return map;
}

quint32 ReadStamp(platform::io::DeviceFile& file)
{
    auto request = Control(file, IOCTL_WIDGET_GET_MAP_HEADER, {}, int(sizeof(WidgetMapHeader)));
    EXPECT_EQ(request->Status(), STATUS_SUCCESS);
    return qFromLittleEndian<quint32>(request->Output().constData());
}

} // namespace drivers_test
