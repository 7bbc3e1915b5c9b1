#include "platform/usb/UsbBus.h"
#include "platform/kernel/Loader.h"
#include "platform/kernel/PnpManager.h"
#include "platform/usb/Usb.h"
#include "platform/usb/UsbDescriptors.h"

#include <QDebug>
#include <algorithm>
#include <cstring>
#include <deque>
#include <list>

namespace platform::usb {

namespace {

// A device whose host never reads keeps at most this many packets per pipe; older ones
// are dropped, as a device's buffers would overflow.
constexpr size_t kMaxQueuedPackets = 256;

// Completions that become due while a device model is being called are held back until
// the call has returned, so that a completion routine that submits the next request
// never re-enters the device.
thread_local std::vector<PIRP>* tDeferred = nullptr;

void CompleteOrDefer(PIRP irp)
{
    if (tDeferred)
        tDeferred->push_back(irp);
    else
        IoCompleteRequest(irp, IO_NO_INCREMENT);
}

PURB UrbOf(PIRP irp)
{
    return static_cast<PURB>(IoGetCurrentIrpStackLocation(irp)->Parameters.Others.Argument1);
}

// Sets the URB's and the request's status; the request is then ready to complete.
NTSTATUS Finish(PIRP irp, PURB urb, USBD_STATUS status)
{
    if (urb)
        urb->UrbHeader.Status = status;
    const NTSTATUS ntStatus = NtStatusFromUsbd(status);
    irp->IoStatus.Status = ntStatus;
    irp->IoStatus.Information = 0;
    return ntStatus;
}

NTSTATUS CompleteUrb(PIRP irp, PURB urb, USBD_STATUS status)
{
    const NTSTATUS ntStatus = Finish(irp, urb, status);
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return ntStatus;
}

// The memory a transfer reads or writes: its MDL's system address when it has one,
// else its buffer.
USBD_STATUS ResolveBuffer(PVOID buffer, PMDL mdl, ULONG length, UCHAR** data)
{
    *data = nullptr;
    if (length == 0)
        return USBD_STATUS_SUCCESS;
    if (mdl) {
        if (MmGetMdlByteCount(mdl) < length)
            return USBD_STATUS_INVALID_PARAMETER;
        *data = static_cast<UCHAR*>(MmGetSystemAddressForMdlSafe(mdl, NormalPagePriority));
        return *data ? USBD_STATUS_SUCCESS : USBD_STATUS_INSUFFICIENT_RESOURCES;
    }
    if (!buffer)
        return USBD_STATUS_INVALID_PARAMETER;
    *data = static_cast<UCHAR*>(buffer);
    return USBD_STATUS_SUCCESS;
}

} // namespace

struct UsbBus::Attachment : UsbPort
{
    struct Pipe
    {
        USBD_PIPE_HANDLE handle;
        quint8 endpoint;
        USBD_PIPE_TYPE type;
        USHORT maxPacketSize;
        ULONG maxTransferSize;
    };

    struct Pending
    {
        PIRP irp;
        PURB urb;
        quint8 endpoint;
        UCHAR* data;
        ULONG length;
    };

    UsbBus* bus = nullptr;
    PortId port = 0;
    PDEVICE_OBJECT pdo = nullptr;

    std::mutex modelMutex; // one device call at a time
    std::shared_ptr<UsbDeviceModel> model;

    std::mutex mutex; // guards what follows
    bool gone = false;
    ULONG generation = 0;
    bool configured = false;
    std::vector<Pipe> pipes;
    std::map<quint8, std::deque<QByteArray>> inData;
    std::list<Pending> pending;

    // Calls the device with completions held back until it returns. `fallback` when the
    // device has already been released.
    template <class Result, class Call>
    Result CallDevice(Result fallback, Call call)
    {
        std::vector<PIRP> deferred;
        std::vector<PIRP>* outer = tDeferred;
        tDeferred = &deferred;
        Result result = fallback;
        {
            std::lock_guard lock(modelMutex);
            if (model)
                result = call(*model);
        }
        tDeferred = outer;
        for (PIRP irp : deferred)
            CompleteOrDefer(irp);
        return result;
    }

    const Pipe* FindPipe(USBD_PIPE_HANDLE handle) const
    {
        for (const Pipe& pipe : pipes)
            if (pipe.handle == handle)
                return &pipe;
        return nullptr;
    }

