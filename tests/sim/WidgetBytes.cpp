#include "tests/sim/WidgetBytes.h"

#include <QtEndian>

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int value : values)
        bytes.append(char(value));
    return bytes;
}

QByteArray Pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + seed) & 0xFF);
    return bytes;
}

QByteArray U32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray DmxPackets(quint16 product, const QByteArray& image)
{
    QByteArray transfer;
    const bool offsetForm = product == 0x0002;
    const int per = offsetForm ? 61 : 63;
    for (int offset = 0; offset < image.size(); offset += per) {
        const QByteArray data = image.mid(offset, per);
        const bool last = offset + data.size() == image.size();
        if (offsetForm)
            transfer.append(char(last ? 0x31 : 0x30)).append(char(offset & 0xFF)).append(char(offset >> 8));
        else
            transfer.append(char(offset == 0 ? 0x30 : last ? 0x32 : 0x31));
        transfer.append(data);
    }
    return transfer;
}
