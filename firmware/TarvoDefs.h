#pragma once

#include <QtGlobal>

// The numbers of the Tarvo protocol: the lamp fixtures' own packets on the DMX line, and
// the firmware path of the LED families' motion and graphics boards. Multi-byte fields
// are big-endian.
namespace tarvo {

// The first byte of every packet ('&'). It stands where RDM's start code (0xCC) does, so
// RDM responders ignore Tarvo packets and Tarvo fixtures ignore RDM.
constexpr quint8 kCommand = 0x26;

// Sub-commands (the second byte).
enum SubCommand : quint8 {
    SubReadyForCode = 0x01,   // request: FE ED FA CE once the flash is erased
    SubConfirmPacket = 0x02,  // request: echoes the firmware packet number it holds
    SubVerifyChecksum = 0x03, // request: a good reply checksum when the image checksum matches
    SubProbe = 0x05,          // request: answered by every lit fixture whose id is >= the probe's
    SubExtinguishCheck = 0x06,// request: answered once the fixture is extinguished
    SubDeviceType = 0x08,     // request: byte 6 of the reply is the model-table row
    SubTalkback = 0x50,       // 'P': the talkback read of parameter and information values
    SubReset = 0x80,          // packet: a reset code enters the loader
    SubFirmwarePacket = 0x81, // packet: 256 image bytes; the id field holds the packet number
    SubErase = 0x82,          // packet: erase the flash
    SubExtinguish = 0x83,     // packet: stop answering probes
    SubCommandWord = 0x85,    // packet: a discovery reset code
};

// Kinds of talkback request and of their replies.
constexpr quint8 kTalkbackInformation = 0x30;      // '0'
constexpr quint8 kTalkbackInformationReply = 0x31; // '1'
constexpr quint8 kTalkbackParameter = 0x11;
constexpr quint8 kTalkbackParameterReply = 0x12;
// Asks a talkback for every value at once.
constexpr quint8 kAllValues = 255;

// A four-character code as it goes in the id field: its characters in reading order.
constexpr quint32 Code(const char (&text)[5])
{
    return (quint32(quint8(text[0])) << 24) | (quint32(quint8(text[1])) << 16) | (quint32(quint8(text[2])) << 8)
         | quint32(quint8(text[3]));
}

// Discovery resets (sub-command 0x85) and loader resets (0x80), each sent in this order.
constexpr quint32 kClearCodes[] = {Code("CLRA"), Code("CLRB"), Code("CLRC"), Code("CLRE")};
constexpr quint32 kResetCodes[] = {Code("RSET"), Code("RSEA"), Code("RSEB"), Code("RSEC")};

// What a loader answers to sub-command 1 once its flash is erased.
constexpr quint32 kReadyForCode = 0xFEEDFACE;

// Packet layout: command, sub-command, 32-bit id, data, checksum of everything before it.
constexpr int kHeaderSize = 6;
constexpr int kChecksumSize = 2;
constexpr int kMaxPacketSize = 512;  // what the widget carries
constexpr int kMaxPacketData = kMaxPacketSize - kHeaderSize - kChecksumSize;
// A request is a packet with a 16-bit argument for its data; its reply carries the
// sub-command's answer in bytes 6 to 9 and a checksum in bytes 10 and 11.
constexpr int kRequestSize = kHeaderSize + 2 + kChecksumSize;
constexpr int kRequestReplySize = 12;
constexpr int kReplyAnswerOffset = 6;
// Talkback: 13 header bytes (byte 12 is the data length), data, checksum.
constexpr int kTalkbackRequestSize = 17;
constexpr int kTalkbackHeaderSize = 13;
constexpr int kTalkbackLengthOffset = 12;
constexpr int kTalkbackReplyRoom = 255;

// Firmware images travel in packets of this many bytes.
constexpr int kFirmwarePacketSize = 256;

} // namespace tarvo