    // Takes the waiting transfers that `match` selects, leaving those whose cancel
    // routine is already running to it. Caller holds `mutex`.
    template <class Match>
    std::vector<Pending> TakePending(Match match)
    {
        std::vector<Pending> taken;
        for (auto it = pending.begin(); it != pending.end();) {
            if (match(*it) && IoSetCancelRoutine(it->irp, nullptr)) {
                taken.push_back(*it);
                it = pending.erase(it);
            } else {
                ++it;
            }
        }
        return taken;
    }

    static void Fail(const std::vector<Pending>& transfers, USBD_STATUS status)
    {
        for (const Pending& transfer : transfers) {
            transfer.urb->UrbBulkOrInterruptTransfer.TransferBufferLength = 0;
            Finish(transfer.irp, transfer.urb, status);
            CompleteOrDefer(transfer.irp);
        }
    }

    // Completes an IN transfer with one packet; returns the status it completes with.
    static NTSTATUS Deliver(const Pending& transfer, const QByteArray& packet)
    {
        USBD_STATUS status = USBD_STATUS_SUCCESS;
        ULONG count = 0;
        if (ULONG(packet.size()) > transfer.length) {
            status = USBD_STATUS_BUFFER_OVERRUN;
        } else {
            count = ULONG(packet.size());
            if (count)
                std::memcpy(transfer.data, packet.constData(), count);
        }
        transfer.urb->UrbBulkOrInterruptTransfer.TransferBufferLength = count;
        const NTSTATUS ntStatus = Finish(transfer.irp, transfer.urb, status);
        CompleteOrDefer(transfer.irp);
        return ntStatus;
    }

    void SendIn(quint8 endpoint, const QByteArray& packet) override
    {
        std::vector<Pending> taken;
        {
            std::lock_guard lock(mutex);
            if (gone)
                return;
            bool delivered = false;
            for (auto it = pending.begin(); it != pending.end() && !delivered; ++it) {
                if (it->endpoint == endpoint && USB_ENDPOINT_DIRECTION_IN(endpoint) &&
                    IoSetCancelRoutine(it->irp, nullptr)) {
                    taken.push_back(*it);
                    pending.erase(it);
                    delivered = true;
                    break;
                }
            }
            if (!delivered) {
                std::deque<QByteArray>& queue = inData[endpoint];
                if (queue.size() == kMaxQueuedPackets) {
                    qWarning("USB bus: port %d endpoint 0x%02X: the host reads nothing; dropping a packet", port,
                             endpoint);
                    queue.pop_front();
                }
                queue.push_back(packet);
            }
        }
        for (const Pending& transfer : taken)
            Deliver(transfer, packet);
    }

    void Reenumerate(std::shared_ptr<UsbDeviceModel> next, qint64 delayMs) override;
};

namespace {

struct PdoExtension
{
    UsbBus::Attachment* attachment;
};

UsbBus::Attachment* AttachmentOf(PDEVICE_OBJECT pdo)
{
    return static_cast<PdoExtension*>(pdo->DeviceExtension)->attachment;
}

VOID CancelTransfer(PDEVICE_OBJECT pdo, PIRP irp)
{
    IoReleaseCancelSpinLock(irp->CancelIrql);
    UsbBus::Attachment* attachment = AttachmentOf(pdo);
    bool found = false;
    {
        std::lock_guard lock(attachment->mutex);
        for (auto it = attachment->pending.begin(); it != attachment->pending.end(); ++it) {
            if (it->irp == irp) {
                attachment->pending.erase(it);
                found = true;
                break;
            }
        }
    }
    if (found) {
        UrbOf(irp)->UrbBulkOrInterruptTransfer.TransferBufferLength = 0;
        CompleteUrb(irp, UrbOf(irp), USBD_STATUS_CANCELED);
    }
}

} // namespace

void UsbBus::Attachment::Reenumerate(std::shared_ptr<UsbDeviceModel> next, qint64 delayMs)
{
    UsbBus* owner = bus;
    const PortId portId = port;
    std::shared_ptr<Attachment> self;
    {
        std::lock_guard lock(owner->mutex_);
        for (const auto& candidate : owner->attachments_)
            if (candidate.get() == this)
                self = candidate;
    }
    // Posted, so that the request in progress (the one that told the device to leave)
    // completes first and the device is never released from inside its own call.
    owner->pnp_.Post([owner, portId, self, next, delayMs] {
        owner->Leave(self);
        if (!next)
            return;
        owner->pnp_.Post([owner, portId, next] { owner->AttachToPort(portId, next); }, delayMs);
    });
}

// The bus driver's dispatch routines and the handling of each URB function.
struct BusDriver
{
    using Attachment = UsbBus::Attachment;

