#pragma once

#include "platform/usb/UsbDeviceModel.h"
#include "sim/line/DmxLine.h"
#include "sim/widget/WidgetConfig.h"

#include <memory>

namespace sim {

// What the widget is in both of its lives, before and after its firmware runs: one
// widget's identity, the line it drives and the port it is plugged into.
class WidgetDevice : public platform::usb::UsbDeviceModel
{
public:
    WidgetDevice(WidgetConfig config, std::shared_ptr<DmxLine> line);

    void Connected(platform::usb::UsbPort* port) override { port_ = port; }
    void Disconnected() override { port_ = nullptr; }

    const WidgetConfig& Config() const { return config_; }
    std::shared_ptr<DmxLine> Line() const { return line_; }

protected:
    // A vendor-specific device (class 0xFF) with one configuration and 64-byte control
    // packets; strings 1 and 2 name the maker and the product.
    static QByteArray VendorDeviceDescriptor(quint16 vendorId, quint16 productId, quint16 release,
                                             quint8 serialIndex);

    const WidgetConfig config_;
    const std::shared_ptr<DmxLine> line_;
    platform::usb::UsbPort* port_ = nullptr; // while connected
};

} // namespace sim
