#pragma once

#include <cstddef>

// Large blocks of memory for frames, mapped straight from the system at a 2 MiB boundary and
// advised for huge pages, so that the kernel may fault each 2 MiB in at once (advice only:
// without huge pages the block is faulted in 4 KiB at a time, as any memory). Unmapping
// gives a block back to the system at once, whatever the allocator's thresholds.
namespace HugePageBlock {

inline constexpr std::size_t kPageBytes = std::size_t(2) << 20;

// `bytes` rounded up to whole 2 MiB pages; null when the system has no memory for them.
void* Map(std::size_t bytes);
// Gives back a block of Map(bytes), with the same `bytes`.
void Unmap(void* block, std::size_t bytes);

} // namespace HugePageBlock
