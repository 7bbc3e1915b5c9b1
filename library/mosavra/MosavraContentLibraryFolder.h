#pragma once

#include "library/archive/ArchiveResult.h"
#include "library/common/LibraryItemList.h"
#include "library/mosavra/MosavraContentLibraryLocalFolder.h"

// A collage: the folder of one Mosavra creation, holding one LED image per fixture of the
// layout, each stamped with its fixture's Mosavra number. Every item has the collage's
// address and is named "<collage>_<number>"; the collage's config.xml lists each item's
// name, Mosavra number and address.
//
// Items enter only through AddChild and leave through RemoveChild; they are never renamed,
// readdressed or moved one by one: renaming or readdressing the collage does it for all of
// them (and rewrites the collage's file).
class MosavraContentLibraryFolder : public MosavraContentLibraryLocalFolder
{
    Q_OBJECT
public:
    // Scans the directory `name` of the parent's directory (making it when missing).
    MosavraContentLibraryFolder(PolicyBase* policy, ContentFolder* parent, const QString& name);
    ~MosavraContentLibraryFolder() override;

    // The name of the item of Mosavra number `id` in the collage `collage`:
    // "<collage cut to 15 - digits>_<id>", at most 16 characters.
    static QString ItemName(const QString& collage, quint16 id);

    int ChildCount() const override;
    ContentBase* Child(int index) override;
    const ContentBase* Child(int index) const override;
    // Sorts the items by address.
    void Reload(bool deep) override;
    bool IsReadOnly() override;
    bool IsChildrenReadOnly() override;
    // The parent's IsViewOnly.
    bool IsViewOnly() override;

    // The ContentBase rule, then every item renamed after the new name (Rename).
    bool SetName(const QString& name) override;
    // The ContentBase rule, then every item takes the address; the file is rewritten when an
    // item changed.
    bool SetAddress(int address) override;

    bool CreateFolder(const QString& name, int address, int kind, IFeedback* feedback) override;
    // Each item takes the collage's address before its file is written.
    bool AddChild(QList<ContentBase*> children, IFeedback* feedback) override;
    bool ModifyChild(ContentBase* child, const QString& name, int address, IFeedback* feedback) override;
    bool MoveHere(ContentBase* child, IFeedback* feedback) override;
    bool RemoveChild(ContentBase* child, IFeedback* feedback) override;

    virtual bool LoadConfig();
    virtual ArchiveResult SaveConfig();

    // Gives the collage a new name (its package has renamed the directory) and renames every
    // item and its file after it; an item whose file cannot be renamed keeps its name and is
    // named in the failure. The collage's file is rewritten.
    ArchiveResult Rename(const QString& name);

private:
    friend class LibraryItemList<MosavraContentLibraryFolder>;
    void PrepareItem(Content* item);

    LibraryItemList<MosavraContentLibraryFolder> items_;
};

// A collage inside a collage archive being written: its items may be added by a copy.
class MosavraContentLibraryPackageFolder : public MosavraContentLibraryFolder
{
    Q_OBJECT
public:
    MosavraContentLibraryPackageFolder(PolicyBase* policy, ContentFolder* parent, const QString& name);

    bool IsChildrenReadOnly() override;
};
