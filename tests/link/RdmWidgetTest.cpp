#include "link/transport/RdmWidget.h"
#include "platform/system/Clock.h"
#include "platform/usb/WidgetIds.h"
#include "tests/link/FakeWidgetDriver.h"
#include "tests/link/PollUntil.h"
#include "tests/platform/kernel/KernelTestSupport.h"

#include <QDeadlineTimer>
#include <QThread>
#include <QtEndian>

#include <gtest/gtest.h>

#include <deque>
#include <mutex>

using widget_ids::kWidgetVendorId;

namespace {

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int value : values)
        bytes.append(char(value));
    return bytes;
}

QByteArray Request(int length)
{
    QByteArray request(length, '\0');
    for (int i = 0; i < length; ++i)
        request[i] = char(i + 1);
    return request;
}

const quint8* Data(const QByteArray& bytes)
{
    return reinterpret_cast<const quint8*>(bytes.constData());
}

// The widget's side of the script: it answers the version query, and each RDM request
// message (P, Q, S, T) with the next scripted reply packets, or with 's' when none is
// scripted; an empty entry stays silent.
class WidgetScript
{
public:
    WidgetScript()
    {
        fake_widget::SetResponder([this](quint8 pipe, const QByteArray& data) { Respond(pipe, data); });
    }
    ~WidgetScript() { fake_widget::SetResponder(nullptr); }

    void SetVersionReply(const QByteArray& reply)
    {
        std::lock_guard lock(mutex_);
        version_ = reply;
    }
    void ReplyNext(const QList<QByteArray>& packets)
    {
        std::lock_guard lock(mutex_);
        replies_.push_back(packets);
    }

private:
    void Respond(quint8 pipe, const QByteArray& data)
    {
        QList<QByteArray> packets;
        {
            std::lock_guard lock(mutex_);
            if (pipe == RdmWidget::kCommandPipe && data == Bytes({RdmWidget::kVersionCommand})) {
                if (!version_.isEmpty())
                    packets.append(version_);
                pipe = RdmWidget::kVersionPipe;
            } else if (pipe == RdmWidget::kRdmPipe && !data.isEmpty() && QByteArray("PQST").contains(data[0])) {
                if (replies_.empty()) {
                    packets.append("s");
                } else {
                    packets = replies_.front();
                    replies_.pop_front();
                }
                pipe = RdmWidget::kRdmReplyPipe;
            }
        }
        for (const QByteArray& packet : packets)
            fake_widget::Push(pipe, packet);
    }

    std::mutex mutex_;
    QByteArray version_ = Bytes({0x07, 1, 2});
    std::deque<QList<QByteArray>> replies_;
};

class RdmWidgetTest : public KernelTest
{
protected:
    void SetUp() override
    {
        KernelTest::SetUp();
        fake_widget::Reset();
        fake_widget::SetMapRecords({{0, kWidgetVendorId, 2, 77}});
        script_ = std::make_unique<WidgetScript>();
        driver_ = std::make_unique<LoadedDriver>(L"qex_usb", &fake_widget::DriverEntry);
        ASSERT_EQ(driver_->Status(), STATUS_SUCCESS);
    }
    void TearDown() override
    {
        widget_.reset();
        script_.reset();
        driver_.reset();
        KernelTest::TearDown();
    }

    RdmWidget& Open()
    {
        widget_ = std::make_unique<RdmWidget>(0);
        return *widget_;
    }
    // Hands the RDM reader a reply packet and waits until it has dealt with it (and
    // asked for the next one).
    void PushAndPollUntilRead(const QByteArray& packet)
    {
        ASSERT_TRUE(PollUntil([] { return fake_widget::PendingReads() == 3; }));
        fake_widget::Push(RdmWidget::kRdmReplyPipe, packet);
        ASSERT_TRUE(PollUntil([] { return fake_widget::PendingReads() == 3; }));
    }
    // The RDM pipe's messages since the last call.
    QList<QByteArray> TakeRdmMessages()
    {
        const QList<QByteArray> all = fake_widget::PipeWrites(RdmWidget::kRdmPipe);
        const QList<QByteArray> fresh = all.mid(seenRdm_);
        seenRdm_ = int(all.size());
        return fresh;
    }

    std::unique_ptr<WidgetScript> script_;
    std::unique_ptr<LoadedDriver> driver_;
    std::unique_ptr<RdmWidget> widget_;
    int seenRdm_ = 0;
};

} // namespace

