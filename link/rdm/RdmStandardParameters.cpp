// The standard E1.20 parameters of RDMProtocol: one transaction each, decoded into the
// fixture's RDMDevice.
#include "link/rdm/RDMProtocol.h"

#include "link/devices/RDMDevice.h"
#include "link/feedback/Feedback.h"
#include "link/rdm/RdmText.h"

#include <QHash>

#include <mutex>

using namespace rdm;

namespace {

QByteArray NoData()
{
    return QByteArray();
}

QByteArray UInt16Data(quint16 value)
{
    QByteArray data(2, Qt::Uninitialized);
    RDMProtocol::WriteUInt16(reinterpret_cast<quint8*>(data.data()), value);
    return data;
}

// What the fixtures last confirmed of their identify state, by UID.
std::mutex identifyMutex;
QHash<quint64, bool> knownIdentify;

void NoteIdentify(quint64 uid, bool identify)
{
    std::lock_guard lock(identifyMutex);
    knownIdentify.insert(uid, identify);
}

// A DEVICE_INFO record runs from the protocol version to the sensor count.
constexpr int kDeviceInfoLength = 19;
// Personality number (1) and footprint (2) come before the description.
constexpr int kPersonalityHeaderLength = 3;

// The parameters E1.20 requires of every responder. Any other is optional: a fixture may
// answer it NACK unknown PID, which is no fault of the fixture's.
bool IsRequired(quint16 pid)
{
    switch (pid) {
    case PidSupportedParameters:
    case PidDeviceInfo:
    case PidSoftwareVersionLabel:
    case PidDmxStartAddress:
    case PidIdentifyDevice:
        return true;
    default:
        return false;
    }
}

// E1.20's name of an optional parameter the engine reads.
QString OptionalParameterName(quint16 pid)
{
    static const QMap<quint16, const char*> kNames = {
        {PidDeviceModelDescription, "DEVICE_MODEL_DESCRIPTION"},
        {PidManufacturerLabel, "MANUFACTURER_LABEL"},
        {PidDeviceLabel, "DEVICE_LABEL"},
        {PidFactoryDefaults, "FACTORY_DEFAULTS"},
        {PidBootSoftwareVersionLabel, "BOOT_SOFTWARE_VERSION_LABEL"},
        {PidDmxPersonalityDescription, "DMX_PERSONALITY_DESCRIPTION"},
        {PidDeviceHours, "DEVICE_HOURS"},
        {PidLampHours, "LAMP_HOURS"},
        {PidLampStrikes, "LAMP_STRIKES"},
        {PidLampState, "LAMP_STATE"},
        {PidLampOnMode, "LAMP_ON_MODE"},
        {PidDevicePowerCycles, "DEVICE_POWER_CYCLES"},
        {PidDisplayInvert, "DISPLAY_INVERT"},
        {PidDisplayLevel, "DISPLAY_LEVEL"},
        {PidPanInvert, "PAN_INVERT"},
        {PidTiltInvert, "TILT_INVERT"},
        {PidPanTiltSwap, "PAN_TILT_SWAP"},
        {PidPowerState, "POWER_STATE"},
    };
    const char* name = kNames.value(pid, nullptr);
    return name ? QLatin1String(name) : QStringLiteral("PID 0x%1").arg(Hex(pid));
}

} // namespace

int RDMProtocol::RunRequest(RDMDevice* fixture, quint8 commandClass, quint16 pid, const QByteArray& request,
                            const char* nackMessage, QByteArray& answer, IFeedback* feedback)
{
    const quint64 uid = fixture->GetUniqueId();
    int length = int(answer.size());
    const int result = SendRequest(UidLow(uid), UidHigh(uid), commandClass, pid, request.constData(),
                                   int(request.size()), answer.data(), &length, feedback);
    answer.truncate(length);
    if (result == ResponseNackReason && feedback) {
        const quint16 reason = length >= 2 ? ReadUInt16(reinterpret_cast<const quint8*>(answer.constData())) : 0;
        if (reason == kNackUnknownPid && !IsRequired(pid)) {
            feedback->AddString(QStringLiteral(" Device 0x%1 does not support %2.").arg(Hex(uid), OptionalParameterName(pid)),
                                FeedbackNormal);
        } else {
            feedback->AddString(QString::fromLatin1(nackMessage).arg(Hex(uid), NackReasonText(reason)), FeedbackError);
        }
    }
    return result;
}

