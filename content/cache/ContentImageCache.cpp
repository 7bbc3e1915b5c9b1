#include "content/cache/ContentImageCache.h"

#include "content/ContentFolder.h"
#include "content/cache/ContentFolderIndex.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QThread>
#include <QtDebug>

#include <algorithm>

namespace {

QMutex g_instanceMutex; // guards the two below
std::unique_ptr<ContentImageCache> g_instance;
ContentImageCache::RootsProvider g_roots;

// A blank image of the family whose files carry `suffix`; null for any other suffix.
std::unique_ptr<Content> NewImageFor(const QString& suffix)
{
    if (suffix == QLatin1String("bvi"))
        return std::make_unique<BrevantImage>();
    if (suffix == QLatin1String("cdli"))
        return std::make_unique<CindralImage>();
    return nullptr;
}

// The key a cache file is named after: hex digits before the first dot, then one of the
// families' suffixes. Other files in the folder are not the cache's.
bool KeyOfFileName(const QString& name, quint32* key)
{
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot < 1 || dot > 8 || !NewImageFor(name.mid(dot + 1).toLower()))
        return false;
    quint32 value = 0;
    for (QChar c : QStringView(name).left(dot)) {
        const int digit = QStringLiteral("0123456789abcdef").indexOf(c.toLower());
        if (digit < 0)
            return false;
        value = value << 4 | quint32(digit);
    }
    *key = value;
    return true;
}

} // namespace

ContentImageCache* ContentImageCache::Instance()
{
    QMutexLocker lock(&g_instanceMutex);
    if (!g_instance) {
        const QStringList paths = QDir::searchPaths(QLatin1String(kFolderPrefix));
        const QString folder = paths.isEmpty() ? QString() : QDir(paths.first()).absolutePath();
        g_instance = std::make_unique<ContentImageCache>(folder, g_roots);
        // Its indexes hear the libraries' queued announcements only on a thread that runs
        // an event loop for the program's whole life.
        QCoreApplication* app = QCoreApplication::instance();
        if (app && g_instance->thread() != app->thread())
            g_instance->moveToThread(app->thread());
        ContentImageStore::SetInstance(g_instance.get());
    }
    return g_instance.get();
}

void ContentImageCache::DestroyInstance()
{
    std::unique_ptr<ContentImageCache> cache;
    {
        QMutexLocker lock(&g_instanceMutex);
        cache = std::move(g_instance);
    }
}

void ContentImageCache::SetRootsProvider(RootsProvider provider)
{
    QMutexLocker lock(&g_instanceMutex);
    g_roots = std::move(provider);
}

ContentImageCache::ContentImageCache(const QString& folder, RootsProvider roots)
    : folder_(folder), roots_(std::move(roots))
{
    Scan();
}

ContentImageCache::~ContentImageCache()
{
    if (ContentImageStore::Instance() == this)
        ContentImageStore::SetInstance(nullptr);
}

QString ContentImageCache::FileName(quint32 key, const QString& suffix)
{
    return QStringLiteral("%1.%2").arg(key, 8, 16, QLatin1Char('0')).arg(suffix);
}

QStringList ContentImageCache::FileNames() const
{
    QStringList names;
    for (const ContentCacheEntry& entry : files_)
        names.append(entry.fileName);
    return names;
}

void ContentImageCache::Scan()
{
    files_.clear();
    if (folder_.isEmpty())
        return;
    // Oldest written first, so that files found at start count as used in that order.
    const QFileInfoList found =
        QDir(folder_).entryInfoList(QDir::Files | QDir::Readable | QDir::Hidden, QDir::Time | QDir::Reversed);
    for (const QFileInfo& file : found) {
        quint32 key = 0;
        if (KeyOfFileName(file.fileName(), &key))
            files_.insert(key, ContentCacheEntry{NextUse(), file.fileName()});
    }
}

