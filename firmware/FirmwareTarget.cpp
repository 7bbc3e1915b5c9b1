#include "firmware/FirmwareTarget.h"

#include "link/rdm/RdmDefs.h"

FirmwareTarget::FirmwareTarget(const Device& device)
    : protocolType_(device.GetProtocolType())
    , modelName_(device.GetModelName())
    , packetCount_(device.GetFirmwarePacketCount())
    , skipBlank_(device.SkipBlankFirmwarePackets())
{
    const quint64 uid = device.GetUniqueId();
    SetUniqueId(rdm::UidLow(uid), rdm::UidHigh(uid));
}

FirmwareTarget::FirmwareTarget(quint64 uniqueId, quint32 packetCount, bool skipBlank, const QString& modelName)
    : modelName_(modelName), packetCount_(packetCount), skipBlank_(skipBlank)
{
    SetUniqueId(rdm::UidLow(uniqueId), rdm::UidHigh(uniqueId));
}

FirmwareTarget::~FirmwareTarget() = default;
