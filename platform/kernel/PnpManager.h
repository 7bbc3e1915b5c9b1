#pragma once

#include "platform/kernel/Kernel.h"

#include <QtGlobal>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform::kernel {

// One line of the binding table: the driver that serves devices with these USB ids.
// Lines that name the same driver share one loaded driver object.
struct DriverBinding
{
    std::wstring driverName; // "qex_usb"
    USHORT vendorId = 0;
    USHORT productId = 0;
    PDRIVER_INITIALIZE driverEntry = nullptr;
};

enum class DeviceState {
    NoDriver,    // no binding, or the driver did not load
    AddFailed,   // the driver's AddDevice failed
    StartFailed, // the start failed; the stack above the physical device was removed
    Started,
    Stopped,
};

struct DeviceNodeInfo
{
    PDEVICE_OBJECT pdo = nullptr;
    USHORT vendorId = 0;
    USHORT productId = 0;
    std::wstring driverName; // empty without a driver
    DeviceState state = DeviceState::NoDriver;
    NTSTATUS lastStatus = STATUS_SUCCESS; // of the last step that ran
};

// The plug-and-play manager: builds a device stack for every physical device a bus
// driver reports (binding table → load the driver → AddDevice → start → query
// capabilities) and tears it down when the device goes (surprise removal, then removal,
// both sent to the top of the stack). Drivers are unloaded when their last device has
// gone, and loaded again (DriverEntry runs again) for the next one.
//
// Threads: the work runs in order on the manager's own thread, as on a real system, so
// a bus driver may report from inside a request (a device that leaves the bus while its
// driver is starting it). The public calls are thread-safe; those that wait for a result
// run their work at once when called on the manager's thread.
class PnpManager
{
public:
    explicit PnpManager(std::vector<DriverBinding> bindings);
    ~PnpManager(); // Shutdown()
    PnpManager(const PnpManager&) = delete;
    PnpManager& operator=(const PnpManager&) = delete;

    // Bus-driver side; both return at once. The bus driver deletes its physical device
    // object when the removal reaches it.
    void ReportArrival(PDEVICE_OBJECT pdo, USHORT vendorId, USHORT productId);
    void ReportRemoval(PDEVICE_OBJECT pdo);

    // Runs `work` on the manager's thread after `delayMs` of virtual time. False (and the
    // work dropped) after shutdown.
    bool Post(std::function<void()> work, qint64 delayMs = 0);
    // How long in virtual time the manager's work may take before a wait for it gives
    // up: the work only runs code (and deliberate delays), so this guards against a hang.
    static constexpr qint64 kIdleLimitMs = 600'000;

    // Waits until no work is queued, delayed or running. False on timeout, or when called
    // on the manager's own thread.
    bool WaitUntilIdle(qint64 timeoutMs = kIdleLimitMs);

    // Requests to a device's stack; each runs on the manager's thread and waits for it.
    NTSTATUS StopDevice(PDEVICE_OBJECT pdo);  // query stop, then stop
    NTSTATUS StartDevice(PDEVICE_OBJECT pdo); // start again (after a stop), then query capabilities
    NTSTATUS QueryCapabilities(PDEVICE_OBJECT pdo, USHORT version, DEVICE_CAPABILITIES* capabilities);
    NTSTATUS SendPowerRequest(PDEVICE_OBJECT pdo, UCHAR minor, POWER_STATE_TYPE type, POWER_STATE state);

    std::vector<DeviceNodeInfo> Devices() const;

    // Runs what is still queued (delayed work at once), unloads the drivers still loaded
    // and stops the thread. Devices still present are reported on the debug log.
    void Shutdown();

private:
    void Loop();
    NTSTATUS RunAndWait(std::function<NTSTATUS()> work);
    bool OnManagerThread() const;

    void Arrive(PDEVICE_OBJECT pdo, USHORT vendorId, USHORT productId);
    void Remove(PDEVICE_OBJECT pdo);
    NTSTATUS StartStack(PDEVICE_OBJECT pdo);
    PDRIVER_OBJECT EnsureLoaded(const DriverBinding& binding, NTSTATUS* status);
    void UnloadIfUnused(const std::wstring& driverName);
    void SetNode(PDEVICE_OBJECT pdo, const std::function<void(DeviceNodeInfo&)>& change);

    const std::vector<DriverBinding> bindings_;
    std::map<std::wstring, PDRIVER_OBJECT> loaded_; // manager thread only

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> queue_;
    bool running_ = false;
    bool stopping_ = false;
    bool stopped_ = false;
    std::map<PDEVICE_OBJECT, DeviceNodeInfo> nodes_;
    std::thread thread_;
};

} // namespace platform::kernel