    static NTSTATUS Entry(PDRIVER_OBJECT driver, PUNICODE_STRING)
    {
        driver->MajorFunction[IRP_MJ_PNP] = &Pnp;
        driver->MajorFunction[IRP_MJ_POWER] = &Power;
        driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = &InternalControl;
        return STATUS_SUCCESS;
    }

    static NTSTATUS CompleteWith(PIRP irp, NTSTATUS status)
    {
        irp->IoStatus.Status = status;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return status;
    }

    static NTSTATUS Pnp(PDEVICE_OBJECT pdo, PIRP irp)
    {
        Attachment* a = AttachmentOf(pdo);
        PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
        switch (stack->MinorFunction) {
        case IRP_MN_START_DEVICE:
        case IRP_MN_QUERY_STOP_DEVICE:
        case IRP_MN_STOP_DEVICE:
        case IRP_MN_CANCEL_STOP_DEVICE:
        case IRP_MN_QUERY_REMOVE_DEVICE:
        case IRP_MN_CANCEL_REMOVE_DEVICE:
        case IRP_MN_SURPRISE_REMOVAL:
            return CompleteWith(irp, STATUS_SUCCESS);
        case IRP_MN_QUERY_CAPABILITIES:
            stack->Parameters.DeviceCapabilities.Capabilities->Removable = 1;
            return CompleteWith(irp, STATUS_SUCCESS);
        case IRP_MN_REMOVE_DEVICE:
            return Remove(a, irp);
        default:
            return CompleteWith(irp, irp->IoStatus.Status);
        }
    }

    // The stack above is gone. A device that has left the bus goes with it; one still
    // plugged in (its driver failed to start) stays, unconfigured.
    static NTSTATUS Remove(Attachment* a, PIRP irp)
    {
        std::vector<Attachment::Pending> transfers;
        bool gone;
        {
            std::lock_guard lock(a->mutex);
            gone = a->gone;
            transfers = a->TakePending([](const Attachment::Pending&) { return true; });
            a->configured = false;
            a->pipes.clear();
            a->inData.clear();
        }
        Attachment::Fail(transfers, gone ? USBD_STATUS_DEVICE_GONE : USBD_STATUS_CANCELED);
        CompleteWith(irp, STATUS_SUCCESS);
        if (gone) {
            std::shared_ptr<UsbDeviceModel> released;
            {
                std::lock_guard lock(a->modelMutex);
                released = std::move(a->model);
            }
            PDEVICE_OBJECT pdo = a->pdo;
            a->pdo = nullptr;
            IoDeleteDevice(pdo);
        }
        return STATUS_SUCCESS;
    }

    static NTSTATUS Power(PDEVICE_OBJECT pdo, PIRP irp)
    {
        Attachment* a = AttachmentOf(pdo);
        const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
        a->bus->RecordPower(a->port, minor);
        PoStartNextPowerIrp(irp);
        // A simulated device cannot wake the system.
        return CompleteWith(irp, minor == IRP_MN_WAIT_WAKE ? STATUS_NOT_SUPPORTED : STATUS_SUCCESS);
    }

    static NTSTATUS InternalControl(PDEVICE_OBJECT pdo, PIRP irp)
    {
        Attachment* a = AttachmentOf(pdo);
        PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
        if (stack->Parameters.DeviceIoControl.IoControlCode != IOCTL_INTERNAL_USB_SUBMIT_URB)
            return CompleteWith(irp, STATUS_INVALID_DEVICE_REQUEST);
        PURB urb = UrbOf(irp);
        if (!urb)
            return CompleteWith(irp, STATUS_INVALID_PARAMETER);
        bool gone;
        {
            std::lock_guard lock(a->mutex);
            gone = a->gone;
        }
        if (gone)
            return CompleteUrb(irp, urb, USBD_STATUS_DEVICE_GONE);

        switch (urb->UrbHeader.Function) {
        case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER:
            return Transfer(*a, irp, urb);
        case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE:
            return CompleteUrb(irp, urb, Descriptor(*a, urb));
        case URB_FUNCTION_SELECT_CONFIGURATION:
            return CompleteUrb(irp, urb, SelectConfiguration(*a, urb));
        case URB_FUNCTION_RESET_PIPE:
        case URB_FUNCTION_ABORT_PIPE:
            return CompleteUrb(irp, urb, PipeRequest(*a, urb));
        case URB_FUNCTION_VENDOR_DEVICE:
            return CompleteUrb(irp, urb, VendorRequest(*a, urb));
        default:
            return CompleteUrb(irp, urb, USBD_STATUS_INVALID_URB_FUNCTION);
        }
    }