TEST(RdmWidgetFind, WithoutTheDriverThereIsNoWidget)
{
    quint32 serial = 99;
    EXPECT_EQ(RdmWidget::FindWidget(&serial), RdmWidget::kNoWidget);
    EXPECT_EQ(serial, 99u);
}

TEST_F(RdmWidgetTest, FindWidgetTakesTheFirstSlotWithTheVendorAndAWidgetProduct)
{
    struct Case
    {
        const char* name;
        QList<fake_widget::MapRecord> records;
        quint8 slot;
        quint32 serial;
    };
    const Case cases[] = {
        {"slot 0", {{0, kWidgetVendorId, 2, 77}}, 0, 77},
        {"product 0x83", {{4, kWidgetVendorId, 0x83, 5}}, 4, 5},
        {"first of two", {{2, kWidgetVendorId, 2, 1}, {3, kWidgetVendorId, 2, 2}}, 2, 1},
        {"other vendor, other product skipped",
         {{0, kWidgetVendorId + 1, 2, 1}, {1, kWidgetVendorId, 0x11, 2}, {6, kWidgetVendorId, 2, 3}}, 6, 3},
        {"empty map", {}, RdmWidget::kNoWidget, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake_widget::SetMapRecords(c.records);
        quint32 serial = 0;
        EXPECT_EQ(RdmWidget::FindWidget(&serial), c.slot);
        EXPECT_EQ(serial, c.serial);
    }
}

// A map whose header does not fit what it claims, or asks for absurd sizes, finds no
// widget instead of reading past what the driver returned.
TEST_F(RdmWidgetTest, FindWidgetRefusesAMalformedMap)
{
    auto header = [](quint32 size, quint32 count, int length = 12) {
        QByteArray bytes(12, '\0');
        qToLittleEndian<quint32>(size, bytes.data() + 4);
        qToLittleEndian<quint32>(count, bytes.data() + 8);
        return bytes.left(length);
    };
    QByteArray record(12, '\0');
    qToLittleEndian<quint32>(kWidgetVendorId, record.data());
    qToLittleEndian<quint32>(2, record.data() + 4);
    struct Case
    {
        const char* name;
        QByteArray header;
        QByteArray records;
    };
    const Case cases[] = {
        {"header cut short", header(12, 1, 8), record},
        {"records too small for their fields", header(8, 1), record},
        {"no records", header(12, 0), record},
        {"more records than slots can be named", header(12, 101), record.repeated(101)},
        {"records larger than any driver makes", header(8192, 1), record + QByteArray(8180, '\0')},
        {"fewer bytes than announced", header(12, 2), record},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake_widget::SetMap(c.header, c.records);
        EXPECT_EQ(RdmWidget::FindWidget(), RdmWidget::kNoWidget);
    }
    fake_widget::SetMap(header(12, 1), record);
    EXPECT_EQ(RdmWidget::FindWidget(), 0);
}

TEST_F(RdmWidgetTest, OpeningAsksForTheVersionAndReadsItFromTheEcho)
{
    struct Case
    {
        const char* name;
        QByteArray reply;
        bool known;
        quint8 byte1, byte2;
    };
    const Case cases[] = {
        {"echoed query", Bytes({0x07, 1, 2}), true, 1, 2},
        {"bare version", Bytes({3, 4}), true, 3, 4},
        {"bare version 7.1", Bytes({0x07, 1}), true, 7, 1},
        {"single byte", Bytes({5}), false, 0, 0},
        {"no reply", QByteArray(), false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        script_->SetVersionReply(c.reply);
        const qsizetype before = fake_widget::PipeWrites(RdmWidget::kCommandPipe).size();
        RdmWidget& widget = Open();
        EXPECT_FALSE(widget.HasError());
        EXPECT_EQ(fake_widget::PipeWrites(RdmWidget::kCommandPipe).value(before), Bytes({0x07}));
        quint8 byte1 = 0, byte2 = 0;
        EXPECT_EQ(widget.GetVersion(byte1, byte2), c.known);
        EXPECT_EQ(byte1, c.byte1);
        EXPECT_EQ(byte2, c.byte2);
        // Closing asks for the version again; that answer must not reach the next case.
        script_.reset();
        widget_.reset();
        script_ = std::make_unique<WidgetScript>();
    }
}

TEST_F(RdmWidgetTest, AWidgetThatCannotBeOpenedIsInErrorAndSendsNothing)
{
    RdmWidget missing(7); // the map may list it, but no such device exists
    EXPECT_TRUE(missing.HasError());
    const QByteArray request = Request(10);
    EXPECT_FALSE(missing.SendRdmReadPacket(Data(request), 10, 512, 1000));
    EXPECT_FALSE(missing.SetMode(3));
    EXPECT_FALSE(missing.WriteDmxFrame(Data(QByteArray(512, '\0')), 512));
    RdmWidget none(RdmWidget::kNoWidget);
    EXPECT_TRUE(none.HasError());
    EXPECT_TRUE(fake_widget::PipeWrites().isEmpty());
}

TEST_F(RdmWidgetTest, SetModeSendsTheCommandOnlyWhenTheModeChanges)
{
    RdmWidget& widget = Open();
    EXPECT_TRUE(widget.SetMode(3));
    EXPECT_TRUE(widget.SetMode(3));
    const QByteArray request = Request(20);
    EXPECT_TRUE(widget.SendRdmPacket(Data(request), 20, 1000));
    EXPECT_TRUE(widget.SetMode(1));
    EXPECT_EQ(fake_widget::PipeWrites(RdmWidget::kCommandPipe),
              QList<QByteArray>({Bytes({0x07}), Bytes({0x01, 0x03}), Bytes({0x01, 0x01})}));
}

// How a request is cut into the RDM pipe's messages.
TEST_F(RdmWidgetTest, RequestsAreFramedByLengthAndWhetherAReplyIsWanted)
{
    auto chunk = [](int offset, int length) {
        return QByteArray("R") + Bytes({offset & 0xFF, offset >> 8}) + Request(offset + length).mid(offset);
    };
    struct Case
    {
        int length;
        bool wantReply;
        QList<QByteArray> messages;
    };
    const Case cases[] = {
        {1, false, {QByteArray("P") + Request(1)}},
        {63, false, {QByteArray("P") + Request(63)}},
        {64, false, {chunk(0, 61), chunk(61, 3), QByteArray("S") + Bytes({64, 0})}},
        {512, false, {chunk(0, 61), chunk(61, 61), chunk(122, 61), chunk(183, 61), chunk(244, 61), chunk(305, 61),
                      chunk(366, 61), chunk(427, 61), chunk(488, 24), QByteArray("S") + Bytes({0x00, 0x02})}},
        {1, true, {QByteArray("Q") + Bytes({0x40, 0x01}) + Request(1)}},
        {61, true, {QByteArray("Q") + Bytes({0x40, 0x01}) + Request(61)}},
        {62, true, {chunk(0, 61), chunk(61, 1), QByteArray("T") + Bytes({62, 0, 0x40, 0x01})}},
    };
    RdmWidget& widget = Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.length << (c.wantReply ? " with reply" : " without reply"));
        const QByteArray request = Request(c.length);
        const bool sent = c.wantReply ? widget.SendRdmReadPacket(Data(request), c.length, 0x140, 1000)
                                      : widget.SendRdmPacket(Data(request), c.length, 1000);
        EXPECT_TRUE(sent);
        const QList<QByteArray> messages = TakeRdmMessages();
        EXPECT_EQ(messages, c.messages);
        for (const QByteArray& message : messages)
            EXPECT_LE(message.size(), RdmWidget::kPacketSize);
        quint8 complete = 0;
        EXPECT_EQ(widget.ReceiveRdmPacket(nullptr, 0, &complete, 1000), 0);
        EXPECT_EQ(complete, 1); // the script's 's'
    }
}

