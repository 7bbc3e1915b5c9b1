#include "link/rdm/RDMProtocol.h"

#include "link/feedback/Feedback.h"
#include "link/rdm/DefaultRdmLink.h"
#include "link/transport/IRdmLink.h"
#include "platform/system/Clock.h"
#include "link/rdm/RdmText.h"

#include <algorithm>
#include <cstring>

using namespace rdm;

// What one exchange sent, for checking the replies against it.
struct RDMProtocol::Exchange
{
    quint64 destination;
    quint8 commandClass;
    quint16 pid;
    quint8 transaction;
    // A QUEUED_MESSAGE request: its answer is the queued message, which carries the
    // command class and PID of the request it answers.
    bool queuedMessage = false;

    // The tail every transaction message ends with.
    QString Command() const
    {
        return QStringLiteral("COMMAND(0x%1) and PID(0x%2)").arg(Hex(commandClass), Hex(pid));
    }
};

RDMProtocol::RDMProtocol(QObject* parent) : RDMProtocol(LinkProvider(&DefaultRdmLink), parent) {}

RDMProtocol::RDMProtocol(LinkProvider provider, QObject* parent)
    : QObject(parent), linkProvider_(std::move(provider))
{
}

RDMProtocol::~RDMProtocol() = default;

RDMProtocol* RDMProtocol::Instance()
{
    // Lives to the end of the process: the registry and queued commands hold it.
    static RDMProtocol* instance = new RDMProtocol();
    return instance;
}

// ---- byte helpers ------------------------------------------------------------------

int RDMProtocol::ComputeChecksum(quint8* packet, int length)
{
    if (!packet || length < 0)
        return length;
    quint16 sum = 0;
    for (int i = 0; i < length; ++i)
        sum = quint16(sum + packet[i]);
    WriteUInt16(packet + length, sum);
    return length;
}

bool RDMProtocol::VerifyChecksum(const quint8* packet, int length)
{
    if (!packet || length < kChecksumSize)
        return false;
    quint16 sum = 0;
    for (int i = 0; i < length - kChecksumSize; ++i)
        sum = quint16(sum + packet[i]);
    return sum == ReadUInt16(packet + length - kChecksumSize);
}

void RDMProtocol::WriteUid(quint8* destination, quint32 low, quint32 high)
{
    if (!destination)
        return;
    WriteUInt16(destination, quint16(high));
    WriteUInt32(destination + 2, low);
}

quint64 RDMProtocol::ReadUid(const quint8* source)
{
    if (!source)
        return 0;
    return MakeUid(ReadUInt32(source + 2), ReadUInt16(source));
}

void RDMProtocol::WriteUInt32(quint8* destination, quint32 value)
{
    if (!destination)
        return;
    destination[0] = quint8(value >> 24);
    destination[1] = quint8(value >> 16);
    destination[2] = quint8(value >> 8);
    destination[3] = quint8(value);
}

quint32 RDMProtocol::ReadUInt32(const quint8* source)
{
    if (!source)
        return 0;
    return (quint32(source[0]) << 24) | (quint32(source[1]) << 16) | (quint32(source[2]) << 8) | source[3];
}

void RDMProtocol::WriteUInt16(quint8* destination, quint16 value)
{
    if (!destination)
        return;
    destination[0] = quint8(value >> 8);
    destination[1] = quint8(value);
}

quint16 RDMProtocol::ReadUInt16(const quint8* source)
{
    if (!source)
        return 0;
    return quint16((source[0] << 8) | source[1]);
}

QByteArray RDMProtocol::ReverseBytes(const quint8* source, int length)
{
    if (!source || length <= 0)
        return QByteArray();
    QByteArray reversed(length, Qt::Uninitialized);
    ReverseBytesInto(reinterpret_cast<quint8*>(reversed.data()), source, length);
    return reversed;
}

void RDMProtocol::ReverseBytesInto(quint8* destination, const quint8* source, int count)
{
    if (!destination || !source || count <= 0)
        return;
    std::reverse_copy(source, source + count, destination);
}

// ---- the transaction ---------------------------------------------------------------

