#pragma once

#include "link/devices/Device.h"
#include "link/rdm/RDMProtocol.h"

#include <QByteArray>
#include <QList>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

// The unique ids of `devices`, in their order.
inline QList<quint64> Uids(const QList<Device*>& devices)
{
    QList<quint64> uids;
    for (const Device* device : devices)
        uids.append(device->GetUniqueId());
    return uids;
}

// The UIDs of the " RDM Discovery: Device found 0x..." lines among `texts`, in order.
inline QList<quint64> FoundUidLines(const QStringList& texts)
{
    static const QString found = QStringLiteral(" RDM Discovery: Device found 0x");
    QList<quint64> uids;
    for (const QString& text : texts)
        if (text.startsWith(found))
            uids.append(text.mid(found.size()).toULongLong(nullptr, 16));
    return uids;
}

// The destinations of the DISC_MUTE requests among the packets put on a line, in order.
inline QList<quint64> MuteDestinations(const QList<QByteArray>& requests)
{
    QList<quint64> uids;
    for (const QByteArray& request : requests) {
        const auto* bytes = reinterpret_cast<const quint8*>(request.constData());
        if (request.size() >= rdm::kMinPacketSize && bytes[rdm::offset::CommandClass] == rdm::DiscoveryCommand
            && RDMProtocol::ReadUInt16(bytes + rdm::offset::ParameterId) == rdm::PidDiscMute)
            uids.append(RDMProtocol::ReadUid(bytes + rdm::offset::Destination));
    }
    return uids;
}

// A lamp fixture as the Tarvo discovery leaves it in the device list (protocol type 0,
// upgradable, on the model table). The real one, TarvoDevice, lives above the link, whose
// tests do not link it.
class StandInLampFixture : public Device
{
    Q_OBJECT
public:
    StandInLampFixture(quint32 deviceId, quint16 modelIndex) : modelIndex_(modelIndex)
    {
        SetUniqueId(deviceId, 0);
        SetUpgradable(true);
        SetUsesModelTable(true);
    }
    int GetProtocolType() const override { return 0; }
    void SetModelIndex(quint16 index) override { modelIndex_ = index; }
    quint16 GetModelIndex() const override { return modelIndex_; }
    QString GetModelName() const override { return QStringLiteral("Lamp"); }
    quint16 GetDeviceModelId() const override { return modelIndex_; }
    void SetDeviceModelId(quint16 id) override { modelIndex_ = id; }
    QString GetManufacturer() const override { return QStringLiteral("Quorvane"); }
    quint16 GetDmxAddress() const override { return 1; }
    QString GetSoftwareVersion() const override { return QStringLiteral("1"); }
    void BuildParameterTable(QStandardItemModel*) override {}
    QString GetDeviceName() const override { return QString(); }

private:
    quint16 modelIndex_;
};

// A production station's settings for the life of the object: the production key, the
// mode switch, and an empty identifier file for `model`.
class ProductionStation
{
public:
    explicit ProductionStation(const QString& model, bool productionMode = true)
    {
        QSettings settings = Settings();
        settings.clear();
        settings.setValue("UniqueIdGenerator/key", QVariant::fromValue<quint64>(0x5a3c'91e7'0d62'b4f8ull));
        settings.setValue("ProductionMode", productionMode ? 1 : 0);
        settings.setValue(QStringLiteral("UniqueIdGenerator/%1").arg(model), IdFile());
    }
    ~ProductionStation() { Settings().clear(); }

    QString IdFile() const { return dir_.filePath("ids.txt"); }

private:
    static QSettings Settings() { return QSettings(QSettings::SystemScope, "Quorvane", "Velmora"); }
    QTemporaryDir dir_;
};
