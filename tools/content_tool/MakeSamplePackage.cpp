// content_tool make-sample-package <library folder>
// Makes the package benchmarks' sample package (SamplePackage) in the user library in the
// folder (made if missing), which must not hold a package of that name yet.
#include "library/user/ContentLibraryRoot.h"
#include "tools/content_tool/CommandSupport.h"
#include "tools/content_tool/Commands.h"
#include "tools/content_tool/ConsoleRunner.h"
#include "tools/content_tool/SamplePackage.h"

#include <QFileInfo>

#include <cstdio>

namespace ContentToolCommands {

int MakeSamplePackage(const QStringList& arguments)
{
    const QString libraryFolder = arguments.at(0);
    const ConsoleRunner run(QStringLiteral("make-sample-package"));
    if (!MakeFolder(libraryFolder, run))
        return kFailed;
    ContentLibraryRoot root(QFileInfo(libraryFolder).absoluteFilePath());
    if (ChildFolderNamed(&root, SamplePackage::kName)) {
        run.Error(QStringLiteral("%1 already has a package \"%2\"").arg(libraryFolder, SamplePackage::kName));
        return kFailed;
    }
    ConsoleFeedback feedback(run);
    ContentFolder* package = SamplePackage::Make(&root, &feedback);
    if (!package || feedback.Failed()) {
        if (!feedback.Failed())
            run.Error(QStringLiteral("the library in %1 did not take the package").arg(libraryFolder));
        return kFailed;
    }
    std::printf("made \"%s\" in %s: %s of %d frames\n", qPrintable(SamplePackage::kName), qPrintable(libraryFolder),
                qPrintable(Contents(package)), SamplePackage::kFrames);
    return kSucceeded;
}

} // namespace ContentToolCommands
