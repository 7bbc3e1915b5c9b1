// The RDM engine's transaction on the real path: the command thread, the widget transport,
// qex_usb, the simulated widget and line, and the simulated E1.20 responder. The engine's
// own logic is tested against scripted links in tests/link; these show that what it
// sends and expects survives the real widget, faults included.
#include "link/commands/CommManager.h"
#include "link/devices/RDMDevice.h"
#include "link/rdm/RDMProtocol.h"
#include "link/rdm/RdmDefs.h"
#include "platform/system/Clock.h"
#include "tests/e2e/WidgetRig.h"
#include "tests/link/RdmTestPackets.h"
#include "tests/link/RecordingFeedback.h"

using namespace rdm;

namespace {

constexpr quint64 kUid = 0x4142'0102'0304ull;

constexpr char kRig[] = R"({ "widgets": [ { "kind": "programmed", "version": [1, 2], "fixtures": [
    { "kind": "rdm-responder", "uid": "4142:01020304", "label": "Truss 2", "startAddress": 17,
      "model": "Beam 9", "manufacturer": "Acme Lights", "software": "4.5.6", "lampHours": 7890,
      "personalities": [ { "footprint": 16, "description": "Standard" }, { "footprint": 9, "description": "Compact" } ],
      "personality": 2, "identify": true, "displayLevel": 128 },
    { "kind": "rdm-responder", "uid": "4142:00000005", "deviceModelId": 5, "productCategory": 257,
      "softwareVersionId": 16909060, "startAddress": 42, "sensors": 4, "personality": 2,
      "personalities": [ { "footprint": 8, "description": "Basic" }, { "footprint": 16, "description": "Full" },
                         { "footprint": 24, "description": "Extended" } ] } ] } ] })";
// The second responder's DEVICE_INFO record.
constexpr quint64 kInfoUid = 0x4142'0000'0005ull;

class RdmEngineEndToEnd : public WidgetRigTest
{
protected:
    void SetUp() override
    {
        WidgetRigTest::SetUp();
        BootRig(kRig);
        ASSERT_TRUE(Manager().HasWidget());
        responder = RigResponder(0);
        ASSERT_TRUE(responder);
        fixture.SetUniqueId(UidLow(kUid), UidHigh(kUid));
    }

    int Count(const QString& start) const
    {
        int count = 0;
        for (const QString& text : feedback.Texts())
            count += text.startsWith(start);
        return count;
    }

    std::shared_ptr<sim::RdmResponder> responder;
    RDMProtocol protocol;  // its link is the manager's widget
    RecordingFeedback feedback;
    RDMDevice fixture;
};

} // namespace

TEST_F(RdmEngineEndToEnd, SetDmxStartAddressGoesOnTheLineAsItsExactBytes)
{
    // Five exchanges first, so that the SET carries transaction number 5.
    ASSERT_TRUE(RunOnCommandThread([&] {
        for (int i = 0; i < 5; ++i)
            protocol.GetDmxStartAddress(&fixture, &feedback);
    }));
    ASSERT_EQ(protocol.TransactionNumber(), 5);
    bool ok = false;
    ASSERT_TRUE(RunOnCommandThread([&] { ok = protocol.SetDmxStartAddress(&fixture, 42, &feedback); }));

    EXPECT_TRUE(ok) << feedback.Texts().join('\n').toStdString();
    ASSERT_FALSE(RigWidget()->LineRequests().isEmpty());
    EXPECT_EQ(rdmtest::ToHex(RigWidget()->LineRequests().last()),
              "CC 01 1A 41 42 01 02 03 04 7F F0 12 34 57 89 05 01 00 00 00 30 00 F0 02 00 2A 05 5B");
    EXPECT_EQ(responder->State().startAddress, 42);
    EXPECT_EQ(fixture.GetDmxAddress(), 42);
}

