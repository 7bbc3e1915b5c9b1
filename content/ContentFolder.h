#pragma once

#include "content/Content.h"

#include <QList>
#include <QStringList>

class ContentFolderAggregator;
class IFeedback;
class QWidget;

// A node that has children. Each concrete folder (library folders, fixture folders,
// in-memory containers) keeps and owns its children in its own way and fills in the pure
// operations; this class fixes their meaning and gives the defaults.
//
// Asynchronous change contract (CreateFolder, AddChild, ModifyChild, MoveHere,
// RemoveChild):
// - They answer false at once when the folder refuses the change. Before that, when a
//   feedback was given, they send it one text with FeedbackError (Refuse does both).
//   Nothing has changed then and Finished is never called.
// - Otherwise they answer true and the change goes on: a library folder does its disk work
//   at once, a fixture folder queues commands and finishes later on the fixture-link
//   thread. The outcome then arrives exactly once as IFeedback::Finished, progress texts as
//   IFeedback::AddString; the feedback is not called after Finished. A caller that passes
//   no feedback learns only whether the change was refused at once.
// - A folder destroyed while a change it accepted is pending never calls that change's
//   feedback again (not even Finished): its destruction is the change's end, which the
//   waiting step hears (FeedbackWrapper::Lease).
// - A folder announces every child that enters or leaves it (also through a Reload) with
//   FolderAdded / FolderRemoved / ContentAdded / ContentRemoved, in the thread that owns it.
// - Items handed to AddChild belong to the folder once it answered true; on a false answer
//   they stay the caller's.
//
// Callers that want a clash-free child ask Conflicts and, when it holds, MakeUnique before
// they call the change operation.
//
// Threads: every query holds ContentMutex while it runs (see content/ContentMutex.h); a
// caller may hold it around a sequence of calls to see one consistent tree.
class ContentFolder : public ContentBase
{
    Q_OBJECT
public:
    // The text a folder sends when its children may not be changed.
    static const char* const kNotModifiableText;

    explicit ContentFolder(ContentFolder* parent = nullptr);

    ContentFolder* GetRoot() const override;
    ContentFolder* GetTopFolder() const override;
    QIcon Icon() override;

    // True when this folder is `other` or lies below it (walking GetParentFolder).
    virtual bool IsInside(const ContentFolder* other) const;
    virtual int ChildCount() const = 0;
    // `index` must lie in 0 .. ChildCount() - 1.
    virtual ContentBase* Child(int index) = 0;
    virtual const ContentBase* Child(int index) const = 0;
    // Re-reads the children (with `deep`, the sub-folders' children too). Default: nothing.
    virtual void Reload(bool deep);
    // Whether the children could be read. A folder whose listing failed (a package that is
    // damaged or cannot be decoded, a fixture that did not answer) answers false and holds
    // what it could read, which is not what it holds: nothing may be concluded from its
    // missing children. Default: true.
    virtual bool ChildrenRead() const;
    // The range of addresses children may have.
    virtual int MinAddress() = 0;
    virtual int MaxAddress() = 0;
    virtual bool IsChildrenReadOnly();
    virtual bool IsViewOnly();
    // The address proposed for a new child: NextFreeAddress(0) unless overridden.
    virtual int DefaultAddress();
    // The lowest address at or above max(start, MinAddress()) that no child uses; -1 when
    // none is left up to MaxAddress().
    virtual int NextFreeAddress(int start);
    // True while some child's data is still only on the fixture. Default: false.
    virtual bool HasNotLoadedContent();
    // Starts fetching every child whose data is not loaded. Default: nothing.
    virtual void LoadContent();
    // The kind of folder created by CreateFolder(…, kind, …), for menus; empty when this
    // folder creates none of that kind.
    virtual QString NewChildTypeName(int kind);
    // Asynchronous: creates a sub-folder of the given kind.
    virtual bool CreateFolder(const QString& name, int address, int kind, IFeedback* feedback) = 0;
    virtual bool AcceptsFolder(const ContentFolder* folder);
    virtual bool AcceptsContent(const Content* content) = 0;
    // Asynchronous: adds every item of the list, then finishes once.
    virtual bool AddChild(QList<ContentBase*> children, IFeedback* feedback) = 0;
    // Default: true when some child bears exactly `name` (case-sensitive); the address is
    // not looked at.
    virtual bool Conflicts(const QString& name, int address);
    // Default: when Conflicts holds, replaces `name` by "name (2)", "name (3)", … until it
    // no longer does; the address is left alone and the name is not cut here.
    virtual void MakeUnique(QString& name, int& address);
    // Asynchronous: gives `child` a new name and address.
    virtual bool ModifyChild(ContentBase* child, const QString& name, int address, IFeedback* feedback) = 0;
    // Default: the content is in this folder's tree but not already in this folder.
    virtual bool CanMoveContentHere(const Content* content);
    // Default: the folder is in this folder's tree but not already in this folder, and this
    // folder is not the folder itself nor lies below it.
    virtual bool CanMoveFolderHere(const ContentFolder* folder);
    // Asynchronous: moves `child` (a node of the same tree) into this folder.
    virtual bool MoveHere(ContentBase* child, IFeedback* feedback) = 0;
    // Asynchronous: removes and releases `child`.
    virtual bool RemoveChild(ContentBase* child, IFeedback* feedback) = 0;
    // Default: false. Fixture folders answer false after kNotModifiableText when their
    // children are read-only.
    virtual bool CheckModifiable(IFeedback* feedback);
    // The aggregator of this folder's fixture family; null by default.
    virtual ContentFolderAggregator* Aggregator();
    // The quick import used by drop tests: for each path that is a file, ImportFile. The
    // caller owns the contents and deletes them.
    virtual QList<Content*> ImportFiles(const QStringList& paths);
    // The folder kind's quick import of one file (family folders answer a placeholder of
    // their family without reading it). Default: nothing.
    virtual QList<Content*> ImportFile(const QString& path);
    // The real import: for each path, ImportFileFor, until this folder is deleted (an
    // import dialog lets the world go on). May open import dialogs over `parent`. The
    // caller owns the new contents, which belong to no folder yet.
    virtual QList<Content*> ImportFilesFor(QWidget* parent, const QStringList& paths);
    // The folder kind's real import of one file. Default: nothing.
    virtual QList<Content*> ImportFileFor(QWidget* parent, const QString& path);

signals:
    void FolderAdded(const ContentFolder* parent, ContentFolder* added);
    void FolderRemoved(const ContentFolder* parent, const ContentFolder* removed);
    void ContentAdded(const ContentFolder* parent, Content* added);
    void ContentRemoved(const ContentFolder* parent, const Content* removed);

protected:
    // The refusal of the change contract: sends `text` with FeedbackError to `feedback`
    // (when there is one) and answers false.
    static bool Refuse(IFeedback* feedback, const QString& text);
};
