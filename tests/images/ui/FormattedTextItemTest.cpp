#include "images/ui/FormattedTextItem.h"

#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPainter>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

// A scene with one item that shows a large block of text, rendered without a view.
class TextScene : public ::testing::Test
{
protected:
    TextScene()
    {
        scene_.setSceneRect(0, 0, 80, 40);
        scene_.addItem(item_);
        QFont font;
        font.setPixelSize(32);
        font.setBold(true);
        item_->SetFont(font);
        item_->SetText(QStringLiteral("WW"));
    }

    // The scene rendered into a white picture, as a screenshot or an export would.
    QImage Render()
    {
        QImage picture(80, 40, QImage::Format_ARGB32);
        picture.fill(Qt::white);
        QPainter painter(&picture);
        scene_.render(&painter, QRectF(0, 0, 80, 40), QRectF(0, 0, 80, 40));
        return picture;
    }

    // The number of pixels of exactly `colour`.
    static int Count(const QImage& picture, QRgb colour)
    {
        int count = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                count += (picture.pixel(x, y) | 0xff000000u) == (colour | 0xff000000u) ? 1 : 0;
        return count;
    }

    // Whether the scene reported a repaint since the last call. It gathers updates and
    // reports them from the event loop in posted steps: run it until they have passed.
    bool Repainted(QSignalSpy& spy)
    {
        for (int pass = 0; pass < 4; ++pass)
            QApplication::processEvents();
        const bool any = !spy.isEmpty();
        spy.clear();
        return any;
    }

    QGraphicsScene scene_;
    FormattedTextItem* item_ = new FormattedTextItem;
};

} // namespace

TEST_F(TextScene, DrawsNothingUntilItHasARectangle)
{
    FormattedTextItem fresh;
    EXPECT_TRUE(fresh.boundingRect().isEmpty());
    EXPECT_EQ(fresh.Flags(), int(Qt::AlignLeft | Qt::AlignTop));
    EXPECT_EQ(fresh.ColorGroup(), int(QPalette::WindowText));
    EXPECT_EQ(fresh.Brush().style(), Qt::NoBrush);

    EXPECT_EQ(Count(Render(), qRgb(255, 255, 255)), 80 * 40) << "no rectangle, no text";
    item_->SetRect(QRect(0, 0, 80, 40));
    EXPECT_EQ(item_->boundingRect(), QRectF(0, 0, 80, 40));
    EXPECT_LT(Count(Render(), qRgb(255, 255, 255)), 80 * 40 - 100);

    FormattedTextItem given(QStringLiteral("Hi"), QRect(2, 3, 10, 20));
    EXPECT_EQ(given.boundingRect(), QRectF(2, 3, 10, 20));
    EXPECT_EQ(given.Text(), QStringLiteral("Hi"));
}

TEST_F(TextScene, RepaintsOnlyWhatReallyChanged)
{
    item_->SetRect(QRect(0, 0, 80, 40));
    QSignalSpy changed(&scene_, &QGraphicsScene::changed);
    Repainted(changed);

    item_->SetText(QStringLiteral("AB"));
    EXPECT_TRUE(Repainted(changed));
    item_->SetText(QStringLiteral("AB"));
    EXPECT_FALSE(Repainted(changed)) << "the same text again";

    item_->SetFont(item_->Font());
    item_->SetBrush(QBrush());
    item_->SetColorGroup(QPalette::WindowText);
    item_->SetFlags(item_->Flags());
    item_->SetRect(QRect(0, 0, 80, 40));
    EXPECT_FALSE(Repainted(changed)) << "every setter given the stored value";

    item_->SetFlags(Qt::AlignCenter);
    EXPECT_TRUE(Repainted(changed));
    item_->SetRect(QRect(0, 0, 60, 40));
    EXPECT_TRUE(Repainted(changed));
    EXPECT_EQ(scene_.itemsBoundingRect(), QRectF(0, 0, 60, 40)) << "the scene learnt the new geometry";
}

TEST_F(TextScene, ABrushOverridesThePaletteUntilItIsTakenAway)
{
    item_->SetRect(QRect(0, 0, 80, 40));
    const QPalette palette;
    const QRgb roleColour = palette.color(QPalette::Current, QPalette::WindowText).rgb();
    const QRgb textColour = palette.color(QPalette::Current, QPalette::Text).rgb();
    ASSERT_NE(roleColour, qRgb(255, 0, 0));

    // Rendered into a picture there is no widget: the style option's palette colours it.
    EXPECT_GT(Count(Render(), roleColour), 50);

    item_->SetBrush(QBrush(Qt::red));
    const QImage red = Render();
    EXPECT_GT(Count(red, qRgb(255, 0, 0)), 50);
    EXPECT_EQ(Count(red, roleColour), 0);

    item_->SetBrush(QBrush());
    const QImage back = Render();
    EXPECT_EQ(Count(back, qRgb(255, 0, 0)), 0);
    EXPECT_GT(Count(back, roleColour), 50);

    // An out-of-range role number is taken as the default role, not read past the palette.
    item_->SetColorGroup(1000);
    EXPECT_GT(Count(Render(), roleColour), 50);
    if (textColour != roleColour) {
        item_->SetColorGroup(QPalette::Text);
        EXPECT_GT(Count(Render(), textColour), 50);
    }
}

TEST_F(TextScene, InAViewTheViewsPaletteColoursIt)
{
    item_->SetRect(QRect(0, 0, 80, 40));
    item_->SetColorGroup(QPalette::Text);
    QGraphicsView view(&scene_);
    QPalette palette = view.palette();
    palette.setColor(QPalette::Text, QColor(0, 0, 255));
    palette.setColor(QPalette::Base, Qt::white);
    view.setPalette(palette);
    view.setFrameShape(QFrame::NoFrame);
    view.resize(80, 40);
    view.show();

    const QImage shot = view.viewport()->grab().toImage();
    EXPECT_GT(Count(shot, qRgb(0, 0, 255)), 50);
}
