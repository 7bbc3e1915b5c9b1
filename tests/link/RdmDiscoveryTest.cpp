#include "link/devices/RDMDevice.h"
#include "link/rdm/RDMProtocol.h"
#include "link/rdm/RdmDiscoverySearch.h"
#include "sim/fixtures/RdmResponder.h"
#include "tests/link/DiscoveryTestSupport.h"
#include "tests/link/RdmTestPackets.h"
#include "tests/link/RecordingFeedback.h"
#include "tests/link/ScriptedRdmLink.h"
#include "tests/link/TestLine.h"

#include <QPointer>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

using namespace rdm;
using namespace rdmtest;

namespace {

constexpr quint64 kFixture = 0x4142'0102'0304ull;

// The discovery of a line of simulated E1.20 responders.
class RdmDiscovery : public ::testing::Test
{
protected:
    ~RdmDiscovery() override { qDeleteAll(result); }

    sim::RdmResponder& Add(quint64 uid)
    {
        sim::RdmResponderState state;
        state.uid = uid;
        state.modelDescription = "Spot 300";
        responders.push_back(std::make_unique<sim::RdmResponder>(state));
        line.Attach(responders.back().get());
        return *responders.back();
    }

    void Discover()
    {
        protocol.Discover(&result, &feedback);
    }

    QList<quint64> ResultUids() const
    {
        QList<quint64> uids;
        for (Device* device : result)
            uids.append(device->GetUniqueId());
        return uids;
    }
    QList<quint64> FoundUids() const { return FoundUidLines(feedback.Texts()); }
    QList<quint64> MuteDestinations() const { return ::MuteDestinations(line.requests); }

    int Branches() const { return line.Count(DiscoveryCommand, PidDiscUniqueBranch); }

    std::vector<std::unique_ptr<sim::RdmResponder>> responders;
    TestLine line;
    RDMProtocol protocol{[this] { return &line; }};
    RecordingFeedback feedback;
    QList<Device*> result;
};

TEST(RdmDiscoveryWire, EmptyLineUnmutesOnceAndAsksTheWholeRangeFiveTimes)
{
    ScriptedRdmLink link;
    // The broadcast un-mute expects no answer; the widget reports none.
    link.ExpectRead(Request(BroadcastUid, 0, DiscoveryCommand, PidDiscUnMute)).Silence();
    const QByteArray bounds = U16(0) + U32(0) + U16(0xFFFF) + U32(0xFFFFFFFE);
    for (quint8 transaction = 1; transaction <= 5; ++transaction)
        link.ExpectRead(Request(BroadcastUid, transaction, DiscoveryCommand, PidDiscUniqueBranch, bounds), 63).Silence();
    RDMProtocol protocol([&link] { return &link; });
    RecordingFeedback feedback;
    QList<Device*> devices;

    protocol.Discover(&devices, &feedback);

    link.Verify();
    EXPECT_TRUE(devices.isEmpty());
    const QStringList expected = {
        "RDM Discovery: Starting..",
        "RDM Discovery: Unmute all devices",
        " RDM Discovery: Searching range 0x0 - 0xfffffffffffe",
        "\n Updating device information for 0 devices",
        "RDM Discovery: Finished!",
    };
    EXPECT_EQ(feedback.Texts(), expected);
    // Responders get half a second after the un-mute, and every branch its 60 ms.
    ASSERT_EQ(link.sentAtMs.size(), 6);
    EXPECT_GT(link.sentAtMs[1] - link.sentAtMs[0], 500);
    for (int i = 2; i < 6; ++i)
        EXPECT_GT(link.sentAtMs[i] - link.sentAtMs[i - 1], 60);
}

TEST(RdmDiscoveryWire, WithoutWidgetNothingIsSentAndTheListStays)
{
    RDMProtocol protocol([] { return nullptr; });
    RecordingFeedback feedback;
    StandInLampFixture lamp(7, 3);
    QList<Device*> devices = {&lamp};

    protocol.Discover(&devices, &feedback);

    EXPECT_EQ(devices, QList<Device*>{&lamp});
    EXPECT_EQ(feedback.Texts(), (QStringList{"RDM Discovery: Starting..", " Error: No communication device detected"}));
    EXPECT_EQ(feedback.lines.last().status, FeedbackError);
}

TEST_F(RdmDiscovery, OneFixtureIsIsolatedLevelByLevelThenMuted)
{
    Add(kFixture);
    Discover();

    EXPECT_EQ(line.Count(DiscoveryCommand, PidDiscUnMute), 1);
    EXPECT_EQ(Branches(), 283);
    // The last level holds 304 and 305; the upper half, 305, is asked three times first.
    const QList<quint64> mutes = {kFixture + 1, kFixture + 1, kFixture + 1, kFixture};
    EXPECT_EQ(MuteDestinations(), mutes);
    EXPECT_TRUE(feedback.Texts().contains(" RDM Discovery: Device found 0x414201020304"));
    ASSERT_EQ(result.size(), 1);
    RDMDevice* fixture = qobject_cast<RDMDevice*>(result[0]);
    ASSERT_TRUE(fixture);
    EXPECT_EQ(fixture->GetUniqueId(), kFixture);
    EXPECT_EQ(fixture->GetModelName(), "Spot 300");
    EXPECT_EQ(fixture->GetSoftwareVersion(), "1.0.0");
    EXPECT_EQ(feedback.Texts().last(), "RDM Discovery: Finished!");
    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty()) << feedback.Texts(FeedbackError).join('\n').toStdString();
    EXPECT_TRUE(responders[0]->IsMuted());
}

