#include "platform/kernel/KernelPrivate.h"
#include "platform/system/Clock.h"

#include <chrono>
#include <condition_variable>

namespace {

// One lock and one condition for every dispatcher object, as the kernel's own dispatcher
// lock: events need no construction or destruction, and the few threads of this system
// make the shared wake-ups cheap.
struct Dispatcher
{
    std::mutex mutex;
    std::condition_variable changed;
};

Dispatcher& TheDispatcher()
{
    static Dispatcher dispatcher;
    return dispatcher;
}

constexpr UCHAR kEventTypeBase = 0x10;

EVENT_TYPE TypeOf(const KEVENT* event)
{
    return event->Header.Type == kEventTypeBase + SynchronizationEvent ? SynchronizationEvent : NotificationEvent;
}

// One tick is a virtual millisecond: fine enough that two map changes a few
// milliseconds apart get different stamps.
constexpr ULONG kTimeIncrement = 10'000;

qint64 BootTimeMs()
{
    static const qint64 boot = platform::Clock::NowMs();
    return boot;
}

} // namespace

VOID KeInitializeEvent(PRKEVENT Event, EVENT_TYPE Type, BOOLEAN State)
{
    Dispatcher& d = TheDispatcher();
    std::lock_guard lock(d.mutex);
    Event->Header.Type = UCHAR(kEventTypeBase + Type);
    Event->Header.SignalState = State ? 1 : 0;
}

LONG KeSetEvent(PRKEVENT Event, KPRIORITY, BOOLEAN)
{
    Dispatcher& d = TheDispatcher();
    LONG previous;
    {
        std::lock_guard lock(d.mutex);
        previous = Event->Header.SignalState;
        Event->Header.SignalState = 1;
    }
    d.changed.notify_all();
    return previous;
}

VOID KeClearEvent(PRKEVENT Event)
{
    Dispatcher& d = TheDispatcher();
    std::lock_guard lock(d.mutex);
    Event->Header.SignalState = 0;
}

LONG KeResetEvent(PRKEVENT Event)
{
    Dispatcher& d = TheDispatcher();
    std::lock_guard lock(d.mutex);
    const LONG previous = Event->Header.SignalState;
    Event->Header.SignalState = 0;
    return previous;
}

LONG KeReadStateEvent(PRKEVENT Event)
{
    Dispatcher& d = TheDispatcher();
    std::lock_guard lock(d.mutex);
    return Event->Header.SignalState;
}

NTSTATUS KeWaitForSingleObject(PVOID Object, KWAIT_REASON, KPROCESSOR_MODE, BOOLEAN, PLARGE_INTEGER Timeout)
{
    auto* event = static_cast<KEVENT*>(Object);
    Dispatcher& d = TheDispatcher();
    std::unique_lock lock(d.mutex);
    auto signalled = [event] { return event->Header.SignalState != 0; };
    bool satisfied;
    if (!Timeout) {
        d.changed.wait(lock, signalled);
        satisfied = true;
    } else if (Timeout->QuadPart == 0) {
        satisfied = signalled();
    } else {
        // Relative times are negative; a positive (absolute) time is taken as relative too.
        const LONGLONG units = Timeout->QuadPart < 0 ? -Timeout->QuadPart : Timeout->QuadPart;
        const qint64 ms = qint64((units + 9'999) / 10'000);
        satisfied = d.changed.wait_for(lock, platform::Clock::TimeoutDuration(ms), signalled);
    }
    if (!satisfied)
        return STATUS_TIMEOUT;
    if (TypeOf(event) == SynchronizationEvent)
        event->Header.SignalState = 0;
    return STATUS_SUCCESS;
}

VOID KeQueryTickCount(PLARGE_INTEGER CurrentCount)
{
    CurrentCount->QuadPart = LONGLONG(platform::Clock::NowMs() - BootTimeMs()) * 10'000 / kTimeIncrement;
}

ULONG KeQueryTimeIncrement()
{
    return kTimeIncrement;
}
