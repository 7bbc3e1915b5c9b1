#include "platform/kernel/PnpManager.h"
#include "tests/platform/kernel/ForwardAndWait.h"
#include "tests/platform/kernel/KernelTestSupport.h"

#include <QStringList>
#include <mutex>

using platform::kernel::DeviceState;
using platform::kernel::DriverBinding;
using platform::kernel::PnpManager;

namespace {

// What the function driver and the bus saw, in order.
struct Journal
{
    std::mutex mutex;
    QStringList entries;
    NTSTATUS startResult = STATUS_SUCCESS;
    int loads = 0;
    int unloads = 0;

    void Add(const QString& entry)
    {
        std::lock_guard lock(mutex);
        entries << entry;
    }
    QStringList Take()
    {
        std::lock_guard lock(mutex);
        return std::exchange(entries, {});
    }
};

Journal& J()
{
    static Journal journal;
    return journal;
}

QString MinorName(UCHAR minor)
{
    switch (minor) {
    case IRP_MN_START_DEVICE:
        return "start";
    case IRP_MN_QUERY_CAPABILITIES:
        return "capabilities";
    case IRP_MN_QUERY_STOP_DEVICE:
        return "query-stop";
    case IRP_MN_STOP_DEVICE:
        return "stop";
    case IRP_MN_SURPRISE_REMOVAL:
        return "surprise-removal";
    case IRP_MN_REMOVE_DEVICE:
        return "remove";
    default:
        return QString("minor-%1").arg(minor);
    }
}

// ---- the bus: one physical device object per test device ----------------------------

struct BusDevice
{
    bool gone;
};

NTSTATUS BusPnp(PDEVICE_OBJECT pdo, PIRP irp)
{
    const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
    J().Add("bus:" + MinorName(minor));
    if (minor == IRP_MN_REMOVE_DEVICE && static_cast<BusDevice*>(pdo->DeviceExtension)->gone) {
        test_drivers::CompleteIrp(irp, STATUS_SUCCESS);
        IoDeleteDevice(pdo);
        return STATUS_SUCCESS;
    }
    if (minor == IRP_MN_QUERY_CAPABILITIES)
        IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceCapabilities.Capabilities->Removable = 1;
    const bool handled = minor == IRP_MN_START_DEVICE || minor == IRP_MN_QUERY_CAPABILITIES ||
                         minor == IRP_MN_QUERY_STOP_DEVICE || minor == IRP_MN_STOP_DEVICE ||
                         minor == IRP_MN_SURPRISE_REMOVAL || minor == IRP_MN_REMOVE_DEVICE;
    return test_drivers::CompleteIrp(irp, handled ? STATUS_SUCCESS : irp->IoStatus.Status,
                                     handled ? 0 : irp->IoStatus.Information);
}

NTSTATUS BusPower(PDEVICE_OBJECT, PIRP irp)
{
    J().Add(QString("bus:power-%1").arg(IoGetCurrentIrpStackLocation(irp)->MinorFunction));
    PoStartNextPowerIrp(irp);
    return test_drivers::CompleteIrp(irp, STATUS_SUCCESS);
}

NTSTATUS BusEntry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    driver->MajorFunction[IRP_MJ_PNP] = &BusPnp;
    driver->MajorFunction[IRP_MJ_POWER] = &BusPower;
    return STATUS_SUCCESS;
}

// ---- the function driver ------------------------------------------------------------

struct FunctionDevice
{
    PDEVICE_OBJECT lower;
};

using test_drivers::ForwardAndWait;

