#pragma once

#include "content/ContentMutex.h"
#include "library/archive/ArchiveResult.h"

#include <functional>
#include <memory>

// What the three library roots share: their process-wide instance and the version rule.
namespace LibraryRoots {

// The process-wide instance of a root class: built on the first Get (which scans its
// library), destroyed by Destroy or at the end of the process.
template <class Root>
class Holder
{
public:
    Root* Get()
    {
        ContentLocker lock(&ContentMutex);
        if (!root_)
            root_ = std::make_unique<Root>();
        return root_.get();
    }
    void Destroy()
    {
        ContentLocker lock(&ContentMutex);
        root_.reset();
    }

private:
    std::unique_ptr<Root> root_;
};

// The version rule of a root at the end of its scan (LibraryConfig::ApplyVersionRule);
// a library that cannot be rewritten is told on the warning output and read as it is.
void ApplyVersionRule(int& version, const std::function<ArchiveResult()>& rewriteAll);

} // namespace LibraryRoots