// One request to the responder under each fault, through the real widget.
TEST_F(RdmEngineEndToEnd, FaultsOfTheResponderMeetTheTransactionsHandling)
{
    const QByteArray address = rdmtest::U16(300);
    struct Case
    {
        const char* name;
        sim::ResponderFault fault;
        quint8 commandClass;
        quint16 pid;
        QByteArray data;
        int result;
        QByteArray reply;              // the parameter data handed back
        QList<int> transactions;       // of the requests the responder saw, from the first
        qint64 minGapMs;               // between the first two of them (virtual time)
        int noAnswerWarnings;          // " Warning! device ... failed to respond"
        int retriesExceeded;
        QString error;                 // the one error line, if any
    };
    const QString mismatch = " Error! device (0x414201020304) : checksum failed for COMMAND(0x20) and PID(0x82)!";
    const Case cases[] = {
        {"silent", sim::ResponderFault::Silence().Always(), GetCommand, PidDeviceLabel, {}, ErrorNoReply, {},
         {0, 0, 0, 0, 0}, 0, 5, 1, {}},
        {"nack 0x0004", sim::ResponderFault::Nack(0x0004), GetCommand, PidDeviceLabel, {}, ResponseNackReason,
         rdmtest::Bytes("00 04"), {0}, 0, 0, 0, {}},
        {"busy once", sim::ResponderFault::Busy(), GetCommand, PidDeviceLabel, {}, ResponseAck, "Truss 2", {0, 1},
         RDMProtocol::kBusyWaitMs, 0, 0, {}},
        {"ack timer on a get", sim::ResponderFault::AckTimer(3), GetCommand, PidDeviceLabel, {}, ResponseAck,
         "Truss 2", {0, 1}, 300, 0, 0, {}},
        {"ack timer on a set", sim::ResponderFault::AckTimer(3), SetCommand, PidDmxStartAddress, address, ResponseAck,
         {}, {0, 1}, 300, 0, 0, {}},
        {"reply for another sub-device", sim::ResponderFault::OtherSubDevice(), GetCommand, PidDeviceLabel, {},
         ErrorMismatch, {}, {0}, 0, 0, 0,
         " Error! device (0x414201020304) : reply sub-device is 0x1, expected 0x0 for COMMAND(0x20) and PID(0x82)!"},
        {"reply for another controller", sim::ResponderFault::WrongDestination(), GetCommand, PidDeviceLabel, {},
         ErrorMismatch, {}, {0}, 0, 0, 0, mismatch},
        {"bad checksum", sim::ResponderFault::BadChecksum(), GetCommand, PidDeviceLabel, {}, ErrorMismatch, {}, {0},
         0, 0, 0, mismatch},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        responder->ClearFaults();
        responder->ClearRequests();
        responder->InjectFault(c.fault);
        feedback.lines.clear();
        const int first = protocol.TransactionNumber();
        int result = -100;
        QByteArray reply(64, '\xEE');
        int length = int(reply.size());
        ASSERT_TRUE(RunOnCommandThread([&] {
            result = protocol.SendRequest(UidLow(kUid), UidHigh(kUid), c.commandClass, c.pid, c.data.constData(),
                                          int(c.data.size()), reply.data(), &length, &feedback);
        }));

        EXPECT_EQ(result, c.result) << feedback.Texts().join('\n').toStdString();
        EXPECT_EQ(reply.left(length), c.reply);
        const QList<sim::RdmResponder::LoggedRequest> requests = responder->Requests();
        QList<int> transactions;
        for (const auto& request : requests)
            transactions.append(quint8(request.transaction - first));
        EXPECT_EQ(transactions, c.transactions);
        if (requests.size() >= 2) {
            EXPECT_GE(requests[1].atMs - requests[0].atMs, c.minGapMs);
        }
        EXPECT_EQ(Count(" Warning! device (0x414201020304) : failed to respond for"), c.noAnswerWarnings);
        EXPECT_EQ(Count(" Warning: Retry attempts exceeded for device (0x414201020304) - COMMAND(0x20) and PID(0x82)!"),
                  c.retriesExceeded);
        EXPECT_EQ(feedback.Texts(FeedbackError), c.error.isEmpty() ? QStringList() : QStringList{c.error});
    }
    EXPECT_EQ(responder->State().startAddress, 300) << "the SET answered ACK_TIMER was carried out";
}