    // What becomes of a transfer that has passed its checks.
    enum class Next {
        Waits,   // on the waiting list: the request is pending
        Deliver, // an IN transfer with a packet that was queued for it
        Send,    // an OUT transfer for the device
        Fail,    // the device has gone, or the request was cancelled already
    };

    // Decides under the attachment's lock whether the transfer can go on at once or must
    // wait, and puts it on the waiting list in the same step: a packet the device sends, or
    // a hold released, on another thread meanwhile then always finds it.
    static Next WaitUnlessReady(Attachment& a, const Attachment::Pending& transfer, QByteArray* packet,
                                USBD_STATUS* failure)
    {
        PIRP irp = transfer.irp;
        std::lock_guard lock(a.mutex);
        if (a.gone) {
            *failure = USBD_STATUS_DEVICE_GONE;
            return Next::Fail;
        }
        if (USB_ENDPOINT_DIRECTION_IN(transfer.endpoint)) {
            std::deque<QByteArray>& queue = a.inData[transfer.endpoint];
            if (!queue.empty()) {
                *packet = queue.front();
                queue.pop_front();
                return Next::Deliver;
            }
        } else if (!a.bus->Held(a.port, transfer.endpoint)) {
            return Next::Send;
        }
        a.pending.push_back(transfer);
        IoSetCancelRoutine(irp, &CancelTransfer);
        if (irp->Cancel && IoSetCancelRoutine(irp, nullptr)) {
            a.pending.pop_back();
            *failure = USBD_STATUS_CANCELED;
            return Next::Fail;
        }
        // Marked while the lock still keeps away everyone who could complete it.
        IoMarkIrpPending(irp);
        return Next::Waits;
    }

    static NTSTATUS Transfer(Attachment& a, PIRP irp, PURB urb)
    {
        _URB_BULK_OR_INTERRUPT_TRANSFER& transfer = urb->UrbBulkOrInterruptTransfer;
        if (transfer.Hdr.Length < sizeof transfer)
            return CompleteUrb(irp, urb, USBD_STATUS_INVALID_PARAMETER);
        Attachment::Pipe pipe;
        {
            std::lock_guard lock(a.mutex);
            const Attachment::Pipe* found = a.FindPipe(transfer.PipeHandle);
            if (!found)
                return CompleteUrb(irp, urb, USBD_STATUS_INVALID_PIPE_HANDLE);
            pipe = *found;
        }
        if (pipe.type != UsbdPipeTypeBulk && pipe.type != UsbdPipeTypeInterrupt)
            return CompleteUrb(irp, urb, USBD_STATUS_INVALID_PARAMETER);
        if (transfer.TransferBufferLength > pipe.maxTransferSize)
            return CompleteUrb(irp, urb, USBD_STATUS_INVALID_PARAMETER);
        UCHAR* data;
        const USBD_STATUS resolved =
            ResolveBuffer(transfer.TransferBuffer, transfer.TransferBufferMDL, transfer.TransferBufferLength, &data);
        if (!USBD_SUCCESS(resolved))
            return CompleteUrb(irp, urb, resolved);
        const Attachment::Pending request{irp, urb, pipe.endpoint, data, transfer.TransferBufferLength};

        QByteArray packet;
        USBD_STATUS failure = USBD_STATUS_SUCCESS;
        switch (WaitUnlessReady(a, request, &packet, &failure)) {
        case Next::Waits:
            return STATUS_PENDING;
        case Next::Deliver:
            return Attachment::Deliver(request, packet);
        case Next::Send:
            return Send(a, request);
        case Next::Fail:
            break;
        }
        transfer.TransferBufferLength = 0;
        return CompleteUrb(irp, urb, failure);
    }

    // Hands an OUT transfer to the device and completes it.
    static NTSTATUS Send(Attachment& a, const Attachment::Pending& transfer)
    {
        const QByteArray data(reinterpret_cast<const char*>(transfer.data), qsizetype(transfer.length));
        const quint8 endpoint = transfer.endpoint;
        const UsbResponse response = a.CallDevice(UsbResponse::Stall, [&](UsbDeviceModel& device) {
            return device.BulkOut(endpoint, data);
        });
        bool gone;
        {
            std::lock_guard lock(a.mutex);
            gone = a.gone && response == UsbResponse::Stall;
        }
        if (response == UsbResponse::Stall)
            transfer.urb->UrbBulkOrInterruptTransfer.TransferBufferLength = 0;
        const USBD_STATUS status = response == UsbResponse::Ack ? USBD_STATUS_SUCCESS
                                   : gone                       ? USBD_STATUS_DEVICE_GONE
                                                                : USBD_STATUS_STALL_PID;
        const NTSTATUS ntStatus = Finish(transfer.irp, transfer.urb, status);
        CompleteOrDefer(transfer.irp);
        return ntStatus;
    }

