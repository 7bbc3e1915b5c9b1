#pragma once

#include "link/devices/IDiscoveryProtocol.h"
#include "link/rdm/RdmDefs.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class Device;
class IFeedback;
class IRdmFamily;
class IRdmLink;
class RDMDevice;

// The E1.20 RDM engine: one request/reply transaction (SendRequest) and the standard
// parameters built on it. The LED families' protocols derive from it and send their
// own PIDs through the same SendRequest.
//
// Thread: the command thread only (inside a queued command's Execute); nothing here is
// locked. Every wait goes through platform::Clock. Between calls the object keeps only
// its transaction counter, so each derived protocol object counts for itself.
//
// Every operation that takes an IFeedback writes its warnings (status 1) and errors
// (status 2) there; a null feedback just loses them.
class RDMProtocol : public QObject, public IDiscoveryProtocol
{
    Q_OBJECT
    Q_INTERFACES(IDiscoveryProtocol)
public:
    // Answers the link to use for one transaction, or null when there is no widget.
    using LinkProvider = std::function<IRdmLink*()>;

    // Uses DefaultRdmLink() (the widget transport's link).
    explicit RDMProtocol(QObject* parent = nullptr);
    // Uses `provider`; tests and simulations put their own far end here.
    explicit RDMProtocol(LinkProvider provider, QObject* parent = nullptr);
    ~RDMProtocol() override;

    // The process-wide engine, made on first use and never destroyed.
    static RDMProtocol* Instance();

    // The transaction number the next request will carry.
    quint8 TransactionNumber() const { return transaction_; }
    // Where transactions go from the next one on. Tests and simulations point the
    // process-wide engines at their own far end this way (and back at DefaultRdmLink).
    void SetLinkProvider(LinkProvider provider);

    // IDiscoveryProtocol: finds the RDM fixtures on the line and appends them to
    // `devices`, which may already hold the lamp fixtures (GetProtocolType() 0) of the
    // Tarvo discovery. Steps:
    //  - broadcast DISC_UN_MUTE, then search the whole UID range (in production mode only
    //    up to kEstaManufacturerId:00000002, the fixtures that have no identifiers yet);
    //  - query every RDM fixture of the list (DEVICE_INFO, model description, identify);
    //    one whose model text names a registered family (RdmFamilies) is replaced by an
    //    object of that family, which must answer its graphics-engine identity or is left
    //    out; family fixtures without identifiers get new ones from UniqueIdGenerator;
    //  - merge lamp fixtures that are the same fixture as an RDM one into it;
    //  - read the standard parameters of every RDM fixture (UpdateDeviceInformation).
    // On return `devices` holds what survived, in the reverse of the order the list had
    // after the search; the caller owns them. Every fixture found is left muted. When the
    // calling thread is stopped (platform::Clock) it gives up wherever it is and ends with
    // "RDM Discovery: Stopped."; `devices` then holds what it had, unread.
    void Discover(QList<Device*>* devices, IFeedback* feedback) override;

    // Searches [low, high] (UIDs as low 32 / high 16 bits) with RdmDiscoverySearch over
    // DiscoveryUniqueBranch and DiscoveryMute, and appends a new RDMDevice (no parent)
    // for every fixture that acknowledged its mute, in the order found. Returns false, as
    // every branch of the search does: both halves of every answering range are searched.
    virtual bool SearchRange(QList<Device*>* devices, quint32 lowLow, quint32 lowHigh, quint32 highLow,
                             quint32 highHigh, IFeedback* feedback);
    // One DISC_UNIQUE_BRANCH over [low, high], broadcast: true when the widget says that
    // an answer came (one fixture, or several colliding); the answer is not decoded.
    // False without a widget, when the request cannot be sent, or when nothing answers.
    // Writes no message.
    virtual bool DiscoveryUniqueBranch(quint32 lowLow, quint32 lowHigh, quint32 highLow, quint32 highHigh,
                                       IFeedback* feedback);
    // DISC_UN_MUTE / DISC_MUTE to one fixture or (un-mute) to the broadcast UID: true when
    // acknowledged (a broadcast expects no answer and is true once sent). A NACK writes
    // " Device 0x%1 Failed Unmuting: Nack Error %2!" / " Device 0x%1 Failed to Mute: ...".
    virtual bool DiscoveryUnMute(quint32 uidLow, quint32 uidHigh, IFeedback* feedback);
    virtual bool DiscoveryMute(quint32 uidLow, quint32 uidHigh, IFeedback* feedback);