bool RDMProtocol::RunGet(RDMDevice* fixture, quint16 pid, int capacity, const QByteArray& request,
                         int minLength, const char* nackMessage, const AnswerStore& store, IFeedback* feedback)
{
    if (!fixture)
        return false;
    QByteArray answer(capacity, '\0');
    if (RunRequest(fixture, GetCommand, pid, request, nackMessage, answer, feedback) != ResponseAck)
        return false;
    // A short answer is a failure, never a read past what the fixture sent.
    if (answer.size() < minLength) {
        if (feedback)
            feedback->AddString(QStringLiteral(" Error! device (0x%1) : answer of %2 bytes is too short for PID(0x%3), "
                                               "expected %4!")
                                    .arg(Hex(fixture->GetUniqueId())).arg(answer.size()).arg(Hex(pid)).arg(minLength),
                                FeedbackError);
        return false;
    }
    store(reinterpret_cast<const quint8*>(answer.constData()), int(answer.size()));
    return true;
}

bool RDMProtocol::RunSet(RDMDevice* fixture, quint16 pid, int capacity, const QByteArray& request,
                         const char* nackMessage, IFeedback* feedback)
{
    if (!fixture)
        return false;
    QByteArray answer(capacity, '\0');
    return RunRequest(fixture, SetCommand, pid, request, nackMessage, answer, feedback) == ResponseAck;
}

bool RDMProtocol::SetIdentify(RDMDevice* fixture, bool identify, IFeedback* feedback)
{
    const QByteArray data(1, identify ? '\1' : '\0');
    if (!RunSet(fixture, PidIdentifyDevice, 60, data, " Device 0x%1 Failed Setting Identify: Nack Error %2!", feedback))
        return false;
    fixture->SetIdentify(identify);
    NoteIdentify(fixture->GetUniqueId(), identify);
    return true;
}

std::optional<bool> RDMProtocol::LastKnownIdentify(quint64 uid)
{
    std::lock_guard lock(identifyMutex);
    const auto known = knownIdentify.constFind(uid);
    return known != knownIdentify.constEnd() ? std::optional<bool>(*known) : std::nullopt;
}

void RDMProtocol::ForgetLastKnownIdentify()
{
    std::lock_guard lock(identifyMutex);
    knownIdentify.clear();
}

bool RDMProtocol::SetDmxStartAddress(RDMDevice* fixture, quint16 address, IFeedback* feedback)
{
    if (!RunSet(fixture, PidDmxStartAddress, 50, UInt16Data(address),
                " Device 0x%1 Failed Setting Dmx Start Address: Nack Error %2!", feedback))
        return false;
    fixture->SetDmxStartAddress(address);
    return true;
}

bool RDMProtocol::GetSupportedParameters(RDMDevice* fixture, IFeedback* feedback)
{
    if (!fixture)
        return false;
    const QString uid = Hex(fixture->GetUniqueId());
    for (int round = 0;; ++round) {
        if (round > kMaxOverflowRounds) {
            if (feedback)
                feedback->AddString(QStringLiteral(" Device 0x%1 Failed Getting Supported Parameters: over %2 overflow responses!")
                                        .arg(uid).arg(kMaxOverflowRounds),
                                    FeedbackError);
            return false;
        }
        QByteArray answer(255, '\0');
        const int result = RunRequest(fixture, GetCommand, PidSupportedParameters, NoData(),
                                      " Device 0x%1 Failed Getting Supported Parameters: Nack Error %2!", answer, feedback);
        if (result == ResponseNackReason)
            return false;
        if (result != ResponseAck && result != ResponseAckOverflow) {
            if (feedback)
                feedback->AddString(QStringLiteral(" Device 0x%1 Failed Getting Supported Parameters: No response!").arg(uid),
                                    FeedbackError);
            return false;
        }
        const quint8* data = reinterpret_cast<const quint8*>(answer.constData());
        for (int i = 0; i + 1 < answer.size(); i += 2) {
            const quint16 pid = ReadUInt16(data + i);
            fixture->AddSupportedParameter(pid, QString(QChar(pid)));
        }
        if (result != ResponseAckOverflow)
            return true;
    }
}

