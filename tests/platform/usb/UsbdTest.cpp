#include "platform/usb/Usb.h"
#include "platform/usb/UsbDescriptors.h"
#include "tests/platform/kernel/KernelTestSupport.h"

using namespace platform::usb;

namespace {

// One interface with the endpoints given.
QByteArray Configuration(int endpoints)
{
    InterfaceSpec interface;
    interface.number = 3;
    for (int i = 0; i < endpoints; ++i)
        interface.endpoints.push_back({UCHAR(0x81 + i), USB_ENDPOINT_TYPE_BULK, 64, 0});
    return MakeConfigurationDescriptor(1, 0x80, 50, {interface});
}

PUSB_CONFIGURATION_DESCRIPTOR AsConfiguration(QByteArray& bytes)
{
    return reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(bytes.data());
}

class Usbd : public KernelTest
{
};

TEST_F(Usbd, ParsingFindsTheInterfaceThatMatches)
{
    QByteArray bytes = Configuration(2);
    PUSB_CONFIGURATION_DESCRIPTOR configuration = AsConfiguration(bytes);
    PUSB_INTERFACE_DESCRIPTOR any = USBD_ParseConfigurationDescriptorEx(configuration, configuration, -1, -1, -1, -1, -1);
    ASSERT_NE(any, nullptr);
    EXPECT_EQ(any->bInterfaceNumber, 3);
    EXPECT_EQ(USBD_ParseConfigurationDescriptorEx(configuration, configuration, 3, 0, 0xFF, -1, -1), any);
    EXPECT_EQ(USBD_ParseConfigurationDescriptorEx(configuration, configuration, 4, -1, -1, -1, -1), nullptr);
    // Starting past it finds nothing more.
    EXPECT_EQ(USBD_ParseConfigurationDescriptorEx(configuration, reinterpret_cast<UCHAR*>(any) + 1, -1, -1, -1, -1, -1),
              nullptr);
}

TEST_F(Usbd, TheConfigurationRequestHasRoomForEveryPipe)
{
    QByteArray bytes = Configuration(6);
    PUSB_CONFIGURATION_DESCRIPTOR configuration = AsConfiguration(bytes);
    USBD_INTERFACE_LIST_ENTRY list[2] = {
        {USBD_ParseConfigurationDescriptorEx(configuration, configuration, -1, -1, -1, -1, -1), nullptr}, {nullptr, nullptr}};
    PURB urb = USBD_CreateConfigurationRequestEx(configuration, list);
    ASSERT_NE(urb, nullptr);
    EXPECT_EQ(urb->UrbHeader.Function, URB_FUNCTION_SELECT_CONFIGURATION);
    EXPECT_EQ(urb->UrbHeader.Length, offsetof(_URB_SELECT_CONFIGURATION, Interface) + GET_USBD_INTERFACE_SIZE(6));
    EXPECT_EQ(urb->UrbSelectConfiguration.ConfigurationDescriptor, configuration);
    ASSERT_EQ(list[0].Interface, &urb->UrbSelectConfiguration.Interface);
    EXPECT_EQ(list[0].Interface->InterfaceNumber, 3);
    EXPECT_EQ(list[0].Interface->NumberOfPipes, 6u);
    EXPECT_EQ(list[0].Interface->Pipes[5].MaximumTransferSize, USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE);
    ExFreePool(urb);
}

TEST_F(Usbd, MalformedDescriptorsAreRefused)
{
    struct Case
    {
        const char* name;
        std::function<void(QByteArray&)> damage;
    };
    const Case cases[] = {
        {"a zero-length descriptor", [](QByteArray& b) { b[9 + 9] = 0; }},
        {"a descriptor past the total length", [](QByteArray& b) { b[9 + 9] = 40; }},
        {"a total length past the interface", [](QByteArray& b) { b[2] = 12; }},
        {"a header that is not a configuration", [](QByteArray& b) { b[1] = USB_DEVICE_DESCRIPTOR_TYPE; }},
        {"a total length below the header", [](QByteArray& b) { b[2] = 8; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = Configuration(2);
        PUSB_CONFIGURATION_DESCRIPTOR configuration = AsConfiguration(bytes);
        USBD_INTERFACE_LIST_ENTRY list[2] = {
            {reinterpret_cast<PUSB_INTERFACE_DESCRIPTOR>(bytes.data() + 9), nullptr}, {nullptr, nullptr}};
        c.damage(bytes);
        EXPECT_EQ(USBD_ParseConfigurationDescriptorEx(configuration, configuration, -1, -1, -1, -1, -1), nullptr);
        EXPECT_EQ(USBD_CreateConfigurationRequestEx(configuration, list), nullptr);
    }

    // An interface that announces more endpoints than follow it.
    QByteArray bytes = Configuration(2);
    bytes[9 + 4] = 3;
    PUSB_CONFIGURATION_DESCRIPTOR configuration = AsConfiguration(bytes);
    USBD_INTERFACE_LIST_ENTRY list[2] = {
        {USBD_ParseConfigurationDescriptorEx(configuration, configuration, -1, -1, -1, -1, -1), nullptr}, {nullptr, nullptr}};
    ASSERT_NE(list[0].InterfaceDescriptor, nullptr);
    EXPECT_EQ(USBD_CreateConfigurationRequestEx(configuration, list), nullptr);
    // And one that is not part of the descriptor at all.
    USB_INTERFACE_DESCRIPTOR stray{9, USB_INTERFACE_DESCRIPTOR_TYPE, 0, 0, 0, 0, 0, 0, 0};
    list[0].InterfaceDescriptor = &stray;
    EXPECT_EQ(USBD_CreateConfigurationRequestEx(configuration, list), nullptr);
}

TEST_F(Usbd, TheReportedVersionCanBeSetForTests)
{
    USBD_VERSION_INFORMATION version;
    USBD_GetUSBDIVersion(&version);
    EXPECT_EQ(version.USBDI_Version, 0x600u);
    EXPECT_EQ(version.Supported_USB_Version, 0x200u);
    SetUsbdiVersion(0x100, 0x110);
    USBD_GetUSBDIVersion(&version);
    EXPECT_EQ(version.USBDI_Version, 0x100u);
    EXPECT_EQ(version.Supported_USB_Version, 0x110u);
    ResetUsbdiVersion();
}

} // namespace
