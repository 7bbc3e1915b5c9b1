#pragma once

#include "fuzz/FuzzSupport.h"
#include "link/rdm/RDMProtocol.h"
#include "link/transport/IRdmLink.h"

// The far end of the RDM engines for the fuzz targets: every request is answered from the
// input. Each answer starts with a mode byte:
//
//   mode % 5 == 0   a well-formed reply to the request: response type (1 byte), then the
//                   parameter data (a chunk); transaction number, UIDs, command class, PID,
//                   lengths and checksum as the request wants them
//   mode % 5 == 1   the same, but the PID (2 bytes) and message count (1 byte) from the input
//   mode % 5 == 2   raw reply bytes (a chunk), as the widget would hand them on
//   mode % 5 == 3   a reply to another transaction, then the well-formed one
//   mode % 5 == 4   nothing on the line; the next byte says whether the widget completed
//
// Once the input is used up, the line is silent, so every exchange ends.
class FuzzRdmLink : public IRdmLink
{
public:
    explicit FuzzRdmLink(fuzz::Input& input) : input_(input) {}

    bool SendRdmPacket(const quint8* data, int length, int) override
    {
        request_ = QByteArray(reinterpret_cast<const char*>(data), length);
        return !input_.Empty();
    }
    bool SendRdmReadPacket(const quint8* data, int length, quint16, int timeoutMs) override
    {
        stray_ = false;
        return SendRdmPacket(data, length, timeoutMs);
    }
    int ReceiveRdmPacket(quint8* buffer, int capacity, quint8* complete, int) override
    {
        if (complete)
            *complete = 0;
        if (input_.Empty() || request_.size() < rdm::kMinPacketSize)
            return 0;
        QByteArray reply;
        const quint8 mode = stray_ ? 0 : input_.Byte() % 5;
        switch (mode) {
        case 0: reply = Reply(Pid(), 0, Transaction()); break;
        case 1: {
            const quint16 pid = input_.U16();
            reply = Reply(pid, input_.Byte(), Transaction());
            break;
        }
        case 2: reply = input_.Chunk(); break;
        case 3:
            reply = Reply(Pid(), 0, quint8(Transaction() + 1));
            stray_ = true; // the request's own answer follows
            break;
        default:
            if (complete)
                *complete = input_.Byte() & 1;
            return 0;
        }
        if (complete)
            *complete = 1;
        const int n = qMin(int(reply.size()), capacity);
        std::memcpy(buffer, reply.constData(), size_t(n));
        return n;
    }

    // A well-formed E1.20 reply to the request.
    QByteArray Reply(quint16 pid, quint8 messageCount, quint8 transaction)
    {
        const quint8 responseType = input_.Byte();
        const QByteArray data = input_.Chunk().left(rdm::kMaxParameterData);
        const auto* request = reinterpret_cast<const quint8*>(request_.constData());
        QByteArray reply(rdm::kHeaderSize, '\0');
        auto* out = reinterpret_cast<quint8*>(reply.data());
        out[rdm::offset::StartCode] = rdm::kStartCode;
        out[rdm::offset::SubStartCode] = rdm::kSubStartCode;
        out[rdm::offset::MessageLength] = quint8(rdm::kHeaderSize + data.size());
        std::memcpy(out + rdm::offset::Destination, request + rdm::offset::Source, 6);
        // A broadcast is answered by some fixture: the UID comes from the input then.
        if (RDMProtocol::ReadUid(request + rdm::offset::Destination) == rdm::BroadcastUid)
            RDMProtocol::WriteUid(out + rdm::offset::Source, input_.Byte(), 0x7FF0);
        else
            std::memcpy(out + rdm::offset::Source, request + rdm::offset::Destination, 6);
        out[rdm::offset::TransactionNumber] = transaction;
        out[rdm::offset::PortOrResponseType] = responseType;
        out[rdm::offset::MessageCount] = messageCount;
        std::memcpy(out + rdm::offset::SubDevice, request + rdm::offset::SubDevice, 2);
        out[rdm::offset::CommandClass] = quint8(request[rdm::offset::CommandClass] + 1);
        RDMProtocol::WriteUInt16(out + rdm::offset::ParameterId, pid);
        out[rdm::offset::ParameterDataLength] = quint8(data.size());
        reply.append(data);
        reply.append(2, '\0');
        RDMProtocol::ComputeChecksum(reinterpret_cast<quint8*>(reply.data()), int(reply.size()) - 2);
        return reply;
    }

private:
    quint16 Pid() const
    {
        return RDMProtocol::ReadUInt16(reinterpret_cast<const quint8*>(request_.constData()) + rdm::offset::ParameterId);
    }
    quint8 Transaction() const { return quint8(request_.at(rdm::offset::TransactionNumber)); }

    fuzz::Input& input_;
    QByteArray request_;
    bool stray_ = false;
};

// Writes the answers of FuzzRdmLink into a seed.
class RdmAnswers
{
public:
    RdmAnswers& Ack(const QByteArray& data, quint8 responseType = 0)
    {
        writer_.Byte(0).Byte(responseType).Chunk(data);
        return *this;
    }
    RdmAnswers& AckFor(quint16 pid, const QByteArray& data, quint8 responseType = 0, quint8 messages = 0)
    {
        writer_.Byte(1).U16(pid).Byte(messages).Byte(responseType).Chunk(data);
        return *this;
    }
    RdmAnswers& Raw(const QByteArray& bytes)
    {
        writer_.Byte(2).Chunk(bytes);
        return *this;
    }
    RdmAnswers& Silence(bool completed = false)
    {
        writer_.Byte(4).Byte(completed ? 1 : 0);
        return *this;
    }
    RdmAnswers& Byte(quint8 value)
    {
        writer_.Byte(value);
        return *this;
    }
    const QByteArray& Data() const { return writer_.Data(); }

private:
    fuzz::InputWriter writer_;
};
