#include "platform/system/Random.h"

#include <QSet>
#include <gtest/gtest.h>

TEST(Random, ValuesDiffer)
{
    QSet<quint32> seen;
    for (int i = 0; i < 64; ++i)
        seen.insert(GenerateRandom());
    // 64 draws from 2^32 values: a repeat is all but impossible for a real generator.
    EXPECT_EQ(seen.size(), 64);
}

TEST(Random, FillsLongBuffers)
{
    QByteArray buffer(4096, '\0');
    EXPECT_TRUE(FillRandom(buffer.data(), size_t(buffer.size())));
    EXPECT_NE(buffer.count('\0'), buffer.size());
}
