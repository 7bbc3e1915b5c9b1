#include "tools/lamp_firmware/LampFirmware.h"

#include "link/devices/ModelTable.h"

#include <QSaveFile>

namespace lamp_firmware {

namespace {

constexpr int kPacketSize = 256;
// Erased flash: the packets between the vector tables and the code, and the unused end.
constexpr int kGapFirstPacket = 8;
constexpr int kGapPackets = 4;
constexpr int kUsedEighths = 5;

bool ValidRow(int row)
{
    return row >= 0 && row < kModelTableRows;
}

} // namespace

QByteArray Image(int row)
{
    if (!ValidRow(row))
        return QByteArray();
    const int packets = int(kModelTable[row].packetCount);
    QByteArray image(packets * kPacketSize, '\xFF');
    const int usedPackets = packets * kUsedEighths / 8;
    // Code: a fixed pseudo-random sequence per row (a linear congruential generator), so
    // that every build makes the same image.
    quint32 state = 0x9E37'79B9u ^ quint32(row);
    for (int p = 0; p < usedPackets; ++p) {
        if (p >= kGapFirstPacket && p < kGapFirstPacket + kGapPackets)
            continue;
        for (int i = 0; i < kPacketSize; ++i) {
            state = state * 1664525u + 1013904223u;
            image[p * kPacketSize + i] = char(state >> 24);
        }
    }
    const QByteArray header = QByteArray("TARVO-LAMP ") + kModelTable[row].modelName + ' ' + kVersion + '\0';
    image.replace(0, header.size(), header);
    return image;
}

QString FileName(int row)
{
    if (!ValidRow(row))
        return QString();
    return QString::fromLatin1(kModelTable[row].firmwarePattern)
        .replace(QLatin1Char('*'), QStringLiteral("-") + QLatin1String(kVersion));
}

bool Write(int row, const QString& dir, QString* error)
{
    if (!ValidRow(row)) {
        if (error)
            *error = QStringLiteral("there is no model-table row %1").arg(row);
        return false;
    }
    QSaveFile file(dir + QLatin1Char('/') + FileName(row));
    const QByteArray image = Image(row);
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    return true;
}

} // namespace lamp_firmware
