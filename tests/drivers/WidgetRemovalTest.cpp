// Removal of a widget while the program still uses it: what is in flight ends, the driver
// waits for it before it frees anything, and what comes later is refused.

#include "tests/drivers/DriverTestSupport.h"

#include "platform/kernel/ObjectNamespace.h"

using namespace drivers_test;
using platform::io::DeviceFile;

namespace {

constexpr quint8 kCommands = 0x02;

class WidgetRemovalTest : public DriverTest
{
};

TEST_F(WidgetRemovalTest, RemovalEndsWhatIsInFlightWaitsForItAndThenDeletesTheDevice)
{
    Bench bench;
    const auto port = bench.Plug(MakeWidget(0x0002, "7"));
    const auto other = bench.Plug(MakeWidget(0x0002, "8")); // keeps the map alive to look at
    auto file = OpenWidget(0);
    ASSERT_NE(file, nullptr);

    bench.Bus().HoldOutTransfers(port, kCommands, true);
    auto write = file->Write(Pattern(512));
    std::vector<std::shared_ptr<platform::io::IoRequest>> reads;
    for (quint32 pipe : {1u, 3u, 5u})
        reads.push_back(file->DeviceControl(IOCTL_WIDGET_READ_PIPE, U32(pipe), 64));
    EXPECT_EQ(bench.Bus().PendingTransfers(port), 4);
    EXPECT_FALSE(write->IsComplete());

    // The PnP manager removes the widget while it is still plugged in.
    EXPECT_EQ(bench.SendPnp(port, IRP_MN_REMOVE_DEVICE), STATUS_SUCCESS);

    // Everything had ended before the removal was done with the device.
    ASSERT_TRUE(write->IsComplete());
    EXPECT_EQ(write->Status(), STATUS_CANCELLED);
    EXPECT_EQ(write->BytesTransferred(), 0u);
    for (const auto& read : reads) {
        ASSERT_TRUE(read->IsComplete());
        EXPECT_EQ(read->Status(), STATUS_CANCELLED);
    }
    EXPECT_FALSE(platform::kernel::ObjectNameExists(L"\\Device\\qex_usb_dev00"));
    EXPECT_FALSE(platform::kernel::ObjectNameExists(L"\\DosDevices\\ezusb-0"));

    auto map = OpenMap();
    ASSERT_NE(map, nullptr);
    const WidgetDeviceMap table = ReadMap(*map);
    const WidgetMapSlot zero{};
    EXPECT_EQ(std::memcmp(&table.slot[0], &zero, sizeof zero), 0);
    EXPECT_EQ(table.slot[1].serialNumber, 8u);

    // The handle outlives its widget; whatever it asks now is refused.
    EXPECT_EQ(Write(*file, Pattern(512))->Status(), STATUS_DELETE_PENDING);
    EXPECT_EQ(Control(*file, IOCTL_WIDGET_READ_PIPE, U32(5), 64)->Status(), STATUS_DELETE_PENDING);
    EXPECT_EQ(Control(*file, IOCTL_WIDGET_GET_MAP_HEADER, {}, 12)->Status(), STATUS_DELETE_PENDING);
    file.reset();
    bench.Bus().HoldOutTransfers(port, kCommands, false);
    bench.Unplug(port);
    bench.Unplug(other);
}

TEST_F(WidgetRemovalTest, UnpluggingEndsTheProgramsRequests)
{
    Bench bench;
    const auto port = bench.Plug(MakeWidget());
    auto file = OpenWidget(0);
    ASSERT_NE(file, nullptr);
    auto read = file->DeviceControl(IOCTL_WIDGET_READ_PIPE, U32(5), 64);
    bench.Unplug(port);
    ASSERT_TRUE(read->Wait(kCompletes));
    EXPECT_NE(read->Status(), STATUS_SUCCESS);
    EXPECT_EQ(Write(*file, Pattern(512))->Status(), STATUS_DELETE_PENDING);
    EXPECT_EQ(OpenMap(), nullptr);
}

TEST_F(WidgetRemovalTest, AHandleThatOutlivesItsWidgetLeavesTheNextOneAlone)
{
    Bench bench;
    const auto first = bench.Plug(MakeWidget(0x0002, "1"));
    auto stale = OpenWidget(0);
    ASSERT_NE(stale, nullptr);
    bench.Unplug(first);

    // The next widget gets the same number, and its own handle.
    const auto second = bench.Plug(MakeWidget(0x0002, "2"));
    auto fresh = OpenWidget(0);
    ASSERT_NE(fresh, nullptr);
    stale.reset();
    auto map = OpenMap();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(ReadMap(*map).slot[0].serialNumber, 2u);
    EXPECT_EQ(ReadMap(*map).slot[0].openFlag, 1u);
    EXPECT_EQ(OpenWidget(0), nullptr);
    fresh.reset();
    bench.Unplug(second);
}

TEST_F(WidgetRemovalTest, AWidgetThatFailsToStartIsRemovedCleanly)
{
    Bench bench;
    auto widget = MakeWidget();
    widget->Silence(0x23);
    const auto port = bench.Plug(widget);
    EXPECT_EQ(bench.StateOf(port), platform::kernel::DeviceState::StartFailed);
    // Its names and its slot went with it; the pool check of the fixture sees the rest.
    EXPECT_FALSE(platform::kernel::ObjectNameExists(L"\\Device\\qex_usb_dev00"));
    EXPECT_FALSE(platform::kernel::ObjectNameExists(L"\\Device\\qex_usb_map"));
    const auto next = bench.Plug(MakeWidget());
    auto map = OpenMap();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(ReadMap(*map).slot[0].productId, 0x0002u);
    EXPECT_NE(OpenWidget(0), nullptr);
    bench.Unplug(next);
}

} // namespace
