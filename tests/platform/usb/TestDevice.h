#pragma once

#include "platform/usb/UsbDeviceModel.h"
#include "platform/usb/UsbDescriptors.h"

#include <QList>
#include <functional>
#include <mutex>

// A small device for the bus's tests: one interface with a bulk OUT endpoint 0x01, a bulk
// IN endpoint 0x81 and an interrupt IN endpoint 0x83 (64-byte packets). Every OUT
// transfer is recorded and answered on 0x81 with the same bytes reversed; vendor request
// 0x10 stores its data, 0x11 reads it back, 0x20 makes the device re-enumerate as `next`.
class TestDevice : public platform::usb::UsbDeviceModel
{
public:
    static constexpr USHORT kVendor = 0x1111;
    static constexpr USHORT kProduct = 0x2222;

    explicit TestDevice(USHORT product = kProduct);

    QByteArray DeviceDescriptor() override;
    QByteArray ConfigurationDescriptor(quint8 index) override;
    QByteArray StringDescriptor(quint8 index, quint16 languageId) override;
    void Connected(platform::usb::UsbPort* port) override;
    void Disconnected() override;
    void ConfigurationSelected(quint8 value) override;
    platform::usb::UsbResponse ControlTransfer(const platform::usb::UsbSetupPacket& setup, QByteArray& data) override;
    platform::usb::UsbResponse BulkOut(quint8 endpoint, const QByteArray& data) override;

    // Sends a packet on an IN endpoint as the device's own initiative.
    void Send(quint8 endpoint, const QByteArray& packet);

    std::shared_ptr<UsbDeviceModel> next;
    QList<QByteArray> received;    // OUT transfers, in order
    QList<quint16> languagesAsked; // language ids of string requests
    quint8 configuration = 0;
    bool connected = false;

private:
    USHORT product_;
    QByteArray stored_;
    platform::usb::UsbPort* port_ = nullptr;
    std::mutex portMutex_;
};
