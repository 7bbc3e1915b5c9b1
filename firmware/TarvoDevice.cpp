#include "firmware/TarvoDevice.h"

#include <QStandardItemModel>

namespace {

QString Decimal(quint32 value)
{
    return QString::number(value);
}

QString YesNo(bool yes)
{
    return yes ? QStringLiteral("Yes") : QStringLiteral("No");
}

QString BuildStatusText(quint8 status)
{
    switch (status) {
    case 1: return QStringLiteral("Prototype");
    case 2: return QStringLiteral("Alpha");
    case 4: return QStringLiteral("Beta");
    case 8: return QStringLiteral("Release");
    default: return QStringLiteral("Unknown");
    }
}

QString DisplayOnText(quint16 value)
{
    switch (value) {
    case 1: return QStringLiteral("Yes");
    case 2: return QStringLiteral("No");
    default: return QStringLiteral("Dim");
    }
}

// The text of a two-state value: `zero` for 0, `other` for anything else.
QString ZeroOr(quint16 value, const char* zero, const char* other)
{
    return QString::fromLatin1(value == 0 ? zero : other);
}

} // namespace

TarvoDevice::TarvoDevice(QObject* parent) : Device(parent)
{
    SetUpgradable(true);
    SetUsesModelTable(true);
}

TarvoDevice::~TarvoDevice() = default;

void TarvoDevice::SetDeviceModelId(quint16 id)
{
    deviceType_ = id;
    modelName_ = GetModelTableName();
}

void TarvoDevice::SetDmxAddress(quint16 address)
{
    dmxAddress_ = address;
    emit AddressChanged();
}

qint32 TarvoDevice::GetTemperature(Sensor sensor, Reading reading) const
{
    return temperatures_[int(sensor)][int(reading)];
}

void TarvoDevice::SetTemperature(Sensor sensor, Reading reading, qint32 celsius)
{
    temperatures_[int(sensor)][int(reading)] = celsius;
}

void TarvoDevice::BuildParameterTable(QStandardItemModel* model)
{
    if (!model)
        return;
    ResetParameterTable(model);
    const auto row = [model](const char* caption, const QString& value) {
        AppendParameterRow(model, QString::fromLatin1(caption), value);
    };

    row("Manufacturer", manufacturer_);
    row("Model", modelName_);
    row("Unique ID", QStringLiteral("0x%1").arg(GetUniqueId(), 0, 16));
    row("Mode", Decimal(mode_));
    row("Address", Decimal(dmxAddress_));
    row("Software Version", softwareVersion_);
    row("Build Status", BuildStatusText(buildStatus_));
    row("Channels", Decimal(dmxFootprint_));

    static const struct { const char* caption; Sensor sensor; Reading reading; } temperatures[] = {
        {"PCB1 Temp", Sensor::Pcb1, Reading::Current},   {"PCB1 Min Temp", Sensor::Pcb1, Reading::Minimum},
        {"PCB1 Max Temp", Sensor::Pcb1, Reading::Maximum}, {"PCB2 Temp", Sensor::Pcb2, Reading::Current},
        {"PCB2 Min Temp", Sensor::Pcb2, Reading::Minimum}, {"PCB2 Max Temp", Sensor::Pcb2, Reading::Maximum},
        {"Head1 Temp", Sensor::Head1, Reading::Current},  {"Head1 Min Temp", Sensor::Head1, Reading::Minimum},
        {"Head1 Max Temp", Sensor::Head1, Reading::Maximum}, {"Head2 Temp", Sensor::Head2, Reading::Current},
        {"Head2 Min Temp", Sensor::Head2, Reading::Minimum}, {"Head2 Max Temp", Sensor::Head2, Reading::Maximum},
    };
    for (const auto& temperature : temperatures) {
        const qint32 celsius = GetTemperature(temperature.sensor, temperature.reading);
        if (celsius != kNoTemperature)
            row(temperature.caption, QStringLiteral("%1 C").arg(celsius));
    }

    row("Lamp Status", lampStatus_ == 0 ? QStringLiteral("Normal") : QStringLiteral("N/A"));
    row("Lamp Hours", Decimal(lampHours_));
    row("Lamp Strikes", Decimal(lampStrikes_));
    row("Device Hours", Decimal(deviceHours_));

    const struct { const char* caption; quint16 value; } electrical[] = {
        {"Voltage", voltage_}, {"Current", current_}, {"Lamp Sensor 1", lampSensor1_},
        {"Lamp Sensor 2", lampSensor2_}, {"Frequency", frequency_},
    };
    for (const auto& value : electrical)
        if (value.value != kNoValue)
            row(value.caption, Decimal(value.value));

    static const struct { const char* caption; Fan fan; } fans[] = {
        {"Box Fan #1 Speed", Fan::Box1}, {"Box Fan #2 Speed", Fan::Box2}, {"Head Fan #1 Speed", Fan::Head1},
        {"Head Fan #2 Speed", Fan::Head2}, {"Optics Fan Speed", Fan::Optics},
    };
    for (const auto& fan : fans)
        if (GetFanSpeed(fan.fan) != kNoFanSpeed)
            row(fan.caption, QStringLiteral("%1 r/s").arg(GetFanSpeed(fan.fan)));

    row("Pan Tilt Swap", YesNo(panTiltSwap_ != 0));
    row("Pan Invert", YesNo(panInvert_ != 0));
    row("Tilt Invert", YesNo(tiltInvert_ != 0));
    row("Display Invert", YesNo(displayInvert_ == 1));
    row("Display On", DisplayOnText(displayOn_));
    row("Lamp Limit", Decimal(lampLimit_));
    row("Lamp On/Off", ZeroOr(lampOnOff_, "On", "Off"));
    row("Preset Playing", ZeroOr(presetPlaying_, "No", "Yes"));
    row("Shutdown Time", ZeroOr(shutdownTime_, "5 mins", "10 mins"));
    row("Data Loss", ZeroOr(dataLossTime_, "Short", "Long"));
    row("Encoder Disable", ZeroOr(encoderDisable_, "On", "Off"));
    if (lensType_ != kNoValue)
        row("Lens Type", ZeroOr(lensType_, "Wide", "Narrow"));
    if (fastMode_ != kNoValue)
        row("Fast Mode", ZeroOr(fastMode_, "On", "Off"));
}