int RDMProtocol::BuildRequest(quint8* packet, quint64 destination, quint8 commandClass, quint16 pid, const void* data,
                              int dataLength)
{
    const int packetLength = kMinPacketSize + dataLength;
    packet[offset::StartCode] = kStartCode;
    packet[offset::SubStartCode] = kSubStartCode;
    packet[offset::MessageLength] = quint8(kHeaderSize + dataLength);
    WriteUid(packet + offset::Destination, UidLow(destination), UidHigh(destination));
    WriteUid(packet + offset::Source, UidLow(ControllerUid), UidHigh(ControllerUid));
    packet[offset::PortOrResponseType] = 1;  // port id
    packet[offset::MessageCount] = 0;
    WriteUInt16(packet + offset::SubDevice, 0);  // root device
    packet[offset::CommandClass] = commandClass;
    WriteUInt16(packet + offset::ParameterId, pid);
    packet[offset::ParameterDataLength] = quint8(dataLength);
    if (dataLength > 0)
        std::memcpy(packet + offset::ParameterData, data, size_t(dataLength));
    StampTransaction(packet, packetLength);
    return packetLength;
}

IRdmLink* RDMProtocol::Link() const
{
    return linkProvider_ ? linkProvider_() : nullptr;
}

void RDMProtocol::SetLinkProvider(LinkProvider provider)
{
    linkProvider_ = std::move(provider);
}

void RDMProtocol::StampTransaction(quint8* packet, int length)
{
    packet[offset::TransactionNumber] = transaction_++;
    ComputeChecksum(packet, length - kChecksumSize);
}

int RDMProtocol::CheckReply(const Exchange& exchange, const quint8* reply, int length, IFeedback* feedback) const
{
    const QString device = Hex(exchange.destination);
    if (length < kMinPacketSize) {
        Report(feedback, QStringLiteral(" Error! device (0x%1) : reply of %2 bytes is too short for %3!")
                             .arg(device).arg(length).arg(exchange.Command()), FeedbackError);
        return ErrorMalformed;
    }
    if (ReadUid(reply + offset::Destination) != ControllerUid || !VerifyChecksum(reply, length)) {
        Report(feedback, QStringLiteral(" Error! device (0x%1) : checksum failed for %2!").arg(device, exchange.Command()),
               FeedbackError);
        return ErrorMismatch;
    }
    const int dataLength = reply[offset::ParameterDataLength];
    if (reply[offset::StartCode] != kStartCode || reply[offset::SubStartCode] != kSubStartCode
        || reply[offset::MessageLength] != dataLength + kHeaderSize || length != dataLength + kMinPacketSize) {
        Report(feedback, QStringLiteral(" Error! device (0x%1) : reply of %2 bytes does not match its data length (%3) for %4!")
                             .arg(device).arg(length).arg(dataLength).arg(exchange.Command()), FeedbackError);
        return ErrorMalformed;
    }

    // Another transaction number: the answer to an earlier request that came too late for
    // it (or to another controller's). It is not this request's, which may still come.
    const quint8 transaction = reply[offset::TransactionNumber];
    if (transaction != exchange.transaction) {
        Report(feedback, QStringLiteral(" Warning! device (0x%1) : dropped a reply to transaction 0x%2 while waiting "
                                        "for 0x%3 for %4!")
                             .arg(device, Hex(transaction), Hex(exchange.transaction), exchange.Command()),
               FeedbackWarning);
        return kStrayReply;
    }

    // A reply with this transaction number that is still not the answer to this very
    // request (another fixture's, another parameter's, another sub-device's) must not be
    // taken for it.
    const quint8 commandClass = reply[offset::CommandClass];
    const bool queuedAnswerClass = commandClass == GetCommandResponse || commandClass == SetCommandResponse;
    struct Field { const char* name; quint64 got; quint64 expected; bool checked; };
    const Field fields[] = {
        {"source", ReadUid(reply + offset::Source), exchange.destination, exchange.destination != BroadcastUid},
        {"command class", commandClass, quint64(exchange.commandClass) + 1,
         !(exchange.queuedMessage && queuedAnswerClass)},
        {"PID", ReadUInt16(reply + offset::ParameterId), exchange.pid, !exchange.queuedMessage},
        {"sub-device", ReadUInt16(reply + offset::SubDevice), kRootDevice, true},
    };
    for (const Field& field : fields) {
        if (field.checked && field.got != field.expected) {
            Report(feedback, QStringLiteral(" Error! device (0x%1) : reply %2 is 0x%3, expected 0x%4 for %5!")
                                 .arg(device, QLatin1String(field.name), Hex(field.got), Hex(field.expected),
                                      exchange.Command()), FeedbackError);
            return ErrorMismatch;
        }
    }
    if (reply[offset::PortOrResponseType] > ResponseAckOverflow) {
        Report(feedback, QStringLiteral(" Error! device (0x%1) : unknown response type %2 for %3!")
                             .arg(device).arg(reply[offset::PortOrResponseType]).arg(exchange.Command()), FeedbackError);
        return ErrorMalformed;
    }
    return 0;
}

