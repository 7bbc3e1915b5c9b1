#include "platform/system/Clock.h"

#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

namespace platform {
namespace {

using RealClock = std::chrono::steady_clock;

double ScaleFromEnvironment()
{
    const char* text = std::getenv("VELMORA_TIME_SCALE");
    if (!text || !*text)
        return 1.0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || !std::isfinite(value) || value <= 0.0) {
        qWarning("VELMORA_TIME_SCALE=\"%s\" is not a positive number; using 1", text);
        return 1.0;
    }
    return value;
}

// Virtual time is virtualBase + (real - realBase) / scale. Changing the scale moves the
// bases to "now", so virtual time stays continuous.
struct TimeBase
{
    std::mutex mutex;
    double scale = ScaleFromEnvironment();
    RealClock::time_point realBase = RealClock::now();
    double virtualBaseMs = 0.0;

    double VirtualNowMs(RealClock::time_point real) const
    {
        const double realMs = std::chrono::duration<double, std::milli>(real - realBase).count();
        return virtualBaseMs + realMs / scale;
    }
};

TimeBase& Base()
{
    static TimeBase base;
    return base;
}

// The stop token the calling thread's sleeps and waits observe.
thread_local std::stop_token threadStopToken;

} // namespace

double Clock::Scale()
{
    TimeBase& base = Base();
    std::lock_guard lock(base.mutex);
    return base.scale;
}

void Clock::SetScale(double scale)
{
    if (!(scale > 0.0) || !std::isfinite(scale))
        return;
    TimeBase& base = Base();
    std::lock_guard lock(base.mutex);
    const auto now = RealClock::now();
    base.virtualBaseMs = base.VirtualNowMs(now);
    base.realBase = now;
    base.scale = scale;
}

qint64 Clock::NowMs()
{
    TimeBase& base = Base();
    std::lock_guard lock(base.mutex);
    return static_cast<qint64>(base.VirtualNowMs(RealClock::now()));
}

quint32 Clock::TickCount()
{
    return static_cast<quint32>(NowMs());
}

void Clock::SleepMs(qint64 ms)
{
    if (ms <= 0)
        return;
    const auto duration = std::chrono::duration<double, std::milli>(ms * Scale());
    if (!threadStopToken.stop_possible()) {
        std::this_thread::sleep_for(duration);
        return;
    }
    std::mutex mutex;
    std::condition_variable_any stopped;
    std::unique_lock lock(mutex);
    stopped.wait_for(lock, threadStopToken, duration, [] { return false; });
}

bool Clock::StopRequested()
{
    return threadStopToken.stop_requested();
}

std::stop_token Clock::StopToken()
{
    return threadStopToken;
}

ScopedStopToken::ScopedStopToken(std::stop_token token) : previous_(std::exchange(threadStopToken, std::move(token))) {}

ScopedStopToken::~ScopedStopToken()
{
    threadStopToken = std::move(previous_);
}

std::chrono::nanoseconds Clock::TimeoutDuration(qint64 ms)
{
    if (ms <= 0)
        return std::chrono::nanoseconds(0);
    const double scaledMs = ms * Scale();
    const double flooredMs = std::max(scaledMs, double(std::min(ms, kTimeoutFloorMs)));
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::duration<double, std::milli>(flooredMs));
}

QDeadlineTimer Clock::TimeoutDeadline(qint64 ms)
{
    QDeadlineTimer deadline;
    deadline.setPreciseRemainingTime(0, TimeoutDuration(ms).count());
    return deadline;
}

int Clock::TimerIntervalMs(qint64 ms)
{
    if (ms <= 0)
        return 0;
    const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(TimeoutDuration(ms));
    return int(std::clamp<qint64>(real.count(), 1, std::numeric_limits<int>::max()));
}

} // namespace platform