bool TarvoDevice::CopyValues(const Device& fresh)
{
    bool changed = Device::CopyValues(fresh);
    const auto* other = qobject_cast<const TarvoDevice*>(&fresh);
    if (!other)
        return changed;
    changed |= TakeValue(manufacturer_, other->manufacturer_);
    changed |= TakeValue(deviceType_, other->deviceType_);
    changed |= TakeValue(modelName_, other->modelName_);
    changed |= TakeValue(deviceName_, other->deviceName_);
    changed |= TakeValue(mode_, other->mode_);
    changed |= TakeValue(dmxAddress_, other->dmxAddress_);
    changed |= TakeValue(panTiltSwap_, other->panTiltSwap_);
    changed |= TakeValue(panInvert_, other->panInvert_);
    changed |= TakeValue(tiltInvert_, other->tiltInvert_);
    changed |= TakeValue(displayInvert_, other->displayInvert_);
    changed |= TakeValue(displayOn_, other->displayOn_);
    changed |= TakeValue(lampLimit_, other->lampLimit_);
    changed |= TakeValue(lampOnOff_, other->lampOnOff_);
    changed |= TakeValue(presetPlaying_, other->presetPlaying_);
    changed |= TakeValue(shutdownTime_, other->shutdownTime_);
    changed |= TakeValue(dataLossTime_, other->dataLossTime_);
    changed |= TakeValue(encoderDisable_, other->encoderDisable_);
    changed |= TakeValue(lensType_, other->lensType_);
    changed |= TakeValue(fastMode_, other->fastMode_);
    changed |= TakeValue(auxiliary1_, other->auxiliary1_);
    changed |= TakeValue(lampStatus_, other->lampStatus_);
    changed |= TakeValue(lampHours_, other->lampHours_);
    changed |= TakeValue(lampStrikes_, other->lampStrikes_);
    changed |= TakeValue(deviceHours_, other->deviceHours_);
    changed |= TakeValue(softwareVersion_, other->softwareVersion_);
    changed |= TakeValue(buildStatus_, other->buildStatus_);
    changed |= TakeValue(auxiliary3_, other->auxiliary3_);
    changed |= TakeValue(voltage_, other->voltage_);
    changed |= TakeValue(current_, other->current_);
    changed |= TakeValue(lampSensor1_, other->lampSensor1_);
    changed |= TakeValue(lampSensor2_, other->lampSensor2_);
    changed |= TakeValue(frequency_, other->frequency_);
    changed |= TakeValue(dmxPersonality_, other->dmxPersonality_);
    changed |= TakeValue(dmxFootprint_, other->dmxFootprint_);
    for (int sensor = 0; sensor < 4; ++sensor)
        for (int reading = 0; reading < 3; ++reading)
            changed |= TakeValue(temperatures_[sensor][reading], other->temperatures_[sensor][reading]);
    for (int fan = 0; fan < 5; ++fan)
        changed |= TakeValue(fanSpeeds_[fan], other->fanSpeeds_[fan]);
    return changed;
}
