#include "mosavra/CanvasGeometry.h"

#include <QLineF>

#include <algorithm>
#include <cmath>

namespace CanvasGeometry {
namespace {

// Far beyond any canvas or frame, yet safe to convert: an absurd size read from a file
// gives a huge rectangle, not an overflow.
constexpr double kPixelLimit = 1e9;

int Round(double value)
{
    return int(std::clamp(std::floor(value + 0.5), -kPixelLimit, kPixelLimit));
}

bool MovesLeft(MediaHandle h)
{
    return h == kLeftEdge || h == kTopLeft || h == kBottomLeft;
}
bool MovesRight(MediaHandle h)
{
    return h == kRightEdge || h == kTopRight || h == kBottomRight;
}
bool MovesTop(MediaHandle h)
{
    return h == kTopEdge || h == kTopLeft || h == kTopRight;
}
bool MovesBottom(MediaHandle h)
{
    return h == kBottomEdge || h == kBottomLeft || h == kBottomRight;
}

// Moves the whole rectangle. Snapped, it jumps from grid line to grid line while the
// pointer's smaller motions add up against the press point.
void MoveWhole(MediaDrag& drag, QPointF p, QSize canvas, int snapDivisions)
{
    const double w = canvas.width();
    const double h = canvas.height();
    if (snapDivisions <= 0) {
        drag.rect.moveTo(drag.rect.x() + (p.x() - drag.press.x()) / w, drag.rect.y() + (p.y() - drag.press.y()) / h);
        drag.press = p;
        return;
    }
    const int gx = GridStep(canvas.width(), snapDivisions);
    const int gy = GridStep(canvas.height(), snapDivisions);
    const int left = Round(drag.rect.x() * w);
    const int top = Round(drag.rect.y() * h);
    const int snappedLeft = Snap(left + Round(p.x() - drag.press.x()), gx);
    const int snappedTop = Snap(top + Round(p.y() - drag.press.y()), gy);
    if (snappedLeft != left) {
        drag.rect.moveLeft(snappedLeft / w);
        drag.press.setX(p.x());
    }
    if (snappedTop != top) {
        drag.rect.moveTop(snappedTop / h);
        drag.press.setY(p.y());
    }
}

// One axis of a resize: the low side (left or top) or the high side (right or bottom)
// follows the pointer `to`; neither passes the other. True when the side followed.
bool MoveSide(double& origin, double& extent, double to, bool lowSide)
{
    if (lowSide) {
        const double high = origin + extent;
        if (high - to < 0) {
            origin = high;
            extent = 0;
            return false;
        }
        origin = to;
        extent = high - to;
        return true;
    }
    if (to - origin < 0) {
        extent = 0;
        return false;
    }
    extent = to - origin;
    return true;
}

} // namespace

QPoint ToPixels(QPointF point, QSize canvas)
{
    return {Round(point.x() * canvas.width()), Round(point.y() * canvas.height())};
}

QRect ToPixels(const QRectF& rect, QSize canvas)
{
    return {ToPixels(rect.topLeft(), canvas),
            QSize(int(std::ceil(rect.width() * canvas.width() - 0.5)),
                  int(std::ceil(rect.height() * canvas.height() - 0.5)))};
}

EdgeRect ScaleRectAboutCentre(QPointF centre, QSizeF size, double fx, double fy)
{
    const double left0 = centre.x() - size.width() / 2;
    const double right0 = left0 + size.width();
    const double top0 = centre.y() - size.height() / 2;
    const double bottom0 = top0 + size.height();
    const double m = std::max(fx, fy);
    const double cx = (left0 + right0) / 2;
    const double cy = (top0 + bottom0) / 2;
    return {Round(fx * cx + m * (left0 - cx)), Round(fy * cy + m * (top0 - cy)), Round(fx * cx + m * (right0 - cx)),
            Round(fy * cy + m * (bottom0 - cy))};
}

int GridDivisions(int index)
{
    return 4 << std::clamp(index, 0, 5);
}

int GridStep(int side, int divisions)
{
    return std::max(1, Round(double(side) / std::max(1, divisions)));
}

int Snap(double value, int step)
{
    step = std::max(1, step);
    return step * int(std::floor(value / step + 0.5));
}

MediaHandle MediaHandleAt(const QRect& media, QPointF p)
{
    const double left = media.x(), top = media.y();
    const double right = left + media.width(), bottom = top + media.height();
    // Edges included, and unlike QRectF::contains also for a rectangle with an empty
    // side, which must stay within reach to be pulled open again.
    if (p.x() < left || p.x() > right || p.y() < top || p.y() > bottom)
        return kOutside;
    const auto near = [&p](double x, double y) { return QLineF(QPointF(x, y), p).length() <= kHandleReach; };
    if (near(left, top))
        return kTopLeft;
    if (near(right, top))
        return kTopRight;
    if (near(left, bottom))
        return kBottomLeft;
    if (near(right, bottom))
        return kBottomRight;
    if (std::abs(left - p.x()) <= kHandleReach)
        return kLeftEdge;
    if (std::abs(top - p.y()) <= kHandleReach)
        return kTopEdge;
    if (std::abs(right - p.x()) <= kHandleReach)
        return kRightEdge;
    if (std::abs(bottom - p.y()) <= kHandleReach)
        return kBottomEdge;
    return kInside;
}

Qt::CursorShape HandleCursor(MediaHandle handle)
{
    switch (handle) {
    case kLeftEdge:
    case kRightEdge:
        return Qt::SizeHorCursor;
    case kTopEdge:
    case kBottomEdge:
        return Qt::SizeVerCursor;
    case kTopLeft:
    case kBottomRight:
        return Qt::SizeFDiagCursor;
    case kTopRight:
    case kBottomLeft:
        return Qt::SizeBDiagCursor;
    default:
        return Qt::ArrowCursor;
    }
}

MediaDrag MoveMediaRect(MediaDrag drag, QPointF p, MediaHandle handle, QSize canvas, int snapDivisions)
{
    if (handle == kInside) {
        MoveWhole(drag, p, canvas, snapDivisions);
        return drag;
    }
    if (handle == kOutside)
        return drag;

    QPointF pointer = p;
    if (snapDivisions > 0)
        pointer = QPointF(Snap(p.x(), GridStep(canvas.width(), snapDivisions)),
                          Snap(p.y(), GridStep(canvas.height(), snapDivisions)));
    const double mx = pointer.x() / canvas.width();
    const double my = pointer.y() / canvas.height();

    double x = drag.rect.x(), width = drag.rect.width();
    double y = drag.rect.y(), height = drag.rect.height();
    if (MovesLeft(handle) || MovesRight(handle)) {
        if (MoveSide(x, width, mx, MovesLeft(handle)))
            drag.press.setX(p.x());
    }
    if (MovesTop(handle) || MovesBottom(handle)) {
        if (MoveSide(y, height, my, MovesTop(handle)))
            drag.press.setY(p.y());
    }
    drag.rect = QRectF(x, y, width, height);
    return drag;
}

} // namespace CanvasGeometry
