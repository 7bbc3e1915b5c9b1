#include "content/ContentMutex.h"

namespace {

// Storage whose destructor does not destroy the mutex: exit-time destructors of other
// translation units may still lock it.
union NeverDestroyed {
    constexpr NeverDestroyed() : mutex() {}
    ~NeverDestroyed() {}
    QRecursiveMutex mutex;
};

constinit NeverDestroyed storage;

} // namespace

constinit QRecursiveMutex& ContentMutex = storage.mutex;
