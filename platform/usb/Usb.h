#pragma once

// The USB driver interface under the drivers: descriptors, USB request blocks (URBs)
// submitted to the bus as internal device controls, the USBD helper routines and the
// builders for the common requests, under the USB stack's own names. This project's own
// declaration of what USB function drivers rely on; the bus behind it is UsbBus.

#include "platform/kernel/Kernel.h"

#include <cstddef>

// ---- Descriptors (little-endian, packed, as on the wire) --------------------------------

constexpr UCHAR USB_DEVICE_DESCRIPTOR_TYPE = 0x01;
constexpr UCHAR USB_CONFIGURATION_DESCRIPTOR_TYPE = 0x02;
constexpr UCHAR USB_STRING_DESCRIPTOR_TYPE = 0x03;
constexpr UCHAR USB_INTERFACE_DESCRIPTOR_TYPE = 0x04;
constexpr UCHAR USB_ENDPOINT_DESCRIPTOR_TYPE = 0x05;

constexpr UCHAR USB_ENDPOINT_TYPE_MASK = 0x03;
constexpr UCHAR USB_ENDPOINT_TYPE_CONTROL = 0x00;
constexpr UCHAR USB_ENDPOINT_TYPE_ISOCHRONOUS = 0x01;
constexpr UCHAR USB_ENDPOINT_TYPE_BULK = 0x02;
constexpr UCHAR USB_ENDPOINT_TYPE_INTERRUPT = 0x03;
constexpr bool USB_ENDPOINT_DIRECTION_IN(UCHAR address) { return (address & 0x80) != 0; }
constexpr bool USB_ENDPOINT_DIRECTION_OUT(UCHAR address) { return (address & 0x80) == 0; }

#pragma pack(push, 1)
struct USB_COMMON_DESCRIPTOR
{
    UCHAR bLength;
    UCHAR bDescriptorType;
};

struct USB_DEVICE_DESCRIPTOR
{
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdUSB;
    UCHAR bDeviceClass;
    UCHAR bDeviceSubClass;
    UCHAR bDeviceProtocol;
    UCHAR bMaxPacketSize0;
    USHORT idVendor;
    USHORT idProduct;
    USHORT bcdDevice;
    UCHAR iManufacturer;
    UCHAR iProduct;
    UCHAR iSerialNumber;
    UCHAR bNumConfigurations;
};

struct USB_CONFIGURATION_DESCRIPTOR
{
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT wTotalLength;
    UCHAR bNumInterfaces;
    UCHAR bConfigurationValue;
    UCHAR iConfiguration;
    UCHAR bmAttributes;
    UCHAR MaxPower;
};

struct USB_INTERFACE_DESCRIPTOR
{
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bInterfaceNumber;
    UCHAR bAlternateSetting;
    UCHAR bNumEndpoints;
    UCHAR bInterfaceClass;
    UCHAR bInterfaceSubClass;
    UCHAR bInterfaceProtocol;
    UCHAR iInterface;
};

struct USB_ENDPOINT_DESCRIPTOR
{
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bEndpointAddress;
    UCHAR bmAttributes;
    USHORT wMaxPacketSize;
    UCHAR bInterval;
};

// bString holds UTF-16 code units.
struct USB_STRING_DESCRIPTOR
{
    UCHAR bLength;
    UCHAR bDescriptorType;
    char16_t bString[1];
};
#pragma pack(pop)

static_assert(sizeof(USB_DEVICE_DESCRIPTOR) == 18);
static_assert(sizeof(USB_CONFIGURATION_DESCRIPTOR) == 9);
static_assert(sizeof(USB_INTERFACE_DESCRIPTOR) == 9);
static_assert(sizeof(USB_ENDPOINT_DESCRIPTOR) == 7);

using PUSB_COMMON_DESCRIPTOR = USB_COMMON_DESCRIPTOR*;
using PUSB_DEVICE_DESCRIPTOR = USB_DEVICE_DESCRIPTOR*;
using PUSB_CONFIGURATION_DESCRIPTOR = USB_CONFIGURATION_DESCRIPTOR*;
using PUSB_INTERFACE_DESCRIPTOR = USB_INTERFACE_DESCRIPTOR*;
using PUSB_ENDPOINT_DESCRIPTOR = USB_ENDPOINT_DESCRIPTOR*;
using PUSB_STRING_DESCRIPTOR = USB_STRING_DESCRIPTOR*;

// ---- Status ------------------------------------------------------------------------------

using USBD_STATUS = LONG;

