#include "library/PackageTransfer.h"

#include "content/operations/ContentCopyOperation.h"
#include "content/operations/ContentDeleteOperation.h"
#include "content/operations/ContentSteps.h"
#include "content/operations/ContentSyncOperation.h"
#include "content/policies/NamedPolicies.h"
#include "library/archive/CustomFileSystemEngineHandler.h"
#include "library/config/ConfigFile.h"
#include "library/config/StoreHold.h"
#include "library/mosavra/MosavraContentImport.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"
#include "library/user/ContentLibraryRoot.h"

#include <QFileInfo>

#include <memory>

namespace PackageTransfer {
namespace {

// Every package the libraries write has its config.xml (it names the package's family): a
// file without one is no package, or a damaged one.
ArchiveResult CheckReadable(const QString& archivePath)
{
    if (!ContentLibraryPackageFile::IsValidPath(archivePath) || !FileLayer::IsFile(FileLayer::FilePath(archivePath, LibraryConfig::kFileName)))
        return ArchiveResult::Failure(QStringLiteral("\"%1\" can't be read as a package").arg(archivePath));
    return ArchiveResult::Success();
}

// A package of which some part could not be read (a damaged archive, members that no
// image family loads) is not taken in part.
ArchiveResult CheckWhole(ContentFolder* package, const QString& archivePath)
{
    if (const ContentFolder* unread = UnreadFolder(package)) {
        return ArchiveResult::Failure(
            QStringLiteral("\"%1\" can't be read whole: %2 could not be read").arg(archivePath, unread->GetName()));
    }
    return ArchiveResult::Success();
}

ArchiveResult Ran(bool succeeded, const QString& what)
{
    return succeeded ? ArchiveResult::Success() : ArchiveResult::Failure(QStringLiteral("%1 did not complete").arg(what));
}

// The child of `root` that is not among `before`: what a copy into the root made.
ContentBase* NewChild(ContentFolder* root, const QList<ContentBase*>& before)
{
    for (ContentBase* child : ChildrenOf(root)) {
        if (!before.contains(child))
            return child;
    }
    return nullptr;
}

} // namespace

ArchiveResult ExportPackage(ContentFolder* package, const QString& archivePath, const OperationRunner& run)
{
    const QList<ContentBase*> children = ChildrenOf(package);
    if (children.isEmpty())
        return ArchiveResult::Failure(QStringLiteral("%1 is empty: there is nothing to export").arg(package->GetName()));

    CustomFileSystemEngineHandler::ArchiveWriterEnabler writing(archivePath);
    if (writing.ArchiveFile().isEmpty())
        return writing.Commit();
    bool exported = false;
    ArchiveResult configsWritten = ArchiveResult::Success();
    {
        std::unique_ptr<ContentFolder> destination;
        if (qobject_cast<MosavraContentLibraryPackage*>(package))
            destination = std::make_unique<MosavraContentLibraryPackageDestinationFile>(PolicyOf(package), archivePath);
        else
            destination = std::make_unique<ContentLibraryPackageDestinationFile>(PolicyOf(package), archivePath);
        // Each folder's config.xml goes into the archive once, at the end, rather than again
        // for every image added to it.
        LibraryConfig::StoreHold configs(archivePath, LibraryConfig::StoreHold::Top::Included);
        ContentCopyOperation copy;
        copy.SetItems(children);
        copy.SetTarget(destination.get());
        exported = run(copy);
        if (exported)
            configsWritten = configs.Write();
    }
    if (!exported || !configsWritten) {
        writing.Discard();
        return configsWritten ? Ran(false, QStringLiteral("The export of %1").arg(package->GetName())) : configsWritten;
    }
    return writing.Commit();
}

ArchiveResult ImportPackage(const QString& archivePath, ContentLibraryRoot* root, const OperationRunner& run)
{
    CustomFileSystemEngineHandler::ArchiveReaderEnabler reading(archivePath);
    if (const ArchiveResult readable = CheckReadable(archivePath); !readable)
        return readable;
    ContentLibraryPackageFile package(BREVANTContentPackagePolicy::Instance(), nullptr,
                                      QFileInfo(archivePath).completeBaseName(), archivePath);
    if (const ArchiveResult whole = CheckWhole(&package, archivePath); !whole)
        return whole;
    // The new package's config.xml files are written once each when the copy is done, not
    // once for every image added; and an import that fails takes back the package it began,
    // so that a package is imported whole or not at all.
    const QList<ContentBase*> before = ChildrenOf(root);
    LibraryConfig::StoreHold configs(root->DirPath(), LibraryConfig::StoreHold::Top::Excluded);
    ContentCopyOperation copy;
    copy.SetItems({&package});
    copy.SetTarget(root);
    const bool copied = run(copy);
    const ArchiveResult written = copied ? configs.Write() : ArchiveResult::Success();
    if (copied && written)
        return ArchiveResult::Success();
    if (ContentBase* begun = NewChild(root, before)) {
        ContentDeleteOperation removal;
        removal.SetItems({begun});
        run(removal);
    }
    configs.Write(); // what is still held of the package taken back: nothing, or what stayed
    if (!written)
        return written;
    return Ran(false, QStringLiteral("The import of %1").arg(package.GetName()));
}

ArchiveResult ImportCollages(const QString& archivePath, MosavraContentLibraryPackage* package,
                             const OperationRunner& run)
{
    CustomFileSystemEngineHandler::ArchiveReaderEnabler reading(archivePath);
    if (const ArchiveResult readable = CheckReadable(archivePath); !readable)
        return readable;
    const bool second = qobject_cast<CindralMosavraContentLibraryPackage*>(package) != nullptr;
    PolicyBase* policy = second ? static_cast<PolicyBase*>(CINDRALMOSAVRAContentPackagePolicy::Instance())
                                : BREVANTMOSAVRAContentPackagePolicy::Instance();
    MosavraContentLibraryPackageFile collages(policy, nullptr, QFileInfo(archivePath).completeBaseName(), archivePath);
    if (const ArchiveResult whole = CheckWhole(&collages, archivePath); !whole)
        return whole;
    std::unique_ptr<MosavraContentImport> import;
    if (second)
        import = std::make_unique<CindralMosavraContentImport>();
    else
        import = std::make_unique<BrevantMosavraContentImport>();
    import->SetFolder(package);
    import->SetSource(&collages);
    return Ran(run(*import), QStringLiteral("The import of %1").arg(collages.GetName()));
}

} // namespace PackageTransfer
