#include "content/policies/NamedPolicies.h"

#include "content/policies/FamilyImport.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"

// All eleven are built together, in their registration order, the first time any of them
// or the registry is asked for: the library finds them by name as soon as it reads its
// first configuration file, whatever the order of static initialisation.
struct NamedPolicySet {
    BREVANTContentFolderPolicy brevantFolder;
    BREVANTContentPackagePolicy brevantPackage;
    CINDRALContentFolderPolicy cindralFolder;
    CINDRALContentPackagePolicy cindralPackage;
    RootContentPolicy root;
    BREVANTMOSAVRAContentFolderPolicy brevantMosavraFolder;
    BREVANTMOSAVRAContentPackagePolicy brevantMosavraPackage;
    CINDRALMOSAVRAContentFolderPolicy cindralMosavraFolder;
    CINDRALMOSAVRAContentPackagePolicy cindralMosavraPackage;
    RootMosavraContentPolicy rootMosavra;
    StandardStockContentPolicy stock;

    static NamedPolicySet& Get()
    {
        // Never destroyed: folders built by exit-time destructors may still ask their policy.
        static NamedPolicySet* const set = new NamedPolicySet;
        return *set;
    }
};

void RegisterNamedPolicies()
{
    NamedPolicySet::Get();
}

// ---- the family rules ----

FamilyContentFolderPolicy::FamilyContentFolderPolicy(const char* className, int family)
    : UniqueNamesAndChannels(className), family_(family)
{
}

bool FamilyContentFolderPolicy::Accepts(ContentFolder* folder, const std::type_info& type)
{
    return AcceptsType(folder, type) && UniqueNamesAndChannels::Accepts(folder, type);
}

bool FamilyContentFolderPolicy::AcceptsType(ContentFolder*, const std::type_info& type)
{
    return type == typeid(BrevantImage) || type == typeid(CindralImage);
}

Content* FamilyContentFolderPolicy::ConvertContent(ContentFolder*, const Content* content)
{
    if (!content)
        return nullptr;
    // The exact run-time type decides: a class derived from an image class is neither.
    const std::type_info& type = typeid(*content);
    const bool own = family_ == BrevantImage::kFamilyId ? type == typeid(BrevantImage) : type == typeid(CindralImage);
    if (own) {
        // Clone only reads the image; it is not const because the tree's reads are not.
        return const_cast<Content*>(content)->Clone();
    }
    if (type == typeid(CindralImage))
        return BrevantImage::FromCindralImage(static_cast<const CindralImage&>(*content)).release();
    if (type == typeid(BrevantImage))
        return CindralImage::FromBrevantImage(static_cast<const BrevantImage&>(*content)).release();
    return nullptr;
}

QList<Content*> FamilyContentFolderPolicy::ImportFile(ContentFolder*, QWidget* parent, const QFileInfo& file, bool probe)
{
    return ImportFamilyFile(family_, parent, file, probe);
}

bool FamilyContentPackagePolicy::Accepts(ContentFolder* folder, const std::type_info& type)
{
    return AcceptsType(folder, type) && UniqueNamesAndPackageChannels::Accepts(folder, type);
}

bool FamilyContentPackagePolicy::AcceptsType(ContentFolder*, const std::type_info& type)
{
    return type == typeid(*this) || type == typeid(BREVANTContentFolderPolicy)
        || type == typeid(CINDRALContentFolderPolicy);
}

MosavraContentFolderPolicy::MosavraContentFolderPolicy(const char* className, int family)
    : UniqueNamesAndChannels(className), family_(family)
{
}

QList<Content*> MosavraContentFolderPolicy::ImportFile(ContentFolder*, QWidget* parent, const QFileInfo& file, bool probe)
{
    return ImportFamilyFile(family_, parent, file, probe);
}

// ---- the named policies ----

