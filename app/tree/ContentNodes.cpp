#include "app/tree/ContentNodes.h"

#include "app/views/ContentCommands.h"
#include "app/views/ContentQueries.h"
#include "content/ContentFolder.h"
#include "content/ContentMutex.h"
#include "content/policies/PolicyBase.h"
#include "content/policies/PolicyFolder.h"
#include "fixtures/tree/QelRDMContentGroup.h"
#include "library/mosavra/MosavraContentLibraryFolder.h"

#include <QColor>
#include <QFont>
#include <QMessageBox>

#include <algorithm>

namespace {

const QColor kBadgeLight(96, 96, 96);

// Roots whose folders carry no family after their names: there every folder is of the
// fixture's or the library's own family.
bool RootShowsFamilies(const QString& rootName)
{
    return rootName != QLatin1String("Stock Content") && rootName != QLatin1String("Devices")
        && rootName != QLatin1String("Mosavra Content");
}

} // namespace

// ---- ContentFolderNode ----

ContentFolderNode::ContentFolderNode(ContentFolder* folder) : key_(folder), folder_(folder)
{
    setDragEnabled(true);
    setDropEnabled(true);
}

QMimeData* ContentFolderNode::MimeData()
{
    const ContentLocker lock(&ContentMutex);
    if (!folder_ || folder_->IsViewOnly())
        return nullptr;
    return ContentCommands::RowDragData(folder_);
}

bool ContentFolderNode::CanDrop(const QMimeData* data, Qt::DropActions possible, Qt::DropAction proposed,
                                Qt::DropAction* chosen)
{
    return folder_ && ContentCommands::CanDrop(folder_, data, possible, proposed, chosen);
}

bool ContentFolderNode::Drop(QWidget* view, const QMimeData* data, Qt::DropAction action)
{
    return folder_ && ContentCommands::Drop(view, folder_, data, action);
}

// ---- ContentNameNode ----

ContentNameNode::ContentNameNode(ContentFolder* folder) : ContentFolderNode(folder)
{
    setEditable(ContentCommands::CanRename(folder));
    // Connected before the children are read: a folder another thread adds in between
    // then still arrives (AddFolderNode passes over one whose row is there already).
    connect(folder, &ContentBase::NameChanged, this, &ContentNameNode::NameChanged);
    connect(folder, &ContentFolder::FolderAdded, this, &ContentNameNode::AddFolderNode);
    connect(folder, &ContentFolder::FolderRemoved, this, &ContentNameNode::RemoveFolderNode);
    NameChanged();
    for (ContentFolder* child : content_queries::ChildFolders(folder))
        AddFolderNode(folder, child);
}

QString ContentNameNode::Label() const
{
    const ContentLocker lock(&ContentMutex);
    ContentFolder* folder = Folder();
    if (!folder)
        return text();
    const QString name = folder->GetName();
    const ContentFolder* root = folder->GetRoot();
    const auto* policyFolder = qobject_cast<const ContentPolicyFolder*>(folder);
    if (!root || !policyFolder || !RootShowsFamilies(root->GetName()))
        return name;
    const PolicyBase* policy = policyFolder->Policy();
    return name + QLatin1Char(' ') + QString::fromLatin1(policy ? policy->FamilySuffix() : "");
}

void ContentNameNode::NameChanged()
{
    setText(Label());
}

QIcon ContentNameNode::RowIcon() const
{
    // A folder's icon shows whether it is write-protected, and a fixture's stock and
    // Mosavra content is so except while its update runs: the icon is asked again
    // whenever that has changed, never kept from when the row was made.
    const ContentLocker lock(&ContentMutex);
    ContentFolder* folder = Folder();
    if (!folder)
        return icon_;
    const bool locked = folder->IsChildrenReadOnly();
    if (icon_.isNull() || locked != iconLocked_) {
        icon_ = folder->Icon();
        iconLocked_ = locked;
    }
    return icon_;
}