TEST_F(RdmDiscovery, AdjacentFixturesAreFoundUpperFirstAndComeBackReversed)
{
    Add(kFixture);
    Add(kFixture + 1);
    Discover();

    EXPECT_EQ(FoundUids(), (QList<quint64>{kFixture + 1, kFixture}));
    EXPECT_EQ(ResultUids(), (QList<quint64>{kFixture, kFixture + 1}));
}

TEST_F(RdmDiscovery, ProductionModeSearchesOnlyUpToTheUnassignedIdentifiers)
{
    ProductionStation station("Spot 300");
    Add(0x7FF0'0000'0001ull);
    Add(0x7FF0'0000'0003ull);  // has its identifier: above the production range
    Discover();

    const QStringList texts = feedback.Texts();
    ASSERT_GE(texts.size(), 3);
    EXPECT_EQ(texts[2], " RDM Discovery: Searching range 0x0 - 0x7ff000000002");
    EXPECT_EQ(ResultUids(), QList<quint64>{0x7FF0'0000'0001ull});
}

TEST_F(RdmDiscovery, PlainFixtureIsQueriedThenItsParametersRead)
{
    sim::RdmResponder& responder = Add(kFixture);
    responder.Modify([](sim::RdmResponderState& s) {
        s.optionalParameters = {0x0080, 0x0401, 0x0082};
        s.lampHours = 1234;
        s.deviceLabel = "Stage left";
    });
    Discover();

    QStringList asked;
    for (const sim::RdmResponder::LoggedRequest& request : responder.Requests())
        if (request.commandClass != DiscoveryCommand)
            asked.append(QStringLiteral("%1:%2").arg(request.commandClass, 0, 16).arg(request.pid, 4, 16, QLatin1Char('0')));
    const QStringList expected = {
        // discovery's own questions
        "20:0060", "20:00e1", "20:0080", "20:1000",
        // then the standard update
        "20:0060", "20:00e1", "20:00c0", "20:00f0", "20:1000", "20:0050",
        // the supported parameters with a GET, ascending
        "20:0080", "20:0082", "20:0401",
    };
    EXPECT_EQ(asked, expected);
    ASSERT_EQ(result.size(), 1);
    auto* fixture = qobject_cast<RDMDevice*>(result[0]);
    EXPECT_EQ(fixture->GetLampHours(), 1234u);
    EXPECT_EQ(fixture->GetDeviceLabel(), "Stage left");
    const QStringList texts = feedback.Texts();
    const qsizetype querying = texts.indexOf("------ Querying device information for 414201020304 ------");
    ASSERT_GT(querying, 0);
    EXPECT_EQ(texts[querying - 1], " ");
    EXPECT_TRUE(texts.contains("\n Updating device information for 1 devices"));
}

TEST_F(RdmDiscovery, LampFixtureWithTheSameDeviceIdIsMergedIntoTheRdmFixture)
{
    Add(kFixture);
    auto* same = new StandInLampFixture(0x01020304, 17);
    auto* other = new StandInLampFixture(0x0A0B0C0D, 4);
    QPointer<Device> sameWatch(same);
    result = {other, same};
    Discover();

    EXPECT_TRUE(sameWatch.isNull()) << "the lamp duplicate is deleted";
    ASSERT_EQ(result.size(), 2);
    // The list is handed back reversed: the RDM fixture (last after the search) first.
    auto* fixture = qobject_cast<RDMDevice*>(result[0]);
    ASSERT_TRUE(fixture);
    EXPECT_EQ(result[1], other);
    EXPECT_TRUE(fixture->IsUpgradable());
    EXPECT_TRUE(fixture->UsesModelTable());
    EXPECT_EQ(fixture->GetModelIndex(), 17);
}

