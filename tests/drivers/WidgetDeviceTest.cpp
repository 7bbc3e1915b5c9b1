// The USB driver's devices: names and numbers, the device map and its controls, the
// start-up of each product, stop and restart, and opening and closing.

#include "tests/drivers/DriverTestSupport.h"

#include "drivers/components/usb/qex_usb/QexUsb.h"

#include "platform/kernel/KernelPrivate.h"
#include "platform/kernel/ObjectNamespace.h"
#include "platform/system/Clock.h"
#include "platform/usb/WidgetIds.h"

#include <set>

#include <QtEndian>

using namespace drivers_test;
using platform::io::DeviceFile;
using platform::kernel::DeviceState;
using platform::usb::UsbFault;

namespace {

constexpr quint8 kCommands = 0x02, kReplies = 0x82;

bool NameExists(const QString& name)
{
    return platform::kernel::ObjectNameExists(name.toStdWString());
}

// Names of the driver's devices and links, the test's own squatters included.
int DriverNames()
{
    int count = 0;
    for (const std::wstring& name : platform::kernel::ObjectNames()) {
        const QString text = QString::fromStdWString(name);
        count += text.contains("qex_usb") || text.contains("ezusb-");
    }
    return count;
}

WidgetMapHeader Header(const QByteArray& output)
{
    WidgetMapHeader header{};
    if (output.size() == int(sizeof header))
        std::memcpy(&header, output.constData(), sizeof header);
    return header;
}

// ---- A driver of the test's own that takes device names before the widget does ------------

NTSTATUS SquatterEntry(PDRIVER_OBJECT, PUNICODE_STRING)
{
    return STATUS_SUCCESS;
}

class NameSquatter
{
public:
    explicit NameSquatter(std::initializer_list<int> numbers)
        : driver_(L"squatter", &SquatterEntry)
    {
        for (int number : numbers) {
            const std::wstring name = QString::asprintf("\\Device\\qex_usb_dev%02d", number).toStdWString();
            UNICODE_STRING text;
            RtlInitUnicodeString(&text, name.c_str());
            PDEVICE_OBJECT device = nullptr;
            EXPECT_EQ(IoCreateDevice(driver_.Get(), 0, &text, FILE_DEVICE_UNKNOWN, 0, FALSE, &device), STATUS_SUCCESS);
            devices_.push_back(device);
        }
    }
    ~NameSquatter()
    {
        for (PDEVICE_OBJECT device : devices_)
            IoDeleteDevice(device);
    }

private:
    LoadedDriver driver_;
    std::vector<PDEVICE_OBJECT> devices_;
};

class WidgetDeviceTest : public DriverTest
{
};

// ---- Names ------------------------------------------------------------------------------------

TEST_F(WidgetDeviceTest, WithoutAWidgetThereIsNoMap)
{
    Bench bench;
    EXPECT_EQ(OpenMap(), nullptr);
    EXPECT_FALSE(NameExists("\\Device\\qex_usb_map"));
}

TEST_F(WidgetDeviceTest, TheFirstWidgetGetsNumberZeroItsLinksAndTheMap)
{
    Bench bench;
    const auto port = bench.Plug(MakeWidget());
    EXPECT_EQ(bench.StateOf(port), DeviceState::Started);
    for (const char* name : {"\\Device\\qex_usb_dev00", "\\DosDevices\\qex_usb_dev00", "\\DosDevices\\ezusb-0",
                             "\\Device\\qex_usb_map", "\\DosDevices\\qex_usb_map"})
        EXPECT_TRUE(NameExists(name)) << name;
    EXPECT_NE(OpenMap(), nullptr);
    EXPECT_NE(OpenWidget(0), nullptr);

    bench.Unplug(port);
    for (const char* name : {"\\Device\\qex_usb_dev00", "\\DosDevices\\qex_usb_dev00", "\\DosDevices\\ezusb-0",
                             "\\Device\\qex_usb_map", "\\DosDevices\\qex_usb_map"})
        EXPECT_FALSE(NameExists(name)) << name;
}

TEST_F(WidgetDeviceTest, AWidgetTakesTheFirstFreeNumber)
{
    struct Case
    {
        std::initializer_list<int> taken;
        const char* device;
        const char* link;
        const char* shortLink; // none for numbers above 9
    };
    const Case cases[] = {
        {{0, 1}, "\\Device\\qex_usb_dev02", "\\DosDevices\\qex_usb_dev02", "\\DosDevices\\ezusb-2"},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, "\\Device\\qex_usb_dev12", "\\DosDevices\\qex_usb_dev12", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        NameSquatter squatter(c.taken);
        const int before = DriverNames();
        Bench bench;
        const auto port = bench.Plug(MakeWidget());
        EXPECT_EQ(bench.StateOf(port), DeviceState::Started);
        EXPECT_TRUE(NameExists(c.device));
        EXPECT_TRUE(NameExists(c.link));
        if (c.shortLink) {
            EXPECT_TRUE(NameExists(c.shortLink));
        }
        // Exactly the widget's names and the map's were added: no failed attempt left any.
        EXPECT_EQ(DriverNames(), before + (c.shortLink ? 3 : 2) + 2);
        EXPECT_FALSE(NameExists("\\DosDevices\\ezusb-0"));

        const int number = QString(c.device).right(2).toInt();
        auto map = OpenMap();
        ASSERT_NE(map, nullptr);
        EXPECT_EQ(ReadMap(*map).slot[number].productId, 0x0002u);
        EXPECT_EQ(ReadMap(*map).slot[0].productId, 0u);
    }
}

NTSTATUS LinkSquatterEntry(PDRIVER_OBJECT, PUNICODE_STRING)
{
    return STATUS_SUCCESS;
}

TEST_F(WidgetDeviceTest, AFailedAttemptLeavesNothingBehind)
{
    // A link name taken by someone else: number 0 is given up whole, number 1 is used.
    {
        UNICODE_STRING link, target;
        RtlInitUnicodeString(&link, L"\\DosDevices\\qex_usb_dev00");
        RtlInitUnicodeString(&target, L"\\Device\\elsewhere");
        ASSERT_EQ(IoCreateSymbolicLink(&link, &target), STATUS_SUCCESS);
        Bench bench;
        const auto port = bench.Plug(MakeWidget());
        EXPECT_EQ(bench.StateOf(port), DeviceState::Started);
        EXPECT_FALSE(NameExists("\\Device\\qex_usb_dev00"));
        EXPECT_FALSE(NameExists("\\DosDevices\\ezusb-0"));
        EXPECT_TRUE(NameExists("\\Device\\qex_usb_dev01"));
        EXPECT_NE(OpenWidget(1), nullptr);
        bench.Unplug(port);
        IoDeleteSymbolicLink(&link);
    }
    // No memory for the transfer buffer: the widget gets no device, and no name is left.
    {
        Bench bench;
        const auto port = bench.Plug(MakeWidget(), [](auto) {
            platform::kernel::FailPoolAllocations(MakePoolTag("Mevs"), 1);
        });
        EXPECT_EQ(bench.StateOf(port), DeviceState::AddFailed);
        EXPECT_EQ(bench.LastStatusOf(port), STATUS_NO_MEMORY);
        EXPECT_EQ(DriverNames(), 0);
    }
    // A device below that is going away: the attach fails and everything made is undone.
    {
        LoadedDriver usb(L"qex_usb", &qex_usb::DriverEntry);
        LoadedDriver other(L"gone", &LinkSquatterEntry);
        PDEVICE_OBJECT pdo = nullptr;
        ASSERT_EQ(IoCreateDevice(other.Get(), 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &pdo), STATUS_SUCCESS);
        platform::kernel::detail::ReferenceDevice(pdo); // keeps the deleted object readable
        IoDeleteDevice(pdo);
        EXPECT_EQ(usb.Get()->DriverExtension->AddDevice(usb.Get(), pdo), STATUS_NO_SUCH_DEVICE);
        EXPECT_EQ(DriverNames(), 0);
        EXPECT_EQ(usb.Get()->DeviceObject, nullptr);
        platform::kernel::detail::DereferenceDevice(pdo);
    }
}

TEST_F(WidgetDeviceTest, TwoWidgetsShareOneMapUntilTheLastGoes)
{
    Bench bench;
    const auto first = bench.Plug(MakeWidget(0x0002, "11"));
    const auto second = bench.Plug(MakeWidget(0x0011, "22"));
    auto map = OpenMap();
    ASSERT_NE(map, nullptr);
    WidgetDeviceMap table = ReadMap(*map);
    EXPECT_EQ(table.slot[0].serialNumber, 11u);
    EXPECT_EQ(table.slot[1].serialNumber, 22u);
    map.reset();

    bench.Unplug(first);
    EXPECT_TRUE(NameExists("\\Device\\qex_usb_map"));
    map = OpenMap();
    ASSERT_NE(map, nullptr);
    table = ReadMap(*map);
    EXPECT_EQ(table.slot[0].vendorId, 0u);
    EXPECT_EQ(table.slot[1].serialNumber, 22u);
    map.reset();

    // The freed number goes to the next widget.
    const auto third = bench.Plug(MakeWidget(0x0002, "33"));
    EXPECT_NE(OpenWidget(0), nullptr);
    bench.Unplug(second);
    bench.Unplug(third);
    EXPECT_FALSE(NameExists("\\Device\\qex_usb_map"));
}

// ---- The map and its controls ----------------------------------------------------------------

TEST_F(WidgetDeviceTest, MapControlsCheckTheirBufferAndAnswerTheirRecords)
{
    Bench bench;
    bench.Plug(MakeWidget());
    auto map = OpenMap();
    auto widget = OpenWidget(0);
    ASSERT_NE(map, nullptr);
    ASSERT_NE(widget, nullptr);

    struct Case
    {
        quint32 code;
        int size;
        quint32 recordSize; // headers only
    };
    const Case cases[] = {
        {IOCTL_WIDGET_GET_MAP_HEADER, 12, 28},
        {IOCTL_WIDGET_GET_SHORT_MAP_HEADER, 12, 16},
        {IOCTL_WIDGET_GET_MAP, 896, 0},
        {IOCTL_WIDGET_GET_SHORT_MAP, 512, 0},
    };
    for (DeviceFile* file : {map.get(), widget.get()}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(QString::asprintf("code 0x%X on the %s", c.code, file == map.get() ? "map" : "widget")
                             .toStdString());
            auto small = Control(*file, c.code, {}, c.size - 1);
            EXPECT_EQ(small->Status(), STATUS_UNSUCCESSFUL);
            EXPECT_EQ(small->BytesTransferred(), 0u);
            auto whole = Control(*file, c.code, {}, c.size + 4);
            EXPECT_EQ(whole->Status(), STATUS_SUCCESS);
            EXPECT_EQ(whole->BytesTransferred(), quint64(c.size));
            if (c.recordSize) {
                const WidgetMapHeader header = Header(whole->Output());
                EXPECT_EQ(header.recordSize, c.recordSize);
                EXPECT_EQ(header.recordCount, 32u);
                EXPECT_NE(header.changeStamp, 0u);
            }
        }
    }

