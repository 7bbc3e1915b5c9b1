#include "library/archive/ArchiveIndex.h"

#include "library/archive/ArchiveLimits.h"
#include "library/archive/ArchivePaths.h"
#include "library/archive/LibArchive.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include <atomic>

namespace ArchiveLibInterface {
namespace {

ArchiveMember::Type TypeOf(archive_entry* entry)
{
    switch (archive_entry_filetype(entry)) {
    case AE_IFDIR: return ArchiveMember::Type::Directory;
    case AE_IFREG: return ArchiveMember::Type::Regular;
    default: return ArchiveMember::Type::Other;
    }
}

// Reads exactly `size` bytes of the current member; false when the archive ends early.
bool ReadMemberData(archive* handle, qint64 size, QByteArray* data)
{
    data->resize(size); // keeps the capacity, so one buffer serves the whole walk
    qint64 done = 0;
    while (done < size) {
        const la_ssize_t got = archive_read_data(handle, data->data() + done, size_t(size - done));
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

// Folders are listed without regard to case (ArchivePaths::DirectChildName).
QString FolderKey(const QString& folder)
{
    return folder.toCaseFolded();
}

// What identifies one version of a file on disk.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    qint64 modifiedNs = 0;

    bool operator==(const FileIdentity&) const = default;
};

bool IdentityOf(const QString& file, FileIdentity* identity)
{
    struct stat status {};
    if (::stat(QFile::encodeName(file).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    identity->device = status.st_dev;
    identity->inode = status.st_ino;
    identity->size = status.st_size;
    identity->modifiedNs = qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    return true;
}

struct CacheEntry
{
    FileIdentity identity;
    std::shared_ptr<const ArchiveIndex> index;
    quint64 lastUse = 0;
};

QMutex cacheMutex;
QHash<QString, CacheEntry> cache;
quint64 useCounter = 0;
std::atomic<int> buildCount{0};

QString CacheKey(const QString& archiveFile)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(archiveFile));
}

// Called with the mutex held: evicts the least recently used entries until the bounds hold.
void TrimCache()
{
    auto total = [] {
        qint64 bytes = 0;
        for (const CacheEntry& entry : std::as_const(cache))
            bytes += entry.index->HeldBytes();
        return bytes;
    };
    while (cache.size() > ArchiveLimits::kMaxCachedArchives ||
           (cache.size() > 1 && total() > ArchiveLimits::kMaxCachedBytes)) {
        auto oldest = cache.begin();
        for (auto it = cache.begin(); it != cache.end(); ++it) {
            if (it->lastUse < oldest->lastUse)
                oldest = it;
        }
        cache.erase(oldest);
    }
}

} // namespace

std::shared_ptr<const ArchiveIndex> ArchiveIndex::Build(const QString& archiveFile)
{
    ReadHandle handle = OpenArchiveForReading(archiveFile);
    if (!handle)
        return nullptr;
    ++buildCount;
    auto index = std::make_shared<ArchiveIndex>();
    QByteArray data;
    bool spilling = true; // until the spill file fails: then members are walked to
    archive_entry* header = nullptr;
    while (true) {
        const int result = archive_read_next_header(handle.get(), &header);
        if (result == ARCHIVE_EOF)
            break;
        // A warning (a name libarchive could not convert, an odd header field) still
        // leaves a usable header; anything worse ends the walk.
        if (result != ARCHIVE_OK && result != ARCHIVE_WARN) {
            index->complete_ = false;
            break;
        }
        if (index->members_.size() >= ArchiveLimits::kMaxArchiveMembers) {
            index->complete_ = false;
            break;
        }
        bool valid = true;
        ArchiveMember member;
        member.path = ArchivePaths::NormalizeMemberPath(EntryPath(header), &valid);
        member.type = TypeOf(header);
        member.size = archive_entry_size_is_set(header) ? archive_entry_size(header) : 0;
        if (!valid || member.path.isEmpty() || member.size < 0)
            continue; // the archive root itself, or a name that climbs out of the archive
        if (member.type == ArchiveMember::Type::Regular) {
            member.tooLarge = member.size > ArchiveLimits::MemberSizeCap(member.path);
            const bool keep = spilling && !member.tooLarge && member.size <= ArchiveLimits::kMaxHeldMemberSize &&
                              index->heldBytes_ + member.size <= ArchiveLimits::kMaxHeldBytesPerArchive;
            if (keep) {
                if (!ReadMemberData(handle.get(), member.size, &data)) {
                    index->complete_ = false;
                    break;
                }
                member.offset = index->spill_.Append(data.constData(), data.size());
                spilling = member.offset >= 0;
                member.held = spilling;
                if (member.held)
                    index->heldBytes_ += member.size;
            }
        }
        const QStringList parts = member.path.split(u'/');
        for (qsizetype i = 1; i < parts.size(); ++i)
            index->parents_.insert(parts.mid(0, i).join(u'/'));
        if (!index->byPath_.contains(member.path))
            index->byPath_.insert(member.path, index->members_.size());
        index->byFolder_[FolderKey(parts.mid(0, parts.size() - 1).join(u'/'))].append(index->members_.size());
        index->members_.append(std::move(member));
    }
    return index;
}

bool ArchiveIndex::ReadHeld(const ArchiveMember& member, qint64 position, char* buffer, qint64 length) const
{
    if (!member.held || position < 0 || length < 0 || position + length > member.size)
        return false;
    return spill_.ReadAt(member.offset + position, buffer, length);
}

QList<const ArchiveMember*> ArchiveIndex::MembersIn(const QString& folder) const
{
    QList<const ArchiveMember*> inside;
    for (const qsizetype at : byFolder_.value(FolderKey(folder)))
        inside.append(&members_.at(at));
    return inside;
}

const ArchiveMember* ArchiveIndex::Find(const QString& path) const
{
    const auto it = byPath_.constFind(path);
    return it == byPath_.constEnd() ? nullptr : &members_.at(*it);
}

std::shared_ptr<const ArchiveIndex> ArchiveIndexCache::Get(const QString& archiveFile)
{
    FileIdentity identity;
    if (!IdentityOf(archiveFile, &identity))
        return nullptr;
    const QString key = CacheKey(archiveFile);
    {
        QMutexLocker lock(&cacheMutex);
        auto it = cache.find(key);
        if (it != cache.end() && it->identity == identity) {
            it->lastUse = ++useCounter;
            return it->index;
        }
    }
    // Built outside the lock: a walk can take a while and other archives stay usable.
    std::shared_ptr<const ArchiveIndex> index = ArchiveIndex::Build(archiveFile);
    FileIdentity after;
    if (!index || !IdentityOf(archiveFile, &after) || !(after == identity))
        return index; // changed while we read it: use the result once, cache nothing
    QMutexLocker lock(&cacheMutex);
    cache.insert(key, CacheEntry{identity, index, ++useCounter});
    TrimCache();
    return index;
}

void ArchiveIndexCache::Forget(const QString& archiveFile)
{
    QMutexLocker lock(&cacheMutex);
    cache.remove(CacheKey(archiveFile));
}

void ArchiveIndexCache::Clear()
{
    QMutexLocker lock(&cacheMutex);
    cache.clear();
}

int ArchiveIndexCache::BuildCount()
{
    return buildCount.load();
}

} // namespace ArchiveLibInterface
