#include "link/transport/RdmWidget.h"

#include "platform/io/DeviceFile.h"
#include "platform/system/Clock.h"
#include "platform/usb/WidgetIds.h"

#include <QtEndian>

#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

using platform::Clock;
using platform::io::DeviceFile;
using platform::io::IoRequest;

namespace {

// The transport's log lines go to standard output, whole, as they happen.
template <typename... Args>
void Log(const char* format, Args... args)
{
    std::printf(format, args...);
    std::fflush(stdout);
}

QByteArray PipeIndex(quint8 pipe)
{
    QByteArray input(4, '\0');
    qToLittleEndian<quint32>(pipe, input.data());
    return input;
}

// Waits for a request for up to `timeoutMs`; one that does not finish in time is
// cancelled and given a bounded time to come back, so that no caller hangs on a driver.
// True when it completed in time.
bool WaitOrCancel(IoRequest& request, int timeoutMs)
{
    if (request.Wait(timeoutMs))
        return true;
    request.Cancel();
    request.Wait(RdmWidget::kCancelWaitMs);
    return false;
}

// A short control request on the map device; its output, or empty on any failure.
QByteArray MapRequest(DeviceFile& map, quint32 code, int length)
{
    auto request = map.DeviceControl(code, QByteArray(), length);
    if (!WaitOrCancel(*request, RdmWidget::kCommandTimeoutMs) || !NT_SUCCESS(request->Status()))
        return {};
    return request->Output();
}

// A map record must reach at least as far as the fields read from it.
constexpr quint32 kMapFieldsRead = offsetof(WidgetMapSlot, serialNumber) + sizeof(WidgetMapSlot::serialNumber);

} // namespace

// One reader thread per IN pipe: it keeps one read pending and hands every packet to the
// owner. Stop() cancels the pending read, so the thread ends even when the widget has
// nothing more to say on that pipe.
class RdmWidget::PipeReader
{
public:
    PipeReader(RdmWidget* owner, DeviceFile* device, quint8 pipe)
        : owner_(owner)
        , device_(device)
        , pipe_(pipe)
        , thread_([this] { Run(); })
    {
    }
    ~PipeReader()
    {
        Stop();
        if (thread_.joinable())
            thread_.join();
    }

    void Stop()
    {
        std::shared_ptr<IoRequest> pending;
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
            pending = pending_;
        }
        if (pending)
            pending->Cancel();
    }

    quint8 Pipe() const { return pipe_; }

private:
    void Run()
    {
        const QByteArray input = PipeIndex(pipe_);
        for (;;) {
            std::shared_ptr<IoRequest> request;
            {
                // Issued under the lock, so that Stop() either sees it or comes first.
                std::lock_guard lock(mutex_);
                if (stop_)
                    return;
                request = device_->DeviceControl(IOCTL_WIDGET_READ_PIPE, input, kPacketSize);
                pending_ = request;
            }
            request->Wait(-1);
            {
                std::lock_guard lock(mutex_);
                pending_.reset();
                if (stop_)
                    return;
            }
            if (!NT_SUCCESS(request->Status())) {
                Log("GetOverlappedResult failed on pipe %d, Error %d\n", int(pipe_), int(request->Error()));
                owner_->OnReaderFailed(pipe_);
                return;
            }
            owner_->OnPacket(pipe_, request->Output());
        }
    }

    RdmWidget* const owner_;
    DeviceFile* const device_;
    const quint8 pipe_;
    std::mutex mutex_;
    bool stop_ = false;
    std::shared_ptr<IoRequest> pending_;
    std::thread thread_; // last: it starts running at construction
};