    // The short map is the map's first four fields, slot by slot; free slots are zero.
    WidgetDeviceMap full = ReadMap(*map);
    auto shortMap = Control(*map, IOCTL_WIDGET_GET_SHORT_MAP, {}, 512);
    WidgetShortMap entries;
    std::memcpy(&entries, shortMap->Output().constData(), sizeof entries);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(entries.entry[i].vendorId, full.slot[i].vendorId);
        EXPECT_EQ(entries.entry[i].productId, full.slot[i].productId);
        EXPECT_EQ(entries.entry[i].serialNumber, full.slot[i].serialNumber);
        EXPECT_EQ(entries.entry[i].openFlag, full.slot[i].openFlag);
    }
    const WidgetMapSlot zero{};
    for (int i = 1; i < 32; ++i)
        EXPECT_EQ(std::memcmp(&full.slot[i], &zero, sizeof zero), 0) << "slot " << i;
}

TEST_F(WidgetDeviceTest, TheMapDeviceRefusesWidgetControlsAndWrites)
{
    Bench bench;
    bench.Plug(MakeWidget());
    auto map = OpenMap();
    ASSERT_NE(map, nullptr);
    for (quint32 code : {IOCTL_WIDGET_WRITE_PIPE, IOCTL_WIDGET_READ_PIPE, IOCTL_WIDGET_GET_DEVICE_DESCRIPTOR,
                         IOCTL_WIDGET_SET_MODE, IOCTL_WIDGET_RESET_PIPE}) {
        auto request = Control(*map, code, U32(0), 64);
        EXPECT_EQ(request->Status(), STATUS_UNSUCCESSFUL) << std::hex << code;
        EXPECT_EQ(request->BytesTransferred(), 0u);
    }
    auto writer = DeviceFile::Open(QString::fromLatin1(qex_usb::kMapDevicePath), DeviceFile::Access::Write);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(Write(*writer, Pattern(512))->Status(), STATUS_UNSUCCESSFUL);
}

