#pragma once

#include "library/archive/ArchiveResult.h"
#include "library/mosavra/MosavraContentLibraryPackage.h"

#include <memory>

// The root of the Mosavra content library, "Mosavra Content": the directory of the search
// path "MosavraContentLibraryRoot", holding exactly two packages, "BREVANT" (first family)
// and "Cindral" (second family), which cannot be created, renamed, moved or removed. Its
// config.xml carries the format version and the two packages at 251.
//
// The packages keep their family's policy whatever their config.xml says.
class MosavraContentLibraryRoot : public MosavraContentLibraryContainerFolder
{
    Q_OBJECT
public:
    // The library in the directory `path` (absolute, or with a search-path prefix).
    explicit MosavraContentLibraryRoot(const QString& path = RootPath());
    ~MosavraContentLibraryRoot() override;

    // The process-wide root on RootPath(), built on the first call (GUI thread).
    static MosavraContentLibraryRoot* Instance();
    // Destroys the process-wide root; the next Instance() scans the library again.
    static void DestroyInstance();
    // The absolute path of "MosavraContentLibraryRoot:.".
    static QString RootPath();

    // The first-family package when its name equals `name` without regard to case, else
    // the second-family package when its name does; null otherwise.
    MosavraContentLibraryPackage* PackageByName(const QString& name) const;
    // The package of `family` (0 the first, 1 the second); null for any other number.
    MosavraContentLibraryPackage* Package(int family) const;

    // 2: Child(0) the first family's package, Child(1) the second's, null otherwise.
    int ChildCount() const override;
    ContentBase* Child(int index) override;
    const ContentBase* Child(int index) const override;
    // With `deep`, both packages' Reload(true).
    void Reload(bool deep) override;
    bool IsReadOnly() override;
    bool IsChildrenReadOnly() override;
    bool IsViewOnly() override;
    int MinAddress() override;
    int MaxAddress() override;
    // The root's address is stored, and nothing sets it.
    bool SetAddress(int address) override;
    bool AcceptsContent(const Content* content) override;
    bool CanMoveContentHere(const Content* content) override;

    // The packages are fixed: every change is refused.
    bool CreateFolder(const QString& name, int address, int kind, IFeedback* feedback) override;
    bool AddChild(QList<ContentBase*> children, IFeedback* feedback) override;
    bool ModifyChild(ContentBase* child, const QString& name, int address, IFeedback* feedback) override;
    bool MoveHere(ContentBase* child, IFeedback* feedback) override;
    bool RemoveChild(ContentBase* child, IFeedback* feedback) override;

    virtual bool LoadConfig();
    // With `recursive`, both packages' (and so every collage's) files after the root's own.
    virtual ArchiveResult SaveConfig(bool recursive = false);
    int Version() const;

private:
    // Gives `package` the policy of `kind` and its collages that policy's folder policy,
    // when its file named another.
    void KeepFamily(MosavraContentLibraryPackage* package, int kind);

    std::unique_ptr<BrevantMosavraContentLibraryPackage> brevant_;
    std::unique_ptr<CindralMosavraContentLibraryPackage> cindral_;
    int version_ = 0;
};

// Adds the collage `name` at `address` (0: the lowest free) holding `images` to the Mosavra
// package of `family` (0 the first, 1 the second) of MosavraContentLibraryRoot::Instance():
// MosavraContentLibraryPackage::CreateFolder. False, with the reason as an error to
// `feedback` (if any), when the collage cannot be made; the images then stay the caller's.
bool CreateMosavraPackage(int family, const QString& name, int address, const QList<Content*>& images,
                          IFeedback* feedback);
