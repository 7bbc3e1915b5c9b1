#pragma once

// The interface of the widget's USB driver (qex_usb), shared by the driver, the program
// that talks to it through device files and the simulated widget: device names, control
// codes with their input and output records, the device map, the widget's pipes and
// commands, and the per-product packet layout of DMX writes.
//
// Plain standard C++ (no kernel or Qt types), so that user-mode code can include it.
// All records are packed and little-endian, as they cross the driver boundary.

#include <cstddef>
#include <cstdint>

// ---- Control codes ------------------------------------------------------------------------
//
// Device type FILE_DEVICE_UNKNOWN (0x22), access FILE_ANY_ACCESS; the function number and
// the transfer method (0 buffered, 1 direct in, 2 direct out) make up the rest.

constexpr std::uint32_t WidgetControlCode(std::uint32_t function, std::uint32_t method)
{
    return (0x22u << 16) | (function << 2) | method;
}

// Widget device only. No input; the output buffer (at least 18 bytes) receives the USB
// device descriptor. Returned length: the bytes read, 0 when the read failed (status
// success either way).
constexpr std::uint32_t IOCTL_WIDGET_GET_DEVICE_DESCRIPTOR = WidgetControlCode(0x801, 0);
// Widget device only. No input; configuration descriptor 0, as much of it as the output
// buffer holds. Returned length: the bytes read, 0 when the read failed.
constexpr std::uint32_t IOCTL_WIDGET_GET_CONFIGURATION_DESCRIPTOR = WidgetControlCode(0x802, 0);
// Map or widget device. Output: WidgetMapHeader {stamp, 28, 32}.
constexpr std::uint32_t IOCTL_WIDGET_GET_MAP_HEADER = WidgetControlCode(0x803, 0);
// Map or widget device. Output: WidgetDeviceMap (896 bytes).
constexpr std::uint32_t IOCTL_WIDGET_GET_MAP = WidgetControlCode(0x804, 0);
// Widget device only. Input: u32 pipe index. Resets the pipe.
constexpr std::uint32_t IOCTL_WIDGET_RESET_PIPE = WidgetControlCode(0x80D, 1);
// Widget device only. Input: u32 pipe index. Aborts the pipe's transfers (they complete
// cancelled); succeeds whatever the USB stack answers.
constexpr std::uint32_t IOCTL_WIDGET_ABORT_PIPE = WidgetControlCode(0x80F, 1);
// Widget device only. Input: WidgetStringRequest; output: the string descriptor, as much
// of it as the buffer holds.
constexpr std::uint32_t IOCTL_WIDGET_GET_STRING_DESCRIPTOR = WidgetControlCode(0x811, 0);
// Widget device only. Input: u32 index of an IN pipe; the output buffer receives one
// transfer. Completes when the widget sends, with the bytes received as its length.
constexpr std::uint32_t IOCTL_WIDGET_READ_PIPE = WidgetControlCode(0x821, 2);
// Widget device only. Input: u32 index of an OUT pipe; the output buffer holds the bytes
// to send. Completes when they are sent.
constexpr std::uint32_t IOCTL_WIDGET_WRITE_PIPE = WidgetControlCode(0x822, 1);
// Map or widget device. Output: 32 WidgetMapEntry records (512 bytes).
constexpr std::uint32_t IOCTL_WIDGET_GET_SHORT_MAP = WidgetControlCode(0x823, 0);
// Map or widget device. Output: WidgetMapHeader {stamp, 16, 32}.
constexpr std::uint32_t IOCTL_WIDGET_GET_SHORT_MAP_HEADER = WidgetControlCode(0x824, 0);
// Widget device only. Input: WidgetModeRecord; sends widget command 0x01.
constexpr std::uint32_t IOCTL_WIDGET_SET_MODE = WidgetControlCode(0x825, 2);
// Widget device only. Input: WidgetModeRecord (its selector); sends widget command 0x02
// and reads the reply. An output buffer of at least 2 bytes receives the record with the
// mode filled in (returned length 2), since a direct-output request's input does not
// travel back to the caller.
constexpr std::uint32_t IOCTL_WIDGET_GET_MODE = WidgetControlCode(0x826, 2);
// Widget device only. No input; sends widget command 0x08 as one 64-byte packet.
constexpr std::uint32_t IOCTL_WIDGET_SEND_COMMAND_8 = WidgetControlCode(0x827, 2);