TEST_F(WidgetDeviceTest, AnUnknownControlCodeIsAnInvalidParameterOnBothDevices)
{
    Bench bench;
    bench.Plug(MakeWidget());
    auto map = OpenMap();
    auto widget = OpenWidget(0);
    ASSERT_NE(map, nullptr);
    ASSERT_NE(widget, nullptr);
    for (DeviceFile* file : {map.get(), widget.get()}) {
        for (quint32 code : {WidgetControlCode(0x800, 0), WidgetControlCode(0x828, 2), quint32(0x00220000)}) {
            auto request = Control(*file, code, U32(0), 64);
            EXPECT_EQ(request->Status(), STATUS_INVALID_PARAMETER) << std::hex << code;
            EXPECT_EQ(request->BytesTransferred(), 0u);
        }
    }
}

// ---- Start-up ---------------------------------------------------------------------------------------

TEST_F(WidgetDeviceTest, StartFillsTheSlotFromDescriptorSerialAndQueries)
{
    Bench bench;
    sim::WidgetConfig config;
    config.productId = 0x0002;
    config.serial = "0042X";
    config.version = {1, 2};
    config.reply23 = {0xA, 0xB, 0xC, 0xD, 0xE, 0xF};
    auto tap = std::make_shared<TappedDevice>(std::make_shared<TestWidget>(config));
    bench.Plug(tap);

    auto map = OpenMap();
    ASSERT_NE(map, nullptr);
    const WidgetMapSlot slot = ReadMap(*map).slot[0];
    EXPECT_EQ(slot.vendorId, widget_ids::kWidgetVendorId);
    EXPECT_EQ(slot.productId, 0x0002u);
    EXPECT_EQ(slot.serialNumber, 42u);
    EXPECT_EQ(slot.openFlag, 0u);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(slot.version), 2), Bytes({1, 2}));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(slot.reply23), 6), Bytes({0xA, 0xB, 0xC, 0xD, 0xE, 0xF}));
    EXPECT_EQ(slot.reply0A, 0);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(slot.reserved), 3), Bytes({0, 0, 0}));
    // The serial-number string is asked for in language 9.
    EXPECT_TRUE(tap->StringLanguages().contains(9));
}

