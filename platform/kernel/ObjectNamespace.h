#pragma once

#include <string>
#include <vector>

// What tests may ask of the kernel's object namespace.
namespace platform::kernel {

// Whether a device name or symbolic link exists ("\Device\x", "\DosDevices\x" or "\??\x";
// case does not matter).
bool ObjectNameExists(const std::wstring& name);
// Every name in the namespace, links under "\??\", sorted.
std::vector<std::wstring> ObjectNames();

} // namespace platform::kernel
