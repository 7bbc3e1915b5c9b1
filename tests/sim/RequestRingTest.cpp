// The request logs of the simulated devices keep the latest requests and a count of all.
#include "sim/line/RequestRing.h"

#include <gtest/gtest.h>

TEST(RequestRing, KeepsTheLatestAndCountsAll)
{
    sim::RequestRing<int> ring(3);
    EXPECT_TRUE(ring.Entries().isEmpty());
    for (int i = 1; i <= 5; ++i)
        ring.Append(i);
    EXPECT_EQ(ring.Entries(), (QList<int>{3, 4, 5}));
    EXPECT_EQ(ring.Total(), 5u);
    // Since a mark: the newer ones still held, however far back the mark lies.
    EXPECT_EQ(ring.Since(4), (QList<int>{5}));
    EXPECT_EQ(ring.Since(5), QList<int>{});
    EXPECT_EQ(ring.Since(0), (QList<int>{3, 4, 5}));
    EXPECT_EQ(ring.Since(9), QList<int>{});

    ring.Clear();
    EXPECT_TRUE(ring.Entries().isEmpty());
    ring.Append(6);
    EXPECT_EQ(ring.Since(5), QList<int>{6});
    EXPECT_EQ(ring.Total(), 6u);

    sim::RequestRing<int> none(0);
    none.Append(1);
    EXPECT_TRUE(none.Entries().isEmpty());
    EXPECT_EQ(none.Total(), 1u);
}
