#include "images/ImageFrames.h"

#include "images/ImageSink.h"

#include <QImage>
#include <QImageReader>

namespace {

// A damaged frame of an animation is skipped; this many in a row mean the rest of the
// file is damaged too (or the reader does not advance past the damage).
constexpr int kMaxFailedReadsInARow = 3;

} // namespace

bool ReadImageFrames(const QString& path, int maxFrames, int defaultDurationMs, ImageSink& sink)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return false;

    int taken = 0;
    int failedInARow = 0;
    while (taken < maxFrames && reader.canRead()) {
        QImage image;
        if (!reader.read(&image)) {
            if (++failedInARow >= kMaxFailedReadsInARow)
                break;
            continue;
        }
        failedInARow = 0;
        const int delay = reader.nextImageDelay();
        if (!sink.PutFrame(image, delay > 0 ? delay : defaultDurationMs))
            break;
        ++taken;
    }
    return taken > 0;
}