// A SET the fixture answers ACK_TIMER is done only when the fixture says so afterwards: the
// outcome it queued is collected with QUEUED_MESSAGE, and a fixture that keeps no queue is
// asked for the value. Only an outcome the fixture confirms is stored.
TEST_F(RdmEngineEndToEnd, ADeferredSetIsStoredOnlyWhenTheFixtureConfirmsIt)
{
    struct Case
    {
        const char* name;
        bool queue;        // the responder keeps QUEUED_MESSAGE
        quint16 address;
        bool ok;
        QStringList errors;
        quint16 stored;
        QList<quint16> asked;  // the PIDs it was asked, in order
    };
    const QString outOfRange = " Device 0x414201020304 Failed Setting Dmx Start Address: Nack Error 6 (data out of range)!";
    const QString unconfirmed =
        " Error! device (0x414201020304) : COMMAND(0x30) and PID(0xf0) was answered ACK_TIMER and not confirmed afterwards!";
    const Case cases[] = {
        {"queued ACK", true, 200, true, {}, 200, {PidDmxStartAddress, PidQueuedMessage}},
        {"queued NACK", true, 600, false, {outOfRange}, 17, {PidDmxStartAddress, PidQueuedMessage}},
        {"read back, taken", false, 200, true, {}, 200, {PidDmxStartAddress, PidQueuedMessage, PidDmxStartAddress}},
        {"read back, refused", false, 600, false, {unconfirmed}, 17,
         {PidDmxStartAddress, PidQueuedMessage, PidDmxStartAddress}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        responder->Modify([&](sim::RdmResponderState& state) {
            state.startAddress = 17;
            state.optionalParameters = sim::RdmResponderState::AllOptionalParameters();
            if (!c.queue)
                state.optionalParameters.removeAll(PidQueuedMessage);
        });
        responder->ClearRequests();
        responder->InjectFault(sim::ResponderFault::AckTimer(2));
        feedback.lines.clear();
        fixture.SetDmxStartAddress(17);
        bool ok = !c.ok;
        ASSERT_TRUE(RunOnCommandThread([&] { ok = protocol.SetDmxStartAddress(&fixture, c.address, &feedback); }));

        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(feedback.Texts(FeedbackError), c.errors);
        EXPECT_EQ(fixture.GetDmxAddress(), c.stored);
        EXPECT_EQ(responder->State().startAddress, c.stored);
        QList<quint16> asked;
        for (const auto& request : responder->Requests())
            asked.append(request.pid);
        EXPECT_EQ(asked, c.asked);
    }
}

// Answers that come too late for their own request reach the widget during later
// exchanges. They are passed over there: only the exchange that timed out fails.
TEST_F(RdmEngineEndToEnd, LateAnswersFailOnlyTheExchangeThatTimedOut)
{
    constexpr qint64 kLateMs = 1'000'000;
    Line().DelayAnswers(RDMProtocol::kMaxAttempts, kLateMs);
    QList<bool> results;
    ASSERT_TRUE(RunOnCommandThread([&] {
        results.append(protocol.GetDeviceLabel(&fixture, &feedback));
        // Later: every late answer is due during the next exchange.
        {
            const platform::ScopedTimeScale fast(1e-6);
            platform::Clock::SleepMs(kLateMs);
        }
        results.append(protocol.GetDmxStartAddress(&fixture, &feedback));
        results.append(protocol.GetLampHours(&fixture, &feedback));
    }));

    EXPECT_EQ(results, QList<bool>({false, true, true}));
    EXPECT_EQ(fixture.GetDmxAddress(), 17);
    EXPECT_EQ(fixture.GetLampHours(), 7890u);
    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty()) << feedback.Texts(FeedbackError).join('\n').toStdString();
    EXPECT_EQ(Count(" Warning! device (0x414201020304) : dropped a reply to transaction 0x0 while waiting for 0x1"),
              RDMProtocol::kMaxAttempts);
}

TEST_F(RdmEngineEndToEnd, UpdateDeviceInformationReadsTheRespondersValues)
{
    QList<Device*> fixtures = {&fixture};
    ASSERT_TRUE(RunOnCommandThread([&] { protocol.UpdateDeviceInformation(&fixtures, &feedback); }));

    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty()) << feedback.Texts(FeedbackError).join('\n').toStdString();
    EXPECT_TRUE(feedback.Texts(FeedbackWarning).isEmpty()) << feedback.Texts(FeedbackWarning).join('\n').toStdString();
    EXPECT_EQ(fixture.GetDmxAddress(), 17);
    EXPECT_EQ(fixture.GetPersonality(), 2);
    EXPECT_EQ(fixture.GetFootprint(), 9);
    EXPECT_EQ(fixture.GetPersonalityDescription(), "Compact");
    EXPECT_EQ(fixture.GetSoftwareVersion(), "4.5.6");
    EXPECT_EQ(fixture.GetModelName(), "Beam 9");
    EXPECT_EQ(fixture.GetManufacturer(), "Acme Lights");
    EXPECT_EQ(fixture.GetDeviceName(), "Truss 2");
    EXPECT_EQ(fixture.GetLampHours(), 7890u);
    EXPECT_EQ(fixture.GetDisplayLevel(), 128);
    EXPECT_TRUE(fixture.GetIdentify());
    EXPECT_EQ(fixture.SupportedParameters().size(), sim::RdmResponderState::AllOptionalParameters().size());
}

