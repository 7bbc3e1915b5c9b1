#pragma once

#include <QtGlobal>

#include <atomic>

// The two process-wide write protections of the fixtures' content: a fixture's "Stock
// Content" group may be changed only while StockContentProtected is 0, its "Mosavra
// Content" group only while MosavraContentProtected is 0. Both are 1 from start-up on; the
// stock-content and Mosavra updates (and the Mosavra delete-all) lower one for the time
// they run, through a ScopedProtectionLowering. The groups read the flag at every question
// and never write it.
//
// Threads: any; each flag is a single atomic byte.
extern std::atomic<quint8> StockContentProtected;
extern std::atomic<quint8> MosavraContentProtected;

// Lowers one of the flags to 0 for its scope and puts back the value it found, so that a
// lowering inside another (or inside a run that had already lowered it) leaves the outer
// state as it was.
class ScopedProtectionLowering
{
public:
    explicit ScopedProtectionLowering(std::atomic<quint8>& flag) : flag_(flag), previous_(flag.exchange(0)) {}
    ~ScopedProtectionLowering() { flag_.store(previous_); }
    ScopedProtectionLowering(const ScopedProtectionLowering&) = delete;
    ScopedProtectionLowering& operator=(const ScopedProtectionLowering&) = delete;

private:
    std::atomic<quint8>& flag_;
    const quint8 previous_;
};
