#pragma once

#include <QtGlobal>

// The RDM exchange the widget offers the protocol engines: one request at a time, its
// reply collected afterwards. The widget transport implements it; tests put a scripted
// far end in its place.
//
// Called on the command thread only.
class IRdmLink
{
public:
    virtual ~IRdmLink() = default;

    // A request (1..512 bytes) whose answer is not wanted. False when it could not be
    // handed to the widget.
    virtual bool SendRdmPacket(const quint8* data, int length, int timeoutMs) = 0;

    // A request (1..512 bytes) whose answer is wanted; `expected` is the longest reply
    // the caller accepts. False when it could not be handed to the widget.
    virtual bool SendRdmReadPacket(const quint8* data, int length, quint16 expected, int timeoutMs) = 0;

    // Waits up to `timeoutMs` for the reply to the last request and copies at most
    // `capacity` bytes of it. Returns the number of bytes copied, 0 when no reply came.
    // `complete`, when given, receives 1 when the widget finished the exchange (with or
    // without reply data) and 0 when it saw no answer on the line.
    virtual int ReceiveRdmPacket(quint8* buffer, int capacity, quint8* complete, int timeoutMs) = 0;
};
