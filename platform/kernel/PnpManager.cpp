#include "platform/kernel/PnpManager.h"
#include "platform/kernel/KernelPrivate.h"
#include "platform/kernel/Loader.h"
#include "platform/system/Clock.h"

#include <QDebug>
#include <future>

namespace platform::kernel {

using namespace detail;
using Steady = std::chrono::steady_clock;

namespace {

// Sends one request to the top of the device's stack and waits for it. The kernel starts
// every such request as "not supported", so a stack that ignores a minor function
// reports exactly that.
NTSTATUS SendToStack(PDEVICE_OBJECT pdo, UCHAR major, UCHAR minor,
                     const std::function<void(PIO_STACK_LOCATION)>& setUp = {})
{
    PDEVICE_OBJECT top = ReferenceAttachedDevice(pdo);
    PIRP irp = IoAllocateIrp(top->StackSize, FALSE);
    if (!irp) {
        DereferenceDevice(top);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = major;
    next->MinorFunction = minor;
    if (setUp)
        setUp(next);
    const NTSTATUS status = SendSynchronousRequest(top, irp).Status;
    DereferenceDevice(top);
    return status;
}

NTSTATUS SendPnp(PDEVICE_OBJECT pdo, UCHAR minor, DEVICE_CAPABILITIES* capabilities = nullptr)
{
    return SendToStack(pdo, IRP_MJ_PNP, minor, [capabilities](PIO_STACK_LOCATION next) {
        next->Parameters.DeviceCapabilities.Capabilities = capabilities;
    });
}

void InitialiseCapabilities(DEVICE_CAPABILITIES* capabilities, USHORT version)
{
    *capabilities = DEVICE_CAPABILITIES{};
    capabilities->Size = sizeof(DEVICE_CAPABILITIES);
    capabilities->Version = version;
    capabilities->Address = ULONG(-1);
    capabilities->UINumber = ULONG(-1);
}

const std::thread::id& NoThread()
{
    static const std::thread::id none;
    return none;
}

} // namespace

PnpManager::PnpManager(std::vector<DriverBinding> bindings)
    : bindings_(std::move(bindings))
{
    thread_ = std::thread([this] { Loop(); });
}

PnpManager::~PnpManager()
{
    Shutdown();
}

bool PnpManager::OnManagerThread() const
{
    return std::this_thread::get_id() == thread_.get_id() && thread_.get_id() != NoThread();
}

bool PnpManager::Post(std::function<void()> work, qint64 delayMs)
{
    const auto delay = std::chrono::duration<double, std::milli>(std::max<qint64>(delayMs, 0) * Clock::Scale());
    {
        std::lock_guard lock(mutex_);
        if (stopped_) {
            qWarning("PnP manager: work posted after shutdown is dropped");
            return false;
        }
        queue_.emplace(Steady::now() + std::chrono::duration_cast<Steady::duration>(delay), std::move(work));
    }
    changed_.notify_all();
    return true;
}

void PnpManager::Loop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        if (queue_.empty()) {
            if (stopping_)
                return;
            changed_.wait(lock);
            continue;
        }
        auto first = queue_.begin();
        if (!stopping_ && first->first > Steady::now()) {
            changed_.wait_until(lock, first->first);
            continue;
        }
        std::function<void()> work = std::move(first->second);
        queue_.erase(first);
        running_ = true;
        lock.unlock();
        work();
        lock.lock();
        running_ = false;
        changed_.notify_all();
    }
}

bool PnpManager::WaitUntilIdle(qint64 timeoutMs)
{
    if (OnManagerThread())
        return false;
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, Clock::TimeoutDuration(timeoutMs), [this] { return queue_.empty() && !running_; });
}

NTSTATUS PnpManager::RunAndWait(std::function<NTSTATUS()> work)
{
    if (OnManagerThread())
        return work();
    auto task = std::make_shared<std::packaged_task<NTSTATUS()>>(std::move(work));
    auto result = task->get_future();
    if (!Post([task] { (*task)(); }))
        return STATUS_DEVICE_NOT_CONNECTED;
    return result.get();
}

