// What a program does with an open widget: descriptors, pipe transfers, reset and abort,
// widget commands and DMX writes, each with the input checks that keep a bad request
// from reaching the widget.

#include "tests/drivers/DriverTestSupport.h"

#include "drivers/components/usb/qex_usb/QexUsb.h"
#include "platform/kernel/Pool.h"
#include "platform/system/Clock.h"
#include "platform/usb/Usb.h"
#include "platform/usb/WidgetIds.h"

#include <QtEndian>

using namespace drivers_test;
using platform::io::DeviceFile;
using platform::usb::UsbFault;

namespace {

constexpr quint8 kCommands = 0x02, kReplies = 0x82, kRdm = 0x05, kRdmReplies = 0x85;

class WidgetIoTest : public DriverTest
{
protected:
    // One started widget of the product, open.
    void Open(quint16 product = 0x0002)
    {
        bench_ = std::make_unique<Bench>();
        widget_ = MakeWidget(product);
        tap_ = std::make_shared<TappedDevice>(widget_);
        port_ = bench_->Plug(tap_);
        file_ = OpenWidget(0);
        ASSERT_NE(file_, nullptr);
        tap_->Clear();
    }
    void TearDown() override
    {
        file_.reset();
        bench_.reset();
        DriverTest::TearDown();
    }

