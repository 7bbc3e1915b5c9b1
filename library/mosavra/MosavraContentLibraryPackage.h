#pragma once

#include "library/archive/ArchiveResult.h"
#include "library/common/LibraryFolderList.h"
#include "library/mosavra/MosavraContentLibraryFolder.h"
#include "library/mosavra/MosavraContentLibraryLocalFolder.h"

class ContentContainerFolder;

// A package of the Mosavra library: the collages of one fixture family. The two packages of
// the root always stand for the fixtures' Mosavra folder, so a package's address is 251.
//
// Collages are made by the Mosavra creator and the collage import (CreateFolder with the
// images), renamed, readdressed and removed through the ContentFolder operations, and
// sent to the fixtures through BuildDevicePackage.
class MosavraContentLibraryPackage : public MosavraContentLibraryContainerFolder
{
    Q_OBJECT
public:
    // The fixtures' folder that holds the Mosavra content.
    static constexpr int kMosavraFolderAddress = 251;

    // `path` empty: the directory `name` of the parent's directory (made when missing). The
    // package scans its directory and reads its config.xml.
    MosavraContentLibraryPackage(PolicyBase* policy, ContentFolder* parent, const QString& name, const QString& path);
    ~MosavraContentLibraryPackage() override;

    // A new copy of `item` (same key) when its Mosavra number is `id`; null otherwise.
    virtual Content* MatchContent(Content* item, quint16 id);
    virtual bool LoadConfig();
    // With `recursive`, every collage's file after the package's own.
    virtual ArchiveResult SaveConfig(bool recursive = false);

    // Makes the collage `name` (cut to 16 characters) at `address` (below 1: the lowest
    // free one) holding `images`, each named "<name>_<Mosavra number>" and given the
    // collage's address. False, and nothing left behind, when the name is not usable or
    // taken, no address is free or the address is taken, or an image cannot be written;
    // the images then stay the caller's (with their names and addresses). Reasons go to
    // `feedback` as errors when one is given.
    bool CreateFolder(const QString& name, int address, const QList<Content*>& images, IFeedback* feedback = nullptr);
    // What the fixture of Mosavra address `id` is to hold: a ContentContainerFolder
    // "Mosavra Content Package" holding a ContentContainer "Mosavra" at 251, which holds a
    // copy of every item of number `id` of every collage, named after its collage and at
    // its collage's address, in collage order. Owned by the caller: deleting the folder
    // deletes the container and the copies with it.
    ContentContainerFolder* BuildDevicePackage(quint16 id);

    int ChildCount() const override;
    ContentBase* Child(int index) override;
    const ContentBase* Child(int index) const override;
    // Sorts the collages by address; with `deep`, then each collage.
    void Reload(bool deep) override;
    QIcon Icon() override;
    int GetAddress() const override;
    bool SetAddress(int address) override;
    bool IsChildrenReadOnly() override;
    bool AcceptsContent(const Content* content) override;
    bool AcceptsFolder(const ContentFolder* folder) override;
    bool CanMoveContentHere(const Content* content) override;

    // The collage of `kind` 0 named `name` at `address`, empty.
    bool CreateFolder(const QString& name, int address, int kind, IFeedback* feedback) override;
    bool AddChild(QList<ContentBase*> children, IFeedback* feedback) override;
    // A renamed collage renames its items; a readdressed one readdresses them.
    bool ModifyChild(ContentBase* child, const QString& name, int address, IFeedback* feedback) override;
    // Moves a collage in from the other Mosavra package.
    bool MoveHere(ContentBase* child, IFeedback* feedback) override;
    bool RemoveChild(ContentBase* child, IFeedback* feedback) override;

    // Takes `folder` out without deleting it or its directory.
    bool TakeChild(ContentBase* folder);

protected:
    friend class LibraryFolderList<MosavraContentLibraryPackage, MosavraContentLibraryFolder>;
    // A new collage of this package (scanned).
    virtual MosavraContentLibraryFolder* MakeChild(const QString& name, PolicyBase* policy);

private:
    LibraryFolderList<MosavraContentLibraryPackage, MosavraContentLibraryFolder> folders_;
};

// The first family's package of the root, "BREVANT".
class BrevantMosavraContentLibraryPackage : public MosavraContentLibraryPackage
{
    Q_OBJECT
public:
    using MosavraContentLibraryPackage::MosavraContentLibraryPackage;
    // "Mosavra" for kind 0.
    QString NewChildTypeName(int kind) override;
};

// The second family's package of the root, "Cindral".
class CindralMosavraContentLibraryPackage : public MosavraContentLibraryPackage
{
    Q_OBJECT
public:
    using MosavraContentLibraryPackage::MosavraContentLibraryPackage;
    // "Mosavra" for kind 0.
    QString NewChildTypeName(int kind) override;
};

// A collage archive (".brevantcollage", ".cindralcollage") read as a package: `Path` is the
// archive path.
class MosavraContentLibraryPackageFile : public MosavraContentLibraryPackage
{
    Q_OBJECT
public:
    MosavraContentLibraryPackageFile(PolicyBase* policy, ContentFolder* parent, const QString& name,
                                     const QString& archivePath);

    // Whether a chosen archive path can be opened at all: it is not empty.
    static bool IsValidPath(const QString& path);
};

// A collage archive being written (as ContentLibraryPackageDestinationFile): it takes any
// folder, and its collages take items from a copy.
class MosavraContentLibraryPackageDestinationFile : public MosavraContentLibraryPackageFile
{
    Q_OBJECT
public:
    MosavraContentLibraryPackageDestinationFile(PolicyBase* policy, const QString& archivePath);

    bool AcceptsFolder(const ContentFolder* folder) override;

protected:
    MosavraContentLibraryFolder* MakeChild(const QString& name, PolicyBase* policy) override;
};
