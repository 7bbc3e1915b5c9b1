#include "mosavra/MosavraHighResTimer.h"
#include "platform/system/Clock.h"
#include "tests/link/PollUntil.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

TEST(MosavraHighResTimerTest, AnArmedIntervalFiresOnceAfterItsTime)
{
    MosavraHighResTimer timer;
    QSignalSpy fired(&timer, &MosavraHighResTimer::timeout);
    const qint64 start = MosavraHighResTimer::NowMs();
    timer.Start(200);
    ASSERT_TRUE(PollUntil([&] { return fired.count() == 1; }));
    EXPECT_GE(MosavraHighResTimer::NowMs() - start, 200);
    EXPECT_FALSE(timer.IsArmed());

    timer.Start(0);
    ASSERT_TRUE(PollUntil([&] { return fired.count() == 2; })) << "0 ms fires at once";
    // Long past both intervals: nothing more, each interval fired once.
    const qint64 later = MosavraHighResTimer::NowMs() + 1000;
    PollUntil([&] { return MosavraHighResTimer::NowMs() > later; });
    EXPECT_EQ(fired.count(), 2);
}

TEST(MosavraHighResTimerTest, ADisarmedIntervalEmitsNothing)
{
    MosavraHighResTimer timer;
    QSignalSpy fired(&timer, &MosavraHighResTimer::timeout);
    const qint64 due = MosavraHighResTimer::NowMs() + 500;
    timer.Start(500);
    timer.Disarm();
    EXPECT_FALSE(timer.IsArmed());
    PollUntil([&] { return MosavraHighResTimer::NowMs() > due + 500; });
    EXPECT_EQ(fired.count(), 0);
}

TEST(MosavraHighResTimerTest, ARestartReplacesTheRunningInterval)
{
    MosavraHighResTimer timer;
    QSignalSpy fired(&timer, &MosavraHighResTimer::timeout);
    const qint64 start = MosavraHighResTimer::NowMs();
    timer.Start(60000);
    timer.Start(100);
    ASSERT_TRUE(PollUntil([&] { return fired.count() == 1; })) << "the new interval counts, not the old";
    EXPECT_LT(MosavraHighResTimer::NowMs() - start, 30000);
}

// At real time: a timer whose thread slept through its interval would hold the test a
// minute. Neither arming nor destruction waits for a running interval.
TEST(MosavraHighResTimerTest, NeitherStartNorDestructionWaitsForARunningInterval)
{
    platform::ScopedTimeScale realTime(1.0);
    const qint64 start = MosavraHighResTimer::NowMs();
    {
        MosavraHighResTimer timer;
        timer.Start(60000);
        timer.Start(60000);
        timer.Disarm();
        timer.Start(60000);
    }
    EXPECT_LT(MosavraHighResTimer::NowMs() - start, 60000);
}
