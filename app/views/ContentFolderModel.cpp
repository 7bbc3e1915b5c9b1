#include "app/views/ContentFolderModel.h"

#include "app/views/ContentCommands.h"
#include "app/views/ContentQueries.h"
#include "content/ContentFolder.h"
#include "content/ContentMutex.h"

#include <QApplication>
#include <QColor>

#include <algorithm>

namespace {

const QColor kBadgeLight(96, 96, 96);

} // namespace

ContentFolderModel::ContentFolderModel(QObject* parent) : QAbstractTableModel(parent) {}

ContentBase* ContentFolderModel::ChildAt(int row) const
{
    return row >= 0 && row < rows_.size() ? rows_[row].child.data() : nullptr;
}

int ContentFolderModel::RowOf(const ContentBase* child) const
{
    const auto found = rowOf_.find(child);
    return found == rowOf_.end() ? -1 : found->second;
}

bool ContentFolderModel::LessThan(const ContentBase* a, const ContentBase* b) const
{
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    if (sortColumn_ == AddressColumn) {
        const int first = a ? a->GetAddress() : 0;
        const int second = b ? b->GetAddress() : 0;
        // Children without an address stay last in both orders.
        if (first == 0)
            return false;
        if (second == 0)
            return true;
        return descending ? second < first : first < second;
    }
    const QString first = a ? a->GetName() : QString();
    const QString second = b ? b->GetName() : QString();
    const int order = QString::localeAwareCompare(first, second);
    return descending ? order > 0 : order < 0;
}

void ContentFolderModel::RebuildRowIndex(int from)
{
    for (int row = from; row < rows_.size(); ++row)
        rowOf_[rows_[row].key] = row;
}

void ContentFolderModel::Resort()
{
    std::stable_sort(rows_.begin(), rows_.end(),
                     [this](const Row& a, const Row& b) { return LessThan(a.child, b.child); });
    rowOf_.clear();
    RebuildRowIndex(0);
}

void ContentFolderModel::Follow(ContentBase* child)
{
    connect(child, &ContentBase::NameChanged, this, &ContentFolderModel::ChangeChild);
    connect(child, &ContentBase::AddressChanged, this, &ContentFolderModel::ChangeChild);
}

void ContentFolderModel::Unfollow(const Row& row)
{
    if (row.child)
        disconnect(row.child, nullptr, this, nullptr);
}

void ContentFolderModel::SetFolder(ContentFolder* folder)
{
    if (folder == folder_.data())
        return;
    beginResetModel();
    if (folder_)
        disconnect(folder_, nullptr, this, nullptr);
    for (const Row& row : std::as_const(rows_))
        Unfollow(row);
    rows_.clear();
    rowOf_.clear();
    folder_ = folder;
    if (folder) {
        connect(folder, &ContentFolder::ContentAdded, this, &ContentFolderModel::AddContent);
        connect(folder, &ContentFolder::ContentRemoved, this, &ContentFolderModel::RemoveContent);
        connect(folder, &ContentFolder::FolderAdded, this, &ContentFolderModel::AddFolder);
        connect(folder, &ContentFolder::FolderRemoved, this, &ContentFolderModel::RemoveFolder);
        connect(folder, &QObject::destroyed, this, &ContentFolderModel::ForgetFolder);
        const ContentLocker lock(&ContentMutex);
        for (int i = 0; i < folder->ChildCount(); ++i) {
            ContentBase* child = folder->Child(i);
            Follow(child);
            rows_.append(Row{child, child});
        }
        Resort();
    }
    endResetModel();
}

void ContentFolderModel::ForgetFolder()
{
    // The folder is being destroyed: its children may be gone already, so nothing of them
    // is touched.
    beginResetModel();
    rows_.clear();
    rowOf_.clear();
    folder_ = nullptr;
    endResetModel();
}

int ContentFolderModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !folder_ ? 0 : int(rows_.size());
}

int ContentFolderModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ContentFolderModel::data(const QModelIndex& index, int role) const
{
    if (!folder_ || !index.isValid() || index.parent().isValid())
        return QVariant();
    const ContentLocker lock(&ContentMutex);
    ContentBase* child = ChildAt(index.row());
    if (!child)
        return QVariant();
    if (index.column() == NameColumn) {
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return child->GetName();
        case Qt::DecorationRole:
            return child->Icon();
        case Qt::UserRole:
            return QVariant::fromValue(child);
        default:
            return QVariant();
        }
    }
    if (index.column() == AddressColumn) {
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole: {
            const int address = child->GetAddress();
            return address != 0 ? QVariant(address) : QVariant();
        }
        case Qt::TextAlignmentRole:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        case Qt::ForegroundRole:
            return QColor(Qt::white);
        case Qt::UserRole:
            return kBadgeLight;
        case Qt::UserRole + 1:
            return QColor(Qt::black);
        default:
            return QVariant();
        }
    }
    return QVariant();
}

bool ContentFolderModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!folder_ || role != Qt::EditRole || !index.isValid())
        return false;
    if (index.column() != NameColumn && index.column() != AddressColumn)
        return false;
    ContentBase* child = nullptr;
    QString name;
    int address = 0;
    {
        const ContentLocker lock(&ContentMutex);
        child = ChildAt(index.row());
        if (!child)
            return false;
        name = index.column() == NameColumn ? value.toString() : child->GetName();
        address = index.column() == AddressColumn ? value.toInt() : child->GetAddress();
    }
    // Without the lock: a folder may work on disk or queue commands. The row changes
    // through the child's signals once the folder has made the change.
    return folder_->ModifyChild(child, name, address, nullptr);
}

