// The drivers in the machine the program runs on: a rig's unprogrammed widget is loaded
// by qex_dmx, comes back programmed, and is served by qex_usb to a program that finds it
// through the device map.

#include "tests/drivers/DriverTestSupport.h"

#include "machine/Machine.h"
#include "platform/kernel/ObjectNamespace.h"
#include "platform/usb/WidgetIds.h"

#include <QtEndian>

using namespace drivers_test;
using machine::Machine;
using machine::MachineOptions;

namespace {

const char kRig[] = R"({"widgets": [{"kind": "unprogrammed", "productId": "0x0002", "serial": "00421907",
                                      "version": [1, 4], "reply23": [0, 1, 2, 3, 4, 5], "fixtures": []}]})";

class EndToEndTest : public DriverTest
{
protected:
    void Boot()
    {
        MachineOptions options;
        QString error;
        options.rig = sim::ParseRig(kRig, options.fixtureKinds, &error);
        ASSERT_TRUE(options.rig) << error.toStdString();
        machine_ = Machine::Boot(std::move(options), &error);
        ASSERT_TRUE(machine_) << error.toStdString();
    }
    void TearDown() override
    {
        machine_.reset();
        EXPECT_TRUE(platform::kernel::ObjectNames().empty());
        DriverTest::TearDown();
    }

    std::unique_ptr<Machine> machine_;
};

// The slot of the first widget with the maker's vendor id and the programmed product, as
// the program looks for it: header first, then as many records as it announces.
int FindWidget(platform::io::DeviceFile& map)
{
    auto header = Control(map, IOCTL_WIDGET_GET_MAP_HEADER, {}, sizeof(WidgetMapHeader));
    const quint32 recordSize = qFromLittleEndian<quint32>(header->Output().constData() + 4);
    const quint32 recordCount = qFromLittleEndian<quint32>(header->Output().constData() + 8);
    auto records = Control(map, IOCTL_WIDGET_GET_MAP, {}, int(recordSize * recordCount));
    const QByteArray table = records->Output();
    for (quint32 i = 0; i < recordCount; ++i) {
        const char* record = table.constData() + i * recordSize;
        if (qFromLittleEndian<quint32>(record) == widget_ids::kWidgetVendorId &&
            qFromLittleEndian<quint32>(record + 4) == widget_ids::kWidgetProductId)
            return int(i);
    }
    return -1;
}

TEST_F(EndToEndTest, TheRigsUnprogrammedWidgetEndsServedByTheUsbDriver)
{
    Boot();
    const Machine::Widget widget = machine_->Widgets().at(0);
    auto programmed = std::dynamic_pointer_cast<sim::ProgrammedWidget>(machine_->DeviceOf(widget));
    ASSERT_NE(programmed, nullptr);

    auto map = OpenMap();
    ASSERT_NE(map, nullptr);
    const int slot = FindWidget(*map);
    ASSERT_EQ(slot, 0);
    const WidgetMapSlot record = ReadMap(*map).slot[slot];
    EXPECT_EQ(record.serialNumber, 421907u);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(record.version), 2), Bytes({1, 4}));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(record.reply23), 6), Bytes({0, 1, 2, 3, 4, 5}));
    map.reset();

    auto file = OpenWidget(slot);
    ASSERT_NE(file, nullptr);
    auto reply = file->DeviceControl(IOCTL_WIDGET_READ_PIPE, U32(1), 64);
    EXPECT_EQ(Control(*file, IOCTL_WIDGET_WRITE_PIPE, U32(0), Bytes({0x07}))->Status(), STATUS_SUCCESS);
    ASSERT_TRUE(reply->Wait(kCompletes));
    EXPECT_EQ(reply->Output(), Bytes({0x07, 1, 4}));

    const QByteArray frame = Pattern(512, 3);
    auto written = Write(*file, frame);
    EXPECT_EQ(written->Status(), STATUS_SUCCESS);
    EXPECT_EQ(written->BytesTransferred(), 539u);
    EXPECT_EQ(programmed->LastFrame(), frame);

    // A second widget plugged in later gets the next number.
    sim::WidgetSpec second;
    second.config.serial = "77";
    ASSERT_TRUE(machine_->PlugWidget(second));
    EXPECT_NE(OpenWidget(1), nullptr);

    // Unplugged, the first widget's devices go and its handle is refused.
    machine_->Unplug(widget.port);
    EXPECT_EQ(Write(*file, frame)->Status(), STATUS_DELETE_PENDING);
    EXPECT_EQ(OpenWidget(0), nullptr);
}

} // namespace
