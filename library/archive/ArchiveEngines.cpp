#include "library/archive/ArchiveEngines.h"

#include "library/archive/EncryptedRecord.h"
#include "library/archive/StockContentKey.h"

#include <QFileInfo>
#include <QSet>

#include <cstring>

using ArchiveLibInterface::ArchiveIndexCache;
using ArchiveLibInterface::ArchiveMember;
using ArchiveLibInterface::ReadingArchivedStream;
using ArchiveLibInterface::WritingArchivedStream;

QStringList ListArchiveMembers(const QList<std::pair<QString, ArchiveMember::Type>>& members, const QString& parent,
                               QDir::Filters filters, const QStringList& nameFilters)
{
    if (filters == QDir::NoFilter)
        filters = QDir::AllEntries;
    const bool allDirs = filters.testFlag(QDir::AllDirs);
    const bool wantDirs = allDirs || filters.testFlag(QDir::Dirs);
    const bool wantFiles = filters.testFlag(QDir::Files);
    const ArchivePaths::WildcardMatcher matcher(nameFilters);

    QStringList names;
    QSet<QString> seen;
    for (const auto& [path, type] : members) {
        const bool isDirectory = type == ArchiveMember::Type::Directory;
        const bool isFile = type == ArchiveMember::Type::Regular;
        if (!(wantDirs && isDirectory) && !(wantFiles && isFile))
            continue;
        const QString name = ArchivePaths::DirectChildName(path, parent);
        if (name.isEmpty() || (isDirectory && name == u"CVS"))
            continue;
        if (!(allDirs && isDirectory) && !matcher.Matches(path))
            continue;
        // An archive may hold a name twice (tar appends); a folder lists it once.
        if (!seen.contains(name)) {
            seen.insert(name);
            names.append(name);
        }
    }
    return names;
}

// ---------------------------------------------------------------------------------------

ArchiveEngine::ArchiveEngine(const ArchivePaths::PackagePath& path) : path_(path) {}

ArchiveEngine::~ArchiveEngine() = default;

bool ArchiveEngine::mkdir(const QString&, bool) const
{
    return false;
}

QString ArchiveEngine::fileName(FileName kind) const
{
    // The archive itself is named as a folder.
    const QString name = IsArchiveRoot() && path_.name.size() == path_.archivePath.size()
                             ? path_.name + QLatin1Char('/')
                             : path_.name;
    switch (kind) {
    case DefaultName:
    case AbsoluteName:
        return name;
    case BaseName: {
        const QStringList parts = ArchivePaths::PathParts(name);
        return parts.isEmpty() ? QString() : parts.last().section(u'.', 0, 0);
    }
    case PathName:
        return name.endsWith(u'/') ? name : QString();
    }
    return QString();
}

bool ArchiveEngine::ArchiveExists() const
{
    return QFileInfo(path_.archiveFile).isFile();
}

// ---------------------------------------------------------------------------------------

ArchiveReader::ArchiveReader(const ArchivePaths::PackagePath& path) : ArchiveEngine(path) {}

ArchiveReader::~ArchiveReader() = default;

bool ArchiveReader::open(QIODevice::OpenMode)
{
    if (!stream_) {
        stream_ = std::make_unique<ReadingArchivedStream>(path_.archiveFile, path_.innerPath);
        if (!stream_->Found())
            stream_.reset();
    }
    return stream_ != nullptr;
}

bool ArchiveReader::close()
{
    stream_.reset();
    return false;
}

qint64 ArchiveReader::size() const
{
    const auto index = ArchiveIndexCache::Get(path_.archiveFile);
    const ArchiveMember* member = index ? index->Find(path_.innerPath) : nullptr;
    return member ? member->size : 0;
}

QStringList ArchiveReader::entryList(QDir::Filters filters, const QStringList& nameFilters) const
{
    const auto index = ArchiveIndexCache::Get(path_.archiveFile);
    if (!index)
        return {};
    QList<std::pair<QString, ArchiveMember::Type>> members;
    for (const ArchiveMember* member : index->MembersIn(path_.innerPath))
        members.append({member->path, member->type});
    return ListArchiveMembers(members, path_.innerPath, filters, nameFilters);
}