QVariant ContentNameNode::data(int role) const
{
    if (role == Qt::DecorationRole)
        return RowIcon();
    if (role == Qt::EditRole) {
        const ContentLocker lock(&ContentMutex);
        if (Folder())
            return Folder()->GetName();
    }
    return ContentFolderNode::data(role);
}

void ContentNameNode::setData(const QVariant& value, int role)
{
    if (role != Qt::EditRole) {
        ContentFolderNode::setData(value, role);
        return;
    }
    ContentFolder* folder = nullptr;
    ContentFolder* parent = nullptr;
    int address = 0;
    {
        const ContentLocker lock(&ContentMutex);
        folder = Folder();
        parent = folder ? folder->GetParent() : nullptr;
        if (!parent)
            return;
        address = folder->GetAddress();
    }
    // Without the lock: a folder may work on disk or queue commands.
    if (!parent->ModifyChild(folder, value.toString(), address, nullptr))
        QMessageBox::warning(nullptr, QStringLiteral("Rename Failed"), QStringLiteral("The content could not be renamed"),
                             QMessageBox::Ok);
}

void ContentNameNode::AddFolderNode(const ContentFolder* parent, ContentFolder* added)
{
    ContentFolder* folder = Folder();
    if (!folder || parent != folder)
        return;
    AddFolderRow(this, folder, added);
}

void ContentNameNode::RemoveFolderNode(const ContentFolder* parent, const ContentFolder* removed)
{
    if (IsFor(parent))
        RemoveFolderRows(this, removed);
}

// ---- ContentAddressNode ----

ContentAddressNode::ContentAddressNode(ContentFolder* folder) : ContentFolderNode(folder)
{
    setData(int(Qt::AlignRight), Qt::TextAlignmentRole);
    // A Mosavra collage's number is the fixtures' Mosavra address: red, as elsewhere.
    const bool collage = qobject_cast<MosavraContentLibraryFolder*>(folder) != nullptr;
    setData(collage ? QColor(255, 0, 0) : kBadgeLight, Qt::UserRole);
    setData(collage ? QColor(Qt::darkRed) : QColor(Qt::black), Qt::UserRole + 1);
    setData(QColor(Qt::white), Qt::ForegroundRole);
    AddressChanged();
    connect(folder, &ContentBase::AddressChanged, this, &ContentAddressNode::AddressChanged);
}

void ContentAddressNode::AddressChanged()
{
    int address = 0;
    {
        const ContentLocker lock(&ContentMutex);
        address = Folder() ? Folder()->GetAddress() : 0;
    }
    setText(address != 0 ? QString::number(address) : QString());
}

// ---- ContentCapacityNode ----

ContentCapacityNode::ContentCapacityNode(ContentFolder* folder, int capacity)
    : ContentFolderNode(folder), capacity_(capacity)
{
    setData(QColor(Qt::black), Qt::ForegroundRole);
    AddFolder(nullptr, folder);
}

void ContentCapacityNode::AddFolder(const ContentFolder*, ContentFolder*)
{
    Rewatch();
    Update();
}

void ContentCapacityNode::RemoveFolder(const ContentFolder*, const ContentFolder*)
{
    Rewatch();
    Update();
}

void ContentCapacityNode::Rewatch()
{
    // The whole subtree is walked again rather than the one folder named by the signal:
    // a queued signal may name a folder that has died since.
    std::map<const ContentFolder*, QPointer<ContentFolder>> now;
    const ContentLocker lock(&ContentMutex);
    if (ContentFolder* group = Folder()) {
        for (ContentFolder* folder : content_queries::FolderTree(group))
            now.emplace(folder, folder);
    }
    for (const auto& [key, folder] : watched_) {
        if (folder && !now.count(key))
            disconnect(folder, nullptr, this, nullptr);
    }
    for (const auto& [key, folder] : now) {
        if (watched_.count(key) && watched_[key])
            continue;
        connect(folder, &ContentFolder::ContentAdded, this, &ContentCapacityNode::Update);
        connect(folder, &ContentFolder::ContentRemoved, this, &ContentCapacityNode::Update);
        connect(folder, &ContentFolder::FolderAdded, this, &ContentCapacityNode::AddFolder);
        connect(folder, &ContentFolder::FolderRemoved, this, &ContentCapacityNode::RemoveFolder);
    }
    watched_ = std::move(now);
}