bool RDMProtocol::UpdateDeviceInformation(QList<Device*>* fixtures, IFeedback* feedback)
{
    using Getter = bool (RDMProtocol::*)(RDMDevice*, IFeedback*);
    // The supported parameters worth asking for, by PID; any other PID is skipped.
    static const QMap<quint16, Getter> kOptionalGetters = {
        {PidDeviceModelDescription, &RDMProtocol::GetDeviceModelDescription},
        {PidManufacturerLabel, &RDMProtocol::GetManufacturerLabel},
        {PidDeviceLabel, &RDMProtocol::GetDeviceLabel},
        {PidFactoryDefaults, &RDMProtocol::GetFactoryDefaults},
        {PidBootSoftwareVersionLabel, &RDMProtocol::GetBootSoftwareVersionLabel},
        {PidDmxPersonalityDescription, &RDMProtocol::GetPersonalityDescription},
        {PidDeviceHours, &RDMProtocol::GetDeviceHours},
        {PidLampHours, &RDMProtocol::GetLampHours},
        {PidLampStrikes, &RDMProtocol::GetLampStrikes},
        {PidLampState, &RDMProtocol::GetLampState},
        {PidLampOnMode, &RDMProtocol::GetLampOnMode},
        {PidDevicePowerCycles, &RDMProtocol::GetDevicePowerCycles},
        {PidDisplayInvert, &RDMProtocol::GetDisplayInvert},
        {PidDisplayLevel, &RDMProtocol::GetDisplayLevel},
        {PidPanInvert, &RDMProtocol::GetPanInvert},
        {PidTiltInvert, &RDMProtocol::GetTiltInvert},
        {PidPanTiltSwap, &RDMProtocol::GetPanTiltSwap},
        {PidPowerState, &RDMProtocol::GetPowerState},
    };

    const int count = fixtures ? int(fixtures->size()) : 0;
    if (feedback)
        feedback->AddString(QStringLiteral("\n Updating device information for %1 devices").arg(count), FeedbackNormal);
    if (!fixtures)
        return true;
    for (Device* device : *fixtures) {
        RDMDevice* fixture = qobject_cast<RDMDevice*>(device);
        if (!fixture)
            continue;
        GetDeviceInfo(fixture, feedback);
        GetSoftwareVersionLabel(fixture, feedback);
        GetDmxStartAddress(fixture, feedback);
        GetIdentify(fixture, feedback);
        GetSupportedParameters(fixture, feedback);
        for (quint16 pid : fixture->SupportedParameters()) {
            const Getter getter = kOptionalGetters.value(pid, nullptr);
            if (getter)
                (this->*getter)(fixture, feedback);
        }
    }
    return true;
}

bool RDMProtocol::GetDmxStartAddress(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidDmxStartAddress, 50, NoData(), 2,
                  " Device 0x%1 Failed Getting Dmx Start Address: Nack Error %2!",
                  [fixture](const quint8* data, int) { fixture->SetDmxStartAddress(ReadUInt16(data)); }, feedback);
}

bool RDMProtocol::GetPersonalityDescription(RDMDevice* fixture, IFeedback* feedback)
{
    if (!fixture)
        return false;
    const QByteArray request(1, char(fixture->GetPersonality()));
    return RunGet(fixture, PidDmxPersonalityDescription, 255, request, kPersonalityHeaderLength,
                  " Device 0x%1 Failed Getting Dmx Personality Description: Nack Error %2!",
                  [fixture](const quint8* data, int length) {
                      fixture->SetPersonalityDescription(TextAnswer(data + kPersonalityHeaderLength,
                                                                    length - kPersonalityHeaderLength));
                      fixture->SetFootprint(ReadUInt16(data + 1));
                  },
                  feedback);
}

