#pragma once

#include "images/LEDColor.h"

#include <QColor>
#include <QPointF>

#include <cstddef>
#include <span>

class QImage;

// Draws one frame of an LED image as a picture of the fixture's face: a round face on a
// background, one round LED per palette index, each painted in its palette colour with
// an antialiased rim that fades towards black.
//
// Drawing ellipses is slow, so the geometry of a face (its base picture and, for every
// LED, the pixel runs it covers with their edge coverage) is built once per set of
// parameters and kept in a process-wide cache; a render is then a picture copy and one
// fill per run. Every parameter but the frame's indices is part of the cache key, the
// colours included. The cache holds the most recently used faces (kMaxCachedFaces).
//
// Threads: any thread; the cache has a lock of its own, faces are shared read-only.
class LEDImageRender
{
public:
    using PositionFunction = QPointF (*)(int led);

    // Faces kept at most; the least recently used one goes first. Enough for every size
    // the views, dialogs and exports of one session use at a time.
    static constexpr std::size_t kMaxCachedFaces = 64;

    // The family's LedPosition.
    PositionFunction ledPosition = nullptr;
    // 0 first family, 1 second.
    int family = 0;
    // ledCount palette indices of the frame to draw.
    const quint8* indices = nullptr;
    int ledCount = 0;
    int width = 0;
    int height = 0;
    // Size of each LED's ellipse in pixels.
    double ledWidth = 0;
    double ledHeight = 0;
    // Gap between the picture's edge and the outermost ring.
    double marginX = 0;
    double marginY = 0;
    // The disc of the face, and the picture outside it.
    QColor faceColour = Qt::black;
    QColor backgroundColour = Qt::black;

    // Renders into `target` (replaced by an ARGB32 picture of width × height), each LED
    // in palette[indices[led]]. False, target untouched, when a parameter is unusable
    // (no position function or indices, no LEDs, a size below 1, a picture too large to
    // allocate).
    bool RenderFrame(std::span<const LEDColor, 256> palette, QImage& target) const;

    // Faces now in the cache (for tests and diagnostics).
    static std::size_t CachedFaceCount();
};