// DEVICE_INFO as E1.20 lays it out, decoded, then the description of the personality it
// names asked for with that personality's number.
TEST_F(RdmEngineEndToEnd, DeviceInfoIsDecodedAndItsPersonalityDescribed)
{
    std::shared_ptr<sim::RdmResponder> second = RigResponder(1);
    ASSERT_TRUE(second);
    RDMDevice info;
    info.SetUniqueId(UidLow(kInfoUid), UidHigh(kInfoUid));
    QByteArray record(60, '\0');
    int length = int(record.size());
    bool ok = false;
    ASSERT_TRUE(RunOnCommandThread([&] {
        protocol.SendRequest(UidLow(kInfoUid), UidHigh(kInfoUid), GetCommand, PidDeviceInfo, nullptr, 0, record.data(),
                             &length, &feedback);
        second->ClearRequests();
        ok = protocol.GetDeviceInfo(&info, &feedback);
    }));

    EXPECT_EQ(rdmtest::ToHex(record.left(length)), "01 00 00 05 01 01 01 02 03 04 00 10 02 03 00 2A 00 00 04");
    EXPECT_TRUE(ok) << feedback.Texts().join('\n').toStdString();
    const QList<sim::RdmResponder::LoggedRequest> requests = second->Requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].pid, PidDeviceInfo);
    EXPECT_EQ(requests[1].pid, PidDmxPersonalityDescription);
    EXPECT_EQ(requests[1].data, rdmtest::Bytes("02"));
    EXPECT_EQ(info.GetDeviceModelId(), 5);
    EXPECT_EQ(info.GetProductCategory(), 0x0101);
    EXPECT_EQ(info.GetSoftwareVersionId(), (RDMDevice::SoftwareVersionId{1, 2, 3, 4}));
    EXPECT_EQ(info.GetPersonality(), 2);
    EXPECT_EQ(info.GetDmxAddress(), 42);
    EXPECT_EQ(info.GetSensorCount(), 4);
    EXPECT_EQ(info.GetFootprint(), 16);
    EXPECT_EQ(info.GetPersonalityDescription(), "Full");
}

// The device label "Truss 2" (7 bytes) offered 4 bytes of room: a failure at once, with
// no second request.
TEST_F(RdmEngineEndToEnd, AReplyTooLongForTheRoomFailsWithoutRetry)
{
    int result = -100;
    QByteArray reply(4, '\0');
    int length = int(reply.size());
    ASSERT_TRUE(RunOnCommandThread([&] {
        result = protocol.SendRequest(UidLow(kUid), UidHigh(kUid), GetCommand, PidDeviceLabel, nullptr, 0,
                                      reply.data(), &length, &feedback);
    }));
    EXPECT_EQ(result, ErrorReplyTooLong);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(responder->Requests().size(), 1);
    EXPECT_EQ(feedback.Texts(FeedbackError),
              QStringList(" Error! device (0x414201020304) : receive buffer(4) is too small! Expected 7 for "
                          "COMMAND(0x20) and PID(0x82)!"));
}

// Transaction numbers on the line run 0..255 and then start again at 0.
TEST_F(RdmEngineEndToEnd, TheTransactionNumberWrapsAfter255)
{
    ASSERT_TRUE(RunOnCommandThread([&] {
        for (int i = 0; i < 257; ++i)
            protocol.GetIdentify(&fixture, &feedback);
    }));
    const QList<sim::RdmResponder::LoggedRequest> requests = responder->Requests();
    ASSERT_EQ(requests.size(), 257) << feedback.Texts().join('\n').toStdString();
    for (int i = 0; i < 257; ++i)
        ASSERT_EQ(requests[i].transaction, quint8(i)) << i;
    EXPECT_EQ(protocol.TransactionNumber(), 1);
    EXPECT_TRUE(feedback.Texts(FeedbackWarning).isEmpty());
}

// E1.20 lets a label have no characters and a fixture list no optional parameter: both
// answers are stored as the empty values they are.
TEST_F(RdmEngineEndToEnd, AClearedLabelAndAnEmptyParameterListAreStored)
{
    fixture.SetDeviceLabel("Truss 2");
    fixture.AddSupportedParameter(PidLampHours, {});
    bool label = false, parameters = false;
    ASSERT_TRUE(RunOnCommandThread([&] {
        responder->Modify([](sim::RdmResponderState& state) { state.deviceLabel.clear(); });
        label = protocol.GetDeviceLabel(&fixture, &feedback);
        responder->Modify([](sim::RdmResponderState& state) { state.optionalParameters.clear(); });
        parameters = protocol.GetSupportedParameters(&fixture, &feedback);
    }));
    EXPECT_TRUE(label);
    EXPECT_TRUE(parameters);
    EXPECT_EQ(fixture.GetDeviceLabel(), QString());
    EXPECT_EQ(fixture.SupportedParameters(), QList<quint16>{PidLampHours}) << "what was recorded stays recorded";
    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty()) << feedback.Texts(FeedbackError).join('\n').toStdString();
}
