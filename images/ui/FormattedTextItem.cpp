#include "images/ui/FormattedTextItem.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QWidget>

namespace {

// Stores `value` and answers true when it differs from what `field` held.
template <class T>
bool Change(T& field, const T& value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

FormattedTextItem::FormattedTextItem(QGraphicsItem* parent) : QGraphicsItem(parent) {}

FormattedTextItem::FormattedTextItem(const QString& text, const QRect& rect, QGraphicsItem* parent)
    : QGraphicsItem(parent), rect_(rect), text_(text)
{
}

FormattedTextItem::~FormattedTextItem() = default;

QRectF FormattedTextItem::boundingRect() const
{
    return QRectF(rect_);
}

void FormattedTextItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    painter->setFont(font_);
    painter->setBrush(Qt::NoBrush);
    QPen pen;
    if (brush_.style() != Qt::NoBrush) {
        pen.setBrush(brush_);
    } else {
        // A scene rendered into a picture has no widget: the style option carries the palette.
        const QPalette palette = widget ? widget->palette() : option ? option->palette : QPalette();
        // A number that is no role (the setter takes any int) reads as the default role
        // rather than past the palette's table.
        const bool known = colorRole_ >= 0 && colorRole_ < QPalette::NColorRoles;
        const auto role = known ? QPalette::ColorRole(colorRole_) : QPalette::WindowText;
        pen.setColor(palette.brush(QPalette::Current, role).color());
    }
    painter->setPen(pen);
    painter->drawText(rect_, flags_, text_);
}

void FormattedTextItem::SetRect(const QRect& rect)
{
    // QRect's equality compares the four corners.
    if (rect_ == rect)
        return;
    prepareGeometryChange();
    rect_ = rect;
}

void FormattedTextItem::SetFont(const QFont& font)
{
    if (Change(font_, font))
        update();
}

void FormattedTextItem::SetText(const QString& text)
{
    if (Change(text_, text))
        update();
}

void FormattedTextItem::SetBrush(const QBrush& brush)
{
    if (Change(brush_, brush))
        update();
}

void FormattedTextItem::SetColorGroup(int role)
{
    if (Change(colorRole_, role))
        update();
}

void FormattedTextItem::SetFlags(int flags)
{
    if (Change(flags_, flags))
        update();
}