TEST_F(WidgetDeviceTest, TheSerialNumberIsTheLeadingDigitsOfItsString)
{
    struct Case
    {
        QString serial;
        quint32 number;
        bool unreadable;
    };
    const Case cases[] = {
        {"0042X", 42, false}, {"X42", 0, false}, {"", 0, false}, {"4294967296", 0, false}, {"123", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serial.toStdString());
        Bench bench;
        platform::usb::UsbBus::PortId port = 0;
        if (c.unreadable) {
            // A widget whose string cannot be read still starts.
            port = bench.Plug(MakeWidget(0x0002, c.serial),
                              [&](auto port) { bench.Bus().FailNext(port, UsbFault::StringDescriptor, 1); });
        } else {
            port = bench.Plug(MakeWidget(0x0002, c.serial));
        }
        EXPECT_EQ(bench.StateOf(port), DeviceState::Started);
        auto map = OpenMap();
        ASSERT_NE(map, nullptr);
        // 4294967296 wraps in 32 bits to 0.
        EXPECT_EQ(ReadMap(*map).slot[0].serialNumber, c.number);
    }
}

TEST_F(WidgetDeviceTest, EachProductMakesItsOwnStartUpQueries)
{
    struct Case
    {
        quint16 product;
        QList<QByteArray> commands;
        QByteArray version, reply23;
        quint8 reply0A;
    };
    const Case cases[] = {
        {0x0002, {Bytes({0x07}), Bytes({0x23})}, Bytes({3, 4}), Bytes({1, 2, 3, 4, 5, 6}), 0},
        {0x0011, {Bytes({0x07}), Bytes({0x0A})}, Bytes({3, 4}), Bytes({0, 0, 0, 0, 0, 0}), 0x5A},
        {0x0017, {Bytes({0x07}), Bytes({0x0A})}, Bytes({3, 4}), Bytes({0, 0, 0, 0, 0, 0}), 0x5A},
        {0x001D, {Bytes({0x07})}, Bytes({3, 4}), Bytes({0, 0, 0, 0, 0, 0}), 0},
        {0x0099, {}, Bytes({0, 0}), Bytes({0, 0, 0, 0, 0, 0}), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::asprintf("product 0x%04X", c.product).toStdString());
        // The last line is for a product the driver knows nothing of.
        Bench bench({{qex_usb::kDriverName, widget_ids::kWidgetVendorId, 0x0099, &qex_usb::DriverEntry}});
        sim::WidgetConfig config;
        config.productId = c.product;
        config.version = {3, 4};
        config.reply23 = {1, 2, 3, 4, 5, 6};
        config.reply0A = 0x5A;
        auto tap = std::make_shared<TappedDevice>(std::make_shared<TestWidget>(config));
        const auto port = bench.Plug(tap);
        EXPECT_EQ(bench.StateOf(port), DeviceState::Started);

        EXPECT_EQ(tap->OutTransfers(kCommands), c.commands);
        QList<QByteArray> replies;
        for (const UsbEvent& event : tap->Events())
            if (event.kind == UsbEvent::In && event.endpoint == kReplies)
                replies.append(event.data);
        EXPECT_EQ(replies.size(), c.commands.size());

        auto map = OpenMap();
        ASSERT_NE(map, nullptr);
        const WidgetMapSlot slot = ReadMap(*map).slot[0];
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(slot.version), 2), c.version);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(slot.reply23), 6), c.reply23);
        EXPECT_EQ(slot.reply0A, c.reply0A);
    }
}

