#include "library/archive/CustomFileSystemEngineHandler.h"

#include "library/archive/ArchiveIndex.h"
#include "library/archive/ArchivePaths.h"
#include "library/archive/FileLayer.h"

#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <QHash>
#include <QList>

#include <atomic>
#include <optional>

namespace {

using MemberEncoding = CustomFileSystemEngineHandler::MemberEncoding;

// One enabler's say on one archive.
struct Registration
{
    quint64 serial;  // the order the scopes were made in
    bool writer;
    MemberEncoding encoding;
};

QMutex stateMutex;
// The live registrations, by absolute archive file, oldest first.
QHash<QString, QList<Registration>> registrations;
quint64 nextSerial = 1;
std::atomic<int> suspendDepth{0};

// How `archiveFile` is written now, or nothing when it is read; stateMutex held.
std::optional<MemberEncoding> WriterEncodingLocked(const QString& archiveFile)
{
    const auto found = registrations.constFind(archiveFile);
    if (found == registrations.constEnd() || found->isEmpty() || !found->last().writer)
        return std::nullopt;
    return found->last().encoding;
}

QString AbsoluteArchiveFile(const QString& archiveFile)
{
    return ArchivePaths::StripDecodePrefix(FileLayer::AbsolutePath(archiveFile));
}

} // namespace

CustomFileSystemEngineHandler::CustomFileSystemEngineHandler() = default;

CustomFileSystemEngineHandler::~CustomFileSystemEngineHandler()
{
    ArchiveLibInterface::ArchiveIndexCache::Clear();
}

std::unique_ptr<ArchiveEngine> CustomFileSystemEngineHandler::create(const QString& fileName)
{
    if (!ArchiveHandlerActive())
        return nullptr;
    const auto path = ArchivePaths::SplitPackagePath(fileName);
    if (!path)
        return nullptr;
    // A real folder that merely has a package's extension is a plain path.
    if (QFileInfo(path->archiveFile).isDir())
        return nullptr;

    const QString archiveFile = AbsoluteArchiveFile(path->archiveFile);
    if (path->extension != u".qrvpkg") {
        QMutexLocker lock(&stateMutex);
        if (const std::optional<MemberEncoding> encoding = WriterEncodingLocked(archiveFile)) {
            if (*encoding == MemberEncoding::EncryptedRecords)
                return std::make_unique<EncryptedArchiveWriter>(*path, archiveFile);
            return std::make_unique<ArchiveWriter>(*path, archiveFile);
        }
    }
    if (path->decode && path->extension == u".qelpkg")
        return std::make_unique<EncryptedArchiveReader>(*path);
    return std::make_unique<ArchiveReader>(*path);
}

bool CustomFileSystemEngineHandler::ArchiveHandlerActive()
{
    return suspendDepth.load() == 0;
}

bool CustomFileSystemEngineHandler::ArchiveWriterMode()
{
    QMutexLocker lock(&stateMutex);
    for (auto it = registrations.constBegin(); it != registrations.constEnd(); ++it)
        if (WriterEncodingLocked(it.key()))
            return true;
    return false;
}

bool CustomFileSystemEngineHandler::IsWriterDestination(const QString& archivePath)
{
    const QString archiveFile = AbsoluteArchiveFile(archivePath);
    QMutexLocker lock(&stateMutex);
    return WriterEncodingLocked(archiveFile).has_value();
}

// ---------------------------------------------------------------------------------------

CustomFileSystemEngineHandler::Enabler::~Enabler()
{
    Unregister();
}

void CustomFileSystemEngineHandler::Enabler::Register(const QString& archiveFile, bool writer,
                                                      MemberEncoding encoding)
{
    Unregister();
    QMutexLocker lock(&stateMutex);
    archiveFile_ = archiveFile;
    serial_ = nextSerial++;
    registrations[archiveFile].append({serial_, writer, encoding});
}

void CustomFileSystemEngineHandler::Enabler::Unregister()
{
    QMutexLocker lock(&stateMutex);
    if (serial_ == 0)
        return;
    auto found = registrations.find(archiveFile_);
    if (found != registrations.end()) {
        found->removeIf([this](const Registration& registration) { return registration.serial == serial_; });
        if (found->isEmpty())
            registrations.erase(found);
    }
    serial_ = 0;
}

CustomFileSystemEngineHandler::ArchiveWriterEnabler::ArchiveWriterEnabler(const QString& archivePath,
                                                                          MemberEncoding encoding)
{
    const auto path = ArchivePaths::SplitPackagePath(FileLayer::AbsolutePath(archivePath));
    if (!path || !path->innerPath.isEmpty() || path->extension == u".qrvpkg" ||
        QFileInfo(path->archiveFile).isDir()) {
        refusal_ = QStringLiteral("\"%1\" is not a package that can be written").arg(archivePath);
        return;
    }
    archiveFile_ = path->archiveFile;
    ArchiveLibInterface::WritingArchivedStream::Request(archiveFile_);
    holding_ = true;
    Register(archiveFile_, true, encoding);
}

CustomFileSystemEngineHandler::ArchiveWriterEnabler::~ArchiveWriterEnabler()
{
    if (holding_) {
        const ArchiveResult result = Finish(false);
        if (!result.Ok())
            qWarning("%s", qPrintable(result.Message()));
    }
}

ArchiveResult CustomFileSystemEngineHandler::ArchiveWriterEnabler::Commit()
{
    return Finish(false);
}

void CustomFileSystemEngineHandler::ArchiveWriterEnabler::Discard()
{
    Finish(true);
}

ArchiveResult CustomFileSystemEngineHandler::ArchiveWriterEnabler::Finish(bool discard)
{
    if (!refusal_.isEmpty())
        return ArchiveResult::Failure(refusal_);
    if (result_)
        return *result_;
    Unregister();
    if (discard) {
        if (auto stream = ArchiveLibInterface::WritingArchivedStream::Find(archiveFile_))
            stream->Discard();
    }
    holding_ = false;
    const auto released = ArchiveLibInterface::WritingArchivedStream::Release(archiveFile_);
    result_ = released ? *released
                       : ArchiveResult::Failure(
                             QStringLiteral("The package \"%1\" is still open for writing; it will be written "
                                            "when its last file is closed")
                                 .arg(archiveFile_));
    return *result_;
}

CustomFileSystemEngineHandler::ArchiveReaderEnabler::ArchiveReaderEnabler(const QString& archivePath)
{
    if (const auto path = ArchivePaths::SplitPackagePath(FileLayer::AbsolutePath(archivePath)))
        Register(path->archiveFile, false, MemberEncoding::Plain);
}

CustomFileSystemEngineHandler::Suspender::Suspender()
{
    ++suspendDepth;
}

CustomFileSystemEngineHandler::Suspender::~Suspender()
{
    --suspendDepth;
}
