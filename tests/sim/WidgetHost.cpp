#include "tests/sim/WidgetHost.h"
#include "tests/platform/usb/UrbClient.h"

#include <gtest/gtest.h>

WidgetHost::WidgetHost(PDEVICE_OBJECT pdo)
    : pdo_(pdo)
{
    ObReferenceObject(pdo_);
}

WidgetHost::~WidgetHost()
{
    ObDereferenceObject(pdo_);
}

QByteArray WidgetHost::Descriptor(UCHAR type, UCHAR index, USHORT language)
{
    char buffer[1024];
    URB urb = DescriptorUrb(type, index, language, buffer, sizeof buffer);
    if (!NT_SUCCESS(SubmitUrb(pdo_, urb)))
        return {};
    return QByteArray(buffer, int(urb.UrbControlDescriptorRequest.TransferBufferLength));
}

NTSTATUS WidgetHost::VendorWrite(UCHAR request, USHORT value, const QByteArray& data)
{
    QByteArray copy = data;
    URB urb = VendorUrb(false, request, value, copy.data(), ULONG(copy.size()));
    return SubmitUrb(pdo_, urb);
}

QByteArray WidgetHost::Configure()
{
    QByteArray configuration = Descriptor(USB_CONFIGURATION_DESCRIPTOR_TYPE, 0);
    auto* descriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(configuration.data());
    USBD_INTERFACE_LIST_ENTRY list[2] = {
        {USBD_ParseConfigurationDescriptorEx(descriptor, descriptor, -1, -1, -1, -1, -1), nullptr}, {nullptr, nullptr}};
    PURB select = USBD_CreateConfigurationRequestEx(descriptor, list);
    if (!select)
        return {};
    for (ULONG i = 0; i < list[0].Interface->NumberOfPipes; ++i)
        list[0].Interface->Pipes[i].MaximumTransferSize = 65535;
    QByteArray endpoints;
    if (NT_SUCCESS(SubmitUrbInPlace(pdo_, select))) {
        for (ULONG i = 0; i < list[0].Interface->NumberOfPipes; ++i) {
            const USBD_PIPE_INFORMATION& pipe = list[0].Interface->Pipes[i];
            pipes_[pipe.EndpointAddress] = pipe.PipeHandle;
            endpoints.append(char(pipe.EndpointAddress));
        }
    }
    ExFreePool(select);
    return endpoints;
}

NTSTATUS WidgetHost::Write(quint8 endpoint, const QByteArray& data)
{
    QByteArray copy = data;
    URB urb = TransferUrb(pipes_[endpoint], copy.data(), ULONG(copy.size()));
    return SubmitUrb(pdo_, urb);
}

QByteArray WidgetHost::Read(quint8 endpoint, qint64 timeoutMs)
{
    char buffer[64];
    SubmittedUrb read(pdo_, TransferUrb(pipes_[endpoint], buffer, sizeof buffer,
                                        USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK));
    if (!read.Wait(timeoutMs)) {
        read.Cancel();
        read.Wait(-1);
        return {};
    }
    if (!NT_SUCCESS(read.Status()))
        return {};
    return QByteArray(buffer, int(read.Urb().UrbBulkOrInterruptTransfer.TransferBufferLength));
}
