#include "app/widgets/ProgressDialItem.h"
#include "tests/link/PollUntil.h"

#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QStyleOptionGraphicsItem>
#include <gtest/gtest.h>

namespace {

const QColor kButton(10, 20, 200);

// The dial drawn at 100 x 100 on white, with a palette whose Button colour is kButton.
QImage Paint(ProgressDialItem& dial)
{
    dial.SetRect(QRect(0, 0, 100, 100));
    QImage image(100, 100, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QStyleOptionGraphicsItem option;
    option.palette.setColor(QPalette::Button, kButton);
    option.palette.setColor(QPalette::Light, Qt::white);
    option.palette.setColor(QPalette::Dark, Qt::gray);
    QPainter painter(&image);
    dial.paint(&painter, &option, nullptr);
    return image;
}

// Points on the ring, between the hub (radius 25) and the rim (radius 49).
const QPoint kRightOfRing(88, 40);
const QPoint kLeftOfRing(12, 40);

} // namespace

TEST(ProgressDial, HalfWayFillsTheRightHalfAndFullFillsAll)
{
    ProgressDialItem dial;
    dial.setValue(50);
    QImage half = Paint(dial);
    EXPECT_EQ(half.pixelColor(kRightOfRing), QColor(Qt::green));
    EXPECT_EQ(half.pixelColor(kLeftOfRing), kButton);

    dial.setValue(100);
    QImage full = Paint(dial);
    EXPECT_EQ(full.pixelColor(kRightOfRing), QColor(Qt::green));
    EXPECT_EQ(full.pixelColor(kLeftOfRing), QColor(Qt::green));

    dial.setSeverity(ProgressDialItem::Error);
    EXPECT_EQ(Paint(dial).pixelColor(kLeftOfRing), QColor(Qt::red));
    dial.setSeverity(ProgressDialItem::Warning);
    EXPECT_EQ(Paint(dial).pixelColor(kLeftOfRing), QColor(Qt::yellow));
}

TEST(ProgressDial, RangesThatWouldDivideByZeroOrOverflowStayWithinOneTurn)
{
    ProgressDialItem dial;
    struct Case {
        int minimum, maximum, value, span;
    } cases[] = {
        {0, 100, 1000000, -ProgressDialItem::kFullTurn}, // value x 5760 overflows 32 bits
        {0, 100, -5, 0},
        {100, 100, 50, 0},   // an empty range: nothing until the maximum is reached
        {100, 100, 100, -ProgressDialItem::kFullTurn},
        {100, 0, 50, -ProgressDialItem::kFullTurn}, // reversed: the maximum is reached
        {50, 150, 100, -ProgressDialItem::kFullTurn / 2},
        {0, 2000000000, 2000000000, -ProgressDialItem::kFullTurn},
    };
    for (const Case& c : cases) {
        dial.setRange(c.minimum, c.maximum);
        dial.setValue(c.value);
        EXPECT_EQ(dial.ValueSpan(), c.span) << c.minimum << ".." << c.maximum << " at " << c.value;
        Paint(dial);
    }
}

TEST(ProgressDial, TheSpinTurnsOnceInTwentyTicks)
{
    ProgressDialItem dial;
    EXPECT_EQ(dial.SpinAngle(), -4320);
    for (int tick = 1; tick <= 20; ++tick) {
        dial.nextSpin();
        if (tick == 5) {
            EXPECT_EQ(dial.SpinAngle(), 0);
        }
    }
    EXPECT_EQ(dial.SpinAngle(), -4320);

    // Spin mode paints a quarter pie from the spin angle, whatever the value.
    dial.setSpin(true);
    dial.setValue(0);
    const int before = dial.SpinAngle();
    ASSERT_TRUE(PollUntil([&] { return dial.SpinAngle() != before; })) << "the spin timer ticks";
    dial.setSpin(false);
    const int frozen = dial.SpinAngle();
    QCoreApplication::processEvents();
    EXPECT_EQ(dial.SpinAngle(), frozen);
}

TEST(ProgressDial, OnlyARealChangeRepaints)
{
    QGraphicsScene scene;
    auto* dial = new ProgressDialItem;
    dial->SetRect(QRect(0, 0, 18, 18));
    scene.addItem(dial);
    QSignalSpy changed(&scene, &QGraphicsScene::changed);
    QCoreApplication::processEvents();
    changed.clear();

    dial->setSeverity(ProgressDialItem::Normal);
    dial->setValue(0);
    dial->setRange(0, 100);
    QCoreApplication::processEvents();
    EXPECT_EQ(changed.count(), 0);

    dial->setSeverity(ProgressDialItem::Warning);
    QCoreApplication::processEvents();
    EXPECT_EQ(changed.count(), 1);
}
