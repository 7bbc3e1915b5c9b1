#include "images/ImageStore.h"

#include <QColorSpace>

#include <algorithm>
#include <cstring>

namespace {

bool Exceeds(int side, int limit)
{
    return limit >= 0 && side > limit;
}

// A side scaled by `factor`, truncated, but never below one pixel: a very wide or very
// tall picture keeps a row or a column rather than vanishing.
int ScaledSide(int side, float factor)
{
    return std::max(1, int(float(side) * factor));
}

} // namespace

ImageStore::ImageStore(int reserve, int maxWidth, int maxHeight) : maxWidth_(maxWidth), maxHeight_(maxHeight)
{
    frames_.reserve(std::size_t(std::max(0, reserve)));
}

QSize ImageStore::StoredSize(QSize size, int maxWidth, int maxHeight)
{
    int w = size.width();
    int h = size.height();
    if (Exceeds(w, maxWidth)) {
        const float f = float(std::max(1, maxWidth)) / float(w);
        const int scaledW = ScaledSide(w, f);
        h = ScaledSide(h, f);
        w = scaledW;
    }
    if (Exceeds(h, maxHeight)) {
        const float g = float(std::max(1, maxHeight)) / float(h);
        const int scaledH = ScaledSide(h, g);
        w = ScaledSide(w, g);
        h = scaledH;
    }
    return {w, h};
}

QImage ImageStore::ArenaCopy(const QImage& image)
{
    if (image.isNull() || image.colorCount() > 0 || !image.textKeys().isEmpty())
        return image.copy();
    QImage copy = arena_.Allocate(image.size(), image.format());
    if (copy.isNull() || copy.bytesPerLine() != image.bytesPerLine())
        return image.copy();
    std::memcpy(copy.bits(), image.constBits(), std::size_t(image.sizeInBytes()));
    copy.setDotsPerMeterX(image.dotsPerMeterX());
    copy.setDotsPerMeterY(image.dotsPerMeterY());
    copy.setOffset(image.offset());
    copy.setDevicePixelRatio(image.devicePixelRatio());
    copy.setColorSpace(image.colorSpace());
    return copy;
}

bool ImageStore::PutFrame(const QImage& image, int durationMs)
{
    const QSize size = StoredSize(image.size(), maxWidth_, maxHeight_);
    StoredFrame frame;
    frame.durationMs = durationMs;
    // A copy of its own: a source may hand over a picture over its own reused buffer.
    if (image.isNull() || size == image.size())
        frame.image = ArenaCopy(image);
    else
        frame.image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    frames_.push_back(std::move(frame));
    return true;
}

bool ImageStore::Replay(ImageSink& sink) const
{
    for (const StoredFrame& frame : frames_) {
        if (!sink.PutFrame(frame.image, frame.durationMs))
            break;
    }
    return true;
}

void ImageStore::Clear()
{
    frames_.clear();
    arena_.Reset();
}
