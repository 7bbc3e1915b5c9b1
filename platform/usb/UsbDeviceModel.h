#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <memory>

namespace platform::usb {

class UsbDeviceModel;

// A control transfer's setup packet as the device receives it.
struct UsbSetupPacket
{
    quint8 requestType = 0; // bit 7: device to host; bits 6-5: 0 standard, 1 class, 2 vendor
    quint8 request = 0;
    quint16 value = 0;
    quint16 index = 0;
    quint16 length = 0;

    bool DeviceToHost() const { return (requestType & 0x80) != 0; }
};

// What a device's handshake says about a transfer.
enum class UsbResponse { Ack, Stall };

// The device's side of the port it is plugged into. Valid from
// UsbDeviceModel::Connected() until UsbDeviceModel::Disconnected(); thread-safe.
class UsbPort
{
public:
    virtual ~UsbPort() = default;

    // One packet for the host on an IN endpoint: it completes the oldest transfer pending
    // on that pipe, or waits for the next one. Packets sent from inside a request are
    // delivered before that request completes.
    virtual void SendIn(quint8 endpoint, const QByteArray& packet) = 0;

    // The device leaves the bus (as a device that re-enumerates after loading firmware):
    // once the request in progress has completed, its transfers end with "device gone"
    // and its driver sees it removed; after `delayMs` of virtual time `next`, if any, is
    // attached to the same port in its place.
    virtual void Reenumerate(std::shared_ptr<UsbDeviceModel> next, qint64 delayMs) = 0;
};

// A simulated USB device as the bus sees it: its descriptors and how it answers control
// and bulk OUT transfers. IN data goes out through UsbPort::SendIn.
//
// Threads: the bus calls a device one call at a time, from whatever thread submitted the
// request, so a device needs no lock for its own state unless its own threads share it.
class UsbDeviceModel
{
public:
    virtual ~UsbDeviceModel() = default;

    virtual void Connected(UsbPort* port) { Q_UNUSED(port); }
    virtual void Disconnected() {}

    virtual QByteArray DeviceDescriptor() = 0;
    // The whole descriptor (wTotalLength bytes); empty when there is no such configuration.
    virtual QByteArray ConfigurationDescriptor(quint8 index) = 0;
    // Empty when there is no such string (the request stalls). Index 0 is the language list.
    virtual QByteArray StringDescriptor(quint8 index, quint16 languageId)
    {
        Q_UNUSED(index);
        Q_UNUSED(languageId);
        return {};
    }
    // 0: back to the unconfigured state.
    virtual void ConfigurationSelected(quint8 value) { Q_UNUSED(value); }

    // A control transfer on the default pipe. Host to device: `data` holds what the host
    // sent. Device to host: the device puts its answer in `data` (at most setup.length bytes).
    virtual UsbResponse ControlTransfer(const UsbSetupPacket& setup, QByteArray& data)
    {
        Q_UNUSED(setup);
        Q_UNUSED(data);
        return UsbResponse::Stall;
    }
    // One bulk or interrupt OUT transfer, whole (a device that works in packets splits it
    // by its endpoint's packet size).
    virtual UsbResponse BulkOut(quint8 endpoint, const QByteArray& data)
    {
        Q_UNUSED(endpoint);
        Q_UNUSED(data);
        return UsbResponse::Stall;
    }
};

} // namespace platform::usb
