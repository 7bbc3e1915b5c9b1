#pragma once

#include "link/rdm/RdmDefs.h"

#include <QByteArray>
#include <QString>

// E1.20 packets written out independently of the engine, for scripted far ends.
namespace rdmtest {

// "CC 01 18 ..." (blanks optional) to bytes.
QByteArray Bytes(const char* hex);
// Bytes to "CC 01 18 ...".
QString ToHex(const QByteArray& bytes);

// The request the controller sends: source rdm::ControllerUid, port 1.
QByteArray Request(quint64 destination, quint8 transaction, quint8 commandClass, quint16 pid,
                   const QByteArray& data = QByteArray());

// A responder's reply to the controller (command class is the request's + 1).
QByteArray Reply(quint64 source, quint8 transaction, quint8 responseType, quint8 commandClass, quint16 pid,
                 const QByteArray& data = QByteArray(), quint64 destination = rdm::ControllerUid);

// Appends the big-endian 16-bit sum of all bytes.
QByteArray WithChecksum(QByteArray body);

QByteArray U16(quint16 value);
QByteArray U32(quint32 value);

} // namespace rdmtest
