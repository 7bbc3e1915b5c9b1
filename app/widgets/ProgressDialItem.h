#pragma once

#include <QGraphicsItem>
#include <QObject>
#include <QTimer>

// The round progress indicator of a task tile: a shaded ring whose pie fills clockwise
// from twelve o'clock as the value grows, green, yellow (severity 1) or red (severity 2),
// or, in spin mode, a quarter pie that turns once a second while the goal is unknown.
//
// The value setters repaint only on a real change, so a tile may forward every progress
// report. GUI thread only; the spin timer runs in the GUI thread's event loop.
class ProgressDialItem : public QObject, public QGraphicsItem
{
    Q_OBJECT
    Q_INTERFACES(QGraphicsItem)
public:
    // Severities as the task list has them.
    enum Severity { Normal = 0, Warning = 1, Error = 2 };

    // Angles are in sixteenths of a degree, positive counter-clockwise, 0 at three o'clock.
    static constexpr int kFullTurn = 5760;
    static constexpr int kQuarterTurn = 1440;
    // One spin tick turns the quarter pie by 18 degrees; a turn takes 20 ticks.
    static constexpr int kSpinStep = 288;
    static constexpr int kSpinIntervalMs = 50;

    explicit ProgressDialItem(QGraphicsItem* parent = nullptr);

    void SetRect(const QRect& rect);
    QRect Rect() const { return rect_; }
    int GetSeverity() const { return severity_; }
    int Minimum() const { return minimum_; }
    int Maximum() const { return maximum_; }
    int Value() const { return value_; }
    bool IsSpinning() const { return spin_; }
    int SpinAngle() const { return spinAngle_; }
    // The pie's sweep in value mode: 0 (empty) to -kFullTurn (full), clockwise. An empty or
    // reversed range shows a full dial once the value has reached the maximum.
    int ValueSpan() const;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

public slots:
    void setSeverity(int severity);
    void setMaximum(int maximum);
    void setMinimum(int minimum);
    void setRange(int minimum, int maximum);
    void setValue(int value);
    void setSpin(bool spin);
    void nextSpin();

private:
    QRect rect_;
    int severity_ = Normal;
    int minimum_ = 0;
    int maximum_ = 100;
    int value_ = 0;
    bool spin_ = false;
    QTimer spinTimer_;
    int spinAngle_ = -3 * kQuarterTurn;
};
