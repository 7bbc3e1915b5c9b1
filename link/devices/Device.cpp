#include "link/devices/Device.h"

#include "link/devices/ModelTable.h"
#include "platform/system/Clock.h"

#include <QStandardItemModel>

Device::Device(QObject* parent) : QObject(parent), lastSeenMs_(platform::Clock::NowMs()) {}

Device::~Device() = default;

void Device::SetUniqueId(quint32 low, quint32 high)
{
    uniqueId_ = (quint64(high & 0xFFFF) << 32) | low;
}

void Device::RestartLastSeen()
{
    lastSeenMs_ = platform::Clock::NowMs();
}

qint64 Device::MsSinceLastSeen() const
{
    return platform::Clock::NowMs() - lastSeenMs_;
}

void Device::TakeValuesFrom(const Device& fresh)
{
    const quint16 address = GetDmxAddress();
    const bool changed = CopyValues(fresh);
    if (GetDmxAddress() != address)
        emit AddressChanged();
    if (changed)
        emit ValuesChanged();
}

bool Device::CopyValues(const Device& fresh)
{
    const bool changed = upgradable_ != fresh.upgradable_ || usesModelTable_ != fresh.usesModelTable_;
    upgradable_ = fresh.upgradable_;
    usesModelTable_ = fresh.usesModelTable_;
    return changed;
}

QString Device::GetModelTableName() const
{
    const quint16 id = GetDeviceModelId();
    if (!usesModelTable_ || id >= kModelTableRows)
        return QString();
    return QString::fromLatin1(kModelTable[id].modelName);
}

const ModelTableRow* Device::FirmwareRow() const
{
    const quint16 index = GetModelIndex();
    if (!usesModelTable_ || index >= kModelTableRows)
        return nullptr;
    return &kModelTable[index];
}

bool Device::SkipBlankFirmwarePackets() const
{
    const ModelTableRow* row = FirmwareRow();
    return row && row->skipBlank != 0;
}

quint32 Device::GetFirmwarePacketCount() const
{
    const ModelTableRow* row = FirmwareRow();
    return row ? row->packetCount : 0;
}

QString Device::GetDefaultFirmwareFile() const
{
    return QString();
}

QString Device::GetFirmwareFileFilter() const
{
    const ModelTableRow* row = FirmwareRow();
    return row ? QString::fromLatin1(row->firmwarePattern) : QString();
}

QString Device::GetFirmwareFileVersion(const QString&) const
{
    return QStringLiteral("Unknown");
}

bool Device::AcceptsFirmwareFile(const QString&) const
{
    return true;
}

ContentFolder* Device::GetContentRoot() { return nullptr; }
ContentFolder* Device::ExistingContentRoot() { return nullptr; }
ContentFolder* Device::GetUserContentGroup() { return nullptr; }
ContentFolder* Device::GetStockContentGroup() { return nullptr; }
ContentFolder* Device::GetMosavraContentGroup() { return nullptr; }

QString Device::LampStateText(quint32 state)
{
    switch (state) {
    case 0: return QStringLiteral("OFF");
    case 1: return QStringLiteral("ON");
    case 2: return QStringLiteral("STRIKE");
    case 3: return QStringLiteral("STANDBY");
    case 4: return QStringLiteral("NOT PRESENT");
    case 0x7F: return QStringLiteral("ERROR");
    default: return QStringLiteral("CUSTOM");
    }
}

QString Device::LampOnModeText(quint32 mode)
{
    switch (mode) {
    case 0: return QStringLiteral("OFF");
    case 1: return QStringLiteral("ON DMX");
    case 2: return QStringLiteral("ON");
    case 3: return QStringLiteral("ON HOME");
    case 0x80: return QStringLiteral("CUSTOM");
    default: return QStringLiteral("N/A");
    }
}

QString Device::PowerStateText(quint32 state)
{
    switch (state) {
    case 0: return QStringLiteral("OFF");
    case 1: return QStringLiteral("SHUTDOWN");
    case 2: return QStringLiteral("STANDBY");
    case 0xFF: return QStringLiteral("NORMAL");
    default: return QStringLiteral("N/A");
    }
}

QString Device::DisplayInvertText(quint32 invert)
{
    switch (invert) {
    case 0: return QStringLiteral("OFF");
    case 1: return QStringLiteral("ON");
    case 2: return QStringLiteral("AUTO");
    case 0xFF: return QStringLiteral("NORMAL");
    default: return QStringLiteral("N/A");
    }
}

void Device::ResetParameterTable(QStandardItemModel* model)
{
    const QStandardItem* header = model->horizontalHeaderItem(0);
    if (!header || header->text().compare(QLatin1String("Parameter"), Qt::CaseInsensitive) != 0) {
        model->clear();
        model->insertColumns(0, 2);
        model->setHorizontalHeaderItem(0, new QStandardItem(QStringLiteral("Parameter")));
        model->setHorizontalHeaderItem(1, new QStandardItem(QStringLiteral("Value")));
    }
    model->removeRows(0, model->rowCount());
}

void Device::AppendParameterRow(QStandardItemModel* model, const QString& caption, const QString& value)
{
    const int row = model->rowCount();
    model->insertRow(row);
    model->setData(model->index(row, 0), caption, Qt::EditRole);
    model->setData(model->index(row, 1), value, Qt::EditRole);
}
