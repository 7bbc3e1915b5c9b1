#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>

// The arithmetic of the creator's canvas: canvas units (fractions of the canvas side) to
// pixels, fixture rectangles, the grid, and the media rectangle's drag handles. Pure
// functions; any thread.
namespace CanvasGeometry {

// The side of the canvas while it is not expanded, in pixels.
constexpr int kCanvasSide = 320;

// A rectangle by its four edges, right and bottom exclusive in width and height:
// Width() is right − left.
struct EdgeRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    // left ≤ x ≤ right and top ≤ y ≤ bottom.
    bool Contains(QPointF p) const { return left <= p.x() && p.x() <= right && top <= p.y() && p.y() <= bottom; }
    QPoint Centre() const { return {(left + right) / 2, (top + bottom) / 2}; }
    friend bool operator==(const EdgeRect&, const EdgeRect&) = default;
};

// The pixel of a canvas-unit point on a canvas of `canvas` pixels: floor(x W + 0.5).
QPoint ToPixels(QPointF point, QSize canvas);
// A canvas-unit rectangle in pixels: its corner as a point, its sides as ceil(w W − 0.5).
QRect ToPixels(const QRectF& rect, QSize canvas);

// The rectangle of size `size` about `centre`, with the centre scaled by fx and fy and the
// sides by the larger of the two (so a square stays square), each edge rounded to the
// nearest pixel. The canvas uses it with its own size, the export with the media
// frame's pixels per canvas unit.
EdgeRect ScaleRectAboutCentre(QPointF centre, QSizeF size, double fx, double fy);

// Grid divisions of the grid box's item `index`: 4, 8, 16, … (4 × 2^index).
int GridDivisions(int index);
// The grid step in pixels of a side of `side` pixels: side / divisions, rounded, at least 1.
int GridStep(int side, int divisions);
// `value` on the nearest grid line of step `step`.
int Snap(double value, int step);

// Where a point lies on the media rectangle (drawn at `media` pixels).
enum MediaHandle {
    kOutside = 0,
    kInside = 1,
    kLeftEdge = 6,
    kRightEdge = 7,
    kTopEdge = 8,
    kBottomEdge = 9,
    kTopLeft = 10,
    kTopRight = 11,
    kBottomLeft = 12,
    kBottomRight = 13,
};
// Corners first, then edges, within kHandleReach pixels; kInside elsewhere inside.
MediaHandle MediaHandleAt(const QRect& media, QPointF p);
constexpr double kHandleReach = 5.0;

// The cursor shape that shows what dragging a handle does; Qt::ArrowCursor for none.
Qt::CursorShape HandleCursor(MediaHandle handle);

// One step of a drag of the media rectangle.
struct MediaDrag
{
    QRectF rect;   // the media rectangle, canvas units
    QPointF press; // the reference point of the drag, pixels
};
// Moves (kInside) or resizes (edges and corners) `drag.rect` to follow the pointer `p`
// on a canvas of `canvas` pixels, snapping to a grid of `snapDivisions` (0 = none). A side
// dragged past the opposite one stops there, leaving a rectangle of zero width or height.
MediaDrag MoveMediaRect(MediaDrag drag, QPointF p, MediaHandle handle, QSize canvas, int snapDivisions);

} // namespace CanvasGeometry