constexpr USBD_STATUS MakeUsbdStatus(ULONG value) { return static_cast<USBD_STATUS>(value); }
constexpr USBD_STATUS USBD_STATUS_SUCCESS = MakeUsbdStatus(0x00000000);
constexpr USBD_STATUS USBD_STATUS_PENDING = MakeUsbdStatus(0x40000000);
constexpr USBD_STATUS USBD_STATUS_STALL_PID = MakeUsbdStatus(0xC0000004);
constexpr USBD_STATUS USBD_STATUS_BUFFER_OVERRUN = MakeUsbdStatus(0xC000000C);
constexpr USBD_STATUS USBD_STATUS_INVALID_URB_FUNCTION = MakeUsbdStatus(0x80000200);
constexpr USBD_STATUS USBD_STATUS_INVALID_PARAMETER = MakeUsbdStatus(0x80000300);
constexpr USBD_STATUS USBD_STATUS_REQUEST_FAILED = MakeUsbdStatus(0x80000500);
constexpr USBD_STATUS USBD_STATUS_INVALID_PIPE_HANDLE = MakeUsbdStatus(0x80000600);
constexpr USBD_STATUS USBD_STATUS_INSUFFICIENT_RESOURCES = MakeUsbdStatus(0xC0001000);
constexpr USBD_STATUS USBD_STATUS_DEVICE_GONE = MakeUsbdStatus(0xC0007000);
constexpr USBD_STATUS USBD_STATUS_CANCELED = MakeUsbdStatus(0xC0010000);

constexpr bool USBD_SUCCESS(USBD_STATUS status) { return status >= 0; }
constexpr bool USBD_PENDING(USBD_STATUS status) { return (ULONG(status) >> 30) == 1; }
constexpr bool USBD_ERROR(USBD_STATUS status) { return status < 0; }

// ---- Request blocks ------------------------------------------------------------------------

// The internal device control that carries a URB; the URB goes in
// Parameters.Others.Argument1 of the bus's stack location.
constexpr ULONG FILE_DEVICE_USB = FILE_DEVICE_UNKNOWN;
constexpr ULONG USB_SUBMIT_URB = 0;
constexpr ULONG IOCTL_INTERNAL_USB_SUBMIT_URB = CTL_CODE(FILE_DEVICE_USB, USB_SUBMIT_URB, METHOD_NEITHER, FILE_ANY_ACCESS);

constexpr USHORT URB_FUNCTION_SELECT_CONFIGURATION = 0x0000;
constexpr USHORT URB_FUNCTION_ABORT_PIPE = 0x0002;
constexpr USHORT URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER = 0x0009;
constexpr USHORT URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE = 0x000B;
constexpr USHORT URB_FUNCTION_VENDOR_DEVICE = 0x0017;
constexpr USHORT URB_FUNCTION_RESET_PIPE = 0x001E;

constexpr ULONG USBD_TRANSFER_DIRECTION_OUT = 0;
constexpr ULONG USBD_TRANSFER_DIRECTION_IN = 1;
constexpr ULONG USBD_SHORT_TRANSFER_OK = 2;

// What a pipe may carry at most in one transfer unless the driver asks otherwise.
constexpr ULONG USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE = 4096;

using USBD_PIPE_HANDLE = PVOID;
using USBD_CONFIGURATION_HANDLE = PVOID;
using USBD_INTERFACE_HANDLE = PVOID;

enum USBD_PIPE_TYPE {
    UsbdPipeTypeControl = 0,
    UsbdPipeTypeIsochronous = 1,
    UsbdPipeTypeBulk = 2,
    UsbdPipeTypeInterrupt = 3,
};

union URB;
using PURB = URB*;

struct _URB_HEADER
{
    USHORT Length;
    USHORT Function;
    USBD_STATUS Status;
    PVOID UsbdDeviceHandle;
    ULONG UsbdFlags;
};

struct _URB_HCD_AREA
{
    PVOID Reserved8[8];
};

struct USBD_PIPE_INFORMATION
{
    USHORT MaximumPacketSize;
    UCHAR EndpointAddress;
    UCHAR Interval;
    USBD_PIPE_TYPE PipeType;
    USBD_PIPE_HANDLE PipeHandle;
    ULONG MaximumTransferSize; // set by the driver before it selects the configuration
    ULONG PipeFlags;
};
using PUSBD_PIPE_INFORMATION = USBD_PIPE_INFORMATION*;

