#pragma once

#include "sim/line/RequestRing.h"
#include "sim/widget/WidgetDevice.h"

#include <QList>
#include <map>
#include <memory>
#include <mutex>

namespace sim {

// The widget running its firmware, as the USB stack sees it: the device, configuration
// and string descriptors (serial number included), one vendor interface with six 64-byte
// bulk endpoints in the order 0x02, 0x82, 0x04, 0x84, 0x05, 0x85, and the firmware's
// behaviour on them:
//
// - 0x02 carries widget commands and DMX packets, answered on 0x82: the start-up queries
//   0x07 → {0x07, v1, v2}, 0x23 → {0x23, six bytes}, 0x0A → {0x0A, one byte} (always
//   answered), set mode 0x01 and get mode 0x02 (product 0x0002: {0x01, mode}, {0x02} →
//   {0x02, mode}; other products: {0x01, selector, mode}, {0x02, selector} →
//   {0x02, selector, mode}), and 0x08, which is taken and ignored.
// - DMX packets are reassembled per product into one image — product 0x0002:
//   {0x30 | 0x31, offset lo, offset hi, up to 61 bytes}, 0x31 on the last; others:
//   {0x30 | 0x31 | 0x32, up to 63 bytes}, 0x30 first, 0x32 last — a frame also ends with
//   its transfer. The line repeats the last whole frame (its first 512 slots).
// - 0x05 carries RDM messages ('P', 'R', 'S', 'Q', 'T', 0x60), answered on 0x85 with
//   exactly one reply message per request message: 's' after 'P' and 'S'; after 'Q' and
//   'T' 'r' (no answer on the line), 'p' + answer (up to 63 bytes) or 't' + u16 total +
//   61 bytes followed by 'u' + up to 63 bytes until the answer is whole (an answer is cut
//   to the length the request accepts, at most 512); {0x60} after 0x60. Every reply is
//   sent before the request's transfer completes. Answers the line delivers late
//   (DmxLine::DelayAnswers) go out as extra 'p' messages ahead of the reply of the request
//   during which they arrive.
// - 0x84 (DMX input) never carries anything; 0x04 is taken and ignored.
class ProgrammedWidget : public WidgetDevice
{
public:
    ProgrammedWidget(WidgetConfig config, std::shared_ptr<DmxLine> line);

    QByteArray DeviceDescriptor() override;
    QByteArray ConfigurationDescriptor(quint8 index) override;
    QByteArray StringDescriptor(quint8 index, quint16 languageId) override;
    platform::usb::UsbResponse BulkOut(quint8 endpoint, const QByteArray& data) override;

    // For tests, thread-safe.
    QByteArray LastFrame() const; // the last whole image, as long as it was sent
    int FramesAssembled() const;
    quint8 Mode(quint8 selector = 0) const;
    // What went on the line for RDM messages: the last kLineRequestsKept, oldest first, and
    // how many ever went.
    static constexpr std::size_t kLineRequestsKept = 8192;
    QList<QByteArray> LineRequests() const;
    QList<QByteArray> LineRequestsSince(quint64 count) const; // those after the first `count`
    quint64 LineRequestCount() const;

private:
    void Command(const QByteArray& packet);
    void DmxPacket(const QByteArray& packet);
    void FinishFrame();
    void RdmMessage(const QByteArray& message);
    void Reply(quint8 endpoint, const QByteArray& packet);
    void ReplyWithAnswer(const LineAnswer& answer, int expected);
    int ImageSize() const;

    QByteArray image_;      // the frame being assembled
    int imageLength_ = 0;
    int cursor_ = 0;        // where the next packet's data goes (products with 1-byte headers)
    bool assembling_ = false;
    QByteArray rdmRequest_; // the request being assembled from 'R' chunks

    mutable std::mutex stateMutex_; // what tests read
    QByteArray lastFrame_;
    int framesAssembled_ = 0;
    std::map<quint8, quint8> modes_;
    RequestRing<QByteArray> lineRequests_{kLineRequestsKept};
};

} // namespace sim
