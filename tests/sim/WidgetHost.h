#pragma once

#include "platform/usb/Usb.h"

#include <QByteArray>
#include <map>

// Talks to a device on the bus with URBs, as a function driver would: descriptors,
// vendor requests, the configuration and one transfer at a time on its pipes.
class WidgetHost
{
public:
    explicit WidgetHost(PDEVICE_OBJECT pdo); // holds a reference on the device object
    ~WidgetHost();
    WidgetHost(const WidgetHost&) = delete;
    WidgetHost& operator=(const WidgetHost&) = delete;

    QByteArray Descriptor(UCHAR type, UCHAR index, USHORT language = 0);
    NTSTATUS VendorWrite(UCHAR request, USHORT value, const QByteArray& data);
    // The endpoint addresses of the selected interface's pipes, in order.
    QByteArray Configure();
    NTSTATUS Write(quint8 endpoint, const QByteArray& data);
    // One packet, or an empty array when none came within `timeoutMs`.
    QByteArray Read(quint8 endpoint, qint64 timeoutMs = 1000);

private:
    PDEVICE_OBJECT pdo_;
    std::map<quint8, USBD_PIPE_HANDLE> pipes_;
};
