#pragma once

#include <QDeadlineTimer>
#include <QtGlobal>
#include <chrono>
#include <condition_variable>
#include <stop_token>

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
// Stopping: a thread may be bound to a stop token (ScopedStopToken). Once it is stopped,
// the thread's sleeps and the waits it makes through WaitFor/WaitUntil end at once, so
// work that is being shut down (the command queue at the program's end) does not sit out
// the delays it had planned; StopRequested() lets a loop notice and give up. A thread
// without a token sleeps and waits as asked.
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

    // A deliberate pause: lasts ms·scale real time, with no lower bound, unless the calling
    // thread is stopped first.
    static void SleepMs(qint64 ms);

    // Whether the calling thread's stop token has been stopped.
    static bool StopRequested();
    // The calling thread's stop token (one that can never stop, when none is bound).
    static std::stop_token StopToken();

    // Waits on `condition` (with `lock` held) until `done()` holds, the timeout or deadline
    // passes, or the calling thread is stopped; answers done(). The timeout follows the
    // TimeoutDuration rules. Use it for every wait of a thread that may be stopped.
    template <class Lock, class Predicate>
    static bool WaitFor(std::condition_variable_any& condition, Lock& lock, qint64 timeoutMs, Predicate done)
    {
        return condition.wait_for(lock, StopToken(), TimeoutDuration(timeoutMs), std::move(done));
    }
    template <class Lock, class Predicate>
    static bool WaitUntil(std::condition_variable_any& condition, Lock& lock,
                          std::chrono::steady_clock::time_point deadline, Predicate done)
    {
        return condition.wait_until(lock, StopToken(), deadline, std::move(done));
    }

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

// Binds `token` to the calling thread for the life of the object (see Clock: its sleeps
// and waits end once the token is stopped), then puts the previous binding back.
class ScopedStopToken
{
public:
    explicit ScopedStopToken(std::stop_token token);
    ~ScopedStopToken();
    ScopedStopToken(const ScopedStopToken&) = delete;
    ScopedStopToken& operator=(const ScopedStopToken&) = delete;

private:
    std::stop_token previous_;
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
