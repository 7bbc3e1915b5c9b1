// The RDM engine against the simulated responder: the two were written apart from each
// other (and from E1.20), so every value that survives the trip checks both sides.
#include "link/devices/RDMDevice.h"
#include "link/rdm/RDMProtocol.h"
#include "sim/fixtures/RdmResponder.h"
#include "tests/link/RecordingFeedback.h"
#include "tests/link/TestLine.h"

#include <gtest/gtest.h>

using namespace rdm;

namespace {

constexpr quint64 kUid = 0x4142'0102'0304ull;

sim::RdmResponderState Everything()
{
    sim::RdmResponderState s;
    s.uid = kUid;
    s.deviceModelId = 0x0507;
    s.productCategory = 0x0101;
    s.softwareVersionId = 0x01020304;
    s.personalities = {{16, "Standard"}, {9, "Compact"}};
    s.personality = 2;
    s.startAddress = 200;
    s.sensorCount = 3;
    s.subDeviceCount = 0;
    s.manufacturerLabel = "Acme Lights";
    s.modelDescription = "  Beam 9  ";
    s.deviceLabel = "Truss 2";
    s.softwareVersionLabel = "4.5.6";
    s.bootSoftwareVersionLabel = "Boot 0.9";
    s.identify = true;
    s.factoryDefaults = false;
    s.deviceHours = 123456;
    s.lampHours = 7890;
    s.lampStrikes = 42;
    s.powerCycles = 70000;
    s.lampState = 3;
    s.lampOnMode = 1;
    s.displayInvert = 1;
    s.displayLevel = 128;
    s.panInvert = true;
    s.tiltInvert = false;
    s.panTiltSwap = true;
    s.powerState = 2;
    s.supportedParametersPerReply = 4;  // the list comes in several pieces
    return s;
}

class RdmAgainstSimulation : public ::testing::Test
{
protected:
    RdmAgainstSimulation() : responder(Everything())
    {
        line.Attach(&responder);
        fixture.SetUniqueId(UidLow(kUid), UidHigh(kUid));
    }

    sim::RdmResponder responder;
    TestLine line;
    RDMProtocol protocol{[this] { return &line; }};
    RecordingFeedback feedback;
    RDMDevice fixture;
};

TEST_F(RdmAgainstSimulation, EveryStandardParameterArrivesAsTheResponderHoldsIt)
{
    QList<Device*> fixtures = {&fixture};
    EXPECT_TRUE(protocol.UpdateDeviceInformation(&fixtures, &feedback));

    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty()) << feedback.Texts(FeedbackError).join('\n').toStdString();
    EXPECT_TRUE(feedback.Texts(FeedbackWarning).isEmpty());
    EXPECT_EQ(fixture.GetDeviceModelId(), 0x0507);
    EXPECT_EQ(fixture.GetProductCategory(), 0x0101);
    EXPECT_EQ(fixture.GetSoftwareVersionId(), (RDMDevice::SoftwareVersionId{1, 2, 3, 4}));
    EXPECT_EQ(fixture.GetPersonality(), 2);
    EXPECT_EQ(fixture.GetPersonalityDescription(), "Compact");
    EXPECT_EQ(fixture.GetFootprint(), 9);
    EXPECT_EQ(fixture.GetDmxAddress(), 200);
    EXPECT_EQ(fixture.GetSensorCount(), 3);
    EXPECT_EQ(fixture.GetManufacturer(), "Acme Lights");
    EXPECT_EQ(fixture.GetModelName(), "Beam 9");
    EXPECT_EQ(fixture.GetDeviceLabel(), "Truss 2");
    EXPECT_EQ(fixture.GetSoftwareVersion(), "4.5.6");
    EXPECT_EQ(fixture.GetBootVersionLabel(), "Boot 0.9");
    EXPECT_TRUE(fixture.GetIdentify());
    EXPECT_FALSE(fixture.GetFactoryDefaults());
    EXPECT_EQ(fixture.GetDeviceHours(), 123456u);
    EXPECT_EQ(fixture.GetLampHours(), 7890u);
    EXPECT_EQ(fixture.GetLampStrikes(), 42u);
    EXPECT_EQ(fixture.GetPowerCycles(), 4464);  // the low 16 bits of 70000
    EXPECT_EQ(fixture.GetLampState(), 3u);
    EXPECT_EQ(fixture.GetLampOnMode(), 1u);
    EXPECT_EQ(fixture.GetDisplayInvert(), 1u);
    EXPECT_EQ(fixture.GetDisplayLevel(), 128);
    EXPECT_TRUE(fixture.GetPanInvert());
    EXPECT_FALSE(fixture.GetTiltInvert());
    EXPECT_TRUE(fixture.GetPanTiltSwap());
    EXPECT_EQ(fixture.GetPowerState(), 2u);
    const QList<quint16> supported = sim::RdmResponderState::AllOptionalParameters();
    EXPECT_EQ(fixture.SupportedParameters().size(), supported.size());
}

TEST_F(RdmAgainstSimulation, SetsReachTheResponder)
{
    EXPECT_TRUE(protocol.SetDmxStartAddress(&fixture, 301, &feedback));
    EXPECT_TRUE(protocol.SetIdentify(&fixture, false, &feedback));
    EXPECT_EQ(responder.State().startAddress, 301);
    EXPECT_FALSE(responder.State().identify);
    EXPECT_EQ(fixture.GetDmxAddress(), 301);

    EXPECT_FALSE(protocol.SetDmxStartAddress(&fixture, 600, &feedback));
    EXPECT_EQ(feedback.Texts(FeedbackError),
              QStringList{" Device 0x414201020304 Failed Setting Dmx Start Address: Nack Error 6 (data out of range)!"});
    EXPECT_EQ(fixture.GetDmxAddress(), 301);
}

TEST_F(RdmAgainstSimulation, InjectedFaultsMeetTheEnginesHandling)
{
    struct Case {
        const char* name;
        sim::ResponderFault fault;
        bool stored;
        int requests;  // GET DEVICE_LABEL requests on the line
    };
    const Case cases[] = {
        {"silent twice, then answers", sim::ResponderFault::Silence().Times(2), true, 3},
        {"busy three times", sim::ResponderFault::Busy().Times(3), true, 4},
        {"ack timer", sim::ResponderFault::AckTimer(3), true, 2},
        {"bad checksum", sim::ResponderFault::BadChecksum(), false, 1},
        {"wrong destination", sim::ResponderFault::WrongDestination(), false, 1},
        {"nack of bad length", sim::ResponderFault::NackBadLength(), false, 1},
        {"nack", sim::ResponderFault::Nack(0x0004), false, 1},
        {"silent for good", sim::ResponderFault::Silence().Always(), false, RDMProtocol::kMaxAttempts},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RDMDevice target;
        target.SetUniqueId(UidLow(kUid), UidHigh(kUid));
        responder.ClearFaults();
        responder.InjectFault(sim::ResponderFault(c.fault).ForPid(PidDeviceLabel));
        line.requests.clear();
        EXPECT_EQ(protocol.GetDeviceLabel(&target, &feedback), c.stored);
        EXPECT_EQ(target.GetDeviceLabel(), c.stored ? "Truss 2" : "");
        EXPECT_EQ(line.Count(GetCommand, PidDeviceLabel), c.requests);
    }
}

} // namespace
