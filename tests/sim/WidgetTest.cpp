#include "platform/kernel/PnpManager.h"
#include "platform/usb/UsbBus.h"
#include "sim/widget/ProgrammedWidget.h"
#include "sim/widget/UnprogrammedWidget.h"
#include "tests/platform/kernel/KernelTestSupport.h"
#include "tests/sim/ScriptedFixture.h"
#include "tests/sim/WidgetBytes.h"
#include "tests/sim/WidgetHost.h"
#include "tools/widget_firmware/WidgetFirmware.h"

#include <QtEndian>

using namespace platform::usb;
using platform::kernel::PnpManager;

namespace {

constexpr quint8 kCommands = 0x02, kCommandReplies = 0x82, kDmxInput = 0x84, kRdm = 0x05, kRdmReplies = 0x85;

class WidgetTest : public KernelTest
{
protected:
    void SetUp() override
    {
        KernelTest::SetUp();
        pnp_ = std::make_unique<PnpManager>(std::vector<platform::kernel::DriverBinding>{});
        bus_ = std::make_unique<UsbBus>(*pnp_);
        line_ = std::make_shared<sim::DmxLine>();
        fixture_ = std::make_shared<ScriptedFixture>();
        line_->Attach(fixture_);
    }
    void TearDown() override
    {
        host_.reset();
        bus_.reset();
        pnp_.reset();
        EXPECT_TRUE(fixture_->Unexpected().isEmpty());
        EXPECT_TRUE(fixture_->ScriptUsedUp());
        KernelTest::TearDown();
    }

    std::shared_ptr<sim::ProgrammedWidget> Plug(sim::WidgetConfig config = {})
    {
        auto widget = std::make_shared<sim::ProgrammedWidget>(config, line_);
        port_ = bus_->Attach(widget);
        EXPECT_TRUE(pnp_->WaitUntilIdle());
        host_ = std::make_unique<WidgetHost>(bus_->PhysicalDevice(port_));
        EXPECT_EQ(host_->Configure(), Bytes({0x02, 0x82, 0x04, 0x84, 0x05, 0x85}));
        return widget;
    }

    // One RDM message on pipe 4 and the reply packets it brings on pipe 5.
    QList<QByteArray> Rdm(const QByteArray& message)
    {
        EXPECT_EQ(host_->Write(kRdm, message), STATUS_SUCCESS);
        QList<QByteArray> replies;
        for (QByteArray reply; !(reply = host_->Read(kRdmReplies, 0)).isEmpty();)
            replies << reply;
        return replies;
    }