TEST_F(WidgetDeviceTest, RepliesThatAreNotWhatWasAskedLeaveTheSlotAsItWas)
{
    Bench bench;
    auto widget = MakeWidget(0x0002);
    widget->Answer(0x07, Bytes({0x07, 9}));                // too short
    widget->Answer(0x23, Bytes({0x24, 1, 2, 3, 4, 5, 6})); // another command's reply
    const auto port = bench.Plug(widget);
    EXPECT_EQ(bench.StateOf(port), DeviceState::Started);
    auto map = OpenMap();
    ASSERT_NE(map, nullptr);
    const WidgetMapSlot slot = ReadMap(*map).slot[0];
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(slot.version), 2), Bytes({0, 0}));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(slot.reply23), 6), Bytes({0, 0, 0, 0, 0, 0}));
}

TEST_F(WidgetDeviceTest, AWidgetThatNeverAnswersIsGivenUpOn)
{
    // Only the last query's outcome decides the start.
    struct Case
    {
        quint8 silent;
        DeviceState state;
    };
    for (const Case& c : {Case{0x07, DeviceState::Started}, Case{0x23, DeviceState::StartFailed}}) {
        SCOPED_TRACE(int(c.silent));
        Bench bench;
        auto widget = MakeWidget(0x0002);
        widget->Silence(c.silent);
        const auto port = bench.Plug(widget);
        EXPECT_EQ(bench.StateOf(port), c.state);
        EXPECT_EQ(bench.Bus().PendingTransfers(port), 0);
    }
}

