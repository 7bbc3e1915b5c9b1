#include "images/HugePageBlock.h"

#include <cstdint>

#include <sys/mman.h>

namespace HugePageBlock {
namespace {

std::size_t WholePages(std::size_t bytes)
{
    return (bytes + kPageBytes - 1) / kPageBytes * kPageBytes;
}

} // namespace

void* Map(std::size_t bytes)
{
    const std::size_t size = WholePages(bytes);
    if (size == 0)
        return nullptr;
    // One page more than needed, then the parts before the first boundary and after the
    // block go back.
    void* mapped = mmap(nullptr, size + kPageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kPageBytes - 1) & ~(std::uintptr_t(kPageBytes) - 1);
    if (aligned > start)
        munmap(mapped, aligned - start);
    if (const std::uintptr_t tail = start + size + kPageBytes - (aligned + size); tail > 0)
        munmap(reinterpret_cast<void*>(aligned + size), tail);
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void Unmap(void* block, std::size_t bytes)
{
    if (block)
        munmap(block, WholePages(bytes));
}

} // namespace HugePageBlock