    std::unique_ptr<PnpManager> pnp_;
    std::unique_ptr<UsbBus> bus_;
    std::shared_ptr<sim::DmxLine> line_;
    std::shared_ptr<ScriptedFixture> fixture_;
    UsbBus::PortId port_ = 0;
    std::unique_ptr<WidgetHost> host_;
};

TEST_F(WidgetTest, TheProgrammedWidgetDescribesItself)
{
    sim::WidgetConfig config;
    config.serial = "0042A";
    Plug(config);
    const QByteArray device = host_->Descriptor(USB_DEVICE_DESCRIPTOR_TYPE, 0);
    ASSERT_EQ(device.size(), 18);
    const auto* d = reinterpret_cast<const USB_DEVICE_DESCRIPTOR*>(device.constData());
    EXPECT_EQ(d->idVendor, widget_ids::kWidgetVendorId);
    EXPECT_EQ(d->idProduct, 0x0002);
    ASSERT_NE(d->iSerialNumber, 0);
    // Whatever language is asked, the serial number comes in UTF-16.
    EXPECT_EQ(host_->Descriptor(USB_STRING_DESCRIPTOR_TYPE, d->iSerialNumber, 9),
              Bytes({12, 3, '0', 0, '0', 0, '4', 0, '2', 0, 'A', 0}));
}

TEST_F(WidgetTest, StartUpQueriesAreAlwaysAnsweredAndNothingComesOnTheDmxInputPipe)
{
    sim::WidgetConfig config;
    config.version = {3, 14};
    config.reply23 = {1, 2, 3, 4, 5, 6};
    config.reply0A = 0x5A;
    Plug(config);
    const struct
    {
        QByteArray query;
        QByteArray reply;
    } cases[] = {
        {Bytes({0x07}), Bytes({0x07, 3, 14})},
        {Bytes({0x23}), Bytes({0x23, 1, 2, 3, 4, 5, 6})},
        {Bytes({0x0A}), Bytes({0x0A, 0x5A})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(host_->Write(kCommands, c.query), STATUS_SUCCESS);
        EXPECT_EQ(host_->Read(kCommandReplies, 0), c.reply);
    }
    EXPECT_EQ(host_->Write(kCommands, Bytes({0x08}) + QByteArray(63, '\0')), STATUS_SUCCESS);
    EXPECT_TRUE(host_->Read(kCommandReplies, 10).isEmpty());
    EXPECT_TRUE(host_->Read(kDmxInput, 10).isEmpty());
}

TEST_F(WidgetTest, TheModeIsSetAndReadInTheProductsForm)
{
    auto single = Plug();
    host_->Write(kCommands, Bytes({0x01, 3}));
    host_->Write(kCommands, Bytes({0x02}));
    EXPECT_EQ(host_->Read(kCommandReplies, 0), Bytes({0x02, 3}));
    EXPECT_EQ(single->Mode(), 3);

    bus_->Detach(port_);
    sim::WidgetConfig config;
    config.productId = 0x0011;
    auto selector = Plug(config);
    host_->Write(kCommands, Bytes({0x01, 1, 5}));
    host_->Write(kCommands, Bytes({0x02, 1}));
    EXPECT_EQ(host_->Read(kCommandReplies, 0), Bytes({0x02, 1, 5}));
    host_->Write(kCommands, Bytes({0x02, 2}));
    EXPECT_EQ(host_->Read(kCommandReplies, 0), Bytes({0x02, 2, 0}));
    EXPECT_EQ(selector->Mode(1), 5);
}

TEST_F(WidgetTest, A512ByteImageInProduct0002PacketsBecomesOneFrameOnTheLine)
{
    auto widget = Plug();
    const QByteArray image = Pattern(512);
    const QByteArray transfer = DmxPackets(0x0002, image);
    ASSERT_EQ(transfer.size(), 539);
    EXPECT_EQ(host_->Write(kCommands, transfer), STATUS_SUCCESS);
    EXPECT_EQ(widget->FramesAssembled(), 1);
    EXPECT_EQ(line_->CurrentFrame(), image);
    EXPECT_EQ(fixture_->Frames(), QList<QByteArray>({image}));

    // The next image replaces it whole.
    host_->Write(kCommands, DmxPackets(0x0002, Pattern(512, 3)));
    EXPECT_EQ(line_->CurrentFrame(), Pattern(512, 3));
}

TEST_F(WidgetTest, OtherProductsReassembleTheirLargerImages)
{
    sim::WidgetConfig config;
    config.productId = 0x0011;
    auto widget = Plug(config);
    const QByteArray image = Pattern(2048);
    const QByteArray transfer = DmxPackets(0x0011, image);
    ASSERT_EQ(transfer.size(), 2081);
    host_->Write(kCommands, transfer);
    EXPECT_EQ(widget->LastFrame(), image);
    EXPECT_EQ(line_->CurrentFrame(), image.left(512));

    // A short image is one packet with the first header; its transfer ends the frame.
    host_->Write(kCommands, DmxPackets(0x0011, Pattern(63, 1)));
    EXPECT_EQ(widget->LastFrame(), Pattern(63, 1));
    EXPECT_EQ(widget->FramesAssembled(), 2);
}

TEST_F(WidgetTest, RdmMessagesGetExactlyOneReplyEach)
{
    auto widget = Plug();
    const QByteArray request = Pattern(26, 5);
    const QByteArray answer = Pattern(26, 9);

    // No reply wanted: the request goes on the line and 's' comes back.
    fixture_->Expect(request, {});
    EXPECT_EQ(Rdm("P" + request), QList<QByteArray>({"s"}));
    EXPECT_EQ(widget->LineRequests().last(), request);

    // A 64-byte request in chunks, then sent.
    const QByteArray longRequest = Pattern(64, 2);
    fixture_->Expect(longRequest, {});
    EXPECT_TRUE(Rdm(Bytes({'R', 0, 0}) + longRequest.left(61)).isEmpty());
    EXPECT_TRUE(Rdm(Bytes({'R', 61, 0}) + longRequest.mid(61)).isEmpty());
    EXPECT_EQ(Rdm(Bytes({'S', 64, 0})), QList<QByteArray>({"s"}));
    EXPECT_EQ(widget->LineRequests().last(), longRequest);

    // A reply wanted: the answer, the silence, or the answer cut to what is accepted.
    fixture_->Expect(request, answer);
    EXPECT_EQ(Rdm(Bytes({'Q', 100, 0}) + request), QList<QByteArray>({"p" + answer}));
    fixture_->Expect(request, {});
    EXPECT_EQ(Rdm(Bytes({'Q', 100, 0}) + request), QList<QByteArray>({"r"}));
    fixture_->Expect(request, answer);
    EXPECT_EQ(Rdm(Bytes({'Q', 10, 0}) + request), QList<QByteArray>({"p" + answer.left(10)}));
    EXPECT_EQ(Rdm(Bytes({0x60})), QList<QByteArray>({Bytes({0x60})}));
    EXPECT_EQ(widget->LineRequests().size(), 5);
    EXPECT_EQ(widget->LineRequestCount(), 5u);
    EXPECT_EQ(widget->LineRequestsSince(4), QList<QByteArray>{request});
}

TEST_F(WidgetTest, ALongRequestsLongAnswerComesBackAsTAndU)
{
    Plug();
    const QByteArray request = Pattern(62, 4);
    const QByteArray answer = Pattern(100, 8);
    fixture_->Expect(request, answer);
    // The chunks are stored without a reply; the closing 'T' brings the answer in two.
    EXPECT_TRUE(Rdm(Bytes({'R', 0, 0}) + request.left(61)).isEmpty());
    EXPECT_TRUE(Rdm(Bytes({'R', 61, 0}) + request.mid(61)).isEmpty());
    const QList<QByteArray> replies = Rdm(Bytes({'T', 62, 0, 0, 2}));
    ASSERT_EQ(replies.size(), 2);
    EXPECT_EQ(replies[0], Bytes({'t', 100, 0}) + answer.left(61));
    EXPECT_EQ(replies[1], "u" + answer.mid(61));
}

TEST_F(WidgetTest, OverlappingAnswersComeBackGarbled)
{
    Plug();
    auto other = std::make_shared<ScriptedFixture>();
    line_->Attach(other);
    const QByteArray request = Pattern(26, 5);
    fixture_->Expect(request, Pattern(30, 1));
    other->Expect(request, Pattern(30, 2));
    const QList<QByteArray> replies = Rdm(Bytes({'Q', 100, 0}) + request);
    ASSERT_EQ(replies.size(), 1);
    EXPECT_EQ(replies[0].size(), 31);
    EXPECT_EQ(replies[0][0], 'p');
    EXPECT_NE(replies[0].mid(1), Pattern(30, 1));
}

// Writes the firmware image as the loader does: hold the CPU, write each data record at
// or below 0x1B3F, release. `skip` leaves records out.
void Download(WidgetHost& host, int skip = 0)
{
    EXPECT_EQ(host.VendorWrite(0xA0, 0x7F92, Bytes({1})), STATUS_SUCCESS);
    for (std::size_t i = 0; i < kWidgetFirmwareRecordCount && kWidgetFirmwareImage[i].Type == 0; ++i) {
        const WidgetFirmwareRecord& record = kWidgetFirmwareImage[i];
        if (record.Address > 0x1B3F || int(i) < skip)
            continue;
        EXPECT_EQ(host.VendorWrite(0xA0, record.Address,
                                   QByteArray(reinterpret_cast<const char*>(record.Data), record.Length)),
                  STATUS_SUCCESS);
    }
    EXPECT_EQ(host.VendorWrite(0xA0, 0x7F92, Bytes({0})), STATUS_SUCCESS);
}

TEST_F(WidgetTest, TheUnprogrammedWidgetComesBackProgrammedOnceReleasedWithTheFirmware)
{
    sim::WidgetConfig config;
    config.serial = "77";
    auto bare = std::make_shared<sim::UnprogrammedWidget>(config, line_);
    port_ = bus_->Attach(bare);
    ASSERT_TRUE(pnp_->WaitUntilIdle());
    ASSERT_EQ(pnp_->Devices().at(0).vendorId, widget_ids::kUnprogrammedVendorId);
    WidgetHost host(bus_->PhysicalDevice(port_));
    Download(host);
    ASSERT_TRUE(pnp_->WaitUntilIdle());

    auto programmed = std::dynamic_pointer_cast<sim::ProgrammedWidget>(bus_->Device(port_));
    ASSERT_TRUE(programmed);
    EXPECT_EQ(programmed->Config().serial, "77");
    EXPECT_EQ(programmed->Line(), line_);
    const auto devices = pnp_->Devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].vendorId, widget_ids::kWidgetVendorId);
    EXPECT_EQ(devices[0].productId, widget_ids::kWidgetProductId);
    // The old device is gone for good.
    EXPECT_TRUE(host.Descriptor(USB_DEVICE_DESCRIPTOR_TYPE, 0).isEmpty());
}

TEST_F(WidgetTest, APartialDownloadLeavesTheWidgetUnprogrammed)
{
    auto bare = std::make_shared<sim::UnprogrammedWidget>(sim::WidgetConfig{}, line_);
    port_ = bus_->Attach(bare);
    ASSERT_TRUE(pnp_->WaitUntilIdle());
    WidgetHost host(bus_->PhysicalDevice(port_));
    Download(host, 1);
    ASSERT_TRUE(pnp_->WaitUntilIdle());
    EXPECT_EQ(bus_->Device(port_), bare);
    EXPECT_EQ(bare->Releases(), 1);
    EXPECT_FALSE(bare->HeldInReset());
    // Other requests than the firmware load stall.
    EXPECT_EQ(host.VendorWrite(0xA1, 0, Bytes({1})), STATUS_UNSUCCESSFUL);
}

} // namespace
