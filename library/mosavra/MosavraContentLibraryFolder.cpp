#include "library/mosavra/MosavraContentLibraryFolder.h"

#include "library/common/NodeConfig.h"

namespace {

// The Mosavra number an item's name carries: that of a family image, 0 for anything else.
quint16 IdOf(const Content* item)
{
    const bool image = qobject_cast<const BrevantImage*>(item) || qobject_cast<const CindralImage*>(item);
    return image ? item->GetMosavraID() : 0;
}

} // namespace

MosavraContentLibraryFolder::MosavraContentLibraryFolder(PolicyBase* policy, ContentFolder* parent,
                                                         const QString& name)
    : MosavraContentLibraryLocalFolder(policy, parent), items_(*this)
{
    ContentLocker lock(&ContentMutex);
    MosavraContentLibraryLocalFolder::SetName(name);
    items_.Scan();
    LoadConfig();
}

MosavraContentLibraryFolder::~MosavraContentLibraryFolder() = default;

QString MosavraContentLibraryFolder::ItemName(const QString& collage, quint16 id)
{
    const QString number = QString::number(id);
    return ContentBase::CutName(collage, ContentBase::kMaxNameLength - 1 - int(number.size())) + QLatin1Char('_') + number;
}

int MosavraContentLibraryFolder::ChildCount() const
{
    return items_.Count();
}

ContentBase* MosavraContentLibraryFolder::Child(int index)
{
    return items_.At(index);
}

const ContentBase* MosavraContentLibraryFolder::Child(int index) const
{
    return items_.At(index);
}

void MosavraContentLibraryFolder::Reload(bool)
{
    items_.SortByAddress();
}

bool MosavraContentLibraryFolder::IsReadOnly()
{
    return false;
}

bool MosavraContentLibraryFolder::IsChildrenReadOnly()
{
    return true;
}

bool MosavraContentLibraryFolder::IsViewOnly()
{
    ContentLocker lock(&ContentMutex);
    ContentFolder* parent = GetParent();
    return parent && parent->IsViewOnly();
}

bool MosavraContentLibraryFolder::SetName(const QString& name)
{
    NodeConfig::Warn(Rename(name));
    return true;
}

ArchiveResult MosavraContentLibraryFolder::Rename(const QString& name)
{
    ContentLocker lock(&ContentMutex);
    MosavraContentLibraryLocalFolder::SetName(name);
    if (items_.Count() == 0)
        return ArchiveResult::Success();
    if (GetReadState() == ReadState::Unread)
        return ArchiveResult::Failure(LibraryNode::UnreadText(this));
    // The directory already carries the new name; a missing one is not made here, since the
    // items' files could not be in it.
    FileLayer::Dir dir;
    if (!LibraryNode::FindDir(DirPath(), this, dir, nullptr))
        return ArchiveResult::Failure(LibraryNode::MissingDirText(this));
    const QString collage = GetName();
    const QStringList failed =
        items_.RenameAll(dir, [&collage](const Content* item) { return ItemName(collage, IdOf(item)); });
    const ArchiveResult saved = SaveConfig();
    if (failed.isEmpty())
        return saved;
    return ArchiveResult::Failure(
        QStringLiteral("Can't rename file: %1 keep their names").arg(failed.join(QStringLiteral(", "))));
}

bool MosavraContentLibraryFolder::SetAddress(int address)
{
    ContentLocker lock(&ContentMutex);
    MosavraContentLibraryLocalFolder::SetAddress(address);
    bool changed = false;
    for (Content* item : items_.Contents()) {
        if (item->GetAddress() != address) {
            item->SetAddress(address);
            changed = true;
        }
    }
    if (changed)
        NodeConfig::Warn(SaveConfig());
    return true;
}

bool MosavraContentLibraryFolder::CreateFolder(const QString&, int, int, IFeedback* feedback)
{
    return LibraryNode::Refuse(feedback, QStringLiteral("%1 can't hold folders").arg(GetName()));
}

bool MosavraContentLibraryFolder::AddChild(QList<ContentBase*> children, IFeedback* feedback)
{
    return items_.Add(children, feedback);
}

bool MosavraContentLibraryFolder::ModifyChild(ContentBase*, const QString&, int, IFeedback* feedback)
{
    return LibraryNode::Refuse(feedback, QString::fromLatin1(kNotModifiableText));
}

bool MosavraContentLibraryFolder::MoveHere(ContentBase*, IFeedback* feedback)
{
    return LibraryNode::Refuse(feedback, QString::fromLatin1(kNotModifiableText));
}

bool MosavraContentLibraryFolder::RemoveChild(ContentBase* child, IFeedback* feedback)
{
    return items_.Remove(child, feedback);
}

bool MosavraContentLibraryFolder::LoadConfig()
{
    return NodeConfig::Load(this);
}

ArchiveResult MosavraContentLibraryFolder::SaveConfig()
{
    return NodeConfig::Save(this, LibraryConfig::Form::Collage);
}

void MosavraContentLibraryFolder::PrepareItem(Content* item)
{
    item->SetAddress(GetAddress());
}

MosavraContentLibraryPackageFolder::MosavraContentLibraryPackageFolder(PolicyBase* policy, ContentFolder* parent,
                                                                       const QString& name)
    : MosavraContentLibraryFolder(policy, parent, name)
{
}

bool MosavraContentLibraryPackageFolder::IsChildrenReadOnly()
{
    return false;
}
