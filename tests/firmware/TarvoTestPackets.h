#pragma once

#include <QByteArray>
#include <QtGlobal>

// Tarvo packets as the far end of the program's protocol sees them, built with the
// simulated fixtures' own codec.
namespace tarvotest {

// A request: sub-command, id, 16-bit argument.
QByteArray Request(quint8 subCommand, quint32 id, quint16 argument = 0);
// A packet without reply.
QByteArray Packet(quint8 subCommand, quint32 id, const QByteArray& data = QByteArray());
// A talkback request of `kind` (0x30 information, 0x11 parameters).
QByteArray TalkbackRequest(quint8 kind, quint8 parameter, quint32 id);

} // namespace tarvotest
