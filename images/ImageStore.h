#pragma once

#include "images/FrameArena.h"
#include "images/ImageSink.h"

#include <QImage>
#include <QSize>

#include <vector>

// A sink that keeps every frame it is given, in order, with its display time, so that an
// import can be replayed into fresh importers whenever its settings change. Frames larger
// than the maximum size are scaled down once, on arrival, keeping their aspect ratio.
//
// Threads: one thread at a time.
class ImageStore : public ImageSink
{
public:
    static constexpr int kNoLimit = -1;

    struct StoredFrame {
        QImage image;
        int durationMs = 0;
    };

    // `reserve`: frames to make room for. A negative maximum side means no limit.
    explicit ImageStore(int reserve = 0, int maxWidth = kNoLimit, int maxHeight = kNoLimit);

    // Stores an independent copy of the frame, scaled to StoredSize (smoothly) when it
    // is larger. Always true.
    bool PutFrame(const QImage& image, int durationMs) override;
    // StoredSize of `size` under this store's limits.
    QSize PreferredSize(QSize size) const override { return StoredSize(size, maxWidth_, maxHeight_); }
    // Hands every frame, in order, to `sink` until it answers false. True.
    bool Replay(ImageSink& sink) const;
    void Clear();

    int FrameCount() const { return int(frames_.size()); }
    // Frame `index` (0 .. FrameCount() − 1).
    const StoredFrame& Frame(int index) const { return frames_[std::size_t(index)]; }
    const std::vector<StoredFrame>& Frames() const { return frames_; }
    int MaxWidth() const { return maxWidth_; }
    int MaxHeight() const { return maxHeight_; }

    // The size a picture of `size` is stored at: the width first brought within its
    // limit, then the height, both times keeping the aspect ratio (single-precision
    // factors, truncated sides). No side becomes smaller than 1.
    static QSize StoredSize(QSize size, int maxWidth, int maxHeight);

private:
    // An independent copy of `image`, in the arena's memory where it can be.
    QImage ArenaCopy(const QImage& image);

    FrameArena arena_;
    std::vector<StoredFrame> frames_;
    int maxWidth_;
    int maxHeight_;
};
