#include "library/common/NodeConfig.h"

namespace NodeConfig {

void Warn(const ArchiveResult& saved)
{
    if (!saved)
        qWarning("%s", qPrintable(saved.Message()));
}

} // namespace NodeConfig
