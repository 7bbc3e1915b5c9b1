// The Tarvo firmware upload: every fixture of the list is reset into its loader and
// erased, the image is broadcast packet by packet with a confirmation from every fixture
// after each, and every fixture finally checks the image's checksum.
#include "firmware/TarvoProtocol.h"

#include "firmware/TarvoDefs.h"
#include "library/archive/FileLayer.h"
#include "link/devices/Device.h"
#include "link/rdm/RDMProtocol.h"
#include "link/rdm/RdmText.h"
#include "platform/system/Clock.h"

#include <QMap>
#include <QSet>

#include <algorithm>
#include <functional>

using namespace tarvo;
using rdm::Hex;
using rdm::Report;

namespace {

quint32 WireId(const Device* device)
{
    return quint32(device->GetUniqueId());
}

// The erase and packet steps keep their devices by wire id read as a signed number, so
// the list they leave is in that order.
qint64 WireKey(const Device* device)
{
    return qint64(qint32(WireId(device)));
}

void SetTotal(IFeedback* feedback, int total)
{
    if (feedback)
        feedback->SetTotal(total);
}

void SetCurrent(IFeedback* feedback, int current)
{
    if (feedback)
        feedback->SetCurrent(current);
}

// The smallest image that fills every packet but the last, which needs one byte.
qint64 SmallestImage(quint32 packets)
{
    return qint64(packets - 1) * kFirmwarePacketSize + 1;
}

// " Error: Device 0x<id> lost., <left> devices left in upload" for every device of
// `devices` that `kept` does not keep.
void ReportLost(const QList<Device*>& devices, const std::function<bool(const Device*)>& kept, int left,
                IFeedback* feedback)
{
    for (const Device* device : devices)
        if (!kept(device))
            Report(feedback,
                   QStringLiteral(" Error: Device 0x%1 lost.").arg(Hex(WireId(device)))
                       + QStringLiteral(", %1 devices left in upload").arg(left),
                   FeedbackError);
}

} // namespace

bool TarvoProtocol::CanUpload(const QString& file, const QList<Device*>& devices) const
{
    if (devices.isEmpty() || std::find(devices.begin(), devices.end(), nullptr) != devices.end())
        return false;
    const quint32 packets = devices.first()->GetFirmwarePacketCount();
    if (packets == 0)
        return false;
    FileLayer::File image(file);
    return image.open(QIODevice::ReadOnly) && image.size() >= SmallestImage(packets);
}

bool TarvoProtocol::UploadFirmware(const QString& file, QList<Device*>& devices, IFeedback* feedback)
{
    // A fixture reset and erased without an image to take is worse off than one left
    // alone, so everything the upload needs is checked before the first reset.
    if (!CanUpload(file, devices)) {
        Report(feedback, QStringLiteral(" Error: Failed to sending upload packets"), FeedbackError);
        return false;
    }
    Report(feedback, QStringLiteral(" Resetting devices.."), FeedbackNormal);
    for (int round = 0; round < kResetRounds; ++round)
        for (quint32 code : kResetCodes)
            SendPacket(kCommand, SubReset, code, nullptr, 0);
    platform::Clock::SleepMs(kSettleMs);

    if (!EraseFlash(devices, feedback)) {
        Report(feedback, QStringLiteral(" Error: No fixtures ready for code!"), FeedbackError);
        return false;
    }
    quint16 checksum = 0;
    if (!SendFirmwareFile(file, devices, checksum, feedback)) {
        Report(feedback, QStringLiteral(" Error: Failed to sending upload packets"), FeedbackError);
        return false;
    }
    return VerifyChecksums(devices, checksum, feedback);
}

bool TarvoProtocol::IsReadyForCode(const Device* device)
{
    quint8 reply[kRequestReplyRoom];
    return device && Request(kCommand, SubReadyForCode, WireId(device), 0, reply, kRequestReplyRoom) > 0
        && GetId(reply + kReplyAnswerOffset) == kReadyForCode;
}

bool TarvoProtocol::ConfirmPacket(const Device* device, quint16 packet)
{
    quint8 reply[kRequestReplyRoom];
    return device && Request(kCommand, SubConfirmPacket, WireId(device), packet, reply, kRequestReplyRoom) > 0
        && RDMProtocol::ReadUInt16(reply + 8) == packet;
}

bool TarvoProtocol::EraseFlash(QList<Device*>& devices, IFeedback* feedback)
{
    Report(feedback, QStringLiteral(" Sending command to devices to erase flashrom"), FeedbackNormal);
    QSet<qint64> wanted;
    for (const Device* device : devices) {
        SendPacket(kCommand, SubErase, WireId(device), nullptr, 0);
        wanted.insert(WireKey(device));
    }
    Report(feedback, QStringLiteral(" Waiting up to 60 seconds for devices to erase flashrom"), FeedbackNormal);
    SetTotal(feedback, int(devices.size()));
    SetCurrent(feedback, 0);

    // The limit is measured on the clock, not by counting rounds: every round takes as
    // long as its silent fixtures make it.
    const qint64 start = platform::Clock::NowMs();
    QMap<qint64, Device*> ready;
    do {
        platform::Clock::SleepMs(kPollIntervalMs);
        for (Device* device : devices) {
            if (ready.contains(WireKey(device)))
                continue;
            if (IsReadyForCode(device)) {
                ready.insert(WireKey(device), device);
                Report(feedback, QStringLiteral(" Devices %1 out of %2 is ready!").arg(ready.size()).arg(devices.size()),
                       FeedbackNormal);
                SetCurrent(feedback, int(ready.size()));
            } else {
                // It may have missed the first one.
                SendPacket(kCommand, SubErase, WireId(device), nullptr, 0);
            }
        }
    } while (ready.size() < wanted.size() && platform::Clock::NowMs() - start < kEraseLimitMs);

    // A device left behind here takes no image; it is named, as one lost on a packet is,
    // so that the tally of verified devices at the end does not pass for all of them.
    ReportLost(devices, [&ready](const Device* device) { return ready.contains(WireKey(device)); },
               int(ready.size()), feedback);
    devices = ready.values();
    return !ready.isEmpty();
}

