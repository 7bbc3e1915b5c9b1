#pragma once

#include "content/operations/ContentOperation.h"
#include "content/operations/ContentSteps.h"

#include <QList>

class Content;
class ContentFolder;

// Makes each of several target folders hold the same tree as one source folder (the stock
// content of a fixture model onto the fixtures' stock groups, a user package onto the
// fixtures of the clone wizard), changing only what differs.
//
// Contents are matched by their key (a copy keeps its original's key, so what an earlier
// synchronisation copied is found again), folders by their path of names and addresses.
// Per target, in this order: matched contents that sit elsewhere or under another name or
// address are moved, renamed and renumbered into place (never deleted and copied again);
// target contents the source lacks are deleted; leaf folders the source lacks are deleted,
// the last collected first (never one that the source has as a folder or that still holds
// content); missing folders are created. Then every source content that some targets lack
// is copied to them, the targets of one content together, through the first target folder's
// aggregator when it has one, so that one transfer serves several fixtures of one family.
//
// Progress: the first quarter of the bar is shared by the targets, the rest by the copies.
// A source any of whose folders could not be read (ContentFolder::ChildrenRead) is refused
// and nothing changes: what it seems to lack would be deleted from the targets. A readable
// empty source empties the targets. A target that could not be read is left alone with an
// error. Targets that are the source, lie inside it or hold it are left out with a warning
// and the others cloned; with no other target the run fails.
class ContentSyncOperation : public ContentOperation
{
    Q_OBJECT
public:
    enum Flag {
        // The run ends at the first failure.
        StopAtFirstFailure = 1,
    };

    explicit ContentSyncOperation(QObject* parent = nullptr);

    // The root of the tree to copy; not owned.
    virtual void SetSource(ContentFolder* source);
    ContentFolder* Source() const { return source_; }
    // The roots to bring in line, in order; not owned.
    virtual void SetTargets(const QList<ContentFolder*>& targets);
    QList<ContentFolder*> Targets() const { return targets_; }
    void SetFlags(int flags) { flags_ = flags; }
    int Flags() const { return flags_; }
    // True once a run has succeeded without having to copy any content to any target (the
    // targets were up to date). A failed or cancelled run never sets it.
    virtual bool Succeeded();

    // "Cloning %1 to %2 location(s)": source name, number of targets apart from the source.
    QString Title() override;
    // A source is set and there is at least one target.
    bool IsValid() override;
    int Run(IFeedback* feedback) override;

private:
    // Whether `target` is the source, lies inside it or holds it.
    bool Overlaps(const ContentFolder* target) const;
    // The targets that do not overlap the source, in order.
    QList<ContentFolder*> TargetsApartFromSource() const;

    ContentFolder* source_ = nullptr;
    QList<ContentFolder*> targets_;
    int flags_ = 0;
    bool upToDate_ = false;
};

// `root` or the first folder below it whose children could not be read; null when all were.
const ContentFolder* UnreadFolder(ContentFolder* root);
// Every content below `folder`, depth first in child order (a folder's contents come where
// the folder stands among its siblings).
QList<Content*> CollectContents(ContentFolder* folder);
// Every folder below `folder` that holds no folder (an empty one included), depth first in
// child order; `folder` itself never.
QList<ContentFolder*> CollectLeafFolders(ContentFolder* folder);
// Walks `path` down from `root`, going into the first child folder of each element's name
// and address, or making room for it (MakeRoom) and creating it (CreateFolderStep, of the
// element's kind) where there is none. Stores the folder reached in `folder` (root for an
// empty path). A step result; on a non-zero one `folder` is left untouched.
int EnsurePath(ContentFolder* root, const ContentPathList& path, ContentFolder*& folder, IFeedback* feedback);
