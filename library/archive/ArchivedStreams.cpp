#include "library/archive/ArchivedStreams.h"

#include "library/archive/ArchiveLimits.h"
#include "library/archive/ArchivePaths.h"
#include "library/archive/ParallelGzipWriter.h"

#include <QDateTime>
#include <QHash>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QSaveFile>

#include <archive.h>
#include <archive_entry.h>

#include <cstring>

// The streams' comings and goings, for whoever debugs an export: off unless the category
// is switched on (QT_LOGGING_RULES="velmora.archive.streams.debug=true"), since every file
// written into a package makes two lines.
Q_LOGGING_CATEGORY(lcArchiveStreams, "velmora.archive.streams", QtInfoMsg)

namespace ArchiveLibInterface {
namespace {

// Permissions written into the headers, so that tar extracts usable files and folders.
constexpr int kFilePermissions = 0644;
constexpr int kDirectoryPermissions = 0755;

struct SharedStream
{
    std::shared_ptr<WritingArchivedStream> stream;
    int users = 0;
};

QMutex streamMapMutex;
QHash<QString, SharedStream> writingStreamMap;

QString DirectoryKey(const QString& path)
{
    return QLatin1Char('/') + path;
}

// Where libarchive's plain tar stream goes: compressed in parallel into the file.
struct ArchiveOutput
{
    QSaveFile* file;
    ParallelGzipWriter* gzip;

