// The widget as the program sees it: the driver's device map (FindWidget), the version
// reply (pipe 1) and the RDM reply messages (pipe 5) that RdmWidget assembles, over a
// stand-in of the widget driver whose packets are the input; and the USB stack's
// configuration descriptor parsers, which the widget driver trusts.
#include "fuzz/FuzzSupport.h"
#include "link/transport/RdmWidget.h"
#include "platform/kernel/Loader.h"
#include "platform/usb/UsbDescriptors.h"
#include "platform/usb/WidgetIds.h"
#include "tests/link/FakeWidgetDriver.h"

#include <QDeadlineTimer>
#include <QThread>

#include <mutex>
#include <vector>

namespace fuzz_target {
namespace {

std::mutex inputMutex;
fuzz::Input* current = nullptr;

// The widget's answers to what the program writes, from the input.
void Respond(quint8 pipe, const QByteArray& data)
{
    QList<QByteArray> packets;
    quint8 target = 0;
    {
        std::lock_guard lock(inputMutex);
        if (!current || data.isEmpty())
            return;
        if (pipe == RdmWidget::kCommandPipe && quint8(data[0]) == RdmWidget::kVersionCommand)
            target = RdmWidget::kVersionPipe;
        else if (pipe == RdmWidget::kRdmPipe && QByteArray("PQST").contains(data[0]))
            target = RdmWidget::kRdmReplyPipe;
        else
            return;
        for (int n = current->Byte() % 4; n > 0 && !current->Empty(); --n)
            packets.append(current->Chunk().left(RdmWidget::kPacketSize));
    }
    for (const QByteArray& packet : packets)
        fake_widget::Push(target, packet);
}

// Until the readers have dealt with what was pushed (all three wait again), within reason.
void Settle()
{
    const QDeadlineTimer limit(200);
    while (fake_widget::PendingReads() != 3 && !limit.hasExpired())
        QThread::yieldCurrentThread();
}

void Descriptors(fuzz::Input& input)
{
    using namespace platform::usb;
    QByteArray bytes = input.Rest();
    if (bytes.size() < qsizetype(sizeof(USB_CONFIGURATION_DESCRIPTOR)))
        bytes.resize(sizeof(USB_CONFIGURATION_DESCRIPTOR), '\0');
    // The stack hands a driver the whole configuration: wTotalLength bytes are there.
    const quint16 total = quint16(quint8(bytes[2]) | quint8(bytes[3]) << 8);
    std::vector<quint64> storage((std::max<qsizetype>(bytes.size(), total) + 7) / 8, 0);
    std::memcpy(storage.data(), bytes.constData(), size_t(bytes.size()));
    auto* configuration = reinterpret_cast<USB_CONFIGURATION_DESCRIPTOR*>(storage.data());

    std::vector<DescriptorSpan> spans;
    if (SplitConfigurationDescriptor(configuration, &spans)) {
        for (const DescriptorSpan& span : spans) {
            if (span.type != USB_INTERFACE_DESCRIPTOR_TYPE || span.length < sizeof(USB_INTERFACE_DESCRIPTOR))
                continue;
            std::vector<const USB_ENDPOINT_DESCRIPTOR*> endpoints;
            EndpointsOfInterface(spans, reinterpret_cast<const USB_INTERFACE_DESCRIPTOR*>(span.data), &endpoints);
        }
    }
    PUSB_INTERFACE_DESCRIPTOR interface =
        USBD_ParseConfigurationDescriptorEx(configuration, configuration, -1, -1, -1, -1, -1);
    if (interface) {
        USBD_INTERFACE_LIST_ENTRY list[2] = {{interface, nullptr}, {nullptr, nullptr}};
        if (PURB urb = USBD_CreateConfigurationRequestEx(configuration, list))
            ExFreePool(urb);
    }
}

void Widget(fuzz::Input& input)
{
    fake_widget::Reset();
    const quint8 map = input.Byte();
    if (map & 1) {
        const QByteArray header = input.Chunk();
        fake_widget::SetMap(header, input.Chunk());
    } else {
        fake_widget::SetMapRecords({{map >> 4, widget_ids::kWidgetVendorId, map & 2 ? 2u : 0x83u, 77}});
    }
    fake_widget::SetResponder(&Respond);
    quint32 serial = 0;
    const quint8 slot = RdmWidget::FindWidget(&serial);
    if (slot == RdmWidget::kNoWidget)
        return;
    {
        RdmWidget widget(slot);
        Settle();
        quint8 version[2];
        widget.GetVersion(version[0], version[1]);
        for (int exchanges = 0; exchanges < 32; ++exchanges) {
            int length = 0;
            int capacity = 0;
            {
                std::lock_guard lock(inputMutex);
                if (current->Empty())
                    break;
                length = 1 + current->U16() % RdmWidget::kMaxRdmLength;
                capacity = current->U16() % 600;
            }
            const QByteArray request(length, '\x5A');
            if (!widget.SendRdmReadPacket(reinterpret_cast<const quint8*>(request.constData()), length, 512, 1))
                continue;
            Settle();
            QByteArray reply(std::max(capacity, 1), '\0');
            quint8 complete = 0xAA;
            const int got = widget.ReceiveRdmPacket(reinterpret_cast<quint8*>(reply.data()), capacity, &complete, 1);
            fuzz::Require(got >= 0 && got <= capacity, "a reply fits the room it was given");
        }
    }
    fake_widget::SetResponder(nullptr);
}

} // namespace

void Setup()
{
    // Loaded for the life of the process.
    static PDRIVER_OBJECT driver = nullptr;
    fuzz::Require(platform::kernel::LoadDriver(L"qex_usb", &fake_widget::DriverEntry, &driver) == STATUS_SUCCESS,
                  "the widget driver's stand-in loads");
}

void WriteSeeds()
{
    using namespace platform::usb;
    InterfaceSpec interface;
    for (UCHAR address : {0x02, 0x82, 0x04, 0x84, 0x05, 0x85})
        interface.endpoints.push_back({address, USB_ENDPOINT_TYPE_BULK, 64, 0});
    fuzz::Seed(QStringLiteral("configuration"), QByteArray(1, '\0') + MakeConfigurationDescriptor(1, 0x80, 50, {interface}));

    // The widget: the version, then RDM replies of every message kind.
    fuzz::InputWriter widget;
    widget.Byte(1).Byte(2); // selector, map: slot 0, programmed product
    widget.Byte(1).Chunk(QByteArray::fromHex("070104"));
    const QByteArray data(100, '\x33');
    widget.U16(25).U16(512).Byte(1).Chunk("p" + data.left(26));
    widget.U16(25).U16(512).Byte(1).Chunk("r");
    widget.U16(25).U16(512).Byte(1).Chunk("s");
    widget.U16(25).U16(512).Byte(2).Chunk(QByteArray("t\x64\x00", 3) + data.left(61)).Chunk("u" + data.left(39));
    widget.U16(25).U16(40).Byte(1).Chunk(QByteArray("t\x58\x02", 3) + data.left(61));
    widget.U16(600).U16(512).Byte(3).Chunk("x").Chunk("p").Chunk("u");
    fuzz::Seed(QStringLiteral("widget"), widget.Data());
}

void Run(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    if (input.Byte() % 2 == 0) {
        Descriptors(input);
        return;
    }
    {
        std::lock_guard lock(inputMutex);
        current = &input;
    }
    Widget(input);
    std::lock_guard lock(inputMutex);
    current = nullptr;
}

} // namespace fuzz_target
