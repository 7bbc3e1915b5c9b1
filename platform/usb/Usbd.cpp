#include "platform/usb/Usb.h"
#include "platform/usb/UsbDescriptors.h"

#include <atomic>
#include <cstring>
#include <vector>

namespace {

constexpr ULONG kDefaultUsbdiVersion = 0x600;
constexpr ULONG kDefaultUsbVersion = 0x200;
std::atomic<ULONG> usbdiVersion{kDefaultUsbdiVersion};
std::atomic<ULONG> usbVersion{kDefaultUsbVersion};

constexpr ULONG kUrbTag = MakePoolTag("USBD");

bool Matches(LONG wanted, UCHAR value)
{
    return wanted == -1 || wanted == LONG(value);
}

} // namespace

VOID USBD_GetUSBDIVersion(PUSBD_VERSION_INFORMATION VersionInformation)
{
    VersionInformation->USBDI_Version = usbdiVersion;
    VersionInformation->Supported_USB_Version = usbVersion;
}

PUSB_INTERFACE_DESCRIPTOR USBD_ParseConfigurationDescriptorEx(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                                              PVOID StartPosition, LONG InterfaceNumber,
                                                              LONG AlternateSetting, LONG InterfaceClass,
                                                              LONG InterfaceSubClass, LONG InterfaceProtocol)
{
    std::vector<platform::usb::DescriptorSpan> descriptors;
    if (!platform::usb::SplitConfigurationDescriptor(ConfigurationDescriptor, &descriptors))
        return nullptr;
    const auto* start = static_cast<const UCHAR*>(StartPosition);
    for (const platform::usb::DescriptorSpan& span : descriptors) {
        if (span.data < start || span.type != USB_INTERFACE_DESCRIPTOR_TYPE ||
            span.length < sizeof(USB_INTERFACE_DESCRIPTOR))
            continue;
        auto* interface = reinterpret_cast<PUSB_INTERFACE_DESCRIPTOR>(const_cast<UCHAR*>(span.data));
        if (Matches(InterfaceNumber, interface->bInterfaceNumber) &&
            Matches(AlternateSetting, interface->bAlternateSetting) &&
            Matches(InterfaceClass, interface->bInterfaceClass) &&
            Matches(InterfaceSubClass, interface->bInterfaceSubClass) &&
            Matches(InterfaceProtocol, interface->bInterfaceProtocol))
            return interface;
    }
    return nullptr;
}

PURB USBD_CreateConfigurationRequestEx(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                       PUSBD_INTERFACE_LIST_ENTRY InterfaceList)
{
    std::vector<platform::usb::DescriptorSpan> descriptors;
    if (!InterfaceList || !platform::usb::SplitConfigurationDescriptor(ConfigurationDescriptor, &descriptors))
        return nullptr;

    SIZE_T size = offsetof(_URB_SELECT_CONFIGURATION, Interface);
    int interfaces = 0;
    for (PUSBD_INTERFACE_LIST_ENTRY entry = InterfaceList; entry->InterfaceDescriptor; ++entry) {
        std::vector<const USB_ENDPOINT_DESCRIPTOR*> endpoints;
        if (!platform::usb::EndpointsOfInterface(descriptors, entry->InterfaceDescriptor, &endpoints))
            return nullptr;
        size += GET_USBD_INTERFACE_SIZE(ULONG(endpoints.size()));
        ++interfaces;
    }
    if (interfaces == 0 || size > 0xFFFF)
        return nullptr;

    auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, size, kUrbTag));
    if (!urb)
        return nullptr;
    std::memset(static_cast<void*>(urb), 0, size);
    UsbBuildSelectConfigurationRequest(urb, USHORT(size), ConfigurationDescriptor);
    auto* cursor = reinterpret_cast<UCHAR*>(&urb->UrbSelectConfiguration.Interface);
    for (PUSBD_INTERFACE_LIST_ENTRY entry = InterfaceList; entry->InterfaceDescriptor; ++entry) {
        std::vector<const USB_ENDPOINT_DESCRIPTOR*> endpoints;
        platform::usb::EndpointsOfInterface(descriptors, entry->InterfaceDescriptor, &endpoints);
        auto* info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(cursor);
        info->Length = GET_USBD_INTERFACE_SIZE(ULONG(endpoints.size()));
        info->InterfaceNumber = entry->InterfaceDescriptor->bInterfaceNumber;
        info->AlternateSetting = entry->InterfaceDescriptor->bAlternateSetting;
        info->NumberOfPipes = ULONG(endpoints.size());
        for (size_t i = 0; i < endpoints.size(); ++i)
            info->Pipes[i].MaximumTransferSize = USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE;
        entry->Interface = info;
        cursor += info->Length;
    }
    return urb;
}

namespace platform::usb {

void SetUsbdiVersion(ULONG usbdi, ULONG supportedUsb)
{
    usbdiVersion = usbdi;
    usbVersion = supportedUsb;
}

void ResetUsbdiVersion()
{
    SetUsbdiVersion(kDefaultUsbdiVersion, kDefaultUsbVersion);
}

NTSTATUS NtStatusFromUsbd(USBD_STATUS status)
{
    if (USBD_SUCCESS(status))
        return STATUS_SUCCESS;
    switch (status) {
    case USBD_STATUS_CANCELED:
        return STATUS_CANCELLED;
    case USBD_STATUS_DEVICE_GONE:
        return STATUS_DEVICE_NOT_CONNECTED;
    case USBD_STATUS_INVALID_PARAMETER:
    case USBD_STATUS_INVALID_PIPE_HANDLE:
    case USBD_STATUS_INVALID_URB_FUNCTION:
        return STATUS_INVALID_PARAMETER;
    case USBD_STATUS_INSUFFICIENT_RESOURCES:
        return STATUS_INSUFFICIENT_RESOURCES;
    default:
        return STATUS_UNSUCCESSFUL;
    }
}

} // namespace platform::usb