#define VELMORA_DEFINE_NAMED_POLICY(Class, member, display, suffix)       \
    Class* Class::Instance() { return &NamedPolicySet::Get().member; }     \
    const char* Class::ClassName() const { return #Class; }                \
    const char* Class::DisplayName() const { return display; }             \
    const char* Class::FamilySuffix() const { return suffix; }

VELMORA_DEFINE_NAMED_POLICY(BREVANTContentFolderPolicy, brevantFolder, "BREVANT Folder", "")
VELMORA_DEFINE_NAMED_POLICY(BREVANTContentPackagePolicy, brevantPackage, "BREVANT Package", "(BREVANT)")
VELMORA_DEFINE_NAMED_POLICY(CINDRALContentFolderPolicy, cindralFolder, "Cindral Folder", "")
VELMORA_DEFINE_NAMED_POLICY(CINDRALContentPackagePolicy, cindralPackage, "Cindral Package", "(Cindral)")
VELMORA_DEFINE_NAMED_POLICY(RootContentPolicy, root, "Root Content", "")
VELMORA_DEFINE_NAMED_POLICY(BREVANTMOSAVRAContentFolderPolicy, brevantMosavraFolder, "BREVANT Mosavra Folder", "")
VELMORA_DEFINE_NAMED_POLICY(BREVANTMOSAVRAContentPackagePolicy, brevantMosavraPackage, "BREVANT Mosavra Package",
                            "(BREVANT)")
VELMORA_DEFINE_NAMED_POLICY(CINDRALMOSAVRAContentFolderPolicy, cindralMosavraFolder, "Cindral Mosavra Folder", "")
VELMORA_DEFINE_NAMED_POLICY(CINDRALMOSAVRAContentPackagePolicy, cindralMosavraPackage, "Cindral Mosavra Package",
                            "(Cindral)")
VELMORA_DEFINE_NAMED_POLICY(RootMosavraContentPolicy, rootMosavra, "Root Mosavra Content", "")
VELMORA_DEFINE_NAMED_POLICY(StandardStockContentPolicy, stock, "StandardStockContentPolicy", "")

#undef VELMORA_DEFINE_NAMED_POLICY

BREVANTContentFolderPolicy::BREVANTContentFolderPolicy()
    : FamilyContentFolderPolicy("BREVANTContentFolderPolicy", BrevantImage::kFamilyId)
{
}

PolicyBase* BREVANTContentFolderPolicy::NewChildPolicy(ContentFolder*, int kind)
{
    return kind == 0 ? Instance() : nullptr;
}

BREVANTContentPackagePolicy::BREVANTContentPackagePolicy() : FamilyContentPackagePolicy("BREVANTContentPackagePolicy") {}

PolicyBase* BREVANTContentPackagePolicy::NewChildPolicy(ContentFolder*, int kind)
{
    return kind == 0 ? BREVANTContentFolderPolicy::Instance() : nullptr;
}

CINDRALContentFolderPolicy::CINDRALContentFolderPolicy()
    : FamilyContentFolderPolicy("CINDRALContentFolderPolicy", CindralImage::kFamilyId)
{
}

PolicyBase* CINDRALContentFolderPolicy::NewChildPolicy(ContentFolder*, int kind)
{
    return kind == 0 ? Instance() : nullptr;
}

CINDRALContentPackagePolicy::CINDRALContentPackagePolicy() : FamilyContentPackagePolicy("CINDRALContentPackagePolicy") {}

PolicyBase* CINDRALContentPackagePolicy::NewChildPolicy(ContentFolder*, int kind)
{
    return kind == 0 ? CINDRALContentFolderPolicy::Instance() : nullptr;
}

RootContentPolicy::RootContentPolicy() : UniqueFilenamePolicy("RootContentPolicy") {}

PolicyBase* RootContentPolicy::NewChildPolicy(ContentFolder*, int kind)
{
    switch (kind) {
    case 0:
        return BREVANTContentPackagePolicy::Instance();
    case 1:
        return CINDRALContentPackagePolicy::Instance();
    default:
        return nullptr;
    }
}

BREVANTMOSAVRAContentFolderPolicy::BREVANTMOSAVRAContentFolderPolicy()
    : MosavraContentFolderPolicy("BREVANTMOSAVRAContentFolderPolicy", BrevantImage::kFamilyId)
{
}

PolicyBase* BREVANTMOSAVRAContentFolderPolicy::NewChildPolicy(ContentFolder*, int kind)
{
    return kind == 0 ? Instance() : nullptr;
}

BREVANTMOSAVRAContentPackagePolicy::BREVANTMOSAVRAContentPackagePolicy()
    : ViewOnlyUniqueReadOnly("BREVANTMOSAVRAContentPackagePolicy")
{
}

PolicyBase* BREVANTMOSAVRAContentPackagePolicy::NewChildPolicy(ContentFolder*, int kind)
{
    return kind == 0 ? BREVANTMOSAVRAContentFolderPolicy::Instance() : nullptr;
}

CINDRALMOSAVRAContentFolderPolicy::CINDRALMOSAVRAContentFolderPolicy()
    : MosavraContentFolderPolicy("CINDRALMOSAVRAContentFolderPolicy", CindralImage::kFamilyId)
{
}

PolicyBase* CINDRALMOSAVRAContentFolderPolicy::NewChildPolicy(ContentFolder*, int kind)
{
    return kind == 0 ? Instance() : nullptr;
}

CINDRALMOSAVRAContentPackagePolicy::CINDRALMOSAVRAContentPackagePolicy()
    : ViewOnlyUniqueReadOnly("CINDRALMOSAVRAContentPackagePolicy")
{
}

PolicyBase* CINDRALMOSAVRAContentPackagePolicy::NewChildPolicy(ContentFolder*, int kind)
{
    return kind == 0 ? CINDRALMOSAVRAContentFolderPolicy::Instance() : nullptr;
}

RootMosavraContentPolicy::RootMosavraContentPolicy() : ViewOnlyAllReadOnly("RootMosavraContentPolicy") {}

PolicyBase* RootMosavraContentPolicy::NewChildPolicy(ContentFolder*, int kind)
{
    switch (kind) {
    case 0:
        return BREVANTMOSAVRAContentPackagePolicy::Instance();
    case 1:
        return CINDRALMOSAVRAContentPackagePolicy::Instance();
    default:
        return nullptr;
    }
}

StandardStockContentPolicy::StandardStockContentPolicy() : ViewOnlyAllReadOnly("StandardStockContentPolicy") {}

PolicyBase* StandardStockContentPolicy::NewChildPolicy(ContentFolder*, int kind)
{
    return kind == 0 ? Instance() : nullptr;
}
