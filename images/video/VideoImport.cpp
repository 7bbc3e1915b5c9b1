#include "images/video/VideoImport.h"

#include "images/BrevantImage.h"
#include "images/LEDImageImporter.h"
#include "images/video/VideoFrames.h"

#include <QFileInfo>

namespace {

bool Fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

VideoImport::VideoImport() : store_(kMaxFrames, kStoredSide, kStoredSide) {}

bool VideoImport::Run(const QString& path, BrevantImage& image, QString* error)
{
    store_.Clear();
    const QFileInfo file(path);
    if (!file.exists())
        return Fail(error, QStringLiteral("%1: no such file").arg(path));
    if (!file.isFile() || !file.isReadable())
        return Fail(error, QStringLiteral("%1: not a readable file").arg(path));
    if (!ReadVideoFrames(path, kMaxFrames, store_))
        return Fail(error, QStringLiteral("%1: holds no video that can be decoded").arg(path));
    // Default layout; brightness and contrast unchanged, plain means, colour, frames of
    // at least 30 ms.
    LEDImageImporter<BrevantImage> importer(0, 0, -1, -1, 0, 0, 1, 0, 0, 0, 0, false, 0, 30, 0, 0);
    store_.Replay(importer);
    if (importer.CollectedFrameCount() == 0)
        return Fail(error, QStringLiteral("%1: no frame of the video could be decoded").arg(path));
    return importer.Finish(image);
}
