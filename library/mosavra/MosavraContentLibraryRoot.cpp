#include "library/mosavra/MosavraContentLibraryRoot.h"

#include "content/policies/NamedPolicies.h"
#include "library/common/LibraryRoots.h"
#include "library/common/NodeConfig.h"

namespace {

LibraryRoots::Holder<MosavraContentLibraryRoot>& Root()
{
    static LibraryRoots::Holder<MosavraContentLibraryRoot> root;
    return root;
}

QString FixedText()
{
    return QStringLiteral("The Mosavra packages can't be changed");
}

} // namespace

MosavraContentLibraryRoot::MosavraContentLibraryRoot(const QString& path)
    : MosavraContentLibraryContainerFolder(RootMosavraContentPolicy::Instance(), nullptr, path)
{
    ContentLocker lock(&ContentMutex);
    SetName(QStringLiteral("Mosavra Content"));
    PolicyBase* policy = Policy();
    brevant_ = std::make_unique<BrevantMosavraContentLibraryPackage>(policy->NewChildPolicy(this, 0), this,
                                                                      QStringLiteral("BREVANT"), QString());
    cindral_ = std::make_unique<CindralMosavraContentLibraryPackage>(policy->NewChildPolicy(this, 1), this,
                                                                      QStringLiteral("Cindral"), QString());
    LoadConfig();
    KeepFamily(brevant_.get(), 0);
    KeepFamily(cindral_.get(), 1);
    LibraryRoots::ApplyVersionRule(version_, [this] { return SaveConfig(true); });
}

MosavraContentLibraryRoot::~MosavraContentLibraryRoot() = default;

void MosavraContentLibraryRoot::KeepFamily(MosavraContentLibraryPackage* package, int kind)
{
    PolicyBase* family = Policy()->NewChildPolicy(this, kind);
    if (package->Policy() == family)
        return;
    package->SetPolicy(family, false);
    package->SetChildrenPolicy(family->NewChildPolicy(package, 0), true);
}

MosavraContentLibraryRoot* MosavraContentLibraryRoot::Instance()
{
    return Root().Get();
}

void MosavraContentLibraryRoot::DestroyInstance()
{
    Root().Destroy();
}

QString MosavraContentLibraryRoot::RootPath()
{
    return FileLayer::AbsolutePath(QStringLiteral("MosavraContentLibraryRoot:."));
}

MosavraContentLibraryPackage* MosavraContentLibraryRoot::PackageByName(const QString& name) const
{
    ContentLocker lock(&ContentMutex);
    for (MosavraContentLibraryPackage* package : {Package(0), Package(1)}) {
        if (package->GetName().compare(name, Qt::CaseInsensitive) == 0)
            return package;
    }
    return nullptr;
}

MosavraContentLibraryPackage* MosavraContentLibraryRoot::Package(int family) const
{
    switch (family) {
    case 0: return brevant_.get();
    case 1: return cindral_.get();
    default: return nullptr;
    }
}

int MosavraContentLibraryRoot::ChildCount() const
{
    return 2;
}

ContentBase* MosavraContentLibraryRoot::Child(int index)
{
    return Package(index);
}

const ContentBase* MosavraContentLibraryRoot::Child(int index) const
{
    return Package(index);
}

void MosavraContentLibraryRoot::Reload(bool deep)
{
    ContentLocker lock(&ContentMutex);
    if (deep) {
        brevant_->Reload(true);
        cindral_->Reload(true);
    }
}

bool MosavraContentLibraryRoot::IsReadOnly()
{
    return true;
}

bool MosavraContentLibraryRoot::IsChildrenReadOnly()
{
    return true;
}

bool MosavraContentLibraryRoot::IsViewOnly()
{
    return true;
}

int MosavraContentLibraryRoot::MinAddress()
{
    return 0;
}

int MosavraContentLibraryRoot::MaxAddress()
{
    return 0;
}

bool MosavraContentLibraryRoot::SetAddress(int)
{
    return false;
}

bool MosavraContentLibraryRoot::AcceptsContent(const Content*)
{
    return false;
}

bool MosavraContentLibraryRoot::CanMoveContentHere(const Content*)
{
    return false;
}

bool MosavraContentLibraryRoot::CreateFolder(const QString&, int, int, IFeedback* feedback)
{
    return LibraryNode::Refuse(feedback, FixedText());
}

bool MosavraContentLibraryRoot::AddChild(QList<ContentBase*>, IFeedback* feedback)
{
    return LibraryNode::Refuse(feedback, FixedText());
}

bool MosavraContentLibraryRoot::ModifyChild(ContentBase*, const QString&, int, IFeedback* feedback)
{
    return LibraryNode::Refuse(feedback, FixedText());
}

bool MosavraContentLibraryRoot::MoveHere(ContentBase*, IFeedback* feedback)
{
    return LibraryNode::Refuse(feedback, FixedText());
}

bool MosavraContentLibraryRoot::RemoveChild(ContentBase*, IFeedback* feedback)
{
    return LibraryNode::Refuse(feedback, FixedText());
}

bool MosavraContentLibraryRoot::LoadConfig()
{
    return NodeConfig::Load(this, &version_);
}

ArchiveResult MosavraContentLibraryRoot::SaveConfig(bool recursive)
{
    ContentLocker lock(&ContentMutex);
    ArchiveResult result = NodeConfig::Save(this, LibraryConfig::Form::Root);
    if (recursive) {
        result = LibraryNode::FirstFailure(result, brevant_->SaveConfig(true));
        result = LibraryNode::FirstFailure(result, cindral_->SaveConfig(true));
    }
    return result;
}

int MosavraContentLibraryRoot::Version() const
{
    ContentLocker lock(&ContentMutex);
    return version_;
}

bool CreateMosavraPackage(int family, const QString& name, int address, const QList<Content*>& images,
                          IFeedback* feedback)
{
    MosavraContentLibraryPackage* package = MosavraContentLibraryRoot::Instance()->Package(family);
    if (!package)
        return LibraryNode::Refuse(feedback, QStringLiteral("There is no Mosavra package of that family"));
    return package->CreateFolder(name, address, images, feedback);
}