void ContentCapacityNode::Update()
{
    int count = 0;
    {
        const ContentLocker lock(&ContentMutex);
        count = Folder() ? content_queries::CountContents(Folder()) : 0;
    }
    const int percent = capacity_ != 0 ? int(qint64(count) * 100 / capacity_) : 0;
    const int p = std::clamp(percent, 0, 100);
    // Green up to half full, then towards red at full.
    const int hue = p <= 50 ? 120 : (50 - p) * 120 / 50 + 120;
    const QColor colour = QColor::fromHsv(hue, 255, 255, 255);
    setData(colour.lighter(150), Qt::UserRole);
    setData(colour.darker(150), Qt::UserRole + 1);
    setText(QStringLiteral("%1%").arg(percent));
}

// ---- the library rows ----

ContentLibraryNode::ContentLibraryNode(ContentFolder* root)
    : ContentNameNode(root), databaseIcon_(QStringLiteral(":/Resources/content-database-16.png"))
{
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    setEditable(false);
    setDragEnabled(false);
    NameChanged();
}

QString ContentLibraryNode::Label() const
{
    return Folder() ? Folder()->GetName() : text();
}

QIcon ContentLibraryNode::RowIcon() const
{
    return databaseIcon_;
}

ProtectedLibraryNode::ProtectedLibraryNode(ContentFolder* root) : ContentLibraryNode(root)
{
    setDropEnabled(false);
}

QMimeData* ProtectedLibraryNode::MimeData()
{
    return nullptr;
}

bool ProtectedLibraryNode::CanDrop(const QMimeData*, Qt::DropActions, Qt::DropAction, Qt::DropAction*)
{
    return false;
}

bool ProtectedLibraryNode::Drop(QWidget*, const QMimeData*, Qt::DropAction)
{
    return false;
}

// ---- rows ----

void MakeContentFolderRow(QList<QStandardItem*>& cells, ContentFolder* folder)
{
    cells.append(new ContentNameNode(folder));
    auto* group = qobject_cast<QelRDMContentGroup*>(folder);
    int capacity = 0;
    bool viewOnly = true;
    if (group) {
        const ContentLocker lock(&ContentMutex);
        capacity = group->Capacity();
        viewOnly = group->IsViewOnly();
    }
    if (viewOnly)
        cells.append(new ContentAddressNode(folder));
    else
        cells.append(new ContentCapacityNode(folder, capacity));
}

void AddFolderRow(QStandardItem* cell, ContentFolder* folder, ContentFolder* added)
{
    // A queued signal may name a folder that has left again, or one whose row was made
    // already.
    if (!content_queries::HoldsChild(folder, added))
        return;
    for (int row = 0; row < cell->rowCount(); ++row) {
        const ContentFolderNode* existing = ContentFolderNode::From(cell->child(row, 0));
        if (existing && existing->IsFor(added))
            return;
    }
    QList<QStandardItem*> cells;
    MakeContentFolderRow(cells, added);
    cell->insertRow(cell->rowCount(), cells);
}

void RemoveFolderRows(QStandardItem* cell, const ContentFolder* removed)
{
    for (int row = 0; row < cell->rowCount();) {
        const ContentFolderNode* existing = ContentFolderNode::From(cell->child(row, 0));
        if (existing && (existing->IsFor(removed) || !existing->Folder()))
            cell->removeRow(row);
        else
            ++row;
    }
}