int RDMProtocol::ReceiveReply(IRdmLink& link, const Exchange& exchange, quint8* buffer, IFeedback* feedback) const
{
    for (int strays = 0; strays <= kMaxStrayReplies; ++strays) {
        const int length = std::min(link.ReceiveRdmPacket(buffer, kReplyBufferSize, nullptr, kTransactionTimeoutMs),
                                    kReplyBufferSize);
        if (length <= 0)
            return 0;
        const int check = CheckReply(exchange, buffer, length, feedback);
        if (check != kStrayReply)
            return check == 0 ? length : check;
    }
    // A line that answers nothing but other requests: this one's answer never came.
    return 0;
}

int RDMProtocol::SendRequest(quint32 uidLow, quint32 uidHigh, quint8 commandClass, quint16 pid,
                             const void* data, int dataLength, void* reply, int* replyLength,
                             IFeedback* feedback)
{
    const int capacity = (replyLength && reply) ? std::max(0, *replyLength) : 0;
    auto finish = [replyLength](int result) {
        if (replyLength && result < 0)
            *replyLength = 0;
        return result;
    };
    const quint64 destination = MakeUid(uidLow, uidHigh);
    const QString device = Hex(destination);

    // The message-length byte holds header + data, so longer data would wrap it.
    if (dataLength < 0 || dataLength > kMaxParameterData || (dataLength > 0 && !data)) {
        Report(feedback, QStringLiteral(" Error! device (0x%1) : request data of %2 bytes is over the %3 allowed for "
                                        "COMMAND(0x%4) and PID(0x%5)!")
                             .arg(device).arg(dataLength).arg(kMaxParameterData).arg(Hex(commandClass), Hex(pid)),
               FeedbackError);
        return finish(ErrorSendFailed);
    }
    Response response;
    const QByteArray request = dataLength > 0 ? QByteArray(static_cast<const char*>(data), dataLength) : QByteArray();
    const int result = Transact(destination, commandClass, pid, request, false, response, feedback);
    if (result < 0)
        return finish(result);

    // ACK, ACK_OVERFLOW, or NACK with its reason: hand the data over.
    const int answerLength = int(response.data.size());
    if (capacity < answerLength) {
        const QLatin1String nack(response.type == ResponseNackReason ? "for NACK_REASON" : "");
        Report(feedback, QStringLiteral(" Error! device (0x%1) : receive buffer(%2) is too small! Expected %3 "
                                        "for COMMAND(0x%4) and PID(0x%5)%6!")
                             .arg(device).arg(capacity).arg(answerLength).arg(Hex(commandClass), Hex(pid), nack),
               FeedbackError);
        return finish(ErrorReplyTooLong);
    }
    if (answerLength > 0)
        std::memcpy(reply, response.data.constData(), size_t(answerLength));
    if (replyLength)
        *replyLength = answerLength;
    return result;
}

