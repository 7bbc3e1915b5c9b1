#include "library/mosavra/MosavraContentLibraryPackage.h"

#include "library/common/NodeConfig.h"
#include "library/containers/ContentContainer.h"

#include <QFileInfo>

MosavraContentLibraryPackage::MosavraContentLibraryPackage(PolicyBase* policy, ContentFolder* parent,
                                                           const QString& name, const QString& path)
    : MosavraContentLibraryContainerFolder(policy, parent, path), folders_(*this)
{
    ContentLocker lock(&ContentMutex);
    SetName(name);
    folders_.Scan();
    LoadConfig();
}

MosavraContentLibraryPackage::~MosavraContentLibraryPackage() = default;

Content* MosavraContentLibraryPackage::MatchContent(Content* item, quint16 id)
{
    return item && item->GetMosavraID() == id ? item->Clone() : nullptr;
}

bool MosavraContentLibraryPackage::LoadConfig()
{
    return NodeConfig::Load(this);
}

ArchiveResult MosavraContentLibraryPackage::SaveConfig(bool recursive)
{
    ContentLocker lock(&ContentMutex);
    ArchiveResult result = NodeConfig::Save(this, LibraryConfig::Form::Package);
    if (recursive) {
        for (MosavraContentLibraryFolder* folder : folders_.Children())
            result = LibraryNode::FirstFailure(result, folder->SaveConfig());
    }
    return result;
}

bool MosavraContentLibraryPackage::CreateFolder(const QString& newName, int address, const QList<Content*>& images,
                                                IFeedback* feedback)
{
    ContentLocker lock(&ContentMutex);
    const QString name = LibraryNames::Kept(newName);
    if (address < 1) {
        address = NextFreeAddress(1);
        if (address == -1)
            return LibraryNode::Refuse(feedback, QStringLiteral("No free address left in %1 for %2").arg(GetName(), name));
    }
    if (!folders_.MakeDir(name, address, feedback))
        return false;
    auto* collage = new MosavraContentLibraryFolder(Policy() ? Policy()->NewChildPolicy(this, 0) : nullptr, this, name);
    collage->SetAddress(address);
    folders_.Append(collage);

    QStringList names;
    QList<ContentBase*> items;
    for (Content* image : images) {
        names.append(image->GetName());
        image->SetName(MosavraContentLibraryFolder::ItemName(name, image->GetMosavraID()));
        items.append(image);
    }
    if (!collage->AddChild(items, feedback)) {
        for (int i = 0; i < images.size(); ++i)
            images.at(i)->SetName(names.at(i));
        folders_.Withdraw(collage);
        return false;
    }
    const ArchiveResult saved = SaveConfig(false);
    if (!saved)
        LibraryNode::ReportError(feedback, saved.Message());
    return true;
}

ContentContainerFolder* MosavraContentLibraryPackage::BuildDevicePackage(quint16 id)
{
    ContentLocker lock(&ContentMutex);
    auto* package = new ContentContainerFolder;
    package->SetName(QStringLiteral("Mosavra Content Package"));
    auto* container = new ContentContainer;
    container->SetName(QStringLiteral("Mosavra"));
    container->SetAddress(kMosavraFolderAddress);
    container->SetParent(package);
    // The containers do not own what they list; the package's caller owns it all through
    // the QObject tree.
    container->setParent(package);
    package->AddFolder(container);

    QList<ContentBase*> copies;
    for (MosavraContentLibraryFolder* collage : folders_.Children()) {
        for (int i = 0, count = collage->ChildCount(); i < count; ++i) {
            Content* copy = MatchContent(qobject_cast<Content*>(collage->Child(i)), id);
            if (!copy)
                continue;
            copy->SetName(collage->GetName());
            copy->SetAddress(collage->GetAddress());
            copy->SetParent(container);
            copy->setParent(container);
            copies.append(copy);
        }
    }
    container->AddChild(copies, nullptr);
    return package;
}

int MosavraContentLibraryPackage::ChildCount() const
{
    return folders_.Count();
}

ContentBase* MosavraContentLibraryPackage::Child(int index)
{
    return folders_.At(index);
}

