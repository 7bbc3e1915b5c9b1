#include "content/cache/ContentFolderIndex.h"

#include "content/ContentFolder.h"
#include "content/ContentMutex.h"

#include <QSet>
#include <QThread>

ContentFolderIndex::ContentFolderIndex(ContentFolder* root, QObject* parent) : QObject(parent)
{
    if (root)
        AddFolder(nullptr, root);
}

// The connections name the index as their context: they go with it.
ContentFolderIndex::~ContentFolderIndex() = default;

std::unique_ptr<Content> ContentFolderIndex::CloneByKey(quint32 key) const
{
    ContentLocker lock(&ContentMutex);
    for (auto it = entries_.constFind(key); it != entries_.cend() && it.key() == key; ++it) {
        Content* content = it.value();
        // The key can change after a content was indexed; a placeholder has no data to give.
        if (!content || content->Key() != key || content->IsNotLoaded())
            continue;
        return std::unique_ptr<Content>(content->Clone());
    }
    return nullptr;
}

QList<quint32> ContentFolderIndex::Keys() const
{
    QList<quint32> keys;
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it) {
        if (it.value())
            keys.append(it.key());
    }
    return keys;
}

bool ContentFolderIndex::Watches(const ContentFolder* folder) const
{
    return folders_.contains(folder);
}

void ContentFolderIndex::AddFolder(const ContentFolder* parent, ContentFolder* folder)
{
    if (!folder)
        return;
    ContentLocker lock(&ContentMutex);
    if (folders_.contains(folder))
        RemoveFolder(parent, folder); // announced again: indexed afresh
    Listen(folder, parent);
    for (int i = 0; i < folder->ChildCount(); ++i) {
        ContentBase* child = folder->Child(i);
        if (auto* sub = qobject_cast<ContentFolder*>(child))
            AddFolder(folder, sub);
        else if (auto* content = qobject_cast<Content*>(child))
            AddContent(folder, content);
    }
}

void ContentFolderIndex::RemoveFolder(const ContentFolder*, const ContentFolder* folder)
{
    // The folder and every folder indexed below it, found through the recorded parents.
    QSet<const ContentFolder*> gone;
    QList<const ContentFolder*> pending{folder};
    while (!pending.isEmpty()) {
        const ContentFolder* next = pending.takeLast();
        const auto watched = folders_.constFind(next);
        if (watched == folders_.cend() || gone.contains(next))
            continue;
        gone.insert(next);
        for (auto it = folders_.cbegin(); it != folders_.cend(); ++it) {
            if (it->parent == next)
                pending.append(it.key());
        }
    }
    for (const ContentFolder* removed : std::as_const(gone)) {
        for (const QMetaObject::Connection& connection : folders_.value(removed).connections)
            disconnect(connection);
        folders_.remove(removed);
    }
    QList<const Content*> contents;
    for (auto it = placed_.cbegin(); it != placed_.cend(); ++it) {
        if (gone.contains(it->folder))
            contents.append(it.key());
    }
    for (const Content* content : std::as_const(contents))
        Forget(content);
}

void ContentFolderIndex::AddContent(const ContentFolder* parent, Content* content)
{
    if (!content)
        return;
    Forget(content); // an earlier entry of the same node (or of a dead one at its address)
    const quint32 key = content->Key();
    entries_.insert(key, content);
    placed_.insert(content, Placement{key, parent});
}

void ContentFolderIndex::RemoveContent(const ContentFolder*, const Content* content)
{
    Forget(content);
}

void ContentFolderIndex::Forget(const Content* content)
{
    const auto placed = placed_.constFind(content);
    if (placed == placed_.cend())
        return;
    const quint32 key = placed->key;
    placed_.erase(placed);
    // Entries of contents that died on the way go too.
    for (auto it = entries_.find(key); it != entries_.end() && it.key() == key;) {
        if (it.value().isNull() || it.value().data() == content)
            it = entries_.erase(it);
        else
            ++it;
    }
}

template <class Handle>
void ContentFolderIndex::Deliver(Handle handle)
{
    if (QThread::currentThread() == thread())
        handle();
    else
        QMetaObject::invokeMethod(this, std::move(handle), Qt::QueuedConnection);
}

void ContentFolderIndex::Listen(ContentFolder* folder, const ContentFolder* parent)
{
    // Direct connections: the announcement is heard on the folder's thread while the
    // nodes it names are alive, so guarded pointers can be taken before it travels on.
    // An addition that arrives after its folder left the index is dropped.
    Watched watched{parent, {}};
    watched.connections << connect(
        folder, &ContentFolder::ContentAdded, this,
        [this](const ContentFolder* from, Content* added) {
            Deliver([this, from, guarded = QPointer<Content>(added)] {
                if (guarded && Watches(from))
                    AddContent(from, guarded);
            });
        },
        Qt::DirectConnection);
    watched.connections << connect(
        folder, &ContentFolder::ContentRemoved, this,
        [this](const ContentFolder* from, const Content* removed) {
            Deliver([this, from, removed] { RemoveContent(from, removed); });
        },
        Qt::DirectConnection);
    watched.connections << connect(
        folder, &ContentFolder::FolderAdded, this,
        [this](const ContentFolder* from, ContentFolder* added) {
            Deliver([this, from, guarded = QPointer<ContentFolder>(added)] {
                if (guarded && Watches(from))
                    AddFolder(from, guarded);
            });
        },
        Qt::DirectConnection);
    watched.connections << connect(
        folder, &ContentFolder::FolderRemoved, this,
        [this](const ContentFolder* from, const ContentFolder* removed) {
            Deliver([this, from, removed] { RemoveFolder(from, removed); });
        },
        Qt::DirectConnection);
    folders_.insert(folder, watched);
}
