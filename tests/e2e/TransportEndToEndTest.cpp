#include "link/commands/CommManager.h"
#include "link/rdm/DefaultRdmLink.h"
#include "link/rdm/RDMProtocol.h"
#include "link/rdm/RdmDefs.h"
#include "link/transport/RdmWidget.h"
#include "platform/system/Clock.h"
#include "tests/e2e/WidgetRig.h"
#include "tests/link/PollUntil.h"
#include "tests/link/QueueEventLog.h"
#include "tests/link/RecordingFeedback.h"

#include <QSignalSpy>

#include <atomic>
#include <mutex>
#include <stdexcept>

namespace {

constexpr quint8 kCommandEndpoint = 0x02;
constexpr quint8 kRdmEndpoint = 0x05;
constexpr quint8 kRdmReplyEndpoint = 0x85;

QByteArray Hex(const char* hex)
{
    return QByteArray::fromHex(hex);
}

QByteArray Request(int length)
{
    QByteArray request(length, '\0');
    for (int i = 0; i < length; ++i)
        request[i] = char(0xCC + i);
    return request;
}

const quint8* Data(const QByteArray& bytes)
{
    return reinterpret_cast<const quint8*>(bytes.constData());
}

// A command that asks 4142:01020304 for its DEVICE_INFO through the RDM engine.
struct HeldGet
{
    RDMProtocol protocol;
    RecordingFeedback feedback;
    std::atomic<int> result = -100;
    std::atomic<bool> started = false;
    TestCommand command{[this](TestCommand&) {
        started = true;
        quint8 reply[64];
        int length = sizeof reply;
        result = protocol.SendRequest(0x01020304, 0x4142, rdm::GetCommand, rdm::PidDeviceInfo, nullptr, 0, reply,
                                      &length, &feedback);
    }};
};

// A rig with one programmed widget (version 1.2) and the test's scripted fixture.
constexpr char kRig[] = R"({ "widgets": [ { "kind": "programmed", "version": [1, 2],
                                             "fixtures": [ { "kind": "scripted" } ] } ] })";

// GET DEVICE_INFO to 4142:01020304 from the controller, transaction 0, and the fixture's
// ACK with its 19-byte record.
const QByteArray kDeviceInfoRequest =
    Hex("CC0118" "414201020304" "7FF012345789" "00" "01" "00" "0000" "20" "0060" "00" "0488");
QByteArray DeviceInfoReply()
{
    QByteArray reply = Hex("CC012B" "7FF012345789" "414201020304" "00" "00" "00" "0000" "21" "0060" "13"
                           "0100" "0001" "0001" "00000002" "0001" "0101" "0001" "0000" "00"
                           "0000");
    RDMProtocol::ComputeChecksum(reinterpret_cast<quint8*>(reply.data()), int(reply.size()) - 2);
    return reply;
}

class TransportEndToEnd : public WidgetRigTest
{
protected:
    // The OUT transfers on one endpoint since the last call for it.
    QList<QByteArray> TakeOut(quint8 endpoint)
    {
        const QList<QByteArray> all = Tap().OutTransfers(endpoint);
        const QList<QByteArray> fresh = all.mid(seen_[endpoint]);
        seen_[endpoint] = int(all.size());
        return fresh;
    }
    QList<QByteArray> RdmRepliesSent()
    {
        QList<QByteArray> replies;
        for (const drivers_test::UsbEvent& event : Tap().Events())
            if (event.kind == drivers_test::UsbEvent::In && event.endpoint == kRdmReplyEndpoint)
                replies.append(event.data);
        return replies;
    }

    // The widget's three readers each keep a read pending on the bus; a request the
    // widget is holding on to shows as one more.
    bool WaitUntilTheWidgetHoldsARequest(const std::atomic<bool>& started)
    {
        return PollUntil([&] { return started && Machine().Bus().PendingTransfers(Port(), kRdmEndpoint) > 0; });
    }

    std::map<quint8, int> seen_;
};

} // namespace

TEST_F(TransportEndToEnd, TheProgramFindsTheWidgetInTheDriversMapAndOpensIt)
{
    BootTappedWidget();
    quint32 serial = 0;
    EXPECT_EQ(RdmWidget::FindWidget(&serial), 0);
    EXPECT_EQ(serial, 1u);
    ASSERT_TRUE(Manager().HasWidget());
    EXPECT_EQ(DefaultRdmLink(), Widget());
    EXPECT_FALSE(Widget()->HasError());
    quint8 major = 0, minor = 0;
    ASSERT_TRUE(Widget()->GetVersion(major, minor));
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 2);
    // The driver's own start-up queries, then the program's version query and mode 1.
    EXPECT_EQ(TakeOut(kCommandEndpoint), QList<QByteArray>({Hex("07"), Hex("23"), Hex("07"), Hex("0101")}));
}

