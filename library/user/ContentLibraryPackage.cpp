#include "library/user/ContentLibraryPackage.h"

#include "library/common/NodeConfig.h"

#include <QFileInfo>

ContentLibraryPackage::ContentLibraryPackage(PolicyBase* policy, ContentFolder* parent, const QString& name,
                                             const QString& path)
    : ContentLibraryContainerFolder(policy, parent, path), folders_(*this)
{
    ContentLocker lock(&ContentMutex);
    SetName(name);
    folders_.Scan();
    LoadConfig();
}

ContentLibraryPackage::~ContentLibraryPackage() = default;

int ContentLibraryPackage::ChildCount() const
{
    return folders_.Count();
}

ContentBase* ContentLibraryPackage::Child(int index)
{
    return folders_.At(index);
}

const ContentBase* ContentLibraryPackage::Child(int index) const
{
    return folders_.At(index);
}

void ContentLibraryPackage::Reload(bool deep)
{
    ContentLocker lock(&ContentMutex);
    folders_.SortByAddress();
    if (deep) {
        for (ContentLibraryFolder* folder : folders_.Children())
            folder->Reload(true);
    }
}

QIcon ContentLibraryPackage::Icon()
{
    return LibraryNode::PackageIcon();
}

int ContentLibraryPackage::GetAddress() const
{
    return 0;
}

bool ContentLibraryPackage::SetAddress(int)
{
    return false;
}

bool ContentLibraryPackage::SetMosavraID(quint16)
{
    return false;
}

bool ContentLibraryPackage::AcceptsContent(const Content*)
{
    return false;
}

bool ContentLibraryPackage::AcceptsFolder(const ContentFolder* folder)
{
    if (!folder)
        return true;
    ContentLocker lock(&ContentMutex);
    PolicyBase* policy = Policy();
    PolicyBase* folderPolicy = PolicyOf(folder);
    return policy && folderPolicy && folderPolicy == policy->NewChildPolicy(this, 0);
}

bool ContentLibraryPackage::CanMoveContentHere(const Content*)
{
    return false;
}

QString ContentLibraryPackage::NewChildTypeName(int kind)
{
    return LibraryNode::ChildTypeName(Policy(), this, kind);
}

bool ContentLibraryPackage::Refuses(IFeedback* feedback)
{
    if (!IsChildrenReadOnly())
        return false;
    LibraryNode::Refuse(feedback, QString::fromLatin1(kNotModifiableText));
    return true;
}

bool ContentLibraryPackage::CreateFolder(const QString& name, int address, int kind, IFeedback* feedback)
{
    ContentLocker lock(&ContentMutex);
    return !Refuses(feedback) && folders_.Create(name, address, kind, feedback);
}

bool ContentLibraryPackage::AddChild(QList<ContentBase*>, IFeedback* feedback)
{
    return LibraryNode::Refuse(feedback, QStringLiteral("%1 holds folders only").arg(GetName()));
}

bool ContentLibraryPackage::ModifyChild(ContentBase* child, const QString& name, int address, IFeedback* feedback)
{
    ContentLocker lock(&ContentMutex);
    return !Refuses(feedback) && folders_.Modify(child, name, address, feedback);
}

bool ContentLibraryPackage::MoveHere(ContentBase* child, IFeedback* feedback)
{
    ContentLocker lock(&ContentMutex);
    if (Refuses(feedback))
        return false;
    auto* source = child ? qobject_cast<ContentLibraryPackage*>(child->GetParent()) : nullptr;
    if (source && source->IsChildrenReadOnly())
        source = nullptr;
    return folders_.MoveIn(child, source ? &source->folders_ : nullptr, feedback);
}

bool ContentLibraryPackage::RemoveChild(ContentBase* child, IFeedback* feedback)
{
    ContentLocker lock(&ContentMutex);
    return !Refuses(feedback) && folders_.Remove(child, feedback);
}

bool ContentLibraryPackage::LoadConfig()
{
    return NodeConfig::Load(this);
}

ArchiveResult ContentLibraryPackage::SaveConfig(bool recursive)
{
    ContentLocker lock(&ContentMutex);
    ArchiveResult result = NodeConfig::Save(this, LibraryConfig::Form::Package);
    if (recursive) {
        for (ContentLibraryFolder* folder : folders_.Children())
            result = LibraryNode::FirstFailure(result, folder->SaveConfig());
    }
    return result;
}

bool ContentLibraryPackage::TakeChild(ContentBase* folder)
{
    ArchiveResult saved = ArchiveResult::Success();
    const bool taken = folders_.Take(folder, &saved);
    NodeConfig::Warn(saved);
    return taken;
}

ArchiveResult ContentLibraryPackage::Rename(const QString& name)
{
    SetName(name);
    return ArchiveResult::Success();
}

ContentLibraryFolder* ContentLibraryPackage::MakeChild(const QString& name, PolicyBase* policy)
{
    return new ContentLibraryFolder(policy, this, name);
}

ContentLibraryPackageFile::ContentLibraryPackageFile(PolicyBase* policy, ContentFolder* parent, const QString& name,
                                                     const QString& archivePath)
    : ContentLibraryPackage(policy, parent, name, archivePath)
{
}

bool ContentLibraryPackageFile::IsValidPath(const QString& path)
{
    return !path.isEmpty();
}

ContentLibraryPackageDestinationFile::ContentLibraryPackageDestinationFile(PolicyBase* policy,
                                                                           const QString& archivePath)
    : ContentLibraryPackageFile(policy, nullptr, QFileInfo(archivePath).completeBaseName(), archivePath)
{
}