// Followed in memory by NumberOfPipes - 1 further pipes; Length covers them all.
struct USBD_INTERFACE_INFORMATION
{
    USHORT Length;
    UCHAR InterfaceNumber;
    UCHAR AlternateSetting;
    UCHAR Class;
    UCHAR SubClass;
    UCHAR Protocol;
    UCHAR Reserved;
    USBD_INTERFACE_HANDLE InterfaceHandle;
    ULONG NumberOfPipes;
    USBD_PIPE_INFORMATION Pipes[1];
};
using PUSBD_INTERFACE_INFORMATION = USBD_INTERFACE_INFORMATION*;

constexpr USHORT GET_USBD_INTERFACE_SIZE(ULONG numEndpoints)
{
    return USHORT(sizeof(USBD_INTERFACE_INFORMATION) + (LONG(numEndpoints) - 1) * LONG(sizeof(USBD_PIPE_INFORMATION)));
}

struct _URB_SELECT_CONFIGURATION
{
    _URB_HEADER Hdr;
    PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor; // NULL: back to the unconfigured state
    USBD_CONFIGURATION_HANDLE ConfigurationHandle;
    USBD_INTERFACE_INFORMATION Interface; // the first of the interfaces, each Length bytes
};

// Reset and abort. A stack of version 1.0 or older expects the record without Reserved.
struct _URB_PIPE_REQUEST
{
    _URB_HEADER Hdr;
    USBD_PIPE_HANDLE PipeHandle;
    ULONG Reserved;
};

struct _URB_CONTROL_DESCRIPTOR_REQUEST
{
    _URB_HEADER Hdr;
    PVOID Reserved;
    ULONG Reserved0;
    ULONG TransferBufferLength; // in: the buffer's size; out: the bytes received
    PVOID TransferBuffer;
    PMDL TransferBufferMDL; // used instead of TransferBuffer when set
    PURB UrbLink;
    _URB_HCD_AREA hca;
    USHORT Reserved1;
    UCHAR Index;
    UCHAR DescriptorType;
    USHORT LanguageId;
    USHORT Reserved2;
};

struct _URB_BULK_OR_INTERRUPT_TRANSFER
{
    _URB_HEADER Hdr;
    USBD_PIPE_HANDLE PipeHandle;
    ULONG TransferFlags;
    ULONG TransferBufferLength; // in: the buffer's size; out: the bytes transferred
    PVOID TransferBuffer;
    PMDL TransferBufferMDL;
    PURB UrbLink;
    _URB_HCD_AREA hca;
};

struct _URB_CONTROL_VENDOR_OR_CLASS_REQUEST
{
    _URB_HEADER Hdr;
    PVOID Reserved;
    ULONG TransferFlags;
    ULONG TransferBufferLength;
    PVOID TransferBuffer;
    PMDL TransferBufferMDL;
    PURB UrbLink;
    _URB_HCD_AREA hca;
    UCHAR RequestTypeReservedBits;
    UCHAR Request;
    USHORT Value;
    USHORT Index;
    USHORT Reserved1;
};

union URB {
    _URB_HEADER UrbHeader;
    _URB_SELECT_CONFIGURATION UrbSelectConfiguration;
    _URB_PIPE_REQUEST UrbPipeRequest;
    _URB_CONTROL_DESCRIPTOR_REQUEST UrbControlDescriptorRequest;
    _URB_BULK_OR_INTERRUPT_TRANSFER UrbBulkOrInterruptTransfer;
    _URB_CONTROL_VENDOR_OR_CLASS_REQUEST UrbControlVendorClassRequest;
};

inline VOID UsbBuildGetDescriptorRequest(PURB urb, USHORT length, UCHAR descriptorType, UCHAR descriptorIndex,
                                         USHORT languageId, PVOID transferBuffer, PMDL transferBufferMDL,
                                         ULONG transferBufferLength, PURB link)
{
    urb->UrbHeader.Function = URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE;
    urb->UrbHeader.Length = length;
    urb->UrbControlDescriptorRequest.TransferBufferLength = transferBufferLength;
    urb->UrbControlDescriptorRequest.TransferBufferMDL = transferBufferMDL;
    urb->UrbControlDescriptorRequest.TransferBuffer = transferBuffer;
    urb->UrbControlDescriptorRequest.DescriptorType = descriptorType;
    urb->UrbControlDescriptorRequest.Index = descriptorIndex;
    urb->UrbControlDescriptorRequest.LanguageId = languageId;
    urb->UrbControlDescriptorRequest.UrbLink = link;
}