TEST_F(WidgetDeviceTest, SelectConfigurationIsTriedTenTimes)
{
    for (int failures : {9, 10}) {
        SCOPED_TRACE(failures);
        Bench bench;
        const auto port = bench.Plug(
            MakeWidget(), [&](auto port) { bench.Bus().FailNext(port, UsbFault::SelectConfiguration, failures); });
        EXPECT_EQ(bench.StateOf(port), failures < 10 ? DeviceState::Started : DeviceState::StartFailed);
        if (failures == 10) {
            EXPECT_EQ(bench.LastStatusOf(port), STATUS_UNSUCCESSFUL);
            // The failed stack is gone with its names.
            EXPECT_FALSE(NameExists("\\Device\\qex_usb_dev00"));
        }
    }
}

TEST_F(WidgetDeviceTest, AStartWithAConfigurationItCannotUseFails)
{
    struct Case
    {
        const char* what;
        void (TestWidget::*fault)();
    };
    const Case cases[] = {
        {"no interface", &TestWidget::DropInterface},
        // Parsed as it claims, it would be read far past the bytes that came.
        {"a total that grows between its reads", &TestWidget::InflateConfigurationAfterFirstRead},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bench bench;
        auto widget = MakeWidget();
        ((*widget).*c.fault)();
        const auto port = bench.Plug(widget);
        EXPECT_EQ(bench.StateOf(port), DeviceState::StartFailed);
        EXPECT_EQ(bench.LastStatusOf(port), STATUS_UNSUCCESSFUL);
    }
}

TEST_F(WidgetDeviceTest, TheSlotIsFilledFromWhicheverDescriptorReadSucceeds)
{
    for (int failures : {1, 2}) {
        SCOPED_TRACE(failures);
        Bench bench;
        const auto port = bench.Plug(
            MakeWidget(), [&](auto port) { bench.Bus().FailNext(port, UsbFault::DeviceDescriptor, failures); });
        if (failures == 2) {
            EXPECT_EQ(bench.StateOf(port), DeviceState::StartFailed);
            continue;
        }
        // The second read stood in for the first, so the started widget can be found.
        EXPECT_EQ(bench.StateOf(port), DeviceState::Started);
        auto map = OpenMap();
        ASSERT_NE(map, nullptr);
        EXPECT_EQ(ReadMap(*map).slot[0].productId, 0x0002u);
        EXPECT_EQ(ReadMap(*map).slot[0].serialNumber, 1u);
    }
}

TEST_F(WidgetDeviceTest, CapabilitiesSaySurpriseRemovalIsSafeFromVersionOne)
{
    Bench bench;
    const auto port = bench.Plug(MakeWidget());
    PDEVICE_OBJECT pdo = bench.Bus().PhysicalDevice(port);
    DEVICE_CAPABILITIES capabilities;
    EXPECT_EQ(bench.Pnp().QueryCapabilities(pdo, 1, &capabilities), STATUS_SUCCESS);
    EXPECT_EQ(capabilities.SurpriseRemovalOK, 1u);
    EXPECT_EQ(capabilities.Removable, 1u); // the bus's answer came through
    EXPECT_EQ(bench.Pnp().QueryCapabilities(pdo, 0, &capabilities), STATUS_SUCCESS);
    EXPECT_EQ(capabilities.SurpriseRemovalOK, 0u);
    EXPECT_EQ(capabilities.Removable, 1u);
}

