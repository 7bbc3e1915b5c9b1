#include "images/FramePool.h"

#include "images/HugePageBlock.h"

#include <QMutex>
#include <QMutexLocker>

#include <cstdint>
#include <unordered_map>

#if defined(__SANITIZE_ADDRESS__)
#define VELMORA_FRAME_POOL_OFF 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMORA_FRAME_POOL_OFF 1
#endif
#endif

namespace FramePool {
namespace {

constexpr std::size_t kAlignment = 64;

struct Block {
    std::size_t used = 0; // bytes handed out from the start
    std::size_t live = 0; // sequences not yet freed
};

struct Pool {
    QMutex mutex;
    std::unordered_map<std::uintptr_t, Block> blocks; // by start address
    std::uintptr_t current = 0;                       // the block being filled; 0 for none
};

// Never destroyed: images freed while the program exits still find it.
Pool& ThePool()
{
    static Pool* pool = new Pool;
    return *pool;
}

std::uintptr_t BlockOf(const void* pointer)
{
    return reinterpret_cast<std::uintptr_t>(pointer) & ~(std::uintptr_t(kBlockBytes) - 1);
}

// A block at an address that is a multiple of its size, so that any pointer into it finds
// it; 0 when the system has no memory for one.
std::uintptr_t MapBlock()
{
    return reinterpret_cast<std::uintptr_t>(HugePageBlock::Map(kBlockBytes));
}

void UnmapBlock(std::uintptr_t block)
{
    HugePageBlock::Unmap(reinterpret_cast<void*>(block), kBlockBytes);
}

} // namespace

bool Enabled()
{
#ifdef VELMORA_FRAME_POOL_OFF
    return false;
#else
    return true;
#endif
}

void* Allocate(std::size_t bytes, std::size_t alignment)
{
    if (!Enabled() || bytes < kSmallest || bytes > kLargest || alignment > kAlignment)
        return nullptr;
    const std::size_t size = (bytes + kAlignment - 1) / kAlignment * kAlignment;
    Pool& pool = ThePool();
    QMutexLocker lock(&pool.mutex);
    auto current = pool.blocks.find(pool.current);
    if (current == pool.blocks.end() || kBlockBytes - current->second.used < size) {
        const std::uintptr_t fresh = MapBlock();
        if (!fresh)
            return nullptr;
        // A full block whose sequences are all gone already would never be returned.
        if (current != pool.blocks.end() && current->second.live == 0) {
            UnmapBlock(current->first);
            pool.blocks.erase(current);
        }
        pool.current = fresh;
        current = pool.blocks.emplace(fresh, Block{}).first;
    }
    Block& block = current->second;
    void* pointer = reinterpret_cast<void*>(current->first + block.used);
    block.used += size;
    ++block.live;
    return pointer;
}

bool Free(void* pointer)
{
    if (!Enabled() || !pointer)
        return false;
    Pool& pool = ThePool();
    QMutexLocker lock(&pool.mutex);
    const auto found = pool.blocks.find(BlockOf(pointer));
    if (found == pool.blocks.end())
        return false;
    Block& block = found->second;
    if (--block.live > 0)
        return true;
    if (found->first == pool.current) {
        block.used = 0; // empty: filled again from its start
    } else {
        UnmapBlock(found->first);
        pool.blocks.erase(found);
    }
    return true;
}

std::size_t BlockCount()
{
    Pool& pool = ThePool();
    QMutexLocker lock(&pool.mutex);
    return pool.blocks.size();
}

} // namespace FramePool
