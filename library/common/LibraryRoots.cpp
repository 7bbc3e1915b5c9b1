#include "library/common/LibraryRoots.h"

#include "library/config/LibraryConfig.h"

namespace LibraryRoots {

void ApplyVersionRule(int& version, const std::function<ArchiveResult()>& rewriteAll)
{
    const ArchiveResult rewritten = LibraryConfig::ApplyVersionRule(version, rewriteAll);
    if (!rewritten)
        qWarning("The library could not be brought to the current format: %s", qPrintable(rewritten.Message()));
}

} // namespace LibraryRoots
