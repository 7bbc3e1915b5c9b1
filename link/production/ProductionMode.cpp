#include "link/production/ProductionMode.h"

#include <QDateTime>
#include <QFile>
#include <QSettings>
#include <QTextStream>

namespace {

// The access code is assembled at run time so that it never stands whole in the binary.
constexpr quint32 kAccessCodeHigh = 0x5a3c'91e7u;
constexpr quint32 kAccessCodeLow = 0x0d62'b4f8u;

quint64 ProductionAccessCode()
{
    return (quint64(kAccessCodeHigh) << 32) | kAccessCodeLow;
}

// Identifiers 0 to 2 mean "not assigned yet" to discovery; 0xFFFFFFFF is the broadcast
// device id of a manufacturer. Neither may be handed out.
constexpr quint32 kFirstAssignableId = 3;
constexpr quint32 kLastAssignableId = 0xFFFF'FFFEu;

QSettings ProductionSettings()
{
    return QSettings(QSettings::SystemScope, QStringLiteral("Quorvane"), QStringLiteral("Velmora"));
}

// The identifier a record line starts with, if it starts with one.
bool ParseIdentifier(QString line, quint32& id)
{
    const qsizetype comment = line.indexOf(QLatin1Char('#'));
    if (comment >= 0)
        line.truncate(comment);
    if (line.trimmed().isEmpty() || line.size() < 8)
        return false;
    bool ok = false;
    const uint value = line.left(8).toUInt(&ok, 16);
    if (!ok)
        return false;
    id = value;
    return true;
}

} // namespace

bool ProductionKeyMatches()
{
    const QSettings settings = ProductionSettings();
    const QVariant key = settings.value(QStringLiteral("UniqueIdGenerator/key"));
    if (!key.isValid())
        return false;
    bool ok = false;
    const quint64 value = key.toULongLong(&ok);
    return ok && value == ProductionAccessCode();
}

bool IsProductionMode()
{
    return ProductionKeyMatches() && ProductionSettings().value(QStringLiteral("ProductionMode")).toInt() == 1;
}

bool UniqueIdGenerator(const QString& model, quint32& id)
{
    if (!ProductionKeyMatches())
        return false;
    const QString path = ProductionSettings().value(QStringLiteral("UniqueIdGenerator/%1").arg(model)).toString();
    if (path.isEmpty())
        return false;

    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Text))
        return false;

    quint32 highest = 0;
    bool lastLineEnded = true;
    while (!file.atEnd()) {
        const QByteArray raw = file.readLine();
        lastLineEnded = raw.endsWith('\n');
        quint32 value;
        if (ParseIdentifier(QString::fromLatin1(raw), value) && value > highest)
            highest = value;
    }
    if (highest >= kLastAssignableId)
        return false;
    const quint32 next = qMax(highest + 1, kFirstAssignableId);

    // A last line without its line end would swallow the new record, and the same
    // identifier would be handed out again next time.
    QByteArray record;
    if (!lastLineEnded)
        record += '\n';
    record += QStringLiteral("%1  %2\n")
                  .arg(next, 8, 16, QLatin1Char('0'))
                  .arg(QDateTime::currentDateTime().toString(Qt::TextDate))
                  .toLatin1();
    if (file.write(record) != record.size() || !file.flush())
        return false;
    file.close();
    if (file.error() != QFileDevice::NoError)
        return false;
    id = next;
    return true;
}
