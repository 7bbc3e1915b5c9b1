#include "platform/io/DeviceFile.h"
#include "platform/kernel/ObjectNamespace.h"
#include "tests/platform/kernel/KernelTestSupport.h"
#include "tests/platform/kernel/ProbeDriver.h"

#include <QtEndian>
#include <thread>

using platform::io::DeviceFile;
using platform::io::IoError;

namespace {

class IoManagerTest : public KernelTest
{
protected:
    void SetUp() override
    {
        KernelTest::SetUp();
        probe::Reset();
        driver_ = std::make_unique<LoadedDriver>(L"probe", &probe::DriverEntry);
        ASSERT_EQ(driver_->Status(), STATUS_SUCCESS);
    }
    void TearDown() override
    {
        driver_.reset();
        KernelTest::TearDown();
    }

    std::unique_ptr<DeviceFile> Open(const char* path = "\\\\.\\Probe",
                                     DeviceFile::Access access = DeviceFile::Access::ReadWrite)
    {
        IoError error;
        auto file = DeviceFile::Open(QString::fromLatin1(path), access, &error);
        EXPECT_TRUE(file) << error.Text().toStdString();
        return file;
    }

    static QByteArray Release(NTSTATUS status, quint32 information)
    {
        QByteArray input(8, '\0');
        qToLittleEndian<qint32>(status, input.data());
        qToLittleEndian<quint32>(information, input.data() + 4);
        return input;
    }

    std::unique_ptr<LoadedDriver> driver_;
};

// What each transfer method hands the driver: buffered input in a system buffer (a copy),
// direct methods the input in a system buffer and the output buffer through an MDL,
// neither the caller's own buffers; buffered output comes back only as far as the byte
// count says.
TEST_F(IoManagerTest, EachControlMethodDeliversTheBuffersTheKernelBuilds)
{
    struct Case
    {
        const char* name;
        ULONG code;
        bool systemBuffer;
        bool mdl;
        bool type3;
        bool userBuffer;
    };
    const Case cases[] = {
        {"buffered", probe::IOCTL_PROBE_BUFFERED, true, false, false, true},
        {"in-direct", probe::IOCTL_PROBE_IN_DIRECT, true, true, false, false},
        {"out-direct", probe::IOCTL_PROBE_OUT_DIRECT, true, true, false, false},
        {"neither", probe::IOCTL_PROBE_NEITHER, false, false, true, true},
    };
    auto file = Open();
    const QByteArray input("\x01\x02\x03\x04\x05", 5);
    const QByteArray output("abcdefghij"); // what the output buffer holds on the way in
    const QByteArray reply("XYZ");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        probe::SetReply(reply);
        auto request = file->DeviceControl(c.code, input, output);
        ASSERT_TRUE(request->Wait(kCompletes));
        EXPECT_EQ(request->Status(), STATUS_SUCCESS);
        const probe::Observation seen = probe::Last();
        EXPECT_EQ(seen.major, IRP_MJ_DEVICE_CONTROL);
        EXPECT_EQ(seen.inputLength, 5u);
        EXPECT_EQ(seen.outputLength, 10u);
        EXPECT_EQ(seen.hasSystemBuffer, c.systemBuffer);
        if (c.systemBuffer) {
            EXPECT_EQ(seen.systemBufferInput, input);
        }
        EXPECT_EQ(seen.hasMdl, c.mdl);
        if (c.mdl) {
            EXPECT_EQ(seen.mdlByteCount, 10u);
            EXPECT_EQ(seen.mdlData, output);
        }
        EXPECT_EQ(!seen.type3Input.isEmpty(), c.type3);
        if (c.type3) {
            EXPECT_EQ(seen.type3Input, input);
        }
        EXPECT_EQ(seen.hasUserBuffer, c.userBuffer);
        if (c.code == probe::IOCTL_PROBE_IN_DIRECT) {
            EXPECT_EQ(request->OutputBuffer(), output); // read by the device, left as it was
            EXPECT_EQ(request->BytesTransferred(), 10u);
        } else {
            EXPECT_EQ(request->BytesTransferred(), 3u);
            EXPECT_EQ(request->Output(), reply);
            EXPECT_EQ(request->OutputBuffer(), QByteArray("XYZdefghij"));
        }
    }
}

