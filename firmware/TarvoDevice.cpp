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
