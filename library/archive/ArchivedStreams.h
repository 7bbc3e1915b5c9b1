#pragma once

#include "library/archive/ArchiveIndex.h"
#include "library/archive/ArchiveResult.h"
#include "library/archive/LibArchive.h"
#include "library/archive/SpillFile.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

namespace ArchiveLibInterface {

// Reads the data of one member of a package archive.
//
// The member is found through the archive's index (one walk per version of the archive
// file, shared by all readers); a small member is then read from the index's spill file,
// a large one by a libarchive walk to it. One object is used by one thread at a time.
class ReadingArchivedStream
{
public:
    // `archivePath` may carry the "decode#" prefix; it names the file without it.
    // `memberPath` is compared exactly (case-sensitive) after normalisation, so "f/a.bvi"
    // and "/f/a.bvi" are the same member. Only regular files within their size cap are
    // found.
    ReadingArchivedStream(const QString& archivePath, const QString& memberPath);
    ~ReadingArchivedStream();
    ReadingArchivedStream(const ReadingArchivedStream&) = delete;
    ReadingArchivedStream& operator=(const ReadingArchivedStream&) = delete;

    bool Found() const { return found_; }
    // The member's size as its header states it; 0 when not found.
    qint64 Size() const { return size_; }
    qint64 Remaining() const { return remaining_; }

    // Up to `maximum` bytes into `buffer`: the count, 0 at the end of the member, -1 when
    // no member was found or the archive is damaged.
    qint64 Read(char* buffer, qint64 maximum);
    // A reading stream takes no bytes.
    qint64 Write(const char*, qint64) { return 0; }

private:
    bool found_ = false;
    qint64 size_ = 0;
    qint64 remaining_ = 0;
    std::shared_ptr<const ArchiveIndex> index_;
    const ArchiveMember* member_ = nullptr; // inside index_
    ReadHandle handle_;                     // for members the index does not hold
};

// Collects the members of one package archive being written, and writes the archive when
// its last user releases it.
//
// A member's bytes are in memory only while some writer has it open; once the last one
// closes it they move to a temporary spill file, so what an export holds is bounded by
// the members open at a time, not the archive. At the end the members are written in key
// order: directory keys carry a leading '/' ("/f"), file keys none ("f/a.bvi"), so a
// directory sorts before its files; the tar stream is gzip-compressed on several threads
// (ParallelGzipWriter).
// The archive is written to a temporary file beside the destination and renamed over it
// only when every byte was written; a failure leaves no file and any previous archive
// whole, and is reported by the release that wrote it.
//
// Thread-safe: the streams are shared between the threads of an export.
class WritingArchivedStream
{
public:
    class FileSystemEntry
    {
    public:
        virtual ~FileSystemEntry() = default;
    };
    class DirectoryEntry : public FileSystemEntry
    {
    };
    class FileEntry : public FileSystemEntry
    {
    public:
        qint64 Size() const { return size_.load(); }

    private:
        friend class WritingArchivedStream;
        QString path_;
        int openCount_ = 0;      // writers that have it open
        QByteArray data_;        // its bytes while open
        qint64 spillOffset_ = 0; // where its bytes are in the spill file while closed
        std::atomic<qint64> size_{0};
    };

    // The stream of an archive file (an absolute path without "decode#"), made on the
    // first request; each request adds one user.
    static std::shared_ptr<WritingArchivedStream> Request(const QString& archiveFile);
    // Adds one user to the stream of an archive file when there is one; null otherwise.
    // Files being written join the stream their export made, and never start one: a file
    // left open past its export's commit must not start a new archive of its own.
    static std::shared_ptr<WritingArchivedStream> Join(const QString& archiveFile);
    // Takes one user away. The release of the last user writes the archive and answers
    // how that went; earlier releases answer nothing.
    static std::optional<ArchiveResult> Release(const QString& archiveFile);
    // The stream being collected for an archive file, or null; adds no user.
    static std::shared_ptr<WritingArchivedStream> Find(const QString& archiveFile);

    explicit WritingArchivedStream(const QString& archiveFile);
    ~WritingArchivedStream();
    WritingArchivedStream(const WritingArchivedStream&) = delete;
    WritingArchivedStream& operator=(const WritingArchivedStream&) = delete;

    const QString& ArchiveFile() const { return archiveFile_; }

    // Opens the file entry under `path` (normalised member path), made empty when there is
    // none or a directory stood there; emptied when the mode truncates (Truncate, or
    // WriteOnly without Append). Null for an empty path or a mode without WriteOnly. The
    // caller keeps the entry for the open file and closes it with CloseEntry; two open
    // files never share a position.
    std::shared_ptr<FileEntry> OpenEntry(QIODevice::OpenMode mode, const QString& path);
    // Closes an entry opened by OpenEntry. When no writer has it open any more, its bytes
    // leave memory for the spill file; a failure to store them fails the export (as
    // Fail does: the commit reports it, and later members are not kept).
    void CloseEntry(FileEntry& entry);
    // Writes into an entry at a position: the count, or -1 when the member would grow past
    // the size cap for its kind.
    qint64 Write(FileEntry& entry, qint64 position, const char* data, qint64 length);
    // A directory member under "/" + path, replacing a file of that name. False for an
    // empty path.
    bool AddDirectory(const QString& path);
    // A writing stream gives no bytes.
    qint64 Read(char*, qint64) { return -1; }

    // What is collected so far: each member's normalised path and type, in key order.
    QList<std::pair<QString, ArchiveMember::Type>> Members() const;
    // Whether a normalised path is a member or lies above one; `isDirectory` says which.
    bool Contains(const QString& path, bool* isDirectory) const;
    qint64 FileSize(const QString& path) const;
    // The member bytes held in memory: those of the entries open now.
    qint64 HeldBytes() const;

    // The last release will write nothing (an export given up).
    void Discard();
    // The last release will write nothing and report `reason` (part of the export could
    // not be collected). The first reason stays.
    void Fail(const QString& reason);

private:
    ArchiveResult WriteArchive();

    const QString archiveFile_;
    mutable QMutex mutex_;
    QMap<QString, std::shared_ptr<FileSystemEntry>> entries_;
    SpillFile spill_; // the bytes of the closed entries
    bool discarded_ = false;
    QString failure_;
};

} // namespace ArchiveLibInterface
