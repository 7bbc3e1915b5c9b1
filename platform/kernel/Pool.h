#pragma once

#include "platform/kernel/KernelTypes.h"

#include <cstddef>
#include <string>

// What tests ask of the kernel's pool and what they inject into it. Every allocation the
// kernel makes for drivers (their own pool, device and driver objects, requests, memory
// descriptor lists, buffers the I/O manager makes) is counted here, so a test that ends
// with allocations outstanding has found a leak.
namespace platform::kernel {

std::size_t OutstandingPoolAllocations();
// One line per outstanding allocation: tag, size. Empty when none.
std::string DescribeOutstandingPool();

// The next `count` allocations with `tag` (0: with any tag) fail and return NULL.
void FailPoolAllocations(ULONG tag, int count);
// The next `count` calls of MmGetSystemAddressForMdlSafe fail and return NULL.
void FailMdlMappings(int count);
void ClearKernelFaults();

} // namespace platform::kernel
