#pragma once

#include "library/archive/ArchiveResult.h"
#include "library/common/LibraryFolderList.h"
#include "library/user/ContentLibraryPackage.h"

// The root of the user content library, "User Content": the directory of the search path
// "ContentLibraryRoot", holding one directory per package and a config.xml with the format
// version and the packages. Building it scans the whole library; a library whose root file
// carries another version (or none) is then rewritten whole.
//
// CreateFolder makes a package of the first fixture family for kind 0 and of the second
// for kind 1; packages have no address, so the address given is not used.
class ContentLibraryRoot : public ContentLibraryContainerFolder
{
    Q_OBJECT
public:
    // The library in the directory `path` (absolute, or with a search-path prefix).
    explicit ContentLibraryRoot(const QString& path = RootPath());
    ~ContentLibraryRoot() override;

    // The process-wide root on RootPath(), built on the first call (GUI thread).
    static ContentLibraryRoot* Instance();
    // Destroys the process-wide root; the next Instance() scans the library again. For
    // tests and the end of the program.
    static void DestroyInstance();
    // The absolute path of "ContentLibraryRoot:.".
    static QString RootPath();

    int ChildCount() const override;
    ContentBase* Child(int index) override;
    const ContentBase* Child(int index) const override;
    // With `deep`, each package's Reload(true).
    void Reload(bool deep) override;
    bool IsReadOnly() override;
    int MinAddress() override;
    int MaxAddress() override;
    int GetAddress() const override;
    bool SetAddress(int address) override;
    bool SetMosavraID(quint16 id) override;
    bool AcceptsContent(const Content* content) override;
    bool CanMoveContentHere(const Content* content) override;
    QString NewChildTypeName(int kind) override;

    bool CreateFolder(const QString& name, int address, int kind, IFeedback* feedback) override;
    // The root holds packages only.
    bool AddChild(QList<ContentBase*> children, IFeedback* feedback) override;
    bool ModifyChild(ContentBase* child, const QString& name, int address, IFeedback* feedback) override;
    // Packages are not moved.
    bool MoveHere(ContentBase* child, IFeedback* feedback) override;
    bool RemoveChild(ContentBase* child, IFeedback* feedback) override;

    virtual bool LoadConfig();
    // With `recursive`, every package's (and so every folder's) file after the root's own.
    virtual ArchiveResult SaveConfig(bool recursive = false);
    // The format version the root's config.xml was read with (1 after the first scan).
    int Version() const;

private:
    friend class LibraryFolderList<ContentLibraryRoot, ContentLibraryPackage>;
    ContentLibraryPackage* MakeChild(const QString& name, PolicyBase* policy);

    LibraryFolderList<ContentLibraryRoot, ContentLibraryPackage> packages_;
    int version_ = 0;
};
