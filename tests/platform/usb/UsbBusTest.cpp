#include "platform/kernel/PnpManager.h"
#include "platform/usb/UsbBus.h"
#include "tests/platform/kernel/KernelTestSupport.h"
#include "tests/platform/usb/TestDevice.h"
#include "tests/platform/usb/UrbClient.h"

#include <atomic>
#include <chrono>
#include <thread>


using namespace platform::usb;
using platform::kernel::PnpManager;

namespace {

class UsbBusTest : public KernelTest
{
protected:
    void SetUp() override
    {
        KernelTest::SetUp();
        pnp_ = std::make_unique<PnpManager>(std::vector<platform::kernel::DriverBinding>{});
        bus_ = std::make_unique<UsbBus>(*pnp_);
        device_ = std::make_shared<TestDevice>();
        port_ = bus_->Attach(device_);
        ASSERT_TRUE(pnp_->WaitUntilIdle());
        pdo_ = bus_->PhysicalDevice(port_);
        ASSERT_NE(pdo_, nullptr);
        // Held by the test, so that requests after a removal still have a device object.
        ObReferenceObject(pdo_);
    }
    void TearDown() override
    {
        bus_.reset();
        pnp_.reset();
        ObDereferenceObject(pdo_);
        KernelTest::TearDown();
    }

    // Reads the configuration, selects it and returns its pipes (0x01, 0x81, 0x83).
    std::vector<USBD_PIPE_INFORMATION> Configure()
    {
        UCHAR buffer[256];
        URB urb = DescriptorUrb(USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 0, buffer, sizeof buffer);
        EXPECT_EQ(SubmitUrb(pdo_, urb), STATUS_SUCCESS);
        auto* configuration = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(buffer);
        USBD_INTERFACE_LIST_ENTRY list[2] = {
            {USBD_ParseConfigurationDescriptorEx(configuration, configuration, -1, -1, -1, -1, -1), nullptr},
            {nullptr, nullptr}};
        PURB select = USBD_CreateConfigurationRequestEx(configuration, list);
        EXPECT_NE(select, nullptr);
        for (ULONG i = 0; i < list[0].Interface->NumberOfPipes; ++i)
            list[0].Interface->Pipes[i].MaximumTransferSize = 65535;
        EXPECT_EQ(SubmitUrbInPlace(pdo_, select), STATUS_SUCCESS);
        std::vector<USBD_PIPE_INFORMATION> pipes(list[0].Interface->Pipes,
                                                 list[0].Interface->Pipes + list[0].Interface->NumberOfPipes);
        ExFreePool(select);
        return pipes;
    }

