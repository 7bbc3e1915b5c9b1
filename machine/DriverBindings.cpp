#include "machine/DriverBindings.h"

namespace machine {

std::vector<platform::kernel::DriverBinding> DefaultDriverBindings()
{
    // The widget's drivers join this table when they are built.
    return {};
}

} // namespace machine
