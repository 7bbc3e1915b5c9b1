// The firmware loader: what it writes into the unprogrammed widget, in what order, what it
// skips, how a failure leaves the widget, and that the widget then comes back as the
// device the USB driver serves.

#include "tests/drivers/DriverTestSupport.h"

#include "drivers/uploader/QexDmx.h"
#include "platform/usb/UsbDescriptors.h"
#include "platform/usb/WidgetIds.h"
#include "sim/widget/UnprogrammedWidget.h"
#include "tools/widget_firmware/WidgetFirmware.h"

using namespace drivers_test;
using platform::kernel::DeviceState;
using platform::kernel::DriverBinding;
using platform::usb::UsbFault;
using platform::usb::UsbResponse;
using platform::usb::UsbSetupPacket;

namespace {

constexpr quint16 kCpuControl = 0x7F92;
constexpr quint16 kMemoryVendor = 0x1234, kMemoryProduct = 0x5678;

// A device that takes vendor writes into its memory and does nothing else; one address can
// be made to stall.
class MemoryDevice : public platform::usb::UsbDeviceModel
{
public:
    static constexpr int kNoStall = -1;
    explicit MemoryDevice(int stallAt = kNoStall) : stallAt_(stallAt) {}

    QByteArray DeviceDescriptor() override
    {
        USB_DEVICE_DESCRIPTOR d{};
        d.bMaxPacketSize0 = 64;
        d.idVendor = kMemoryVendor;
        d.idProduct = kMemoryProduct;
        d.bNumConfigurations = 1;
        return platform::usb::MakeDeviceDescriptor(d);
    }
    QByteArray ConfigurationDescriptor(quint8 index) override
    {
        return index == 0 ? platform::usb::MakeConfigurationDescriptor(1, 0x80, 100, {{}}) : QByteArray();
    }
    UsbResponse ControlTransfer(const UsbSetupPacket& setup, QByteArray& data) override
    {
        if (int(setup.value) == stallAt_)
            return UsbResponse::Stall;
        std::lock_guard lock(mutex_);
        writes_.append({setup.value, data});
        return UsbResponse::Ack;
    }