const ContentBase* MosavraContentLibraryPackage::Child(int index) const
{
    return folders_.At(index);
}

void MosavraContentLibraryPackage::Reload(bool deep)
{
    ContentLocker lock(&ContentMutex);
    folders_.SortByAddress();
    if (deep) {
        for (MosavraContentLibraryFolder* folder : folders_.Children())
            folder->Reload(true);
    }
}

QIcon MosavraContentLibraryPackage::Icon()
{
    return LibraryNode::PackageIcon();
}

int MosavraContentLibraryPackage::GetAddress() const
{
    return kMosavraFolderAddress;
}

bool MosavraContentLibraryPackage::SetAddress(int)
{
    return false;
}

bool MosavraContentLibraryPackage::IsChildrenReadOnly()
{
    return false;
}

bool MosavraContentLibraryPackage::AcceptsContent(const Content*)
{
    return false;
}

bool MosavraContentLibraryPackage::AcceptsFolder(const ContentFolder*)
{
    return false;
}

bool MosavraContentLibraryPackage::CanMoveContentHere(const Content*)
{
    return false;
}

bool MosavraContentLibraryPackage::CreateFolder(const QString& name, int address, int kind, IFeedback* feedback)
{
    return folders_.Create(name, address, kind, feedback);
}

bool MosavraContentLibraryPackage::AddChild(QList<ContentBase*>, IFeedback* feedback)
{
    return LibraryNode::Refuse(feedback, QStringLiteral("%1 holds collages only").arg(GetName()));
}

bool MosavraContentLibraryPackage::ModifyChild(ContentBase* child, const QString& name, int address,
                                               IFeedback* feedback)
{
    return folders_.Modify(child, name, address, feedback);
}

bool MosavraContentLibraryPackage::MoveHere(ContentBase* child, IFeedback* feedback)
{
    ContentLocker lock(&ContentMutex);
    auto* source = child ? qobject_cast<MosavraContentLibraryPackage*>(child->GetParent()) : nullptr;
    return folders_.MoveIn(child, source ? &source->folders_ : nullptr, feedback);
}

bool MosavraContentLibraryPackage::RemoveChild(ContentBase* child, IFeedback* feedback)
{
    return folders_.Remove(child, feedback);
}

bool MosavraContentLibraryPackage::TakeChild(ContentBase* folder)
{
    ArchiveResult saved = ArchiveResult::Success();
    const bool taken = folders_.Take(folder, &saved);
    NodeConfig::Warn(saved);
    return taken;
}

MosavraContentLibraryFolder* MosavraContentLibraryPackage::MakeChild(const QString& name, PolicyBase* policy)
{
    return new MosavraContentLibraryFolder(policy, this, name);
}

QString BrevantMosavraContentLibraryPackage::NewChildTypeName(int kind)
{
    return kind == 0 ? QStringLiteral("Mosavra") : QString();
}

QString CindralMosavraContentLibraryPackage::NewChildTypeName(int kind)
{
    return kind == 0 ? QStringLiteral("Mosavra") : QString();
}

MosavraContentLibraryPackageFile::MosavraContentLibraryPackageFile(PolicyBase* policy, ContentFolder* parent,
                                                                   const QString& name, const QString& archivePath)
    : MosavraContentLibraryPackage(policy, parent, name, archivePath)
{
}

bool MosavraContentLibraryPackageFile::IsValidPath(const QString& path)
{
    return !path.isEmpty();
}

MosavraContentLibraryPackageDestinationFile::MosavraContentLibraryPackageDestinationFile(PolicyBase* policy,
                                                                                         const QString& archivePath)
    : MosavraContentLibraryPackageFile(policy, nullptr, QFileInfo(archivePath).completeBaseName(), archivePath)
{
}

bool MosavraContentLibraryPackageDestinationFile::AcceptsFolder(const ContentFolder*)
{
    return true;
}

MosavraContentLibraryFolder* MosavraContentLibraryPackageDestinationFile::MakeChild(const QString& name,
                                                                                  PolicyBase* policy)
{
    return new MosavraContentLibraryPackageFolder(policy, this, name);
}
