#include "app/widgets/ItemPainters.h"

#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <gtest/gtest.h>

namespace {

// The cell at (0, 0) painted by `delegate` into a 120 x 20 picture on white.
QImage PaintCell(QAbstractItemDelegate& delegate, const QModelIndex& index)
{
    QImage image(120, 20, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QStyleOptionViewItem option;
    option.rect = image.rect();
    option.palette.setColor(QPalette::Text, Qt::black);
    QPainter painter(&image);
    delegate.paint(&painter, option, index);
    return image;
}

// The first and last columns that hold a pixel other than white; (-1, -1) for none.
std::pair<int, int> InkedColumns(const QImage& image)
{
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixelColor(x, y) != QColor(Qt::white)) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

QStandardItem* Badge(const QString& text)
{
    auto* item = new QStandardItem(text);
    item->setData(QColor(96, 96, 96), Qt::UserRole);
    item->setData(QColor(Qt::black), Qt::UserRole + 1);
    item->setData(QColor(Qt::white), Qt::ForegroundRole);
    item->setData(int(Qt::AlignRight | Qt::AlignVCenter), Qt::TextAlignmentRole);
    return item;
}

} // namespace

TEST(OvalDelegate, ABadgeGrowsToTheLeftOfItsRightEdgeAndAnEmptyOneIsNotDrawn)
{
    QStandardItemModel model;
    model.appendRow({Badge(QString()), Badge("45"), Badge("12345")});
    OvalDelegate delegate;
    EXPECT_EQ(InkedColumns(PaintCell(delegate, model.index(0, 0))), std::make_pair(-1, -1));
    const auto shortBadge = InkedColumns(PaintCell(delegate, model.index(0, 1)));
    const auto longBadge = InkedColumns(PaintCell(delegate, model.index(0, 2)));
    ASSERT_GE(shortBadge.first, 0);
    EXPECT_LT(longBadge.first, shortBadge.first);
    EXPECT_EQ(longBadge.second, shortBadge.second);
    EXPECT_GE(shortBadge.second, 116) << "right-aligned in the cell";
    // Filled with the index's colours: grey at the top, black at the bottom (looked at
    // beside the text, in the badge's rounded end).
    const QImage image = PaintCell(delegate, model.index(0, 1));
    const int x = shortBadge.first + 4;
    int top = 0, bottom = image.height() - 1;
    while (top < bottom && image.pixelColor(x, top) == QColor(Qt::white))
        ++top;
    while (bottom > top && image.pixelColor(x, bottom) == QColor(Qt::white))
        --bottom;
    ASSERT_GT(bottom - top, 6);
    EXPECT_GT(image.pixelColor(x, top + 2).value(), image.pixelColor(x, bottom - 2).value() + 20);
}

TEST(HighlightDelegate, TheMarkedCellIsPaintedSelectedUntilCleared)
{
    QStandardItemModel model;
    model.appendRow({new QStandardItem("Shows"), new QStandardItem("Trees")});
    HighlightDelegate delegate;
    const QImage plain = PaintCell(delegate, model.index(0, 0));
    delegate.SetHighlight(model.index(0, 0));
    EXPECT_NE(PaintCell(delegate, model.index(0, 0)), plain);
    HighlightDelegate unmarked;
    EXPECT_EQ(PaintCell(delegate, model.index(0, 1)), PaintCell(unmarked, model.index(0, 1)))
        << "only the marked cell";
    delegate.ClearHighlight();
    EXPECT_EQ(PaintCell(delegate, model.index(0, 0)), plain);

    // A row that goes away takes its mark with it.
    delegate.SetHighlight(model.index(0, 1));
    model.removeRow(0);
    EXPECT_FALSE(delegate.Highlight().isValid());
}
