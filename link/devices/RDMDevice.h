#pragma once

#include "link/devices/Device.h"

#include <QMap>
#include <QList>

#include <array>

// A fixture found by RDM discovery: the values its standard E1.20 parameters returned,
// with the defaults below until a reply fills them. The LED-family fixtures derive from
// it. Setters run on the command thread, the table is built on the GUI thread; only
// SetDmxStartAddress has a side effect (AddressChanged).
class RDMDevice : public Device
{
    Q_OBJECT
public:
    using SoftwareVersionId = std::array<quint8, 4>;  // most significant first

    explicit RDMDevice(QObject* parent = nullptr);
    ~RDMDevice() override;

    int GetProtocolType() const override { return 1; }
    void SetModelIndex(quint16 index) override { modelIndex_ = index; }
    quint16 GetModelIndex() const override { return modelIndex_; }
    // The DEVICE_MODEL_DESCRIPTION text.
    QString GetModelName() const override { return modelDescription_; }
    quint16 GetDeviceModelId() const override { return deviceModelId_; }
    void SetDeviceModelId(quint16 id) override { deviceModelId_ = id; }
    // The MANUFACTURER_LABEL text.
    QString GetManufacturer() const override { return manufacturerLabel_; }
    quint16 GetDmxAddress() const override { return dmxStartAddress_; }
    // The SOFTWARE_VERSION_LABEL text; the LED families add their boards' versions.
    QString GetSoftwareVersion() const override { return softwareVersionLabel_; }
    // Six fixed rows, then one row per recorded supported parameter that has a caption.
    void BuildParameterTable(QStandardItemModel* model) override;
    // The DEVICE_LABEL text.
    QString GetDeviceName() const override { return GetDeviceLabel(); }

    quint16 GetFootprint() const { return footprint_; }
    void SetFootprint(quint16 footprint) { footprint_ = footprint; }
    QString GetPersonalityDescription() const { return personalityDescription_; }
    void SetPersonalityDescription(const QString& text) { personalityDescription_ = text; }
    quint8 GetPersonality() const { return personality_; }
    void SetPersonality(quint8 personality) { personality_ = personality; }
    quint16 GetSensorCount() const { return sensorCount_; }
    void SetSensorCount(quint16 count) { sensorCount_ = count; }
    quint16 GetProductCategory() const { return productCategory_; }
    void SetProductCategory(quint16 category) { productCategory_ = category; }
    quint16 GetSubDeviceCount() const { return subDeviceCount_; }
    void SetSubDeviceCount(quint16 count) { subDeviceCount_ = count; }
    quint16 GetReportedManufacturerId() const { return reportedManufacturerId_; }
    void SetReportedManufacturerId(quint16 id) { reportedManufacturerId_ = id; }
    void SetManufacturerLabel(const QString& label) { manufacturerLabel_ = label; }
    // Stored without leading and trailing blanks.
    void SetModelDescription(const QString& text) { modelDescription_ = text.trimmed(); }
    QString GetDeviceLabel() const { return deviceLabel_; }
    void SetDeviceLabel(const QString& label) { deviceLabel_ = label; }
    SoftwareVersionId GetSoftwareVersionId() const { return softwareVersionId_; }
    void SetSoftwareVersionId(const SoftwareVersionId& id) { softwareVersionId_ = id; }
    // The plain RDM label, whatever GetSoftwareVersion of a subclass makes of it.
    QString GetSoftwareVersionLabel() const { return softwareVersionLabel_; }
    void SetSoftwareVersionLabel(const QString& label) { softwareVersionLabel_ = label; }
    QString GetBootVersionLabel() const { return bootVersionLabel_; }
    void SetBootVersionLabel(const QString& label) { bootVersionLabel_ = label; }
    // Stores the address and emits AddressChanged.
    void SetDmxStartAddress(quint16 address);
    bool GetFactoryDefaults() const { return factoryDefaults_; }
    void SetFactoryDefaults(bool defaults) { factoryDefaults_ = defaults; }
    quint32 GetDeviceHours() const { return deviceHours_; }
    void SetDeviceHours(quint32 hours) { deviceHours_ = hours; }
    quint32 GetLampHours() const { return lampHours_; }
    void SetLampHours(quint32 hours) { lampHours_ = hours; }
    quint32 GetLampStrikes() const { return lampStrikes_; }
    void SetLampStrikes(quint32 strikes) { lampStrikes_ = strikes; }
    quint32 GetLampState() const { return lampState_; }
    void SetLampState(quint32 state) { lampState_ = state; }
    quint32 GetLampOnMode() const { return lampOnMode_; }
    void SetLampOnMode(quint32 mode) { lampOnMode_ = mode; }
    quint32 GetDisplayInvert() const { return displayInvert_; }
    void SetDisplayInvert(quint32 invert) { displayInvert_ = invert; }
    quint8 GetDisplayLevel() const { return displayLevel_; }
    void SetDisplayLevel(quint8 level) { displayLevel_ = level; }
    quint16 GetPowerCycles() const { return powerCycles_; }
    void SetPowerCycles(quint16 cycles) { powerCycles_ = cycles; }
    bool GetTiltInvert() const { return tiltInvert_; }
    void SetTiltInvert(bool invert) { tiltInvert_ = invert; }
    bool GetPanInvert() const { return panInvert_; }
    void SetPanInvert(bool invert) { panInvert_ = invert; }
    bool GetPanTiltSwap() const { return panTiltSwap_; }
    void SetPanTiltSwap(bool swap) { panTiltSwap_ = swap; }
    quint32 GetPowerState() const { return powerState_; }
    void SetPowerState(quint32 state) { powerState_ = state; }
    bool GetIdentify() const { return identify_; }
    void SetIdentify(bool identify) { identify_ = identify; }

    // Records a PID from SUPPORTED_PARAMETERS; one already recorded stays as it is.
    // Always true.
    bool AddSupportedParameter(quint16 pid, const QString& text);
    // The recorded PIDs, ascending.
    QList<quint16> SupportedParameters() const { return supportedParameters_.keys(); }

protected:
    bool CopyValues(const Device& fresh) override;

private:
    QString deviceLabel_;
    quint16 reportedManufacturerId_ = 0;
    QString manufacturerLabel_ = QStringLiteral("Unknown");
    quint16 deviceModelId_ = 0;
    QString modelDescription_ = QStringLiteral("Unknown");
    quint16 modelIndex_ = 0;
    SoftwareVersionId softwareVersionId_ = {0, 0, 0, 0};
    QString softwareVersionLabel_;
    QString bootVersionLabel_;
    quint16 dmxStartAddress_ = 0;
    quint16 footprint_ = 0;
    QString personalityDescription_ = QStringLiteral("N/A");
    quint8 personality_ = 0;
    quint16 productCategory_ = 0;
    quint16 sensorCount_ = 0;
    quint16 subDeviceCount_ = 0;
    bool factoryDefaults_ = true;
    quint32 deviceHours_ = 0;
    quint32 lampHours_ = 0;
    quint32 lampStrikes_ = 0;
    quint32 lampState_ = 0;
    quint32 lampOnMode_ = 0;
    quint16 powerCycles_ = 0;
    quint32 displayInvert_ = 0;
    quint8 displayLevel_ = 0;
    bool tiltInvert_ = false;
    bool panInvert_ = false;
    bool panTiltSwap_ = false;
    quint32 powerState_ = 0;
    bool identify_ = false;
    QMap<quint16, QString> supportedParameters_;
};