bool RDMProtocol::GetDeviceModelDescription(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidDeviceModelDescription, 60, NoData(), 0,
                  " Device 0x%1 Failed Getting Model Description: Nack Error %2!",
                  [fixture](const quint8* data, int length) { fixture->SetModelDescription(TextAnswer(data, length)); },
                  feedback);
}

bool RDMProtocol::GetManufacturerLabel(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidManufacturerLabel, 60, NoData(), 0,
                  " Device 0x%1 Failed Getting Manufacturer label: Nack Error %2!",
                  [fixture](const quint8* data, int length) { fixture->SetManufacturerLabel(TextAnswer(data, length)); },
                  feedback);
}

bool RDMProtocol::GetDeviceLabel(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidDeviceLabel, 60, NoData(), 0, " Device 0x%1 Failed Getting Device label: Nack Error %2!",
                  [fixture](const quint8* data, int length) { fixture->SetDeviceLabel(TextAnswer(data, length)); },
                  feedback);
}

bool RDMProtocol::GetFactoryDefaults(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidFactoryDefaults, 60, NoData(), 1,
                  " Device 0x%1 Failed Getting Factory Defaults: Nack Error %2!",
                  [fixture](const quint8* data, int) { fixture->SetFactoryDefaults(data[0] != 0); }, feedback);
}

bool RDMProtocol::GetSoftwareVersionLabel(RDMDevice* fixture, IFeedback* feedback)
{
    const bool ok = RunGet(fixture, PidSoftwareVersionLabel, 50, NoData(), 0,
                           " Device 0x%1 Failed Getting Software version label: Nack Error %2!",
                           [fixture](const quint8* data, int length) {
                               fixture->SetSoftwareVersionLabel(TextAnswer(data, length));
                           },
                           feedback);
    if (ok && feedback)
        feedback->AddString(QStringLiteral(" Software version is %1").arg(fixture->GetSoftwareVersion()), FeedbackNormal);
    return ok;
}

bool RDMProtocol::GetBootSoftwareVersionLabel(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidBootSoftwareVersionLabel, 60, NoData(), 0,
                  " Device 0x%1 Failed Get Boot Version: Nack Error %2!",
                  [fixture](const quint8* data, int length) { fixture->SetBootVersionLabel(TextAnswer(data, length)); },
                  feedback);
}

bool RDMProtocol::GetDeviceHours(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidDeviceHours, 60, NoData(), 4, " Device 0x%1 Failed Getting Device hours: Nack Error %2!",
                  [fixture](const quint8* data, int) { fixture->SetDeviceHours(ReadUInt32(data)); }, feedback);
}

bool RDMProtocol::GetLampHours(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidLampHours, 60, NoData(), 4, " Device 0x%1 Failed Getting lamp hours: Nack Error %2!",
                  [fixture](const quint8* data, int) { fixture->SetLampHours(ReadUInt32(data)); }, feedback);
}

bool RDMProtocol::GetLampStrikes(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidLampStrikes, 60, NoData(), 4, " Device 0x%1 Failed Getting lamp strikes: Nack Error %2!",
                  [fixture](const quint8* data, int) { fixture->SetLampStrikes(ReadUInt32(data)); }, feedback);
}

bool RDMProtocol::GetLampState(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidLampState, 60, NoData(), 1, " Device 0x%1 Failed Getting Lamp state: Nack Error %2!",
                  [fixture](const quint8* data, int) { fixture->SetLampState(data[0]); }, feedback);
}

bool RDMProtocol::GetLampOnMode(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidLampOnMode, 60, NoData(), 1, " Device 0x%1 Failed Getting Lamp On Mode: Nack Error %2!",
                  [fixture](const quint8* data, int) { fixture->SetLampOnMode(data[0]); }, feedback);
}

