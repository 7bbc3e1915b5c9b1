#pragma once

#include "images/HugePageBlock.h"

#include <cstddef>
#include <memory>
#include <new>

// Memory for the frame sequences of LED images, cut one after the other from 2 MiB blocks
// that the kernel may back with huge pages.
//
// A library keeps every image of its packages in memory: thousands of sequences of 8 to
// 35 KiB. Taken from the allocator, each is fresh memory faulted in a 4 KiB page at a time,
// which on a virtual machine costs more than reading the image. A block is faulted in whole
// (or in a few pages where huge pages are not to be had).
//
// A block is filled from its start and goes back to the system when the last sequence in
// it is freed; the room of a sequence freed before then is not reused. So a block held by
// a few long-lived sequences keeps its 2 MiB; the pool never holds more than the most that
// its sequences together took at once, plus one block.
//
// Sizes outside kSmallest .. kLargest come from the allocator, as does everything when a
// block cannot be mapped, and in builds with the address sanitizer (which then sees every
// sequence on its own). Thread-safe.
namespace FramePool {

inline constexpr std::size_t kBlockBytes = HugePageBlock::kPageBytes;
inline constexpr std::size_t kSmallest = std::size_t(8) << 10;
inline constexpr std::size_t kLargest = std::size_t(256) << 10;

// `bytes` at an alignment of 64 (at least `alignment`, which is at most 64) from a block;
// null when the size is not pooled, pooling is off or no block could be mapped.
void* Allocate(std::size_t bytes, std::size_t alignment);
// Frees `pointer` when it came from Allocate: true then; false (nothing done) otherwise.
bool Free(void* pointer);
// The blocks mapped now, and whether pooling is on in this build.
std::size_t BlockCount();
bool Enabled();

} // namespace FramePool

// A standard allocator over FramePool, for the vectors that hold LED frames. All instances
// are interchangeable.
template <class T>
struct FrameAllocator {
    using value_type = T;

    FrameAllocator() = default;
    template <class U>
    FrameAllocator(const FrameAllocator<U>&) noexcept
    {
    }

    T* allocate(std::size_t count)
    {
        if (count > std::size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        if (void* pooled = FramePool::Allocate(count * sizeof(T), alignof(T)))
            return static_cast<T*>(pooled);
        return std::allocator<T>().allocate(count);
    }

    void deallocate(T* pointer, std::size_t count) noexcept
    {
        if (!FramePool::Free(pointer))
            std::allocator<T>().deallocate(pointer, count);
    }

    template <class U>
    bool operator==(const FrameAllocator<U>&) const noexcept
    {
        return true;
    }
};
