#include "link/devices/RDMDevice.h"

#include "link/rdm/RdmDefs.h"

#include <QStandardItemModel>

RDMDevice::RDMDevice(QObject* parent) : Device(parent) {}

RDMDevice::~RDMDevice() = default;

void RDMDevice::SetDmxStartAddress(quint16 address)
{
    dmxStartAddress_ = address;
    emit AddressChanged();
}

bool RDMDevice::AddSupportedParameter(quint16 pid, const QString& text)
{
    if (!supportedParameters_.contains(pid))
        supportedParameters_.insert(pid, text);
    return true;
}

namespace {

QString YesNo(bool value)
{
    return value ? QStringLiteral("Yes") : QStringLiteral("No");
}

// The rows a supported parameter adds to the table; other PIDs add none.
struct ParameterRow
{
    quint16 pid;
    const char* caption;
    QString (*value)(const RDMDevice&);
};

const ParameterRow kParameterRows[] = {
    {rdm::PidDeviceModelDescription, "Model", [](const RDMDevice& d) { return d.GetModelName(); }},
    {rdm::PidManufacturerLabel, "Manufacturer", [](const RDMDevice& d) { return d.GetManufacturer(); }},
    {rdm::PidDeviceLabel, "Label", [](const RDMDevice& d) { return d.GetDeviceLabel(); }},
    {rdm::PidBootSoftwareVersionLabel, "Boot Version", [](const RDMDevice& d) { return d.GetBootVersionLabel(); }},
    {rdm::PidDmxPersonalityDescription, "Mode", [](const RDMDevice& d) { return d.GetPersonalityDescription(); }},
    {rdm::PidDeviceHours, "Device Hours", [](const RDMDevice& d) { return QString::number(d.GetDeviceHours()); }},
    {rdm::PidLampHours, "Lamp Hours", [](const RDMDevice& d) { return QString::number(d.GetLampHours()); }},
    {rdm::PidLampStrikes, "Lamp Strikes", [](const RDMDevice& d) { return QString::number(d.GetLampStrikes()); }},
    {rdm::PidLampState, "Lamp State", [](const RDMDevice& d) { return Device::LampStateText(d.GetLampState()); }},
    {rdm::PidLampOnMode, "Lamp On Mode", [](const RDMDevice& d) { return Device::LampOnModeText(d.GetLampOnMode()); }},
    {rdm::PidDevicePowerCycles, "Power Cycles", [](const RDMDevice& d) { return QString::number(d.GetPowerCycles()); }},
    {rdm::PidDisplayInvert, "Display Invert",
     [](const RDMDevice& d) { return Device::DisplayInvertText(d.GetDisplayInvert()); }},
    {rdm::PidDisplayLevel, "Display Level",
     [](const RDMDevice& d) { return QStringLiteral("%1%").arg(d.GetDisplayLevel() * 100 / 255); }},
    {rdm::PidPanInvert, "Pan Invert", [](const RDMDevice& d) { return YesNo(d.GetPanInvert()); }},
    {rdm::PidTiltInvert, "Tilt Invert", [](const RDMDevice& d) { return YesNo(d.GetTiltInvert()); }},
    {rdm::PidPanTiltSwap, "Pan Tilt Swap", [](const RDMDevice& d) { return YesNo(d.GetPanTiltSwap()); }},
    {rdm::PidPowerState, "Power State", [](const RDMDevice& d) { return Device::PowerStateText(d.GetPowerState()); }},
};

} // namespace

void RDMDevice::BuildParameterTable(QStandardItemModel* model)
{
    if (!model)
        return;
    ResetParameterTable(model);
    AppendParameterRow(model, QStringLiteral("Unique ID"), QStringLiteral("0x%1").arg(GetUniqueId(), 0, 16));
    AppendParameterRow(model, QStringLiteral("Identify"), identify_ ? QStringLiteral("On") : QStringLiteral("Off"));
    AppendParameterRow(model, QStringLiteral("Software Version"), GetSoftwareVersion());
    AppendParameterRow(model, QStringLiteral("Sensors"), QString::number(sensorCount_));
    AppendParameterRow(model, QStringLiteral("Dmx Start Address"), QString::number(dmxStartAddress_));
    AppendParameterRow(model, QStringLiteral("Channels"), QString::number(footprint_));

    for (quint16 pid : SupportedParameters()) {
        for (const ParameterRow& row : kParameterRows) {
            if (row.pid == pid)
                AppendParameterRow(model, QString::fromLatin1(row.caption), row.value(*this));
        }
    }
}