    // The data stage of a control request, once its record is whole and its length fits.
    template <class Request>
    static USBD_STATUS ControlBuffer(Request& request, bool lengthFits, UCHAR** data)
    {
        if (request.Hdr.Length < sizeof request || !lengthFits)
            return USBD_STATUS_INVALID_PARAMETER;
        return ResolveBuffer(request.TransferBuffer, request.TransferBufferMDL, request.TransferBufferLength, data);
    }

    static USBD_STATUS Descriptor(Attachment& a, PURB urb)
    {
        _URB_CONTROL_DESCRIPTOR_REQUEST& request = urb->UrbControlDescriptorRequest;
        UCHAR* data;
        const USBD_STATUS resolved = ControlBuffer(request, request.TransferBufferLength > 0, &data);
        if (!USBD_SUCCESS(resolved))
            return resolved;
        const UCHAR type = request.DescriptorType;
        const UCHAR index = request.Index;
        const USHORT language = request.LanguageId;
        UsbFault fault;
        switch (type) {
        case USB_DEVICE_DESCRIPTOR_TYPE:
            fault = UsbFault::DeviceDescriptor;
            break;
        case USB_CONFIGURATION_DESCRIPTOR_TYPE:
            fault = UsbFault::ConfigurationDescriptor;
            break;
        case USB_STRING_DESCRIPTOR_TYPE:
            fault = UsbFault::StringDescriptor;
            break;
        default:
            return USBD_STATUS_STALL_PID;
        }
        if (a.bus->TakeFault(a.port, fault))
            return USBD_STATUS_STALL_PID;
        const QByteArray descriptor = a.CallDevice(QByteArray(), [&](UsbDeviceModel& device) {
            if (type == USB_DEVICE_DESCRIPTOR_TYPE)
                return index == 0 ? device.DeviceDescriptor() : QByteArray();
            if (type == USB_CONFIGURATION_DESCRIPTOR_TYPE)
                return device.ConfigurationDescriptor(index);
            return device.StringDescriptor(index, language);
        });
        if (descriptor.isEmpty())
            return USBD_STATUS_STALL_PID;
        const ULONG count = std::min<ULONG>(ULONG(descriptor.size()), request.TransferBufferLength);
        std::memcpy(data, descriptor.constData(), count);
        request.TransferBufferLength = count;
        return USBD_STATUS_SUCCESS;
    }

