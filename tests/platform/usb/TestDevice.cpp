#include "tests/platform/usb/TestDevice.h"

#include <algorithm>

using namespace platform::usb;

TestDevice::TestDevice(USHORT product)
    : product_(product)
{
}

QByteArray TestDevice::DeviceDescriptor()
{
    USB_DEVICE_DESCRIPTOR d{};
    d.bcdUSB = 0x0200;
    d.bMaxPacketSize0 = 64;
    d.idVendor = kVendor;
    d.idProduct = product_;
    d.bcdDevice = 0x0100;
    d.iManufacturer = 1;
    d.iSerialNumber = 2;
    d.bNumConfigurations = 1;
    return MakeDeviceDescriptor(d);
}

QByteArray TestDevice::ConfigurationDescriptor(quint8 index)
{
    if (index != 0)
        return {};
    InterfaceSpec interface;
    interface.endpoints = {{0x01, USB_ENDPOINT_TYPE_BULK, 64, 0},
                           {0x81, USB_ENDPOINT_TYPE_BULK, 64, 0},
                           {0x83, USB_ENDPOINT_TYPE_INTERRUPT, 64, 10}};
    return MakeConfigurationDescriptor(1, 0x80, 50, {interface});
}

QByteArray TestDevice::StringDescriptor(quint8 index, quint16 languageId)
{
    languagesAsked << languageId;
    switch (index) {
    case 0:
        return MakeLanguageDescriptor();
    case 1:
        return MakeStringDescriptor("Test maker");
    case 2:
        return MakeStringDescriptor("0042A");
    default:
        return {};
    }
}

void TestDevice::Connected(UsbPort* port)
{
    std::lock_guard lock(portMutex_);
    port_ = port;
    connected = true;
}

void TestDevice::Disconnected()
{
    std::lock_guard lock(portMutex_);
    port_ = nullptr;
    connected = false;
}

void TestDevice::ConfigurationSelected(quint8 value)
{
    configuration = value;
}

UsbResponse TestDevice::ControlTransfer(const UsbSetupPacket& setup, QByteArray& data)
{
    if ((setup.requestType & 0x60) != 0x40)
        return UsbResponse::Stall;
    switch (setup.request) {
    case 0x10:
        stored_ = data;
        return UsbResponse::Ack;
    case 0x11:
        data = stored_.left(setup.length);
        return UsbResponse::Ack;
    case 0x20: {
        std::lock_guard lock(portMutex_);
        if (port_)
            port_->Reenumerate(next, 100);
        return UsbResponse::Ack;
    }
    default:
        return UsbResponse::Stall;
    }
}

UsbResponse TestDevice::BulkOut(quint8 endpoint, const QByteArray& data)
{
    if (endpoint != 0x01)
        return UsbResponse::Stall;
    received << data;
    QByteArray reply = data;
    std::reverse(reply.begin(), reply.end());
    Send(0x81, reply);
    return UsbResponse::Ack;
}

void TestDevice::Send(quint8 endpoint, const QByteArray& packet)
{
    std::lock_guard lock(portMutex_);
    if (port_)
        port_->SendIn(endpoint, packet);
}