bool RDMProtocol::GetDevicePowerCycles(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidDevicePowerCycles, 60, NoData(), 4,
                  " Device 0x%1 Failed Getting Device Power Cycles: Nack Error %2!",
                  [fixture](const quint8* data, int) { fixture->SetPowerCycles(quint16(ReadUInt32(data))); }, feedback);
}

bool RDMProtocol::GetDisplayInvert(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidDisplayInvert, 60, NoData(), 1, " Device 0x%1 Failed Getting Display Invert: Nack Error %2!",
                  [fixture](const quint8* data, int) { fixture->SetDisplayInvert(data[0]); }, feedback);
}

bool RDMProtocol::GetDisplayLevel(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidDisplayLevel, 60, NoData(), 1, " Device 0x%1 Failed Getting Display Level: Nack Error %2!",
                  [fixture](const quint8* data, int) { fixture->SetDisplayLevel(data[0]); }, feedback);
}

bool RDMProtocol::GetPanInvert(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidPanInvert, 60, NoData(), 1, " Device 0x%1 Failed Getting Pan Invert: Nack Error %2!",
                  [fixture](const quint8* data, int) { fixture->SetPanInvert(data[0] != 0); }, feedback);
}

bool RDMProtocol::GetTiltInvert(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidTiltInvert, 60, NoData(), 1, " Device 0x%1 Failed Getting Tilt Invert: Nack Error %2!",
                  [fixture](const quint8* data, int) { fixture->SetTiltInvert(data[0] != 0); }, feedback);
}

bool RDMProtocol::GetPanTiltSwap(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidPanTiltSwap, 60, NoData(), 1, " Device 0x%1 Failed Getting Pan Tilt Swap: Nack Error %2!",
                  [fixture](const quint8* data, int) { fixture->SetPanTiltSwap(data[0] != 0); }, feedback);
}

bool RDMProtocol::GetPowerState(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidPowerState, 60, NoData(), 1, " Device 0x%1 Failed Getting Power State: Nack Error %2!",
                  [fixture](const quint8* data, int) { fixture->SetPowerState(data[0]); }, feedback);
}

bool RDMProtocol::GetDeviceInfo(RDMDevice* fixture, IFeedback* feedback)
{
    const bool ok = RunGet(fixture, PidDeviceInfo, 60, NoData(), kDeviceInfoLength,
                           " Device 0x%1 Failed Getting Device Info: Nack Error %2!",
                           [this, fixture](const quint8* data, int length) { DecodeDeviceInfo(data, length, fixture); },
                           feedback);
    if (!ok)
        return false;
    return GetPersonalityDescription(fixture, feedback);
}

bool RDMProtocol::GetIdentify(RDMDevice* fixture, IFeedback* feedback)
{
    return RunGet(fixture, PidIdentifyDevice, 60, NoData(), 1, " Device 0x%1 Failed Getting Identify: Nack Error %2!",
                  [fixture](const quint8* data, int) {
                      fixture->SetIdentify(data[0] != 0);
                      NoteIdentify(fixture->GetUniqueId(), data[0] != 0);
                  },
                  feedback);
}

bool RDMProtocol::DecodeDeviceInfo(const quint8* data, int length, RDMDevice* fixture)
{
    if (!data || !fixture || length < kDeviceInfoLength)
        return false;
    // Protocol version (0-1) and personality count (13) are not kept.
    fixture->SetDmxStartAddress(ReadUInt16(data + 14));
    fixture->SetDeviceModelId(ReadUInt16(data + 2));
    fixture->SetSoftwareVersionId({data[6], data[7], data[8], data[9]});
    fixture->SetFootprint(ReadUInt16(data + 10));
    fixture->SetSensorCount(data[18]);
    fixture->SetProductCategory(ReadUInt16(data + 4));
    fixture->SetSubDeviceCount(ReadUInt16(data + 16));
    fixture->SetPersonality(data[12]);
    return true;
}
