#pragma once

#include "firmware/IFirmwareProtocol.h"
#include "link/devices/IDiscoveryProtocol.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>

class Device;
class IFeedback;
class IRdmLink;
class TarvoDevice;

// The lamp fixtures' protocol: short packets that go on the DMX line through the widget's
// RDM exchange, outside RDM. It finds the lamp fixtures (IDiscoveryProtocol, before RDM
// discovery) and writes firmware images into them and into the LED families' motion and
// graphics boards (IFirmwareProtocol).
//
// Thread: the command thread only (inside a queued command's Execute), one exchange at a
// time; every wait is a platform::Clock sleep. The object keeps nothing between calls.
//
// Every operation that takes an IFeedback writes its lines there (status 0, or 2 for
// errors); a null feedback loses them. Fixtures are named by the low 32 bits of their
// unique id on the wire, and by the whole unique id in lower-case hexadecimal in lines.
class TarvoProtocol : public QObject, public IDiscoveryProtocol, public IFirmwareProtocol
{
    Q_OBJECT
    Q_INTERFACES(IDiscoveryProtocol IFirmwareProtocol)
public:
    // Answers the link to use for one exchange, or null when there is no widget.
    using LinkProvider = std::function<IRdmLink*()>;

    // Uses DefaultRdmLink() (the widget transport's link).
    explicit TarvoProtocol(QObject* parent = nullptr);
    // Uses `provider`; tests put a scripted far end here.
    explicit TarvoProtocol(LinkProvider provider, QObject* parent = nullptr);
    ~TarvoProtocol() override;

    // The process-wide protocol, made on first use and never destroyed.
    static TarvoProtocol* Instance();
    void SetLinkProvider(LinkProvider provider);

    // ---- discovery -----------------------------------------------------------------------

    // Resets every lamp fixture's discovery state (20 rounds of CLRA, CLRB, CLRC, CLRE),
    // lets them settle, searches the whole 32-bit id space (TarvoDiscoverySearch) and
    // appends a new TarvoDevice for every fixture found, highest id first; then reads each
    // one's device type, parameters and information. Writes "Tarvo Discovery: Starting.."
    // first and " Tarvo Discovery: Finished!" last unless it fails before searching (no
    // widget, a reset that cannot be sent).
    void Discover(QList<Device*>* devices, IFeedback* feedback) override;
    // Searches the ids low..high and appends a TarvoDevice for every fixture found. Always
    // false, like every branch of the search.
    virtual bool SearchRange(QList<Device*>* found, quint32 low, quint32 high, IFeedback* feedback);

