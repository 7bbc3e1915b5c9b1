#include "app/widgets/ProgressDialItem.h"

#include "platform/system/Clock.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QWidget>

#include <algorithm>

ProgressDialItem::ProgressDialItem(QGraphicsItem* parent) : QGraphicsItem(parent)
{
    connect(&spinTimer_, &QTimer::timeout, this, &ProgressDialItem::nextSpin);
}

void ProgressDialItem::SetRect(const QRect& rect)
{
    if (rect == rect_)
        return;
    prepareGeometryChange();
    rect_ = rect;
}

QRectF ProgressDialItem::boundingRect() const
{
    return rect_;
}

int ProgressDialItem::ValueSpan() const
{
    // In 64 bits: a large value times a full turn overflows an int.
    const qint64 range = qint64(maximum_) - minimum_;
    const qint64 done = qint64(value_) - minimum_;
    qint64 span = 0;
    if (range > 0)
        span = done * -kFullTurn / range;
    else
        span = value_ >= maximum_ ? -kFullTurn : 0;
    return int(std::clamp<qint64>(span, -kFullTurn, 0));
}

void ProgressDialItem::setSeverity(int severity)
{
    if (severity == severity_)
        return;
    severity_ = severity;
    update();
}

void ProgressDialItem::setMaximum(int maximum)
{
    if (maximum == maximum_)
        return;
    maximum_ = maximum;
    update();
}

void ProgressDialItem::setMinimum(int minimum)
{
    if (minimum == minimum_)
        return;
    minimum_ = minimum;
    update();
}

void ProgressDialItem::setRange(int minimum, int maximum)
{
    if (minimum == minimum_ && maximum == maximum_)
        return;
    minimum_ = minimum;
    maximum_ = maximum;
    update();
}

void ProgressDialItem::setValue(int value)
{
    if (value == value_)
        return;
    value_ = value;
    update();
}

void ProgressDialItem::setSpin(bool spin)
{
    if (spin == spin_)
        return;
    spin_ = spin;
    if (spin_)
        spinTimer_.start(platform::Clock::TimerIntervalMs(kSpinIntervalMs));
    else
        spinTimer_.stop();
}

void ProgressDialItem::nextSpin()
{
    spinAngle_ -= kSpinStep;
    if (spinAngle_ <= -kFullTurn)
        spinAngle_ = 0;
    update();
}

void ProgressDialItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    // A scene rendered into a picture has no widget: the style option carries the palette.
    const QPalette palette = widget ? widget->palette() : option ? option->palette : QApplication::palette();
    painter->save();
    painter->setPen(Qt::NoPen);

    QLinearGradient outer(rect_.topLeft(), rect_.bottomRight());
    outer.setColorAt(0.33, palette.color(QPalette::Dark));
    outer.setColorAt(0.67, palette.color(QPalette::Light));
    painter->setBrush(outer);
    painter->drawEllipse(rect_);

    const QRect pieRect = rect_.adjusted(1, 1, -1, -1);
    const int start = spin_ ? spinAngle_ : kQuarterTurn;
    const int span = spin_ ? -kQuarterTurn : ValueSpan();
    const QColor colour = severity_ == Warning ? QColor(Qt::yellow) : severity_ == Error ? QColor(Qt::red) : QColor(Qt::green);
    painter->setBrush(colour);
    painter->drawPie(pieRect, start, span);
    if (span > -kFullTurn) {
        painter->setBrush(palette.brush(QPalette::Button));
        painter->drawPie(pieRect, start, span + kFullTurn);
    }

    const int h = rect_.width() / 4;
    const int l = rect_.height() / 4;
    const QRect hub(QPoint(rect_.left() + h, rect_.top() + l), QPoint(rect_.right() - h, rect_.bottom() - l));
    QLinearGradient inner(hub.topLeft(), hub.bottomRight());
    inner.setColorAt(0.33, palette.color(QPalette::Light));
    inner.setColorAt(0.67, palette.color(QPalette::Dark));
    painter->setBrush(inner);
    painter->drawEllipse(hub);
    painter->setBrush(palette.brush(QPalette::Button));
    painter->drawEllipse(hub.adjusted(1, 1, -1, -1));
    painter->restore();
}
