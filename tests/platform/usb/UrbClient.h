#pragma once

#include "platform/usb/Usb.h"

#include <QtGlobal>
#include <memory>
#include <vector>

// Submits URBs to a device object the way a function driver does: an internal device
// control built with IoBuildDeviceIoControlRequest, the URB in Argument1, an event to
// wait on.
class SubmittedUrb
{
public:
    SubmittedUrb(PDEVICE_OBJECT target, const URB& urb);
    ~SubmittedUrb(); // waits for completion: a request must not outlive its URB

    // True once completed; waits up to `timeoutMs` of virtual time (negative: for ever).
    bool Wait(qint64 timeoutMs);
    void Cancel();

    NTSTATUS Status() const { return ioStatus_.Status; }
    NTSTATUS Returned() const { return returned_; }
    URB& Urb() { return *urb_; }

private:
    KEVENT done_;
    IO_STATUS_BLOCK ioStatus_{};
    std::unique_ptr<URB> urb_;
    PIRP irp_ = nullptr;
    NTSTATUS returned_ = STATUS_PENDING;
    bool completed_ = false;
};

// Sends the URB and waits for it; the URB comes back as the bus left it.
NTSTATUS SubmitUrb(PDEVICE_OBJECT target, URB& urb);
// The same for a URB of any size (a select-configuration request), used where it lies.
NTSTATUS SubmitUrbInPlace(PDEVICE_OBJECT target, PURB urb);

URB DescriptorUrb(UCHAR type, UCHAR index, USHORT language, void* buffer, ULONG length);
URB TransferUrb(USBD_PIPE_HANDLE pipe, void* buffer, ULONG length, ULONG flags = USBD_SHORT_TRANSFER_OK);
URB PipeUrb(USHORT function, USBD_PIPE_HANDLE pipe, USHORT length = sizeof(_URB_PIPE_REQUEST));
URB VendorUrb(bool in, UCHAR request, USHORT value, void* buffer, ULONG length);