TEST_F(RdmWidgetTest, RequestsOfNoBytesOrOverFiveHundredTwelveSendNothing)
{
    RdmWidget& widget = Open();
    const QByteArray big = Request(513);
    EXPECT_FALSE(widget.SendRdmPacket(Data(big), 0, 1000));
    EXPECT_FALSE(widget.SendRdmReadPacket(Data(big), 0, 512, 1000));
    EXPECT_FALSE(widget.SendRdmPacket(Data(big), 513, 1000));
    EXPECT_FALSE(widget.SendRdmReadPacket(Data(big), 513, 512, 1000));
    EXPECT_FALSE(widget.SendRdmReadPacket(nullptr, 10, 512, 1000));
    EXPECT_TRUE(TakeRdmMessages().isEmpty());
    EXPECT_EQ(fake_widget::PipeWrites(RdmWidget::kCommandPipe), QList<QByteArray>({Bytes({0x07})}));
}

// The reply messages of the RDM reply pipe, one table row per exchange.
TEST_F(RdmWidgetTest, ReplyMessagesAreCheckedAndHandedOverWithTheirCompleteFlag)
{
    const QByteArray data = Request(200);
    auto t = [&](int total, int count) {
        return QByteArray("t") + Bytes({total & 0xFF, total >> 8}) + data.left(count);
    };
    auto u = [&](int from, int count) { return QByteArray("u") + data.mid(from, count); };
    constexpr quint8 kUntouched = 0xAA;
    struct Case
    {
        const char* name;
        QList<QByteArray> packets;
        int capacity;
        int length;       // what ReceiveRdmPacket returns
        quint8 complete;  // kUntouched: no reply came
    };
    const Case cases[] = {
        {"whole reply", {QByteArray("p") + data.left(26)}, 512, 26, 1},
        {"whole reply, small room", {QByteArray("p") + data.left(26)}, 10, 10, 1},
        {"no answer on the line", {"r"}, 512, 0, 0},
        {"done without data", {"s"}, 512, 0, 1},
        {"long reply in two parts", {t(100, 61), u(61, 39)}, 512, 100, 1},
        {"long reply, small room", {t(100, 61), u(61, 39)}, 50, 50, 1},
        {"long reply cut short stays incomplete", {t(100, 61)}, 512, 0, kUntouched},
        {"long reply that fits its start", {t(20, 30)}, 512, 20, 1},
        {"announced total capped at 512", {t(600, 61), u(0, 63), u(0, 63), u(0, 63), u(0, 63), u(0, 63), u(0, 63),
                                             u(0, 63), u(0, 63)}, 600, 512, 1},
        {"'t' too short for its length", {Bytes({'t', 5})}, 512, 0, kUntouched},
        {"'p' with no data", {"p"}, 512, 0, kUntouched},
        {"'u' without a 't'", {u(0, 10)}, 512, 0, kUntouched},
        {"anything else ends the exchange without a reply", {"x"}, 512, 0, kUntouched},
    };
    // Real milliseconds: a reply that comes is waited for as long as it takes (the wait
    // ends when it arrives), one that never comes costs 10 ms.
    const platform::ScopedTimeScale real(1.0);
    RdmWidget& widget = Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        script_->ReplyNext(c.packets);
        const QByteArray request = Request(26);
        ASSERT_TRUE(widget.SendRdmReadPacket(Data(request), 26, 512, 10));
        QByteArray buffer(std::max(c.capacity, 1), '\0');
        quint8 complete = kUntouched;
        const int waitMs = c.complete == kUntouched ? 10 : 60'000;
        const int length =
            widget.ReceiveRdmPacket(reinterpret_cast<quint8*>(buffer.data()), c.capacity, &complete, waitMs);
        EXPECT_EQ(length, c.length);
        EXPECT_EQ(complete, c.complete);
        if (c.length > 0 && c.length <= 100) {
            EXPECT_EQ(buffer.left(length), data.left(length));
        }
    }
}

