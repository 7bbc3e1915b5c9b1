#pragma once

#include "library/archive/AesCipher.h"
#include "library/archive/ArchivePaths.h"
#include "library/archive/ArchiveResult.h"
#include "library/archive/ArchivedStreams.h"

#include <QByteArray>
#include <QDir>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// The engines answer the file operations for one path inside a package archive: readers
// through their own ReadingArchivedStream, writers through the WritingArchivedStream that
// all writers of one archive share. CustomFileSystemEngineHandler::create chooses them;
// the file layer (FileLayer.h) is what the rest of the program calls.
//
// An engine is used by one thread at a time. Errors are answered by results (false, -1,
// 0, empty lists); nothing is printed.
class ArchiveEngine
{
public:
    enum class Kind { Reader, EncryptedReader, Writer, EncryptedWriter };
    enum FileName { DefaultName, BaseName, PathName, AbsoluteName };

    // `path` must run through a package (ArchivePaths::SplitPackagePath).
    explicit ArchiveEngine(const ArchivePaths::PackagePath& path);
    virtual ~ArchiveEngine();
    ArchiveEngine(const ArchiveEngine&) = delete;
    ArchiveEngine& operator=(const ArchiveEngine&) = delete;

    virtual Kind EngineKind() const = 0;

    virtual bool open(QIODevice::OpenMode mode) = 0;
    virtual bool close() = 0;
    bool flush() { return true; }
    virtual qint64 size() const = 0;
    bool isSequential() const { return true; }
    // Members cannot be removed or renamed, nor folders removed, in an archive.
    bool remove() { return false; }
    bool rename(const QString&) { return false; }
    bool rmdir(const QString&, bool) const { return false; }
    virtual bool mkdir(const QString& dirName, bool createParents) const;
    bool caseSensitive() const { return false; }
    // The names of the members directly below this path (see ListArchiveMembers).
    virtual QStringList entryList(QDir::Filters filters, const QStringList& nameFilters) const = 0;
    QString fileName(FileName kind = DefaultName) const;
    virtual qint64 read(char* data, qint64 maximum) = 0;
    virtual qint64 write(const char* data, qint64 length) = 0;

    // The archive's path as named (with "decode#" when the name had it), the file on
    // disk, and the normalised member path (empty for the archive itself).
    QString ArchivePath() const { return path_.archivePath; }
    QString ArchiveFile() const { return path_.archiveFile; }
    QString InnerPath() const { return path_.innerPath; }
    QString Extension() const { return path_.extension; }
    bool IsArchiveRoot() const { return path_.innerPath.isEmpty(); }
    // Whether the archive file exists on disk.
    virtual bool ArchiveExists() const;
    // Whether this path exists: the archive, a member, or a folder that members lie in.
    virtual bool Exists() const = 0;
    // Whether this path is a folder: the archive itself, a directory member, or a path
    // that members lie below. False when it does not exist.
    virtual bool IsDirectory() const = 0;
    // Whether this folder's listing is whole (FileLayer::IsListable). Default: IsDirectory.
    virtual bool IsListable() const { return IsDirectory(); }

protected:
    const ArchivePaths::PackagePath path_;
};

// Reads plain members.
class ArchiveReader : public ArchiveEngine
{
public:
    explicit ArchiveReader(const ArchivePaths::PackagePath& path);
    ~ArchiveReader() override;

    Kind EngineKind() const override { return Kind::Reader; }
    // Positions on the member; false when the archive cannot be read or has no regular
    // member of exactly this path within its size cap. The mode is not looked at; a second
    // open while the member is open returns true and reading continues where it was.
    bool open(QIODevice::OpenMode mode) override;
    // Drops the member; returns false, as a reader has nothing to commit.
    bool close() override;
    // The member's stored size from its header; 0 when there is no such member.
    qint64 size() const override;
    QStringList entryList(QDir::Filters filters, const QStringList& nameFilters) const override;
    // The count; 0 at the end of the member; -1 when not open or the archive is damaged.
    qint64 read(char* data, qint64 maximum) override;
    qint64 write(const char*, qint64) override { return -1; }
    bool Exists() const override;
    bool IsDirectory() const override;
    // A folder of an archive that can be read to its end.
    bool IsListable() const override;

protected:
    // The member's bytes as stored, exactly `length` of them unless the member ends: the
    // count read, 0 at the end, -1 on damage.
    qint64 ReadStored(char* data, qint64 length);
    bool IsOpen() const { return stream_ != nullptr; }

private:
    std::unique_ptr<ArchiveLibInterface::ReadingArchivedStream> stream_;
};

// Reads members stored as encrypted records (EncryptedRecord.h) and hands out the plain
// bytes. Chosen for "decode#" content-package paths.
class EncryptedArchiveReader : public ArchiveReader
{
public:
    // Throws std::runtime_error("Tables failed to initialize") when no cipher can be made.
    explicit EncryptedArchiveReader(const ArchivePaths::PackagePath& path);