qint64 ArchiveReader::read(char* data, qint64 maximum)
{
    return stream_ ? stream_->Read(data, maximum) : -1;
}

qint64 ArchiveReader::ReadStored(char* data, qint64 length)
{
    qint64 done = 0;
    while (done < length) {
        const qint64 got = ArchiveReader::read(data + done, length - done);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

bool ArchiveReader::Exists() const
{
    if (!ArchiveExists())
        return false;
    if (IsArchiveRoot())
        return true;
    const auto index = ArchiveIndexCache::Get(path_.archiveFile);
    return index && (index->Find(path_.innerPath) || index->HasMembersBelow(path_.innerPath));
}

bool ArchiveReader::IsDirectory() const
{
    if (IsArchiveRoot())
        return ArchiveExists();
    const auto index = ArchiveIndexCache::Get(path_.archiveFile);
    if (!index)
        return false;
    if (const ArchiveMember* member = index->Find(path_.innerPath))
        return member->type == ArchiveMember::Type::Directory;
    return index->HasMembersBelow(path_.innerPath);
}

bool ArchiveReader::IsListable() const
{
    if (!IsDirectory())
        return false;
    const auto index = ArchiveIndexCache::Get(path_.archiveFile);
    return index && index->IsComplete();
}

// ---------------------------------------------------------------------------------------

EncryptedArchiveReader::EncryptedArchiveReader(const ArchivePaths::PackagePath& path)
    : ArchiveReader(path), record_(EncryptedRecord::kMaxPlainLength, '\0'),
      scratch_(EncryptedRecord::kMaxPlainLength, '\0')
{
    cipher_.SetSizes(128, 128);
    cipher_.SetDecryptKey(StockContentKey.data());
}

bool EncryptedArchiveReader::open(QIODevice::OpenMode mode)
{
    if (!IsOpen()) {
        waiting_ = 0;
        offset_ = 0;
        ended_.reset();
    }
    return ArchiveReader::open(mode);
}

bool EncryptedArchiveReader::close()
{
    // Decrypted bytes belong to the member that was open; a reopen starts afresh.
    waiting_ = 0;
    offset_ = 0;
    ended_.reset();
    return ArchiveReader::close();
}

qint64 EncryptedArchiveReader::ReadRecord(char* buffer, qint64 capacity)
{
    using namespace EncryptedRecord;
    if (!IsOpen())
        return 0;
    char field[kLengthFieldSize];
    const qint64 got = ReadStored(field, kLengthFieldSize);
    if (got == 0)
        return 0;
    if (got != kLengthFieldSize)
        return -1;
    const qint64 length = ParseLengthField(field);
    if (length < 0 || length > capacity || length > kMaxPlainLength)
        return -1;
    const qint64 padded = PaddedLength(length);
    if (padded == 0)
        return 0;
    if (ReadStored(scratch_.data(), padded) != padded)
        return -1;
    // The pad bytes land in `record_` behind the plain bytes; they are not checked.
    auto* in = reinterpret_cast<const unsigned char*>(scratch_.constData());
    auto* out = reinterpret_cast<unsigned char*>(record_.data());
    if (!cipher_.Decrypt(in, out, int(padded / kBlockSize), AesCipher::CBC))
        return -1;
    if (buffer != record_.data())
        std::memcpy(buffer, record_.constData(), size_t(length));
    return length;
}

qint64 EncryptedArchiveReader::read(char* data, qint64 maximum)
{
    if (maximum < 0)
        return -1;
    if (ended_)
        return *ended_;
    if (waiting_ == 0) {
        const qint64 length = ReadRecord(record_.data(), EncryptedRecord::kMaxPlainLength);
        if (length <= 0) {
            ended_ = length;
            return length;
        }
        waiting_ = length;
        offset_ = 0;
    }
    const qint64 n = qMin(waiting_, maximum);
    std::memcpy(data, record_.constData() + offset_, size_t(n));
    offset_ += n;
    waiting_ -= n;
    return n;
}

// ---------------------------------------------------------------------------------------

ArchiveWriter::ArchiveWriter(const ArchivePaths::PackagePath& path, const QString& archiveFile)
    : ArchiveEngine(path), streamKey_(archiveFile)
{
}

ArchiveWriter::~ArchiveWriter()
{
    if (auto result = ReleaseStream(); result && !result->Ok())
        qWarning("%s", qPrintable(result->Message()));
}

std::shared_ptr<WritingArchivedStream> ArchiveWriter::Stream() const
{
    return stream_ ? stream_ : WritingArchivedStream::Find(streamKey_);
}

void ArchiveWriter::CloseMember()
{
    if (entry_ && stream_)
        stream_->CloseEntry(*entry_);
    entry_.reset();
    position_ = 0;
}

std::optional<ArchiveResult> ArchiveWriter::ReleaseStream()
{
    CloseMember();
    if (!stream_)
        return std::nullopt;
    stream_.reset();
    return WritingArchivedStream::Release(streamKey_);
}

void ArchiveWriter::FailArchive(const QString& reason)
{
    if (const auto stream = Stream())
        stream->Fail(reason);
}

bool ArchiveWriter::open(QIODevice::OpenMode mode)
{
    if (IsArchiveRoot() || !(mode & QIODevice::WriteOnly))
        return false;
    if (!stream_)
        stream_ = WritingArchivedStream::Join(streamKey_);
    if (!stream_)
        return false;
    CloseMember();
    entry_ = stream_->OpenEntry(mode, path_.innerPath);
    position_ = entry_ && (mode & QIODevice::Append) ? entry_->Size() : 0;
    return entry_ != nullptr;
}

bool ArchiveWriter::close()
{
    CloseMember();
    return true;
}

qint64 ArchiveWriter::size() const
{
    const auto stream = Stream();
    return stream ? stream->FileSize(path_.innerPath) : 0;
}

bool ArchiveWriter::mkdir(const QString& dirName, bool) const
{
    const auto target = ArchivePaths::SplitPackagePath(dirName);
    const auto stream = Stream();
    if (!stream || !target || target->archivePath != path_.archivePath || target->innerPath.isEmpty())
        return false;
    return stream->AddDirectory(target->innerPath);
}

QStringList ArchiveWriter::entryList(QDir::Filters filters, const QStringList& nameFilters) const
{
    const auto stream = Stream();
    return stream ? ListArchiveMembers(stream->Members(), path_.innerPath, filters, nameFilters) : QStringList();
}

qint64 ArchiveWriter::write(const char* data, qint64 length)
{
    return WriteStored(data, length);
}

qint64 ArchiveWriter::WriteStored(const char* data, qint64 length)
{
    if (!stream_ || !entry_)
        return -1;
    const qint64 written = stream_->Write(*entry_, position_, data, length);
    if (written > 0)
        position_ += written;
    return written;
}

bool ArchiveWriter::Exists() const
{
    if (IsArchiveRoot())
        return true;
    bool directory = false;
    const auto stream = Stream();
    return stream && stream->Contains(path_.innerPath, &directory);
}

bool ArchiveWriter::IsDirectory() const
{
    if (IsArchiveRoot())
        return true;
    bool directory = false;
    const auto stream = Stream();
    return stream && stream->Contains(path_.innerPath, &directory) && directory;
}

// ---------------------------------------------------------------------------------------

EncryptedArchiveWriter::EncryptedArchiveWriter(const ArchivePaths::PackagePath& path, const QString& archiveFile)
    : ArchiveWriter(path, archiveFile)
{
    cipher_.SetSizes(128, 128);
    cipher_.SetEncryptKey(StockContentKey.data());
}

qint64 EncryptedArchiveWriter::write(const char* data, qint64 length)
{
    if (length < 0)
        return -1;
    // An empty record would end the member for its reader.
    if (length == 0)
        return 0;
    const qint64 n = qMin(length, EncryptedRecord::kMaxPlainLength);
    const QByteArray record = EncryptedRecord::Encode(cipher_, data, n);
    if (record.isEmpty() || WriteStored(record.constData(), record.size()) != record.size())
        return 0;
    return n;
}
