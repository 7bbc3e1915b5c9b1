#pragma once

// The inside of qex_usb: the per-device record, the driver-wide state and the routines the
// dispatch files share. Not for use outside the driver.

#include "drivers/components/usb/common/UsbDriverSupport.h"
#include "drivers/components/usb/qex_usb/QexUsbPublic.h"

namespace qex_usb {

constexpr ULONG kPoolTag = MakePoolTag("Mevs");
constexpr ULONG kTransferBufferSize = 8192;
// Every pipe is asked for this much per transfer when the configuration is selected.
constexpr ULONG kMaximumTransferSize = 65535;
// Select-configuration attempts before a start gives up: the widget's firmware may still
// be settling just after it re-enumerated.
constexpr int kSelectConfigurationAttempts = 10;
// How long a synchronous transfer of the driver's own (start-up queries, widget commands)
// waits for a widget that does not answer before it gives up on it.
constexpr LONG kWidgetReplyTimeoutMs = 1000;
// Language id the serial-number string is asked for in (the widget answers any).
constexpr USHORT kSerialLanguageId = 9;
constexpr ULONG kSerialStringBufferSize = 128;

// The state of one device. The map device has the same record, all zero, and is told apart
// by its empty PhysicalDeviceObject.
struct WidgetDeviceExtension
{
    PDEVICE_OBJECT PhysicalDeviceObject; // the USB device we were attached for
    PDEVICE_OBJECT StackDeviceObject;    // the device below us, which gets our requests
    PDEVICE_OBJECT Self;
    LONG volatile Started; // set by a successful start, cleared by stop and removal
    BOOLEAN DeviceLinkMade;
    BOOLEAN ShortLinkMade;
    ULONG DeviceNumber; // 0 to 31: the map slot and the NN of the names
    USHORT ProductId;   // from the device descriptor read at start

    // Set by the start sequence and only changed on the PnP thread; requests read them only
    // after they have seen Started set, and stop waits for those requests before it
    // changes them.
    USBD_CONFIGURATION_HANDLE ConfigurationHandle;
    PUSB_DEVICE_DESCRIPTOR DeviceDescriptor; // pool copy
    PUSBD_INTERFACE_INFORMATION Interface;   // pool copy, with its pipes

    LONG volatile OpenHandles;
    usb_driver::OutstandingIo Io;

    // DMX writes, widget commands and start-up queries share one buffer; the event (a
    // synchronisation event, set while the buffer is free) hands it to one at a time.
    PUCHAR TransferBuffer;
    KEVENT TransferBufferFree;

