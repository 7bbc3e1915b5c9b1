#pragma once

#include "content/operations/ContentOperation.h"

class Content;
class ContentFolder;

// The collage import: every collage of an opened collage archive (a
// MosavraContentLibraryPackageFile) that holds at least one item becomes a collage of one
// family's Mosavra package, with a name and address made to fit that package (a clash is
// made unique, an address outside its range takes its default). The images are copies with
// the archive's keys and Mosavra numbers. The first collage that cannot be made ends the
// import with 1; those made before stay. A cancel ends it between collages with 2.
//
// The family classes say where the collages go: the packages of
// MosavraContentLibraryRoot::Instance(), which must exist before the run. Made on the GUI
// thread with the opened archive as source, run once on the operation's worker thread;
// source and folder must outlive the run.
class MosavraContentImport : public ContentOperation
{
    Q_OBJECT
public:
    explicit MosavraContentImport(QObject* parent = nullptr);

    // The folder the import was started on (not read by the import); not owned.
    void SetFolder(ContentFolder* folder) { folder_ = folder; }
    ContentFolder* Folder() const { return folder_; }
    // The opened collage archive; not owned.
    void SetSource(ContentFolder* source) { source_ = source; }
    ContentFolder* Source() const { return source_; }

    // A source is set.
    bool IsValid() override;
    int Run(IFeedback* feedback) override;

    // Makes the collage `name` at `address` holding `images` in the family's package;
    // false when it cannot (the images then stay the caller's).
    virtual bool CreateCollage(const QString& name, int address, const QList<Content*>& images,
                               IFeedback* feedback) = 0;
    // The family's package of the Mosavra library.
    virtual ContentFolder* FamilyPackage() = 0;

private:
    ContentFolder* folder_ = nullptr;
    ContentFolder* source_ = nullptr;
};

// Into the first family's package: "Importing BREVANT Collage".
class BrevantMosavraContentImport : public MosavraContentImport
{
    Q_OBJECT
public:
    using MosavraContentImport::MosavraContentImport;
    QString Title() override;
    bool CreateCollage(const QString& name, int address, const QList<Content*>& images, IFeedback* feedback) override;
    ContentFolder* FamilyPackage() override;
};

// Into the second family's package: "Importing Cindral Collage".
class CindralMosavraContentImport : public MosavraContentImport
{
    Q_OBJECT
public:
    using MosavraContentImport::MosavraContentImport;
    QString Title() override;
    bool CreateCollage(const QString& name, int address, const QList<Content*>& images, IFeedback* feedback) override;
    ContentFolder* FamilyPackage() override;
};
