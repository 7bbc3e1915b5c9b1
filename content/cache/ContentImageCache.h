#pragma once

#include "content/ContentImageStore.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class ContentFolder;
class ContentFolderIndex;

// The libraries whose contents the image cache answers from, in the order it asks them.
// A null root is skipped.
struct ImageCacheRoots
{
    ContentFolder* user = nullptr;
    ContentFolder* stock = nullptr;
    ContentFolder* mosavra = nullptr;
};

// One file of the cache: when it was last stored, found or scanned (an order of uses,
// later uses larger), and its name inside the cache folder.
struct ContentCacheEntry
{
    quint64 lastUse = 0;
    QString fileName;
};

// The program's image cache: a copy of every image downloaded from a fixture, kept in the
// cache folder as "<key as 8 lower-case hex digits>.<file suffix>" ("0000001f.bvi"), and
// live indexes of the user, stock and Mosavra libraries by key. Asked for a key, it
// answers a new copy of that image from its folder, else a clone from the first library
// that holds it, so a fixture folder need not download what the computer already has.
//
// The folder holds at most one file per key. Only files named as the cache names them
// (hex digits, then ".bvi" or ".cdli") belong to it: anything else there is never read,
// listed or deleted. TrimToLimit, run once as the program ends, keeps the most recently
// used files that fit in kSizeLimit; files found at start count as used in the order they
// were last written.
//
// The libraries are asked for through the roots provider, which the program installs
// (the content layer cannot see the libraries); their indexes are built at the first
// lookup that reaches them, so a run that never looks up reads no library for the cache.
//
// Threads: the cache and its indexes live on the GUI thread, where the fixture folders
// call Find and Store and the program trims; Instance moves a cache first asked for on
// another thread there. Find, Store, Remove and TrimToLimit called on any other thread
// refuse (null, false) and change nothing.
class ContentImageCache : public QObject, public ContentImageStore
{
    Q_OBJECT
public:
    using RootsProvider = std::function<ImageCacheRoots()>;

    // What the folder may keep after a trim.
    static constexpr qint64 kSizeLimit = 0xA00000; // 10 MiB
    // The search-path prefix of the cache folder.
    static constexpr const char* kFolderPrefix = "ContentCache";

    // The program's cache, built on first use over the folder of the "ContentCache"
    // search path with the installed roots provider, and installed as the fixtures'
    // ContentImageStore. Without that search path it has no folder: it stores nothing and
    // answers from the libraries only.
    static ContentImageCache* Instance();
    // Uninstalls and destroys the program's cache (the next Instance builds a new one).
    // Call before the libraries go. GUI thread.
    static void DestroyInstance();
    // The provider the program's cache takes when it is built; null: no libraries.
    static void SetRootsProvider(RootsProvider provider);

    // A cache over `folder` (absolute; empty: none), scanned at once.
    ContentImageCache(const QString& folder, RootsProvider roots);
    ~ContentImageCache() override;

    // A new image with that key, owned by the caller: the cached file's image when its
    // file reads back with that key (a file that reads back with another key is stale
    // and deleted), else a clone from the user, stock or Mosavra library; null when none
    // holds it.
    std::unique_ptr<Content> Find(quint32 key) override;
    // Saves `content` (which must have its data) into the folder under its key, making
    // the folder when it is missing. False, the cache unchanged, when it cannot.
    bool Store(Content& content) override;
    // Deletes the file of `key` and forgets it; false when there is no such entry or the
    // file could not be deleted (the entry then stays). A file already gone counts as
    // deleted.
    bool Remove(quint32 key);
    // Deletes the least recently used files until the rest fit in kSizeLimit (the file
    // that would cross the limit goes too). False when a file that had to go could not
    // be deleted.
    bool TrimToLimit();

    static QString FileName(quint32 key, const QString& suffix);
    QString Folder() const { return folder_; }
    // The names of the files the cache holds, in key order.
    QStringList FileNames() const;

private:
    void Scan();
    std::unique_ptr<Content> ReadBack(quint32 key);
    std::unique_ptr<Content> FindInLibraries(quint32 key);
    bool OnOwnThread(const char* operation) const;
    quint64 NextUse() { return ++uses_; }

    QString folder_;
    RootsProvider roots_;
    QMap<quint32, ContentCacheEntry> files_;
    QList<ContentFolderIndex*> indexes_; // children; built at the first library lookup
    bool indexed_ = false;
    quint64 uses_ = 0;
};
