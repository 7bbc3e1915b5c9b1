#pragma once

#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QMultiMap>
#include <QObject>
#include <QPointer>

#include <memory>

class Content;
class ContentFolder;

// A live index from content key to the contents of one folder tree: every content below
// the root at construction, and afterwards whatever the tree's folders announce
// (ContentAdded, ContentRemoved, FolderAdded, FolderRemoved). Several contents may share
// a key (copies of one image in different folders); the index answers the first.
//
// The tree may change on another thread (a fixture's link thread): the index hears each
// announcement as it is made, takes a guarded pointer to the node there and then, and
// handles it on its own thread. A node that died before that — a folder added and
// removed again, a content deleted right after its removal was announced — is never
// touched, and the index itself never dereferences a node that is gone: entries are
// guarded pointers, skipped once their content has died.
//
// Threads: lives on, and is used from, the thread that owns it (the GUI thread in the
// program); the tree's lock is taken while folders are walked.
class ContentFolderIndex : public QObject
{
    Q_OBJECT
public:
    // Indexes the whole tree below `root` (which may be null: an empty index) at once.
    explicit ContentFolderIndex(ContentFolder* root, QObject* parent = nullptr);
    ~ContentFolderIndex() override;

    // A clone of the first living, loaded content indexed under `key` that still carries
    // that key; null when there is none. Owned by the caller.
    std::unique_ptr<Content> CloneByKey(quint32 key) const;
    // The keys of the living entries, in order, one per entry.
    QList<quint32> Keys() const;
    // Whether announcements of `folder` reach the index.
    bool Watches(const ContentFolder* folder) const;

public slots:
    // Indexes `folder` and everything below it, and listens to each of its folders.
    void AddFolder(const ContentFolder* parent, ContentFolder* folder);
    // Stops listening to `folder` and the folders indexed below it, and drops their
    // contents. `folder` is only compared, never dereferenced: it may be gone already.
    void RemoveFolder(const ContentFolder* parent, const ContentFolder* folder);
    void AddContent(const ContentFolder* parent, Content* content);
    // Drops every entry of `content`, whatever key it was indexed under (the key may have
    // changed since). Only compared, never dereferenced.
    void RemoveContent(const ContentFolder* parent, const Content* content);

private:
    // Where a content was indexed: under which key, announced by which folder.
    struct Placement
    {
        quint32 key;
        const ContentFolder* folder; // compared only
    };
    struct Watched
    {
        const ContentFolder* parent; // compared only
        QList<QMetaObject::Connection> connections;
    };

    void Listen(ContentFolder* folder, const ContentFolder* parent);
    // Runs `handle` now when the announcement came on this index's thread, else queued.
    template <class Handle>
    void Deliver(Handle handle);

    void Forget(const Content* content);

    QMultiMap<quint32, QPointer<Content>> entries_;
    QHash<const Content*, Placement> placed_; // keys compared only
    QHash<const ContentFolder*, Watched> folders_;
};
