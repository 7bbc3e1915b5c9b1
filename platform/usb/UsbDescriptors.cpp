#include "platform/usb/UsbDescriptors.h"

#include <QtEndian>
#include <algorithm>

namespace platform::usb {

bool SplitConfigurationDescriptor(const USB_CONFIGURATION_DESCRIPTOR* configuration,
                                  std::vector<DescriptorSpan>* descriptors)
{
    descriptors->clear();
    if (!configuration || configuration->bLength < sizeof(USB_CONFIGURATION_DESCRIPTOR) ||
        configuration->bDescriptorType != USB_CONFIGURATION_DESCRIPTOR_TYPE ||
        configuration->wTotalLength < configuration->bLength)
        return false;
    const auto* base = reinterpret_cast<const UCHAR*>(configuration);
    const ULONG total = configuration->wTotalLength;
    for (ULONG offset = 0; offset < total;) {
        if (total - offset < 2)
            return false;
        const UCHAR length = base[offset];
        if (length < 2 || offset + length > total)
            return false;
        descriptors->push_back(DescriptorSpan{base + offset, length, base[offset + 1]});
        offset += length;
    }
    return true;
}

bool EndpointsOfInterface(const std::vector<DescriptorSpan>& descriptors, const USB_INTERFACE_DESCRIPTOR* interface,
                          std::vector<const USB_ENDPOINT_DESCRIPTOR*>* endpoints)
{
    endpoints->clear();
    auto it = std::find_if(descriptors.begin(), descriptors.end(), [interface](const DescriptorSpan& span) {
        return span.data == reinterpret_cast<const UCHAR*>(interface);
    });
    if (it == descriptors.end() || it->type != USB_INTERFACE_DESCRIPTOR_TYPE ||
        it->length < sizeof(USB_INTERFACE_DESCRIPTOR))
        return false;
    for (++it; it != descriptors.end() && it->type != USB_INTERFACE_DESCRIPTOR_TYPE; ++it) {
        if (endpoints->size() == interface->bNumEndpoints)
            break;
        if (it->type != USB_ENDPOINT_DESCRIPTOR_TYPE)
            continue;
        if (it->length < sizeof(USB_ENDPOINT_DESCRIPTOR))
            return false;
        endpoints->push_back(reinterpret_cast<const USB_ENDPOINT_DESCRIPTOR*>(it->data));
    }
    return endpoints->size() == interface->bNumEndpoints;
}

QByteArray MakeDeviceDescriptor(USB_DEVICE_DESCRIPTOR fields)
{
    fields.bLength = sizeof(USB_DEVICE_DESCRIPTOR);
    fields.bDescriptorType = USB_DEVICE_DESCRIPTOR_TYPE;
    return QByteArray(reinterpret_cast<const char*>(&fields), sizeof fields);
}

QByteArray MakeConfigurationDescriptor(UCHAR configurationValue, UCHAR attributes, UCHAR maxPower,
                                       const std::vector<InterfaceSpec>& interfaces)
{
    QByteArray body;
    for (const InterfaceSpec& spec : interfaces) {
        USB_INTERFACE_DESCRIPTOR interface{sizeof(USB_INTERFACE_DESCRIPTOR), USB_INTERFACE_DESCRIPTOR_TYPE,
                                           spec.number, spec.alternateSetting, UCHAR(spec.endpoints.size()),
                                           spec.interfaceClass, spec.interfaceSubClass, spec.interfaceProtocol, 0};
        body.append(reinterpret_cast<const char*>(&interface), sizeof interface);
        for (const EndpointSpec& endpointSpec : spec.endpoints) {
            USB_ENDPOINT_DESCRIPTOR endpoint{sizeof(USB_ENDPOINT_DESCRIPTOR), USB_ENDPOINT_DESCRIPTOR_TYPE,
                                             endpointSpec.address, endpointSpec.attributes,
                                             endpointSpec.maxPacketSize, endpointSpec.interval};
            body.append(reinterpret_cast<const char*>(&endpoint), sizeof endpoint);
        }
    }
    USB_CONFIGURATION_DESCRIPTOR header{sizeof(USB_CONFIGURATION_DESCRIPTOR),
                                        USB_CONFIGURATION_DESCRIPTOR_TYPE,
                                        USHORT(sizeof(USB_CONFIGURATION_DESCRIPTOR) + body.size()),
                                        UCHAR(interfaces.size()),
                                        configurationValue,
                                        0,
                                        attributes,
                                        maxPower};
    return QByteArray(reinterpret_cast<const char*>(&header), sizeof header) + body;
}

QByteArray MakeStringDescriptor(const QString& text)
{
    const QString clipped = text.left(126);
    QByteArray descriptor(2 + 2 * clipped.size(), '\0');
    descriptor[0] = char(descriptor.size());
    descriptor[1] = char(USB_STRING_DESCRIPTOR_TYPE);
    for (int i = 0; i < clipped.size(); ++i)
        qToLittleEndian<quint16>(clipped[i].unicode(), descriptor.data() + 2 + 2 * i);
    return descriptor;
}

QByteArray MakeLanguageDescriptor(USHORT languageId)
{
    QByteArray descriptor(4, '\0');
    descriptor[0] = 4;
    descriptor[1] = char(USB_STRING_DESCRIPTOR_TYPE);
    qToLittleEndian<quint16>(languageId, descriptor.data() + 2);
    return descriptor;
}

} // namespace platform::usb
