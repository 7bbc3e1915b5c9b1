#include "tests/firmware/TarvoTestPackets.h"

#include "sim/fixtures/TarvoWire.h"

namespace tarvotest {

using namespace sim::tarvowire;

QByteArray Request(quint8 subCommand, quint32 id, quint16 argument)
{
    QByteArray data;
    data.append(char(argument >> 8));
    data.append(char(argument & 0xFF));
    return Encode(subCommand, id, data);
}

QByteArray Packet(quint8 subCommand, quint32 id, const QByteArray& data)
{
    return Encode(subCommand, id, data);
}

QByteArray TalkbackRequest(quint8 kind, quint8 parameter, quint32 id)
{
    return Talkback(kind, parameter, id, QByteArray(2, '\0'));
}

} // namespace tarvotest