quint8 RdmWidget::FindWidget(quint32* serialNumber)
{
    auto map = DeviceFile::Open(QString::fromLatin1(qex_usb::kMapDevicePath), DeviceFile::Access::Read);
    if (!map)
        return kNoWidget;

    const QByteArray header = MapRequest(*map, IOCTL_WIDGET_GET_MAP_HEADER,
                                         int(sizeof(WidgetMapHeader)));
    if (header.size() < int(sizeof(WidgetMapHeader)))
        return kNoWidget;
    const quint32 recordSize = qFromLittleEndian<quint32>(header.constData() + offsetof(WidgetMapHeader, recordSize));
    const quint32 recordCount = qFromLittleEndian<quint32>(header.constData() + offsetof(WidgetMapHeader, recordCount));
    // Every record must hold the fields read below, and the whole map must be a size a
    // driver could sensibly hand out.
    if (recordSize < kMapFieldsRead || recordSize > kMaxMapRecordSize ||
        recordCount == 0 || recordCount > kMaxMapRecords)
        return kNoWidget;

    const int mapLength = int(recordSize * recordCount);
    const QByteArray records = MapRequest(*map, IOCTL_WIDGET_GET_MAP, mapLength);
    if (records.size() < mapLength)
        return kNoWidget;

    for (quint32 slot = 0; slot < recordCount; ++slot) {
        const char* record = records.constData() + slot * recordSize;
        const quint32 vendor = qFromLittleEndian<quint32>(record + offsetof(WidgetMapSlot, vendorId));
        const quint32 product = qFromLittleEndian<quint32>(record + offsetof(WidgetMapSlot, productId));
        if (vendor == widget_ids::kWidgetVendorId &&
            (product == widget_ids::kWidgetProductId || product == kAltProductId)) {
            if (serialNumber)
                *serialNumber = qFromLittleEndian<quint32>(record + offsetof(WidgetMapSlot, serialNumber));
            return quint8(slot);
        }
    }
    return kNoWidget;
}

RdmWidget::RdmWidget(quint8 index)
    : index_(index)
{
    if (index == kNoWidget) {
        openFailed_ = true;
        return;
    }
    const QString path = QString::asprintf(qex_usb::kWidgetDevicePathFormat, int(index));
    platform::io::IoError error;
    device_ = DeviceFile::Open(path, DeviceFile::Access::Write, &error);
    if (!device_) {
        Log("ERROR - RdmWidget::RdmWidget - Open, device: %d, error:%d\n", int(index), int(error.code));
        openFailed_ = true;
        return;
    }

    const quint8 query = kVersionCommand;
    SendPacket(kCommandPipe, &query, 1, kCommandTimeoutMs);
    versionReader_ = std::make_unique<PipeReader>(this, device_.get(), kVersionPipe);
    rdmReader_ = std::make_unique<PipeReader>(this, device_.get(), kRdmReplyPipe);
    dmxReader_ = std::make_unique<PipeReader>(this, device_.get(), kDmxInputPipe);

    std::unique_lock lock(versionMutex_);
    versionArrived_.wait_for(lock, Clock::TimeoutDuration(kVersionWaitMs), [this] { return versionKnown_; });
}

RdmWidget::~RdmWidget()
{
    if (device_) {
        SetMode(kModeIdle);
        // Tell the widget we are going; its answers are no longer read.
        const quint8 query = kVersionCommand;
        SendPacket(kCommandPipe, &query, 1, kCommandTimeoutMs);
        const quint8 wake = kRdmWakeCommand;
        SendPacket(kRdmPipe, &wake, 1, kCommandTimeoutMs);
    }
    // Every reader is told first, so that none waits for another's turn to be cancelled.
    for (PipeReader* reader : {versionReader_.get(), rdmReader_.get(), dmxReader_.get()})
        if (reader)
            reader->Stop();
    for (std::unique_ptr<PipeReader>* reader : {&versionReader_, &rdmReader_, &dmxReader_}) {
        if (*reader) {
            Log("Removing Pipe %d\n", int((*reader)->Pipe()));
            reader->reset();
        }
    }
    if (device_)
        device_->Close();
}

bool RdmWidget::HasError() const
{
    return openFailed_ || writeFailed_ || readerFailed_;
}

bool RdmWidget::SetMode(int mode)
{
    std::lock_guard lock(modeMutex_);
    if (mode_ == mode)
        return true;
    const quint8 command[2] = {kSetModeCommand, quint8(mode)};
    if (!SendPacket(kCommandPipe, command, 2, kCommandTimeoutMs))
        return false;
    mode_ = mode;
    return true;
}

bool RdmWidget::GetVersion(quint8& byte1, quint8& byte2) const
{
    std::lock_guard lock(versionMutex_);
    if (!versionKnown_)
        return false;
    byte1 = versionByte1_;
    byte2 = versionByte2_;
    return true;
}

bool RdmWidget::SendPacket(quint8 pipe, const quint8* data, int size, int timeoutMs)
{
    if (!device_ || size < 0 || (size > 0 && !data))
        return false;
    const QByteArray packet(reinterpret_cast<const char*>(data), size);
    auto request = device_->DeviceControl(IOCTL_WIDGET_WRITE_PIPE, PipeIndex(pipe), packet);
    const bool failedAtOnce = request->IsComplete() && !NT_SUCCESS(request->Status());
    if (!failedAtOnce && WaitOrCancel(*request, timeoutMs) && NT_SUCCESS(request->Status())) {
        writeFailed_ = false;
        return true;
    }
    Log(failedAtOnce ? "ERROR - RdmWidget::SendPacket - IoCtrl, pipe: %d, size: %d, error:%d\n"
                     : "ERROR - RdmWidget::SendPacket - Wait, pipe: %d, size: %d, error:%d\n",
        int(pipe), size, int(request->Error()));
    writeFailed_ = true;
    return false;
}

