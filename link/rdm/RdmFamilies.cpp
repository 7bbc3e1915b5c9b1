#include "link/rdm/RdmFamilies.h"

#include <QMap>
#include <QMutex>
#include <QMutexLocker>

namespace {

struct Registry
{
    QMutex mutex;
    // Keyed by the case-folded model text.
    QMap<QString, std::shared_ptr<const IRdmFamily>> families;
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

QString Key(const QString& modelText)
{
    return modelText.toCaseFolded();
}

} // namespace

void RdmFamilies::Register(const QString& modelText, std::shared_ptr<const IRdmFamily> family)
{
    Registry& registry = TheRegistry();
    QMutexLocker lock(&registry.mutex);
    if (family)
        registry.families.insert(Key(modelText), std::move(family));
    else
        registry.families.remove(Key(modelText));
}

void RdmFamilies::Unregister(const QString& modelText)
{
    Register(modelText, nullptr);
}

std::shared_ptr<const IRdmFamily> RdmFamilies::Find(const QString& modelText)
{
    Registry& registry = TheRegistry();
    QMutexLocker lock(&registry.mutex);
    return registry.families.value(Key(modelText));
}
