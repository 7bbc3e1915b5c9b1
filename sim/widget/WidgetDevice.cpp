#include "sim/widget/WidgetDevice.h"
#include "platform/usb/UsbDescriptors.h"

namespace sim {

WidgetDevice::WidgetDevice(WidgetConfig config, std::shared_ptr<DmxLine> line)
    : config_(std::move(config))
    , line_(std::move(line))
{
}

QByteArray WidgetDevice::VendorDeviceDescriptor(quint16 vendorId, quint16 productId, quint16 release,
                                                quint8 serialIndex)
{
    USB_DEVICE_DESCRIPTOR d{};
    d.bcdUSB = 0x0110;
    d.bDeviceClass = 0xFF;
    d.bDeviceSubClass = 0xFF;
    d.bDeviceProtocol = 0xFF;
    d.bMaxPacketSize0 = 64;
    d.idVendor = vendorId;
    d.idProduct = productId;
    d.bcdDevice = release;
    d.iManufacturer = serialIndex ? 1 : 0;
    d.iProduct = serialIndex ? 2 : 0;
    d.iSerialNumber = serialIndex;
    d.bNumConfigurations = 1;
    return platform::usb::MakeDeviceDescriptor(d);
}

} // namespace sim