    static USBD_STATUS SelectConfiguration(Attachment& a, PURB urb)
    {
        _URB_SELECT_CONFIGURATION& select = urb->UrbSelectConfiguration;
        const size_t headerSize = offsetof(_URB_SELECT_CONFIGURATION, Interface);
        if (select.Hdr.Length < headerSize)
            return USBD_STATUS_INVALID_PARAMETER;
        if (a.bus->TakeFault(a.port, UsbFault::SelectConfiguration))
            return USBD_STATUS_REQUEST_FAILED;

        std::vector<Attachment::Pipe> pipes;
        ULONG generation;
        {
            std::lock_guard lock(a.mutex);
            generation = ++a.generation;
        }
        quint8 value = 0;
        if (select.ConfigurationDescriptor) {
            std::vector<DescriptorSpan> descriptors;
            if (!SplitConfigurationDescriptor(select.ConfigurationDescriptor, &descriptors))
                return USBD_STATUS_INVALID_PARAMETER;
            value = select.ConfigurationDescriptor->bConfigurationValue;
            auto* base = reinterpret_cast<UCHAR*>(urb);
            for (size_t offset = headerSize; offset < select.Hdr.Length;) {
                auto* info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(base + offset);
                if (select.Hdr.Length - offset < offsetof(USBD_INTERFACE_INFORMATION, Pipes) ||
                    info->Length < offsetof(USBD_INTERFACE_INFORMATION, Pipes) ||
                    offset + info->Length > select.Hdr.Length)
                    return USBD_STATUS_INVALID_PARAMETER;
                const PUSB_INTERFACE_DESCRIPTOR interface = USBD_ParseConfigurationDescriptorEx(
                    select.ConfigurationDescriptor, select.ConfigurationDescriptor, info->InterfaceNumber,
                    info->AlternateSetting, -1, -1, -1);
                std::vector<const USB_ENDPOINT_DESCRIPTOR*> endpoints;
                if (!interface || !EndpointsOfInterface(descriptors, interface, &endpoints) ||
                    info->Length < GET_USBD_INTERFACE_SIZE(ULONG(endpoints.size())))
                    return USBD_STATUS_INVALID_PARAMETER;
                info->Class = interface->bInterfaceClass;
                info->SubClass = interface->bInterfaceSubClass;
                info->Protocol = interface->bInterfaceProtocol;
                info->InterfaceHandle = reinterpret_cast<USBD_INTERFACE_HANDLE>(
                    uintptr_t(generation) << 16 | uintptr_t(0x100 + info->InterfaceNumber));
                info->NumberOfPipes = ULONG(endpoints.size());
                for (size_t i = 0; i < endpoints.size(); ++i) {
                    USBD_PIPE_INFORMATION& pipe = info->Pipes[i];
                    pipe.MaximumPacketSize = endpoints[i]->wMaxPacketSize;
                    pipe.EndpointAddress = endpoints[i]->bEndpointAddress;
                    pipe.Interval = endpoints[i]->bInterval;
                    pipe.PipeType = USBD_PIPE_TYPE(endpoints[i]->bmAttributes & USB_ENDPOINT_TYPE_MASK);
                    pipe.PipeHandle = reinterpret_cast<USBD_PIPE_HANDLE>(
                        uintptr_t(generation) << 16 | uintptr_t(pipes.size() + 1));
                    if (pipe.MaximumTransferSize == 0)
                        pipe.MaximumTransferSize = USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE;
                    pipes.push_back(Attachment::Pipe{pipe.PipeHandle, pipe.EndpointAddress, pipe.PipeType,
                                                     pipe.MaximumPacketSize, pipe.MaximumTransferSize});
                }
                offset += info->Length;
            }
            select.ConfigurationHandle =
                reinterpret_cast<USBD_CONFIGURATION_HANDLE>(uintptr_t(generation) << 16 | uintptr_t(0xC0F));
        }

        // Whatever was waiting on the old configuration's pipes ends with it.
        std::vector<Attachment::Pending> stale;
        {
            std::lock_guard lock(a.mutex);
            stale = a.TakePending([](const Attachment::Pending&) { return true; });
            a.pipes = std::move(pipes);
            a.configured = select.ConfigurationDescriptor != nullptr;
            a.inData.clear();
        }
        Attachment::Fail(stale, USBD_STATUS_CANCELED);
        a.CallDevice(0, [value](UsbDeviceModel& device) {
            device.ConfigurationSelected(value);
            return 0;
        });
        return USBD_STATUS_SUCCESS;
    }

    static USBD_STATUS PipeRequest(Attachment& a, PURB urb)
    {
        _URB_PIPE_REQUEST& request = urb->UrbPipeRequest;
        // A stack of version 1.0 takes the record without its last field, so accept both.
        if (request.Hdr.Length < offsetof(_URB_PIPE_REQUEST, Reserved))
            return USBD_STATUS_INVALID_PARAMETER;
        std::vector<Attachment::Pending> aborted;
        {
            std::lock_guard lock(a.mutex);
            const Attachment::Pipe* pipe = a.FindPipe(request.PipeHandle);
            if (!pipe)
                return USBD_STATUS_INVALID_PIPE_HANDLE;
            if (request.Hdr.Function == URB_FUNCTION_ABORT_PIPE) {
                const quint8 endpoint = pipe->endpoint;
                aborted = a.TakePending([endpoint](const Attachment::Pending& p) { return p.endpoint == endpoint; });
            }
        }
        Attachment::Fail(aborted, USBD_STATUS_CANCELED);
        return USBD_STATUS_SUCCESS;
    }

