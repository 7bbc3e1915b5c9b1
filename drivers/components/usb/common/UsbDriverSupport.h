#pragma once

// What the widget's two drivers (the USB function driver and the firmware loader) do the
// same way: count the requests in progress so that removal can wait for them, pass
// plug-and-play requests down, answer the capabilities query, and send USB request
// blocks down the stack and wait for them.
//
// Every routine runs at passive level on the calling thread.

#include "platform/usb/Usb.h"

namespace usb_driver {

// ---- Requests in progress ---------------------------------------------------------------

// The count starts at 1, the device's own reference, which removal gives back. Every
// request holds one reference while it is in the driver (an asynchronous transfer until
// its completion). The remove event is set when the count falls to 0.
struct OutstandingIo
{
    LONG volatile Count;
    LONG volatile Removing;
    KEVENT RemoveEvent;  // notification
    KEVENT ReleaseEvent; // synchronisation: set at every release, so a drain can watch the count
};

VOID InitializeOutstandingIo(OutstandingIo* io);

// Takes a reference for a request. Once removal has begun it takes none and answers
// STATUS_DELETE_PENDING.
NTSTATUS AcquireIo(OutstandingIo* io);
VOID ReleaseIo(OutstandingIo* io);

BOOLEAN IsRemoving(const OutstandingIo* io);

using DrainKick = VOID (*)(PVOID context);

// Waits until at most `limit` references are held. `kick` (which should end the transfers
// in progress, e.g. by aborting the pipes) runs first and again every kDrainRetryMs while
// requests remain, so a transfer that slipped in after a kick cannot hold the wait for
// ever. `kick` may be null. With `limit` 0 (removal) it returns only once the remove
// event is set, after which no release touches the device any more, so the caller may
// free it.
VOID WaitForOutstandingIo(OutstandingIo* io, LONG limit, DrainKick kick, PVOID context);

// Removal's part of the count: marks the device as being removed, gives back the removal
// request's reference and the device's own, and waits (kicking as above) until every
// request in progress has finished. No request touches the device's state afterwards, so
// the caller may free what the requests used and delete the device.
VOID DrainForRemoval(OutstandingIo* io, DrainKick kick, PVOID context);

// How long a drain waits before it kicks the requests in progress again.
constexpr LONG kDrainRetryMs = 100;

// ---- Plug and play --------------------------------------------------------------------------

NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information = 0);

// Passes the request to `lower` and waits until the lower drivers have completed it; the
// request is the caller's again afterwards (to be completed by it). Returns its status.
NTSTATUS PassDownAndWait(PDEVICE_OBJECT lower, PIRP irp);

// Passes the request to `lower` unchanged, without waiting.
NTSTATUS PassDown(PDEVICE_OBJECT lower, PIRP irp);

// IRP_MN_QUERY_CAPABILITIES: a record of version 0 goes down unchanged; otherwise the
// lower drivers answer first and, on success, the device is marked safe to pull without
// warning (SurpriseRemovalOK). Completes the request.
NTSTATUS HandleQueryCapabilities(PDEVICE_OBJECT lower, PIRP irp);

// ---- USB request blocks --------------------------------------------------------------------

using TimeoutAction = VOID (*)(PVOID context, PIRP irp);

// Sends `urb` to `lower` as IOCTL_INTERNAL_USB_SUBMIT_URB and waits for it. Returns
// STATUS_SUCCESS, STATUS_UNSUCCESSFUL when the request or the URB failed for whatever
// reason (stall, cancel, device gone, timeout: the URB's status says which), or
// STATUS_INSUFFICIENT_RESOURCES when no request could be made.
//
// With `timeoutMs` above 0 a request still pending after that long is ended by
// `onTimeout` (default: cancelled), and the wait goes on until it has completed.
NTSTATUS SubmitUrbAndWait(PDEVICE_OBJECT lower, PURB urb, LONG timeoutMs = 0, TimeoutAction onTimeout = nullptr,
                          PVOID timeoutContext = nullptr);

// Reset or abort one pipe and wait. Stacks of USBDI version 1.0 or older expect the
// request record without its last field. STATUS_INSUFFICIENT_RESOURCES when the request
// cannot be allocated.
NTSTATUS SubmitPipeRequest(PDEVICE_OBJECT lower, USHORT function, USBD_PIPE_HANDLE pipe, ULONG poolTag);

// One vendor request to the device (host to device) with `length` bytes of data.
NTSTATUS SendVendorWrite(PDEVICE_OBJECT lower, UCHAR request, USHORT value, USHORT index, const UCHAR* data,
                         ULONG length, ULONG poolTag, LONG timeoutMs = 0);

} // namespace usb_driver
