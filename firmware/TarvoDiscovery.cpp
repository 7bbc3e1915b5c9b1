// The Tarvo discovery: resetting the lamp fixtures' discovery state, the search
// (TarvoDiscoverySearch over probes and extinguish exchanges), and the readers that fill
// each TarvoDevice found.
#include "firmware/TarvoProtocol.h"

#include "firmware/TarvoDefs.h"
#include "firmware/TarvoDevice.h"
#include "firmware/TarvoDiscoverySearch.h"
#include "link/rdm/RDMProtocol.h"
#include "link/rdm/RdmText.h"
#include "link/transport/IRdmLink.h"
#include "platform/system/Clock.h"

using namespace tarvo;
using rdm::Hex;
using rdm::Report;

namespace {

// A parameter record: number, two value bytes.
constexpr int kParamRecordSize = 3;
// An information record: number, five value bytes.
constexpr int kInfoRecordSize = 6;

QString DeviceText(const char* text, const Device* device)
{
    return QString::fromLatin1(text).arg(Hex(device->GetUniqueId()));
}

void StoreParamRecord(TarvoDevice* device, const quint8* record)
{
    const quint8 value = record[1];
    switch (record[0]) {
    case 0: device->SetDmxPersonality(value); break;
    case 1: device->SetDmxAddress(RDMProtocol::ReadUInt16(record + 1)); break;
    case 3: device->SetPanTiltSwap(value); break;
    case 4: device->SetPanInvert(value); break;
    case 5: device->SetTiltInvert(value); break;
    case 6: device->SetDisplayInvert(value); break;
    case 7: device->SetDisplayOn(value); break;
    case 8: device->SetLampLimit(value); break;
    case 9: device->SetFixtureType(value); break;
    case 11: device->SetLampStatus(value); break;
    case 12: device->SetPresetPlaying(value); break;
    case 13: device->SetMode(value); break;
    case 14: device->SetShutdownTime(value); break;
    case 15: device->SetDataLossTime(value); break;
    case 16: device->SetEncoderDisable(value); break;
    case 17: device->SetLensType(value); break;
    case 19: device->SetFastMode(value); break;
    default: break;
    }
}

void StoreTemperature(TarvoDevice* device, quint8 selector, qint32 celsius)
{
    using Sensor = TarvoDevice::Sensor;
    using Reading = TarvoDevice::Reading;
    // Selectors 0-3 are the current values, 4-7 the minima, 8-11 the maxima, each in the
    // order PCB1, PCB2, Head1, Head2.
    if (selector >= 12)
        return;
    static const Reading readings[] = {Reading::Current, Reading::Minimum, Reading::Maximum};
    static const Sensor sensors[] = {Sensor::Pcb1, Sensor::Pcb2, Sensor::Head1, Sensor::Head2};
    device->SetTemperature(sensors[selector % 4], readings[selector / 4], celsius);
}

void StoreInfoRecord(TarvoDevice* device, const quint8* record)
{
    const quint8 byte1 = record[1];
    const quint16 word = RDMProtocol::ReadUInt16(record + 1);
    switch (record[0]) {
    case 0: device->SetDeviceType(byte1); break;
    case 1: device->SetAuxiliary1(byte1); break;
    case 2: device->SetMode(byte1); break;
    case 3: StoreTemperature(device, byte1, qint32(RDMProtocol::ReadUInt32(record + 2))); break;
    case 4: device->SetLampStatus(word); break;
    case 5: device->SetLampHours(word); break;
    case 6: device->SetLampStrikes(word); break;
    case 7: device->SetDeviceHours(word); break;
    case 8:
        device->SetSoftwareVersion(QStringLiteral("v%1").arg(record[1] * 256 + record[2] * 16 + record[3], 0, 16));
        device->SetBuildStatus(record[4]);
        break;
    case 13: device->SetAuxiliary3(byte1); break;
    case 14: device->SetVoltage(word); break;
    case 15: device->SetCurrentValue(word); break;
    case 16: device->SetLampSensor1(word); break;
    case 17: device->SetLampSensor2(word); break;
    case 18: device->SetFrequency(word); break;
    case 19:
        if (byte1 < 5)
            device->SetFanSpeed(TarvoDevice::Fan(byte1), record[2]);
        break;
    case 21: device->SetDmxFootprint(word); break;
    default: break;
    }
}

// Walks `length` bytes of records of `size` bytes through `store`; false when the data do
// not end on a record boundary (the whole records before the rest are stored).
template <typename Store>
bool StoreRecords(const quint8* data, int length, int size, Store store)
{
    for (int at = 0; at < length; at += size) {
        if (length - at < size)
            return false;
        store(data + at);
    }
    return true;
}

} // namespace

