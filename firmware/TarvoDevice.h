#pragma once

#include "link/devices/Device.h"

#include <QString>
#include <QtGlobal>

// A lamp fixture found by the Tarvo discovery, with the values its replies gave; until a
// reply fills a value it keeps its starting value, and the values that mean "not
// reported" (-1 for temperatures, 0xFFFF for the electrical values, lens type and fast
// mode, 0xFF for fan speeds) hide their rows in the parameter table. Its device type is
// its row of the model table, which names its model and its firmware.
//
// Every lamp fixture is upgradable. Setters run on the command thread during discovery,
// the table is built on the GUI thread afterwards; each setter stores its argument cut to
// the field's width.
class TarvoDevice : public Device
{
    Q_OBJECT
public:
    explicit TarvoDevice(QObject* parent = nullptr);
    ~TarvoDevice() override;

    int GetProtocolType() const override { return 0; }
    void SetModelIndex(quint16 index) override { SetDeviceModelId(index); }
    quint16 GetModelIndex() const override { return deviceType_; }
    QString GetModelName() const override { return modelName_; }
    quint16 GetDeviceModelId() const override { return deviceType_; }
    // Stores the device type and names the model after its model-table row (empty text
    // for a row the table does not have).
    void SetDeviceModelId(quint16 id) override;
    QString GetManufacturer() const override { return manufacturer_; }
    quint16 GetDmxAddress() const override { return dmxAddress_; }
    QString GetSoftwareVersion() const override { return softwareVersion_; }
    // "Manufacturer" to "Fast Mode"; see the .cpp for the rows and their conditions.
    void BuildParameterTable(QStandardItemModel* model) override;
    QString GetDeviceName() const override { return deviceName_; }

    quint16 GetFixtureType() const { return deviceType_; }
    void SetFixtureType(quint16 type) { SetDeviceModelId(type); }
    void SetDeviceType(quint16 type) { SetDeviceModelId(type); }
    void SetManufacturer(const QString& manufacturer) { manufacturer_ = manufacturer; }
    void SetDeviceName(const QString& name) { deviceName_ = name; }

    quint16 GetMode() const { return mode_; }
    void SetMode(quint16 mode) { mode_ = mode; }
    void SetDmxAddress(quint16 address);
    void SetDmxPersonality(quint16 personality) { dmxPersonality_ = personality; }
    quint16 GetDmxPersonality() const { return dmxPersonality_; }
    quint16 GetDmxFootprint() const { return dmxFootprint_; }
    void SetDmxFootprint(quint16 footprint) { dmxFootprint_ = footprint; }
    void SetPanTiltSwap(quint16 value) { panTiltSwap_ = value; }
    void SetPanInvert(quint16 value) { panInvert_ = value; }
    void SetTiltInvert(quint16 value) { tiltInvert_ = value; }
    void SetDisplayInvert(quint16 value) { displayInvert_ = value; }
    void SetDisplayOn(quint16 value) { displayOn_ = value; }
    void SetLampLimit(quint16 value) { lampLimit_ = value; }
    void SetLampOnOff(quint16 value) { lampOnOff_ = value; }
    void SetPresetPlaying(quint16 value) { presetPlaying_ = value; }
    void SetShutdownTime(quint16 value) { shutdownTime_ = value; }
    void SetDataLossTime(quint16 value) { dataLossTime_ = value; }
    void SetEncoderDisable(quint16 value) { encoderDisable_ = value; }
    void SetLensType(quint16 value) { lensType_ = value; }
    void SetFastMode(quint16 value) { fastMode_ = value; }
    quint16 GetAuxiliary1() const { return auxiliary1_; }
    void SetAuxiliary1(quint16 value) { auxiliary1_ = value; }
    quint16 GetAuxiliary3() const { return auxiliary3_; }
    void SetAuxiliary3(quint16 value) { auxiliary3_ = value; }

    // The temperatures, in degrees Celsius, by sensor.
    enum class Sensor { Pcb1, Pcb2, Head1, Head2 };
    enum class Reading { Current, Minimum, Maximum };
    qint32 GetTemperature(Sensor sensor, Reading reading) const;
    void SetTemperature(Sensor sensor, Reading reading, qint32 celsius);
    void SetPcb1Temp(qint32 value) { SetTemperature(Sensor::Pcb1, Reading::Current, value); }
    void SetPcb1MinTemp(qint32 value) { SetTemperature(Sensor::Pcb1, Reading::Minimum, value); }
    void SetPcb1MaxTemp(qint32 value) { SetTemperature(Sensor::Pcb1, Reading::Maximum, value); }
    void SetPcb2Temp(qint32 value) { SetTemperature(Sensor::Pcb2, Reading::Current, value); }
    void SetPcb2MinTemp(qint32 value) { SetTemperature(Sensor::Pcb2, Reading::Minimum, value); }
    void SetPcb2MaxTemp(qint32 value) { SetTemperature(Sensor::Pcb2, Reading::Maximum, value); }
    void SetHead1Temp(qint32 value) { SetTemperature(Sensor::Head1, Reading::Current, value); }
    void SetHead1MinTemp(qint32 value) { SetTemperature(Sensor::Head1, Reading::Minimum, value); }
    void SetHead1MaxTemp(qint32 value) { SetTemperature(Sensor::Head1, Reading::Maximum, value); }
    void SetHead2Temp(qint32 value) { SetTemperature(Sensor::Head2, Reading::Current, value); }
    void SetHead2MinTemp(qint32 value) { SetTemperature(Sensor::Head2, Reading::Minimum, value); }
    void SetHead2MaxTemp(qint32 value) { SetTemperature(Sensor::Head2, Reading::Maximum, value); }

