#include "link/rdm/RDMProtocol.h"
#include "tests/link/RdmTestPackets.h"
#include "tests/link/RecordingFeedback.h"
#include "tests/link/ScriptedRdmLink.h"

#include <gtest/gtest.h>

#include <functional>

using namespace rdm;
using namespace rdmtest;

namespace {

constexpr quint64 kFixture = 0x414201020304ull;

class RdmTransaction : public ::testing::Test
{
protected:
    // Sends a request and returns the result; `reply` gets the copied data.
    int Send(quint64 destination, quint8 commandClass, quint16 pid, const QByteArray& data = {}, int room = 64)
    {
        reply.fill('\xEE', room);
        replyLength = room;
        return protocol.SendRequest(UidLow(destination), UidHigh(destination), commandClass, pid, data.constData(),
                                    int(data.size()), reply.data(), &replyLength, &feedback);
    }
    QByteArray Copied() const { return reply.left(replyLength); }

    // Uses up `count` transaction numbers with broadcasts that draw no answer.
    void BurnTransactions(int count)
    {
        for (int i = 0; i < count; ++i) {
            link.ExpectRead(Request(BroadcastUid, protocol.TransactionNumber(), SetCommand, PidIdentifyDevice)).Silence();
            ASSERT_EQ(Send(BroadcastUid, SetCommand, PidIdentifyDevice), 0);
        }
        link.sent.clear();
        link.sentAtMs.clear();
    }