std::unique_ptr<Content> ContentImageCache::Find(quint32 key)
{
    if (!OnOwnThread("Find"))
        return nullptr;
    if (std::unique_ptr<Content> cached = ReadBack(key))
        return cached;
    return FindInLibraries(key);
}

std::unique_ptr<Content> ContentImageCache::ReadBack(quint32 key)
{
    const auto entry = files_.find(key);
    if (entry == files_.end())
        return nullptr;
    std::unique_ptr<Content> image = NewImageFor(QFileInfo(entry->fileName).suffix().toLower());
    if (!image || !image->Load(QDir(folder_).filePath(entry->fileName)))
        return nullptr;
    if (image->Key() != key) {
        qWarning().noquote() << QStringLiteral("Image cache: %1 holds another image; deleting it").arg(entry->fileName);
        Remove(key);
        return nullptr;
    }
    entry->lastUse = NextUse();
    return image;
}

std::unique_ptr<Content> ContentImageCache::FindInLibraries(quint32 key)
{
    if (!indexed_) {
        indexed_ = true;
        const ImageCacheRoots roots = roots_ ? roots_() : ImageCacheRoots{};
        for (ContentFolder* root : {roots.user, roots.stock, roots.mosavra}) {
            if (root)
                indexes_.append(new ContentFolderIndex(root, this));
        }
    }
    for (const ContentFolderIndex* index : std::as_const(indexes_)) {
        if (std::unique_ptr<Content> clone = index->CloneByKey(key))
            return clone;
    }
    return nullptr;
}

bool ContentImageCache::Store(Content& content)
{
    if (!OnOwnThread("Store") || folder_.isEmpty())
        return false;
    // A placeholder has no data: kept, it would stand for the image it is not.
    if (content.IsNotLoaded())
        return false;
    if (!QDir().mkpath(folder_)) {
        qWarning().noquote() << QStringLiteral("Image cache: cannot make the folder %1").arg(folder_);
        return false;
    }
    const quint32 key = content.Key();
    const QString name = FileName(key, content.FileExtension());
    if (!content.Save(QDir(folder_).filePath(name))) {
        qWarning().noquote() << QStringLiteral("Image cache: cannot write %1").arg(name);
        return false;
    }
    // A file of the other family under the same key would be left behind unlisted.
    const auto earlier = files_.constFind(key);
    if (earlier != files_.cend() && earlier->fileName != name)
        QFile::remove(QDir(folder_).filePath(earlier->fileName));
    files_.insert(key, ContentCacheEntry{NextUse(), name});
    return true;
}

bool ContentImageCache::Remove(quint32 key)
{
    if (!OnOwnThread("Remove"))
        return false;
    const auto entry = files_.constFind(key);
    if (entry == files_.cend())
        return false;
    const QString path = QDir(folder_).filePath(entry->fileName);
    if (!QFile::remove(path) && QFileInfo::exists(path)) {
        qWarning().noquote() << QStringLiteral("Image cache: cannot delete %1").arg(path);
        return false;
    }
    files_.erase(entry);
    return true;
}

bool ContentImageCache::TrimToLimit()
{
    if (!OnOwnThread("TrimToLimit"))
        return false;
    QList<std::pair<quint64, quint32>> uses; // (last use, key)
    for (auto it = files_.cbegin(); it != files_.cend(); ++it)
        uses.append({it->lastUse, it.key()});
    std::sort(uses.begin(), uses.end(), std::greater<>()); // newest first

    bool removedAll = true;
    qint64 total = 0;
    bool over = false;
    for (const auto& [lastUse, key] : uses) {
        if (!over) {
            const QFileInfo file(QDir(folder_).filePath(files_.value(key).fileName));
            total += file.exists() ? file.size() : 0;
            over = total > kSizeLimit;
        }
        if (over)
            removedAll = Remove(key) && removedAll;
    }
    return removedAll;
}

bool ContentImageCache::OnOwnThread(const char* operation) const
{
    if (QThread::currentThread() == thread())
        return true;
    qWarning() << "Image cache:" << operation << "refused off the cache's thread";
    return false;
}