NTSTATUS FunctionPnp(PDEVICE_OBJECT fdo, PIRP irp)
{
    auto* extension = static_cast<FunctionDevice*>(fdo->DeviceExtension);
    PDEVICE_OBJECT lower = extension->lower;
    const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
    J().Add("driver:" + MinorName(minor));
    switch (minor) {
    case IRP_MN_START_DEVICE: {
        NTSTATUS status = ForwardAndWait(lower, irp);
        if (NT_SUCCESS(status))
            status = J().startResult;
        return test_drivers::CompleteIrp(irp, status);
    }
    case IRP_MN_QUERY_CAPABILITIES: {
        NTSTATUS status = ForwardAndWait(lower, irp);
        PDEVICE_CAPABILITIES capabilities = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceCapabilities.Capabilities;
        if (NT_SUCCESS(status) && capabilities->Version >= 1)
            capabilities->SurpriseRemovalOK = 1;
        return test_drivers::CompleteIrp(irp, status);
    }
    case IRP_MN_REMOVE_DEVICE:
        IoDetachDevice(lower);
        IoDeleteDevice(fdo);
        IoSkipCurrentIrpStackLocation(irp);
        return IoCallDriver(lower, irp);
    default:
        IoSkipCurrentIrpStackLocation(irp);
        return IoCallDriver(lower, irp);
    }
}

NTSTATUS FunctionPower(PDEVICE_OBJECT fdo, PIRP irp)
{
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(static_cast<FunctionDevice*>(fdo->DeviceExtension)->lower, irp);
}

NTSTATUS FunctionAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo)
{
    J().Add("driver:add");
    PDEVICE_OBJECT fdo;
    NTSTATUS status = IoCreateDevice(driver, sizeof(FunctionDevice), nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &fdo);
    if (!NT_SUCCESS(status))
        return status;
    static_cast<FunctionDevice*>(fdo->DeviceExtension)->lower = IoAttachDeviceToDeviceStack(fdo, pdo);
    fdo->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

NTSTATUS FunctionEntry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    J().loads++;
    driver->MajorFunction[IRP_MJ_PNP] = &FunctionPnp;
    driver->MajorFunction[IRP_MJ_POWER] = &FunctionPower;
    driver->DriverExtension->AddDevice = &FunctionAddDevice;
    driver->DriverUnload = [](PDRIVER_OBJECT) { J().unloads++; };
    return STATUS_SUCCESS;
}

constexpr USHORT kVendor = 0x1234;
constexpr USHORT kProduct = 0x0002;

class PnpManagerTest : public KernelTest
{
protected:
    void SetUp() override
    {
        KernelTest::SetUp();
        J().Take();
        J().startResult = STATUS_SUCCESS;
        J().loads = J().unloads = 0;
        bus_ = std::make_unique<LoadedDriver>(L"testbus", &BusEntry);
        pnp_ = std::make_unique<PnpManager>(std::vector<DriverBinding>{{L"function", kVendor, kProduct, &FunctionEntry}});
    }
    void TearDown() override
    {
        pnp_.reset();
        bus_.reset();
        KernelTest::TearDown();
    }

    PDEVICE_OBJECT Plug(USHORT product = kProduct)
    {
        PDEVICE_OBJECT pdo;
        EXPECT_EQ(IoCreateDevice(bus_->Get(), sizeof(BusDevice), nullptr, FILE_DEVICE_BUS_EXTENDER,
                                 FILE_AUTOGENERATED_DEVICE_NAME, FALSE, &pdo),
                  STATUS_SUCCESS);
        static_cast<BusDevice*>(pdo->DeviceExtension)->gone = false;
        pdo->Flags &= ~DO_DEVICE_INITIALIZING;
        pnp_->ReportArrival(pdo, kVendor, product);
        EXPECT_TRUE(pnp_->WaitUntilIdle());
        return pdo;
    }

    void Unplug(PDEVICE_OBJECT pdo)
    {
        static_cast<BusDevice*>(pdo->DeviceExtension)->gone = true;
        pnp_->ReportRemoval(pdo);
        EXPECT_TRUE(pnp_->WaitUntilIdle());
    }

    std::unique_ptr<LoadedDriver> bus_;
    std::unique_ptr<PnpManager> pnp_;
};