    Kind EngineKind() const override { return Kind::EncryptedReader; }
    bool open(QIODevice::OpenMode mode) override;
    bool close() override;
    // Plain bytes of the current record: never more than one record per call; 0 at the
    // end of the member (or at an empty record, which ends it); -1 at a record that is
    // refused (bad length, short data). Either ends the member for good: the bytes behind
    // a refused record are ciphertext, not a length, so every later read gives the same
    // until the member is opened again.
    qint64 read(char* data, qint64 maximum) override;
    // Reads the next record into `buffer`: its plain length; 0 at the end or at an empty
    // record; -1 for a refused one.
    qint64 ReadRecord(char* buffer, qint64 capacity);

private:
    AesCipher cipher_;
    QByteArray record_;   // decrypted bytes of the current record
    qint64 offset_ = 0;   // where the bytes not yet handed out begin
    qint64 waiting_ = 0;  // how many of them there are
    std::optional<qint64> ended_; // what every read gives once the member has ended
    QByteArray scratch_;
};

// Writes members into the archive's shared stream, which the export's
// ArchiveWriterEnabler made. While a member is open the writer is one more user of the
// stream, so the archive is not written before the member is closed.
class ArchiveWriter : public ArchiveEngine
{
public:
    // `archiveFile` is the absolute path of the archive without "decode#" (the stream's key).
    ArchiveWriter(const ArchivePaths::PackagePath& path, const QString& archiveFile);
    ~ArchiveWriter() override;

    Kind EngineKind() const override { return Kind::Writer; }
    // Opens the member for writing (a write mode is needed; WriteOnly alone truncates).
    // False for the archive itself, and when the archive is no longer being collected.
    bool open(QIODevice::OpenMode mode) override;
    // Closes the member; true.
    bool close() override;
    // The bytes written to the member so far.
    qint64 size() const override;
    // Stores a directory member for `dirName` (a path in the same archive); false for the
    // archive itself. Parents need no members of their own.
    bool mkdir(const QString& dirName, bool createParents) const override;
    // The members collected so far, by the same rules as a reader's listing.
    QStringList entryList(QDir::Filters filters, const QStringList& nameFilters) const override;
    qint64 read(char*, qint64) override { return -1; }
    // The count written; -1 when no member is open or it would grow past its size cap.
    qint64 write(const char* data, qint64 length) override;
    // While the archive is being written it exists; members exist once made.
    bool ArchiveExists() const override { return true; }
    bool Exists() const override;
    bool IsDirectory() const override;

    // Closes the member and gives up the stream. When this was its last user, the archive
    // is written and the result is the outcome; otherwise nothing.
    std::optional<ArchiveResult> ReleaseStream();
    // Spoils the archive: its commit will write nothing and report `reason`.
    void FailArchive(const QString& reason);

protected:
    qint64 WriteStored(const char* data, qint64 length);

private:
    std::shared_ptr<ArchiveLibInterface::WritingArchivedStream> Stream() const;
    // Closes the open member, if any.
    void CloseMember();

    const QString streamKey_;
    std::shared_ptr<ArchiveLibInterface::WritingArchivedStream> stream_; // joined while a member is open
    std::shared_ptr<ArchiveLibInterface::WritingArchivedStream::FileEntry> entry_;
    qint64 position_ = 0;
};

// Writes members as encrypted records: every write call makes one record of at most
// 16384 plain bytes. Never chosen for a plain path; an export asks for it explicitly
// (CustomFileSystemEngineHandler::ArchiveWriterEnabler).
class EncryptedArchiveWriter : public ArchiveWriter
{
public:
    EncryptedArchiveWriter(const ArchivePaths::PackagePath& path, const QString& archiveFile);

    Kind EngineKind() const override { return Kind::EncryptedWriter; }
    // The plain bytes taken (at most 16384), or 0 when the record could not be stored.
    qint64 write(const char* data, qint64 length) override;

private:
    AesCipher cipher_;
};

// The listing behind a folder of an archive: the names of the members directly below
// `parent` (normalised), in member order, each once. Directories are wanted with
// QDir::Dirs or QDir::AllDirs, files with QDir::Files (QDir::NoFilter wants both). A name
// filter must match a member's whole path (fnmatch-style, without regard to case), except
// that QDir::AllDirs lists folders whatever their names. A folder named "CVS" is never
// listed. `members` gives each member's normalised path and type.
QStringList ListArchiveMembers(const QList<std::pair<QString, ArchiveLibInterface::ArchiveMember::Type>>& members,
                               const QString& parent,
                               QDir::Filters filters, const QStringList& nameFilters);
