#include "content/ContentHandles.h"

#include <QHash>
#include <QMutex>

namespace ContentHandles {
namespace {

struct Registry {
    QMutex mutex;
    quint64 lastHandle = 0;
    QHash<quint64, ContentBase*> nodes;
    QHash<const ContentBase*, quint64> handles;
};

Registry& TheRegistry()
{
    // Never destroyed: nodes may die in exit-time destructors.
    static auto* registry = new Registry;
    return *registry;
}

} // namespace

quint64 HandleOf(ContentBase* node)
{
    if (!node)
        return 0;
    Registry& registry = TheRegistry();
    QMutexLocker lock(&registry.mutex);
    const auto found = registry.handles.constFind(node);
    if (found != registry.handles.constEnd())
        return *found;
    const quint64 handle = ++registry.lastHandle;
    registry.handles.insert(node, handle);
    registry.nodes.insert(handle, node);
    return handle;
}

ContentBase* NodeOf(quint64 handle)
{
    Registry& registry = TheRegistry();
    QMutexLocker lock(&registry.mutex);
    return registry.nodes.value(handle, nullptr);
}

bool Forget(const ContentBase* node)
{
    Registry& registry = TheRegistry();
    QMutexLocker lock(&registry.mutex);
    const auto found = registry.handles.find(node);
    if (found == registry.handles.end())
        return false;
    registry.nodes.remove(*found);
    registry.handles.erase(found);
    return true;
}

} // namespace ContentHandles