// The widget answers while the request's last message is still being written: the
// answer is kept, and the link is free for the next request at once.
TEST_F(RdmWidgetTest, ManyQuickExchangesAreAllAnswered)
{
    RdmWidget& widget = Open();
    for (int i = 0; i < 50; ++i) {
        const QByteArray request = Request(i % 2 ? 26 : 100);
        script_->ReplyNext({QByteArray("p") + QByteArray::number(i)});
        ASSERT_TRUE(widget.SendRdmReadPacket(Data(request), int(request.size()), 512, 1000)) << i;
        quint8 reply[16];
        const int length = widget.ReceiveRdmPacket(reply, sizeof reply, nullptr, 1000);
        ASSERT_EQ(QByteArray(reinterpret_cast<char*>(reply), length), QByteArray::number(i));
    }
}

TEST_F(RdmWidgetTest, RepliesAreHandedOutInOrderUntilTheNextSendForgetsThem)
{
    RdmWidget& widget = Open();
    const QByteArray request = Request(26);
    quint8 reply[64];
    const auto receive = [&](int timeoutMs) {
        const int length = widget.ReceiveRdmPacket(reply, 64, nullptr, timeoutMs);
        return QByteArray(reinterpret_cast<char*>(reply), length);
    };

    script_->ReplyNext({}); // silent for now
    ASSERT_TRUE(widget.SendRdmReadPacket(Data(request), 26, 512, 10));
    EXPECT_EQ(receive(10), QByteArray());
    PushAndPollUntilRead("plate"); // the answer comes after the caller gave up

    // The next send forgets it.
    script_->ReplyNext({"pfresh"});
    ASSERT_TRUE(widget.SendRdmReadPacket(Data(request), 26, 512, 1000));
    EXPECT_EQ(receive(1000), "fresh");
    // What comes after the request's own answer is handed out too, in order: a late answer
    // may come first, and the caller (which knows its transaction) passes it over.
    PushAndPollUntilRead("pafter");
    PushAndPollUntilRead("pmore");
    EXPECT_EQ(receive(10), "after");
    EXPECT_EQ(receive(10), "more");
    EXPECT_EQ(receive(10), QByteArray());
}

