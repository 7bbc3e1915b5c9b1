#pragma once

#include "library/archive/ArchiveResult.h"
#include "library/common/LibraryItemList.h"
#include "library/user/ContentLibraryLocalFolder.h"

// A folder of a user library package: a directory holding one LED image file per item
// ("<name>.bvi" or "<name>.cdli") and a config.xml with the items' addresses.
//
// It answers read-only when its package's children are, and then refuses every change
// (the stock packages' folders); otherwise its change operations work on disk at once.
// Items handed to AddChild are written all or none, each replacing the items of its name.
class ContentLibraryFolder : public ContentLibraryLocalFolder
{
    Q_OBJECT
public:
    // Scans the directory `name` of the parent's directory.
    ContentLibraryFolder(PolicyBase* policy, ContentFolder* parent, const QString& name);
    ~ContentLibraryFolder() override;

    int ChildCount() const override;
    ContentBase* Child(int index) override;
    const ContentBase* Child(int index) const override;
    // Sorts the items by address.
    void Reload(bool deep) override;
    // The parent's IsChildrenReadOnly; children read-only when the folder is; the parent's
    // IsViewOnly.
    bool IsReadOnly() override;
    bool IsChildrenReadOnly() override;
    bool IsViewOnly() override;

    // A folder holds items only.
    bool CreateFolder(const QString& name, int address, int kind, IFeedback* feedback) override;
    bool AddChild(QList<ContentBase*> children, IFeedback* feedback) override;
    bool ModifyChild(ContentBase* child, const QString& name, int address, IFeedback* feedback) override;
    // Moves an item in from another library folder, file and all.
    bool MoveHere(ContentBase* child, IFeedback* feedback) override;
    bool RemoveChild(ContentBase* child, IFeedback* feedback) override;

    virtual bool LoadConfig();
    virtual ArchiveResult SaveConfig();

    // Takes `item` out without deleting it or its file (MoveHere of the folder it goes to).
    bool TakeChild(ContentBase* item);
    // The file of `item` in the folder's directory; empty when it is not one of the items.
    QString FileOf(const ContentBase* item) const;
    // Gives the folder a new name (its parent has renamed the directory).
    ArchiveResult Rename(const QString& name);

private:
    friend class LibraryItemList<ContentLibraryFolder>;
    void PrepareItem(Content*) {}
    // Refuses a change when the folder's items may not be changed.
    bool Refuses(IFeedback* feedback);

    LibraryItemList<ContentLibraryFolder> items_;
};
