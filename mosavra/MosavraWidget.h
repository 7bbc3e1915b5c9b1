#pragma once

#include "mosavra/CanvasGeometry.h"
#include "mosavra/MosavraTypes.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

class QPainter;

// What the canvas reads of the creator window that holds it: the option boxes, the
// media rectangle, the selection count and the fixtures' rendered samples, and where it
// reports the end of a drag of the media rectangle.
class MosavraCanvasHost
{
public:
    struct Options
    {
        bool showMediaChecked = true;
        bool showMediaEnabled = false;
        bool showSamples = false;
        bool showMask = false;
        bool showNumbers = false;
        bool showGrid = false;
        // 0 when Snap To Grid is off.
        int snapDivisions = 0;
        int gridDivisions = 4;
    };

    virtual Options CanvasOptions() const = 0;
    virtual QRectF MediaRect() const = 0;
    // Moves the outline while a drag of the media rectangle goes on.
    virtual void SetMediaRect(const QRectF& rect) = 0;
    // Where the media image is drawn (canvas units).
    virtual QPointF MediaPosition() const = 0;
    virtual int SelectedFixtureCount() const = 0;
    // A drag of the media rectangle ended after moving it (kInside) or resizing it.
    virtual void MediaDragEnded(CanvasGeometry::MediaHandle handle) = 0;
    // The fixture's samples for the canvas's present frame, or null when there are none.
    virtual const QPixmap* FixtureSamples(MosavraTypes::Fixture& fixture) = 0;
    // The fixture's sample mask, or null.
    virtual const QPixmap* FixtureMask(MosavraTypes::Fixture& fixture) = 0;

protected:
    ~MosavraCanvasHost() = default;
};

// The creator's square canvas: the current media frame inside the media rectangle, an
// optional grid, and the fixtures of the current template with their outlines, samples,
// masks and numbers. The user selects, drags, deletes and renumbers fixtures and moves
// or resizes the media rectangle with the mouse.
//
// It holds no rules: fixture gestures go to the creator as signals, which decides the
// selection and moves the fixtures and then hands the canvas its template and current
// fixture. The media rectangle is edited through the host. GUI thread.
class MosavraWidget : public QWidget
{
    Q_OBJECT
public:
    MosavraWidget(MosavraCanvasHost* host, QWidget* parent = nullptr);
    ~MosavraWidget() override;

    // Shows `image` (the media frame already scaled for the media rectangle; null for
    // none) as frame `frameIndex`. A null image makes the canvas 320 × 320, any other
    // width × height.
    void SetImage(const QImage& image, int width, int height, int frameIndex);
    int FrameIndex() const { return frameIndex_; }
    const QImage& Image() const { return image_; }

    void SetTemplate(MosavraTypes::Template* t) { template_ = t; }
    MosavraTypes::Template* GetTemplate() const { return template_; }
    void SetCurrentFixture(MosavraTypes::Fixture* f) { current_ = f; }
    MosavraTypes::Fixture* CurrentFixture() const { return current_; }

    // The first fixture of the template, in list order, whose selection equals
    // `selected` and whose rectangle holds (x, y); null for none or without template.
    MosavraTypes::Fixture* FixtureAt(double x, double y, bool selected) const;
    // The fixture's rectangle in the canvas's pixels.
    CanvasGeometry::EdgeRect FixtureRect(const MosavraTypes::Fixture& fixture) const;
    CanvasGeometry::MediaHandle MediaHandleAt(QPointF p) const;
    // One step of a drag of the media rectangle by `handle` to `p`.
    void MoveMediaRect(QPointF p, CanvasGeometry::MediaHandle handle);

    // Takes back the resize cursor the canvas shows over the media rectangle's edges.
    void ClearHoverCursor();

signals:
    void onFixtureSelected(MosavraTypes::Fixture* f, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void onFixtureDeleted(MosavraTypes::Fixture* f);
    void onFixtureDragBegin(MosavraTypes::Fixture* f);
    void onFixtureDragEnd(MosavraTypes::Fixture* f);
    void onFixtureDrag(MosavraTypes::Fixture* f, double mx, double my, double dx, double dy);
    void onFixtureReleased(MosavraTypes::Fixture* f, bool moved, Qt::MouseButtons buttons,
                           Qt::KeyboardModifiers modifiers);
    // The fixture under the pointer got a new number from its context menu.
    void onFixtureRenumbered(MosavraTypes::Fixture* f);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The fixture under a point, the selected ones first.
    MosavraTypes::Fixture* FixtureUnder(QPointF p) const;
    void ShowFixtureMenu(MosavraTypes::Fixture* f, QPoint globalPos);
    // Asks for the fixture's new number; one that another fixture has is refused.
    void Renumber(MosavraTypes::Fixture* f);
    void UpdateHoverCursor(QPointF p);
    void PaintGrid(QPainter& painter, int divisions) const;
    void PaintFixture(QPainter& painter, MosavraTypes::Fixture& fixture, const MosavraCanvasHost::Options& options);

    MosavraCanvasHost* host_;
    QImage image_;
    QPointF lastMouse_;
    int frameIndex_ = 0;
    bool dragBegun_ = false;
    bool mediaDrag_ = false;
    CanvasGeometry::MediaHandle mediaHandle_ = CanvasGeometry::kOutside;
    QPointF mediaPress_;
    MosavraTypes::Fixture* current_ = nullptr;
    MosavraTypes::Template* template_ = nullptr;
    // The media rectangle when the present media drag began.
    QRectF mediaRectAtPress_;
    // The resize cursor this canvas put on the application's cursor stack, if any.
    bool hoverCursorSet_ = false;
};
