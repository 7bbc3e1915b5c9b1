// The Tarvo search against a model of the line: lamps that answer every probe at or
// below their id while lit, and the misbehaving ones.
#include "firmware/TarvoDiscoverySearch.h"
#include "tests/link/RecordingFeedback.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct ModelLamp
{
    quint32 id = 0;
    bool neverQuiet = false;
    bool answersWhileQuiet = false;
    int quietAfter = 1;  // extinguish packets it needs
    bool quiet = false;
    int extinguishes = 0;
};

class ModelLine : public TarvoDiscoverySearch::ILine
{
public:
    bool Probe(quint32 low) override
    {
        ++probes;
        bool answered = false;
        for (const ModelLamp& lamp : lamps)
            answered |= (!lamp.quiet || lamp.answersWhileQuiet) && lamp.id >= low;
        return answered;
    }
    void Extinguish(quint32 id) override
    {
        ++extinguishPackets;
        for (ModelLamp& lamp : lamps)
            if (lamp.id == id && !lamp.neverQuiet && ++lamp.extinguishes >= lamp.quietAfter)
                lamp.quiet = true;
    }
    bool IsExtinguished(quint32 id) override
    {
        for (const ModelLamp& lamp : lamps)
            if (lamp.id == id && lamp.quiet)
                return true;
        return false;
    }

    std::vector<ModelLamp> lamps;
    int probes = 0;
    int extinguishPackets = 0;
};

class TarvoSearch : public ::testing::Test
{
protected:
    void Run()
    {
        TarvoDiscoverySearch search(&line, &feedback);
        search.Search(0, 0xFFFF'FFFFu);
        found = search.Found();
        stopped = search.Stopped();
    }

    ModelLine line;
    RecordingFeedback feedback;
    QList<quint32> found;
    bool stopped = false;
};

TEST_F(TarvoSearch, AnEmptyLineIsProbedThreeTimes)
{
    Run();
    EXPECT_EQ(line.probes, 3);
    EXPECT_TRUE(found.isEmpty());
    EXPECT_EQ(feedback.Texts(), QStringList{" Tarvo Discovery: Searching range 0x0 - 0xffffffff"});
}

// The lamp at the top: 32 halvings into the upper half, the leaf's four probes, and on
// the way back three probes of every lower half (four for the last, a leaf).
TEST_F(TarvoSearch, ALampAtTheTopIsFoundByHalvingUpwards)
{
    line.lamps = {{0xFFFF'FFFFu}};
    Run();
    EXPECT_EQ(line.probes, 133);
    EXPECT_EQ(line.extinguishPackets, 1);
    EXPECT_EQ(found, QList<quint32>{0xFFFF'FFFFu});
    EXPECT_EQ(feedback.TextsStartingWith(" Tarvo Discovery: Device found"),
              QStringList{" Tarvo Discovery: Device found 0xffffffff"});
    EXPECT_FALSE(stopped);
}

TEST_F(TarvoSearch, LampsAreFoundHighestFirst)
{
    line.lamps = {{0x10}, {0x8000'0000u}, {0xFFFF'FFFFu}, {0x11}};
    Run();
    EXPECT_EQ(found, (QList<quint32>{0xFFFF'FFFFu, 0x8000'0000u, 0x11, 0x10}));
}

// A lamp that goes quiet late is found while it does so within the 50 rounds; one later
// than that is a lamp that does not go quiet, and stops the search below it.
TEST_F(TarvoSearch, ALampThatGoesQuietLateIsFoundWithinFiftyRounds)
{
    for (int quietAfter : {3, 50, 51}) {
        line = ModelLine();
        feedback = RecordingFeedback();
        line.lamps = {{0x4000, false, false, quietAfter}, {0x10}};
        Run();
        const QStringList stuck = feedback.TextsStartingWith(" Tarvo Discovery: Device would not extinquish");
        if (quietAfter <= TarvoDiscoverySearch::kExtinguishRounds) {
            EXPECT_EQ(found, (QList<quint32>{0x4000, 0x10})) << quietAfter;
            EXPECT_TRUE(stuck.isEmpty()) << quietAfter;
        } else {
            EXPECT_EQ(found, QList<quint32>()) << quietAfter;
            ASSERT_FALSE(stuck.isEmpty());
            EXPECT_EQ(stuck.first(), " Tarvo Discovery: Device would not extinquish 0x4000");
            EXPECT_TRUE(stopped);
        }
    }
}

// A lamp that still answers once quiet is asked to go quiet at every probe of its leaf,
// but found once.
TEST_F(TarvoSearch, ALampAnsweringWhileQuietIsFoundOnce)
{
    line.lamps = {{0xFFFF'FFFFu, false, true}};
    Run();
    EXPECT_EQ(found, QList<quint32>{0xFFFF'FFFFu});
    EXPECT_EQ(feedback.TextsStartingWith(" Tarvo Discovery: Device found").size(), 1);
}

// A lamp that never goes quiet answers every probe below it; the search gives up after
// 64 such single ids, having found every lamp above it.
TEST_F(TarvoSearch, ALampThatNeverGoesQuietStopsTheSearchBelowIt)
{
    line.lamps = {{0x1000, true}, {0x2000}, {0xF000'0000u}, {0x10}};
    Run();
    EXPECT_TRUE(stopped);
    EXPECT_EQ(found, (QList<quint32>{0xF000'0000u, 0x2000}));
    const QStringList stuck = feedback.TextsStartingWith(" Tarvo Discovery: Device would not extinquish");
    ASSERT_EQ(stuck.size(), TarvoDiscoverySearch::kMaxUnclaimedLeaves + 1);
    EXPECT_EQ(stuck.first(), " Tarvo Discovery: Device would not extinquish 0x1000");
    EXPECT_EQ(feedback.Texts(FeedbackError),
              QStringList{" Tarvo Discovery: The line keeps answering where no device can be found; search stopped."});
    EXPECT_EQ(feedback.lines.last().status, FeedbackError);
}

TEST_F(TarvoSearch, ACancelledSearchStopsAfterTheSingleIdAtHand)
{
    line.lamps = {{0x10}, {0xFFFF'FFFFu}};
    feedback.cancelled = true;
    Run();
    EXPECT_TRUE(stopped);
    EXPECT_EQ(found, QList<quint32>{0xFFFF'FFFFu});
}

} // namespace
