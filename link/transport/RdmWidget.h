#pragma once

#include "drivers/components/usb/qex_usb/QexUsbPublic.h"
#include "link/transport/IRdmLink.h"

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace platform::io {
class DeviceFile;
}

// The program's side of the USB DMX/RDM widget, over the widget driver's devices: it
// finds the widget in the driver's device map, opens it, sends widget commands (pipe 0),
// RDM requests (pipe 4) and DMX frames (the driver's write entry), and runs one reader
// thread per IN pipe: version replies (pipe 1), DMX input (pipe 3, dropped: the program
// registers no receiver) and RDM replies (pipe 5).
//
// RDM exchanges: one at a time. A send waits (up to its timeout) until the previous
// exchange has ended: its reply arrived, or the send's own timeout has passed since it
// was handed over, so a widget that never answers cannot block the link for good. The
// replies that come after a send are kept in order and collected one by one with
// ReceiveRdmPacket: besides the request's own, the widget may pass on a late answer to
// an earlier request, which the caller tells apart (by its transaction number) and
// passes over. Each send forgets the replies not collected.
//
// Errors: every operation answers false (or 0) on failure and prints the driver's error
// to standard output. HasError() tells whether the widget is usable: it is set when the
// device could not be opened or a reader failed (both until the widget is made anew)
// and while the last packet write failed.
//
// A thread that is being stopped (platform::Clock::StopRequested) sends no more RDM
// requests (the send answers false), and its waits for an exchange or a reply end at once.
//
// Threads: construction and destruction on one thread, with no other call running;
// everything else from any thread, though RDM exchanges come from the command thread.
// The object owns its reader threads and stops them (cancelling their pending reads)
// before the device is closed.
class RdmWidget : public IRdmLink
{
public:
    // FindWidget's answer when there is no widget.
    static constexpr quint8 kNoWidget = 255;

    // The slot of the first widget in the driver's device map, or kNoWidget when the map
    // cannot be read, is malformed, or lists none. `serialNumber`, when given, receives
    // the widget's serial number.
    static quint8 FindWidget(quint32* serialNumber = nullptr);

    // Opens the widget of that slot, asks for its version and starts the readers. Waits
    // up to kVersionWaitMs for the version reply. On failure (kNoWidget, or the device
    // does not open) the object exists with HasError() set and sends nothing.
    explicit RdmWidget(quint8 index);
    // Mode 0, then stops the readers and closes the device.
    ~RdmWidget() override;
    RdmWidget(const RdmWidget&) = delete;
    RdmWidget& operator=(const RdmWidget&) = delete;

    quint8 DeviceIndex() const { return index_; }
    bool HasError() const;

    // Widget command {0x01, mode}; does nothing (true) when that mode is already set.
    bool SetMode(int mode);
    // False until the version reply has come; never waits.
    bool GetVersion(quint8& byte1, quint8& byte2) const;

    // One packet (at most 64 bytes) on an OUT pipe, waiting up to `timeoutMs` for the
    // driver to send it. A request that does not finish in time is cancelled.
    bool SendPacket(quint8 pipe, const quint8* data, int size, int timeoutMs);

    // IRdmLink. Requests of 1..kMaxRdmLength bytes; anything else sends nothing and
    // answers false. Both set RDM mode (3) first.
    bool SendRdmPacket(const quint8* data, int length, int timeoutMs) override;
    bool SendRdmReadPacket(const quint8* data, int length, quint16 expected, int timeoutMs) override;
    int ReceiveRdmPacket(quint8* buffer, int capacity, quint8* complete, int timeoutMs) override;

    // One DMX frame through the driver's write entry (the program writes 512 bytes),
    // waiting up to kDmxWriteTimeoutMs. True when the driver wrote it.
    bool WriteDmxFrame(const quint8* data, int length);