    // Standard parameters. Each runs one transaction to the fixture's UID and returns
    // true when the fixture acknowledged (a GET: with data, which is then stored in the
    // fixture). A NACK writes the operation's own error line; every other failure has
    // been reported by SendRequest or the answer check. A failed GET leaves the fixture
    // as it was.
    virtual bool SetIdentify(RDMDevice* fixture, bool identify, IFeedback* feedback);
    virtual bool SetDmxStartAddress(RDMDevice* fixture, quint16 address, IFeedback* feedback);
    // Records every PID of SUPPORTED_PARAMETERS, asking again while the fixture answers
    // ACK_OVERFLOW (at most kMaxOverflowRounds times). An empty list (a fixture with no
    // optional parameters) is an answer too.
    virtual bool GetSupportedParameters(RDMDevice* fixture, IFeedback* feedback);
    // Re-reads the standard parameters of every RDMDevice of the list (other entries
    // are skipped), each in this order: DEVICE_INFO (with its personality description),
    // SOFTWARE_VERSION_LABEL, DMX_START_ADDRESS, IDENTIFY_DEVICE, SUPPORTED_PARAMETERS,
    // then ascending every recorded PID that has a GET above. Failures do not stop it;
    // always true. The LED families override it to add their own parameters.
    virtual bool UpdateDeviceInformation(QList<Device*>* fixtures, IFeedback* feedback);
    virtual bool GetDmxStartAddress(RDMDevice* fixture, IFeedback* feedback);
    // Asks for the description of the fixture's current personality.
    virtual bool GetPersonalityDescription(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetDeviceModelDescription(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetManufacturerLabel(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetDeviceLabel(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetFactoryDefaults(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetSoftwareVersionLabel(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetBootSoftwareVersionLabel(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetDeviceHours(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetLampHours(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetLampStrikes(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetLampState(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetLampOnMode(RDMDevice* fixture, IFeedback* feedback);
    // Stores the low 16 bits.
    virtual bool GetDevicePowerCycles(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetDisplayInvert(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetDisplayLevel(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetPanInvert(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetTiltInvert(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetPanTiltSwap(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetPowerState(RDMDevice* fixture, IFeedback* feedback);
    // DEVICE_INFO, then (on success) the description of the personality it reported;
    // the result is that of the description.
    virtual bool GetDeviceInfo(RDMDevice* fixture, IFeedback* feedback);
    virtual bool GetIdentify(RDMDevice* fixture, IFeedback* feedback);
    // The identify state the fixture `uid` last confirmed on the link (a GET answered or a
    // SET acknowledged by any engine), in the order the command thread ran them; none
    // before either, and none after ForgetLastKnownIdentify. Any thread.
    static std::optional<bool> LastKnownIdentify(quint64 uid);
    // The link has gone (CommManager's teardown): what the fixtures confirmed on it no
    // longer holds.
    static void ForgetLastKnownIdentify();
    // Stores a DEVICE_INFO record in the fixture; false, storing nothing, when `length`
    // is below the record's 19 bytes.
    virtual bool DecodeDeviceInfo(const quint8* data, int length, RDMDevice* fixture);

    // Byte helpers: E1.20 fields are big-endian. Null pointers write nothing and read 0.
    // Sums the first `length` bytes into the two bytes after them; returns `length`.
    static int ComputeChecksum(quint8* packet, int length);
    // The sum of the first length - 2 bytes equals the last two, big-endian.
    static bool VerifyChecksum(const quint8* packet, int length);
    // Manufacturer id (u16), then device id (u32): 6 bytes.
    static void WriteUid(quint8* destination, quint32 low, quint32 high);
    static quint64 ReadUid(const quint8* source);
    static void WriteUInt32(quint8* destination, quint32 value);
    static quint32 ReadUInt32(const quint8* source);
    static void WriteUInt16(quint8* destination, quint16 value);
    static quint16 ReadUInt16(const quint8* source);
    static QByteArray ReverseBytes(const quint8* source, int length);
    static void ReverseBytesInto(quint8* destination, const quint8* source, int count);

    // One transaction with the fixture uidHigh:uidLow (FFFF:FFFFFFFF broadcasts).
    // `data` holds `dataLength` (0..231) parameter bytes; `*replyLength` is the room in
    // `reply` on entry and the number of parameter bytes copied there on return.
    //
    // Returns the reply's response type (0 ACK, 2 NACK_REASON with the reason in the two
    // reply bytes, 3 ACK_OVERFLOW), 0 for a broadcast that drew no reply, or a
    // rdm::TransactionError; *replyLength is 0 for those.
    //
    // A send that fails or draws no reply is retried with the same transaction number
    // up to kMaxAttempts times in all (once only for broadcasts and discovery). A reply
    // with another transaction number (a late answer to an earlier request) is dropped and
    // the request's own is waited for. A busy NACK and an ACK_TIMER on a GET are waited out
    // and asked again with a new transaction number, a bounded number of times. Any other
    // request answered ACK_TIMER has its outcome collected after the named time: its
    // queued message (QUEUED_MESSAGE), whose ACK or NACK is the answer; a fixture that
    // has none to give is asked for the parameter's value, and only a value equal to the
    // request's data counts as an ACK (else ErrorMismatch). Once the calling thread is
    // stopped (platform::Clock) nothing more is sent: the answer is the last attempt's
    // failure, or ErrorSendFailed when nothing was sent.
    virtual int SendRequest(quint32 uidLow, quint32 uidHigh, quint8 commandClass, quint16 pid,
                            const void* data, int dataLength, void* reply, int* replyLength,
                            IFeedback* feedback);

    // How often a request goes out when it cannot be sent or draws no reply.
    static constexpr int kMaxAttempts = 5;
    // How long the widget may take to accept a request and to deliver its reply.
    static constexpr int kTransactionTimeoutMs = 1000;
    // The LED families answer busy while they write their flash. A minute of busy is
    // far beyond any write of theirs; after it the busy NACK goes to the caller.
    static constexpr int kBusyWaitMs = 1000;
    static constexpr int kMaxBusyResends = 60;
    // ACK_TIMER: a fixture names its own wait, in 100 ms units; a wait is cut to
    // kMaxAckTimerWaitMs and a GET asks again at most kMaxAckTimerResends times, so a
    // confused fixture cannot hold the command thread for hours.
    static constexpr int kAckTimerUnitMs = 100;
    static constexpr int kMaxAckTimerWaitMs = 10000;
    static constexpr int kMaxAckTimerResends = 10;
    // SUPPORTED_PARAMETERS continuations; real fixtures need one or two.
    static constexpr int kMaxOverflowRounds = 250;
    // Replies to other requests dropped while waiting for one's own: a burst of late
    // answers is a handful; a line that answers nothing else is given up on.
    static constexpr int kMaxStrayReplies = 16;
    // Queued messages of other parameters passed over before a deferred outcome is given
    // up on and the value read back instead.
    static constexpr int kMaxQueuedMessages = 10;
    // A DISC_UNIQUE_BRANCH answer is 24 encoded bytes; the widget is offered the longest
    // message it can hand back in one piece.
    static constexpr int kBranchReplyLength = 63;
    // The widget collects the answers of every responder in range before it reports;
    // the tick count must have moved past 60 ms before the reply is read.
    static constexpr int kBranchReplyWaitMs = 61;
    // Responders take their time to leave the muted state after the broadcast un-mute.
    static constexpr int kUnMuteSettleMs = 501;
    // A mute acknowledgement carries the control field (2 bytes) and, for a responder
    // with several ports, its binding UID (6 more).
    static constexpr int kMuteReplyRoom = 8;

protected:
    // One transaction with `fixture`; `answer`'s size is the room on entry and the data
    // on return. A NACK writes `nackMessage` (%1 the UID, %2 the reason, NackReasonText)
    // as an error — but NACK unknown PID to a parameter E1.20 leaves optional only says,
    // as a normal line, that the fixture does not support it. Returns the SendRequest
    // result.
    int RunRequest(RDMDevice* fixture, quint8 commandClass, quint16 pid, const QByteArray& request,
                   const char* nackMessage, QByteArray& answer, IFeedback* feedback);
    // Decodes one GET answer into the fixture.
    using AnswerStore = std::function<void(const quint8* data, int length)>;
    // One standard GET of `pid` with `request` as data and `capacity` bytes of room: an
    // ACK with at least `minLength` bytes is handed to `store` (texts, whose minLength is
    // 0, may be empty: E1.20 allows a label of no characters); a shorter one is reported.
    // True when stored.
    bool RunGet(RDMDevice* fixture, quint16 pid, int capacity, const QByteArray& request,
                int minLength, const char* nackMessage, const AnswerStore& store, IFeedback* feedback);
    // One standard SET; true on an ACK.
    bool RunSet(RDMDevice* fixture, quint16 pid, int capacity, const QByteArray& request,
                const char* nackMessage, IFeedback* feedback);

private:
    struct Exchange;
    class SearchLine;
    // What came back for one request.
    struct Response
    {
        quint8 type = 0;  // response type
        quint8 commandClass = 0;
        quint16 pid = 0;
        QByteArray data;
    };
    // CheckReply's answer for a reply to another transaction.
    static constexpr int kStrayReply = 1;

    // SendRequest without the caller's buffer: the response type (the reply in
    // `response`), 0 for a silent broadcast, or a TransactionError.
    int Transact(quint64 destination, quint8 commandClass, quint16 pid, const QByteArray& data, bool queuedMessage,
                 Response& response, IFeedback* feedback);
    // The outcome of a request the fixture answered ACK_TIMER (see SendRequest).
    int CollectDeferredOutcome(const Exchange& exchange, const QByteArray& data, Response& response,
                               IFeedback* feedback);
    // 0 when the reply is this exchange's answer, kStrayReply for another transaction's,
    // else the TransactionError (reported).
    int CheckReply(const Exchange& exchange, const quint8* reply, int length, IFeedback* feedback) const;
    // This exchange's reply in `buffer` (kReplyBufferSize bytes): its length, 0 when none
    // came, or CheckReply's error. Replies to other transactions are passed over.
    int ReceiveReply(IRdmLink& link, const Exchange& exchange, quint8* buffer, IFeedback* feedback) const;
    // Writes the request to `destination` into `packet` with the next transaction number
    // and its checksum; returns its length.
    int BuildRequest(quint8* packet, quint64 destination, quint8 commandClass, quint16 pid, const void* data,
                     int dataLength);
    void StampTransaction(quint8* packet, int length);
    IRdmLink* Link() const;
    bool SendMuteRequest(quint16 pid, quint32 uidLow, quint32 uidHigh, const char* nackMessage, IFeedback* feedback);
    // Discovery's treatment of one fixture whose model text names `family`: the family
    // object that replaces `found`, or null when the fixture is left out.
    std::unique_ptr<RDMDevice> AdoptFamilyFixture(const IRdmFamily& family, RDMDevice* found, QList<Device*>* devices,
                                                  QList<Device*>* result, IFeedback* feedback);

    LinkProvider linkProvider_;
    quint8 transaction_ = 0;
};
