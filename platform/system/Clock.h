#pragma once

#include <QDeadlineTimer>
#include <QtGlobal>
#include <chrono>

namespace platform {

// The system's one source of time. Every delay and timeout of the program and of the
// simulated hardware goes through here, so that a time scale can run the whole system
// faster than real time: with scale s, a sleep of n ms lasts n·s real milliseconds and
// NowMs() advances 1/s virtual milliseconds per real millisecond. Code therefore always
// reasons in virtual (unscaled) milliseconds.
//
// The scale comes from VELMORA_TIME_SCALE (default 1) and can be changed at run time
// (tests do); virtual time never jumps backwards when it changes.
//
// Thread-safe.
class Clock
{
public:
    static double Scale();
    static void SetScale(double scale);

    // Virtual monotonic time in milliseconds since an arbitrary origin.
    static qint64 NowMs();
    // A 32-bit millisecond tick that wraps, as a tick counter does.
    static quint32 TickCount();

    // A deliberate pause: lasts ms·scale real time, with no lower bound.
    static void SleepMs(qint64 ms);

    // How long to wait for another thread or device before giving up. Scaled like a
    // sleep, but never shorter than a small real floor (or the unscaled time, if that is
    // shorter): at a tiny scale a loaded machine's scheduler could otherwise let a wait
    // expire before the thread that answers has had a chance to run.
    static std::chrono::nanoseconds TimeoutDuration(qint64 ms);
    static QDeadlineTimer TimeoutDeadline(qint64 ms);
    // The same for Qt timers, in whole real milliseconds (at least 1 for a positive ms).
    static int TimerIntervalMs(qint64 ms);

    // Real-time floor of TimeoutDuration.
    static constexpr qint64 kTimeoutFloorMs = 50;
};

// Sets the time scale for the life of the object, then puts the previous one back.
class ScopedTimeScale
{
public:
    explicit ScopedTimeScale(double scale) : previous_(Clock::Scale()) { Clock::SetScale(scale); }
    ~ScopedTimeScale() { Clock::SetScale(previous_); }
    ScopedTimeScale(const ScopedTimeScale&) = delete;
    ScopedTimeScale& operator=(const ScopedTimeScale&) = delete;

private:
    double previous_;
};

} // namespace platform
