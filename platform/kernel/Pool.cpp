#include "platform/kernel/Pool.h"
#include "platform/kernel/KernelPrivate.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace {

// Fresh pool is filled with this byte, so a driver that reads memory it never wrote
// sees garbage in tests rather than the zeros a fresh heap page happens to hold.
constexpr unsigned char kFreshPoolFill = 0xCD;

struct Allocation
{
    ULONG tag;
    SIZE_T size;
};

struct PoolState
{
    std::mutex mutex;
    std::map<const void*, Allocation> live;
    ULONG failTag = 0;
    int failCount = 0;
    int failMappings = 0;
};

PoolState& State()
{
    static PoolState state;
    return state;
}

std::string TagText(ULONG tag)
{
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = char((tag >> (8 * i)) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? c : '.';
    }
    return text;
}

} // namespace

PVOID ExAllocatePoolWithTag(POOL_TYPE, SIZE_T NumberOfBytes, ULONG Tag)
{
    PoolState& state = State();
    {
        std::lock_guard lock(state.mutex);
        if (state.failCount > 0 && (state.failTag == 0 || state.failTag == Tag)) {
            --state.failCount;
            return nullptr;
        }
    }
    // max_align_t alignment, like the kernel's pool; a zero-byte request still gets a
    // distinct block.
    void* memory = std::malloc(NumberOfBytes ? NumberOfBytes : 1);
    if (!memory)
        return nullptr;
    std::memset(memory, kFreshPoolFill, NumberOfBytes);
    std::lock_guard lock(state.mutex);
    state.live.emplace(memory, Allocation{Tag, NumberOfBytes});
    return memory;
}

PVOID ExAllocatePool(POOL_TYPE PoolType, SIZE_T NumberOfBytes)
{
    return ExAllocatePoolWithTag(PoolType, NumberOfBytes, MakePoolTag("None"));
}

VOID ExFreePoolWithTag(PVOID P, ULONG Tag)
{
    PoolState& state = State();
    {
        std::lock_guard lock(state.mutex);
        auto it = state.live.find(P);
        if (it == state.live.end())
            platform::kernel::detail::BugCheck("BAD_POOL_CALLER: freeing %p, which is not allocated pool", P);
        if (Tag != 0 && it->second.tag != Tag)
            platform::kernel::detail::BugCheck("BAD_POOL_CALLER: freeing %p with tag '%s', allocated as '%s'", P,
                                               TagText(Tag).c_str(), TagText(it->second.tag).c_str());
        state.live.erase(it);
    }
    std::free(P);
}

VOID ExFreePool(PVOID P)
{
    ExFreePoolWithTag(P, 0);
}

namespace platform::kernel {

std::size_t OutstandingPoolAllocations()
{
    PoolState& state = State();
    std::lock_guard lock(state.mutex);
    return state.live.size();
}

std::string DescribeOutstandingPool()
{
    PoolState& state = State();
    std::lock_guard lock(state.mutex);
    std::string text;
    for (const auto& [address, allocation] : state.live) {
        char line[96];
        std::snprintf(line, sizeof line, "'%s' %zu bytes at %p\n", TagText(allocation.tag).c_str(),
                      allocation.size, address);
        text += line;
    }
    return text;
}

void FailPoolAllocations(ULONG tag, int count)
{
    PoolState& state = State();
    std::lock_guard lock(state.mutex);
    state.failTag = tag;
    state.failCount = count;
}

void FailMdlMappings(int count)
{
    PoolState& state = State();
    std::lock_guard lock(state.mutex);
    state.failMappings = count;
}

void ClearKernelFaults()
{
    PoolState& state = State();
    std::lock_guard lock(state.mutex);
    state.failCount = 0;
    state.failMappings = 0;
}

namespace detail {

bool TakeMdlMappingFault()
{
    PoolState& state = State();
    std::lock_guard lock(state.mutex);
    if (state.failMappings <= 0)
        return false;
    --state.failMappings;
    return true;
}

void BugCheck(const char* format, ...)
{
    char message[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    std::fprintf(stderr, "KERNEL BUGCHECK: %s\n", message);
    std::fflush(stderr);
    std::abort();
}

} // namespace detail
} // namespace platform::kernel