TEST_F(IoManagerTest, BufferedOutputOfAFailedRequestIsNotCopiedBack)
{
    auto file = Open();
    probe::SetReply("XYZ", STATUS_UNSUCCESSFUL);
    auto request = file->DeviceControl(probe::IOCTL_PROBE_BUFFERED, QByteArray(), QByteArray("abc"));
    ASSERT_TRUE(request->Wait(kCompletes));
    EXPECT_EQ(request->Status(), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(request->Error(), platform::io::ERROR_GEN_FAILURE);
    EXPECT_EQ(request->OutputBuffer(), QByteArray("abc"));
}

TEST_F(IoManagerTest, WritesAreDirectOrBufferedAsTheDeviceAsks)
{
    const QByteArray data(600, '\x5A');
    for (const char* path : {"\\\\.\\Probe", "\\\\.\\ProbeBuffered"}) {
        SCOPED_TRACE(path);
        auto file = Open(path);
        auto request = file->Write(data, 512);
        ASSERT_TRUE(request->Wait(kCompletes));
        EXPECT_EQ(request->Status(), STATUS_SUCCESS);
        EXPECT_EQ(request->BytesTransferred(), 600u);
        const probe::Observation seen = probe::Last();
        EXPECT_EQ(seen.major, IRP_MJ_WRITE);
        EXPECT_EQ(seen.writeLength, 600u);
        EXPECT_EQ(seen.byteOffset, 512);
        const bool direct = QByteArray(path).endsWith("Probe");
        EXPECT_EQ(seen.hasMdl, direct);
        EXPECT_EQ(seen.hasSystemBuffer, !direct);
        EXPECT_EQ(direct ? seen.mdlData : seen.systemBufferInput, data);
    }
}

TEST_F(IoManagerTest, AnEmptyDirectWriteCarriesNoBuffer)
{
    auto file = Open();
    auto request = file->Write(QByteArray());
    ASSERT_TRUE(request->Wait(kCompletes));
    EXPECT_FALSE(probe::Last().hasMdl);
    EXPECT_EQ(probe::Last().writeLength, 0u);
}

TEST_F(IoManagerTest, APendedRequestCompletesThroughTheRequestObject)
{
    auto file = Open();
    auto held = file->DeviceControl(probe::IOCTL_PROBE_HOLD, QByteArray(), 4);
    EXPECT_FALSE(held->Wait(10));
    EXPECT_EQ(held->Status(), STATUS_PENDING);
    EXPECT_EQ(held->Error(), platform::io::ERROR_IO_INCOMPLETE);

    // Released from another thread, as a device completes a request it held.
    std::thread releaser([&] {
        auto release = file->DeviceControl(probe::IOCTL_PROBE_RELEASE, Release(STATUS_SUCCESS, 4), 0);
        release->Wait(-1);
    });
    ASSERT_TRUE(held->Wait(kCompletes));
    releaser.join();
    EXPECT_EQ(held->Status(), STATUS_SUCCESS);
    EXPECT_EQ(held->BytesTransferred(), 4u);
    EXPECT_EQ(held->Error(), 0u);
}

TEST_F(IoManagerTest, ACancelledRequestEndsCancelled)
{
    auto file = Open();
    auto held = file->DeviceControl(probe::IOCTL_PROBE_HOLD, QByteArray(), 4);
    ASSERT_FALSE(held->IsComplete());
    held->Cancel();
    ASSERT_TRUE(held->Wait(kCompletes));
    EXPECT_EQ(held->Status(), STATUS_CANCELLED);
    EXPECT_EQ(held->Error(), platform::io::ERROR_OPERATION_ABORTED);
    held->Cancel(); // too late: nothing happens
    // The driver no longer holds it.
    auto release = file->DeviceControl(probe::IOCTL_PROBE_RELEASE, Release(STATUS_SUCCESS, 0), 0);
    ASSERT_TRUE(release->Wait(kCompletes));
    EXPECT_EQ(release->Status(), STATUS_UNSUCCESSFUL);
}

TEST_F(IoManagerTest, ClosingCancelsWhatIsStillInProgressAndWaitsForIt)
{
    auto file = Open();
    auto held = file->DeviceControl(probe::IOCTL_PROBE_HOLD, QByteArray(), 4);
    file->Close();
    EXPECT_TRUE(held->IsComplete());
    EXPECT_EQ(held->Status(), STATUS_CANCELLED);
    EXPECT_EQ(probe::CreateCount(), 1);
    EXPECT_EQ(probe::CloseCount(), 1);
    auto late = file->DeviceControl(probe::IOCTL_PROBE_BUFFERED, QByteArray(), 0);
    EXPECT_EQ(late->Status(), STATUS_INVALID_HANDLE);
}

TEST_F(IoManagerTest, OpenFailuresReportTheirReason)
{
    struct Case
    {
        const char* path;
        NTSTATUS status;
        quint32 error;
    };
    const Case cases[] = {
        {"\\\\.\\NoSuchDevice", STATUS_OBJECT_NAME_NOT_FOUND, platform::io::ERROR_FILE_NOT_FOUND},
        {"Probe", STATUS_OBJECT_NAME_INVALID, platform::io::ERROR_INVALID_NAME},
        {"\\\\.\\", STATUS_OBJECT_NAME_INVALID, platform::io::ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        IoError error;
        EXPECT_FALSE(DeviceFile::Open(QString::fromLatin1(c.path), DeviceFile::Access::Read, &error));
        EXPECT_EQ(error.status, c.status);
        EXPECT_EQ(error.code, c.error);
    }
    // Names do not depend on case.
    EXPECT_TRUE(Open("\\\\.\\pRoBe"));
}

TEST_F(IoManagerTest, ControlCodesThatNeedReadAccessNeedAHandleOpenedForReading)
{
    auto writeOnly = Open("\\\\.\\Probe", DeviceFile::Access::Write);
    auto refused = writeOnly->DeviceControl(probe::IOCTL_PROBE_READ_ACCESS, QByteArray(), 0);
    EXPECT_EQ(refused->Status(), STATUS_ACCESS_DENIED);
    auto readOnly = Open("\\\\.\\Probe", DeviceFile::Access::Read);
    EXPECT_EQ(readOnly->DeviceControl(probe::IOCTL_PROBE_READ_ACCESS, QByteArray(), 0)->Status(), STATUS_SUCCESS);
    EXPECT_EQ(readOnly->Write("x")->Status(), STATUS_ACCESS_DENIED);
}

NTSTATUS NoOpEntry(PDRIVER_OBJECT, PUNICODE_STRING)
{
    return STATUS_SUCCESS;
}

TEST_F(IoManagerTest, ATakenNameIsACollisionWhateverItsCase)
{
    LoadedDriver other(L"other", &NoOpEntry);
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, L"\\device\\PROBE");
    PDEVICE_OBJECT device = nullptr;
    EXPECT_EQ(IoCreateDevice(other.Get(), 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device),
              STATUS_OBJECT_NAME_COLLISION);
    EXPECT_EQ(device, nullptr);

    UNICODE_STRING link, target;
    RtlInitUnicodeString(&link, L"\\??\\probe");
    RtlInitUnicodeString(&target, L"\\Device\\Elsewhere");
    EXPECT_EQ(IoCreateSymbolicLink(&link, &target), STATUS_OBJECT_NAME_COLLISION);

    // A free name works, and is free again once its device is gone.
    RtlInitUnicodeString(&name, L"\\Device\\Second");
    ASSERT_EQ(IoCreateDevice(other.Get(), 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device), STATUS_SUCCESS);
    EXPECT_TRUE(platform::kernel::ObjectNameExists(L"\\DEVICE\\second"));
    IoDeleteDevice(device);
    EXPECT_FALSE(platform::kernel::ObjectNameExists(L"\\Device\\Second"));
    RtlInitUnicodeString(&link, L"\\DosDevices\\Nothing");
    EXPECT_EQ(IoDeleteSymbolicLink(&link), STATUS_OBJECT_NAME_NOT_FOUND);
}

TEST_F(IoManagerTest, MajorsTheDriverDidNotRegisterAreInvalidRequests)
{
    LoadedDriver plain(L"plain", [](PDRIVER_OBJECT driver, PUNICODE_STRING) -> NTSTATUS {
        driver->MajorFunction[IRP_MJ_CREATE] = [](PDEVICE_OBJECT, PIRP irp) -> NTSTATUS {
            irp->IoStatus.Status = STATUS_SUCCESS;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return STATUS_SUCCESS;
        };
        driver->DriverUnload = [](PDRIVER_OBJECT d) {
            UNICODE_STRING link;
            RtlInitUnicodeString(&link, L"\\DosDevices\\Plain");
            IoDeleteSymbolicLink(&link);
            IoDeleteDevice(d->DeviceObject);
        };
        UNICODE_STRING name, link;
        RtlInitUnicodeString(&name, L"\\Device\\Plain");
        RtlInitUnicodeString(&link, L"\\DosDevices\\Plain");
        PDEVICE_OBJECT device;
        NTSTATUS status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
        return NT_SUCCESS(status) ? IoCreateSymbolicLink(&link, &name) : status;
    });
    ASSERT_EQ(plain.Status(), STATUS_SUCCESS);
    auto file = Open("\\\\.\\Plain");
    auto write = file->Write("data");
    EXPECT_EQ(write->Status(), STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(write->Error(), platform::io::ERROR_INVALID_FUNCTION);
    EXPECT_EQ(file->DeviceControl(probe::IOCTL_PROBE_BUFFERED, QByteArray(), 0)->Status(),
              STATUS_INVALID_DEVICE_REQUEST);
}

TEST_F(IoManagerTest, PoolFaultsReachTheRequestsThatAllocate)
{
    auto file = Open();
    platform::kernel::FailPoolAllocations(MakePoolTag("IoSB"), 1);
    auto request = file->DeviceControl(probe::IOCTL_PROBE_BUFFERED, "in", 4);
    EXPECT_EQ(request->Status(), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(file->DeviceControl(probe::IOCTL_PROBE_BUFFERED, "in", 4)->Status(), STATUS_SUCCESS);
}

TEST(KernelBugCheck, CompletingARequestTwiceStopsTheMachine)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            PIRP irp = IoAllocateIrp(1, FALSE);
            IoSetCompletionRoutine(
                irp, [](PDEVICE_OBJECT, PIRP, PVOID) { return STATUS_MORE_PROCESSING_REQUIRED; }, nullptr, TRUE,
                TRUE, TRUE);
            irp->CurrentLocation--; // as IoCallDriver does
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            IoCompleteRequest(irp, IO_NO_INCREMENT);
        },
        "KERNEL BUGCHECK: MULTIPLE_IRP_COMPLETE_REQUESTS");
}

} // namespace
