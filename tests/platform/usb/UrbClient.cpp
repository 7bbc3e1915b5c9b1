#include "tests/platform/usb/UrbClient.h"

#include <cstring>

SubmittedUrb::SubmittedUrb(PDEVICE_OBJECT target, const URB& urb)
    : urb_(std::make_unique<URB>(urb))
{
    KeInitializeEvent(&done_, NotificationEvent, FALSE);
    irp_ = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_URB, target, nullptr, 0, nullptr, 0, TRUE, &done_,
                                         &ioStatus_);
    IoGetNextIrpStackLocation(irp_)->Parameters.Others.Argument1 = urb_.get();
    returned_ = IoCallDriver(target, irp_);
}

SubmittedUrb::~SubmittedUrb()
{
    KeWaitForSingleObject(&done_, Executive, KernelMode, FALSE, nullptr);
}

bool SubmittedUrb::Wait(qint64 timeoutMs)
{
    LARGE_INTEGER timeout;
    timeout.QuadPart = -timeoutMs * 10'000;
    completed_ = KeWaitForSingleObject(&done_, Executive, KernelMode, FALSE, timeoutMs < 0 ? nullptr : &timeout) ==
                 STATUS_SUCCESS;
    return completed_;
}

void SubmittedUrb::Cancel()
{
    // Only while it is known to be pending: the request is freed when it completes.
    if (KeReadStateEvent(&done_) == 0)
        IoCancelIrp(irp_);
}

NTSTATUS SubmitUrb(PDEVICE_OBJECT target, URB& urb)
{
    SubmittedUrb submitted(target, urb);
    submitted.Wait(-1);
    urb = submitted.Urb();
    return submitted.Status();
}

NTSTATUS SubmitUrbInPlace(PDEVICE_OBJECT target, PURB urb)
{
    KEVENT done;
    IO_STATUS_BLOCK status{};
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    PIRP irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_URB, target, nullptr, 0, nullptr, 0, TRUE, &done,
                                             &status);
    IoGetNextIrpStackLocation(irp)->Parameters.Others.Argument1 = urb;
    IoCallDriver(target, irp);
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    return status.Status;
}

URB DescriptorUrb(UCHAR type, UCHAR index, USHORT language, void* buffer, ULONG length)
{
    URB urb{};
    UsbBuildGetDescriptorRequest(&urb, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), type, index, language, buffer, nullptr,
                                 length, nullptr);
    return urb;
}

URB TransferUrb(USBD_PIPE_HANDLE pipe, void* buffer, ULONG length, ULONG flags)
{
    URB urb{};
    UsbBuildInterruptOrBulkTransferRequest(&urb, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), pipe, buffer, nullptr,
                                           length, flags, nullptr);
    return urb;
}

URB PipeUrb(USHORT function, USBD_PIPE_HANDLE pipe, USHORT length)
{
    URB urb{};
    urb.UrbHeader.Function = function;
    urb.UrbHeader.Length = length;
    urb.UrbPipeRequest.PipeHandle = pipe;
    return urb;
}

URB VendorUrb(bool in, UCHAR request, USHORT value, void* buffer, ULONG length)
{
    URB urb{};
    UsbBuildVendorRequest(&urb, URB_FUNCTION_VENDOR_DEVICE, sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST),
                          in ? USBD_TRANSFER_DIRECTION_IN : USBD_TRANSFER_DIRECTION_OUT, 0, request, value, 0, buffer,
                          nullptr, length, nullptr);
    return urb;
}
