#pragma once

#include "content/policies/ContentPolicy.h"

// The named policies of the program's folders. Each is a process-wide singleton reached
// through its Instance(), registered in PolicyRegistry under its own class name (which is
// also what ClassName answers), in this order: BREVANTContentFolderPolicy,
// BREVANTContentPackagePolicy, CINDRALContentFolderPolicy, CINDRALContentPackagePolicy,
// RootContentPolicy, BREVANTMOSAVRAContentFolderPolicy, BREVANTMOSAVRAContentPackagePolicy,
// CINDRALMOSAVRAContentFolderPolicy, CINDRALMOSAVRAContentPackagePolicy,
// RootMosavraContentPolicy, StandardStockContentPolicy.
//
// Ranges: family folders and the Mosavra folders and packages 1-255, family packages
// 41-250, the roots and the stock packages 0-255.

// The rule combinations the named policies are built on.
using UniqueNamesAndChannels = ContentPolicy<UniqueFilenamePolicy>::Combine<UniqueDMXChannelPolicy<1, 255>>;
using UniqueNamesAndPackageChannels = ContentPolicy<UniqueFilenamePolicy>::Combine<UniqueDMXChannelPolicy<41, 250>>;
using ViewOnlyUniqueReadOnly = ContentPolicy<ViewOnlyPolicy<1>>::Combine<
    ContentPolicy<UniqueFilenamePolicy>::Combine<ContentPolicy<UniqueDMXChannelPolicy<1, 255>>::Combine<ReadOnlyPolicy<1>>>>;
using ViewOnlyAllReadOnly =
    ContentPolicy<ViewOnlyPolicy<1>>::Combine<ContentPolicy<ChildrenReadOnlyPolicy<1>>::Combine<ReadOnlyPolicy<1>>>;

// Makes sure every named policy exists and is registered (PolicyRegistry calls it first).
void RegisterNamedPolicies();

// What every named policy declares.
#define VELMORA_NAMED_POLICY(Class)                                          \
public:                                                                     \
    static Class* Instance();                                               \
    const char* ClassName() const override;                                 \
    const char* DisplayName() const override;                               \
    const char* FamilySuffix() const override;                              \
    PolicyBase* NewChildPolicy(ContentFolder* folder, int kind) override;   \
                                                                            \
private:                                                                    \
    friend struct NamedPolicySet;                                           \
    Class();

// A folder of LED images of one fixture family (`family`: 0 first, 1 second). It takes
// images of both families and converts those of the other family on the way in; its import
// reads image files of both families and pictures and videos (content/policies/FamilyImport.h).
class FamilyContentFolderPolicy : public UniqueNamesAndChannels
{
public:
    FamilyContentFolderPolicy(const char* className, int family);

    bool Accepts(ContentFolder* folder, const std::type_info& type) override;
    bool AcceptsType(ContentFolder* folder, const std::type_info& type) override;
    // An image of this family is cloned, one of the other family converted (with a new
    // key); anything else gives null.
    Content* ConvertContent(ContentFolder* folder, const Content* content) override;
    QList<Content*> ImportFile(ContentFolder* folder, QWidget* parent, const QFileInfo& file, bool probe) override;

private:
    const int family_;
};

// A package of one fixture family: it holds family folders of either family and packages
// of its own kind.
class FamilyContentPackagePolicy : public UniqueNamesAndPackageChannels
{
public:
    explicit FamilyContentPackagePolicy(const char* className) : UniqueNamesAndPackageChannels(className) {}

    bool Accepts(ContentFolder* folder, const std::type_info& type) override;
    bool AcceptsType(ContentFolder* folder, const std::type_info& type) override;
};

// A folder of a Mosavra package: takes everything, imports like a family folder.
class MosavraContentFolderPolicy : public UniqueNamesAndChannels
{
public:
    MosavraContentFolderPolicy(const char* className, int family);

    QList<Content*> ImportFile(ContentFolder* folder, QWidget* parent, const QFileInfo& file, bool probe) override;

private:
    const int family_;
};

class BREVANTContentFolderPolicy final : public FamilyContentFolderPolicy
{
    VELMORA_NAMED_POLICY(BREVANTContentFolderPolicy)
};

class BREVANTContentPackagePolicy final : public FamilyContentPackagePolicy
{
    VELMORA_NAMED_POLICY(BREVANTContentPackagePolicy)
};

class CINDRALContentFolderPolicy final : public FamilyContentFolderPolicy
{
    VELMORA_NAMED_POLICY(CINDRALContentFolderPolicy)
};

class CINDRALContentPackagePolicy final : public FamilyContentPackagePolicy
{
    VELMORA_NAMED_POLICY(CINDRALContentPackagePolicy)
};

// The user library's root: unique names only; kind 0 makes a first-family package, kind 1
// a second-family one.
class RootContentPolicy final : public UniqueFilenamePolicy
{
    VELMORA_NAMED_POLICY(RootContentPolicy)
};

class BREVANTMOSAVRAContentFolderPolicy final : public MosavraContentFolderPolicy
{
    VELMORA_NAMED_POLICY(BREVANTMOSAVRAContentFolderPolicy)
};

class BREVANTMOSAVRAContentPackagePolicy final : public ViewOnlyUniqueReadOnly
{
    VELMORA_NAMED_POLICY(BREVANTMOSAVRAContentPackagePolicy)
};

class CINDRALMOSAVRAContentFolderPolicy final : public MosavraContentFolderPolicy
{
    VELMORA_NAMED_POLICY(CINDRALMOSAVRAContentFolderPolicy)
};

class CINDRALMOSAVRAContentPackagePolicy final : public ViewOnlyUniqueReadOnly
{
    VELMORA_NAMED_POLICY(CINDRALMOSAVRAContentPackagePolicy)
};

class RootMosavraContentPolicy final : public ViewOnlyAllReadOnly
{
    VELMORA_NAMED_POLICY(RootMosavraContentPolicy)
};

class StandardStockContentPolicy final : public ViewOnlyAllReadOnly
{
    VELMORA_NAMED_POLICY(StandardStockContentPolicy)
};

#undef VELMORA_NAMED_POLICY
