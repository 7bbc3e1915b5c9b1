// RDM replies: SendRequest over a link whose answers are the input, every standard GET
// decoder and the LED families' own, and discovery with the adoption of family fixtures.
#include "fixtures/QelFamilies.h"
#include "fixtures/QelProtocol.h"
#include "fixtures/QelRDM.h"
#include "fuzz/FuzzRdmLink.h"
#include "link/devices/RDMDevice.h"

#include <QCoreApplication>

namespace fuzz_target {
namespace {

FuzzRdmLink* current = nullptr;
IRdmLink* CurrentLink()
{
    return current;
}

using StandardGet = bool (RDMProtocol::*)(RDMDevice*, IFeedback*);
const StandardGet kStandardGets[] = {
    &RDMProtocol::GetSupportedParameters,   &RDMProtocol::GetDmxStartAddress,
    &RDMProtocol::GetPersonalityDescription, &RDMProtocol::GetDeviceModelDescription,
    &RDMProtocol::GetManufacturerLabel,     &RDMProtocol::GetDeviceLabel,
    &RDMProtocol::GetFactoryDefaults,       &RDMProtocol::GetSoftwareVersionLabel,
    &RDMProtocol::GetBootSoftwareVersionLabel, &RDMProtocol::GetDeviceHours,
    &RDMProtocol::GetLampHours,             &RDMProtocol::GetLampStrikes,
    &RDMProtocol::GetLampState,             &RDMProtocol::GetLampOnMode,
    &RDMProtocol::GetDevicePowerCycles,     &RDMProtocol::GetDisplayInvert,
    &RDMProtocol::GetDisplayLevel,          &RDMProtocol::GetPanInvert,
    &RDMProtocol::GetTiltInvert,            &RDMProtocol::GetPanTiltSwap,
    &RDMProtocol::GetPowerState,            &RDMProtocol::GetDeviceInfo,
    &RDMProtocol::GetIdentify,
};
constexpr int kStandardCount = int(std::size(kStandardGets));

using FamilyGet = bool (QelProtocol::*)(QelRDM*, IFeedback*);
const FamilyGet kFamilyGets[] = {
    &QelProtocol::GetFPGAVersion,   &QelProtocol::GetGraphicsEngineUniqueId, &QelProtocol::GetGraphicsEngineVersionLabel,
    &QelProtocol::GetMosavraAddress, &QelProtocol::GetGraphicsBootChanged,
};
constexpr int kFamilyCount = int(std::size(kFamilyGets));

// Operation numbers of a seed: the standard GETs, then the family GETs, then these.
constexpr int kUpdateAll = kStandardCount + kFamilyCount;
constexpr int kRawRequest = kUpdateAll + 1;
constexpr int kOperations = kRawRequest + 1;

void Discover()
{
    QList<Device*> devices;
    RDMProtocol::Instance()->Discover(&devices, nullptr);
    for (Device* device : devices)
        fuzz::Require(device != nullptr, "discovery lists fixtures only");
    qDeleteAll(devices);
}

void Operations(fuzz::Input& input, bool brevant)
{
    std::unique_ptr<QelRDM> fixture;
    if (brevant)
        fixture = std::make_unique<BrevantRDM>();
    else
        fixture = std::make_unique<CindralRDM>();
    fixture->SetUniqueId(0x00000102, 0x7FF0);
    QelProtocol* family = QelProtocol::Instance(fixture.get());
    while (!input.Empty()) {
        const int operation = input.Byte() % kOperations;
        if (operation < kStandardCount) {
            (family->*kStandardGets[operation])(fixture.get(), nullptr);
        } else if (operation < kUpdateAll) {
            (family->*kFamilyGets[operation - kStandardCount])(fixture.get(), nullptr);
        } else if (operation == kUpdateAll) {
            QList<Device*> list{fixture.get()};
            family->UpdateDeviceInformation(&list, nullptr);
        } else {
            // Any request, any reply: the engine's own checks.
            const quint8 commandClass = input.Byte();
            const quint16 pid = input.U16();
            const QByteArray data = input.Chunk();
            quint8 reply[256];
            int length = int(input.Byte());
            const int result = family->SendRequest(0x00000102, 0x7FF0, commandClass, pid, data.constData(),
                                                   int(data.size()), reply, &length, nullptr);
            fuzz::Require(length >= 0 && length <= int(sizeof reply), "a reply fits the room it was given");
            fuzz::Require(result >= 0 || length == 0, "a failed request hands back no data");
        }
    }
}

} // namespace

void Setup()
{
    RegisterQelFamilies();
    BrevantRDM brevant;
    CindralRDM cindral;
    for (RDMProtocol* engine : {RDMProtocol::Instance(), static_cast<RDMProtocol*>(QelProtocol::Instance(&brevant)),
                                static_cast<RDMProtocol*>(QelProtocol::Instance(&cindral))})
        engine->SetLinkProvider(&CurrentLink);
}

void WriteSeeds()
{
    // A family fixture's parameters, one of each operation answered.
    RdmAnswers everything;
    everything.Byte(1);
    for (int operation = 0; operation < kOperations - 1; ++operation) {
        everything.Byte(quint8(operation));
        everything.Ack(QByteArray("\x01\x00\x01\x02\x03\x04\x00\x60\x00\x10\x01\x04\x00\x01\x00\x00\x00\x00\x05", 19));
        everything.Ack(QByteArray("BREVANT"));
    }
    fuzz::Seed(QStringLiteral("operations"), everything.Data());

    RdmAnswers special;
    special.Byte(2).Byte(0).Ack(QByteArray("\x00\x60\x00\x82", 4), 3).Ack(QByteArray("\x00\x83", 2));
    special.Byte(kStandardCount - 2).Ack(QByteArray("\x00\x03", 2), 1).Ack({}, 0);
    special.Byte(kStandardCount - 3).Ack(QByteArray("\x00\x05", 2), 2);
    special.Byte(kRawRequest).Byte(0x20).Byte(0x00).Byte(0x82).Byte(0).Byte(16).Raw(QByteArray(30, char(0xCC)));
    fuzz::Seed(QStringLiteral("overflow-timer-nack"), special.Data());

    // Discovery: one fixture answers every branch down to its UID and mutes; it says it
    // is a BREVANT.
    RdmAnswers discovery;
    discovery.Byte(0);
    for (int level = 0; level < 50; ++level)
        discovery.Silence(true).Silence(false);
    discovery.Ack(QByteArray(2, '\0')).Byte(1);
    discovery.Ack(QByteArray("\x01\x00\x01\x02\x03\x04\x00\x60\x00\x10\x01\x04\x00\x01\x00\x00\x00\x00\x05", 19));
    discovery.Ack(QByteArray("BREVANT"));
    discovery.Ack(QByteArray("\x01", 1));
    discovery.Ack(QByteArray("\x00\x00\x12\x34", 4));
    fuzz::Seed(QStringLiteral("discovery"), discovery.Data());
}

void Run(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    FuzzRdmLink link(input);
    current = &link;
    const quint8 selector = input.Byte();
    if (selector % 3 == 0)
        Discover();
    else
        Operations(input, selector % 3 == 1);
    current = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace fuzz_target
