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

bool RDMDevice::CopyValues(const Device& fresh)
{
    bool changed = Device::CopyValues(fresh);
    const auto* other = qobject_cast<const RDMDevice*>(&fresh);
    if (!other)
        return changed;
    changed |= TakeValue(deviceLabel_, other->deviceLabel_);
    changed |= TakeValue(reportedManufacturerId_, other->reportedManufacturerId_);
    changed |= TakeValue(manufacturerLabel_, other->manufacturerLabel_);
    changed |= TakeValue(deviceModelId_, other->deviceModelId_);
    changed |= TakeValue(modelDescription_, other->modelDescription_);
    changed |= TakeValue(modelIndex_, other->modelIndex_);
    changed |= TakeValue(softwareVersionId_, other->softwareVersionId_);
    changed |= TakeValue(softwareVersionLabel_, other->softwareVersionLabel_);
    changed |= TakeValue(bootVersionLabel_, other->bootVersionLabel_);
    changed |= TakeValue(dmxStartAddress_, other->dmxStartAddress_);
    changed |= TakeValue(footprint_, other->footprint_);
    changed |= TakeValue(personalityDescription_, other->personalityDescription_);
    changed |= TakeValue(personality_, other->personality_);
    changed |= TakeValue(productCategory_, other->productCategory_);
    changed |= TakeValue(sensorCount_, other->sensorCount_);
    changed |= TakeValue(subDeviceCount_, other->subDeviceCount_);
    changed |= TakeValue(factoryDefaults_, other->factoryDefaults_);
    changed |= TakeValue(deviceHours_, other->deviceHours_);
    changed |= TakeValue(lampHours_, other->lampHours_);
    changed |= TakeValue(lampStrikes_, other->lampStrikes_);
    changed |= TakeValue(lampState_, other->lampState_);
    changed |= TakeValue(lampOnMode_, other->lampOnMode_);
    changed |= TakeValue(powerCycles_, other->powerCycles_);
    changed |= TakeValue(displayInvert_, other->displayInvert_);
    changed |= TakeValue(displayLevel_, other->displayLevel_);
    changed |= TakeValue(tiltInvert_, other->tiltInvert_);
    changed |= TakeValue(panInvert_, other->panInvert_);
    changed |= TakeValue(panTiltSwap_, other->panTiltSwap_);
    changed |= TakeValue(powerState_, other->powerState_);
    changed |= TakeValue(identify_, other->identify_);
    changed |= TakeValue(supportedParameters_, other->supportedParameters_);
    return changed;
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