// Widgets answer the version query in either of two forms: the query echoed and then the
// two version bytes, or the two bytes alone. A widget of version 7.x answering in the
// short form begins with 0x07 too; its answer is still its version.
TEST_F(TransportEndToEnd, BothFormsOfTheVersionReplyGiveTheVersion)
{
    struct Case
    {
        const char* name;
        QByteArray reply;
        quint8 major, minor;
    };
    const Case cases[] = {
        {"echoed", Hex("070405"), 4, 5},
        {"two bytes", Hex("0405"), 4, 5},
        {"two bytes of version 7", Hex("0703"), 7, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto widget = drivers_test::MakeWidget();
        widget->Answer(0x07, c.reply);
        BootTappedWidget(widget);
        ASSERT_TRUE(Manager().HasWidget());
        quint8 major = 0, minor = 0;
        ASSERT_TRUE(PollUntil([&] { return Widget()->GetVersion(major, minor); })) << "the version stays unknown";
        EXPECT_EQ(major, c.major);
        EXPECT_EQ(minor, c.minor);
        TearDown();
        SetUp();
    }
}

// A widget that arrives without its firmware is loaded by qex_dmx, comes back as the
// programmed widget and is then found and opened like any other.
TEST_F(TransportEndToEnd, AWidgetLoadedWithItsFirmwareAtBootIsFoundAndOpened)
{
    BootRig(R"({ "widgets": [ { "kind": "unprogrammed", "version": [3, 4], "fixtures": [] } ] })");
    EXPECT_EQ(RdmWidget::FindWidget(), 0);
    ASSERT_TRUE(Manager().HasWidget());
    EXPECT_FALSE(Widget()->HasError());
    quint8 major = 0, minor = 0;
    ASSERT_TRUE(Widget()->GetVersion(major, minor));
    EXPECT_EQ(major, 3);
    EXPECT_EQ(minor, 4);
}

TEST_F(TransportEndToEnd, WithoutAWidgetThereIsNoneToFind)
{
    BootEmpty();
    EXPECT_EQ(RdmWidget::FindWidget(), RdmWidget::kNoWidget);
    EXPECT_FALSE(Manager().HasWidget());
    EXPECT_EQ(DefaultRdmLink(), nullptr);
}

// What each request looks like on the widget's RDM endpoint.
TEST_F(TransportEndToEnd, RequestsReachTheWidgetAsTheirPipeMessages)
{
    BootTappedWidget();
    ASSERT_TRUE(Manager().HasWidget());
    RdmWidget& widget = *Widget();
    auto chunk = [](int offset, int length) {
        return QByteArray("R") + char(offset & 0xFF) + char(offset >> 8) + Request(offset + length).mid(offset);
    };
    struct Case
    {
        int length;
        bool wantReply;
        QList<QByteArray> messages;
    };
    const Case cases[] = {
        {62, true, {chunk(0, 61), chunk(61, 1), Hex("543e000002")}},
        {64, false, {chunk(0, 61), chunk(61, 3), Hex("534000")}},
        {63, false, {QByteArray("P") + Request(63)}},
        {61, true, {Hex("510002") + Request(61)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.length << (c.wantReply ? " with reply" : " without reply"));
        const QByteArray request = Request(c.length);
        EXPECT_TRUE(c.wantReply ? widget.SendRdmReadPacket(Data(request), c.length, 512, 1000)
                                : widget.SendRdmPacket(Data(request), c.length, 1000));
        EXPECT_EQ(TakeOut(kRdmEndpoint), c.messages);
        EXPECT_EQ(widget.ReceiveRdmPacket(nullptr, 0, nullptr, 1000), 0); // 'r' or 's'
    }
    EXPECT_EQ(TakeOut(kRdmEndpoint).size(), 0);
    const QByteArray big = Request(513);
    EXPECT_FALSE(widget.SendRdmPacket(Data(big), 0, 1000));
    EXPECT_FALSE(widget.SendRdmReadPacket(Data(big), 513, 512, 1000));
    EXPECT_TRUE(TakeOut(kRdmEndpoint).isEmpty());
}

TEST_F(TransportEndToEnd, RepliesArriveWithTheirLengthAndCompleteFlag)
{
    BootTappedWidget();
    ASSERT_TRUE(Manager().HasWidget());
    RdmWidget& widget = *Widget();
    const QByteArray request = Request(26);
    QByteArray answer(100, '\0');
    for (int i = 0; i < answer.size(); ++i)
        answer[i] = char(i * 7);
    Fixture().Expect(request, answer);

    // A long answer comes back as one 't' and one 'u' message.
    ASSERT_TRUE(widget.SendRdmReadPacket(Data(request), 26, 512, 1000));
    QByteArray buffer(512, '\0');
    quint8 complete = 0xAA;
    EXPECT_EQ(widget.ReceiveRdmPacket(reinterpret_cast<quint8*>(buffer.data()), 512, &complete, 1000), 100);
    EXPECT_EQ(buffer.left(100), answer);
    EXPECT_EQ(complete, 1);
    const QList<QByteArray> replies = RdmRepliesSent();
    ASSERT_EQ(replies.size(), 2);
    EXPECT_EQ(replies[0].left(3), Hex("746400"));
    EXPECT_EQ(replies[1].left(1), "u");

    // No answer on the line: 'r', complete 0.
    ASSERT_TRUE(widget.SendRdmReadPacket(Data(request), 26, 512, 1000));
    complete = 0xAA;
    EXPECT_EQ(widget.ReceiveRdmPacket(reinterpret_cast<quint8*>(buffer.data()), 512, &complete, 1000), 0);
    EXPECT_EQ(complete, 0);

    // No reply wanted: 's', complete 1.
    ASSERT_TRUE(widget.SendRdmPacket(Data(request), 26, 1000));
    complete = 0xAA;
    EXPECT_EQ(widget.ReceiveRdmPacket(reinterpret_cast<quint8*>(buffer.data()), 512, &complete, 1000), 0);
    EXPECT_EQ(complete, 1);
    EXPECT_EQ(RdmRepliesSent().mid(2), QList<QByteArray>({"r", "s"}));
    EXPECT_TRUE(Fixture().ScriptUsedUp());
}

TEST_F(TransportEndToEnd, SettingTheSameModeTwiceSendsOneCommand)
{
    BootTappedWidget();
    ASSERT_TRUE(Manager().HasWidget());
    TakeOut(kCommandEndpoint);
    EXPECT_TRUE(Widget()->SetMode(3));
    EXPECT_TRUE(Widget()->SetMode(3));
    EXPECT_EQ(TakeOut(kCommandEndpoint), QList<QByteArray>({Hex("0103")}));
}

// The RDM engine, through DefaultRdmLink, the queue and the real widget.
TEST_F(TransportEndToEnd, AnRdmGetReachesTheWidgetAndTheLineAsItsExactBytes)
{
    BootTappedWidget();
    ASSERT_TRUE(Manager().HasWidget());
    Fixture().Expect(kDeviceInfoRequest, DeviceInfoReply());
    RDMProtocol protocol;
    RecordingFeedback feedback;
    int result = -100;
    QByteArray reply(64, '\0');
    int replyLength = int(reply.size());
    ASSERT_TRUE(RunOnCommandThread([&] {
        result = protocol.SendRequest(0x01020304, 0x4142, rdm::GetCommand, rdm::PidDeviceInfo, nullptr, 0,
                                      reply.data(), &replyLength, &feedback);
    }));
    EXPECT_EQ(result, rdm::ResponseAck) << feedback.Texts().join("\n").toStdString();
    EXPECT_EQ(reply.left(replyLength), DeviceInfoReply().mid(24, 19));
    EXPECT_EQ(TakeOut(kRdmEndpoint), QList<QByteArray>({Hex("510002") + kDeviceInfoRequest}));
    EXPECT_TRUE(Fixture().ScriptUsedUp());
    EXPECT_TRUE(Fixture().Unexpected().isEmpty());
}

// Commands that talk to the widget still run one at a time, in order, each framed by the
// queue's signals, with a command's own end announced before CommandCompleted.
TEST_F(TransportEndToEnd, CommandsUsingTheWidgetRunInOrderFramedByTheQueueSignals)
{
    BootRig(kRig);
    ASSERT_TRUE(Manager().HasWidget());
    QueueEventLog log(&Manager());
    std::atomic<int> sent = 0;
    const QByteArray request = Request(26);
    TestCommand first([&](TestCommand&) {
        sent += Widget()->SendRdmReadPacket(Data(request), 26, 512, 1000);
        Widget()->ReceiveRdmPacket(nullptr, 0, nullptr, 1000);
    });
    TestCommand thrower([&](TestCommand&) {
        sent += Widget()->SendRdmPacket(Data(request), 26, 1000);
        throw std::runtime_error("lost its fixture");
    });
    TestCommand last([&](TestCommand&) { sent += Widget()->SendRdmPacket(Data(request), 26, 1000); });
    for (TestCommand* command : {&first, &thrower, &last}) {
        log.Watch(command);
        Manager().QueueCommand(command);
    }
    ASSERT_TRUE(PollUntil([&] { return log.events.contains("completed 2"); })) << log.events.join(", ").toStdString();
    EXPECT_EQ(log.events, QStringList({"queued 0", "queued 1", "queued 2", "executing 0", "done 0", "completed 0",
                                       "executing 1", "completed 1", "executing 2", "done 2", "completed 2"}));
    EXPECT_EQ(sent.load(), 3);
}

// After 30 s without commands (virtual time) the line gets one all-zero frame. When it comes
// is taken on the line itself, so that a slow test thread cannot blur it.
TEST_F(TransportEndToEnd, AnIdleQueueKeepsTheLineAliveWithAZeroFrame)
{
    struct FrameTimes : sim::LineFixture
    {
        QByteArray OnRequest(const QByteArray&) override { return {}; }
        void OnDmxFrame(const QByteArray&) override
        {
            std::lock_guard lock(mutex);
            atMs.append(platform::Clock::NowMs());
        }
        std::mutex mutex;
        QList<qint64> atMs;
    };
    BootRig(kRig);
    ASSERT_TRUE(Manager().HasWidget());
    auto frameTimes = std::make_shared<FrameTimes>();
    Line().Attach(frameTimes);
    QSignalSpy idle(&Manager(), &CommManager::CommandQueueIdle);
    std::atomic<qint64> lastCommandAt = 0;
    ASSERT_TRUE(RunOnCommandThread([&] { lastCommandAt = platform::Clock::NowMs(); }));
    ASSERT_TRUE(PollUntil([&] { return idle.size() >= 1; }));
    const QList<QByteArray> frames = Fixture().Frames();
    ASSERT_GE(frames.size(), 1);
    EXPECT_EQ(frames[0], QByteArray(512, '\0'));
    EXPECT_EQ(Line().CurrentFrame(), QByteArray(512, '\0'));
    std::lock_guard lock(frameTimes->mutex);
    ASSERT_GE(frameTimes->atMs.size(), 1);
    EXPECT_GE(frameTimes->atMs[0] - lastCommandAt, CommThread::kIdleFrameMs) << "not before 30 s of quiet";
}

// The widget is pulled out while a command waits for it to take a request: the command
// ends with the engine's errors, the widget is marked failed, and quitting is prompt.
TEST_F(TransportEndToEnd, UnpluggingMidExchangeEndsTheCommandWithClearErrors)
{
    BootRig(kRig);
    ASSERT_TRUE(Manager().HasWidget());
    RdmWidget* widget = Widget();
    Machine().Bus().HoldOutTransfers(Port(), kRdmEndpoint, true);

    HeldGet get;
    QSignalSpy completed(&Manager(), &CommManager::CommandCompleted);
    testing::internal::CaptureStdout();
    Manager().QueueCommand(&get.command);
    ASSERT_TRUE(WaitUntilTheWidgetHoldsARequest(get.started));

    Machine().Unplug(Port());
    ASSERT_TRUE(PollUntil([&] { return completed.size() == 1; }));
    EXPECT_EQ(get.result.load(), rdm::ErrorSendFailed);
    EXPECT_TRUE(get.feedback.Texts(FeedbackWarning).join("\n").contains("Send failed"))
        << get.feedback.Texts().join("\n").toStdString();
    EXPECT_TRUE(widget->HasError());
    Quit();
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("ERROR - RdmWidget::SendPacket - Wait, pipe: 4, size: 29, error:"), std::string::npos) << log;
    EXPECT_NE(log.find("Removing Pipe 3\n"), std::string::npos) << log;
}

// Quitting while a command waits on a widget that does not take its request: the
// command's sends time out, the thread stops and the widget closes.
TEST_F(TransportEndToEnd, QuittingMidExchangeEndsPromptly)
{
    BootTappedWidget();
    ASSERT_TRUE(Manager().HasWidget());
    Machine().Bus().HoldOutTransfers(Port(), kRdmEndpoint, true);
    HeldGet get;
    testing::internal::CaptureStdout();
    Manager().QueueCommand(&get.command);
    ASSERT_TRUE(WaitUntilTheWidgetHoldsARequest(get.started));
    Quit();
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(get.result.load(), rdm::ErrorSendFailed);
    EXPECT_NE(log.find("ERROR - RdmWidget::SendPacket - Wait, pipe: 4, size: 29, error:995\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find("Removing Pipe 1\nRemoving Pipe 5\nRemoving Pipe 3\n"), std::string::npos) << log;
    EXPECT_EQ(Machine().Bus().PendingTransfers(Port()), 0);
}
