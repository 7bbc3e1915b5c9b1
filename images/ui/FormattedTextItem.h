#pragma once

#include <QBrush>
#include <QFont>
#include <QGraphicsItem>
#include <QPalette>
#include <QRect>
#include <QString>

// A light graphics item that draws one text inside a fixed rectangle with given alignment
// flags, font and colour; the name and badge texts of the preview tiles and the task list's
// texts. It keeps no document.
//
// The colour: the brush when one is set; otherwise the colour role (QPalette::WindowText by
// default) of the palette of the view that paints the item, or, when the scene is rendered
// without a view (into a picture), of the style option's palette.
//
// Every setter repaints (or, for the rectangle, announces a geometry change) only when the
// value really changes, so callers may set everything on every refresh. GUI thread.
class FormattedTextItem : public QGraphicsItem
{
public:
    // Alignment and text flags as QPainter::drawText takes them: left, top.
    static constexpr int kDefaultFlags = Qt::AlignLeft | Qt::AlignTop;

    explicit FormattedTextItem(QGraphicsItem* parent = nullptr);
    FormattedTextItem(const QString& text, const QRect& rect, QGraphicsItem* parent = nullptr);
    ~FormattedTextItem() override;

    // The rectangle; empty (null) until SetRect, so a new item draws nothing.
    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    void SetRect(const QRect& rect);
    void SetFont(const QFont& font);
    void SetText(const QString& text);
    // A brush other than Qt::NoBrush colours the text instead of the palette.
    void SetBrush(const QBrush& brush);
    // The palette role (a QPalette::ColorRole) that colours the text without a brush.
    void SetColorGroup(int role);
    // Qt::AlignmentFlag and Qt::TextFlag bits.
    void SetFlags(int flags);

    QRect Rect() const { return rect_; }
    QFont Font() const { return font_; }
    QString Text() const { return text_; }
    QBrush Brush() const { return brush_; }
    int ColorGroup() const { return colorRole_; }
    int Flags() const { return flags_; }

private:
    QRect rect_;
    QFont font_;
    QString text_;
    QBrush brush_;
    int colorRole_ = QPalette::WindowText;
    int flags_ = kDefaultFlags;
};
