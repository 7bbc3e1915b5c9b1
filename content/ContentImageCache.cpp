#include "content/ContentImageCache.h"

#include "content/Content.h"

#include <atomic>

namespace {

ContentImageCache& EmptyCache()
{
    static ContentImageCache empty;
    return empty;
}

std::atomic<ContentImageCache*> installed{nullptr};

} // namespace

ContentImageCache::~ContentImageCache() = default;

ContentImageCache* ContentImageCache::Instance()
{
    ContentImageCache* cache = installed.load();
    return cache ? cache : &EmptyCache();
}

void ContentImageCache::SetInstance(ContentImageCache* cache)
{
    installed.store(cache);
}

std::unique_ptr<Content> ContentImageCache::Find(quint32)
{
    return nullptr;
}

bool ContentImageCache::Store(const Content&)
{
    return false;
}
