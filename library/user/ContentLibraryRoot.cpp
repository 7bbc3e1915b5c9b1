#include "library/user/ContentLibraryRoot.h"

#include "content/policies/NamedPolicies.h"
#include "library/common/LibraryRoots.h"
#include "library/common/NodeConfig.h"

namespace {

LibraryRoots::Holder<ContentLibraryRoot>& Root()
{
    static LibraryRoots::Holder<ContentLibraryRoot> root;
    return root;
}

} // namespace

ContentLibraryRoot::ContentLibraryRoot(const QString& path)
    : ContentLibraryContainerFolder(RootContentPolicy::Instance(), nullptr, path), packages_(*this)
{
    ContentLocker lock(&ContentMutex);
    SetName(QStringLiteral("User Content"));
    packages_.Scan();
    LoadConfig();
    LibraryRoots::ApplyVersionRule(version_, [this] { return SaveConfig(true); });
}

ContentLibraryRoot::~ContentLibraryRoot() = default;

ContentLibraryRoot* ContentLibraryRoot::Instance()
{
    return Root().Get();
}

void ContentLibraryRoot::DestroyInstance()
{
    Root().Destroy();
}

QString ContentLibraryRoot::RootPath()
{
    return FileLayer::AbsolutePath(QStringLiteral("ContentLibraryRoot:."));
}

int ContentLibraryRoot::ChildCount() const
{
    return packages_.Count();
}

ContentBase* ContentLibraryRoot::Child(int index)
{
    return packages_.At(index);
}

const ContentBase* ContentLibraryRoot::Child(int index) const
{
    return packages_.At(index);
}

void ContentLibraryRoot::Reload(bool deep)
{
    ContentLocker lock(&ContentMutex);
    if (deep) {
        for (ContentLibraryPackage* package : packages_.Children())
            package->Reload(true);
    }
}

bool ContentLibraryRoot::IsReadOnly()
{
    return true;
}

int ContentLibraryRoot::MinAddress()
{
    return 0;
}

int ContentLibraryRoot::MaxAddress()
{
    return 0;
}

int ContentLibraryRoot::GetAddress() const
{
    return 0;
}

bool ContentLibraryRoot::SetAddress(int)
{
    return false;
}

bool ContentLibraryRoot::SetMosavraID(quint16)
{
    return false;
}

bool ContentLibraryRoot::AcceptsContent(const Content*)
{
    return false;
}

bool ContentLibraryRoot::CanMoveContentHere(const Content*)
{
    return false;
}

QString ContentLibraryRoot::NewChildTypeName(int kind)
{
    return LibraryNode::ChildTypeName(Policy(), this, kind);
}

bool ContentLibraryRoot::CreateFolder(const QString& name, int, int kind, IFeedback* feedback)
{
    return packages_.Create(name, 0, kind, feedback);
}

bool ContentLibraryRoot::AddChild(QList<ContentBase*>, IFeedback* feedback)
{
    return LibraryNode::Refuse(feedback, QStringLiteral("%1 holds packages only").arg(GetName()));
}

bool ContentLibraryRoot::ModifyChild(ContentBase* child, const QString& name, int address, IFeedback* feedback)
{
    return packages_.Modify(child, name, address, feedback);
}

bool ContentLibraryRoot::MoveHere(ContentBase* child, IFeedback* feedback)
{
    return LibraryNode::Refuse(
        feedback, QStringLiteral("%1 can't be moved to %2").arg(child ? child->GetName() : QString(), GetName()));
}

bool ContentLibraryRoot::RemoveChild(ContentBase* child, IFeedback* feedback)
{
    return packages_.Remove(child, feedback);
}

bool ContentLibraryRoot::LoadConfig()
{
    return NodeConfig::Load(this, &version_);
}

ArchiveResult ContentLibraryRoot::SaveConfig(bool recursive)
{
    ContentLocker lock(&ContentMutex);
    ArchiveResult result = NodeConfig::Save(this, LibraryConfig::Form::Root);
    if (recursive) {
        for (ContentLibraryPackage* package : packages_.Children())
            result = LibraryNode::FirstFailure(result, package->SaveConfig(true));
    }
    return result;
}

int ContentLibraryRoot::Version() const
{
    ContentLocker lock(&ContentMutex);
    return version_;
}

ContentLibraryPackage* ContentLibraryRoot::MakeChild(const QString& name, PolicyBase* policy)
{
    return new ContentLibraryPackage(policy, this, name, QString());
}