// A request the widget never answers holds the link only until its own timeout.
TEST_F(RdmWidgetTest, AnUnansweredRequestBlocksTheLinkOnlyUntilItsTimeout)
{
    RdmWidget& widget = Open();
    const QByteArray request = Request(26);

    script_->ReplyNext({});
    ASSERT_TRUE(widget.SendRdmPacket(Data(request), 26, 10));
    EXPECT_TRUE(widget.SendRdmReadPacket(Data(request), 26, 512, 1000)); // waited out the silent one
    EXPECT_EQ(widget.ReceiveRdmPacket(nullptr, 0, nullptr, 1000), 0);

    script_->ReplyNext({});
    ASSERT_TRUE(widget.SendRdmReadPacket(Data(request), 26, 512, 1'000'000));
    testing::internal::CaptureStdout();
    EXPECT_FALSE(widget.SendRdmReadPacket(Data(request), 26, 512, 10));
    EXPECT_FALSE(widget.SendRdmPacket(Data(request), 26, 10));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "RdmWidget::SendRdmReadPacket - Gave up waiting for previous session for end\n");
    EXPECT_EQ(TakeRdmMessages().size(), 3);
}

// A reader that fails stays failed: later successful writes do not hide it, and RDM
// requests are refused, since no reply could come back.
TEST_F(RdmWidgetTest, AFailedReaderKeepsTheWidgetInError)
{
    RdmWidget& widget = Open();
    testing::internal::CaptureStdout();
    fake_widget::FailReads(RdmWidget::kRdmReplyPipe, STATUS_UNSUCCESSFUL);
    ASSERT_TRUE(PollUntil([&] { return widget.HasError(); }));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "GetOverlappedResult failed on pipe 5, Error 31\n");

    EXPECT_TRUE(widget.SetMode(1)); // a packet write that works
    EXPECT_TRUE(widget.HasError());
    const QByteArray request = Request(26);
    EXPECT_FALSE(widget.SendRdmReadPacket(Data(request), 26, 512, 1000));
    EXPECT_FALSE(widget.SendRdmPacket(Data(request), 26, 1000));
    EXPECT_TRUE(TakeRdmMessages().isEmpty());
}

// A failed packet write marks the widget in error until a write works again.
TEST_F(RdmWidgetTest, AFailedWriteIsReportedAndClearedByTheNextGoodOne)
{
    RdmWidget& widget = Open();
    fake_widget::SetPipeWriteResult(STATUS_DELETE_PENDING);
    testing::internal::CaptureStdout();
    const quint8 command[2] = {0x01, 0x03};
    EXPECT_FALSE(widget.SendPacket(0, command, 2, 1000));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR - RdmWidget::SendPacket - IoCtrl, pipe: 0, size: 2, error:5\n");
    EXPECT_TRUE(widget.HasError());
    const QByteArray request = Request(70);
    EXPECT_FALSE(widget.SendRdmReadPacket(Data(request), 70, 512, 1000));

    fake_widget::SetPipeWriteResult(STATUS_SUCCESS);
    EXPECT_TRUE(widget.SendPacket(0, command, 2, 1000));
    EXPECT_FALSE(widget.HasError());
    // The failed request left the link free.
    EXPECT_TRUE(widget.SendRdmReadPacket(Data(request), 70, 512, 1000));
}

