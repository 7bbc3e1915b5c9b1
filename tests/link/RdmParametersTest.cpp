#include "link/devices/RDMDevice.h"
#include "link/rdm/RDMProtocol.h"
#include "tests/link/RdmTestPackets.h"
#include "tests/link/RecordingFeedback.h"
#include "tests/link/ScriptedRdmLink.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <functional>

using namespace rdm;
using namespace rdmtest;

namespace {

constexpr quint64 kFixture = 0x414201020304ull;

class RdmParameters : public ::testing::Test
{
protected:
    RdmParameters() { fixture.SetUniqueId(UidLow(kFixture), UidHigh(kFixture)); }

    // The next request the engine will send, with the fixture's answer to it.
    void Expect(quint8 commandClass, quint16 pid, quint8 responseType, const QByteArray& answer,
                const QByteArray& request = {})
    {
        link.ExpectRead(Request(kFixture, transaction, commandClass, pid, request))
            .Reply(Reply(kFixture, transaction, responseType, commandClass, pid, answer));
        ++transaction;
    }
    void ExpectGet(quint16 pid, const QByteArray& answer, const QByteArray& request = {})
    {
        Expect(GetCommand, pid, ResponseAck, answer, request);
    }

    ScriptedRdmLink link;
    RDMProtocol protocol{[this] { return &link; }};
    RecordingFeedback feedback;
    RDMDevice fixture;
    quint8 transaction = 0;
};

const QByteArray kDeviceInfo = Bytes("01 00 00 05 01 01 01 02 03 04 00 10 02 03 00 2A 00 00 04");

TEST_F(RdmParameters, DeviceInfoIsDecodedThenItsPersonalityDescribed)
{
    ExpectGet(PidDeviceInfo, kDeviceInfo);
    ExpectGet(PidDmxPersonalityDescription, Bytes("02 00 0C") + "Extended", Bytes("02"));
    QSignalSpy address(&fixture, &Device::AddressChanged);

    EXPECT_TRUE(protocol.GetDeviceInfo(&fixture, &feedback));
    EXPECT_EQ(fixture.GetDeviceModelId(), 5);
    EXPECT_EQ(fixture.GetProductCategory(), 0x0101);
    EXPECT_EQ(fixture.GetSoftwareVersionId(), (RDMDevice::SoftwareVersionId{1, 2, 3, 4}));
    EXPECT_EQ(fixture.GetPersonality(), 2);
    EXPECT_EQ(fixture.GetDmxAddress(), 42);
    EXPECT_EQ(fixture.GetSubDeviceCount(), 0);
    EXPECT_EQ(fixture.GetSensorCount(), 4);
    EXPECT_EQ(address.size(), 1);
    // The description's footprint replaces DEVICE_INFO's 16.
    EXPECT_EQ(fixture.GetPersonalityDescription(), "Extended");
    EXPECT_EQ(fixture.GetFootprint(), 12);
    EXPECT_TRUE(feedback.lines.isEmpty());
}

TEST_F(RdmParameters, ShortAnswersAreFailuresThatStoreNothing)
{
    ExpectGet(PidDeviceInfo, kDeviceInfo.left(18));
    EXPECT_FALSE(protocol.GetDeviceInfo(&fixture, &feedback));  // no personality request follows
    EXPECT_EQ(fixture.GetDeviceModelId(), 0);
    EXPECT_EQ(fixture.GetSensorCount(), 0);

    ExpectGet(PidDmxPersonalityDescription, Bytes("00 00"), Bytes("00"));
    EXPECT_FALSE(protocol.GetPersonalityDescription(&fixture, &feedback));
    EXPECT_EQ(fixture.GetPersonalityDescription(), "N/A");

    ExpectGet(PidLampHours, Bytes("00 01"));
    EXPECT_FALSE(protocol.GetLampHours(&fixture, &feedback));
    ExpectGet(PidDmxStartAddress, Bytes("07"));
    EXPECT_FALSE(protocol.GetDmxStartAddress(&fixture, &feedback));
    EXPECT_EQ(fixture.GetLampHours(), 0u);
    EXPECT_EQ(fixture.GetDmxAddress(), 0);

    EXPECT_EQ(feedback.Texts(FeedbackError),
              QStringList({" Error! device (0x414201020304) : answer of 18 bytes is too short for PID(0x60), expected 19!",
                           " Error! device (0x414201020304) : answer of 2 bytes is too short for PID(0xe1), expected 3!",
                           " Error! device (0x414201020304) : answer of 2 bytes is too short for PID(0x401), expected 4!",
                           " Error! device (0x414201020304) : answer of 1 bytes is too short for PID(0xf0), expected 2!"}));
}

// A NACK keeps the value and names its reason. An optional parameter the fixture does not
// have (NACK unknown PID) is no error: E1.20 lets a fixture leave it out.
TEST_F(RdmParameters, NackIsReportedAndTheValueKept)
{
    struct Case
    {
        const char* name;
        quint16 pid;
        std::function<bool(RDMProtocol&, RDMDevice*, IFeedback*)> get;
        quint16 reason;
        QString line;
        FeedbackStatus status;
    };
    const Case cases[] = {
        {"optional, unknown", PidDeviceLabel,
         [](RDMProtocol& p, RDMDevice* d, IFeedback* f) { return p.GetDeviceLabel(d, f); }, 0x0000,
         " Device 0x414201020304 does not support DEVICE_LABEL.", FeedbackNormal},
        {"optional, write protected", PidDeviceLabel,
         [](RDMProtocol& p, RDMDevice* d, IFeedback* f) { return p.GetDeviceLabel(d, f); }, 0x0004,
         " Device 0x414201020304 Failed Getting Device label: Nack Error 4 (write protect)!", FeedbackError},
        {"required, unknown", PidDmxStartAddress,
         [](RDMProtocol& p, RDMDevice* d, IFeedback* f) { return p.GetDmxStartAddress(d, f); }, 0x0000,
         " Device 0x414201020304 Failed Getting Dmx Start Address: Nack Error 0 (unknown PID)!", FeedbackError},
        {"manufacturer's reason", PidDeviceLabel,
         [](RDMProtocol& p, RDMDevice* d, IFeedback* f) { return p.GetDeviceLabel(d, f); }, 0x8001,
         " Device 0x414201020304 Failed Getting Device label: Nack Error 32769!", FeedbackError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        feedback.lines.clear();
        fixture.SetDeviceLabel("Stage left");
        fixture.SetDmxStartAddress(17);
        Expect(GetCommand, c.pid, ResponseNackReason, U16(c.reason));
        EXPECT_FALSE(c.get(protocol, &fixture, &feedback));
        EXPECT_EQ(fixture.GetDeviceLabel(), "Stage left");
        EXPECT_EQ(fixture.GetDmxAddress(), 17);
        ASSERT_EQ(feedback.lines.size(), 1);
        EXPECT_EQ(feedback.lines[0].text, c.line);
        EXPECT_EQ(feedback.lines[0].status, c.status);
    }
}

// E1.20 lets texts be empty: an empty answer clears the value. Other values have a size,
// and an empty answer is a short one.
TEST_F(RdmParameters, EmptyAnswers)
{
    fixture.SetDeviceLabel("Stage left");
    fixture.SetManufacturerLabel("Acme");
    fixture.SetSoftwareVersionLabel("1.0");
    ExpectGet(PidDeviceLabel, QByteArray());
    EXPECT_TRUE(protocol.GetDeviceLabel(&fixture, &feedback));
    ExpectGet(PidManufacturerLabel, QByteArray());
    EXPECT_TRUE(protocol.GetManufacturerLabel(&fixture, &feedback));
    ExpectGet(PidSoftwareVersionLabel, QByteArray());
    EXPECT_TRUE(protocol.GetSoftwareVersionLabel(&fixture, &feedback));
    EXPECT_EQ(fixture.GetDeviceLabel(), QString());
    EXPECT_EQ(fixture.GetManufacturer(), QString());
    EXPECT_EQ(fixture.GetSoftwareVersionLabel(), QString());
    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty());

    ExpectGet(PidLampState, QByteArray());
    EXPECT_FALSE(protocol.GetLampState(&fixture, &feedback));
    EXPECT_EQ(feedback.Texts(FeedbackError),
              QStringList(" Error! device (0x414201020304) : answer of 0 bytes is too short for PID(0x403), expected 1!"));
}

struct GetCase
{
    const char* name;
    quint16 pid;
    QByteArray answer;
    std::function<bool(RDMProtocol&, RDMDevice*, IFeedback*)> get;
    std::function<QVariant(const RDMDevice&)> value;
    QVariant expected;
};

class RdmGets : public RdmParameters, public ::testing::WithParamInterface<GetCase>
{
};

TEST_P(RdmGets, DecodeTheirAnswer)
{
    const GetCase& c = GetParam();
    ExpectGet(c.pid, c.answer);
    EXPECT_TRUE(c.get(protocol, &fixture, &feedback));
    EXPECT_EQ(c.value(fixture), c.expected);
}

#define GET(op) [](RDMProtocol& p, RDMDevice* d, IFeedback* f) { return p.op(d, f); }
#define VALUE(getter) [](const RDMDevice& d) { return QVariant::fromValue(d.getter()); }

INSTANTIATE_TEST_SUITE_P(
    Cases, RdmGets,
    ::testing::Values(
        GetCase{"ModelTrimmed", PidDeviceModelDescription, "  Spot 300 \t", GET(GetDeviceModelDescription), VALUE(GetModelName),
                QString("Spot 300")},
        GetCase{"ManufacturerStopsAtZero", PidManufacturerLabel, QByteArray("Quorvane\0junk", 13), GET(GetManufacturerLabel),
                VALUE(GetManufacturer), QString("Quorvane")},
        GetCase{"LabelLatin1", PidDeviceLabel, "B\xFChne", GET(GetDeviceLabel), VALUE(GetDeviceLabel),
                QString::fromUtf8("B\u00fchne")},
        GetCase{"BootVersion", PidBootSoftwareVersionLabel, "boot 2", GET(GetBootSoftwareVersionLabel),
                VALUE(GetBootVersionLabel), QString("boot 2")},
        GetCase{"FactoryDefaults", PidFactoryDefaults, Bytes("00"), GET(GetFactoryDefaults), VALUE(GetFactoryDefaults), false},
        GetCase{"DmxStartAddress", PidDmxStartAddress, Bytes("01 FF"), GET(GetDmxStartAddress), VALUE(GetDmxAddress),
                quint16(511)},
        GetCase{"DeviceHours", PidDeviceHours, Bytes("00 01 00 00"), GET(GetDeviceHours), VALUE(GetDeviceHours), 65536u},
        GetCase{"LampHours", PidLampHours, Bytes("00 00 01 02"), GET(GetLampHours), VALUE(GetLampHours), 258u},
        GetCase{"LampStrikes", PidLampStrikes, Bytes("FF FF FF FF"), GET(GetLampStrikes), VALUE(GetLampStrikes), 0xFFFFFFFFu},
        GetCase{"LampState", PidLampState, Bytes("7F"), GET(GetLampState), VALUE(GetLampState), 0x7Fu},
        GetCase{"LampOnMode", PidLampOnMode, Bytes("80"), GET(GetLampOnMode), VALUE(GetLampOnMode), 0x80u},
        GetCase{"PowerCyclesKeepLow16Bits", PidDevicePowerCycles, U32(70000), GET(GetDevicePowerCycles),
                VALUE(GetPowerCycles), quint16(4464)},
        GetCase{"DisplayInvert", PidDisplayInvert, Bytes("02"), GET(GetDisplayInvert), VALUE(GetDisplayInvert), 2u},
        GetCase{"DisplayLevel", PidDisplayLevel, Bytes("80"), GET(GetDisplayLevel), VALUE(GetDisplayLevel), quint8(128)},
        GetCase{"PanInvert", PidPanInvert, Bytes("02"), GET(GetPanInvert), VALUE(GetPanInvert), true},
        GetCase{"TiltInvert", PidTiltInvert, Bytes("01"), GET(GetTiltInvert), VALUE(GetTiltInvert), true},
        GetCase{"PanTiltSwap", PidPanTiltSwap, Bytes("01"), GET(GetPanTiltSwap), VALUE(GetPanTiltSwap), true},
        GetCase{"PowerState", PidPowerState, Bytes("FF"), GET(GetPowerState), VALUE(GetPowerState), 0xFFu},
        GetCase{"Identify", PidIdentifyDevice, Bytes("01"), GET(GetIdentify), VALUE(GetIdentify), true}),
    [](const ::testing::TestParamInfo<GetCase>& info) { return std::string(info.param.name); });

#undef GET
#undef VALUE

TEST_F(RdmParameters, SoftwareVersionLabelIsAnnounced)
{
    ExpectGet(PidSoftwareVersionLabel, "1.2.3");
    EXPECT_TRUE(protocol.GetSoftwareVersionLabel(&fixture, &feedback));
    EXPECT_EQ(fixture.GetSoftwareVersion(), "1.2.3");
    EXPECT_EQ(feedback.lines.value(0).text, " Software version is 1.2.3");
    EXPECT_EQ(feedback.lines.value(0).status, FeedbackNormal);
}

TEST_F(RdmParameters, SetsStoreTheirValueOnlyWhenAcknowledged)
{
    QSignalSpy address(&fixture, &Device::AddressChanged);
    Expect(SetCommand, PidDmxStartAddress, ResponseAck, {}, U16(42));
    EXPECT_TRUE(protocol.SetDmxStartAddress(&fixture, 42, &feedback));
    EXPECT_EQ(fixture.GetDmxAddress(), 42);
    EXPECT_EQ(address.size(), 1);

    Expect(SetCommand, PidDmxStartAddress, ResponseNackReason, Bytes("00 06"), U16(600));
    EXPECT_FALSE(protocol.SetDmxStartAddress(&fixture, 600, &feedback));
    EXPECT_EQ(fixture.GetDmxAddress(), 42);

    Expect(SetCommand, PidIdentifyDevice, ResponseAck, {}, Bytes("01"));
    EXPECT_TRUE(protocol.SetIdentify(&fixture, true, &feedback));
    EXPECT_TRUE(fixture.GetIdentify());
    Expect(SetCommand, PidIdentifyDevice, ResponseNackReason, Bytes("00 05"), Bytes("00"));
    EXPECT_FALSE(protocol.SetIdentify(&fixture, false, &feedback));
    EXPECT_TRUE(fixture.GetIdentify());

    EXPECT_EQ(feedback.Texts(),
              QStringList({" Device 0x414201020304 Failed Setting Dmx Start Address: Nack Error 6 (data out of range)!",
                           " Device 0x414201020304 Failed Setting Identify: Nack Error 5 (unsupported command class)!"}));
}

TEST_F(RdmParameters, SupportedParametersAreRecordedOncePerPid)
{
    ExpectGet(PidSupportedParameters, Bytes("00 80 04 01 80 00 05"));
    EXPECT_TRUE(protocol.GetSupportedParameters(&fixture, &feedback));
    EXPECT_EQ(fixture.SupportedParameters(), (QList<quint16>{0x0080, 0x0401, 0x8000}));

    // Pieces of an ACK_OVERFLOW list, each offered the whole 255-byte room.
    QByteArray piece;
    for (quint16 pid = 0x8100; pid < 0x8100 + 115; ++pid)
        piece += U16(pid);
    Expect(GetCommand, PidSupportedParameters, ResponseAckOverflow, piece);
    Expect(GetCommand, PidSupportedParameters, ResponseAckOverflow, Bytes("00 80 90 00"));
    ExpectGet(PidSupportedParameters, Bytes("90 01"));
    EXPECT_TRUE(protocol.GetSupportedParameters(&fixture, &feedback));
    EXPECT_EQ(fixture.SupportedParameters().size(), 3 + 115 + 2);
    EXPECT_TRUE(fixture.SupportedParameters().contains(0x9001));
    EXPECT_TRUE(feedback.lines.isEmpty());
}

TEST_F(RdmParameters, SupportedParametersFailures)
{
    Expect(GetCommand, PidSupportedParameters, ResponseNackReason, Bytes("00 05"));
    EXPECT_FALSE(protocol.GetSupportedParameters(&fixture, &feedback));
    Expect(GetCommand, PidSupportedParameters, ResponseAckTimer, Bytes("00"));
    EXPECT_FALSE(protocol.GetSupportedParameters(&fixture, &feedback));
    EXPECT_EQ(feedback.Texts(FeedbackError),
              QStringList({" Device 0x414201020304 Failed Getting Supported Parameters: Nack Error 5 (unsupported command class)!",
                           " Error! device (0x414201020304) : length (1) is not the expected size(2) for COMMAND(0x20) "
                           "and PID(0x50) NACK OR ACK_TIMER!",
                           " Device 0x414201020304 Failed Getting Supported Parameters: No response!"}));

    // A fixture without optional parameters answers with an empty list.
    feedback.lines.clear();
    ExpectGet(PidSupportedParameters, QByteArray());
    EXPECT_TRUE(protocol.GetSupportedParameters(&fixture, &feedback));
    EXPECT_TRUE(fixture.SupportedParameters().isEmpty());
    EXPECT_TRUE(feedback.lines.isEmpty());

    // A fixture that never stops overflowing is given up on.
    feedback.lines.clear();
    for (int i = 0; i <= RDMProtocol::kMaxOverflowRounds; ++i)
        Expect(GetCommand, PidSupportedParameters, ResponseAckOverflow, Bytes("00 80"));
    EXPECT_FALSE(protocol.GetSupportedParameters(&fixture, &feedback));
    EXPECT_EQ(feedback.Texts(),
              QStringList(" Device 0x414201020304 Failed Getting Supported Parameters: over 250 overflow responses!"));
}

TEST_F(RdmParameters, UpdateDeviceInformationAsksInItsFixedOrder)
{
    ExpectGet(PidDeviceInfo, kDeviceInfo);
    ExpectGet(PidDmxPersonalityDescription, Bytes("02 00 10") + "16ch", Bytes("02"));
    ExpectGet(PidSoftwareVersionLabel, "v1");
    ExpectGet(PidDmxStartAddress, U16(43));
    ExpectGet(PidIdentifyDevice, Bytes("00"));
    ExpectGet(PidSupportedParameters, Bytes("00 80 04 01 80 00 05"));
    ExpectGet(PidDeviceModelDescription, "Spot");
    ExpectGet(PidLampHours, U32(1200));

    RDMDevice other;  // not in the list
    QList<Device*> fixtures{nullptr, &fixture};
    EXPECT_TRUE(protocol.UpdateDeviceInformation(&fixtures, &feedback));
    EXPECT_EQ(fixture.GetDmxAddress(), 43);
    EXPECT_EQ(fixture.GetModelName(), "Spot");
    EXPECT_EQ(fixture.GetLampHours(), 1200u);
    EXPECT_EQ(feedback.Texts(), QStringList({"\n Updating device information for 2 devices", " Software version is v1"}));
}

TEST_F(RdmParameters, UpdateDeviceInformationGoesOnAfterFailures)
{
    Expect(GetCommand, PidDeviceInfo, ResponseNackReason, Bytes("00 01"));
    Expect(GetCommand, PidSoftwareVersionLabel, ResponseNackReason, Bytes("00 01"));
    ExpectGet(PidDmxStartAddress, U16(7));
    ExpectGet(PidIdentifyDevice, Bytes("01"));
    Expect(GetCommand, PidSupportedParameters, ResponseNackReason, Bytes("00 01"));
    QList<Device*> fixtures{&fixture};
    EXPECT_TRUE(protocol.UpdateDeviceInformation(&fixtures, &feedback));
    EXPECT_EQ(fixture.GetDmxAddress(), 7);
    EXPECT_TRUE(fixture.GetIdentify());
    EXPECT_EQ(feedback.Texts(FeedbackError).size(), 3);
}

} // namespace
