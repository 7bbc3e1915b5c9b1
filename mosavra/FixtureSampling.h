#pragma once

#include "mosavra/CanvasGeometry.h"
#include "mosavra/MosavraTypes.h"

#include <QImage>
#include <QPoint>
#include <QRectF>
#include <QSize>

#include <memory>
#include <optional>
#include <vector>

class Content;
class ImageStore;

// How the creator samples the media under a fixture into the fixture family's LED image:
// the region, sample size and inset of each fixture, the sampling itself, the sample
// mask and the rendering of a sampled image for the canvas. No widgets; one thread at a
// time per store and image.
namespace FixtureSampling {

// The settings of the creator's Settings group, as the importer takes them.
struct Settings
{
    float brightness = 1.0f;
    float contrast = 0.0f;
    float luminanceWeight = 0.0f;
    float distanceWeight = 0.0f;
    float luminanceCutoff = 0.0f;
    bool cutoffGreater = false;
    int colourMode = 0;
    // The Sample Size slider: the larger the value, the smaller the sample.
    int sampleSlider = 50;
};

// Frames shorter than this are merged into the one before.
constexpr int kMinimumFrameMs = 30;

// The square sample for a w × h region: the larger of w / slider and h / slider, at
// least 3 pixels.
QSize SampleSize(int w, int h, int sampleSlider);
// How far the LEDs' circle stays inside a w × h region: w / 40, h / 40 for the first
// family, w / 25, h / 25 for the second, rounded half away from zero.
QPoint SampleInset(int w, int h, MosavraTypes::FixtureFamily family);

// Where a fixture samples a media frame.
struct SourceRegion
{
    // Corners, inclusive.
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    QSize sampleSize;
    QPoint inset;
    friend bool operator==(const SourceRegion&, const SourceRegion&) = default;
};
// The region under `fixture` of a frame of `frame` pixels stretched over the media
// rectangle `mediaRect`. None when the rectangle or the fixture is less than a pixel
// wide or high, or the fixture lies wholly off the frame.
std::optional<SourceRegion> FixtureSourceRegion(const MosavraTypes::Fixture& fixture, const QRectF& mediaRect,
                                                QSize frame, int sampleSlider);

// The fixture's LED image (of its family), sampled from every frame of `store` (the
// media fitted to the media rectangle) and carrying the fixture's number as its Mosavra
// identifier; none when the fixture samples nothing (see FixtureSourceRegion) or the
// store is empty. Owned by the caller.
std::unique_ptr<Content> CreateFixtureImage(const MosavraTypes::Fixture& fixture, const ImageStore& store,
                                            const QRectF& mediaRect, const Settings& settings);

// A w × h transparent picture with the sample mask of a fixture of that size drawn in
// half-transparent white; null for a side below 1.
QImage SampleMaskImage(MosavraTypes::FixtureFamily family, int w, int h, const Settings& settings);

// Frame `frame` of a fixture's image drawn as its face in w × h pixels on a transparent
// background; null when the frame does not exist or a side is below 1.
QImage RenderFixtureFrame(const Content& image, int frame, int w, int h);

// The display times of the image's frames, in order (none for a content that is no LED
// image).
std::vector<int> FrameDurations(const Content& image);

// The frame of an image of `durations` shown at time `t` ms: 0 before the start, the
// last frame from the end on.
int FrameAtTime(qint64 t, const std::vector<int>& durations);

} // namespace FixtureSampling