    struct Write
    {
        quint16 address;
        QByteArray data;
        bool operator==(const Write&) const = default;
    };
    QList<Write> Writes() const
    {
        std::lock_guard lock(mutex_);
        return writes_;
    }

private:
    const int stallAt_;
    mutable std::mutex mutex_;
    QList<Write> writes_;
};

WidgetFirmwareRecord Record(quint16 address, QByteArray data, quint8 type = 0)
{
    WidgetFirmwareRecord record{};
    record.Length = quint8(data.size());
    record.Address = address;
    record.Type = type;
    std::memcpy(record.Data, data.constData(), std::min<size_t>(data.size(), sizeof record.Data));
    return record;
}

MemoryDevice::Write W(quint16 address, QByteArray data)
{
    return {address, data};
}

class LoaderTest : public DriverTest
{
};

TEST_F(LoaderTest, TheUnprogrammedWidgetGetsTheWholeImageAndComesBackServedByTheUsbDriver)
{
    Bench bench;
    sim::WidgetConfig config;
    config.serial = "0042";
    auto unprogrammed = std::make_shared<sim::UnprogrammedWidget>(config, std::make_shared<sim::DmxLine>());
    auto tap = std::make_shared<TappedDevice>(unprogrammed);
    const auto port = bench.Plug(tap);

    // Reset on, one request per data record at or below 0x1B3F in image order, reset off.
    QList<UsbEvent> requests;
    for (const UsbEvent& event : tap->Events())
        if (event.kind == UsbEvent::Control)
            requests.append(event);
    ASSERT_EQ(requests.size(), 410);
    EXPECT_EQ(requests.first().setup.value, kCpuControl);
    EXPECT_EQ(requests.first().data, Bytes({1}));
    EXPECT_EQ(requests.last().setup.value, kCpuControl);
    EXPECT_EQ(requests.last().data, Bytes({0}));
    int record = 0;
    qint64 bytes = 0;
    for (int i = 1; i < requests.size() - 1; ++i, ++record) {
        const UsbEvent& request = requests[i];
        EXPECT_EQ(request.setup.requestType, 0x40); // vendor, host to device
        EXPECT_EQ(request.setup.request, 0xA0);
        EXPECT_EQ(request.setup.index, 0);
        const WidgetFirmwareRecord& expected = kWidgetFirmwareImage[record];
        ASSERT_EQ(expected.Type, 0);
        EXPECT_EQ(request.setup.value, expected.Address) << "record " << record;
        EXPECT_EQ(request.data, QByteArray(reinterpret_cast<const char*>(expected.Data), expected.Length));
        EXPECT_LE(request.setup.value, 0x1B3F);
        bytes += request.data.size();
    }
    EXPECT_EQ(bytes, 6432);
    EXPECT_NE(kWidgetFirmwareImage[record].Type, 0); // every data record was written

    // The widget left the bus and came back programmed, with qex_usb serving it.
    EXPECT_EQ(unprogrammed->Releases(), 1);
    EXPECT_EQ(bench.StateOf(port), DeviceState::Started);
    EXPECT_NE(std::dynamic_pointer_cast<sim::ProgrammedWidget>(bench.Bus().Device(port)), nullptr);
    auto map = OpenMap();
    ASSERT_NE(map, nullptr);
    const WidgetMapSlot slot = ReadMap(*map).slot[0];
    EXPECT_EQ(slot.vendorId, widget_ids::kWidgetVendorId);
    EXPECT_EQ(slot.productId, widget_ids::kWidgetProductId);
    EXPECT_EQ(slot.serialNumber, 42u);
    auto widget = OpenWidget(0);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(Write(*widget, Pattern(512))->BytesTransferred(), 539u);
}

TEST_F(LoaderTest, TheWalkWritesDataRecordsInOrderUpToTheFirstOtherRecord)
{
    struct Case
    {
        const char* what;
        std::vector<WidgetFirmwareRecord> image;
        int stallAt;
        NTSTATUS status;
        QList<MemoryDevice::Write> writes;
    };
    const Case cases[] = {
        {"a record above 0x1B3F is skipped, the ones after it are written",
         {Record(0x0000, Bytes({1, 2, 3})), Record(0x1B40, Bytes({4, 5})), Record(0x1B3F, Bytes({6})),
          Record(0, {}, 1)},
         MemoryDevice::kNoStall,
         STATUS_SUCCESS,
         {W(kCpuControl, Bytes({1})), W(0x0000, Bytes({1, 2, 3})), W(0x1B3F, Bytes({6})), W(kCpuControl, Bytes({0}))}},
        {"an image that begins with its end writes only the reset",
         {Record(0x0000, Bytes({1}), 1), Record(0x0010, Bytes({2}))},
         MemoryDevice::kNoStall,
         STATUS_SUCCESS,
         {W(kCpuControl, Bytes({1})), W(kCpuControl, Bytes({0}))}},
        {"a failed request ends the walk and the CPU stays in reset",
         {Record(0x0000, Bytes({1})), Record(0x0010, Bytes({2})), Record(0x0020, Bytes({3})), Record(0, {}, 1)},
         0x0010,
         STATUS_UNSUCCESSFUL,
         {W(kCpuControl, Bytes({1})), W(0x0000, Bytes({1}))}},
        {"a record longer than its data ends the walk",
         {Record(0x0000, Bytes({1})), [] {
              WidgetFirmwareRecord r = Record(0x0010, Bytes({2}));
              r.Length = 17;
              return r;
          }(),
          Record(0, {}, 1)},
         MemoryDevice::kNoStall,
         STATUS_INVALID_PARAMETER,
         {W(kCpuControl, Bytes({1})), W(0x0000, Bytes({1}))}},
        {"a table without an end record stops at its end",
         {Record(0x0000, Bytes({1}))},
         MemoryDevice::kNoStall,
         STATUS_SUCCESS,
         {W(kCpuControl, Bytes({1})), W(0x0000, Bytes({1})), W(kCpuControl, Bytes({0}))}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bench bench({}, false); // nothing bound: the test drives the device itself
        auto device = std::make_shared<MemoryDevice>(c.stallAt);
        const auto port = bench.Plug(device);
        EXPECT_EQ(qex_dmx::DownloadFirmware(bench.Bus().PhysicalDevice(port), c.image.data(), c.image.size()),
                  c.status);
        EXPECT_EQ(device->Writes(), c.writes);
    }
}

TEST_F(LoaderTest, AFailedDownloadFailsTheStartAndLeavesTheWidgetUnprogrammed)
{
    Bench bench;
    auto unprogrammed = std::make_shared<sim::UnprogrammedWidget>(sim::WidgetConfig{}, std::make_shared<sim::DmxLine>());
    const auto port =
        bench.Plug(unprogrammed, [&](auto port) { bench.Bus().FailNext(port, UsbFault::VendorRequest, 1); });
    EXPECT_EQ(bench.StateOf(port), DeviceState::StartFailed);
    EXPECT_EQ(bench.LastStatusOf(port), STATUS_UNSUCCESSFUL);
    EXPECT_TRUE(unprogrammed->HeldInReset());
    EXPECT_EQ(unprogrammed->Releases(), 0);
    EXPECT_EQ(bench.Bus().Device(port), unprogrammed);
    EXPECT_EQ(OpenMap(), nullptr);
}

TEST_F(LoaderTest, PowerRequestsGoDownUnchangedAndStartNothing)
{
    Bench bench({DriverBinding{qex_dmx::kDriverName, kMemoryVendor, kMemoryProduct, &qex_dmx::DriverEntry}}, false);
    auto device = std::make_shared<MemoryDevice>();
    const auto port = bench.Plug(device);
    ASSERT_EQ(bench.StateOf(port), DeviceState::Started);
    const int writes = device->Writes().size();
    EXPECT_EQ(writes, 2 + int(std::count_if(kWidgetFirmwareImage, kWidgetFirmwareImage + kWidgetFirmwareRecordCount,
                                            [](const auto& r) { return r.Type == 0; })));

    PDEVICE_OBJECT pdo = bench.Bus().PhysicalDevice(port);
    POWER_STATE d0;
    d0.DeviceState = PowerDeviceD0;
    POWER_STATE s0;
    s0.SystemState = PowerSystemWorking;
    EXPECT_EQ(bench.Pnp().SendPowerRequest(pdo, IRP_MN_SET_POWER, DevicePowerState, d0), STATUS_SUCCESS);
    EXPECT_EQ(bench.Pnp().SendPowerRequest(pdo, IRP_MN_QUERY_POWER, SystemPowerState, s0), STATUS_SUCCESS);
    EXPECT_EQ(bench.Pnp().SendPowerRequest(pdo, IRP_MN_WAIT_WAKE, SystemPowerState, s0), STATUS_NOT_SUPPORTED);
    EXPECT_EQ(bench.Bus().PowerRequests(port),
              (std::vector<UCHAR>{IRP_MN_SET_POWER, IRP_MN_QUERY_POWER, IRP_MN_WAIT_WAKE}));
    EXPECT_EQ(bench.StateOf(port), DeviceState::Started);
    EXPECT_EQ(device->Writes().size(), writes);

    DEVICE_CAPABILITIES capabilities;
    EXPECT_EQ(bench.Pnp().QueryCapabilities(pdo, 1, &capabilities), STATUS_SUCCESS);
    EXPECT_EQ(capabilities.SurpriseRemovalOK, 1u);

    // Unplugged: the surprise removal goes down as it is, the removal after it removes.
    bench.Unplug(port);
    EXPECT_TRUE(bench.Pnp().Devices().empty());
}

} // namespace
