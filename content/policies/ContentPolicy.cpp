#include "content/policies/ContentPolicy.h"

#include "content/ContentFolder.h"
#include "content/ContentMutex.h"

namespace {

// Whether a child of `folder` other than `child` satisfies `test`.
template <class Test>
bool AnySibling(ContentFolder* folder, const ContentBase* child, Test test)
{
    if (!folder)
        return false;
    ContentLocker lock(&ContentMutex);
    for (int i = 0, count = folder->ChildCount(); i < count; ++i) {
        const ContentBase* sibling = folder->Child(i);
        if (sibling != child && test(sibling))
            return true;
    }
    return false;
}

} // namespace

bool NameInUse(ContentFolder* folder, const ContentBase* child, const QString& name)
{
    return AnySibling(folder, child, [&](const ContentBase* sibling) { return sibling->GetName() == name; });
}

QString NumberedName(const QString& name, int number)
{
    const QString suffix = QStringLiteral(" (%1)").arg(number);
    return ContentBase::CutName(name, kNumberedNameLength - int(suffix.size())) + suffix;
}

bool AddressInUse(ContentFolder* folder, const ContentBase* child, int address)
{
    return AnySibling(folder, child, [&](const ContentBase* sibling) { return sibling->GetAddress() == address; });
}

int NextUnusedAddress(ContentFolder* folder, const ContentBase* child, int address)
{
    if (!folder)
        return address;
    ContentLocker lock(&ContentMutex);
    // Every bump passes one sibling's address, so the walk ends after at most ChildCount
    // bumps.
    while (AddressInUse(folder, child, address))
        ++address;
    return address;
}

bool UniqueFilenamePolicy::Conflicts(ContentFolder* folder, const ContentBase* child, const QString& name, int)
{
    if (!folder)
        return false;
    ContentLocker lock(&ContentMutex);
    // Compared as it will be stored: a longer name is cut to the node's 16 characters.
    return NameInUse(folder, child, ContentBase::CutName(name));
}

bool UniqueFilenamePolicy::MakeUnique(ContentFolder* folder, const ContentBase* child, QString& name, int& address)
{
    if (!folder)
        return false;
    ContentLocker lock(&ContentMutex);
    bool renamed = false;
    QString candidate = ContentBase::CutName(name);
    for (int number = 2; NameInUse(folder, child, candidate); ++number) {
        candidate = NumberedName(name, number);
        renamed = true;
    }
    if (renamed)
        name = candidate;

    const int unused = NextUnusedAddress(folder, child, address);
    if (unused != address) {
        address = unused;
        return true;
    }
    return renamed;
}
