#include "library/user/ContentLibraryFolder.h"

#include "library/common/NodeConfig.h"

ContentLibraryFolder::ContentLibraryFolder(PolicyBase* policy, ContentFolder* parent, const QString& name)
    : ContentLibraryLocalFolder(policy, parent), items_(*this)
{
    ContentLocker lock(&ContentMutex);
    SetName(name);
    items_.Scan();
    LoadConfig();
}

ContentLibraryFolder::~ContentLibraryFolder() = default;

int ContentLibraryFolder::ChildCount() const
{
    return items_.Count();
}

ContentBase* ContentLibraryFolder::Child(int index)
{
    return items_.At(index);
}

const ContentBase* ContentLibraryFolder::Child(int index) const
{
    return items_.At(index);
}

void ContentLibraryFolder::Reload(bool)
{
    items_.SortByAddress();
}

bool ContentLibraryFolder::IsReadOnly()
{
    ContentLocker lock(&ContentMutex);
    ContentFolder* parent = GetParent();
    return parent && parent->IsChildrenReadOnly();
}

bool ContentLibraryFolder::IsChildrenReadOnly()
{
    return IsReadOnly();
}

bool ContentLibraryFolder::IsViewOnly()
{
    ContentLocker lock(&ContentMutex);
    ContentFolder* parent = GetParent();
    return parent && parent->IsViewOnly();
}

bool ContentLibraryFolder::Refuses(IFeedback* feedback)
{
    if (!IsChildrenReadOnly())
        return false;
    LibraryNode::Refuse(feedback, QString::fromLatin1(kNotModifiableText));
    return true;
}

bool ContentLibraryFolder::CreateFolder(const QString&, int, int, IFeedback* feedback)
{
    return LibraryNode::Refuse(feedback, QStringLiteral("%1 can't hold folders").arg(GetName()));
}

bool ContentLibraryFolder::AddChild(QList<ContentBase*> children, IFeedback* feedback)
{
    ContentLocker lock(&ContentMutex);
    return !Refuses(feedback) && items_.Add(children, feedback);
}

bool ContentLibraryFolder::ModifyChild(ContentBase* child, const QString& name, int address, IFeedback* feedback)
{
    ContentLocker lock(&ContentMutex);
    return !Refuses(feedback) && items_.Modify(child, name, address, feedback);
}

bool ContentLibraryFolder::MoveHere(ContentBase* child, IFeedback* feedback)
{
    ContentLocker lock(&ContentMutex);
    if (Refuses(feedback))
        return false;
    auto* source = child ? qobject_cast<ContentLibraryFolder*>(child->GetParent()) : nullptr;
    // Items leave a read-only folder (a stock package's) only as copies.
    if (source && source->IsChildrenReadOnly())
        source = nullptr;
    return items_.MoveIn(child, source ? &source->items_ : nullptr, feedback);
}

bool ContentLibraryFolder::RemoveChild(ContentBase* child, IFeedback* feedback)
{
    ContentLocker lock(&ContentMutex);
    return !Refuses(feedback) && items_.Remove(child, feedback);
}

bool ContentLibraryFolder::LoadConfig()
{
    return NodeConfig::Load(this);
}

ArchiveResult ContentLibraryFolder::SaveConfig()
{
    return NodeConfig::Save(this, LibraryConfig::Form::Folder);
}

bool ContentLibraryFolder::TakeChild(ContentBase* item)
{
    ArchiveResult saved = ArchiveResult::Success();
    const bool taken = items_.Take(item, &saved);
    NodeConfig::Warn(saved);
    return taken;
}

QString ContentLibraryFolder::FileOf(const ContentBase* item) const
{
    return items_.FileOf(item);
}

ArchiveResult ContentLibraryFolder::Rename(const QString& name)
{
    SetName(name);
    return ArchiveResult::Success();
}
