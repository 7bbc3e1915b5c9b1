#include "platform/system/Random.h"

#include <QSet>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(Random, ValuesDifferAcrossBatchesAndThreads)
{
    // Draws come in batches per thread: 200 on each of two threads span several batches.
    // 400 draws from 2^32 values: a repeat is all but impossible for a real generator.
    QSet<quint32> seen;
    std::vector<quint32> other(200);
    std::thread drawer([&other] {
        for (quint32& value : other)
            value = GenerateRandom();
    });
    for (int i = 0; i < 200; ++i)
        seen.insert(GenerateRandom());
    drawer.join();
    for (const quint32 value : other)
        seen.insert(value);
    EXPECT_EQ(seen.size(), 400);
}

TEST(Random, FillsLongBuffers)
{
    QByteArray buffer(4096, '\0');
    EXPECT_TRUE(FillRandom(buffer.data(), size_t(buffer.size())));
    EXPECT_NE(buffer.count('\0'), buffer.size());
}
