#pragma once

#include <QString>

class ImageSink;

// Reads a still or animated picture (any format QImageReader knows, recognised by its
// content) into `sink`: at most `maxFrames` frames, each shown for the picture's own
// delay or, when it has none, `defaultDurationMs`. A frame counts only when the sink
// takes it; a sink's false ends the reading. A frame that fails to decode is skipped;
// reading stops after several failures in a row, so a reader that keeps promising
// frames it cannot deliver does not hold the caller for ever.
// True when at least one frame was taken; false when the file is not a readable picture.
// Any thread (QImageReader is reentrant).
bool ReadImageFrames(const QString& path, int maxFrames, int defaultDurationMs, ImageSink& sink);
