#include "app/widgets/ItemPainters.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

void HighlightDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem marked(option);
    if (highlight_.isValid() && QModelIndex(highlight_) == index)
        marked.state |= QStyle::State_Selected | QStyle::State_Active;
    QItemDelegate::paint(painter, marked, index);
}

void OvalDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem coloured(option);
    const QVariant light = index.data(Qt::UserRole);
    if (light.isValid())
        coloured.palette.setBrush(QPalette::Light, light.value<QColor>());
    const QVariant dark = index.data(Qt::UserRole + 1);
    if (dark.isValid())
        coloured.palette.setBrush(QPalette::Dark, dark.value<QColor>());
    QItemDelegate::paint(painter, coloured, index);
}

void OvalDelegate::drawDisplay(QPainter* painter, const QStyleOptionViewItem& option, const QRect& rect,
                               const QString& text) const
{
    if (text.isEmpty())
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setFont(option.font);

    const QRectF inner = QRectF(rect).adjusted(1, 1, -1, -1);
    const qreal h = inner.height();
    const qreal width = QFontMetricsF(option.font).horizontalAdvance(text) + h - 6;
    const qreal x = inner.x() + (inner.width() - width);
    const qreal y = inner.y();

    QPainterPath pill;
    pill.moveTo(x + h / 2, y);
    pill.arcTo(QRectF(x, y, h, h), 90, 180);
    pill.lineTo(x + width - h / 2, y + h);
    pill.arcTo(QRectF(x + width - h, y, h, h), 270, 180);
    pill.closeSubpath();

    QLinearGradient fill(x, y, x, y + h);
    fill.setColorAt(0, option.palette.color(QPalette::Light));
    fill.setColorAt(1, option.palette.color(QPalette::Dark));
    painter->setPen(Qt::NoPen);
    painter->fillPath(pill, fill);
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(QRectF(x, y, width, h), Qt::AlignHCenter | Qt::AlignVCenter, text);
    painter->restore();
}
