#include "platform/system/Clock.h"
#include "sim/line/DmxLine.h"
#include "tests/sim/ScriptedFixture.h"

#include <gtest/gtest.h>

using sim::DmxLine;
using sim::LineAnswer;

namespace {

// A GET request to a fixture: start code, sub-start, length 24, destination, source,
// transaction, port, message count, sub-device, command class, PID, data length, checksum.
QByteArray RdmMessage(quint8 commandClass, quint16 pid, quint8 transaction = 1)
{
    QByteArray m;
    m.append(char(0xCC)).append(char(0x01)).append(char(24));
    m.append(QByteArray::fromHex("7ff000000001")).append(QByteArray::fromHex("7ff012345789"));
    m.append(char(transaction)).append(char(1)).append(char(0)).append(char(0)).append(char(0));
    m.append(char(commandClass)).append(char(pid >> 8)).append(char(pid & 0xFF)).append(char(0));
    quint16 sum = 0;
    for (char c : m)
        sum = quint16(sum + quint8(c));
    m.append(char(sum >> 8)).append(char(sum & 0xFF));
    return m;
}

bool RdmChecksumGood(const QByteArray& m)
{
    const int length = quint8(m[2]);
    quint16 sum = 0;
    for (int i = 0; i < length; ++i)
        sum = quint16(sum + quint8(m[i]));
    return (quint8(m[length]) << 8 | quint8(m[length + 1])) == sum;
}

// A discovery answer for a UID, as a responder sends it.
QByteArray DiscoveryAnswer(quint64 uid)
{
    QByteArray a(7, char(0xFE));
    a.append(char(0xAA));
    quint16 sum = 0;
    for (int i = 5; i >= 0; --i) {
        const quint8 byte = quint8(uid >> (8 * i));
        a.append(char(byte | 0xAA)).append(char(byte | 0x55));
        sum = quint16(sum + quint8(byte | 0xAA) + quint8(byte | 0x55));
    }
    a.append(char((sum >> 8) | 0xAA)).append(char((sum >> 8) | 0x55));
    a.append(char((sum & 0xFF) | 0xAA)).append(char((sum & 0xFF) | 0x55));
    return a;
}

bool DiscoveryChecksumGood(const QByteArray& a)
{
    const int euid = a.indexOf(char(0xAA)) + 1;
    quint16 sum = 0;
    for (int i = 0; i < 12; ++i)
        sum = quint16(sum + quint8(a[euid + i]));
    const quint8 high = quint8(a[euid + 12]) & quint8(a[euid + 13]);
    const quint8 low = quint8(a[euid + 14]) & quint8(a[euid + 15]);
    return (high << 8 | low) == sum;
}

TEST(DmxLine, NoAnswerOneAnswerOrACollision)
{
    DmxLine line;
    auto first = std::make_shared<ScriptedFixture>();
    auto second = std::make_shared<ScriptedFixture>();
    line.Attach(first);
    line.Attach(second);
    const QByteArray request = RdmMessage(0x20, 0x0060);
    const QByteArray answer = RdmMessage(0x21, 0x0060, 7);

    EXPECT_EQ(line.Transact(request).kind, LineAnswer::Kind::None);

    first->Expect(request, answer);
    LineAnswer heard = line.Transact(request);
    EXPECT_EQ(heard.kind, LineAnswer::Kind::Answer);
    EXPECT_EQ(heard.bytes, answer);

    first->Expect(request, answer);
    second->Expect(request, RdmMessage(0x21, 0x0060, 9));
    heard = line.Transact(request);
    EXPECT_EQ(heard.kind, LineAnswer::Kind::Collision);
    ASSERT_EQ(heard.bytes.size(), answer.size());
    EXPECT_FALSE(RdmChecksumGood(heard.bytes));
    EXPECT_TRUE(first->ScriptUsedUp());
    EXPECT_TRUE(second->ScriptUsedUp());
}

TEST(DmxLine, CollidingAnswersNeverCarryAGoodChecksum)
{
    // Even identical answers, whose ORed bytes would still add up.
    for (const QByteArray& answer : {RdmMessage(0x21, 0x0060), DiscoveryAnswer(0x7FF000000001ull)}) {
        const QByteArray heard = sim::GarbleAnswers({answer, answer});
        ASSERT_EQ(heard.size(), answer.size());
        if (quint8(answer[0]) == 0xCC)
            EXPECT_FALSE(RdmChecksumGood(heard));
        else
            EXPECT_FALSE(DiscoveryChecksumGood(heard));
    }
    ASSERT_TRUE(DiscoveryChecksumGood(DiscoveryAnswer(0x7FF000000002ull)));
    const QByteArray heard = sim::GarbleAnswers({DiscoveryAnswer(0x7FF000000001ull), DiscoveryAnswer(0x7FF000000002ull)});
    EXPECT_FALSE(DiscoveryChecksumGood(heard));
    // Anything else gets its last byte spoilt.
    EXPECT_EQ(sim::GarbleAnswers({"\x01\x02", "\x01"}), QByteArray("\x01\xFD"));
}

TEST(DmxLine, AnswersToABroadcastAreNotListenedFor)
{
    DmxLine line;
    auto fixture = std::make_shared<ScriptedFixture>();
    line.Attach(fixture);
    const QByteArray request = RdmMessage(0x30, 0x00F0);
    fixture->Expect(request, RdmMessage(0x31, 0x00F0));
    EXPECT_EQ(line.Transact(request, false).kind, LineAnswer::Kind::None);
    EXPECT_TRUE(fixture->ScriptUsedUp()) << "the fixture still saw the request";
}

TEST(DmxLine, EveryFixtureSeesTheFrameTheLineRepeats)
{
    DmxLine line;
    auto fixture = std::make_shared<ScriptedFixture>();
    line.Attach(fixture);
    line.SendDmxFrame(QByteArray(600, '\x11'));
    EXPECT_EQ(line.CurrentFrame(), QByteArray(512, '\x11'));
    EXPECT_EQ(fixture->Frames(), QList<QByteArray>({QByteArray(512, '\x11')}));
    line.Detach(fixture);
    line.SendDmxFrame("\x01\x02");
    EXPECT_EQ(fixture->Frames().size(), 1);
    EXPECT_EQ(line.FramesSent(), 2);
}

TEST(DmxLine, TheWireTimeOfAnExchangeFollowsTheStandard)
{
    const QByteArray request = RdmMessage(0x20, 0x0060); // 26 slots
    QByteArray discovery = RdmMessage(0x10, 0x0001);
    const qint64 requestUs = 176 + 12 + 26 * 44;
    struct Case
    {
        const char* name;
        QByteArray request;
        LineAnswer answer;
        bool answerWanted;
        qint64 microseconds;
    };
    const Case cases[] = {
        {"lost answer", request, {}, true, requestUs + 2800},
        {"lost discovery answer", discovery, {}, true, requestUs + 5800},
        {"answer", request, {LineAnswer::Kind::Answer, QByteArray(26, 'a')}, true, requestUs + 176 + 176 + 12 + 26 * 44},
        {"discovery answer, sent without a break", discovery, {LineAnswer::Kind::Collision, QByteArray(24, 'a')}, true,
         requestUs + 176 + 24 * 44},
        {"broadcast", request, {}, false, requestUs + 176},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DmxLine::ExchangeMicroseconds(c.request, c.answer, c.answerWanted), c.microseconds) << c.name;
}

TEST(DmxLine, WireTimingMakesTheLineTakeARealLinesTime)
{
    DmxLine line;
    line.SetWireTiming(true);
    const QByteArray request = RdmMessage(0x20, 0x0060);
    const qint64 before = platform::Clock::NowMs();
    for (int i = 0; i < 100; ++i)
        line.Transact(request); // nobody answers: about 4 ms each
    EXPECT_GE(platform::Clock::NowMs() - before, 100 * (176 + 12 + 26 * 44 + 2800) / 1000);
}

} // namespace
