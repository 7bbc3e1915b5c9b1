#include "mosavra/CanvasGeometry.h"

#include <gtest/gtest.h>

using namespace CanvasGeometry;

namespace {

const QSize kCanvas{320, 320};
const QRectF kDefaultMediaRect{0.25, 0.25, 0.5, 0.5};

} // namespace

TEST(CanvasGeometryTest, FixtureRectanglesScaleTheCentreByAxisAndTheSizeByTheLargerFactor)
{
    EXPECT_EQ(ScaleRectAboutCentre(QPointF(0.5, 0.5), QSizeF(0.125, 0.125), 320, 320), (EdgeRect{140, 140, 180, 180}));
    EXPECT_EQ(ScaleRectAboutCentre(QPointF(0.5, 0.5), QSizeF(0.1, 0.1), 400, 200), (EdgeRect{180, 80, 220, 120}))
        << "the rectangle stays square on a canvas that is not";
    EXPECT_EQ(ScaleRectAboutCentre(QPointF(0, 0), QSizeF(1e30, 1e30), 320, 320).right, 1000000000)
        << "an absurd size is a huge rectangle, not an overflow";
}

TEST(CanvasGeometryTest, CanvasUnitsRoundToPixels)
{
    EXPECT_EQ(ToPixels(kDefaultMediaRect, kCanvas), QRect(80, 80, 160, 160));
    EXPECT_EQ(ToPixels(QPointF(0.5015, 0.5016), kCanvas), QPoint(160, 161));
    EXPECT_EQ(ToPixels(QRectF(0.75, 0.25, 0, 0.5), kCanvas), QRect(240, 80, 0, 160));
}

TEST(CanvasGeometryTest, APressFindsCornersFirstThenEdgesThenTheInside)
{
    const QRect media = ToPixels(kDefaultMediaRect, kCanvas);
    const struct
    {
        QPointF press;
        MediaHandle handle;
    } cases[] = {
        {{83, 84}, kTopLeft},      // 5 pixels from the corner
        {{86, 86}, kInside},       // 6 pixels from both edges
        {{85, 80}, kTopLeft},      // on the edge, 5 from the corner
        {{238, 150}, kRightEdge},  {{160, 83}, kTopEdge},    {{238, 238}, kBottomRight},
        {{81, 239}, kBottomLeft},  {{239, 81}, kTopRight},   {{84, 160}, kLeftEdge},
        {{160, 236}, kBottomEdge}, {{160, 160}, kInside},    {{50, 50}, kOutside},
        {{240, 240}, kBottomRight}, {{241, 160}, kOutside},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MediaHandleAt(media, c.press), c.handle) << c.press.x() << ", " << c.press.y();
    EXPECT_EQ(MediaHandleAt(QRect(240, 80, 0, 160), QPointF(240, 160)), kLeftEdge)
        << "a rectangle without width stays within reach";
}

TEST(CanvasGeometryTest, ResizeCursorsShowTheHandlesDirection)
{
    EXPECT_EQ(HandleCursor(kLeftEdge), Qt::SizeHorCursor);
    EXPECT_EQ(HandleCursor(kBottomEdge), Qt::SizeVerCursor);
    EXPECT_EQ(HandleCursor(kTopLeft), Qt::SizeFDiagCursor);
    EXPECT_EQ(HandleCursor(kBottomLeft), Qt::SizeBDiagCursor);
    EXPECT_EQ(HandleCursor(kInside), Qt::ArrowCursor);
}

TEST(CanvasGeometryTest, DraggingASidePastTheOtherLeavesAnEmptySideAtTheOldPlace)
{
    MediaDrag drag{kDefaultMediaRect, QPointF(80, 160)};
    drag = MoveMediaRect(drag, QPointF(300, 160), kLeftEdge, kCanvas, 0);
    EXPECT_EQ(drag.rect, QRectF(0.75, 0.25, 0, 0.5));
    EXPECT_EQ(drag.press.x(), 80) << "the press stays where the side stopped following";

    drag = MoveMediaRect({kDefaultMediaRect, QPointF(160, 240)}, QPointF(160, 10), kBottomEdge, kCanvas, 0);
    EXPECT_EQ(drag.rect, QRectF(0.25, 0.25, 0.5, 0));

    drag = MoveMediaRect({kDefaultMediaRect, QPointF(240, 240)}, QPointF(288, 48), kBottomRight, kCanvas, 0);
    EXPECT_EQ(drag.rect, QRectF(0.25, 0.25, 0.65, 0));
}

TEST(CanvasGeometryTest, MovingFollowsThePointerAndSnapsFromGridLineToGridLine)
{
    MediaDrag drag{kDefaultMediaRect, QPointF(160, 160)};
    drag = MoveMediaRect(drag, QPointF(176, 144), kInside, kCanvas, 0);
    EXPECT_EQ(drag.rect, QRectF(0.3, 0.2, 0.5, 0.5));
    EXPECT_EQ(drag.press, QPointF(176, 144));

    // 1:8 on 320 pixels: lines every 40 pixels.
    const int divisions = GridDivisions(1);
    ASSERT_EQ(GridStep(320, divisions), 40);
    drag = {kDefaultMediaRect, QPointF(160, 160)};
    drag = MoveMediaRect(drag, QPointF(170, 160), kInside, kCanvas, divisions);
    EXPECT_EQ(drag.rect.topLeft(), QPointF(0.25, 0.25)) << "80 + 10 snaps back to 80";
    drag = MoveMediaRect(drag, QPointF(185, 150), kInside, kCanvas, divisions);
    EXPECT_EQ(drag.rect.topLeft(), QPointF(120 / 320.0, 0.25)) << "the motions add up against the press";
    EXPECT_EQ(drag.press, QPointF(185, 160));
    drag = MoveMediaRect(drag, QPointF(300, 307), kInside, kCanvas, divisions);
    EXPECT_EQ(drag.rect.topLeft(), QPointF(240 / 320.0, 240 / 320.0));

    drag = MoveMediaRect({kDefaultMediaRect, QPointF(80, 160)}, QPointF(33, 160), kLeftEdge, kCanvas, divisions);
    EXPECT_EQ(drag.rect, QRectF(40 / 320.0, 0.25, 200 / 320.0, 0.5)) << "a side snaps to the grid too";
}
