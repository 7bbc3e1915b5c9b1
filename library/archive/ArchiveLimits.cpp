#include "library/archive/ArchiveLimits.h"

namespace ArchiveLimits {

qint64 MemberSizeCap(const QString& memberPath)
{
    const QString lower = memberPath.toLower();
    if (lower.endsWith(QLatin1StringView(".xml")))
        return kMaxConfigMemberSize;
    if (lower.endsWith(QLatin1StringView(".bvi")) || lower.endsWith(QLatin1StringView(".cdli")))
        return kMaxImageMemberSize;
    if (lower.endsWith(QLatin1StringView(".bin")))
        return kMaxFirmwareMemberSize;
    return kMaxOtherMemberSize;
}

} // namespace ArchiveLimits
