#pragma once

#include "platform/usb/Usb.h"

#include <QByteArray>
#include <QString>
#include <vector>

// Reading and writing USB descriptors: the checks the USB stack makes before it trusts a
// configuration descriptor, and builders with which device models state their own.
namespace platform::usb {

struct DescriptorSpan
{
    const UCHAR* data;
    UCHAR length;
    UCHAR type;
};

// The descriptors of a configuration descriptor, the configuration header first. False
// when it is malformed: a header shorter than 9 bytes or of another type, a total length
// shorter than the header, a descriptor shorter than 2 bytes (a zero length would never
// end the walk) or one that runs past the total length.
bool SplitConfigurationDescriptor(const USB_CONFIGURATION_DESCRIPTOR* configuration,
                                  std::vector<DescriptorSpan>* descriptors);

// The endpoint descriptors that follow `interface` up to the next interface descriptor.
// False when `interface` is not one of `descriptors`, or fewer well-formed endpoint
// descriptors follow it than it announces.
bool EndpointsOfInterface(const std::vector<DescriptorSpan>& descriptors, const USB_INTERFACE_DESCRIPTOR* interface,
                          std::vector<const USB_ENDPOINT_DESCRIPTOR*>* endpoints);

struct EndpointSpec
{
    UCHAR address = 0;
    UCHAR attributes = USB_ENDPOINT_TYPE_BULK;
    USHORT maxPacketSize = 64;
    UCHAR interval = 0;
};

struct InterfaceSpec
{
    UCHAR number = 0;
    UCHAR alternateSetting = 0;
    UCHAR interfaceClass = 0xFF;
    UCHAR interfaceSubClass = 0;
    UCHAR interfaceProtocol = 0;
    std::vector<EndpointSpec> endpoints;
};

// bLength and bDescriptorType are filled in.
QByteArray MakeDeviceDescriptor(USB_DEVICE_DESCRIPTOR fields);
QByteArray MakeConfigurationDescriptor(UCHAR configurationValue, UCHAR attributes, UCHAR maxPower,
                                       const std::vector<InterfaceSpec>& interfaces);
// The text in UTF-16, clipped to what one descriptor holds.
QByteArray MakeStringDescriptor(const QString& text);
// String descriptor 0: the languages the device's strings come in.
QByteArray MakeLanguageDescriptor(USHORT languageId = 0x0409);

} // namespace platform::usb
