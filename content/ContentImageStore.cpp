#include "content/ContentImageStore.h"

#include "content/Content.h"

#include <atomic>

namespace {

ContentImageStore& EmptyStore()
{
    static ContentImageStore empty;
    return empty;
}

std::atomic<ContentImageStore*> installed{nullptr};

} // namespace

ContentImageStore::~ContentImageStore() = default;

ContentImageStore* ContentImageStore::Instance()
{
    ContentImageStore* store = installed.load();
    return store ? store : &EmptyStore();
}

void ContentImageStore::SetInstance(ContentImageStore* store)
{
    installed.store(store);
}

std::unique_ptr<Content> ContentImageStore::Find(quint32)
{
    return nullptr;
}

bool ContentImageStore::Store(Content&)
{
    return false;
}