// The search's view of the line: this protocol's probe and extinguish exchanges.
class TarvoSearchLine : public TarvoDiscoverySearch::ILine
{
public:
    explicit TarvoSearchLine(TarvoProtocol* protocol) : protocol_(protocol) {}

    // Any reply counts, a garbled one (several fixtures at once) too.
    bool Probe(quint32 low) override
    {
        quint8 reply[kTalkbackReplyRoom];
        return protocol_->Request(kCommand, SubProbe, low, 0, reply, kTalkbackReplyRoom) != 0;
    }
    void Extinguish(quint32 id) override { protocol_->SendPacket(kCommand, SubExtinguish, id, nullptr, 0); }
    bool IsExtinguished(quint32 id) override
    {
        quint8 reply[TarvoProtocol::kRequestReplyRoom];
        return protocol_->Request(kCommand, SubExtinguishCheck, id, 0, reply, TarvoProtocol::kRequestReplyRoom) != 0;
    }

private:
    TarvoProtocol* protocol_;
};

void TarvoProtocol::Discover(QList<Device*>* devices, IFeedback* feedback)
{
    Report(feedback, QStringLiteral("Tarvo Discovery: Starting.."), FeedbackNormal);
    if (!Link()) {
        Report(feedback, QStringLiteral(" Tarvo Discovery: No communication device detected"), FeedbackError);
        return;
    }
    Report(feedback, QStringLiteral(" Tarvo Discovery: Resetting Tarvo devices"), FeedbackNormal);
    for (int round = 0; round < kClearRounds; ++round) {
        for (quint32 code : kClearCodes) {
            if (!SendCommandWord(code)) {
                Report(feedback, QStringLiteral(" Tarvo Discovery: Error resetting Tarvo devices"), FeedbackError);
                return;
            }
        }
    }
    platform::Clock::SleepMs(kSettleMs);

    QList<Device*> found;
    SearchRange(&found, 0, 0xFFFF'FFFFu, feedback);
    for (Device* device : found) {
        auto* lamp = qobject_cast<TarvoDevice*>(device);
        if (!lamp)
            continue;
        // Each read stands alone: a fixture that misses one still gives the others.
        GetDeviceType(lamp, feedback);
        GetAllParams(lamp, feedback);
        GetAllInfo(lamp, feedback);
    }
    if (devices)
        devices->append(found);
    else
        qDeleteAll(found);
    Report(feedback, QStringLiteral(" Tarvo Discovery: Finished!"), FeedbackNormal);
}

bool TarvoProtocol::SearchRange(QList<Device*>* found, quint32 low, quint32 high, IFeedback* feedback)
{
    TarvoSearchLine line(this);
    TarvoDiscoverySearch search(&line, feedback);
    search.Search(low, high);
    if (!found)
        return false;
    for (quint32 id : search.Found()) {
        auto* device = new TarvoDevice();
        device->SetUniqueId(id, 0);
        found->append(device);
    }
    return false;
}

bool TarvoProtocol::GetDeviceType(TarvoDevice* device, IFeedback* feedback)
{
    if (!device)
        return false;
    Report(feedback, DeviceText("Tarvo Discovery: Getting device type for 0x%1", device), FeedbackNormal);
    quint8 request[kRequestSize] = {};
    request[0] = kCommand;
    request[1] = SubDeviceType;
    PutId(request + 2, quint32(device->GetUniqueId()));
    FillChecksum(request, kRequestSize);
    IRdmLink* link = Link();
    if (!link) {
        Report(feedback, QStringLiteral(" Error: No communication device detected"), FeedbackError);
        return false;
    }
    // One try only: the type is read again at the next discovery.
    quint8 reply[kDeviceTypeReplyRoom] = {};
    int received = 0;
    if (link->SendRdmReadPacket(request, kRequestSize, kDeviceTypeReplyRoom, kSendTimeoutMs)) {
        platform::Clock::SleepMs(kDeviceTypeWaitMs);
        received = link->ReceiveRdmPacket(reply, kDeviceTypeReplyRoom, nullptr, kDeviceTypeTimeoutMs);
    }
    if (received >= kRequestReplySize && RequestReplyChecksum(reply) == RDMProtocol::ReadUInt16(reply + 10)) {
        device->SetDeviceModelId(reply[kReplyAnswerOffset]);
        return true;
    }
    Report(feedback, DeviceText(" Tarvo Discovery: Error: Failed getting device type for 0x%1", device), FeedbackError);
    return false;
}

bool TarvoProtocol::GetAllParams(TarvoDevice* device, IFeedback* feedback)
{
    if (!device)
        return false;
    quint8 data[kTalkbackReplyRoom];
    const int length = TalkbackParam(device, kAllValues, data, kTalkbackReplyRoom, feedback);
    if (length <= 0) {
        Report(feedback, DeviceText(" Tarvo Discovery: Warning: Failed getting all params for 0x%1", device),
               FeedbackNormal);
        return false;
    }
    return StoreRecords(data, length, kParamRecordSize, [device](const quint8* record) { StoreParamRecord(device, record); });
}

bool TarvoProtocol::GetAllInfo(TarvoDevice* device, IFeedback* feedback)
{
    if (!device)
        return false;
    quint8 data[kTalkbackReplyRoom];
    const int length = Talkback(device, kAllValues, data, kTalkbackReplyRoom, feedback);
    if (length <= 0) {
        Report(feedback, DeviceText(" Tarvo Discovery: Warning: Failed getting all info for 0x%1", device),
               FeedbackNormal);
        return false;
    }
    return StoreRecords(data, length, kInfoRecordSize, [device](const quint8* record) { StoreInfoRecord(device, record); });
}

// ---- single values ---------------------------------------------------------------------

bool TarvoProtocol::ReadValue(TarvoDevice* device, quint8 parameter, const char* before, const char* warning,
                              const std::function<void(quint16)>& store, IFeedback* feedback)
{
    if (!device)
        return false;
    if (before)
        Report(feedback, DeviceText(before, device), FeedbackNormal);
    quint16 value = 0;
    if (!ReadWord(device, parameter, &value, feedback)) {
        Report(feedback, DeviceText(warning, device), FeedbackNormal);
        return false;
    }
    store(value);
    return true;
}

bool TarvoProtocol::GetDmxAddress(TarvoDevice* device, IFeedback* feedback)
{
    return ReadValue(device, 1, "Tarvo Discovery: Getting Dmx adress for 0x%1",
                     " Tarvo Discovery: Warning: Failed getting Dmx address for 0x%1",
                     [device](quint16 v) { device->SetDmxAddress(v); }, feedback);
}

bool TarvoProtocol::GetDmxPersonality(TarvoDevice* device, IFeedback* feedback)
{
    return ReadValue(device, 0, "Tarvo Discovery: Getting Dmx personality for 0x%1",
                     " Tarvo Discovery: Warning: Failed getting Dmx personality for 0x%1",
                     [device](quint16 v) { device->SetDmxPersonality(v); }, feedback);
}

bool TarvoProtocol::GetPanTiltSwap(TarvoDevice* device, IFeedback* feedback)
{
    return ReadValue(device, 3, "Tarvo Discovery: Getting pan/tilt swap for 0x%1",
                     " Tarvo Discovery: Warning: Failed getting pan/tilt swap for 0x%1",
                     [device](quint16 v) { device->SetPanTiltSwap(v); }, feedback);
}

bool TarvoProtocol::GetPanInvert(TarvoDevice* device, IFeedback* feedback)
{
    return ReadValue(device, 4, "Tarvo Discovery: Getting pan invert for 0x%1",
                     " Tarvo Discovery: Warning: Failed getting pan invert for 0x%1",
                     [device](quint16 v) { device->SetPanInvert(v); }, feedback);
}

bool TarvoProtocol::GetTiltInvert(TarvoDevice* device, IFeedback* feedback)
{
    return ReadValue(device, 5, "Tarvo Discovery: Getting tilt invert for 0x%1",
                     " Tarvo Discovery: Warning: Failed getting tilt invert for 0x%1",
                     [device](quint16 v) { device->SetTiltInvert(v); }, feedback);
}

bool TarvoProtocol::GetDisplayInvert(TarvoDevice* device, IFeedback* feedback)
{
    return ReadValue(device, 6, "Tarvo Discovery: Getting display invert for 0x%1",
                     " Tarvo Discovery: Warning: Failed getting display invert for 0x%1",
                     [device](quint16 v) { device->SetDisplayInvert(v); }, feedback);
}

bool TarvoProtocol::GetDisplayOn(TarvoDevice* device, IFeedback* feedback)
{
    return ReadValue(device, 7, "Tarvo Discovery: Getting display on for 0x%1",
                     " Tarvo Discovery: Warning: Failed getting display on for 0x%1",
                     [device](quint16 v) { device->SetDisplayOn(v); }, feedback);
}

bool TarvoProtocol::GetLampLimit(TarvoDevice* device, IFeedback* feedback)
{
    return ReadValue(device, 8, "Tarvo Discovery: Getting lamp limit for 0x%1",
                     " Tarvo Discovery: Warning: Failed getting lamp limit for 0x%1",
                     [device](quint16 v) { device->SetLampLimit(v); }, feedback);
}

bool TarvoProtocol::GetFixtureType(TarvoDevice* device, IFeedback* feedback)
{
    return ReadValue(device, 9, "Tarvo Discovery: Getting fixture type for 0x%1",
                     " Tarvo Discovery: Warning: Failed getting fixture type for 0x%1",
                     [device](quint16 v) { device->SetDeviceModelId(v); }, feedback);
}

bool TarvoProtocol::GetLampState(TarvoDevice* device, IFeedback* feedback)
{
    return ReadValue(device, 11, "Tarvo Discovery: Getting lamp state for 0x%1",
                     " Tarvo Discovery: Warning: Failed getting lamp state for 0x%1",
                     [device](quint16 v) { device->SetLampStatus(v); }, feedback);
}

bool TarvoProtocol::GetShutdownTime(TarvoDevice* device, IFeedback* feedback)
{
    return ReadValue(device, 14, nullptr, " Tarvo Discovery: Warning: Failed getting shutdown time for 0x%1",
                     [device](quint16 v) { device->SetShutdownTime(v); }, feedback);
}

bool TarvoProtocol::GetDataLossTime(TarvoDevice* device, IFeedback* feedback)
{
    return ReadValue(device, 15, nullptr, " Tarvo Discovery: Warning: Failed getting dataloss time for 0x%1",
                     [device](quint16 v) { device->SetDataLossTime(v); }, feedback);
}

bool TarvoProtocol::GetEncoderDisable(TarvoDevice* device, IFeedback* feedback)
{
    return ReadValue(device, 16, nullptr, " Tarvo Discovery: Warning: Failed getting encoder disable for 0x%1",
                     [device](quint16 v) { device->SetEncoderDisable(v); }, feedback);
}

bool TarvoProtocol::GetLensType(TarvoDevice* device, IFeedback* feedback)
{
    return ReadValue(device, 17, nullptr, " Tarvo Discovery: Warning: Failed getting lens type for 0x%1",
                     [device](quint16 v) { device->SetLensType(v); }, feedback);
}

bool TarvoProtocol::GetFastMode(TarvoDevice* device, IFeedback* feedback)
{
    return ReadValue(device, 19, nullptr, " Tarvo Discovery: Warning: Failed getting fast mode for 0x%1",
                     [device](quint16 v) { device->SetFastMode(v); }, feedback);
}

bool TarvoProtocol::ReadInformation(TarvoDevice* device, quint8 parameter, int capacity, int minimum,
                                    const char* before, const char* warning,
                                    const std::function<void(const quint8*)>& store, IFeedback* feedback)
{
    if (!device)
        return false;
    if (before)
        Report(feedback, DeviceText(before, device), FeedbackNormal);
    quint8 data[kTalkbackReplyRoom];
    if (Talkback(device, parameter, data, capacity, feedback) < minimum) {
        Report(feedback, DeviceText(warning, device), FeedbackNormal);
        return false;
    }
    store(data);
    return true;
}

bool TarvoProtocol::GetDmxFootprint(TarvoDevice* device, IFeedback* feedback)
{
    return ReadInformation(device, 21, 8, 1, nullptr, "Tarvo Discovery: Warning: Failed getting Dmx footprint for 0x%1",
                           [device](const quint8* data) { device->SetDmxFootprint(data[0]); }, feedback);
}

bool TarvoProtocol::GetDeviceHours(TarvoDevice* device, IFeedback* feedback)
{
    return ReadInformation(device, 7, 8, 2, "Tarvo Discovery: Getting device hours for 0x%1",
                           " Tarvo Discovery: Warning: Failed getting device hours for 0x%1",
                           [device](const quint8* data) { device->SetDeviceHours(RDMProtocol::ReadUInt16(data)); },
                           feedback);
}

bool TarvoProtocol::GetFirmwareVersion(TarvoDevice* device, IFeedback* feedback)
{
    return ReadInformation(device, 8, 16, 4, "Tarvo Discovery: Getting firmware version for 0x%1",
                           " Tarvo Discovery: Warning: Failed getting firmware version for 0x%1",
                           [device](const quint8* data) {
                               const int version = data[0] * 4096 + data[1] * 256 + data[2] * 16 + data[3];
                               device->SetSoftwareVersion(QStringLiteral("v%1").arg(version, 0, 16));
                           },
                           feedback);
}
