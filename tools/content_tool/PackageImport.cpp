// content_tool package-import <file.qelpkg> <library folder>
// Imports a package archive into the user library in the folder (made if missing) as the
// program's Import does, the content operation on this thread.
#include "content/operations/ContentSteps.h"
#include "library/PackageTransfer.h"
#include "library/user/ContentLibraryRoot.h"
#include "tools/content_tool/CommandSupport.h"
#include "tools/content_tool/Commands.h"
#include "tools/content_tool/ConsoleRunner.h"

#include <QFileInfo>

#include <cstdio>

namespace ContentToolCommands {

int PackageImport(const QStringList& arguments)
{
    const QString archive = arguments.at(0);
    const QString libraryFolder = arguments.at(1);
    const ConsoleRunner run(QStringLiteral("package-import"));
    if (!QFileInfo(archive).isFile()) {
        run.Error(QStringLiteral("%1: no such file").arg(archive));
        return kFailed;
    }
    if (!MakeFolder(libraryFolder, run))
        return kFailed;
    ContentLibraryRoot root(QFileInfo(libraryFolder).absoluteFilePath());
    const QList<ContentBase*> before = ChildrenOf(&root);
    if (const ArchiveResult imported = PackageTransfer::ImportPackage(archive, &root, run); !imported) {
        run.Error(imported.Message());
        return kFailed;
    }
    for (ContentBase* child : ChildrenOf(&root)) {
        if (before.contains(child))
            continue;
        auto* package = static_cast<ContentFolder*>(child);
        std::printf("imported %s into %s as \"%s\": %s\n", qPrintable(archive), qPrintable(libraryFolder),
                    qPrintable(package->GetName()), qPrintable(Contents(package)));
        return kSucceeded;
    }
    run.Error(QStringLiteral("the import of %1 reported success but made no package").arg(archive));
    return kFailed;
}

} // namespace ContentToolCommands