TEST_F(PnpManagerTest, TheSequenceReachesTheDriverInOrder)
{
    PDEVICE_OBJECT pdo = Plug();
    EXPECT_EQ(J().Take(), QStringList({"driver:add", "driver:start", "bus:start", "driver:capabilities",
                                       "bus:capabilities"}));
    auto devices = pnp_->Devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].state, DeviceState::Started);
    EXPECT_EQ(devices[0].driverName, L"function");

    EXPECT_EQ(pnp_->StopDevice(pdo), STATUS_SUCCESS);
    EXPECT_EQ(pnp_->StartDevice(pdo), STATUS_SUCCESS);
    EXPECT_EQ(J().Take(), QStringList({"driver:query-stop", "bus:query-stop", "driver:stop", "bus:stop",
                                       "driver:start", "bus:start", "driver:capabilities", "bus:capabilities"}));

    Unplug(pdo);
    EXPECT_EQ(J().Take(), QStringList({"driver:surprise-removal", "bus:surprise-removal", "driver:remove",
                                       "bus:remove"}));
    EXPECT_TRUE(pnp_->Devices().empty());
    // The driver went with its last device.
    EXPECT_EQ(J().unloads, 1);
}

TEST_F(PnpManagerTest, TheDriverIsLoadedOnceForSeveralDevicesAndAgainAfterItWasUnloaded)
{
    PDEVICE_OBJECT first = Plug();
    PDEVICE_OBJECT second = Plug();
    EXPECT_EQ(J().loads, 1);
    Unplug(first);
    EXPECT_EQ(J().unloads, 0);
    Unplug(second);
    EXPECT_EQ(J().unloads, 1);
    Unplug(Plug());
    EXPECT_EQ(J().loads, 2);
}

TEST_F(PnpManagerTest, CapabilitiesCarryTheVersionAskedFor)
{
    PDEVICE_OBJECT pdo = Plug();
    for (USHORT version : {0, 1}) {
        DEVICE_CAPABILITIES capabilities;
        EXPECT_EQ(pnp_->QueryCapabilities(pdo, version, &capabilities), STATUS_SUCCESS);
        EXPECT_EQ(capabilities.Version, version);
        EXPECT_EQ(capabilities.Removable, 1u);
        EXPECT_EQ(capabilities.SurpriseRemovalOK, version >= 1 ? 1u : 0u);
    }
    Unplug(pdo);
}

TEST_F(PnpManagerTest, PowerRequestsPassDownToTheBus)
{
    PDEVICE_OBJECT pdo = Plug();
    J().Take();
    POWER_STATE state;
    state.DeviceState = PowerDeviceD0;
    for (UCHAR minor : {IRP_MN_SET_POWER, IRP_MN_QUERY_POWER, IRP_MN_WAIT_WAKE})
        EXPECT_EQ(pnp_->SendPowerRequest(pdo, minor, DevicePowerState, state), STATUS_SUCCESS);
    EXPECT_EQ(J().Take(), QStringList({"bus:power-2", "bus:power-3", "bus:power-0"}));
    EXPECT_EQ(pnp_->Devices()[0].state, DeviceState::Started);
    Unplug(pdo);
}

TEST_F(PnpManagerTest, AFailedStartTearsTheStackDown)
{
    J().startResult = STATUS_UNSUCCESSFUL;
    PDEVICE_OBJECT pdo = Plug();
    EXPECT_EQ(J().Take(), QStringList({"driver:add", "driver:start", "bus:start", "driver:remove", "bus:remove"}));
    auto devices = pnp_->Devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].state, DeviceState::StartFailed);
    EXPECT_EQ(devices[0].lastStatus, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(J().unloads, 1);
    Unplug(pdo);
    EXPECT_EQ(J().Take(), QStringList({"bus:remove"}));
}

TEST_F(PnpManagerTest, ADeviceWithoutABindingStaysWithoutADriver)
{
    PDEVICE_OBJECT pdo = Plug(0x0099);
    EXPECT_EQ(pnp_->Devices()[0].state, DeviceState::NoDriver);
    EXPECT_EQ(J().loads, 0);
    Unplug(pdo);
    EXPECT_EQ(J().Take(), QStringList({"bus:remove"}));
}

TEST_F(PnpManagerTest, DelayedWorkRunsInVirtualTimeAndIdleWaitsForIt)
{
    std::atomic<bool> ran{false};
    pnp_->Post([&] { ran = true; }, 500);
    EXPECT_TRUE(pnp_->WaitUntilIdle());
    EXPECT_TRUE(ran);
}

} // namespace
