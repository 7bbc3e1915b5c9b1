#pragma once

#include "library/archive/ArchiveResult.h"
#include "library/common/LibraryFolderList.h"
#include "library/user/ContentLibraryFolder.h"

// A package of the user content library: a directory of folders, of one fixture family
// through its policy. Its config.xml lists the folders' addresses and names the package's
// policy; it is kept while the package is empty too, so that an empty package keeps its
// family.
//
// The same class reads and writes package archives (ContentLibraryPackageFile,
// ContentLibraryPackageDestinationFile): an archive path is a directory to the file layer.
// A package whose children are read-only (the stock packages) refuses every change.
class ContentLibraryPackage : public ContentLibraryContainerFolder
{
    Q_OBJECT
public:
    // `path` empty: the directory `name` of the parent's directory. The package scans its
    // directory and reads its config.xml (its own, then its folders').
    ContentLibraryPackage(PolicyBase* policy, ContentFolder* parent, const QString& name, const QString& path);
    ~ContentLibraryPackage() override;

    int ChildCount() const override;
    ContentBase* Child(int index) override;
    const ContentBase* Child(int index) const override;
    // Sorts the folders by address; with `deep`, then each folder.
    void Reload(bool deep) override;
    QIcon Icon() override;
    // A package has no address: 0, and setting one does nothing.
    int GetAddress() const override;
    bool SetAddress(int address) override;
    bool SetMosavraID(quint16 id) override;

    bool AcceptsContent(const Content* content) override;
    // True for null; otherwise whether `folder` is a policy folder of this package's kind of
    // folder (NewChildPolicy(this, 0)).
    bool AcceptsFolder(const ContentFolder* folder) override;
    bool CanMoveContentHere(const Content* content) override;
    QString NewChildTypeName(int kind) override;

    bool CreateFolder(const QString& name, int address, int kind, IFeedback* feedback) override;
    // A package holds folders only.
    bool AddChild(QList<ContentBase*> children, IFeedback* feedback) override;
    bool ModifyChild(ContentBase* child, const QString& name, int address, IFeedback* feedback) override;
    // Moves a folder in from another package, directory and all.
    bool MoveHere(ContentBase* child, IFeedback* feedback) override;
    bool RemoveChild(ContentBase* child, IFeedback* feedback) override;

    virtual bool LoadConfig();
    // With `recursive`, every folder's file after the package's own.
    virtual ArchiveResult SaveConfig(bool recursive = false);

    // Takes `folder` out without deleting it or its directory (MoveHere of the package it
    // goes to).
    bool TakeChild(ContentBase* folder);
    // Gives the package a new name (the root has renamed the directory).
    ArchiveResult Rename(const QString& name);

private:
    friend class LibraryFolderList<ContentLibraryPackage, ContentLibraryFolder>;
    ContentLibraryFolder* MakeChild(const QString& name, PolicyBase* policy);
    bool Refuses(IFeedback* feedback);

    LibraryFolderList<ContentLibraryPackage, ContentLibraryFolder> folders_;
};

// A package read from a package archive (".qelpkg"; "decode#" in front for encrypted
// members): `Path` is the archive path. Read it while no writer enabler names the archive.
class ContentLibraryPackageFile : public ContentLibraryPackage
{
    Q_OBJECT
public:
    ContentLibraryPackageFile(PolicyBase* policy, ContentFolder* parent, const QString& name, const QString& archivePath);

    // Whether a chosen archive path can be opened at all: it is not empty.
    static bool IsValidPath(const QString& path);
};

// A package being written into a new archive: build it inside the scope of an
// ArchiveWriterEnabler on `archivePath`, fill it through CreateFolder and AddChild (a copy
// operation), destroy it, then Commit the enabler. Named after the archive's base name.
class ContentLibraryPackageDestinationFile : public ContentLibraryPackageFile
{
    Q_OBJECT
public:
    ContentLibraryPackageDestinationFile(PolicyBase* policy, const QString& archivePath);
};
