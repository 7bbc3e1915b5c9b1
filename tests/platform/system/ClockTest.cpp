#include "platform/system/Clock.h"

#include <QElapsedTimer>
#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>
#include <thread>
#include <gtest/gtest.h>

using platform::Clock;
using platform::ScopedTimeScale;

TEST(Clock, ScaleShortensATenSecondSleepToMilliseconds)
{
    ScopedTimeScale scale(0.0001);
    QElapsedTimer real;
    real.start();
    const qint64 before = Clock::NowMs();
    Clock::SleepMs(10'000);
    // Virtual time saw the whole ten seconds pass...
    EXPECT_GE(Clock::NowMs() - before, 10'000);
    // ...in about a millisecond of real time (generous bound for a loaded machine).
    EXPECT_LT(real.elapsed(), 2'000);
}

TEST(Clock, VirtualTimeStaysContinuousAcrossScaleChanges)
{
    qint64 last = Clock::NowMs();
    for (double s : {1.0, 0.001, 0.5, 0.0001, 1.0}) {
        ScopedTimeScale scale(s);
        const qint64 now = Clock::NowMs();
        EXPECT_GE(now, last);
        last = now;
    }
}

TEST(Clock, ScopedScaleRestoresThePreviousScale)
{
    const double before = Clock::Scale();
    {
        ScopedTimeScale scale(0.25);
        EXPECT_DOUBLE_EQ(Clock::Scale(), 0.25);
    }
    EXPECT_DOUBLE_EQ(Clock::Scale(), before);
}

TEST(Clock, InvalidScalesAreIgnored)
{
    const double before = Clock::Scale();
    for (double bad : {0.0, -1.0, std::numeric_limits<double>::infinity(), std::nan("")})
        Clock::SetScale(bad);
    EXPECT_DOUBLE_EQ(Clock::Scale(), before);
}

TEST(Clock, TimeoutsKeepARealFloorButNeverExceedTheUnscaledTime)
{
    ScopedTimeScale scale(0.001);
    using std::chrono::milliseconds;
    EXPECT_EQ(Clock::TimeoutDuration(1000), milliseconds(Clock::kTimeoutFloorMs));
    EXPECT_EQ(Clock::TimeoutDuration(10), milliseconds(10));
    EXPECT_EQ(Clock::TimeoutDuration(0), milliseconds(0));
    EXPECT_EQ(Clock::TimeoutDuration(1'000'000), milliseconds(1000));
    EXPECT_EQ(Clock::TimerIntervalMs(1000), int(Clock::kTimeoutFloorMs));
}

TEST(Clock, TickCountFollowsVirtualTime)
{
    ScopedTimeScale scale(0.001);
    const quint32 before = Clock::TickCount();
    Clock::SleepMs(5'000);
    EXPECT_GE(quint32(Clock::TickCount() - before), 5'000u);
}

// A thread bound to a stop token stops sleeping and waiting once the token is stopped:
// the sleep and the wait below would otherwise last an hour each.
TEST(Clock, AStoppedThreadEndsItsSleepsAndWaitsAtOnce)
{
    ScopedTimeScale scale(1.0);
    constexpr qint64 kHourMs = 3'600'000;
    std::stop_source stop;
    std::atomic<int> reached{0};
    bool waitAnswer = true;
    bool stopSeen = false;
    std::thread sleeper([&] {
        platform::ScopedStopToken bound(stop.get_token());
        reached = 1;
        Clock::SleepMs(kHourMs);
        std::mutex mutex;
        std::condition_variable_any never;
        std::unique_lock lock(mutex);
        waitAnswer = Clock::WaitFor(never, lock, kHourMs, [] { return false; });
        stopSeen = Clock::StopRequested();
    });
    while (reached == 0)
        std::this_thread::yield();
    EXPECT_FALSE(Clock::StopRequested()) << "the test's own thread is not bound";
    stop.request_stop();
    sleeper.join();
    EXPECT_FALSE(waitAnswer);
    EXPECT_TRUE(stopSeen);
}