QVariant ContentFolderModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (section == NameColumn) {
        if (role == Qt::DisplayRole)
            return QStringLiteral("Name");
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (section == AddressColumn) {
        if (role == Qt::DisplayRole)
            return QStringLiteral("Address");
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    return QVariant();
}

Qt::ItemFlags ContentFolderModel::flags(const QModelIndex& index) const
{
    if (!folder_)
        return Qt::NoItemFlags;
    // The table's root stands for the shown folder, for drops into empty space; it is
    // never selected or edited.
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    const ContentLocker lock(&ContentMutex);
    ContentBase* target = ChildAt(index.row());
    if (!target)
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (ContentCommands::CanRename(target))
        result |= Qt::ItemIsEditable;
    if (ContentCommands::CanDrag(target))
        result |= Qt::ItemIsDragEnabled;
    if (qobject_cast<ContentFolder*>(target))
        result |= Qt::ItemIsDropEnabled;
    return result;
}

QMimeData* ContentFolderModel::mimeData(const QModelIndexList& indexes) const
{
    const ContentLocker lock(&ContentMutex);
    QList<ContentBase*> items;
    for (const QModelIndex& index : indexes) {
        if (index.column() != NameColumn)
            continue;
        if (ContentBase* child = ChildAt(index.row()))
            items.append(child);
    }
    return ContentCommands::ItemViewDragData(items);
}

bool ContentFolderModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                      const QModelIndex& parent)
{
    return Drop(QApplication::activeWindow(), data, action, row, column, parent);
}

Qt::DropActions ContentFolderModel::supportedDropActions() const
{
    return Qt::CopyAction | Qt::MoveAction;
}

ContentFolder* ContentFolderModel::DropTarget(int row) const
{
    if (row == -1)
        return folder_;
    const ContentLocker lock(&ContentMutex);
    return qobject_cast<ContentFolder*>(ChildAt(row));
}

bool ContentFolderModel::CanDrop(const QMimeData* data, Qt::DropActions possible, Qt::DropAction proposed,
                                 Qt::DropAction* chosen, int row, int, const QModelIndex&)
{
    ContentFolder* target = DropTarget(row);
    return target && ContentCommands::CanDrop(target, data, possible, proposed, chosen);
}

bool ContentFolderModel::Drop(QWidget* view, const QMimeData* data, Qt::DropAction action, int row, int,
                              const QModelIndex&)
{
    ContentFolder* target = DropTarget(row);
    return target && ContentCommands::Drop(view, target, data, action);
}

void ContentFolderModel::sort(int column, Qt::SortOrder order)
{
    if (column == sortColumn_ && order == sortOrder_)
        return;
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    QList<const ContentBase*> keys;
    for (const QModelIndex& index : before)
        keys.append(index.row() < rows_.size() ? rows_[index.row()].key : nullptr);
    sortColumn_ = column;
    sortOrder_ = order;
    {
        const ContentLocker lock(&ContentMutex);
        Resort();
    }
    QModelIndexList after;
    for (int i = 0; i < before.size(); ++i) {
        const int row = RowOf(keys[i]);
        after.append(row < 0 ? QModelIndex() : index(row, before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void ContentFolderModel::AddChild(const ContentFolder* parent, ContentBase* child)
{
    // A queued signal may name a child that has left the folder again, or one the table
    // already took when the folder was set.
    if (!folder_ || parent != folder_ || !child || rowOf_.count(child))
        return;
    const ContentLocker lock(&ContentMutex);
    if (!content_queries::HoldsChild(folder_, child))
        return;
    // Before the first row that sorts after it, so an equal row keeps its place ahead.
    int at = 0;
    while (at < rows_.size() && !LessThan(child, rows_[at].child))
        ++at;
    beginInsertRows(QModelIndex(), at, at);
    rows_.insert(at, Row{child, child});
    RebuildRowIndex(at);
    endInsertRows();
    Follow(child);
}

void ContentFolderModel::RemoveChild(const ContentFolder* parent, const ContentBase* child)
{
    if (!folder_ || parent != folder_)
        return;
    const int row = RowOf(child);
    if (row < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    const Row removed = rows_.takeAt(row);
    rowOf_.erase(child);
    RebuildRowIndex(row);
    endRemoveRows();
    Unfollow(removed);
}

void ContentFolderModel::AddContent(const ContentFolder* parent, Content* content)
{
    AddChild(parent, content);
}

void ContentFolderModel::RemoveContent(const ContentFolder* parent, const Content* content)
{
    RemoveChild(parent, content);
}

void ContentFolderModel::AddFolder(const ContentFolder* parent, ContentFolder* folder)
{
    AddChild(parent, folder);
}

void ContentFolderModel::RemoveFolder(const ContentFolder* parent, const ContentFolder* folder)
{
    RemoveChild(parent, folder);
}

void ContentFolderModel::ChangeChild(const ContentBase* child)
{
    const int row = RowOf(child);
    if (!folder_ || row < 0)
        return;
    emit dataChanged(index(row, NameColumn), index(row, AddressColumn));
}