bool RdmWidget::SendRdmPacket(const quint8* data, int length, int timeoutMs)
{
    return SendRdm(data, length, false, 0, timeoutMs);
}

bool RdmWidget::SendRdmReadPacket(const quint8* data, int length, quint16 expected, int timeoutMs)
{
    return SendRdm(data, length, true, expected, timeoutMs);
}

bool RdmWidget::SendRdm(const quint8* data, int length, bool wantReply, quint16 expected, int timeoutMs)
{
    if (!data || length < 1 || length > kMaxRdmLength || !device_)
        return false;
    // The calling thread is being stopped (the program is closing): whatever protocol asks,
    // nothing more goes on the line.
    if (Clock::StopRequested())
        return false;
    SetMode(kModeRdm);

    // The messages of one request: a short one fits a single packet; a longer one goes
    // in chunks of kChunk bytes, then a message that sends what the widget assembled.
    constexpr int kChunk = kPacketSize - 3;
    std::vector<QByteArray> messages;
    auto u16 = [](QByteArray& message, int value) {
        message.append(char(value & 0xFF)).append(char((value >> 8) & 0xFF));
    };
    const char* bytes = reinterpret_cast<const char*>(data);
    if (wantReply && length <= kChunk) {
        QByteArray message(1, 'Q');
        u16(message, expected);
        messages.push_back(message.append(bytes, length));
    } else if (!wantReply && length <= kPacketSize - 1) {
        messages.push_back(QByteArray(1, 'P').append(bytes, length));
    } else {
        for (int offset = 0; offset < length; offset += kChunk) {
            QByteArray chunk(1, 'R');
            u16(chunk, offset);
            messages.push_back(chunk.append(bytes + offset, std::min(kChunk, length - offset)));
        }
        QByteArray send(1, wantReply ? 'T' : 'S');
        u16(send, length);
        if (wantReply)
            u16(send, expected);
        messages.push_back(send);
    }

    {
        std::unique_lock lock(replyMutex_);
        if (rdmReaderFailed_)
            return false; // no reply could ever come back
        const auto deadline = std::chrono::steady_clock::now() + Clock::TimeoutDuration(timeoutMs);
        auto exchangeOver = [this] { return !outstanding_ || std::chrono::steady_clock::now() >= expiry_; };
        while (!exchangeOver()) {
            if (Clock::StopRequested())
                return false;
            if (std::chrono::steady_clock::now() >= deadline) {
                if (wantReply)
                    Log("RdmWidget::SendRdmReadPacket - Gave up waiting for previous session for end\n");
                return false;
            }
            Clock::WaitUntil(replyChanged_, lock, std::min(deadline, expiry_), exchangeOver);
        }
        // Whatever the widget said before this request is not its answer.
        outstanding_ = false;
        replies_.clear();
        longReply_ = false;
        replyLength_ = 0;
        replyTotal_ = 0;
        listening_ = true;
    }

    for (size_t i = 0; i < messages.size(); ++i) {
        const bool last = i + 1 == messages.size();
        if (last) {
            // Marked before the write: the widget may answer before the write returns.
            std::lock_guard lock(replyMutex_);
            outstanding_ = true;
            expiry_ = std::chrono::steady_clock::now() + Clock::TimeoutDuration(timeoutMs);
        }
        const QByteArray& message = messages[i];
        if (!SendPacket(kRdmPipe, reinterpret_cast<const quint8*>(message.constData()), int(message.size()),
                        timeoutMs)) {
            if (last) {
                std::lock_guard lock(replyMutex_);
                outstanding_ = false;
            }
            replyChanged_.notify_all();
            return false;
        }
    }
    return true;
}

int RdmWidget::ReceiveRdmPacket(quint8* buffer, int capacity, quint8* complete, int timeoutMs)
{
    std::unique_lock lock(replyMutex_);
    Clock::WaitFor(replyChanged_, lock, timeoutMs, [this] { return !replies_.empty() || rdmReaderFailed_; });
    if (replies_.empty())
        return 0;
    const Reply reply = std::move(replies_.front());
    replies_.pop_front();
    const int count = std::clamp(int(reply.bytes.size()), 0, buffer ? std::max(capacity, 0) : 0);
    if (complete)
        *complete = reply.complete;
    if (count > 0)
        std::memcpy(buffer, reply.bytes.constData(), size_t(count));
    return count;
}

