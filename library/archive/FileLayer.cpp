#include "library/archive/FileLayer.h"

#include "library/archive/ArchiveEngines.h"
#include "library/archive/ArchiveLimits.h"
#include "library/archive/ArchivePaths.h"
#include "library/archive/CustomFileSystemEngineHandler.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <exception>

namespace FileLayer {
namespace {

// The engine for a path (resolved and absolute), or null for a plain path. A cipher that
// cannot be made leaves the path unreadable rather than plain.
std::unique_ptr<ArchiveEngine> EngineFor(const QString& absolute, bool* failed = nullptr)
{
    try {
        return CustomFileSystemEngineHandler::create(absolute);
    } catch (const std::exception&) {
        if (failed)
            *failed = true;
        return nullptr;
    }
}

// Is `name` one of the search-path prefixes ("Firmware:...")? Like Qt, a prefix has at
// least two characters, so a drive letter is not one.
bool SplitSearchPath(const QString& path, QString* prefix, QString* rest)
{
    const qsizetype colon = path.indexOf(u':');
    if (colon < 2)
        return false;
    *prefix = path.left(colon);
    *rest = path.mid(colon + 1);
    return !QDir::searchPaths(*prefix).isEmpty();
}

QString WithPrefixOf(const QString& original, const QString& path)
{
    return ArchivePaths::HasDecodePrefix(original) ? ArchivePaths::kDecodePrefix + path : path;
}

void SortNames(QStringList* names, QDir::SortFlags sort)
{
    const Qt::CaseSensitivity cs = sort.testFlag(QDir::IgnoreCase) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    std::stable_sort(names->begin(), names->end(),
                     [cs](const QString& a, const QString& b) { return a.compare(b, cs) < 0; });
    if (sort.testFlag(QDir::Reversed))
        std::reverse(names->begin(), names->end());
}

QStringList ListPackageFolder(const ArchiveEngine& engine, const QStringList& nameFilters, QDir::Filters filters,
                              QDir::SortFlags sort)
{
    if (sort == QDir::NoSort || (sort & QDir::SortByMask) == QDir::Unsorted)
        return engine.entryList(filters, nameFilters);
    if (filters == QDir::NoFilter)
        filters = QDir::AllEntries;
    if (!(sort & (QDir::DirsFirst | QDir::DirsLast))) {
        QStringList names = engine.entryList(filters, nameFilters);
        SortNames(&names, sort);
        return names;
    }
    // Folders and files sorted apart, then joined in the order asked for.
    const QDir::Filters dirBits = filters & (QDir::Dirs | QDir::AllDirs);
    QStringList dirs = dirBits ? engine.entryList(dirBits, nameFilters) : QStringList();
    QStringList files = (filters & QDir::Files) ? engine.entryList(QDir::Files, nameFilters) : QStringList();
    SortNames(&dirs, sort & ~QDir::Reversed);
    SortNames(&files, sort & ~QDir::Reversed);
    QStringList names = sort.testFlag(QDir::DirsLast) ? files + dirs : dirs + files;
    if (sort.testFlag(QDir::Reversed))
        std::reverse(names.begin(), names.end());
    return names;
}

} // namespace

QString ResolveSearchPath(const QString& path)
{
    const QString bare = ArchivePaths::StripDecodePrefix(path);
    QString prefix;
    QString rest;
    if (!SplitSearchPath(bare, &prefix, &rest))
        return path;
    QString candidate;
    for (const QString& folder : QDir::searchPaths(prefix)) {
        candidate = WithPrefixOf(path, QDir::cleanPath(folder + QLatin1Char('/') + rest));
        if (Exists(candidate))
            break;
    }
    return candidate;
}

QString AbsolutePath(const QString& path)
{
    const QString resolved = ResolveSearchPath(path);
    const QString bare = ArchivePaths::StripDecodePrefix(resolved);
    const QString absolute = QDir::isAbsolutePath(bare) ? bare : QDir::current().absoluteFilePath(bare);
    return WithPrefixOf(resolved, QDir::cleanPath(absolute));
}

QString FilePath(const QString& dir, const QString& path)
{
    if (dir.isEmpty() || QDir::isAbsolutePath(ArchivePaths::StripDecodePrefix(path)))
        return path;
    const QString bare = ArchivePaths::StripDecodePrefix(dir);
    return WithPrefixOf(dir, QDir::cleanPath(bare + QLatin1Char('/') + path));
}

ArchiveResult CheckName(const QString& name)
{
    const QString problem = ArchivePaths::NameProblem(name);
    if (problem.isEmpty())
        return ArchiveResult::Success();
    return ArchiveResult::Failure(QStringLiteral("\"%1\" cannot be used as a file or folder name: %2")
                                      .arg(QString(name).replace(QChar(0), QStringLiteral("\\0")), problem));
}

QString ChildPath(const QString& dir, const QString& name, QString* error)
{
    if (dir.isEmpty()) {
        if (error)
            *error = QStringLiteral("\"%1\" has no folder to be in").arg(name);
        return QString();
    }
    const ArchiveResult check = CheckName(name);
    if (!check.Ok()) {
        if (error)
            *error = check.Message();
        return QString();
    }
    return FilePath(dir, name);
}

QString FileName(const QString& path)
{
    const QStringList parts = ArchivePaths::PathParts(ArchivePaths::StripDecodePrefix(path));
    return parts.isEmpty() ? QString() : parts.last();
}

QString BaseName(const QString& path)
{
    return FileName(path).section(u'.', 0, 0);
}

bool IsPackagePath(const QString& path)
{
    return EngineFor(AbsolutePath(path)) != nullptr;
}

bool Exists(const QString& path)
{
    const QString absolute = AbsolutePath(path);
    if (auto engine = EngineFor(absolute))
        return engine->Exists();
    return QFileInfo::exists(absolute);
}

bool IsDir(const QString& path)
{
    const QString absolute = AbsolutePath(path);
    if (auto engine = EngineFor(absolute))
        return engine->IsDirectory();
    return QFileInfo(absolute).isDir();
}

bool IsListable(const QString& path)
{
    const QString absolute = AbsolutePath(path);
    if (auto engine = EngineFor(absolute))
        return engine->IsListable();
    if (!QFileInfo(absolute).isDir())
        return false;
    // QDir lists an unreadable directory as an empty one; only opening it tells.
    DIR* dir = ::opendir(QFile::encodeName(absolute).constData());
    if (!dir)
        return false;
    ::closedir(dir);
    return true;
}

bool IsFile(const QString& path)
{
    const QString absolute = AbsolutePath(path);
    if (auto engine = EngineFor(absolute))
        return engine->Exists() && !engine->IsDirectory();
    return QFileInfo(absolute).isFile();
}

qint64 Size(const QString& path)
{
    const QString absolute = AbsolutePath(path);
    if (auto engine = EngineFor(absolute))
        return engine->size();
    return QFileInfo(absolute).size();
}

QStringList EntryList(const QString& dir, const QStringList& nameFilters, QDir::Filters filters,
                      QDir::SortFlags sort)
{
    const QString absolute = AbsolutePath(dir);
    if (auto engine = EngineFor(absolute))
        return ListPackageFolder(*engine, nameFilters, filters, sort);
    return QDir(absolute).entryList(nameFilters, filters, sort);
}

bool MakeDir(const QString& path)
{
    const QString absolute = AbsolutePath(path);
    if (auto engine = EngineFor(absolute))
        return engine->mkdir(absolute, false);
    return QDir().mkdir(absolute);
}

bool RemoveDir(const QString& path)
{
    const QString absolute = AbsolutePath(path);
    if (auto engine = EngineFor(absolute))
        return engine->rmdir(absolute, false);
    return QDir().rmdir(absolute);
}

bool Remove(const QString& path)
{
    const QString absolute = AbsolutePath(path);
    if (auto engine = EngineFor(absolute))
        return engine->remove();
    return QFile::remove(absolute);
}

bool Rename(const QString& from, const QString& to)
{
    const QString source = AbsolutePath(from);
    const QString target = AbsolutePath(to);
    if (auto engine = EngineFor(source))
        return engine->rename(target);
    if (EngineFor(target))
        return false;
    return QDir().rename(source, target);
}

// ---------------------------------------------------------------------------------------

File::File(const QString& path, QObject* parent) : QIODevice(parent), path_(path) {}

File::~File()
{
    if (isOpen()) {
        const ArchiveResult result = Close();
        if (!result.Ok())
            qWarning("%s", qPrintable(result.Message()));
    }
}

bool File::Fail(const QString& message)
{
    setErrorString(message);
    engine_.reset();
    plain_.reset();
    memberData_.clear();
    backend_ = Backend::None;
    return false;
}

bool File::open(OpenMode mode)
{
    if (isOpen())
        return Fail(QStringLiteral("\"%1\" is already open").arg(path_));
    if (!(mode & ReadWrite))
        return Fail(QStringLiteral("\"%1\": no access mode given").arg(path_));
    // What a refused name (ChildPath) leaves: no file at all, not the current folder.
    if (path_.isEmpty())
        return Fail(QStringLiteral("No file name was given"));
    const QString absolute = AbsolutePath(path_);
    bool cipherFailed = false;
    engine_ = EngineFor(absolute, &cipherFailed);
    if (cipherFailed)
        return Fail(QStringLiteral("\"%1\" cannot be decoded: no cipher is available").arg(path_));
    return engine_ ? OpenMember(*engine_, mode) : OpenPlain(absolute, mode);
}

bool File::OpenMember(ArchiveEngine& engine, OpenMode mode)
{
    const bool writer = engine.EngineKind() == ArchiveEngine::Kind::Writer ||
                        engine.EngineKind() == ArchiveEngine::Kind::EncryptedWriter;
    if ((mode & ReadWrite) == ReadWrite)
        return Fail(QStringLiteral("\"%1\": a package member cannot be read and written at once").arg(path_));

    if (mode & WriteOnly) {
        if (!writer)
            return Fail(QStringLiteral("\"%1\" is inside a package that is not being written").arg(path_));
        if (!engine.open(mode))
            return Fail(QStringLiteral("\"%1\" cannot be written").arg(path_));
        backend_ = Backend::MemberWrite;
        return QIODevice::open(mode | Unbuffered);
    }

    if (writer)
        return Fail(QStringLiteral("\"%1\" is inside a package being written").arg(path_));
    if (!engine.open(ReadOnly))
        return Fail(QStringLiteral("\"%1\" was not found in its package").arg(path_));
    // Members are small (bounded by their cap), and callers want a QFile-like device that
    // knows its size and seeks: the whole member is read now.
    const qint64 cap = ArchiveLimits::MemberSizeCap(engine.InnerPath());
    QByteArray data;
    char chunk[16384];
    while (true) {
        const qint64 got = engine.read(chunk, sizeof chunk);
        if (got < 0)
            return Fail(QStringLiteral("\"%1\" cannot be read: its package is damaged").arg(path_));
        if (got == 0)
            break;
        if (data.size() + got > cap)
            return Fail(QStringLiteral("\"%1\" is larger than a member of its kind may be").arg(path_));
        data.append(chunk, got);
    }
    engine.close();
    engine_.reset();
    memberData_ = std::move(data);
    backend_ = Backend::MemberRead;
    return QIODevice::open(mode | Unbuffered);
}

bool File::OpenPlain(const QString& absolute, OpenMode mode)
{
    const bool whole = (mode & WriteOnly) && !(mode & (ReadOnly | Append | NewOnly | ExistingOnly));
    fresh_ = false;
    // A whole file that is not there yet has no old contents to keep: it is made under its
    // own name, exclusively (so that nothing which appears meanwhile is overwritten), and
    // removed again when a write fails. This spares every new file of an import or a copy
    // the temporary file, the flush to disk and the rename.
    if (whole && !QFileInfo::exists(absolute)) {
        auto made = std::make_unique<QFile>(absolute);
        if (made->open(mode | NewOnly)) {
            plain_ = std::move(made);
            saving_ = false;
            fresh_ = true;
            backend_ = Backend::Plain;
            return QIODevice::open(mode | Unbuffered);
        }
    }
    // Writing over a whole file replaces it only once every byte is down; appending and
    // updating in place cannot work that way.
    saving_ = whole;
    if (saving_)
        plain_ = std::make_unique<QSaveFile>(absolute);
    else
        plain_ = std::make_unique<QFile>(absolute);
    if (!plain_->open(mode))
        return Fail(QStringLiteral("\"%1\" cannot be opened: %2").arg(path_, plain_->errorString()));
    backend_ = Backend::Plain;
    return QIODevice::open(mode | Unbuffered);
}

void File::NoteWriteFailure(const QString& reason)
{
    if (writeFailure_.isEmpty())
        writeFailure_ = QStringLiteral("\"%1\" could not be written: %2").arg(path_, reason);
    setErrorString(writeFailure_);
}

void File::close()
{
    const ArchiveResult result = Close();
    if (!result.Ok())
        qWarning("%s", qPrintable(result.Message()));
}

ArchiveResult File::Close()
{
    if (!isOpen())
        return ArchiveResult::Success();
    ArchiveResult result = ArchiveResult::Success();
    switch (backend_) {
    case Backend::MemberWrite:
        if (auto* writer = dynamic_cast<ArchiveWriter*>(engine_.get())) {
            if (auto written = writer->ReleaseStream())
                result = *written;
        }
        break;
    case Backend::Plain:
        if (saving_) {
            auto* saveFile = static_cast<QSaveFile*>(plain_.get());
            // commit() flushes the last buffered bytes itself but does not notice when
            // that write fails, and would put a truncated file in place: flush first.
            if (writeFailure_.isEmpty() && !saveFile->flush())
                NoteWriteFailure(saveFile->errorString());
            // A short write leaves the old file as it was.
            if (!writeFailure_.isEmpty())
                saveFile->cancelWriting();
            if (!saveFile->commit() && writeFailure_.isEmpty())
                result = ArchiveResult::Failure(
                    QStringLiteral("\"%1\" could not be written: %2").arg(path_, plain_->errorString()));
        } else {
            const bool flushed = !(openMode() & WriteOnly) || plain_->flush();
            if (!flushed)
                result = ArchiveResult::Failure(
                    QStringLiteral("\"%1\" could not be written: %2").arg(path_, plain_->errorString()));
            plain_->close();
            // A new file that did not take all its bytes goes again: no half file is left
            // under the name.
            if (fresh_ && (!flushed || !writeFailure_.isEmpty()))
                QFile::remove(plain_->fileName());
        }
        break;
    case Backend::MemberRead:
    case Backend::None:
        break;
    }
    if (!writeFailure_.isEmpty() && result.Ok())
        result = ArchiveResult::Failure(writeFailure_);
    writeFailure_.clear();
    engine_.reset();
    plain_.reset();
    memberData_.clear();
    backend_ = Backend::None;
    QIODevice::close();
    if (!result.Ok())
        setErrorString(result.Message());
    return result;
}

bool File::isSequential() const
{
    return backend_ == Backend::MemberWrite;
}

qint64 File::size() const
{
    switch (backend_) {
    case Backend::Plain: return plain_->size();
    case Backend::MemberRead: return memberData_.size();
    case Backend::MemberWrite: return engine_->size();
    case Backend::None: break;
    }
    return Size(path_);
}

bool File::seek(qint64 position)
{
    if (!QIODevice::seek(position))
        return false;
    return backend_ != Backend::Plain || plain_->seek(position);
}

qint64 File::readData(char* data, qint64 maximum)
{
    switch (backend_) {
    case Backend::Plain:
        return plain_->read(data, maximum);
    case Backend::MemberRead: {
        const qint64 n = qBound<qint64>(0, memberData_.size() - pos(), maximum);
        std::memcpy(data, memberData_.constData() + pos(), size_t(n));
        return n;
    }
    case Backend::MemberWrite:
    case Backend::None:
        break;
    }
    return -1;
}

qint64 File::writeData(const char* data, qint64 length)
{
    switch (backend_) {
    case Backend::Plain: {
        const qint64 done = plain_->write(data, length);
        if (done != length)
            NoteWriteFailure(plain_->error() != QFileDevice::NoError
                                 ? plain_->errorString()
                                 : QStringLiteral("the disk took %1 of %2 bytes").arg(qMax<qint64>(done, 0)).arg(length));
        return done;
    }
    case Backend::MemberWrite: {
        // An encrypting writer takes at most one record per call.
        qint64 done = 0;
        while (done < length) {
            const qint64 n = engine_->write(data + done, length - done);
            if (n <= 0)
                break;
            done += n;
        }
        if (done < length) {
            NoteWriteFailure(QStringLiteral("a member of its kind may not grow past %1 bytes")
                                 .arg(ArchiveLimits::MemberSizeCap(engine_->InnerPath())));
            if (auto* writer = dynamic_cast<ArchiveWriter*>(engine_.get()))
                writer->FailArchive(errorString());
        }
        return done == 0 && length > 0 ? -1 : done;
    }
    case Backend::MemberRead:
    case Backend::None:
        break;
    }
    return -1;
}

// ---------------------------------------------------------------------------------------

Dir::Dir() : path_(AbsolutePath(QStringLiteral("."))) {}

Dir::Dir(const QString& path) : path_(path.isEmpty() ? QString() : AbsolutePath(path)) {}

bool Dir::cd(const QString& name)
{
    const QString target = name == u".." ? FilePath(path_, name) : ChildPath(path_, name);
    if (target.isEmpty() || !IsDir(target))
        return false;
    path_ = AbsolutePath(target);
    return true;
}

bool Dir::exists(const QString& name) const
{
    const QString path = ChildPath(path_, name);
    return !path.isEmpty() && Exists(path);
}

bool Dir::mkdir(const QString& name) const
{
    const QString path = ChildPath(path_, name);
    return !path.isEmpty() && MakeDir(path);
}

bool Dir::rmdir(const QString& name) const
{
    const QString path = ChildPath(path_, name);
    return !path.isEmpty() && RemoveDir(path);
}

bool Dir::remove(const QString& name) const
{
    const QString path = ChildPath(path_, name);
    return !path.isEmpty() && Remove(path);
}

bool Dir::rename(const QString& oldName, const QString& newName) const
{
    const QString from = ChildPath(path_, oldName);
    const QString to = ChildPath(path_, newName);
    return !from.isEmpty() && !to.isEmpty() && Rename(from, to);
}

} // namespace FileLayer