    QString ErrorString() const
    {
        return file->error() != QFileDevice::NoError ? file->errorString() : gzip->ErrorString();
    }
};

la_ssize_t WriteToOutput(archive* handle, void* client, const void* buffer, size_t length)
{
    auto* output = static_cast<ArchiveOutput*>(client);
    if (!output->gzip->Write(static_cast<const char*>(buffer), qint64(length))) {
        archive_set_error(handle, EIO, "%s", output->ErrorString().toLocal8Bit().constData());
        return -1;
    }
    return la_ssize_t(length);
}

// Closed members are copied from the spill file into the archive in pieces of this size.
constexpr qint64 kCopyChunkSize = 256 << 10;

bool WriteAll(archive* handle, const char* data, qint64 length)
{
    for (qint64 done = 0; done < length;) {
        const la_ssize_t n = archive_write_data(handle, data + done, size_t(length - done));
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

struct WriteHandleDeleter
{
    void operator()(archive* handle) const { archive_write_free(handle); }
};

struct EntryDeleter
{
    void operator()(archive_entry* entry) const { archive_entry_free(entry); }
};

} // namespace

// ---------------------------------------------------------------------------------------
// Reading

ReadingArchivedStream::ReadingArchivedStream(const QString& archivePath, const QString& memberPath)
{
    const QString archiveFile = ArchivePaths::StripDecodePrefix(archivePath);
    bool valid = true;
    const QString path = ArchivePaths::NormalizeMemberPath(memberPath, &valid);
    if (!valid || path.isEmpty())
        return;
    index_ = ArchiveIndexCache::Get(archiveFile);
    if (!index_)
        return;
    member_ = index_->Find(path);
    if (!member_ || member_->type != ArchiveMember::Type::Regular || member_->tooLarge)
        return;
    if (!member_->held) {
        // Too large to be held by the index: walk to it. The first header of that path is
        // the one the index found.
        handle_ = OpenArchiveForReading(archiveFile);
        if (!handle_)
            return;
        archive_entry* header = nullptr;
        bool positioned = false;
        int result;
        while ((result = archive_read_next_header(handle_.get(), &header)) == ARCHIVE_OK || result == ARCHIVE_WARN) {
            if (ArchivePaths::NormalizeMemberPath(EntryPath(header)) == path) {
                positioned = archive_entry_filetype(header) == AE_IFREG;
                break;
            }
        }
        if (!positioned) {
            handle_.reset();
            return;
        }
    }
    found_ = true;
    size_ = member_->size;
    remaining_ = size_;
}

ReadingArchivedStream::~ReadingArchivedStream() = default;

qint64 ReadingArchivedStream::Read(char* buffer, qint64 maximum)
{
    if (!found_ || maximum < 0)
        return -1;
    if (remaining_ <= 0 || maximum == 0)
        return 0;
    const qint64 wanted = qMin(maximum, remaining_);
    qint64 got = 0;
    if (member_->held) {
        if (!index_->ReadHeld(*member_, size_ - remaining_, buffer, wanted))
            return -1;
        got = wanted;
    } else {
        const la_ssize_t result = archive_read_data(handle_.get(), buffer, size_t(wanted));
        // The header promised more bytes than the archive holds: damaged.
        if (result <= 0)
            return -1;
        got = result;
    }
    remaining_ -= got;
    return got;
}

// ---------------------------------------------------------------------------------------
// Writing: the shared streams

std::shared_ptr<WritingArchivedStream> WritingArchivedStream::Request(const QString& archiveFile)
{
    qCDebug(lcArchiveStreams, "Request Stream");
    QMutexLocker lock(&streamMapMutex);
    SharedStream& shared = writingStreamMap[archiveFile];
    if (!shared.stream) {
        qCDebug(lcArchiveStreams, "New Stream Created");
        shared.stream = std::make_shared<WritingArchivedStream>(archiveFile);
    }
    ++shared.users;
    return shared.stream;
}

std::shared_ptr<WritingArchivedStream> WritingArchivedStream::Join(const QString& archiveFile)
{
    QMutexLocker lock(&streamMapMutex);
    auto it = writingStreamMap.find(archiveFile);
    if (it == writingStreamMap.end())
        return nullptr;
    qCDebug(lcArchiveStreams, "Request Stream");
    ++it->users;
    return it->stream;
}

std::optional<ArchiveResult> WritingArchivedStream::Release(const QString& archiveFile)
{
    std::shared_ptr<WritingArchivedStream> last;
    {
        QMutexLocker lock(&streamMapMutex);
        auto it = writingStreamMap.find(archiveFile);
        if (it == writingStreamMap.end())
            return std::nullopt;
        qCDebug(lcArchiveStreams, "Stream Released");
        if (--it->users > 0)
            return std::nullopt;
        qCDebug(lcArchiveStreams, "Stream Deleted");
        last = std::move(it->stream);
        writingStreamMap.erase(it);
    }
    // Written outside the map's lock: other archives stay usable meanwhile, and a new
    // request for this path starts a fresh stream that commits after this one.
    return last->WriteArchive();
}

std::shared_ptr<WritingArchivedStream> WritingArchivedStream::Find(const QString& archiveFile)
{
    QMutexLocker lock(&streamMapMutex);
    const auto it = writingStreamMap.constFind(archiveFile);
    return it == writingStreamMap.constEnd() ? nullptr : it->stream;
}

WritingArchivedStream::WritingArchivedStream(const QString& archiveFile) : archiveFile_(archiveFile) {}

WritingArchivedStream::~WritingArchivedStream() = default;

// ---------------------------------------------------------------------------------------
// Writing: members

std::shared_ptr<WritingArchivedStream::FileEntry> WritingArchivedStream::OpenEntry(QIODevice::OpenMode mode,
                                                                                    const QString& path)
{
    if (path.isEmpty() || !(mode & QIODevice::WriteOnly))
        return nullptr;
    QMutexLocker lock(&mutex_);
    entries_.remove(DirectoryKey(path));
    auto file = std::dynamic_pointer_cast<FileEntry>(entries_.value(path));
    if (!file) {
        file = std::make_shared<FileEntry>();
        file->path_ = path;
        entries_.insert(path, file);
    }
    const bool truncates = (mode & QIODevice::Truncate) ||
                           !(mode & (QIODevice::Append | QIODevice::ReadOnly));
    if (truncates) {
        file->data_.clear();
        file->size_ = 0;
    } else if (file->openCount_ == 0 && file->size_ > 0 && failure_.isEmpty()) {
        // Kept: its bytes come back from the spill file while it is open.
        file->data_.resize(file->size_);
        if (!spill_.ReadAt(file->spillOffset_, file->data_.data(), file->size_))
            failure_ = QStringLiteral("\"%1\" could not be read back from its temporary file").arg(path);
    }
    ++file->openCount_;
    return file;
}

void WritingArchivedStream::CloseEntry(FileEntry& entry)
{
    QMutexLocker lock(&mutex_);
    if (entry.openCount_ == 0 || --entry.openCount_ > 0)
        return;
    const QByteArray data = std::exchange(entry.data_, {});
    // An entry replaced meanwhile (a folder made in its place) is no member any more, and
    // after a failure nothing is written at all.
    if (entries_.value(entry.path_).get() != &entry || discarded_ || !failure_.isEmpty() || data.isEmpty())
        return;
    const qint64 offset = spill_.Append(data.constData(), data.size());
    if (offset < 0)
        failure_ = QStringLiteral("\"%1\" could not be set aside: %2").arg(entry.path_, spill_.ErrorString());
    entry.spillOffset_ = offset;
}

qint64 WritingArchivedStream::Write(FileEntry& entry, qint64 position, const char* data, qint64 length)
{
    if (length < 0 || position < 0)
        return -1;
    QMutexLocker lock(&mutex_);
    const qint64 end = position + length;
    if (end > ArchiveLimits::MemberSizeCap(entry.path_))
        return -1;
    if (end > entry.data_.size()) {
        entry.data_.resize(end);
        entry.size_ = end;
    }
    std::memcpy(entry.data_.data() + position, data, size_t(length));
    return length;
}

bool WritingArchivedStream::AddDirectory(const QString& path)
{
    if (path.isEmpty())
        return false;
    QMutexLocker lock(&mutex_);
    entries_.remove(path);
    entries_.insert(DirectoryKey(path), std::make_shared<DirectoryEntry>());
    return true;
}

QList<std::pair<QString, ArchiveMember::Type>> WritingArchivedStream::Members() const
{
    QMutexLocker lock(&mutex_);
    QList<std::pair<QString, ArchiveMember::Type>> members;
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it) {
        if (it.key().startsWith(u'/'))
            members.append({it.key().mid(1), ArchiveMember::Type::Directory});
        else
            members.append({it.key(), ArchiveMember::Type::Regular});
    }
    return members;
}

bool WritingArchivedStream::Contains(const QString& path, bool* isDirectory) const
{
    QMutexLocker lock(&mutex_);
    if (entries_.contains(path)) {
        *isDirectory = false;
        return true;
    }
    if (entries_.contains(DirectoryKey(path))) {
        *isDirectory = true;
        return true;
    }
    const QString below = path + QLatin1Char('/');
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it) {
        const QString member = it.key().startsWith(u'/') ? it.key().mid(1) : it.key();
        if (member.startsWith(below)) {
            *isDirectory = true;
            return true;
        }
    }
    return false;
}

qint64 WritingArchivedStream::FileSize(const QString& path) const
{
    QMutexLocker lock(&mutex_);
    auto file = std::dynamic_pointer_cast<FileEntry>(entries_.value(path));
    return file ? file->Size() : 0;
}

qint64 WritingArchivedStream::HeldBytes() const
{
    QMutexLocker lock(&mutex_);
    qint64 held = 0;
    for (const auto& entry : entries_) {
        if (const auto* file = dynamic_cast<const FileEntry*>(entry.get()))
            held += file->data_.size();
    }
    return held;
}

void WritingArchivedStream::Discard()
{
    QMutexLocker lock(&mutex_);
    discarded_ = true;
}

void WritingArchivedStream::Fail(const QString& reason)
{
    QMutexLocker lock(&mutex_);
    if (failure_.isEmpty())
        failure_ = reason;
}

// ---------------------------------------------------------------------------------------
// Writing: the archive

ArchiveResult WritingArchivedStream::WriteArchive()
{
    QMutexLocker lock(&mutex_);
    const QMap<QString, std::shared_ptr<FileSystemEntry>> entries = std::exchange(entries_, {});
    if (discarded_)
        return ArchiveResult::Success();

    auto failure = [this](const QString& reason) {
        return ArchiveResult::Failure(
            QStringLiteral("The package \"%1\" could not be written: %2").arg(archiveFile_, reason));
    };
    if (!failure_.isEmpty())
        return failure(failure_);

    QSaveFile file(archiveFile_);
    if (!file.open(QIODevice::WriteOnly))
        return failure(file.errorString());

    // libarchive makes the plain tar stream; it is gzip-compressed on several threads.
    ParallelGzipWriter gzip([&file](const char* data, qint64 length) { return file.write(data, length) == length; });
    ArchiveOutput output{&file, &gzip};
    std::unique_ptr<archive, WriteHandleDeleter> handle(archive_write_new());
    if (!handle || archive_write_add_filter_none(handle.get()) != ARCHIVE_OK ||
        archive_write_set_format_ustar(handle.get()) != ARCHIVE_OK ||
        archive_write_open2(handle.get(), &output, nullptr, WriteToOutput, nullptr, nullptr) != ARCHIVE_OK)
        return failure(ErrorText(handle.get()));

    std::unique_ptr<archive_entry, EntryDeleter> header(archive_entry_new());
    QByteArray chunk(kCopyChunkSize, Qt::Uninitialized);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        archive_entry_clear(header.get());
        // The name goes in as raw UTF-8 bytes: libarchive copies them unconverted into a
        // ustar header, whatever the process locale (its UTF-8 setters lose the name when
        // the locale cannot represent it).
        archive_entry_set_pathname(header.get(), it.key().toUtf8().constData());
        archive_entry_set_mtime(header.get(), now, 0);
        const auto* fileEntry = dynamic_cast<const FileEntry*>(it.value().get());
        if (fileEntry) {
            archive_entry_set_filetype(header.get(), AE_IFREG);
            archive_entry_set_perm(header.get(), kFilePermissions);
            archive_entry_set_size(header.get(), fileEntry->Size());
        } else {
            archive_entry_set_filetype(header.get(), AE_IFDIR);
            archive_entry_set_perm(header.get(), kDirectoryPermissions);
            archive_entry_set_size(header.get(), 0);
        }
        if (archive_write_header(handle.get(), header.get()) != ARCHIVE_OK)
            return failure(QStringLiteral("%1: %2").arg(it.key(), ErrorText(handle.get())));
        if (fileEntry) {
            // A member still open (a writer that never closed it) is in memory; the
            // others are read back from the spill file a chunk at a time.
            const bool inMemory = fileEntry->openCount_ > 0;
            const qint64 size = fileEntry->Size();
            for (qint64 done = 0; done < size;) {
                const qint64 length = qMin<qint64>(size - done, kCopyChunkSize);
                const char* bytes = fileEntry->data_.constData() + done;
                if (!inMemory) {
                    if (!spill_.ReadAt(fileEntry->spillOffset_ + done, chunk.data(), length))
                        return failure(QStringLiteral("%1: its bytes could not be read back from the temporary file")
                                           .arg(it.key()));
                    bytes = chunk.constData();
                }
                if (!WriteAll(handle.get(), bytes, length))
                    return failure(QStringLiteral("%1: %2").arg(it.key(), ErrorText(handle.get())));
                done += length;
            }
        }
    }
    if (archive_write_close(handle.get()) != ARCHIVE_OK)
        return failure(ErrorText(handle.get()));
    if (!gzip.Finish())
        return failure(output.ErrorString());
    // The last bytes are still in the file's buffer, and commit() would not notice their
    // write failing (it would put a truncated archive in place): flush them first.
    if (!file.flush())
        return failure(file.errorString());
    if (!file.commit())
        return failure(file.errorString());
    ArchiveIndexCache::Forget(archiveFile_);
    return ArchiveResult::Success();
}

} // namespace ArchiveLibInterface