bool RdmWidget::WriteDmxFrame(const quint8* data, int length)
{
    if (!device_ || !data || length <= 0)
        return false;
    auto request = device_->Write(QByteArray(reinterpret_cast<const char*>(data), length), 0);
    if (WaitOrCancel(*request, kDmxWriteTimeoutMs) && NT_SUCCESS(request->Status()))
        return true;
    Log("ERROR - RdmWidget::WriteDmxFrame - Wait, size: %d, error:%d\n", length, int(request->Error()));
    return false;
}

void RdmWidget::OnPacket(quint8 pipe, const QByteArray& packet)
{
    switch (pipe) {
    case kVersionPipe:
        OnVersionReply(packet);
        break;
    case kRdmReplyPipe:
        OnRdmReply(packet);
        break;
    default:
        // DMX input: the program registers no receiver, so there is no one to hand it to.
        break;
    }
}

void RdmWidget::OnReaderFailed(quint8 pipe)
{
    readerFailed_ = true;
    if (pipe == kRdmReplyPipe) {
        {
            std::lock_guard lock(replyMutex_);
            rdmReaderFailed_ = true;
        }
        replyChanged_.notify_all();
    }
}

void RdmWidget::OnVersionReply(const QByteArray& packet)
{
    const auto* bytes = reinterpret_cast<const quint8*>(packet.constData());
    quint8 byte1, byte2;
    if (packet.size() >= 3 && bytes[0] == kVersionCommand) {
        // The widget echoes the query: {0x07, major, minor}, as the driver reads it too.
        byte1 = bytes[1];
        byte2 = bytes[2];
    } else if (packet.size() >= 2) {
        // The plain form: the two version bytes themselves, whatever the first one is (a
        // widget of version 7.x answers {0x07, x}).
        byte1 = bytes[0];
        byte2 = bytes[1];
    } else {
        return; // too short to hold a version
    }
    {
        std::lock_guard lock(versionMutex_);
        versionByte1_ = byte1;
        versionByte2_ = byte2;
        versionKnown_ = true;
    }
    versionArrived_.notify_all();
}

void RdmWidget::CompleteReplyLocked(int length, quint8 complete)
{
    replies_.push_back({QByteArray(reinterpret_cast<const char*>(reply_.data()), length), complete});
    replyLength_ = 0;
    longReply_ = false;
    outstanding_ = false;
}

void RdmWidget::OnRdmReply(const QByteArray& packet)
{
    const auto* bytes = reinterpret_cast<const quint8*>(packet.constData());
    const int size = int(packet.size());
    {
        std::lock_guard lock(replyMutex_);
        // Before the first request nothing can be an answer.
        if (size < 1 || !listening_)
            return;
        switch (bytes[0]) {
        case 'p': { // the whole reply
            if (size < 2)
                return; // announces a reply and carries none
            const int length = std::min(size - 1, kMaxRdmLength);
            std::memcpy(reply_.data(), bytes + 1, size_t(length));
            CompleteReplyLocked(length, 1);
            break;
        }
        case 'r': // no answer on the line
            CompleteReplyLocked(0, 0);
            break;
        case 's': // done, nothing to hand back
            CompleteReplyLocked(0, 1);
            break;
        case 't': { // the start of a long reply; 'u' messages follow until the total
            if (size < 3)
                return;
            replyTotal_ = std::min<int>(qFromLittleEndian<quint16>(bytes + 1), kMaxRdmLength);
            replyLength_ = std::min(size - 3, kMaxRdmLength);
            std::memcpy(reply_.data(), bytes + 3, size_t(replyLength_));
            longReply_ = true;
            if (replyLength_ >= replyTotal_)
                CompleteReplyLocked(replyTotal_, 1);
            break;
        }
        case 'u': {
            if (!longReply_)
                return;
            const int length = std::min(size - 1, kMaxRdmLength - replyLength_);
            if (length > 0)
                std::memcpy(reply_.data() + replyLength_, bytes + 1, size_t(length));
            replyLength_ += std::max(length, 0);
            if (replyLength_ >= replyTotal_)
                CompleteReplyLocked(std::min(replyLength_, replyTotal_), 1);
            break;
        }
        default: // the widget ended the exchange some other way
            outstanding_ = false;
            longReply_ = false;
            break;
        }
    }
    replyChanged_.notify_all();
}
