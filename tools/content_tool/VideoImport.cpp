// video_tool video-import <clip> [<out-image-file>]
// Imports a video into a first-family image as the import dialog does (images/video/
// VideoImport: the dialog's store, the importer's default layout), and with an output
// file writes the image there.
#include "images/BrevantImage.h"
#include "images/video/VideoImport.h"
#include "tools/content_tool/Commands.h"
#include "tools/content_tool/ConsoleRunner.h"

#include <cstdio>

namespace ContentToolCommands {

int VideoImport(const QStringList& arguments)
{
    const QString clip = arguments.at(0);
    const ConsoleRunner run(QStringLiteral("video-import"));
    ::VideoImport import;
    BrevantImage image;
    QString error;
    if (!import.Run(clip, image, &error)) {
        run.Error(error);
        return kFailed;
    }
    QString written;
    if (arguments.size() > 1) {
        if (!image.Save(arguments.at(1))) {
            run.Error(QStringLiteral("%1: the image could not be written").arg(arguments.at(1)));
            return kFailed;
        }
        written = QStringLiteral(", written to %1").arg(arguments.at(1));
    }
    std::printf("imported %s: %d frames read into an image of %d frames%s\n", qPrintable(clip),
                import.Store().FrameCount(), image.FrameCount(), qPrintable(written));
    return kSucceeded;
}

} // namespace ContentToolCommands