    std::unique_ptr<Bench> bench_;
    std::shared_ptr<TestWidget> widget_;
    std::shared_ptr<TappedDevice> tap_;
    platform::usb::UsbBus::PortId port_ = 0;
    std::unique_ptr<DeviceFile> file_;
};

// ---- Descriptors --------------------------------------------------------------------------

TEST_F(WidgetIoTest, DescriptorControls)
{
    Open();
    auto device = Control(*file_, IOCTL_WIDGET_GET_DEVICE_DESCRIPTOR, {}, 18);
    EXPECT_EQ(device->Status(), STATUS_SUCCESS);
    EXPECT_EQ(device->Output(), widget_->DeviceDescriptor());

    // Too small a buffer is refused before anything is read into it.
    auto small = Control(*file_, IOCTL_WIDGET_GET_DEVICE_DESCRIPTOR, {}, 17);
    EXPECT_EQ(small->Status(), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(small->BytesTransferred(), 0u);

    // A descriptor the widget does not give is an empty answer, not a failure.
    bench_->Bus().FailNext(port_, UsbFault::DeviceDescriptor, 1);
    auto failed = Control(*file_, IOCTL_WIDGET_GET_DEVICE_DESCRIPTOR, {}, 18);
    EXPECT_EQ(failed->Status(), STATUS_SUCCESS);
    EXPECT_EQ(failed->BytesTransferred(), 0u);

    const QByteArray configuration = widget_->ConfigurationDescriptor(0);
    for (int size : {9, int(configuration.size()), int(configuration.size()) + 10}) {
        auto request = Control(*file_, IOCTL_WIDGET_GET_CONFIGURATION_DESCRIPTOR, {}, size);
        EXPECT_EQ(request->Status(), STATUS_SUCCESS);
        EXPECT_EQ(request->Output(), configuration.left(size));
    }
    EXPECT_EQ(Control(*file_, IOCTL_WIDGET_GET_CONFIGURATION_DESCRIPTOR, {}, 0)->Status(), STATUS_INVALID_PARAMETER);

    const QByteArray serialRequest = Bytes({3, 0, 0x09, 0x04});
    auto serial = Control(*file_, IOCTL_WIDGET_GET_STRING_DESCRIPTOR, serialRequest, 64);
    EXPECT_EQ(serial->Status(), STATUS_SUCCESS);
    EXPECT_EQ(serial->Output(), widget_->StringDescriptor(3, 0x0409));
    auto cut = Control(*file_, IOCTL_WIDGET_GET_STRING_DESCRIPTOR, serialRequest, 4);
    EXPECT_EQ(cut->Output(), widget_->StringDescriptor(3, 0x0409).left(4));
    EXPECT_EQ(Control(*file_, IOCTL_WIDGET_GET_STRING_DESCRIPTOR, serialRequest, 0)->Status(),
              STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Control(*file_, IOCTL_WIDGET_GET_STRING_DESCRIPTOR, Bytes({3, 0, 9}), 64)->Status(),
              STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Control(*file_, IOCTL_WIDGET_GET_STRING_DESCRIPTOR, Bytes({77, 0, 9, 4}), 64)->Status(),
              STATUS_UNSUCCESSFUL);
}

// ---- Pipe transfers -----------------------------------------------------------------------

TEST_F(WidgetIoTest, APendingReadCompletesWithThePacketThatArrives)
{
    Open();
    auto read = file_->DeviceControl(IOCTL_WIDGET_READ_PIPE, U32(5), 64);
    EXPECT_FALSE(read->Wait(20));

    // An RDM request with no reply wanted: the widget answers 's' on pipe 5.
    auto write = Control(*file_, IOCTL_WIDGET_WRITE_PIPE, U32(4), Bytes({'P', 0xCC, 0x01}));
    EXPECT_EQ(write->Status(), STATUS_SUCCESS);
    EXPECT_EQ(write->BytesTransferred(), 3u);
    EXPECT_EQ(tap_->OutTransfers(kRdm), QList<QByteArray>{Bytes({'P', 0xCC, 0x01})});

    ASSERT_TRUE(read->Wait(kCompletes));
    EXPECT_EQ(read->Status(), STATUS_SUCCESS);
    EXPECT_EQ(read->BytesTransferred(), 1u);
    EXPECT_EQ(read->Output(), QByteArray("s"));

    // A packet that came first waits for the next read.
    Control(*file_, IOCTL_WIDGET_WRITE_PIPE, U32(0), Bytes({0x07}));
    auto version = Control(*file_, IOCTL_WIDGET_READ_PIPE, U32(1), 64);
    EXPECT_EQ(version->Output(), Bytes({0x07, 1, 0}));
}

TEST_F(WidgetIoTest, PipeTransfersRefuseWhatTheyCannotCarry)
{
    Open();
    struct Case
    {
        const char* what;
        quint32 code;
        QByteArray input;
        int output;
        NTSTATUS status;
    };
    const Case cases[] = {
        {"pipe index past the last", IOCTL_WIDGET_READ_PIPE, U32(6), 64, STATUS_INVALID_PARAMETER},
        {"no pipe index", IOCTL_WIDGET_READ_PIPE, {}, 64, STATUS_INVALID_PARAMETER},
        {"a short pipe index", IOCTL_WIDGET_WRITE_PIPE, Bytes({4, 0}), 64, STATUS_INVALID_PARAMETER},
        {"no buffer", IOCTL_WIDGET_READ_PIPE, U32(5), 0, STATUS_INVALID_PARAMETER},
        {"a write to an IN pipe", IOCTL_WIDGET_WRITE_PIPE, U32(1), 1, STATUS_INVALID_PARAMETER},
        {"a read from an OUT pipe", IOCTL_WIDGET_READ_PIPE, U32(4), 64, STATUS_INVALID_PARAMETER},
        {"more than a transfer holds", IOCTL_WIDGET_READ_PIPE, U32(5), 65536, STATUS_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto request = Control(*file_, c.code, c.input, c.output);
        EXPECT_EQ(request->Status(), c.status);
        EXPECT_EQ(request->BytesTransferred(), 0u);
    }
    EXPECT_TRUE(tap_->Events().isEmpty());
    EXPECT_EQ(bench_->Bus().PendingTransfers(port_), 0);
}

TEST_F(WidgetIoTest, ResetAndAbort)
{
    Open();
    for (ULONG usbdi : {0x600u, 0x100u}) {
        SCOPED_TRACE(usbdi);
        platform::usb::SetUsbdiVersion(usbdi, 0x110);
        auto read = file_->DeviceControl(IOCTL_WIDGET_READ_PIPE, U32(3), 64);
        auto abort = Control(*file_, IOCTL_WIDGET_ABORT_PIPE, U32(3), 0);
        EXPECT_EQ(abort->Status(), STATUS_SUCCESS);
        ASSERT_TRUE(read->Wait(kCompletes));
        EXPECT_EQ(read->Status(), STATUS_CANCELLED);
        EXPECT_EQ(read->BytesTransferred(), 0u);
        EXPECT_EQ(Control(*file_, IOCTL_WIDGET_RESET_PIPE, U32(3), 0)->Status(), STATUS_SUCCESS);
    }
    for (quint32 code : {IOCTL_WIDGET_RESET_PIPE, IOCTL_WIDGET_ABORT_PIPE}) {
        EXPECT_EQ(Control(*file_, code, U32(6), 0)->Status(), STATUS_INVALID_PARAMETER);
        EXPECT_EQ(Control(*file_, code, {}, 0)->Status(), STATUS_INVALID_PARAMETER);
    }
    // No memory for the request: reset and abort both say so.
    for (quint32 code : {IOCTL_WIDGET_RESET_PIPE, IOCTL_WIDGET_ABORT_PIPE}) {
        platform::kernel::FailPoolAllocations(MakePoolTag("Mevs"), 1);
        EXPECT_EQ(Control(*file_, code, U32(1), 0)->Status(), STATUS_INSUFFICIENT_RESOURCES);
    }
}

// ---- Widget commands -------------------------------------------------------------------------

TEST_F(WidgetIoTest, ModeCommandsInBothForms)
{
    struct Case
    {
        quint16 product;
        QByteArray set, get; // what goes on pipe 0
    };
    const Case cases[] = {
        {0x0002, Bytes({0x01, 3}), Bytes({0x02})},
        {0x0011, Bytes({0x01, 1, 3}), Bytes({0x02, 1})},
        {0x001D, Bytes({0x01, 1, 3}), Bytes({0x02, 1})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.product);
        Open(c.product);
        auto set = Control(*file_, IOCTL_WIDGET_SET_MODE, Bytes({1, 3}), 0);
        EXPECT_EQ(set->Status(), STATUS_SUCCESS);
        EXPECT_EQ(widget_->Mode(c.product == 0x0002 ? 0 : 1), 3);

        auto get = Control(*file_, IOCTL_WIDGET_GET_MODE, Bytes({1, 0}), 2);
        EXPECT_EQ(get->Status(), STATUS_SUCCESS);
        EXPECT_EQ(get->BytesTransferred(), 2u);
        EXPECT_EQ(get->Output(), Bytes({1, 3}));
        EXPECT_EQ(tap_->OutTransfers(kCommands), (QList<QByteArray>{c.set, c.get}));

        // Without an output buffer the mode cannot reach the caller, but the command runs.
        auto bare = Control(*file_, IOCTL_WIDGET_GET_MODE, Bytes({1, 0}), 0);
        EXPECT_EQ(bare->Status(), STATUS_SUCCESS);
        EXPECT_EQ(bare->BytesTransferred(), 0u);

        for (quint32 code : {IOCTL_WIDGET_SET_MODE, IOCTL_WIDGET_GET_MODE})
            EXPECT_EQ(Control(*file_, code, Bytes({1}), 2)->Status(), STATUS_INVALID_PARAMETER);
    }
}

TEST_F(WidgetIoTest, ModeRepliesAreChecked)
{
    struct Case
    {
        quint16 product;
        QByteArray reply;
        NTSTATUS status;
        QByteArray record; // what the caller gets back
    };
    const Case cases[] = {
        {0x0011, Bytes({0x02, 2, 7}), STATUS_UNSUCCESSFUL, {}},        // another selector's mode
        {0x0011, Bytes({0x02, 1}), STATUS_UNSUCCESSFUL, {}},           // too short to hold the mode
        {0x0002, Bytes({0x02}), STATUS_UNSUCCESSFUL, {}},              // too short to hold the mode
        {0x0011, Bytes({0x05, 1, 7}), STATUS_SUCCESS, Bytes({1, 9})},  // not a mode reply: as it was
        {0x0002, Bytes({0x02, 7, 0xEE}), STATUS_SUCCESS, Bytes({1, 7})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.toHex().toStdString());
        Open(c.product);
        widget_->Answer(0x02, c.reply);
        auto get = Control(*file_, IOCTL_WIDGET_GET_MODE, Bytes({1, 9}), 2);
        EXPECT_EQ(get->Status(), c.status);
        EXPECT_EQ(get->Output(), c.record);
    }
}

TEST_F(WidgetIoTest, CommandEightIsOneFullPacket)
{
    Open();
    auto request = Control(*file_, IOCTL_WIDGET_SEND_COMMAND_8, {}, 0);
    EXPECT_EQ(request->Status(), STATUS_SUCCESS);
    QByteArray packet(64, '\0');
    packet[0] = 0x08;
    EXPECT_EQ(tap_->OutTransfers(kCommands), QList<QByteArray>{packet});
}

TEST_F(WidgetIoTest, AWidgetThatDoesNotAnswerACommandIsGivenUpOn)
{
    Open();
    widget_->Silence(0x02);
    auto get = Control(*file_, IOCTL_WIDGET_GET_MODE, Bytes({0, 0}), 2);
    EXPECT_EQ(get->Status(), STATUS_UNSUCCESSFUL);
    // Only the command's own read was given up: the program's reader on the pipe stays.
    auto reader = file_->DeviceControl(IOCTL_WIDGET_READ_PIPE, U32(1), 64);
    get = Control(*file_, IOCTL_WIDGET_GET_MODE, Bytes({0, 0}), 2);
    EXPECT_FALSE(reader->IsComplete());
    Control(*file_, IOCTL_WIDGET_WRITE_PIPE, U32(0), Bytes({0x07}));
    ASSERT_TRUE(reader->Wait(kCompletes));
    EXPECT_EQ(reader->Output(), Bytes({0x07, 1, 0}));
}

// ---- DMX writes -------------------------------------------------------------------------------

TEST_F(WidgetIoTest, DmxWritesArePackedForEachProduct)
{
    struct Case
    {
        quint16 product;
        int length;
        quint64 sent;
        int packets;
        int imageBytes; // what reaches the widget
    };
    const Case cases[] = {
        {0x0002, 512, 539, 9, 512},   {0x0002, 600, 539, 9, 512},  {0x0002, 61, 64, 1, 61},
        {0x0002, 1, 4, 1, 1},         {0x0011, 2048, 2081, 33, 2048}, {0x0011, 63, 64, 1, 63},
        {0x0017, 2048, 2081, 33, 2048}, {0x001D, 4096, 4162, 66, 4096}, {0x001D, 5000, 4162, 66, 4096},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::asprintf("product 0x%04X, %d bytes", c.product, c.length).toStdString());
        Open(c.product);
        const QByteArray image = Pattern(c.length, c.product);
        auto write = Write(*file_, image);
        EXPECT_EQ(write->Status(), STATUS_SUCCESS);
        EXPECT_EQ(write->BytesTransferred(), c.sent);
        const QList<QByteArray> transfers = tap_->OutTransfers(kCommands);
        ASSERT_EQ(transfers.size(), 1);
        EXPECT_EQ(transfers[0], DmxPackets(c.product, image.left(c.imageBytes)));
        EXPECT_EQ((transfers[0].size() + 63) / 64, c.packets);
        EXPECT_EQ(widget_->LastFrame(), image.left(c.imageBytes));
    }
}

TEST_F(WidgetIoTest, TheLastPacketOfAFrameOfProduct2)
{
    Open();
    Write(*file_, Pattern(512));
    const QByteArray sent = tap_->OutTransfers(kCommands).value(0);
    ASSERT_EQ(sent.size(), 539);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(sent.mid(k * 64, 3), Bytes({0x30, (k * 61) & 0xFF, (k * 61) >> 8})) << "packet " << k;
    EXPECT_EQ(sent.mid(512, 3), Bytes({0x31, 0xE8, 0x01}));
    EXPECT_EQ(sent.mid(515), Pattern(512).mid(488));
}

TEST_F(WidgetIoTest, DmxWritesRefuseWhatWouldSendTheWrongFrame)
{
    Open();
    struct Case
    {
        const char* what;
        int length;
        qint64 offset;
        NTSTATUS status;
    };
    const Case cases[] = {
        {"at the end of the image", 512, 512, STATUS_END_OF_FILE},
        {"past the end", 16, 100000, STATUS_END_OF_FILE},
        {"inside the image", 100, 61, STATUS_INVALID_PARAMETER},
        {"one byte in", 100, 1, STATUS_INVALID_PARAMETER},
        {"before the image", 100, -1, STATUS_INVALID_PARAMETER},
        {"nothing to write", 0, 0, STATUS_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto write = Write(*file_, Pattern(c.length), c.offset);
        EXPECT_EQ(write->Status(), c.status);
        EXPECT_EQ(write->BytesTransferred(), 0u);
    }
    EXPECT_TRUE(tap_->Events().isEmpty());

    platform::kernel::FailMdlMappings(1);
    EXPECT_EQ(Write(*file_, Pattern(512))->Status(), STATUS_NO_MEMORY);
    EXPECT_TRUE(tap_->Events().isEmpty());
}

TEST_F(WidgetIoTest, AProductTheDriverDoesNotKnowTakesNoWritesOrCommands)
{
    bench_ = std::make_unique<Bench>(
        std::vector<platform::kernel::DriverBinding>{{qex_usb::kDriverName, widget_ids::kWidgetVendorId, 0x0099,
                                                      &qex_usb::DriverEntry}});
    bench_->Plug(MakeWidget(0x0099));
    file_ = OpenWidget(0);
    ASSERT_NE(file_, nullptr);
    EXPECT_EQ(Write(*file_, Pattern(512))->Status(), STATUS_INVALID_PARAMETER);
    for (quint32 code : {IOCTL_WIDGET_SET_MODE, IOCTL_WIDGET_GET_MODE, IOCTL_WIDGET_SEND_COMMAND_8})
        EXPECT_EQ(Control(*file_, code, Bytes({0, 1}), 2)->Status(), STATUS_INVALID_PARAMETER);
    // Its pipes still work.
    EXPECT_EQ(Control(*file_, IOCTL_WIDGET_WRITE_PIPE, U32(4), Bytes({'P', 1}))->Status(), STATUS_SUCCESS);
}

TEST_F(WidgetIoTest, WritesAndCommandsFromSeveralThreadsDoNotMixTheirPackets)
{
    Open();
    // Writes wait for the one in flight: none is lost, and each frame arrives whole.
    bench_->Bus().HoldOutTransfers(port_, kCommands, true);
    std::vector<std::shared_ptr<platform::io::IoRequest>> writes;
    std::vector<std::thread> threads;
    std::mutex mutex;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            auto request = file_->Write(Pattern(512, i));
            std::lock_guard lock(mutex);
            writes.push_back(request);
        });
    std::thread mode([&] { Control(*file_, IOCTL_WIDGET_SET_MODE, Bytes({0, 3}), 0); });
    platform::Clock::SleepMs(20);
    bench_->Bus().HoldOutTransfers(port_, kCommands, false);
    for (auto& thread : threads)
        thread.join();
    mode.join();
    for (const auto& write : writes) {
        ASSERT_TRUE(write->Wait(kCompletes));
        EXPECT_EQ(write->Status(), STATUS_SUCCESS);
    }
    QList<QByteArray> frames;
    for (const QByteArray& transfer : tap_->OutTransfers(kCommands))
        if (transfer.size() == 539)
            frames.append(transfer);
    ASSERT_EQ(frames.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(frames.contains(DmxPackets(0x0002, Pattern(512, i)))) << i;
    EXPECT_EQ(widget_->Mode(0), 3);
}

} // namespace