int RDMProtocol::Transact(quint64 destination, quint8 commandClass, quint16 pid, const QByteArray& data,
                          bool queuedMessage, Response& response, IFeedback* feedback)
{
    response = Response();
    Exchange exchange{destination, commandClass, pid, 0, queuedMessage};
    const QString device = Hex(destination);
    const bool broadcast = destination == BroadcastUid;
    IRdmLink* link = Link();
    if (!link)
        return ErrorMalformed;

    quint8 packet[kMinPacketSize + kMaxParameterData];
    const int packetLength = BuildRequest(packet, destination, commandClass, pid, data.constData(), int(data.size()));

    quint8 buffer[kReplyBufferSize];
    int attempts = 0;
    int lastFailure = 0;
    int busyResends = 0;
    int ackTimerResends = 0;
    for (;;) {
        // The thread is being stopped (the program is closing): nothing more is sent.
        if (platform::Clock::StopRequested())
            return attempts > 0 ? lastFailure : int(ErrorSendFailed);
        exchange.transaction = packet[offset::TransactionNumber];
        int failure = 0;
        int length = 0;
        if (!link->SendRdmReadPacket(packet, packetLength, kReplyBufferSize, kTransactionTimeoutMs)) {
            Report(feedback, QStringLiteral(" Warning! device (0x%1) : Send failed for %2!").arg(device, exchange.Command()),
                   FeedbackWarning);
            failure = ErrorSendFailed;
        } else {
            length = ReceiveReply(*link, exchange, buffer, feedback);
            if (length < 0)
                return length;  // a reply that failed its checks: reported, not retried
            if (length == 0 && broadcast)
                return 0;
            if (length == 0) {
                Report(feedback, QStringLiteral(" Warning! device (0x%1) : failed to respond for %2!")
                                     .arg(device, exchange.Command()), FeedbackWarning);
                failure = ErrorNoReply;
            }
        }
        if (failure != 0) {
            lastFailure = failure;
            if (++attempts >= kMaxAttempts || broadcast || commandClass == DiscoveryCommand) {
                Report(feedback, QStringLiteral(" Warning: Retry attempts exceeded for device (0x%1) - %2!")
                                     .arg(device, exchange.Command()), FeedbackWarning);
                return failure;
            }
            continue;  // the identical packet, same transaction number
        }

        const int dataLength = buffer[offset::ParameterDataLength];
        response.type = buffer[offset::PortOrResponseType];
        response.commandClass = buffer[offset::CommandClass];
        response.pid = ReadUInt16(buffer + offset::ParameterId);
        response.data = QByteArray(reinterpret_cast<const char*>(buffer + offset::ParameterData), dataLength);
        if (response.type != ResponseNackReason && response.type != ResponseAckTimer)
            return response.type;

        if (dataLength != 2) {
            Report(feedback, QStringLiteral(" Error! device (0x%1) : length (%2) is not the expected size(2) for "
                                            "COMMAND(0x%3) and PID(0x%4) NACK OR ACK_TIMER!")
                                 .arg(device).arg(dataLength).arg(Hex(commandClass), Hex(pid)), FeedbackError);
            return ErrorMalformed;
        }
        const quint16 value = ReadUInt16(buffer + offset::ParameterData);
        if (response.type == ResponseNackReason) {
            if (value == kNackBusy) {
                if (++busyResends <= kMaxBusyResends) {
                    platform::Clock::SleepMs(kBusyWaitMs);
                    StampTransaction(packet, packetLength);
                    continue;
                }
                Report(feedback, QStringLiteral(" Error! device (0x%1) : still busy after %2 retries for %3!")
                                     .arg(device).arg(kMaxBusyResends).arg(exchange.Command()), FeedbackError);
            }
            // The caller gets the NACK with its reason (the busy one after too many).
            return response.type;
        }

        // ACK_TIMER: the fixture will have the answer after its own estimate. A GET asks
        // again then; anything else collects its outcome from the fixture's queue.
        const bool get = commandClass == GetCommand || commandClass == GetCommandResponse;
        if (get && ++ackTimerResends > kMaxAckTimerResends) {
            Report(feedback, QStringLiteral(" Error! device (0x%1) : no answer after %2 ACK_TIMER replies for %3!")
                                 .arg(device).arg(kMaxAckTimerResends).arg(exchange.Command()), FeedbackError);
            return ErrorNoReply;
        }
        platform::Clock::SleepMs(std::min<qint64>(qint64(value) * kAckTimerUnitMs, kMaxAckTimerWaitMs));
        if (!get)
            return CollectDeferredOutcome(exchange, data, response, feedback);
        StampTransaction(packet, packetLength);
    }
}

int RDMProtocol::CollectDeferredOutcome(const Exchange& exchange, const QByteArray& data, Response& response,
                                        IFeedback* feedback)
{
    const QString device = Hex(exchange.destination);
    // The outcome is queued at the fixture: ask for its queued messages until it comes.
    // Another parameter's message may come first; an empty queue (STATUS_MESSAGES) or a
    // refusal of QUEUED_MESSAGE leaves only reading the value back.
    for (int round = 0; round < kMaxQueuedMessages; ++round) {
        Response queued;
        const int result = Transact(exchange.destination, GetCommand, PidQueuedMessage, QByteArray(1, char(kStatusError)),
                                    true, queued, feedback);
        if (result < 0)
            return result;
        if (queued.commandClass == exchange.commandClass + 1 && queued.pid == exchange.pid) {
            response = queued;
            return queued.type;
        }
        const bool refused = queued.pid == PidQueuedMessage && queued.type == ResponseNackReason;
        if (refused || queued.pid == PidStatusMessages)
            break;
    }

    // The value the fixture holds now tells whether it took the request: only a value it
    // confirms counts as done.
    Response current;
    const int result = Transact(exchange.destination, GetCommand, exchange.pid, QByteArray(), false, current, feedback);
    if (result == ResponseAck && current.data == data) {
        response = Response{ResponseAck, quint8(exchange.commandClass + 1), exchange.pid, QByteArray()};
        return ResponseAck;
    }
    Report(feedback, QStringLiteral(" Error! device (0x%1) : %2 was answered ACK_TIMER and not confirmed afterwards!")
                         .arg(device, exchange.Command()), FeedbackError);
    return ErrorMismatch;
}
