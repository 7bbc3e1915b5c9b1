#pragma once

#include "images/ImageStore.h"

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <functional>

// The creator's media and the three series of frames derived from it:
// - media: the frames as read, at most 768 × 768;
// - fitted: each frame stretched to the media rectangle's aspect ratio (what the export
//   samples);
// - adjusted: each frame stretched to the media rectangle at the expanded canvas's size
//   (at most 512 × 512), with contrast and brightness applied;
// - preview: the adjusted frames scaled to the media rectangle on the normal canvas.
// No widgets; GUI thread (the owner's).
class MediaStores
{
public:
    static constexpr int kMaxFrames = 255;
    static constexpr int kMaxMediaSide = 768;
    static constexpr int kMaxExpandedSide = 512;

    // Called after each step of a rebuild with the steps done and the steps in all.
    using Progress = std::function<void(int done, int total)>;

    MediaStores();

    // Reads `path` as a still or animated picture, else as a video, into a fresh store.
    // On success the media is replaced (the derived series are left for Rebuild); on
    // failure everything stays as it was.
    bool Load(const QString& path);
    // Drops the media and the derived series.
    void Clear();

    // Rebuilds the three derived series from the media for a media rectangle of
    // `mediaRect` (canvas units) and the given brightness gain and contrast.
    void Rebuild(const QRectF& mediaRect, float brightness, float contrast, const Progress& progress = {});

    bool HasMedia() const { return media_.FrameCount() > 0; }
    int FrameCount() const { return media_.FrameCount(); }
    // The display time of frame `index` in ms; 0 outside.
    int FrameMs(int index) const;
    // The display times of the frames before `index`, summed.
    qint64 TimeUpToFrame(int index) const;
    // All frames' display times in seconds.
    double TotalSeconds() const;

    const ImageStore& Media() const { return media_; }
    const ImageStore& Fitted() const { return fitted_; }
    const ImageStore& Preview() const { return preview_; }
    const ImageStore& Adjusted() const { return adjusted_; }

private:
    ImageStore media_;
    ImageStore fitted_;
    ImageStore preview_;
    ImageStore adjusted_;
};

// A copy of `frame` stretched to the aspect ratio of a media rectangle of `mediaSize`
// (canvas units): unchanged when both sides are 1; else the wider side of the rectangle
// keeps the frame's side and the other follows the ratio. No side becomes smaller than
// a pixel, whatever the rectangle, so an empty side gives a one-pixel frame.
QImage FitToMediaRect(const QImage& frame, QSizeF mediaSize, bool smooth);
