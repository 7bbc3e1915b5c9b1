#pragma once

#include "app/tree/Node.h"
#include "content/ContentFolder.h"

#include <QIcon>
#include <QList>
#include <QPointer>

#include <map>

// The cells of content-folder rows in the navigation tree: a name cell in column 0 and an
// address or fill-level badge in column 1. The rows follow the content tree by its
// signals (those from a worker thread arrive queued): folders added or removed below a
// shown folder add or remove rows, renames and renumbering change the cells, contents
// added or removed change fill levels. A cell holds its folder by QPointer and reads it
// under ContentMutex, so a folder another thread deletes is seen whole or gone.

// Base of every content cell: drags the folder (unless view-only) and takes drops into it.
class ContentFolderNode : public Node
{
    Q_OBJECT
public:
    explicit ContentFolderNode(ContentFolder* folder);

    ContentFolder* Folder() const { return folder_; }
    // Whether the cell was made for `folder` (compared by address, so it may name a
    // folder that has died).
    bool IsFor(const ContentFolder* folder) const { return key_ == folder; }

    QMimeData* MimeData() override;
    bool CanDrop(const QMimeData* data, Qt::DropActions possible, Qt::DropAction proposed,
                 Qt::DropAction* chosen) override;
    bool Drop(QWidget* view, const QMimeData* data, Qt::DropAction action) override;

    // The cell as a ContentFolderNode; null when it is another kind of item.
    static ContentFolderNode* From(QStandardItem* item) { return dynamic_cast<ContentFolderNode*>(item); }

private:
    const ContentFolder* key_;
    QPointer<ContentFolder> folder_;
};

// The name cell: the folder's icon and name (with its family in a policy library, as
// "Show (BREVANT)"), renamed in place through the folder's parent, and the rows of the
// folder's sub-folders below it.
class ContentNameNode : public ContentFolderNode
{
    Q_OBJECT
public:
    explicit ContentNameNode(ContentFolder* folder);

    // The editor starts from the plain name.
    QVariant data(int role = Qt::UserRole + 1) const override;
    // An edit renames the folder (the cell follows its NameChanged); a refusal is reported
    // in "Rename Failed" and leaves the text as it was.
    void setData(const QVariant& value, int role = Qt::UserRole + 1) override;

public slots:
    void AddFolderNode(const ContentFolder* parent, ContentFolder* added);
    void RemoveFolderNode(const ContentFolder* parent, const ContentFolder* removed);
    void NameChanged();

protected:
    // The text the cell shows for its folder.
    virtual QString Label() const;
    // The icon the cell shows: its folder's as the folder's protection is now.
    virtual QIcon RowIcon() const;

private:
    mutable QIcon icon_;
    mutable bool iconLocked_ = false;
};

// The address badge: the folder's address, none for 0. Folders of the Mosavra library
// show it red.
class ContentAddressNode : public ContentFolderNode
{
    Q_OBJECT
public:
    explicit ContentAddressNode(ContentFolder* folder);

public slots:
    void AddressChanged();
};

// The fill level of a fixture content group: its content items against its capacity, in
// per cent, on a badge from green (up to half full) to red (full or over).
class ContentCapacityNode : public ContentFolderNode
{
    Q_OBJECT
public:
    ContentCapacityNode(ContentFolder* folder, int capacity);

    int Capacity() const { return capacity_; }

public slots:
    void AddFolder(const ContentFolder* parent, ContentFolder* folder);
    void RemoveFolder(const ContentFolder* parent, const ContentFolder* folder);
    void Update();

private:
    // Watches exactly the folders of the group's subtree now.
    void Rewatch();

    int capacity_;
    std::map<const ContentFolder*, QPointer<ContentFolder>> watched_;
};

// The top rows of the three libraries: the library's name in bold beside the database
// icon; not renamed or dragged.
class ContentLibraryNode : public ContentNameNode
{
    Q_OBJECT
public:
    explicit ContentLibraryNode(ContentFolder* root);

protected:
    QString Label() const override;
    QIcon RowIcon() const override;

private:
    const QIcon databaseIcon_;
};

// The stock content and the Mosavra library change only through their update commands:
// their top rows give no drag and take no drops.
class ProtectedLibraryNode : public ContentLibraryNode
{
    Q_OBJECT
public:
    explicit ProtectedLibraryNode(ContentFolder* root);

    QMimeData* MimeData() override;
    bool CanDrop(const QMimeData* data, Qt::DropActions possible, Qt::DropAction proposed,
                 Qt::DropAction* chosen) override;
    bool Drop(QWidget* view, const QMimeData* data, Qt::DropAction action) override;
};

class StockContentNode : public ProtectedLibraryNode
{
    Q_OBJECT
public:
    using ProtectedLibraryNode::ProtectedLibraryNode;
};

class MosavraContentNode : public ProtectedLibraryNode
{
    Q_OBJECT
public:
    using ProtectedLibraryNode::ProtectedLibraryNode;
};

// Appends to `cells` the cells of a child row for `folder`: its name cell (with the rows
// of its own sub-folders) and its address badge, or, for a fixture content group that
// can be written, its fill level.
void MakeContentFolderRow(QList<QStandardItem*>& cells, ContentFolder* folder);

// Below `cell`, the row of `added`, a sub-folder of `folder`; none when `folder` no longer
// holds it (a queued signal may name a folder that has left again) or the row is there.
void AddFolderRow(QStandardItem* cell, ContentFolder* folder, ContentFolder* added);
// Removes the rows below `cell` made for `removed` and those whose folder has died.
void RemoveFolderRows(QStandardItem* cell, const ContentFolder* removed);