void PnpManager::ReportArrival(PDEVICE_OBJECT pdo, USHORT vendorId, USHORT productId)
{
    ReferenceDevice(pdo);
    if (!Post([this, pdo, vendorId, productId] { Arrive(pdo, vendorId, productId); }))
        DereferenceDevice(pdo);
}

void PnpManager::ReportRemoval(PDEVICE_OBJECT pdo)
{
    Post([this, pdo] { Remove(pdo); });
}

void PnpManager::SetNode(PDEVICE_OBJECT pdo, const std::function<void(DeviceNodeInfo&)>& change)
{
    std::lock_guard lock(mutex_);
    auto it = nodes_.find(pdo);
    if (it != nodes_.end())
        change(it->second);
}

PDRIVER_OBJECT PnpManager::EnsureLoaded(const DriverBinding& binding, NTSTATUS* status)
{
    *status = STATUS_SUCCESS;
    auto it = loaded_.find(binding.driverName);
    if (it != loaded_.end())
        return it->second;
    PDRIVER_OBJECT driver = nullptr;
    *status = LoadDriver(binding.driverName, binding.driverEntry, &driver);
    if (!NT_SUCCESS(*status)) {
        qWarning("PnP manager: driver %ls did not load: %s", binding.driverName.c_str(), NtStatusText(*status).c_str());
        return nullptr;
    }
    loaded_[binding.driverName] = driver;
    return driver;
}

void PnpManager::UnloadIfUnused(const std::wstring& driverName)
{
    auto it = loaded_.find(driverName);
    if (it == loaded_.end())
        return;
    bool unused;
    {
        std::lock_guard lock(IoLock());
        unused = it->second->DeviceObject == nullptr;
    }
    if (!unused)
        return;
    UnloadDriver(it->second);
    loaded_.erase(it);
}

NTSTATUS PnpManager::StartStack(PDEVICE_OBJECT pdo)
{
    NTSTATUS status = SendPnp(pdo, IRP_MN_START_DEVICE);
    if (NT_SUCCESS(status)) {
        DEVICE_CAPABILITIES capabilities;
        InitialiseCapabilities(&capabilities, 1);
        SendPnp(pdo, IRP_MN_QUERY_CAPABILITIES, &capabilities);
    }
    return status;
}

void PnpManager::Arrive(PDEVICE_OBJECT pdo, USHORT vendorId, USHORT productId)
{
    DeviceNodeInfo node;
    node.pdo = pdo;
    node.vendorId = vendorId;
    node.productId = productId;
    {
        std::lock_guard lock(mutex_);
        nodes_[pdo] = node;
    }
    const DriverBinding* binding = nullptr;
    for (const DriverBinding& candidate : bindings_)
        if (candidate.vendorId == vendorId && candidate.productId == productId)
            binding = &candidate;
    if (!binding)
        return;

    NTSTATUS status;
    PDRIVER_OBJECT driver = EnsureLoaded(*binding, &status);
    if (!driver) {
        SetNode(pdo, [status](DeviceNodeInfo& n) { n.lastStatus = status; });
        return;
    }
    status = driver->DriverExtension->AddDevice ? driver->DriverExtension->AddDevice(driver, pdo) : STATUS_SUCCESS;
    if (!NT_SUCCESS(status)) {
        SetNode(pdo, [&](DeviceNodeInfo& n) {
            n.driverName = binding->driverName;
            n.state = DeviceState::AddFailed;
            n.lastStatus = status;
        });
        UnloadIfUnused(binding->driverName);
        return;
    }
    SetNode(pdo, [&](DeviceNodeInfo& n) { n.driverName = binding->driverName; });
    status = StartStack(pdo);
    if (NT_SUCCESS(status)) {
        SetNode(pdo, [status](DeviceNodeInfo& n) {
            n.state = DeviceState::Started;
            n.lastStatus = status;
        });
        return;
    }
    // A stack that cannot start is torn down again, as the system does.
    SendPnp(pdo, IRP_MN_REMOVE_DEVICE);
    SetNode(pdo, [status](DeviceNodeInfo& n) {
        n.state = DeviceState::StartFailed;
        n.lastStatus = status;
    });
    UnloadIfUnused(binding->driverName);
}

