// Before any Qt header: its device map has a member named like a Qt keyword macro.
#include "drivers/components/usb/qex_usb/QexUsbPublic.h"
#include "sim/widget/ProgrammedWidget.h"
#include "platform/usb/UsbDescriptors.h"

#include <QtEndian>

namespace sim {

using namespace platform::usb;

namespace {

// The wire format is the one the USB driver, the program and this widget share.
constexpr int kPacketSize = int(qex_usb::kWidgetPacketSize);
constexpr int kMaxRdmMessage = 512;
constexpr quint8 kCommandEndpoint = qex_usb::kWidgetEndpoints[qex_usb::kCommandPipe];
constexpr quint8 kCommandReplyEndpoint = qex_usb::kWidgetEndpoints[qex_usb::kReplyPipe];
constexpr quint8 kSparePipeEndpoint = qex_usb::kWidgetEndpoints[2];
constexpr quint8 kRdmEndpoint = qex_usb::kWidgetEndpoints[qex_usb::kRdmPipe];
constexpr quint8 kRdmReplyEndpoint = qex_usb::kWidgetEndpoints[qex_usb::kRdmReplyPipe];

quint16 Word(const QByteArray& bytes, int at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

QByteArray Bytes(std::initializer_list<quint8> values)
{
    QByteArray bytes;
    for (quint8 value : values)
        bytes.append(char(value));
    return bytes;
}

} // namespace

ProgrammedWidget::ProgrammedWidget(WidgetConfig config, std::shared_ptr<DmxLine> line)
    : WidgetDevice(std::move(config), std::move(line))
{
    image_ = QByteArray(ImageSize(), '\0');
}

int ProgrammedWidget::ImageSize() const
{
    // A product the driver does not know still gets a universe's worth.
    const qex_usb::WidgetProductLayout layout = qex_usb::ProductLayout(config_.productId);
    return layout.imageBytes ? int(layout.imageBytes) : 512;
}

QByteArray ProgrammedWidget::DeviceDescriptor()
{
    return VendorDeviceDescriptor(widget_ids::kWidgetVendorId, config_.productId,
                                  quint16(config_.version[0] << 8 | config_.version[1]),
                                  config_.serial.isEmpty() ? 0 : 3);
}

QByteArray ProgrammedWidget::ConfigurationDescriptor(quint8 index)
{
    if (index != 0)
        return {};
    InterfaceSpec interface;
    for (quint8 address : qex_usb::kWidgetEndpoints)
        interface.endpoints.push_back({address, USB_ENDPOINT_TYPE_BULK, kPacketSize, 0});
    return MakeConfigurationDescriptor(1, 0x80, 100, {interface});
}

QByteArray ProgrammedWidget::StringDescriptor(quint8 index, quint16)
{
    // The firmware has its strings in one language and gives them whatever is asked.
    switch (index) {
    case 0:
        return MakeLanguageDescriptor();
    case 1:
        return MakeStringDescriptor(QStringLiteral("Quorvane"));
    case 2:
        return MakeStringDescriptor(QStringLiteral("Velmora DMX/RDM Widget"));
    case 3:
        return config_.serial.isEmpty() ? QByteArray() : MakeStringDescriptor(config_.serial);
    default:
        return {};
    }
}

UsbResponse ProgrammedWidget::BulkOut(quint8 endpoint, const QByteArray& data)
{
    switch (endpoint) {
    case kCommandEndpoint:
        for (int at = 0; at < data.size(); at += kPacketSize)
            Command(data.mid(at, kPacketSize));
        // A frame ends with the transfer that carries it.
        if (assembling_)
            FinishFrame();
        return UsbResponse::Ack;
    case kRdmEndpoint:
        for (int at = 0; at < data.size(); at += kPacketSize)
            RdmMessage(data.mid(at, kPacketSize));
        return UsbResponse::Ack;
    case kSparePipeEndpoint:
        return UsbResponse::Ack;
    default:
        return UsbResponse::Stall;
    }
}

void ProgrammedWidget::Reply(quint8 endpoint, const QByteArray& packet)
{
    if (port_)
        port_->SendIn(endpoint, packet);
}

void ProgrammedWidget::Command(const QByteArray& packet)
{
    if (packet.isEmpty())
        return;
    const bool selectorForm = qex_usb::ProductLayout(config_.productId).selectorForm;
    switch (quint8(packet[0])) {
    case qex_usb::kCommandSetMode: {
        std::lock_guard lock(stateMutex_);
        if (!selectorForm && packet.size() >= 2)
            modes_[0] = quint8(packet[1]);
        else if (selectorForm && packet.size() >= 3)
            modes_[quint8(packet[1])] = quint8(packet[2]);
        break;
    }
    case qex_usb::kCommandGetMode: {
        const quint8 selector = selectorForm && packet.size() >= 2 ? quint8(packet[1]) : 0;
        const quint8 mode = Mode(selector);
        Reply(kCommandReplyEndpoint, selectorForm ? Bytes({qex_usb::kCommandGetMode, selector, mode}) : Bytes({qex_usb::kCommandGetMode, mode}));
        break;
    }
    case qex_usb::kCommandVersion:
        Reply(kCommandReplyEndpoint, Bytes({qex_usb::kCommandVersion, config_.version[0], config_.version[1]}));
        break;
    case qex_usb::kCommandQuery23: {
        QByteArray reply = Bytes({qex_usb::kCommandQuery23});
        for (quint8 byte : config_.reply23)
            reply.append(char(byte));
        Reply(kCommandReplyEndpoint, reply);
        break;
    }
    case qex_usb::kCommandQuery0A:
        Reply(kCommandReplyEndpoint, Bytes({qex_usb::kCommandQuery0A, config_.reply0A}));
        break;
    case qex_usb::kPacketFirst:
    case qex_usb::kPacketMiddle:
    case qex_usb::kPacketLast:
        DmxPacket(packet);
        break;
    case qex_usb::kCommand8:
    default:
        break;
    }
}

void ProgrammedWidget::DmxPacket(const QByteArray& packet)
{
    const quint8 header = quint8(packet[0]);
    const qex_usb::WidgetProductLayout layout = qex_usb::ProductLayout(config_.productId);
    if (layout.headerBytes == 3) {
        // Every packet says where its bytes go; 0x31 marks the last one.
        if (header == qex_usb::kPacketLast || packet.size() < 3)
            return;
        const int offset = Word(packet, 1);
        if (offset == 0)
            imageLength_ = 0;
        assembling_ = true;
        const QByteArray data = packet.mid(3);
        const int count = std::max(0, std::min<int>(data.size(), image_.size() - offset));
        if (count > 0) {
            std::copy(data.begin(), data.begin() + count, image_.begin() + offset);
            imageLength_ = std::max(imageLength_, offset + count);
        }
        if (header == qex_usb::kPacketLastOfOffsetForm)
            FinishFrame();
        return;
    }
    if (header == qex_usb::kPacketFirst) {
        cursor_ = 0;
        imageLength_ = 0;
        assembling_ = true;
    } else if (!assembling_) {
        return; // a continuation without its start
    }
    const QByteArray data = packet.mid(1);
    const int count = std::max(0, std::min<int>(data.size(), image_.size() - cursor_));
    std::copy(data.begin(), data.begin() + count, image_.begin() + cursor_);
    cursor_ += count;
    imageLength_ = std::max(imageLength_, cursor_);
    if (header == qex_usb::kPacketLast)
        FinishFrame();
}

void ProgrammedWidget::FinishFrame()
{
    assembling_ = false;
    const QByteArray frame = image_.left(imageLength_);
    {
        std::lock_guard lock(stateMutex_);
        lastFrame_ = frame;
        ++framesAssembled_;
    }
    if (line_)
        line_->SendDmxFrame(frame.left(512));
}

void ProgrammedWidget::RdmMessage(const QByteArray& message)
{
    if (message.isEmpty())
        return;
    auto send = [this](const QByteArray& request, bool answerWanted) {
        if (request.isEmpty())
            return LineAnswer{};
        // Answers that came too late for their own exchange are heard during this one,
        // before its own answer.
        if (line_) {
            for (const QByteArray& late : line_->TakeLateAnswers())
                ReplyWithAnswer(LineAnswer{LineAnswer::Kind::Answer, late}, kMaxRdmMessage);
        }
        {
            std::lock_guard lock(stateMutex_);
            lineRequests_.Append(request);
        }
        return line_ ? line_->Transact(request, answerWanted) : LineAnswer{};
    };
    switch (quint8(message[0])) {
    case 'P':
        send(message.mid(1), false);
        Reply(kRdmReplyEndpoint, "s");
        break;
    case 'R':
        if (message.size() >= 3) {
            const int offset = Word(message, 1);
            const QByteArray chunk = message.mid(3);
            if (offset + chunk.size() <= kMaxRdmMessage) {
                if (rdmRequest_.size() < offset + chunk.size())
                    rdmRequest_.resize(offset + chunk.size(), '\0');
                std::copy(chunk.begin(), chunk.end(), rdmRequest_.begin() + offset);
            }
        }
        break;
    case 'S': {
        const int total = message.size() >= 3 ? Word(message, 1) : 0;
        if (total > 0 && total <= rdmRequest_.size())
            send(rdmRequest_.left(total), false);
        rdmRequest_.clear();
        Reply(kRdmReplyEndpoint, "s");
        break;
    }
    case 'Q': {
        if (message.size() < 4) {
            Reply(kRdmReplyEndpoint, "r");
            break;
        }
        ReplyWithAnswer(send(message.mid(3), true), Word(message, 1));
        break;
    }
    case 'T': {
        const int total = message.size() >= 5 ? Word(message, 1) : 0;
        const int expected = message.size() >= 5 ? Word(message, 3) : 0;
        const QByteArray request = total > 0 && total <= rdmRequest_.size() ? rdmRequest_.left(total) : QByteArray();
        rdmRequest_.clear();
        if (request.isEmpty()) {
            Reply(kRdmReplyEndpoint, "r");
            break;
        }
        ReplyWithAnswer(send(request, true), expected);
        break;
    }
    case 0x60:
        Reply(kRdmReplyEndpoint, Bytes({0x60}));
        break;
    default:
        break;
    }
}

void ProgrammedWidget::ReplyWithAnswer(const LineAnswer& answer, int expected)
{
    if (answer.kind == LineAnswer::Kind::None) {
        Reply(kRdmReplyEndpoint, "r");
        return;
    }
    const QByteArray bytes = answer.bytes.left(std::min(expected, kMaxRdmMessage));
    if (bytes.size() <= kPacketSize - 1) {
        Reply(kRdmReplyEndpoint, "p" + bytes);
        return;
    }
    QByteArray start("t");
    start.append(char(bytes.size() & 0xFF));
    start.append(char(bytes.size() >> 8));
    start.append(bytes.left(kPacketSize - 3));
    Reply(kRdmReplyEndpoint, start);
    for (int at = kPacketSize - 3; at < bytes.size(); at += kPacketSize - 1)
        Reply(kRdmReplyEndpoint, "u" + bytes.mid(at, kPacketSize - 1));
}

QByteArray ProgrammedWidget::LastFrame() const
{
    std::lock_guard lock(stateMutex_);
    return lastFrame_;
}

int ProgrammedWidget::FramesAssembled() const
{
    std::lock_guard lock(stateMutex_);
    return framesAssembled_;
}

quint8 ProgrammedWidget::Mode(quint8 selector) const
{
    std::lock_guard lock(stateMutex_);
    auto it = modes_.find(selector);
    return it != modes_.end() ? it->second : 0;
}

QList<QByteArray> ProgrammedWidget::LineRequests() const
{
    std::lock_guard lock(stateMutex_);
    return lineRequests_.Entries();
}

QList<QByteArray> ProgrammedWidget::LineRequestsSince(quint64 count) const
{
    std::lock_guard lock(stateMutex_);
    return lineRequests_.Since(count);
}

quint64 ProgrammedWidget::LineRequestCount() const
{
    std::lock_guard lock(stateMutex_);
    return lineRequests_.Total();
}

} // namespace sim
