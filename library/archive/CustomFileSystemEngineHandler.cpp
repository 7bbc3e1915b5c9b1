#include "library/archive/CustomFileSystemEngineHandler.h"

#include "library/archive/ArchiveIndex.h"
#include "library/archive/ArchivePaths.h"
#include "library/archive/FileLayer.h"

#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <atomic>

namespace {

QMutex stateMutex;
// Writer destinations: absolute archive file → how its members are stored.
QHash<QString, CustomFileSystemEngineHandler::MemberEncoding> writerDestinations;
std::atomic<int> suspendDepth{0};

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
        const auto destination = writerDestinations.constFind(archiveFile);
        if (destination != writerDestinations.constEnd()) {
            if (*destination == MemberEncoding::EncryptedRecords)
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
    return !writerDestinations.isEmpty();
}

bool CustomFileSystemEngineHandler::IsWriterDestination(const QString& archivePath)
{
    const QString archiveFile = AbsoluteArchiveFile(archivePath);
    QMutexLocker lock(&stateMutex);
    return writerDestinations.contains(archiveFile);
}

// ---------------------------------------------------------------------------------------

CustomFileSystemEngineHandler::Enabler::Enabler()
{
    QMutexLocker lock(&stateMutex);
    saved_ = writerDestinations;
}

CustomFileSystemEngineHandler::Enabler::~Enabler()
{
    QMutexLocker lock(&stateMutex);
    writerDestinations = saved_;
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
    QMutexLocker lock(&stateMutex);
    writerDestinations.insert(archiveFile_, encoding);
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
    {
        QMutexLocker lock(&stateMutex);
        writerDestinations.remove(archiveFile_);
    }
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

CustomFileSystemEngineHandler::ArchiveReaderEnabler::ArchiveReaderEnabler()
{
    QMutexLocker lock(&stateMutex);
    writerDestinations.clear();
}

CustomFileSystemEngineHandler::Suspender::Suspender()
{
    ++suspendDepth;
}

CustomFileSystemEngineHandler::Suspender::~Suspender()
{
    --suspendDepth;
}