TEST_F(RdmDiscovery, MuteAcknowledgementWithBindingUidIsAccepted)
{
    sim::RdmResponder& responder = Add(kFixture);
    responder.Modify([](sim::RdmResponderState& s) {
        s.muteControlField = 0x0002;
        s.bindingUid = kFixture + 0x100;
    });
    Discover();
    EXPECT_EQ(ResultUids(), QList<quint64>{kFixture});
}

TEST_F(RdmDiscovery, TwentyFixturesOfOneMakerAreFoundWhole)
{
    std::set<quint64> expected;
    // Ten side by side, ten spread over the maker's range.
    for (quint64 i = 0; i < 10; ++i)
        expected.insert(0x4142'0000'1000ull + i);
    for (quint64 i = 0; i < 10; ++i)
        expected.insert(0x4142'0000'0000ull + i * 0x1999'9999ull + 7);
    for (quint64 uid : expected)
        Add(uid);
    Discover();

    const QList<quint64> found = ResultUids();
    EXPECT_EQ(std::set<quint64>(found.begin(), found.end()), expected);
    EXPECT_EQ(found.size(), 20) << "each fixture once";
    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty()) << feedback.Texts(FeedbackError).join('\n').toStdString();
}

TEST_F(RdmDiscovery, MisbehavingRespondersStillLetTheSearchEnd)
{
    struct Case {
        const char* name;
        bool answersWhileMuted;
        int muteAfter;
        bool found;
    };
    const Case cases[] = {
        {"answers while muted", true, 1, true},
        {"never mutes", false, 0, false},
        {"mutes at the second try", false, 2, true},
        {"mutes at the third try", false, 3, true},
        {"mutes at the fourth try", false, 4, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestLine caseLine;
        RDMProtocol engine([&caseLine] { return &caseLine; });
        sim::RdmResponderState state;
        state.uid = kFixture;
        sim::RdmResponder odd(state);
        sim::RdmResponder normal([] { sim::RdmResponderState s; s.uid = 0x4142'0000'0010ull; return s; }());
        odd.SetAnswersWhileMuted(c.answersWhileMuted);
        odd.SetMuteAcknowledgedAfter(c.muteAfter);
        caseLine.Attach(&odd);
        caseLine.Attach(&normal);
        RecordingFeedback caseFeedback;
        QList<Device*> devices;

        engine.Discover(&devices, &caseFeedback);

        QList<quint64> uids;
        for (Device* device : devices)
            uids.append(device->GetUniqueId());
        qDeleteAll(devices);
        EXPECT_EQ(uids.count(kFixture), c.found ? 1 : 0);
        EXPECT_EQ(uids.count(0x4142'0000'0010ull), 1) << "the well-behaved neighbour is found";
        EXPECT_EQ(caseFeedback.Texts().last(), "RDM Discovery: Finished!");
    }
}

TEST_F(RdmDiscovery, WidgetThatStopsAnsweringEndsTheSearch)
{
    Add(kFixture);
    Add(0x4142'0000'0010ull);
    line.StopAnsweringAfter(150);  // about half way down to the first fixture
    Discover();

    EXPECT_TRUE(result.isEmpty());
    EXPECT_EQ(feedback.Texts().last(), "RDM Discovery: Finished!");
    EXPECT_LT(Branches(), 1000);
}

// A line on which something answers every branch, whatever the range.
class NoisyLine : public RdmDiscoverySearch::ILine
{
public:
    bool UniqueBranch(quint64, quint64) override { ++branches; return true; }
    bool Mute(quint64) override { ++mutes; return false; }
    int branches = 0;
    int mutes = 0;
};

// A line that answers ranges down to a width of 2^20 and nothing narrower.
class WideNoiseLine : public RdmDiscoverySearch::ILine
{
public:
    bool UniqueBranch(quint64 low, quint64 high) override { ++branches; return high - low >= (1u << 20); }
    bool Mute(quint64) override { return false; }
    int branches = 0;
};

// A line of well-behaved responders: a branch is answered while an un-muted one lies in
// the range, and a mute is acknowledged by the responder it names.
class ResponderModelLine : public RdmDiscoverySearch::ILine
{
public:
    explicit ResponderModelLine(const std::set<quint64>& uids) : unmuted(uids) {}
    bool UniqueBranch(quint64 low, quint64 high) override
    {
        const auto first = unmuted.lower_bound(low);
        return first != unmuted.end() && *first <= high;
    }
    bool Mute(quint64 uid) override { return unmuted.erase(uid) == 1; }
    std::set<quint64> unmuted;
};

// Searching a single UID next to a fixture is part of every isolation (the search halves
// down to pairs of UIDs): that silence is no sign of noise, however many fixtures there are.
TEST(RdmDiscoverySearchModel, AFullLineIsFoundWhole)
{
    std::set<quint64> uids;
    for (quint64 i = 0; i < 3 * RdmDiscoverySearch::kMaxPhantomAnswers; ++i)
        uids.insert(0x4142'0000'0000ull + i * 0x0123'4567ull + (i % 2));
    ResponderModelLine line(uids);
    RecordingFeedback feedback;
    RdmDiscoverySearch search(&line, &feedback);
    search.Search(0, 0xFFFF'FFFF'FFFEull);

    EXPECT_FALSE(search.Stopped());
    EXPECT_EQ(search.PhantomAnswers(), 0);
    EXPECT_EQ(std::set<quint64>(search.Found().begin(), search.Found().end()), uids);
    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty()) << feedback.Texts(FeedbackError).join('\n').toStdString();
}

TEST(RdmDiscoverySearchModel, NoiseStopsTheSearchAfterTheAllowedPhantoms)
{
    NoisyLine noisy;
    RecordingFeedback feedback;
    RdmDiscoverySearch search(&noisy, &feedback);
    search.Search(0, 0xFFFF'FFFF'FFFEull);
    EXPECT_TRUE(search.Stopped());
    EXPECT_TRUE(search.Found().isEmpty());
    // Each unexplained answer is a pair of UIDs that both refuse their mutes (and, where
    // a range of three is split, one single UID besides).
    EXPECT_EQ(search.PhantomAnswers(), RdmDiscoverySearch::kMaxPhantomAnswers + 1);
    EXPECT_GE(noisy.mutes, (RdmDiscoverySearch::kMaxPhantomAnswers + 1) * 2 * RdmDiscoverySearch::kMuteTries);
    EXPECT_LE(noisy.mutes, (RdmDiscoverySearch::kMaxPhantomAnswers + 2) * 2 * RdmDiscoverySearch::kMuteTries);
    EXPECT_EQ(feedback.Texts(FeedbackError).size(), 1);

    WideNoiseLine wide;
    RdmDiscoverySearch wideSearch(&wide, nullptr);
    wideSearch.Search(0, 0xFFFF'FFFF'FFFEull);
    EXPECT_TRUE(wideSearch.Stopped());
    EXPECT_LT(wide.branches, 10000);
}

TEST(RdmDiscoverySearchModel, CancelledFeedbackStopsTheSearch)
{
    NoisyLine noisy;
    RecordingFeedback feedback;
    feedback.cancelled = true;
    RdmDiscoverySearch search(&noisy, &feedback);
    search.Search(0, 0xFFFF'FFFF'FFFEull);
    EXPECT_TRUE(search.Stopped());
    EXPECT_EQ(noisy.branches, 0);
}

// A command's IsCancelled costs a pause, so the search asks once at the start and once
// for each fixture, not for each of the hundred-odd ranges it looks at per fixture; a
// cancel still ends it at the next fixture.
TEST(RdmDiscoverySearchModel, CancellationIsAskedOncePerFixture)
{
    class CountingFeedback : public RecordingFeedback
    {
    public:
        bool IsCancelled() override { return ++asked > cancelAfter; }
        int asked = 0;
        int cancelAfter = 1000;
    };
    const std::set<quint64> uids = {0x4142'0000'0010ull, 0x4142'0000'7000ull, 0x4142'8000'0001ull};

    ResponderModelLine line(uids);
    CountingFeedback feedback;
    RdmDiscoverySearch search(&line, &feedback);
    search.Search(0, 0xFFFF'FFFF'FFFEull);
    EXPECT_EQ(search.Found().size(), 3);
    EXPECT_EQ(feedback.asked, 1 + 3);

    ResponderModelLine again(uids);
    CountingFeedback cancelling;
    cancelling.cancelAfter = 2;  // the start and the first fixture pass
    RdmDiscoverySearch cancelled(&again, &cancelling);
    cancelled.Search(0, 0xFFFF'FFFF'FFFEull);
    EXPECT_TRUE(cancelled.Stopped());
    EXPECT_EQ(cancelled.Found().size(), 2);
}

} // namespace