// ---- Records ------------------------------------------------------------------------------

#pragma pack(push, 1)

// One attached widget in the device map; the slot index is its device number. A free
// slot is all zero.
struct WidgetMapSlot
{
    std::uint32_t vendorId;     // idVendor of the device descriptor
    std::uint32_t productId;    // idProduct: selects the product behaviour
    std::uint32_t serialNumber; // the decimal digits the serial-number string begins with; 0 without
    std::uint32_t openFlag;     // 1 while a handle on the widget's device is open
    std::uint8_t version[2];    // bytes 1 and 2 of the reply to widget command 0x07
    std::uint8_t reply23[6];    // bytes 1 to 6 of the reply to widget command 0x23 (product 0x0002)
    std::uint8_t reply0A;       // byte 1 of the reply to widget command 0x0A (products 0x0011, 0x0017)
    std::uint8_t reserved[3];
};

// The short form of a slot.
struct WidgetMapEntry
{
    std::uint32_t vendorId;
    std::uint32_t productId;
    std::uint32_t serialNumber;
    std::uint32_t openFlag;
};

// Precedes the map: a change stamp that moves at every change of the map, the record
// size (28 for the map, 16 for the short map) and the record count (32).
struct WidgetMapHeader
{
    std::uint32_t changeStamp;
    std::uint32_t recordSize;
    std::uint32_t recordCount;
};

constexpr std::uint32_t kWidgetMapSlotCount = 32;

struct WidgetDeviceMap
{
    WidgetMapSlot slot[kWidgetMapSlotCount];
};

struct WidgetShortMap
{
    WidgetMapEntry entry[kWidgetMapSlotCount];
};

// Input of IOCTL_WIDGET_SET_MODE and IOCTL_WIDGET_GET_MODE. Product 0x0002 has one mode
// and ignores the selector.
struct WidgetModeRecord
{
    std::uint8_t selector;
    std::uint8_t mode;
};

// Input of IOCTL_WIDGET_GET_STRING_DESCRIPTOR.
struct WidgetStringRequest
{
    std::uint8_t index;
    std::uint8_t ignored;
    std::uint16_t languageId;
};

#pragma pack(pop)

static_assert(sizeof(WidgetMapSlot) == 28);
static_assert(offsetof(WidgetMapSlot, version) == 16 && offsetof(WidgetMapSlot, reply23) == 18 &&
              offsetof(WidgetMapSlot, reply0A) == 24);
static_assert(sizeof(WidgetMapEntry) == 16);
static_assert(sizeof(WidgetMapHeader) == 12);
static_assert(sizeof(WidgetDeviceMap) == 896);
static_assert(sizeof(WidgetShortMap) == 512);
static_assert(sizeof(WidgetModeRecord) == 2);
static_assert(sizeof(WidgetStringRequest) == 4);

