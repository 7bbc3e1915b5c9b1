#include "mosavra/MediaStores.h"

#include "images/ColourAdjust.h"
#include "images/ImageFrames.h"
#include "images/video/VideoFrames.h"
#include "mosavra/CanvasGeometry.h"

#include <algorithm>
#include <cmath>

namespace {

// A picture shows each frame for its own delay; a still picture has none to give.
constexpr int kStillFrameMs = 0;

QSize AtLeastOnePixel(double w, double h)
{
    const auto side = [](double v) { return std::isfinite(v) ? std::max(1, int(std::clamp(v, 0.0, 1e6))) : 1; };
    return {side(w), side(h)};
}

QImage Stretched(const QImage& frame, QSize size, Qt::TransformationMode mode)
{
    return frame.scaled(size, Qt::IgnoreAspectRatio, mode);
}

} // namespace

QImage FitToMediaRect(const QImage& frame, QSizeF mediaSize, bool smooth)
{
    const double w = mediaSize.width();
    const double h = mediaSize.height();
    if (w == 1.0 && h == 1.0)
        return frame.copy();
    QSize size;
    if (w > h)
        size = AtLeastOnePixel(frame.width(), frame.width() * h / w);
    else if (h > 0)
        size = AtLeastOnePixel(frame.height() * w / h, frame.height());
    else
        size = QSize(1, 1); // no side at all: no ratio to keep
    return Stretched(frame, size, smooth ? Qt::SmoothTransformation : Qt::FastTransformation);
}

MediaStores::MediaStores() : media_(0, kMaxMediaSide, kMaxMediaSide)
{
}

bool MediaStores::Load(const QString& path)
{
    ImageStore fresh(0, kMaxMediaSide, kMaxMediaSide);
    if (!ReadImageFrames(path, kMaxFrames, kStillFrameMs, fresh)) {
        fresh.Clear();
        if (!ReadVideoFrames(path, kMaxFrames, fresh))
            return false;
    }
    if (fresh.FrameCount() == 0)
        return false;
    media_ = std::move(fresh);
    return true;
}

void MediaStores::Clear()
{
    media_.Clear();
    fitted_.Clear();
    preview_.Clear();
    adjusted_.Clear();
}

void MediaStores::Rebuild(const QRectF& mediaRect, float brightness, float contrast, const Progress& progress)
{
    fitted_.Clear();
    adjusted_.Clear();
    preview_.Clear();
    if (!HasMedia())
        return;

    const QSize first = media_.Frame(0).image.size();
    const int side = std::max(first.width(), first.height());
    const int n = media_.FrameCount();
    const int total = 3 * n;
    int done = 0;
    const auto step = [&] {
        if (progress)
            progress(++done, total);
    };

    ImageStore expanded(n, kMaxExpandedSide, kMaxExpandedSide);
    const QSize expandedSize = AtLeastOnePixel(mediaRect.width() * side, mediaRect.height() * side);
    for (const ImageStore::StoredFrame& frame : media_.Frames()) {
        fitted_.PutFrame(FitToMediaRect(frame.image, mediaRect.size(), true), frame.durationMs);
        expanded.PutFrame(Stretched(FitToMediaRect(frame.image, mediaRect.size(), false), expandedSize,
                                    Qt::FastTransformation),
                          frame.durationMs);
        step();
    }
    const bool unadjusted = brightness == 1.0f && contrast == 0.0f;
    for (const ImageStore::StoredFrame& frame : expanded.Frames()) {
        adjusted_.PutFrame(unadjusted ? frame.image : MakeAdjustedImage(frame.image, brightness, contrast),
                           frame.durationMs);
        step();
    }
    expanded.Clear();

    const QRect onCanvas =
        CanvasGeometry::ToPixels(mediaRect, QSize(CanvasGeometry::kCanvasSide, CanvasGeometry::kCanvasSide));
    const QSize previewSize = AtLeastOnePixel(onCanvas.width(), onCanvas.height());
    for (const ImageStore::StoredFrame& frame : adjusted_.Frames()) {
        preview_.PutFrame(Stretched(frame.image, previewSize, Qt::SmoothTransformation), frame.durationMs);
        step();
    }
}

int MediaStores::FrameMs(int index) const
{
    return index >= 0 && index < media_.FrameCount() ? media_.Frame(index).durationMs : 0;
}

qint64 MediaStores::TimeUpToFrame(int index) const
{
    qint64 sum = 0;
    for (int i = 0; i < std::min(index, media_.FrameCount()); ++i)
        sum += media_.Frame(i).durationMs;
    return sum;
}

double MediaStores::TotalSeconds() const
{
    return TimeUpToFrame(media_.FrameCount()) / 1000.0;
}