    WCHAR DeviceLinkText[32];
    WCHAR ShortLinkText[24];
    UNICODE_STRING DeviceLinkName; // "\DosDevices\qex_usb_devNN"
    UNICODE_STRING ShortLinkName;  // "\DosDevices\ezusb-N" (numbers 0 to 9)
};

inline WidgetDeviceExtension* ExtensionOf(PDEVICE_OBJECT device)
{
    return static_cast<WidgetDeviceExtension*>(device->DeviceExtension);
}

inline bool IsMapDevice(const WidgetDeviceExtension* extension)
{
    return extension->PhysicalDeviceObject == nullptr;
}

bool IsStarted(WidgetDeviceExtension* extension);

// ---- Device map (DeviceMap.cpp) ------------------------------------------------------------
//
// The map is written by the PnP thread (fill, zero) and by open and close (the open flag),
// and read by anyone; every field is stored and loaded whole and atomically, so a reader's
// copy never holds a torn field.

VOID ClearDeviceMap();
VOID TouchChangeStamp();
ULONG CurrentChangeStamp();
VOID CopyDeviceMap(WidgetDeviceMap* map);
VOID CopyShortMap(WidgetShortMap* map);
// Vendor, product and serial number. The open flag is left alone: it is 0 at a widget's
// first start (the slot was zeroed when its last owner went), and a restart after a stop
// must not free it under a handle that is still open.
VOID FillSlotIdentity(ULONG number, ULONG vendorId, ULONG productId, ULONG serialNumber);
// Bytes at `offset` (16 or above) of the slot.
VOID StoreSlotBytes(ULONG number, ULONG offset, const UCHAR* bytes, ULONG count);
VOID ZeroSlot(ULONG number);
// Sets the open flag from 0 to 1; false when it was set already.
bool ClaimSlot(ULONG number);
VOID ReleaseSlot(ULONG number);

// ---- USB requests (UsbRequests.cpp) ----------------------------------------------------------

// Reads a descriptor into `buffer`. `received` gets the bytes read (0 on failure).
// STATUS_NO_MEMORY when the request cannot be allocated.
NTSTATUS GetDescriptor(WidgetDeviceExtension* extension, UCHAR type, UCHAR index, USHORT languageId, PVOID buffer,
                       ULONG length, ULONG* received);

enum class TimeoutPolicy {
    CancelTransfer, // another reader of the pipe (the program's) must keep its transfer
    AbortPipe,      // nobody else uses the pipe yet (start-up)
};

// One bulk or interrupt transfer on a pipe of the selected interface, waited for up to
// kWidgetReplyTimeoutMs. `transferred` gets the bytes moved (0 on failure).
NTSTATUS TransferAndWait(WidgetDeviceExtension* extension, ULONG pipeIndex, PVOID buffer, ULONG length,
                         ULONG transferFlags, TimeoutPolicy policy, ULONG* transferred);

// A bulk or interrupt transfer request block (pool, kPoolTag); null without memory.
PURB AllocateTransferUrb(USBD_PIPE_HANDLE pipe, PVOID buffer, PMDL mdl, ULONG length, ULONG transferFlags);

// Sends a caller's request down with `urb` (the request's I/O reference and the URB go
// with it) and returns STATUS_PENDING; `completion` gets the URB as its context and must
// call EndTransfer, then give the reference back last.
NTSTATUS SendTransfer(WidgetDeviceExtension* extension, PIRP irp, PURB urb, PIO_COMPLETION_ROUTINE completion);
// Sets the returned length from the URB (0 on failure) and frees it.
VOID EndTransfer(PIRP irp, PURB urb);

// The pipe of that index when the interface has it and it is a bulk or interrupt pipe
// with a handle; else null.
PUSBD_PIPE_INFORMATION UsablePipe(WidgetDeviceExtension* extension, ULONG pipeIndex);

// Whether the widget can take a command now: STATUS_DELETE_PENDING once removal has
// begun, STATUS_UNSUCCESSFUL when it is not started or pipe 0 (and, when asked, pipe 1)
// is not a usable bulk or interrupt pipe.
NTSTATUS CheckCommandPipes(WidgetDeviceExtension* extension, bool needsReplyPipe);

// Aborts every pipe of the selected interface and waits for each abort.
VOID AbortAllPipes(PVOID extension);

// Takes the shared transfer buffer, waiting while another user holds it.
VOID AcquireTransferBuffer(WidgetDeviceExtension* extension);
VOID ReleaseTransferBuffer(WidgetDeviceExtension* extension);

// ---- Start, stop and removal (Pnp.cpp) -------------------------------------------------------

NTSTATUS DispatchPnp(PDEVICE_OBJECT device, PIRP irp);

// ---- Driver-wide (Driver.cpp) ------------------------------------------------------------------

// Counts a widget device off; deletes the map device with the last one.
VOID ForgetWidgetDevice();
// Deletes the device's links and frees its transfer buffer.
VOID ReleaseDeviceResources(WidgetDeviceExtension* extension);

// ---- User requests -------------------------------------------------------------------------------

NTSTATUS DispatchCreate(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS DispatchClose(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS DispatchWrite(PDEVICE_OBJECT device, PIRP irp);

} // namespace qex_usb
