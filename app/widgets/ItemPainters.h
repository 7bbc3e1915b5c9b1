#pragma once

#include <QItemDelegate>
#include <QPersistentModelIndex>

// Paints the cells of column 0 of the navigation tree and the folder list. While a drag
// moves over the view, the view marks the row it would drop on here, and that cell is
// painted as selected and active in place of a drop indicator.
class HighlightDelegate : public QItemDelegate
{
    Q_OBJECT
public:
    explicit HighlightDelegate(QObject* parent = nullptr) : QItemDelegate(parent) {}

    // The cell painted as the drop target; an invalid index clears it. A row that goes
    // away clears it too.
    void SetHighlight(const QModelIndex& index) { highlight_ = index; }
    void ClearHighlight() { highlight_ = QPersistentModelIndex(); }
    QModelIndex Highlight() const { return highlight_; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QPersistentModelIndex highlight_;
};

// Paints a cell's text as a badge: a rounded pill, right-aligned in the cell, filled with
// a gradient from the index's Qt::UserRole colour (top) to its Qt::UserRole + 1 colour
// (bottom), the text centred in the index's foreground colour. An empty text draws no
// badge. Address cells and fill levels use it, in the tree, the lists and the wizards.
class OvalDelegate : public QItemDelegate
{
    Q_OBJECT
public:
    explicit OvalDelegate(QObject* parent = nullptr) : QItemDelegate(parent) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void drawDisplay(QPainter* painter, const QStyleOptionViewItem& option, const QRect& rect,
                     const QString& text) const override;
};
