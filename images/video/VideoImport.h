#pragma once

#include "images/ImageStore.h"

#include <QString>

class BrevantImage;

// A video imported into a first-family image the way the import dialog does it: the clip
// read into a store of the dialog's size (255 frames at most 512 × 512), replayed into an
// importer, and finished into the image. The importer takes its own default layout (the
// centred square of the first frame, LED samples a 32nd of its side) and neutral
// settings, where the dialog starts from its crop rules; the work per frame is alike.
// The command-line import and the benchmarks run it.
//
// Threads: one thread at a time.
class VideoImport
{
public:
    static constexpr int kMaxFrames = 255;
    static constexpr int kStoredSide = 512;

    VideoImport();

    // Imports the clip at `path` into `image`, which is cleared first. False, with a
    // message in `error` and `image` untouched, when the file is missing or unreadable,
    // holds no video that can be decoded, or yields no frame.
    bool Run(const QString& path, BrevantImage& image, QString* error);

    // The frames the last Run read.
    const ImageStore& Store() const { return store_; }

private:
    ImageStore store_;
};
