#include "firmware/TarvoProtocol.h"

#include "firmware/TarvoDefs.h"
#include "link/devices/Device.h"
#include "link/rdm/DefaultRdmLink.h"
#include "link/rdm/RDMProtocol.h"
#include "link/rdm/RdmText.h"
#include "link/transport/IRdmLink.h"
#include "platform/system/Clock.h"

#include <algorithm>
#include <cstring>

using namespace tarvo;

TarvoProtocol::TarvoProtocol(QObject* parent) : TarvoProtocol(LinkProvider(&DefaultRdmLink), parent) {}

TarvoProtocol::TarvoProtocol(LinkProvider provider, QObject* parent)
    : QObject(parent), linkProvider_(std::move(provider))
{
}

TarvoProtocol::~TarvoProtocol() = default;

TarvoProtocol* TarvoProtocol::Instance()
{
    // Lives to the end of the process: the registry and queued commands hold it.
    static TarvoProtocol* instance = new TarvoProtocol();
    return instance;
}

void TarvoProtocol::SetLinkProvider(LinkProvider provider)
{
    linkProvider_ = std::move(provider);
}

IRdmLink* TarvoProtocol::Link() const
{
    return linkProvider_ ? linkProvider_() : nullptr;
}

// ---- byte helpers ----------------------------------------------------------------------

void TarvoProtocol::PutId(quint8* bytes, quint32 value)
{
    RDMProtocol::WriteUInt32(bytes, value);
}

quint32 TarvoProtocol::GetId(const quint8* bytes)
{
    return RDMProtocol::ReadUInt32(bytes);
}

quint16 TarvoProtocol::ChecksumStep(quint16 checksum, quint8 byte)
{
    const quint16 rotated = quint16((checksum << 1) | (checksum >> 15));
    return quint16(rotated + byte + 3);
}

quint16 TarvoProtocol::BufferChecksumStep(quint16 checksum, quint8 byte)
{
    return ChecksumStep(checksum, byte);
}

quint16 TarvoProtocol::ComputeChecksum(const quint8* buffer, int length)
{
    quint16 checksum = 0;
    for (int i = 0; buffer && i < length - kChecksumSize; ++i)
        checksum = ChecksumStep(checksum, buffer[i]);
    return checksum;
}

void TarvoProtocol::FillChecksum(quint8* buffer, int length)
{
    if (!buffer || length < kChecksumSize)
        return;
    RDMProtocol::WriteUInt16(buffer + length - kChecksumSize, ComputeChecksum(buffer, length));
}

bool TarvoProtocol::CheckReplyChecksum(const quint8* buffer, int length)
{
    if (!buffer || length < kChecksumSize)
        return false;
    return ComputeChecksum(buffer, length) == RDMProtocol::ReadUInt16(buffer + length - kChecksumSize);
}

quint16 TarvoProtocol::RequestReplyChecksum(const quint8* reply)
{
    quint16 checksum = ChecksumStep(0, kCommand);
    for (int i = 1; i < kRequestReplySize - kChecksumSize; ++i)
        checksum = ChecksumStep(checksum, reply[i]);
    return checksum;
}

// ---- the wire ----------------------------------------------------------------------------

bool TarvoProtocol::SendPacket(quint8 command, quint8 subCommand, quint32 id, const quint8* data, int length)
{
    // The widget carries at most 512 bytes; a longer packet would be cut on the line.
    if (length < 0 || length > kMaxPacketData || (length > 0 && !data))
        return false;
    quint8 packet[kMaxPacketSize] = {};
    packet[0] = command;
    packet[1] = subCommand;
    PutId(packet + 2, id);
    if (length > 0)
        std::memcpy(packet + kHeaderSize, data, size_t(length));
    const int size = kHeaderSize + length + kChecksumSize;
    FillChecksum(packet, size);
    IRdmLink* link = Link();
    return link && link->SendRdmPacket(packet, size, kSendTimeoutMs);
}

bool TarvoProtocol::SendCommandWord(quint32 code)
{
    return SendPacket(kCommand, SubCommandWord, code, nullptr, 0);
}

