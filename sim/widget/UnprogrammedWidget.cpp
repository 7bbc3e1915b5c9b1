#include "sim/widget/UnprogrammedWidget.h"
#include "platform/usb/UsbDescriptors.h"
#include "sim/widget/ProgrammedWidget.h"
#include "tools/widget_firmware/WidgetFirmware.h"

namespace sim {

using namespace platform::usb;

namespace {

constexpr int kMemorySize = 0x10000;
// The loader writes only the records at or below this address; the rest of the image is
// not the 8051's to hold at load time.
constexpr quint16 kHighestLoadedAddress = 0x1B3F;

} // namespace

UnprogrammedWidget::UnprogrammedWidget(WidgetConfig config, std::shared_ptr<DmxLine> line)
    : WidgetDevice(std::move(config), std::move(line))
    , memory_(kMemorySize, 0)
    , written_(kMemorySize, false)
{
}

QByteArray UnprogrammedWidget::DeviceDescriptor()
{
    return VendorDeviceDescriptor(widget_ids::kUnprogrammedVendorId, widget_ids::kUnprogrammedProductId, 0x0001, 0);
}

QByteArray UnprogrammedWidget::ConfigurationDescriptor(quint8 index)
{
    if (index != 0)
        return {};
    return MakeConfigurationDescriptor(1, 0x80, 50, {InterfaceSpec{}});
}

UsbResponse UnprogrammedWidget::ControlTransfer(const UsbSetupPacket& setup, QByteArray& data)
{
    const bool vendor = (setup.requestType & 0x60) == 0x40;
    if (!vendor || setup.request != kFirmwareLoadRequest || setup.value + setup.length > kMemorySize)
        return UsbResponse::Stall;
    if (setup.DeviceToHost()) {
        data = QByteArray(reinterpret_cast<const char*>(memory_.data() + setup.value), setup.length);
        return UsbResponse::Ack;
    }
    for (int i = 0; i < data.size(); ++i) {
        const int address = setup.value + i;
        memory_[address] = quint8(data[i]);
        written_[address] = true;
        if (address == kCpuControlRegister)
            WriteCpuControl(quint8(data[i]));
    }
    return UsbResponse::Ack;
}

void UnprogrammedWidget::WriteCpuControl(quint8 value)
{
    const bool hold = value & 0x01;
    bool released;
    {
        std::lock_guard lock(stateMutex_);
        released = heldInReset_ && !hold;
        heldInReset_ = hold;
        if (released)
            ++releases_;
    }
    if (released && HoldsTheFirmware() && port_)
        port_->Reenumerate(std::make_shared<ProgrammedWidget>(config_, line_), kReenumerationDelayMs);
}

bool UnprogrammedWidget::HoldsTheFirmware() const
{
    for (std::size_t r = 0; r < kWidgetFirmwareRecordCount; ++r) {
        const WidgetFirmwareRecord& record = kWidgetFirmwareImage[r];
        if (record.Type != 0)
            break;
        if (record.Address > kHighestLoadedAddress)
            continue;
        for (int i = 0; i < record.Length; ++i) {
            const int address = record.Address + i;
            if (address >= kMemorySize || !written_[address] || memory_[address] != record.Data[i])
                return false;
        }
    }
    return true;
}

bool UnprogrammedWidget::HeldInReset() const
{
    std::lock_guard lock(stateMutex_);
    return heldInReset_;
}

int UnprogrammedWidget::Releases() const
{
    std::lock_guard lock(stateMutex_);
    return releases_;
}

} // namespace sim
