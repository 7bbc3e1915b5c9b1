#include "platform/system/Clock.h"
#include "tests/platform/kernel/KernelTestSupport.h"

#include <atomic>
#include <thread>

namespace {

TEST(Dispatcher, AWaitWithATimeoutEndsWithStatusTimeout)
{
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    LARGE_INTEGER timeout;
    timeout.QuadPart = -10 * 10'000; // 10 ms, relative
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &timeout), STATUS_TIMEOUT);
    timeout.QuadPart = 0;
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &timeout), STATUS_TIMEOUT);
    KeSetEvent(&event, IO_NO_INCREMENT, FALSE);
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &timeout), STATUS_SUCCESS);
    EXPECT_EQ(KeReadStateEvent(&event), 1) << "a notification event stays set";
}

TEST(Dispatcher, ASynchronisationEventReleasesOneWaiterAtATime)
{
    KEVENT event;
    KeInitializeEvent(&event, SynchronizationEvent, FALSE);
    std::atomic<int> released{0};
    std::thread waiters[2];
    for (auto& waiter : waiters)
        waiter = std::thread([&] {
            KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
            released++;
        });
    KeSetEvent(&event, IO_NO_INCREMENT, FALSE);
    while (released < 1)
        std::this_thread::yield();
    LARGE_INTEGER poll;
    poll.QuadPart = -5 * 10'000;
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &poll), STATUS_TIMEOUT);
    EXPECT_EQ(released, 1);
    KeSetEvent(&event, IO_NO_INCREMENT, FALSE);
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(released, 2);
    EXPECT_EQ(KeReadStateEvent(&event), 0);
}

TEST(Dispatcher, TheTickCountAdvancesWithVirtualTime)
{
    LARGE_INTEGER before, after;
    KeQueryTickCount(&before);
    platform::Clock::SleepMs(100);
    KeQueryTickCount(&after);
    EXPECT_GE((after.QuadPart - before.QuadPart) * KeQueryTimeIncrement(), 100 * 10'000);
}

TEST(Dispatcher, InterlockedCountersReturnTheNewValue)
{
    LONG count = 1;
    EXPECT_EQ(InterlockedIncrement(&count), 2);
    EXPECT_EQ(InterlockedDecrement(&count), 1);
    EXPECT_EQ(InterlockedExchange(&count, 7), 1);
    EXPECT_EQ(InterlockedCompareExchange(&count, 9, 6), 7);
    EXPECT_EQ(InterlockedCompareExchange(&count, 9, 7), 7);
    EXPECT_EQ(count, 9);
}

class Pool : public KernelTest
{
};

TEST_F(Pool, LeaksAreCountedAndInjectedFailuresHitOnlyTheirTag)
{
    const std::size_t before = platform::kernel::OutstandingPoolAllocations();
    const ULONG tag = MakePoolTag("Test");
    void* kept = ExAllocatePoolWithTag(NonPagedPool, 24, tag);
    EXPECT_EQ(platform::kernel::OutstandingPoolAllocations(), before + 1);
    EXPECT_NE(platform::kernel::DescribeOutstandingPool().find("'Test' 24 bytes"), std::string::npos);

    platform::kernel::FailPoolAllocations(tag, 1);
    void* other = ExAllocatePoolWithTag(NonPagedPool, 8, MakePoolTag("Othr"));
    EXPECT_NE(other, nullptr);
    EXPECT_EQ(ExAllocatePoolWithTag(NonPagedPool, 8, tag), nullptr);
    void* again = ExAllocatePoolWithTag(NonPagedPool, 8, tag);
    EXPECT_NE(again, nullptr);
    ExFreePool(other);
    ExFreePoolWithTag(again, tag);
    ExFreePool(kept);
}

} // namespace
