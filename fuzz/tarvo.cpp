// The lamp fixtures' Tarvo protocol: its replies and talkback records (device type,
// parameter and information records, the single values), the readiness answers of the
// loader, and discovery, all answered from the input.
#include "firmware/TarvoDevice.h"
#include "firmware/TarvoProtocol.h"
#include "fuzz/FuzzSupport.h"
#include "link/transport/IRdmLink.h"

#include <QCoreApplication>

namespace fuzz_target {
namespace {

// The far end: each answer is a mode byte (odd: nothing on the line) and a chunk of reply
// bytes; once the input is used up the line is silent.
class TarvoLine : public IRdmLink
{
public:
    explicit TarvoLine(fuzz::Input& input) : input_(input) {}
    bool SendRdmPacket(const quint8*, int, int) override { return !input_.Empty(); }
    bool SendRdmReadPacket(const quint8*, int, quint16, int) override { return !input_.Empty(); }
    int ReceiveRdmPacket(quint8* buffer, int capacity, quint8* complete, int) override
    {
        if (complete)
            *complete = 0;
        if (input_.Empty() || input_.Byte() & 1)
            return 0;
        const QByteArray reply = input_.Chunk();
        if (complete)
            *complete = 1;
        const int n = qMin(int(reply.size()), capacity);
        std::memcpy(buffer, reply.constData(), size_t(n));
        return n;
    }

private:
    fuzz::Input& input_;
};

TarvoLine* current = nullptr;

using Reader = bool (TarvoProtocol::*)(TarvoDevice*, IFeedback*);
const Reader kReaders[] = {
    &TarvoProtocol::GetDeviceType,    &TarvoProtocol::GetAllParams,      &TarvoProtocol::GetAllInfo,
    &TarvoProtocol::GetDmxAddress,    &TarvoProtocol::GetDmxPersonality, &TarvoProtocol::GetPanTiltSwap,
    &TarvoProtocol::GetPanInvert,     &TarvoProtocol::GetTiltInvert,     &TarvoProtocol::GetDisplayInvert,
    &TarvoProtocol::GetDisplayOn,     &TarvoProtocol::GetLampLimit,      &TarvoProtocol::GetFixtureType,
    &TarvoProtocol::GetLampState,     &TarvoProtocol::GetShutdownTime,   &TarvoProtocol::GetDataLossTime,
    &TarvoProtocol::GetEncoderDisable, &TarvoProtocol::GetLensType,      &TarvoProtocol::GetFastMode,
    &TarvoProtocol::GetDmxFootprint,  &TarvoProtocol::GetDeviceHours,    &TarvoProtocol::GetFirmwareVersion,
};
constexpr int kReaderCount = int(std::size(kReaders));

} // namespace

void Setup()
{
    TarvoProtocol::Instance()->SetLinkProvider([]() -> IRdmLink* { return current; });
}

void WriteSeeds()
{
    // Every reader answered with a short record and a long one.
    fuzz::InputWriter readers;
    readers.Byte(1);
    for (int r = 0; r < kReaderCount; ++r) {
        readers.Byte(quint8(r));
        readers.Byte(0).Chunk(QByteArray::fromHex("0102030405060708"));
        readers.Byte(0).Chunk(QByteArray::fromHex("11000100020003000400050006000700080009000a"));
    }
    readers.Byte(kReaderCount).Byte(0).Chunk(QByteArray::fromHex("01"));
    fuzz::Seed(QStringLiteral("readers"), readers.Data());

    // Discovery: answers down one branch, then the fixture's records.
    fuzz::InputWriter discovery;
    discovery.Byte(0);
    for (int i = 0; i < 200; ++i)
        discovery.Byte(i % 3 == 0 ? 1 : 0).Chunk(QByteArray::fromHex("00000102"));
    fuzz::Seed(QStringLiteral("discovery"), discovery.Data());
}

void Run(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    TarvoLine line(input);
    current = &line;
    TarvoProtocol* protocol = TarvoProtocol::Instance();
    if (input.Byte() % 2 == 0) {
        QList<Device*> devices;
        protocol->Discover(&devices, nullptr);
        qDeleteAll(devices);
    } else {
        TarvoDevice device;
        device.SetUniqueId(0x00000102, 0);
        while (!input.Empty()) {
            const int operation = input.Byte() % (kReaderCount + 1);
            if (operation < kReaderCount)
                (protocol->*kReaders[operation])(&device, nullptr);
            else
                protocol->IsReadyForCode(&device);
        }
    }
    current = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace fuzz_target
