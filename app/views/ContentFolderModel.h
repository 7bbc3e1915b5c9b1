#pragma once

#include "content/ContentFolder.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

#include <map>

// The children of one content folder as a two-column table, name and address, shared by
// the folder view's tabs. It follows the folder's signals, so the table stays current while
// operations change the folder (signals from a worker thread arrive queued). Rows are kept
// sorted by the sort column: a child added later goes to its place, one renamed or
// renumbered keeps its row until the next sort.
//
// The model holds the folder and the children by QPointer: a child or folder that dies
// without a signal shows as an empty row or an empty table, never as freed memory. It
// reads the children under ContentMutex, so one that another thread deletes (under the
// mutex, as every tree does) is seen either whole or gone.
//
// Roles: column 0 gives the name (display and edit), the icon and, in Qt::UserRole, the
// child as "ContentBase *"; column 1 the address (none for 0), right-aligned, as a white
// number on a grey badge (Qt::UserRole, Qt::UserRole + 1 for OvalDelegate). Editing
// renames or renumbers the child through its folder. GUI thread.
class ContentFolderModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { NameColumn = 0, AddressColumn = 1, ColumnCount = 2 };

    explicit ContentFolderModel(QObject* parent = nullptr);

    // Shows another folder (null: none).
    void SetFolder(ContentFolder* folder);
    ContentFolder* Folder() const { return folder_; }
    // The child on `row`; null when there is none or it has died.
    ContentBase* ChildAt(int row) const;
    // The row of `child`; -1 when it is not shown.
    int RowOf(const ContentBase* child) const;
    int SortColumn() const { return sortColumn_; }
    Qt::SortOrder SortOrder() const { return sortOrder_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An item-view drag payload of the children of the column-0 indexes, in their order.
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    Qt::DropActions supportedDropActions() const override;
    // Stable: rows that compare equal keep their order. Children without an address stay
    // last in both address orders.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // The drop target of `row` (a folder child) or, for row -1, the shown folder; whether
    // `data` may be dropped there, and how.
    virtual bool CanDrop(const QMimeData* data, Qt::DropActions possible, Qt::DropAction proposed,
                         Qt::DropAction* chosen, int row, int column, const QModelIndex& parent);
    virtual bool Drop(QWidget* view, const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent);

public slots:
    void AddContent(const ContentFolder* parent, Content* content);
    void RemoveContent(const ContentFolder* parent, const Content* content);
    void AddFolder(const ContentFolder* parent, ContentFolder* folder);
    void RemoveFolder(const ContentFolder* parent, const ContentFolder* folder);
    void ChangeChild(const ContentBase* child);

private:
    struct Row {
        const ContentBase* key; // for look-ups only, never dereferenced
        QPointer<ContentBase> child;
    };

    bool LessThan(const ContentBase* a, const ContentBase* b) const;
    void Resort();
    void RebuildRowIndex(int from);
    void AddChild(const ContentFolder* parent, ContentBase* child);
    void RemoveChild(const ContentFolder* parent, const ContentBase* child);
    void Follow(ContentBase* child);
    void Unfollow(const Row& row);
    void ForgetFolder();
    ContentFolder* DropTarget(int row) const;

    QPointer<ContentFolder> folder_;
    QList<Row> rows_;
    std::map<const ContentBase*, int> rowOf_;
    int sortColumn_ = NameColumn;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};
