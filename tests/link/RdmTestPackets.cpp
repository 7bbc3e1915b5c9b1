#include "tests/link/RdmTestPackets.h"

#include <QStringList>

namespace rdmtest {

QByteArray Bytes(const char* hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

QString ToHex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QByteArray U16(quint16 value)
{
    QByteArray bytes;
    bytes.append(char(value >> 8)).append(char(value));
    return bytes;
}

QByteArray U32(quint32 value)
{
    return U16(quint16(value >> 16)) + U16(quint16(value));
}

namespace {

QByteArray Uid(quint64 uid)
{
    return U16(quint16(uid >> 32)) + U32(quint32(uid));
}

QByteArray Packet(quint64 destination, quint64 source, quint8 transaction, quint8 portOrResponse,
                  quint8 commandClass, quint16 pid, const QByteArray& data)
{
    QByteArray body;
    body.append(char(0xCC)).append(char(0x01)).append(char(24 + data.size()));
    body += Uid(destination) + Uid(source);
    body.append(char(transaction)).append(char(portOrResponse)).append(char(0));
    body += U16(0);
    body.append(char(commandClass));
    body += U16(pid);
    body.append(char(data.size()));
    body += data;
    return WithChecksum(body);
}

} // namespace

QByteArray WithChecksum(QByteArray body)
{
    quint16 sum = 0;
    for (char c : body)
        sum = quint16(sum + quint8(c));
    return body + U16(sum);
}

QByteArray Request(quint64 destination, quint8 transaction, quint8 commandClass, quint16 pid, const QByteArray& data)
{
    return Packet(destination, rdm::ControllerUid, transaction, 1, commandClass, pid, data);
}

QByteArray Reply(quint64 source, quint8 transaction, quint8 responseType, quint8 commandClass, quint16 pid,
                 const QByteArray& data, quint64 destination)
{
    return Packet(destination, source, transaction, responseType, quint8(commandClass + 1), pid, data);
}

} // namespace rdmtest