inline VOID UsbBuildInterruptOrBulkTransferRequest(PURB urb, USHORT length, USBD_PIPE_HANDLE pipeHandle,
                                                   PVOID transferBuffer, PMDL transferBufferMDL,
                                                   ULONG transferBufferLength, ULONG transferFlags, PURB link)
{
    urb->UrbHeader.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;
    urb->UrbHeader.Length = length;
    urb->UrbBulkOrInterruptTransfer.PipeHandle = pipeHandle;
    urb->UrbBulkOrInterruptTransfer.TransferBufferLength = transferBufferLength;
    urb->UrbBulkOrInterruptTransfer.TransferBufferMDL = transferBufferMDL;
    urb->UrbBulkOrInterruptTransfer.TransferBuffer = transferBuffer;
    urb->UrbBulkOrInterruptTransfer.TransferFlags = transferFlags;
    urb->UrbBulkOrInterruptTransfer.UrbLink = link;
}

inline VOID UsbBuildVendorRequest(PURB urb, USHORT function, USHORT length, ULONG transferFlags,
                                  UCHAR reservedBits, UCHAR request, USHORT value, USHORT index,
                                  PVOID transferBuffer, PMDL transferBufferMDL, ULONG transferBufferLength,
                                  PURB link)
{
    urb->UrbHeader.Function = function;
    urb->UrbHeader.Length = length;
    urb->UrbControlVendorClassRequest.TransferBufferLength = transferBufferLength;
    urb->UrbControlVendorClassRequest.TransferBufferMDL = transferBufferMDL;
    urb->UrbControlVendorClassRequest.TransferBuffer = transferBuffer;
    urb->UrbControlVendorClassRequest.RequestTypeReservedBits = reservedBits;
    urb->UrbControlVendorClassRequest.Request = request;
    urb->UrbControlVendorClassRequest.Value = value;
    urb->UrbControlVendorClassRequest.Index = index;
    urb->UrbControlVendorClassRequest.TransferFlags = transferFlags;
    urb->UrbControlVendorClassRequest.UrbLink = link;
}

inline VOID UsbBuildSelectConfigurationRequest(PURB urb, USHORT length,
                                               PUSB_CONFIGURATION_DESCRIPTOR configurationDescriptor)
{
    urb->UrbHeader.Function = URB_FUNCTION_SELECT_CONFIGURATION;
    urb->UrbHeader.Length = length;
    urb->UrbSelectConfiguration.ConfigurationDescriptor = configurationDescriptor;
}

// ---- USBD helper routines --------------------------------------------------------------------

struct USBD_VERSION_INFORMATION
{
    ULONG USBDI_Version;         // 0x600 unless a test sets another
    ULONG Supported_USB_Version; // BCD, 0x200 = USB 2.0
};
using PUSBD_VERSION_INFORMATION = USBD_VERSION_INFORMATION*;

struct USBD_INTERFACE_LIST_ENTRY
{
    PUSB_INTERFACE_DESCRIPTOR InterfaceDescriptor; // NULL ends the list
    PUSBD_INTERFACE_INFORMATION Interface;          // set by USBD_CreateConfigurationRequestEx
};
using PUSBD_INTERFACE_LIST_ENTRY = USBD_INTERFACE_LIST_ENTRY*;

VOID USBD_GetUSBDIVersion(PUSBD_VERSION_INFORMATION VersionInformation);

// The first interface descriptor at or after StartPosition that matches; -1 matches any
// value. NULL when none does, or when the configuration descriptor is malformed (a
// descriptor of length 0 or one that runs past wTotalLength).
PUSB_INTERFACE_DESCRIPTOR USBD_ParseConfigurationDescriptorEx(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                                              PVOID StartPosition, LONG InterfaceNumber,
                                                              LONG AlternateSetting, LONG InterfaceClass,
                                                              LONG InterfaceSubClass, LONG InterfaceProtocol);

// A select-configuration request (pool, freed by the caller with ExFreePool) for the
// interfaces of the list, with room for each one's pipes; every pipe's
// MaximumTransferSize starts at USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE. Sets each entry's
// Interface. NULL when the descriptor is malformed, an interface lies outside it or lacks
// the endpoint descriptors it announces, or the pool is exhausted.
PURB USBD_CreateConfigurationRequestEx(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                       PUSBD_INTERFACE_LIST_ENTRY InterfaceList);

namespace platform::usb {

// The version USBD_GetUSBDIVersion reports, so that tests can run drivers against an old
// stack. Process-wide.
void SetUsbdiVersion(ULONG usbdiVersion, ULONG supportedUsbVersion);
void ResetUsbdiVersion();

// NTSTATUS with which the bus completes a request whose URB ended with `status`.
NTSTATUS NtStatusFromUsbd(USBD_STATUS status);

} // namespace platform::usb