    void SetLampStatus(quint16 value) { lampStatus_ = value; }
    void SetLampHours(quint16 value) { lampHours_ = value; }
    void SetLampStrikes(quint16 value) { lampStrikes_ = value; }
    quint16 GetDeviceHours() const { return deviceHours_; }
    void SetDeviceHours(quint16 value) { deviceHours_ = value; }
    void SetSoftwareVersion(const QString& version) { softwareVersion_ = version; }
    quint8 GetBuildStatus() const { return buildStatus_; }
    void SetBuildStatus(quint8 status) { buildStatus_ = status; }
    void SetVoltage(quint16 value) { voltage_ = value; }
    void SetCurrentValue(quint16 value) { current_ = value; }
    void SetLampSensor1(quint16 value) { lampSensor1_ = value; }
    void SetLampSensor2(quint16 value) { lampSensor2_ = value; }
    void SetFrequency(quint16 value) { frequency_ = value; }

    enum class Fan { Box1, Box2, Head1, Head2, Optics };
    quint8 GetFanSpeed(Fan fan) const { return fanSpeeds_[int(fan)]; }
    void SetFanSpeed(Fan fan, quint8 speed) { fanSpeeds_[int(fan)] = speed; }
    void SetBoxFan1Speed(quint8 speed) { SetFanSpeed(Fan::Box1, speed); }
    void SetBoxFan2Speed(quint8 speed) { SetFanSpeed(Fan::Box2, speed); }
    void SetHeadFan1Speed(quint8 speed) { SetFanSpeed(Fan::Head1, speed); }
    void SetHeadFan2Speed(quint8 speed) { SetFanSpeed(Fan::Head2, speed); }
    void SetOpticsFanSpeed(quint8 speed) { SetFanSpeed(Fan::Optics, speed); }

    // Starting values that stand for "the fixture did not report this".
    static constexpr qint32 kNoTemperature = -1;
    static constexpr quint16 kNoValue = 0xFFFF;
    static constexpr quint8 kNoFanSpeed = 0xFF;

protected:
    bool CopyValues(const Device& fresh) override;

private:
    QString manufacturer_ = QStringLiteral("Quorvane");
    quint16 deviceType_ = 0;
    QString modelName_ = QStringLiteral("Unknown");
    QString deviceName_;
    quint16 mode_ = 0;
    quint16 dmxAddress_ = 0;
    quint16 panTiltSwap_ = 0;
    quint16 panInvert_ = 0;
    quint16 tiltInvert_ = 0;
    quint16 displayInvert_ = 0;
    quint16 displayOn_ = 0;
    quint16 lampLimit_ = 0;
    // Nothing on the wire reports it: its row always shows this starting value.
    quint16 lampOnOff_ = 0;
    quint16 presetPlaying_ = 0;
    quint16 shutdownTime_ = 0;
    quint16 dataLossTime_ = 0;
    quint16 encoderDisable_ = 0;
    quint16 lensType_ = kNoValue;
    quint16 fastMode_ = kNoValue;
    quint16 auxiliary1_ = 0;
    qint32 temperatures_[4][3] = {{kNoTemperature, kNoTemperature, kNoTemperature},
                                  {kNoTemperature, kNoTemperature, kNoTemperature},
                                  {kNoTemperature, kNoTemperature, kNoTemperature},
                                  {kNoTemperature, kNoTemperature, kNoTemperature}};
    quint16 lampStatus_ = 0;
    quint16 lampHours_ = 0;
    quint16 lampStrikes_ = 0;
    quint16 deviceHours_ = 0;
    QString softwareVersion_ = QStringLiteral("N/A");
    quint8 buildStatus_ = 0;  // "Unknown"
    quint16 auxiliary3_ = 0;
    quint16 voltage_ = kNoValue;
    quint16 current_ = kNoValue;
    quint16 lampSensor1_ = kNoValue;
    quint16 lampSensor2_ = kNoValue;
    quint16 frequency_ = kNoValue;
    quint8 fanSpeeds_[5] = {kNoFanSpeed, kNoFanSpeed, kNoFanSpeed, kNoFanSpeed, kNoFanSpeed};
    quint16 dmxPersonality_ = 0;
    quint16 dmxFootprint_ = 0;
};