    // Pipes, by their index in the widget's interface.
    static constexpr quint8 kCommandPipe = qex_usb::kCommandPipe;
    static constexpr quint8 kVersionPipe = qex_usb::kReplyPipe;
    static constexpr quint8 kDmxInputPipe = qex_usb::kDmxInputPipe;
    static constexpr quint8 kRdmPipe = qex_usb::kRdmPipe;
    static constexpr quint8 kRdmReplyPipe = qex_usb::kRdmReplyPipe;

    static constexpr int kPacketSize = qex_usb::kWidgetPacketSize;
    static constexpr int kMaxRdmLength = 512;

    // Widget commands and modes.
    static constexpr quint8 kSetModeCommand = qex_usb::kCommandSetMode;
    static constexpr quint8 kVersionCommand = qex_usb::kCommandVersion;
    // Sent on the RDM pipe at teardown: the widget answers it on pipe 5.
    static constexpr quint8 kRdmWakeCommand = 0x60;
    static constexpr int kModeIdle = 0;
    static constexpr int kModeOpen = 1;
    static constexpr int kModeRdm = 3;

    // A widget that has not answered the version query within a second is taken as it
    // is; the version then stays unknown.
    static constexpr int kVersionWaitMs = 1000;
    // Widget commands and map reads are single USB packets; a second is far beyond them.
    static constexpr int kCommandTimeoutMs = 1000;
    // A 512-slot frame is nine USB packets; a second means the widget is gone.
    static constexpr int kDmxWriteTimeoutMs = 1000;
    // How long a cancelled request may take to come back from the driver.
    static constexpr int kCancelWaitMs = 1000;
    // The products FindWidget takes, besides the programmed widget's own.
    static constexpr quint32 kAltProductId = 0x0083;
    // Bounds on what the device map may announce: slots are numbered with two digits,
    // and no record needs more than a page.
    static constexpr quint32 kMaxMapRecords = 100;
    static constexpr quint32 kMaxMapRecordSize = 4096;

private:
    class PipeReader;
    struct Messages;

    // Called on the reader threads.
    void OnPacket(quint8 pipe, const QByteArray& packet);
    void OnReaderFailed(quint8 pipe);
    void OnVersionReply(const QByteArray& packet);
    void OnRdmReply(const QByteArray& packet);

    bool SendRdm(const quint8* data, int length, bool wantReply, quint16 expected, int timeoutMs);
    // Ends the exchange with the reply as it stands; replyMutex_ held.
    void CompleteReplyLocked(int length, quint8 complete);

    const quint8 index_;
    std::unique_ptr<platform::io::DeviceFile> device_;
    bool openFailed_ = false;
    std::atomic<bool> writeFailed_{false};
    std::atomic<bool> readerFailed_{false};

    std::mutex modeMutex_;
    int mode_ = kModeIdle;

    mutable std::mutex versionMutex_;
    std::condition_variable versionArrived_;
    bool versionKnown_ = false;
    quint8 versionByte1_ = 255;
    quint8 versionByte2_ = 255;

    // The RDM exchange and its replies, handed from the pipe-5 reader to the sender.
    struct Reply
    {
        QByteArray bytes;
        quint8 complete = 0;
    };
    std::mutex replyMutex_;
    // Waited on through platform::Clock, so that a stopped command thread stops waiting.
    std::condition_variable_any replyChanged_;
    bool listening_ = false;   // a request has been sent: replies are taken from now on
    bool outstanding_ = false; // a request has been handed over and not answered
    std::chrono::steady_clock::time_point expiry_; // when a silent exchange stops blocking
    std::deque<Reply> replies_; // complete replies not collected yet, oldest first
    bool longReply_ = false;   // a 't' reply waits for its 'u' continuations
    bool rdmReaderFailed_ = false;
    std::array<quint8, kMaxRdmLength> reply_{}; // the reply being assembled
    int replyTotal_ = 0;    // announced length of a long reply
    int replyLength_ = 0;   // bytes of the reply held in reply_

    // Destroyed in reverse: the readers stop before the device goes.
    std::unique_ptr<PipeReader> versionReader_;
    std::unique_ptr<PipeReader> rdmReader_;
    std::unique_ptr<PipeReader> dmxReader_;
};