    std::unique_ptr<PnpManager> pnp_;
    std::unique_ptr<UsbBus> bus_;
    std::shared_ptr<TestDevice> device_;
    UsbBus::PortId port_ = 0;
    PDEVICE_OBJECT pdo_ = nullptr;
};

TEST_F(UsbBusTest, DescriptorsComeFromTheDeviceAsFarAsTheBufferHolds)
{
    UCHAR buffer[64];
    URB urb = DescriptorUrb(USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, buffer, 8);
    ASSERT_EQ(SubmitUrb(pdo_, urb), STATUS_SUCCESS);
    EXPECT_EQ(urb.UrbControlDescriptorRequest.TransferBufferLength, 8u);
    EXPECT_EQ(urb.UrbHeader.Status, USBD_STATUS_SUCCESS);

    urb = DescriptorUrb(USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, buffer, sizeof buffer);
    ASSERT_EQ(SubmitUrb(pdo_, urb), STATUS_SUCCESS);
    ASSERT_EQ(urb.UrbControlDescriptorRequest.TransferBufferLength, 18u);
    const auto* device = reinterpret_cast<const USB_DEVICE_DESCRIPTOR*>(buffer);
    EXPECT_EQ(device->idVendor, TestDevice::kVendor);
    EXPECT_EQ(device->idProduct, TestDevice::kProduct);

    // The language id is the device's business: whatever is asked reaches it.
    for (USHORT language : {USHORT(9), USHORT(0x0409)}) {
        urb = DescriptorUrb(USB_STRING_DESCRIPTOR_TYPE, 2, language, buffer, sizeof buffer);
        ASSERT_EQ(SubmitUrb(pdo_, urb), STATUS_SUCCESS);
        EXPECT_EQ(urb.UrbControlDescriptorRequest.TransferBufferLength, 12u);
        EXPECT_EQ(buffer[2], '0');
        EXPECT_EQ(buffer[8], '2');
    }
    EXPECT_EQ(device_->languagesAsked, QList<quint16>({9, 0x0409}));

    urb = DescriptorUrb(USB_STRING_DESCRIPTOR_TYPE, 7, 9, buffer, sizeof buffer);
    EXPECT_EQ(SubmitUrb(pdo_, urb), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(urb.UrbHeader.Status, USBD_STATUS_STALL_PID);
}

TEST_F(UsbBusTest, SelectingTheConfigurationFillsInThePipes)
{
    const auto pipes = Configure();
    ASSERT_EQ(pipes.size(), 3u);
    const UCHAR addresses[] = {0x01, 0x81, 0x83};
    const USBD_PIPE_TYPE types[] = {UsbdPipeTypeBulk, UsbdPipeTypeBulk, UsbdPipeTypeInterrupt};
    for (size_t i = 0; i < pipes.size(); ++i) {
        EXPECT_EQ(pipes[i].EndpointAddress, addresses[i]);
        EXPECT_EQ(pipes[i].PipeType, types[i]);
        EXPECT_EQ(pipes[i].MaximumPacketSize, 64);
        EXPECT_EQ(pipes[i].MaximumTransferSize, 65535u);
        EXPECT_NE(pipes[i].PipeHandle, nullptr);
    }
    EXPECT_EQ(device_->configuration, 1);
}

TEST_F(UsbBusTest, InjectedSelectConfigurationFailuresFailTheFirstAttempts)
{
    bus_->FailNext(port_, UsbFault::SelectConfiguration, 2);
    UCHAR buffer[256];
    URB read = DescriptorUrb(USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 0, buffer, sizeof buffer);
    ASSERT_EQ(SubmitUrb(pdo_, read), STATUS_SUCCESS);
    auto* configuration = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(buffer);
    USBD_INTERFACE_LIST_ENTRY list[2] = {
        {USBD_ParseConfigurationDescriptorEx(configuration, configuration, 0, 0, -1, -1, -1), nullptr}, {nullptr, nullptr}};
    PURB select = USBD_CreateConfigurationRequestEx(configuration, list);
    ASSERT_NE(select, nullptr);
    std::vector<NTSTATUS> results;
    for (int attempt = 0; attempt < 3; ++attempt) {
        results.push_back(SubmitUrbInPlace(pdo_, select));
        EXPECT_EQ(select->UrbHeader.Status, attempt < 2 ? USBD_STATUS_REQUEST_FAILED : USBD_STATUS_SUCCESS);
    }
    ExFreePool(select);
    EXPECT_EQ(results, (std::vector<NTSTATUS>{STATUS_UNSUCCESSFUL, STATUS_UNSUCCESSFUL, STATUS_SUCCESS}));
}

TEST_F(UsbBusTest, AnOutTransferReachesTheDeviceAndItsReplyIsDeliveredFirst)
{
    const auto pipes = Configure();
    char in[64];
    SubmittedUrb read(pdo_, TransferUrb(pipes[1].PipeHandle, in, sizeof in, USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK));
    EXPECT_EQ(read.Returned(), STATUS_PENDING);
    EXPECT_FALSE(read.Wait(10));

    char out[] = "abc";
    URB write = TransferUrb(pipes[0].PipeHandle, out, 3);
    SubmittedUrb written(pdo_, write);
    // The reply was delivered before the write completed.
    EXPECT_EQ(written.Returned(), STATUS_SUCCESS);
    ASSERT_TRUE(read.Wait(0));
    EXPECT_EQ(read.Status(), STATUS_SUCCESS);
    EXPECT_EQ(read.Urb().UrbBulkOrInterruptTransfer.TransferBufferLength, 3u);
    EXPECT_EQ(QByteArray(in, 3), QByteArray("cba"));
    EXPECT_EQ(device_->received, QList<QByteArray>({"abc"}));
}

TEST_F(UsbBusTest, SeveralReadsWaitOnAPipeAndTakeOnePacketEachInOrder)
{
    const auto pipes = Configure();
    char buffers[3][64];
    std::vector<std::unique_ptr<SubmittedUrb>> reads;
    for (auto& buffer : buffers)
        reads.push_back(std::make_unique<SubmittedUrb>(
            pdo_, TransferUrb(pipes[1].PipeHandle, buffer, sizeof buffer, USBD_TRANSFER_DIRECTION_IN)));
    EXPECT_EQ(bus_->PendingTransfers(port_), 3);
    device_->Send(0x81, "one");
    device_->Send(0x81, QByteArray(64, 'x'));
    ASSERT_TRUE(reads[0]->Wait(kCompletes));
    ASSERT_TRUE(reads[1]->Wait(kCompletes));
    EXPECT_FALSE(reads[2]->Wait(10));
    EXPECT_EQ(QByteArray(buffers[0], int(reads[0]->Urb().UrbBulkOrInterruptTransfer.TransferBufferLength)), "one");
    EXPECT_EQ(reads[1]->Urb().UrbBulkOrInterruptTransfer.TransferBufferLength, 64u);

    // Packets sent while nobody reads wait for the next read.
    device_->Send(0x83, "early");
    char interrupt[64];
    URB urb = TransferUrb(pipes[2].PipeHandle, interrupt, sizeof interrupt, USBD_TRANSFER_DIRECTION_IN);
    EXPECT_EQ(SubmitUrb(pdo_, urb), STATUS_SUCCESS);
    EXPECT_EQ(urb.UrbBulkOrInterruptTransfer.TransferBufferLength, 5u);

    // A packet longer than the read's buffer is an overrun.
    device_->Send(0x83, QByteArray(10, 'y'));
    urb = TransferUrb(pipes[2].PipeHandle, interrupt, 4, USBD_TRANSFER_DIRECTION_IN);
    EXPECT_EQ(SubmitUrb(pdo_, urb), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(urb.UrbHeader.Status, USBD_STATUS_BUFFER_OVERRUN);

    reads[2]->Cancel();
    ASSERT_TRUE(reads[2]->Wait(kCompletes));
    EXPECT_EQ(reads[2]->Status(), STATUS_CANCELLED);
    EXPECT_EQ(reads[2]->Urb().UrbHeader.Status, USBD_STATUS_CANCELED);
}

// A packet the device sends while a read is being submitted on another thread either
// completes that read or waits for it: it is never left queued behind a read that waits.
TEST_F(UsbBusTest, APacketSentWhileAReadIsSubmittedIsNeverLeftBehind)
{
    const auto pipes = Configure();
    // Many rounds give the two threads many chances to meet; a time budget keeps a loaded
    // machine, where every hand-over waits for a time slice, to fewer rounds, not longer.
    constexpr int kRounds = 20000;
    constexpr auto kBudget = std::chrono::milliseconds(300);
    std::atomic<int> round{-1};
    std::atomic<int> sent{-1};
    std::atomic<bool> stop{false};
    std::thread device([&] {
        for (int i = 0; i < kRounds; ++i) {
            while (round.load() < i) {
                if (stop.load())
                    return;
                std::this_thread::yield();
            }
            // Sweeps the moment of the send across the read's submission.
            for (std::atomic<int> spin = (i * 7) % 400; spin.load() > 0; spin.fetch_sub(1)) {
            }
            device_->Send(0x81, QByteArray(1, char(i & 0xFF)));
            sent.store(i);
        }
    });
    const auto end = std::chrono::steady_clock::now() + kBudget;
    int lost = -1;
    for (int i = 0; i < kRounds && lost < 0 && std::chrono::steady_clock::now() < end; ++i) {
        char in[64];
        round.store(i);
        SubmittedUrb read(pdo_, TransferUrb(pipes[1].PipeHandle, in, sizeof in, USBD_TRANSFER_DIRECTION_IN));
        while (sent.load() < i)
            std::this_thread::yield();
        // The packet has been handed to the bus and the read submitted: a read that is not
        // complete now has lost its packet to the queue.
        if (!read.Wait(0)) {
            lost = i;
            read.Cancel();
        } else if (in[0] != char(i & 0xFF)) {
            ADD_FAILURE() << "round " << i << " read another round's packet";
            break;
        }
    }
    stop.store(true);
    device.join();
    EXPECT_EQ(lost, -1) << "a read waited while its packet sat in the queue";
}

TEST_F(UsbBusTest, AbortingAPipeCancelsWhatWaitsOnItOnly)
{
    const auto pipes = Configure();
    char a[64], b[64];
    SubmittedUrb bulk(pdo_, TransferUrb(pipes[1].PipeHandle, a, sizeof a, USBD_TRANSFER_DIRECTION_IN));
    SubmittedUrb interrupt(pdo_, TransferUrb(pipes[2].PipeHandle, b, sizeof b, USBD_TRANSFER_DIRECTION_IN));
    URB abort = PipeUrb(URB_FUNCTION_ABORT_PIPE, pipes[1].PipeHandle);
    EXPECT_EQ(SubmitUrb(pdo_, abort), STATUS_SUCCESS);
    ASSERT_TRUE(bulk.Wait(kCompletes));
    EXPECT_EQ(bulk.Status(), STATUS_CANCELLED);
    EXPECT_FALSE(interrupt.Wait(10));

    // The shorter record of an old stack is accepted as well.
    URB reset = PipeUrb(URB_FUNCTION_RESET_PIPE, pipes[2].PipeHandle, sizeof(_URB_PIPE_REQUEST) - 4);
    EXPECT_EQ(SubmitUrb(pdo_, reset), STATUS_SUCCESS);
    URB stale = PipeUrb(URB_FUNCTION_RESET_PIPE, reinterpret_cast<USBD_PIPE_HANDLE>(0x1234));
    EXPECT_EQ(SubmitUrb(pdo_, stale), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(stale.UrbHeader.Status, USBD_STATUS_INVALID_PIPE_HANDLE);
    interrupt.Cancel();
}

TEST_F(UsbBusTest, TransfersAreCheckedAgainstTheirPipe)
{
    auto pipes = Configure();
    char data[64];
    URB tooLong = TransferUrb(pipes[0].PipeHandle, data, 65536);
    EXPECT_EQ(SubmitUrb(pdo_, tooLong), STATUS_INVALID_PARAMETER);
    // Selecting again makes new handles; the old ones are refused.
    const USBD_PIPE_HANDLE old = pipes[0].PipeHandle;
    pipes = Configure();
    EXPECT_NE(pipes[0].PipeHandle, old);
    URB stale = TransferUrb(old, data, 3);
    EXPECT_EQ(SubmitUrb(pdo_, stale), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(stale.UrbHeader.Status, USBD_STATUS_INVALID_PIPE_HANDLE);
}

TEST_F(UsbBusTest, VendorRequestsCarryDataBothWays)
{
    char out[] = "hello";
    URB write = VendorUrb(false, 0x10, 0x7F92, out, 5);
    EXPECT_EQ(SubmitUrb(pdo_, write), STATUS_SUCCESS);
    char in[16] = {};
    URB read = VendorUrb(true, 0x11, 0, in, sizeof in);
    EXPECT_EQ(SubmitUrb(pdo_, read), STATUS_SUCCESS);
    EXPECT_EQ(read.UrbControlVendorClassRequest.TransferBufferLength, 5u);
    EXPECT_EQ(QByteArray(in, 5), "hello");
    URB unknown = VendorUrb(false, 0x99, 0, out, 1);
    EXPECT_EQ(SubmitUrb(pdo_, unknown), STATUS_UNSUCCESSFUL);
    bus_->FailNext(port_, UsbFault::VendorRequest, 1);
    EXPECT_EQ(SubmitUrb(pdo_, write), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(SubmitUrb(pdo_, write), STATUS_SUCCESS);
}

TEST_F(UsbBusTest, HeldOutTransfersWaitUntilReleasedOrAborted)
{
    const auto pipes = Configure();
    bus_->HoldOutTransfers(port_, 0x01, true);
    char first[] = "1", second[] = "2";
    SubmittedUrb one(pdo_, TransferUrb(pipes[0].PipeHandle, first, 1));
    EXPECT_FALSE(one.Wait(10));
    URB abort = PipeUrb(URB_FUNCTION_ABORT_PIPE, pipes[0].PipeHandle);
    EXPECT_EQ(SubmitUrb(pdo_, abort), STATUS_SUCCESS);
    ASSERT_TRUE(one.Wait(kCompletes));
    EXPECT_EQ(one.Status(), STATUS_CANCELLED);

    SubmittedUrb two(pdo_, TransferUrb(pipes[0].PipeHandle, second, 1));
    EXPECT_TRUE(device_->received.isEmpty());
    bus_->HoldOutTransfers(port_, 0x01, false);
    ASSERT_TRUE(two.Wait(kCompletes));
    EXPECT_EQ(two.Status(), STATUS_SUCCESS);
    EXPECT_EQ(device_->received, QList<QByteArray>({"2"}));
}

TEST_F(UsbBusTest, AfterTheDeviceLeavesEverythingFailsWithDeviceGone)
{
    const auto pipes = Configure();
    char in[64];
    SubmittedUrb read(pdo_, TransferUrb(pipes[1].PipeHandle, in, sizeof in, USBD_TRANSFER_DIRECTION_IN));
    bus_->Detach(port_);
    ASSERT_TRUE(read.Wait(kCompletes));
    EXPECT_EQ(read.Status(), STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(read.Urb().UrbHeader.Status, USBD_STATUS_DEVICE_GONE);
    EXPECT_FALSE(device_->connected);

    UCHAR buffer[18];
    URB urb = DescriptorUrb(USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, buffer, sizeof buffer);
    EXPECT_EQ(SubmitUrb(pdo_, urb), STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(urb.UrbHeader.Status, USBD_STATUS_DEVICE_GONE);
    ASSERT_TRUE(pnp_->WaitUntilIdle());
    EXPECT_TRUE(bus_->Ports().empty());
    EXPECT_TRUE(pnp_->Devices().empty());
}

TEST_F(UsbBusTest, ADeviceThatReenumeratesComesBackOnItsPortAsAnotherDevice)
{
    auto next = std::make_shared<TestDevice>(0x3333);
    device_->next = next;
    char nothing[1];
    URB reenumerate = VendorUrb(false, 0x20, 0, nothing, 0);
    EXPECT_EQ(SubmitUrb(pdo_, reenumerate), STATUS_SUCCESS);
    ASSERT_TRUE(pnp_->WaitUntilIdle());
    EXPECT_EQ(bus_->Ports(), std::vector<UsbBus::PortId>({port_}));
    EXPECT_EQ(bus_->Device(port_), next);
    EXPECT_NE(bus_->PhysicalDevice(port_), pdo_);
    const auto devices = pnp_->Devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].productId, 0x3333);
    EXPECT_TRUE(next->connected);
}

TEST_F(UsbBusTest, PowerRequestsReachTheDevice)
{
    POWER_STATE state;
    state.DeviceState = PowerDeviceD3;
    EXPECT_EQ(pnp_->SendPowerRequest(pdo_, IRP_MN_SET_POWER, DevicePowerState, state), STATUS_SUCCESS);
    EXPECT_EQ(pnp_->SendPowerRequest(pdo_, IRP_MN_WAIT_WAKE, SystemPowerState, state), STATUS_NOT_SUPPORTED);
    EXPECT_EQ(bus_->PowerRequests(port_), std::vector<UCHAR>({IRP_MN_SET_POWER, IRP_MN_WAIT_WAKE}));
}

} // namespace
