// content_tool package-export <library folder> <package name> <out.qelpkg>
// Scans the user library in the folder and exports one of its packages to a package
// archive as the program's Export does, the content operation on this thread.
#include "library/PackageTransfer.h"
#include "library/user/ContentLibraryRoot.h"
#include "tools/content_tool/CommandSupport.h"
#include "tools/content_tool/Commands.h"
#include "tools/content_tool/ConsoleRunner.h"

#include <QFileInfo>

#include <cstdio>

namespace ContentToolCommands {

int PackageExport(const QStringList& arguments)
{
    const QString libraryFolder = arguments.at(0);
    const QString name = arguments.at(1);
    const QString archive = arguments.at(2);
    const ConsoleRunner run(QStringLiteral("package-export"));
    if (!QFileInfo(libraryFolder).isDir()) {
        run.Error(QStringLiteral("%1: no such folder").arg(libraryFolder));
        return kFailed;
    }
    if (!archive.endsWith(QLatin1String(".qelpkg"), Qt::CaseInsensitive)) {
        run.Error(QStringLiteral("%1: a package archive's name ends with .qelpkg").arg(archive));
        return kFailed;
    }
    ContentLibraryRoot root(QFileInfo(libraryFolder).absoluteFilePath());
    ContentFolder* package = ChildFolderNamed(&root, name);
    if (!package) {
        run.Error(QStringLiteral("%1 has no package \"%2\"").arg(libraryFolder, name));
        return kFailed;
    }
    if (const ArchiveResult exported = PackageTransfer::ExportPackage(package, archive, run); !exported) {
        run.Error(exported.Message());
        return kFailed;
    }
    std::printf("exported \"%s\" (%s) to %s: %.1f MiB\n", qPrintable(name), qPrintable(Contents(package)),
                qPrintable(archive), double(QFileInfo(archive).size()) / (1024.0 * 1024.0));
    return kSucceeded;
}

} // namespace ContentToolCommands