// A write that the driver does not finish in time is cancelled, and its caller hears so.
TEST_F(RdmWidgetTest, WritesThatDoNotFinishInTimeAreCancelled)
{
    RdmWidget& widget = Open();
    fake_widget::SetPipeWriteResult(STATUS_SUCCESS, true);
    testing::internal::CaptureStdout();
    const quint8 command[2] = {0x01, 0x03};
    EXPECT_FALSE(widget.SendPacket(0, command, 2, 10));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR - RdmWidget::SendPacket - Wait, pipe: 0, size: 2, error:995\n");
    EXPECT_EQ(fake_widget::CancelledRequests(), 1);

    fake_widget::SetDmxWriteResult(STATUS_SUCCESS, true);
    testing::internal::CaptureStdout();
    const QByteArray frame(512, '\0');
    EXPECT_FALSE(widget.WriteDmxFrame(Data(frame), 512));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR - RdmWidget::WriteDmxFrame - Wait, size: 512, error:995\n");
    EXPECT_EQ(fake_widget::CancelledRequests(), 2);
}

TEST_F(RdmWidgetTest, DmxFramesGoThroughTheWriteEntryWithTheirResult)
{
    RdmWidget& widget = Open();
    QByteArray frame(512, '\0');
    frame[0] = 7;
    frame[511] = 9;
    EXPECT_TRUE(widget.WriteDmxFrame(Data(frame), 512));
    EXPECT_EQ(fake_widget::DmxFrames(), QList<QByteArray>({frame}));
    fake_widget::SetDmxWriteResult(STATUS_UNSUCCESSFUL);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(widget.WriteDmxFrame(Data(frame), 512));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR - RdmWidget::WriteDmxFrame - Wait, size: 512, error:31\n");
    EXPECT_FALSE(widget.WriteDmxFrame(nullptr, 512));
    EXPECT_EQ(fake_widget::DmxFrames().size(), 1);
}

// Teardown ends even though the widget never answers on its IN pipes: the pending reads
// are cancelled before the readers are joined.
TEST_F(RdmWidgetTest, TeardownCancelsThePendingReadsAndSaysGoodbye)
{
    script_->SetVersionReply({});
    fake_widget::SetResponder(nullptr); // a widget that answers nothing at all
    RdmWidget& widget = Open();
    ASSERT_TRUE(widget.SetMode(3));
    ASSERT_TRUE(PollUntil([] { return fake_widget::PendingReads() == 3; }));

    testing::internal::CaptureStdout();
    widget_.reset();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Removing Pipe 1\nRemoving Pipe 5\nRemoving Pipe 3\n");
    EXPECT_EQ(fake_widget::PendingReads(), 0);
    EXPECT_EQ(fake_widget::PipeWrites(RdmWidget::kCommandPipe),
              QList<QByteArray>({Bytes({0x07}), Bytes({0x01, 0x03}), Bytes({0x01, 0x00}), Bytes({0x07})}));
    EXPECT_EQ(fake_widget::PipeWrites(RdmWidget::kRdmPipe), QList<QByteArray>({Bytes({0x60})}));
}

// The widget goes away while a reply is awaited: the wait ends at once, the widget is in
// error, and closing it afterwards still ends.
TEST_F(RdmWidgetTest, UnpluggingMidExchangeEndsTheWaitAndTheWidget)
{
    RdmWidget& widget = Open();
    const QByteArray request = Request(26);
    script_->ReplyNext({});
    ASSERT_TRUE(widget.SendRdmReadPacket(Data(request), 26, 512, 1000));
    testing::internal::CaptureStdout();
    std::thread unplug([] {
        QThread::msleep(5);
        fake_widget::Unplug();
    });
    quint8 reply[64];
    EXPECT_EQ(widget.ReceiveRdmPacket(reply, 64, nullptr, 1'000'000), 0);
    unplug.join();
    ASSERT_TRUE(PollUntil([&] { return widget.HasError(); }));
    EXPECT_FALSE(widget.SendRdmReadPacket(Data(request), 26, 512, 1000));
    widget_.reset();
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("GetOverlappedResult failed on pipe 5, Error 5\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Removing Pipe 3\n"), std::string::npos) << log;
}
