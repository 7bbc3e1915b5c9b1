#pragma once

#include <QtGlobal>

// The ANSI E1.20 numbers the RDM engine and its users share, and this controller's own
// identity on the line.
namespace rdm {

// ESTA manufacturer id of this system's controller and of the identifiers it assigns
// in production mode (E1.20's prototype range).
constexpr quint16 kEstaManufacturerId = 0x7FF0;
constexpr quint32 kControllerDeviceId = 0x12345789;

// A UID is 48 bits: the manufacturer id in bits 32-47, the device id in bits 0-31.
constexpr quint64 MakeUid(quint32 low, quint32 high)
{
    return (quint64(high & 0xFFFF) << 32) | low;
}
constexpr quint32 UidLow(quint64 uid) { return quint32(uid); }
constexpr quint32 UidHigh(quint64 uid) { return quint32(uid >> 32) & 0xFFFF; }

// Source of every request, and the only destination accepted in a reply.
constexpr quint64 ControllerUid = MakeUid(kControllerDeviceId, kEstaManufacturerId);
constexpr quint64 BroadcastUid = 0xFFFFFFFFFFFFull;

// Command classes; a responder answers a request class with the class + 1.
enum CommandClass : quint8 {
    DiscoveryCommand = 0x10,
    DiscoveryCommandResponse = 0x11,
    GetCommand = 0x20,
    GetCommandResponse = 0x21,
    SetCommand = 0x30,
    SetCommandResponse = 0x31,
};

// Response types of a reply (offset 16).
enum ResponseType : quint8 {
    ResponseAck = 0,
    ResponseAckTimer = 1,
    ResponseNackReason = 2,
    ResponseAckOverflow = 3,
};

// E1.20 NACK reasons the engine acts on.
constexpr quint16 kNackUnknownPid = 0x0000;
// The LED families answer this NACK reason while they are busy: wait and ask again.
constexpr quint16 kNackBusy = 0x8112;

// QUEUED_MESSAGE's status type asking for every queued message (E1.20 STATUS_ERROR).
constexpr quint8 kStatusError = 0x04;

// Requests go to the root device, and only its answers are taken.
constexpr quint16 kRootDevice = 0;

// Parameter ids the engine knows by name.
enum Pid : quint16 {
    PidDiscUniqueBranch = 0x0001,
    PidDiscMute = 0x0002,
    PidDiscUnMute = 0x0003,
    PidQueuedMessage = 0x0020,
    PidStatusMessages = 0x0030,
    PidSupportedParameters = 0x0050,
    PidDeviceInfo = 0x0060,
    PidDeviceModelDescription = 0x0080,
    PidManufacturerLabel = 0x0081,
    PidDeviceLabel = 0x0082,
    PidFactoryDefaults = 0x0090,
    PidSoftwareVersionLabel = 0x00C0,
    PidBootSoftwareVersionLabel = 0x00C2,
    PidDmxPersonalityDescription = 0x00E1,
    PidDmxStartAddress = 0x00F0,
    PidDeviceHours = 0x0400,
    PidLampHours = 0x0401,
    PidLampStrikes = 0x0402,
    PidLampState = 0x0403,
    PidLampOnMode = 0x0404,
    PidDevicePowerCycles = 0x0405,
    PidDisplayInvert = 0x0500,
    PidDisplayLevel = 0x0501,
    PidPanInvert = 0x0600,
    PidTiltInvert = 0x0601,
    PidPanTiltSwap = 0x0602,
    PidIdentifyDevice = 0x1000,
    PidPowerState = 0x1010,
};

// Packet layout (the same for requests and replies).
constexpr int kHeaderSize = 24;        // start code .. parameter data length
constexpr int kChecksumSize = 2;
constexpr int kMinPacketSize = kHeaderSize + kChecksumSize;
// The message-length byte counts header and data, so the data can be at most 255 - 24;
// E1.20 itself limits parameter data to 231 bytes.
constexpr int kMaxParameterData = 231;
constexpr int kReplyBufferSize = 512;

namespace offset {
constexpr int StartCode = 0;
constexpr int SubStartCode = 1;
constexpr int MessageLength = 2;
constexpr int Destination = 3;
constexpr int Source = 9;
constexpr int TransactionNumber = 15;
constexpr int PortOrResponseType = 16;
constexpr int MessageCount = 17;
constexpr int SubDevice = 18;
constexpr int CommandClass = 20;
constexpr int ParameterId = 21;
constexpr int ParameterDataLength = 23;
constexpr int ParameterData = 24;
} // namespace offset

constexpr quint8 kStartCode = 0xCC;
constexpr quint8 kSubStartCode = 0x01;

// Results of RDMProtocol::SendRequest below zero.
enum TransactionError : int {
    ErrorReplyTooLong = -1,     // the reply's data does not fit the caller's buffer
    ErrorMismatch = -2,         // checksum wrong, or the reply is not the answer to this request
    ErrorNoReply = -3,
    ErrorSendFailed = -4,       // the widget did not take the request, or the request was refused
    ErrorMalformed = -5,        // no widget, or a reply whose layout is wrong
};

} // namespace rdm