    static USBD_STATUS VendorRequest(Attachment& a, PURB urb)
    {
        _URB_CONTROL_VENDOR_OR_CLASS_REQUEST& request = urb->UrbControlVendorClassRequest;
        UCHAR* data;
        const USBD_STATUS resolved = ControlBuffer(request, request.TransferBufferLength <= 0xFFFF, &data);
        if (!USBD_SUCCESS(resolved))
            return resolved;
        if (a.bus->TakeFault(a.port, UsbFault::VendorRequest))
            return USBD_STATUS_STALL_PID;
        UsbSetupPacket setup;
        const bool in = request.TransferFlags & USBD_TRANSFER_DIRECTION_IN;
        setup.requestType = quint8((in ? 0x80 : 0x00) | 0x40 | (request.RequestTypeReservedBits & 0x1F));
        setup.request = request.Request;
        setup.value = request.Value;
        setup.index = request.Index;
        setup.length = quint16(request.TransferBufferLength);
        QByteArray payload = in ? QByteArray() : QByteArray(reinterpret_cast<const char*>(data), setup.length);
        const UsbResponse response = a.CallDevice(UsbResponse::Stall, [&](UsbDeviceModel& device) {
            return device.ControlTransfer(setup, payload);
        });
        if (response == UsbResponse::Stall) {
            request.TransferBufferLength = 0;
            return USBD_STATUS_STALL_PID;
        }
        if (in) {
            const ULONG count = std::min<ULONG>(ULONG(payload.size()), request.TransferBufferLength);
            if (count)
                std::memcpy(data, payload.constData(), count);
            request.TransferBufferLength = count;
        }
        return USBD_STATUS_SUCCESS;
    }
};

UsbBus::UsbBus(kernel::PnpManager& pnp)
    : pnp_(pnp)
{
    const NTSTATUS status = kernel::LoadDriver(L"usbhub", &BusDriver::Entry, &driver_);
    if (!NT_SUCCESS(status))
        qFatal("USB bus: the bus driver did not load: %s", kernel::NtStatusText(status).c_str());
}

UsbBus::~UsbBus()
{
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    DetachAll();
    pnp_.WaitUntilIdle();
    for (const auto& attachment : attachments_)
        if (attachment->pdo)
            qWarning("USB bus: port %d still has its device object at shutdown", attachment->port);
    kernel::UnloadDriver(driver_);
}

UsbBus::PortId UsbBus::Attach(std::shared_ptr<UsbDeviceModel> device)
{
    PortId port;
    {
        std::lock_guard lock(mutex_);
        port = ++nextPort_;
        ports_[port];
    }
    AttachToPort(port, std::move(device));
    return port;
}

void UsbBus::AttachToPort(PortId port, std::shared_ptr<UsbDeviceModel> device)
{
    auto attachment = std::make_shared<Attachment>();
    attachment->bus = this;
    attachment->port = port;
    attachment->model = device;
    {
        std::lock_guard lock(mutex_);
        auto it = ports_.find(port);
        if (closing_ || it == ports_.end() || it->second.current)
            return; // unplugged meanwhile, or the bus is going
        it->second.current = attachment;
        attachments_.push_back(attachment);
    }
    PDEVICE_OBJECT pdo;
    const NTSTATUS status = IoCreateDevice(driver_, sizeof(PdoExtension), nullptr, FILE_DEVICE_UNKNOWN,
                                           FILE_AUTOGENERATED_DEVICE_NAME, FALSE, &pdo);
    if (!NT_SUCCESS(status)) {
        qWarning("USB bus: no device object for port %d: %s", port, kernel::NtStatusText(status).c_str());
        std::lock_guard lock(mutex_);
        ports_[port].current.reset();
        return;
    }
    static_cast<PdoExtension*>(pdo->DeviceExtension)->attachment = attachment.get();
    pdo->Flags |= DO_POWER_PAGABLE;
    pdo->Flags &= ~DO_DEVICE_INITIALIZING;
    attachment->pdo = pdo;

    const QByteArray descriptor = attachment->CallDevice(QByteArray(), [&](UsbDeviceModel& model) {
        model.Connected(attachment.get());
        return model.DeviceDescriptor();
    });
    USB_DEVICE_DESCRIPTOR ids{};
    if (descriptor.size() >= qsizetype(sizeof ids))
        std::memcpy(&ids, descriptor.constData(), sizeof ids);
    pnp_.ReportArrival(pdo, ids.idVendor, ids.idProduct);
}

void UsbBus::Leave(const std::shared_ptr<Attachment>& attachment)
{
    if (!attachment)
        return;
    std::vector<Attachment::Pending> transfers;
    {
        std::lock_guard lock(attachment->mutex);
        if (attachment->gone)
            return;
        attachment->gone = true;
        transfers = attachment->TakePending([](const Attachment::Pending&) { return true; });
        attachment->inData.clear();
    }
    {
        std::lock_guard lock(mutex_);
        auto it = ports_.find(attachment->port);
        if (it != ports_.end() && it->second.current == attachment)
            it->second.current.reset();
    }
    Attachment::Fail(transfers, USBD_STATUS_DEVICE_GONE);
    attachment->CallDevice(0, [](UsbDeviceModel& model) {
        model.Disconnected();
        return 0;
    });
    if (attachment->pdo)
        pnp_.ReportRemoval(attachment->pdo);
}

void UsbBus::Detach(PortId port)
{
    std::shared_ptr<Attachment> attachment;
    {
        std::lock_guard lock(mutex_);
        auto it = ports_.find(port);
        if (it == ports_.end())
            return;
        attachment = it->second.current;
        ports_.erase(it);
    }
    Leave(attachment);
}

void UsbBus::DetachAll()
{
    for (PortId port : [this] {
             std::lock_guard lock(mutex_);
             std::vector<PortId> ids;
             for (const auto& [id, port] : ports_)
                 ids.push_back(id);
             return ids;
         }())
        Detach(port);
}

std::vector<UsbBus::PortId> UsbBus::Ports() const
{
    std::lock_guard lock(mutex_);
    std::vector<PortId> ids;
    for (const auto& [id, port] : ports_)
        if (port.current)
            ids.push_back(id);
    return ids;
}

std::shared_ptr<UsbDeviceModel> UsbBus::Device(PortId port) const
{
    std::shared_ptr<Attachment> attachment;
    {
        std::lock_guard lock(mutex_);
        auto it = ports_.find(port);
        if (it == ports_.end() || !it->second.current)
            return nullptr;
        attachment = it->second.current;
    }
    std::lock_guard lock(attachment->modelMutex);
    return attachment->model;
}

PDEVICE_OBJECT UsbBus::PhysicalDevice(PortId port) const
{
    std::lock_guard lock(mutex_);
    auto it = ports_.find(port);
    return it != ports_.end() && it->second.current ? it->second.current->pdo : nullptr;
}

void UsbBus::FailNext(PortId port, UsbFault fault, int count)
{
    std::lock_guard lock(mutex_);
    ports_[port].faults[fault] = count;
}

bool UsbBus::TakeFault(PortId port, UsbFault fault)
{
    std::lock_guard lock(mutex_);
    auto it = ports_.find(port);
    if (it == ports_.end())
        return false;
    int& left = it->second.faults[fault];
    if (left <= 0)
        return false;
    --left;
    return true;
}

void UsbBus::HoldOutTransfers(PortId port, quint8 endpoint, bool hold)
{
    std::shared_ptr<Attachment> attachment;
    {
        std::lock_guard lock(mutex_);
        auto it = ports_.find(port);
        if (it == ports_.end())
            return;
        if (hold)
            it->second.heldEndpoints.insert(endpoint);
        else
            it->second.heldEndpoints.erase(endpoint);
        attachment = it->second.current;
    }
    if (hold || !attachment)
        return;
    std::vector<Attachment::Pending> released;
    {
        std::lock_guard lock(attachment->mutex);
        released = attachment->TakePending([endpoint](const Attachment::Pending& p) { return p.endpoint == endpoint; });
    }
    for (const Attachment::Pending& transfer : released)
        BusDriver::Send(*attachment, transfer);
}

bool UsbBus::Held(PortId port, quint8 endpoint) const
{
    std::lock_guard lock(mutex_);
    auto it = ports_.find(port);
    return it != ports_.end() && it->second.heldEndpoints.count(endpoint);
}

void UsbBus::RecordPower(PortId port, UCHAR minor)
{
    std::lock_guard lock(mutex_);
    auto it = ports_.find(port);
    if (it != ports_.end())
        it->second.powerRequests.push_back(minor);
}

std::vector<UCHAR> UsbBus::PowerRequests(PortId port) const
{
    std::lock_guard lock(mutex_);
    auto it = ports_.find(port);
    return it != ports_.end() ? it->second.powerRequests : std::vector<UCHAR>();
}

int UsbBus::PendingTransfers(PortId port) const
{
    return CountPending(port, std::nullopt);
}

int UsbBus::PendingTransfers(PortId port, quint8 endpoint) const
{
    return CountPending(port, endpoint);
}

int UsbBus::CountPending(PortId port, std::optional<quint8> endpoint) const
{
    std::shared_ptr<Attachment> attachment;
    {
        std::lock_guard lock(mutex_);
        auto it = ports_.find(port);
        if (it == ports_.end() || !it->second.current)
            return 0;
        attachment = it->second.current;
    }
    std::lock_guard lock(attachment->mutex);
    return int(std::count_if(attachment->pending.cbegin(), attachment->pending.cend(),
                             [endpoint](const Attachment::Pending& p) { return !endpoint || p.endpoint == *endpoint; }));
}

} // namespace platform::usb
