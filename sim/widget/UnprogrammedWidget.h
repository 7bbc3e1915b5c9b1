#pragma once

#include "sim/widget/WidgetDevice.h"

#include <memory>
#include <mutex>
#include <vector>

namespace sim {

// The widget before its firmware is loaded: the bare microcontroller (an 8051 core with
// USB), enumerating with the chip's own ids and no endpoints of its own. Vendor request
// 0xA0 writes (host to device) or reads (device to host) its memory at the address in
// wValue; address 0x7F92 is the CPU control register, where 1 holds the 8051 in reset
// and 0 releases it. The 8051 starts out held.
//
// Released with the whole widget firmware in memory (every byte of every record the
// loader writes, that is every data record at 0x1B3F or below), the firmware runs: the
// device leaves the bus and, after a short delay, attaches again on the same port as the
// programmed widget of `config`, on the same line. Released with anything else, it runs
// nothing and stays as it is.
class UnprogrammedWidget : public WidgetDevice
{
public:
    // How long the firmware takes to come up on the bus after the release.
    static constexpr qint64 kReenumerationDelayMs = 300;
    static constexpr quint16 kCpuControlRegister = 0x7F92;
    static constexpr quint8 kFirmwareLoadRequest = 0xA0;

    UnprogrammedWidget(WidgetConfig config, std::shared_ptr<DmxLine> line);

    QByteArray DeviceDescriptor() override;
    QByteArray ConfigurationDescriptor(quint8 index) override;
    platform::usb::UsbResponse ControlTransfer(const platform::usb::UsbSetupPacket& setup, QByteArray& data) override;

    // For tests, thread-safe.
    bool HeldInReset() const;
    int Releases() const; // how often the 8051 was let go

private:
    void WriteCpuControl(quint8 value);
    bool HoldsTheFirmware() const;

    std::vector<quint8> memory_;
    std::vector<bool> written_;

    mutable std::mutex stateMutex_;
    bool heldInReset_ = true;
    int releases_ = 0;
};

} // namespace sim
