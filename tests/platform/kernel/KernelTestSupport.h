#pragma once

#include "platform/kernel/Loader.h"
#include "platform/kernel/Pool.h"

#include <gtest/gtest.h>

// How long a test waits for something that must happen, in virtual time: long enough
// that a loaded machine's scheduler cannot make it expire first.
constexpr qint64 kCompletes = 600'000;

// Every kernel test ends with the pool as it began: a leak of a request, a memory
// descriptor list, a device or a driver object fails the test that caused it.
class KernelTest : public ::testing::Test
{
protected:
    void SetUp() override { poolBefore_ = platform::kernel::OutstandingPoolAllocations(); }
    void TearDown() override
    {
        platform::kernel::ClearKernelFaults();
        EXPECT_EQ(platform::kernel::OutstandingPoolAllocations(), poolBefore_)
            << platform::kernel::DescribeOutstandingPool();
    }

private:
    std::size_t poolBefore_ = 0;
};

// Loads a driver for the life of the object.
class LoadedDriver
{
public:
    LoadedDriver(const wchar_t* name, PDRIVER_INITIALIZE entry)
    {
        status_ = platform::kernel::LoadDriver(name, entry, &driver_);
    }
    ~LoadedDriver() { platform::kernel::UnloadDriver(driver_); }
    LoadedDriver(const LoadedDriver&) = delete;
    LoadedDriver& operator=(const LoadedDriver&) = delete;

    NTSTATUS Status() const { return status_; }
    PDRIVER_OBJECT Get() const { return driver_; }

private:
    NTSTATUS status_;
    PDRIVER_OBJECT driver_ = nullptr;
};