    // Readers that fill a TarvoDevice. Each returns true when the value came and was
    // stored; a failure writes its warning (or error) and leaves the device as it was.
    // Discovery uses the first three; the single-value readers are for the device's own use.
    virtual bool GetDeviceType(TarvoDevice* device, IFeedback* feedback);
    // Every parameter record (talkback 0x11, 255). False when none came or the data do not
    // end on a record boundary; the whole records before that are stored.
    virtual bool GetAllParams(TarvoDevice* device, IFeedback* feedback);
    // Every information record (talkback 0x30, 255); as GetAllParams.
    virtual bool GetAllInfo(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetDmxAddress(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetDmxPersonality(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetPanTiltSwap(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetPanInvert(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetTiltInvert(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetDisplayInvert(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetDisplayOn(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetLampLimit(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetFixtureType(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetLampState(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetShutdownTime(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetDataLossTime(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetEncoderDisable(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetLensType(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetFastMode(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetDmxFootprint(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetDeviceHours(TarvoDevice* device, IFeedback* feedback);
    virtual bool GetFirmwareVersion(TarvoDevice* device, IFeedback* feedback);

    // ---- firmware upload ----------------------------------------------------------------

    // The image is read in 256-byte packets; the first device's GetFirmwarePacketCount()
    // says how many (a short last packet is completed with zeros) and its
    // SkipBlankFirmwarePackets() whether all-0xFF packets may be left out. Nothing is sent
    // unless the list is not empty, the count is above 0 and the file can be read and
    // fills every packet but the last (" Error: Failed to sending upload packets").
    // Then: reset every fixture into its loader, EraseFlash, SendFirmwareFile,
    // VerifyChecksums. The list ends with the devices that verified the image, in
    // ascending unique id; true when there is one.
    bool UploadFirmware(const QString& file, QList<Device*>& devices, IFeedback* feedback) override;
    // Erases every device's flash and waits, up to kEraseLimitMs, until each says it is
    // ready for code. The list becomes the ready devices (by signed 32-bit id); true when
    // there is one.
    virtual bool EraseFlash(QList<Device*>& devices, IFeedback* feedback);
    virtual bool IsReadyForCode(const Device* device);
    // Sends the packets, each followed by confirmation rounds that ask every device that
    // has not confirmed it yet; a device that has not confirmed a packet after
    // kConfirmRounds rounds is reported lost and leaves the list. `checksum` takes in every
    // packet, sent or skipped. False when the file ends early or a packet is confirmed by
    // no device.
    virtual bool SendFirmwareFile(const QString& file, QList<Device*>& devices, quint16& checksum,
                                  IFeedback* feedback);
    virtual bool ConfirmPacket(const Device* device, quint16 packet);
    // Asks every device, in up to kVerifyPasses passes, to check the image checksum. The
    // list becomes the devices that verified it (by unique id); true when there is one.
    // A device that answers with a broken reply checksum failed, one that never answers
    // is dropped silently.
    virtual bool VerifyChecksums(QList<Device*>& devices, quint16 checksum, IFeedback* feedback);

    // ---- the wire ------------------------------------------------------------------------

    // One packet without reply: command, sub-command, id, then `length` (at most
    // tarvo::kMaxPacketData) data bytes and the checksum. False when it is too long, there
    // is no widget or the widget does not take it.
    bool SendPacket(quint8 command, quint8 subCommand, quint32 id, const quint8* data, int length);
    // One request with up to kRequestTries tries: the number of reply bytes read into
    // `reply` (at most `replyLength`), -1 when a reply came whose checksum is wrong (or
    // that is too short to carry one), 0 when no reply came or there is no widget.
    int Request(quint8 command, quint8 subCommand, quint32 id, quint16 argument, quint8* reply, int replyLength);
    // One talkback read of `parameter` (kAllValues for all) from `device`: information
    // values (Talkback) or parameter values (TalkbackParam). Copies the reply's data into
    // `buffer` and returns its length; 0 on any failure. A reply that is missing, of the
    // wrong kind or parameter, with a wrong checksum, or whose data length runs past what
    // was received writes " Tarvo Talkback: Warning: No reply from 0x%1"; data longer than
    // `capacity` are refused without a line.
    virtual int Talkback(const Device* device, quint8 parameter, quint8* buffer, int capacity, IFeedback* feedback);
    virtual int TalkbackParam(const Device* device, quint8 parameter, quint8* buffer, int capacity,
                              IFeedback* feedback);
    // A 16-bit parameter value (TalkbackParam of exactly 2 bytes); `value` is untouched on
    // failure.
    virtual bool ReadWord(const Device* device, quint8 parameter, quint16* value, IFeedback* feedback);
    // The 8-byte discovery reset packet (sub-command 0x85) carrying `code`; the send result.
    virtual bool SendCommandWord(quint32 code);

    // ---- byte helpers ----------------------------------------------------------------------

    // Big-endian 32-bit store and load; a null pointer writes nothing and reads 0.
    static void PutId(quint8* bytes, quint32 value);
    static quint32 GetId(const quint8* bytes);
    // The checksum: each byte rotates the 16-bit value left by one bit and adds the byte
    // and 3. ChecksumStep and BufferChecksumStep are the same step.
    static quint16 ChecksumStep(quint16 checksum, quint8 byte);
    static quint16 BufferChecksumStep(quint16 checksum, quint8 byte);
    // The checksum of the first `length - 2` bytes (of nothing when `length` is below 2).
    static quint16 ComputeChecksum(const quint8* buffer, int length);
    // Stores that checksum big-endian in the last two of `length` bytes.
    static void FillChecksum(quint8* buffer, int length);
    // The last two of `length` bytes hold the checksum of the bytes before them.
    static bool CheckReplyChecksum(const quint8* buffer, int length);
    // A request reply's checksum: byte 0 is not taken, the command value stands for it.
    static quint16 RequestReplyChecksum(const quint8* reply);

    // How often a request goes out when it draws no reply.
    static constexpr int kRequestTries = 6;
    // How long the widget may take to accept a packet, and to hand over a request's reply.
    static constexpr int kSendTimeoutMs = 1000;
    static constexpr int kReplyTimeoutMs = 3000;
    static constexpr int kTalkbackTimeoutMs = 500;
    static constexpr int kDeviceTypeTimeoutMs = 1000;
    // A fixture needs this long after a request before its reply is complete.
    static constexpr int kReplyWaitMs = 11;
    static constexpr int kDeviceTypeWaitMs = 21;
    static constexpr int kDeviceTypeReplyRoom = 50;
    // Request replies are read into this much room (the probe's into the talkback room).
    static constexpr int kRequestReplyRoom = 60;

    // Discovery: the resets are sent this many times over, then the fixtures settle.
    static constexpr int kClearRounds = 20;
    static constexpr int kSettleMs = 1101;

    // Upload: rounds of loader resets, the erase limit, the pause between polls, and how
    // long each device may take to confirm a packet and to verify the image.
    static constexpr int kResetRounds = 51;
    static constexpr qint64 kEraseLimitMs = 60000;
    static constexpr int kPollIntervalMs = 21;
    static constexpr int kConfirmRounds = 25;
    static constexpr int kVerifyPasses = 20;
    static constexpr int kVerifyPassWaitMs = 101;
    // The verification's progress range per device.
    static constexpr int kVerifyProgressPerDevice = 50;

private:
    IRdmLink* Link() const;
    // The talkback exchange of both kinds.
    int RunTalkback(quint8 kind, const Device* device, quint8 parameter, quint8* buffer, int capacity,
                    IFeedback* feedback);
    // A single-value reader: `before` (may be null) is written first, `warning` when no value
    // came; `store` takes the value.
    bool ReadValue(TarvoDevice* device, quint8 parameter, const char* before, const char* warning,
                   const std::function<void(quint16)>& store, IFeedback* feedback);
    // The same for an information value: at least `minimum` of at most `capacity` bytes.
    bool ReadInformation(TarvoDevice* device, quint8 parameter, int capacity, int minimum, const char* before,
                         const char* warning, const std::function<void(const quint8*)>& store, IFeedback* feedback);
    // The checks UploadFirmware makes before any fixture is touched.
    bool CanUpload(const QString& file, const QList<Device*>& devices) const;

    LinkProvider linkProvider_;
};