namespace qex_usb {

// ---- Device names -----------------------------------------------------------------------

// User-mode paths. A widget's device carries its slot number as two decimal digits.
inline constexpr char kMapDevicePath[] = "\\\\.\\qex_usb_map";
inline constexpr char kWidgetDevicePathFormat[] = "\\\\.\\qex_usb_dev%02d";

// ---- Pipes ---------------------------------------------------------------------------------

// The widget's interface: six 64-byte bulk endpoints; a pipe index is the endpoint's
// position in it.
inline constexpr std::uint8_t kWidgetEndpoints[] = {0x02, 0x82, 0x04, 0x84, 0x05, 0x85};
constexpr std::uint32_t kWidgetPipeCount = 6;
constexpr std::uint32_t kWidgetPacketSize = 64;

constexpr std::uint32_t kCommandPipe = 0;  // widget commands and DMX writes
constexpr std::uint32_t kReplyPipe = 1;    // replies to widget commands
constexpr std::uint32_t kDmxInputPipe = 3; // DMX input
constexpr std::uint32_t kRdmPipe = 4;      // RDM messages to the widget
constexpr std::uint32_t kRdmReplyPipe = 5; // RDM replies

// ---- Widget commands (pipe 0; replies on pipe 1) ---------------------------------------

constexpr std::uint8_t kCommandSetMode = 0x01;  // 0x0002: {0x01, mode}; others {0x01, selector, mode}
constexpr std::uint8_t kCommandGetMode = 0x02;  // 0x0002: {0x02} → {0x02, mode}; others {0x02, selector} → {0x02, selector, mode}
constexpr std::uint8_t kCommandVersion = 0x07;  // → {0x07, version byte 1, version byte 2}
constexpr std::uint8_t kCommand8 = 0x08;        // one 64-byte packet, 0x08 and zeros
constexpr std::uint8_t kCommandQuery0A = 0x0A;  // → {0x0A, byte} (products 0x0011, 0x0017)
constexpr std::uint8_t kCommandQuery23 = 0x23;  // → {0x23, six bytes} (product 0x0002)

// ---- Products ------------------------------------------------------------------------------

// The products the driver knows, by the DMX image one write carries.
constexpr std::uint16_t kProduct512 = 0x0002; // the programmed widget
constexpr std::uint16_t kProduct2048 = 0x0011;
constexpr std::uint16_t kProduct2048B = 0x0017;
constexpr std::uint16_t kProduct4096 = 0x001D;

// How a product takes a DMX write: the image is cut into 64-byte packets of a header and
// up to `dataPerPacket` data bytes.
//  - 3-byte header (product 0x0002): 0x30, or 0x31 on the packet that carries the last
//    data byte, then the frame offset of the packet's first byte as a little-endian u16.
//  - 1-byte header (the others): 0x30 on the first packet; on later ones 0x32 when the
//    packet carries the last data byte, else 0x31.
struct WidgetProductLayout
{
    std::uint16_t productId = 0;
    std::uint32_t imageBytes = 0; // 0: the product takes no DMX writes or widget commands
    std::uint32_t headerBytes = 0;
    std::uint32_t dataPerPacket = 0;
    bool selectorForm = false; // mode commands carry a selector byte
};

constexpr std::uint8_t kPacketFirst = 0x30;
constexpr std::uint8_t kPacketMiddle = 0x31; // 1-byte headers
constexpr std::uint8_t kPacketLast = 0x32;   // 1-byte headers
constexpr std::uint8_t kPacketLastOfOffsetForm = 0x31; // 3-byte headers

constexpr WidgetProductLayout ProductLayout(std::uint32_t productId)
{
    switch (productId) {
    case kProduct512:
        return {kProduct512, 512, 3, 61, false};
    case kProduct2048:
    case kProduct2048B:
        return {std::uint16_t(productId), 2048, 1, 63, true};
    case kProduct4096:
        return {kProduct4096, 4096, 1, 63, true};
    default:
        return {std::uint16_t(productId), 0, 0, 0, false};
    }
}

// Bytes one DMX write of `dataBytes` puts on the pipe, headers included.
constexpr std::uint32_t PackedWriteLength(const WidgetProductLayout& layout, std::uint32_t dataBytes)
{
    if (layout.dataPerPacket == 0)
        return 0;
    const std::uint32_t packets = (dataBytes + layout.dataPerPacket - 1) / layout.dataPerPacket;
    return dataBytes + packets * layout.headerBytes;
}

static_assert(PackedWriteLength(ProductLayout(kProduct512), 512) == 539);
static_assert(PackedWriteLength(ProductLayout(kProduct2048), 2048) == 2081);
static_assert(PackedWriteLength(ProductLayout(kProduct4096), 4096) == 4162);

} // namespace qex_usb