int TarvoProtocol::Request(quint8 command, quint8 subCommand, quint32 id, quint16 argument, quint8* reply,
                           int replyLength)
{
    const int room = std::clamp(replyLength, 0, kTalkbackReplyRoom);
    if (!reply || room == 0)
        return 0;
    std::memset(reply, 0, size_t(room));
    quint8 request[kRequestSize];
    request[0] = command;
    request[1] = subCommand;
    PutId(request + 2, id);
    RDMProtocol::WriteUInt16(request + kHeaderSize, argument);
    FillChecksum(request, kRequestSize);

    IRdmLink* link = Link();
    if (!link)
        return 0;
    int received = 0;
    for (int attempt = 0; attempt < kRequestTries && received <= 0; ++attempt) {
        if (!link->SendRdmReadPacket(request, kRequestSize, quint16(room), kSendTimeoutMs))
            continue;
        std::memset(reply, 0, size_t(room));
        platform::Clock::SleepMs(kReplyWaitMs);
        received = link->ReceiveRdmPacket(reply, room, nullptr, kReplyTimeoutMs);
    }
    if (received <= 0)
        return 0;
    // A reply too short to hold its checksum is as broken as one whose checksum is wrong.
    if (received < kRequestReplySize || RequestReplyChecksum(reply) != RDMProtocol::ReadUInt16(reply + 10))
        return -1;
    return received;
}

int TarvoProtocol::Talkback(const Device* device, quint8 parameter, quint8* buffer, int capacity, IFeedback* feedback)
{
    return RunTalkback(kTalkbackInformation, device, parameter, buffer, capacity, feedback);
}

int TarvoProtocol::TalkbackParam(const Device* device, quint8 parameter, quint8* buffer, int capacity,
                                 IFeedback* feedback)
{
    return RunTalkback(kTalkbackParameter, device, parameter, buffer, capacity, feedback);
}

int TarvoProtocol::RunTalkback(quint8 kind, const Device* device, quint8 parameter, quint8* buffer, int capacity,
                               IFeedback* feedback)
{
    if (!device)
        return 0;
    quint8 request[kTalkbackRequestSize] = {};
    request[0] = kCommand;
    request[1] = SubTalkback;
    request[2] = kind;
    request[3] = parameter;
    PutId(request + 4, quint32(device->GetUniqueId()));
    request[kTalkbackLengthOffset] = 2;  // two data bytes, both 0
    FillChecksum(request, kTalkbackRequestSize);

    IRdmLink* link = Link();
    if (!link) {
        rdm::Report(feedback, QStringLiteral(" Error: No communication device detected"), FeedbackError);
        return 0;
    }
    if (!link->SendRdmReadPacket(request, kTalkbackRequestSize, kTalkbackReplyRoom, kTalkbackTimeoutMs))
        return 0;
    platform::Clock::SleepMs(kReplyWaitMs);
    quint8 reply[kTalkbackReplyRoom] = {};
    const int received = link->ReceiveRdmPacket(reply, kTalkbackReplyRoom, nullptr, kTalkbackTimeoutMs);

    const quint8 replyKind = kind == kTalkbackInformation ? kTalkbackInformationReply : kTalkbackParameterReply;
    // The data length is the fixture's word; the data must really have come, checksum
    // behind them, before a byte of them is taken.
    const bool accepted = received >= kTalkbackHeaderSize + kChecksumSize && reply[0] == kCommand
                       && reply[1] == SubTalkback && reply[2] == replyKind && reply[3] == parameter
                       && received >= kTalkbackHeaderSize + reply[kTalkbackLengthOffset] + kChecksumSize
                       && CheckReplyChecksum(reply, received);
    if (!accepted) {
        rdm::Report(feedback,
                    QStringLiteral(" Tarvo Talkback: Warning: No reply from 0x%1").arg(rdm::Hex(device->GetUniqueId())),
                    FeedbackNormal);
        return 0;
    }
    const int length = reply[kTalkbackLengthOffset];
    if (length > capacity || (length > 0 && !buffer))
        return 0;
    if (length > 0)
        std::memcpy(buffer, reply + kTalkbackHeaderSize, size_t(length));
    return length;
}

bool TarvoProtocol::ReadWord(const Device* device, quint8 parameter, quint16* value, IFeedback* feedback)
{
    quint8 data[2];
    if (TalkbackParam(device, parameter, data, 2, feedback) != 2)
        return false;
    if (value)
        *value = RDMProtocol::ReadUInt16(data);
    return true;
}
