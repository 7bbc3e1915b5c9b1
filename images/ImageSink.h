#pragma once

#include <QSize>

class QImage;

// Where decoded pictures go, one frame at a time: the frame sources (picture and video
// readers, ImageStore::Replay) call PutFrame; the image store and the LED image importer
// take the frames.
class ImageSink
{
public:
    virtual ~ImageSink() = default;

    // Takes one frame shown for `durationMs`. The image is only valid during the call:
    // a sink that keeps it keeps its own copy. False asks the source to deliver no more.
    virtual bool PutFrame(const QImage& image, int durationMs) = 0;

    // The size the sink keeps a picture of `size` at. A source that scales cheaply on its
    // way (the video reader) delivers its pictures at this size, so that the sink has
    // nothing left to scale. The picture's own size unless the sink says otherwise.
    virtual QSize PreferredSize(QSize size) const { return size; }
};
