#pragma once

#include "link/devices/Device.h"

#include <QString>

// What a firmware upload needs of one device — its unique id, its model name and the
// firmware rules of its model (packet count, whether blank packets are skipped) — copied
// when the upgrade is set up. An upgrade command works on these stand-ins, so that the
// command thread never touches a device of the registry, which a discovery may delete
// while the upgrade waits in the queue.
//
// The stand-in is read-only once made; any thread may read it.
class FirmwareTarget : public Device
{
    Q_OBJECT
public:
    // Copies `device` as it is now. Call on the thread that owns it.
    explicit FirmwareTarget(const Device& device);
    // A board that has no Device of its own (the LED families' graphics engines).
    FirmwareTarget(quint64 uniqueId, quint32 packetCount, bool skipBlank, const QString& modelName = QString());
    ~FirmwareTarget() override;

    int GetProtocolType() const override { return protocolType_; }
    void SetModelIndex(quint16) override {}
    quint16 GetModelIndex() const override { return 0; }
    QString GetModelName() const override { return modelName_; }
    quint16 GetDeviceModelId() const override { return 0; }
    void SetDeviceModelId(quint16) override {}
    QString GetManufacturer() const override { return QString(); }
    quint16 GetDmxAddress() const override { return 0; }
    QString GetSoftwareVersion() const override { return QString(); }
    bool SkipBlankFirmwarePackets() const override { return skipBlank_; }
    quint32 GetFirmwarePacketCount() const override { return packetCount_; }
    void BuildParameterTable(QStandardItemModel*) override {}
    QString GetDeviceName() const override { return QString(); }

private:
    int protocolType_ = 0;
    QString modelName_;
    quint32 packetCount_ = 0;
    bool skipBlank_ = false;
};