TEST_F(WidgetDeviceTest, AStoppedWidgetRefusesIoAndWorksAgainAfterARestart)
{
    Bench bench;
    auto tap = std::make_shared<TappedDevice>(MakeWidget());
    const auto port = bench.Plug(tap);
    auto widget = OpenWidget(0);
    ASSERT_NE(widget, nullptr);
    auto read = widget->DeviceControl(IOCTL_WIDGET_READ_PIPE, U32(5), 64);

    ASSERT_EQ(bench.Pnp().StopDevice(bench.Bus().PhysicalDevice(port)), STATUS_SUCCESS);
    // The read in progress ended with the pipes; nothing new gets through.
    ASSERT_TRUE(read->Wait(kCompletes));
    EXPECT_EQ(read->Status(), STATUS_CANCELLED);
    EXPECT_EQ(Write(*widget, Pattern(512))->Status(), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(Control(*widget, IOCTL_WIDGET_WRITE_PIPE, U32(4), Bytes({'P', 1}))->Status(), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(Control(*widget, IOCTL_WIDGET_SET_MODE, Bytes({0, 1}), 0)->Status(), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(OpenWidget(0), nullptr); // the handle still open holds the slot anyway

    ASSERT_EQ(bench.Pnp().StartDevice(bench.Bus().PhysicalDevice(port)), STATUS_SUCCESS);
    auto written = Write(*widget, Pattern(512));
    EXPECT_EQ(written->Status(), STATUS_SUCCESS);
    EXPECT_EQ(written->BytesTransferred(), 539u);
    // The handle opened before the stop still owns the slot.
    auto map = OpenMap();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(ReadMap(*map).slot[0].openFlag, 1u);
    EXPECT_EQ(OpenWidget(0), nullptr);
}

// ---- Open and close ----------------------------------------------------------------------------

TEST_F(WidgetDeviceTest, AWidgetOpensForOneHandleAtATime)
{
    Bench bench;
    bench.Plug(MakeWidget());
    auto map = OpenMap();
    ASSERT_NE(map, nullptr);
    const quint32 stamp0 = ReadStamp(*map);

    auto first = OpenWidget(0);
    ASSERT_NE(first, nullptr);
    const quint32 stamp1 = ReadStamp(*map);
    EXPECT_NE(stamp1, stamp0);
    EXPECT_EQ(ReadMap(*map).slot[0].openFlag, 1u);

    platform::io::IoError error;
    EXPECT_EQ(OpenWidget(0, &error), nullptr);
    EXPECT_EQ(error.status, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(ReadStamp(*map), stamp1); // a refused open changes nothing
    EXPECT_EQ(Control(*first, IOCTL_WIDGET_GET_DEVICE_DESCRIPTOR, {}, 18)->BytesTransferred(), 18u);

    first.reset();
    const quint32 stamp2 = ReadStamp(*map);
    EXPECT_NE(stamp2, stamp1);
    EXPECT_EQ(ReadMap(*map).slot[0].openFlag, 0u);
    auto second = OpenWidget(0);
    EXPECT_NE(second, nullptr);
    EXPECT_NE(ReadStamp(*map), stamp2);
}

TEST_F(WidgetDeviceTest, TheStampMovesAtEveryChangeEvenWithinOneTick)
{
    Bench bench;
    bench.Plug(MakeWidget());
    auto map = OpenMap();
    ASSERT_NE(map, nullptr);
    // Virtual time slowed so far that a tick lasts seconds: every change below lands in
    // the same tick, and a reader must still see each one.
    platform::ScopedTimeScale slow(1'000'000);
    std::set<quint32> stamps{ReadStamp(*map)};
    for (int round = 0; round < 5; ++round) {
        auto widget = OpenWidget(0);
        ASSERT_NE(widget, nullptr);
        stamps.insert(ReadStamp(*map));
        widget.reset();
        stamps.insert(ReadStamp(*map));
    }
    EXPECT_EQ(stamps.size(), 11u);
}

TEST_F(WidgetDeviceTest, OpensRacingForOneWidgetLetExactlyOneIn)
{
    Bench bench;
    bench.Plug(MakeWidget());
    for (int round = 0; round < 20; ++round) {
        std::vector<std::unique_ptr<DeviceFile>> handles(4);
        std::vector<std::thread> threads;
        for (auto& handle : handles)
            threads.emplace_back([&handle] { handle = OpenWidget(0); });
        for (auto& thread : threads)
            thread.join();
        EXPECT_EQ(std::count_if(handles.begin(), handles.end(), [](const auto& h) { return h != nullptr; }), 1);
    }
}

TEST_F(WidgetDeviceTest, OpeningTheMapTouchesNoSlot)
{
    Bench bench;
    bench.Plug(MakeWidget());
    auto map = OpenMap();
    ASSERT_NE(map, nullptr);
    const quint32 stamp = ReadStamp(*map);
    auto again = OpenMap();
    ASSERT_NE(again, nullptr);
    again.reset();
    EXPECT_EQ(ReadStamp(*map), stamp);
    EXPECT_EQ(ReadMap(*map).slot[0].openFlag, 0u);
}

} // namespace