void PnpManager::Remove(PDEVICE_OBJECT pdo)
{
    DeviceNodeInfo node;
    {
        std::lock_guard lock(mutex_);
        auto it = nodes_.find(pdo);
        if (it == nodes_.end())
            return;
        node = it->second;
        nodes_.erase(it);
    }
    if (node.state == DeviceState::Started || node.state == DeviceState::Stopped)
        SendPnp(pdo, IRP_MN_SURPRISE_REMOVAL);
    SendPnp(pdo, IRP_MN_REMOVE_DEVICE);
    if (!node.driverName.empty())
        UnloadIfUnused(node.driverName);
    DereferenceDevice(pdo);
}

NTSTATUS PnpManager::StopDevice(PDEVICE_OBJECT pdo)
{
    return RunAndWait([this, pdo] {
        NTSTATUS status = SendPnp(pdo, IRP_MN_QUERY_STOP_DEVICE);
        if (NT_SUCCESS(status))
            status = SendPnp(pdo, IRP_MN_STOP_DEVICE);
        if (NT_SUCCESS(status))
            SetNode(pdo, [](DeviceNodeInfo& n) { n.state = DeviceState::Stopped; });
        return status;
    });
}

NTSTATUS PnpManager::StartDevice(PDEVICE_OBJECT pdo)
{
    return RunAndWait([this, pdo] {
        const NTSTATUS status = StartStack(pdo);
        SetNode(pdo, [status](DeviceNodeInfo& n) {
            if (NT_SUCCESS(status))
                n.state = DeviceState::Started;
            n.lastStatus = status;
        });
        return status;
    });
}

NTSTATUS PnpManager::QueryCapabilities(PDEVICE_OBJECT pdo, USHORT version, DEVICE_CAPABILITIES* capabilities)
{
    return RunAndWait([pdo, version, capabilities] {
        InitialiseCapabilities(capabilities, version);
        return SendPnp(pdo, IRP_MN_QUERY_CAPABILITIES, capabilities);
    });
}

NTSTATUS PnpManager::SendPowerRequest(PDEVICE_OBJECT pdo, UCHAR minor, POWER_STATE_TYPE type, POWER_STATE state)
{
    return RunAndWait([pdo, minor, type, state] {
        return SendToStack(pdo, IRP_MJ_POWER, minor, [minor, type, state](PIO_STACK_LOCATION next) {
            if (minor == IRP_MN_WAIT_WAKE) {
                next->Parameters.WaitWake.PowerState = state.SystemState;
            } else {
                next->Parameters.Power.Type = type;
                next->Parameters.Power.State = state;
            }
        });
    });
}

std::vector<DeviceNodeInfo> PnpManager::Devices() const
{
    std::lock_guard lock(mutex_);
    std::vector<DeviceNodeInfo> devices;
    for (const auto& [pdo, node] : nodes_)
        devices.push_back(node);
    return devices;
}

void PnpManager::Shutdown()
{
    {
        std::lock_guard lock(mutex_);
        if (stopped_)
            return;
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
    std::vector<DeviceNodeInfo> left;
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        for (const auto& [pdo, node] : nodes_)
            left.push_back(node);
    }
    for (const DeviceNodeInfo& node : left)
        qWarning("PnP manager: device %04x:%04x still present at shutdown", node.vendorId, node.productId);
    for (const auto& [name, driver] : loaded_)
        UnloadDriver(driver);
    loaded_.clear();
}

} // namespace platform::kernel
