#pragma once

#include "library/archive/SpillFile.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <memory>

namespace ArchiveLibInterface {

// One member of an archive as the index saw it.
struct ArchiveMember
{
    enum class Type { Directory, Regular, Other };

    QString path;        // normalised (ArchivePaths::NormalizeMemberPath)
    Type type = Type::Other;
    qint64 size = 0;     // as the header states it
    bool tooLarge = false; // over the cap for its kind: never opened
    bool held = false;   // its bytes are in the index's spill file, from `offset`
    qint64 offset = 0;
};

// The members of one archive file, read in one walk: the headers of all members, and the
// bytes of the small ones set aside in a temporary spill file (not in memory, so that
// what an index holds does not grow with the archive). Immutable once built, so it may be
// shared between threads.
class ArchiveIndex
{
public:
    // Walks the archive. Null when the file cannot be opened as an archive. A walk that
    // meets damage keeps the members read before it.
    static std::shared_ptr<const ArchiveIndex> Build(const QString& archiveFile);

    // In archive order; members whose path is empty or climbs out with ".." are left out.
    const QList<ArchiveMember>& Members() const { return members_; }
    // The members directly inside the folder with this normalised path ("" for the top of
    // the archive), matched without regard to case, in archive order; so that listing a
    // folder does not go over the whole archive.
    QList<const ArchiveMember*> MembersIn(const QString& folder) const;
    // The first member with exactly this normalised path (case-sensitive), or null.
    const ArchiveMember* Find(const QString& path) const;
    // True when a member lies below this normalised path, so the path is a folder even
    // when the archive has no header for it.
    bool HasMembersBelow(const QString& path) const { return parents_.contains(path); }
    // The walk stopped early at a damaged or over-long part of the archive.
    bool IsComplete() const { return complete_; }
    // The bytes of the held members together (in the spill file).
    qint64 HeldBytes() const { return heldBytes_; }
    // Reads `length` bytes of a held member of this index from `position` within it;
    // false when they cannot be read. Safe from several threads at once.
    bool ReadHeld(const ArchiveMember& member, qint64 position, char* buffer, qint64 length) const;

private:
    QList<ArchiveMember> members_;
    QHash<QString, qsizetype> byPath_;
    QSet<QString> parents_;
    QHash<QString, QList<qsizetype>> byFolder_; // case-folded folder path -> members in it
    bool complete_ = true;
    qint64 heldBytes_ = 0;
    SpillFile spill_;
};

// Process-wide cache of archive indexes, so that a scan that lists a package and opens
// each of its members walks the compressed file once. An entry is used only while the
// file on disk is the one it was built from (device, inode, size and modification time);
// the cache is bounded (ArchiveLimits). Thread-safe.
class ArchiveIndexCache
{
public:
    // The index of the archive file as it is now; null when it cannot be read.
    static std::shared_ptr<const ArchiveIndex> Get(const QString& archiveFile);
    // Drops the entry of one archive (after we wrote it) or of all.
    static void Forget(const QString& archiveFile);
    static void Clear();
    // How many indexes have been built since the process started (for tests and
    // diagnostics).
    static int BuildCount();
};

} // namespace ArchiveLibInterface