bool TarvoProtocol::SendFirmwareFile(const QString& file, QList<Device*>& devices, quint16& checksum,
                                     IFeedback* feedback)
{
    FileLayer::File image(file);
    if (devices.isEmpty() || !devices.first() || !image.open(QIODevice::ReadOnly))
        return false;
    const quint32 packets = devices.first()->GetFirmwarePacketCount();
    const bool skipBlank = devices.first()->SkipBlankFirmwarePackets();
    SetTotal(feedback, int(packets));
    SetCurrent(feedback, 0);
    // The line of the packet at hand; an error that ends the upload is added to it.
    QString line = QStringLiteral(" Sending %1 data packets to fixtures").arg(packets);
    Report(feedback, line, FeedbackNormal);

    for (quint32 p = 0; p < packets; ++p) {
        SetCurrent(feedback, int(p + 1));
        QByteArray packet(kFirmwarePacketSize, '\0');
        if (image.read(packet.data(), kFirmwarePacketSize) <= 0) {
            Report(feedback, line + QStringLiteral(" Error: End of file error in packet %1").arg(p), FeedbackError);
            return false;
        }
        // Every packet counts in the checksum, whether it is sent or not.
        for (char byte : std::as_const(packet))
            checksum = ChecksumStep(checksum, quint8(byte));
        const bool blank = std::all_of(packet.cbegin(), packet.cend(), [](char byte) { return quint8(byte) == 0xFF; });
        line = QStringLiteral(" Processing packet %1 of %2").arg(p).arg(packets);
        if (skipBlank && blank) {
            Report(feedback, line + QStringLiteral(" - Skipping packet"), FeedbackNormal);
            continue;
        }
        if (SendPacket(kCommand, SubFirmwarePacket, p, reinterpret_cast<const quint8*>(packet.constData()),
                       kFirmwarePacketSize))
            Report(feedback, line + QStringLiteral(" - Success"), FeedbackNormal);
        else
            Report(feedback, line + QStringLiteral(" - Send failed"), FeedbackError);

        // Every device that has not confirmed the packet is asked in every round, so no
        // number of devices outruns the rounds.
        QMap<qint64, Device*> confirmed;
        for (int round = 0; round < kConfirmRounds; ++round) {
            platform::Clock::SleepMs(kPollIntervalMs);
            for (Device* device : devices)
                if (!confirmed.contains(WireKey(device)) && ConfirmPacket(device, quint16(p)))
                    confirmed.insert(WireKey(device), device);
            if (std::all_of(devices.cbegin(), devices.cend(),
                            [&confirmed](const Device* device) { return confirmed.contains(WireKey(device)); }))
                break;
        }
        ReportLost(devices, [&confirmed](const Device* device) { return confirmed.contains(WireKey(device)); },
                   int(confirmed.size()), feedback);
        if (confirmed.isEmpty())
            return false;
        devices = confirmed.values();
    }
    return true;
}

bool TarvoProtocol::VerifyChecksums(QList<Device*>& devices, quint16 checksum, IFeedback* feedback)
{
    if (devices.isEmpty()) {
        Report(feedback, QStringLiteral(" No devices left to verify"), FeedbackNormal);
        return false;
    }
    Report(feedback,
           QStringLiteral(" Verify checksum value of 0x%1").arg(Hex(checksum))
               + QStringLiteral(" in %1 device(s)").arg(devices.size()),
           FeedbackNormal);
    const int total = kVerifyProgressPerDevice * int(devices.size());
    SetTotal(feedback, total);
    SetCurrent(feedback, 0);

    QMap<quint64, Device*> verified;
    QSet<quint64> answered;
    int steps = 0;
    for (int pass = 1; pass <= kVerifyPasses && answered.size() < devices.size(); ++pass) {
        Report(feedback, QStringLiteral(" Verifying checksums (pass %1)").arg(pass), FeedbackNormal);
        platform::Clock::SleepMs(kVerifyPassWaitMs);
        for (Device* device : std::as_const(devices)) {
            SetCurrent(feedback, steps + pass);
            ++steps;
            const quint64 uid = device->GetUniqueId();
            if (answered.contains(uid))
                continue;
            quint8 reply[kRequestReplyRoom];
            const int result = Request(kCommand, SubVerifyChecksum, WireId(device), checksum, reply, kRequestReplyRoom);
            if (result > 0) {
                answered.insert(uid);
                verified.insert(uid, device);
                Report(feedback, QStringLiteral(" Device 0x%1 verified").arg(Hex(uid)), FeedbackNormal);
            } else if (result < 0) {
                // A broken reply checksum is the fixture's way of saying the image is wrong.
                answered.insert(uid);
                Report(feedback, QStringLiteral(" Error: Device 0x%1 checksum failed").arg(Hex(uid)), FeedbackError);
            }
        }
    }
    Report(feedback,
           QStringLiteral(" %1 device(s) out of").arg(verified.size())
               + QStringLiteral(" %1 verified.").arg(devices.size()),
           FeedbackNormal);
    SetCurrent(feedback, total);
    // Only a verified image is a success: a device that failed, or never answered, is not
    // upgraded.
    devices = verified.values();
    return !verified.isEmpty();
}