    ScriptedRdmLink link;
    RDMProtocol protocol{[this] { return &link; }};
    RecordingFeedback feedback;
    QByteArray reply;
    int replyLength = 0;
};

TEST_F(RdmTransaction, RequestsGoOutByteForByte)
{
    link.ExpectRead(Bytes("CC 01 18 41 42 01 02 03 04 7F F0 12 34 57 89 00 01 00 00 00 20 00 60 00 04 88"))
        .Reply(Reply(kFixture, 0, ResponseAck, GetCommand, PidDeviceInfo, Bytes("0100")));
    EXPECT_EQ(Send(kFixture, GetCommand, PidDeviceInfo), ResponseAck);
    EXPECT_EQ(ToHex(Copied()), "01 00");

    BurnTransactions(4);
    ASSERT_EQ(protocol.TransactionNumber(), 5);
    const QByteArray set = Request(kFixture, 5, SetCommand, PidDmxStartAddress, U16(42));
    ASSERT_TRUE(ToHex(set).endsWith("30 00 F0 02 00 2A 05 5B"));  // the helper agrees with the wire
    link.ExpectRead(set).Reply(Reply(kFixture, 5, ResponseAck, SetCommand, PidDmxStartAddress));
    EXPECT_EQ(Send(kFixture, SetCommand, PidDmxStartAddress, U16(42)), ResponseAck);
    EXPECT_EQ(replyLength, 0);
    EXPECT_TRUE(feedback.lines.isEmpty());
}

TEST_F(RdmTransaction, TransactionNumberWrapsAfter255)
{
    BurnTransactions(255);
    for (int expected : {255, 0, 1}) {
        link.ExpectRead(Request(kFixture, quint8(expected), GetCommand, PidIdentifyDevice))
            .Reply(Reply(kFixture, quint8(expected), ResponseAck, GetCommand, PidIdentifyDevice, Bytes("01")));
        EXPECT_EQ(Send(kFixture, GetCommand, PidIdentifyDevice), ResponseAck);
    }
}

TEST_F(RdmTransaction, SilentUnicastGetIsSentFiveTimesWithOneTransactionNumber)
{
    for (int i = 0; i < 5; ++i)
        link.ExpectRead(Request(kFixture, 0, GetCommand, PidDeviceLabel)).Silence();
    EXPECT_EQ(Send(kFixture, GetCommand, PidDeviceLabel), ErrorNoReply);
    EXPECT_EQ(replyLength, 0);
    QStringList expected(5, " Warning! device (0x414201020304) : failed to respond for COMMAND(0x20) and PID(0x82)!");
    expected << " Warning: Retry attempts exceeded for device (0x414201020304) - COMMAND(0x20) and PID(0x82)!";
    EXPECT_EQ(feedback.Texts(FeedbackWarning), expected);
    EXPECT_EQ(feedback.Texts(), expected);
    EXPECT_EQ(protocol.TransactionNumber(), 1);
}

struct RetryCase
{
    const char* name;
    quint64 destination;
    quint8 commandClass;
    bool refuse;
    int sends;
    int result;
};

class RdmRetries : public RdmTransaction, public ::testing::WithParamInterface<RetryCase>
{
};

TEST_P(RdmRetries, FailedSendsAndSilenceAreRetriedOnlyForUnicastRequests)
{
    const RetryCase& c = GetParam();
    for (int i = 0; i < c.sends; ++i) {
        ScriptedRdmLink::Step& step = link.ExpectRead(Request(c.destination, 0, c.commandClass, PidDiscMute));
        c.refuse ? step.Refuse() : step.Silence();
    }
    EXPECT_EQ(Send(c.destination, c.commandClass, PidDiscMute), c.result);
    EXPECT_EQ(replyLength, 0);
    const QStringList warnings = feedback.Texts(FeedbackWarning);
    if (c.result < 0) {
        ASSERT_FALSE(warnings.isEmpty());
        EXPECT_TRUE(warnings.last().startsWith(" Warning: Retry attempts exceeded for device")) << warnings.last().toStdString();
        EXPECT_EQ(warnings.size(), c.sends + 1);
        const char* each = c.refuse ? "Send failed" : "failed to respond";
        for (int i = 0; i < c.sends; ++i)
            EXPECT_TRUE(warnings[i].contains(QLatin1String(each))) << warnings[i].toStdString();
    } else {
        EXPECT_TRUE(warnings.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RdmRetries,
    ::testing::Values(RetryCase{"SilentBroadcastIsSuccess", BroadcastUid, SetCommand, false, 1, 0},
                      RetryCase{"RefusedBroadcastOnce", BroadcastUid, SetCommand, true, 1, ErrorSendFailed},
                      RetryCase{"SilentDiscoveryOnce", kFixture, DiscoveryCommand, false, 1, ErrorNoReply},
                      RetryCase{"RefusedUnicastFiveTimes", kFixture, GetCommand, true, 5, ErrorSendFailed}),
    [](const ::testing::TestParamInfo<RetryCase>& info) { return std::string(info.param.name); });

TEST_F(RdmTransaction, NackHandsBackTheReason)
{
    link.ExpectRead(Request(kFixture, 0, GetCommand, PidLampHours))
        .Reply(Reply(kFixture, 0, ResponseNackReason, GetCommand, PidLampHours, Bytes("0004")));
    EXPECT_EQ(Send(kFixture, GetCommand, PidLampHours), ResponseNackReason);
    EXPECT_EQ(ToHex(Copied()), "00 04");
    EXPECT_TRUE(feedback.lines.isEmpty());

    link.ExpectRead(Request(kFixture, 1, GetCommand, PidLampHours))
        .Reply(Reply(kFixture, 1, ResponseNackReason, GetCommand, PidLampHours, Bytes("0004")));
    EXPECT_EQ(Send(kFixture, GetCommand, PidLampHours, {}, 1), ErrorReplyTooLong);
    EXPECT_EQ(replyLength, 0);
    EXPECT_EQ(feedback.Texts(FeedbackError),
              QStringList(" Error! device (0x414201020304) : receive buffer(1) is too small! Expected 2 for "
                          "COMMAND(0x20) and PID(0x401)for NACK_REASON!"));
}

TEST_F(RdmTransaction, NackOrAckTimerWithoutTwoDataBytesIsMalformed)
{
    for (quint8 type : {ResponseNackReason, ResponseAckTimer}) {
        const quint8 tn = protocol.TransactionNumber();
        link.ExpectRead(Request(kFixture, tn, GetCommand, PidLampHours))
            .Reply(Reply(kFixture, tn, type, GetCommand, PidLampHours, Bytes("000400")));
        EXPECT_EQ(Send(kFixture, GetCommand, PidLampHours), ErrorMalformed);
        EXPECT_EQ(replyLength, 0);
    }
    EXPECT_EQ(feedback.Texts(FeedbackError).value(0),
              " Error! device (0x414201020304) : length (3) is not the expected size(2) for COMMAND(0x20) and "
              "PID(0x401) NACK OR ACK_TIMER!");
    EXPECT_EQ(link.sent.size(), 2);
}

TEST_F(RdmTransaction, BusyIsWaitedOutWithANewTransactionAndIsNotCountedAsAnAttempt)
{
    // Four silent attempts, then busy: the resend is a new transaction that still has
    // one attempt left.
    for (int i = 0; i < 4; ++i)
        link.ExpectRead(Request(kFixture, 0, GetCommand, PidLampHours)).Silence();
    link.ExpectRead(Request(kFixture, 0, GetCommand, PidLampHours))
        .Reply(Reply(kFixture, 0, ResponseNackReason, GetCommand, PidLampHours, U16(kNackBusy)));
    link.ExpectRead(Request(kFixture, 1, GetCommand, PidLampHours))
        .Reply(Reply(kFixture, 1, ResponseAck, GetCommand, PidLampHours, U32(77)));
    EXPECT_EQ(Send(kFixture, GetCommand, PidLampHours), ResponseAck);
    EXPECT_EQ(Copied(), U32(77));
    ASSERT_EQ(link.sentAtMs.size(), 6);
    EXPECT_GE(link.sentAtMs[5] - link.sentAtMs[4], RDMProtocol::kBusyWaitMs);

    // The same again, but the fixture stays silent after busy: five attempts in all.
    feedback.lines.clear();
    for (int i = 0; i < 4; ++i)
        link.ExpectRead(Request(kFixture, 2, GetCommand, PidLampHours)).Silence();
    link.ExpectRead(Request(kFixture, 2, GetCommand, PidLampHours))
        .Reply(Reply(kFixture, 2, ResponseNackReason, GetCommand, PidLampHours, U16(kNackBusy)));
    link.ExpectRead(Request(kFixture, 3, GetCommand, PidLampHours)).Silence();
    EXPECT_EQ(Send(kFixture, GetCommand, PidLampHours), ErrorNoReply);
    EXPECT_EQ(feedback.Texts(FeedbackWarning).size(), 6);
}

TEST_F(RdmTransaction, EndlessBusyEndsAsThatNack)
{
    for (int i = 0; i <= RDMProtocol::kMaxBusyResends; ++i)
        link.ExpectRead(Request(kFixture, quint8(i), SetCommand, PidIdentifyDevice, Bytes("01")))
            .Reply(Reply(kFixture, quint8(i), ResponseNackReason, SetCommand, PidIdentifyDevice, U16(kNackBusy)));
    EXPECT_EQ(Send(kFixture, SetCommand, PidIdentifyDevice, Bytes("01")), ResponseNackReason);
    EXPECT_EQ(ToHex(Copied()), "81 12");
    EXPECT_EQ(feedback.Texts(FeedbackError),
              QStringList(" Error! device (0x414201020304) : still busy after 60 retries for COMMAND(0x30) and PID(0x1000)!"));
}

TEST_F(RdmTransaction, AckTimerOnAGetIsAskedAgainAfterTheFixturesEstimate)
{
    link.ExpectRead(Request(kFixture, 0, GetCommand, PidDeviceHours))
        .Reply(Reply(kFixture, 0, ResponseAckTimer, GetCommand, PidDeviceHours, U16(3)));
    link.ExpectRead(Request(kFixture, 1, GetCommand, PidDeviceHours))
        .Reply(Reply(kFixture, 1, ResponseAck, GetCommand, PidDeviceHours, U32(5)));
    EXPECT_EQ(Send(kFixture, GetCommand, PidDeviceHours), ResponseAck);
    EXPECT_EQ(Copied(), U32(5));
    ASSERT_EQ(link.sentAtMs.size(), 2);
    EXPECT_GE(link.sentAtMs[1] - link.sentAtMs[0], 300);
}

// A SET answered ACK_TIMER is done only once its outcome is known: its queued message (a
// QUEUED_MESSAGE GET for every status, asked after the named time) says ACK or NACK; a
// fixture without one to give is asked for the value, and only the value sent counts.
TEST_F(RdmTransaction, AckTimerOnASetCollectsTheOutcome)
{
    const QByteArray queuedMessage = Request(kFixture, 1, GetCommand, PidQueuedMessage, Bytes("04"));
    const QByteArray readBack = Request(kFixture, 2, GetCommand, PidDmxStartAddress);
    const QString unconfirmed =
        " Error! device (0x414201020304) : COMMAND(0x30) and PID(0xf0) was answered ACK_TIMER and not confirmed afterwards!";
    struct Case
    {
        const char* name;
        std::function<void(ScriptedRdmLink&)> script;  // after the SET and its ACK_TIMER
        int result;
        QByteArray reply;
        QStringList errors;
    };
    const Case cases[] = {
        {"queued ACK",
         [&](ScriptedRdmLink& l) {
             l.ExpectRead(queuedMessage).Reply(Reply(kFixture, 1, ResponseAck, SetCommand, PidDmxStartAddress, {}));
         },
         ResponseAck, {}, {}},
        {"queued NACK",
         [&](ScriptedRdmLink& l) {
             l.ExpectRead(queuedMessage)
                 .Reply(Reply(kFixture, 1, ResponseNackReason, SetCommand, PidDmxStartAddress, U16(0x0006)));
         },
         ResponseNackReason, U16(0x0006), {}},
        {"another parameter's message first",
         [&](ScriptedRdmLink& l) {
             l.ExpectRead(queuedMessage).Reply(Reply(kFixture, 1, ResponseAck, SetCommand, PidDeviceLabel, {}));
             l.ExpectRead(Request(kFixture, 2, GetCommand, PidQueuedMessage, Bytes("04")))
                 .Reply(Reply(kFixture, 2, ResponseAck, SetCommand, PidDmxStartAddress, {}));
         },
         ResponseAck, {}, {}},
        {"no queued message, value confirmed",
         [&](ScriptedRdmLink& l) {
             l.ExpectRead(queuedMessage).Reply(Reply(kFixture, 1, ResponseAck, GetCommand, PidStatusMessages, {}));
             l.ExpectRead(readBack).Reply(Reply(kFixture, 2, ResponseAck, GetCommand, PidDmxStartAddress, U16(9)));
         },
         ResponseAck, {}, {}},
        {"queued message unknown, value confirmed",
         [&](ScriptedRdmLink& l) {
             l.ExpectRead(queuedMessage)
                 .Reply(Reply(kFixture, 1, ResponseNackReason, GetCommand, PidQueuedMessage, U16(0x0000)));
             l.ExpectRead(readBack).Reply(Reply(kFixture, 2, ResponseAck, GetCommand, PidDmxStartAddress, U16(9)));
         },
         ResponseAck, {}, {}},
        {"queued message unknown, value not taken",
         [&](ScriptedRdmLink& l) {
             l.ExpectRead(queuedMessage)
                 .Reply(Reply(kFixture, 1, ResponseNackReason, GetCommand, PidQueuedMessage, U16(0x0000)));
             l.ExpectRead(readBack).Reply(Reply(kFixture, 2, ResponseAck, GetCommand, PidDmxStartAddress, U16(421)));
         },
         ErrorMismatch, {}, {unconfirmed}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedRdmLink script;
        RDMProtocol engine([&script] { return static_cast<IRdmLink*>(&script); });
        RecordingFeedback log;
        script.ExpectRead(Request(kFixture, 0, SetCommand, PidDmxStartAddress, U16(9)))
            .Reply(Reply(kFixture, 0, ResponseAckTimer, SetCommand, PidDmxStartAddress, U16(1)));
        c.script(script);
        QByteArray reply(8, '\0');
        int length = int(reply.size());
        EXPECT_EQ(engine.SendRequest(UidLow(kFixture), UidHigh(kFixture), SetCommand, PidDmxStartAddress, "\0\x09", 2,
                                     reply.data(), &length, &log),
                  c.result);
        EXPECT_EQ(reply.left(length), c.reply);
        EXPECT_EQ(log.Texts(FeedbackError), c.errors);
        script.Verify();
        // The named time was waited out before the outcome was asked for.
        ASSERT_GE(script.sentAtMs.size(), 2);
        EXPECT_GE(script.sentAtMs[1] - script.sentAtMs[0], RDMProtocol::kAckTimerUnitMs);
    }
}

// A reply to an earlier transaction (an answer that came too late for its own request) is
// passed over, and the request's own answer taken.
TEST_F(RdmTransaction, RepliesToEarlierTransactionsArePassedOver)
{
    link.ExpectRead(Request(kFixture, 0, GetCommand, PidDeviceLabel))
        .LateReplyFirst(Reply(kFixture, 255, ResponseAck, GetCommand, PidDeviceLabel, "Old"))
        .LateReplyFirst(Reply(kFixture, 254, ResponseAck, GetCommand, PidManufacturerLabel, "Acme"))
        .Reply(Reply(kFixture, 0, ResponseAck, GetCommand, PidDeviceLabel, "Lamp"));
    EXPECT_EQ(Send(kFixture, GetCommand, PidDeviceLabel), ResponseAck);
    EXPECT_EQ(Copied(), "Lamp");
    EXPECT_EQ(feedback.Texts(FeedbackWarning),
              QStringList({" Warning! device (0x414201020304) : dropped a reply to transaction 0xff while waiting for "
                           "0x0 for COMMAND(0x20) and PID(0x82)!",
                           " Warning! device (0x414201020304) : dropped a reply to transaction 0xfe while waiting for "
                           "0x0 for COMMAND(0x20) and PID(0x82)!"}));
    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty());
}

TEST_F(RdmTransaction, EndlessAckTimerOnAGetFails)
{
    for (int i = 0; i <= RDMProtocol::kMaxAckTimerResends; ++i)
        link.ExpectRead(Request(kFixture, quint8(i), GetCommand, PidDeviceHours))
            .Reply(Reply(kFixture, quint8(i), ResponseAckTimer, GetCommand, PidDeviceHours, U16(0xFFFF)));
    EXPECT_EQ(Send(kFixture, GetCommand, PidDeviceHours), ErrorNoReply);
    EXPECT_EQ(replyLength, 0);
    EXPECT_EQ(feedback.Texts(FeedbackError),
              QStringList(" Error! device (0x414201020304) : no answer after 10 ACK_TIMER replies for COMMAND(0x20) and PID(0x400)!"));
    // Each of the fixture's 109-minute estimates was cut to the longest wait: all ten
    // together take less than one wait the fixture asked for. (A tighter bound would
    // measure the machine's load rather than the engine.)
    EXPECT_LT(link.sentAtMs.last() - link.sentAtMs.first(), qint64(0xFFFF) * RDMProtocol::kAckTimerUnitMs);
}

TEST_F(RdmTransaction, ReplyLongerThanTheRoomFails)
{
    link.ExpectRead(Request(kFixture, 0, GetCommand, PidDeviceLabel))
        .Reply(Reply(kFixture, 0, ResponseAck, GetCommand, PidDeviceLabel, QByteArray(40, 'x')));
    EXPECT_EQ(Send(kFixture, GetCommand, PidDeviceLabel, {}, 32), ErrorReplyTooLong);
    EXPECT_EQ(replyLength, 0);
    EXPECT_EQ(feedback.Texts(FeedbackError),
              QStringList(" Error! device (0x414201020304) : receive buffer(32) is too small! Expected 40 for "
                          "COMMAND(0x20) and PID(0x82)!"));
}

// Replies that are not the answer to the request just sent end the transaction at
// once: none is taken for the answer, none is retried.
struct BadReplyCase
{
    const char* name;
    QByteArray reply;
    int result;
    const char* message;
};

class RdmBadReplies : public RdmTransaction, public ::testing::WithParamInterface<BadReplyCase>
{
};

TEST_P(RdmBadReplies, AreRejectedWithoutRetry)
{
    const BadReplyCase& c = GetParam();
    link.ExpectRead(Request(kFixture, 0, GetCommand, PidDeviceLabel)).Reply(c.reply);
    EXPECT_EQ(Send(kFixture, GetCommand, PidDeviceLabel), c.result);
    EXPECT_EQ(replyLength, 0);
    EXPECT_EQ(feedback.Texts(), QStringList(QString::fromLatin1(c.message)));
}

QByteArray Corrupt(QByteArray packet, int index, char value)
{
    packet[index] = value;
    return packet;
}

const QByteArray kGood = Reply(kFixture, 0, ResponseAck, GetCommand, PidDeviceLabel, "Lamp");

INSTANTIATE_TEST_SUITE_P(
    Cases, RdmBadReplies,
    ::testing::Values(
        BadReplyCase{"ForAnotherController", Reply(kFixture, 0, ResponseAck, GetCommand, PidDeviceLabel, "Lamp", 0x7FF012345790ull),
                     ErrorMismatch, " Error! device (0x414201020304) : checksum failed for COMMAND(0x20) and PID(0x82)!"},
        BadReplyCase{"BadChecksum", Corrupt(kGood, 24, 'X'), ErrorMismatch,
                     " Error! device (0x414201020304) : checksum failed for COMMAND(0x20) and PID(0x82)!"},
        BadReplyCase{"OtherSubDevice", WithChecksum(Corrupt(kGood, 19, '\x01').chopped(2)), ErrorMismatch,
                     " Error! device (0x414201020304) : reply sub-device is 0x1, expected 0x0 for COMMAND(0x20) and PID(0x82)!"},
        BadReplyCase{"OtherPid", Reply(kFixture, 0, ResponseAck, GetCommand, PidManufacturerLabel, "Lamp"), ErrorMismatch,
                     " Error! device (0x414201020304) : reply PID is 0x81, expected 0x82 for COMMAND(0x20) and PID(0x82)!"},
        BadReplyCase{"SetResponse", Reply(kFixture, 0, ResponseAck, SetCommand, PidDeviceLabel, "Lamp"), ErrorMismatch,
                     " Error! device (0x414201020304) : reply command class is 0x31, expected 0x21 for COMMAND(0x20) and PID(0x82)!"},
        BadReplyCase{"OtherFixture", Reply(0x414201020305ull, 0, ResponseAck, GetCommand, PidDeviceLabel, "Lamp"), ErrorMismatch,
                     " Error! device (0x414201020304) : reply source is 0x414201020305, expected 0x414201020304 for COMMAND(0x20) and PID(0x82)!"},
        BadReplyCase{"DataRunsPastTheEnd", WithChecksum(kGood.left(kGood.size() - 4)), ErrorMalformed,
                     " Error! device (0x414201020304) : reply of 28 bytes does not match its data length (4) for COMMAND(0x20) and PID(0x82)!"},
        BadReplyCase{"TooShort", WithChecksum(kGood.left(20)), ErrorMalformed,
                     " Error! device (0x414201020304) : reply of 22 bytes is too short for COMMAND(0x20) and PID(0x82)!"},
        BadReplyCase{"UnknownResponseType", Reply(kFixture, 0, 7, GetCommand, PidDeviceLabel, "Lamp"), ErrorMalformed,
                     " Error! device (0x414201020304) : unknown response type 7 for COMMAND(0x20) and PID(0x82)!"}),
    [](const ::testing::TestParamInfo<BadReplyCase>& info) { return std::string(info.param.name); });

TEST_F(RdmTransaction, DataOver231BytesIsRefusedBeforeAnythingIsSent)
{
    EXPECT_EQ(Send(kFixture, SetCommand, 0xA070, QByteArray(232, 'd')), ErrorSendFailed);
    EXPECT_EQ(replyLength, 0);
    EXPECT_EQ(feedback.Texts(FeedbackError),
              QStringList(" Error! device (0x414201020304) : request data of 232 bytes is over the 231 allowed for "
                          "COMMAND(0x30) and PID(0xa070)!"));
    EXPECT_EQ(protocol.TransactionNumber(), 0);

    const QByteArray full = Request(BroadcastUid, 0, SetCommand, 0xA070, QByteArray(231, 'd'));
    EXPECT_EQ(quint8(full[2]), 255);
    link.ExpectRead(full).Silence();
    EXPECT_EQ(Send(BroadcastUid, SetCommand, 0xA070, QByteArray(231, 'd')), 0);
}

TEST(RdmTransactionWithoutWidget, AnswersNoWidgetSilently)
{
    RDMProtocol protocol([] { return static_cast<IRdmLink*>(nullptr); });
    RecordingFeedback feedback;
    quint8 reply[8];
    int length = 8;
    EXPECT_EQ(protocol.SendRequest(1, 2, GetCommand, PidDeviceInfo, nullptr, 0, reply, &length, &feedback), ErrorMalformed);
    EXPECT_EQ(length, 0);
    EXPECT_TRUE(feedback.lines.isEmpty());
    EXPECT_EQ(protocol.TransactionNumber(), 0);

    // The process-wide engine has no widget until the transport provides one.
    EXPECT_EQ(RDMProtocol::Instance(), RDMProtocol::Instance());
}

TEST(RdmByteHelpers, AreBigEndianAndSafeWithNull)
{
    quint8 buffer[8] = {};
    RDMProtocol::WriteUid(buffer, 0x01020304, 0x14142);  // the high word keeps 16 bits
    EXPECT_EQ(ToHex(QByteArray(reinterpret_cast<char*>(buffer), 6)), "41 42 01 02 03 04");
    EXPECT_EQ(RDMProtocol::ReadUid(buffer), 0x414201020304ull);
    RDMProtocol::WriteUInt32(buffer, 0xA1B2C3D4);
    EXPECT_EQ(RDMProtocol::ReadUInt32(buffer), 0xA1B2C3D4u);
    EXPECT_EQ(RDMProtocol::ReadUInt16(buffer + 2), 0xC3D4);

    RDMProtocol::WriteUid(nullptr, 1, 2);
    RDMProtocol::WriteUInt16(nullptr, 1);
    EXPECT_EQ(RDMProtocol::ReadUid(nullptr), 0u);
    EXPECT_EQ(RDMProtocol::ReadUInt32(nullptr), 0u);
    EXPECT_EQ(RDMProtocol::ReadUInt16(nullptr), 0);

    quint8 packet[5] = {0xFF, 0xFF, 0x03, 0, 0};
    EXPECT_EQ(RDMProtocol::ComputeChecksum(packet, 3), 3);
    EXPECT_EQ(ToHex(QByteArray(reinterpret_cast<char*>(packet), 5)), "FF FF 03 02 01");
    EXPECT_TRUE(RDMProtocol::VerifyChecksum(packet, 5));
    packet[0] = 0;
    EXPECT_FALSE(RDMProtocol::VerifyChecksum(packet, 5));
    EXPECT_FALSE(RDMProtocol::VerifyChecksum(packet, 1));

    const quint8 source[3] = {1, 2, 3};
    EXPECT_EQ(ToHex(RDMProtocol::ReverseBytes(source, 3)), "03 02 01");
}

} // namespace
