#include "platform/kernel/ObjectNamespace.h"
#include "platform/kernel/KernelPrivate.h"

#include <algorithm>
#include <cwctype>
#include <map>

namespace {

struct Entry
{
    PDEVICE_OBJECT device = nullptr; // a device name
    std::wstring target;             // or a symbolic link to this name
    std::wstring spelling;           // as given, for listings
};

// Keyed by the folded name.
std::map<std::wstring, Entry>& Names()
{
    static std::map<std::wstring, Entry> names;
    return names;
}

std::wstring CanonicalSpelling(const std::wstring& name)
{
    static const std::wstring dosDevices = L"\\DosDevices\\";
    static const std::wstring globalRoot = L"\\??\\";
    if (name.size() >= dosDevices.size()) {
        bool same = true;
        for (size_t i = 0; i < dosDevices.size() && same; ++i)
            same = std::towlower(name[i]) == std::towlower(dosDevices[i]);
        if (same)
            return globalRoot + name.substr(dosDevices.size());
    }
    return name;
}

std::wstring Key(const std::wstring& name)
{
    std::wstring key = CanonicalSpelling(name);
    std::transform(key.begin(), key.end(), key.begin(), [](wchar_t c) { return wchar_t(std::towlower(c)); });
    return key;
}

bool ValidName(const std::wstring& name)
{
    return name.size() > 1 && name.front() == L'\\' && name.back() != L'\\';
}

// Enough for a link to a link; more is a loop.
constexpr int kMaxLinkDepth = 8;

} // namespace

namespace platform::kernel::detail {

NTSTATUS InsertDeviceName(const std::wstring& name, PDEVICE_OBJECT device)
{
    if (!ValidName(name))
        return STATUS_OBJECT_NAME_INVALID;
    auto [it, inserted] = Names().try_emplace(Key(name));
    if (!inserted)
        return STATUS_OBJECT_NAME_COLLISION;
    it->second.device = device;
    it->second.spelling = CanonicalSpelling(name);
    return STATUS_SUCCESS;
}

void RemoveDeviceName(const std::wstring& name)
{
    auto it = Names().find(Key(name));
    if (it != Names().end() && it->second.device)
        Names().erase(it);
}

NTSTATUS InsertSymbolicLink(const std::wstring& link, const std::wstring& target)
{
    if (!ValidName(link) || !ValidName(target))
        return STATUS_OBJECT_NAME_INVALID;
    auto [it, inserted] = Names().try_emplace(Key(link));
    if (!inserted)
        return STATUS_OBJECT_NAME_COLLISION;
    it->second.target = target;
    it->second.spelling = CanonicalSpelling(link);
    return STATUS_SUCCESS;
}

NTSTATUS RemoveSymbolicLink(const std::wstring& link)
{
    auto it = Names().find(Key(link));
    if (it == Names().end() || it->second.device)
        return STATUS_OBJECT_NAME_NOT_FOUND;
    Names().erase(it);
    return STATUS_SUCCESS;
}

PDEVICE_OBJECT LookupDevice(const std::wstring& name)
{
    std::wstring current = name;
    for (int depth = 0; depth <= kMaxLinkDepth; ++depth) {
        auto it = Names().find(Key(current));
        if (it == Names().end())
            return nullptr;
        if (it->second.device)
            return it->second.device;
        current = it->second.target;
    }
    return nullptr;
}

} // namespace platform::kernel::detail

namespace platform::kernel {

bool ObjectNameExists(const std::wstring& name)
{
    std::lock_guard lock(detail::IoLock());
    return Names().count(Key(name)) != 0;
}

std::vector<std::wstring> ObjectNames()
{
    std::lock_guard lock(detail::IoLock());
    std::vector<std::wstring> names;
    for (const auto& [key, entry] : Names())
        names.push_back(entry.spelling);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace platform::kernel
