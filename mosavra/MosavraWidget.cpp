#include "mosavra/MosavraWidget.h"

#include "link/ui/NumberDialog.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

using MosavraTypes::Fixture;
using namespace CanvasGeometry;

namespace {

// Numbers a fixture can be given from its menu.
constexpr quint16 kMinFixtureNumber = 1;
constexpr quint16 kMaxFixtureNumber = 512;

int RingCount(MosavraTypes::FixtureFamily family)
{
    return family == MosavraTypes::kCindral ? 4 : 6;
}

} // namespace

MosavraWidget::MosavraWidget(MosavraCanvasHost* host, QWidget* parent) : QWidget(parent), host_(host)
{
    setMouseTracking(true);
    setObjectName(QStringLiteral("mosavraCanvas"));
    setFixedSize(kCanvasSide, kCanvasSide);
}

MosavraWidget::~MosavraWidget()
{
    ClearHoverCursor();
}

void MosavraWidget::SetImage(const QImage& image, int width, int height, int frameIndex)
{
    frameIndex_ = frameIndex;
    image_ = image;
    if (image.isNull()) {
        setFixedSize(kCanvasSide, kCanvasSide);
    } else if (size() != QSize(width, height)) {
        setFixedSize(width, height);
    } else {
        return;
    }
    updateGeometry();
}

EdgeRect MosavraWidget::FixtureRect(const Fixture& fixture) const
{
    return ScaleRectAboutCentre(fixture.pos, fixture.scale, width(), height());
}

Fixture* MosavraWidget::FixtureAt(double x, double y, bool selected) const
{
    if (!template_)
        return nullptr;
    for (const auto& fixture : template_->fixtures) {
        if (fixture->selected == selected && FixtureRect(*fixture).Contains(QPointF(x, y)))
            return fixture.get();
    }
    return nullptr;
}

Fixture* MosavraWidget::FixtureUnder(QPointF p) const
{
    Fixture* f = FixtureAt(p.x(), p.y(), true);
    return f ? f : FixtureAt(p.x(), p.y(), false);
}

MediaHandle MosavraWidget::MediaHandleAt(QPointF p) const
{
    return CanvasGeometry::MediaHandleAt(ToPixels(host_->MediaRect(), size()), p);
}

void MosavraWidget::MoveMediaRect(QPointF p, MediaHandle handle)
{
    const MediaDrag moved = CanvasGeometry::MoveMediaRect({host_->MediaRect(), mediaPress_}, p, handle, size(),
                                                          host_->CanvasOptions().snapDivisions);
    host_->SetMediaRect(moved.rect);
    mediaPress_ = moved.press;
    repaint();
}

void MosavraWidget::ClearHoverCursor()
{
    if (!hoverCursorSet_)
        return;
    hoverCursorSet_ = false;
    QApplication::restoreOverrideCursor();
}

void MosavraWidget::UpdateHoverCursor(QPointF p)
{
    const Qt::CursorShape shape =
        template_ && host_->CanvasOptions().showMediaChecked && !FixtureUnder(p) ? HandleCursor(MediaHandleAt(p))
                                                                                 : Qt::ArrowCursor;
    if (shape == Qt::ArrowCursor) {
        ClearHoverCursor();
    } else if (hoverCursorSet_) {
        QApplication::changeOverrideCursor(shape);
    } else {
        hoverCursorSet_ = true;
        QApplication::setOverrideCursor(shape);
    }
}

void MosavraWidget::mousePressEvent(QMouseEvent* event)
{
    const QPointF p = event->position();
    if (template_ && event->button() == Qt::LeftButton) {
        dragBegun_ = false;
        Fixture* f = FixtureUnder(p);
        lastMouse_ = p;
        emit onFixtureSelected(f, event->buttons(), event->modifiers());
        if (!current_) {
            const MediaHandle handle = MediaHandleAt(p);
            if (handle != kOutside) {
                mediaDrag_ = true;
                mediaHandle_ = handle;
                mediaPress_ = p;
                mediaRectAtPress_ = host_->MediaRect();
            }
        }
    } else if (template_ && !template_->locked && event->button() == Qt::RightButton) {
        if (Fixture* f = FixtureUnder(p))
            ShowFixtureMenu(f, event->globalPosition().toPoint());
    }
    QWidget::mousePressEvent(event);
}

void MosavraWidget::ShowFixtureMenu(Fixture* f, QPoint globalPos)
{
    QMenu menu(this);
    QAction* remove = menu.addAction(tr("Delete"));
    // Renumbering applies to the fixture under the pointer, but is offered only while it
    // cannot be mistaken for an action on a group.
    QAction* renumber = host_->SelectedFixtureCount() == 1 ? menu.addAction(tr("Renumber")) : nullptr;
    QAction* chosen = menu.exec(globalPos);
    if (!chosen)
        return;
    if (chosen == remove) {
        emit onFixtureDeleted(f);
    } else if (chosen == renumber) {
        Renumber(f);
    }
}

void MosavraWidget::Renumber(Fixture* f)
{
    NumberDialog dialog(f->num, tr("Mosavra Address:"), this, kMaxFixtureNumber, kMinFixtureNumber);
    // The dialog's event loop may have taken the fixture away.
    if (dialog.exec() != QDialog::Accepted || !template_ || !template_->Holds(f))
        return;
    const int number = dialog.GetNumber();
    // The export names each image after its fixture's number: two fixtures of one number
    // would leave one image.
    if (template_->NumberTakenByOther(f, number)) {
        QMessageBox::warning(this, tr("Renumber"),
                             tr("Another fixture of this template already has the Mosavra address %1.").arg(number),
                             QMessageBox::Ok);
        return;
    }
    f->num = number;
    emit onFixtureRenumbered(f);
}

void MosavraWidget::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF p = event->position();
    if (event->buttons() & Qt::LeftButton) {
        if (mediaDrag_) {
            MoveMediaRect(p, mediaHandle_);
        } else if (template_ && !template_->locked && !(event->modifiers() & Qt::ControlModifier) && current_ &&
                   p != lastMouse_) {
            if (!dragBegun_) {
                dragBegun_ = true;
                emit onFixtureDragBegin(current_);
            }
            const double w = width(), h = height();
            emit onFixtureDrag(current_, p.x() / w, p.y() / h, (p.x() - lastMouse_.x()) / w,
                               (p.y() - lastMouse_.y()) / h);
            lastMouse_ = p;
        }
    } else {
        UpdateHoverCursor(p);
    }
    QWidget::mouseMoveEvent(event);
}

void MosavraWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const bool moved = dragBegun_;
        if (dragBegun_) {
            dragBegun_ = false;
            emit onFixtureDragEnd(current_);
        }
        if (current_)
            emit onFixtureReleased(current_, moved, event->buttons(), event->modifiers());
        if (mediaDrag_) {
            mediaDrag_ = false;
            // A click that moved nothing changes nothing: no resampling, no save.
            if (host_->MediaRect() != mediaRectAtPress_)
                host_->MediaDragEnded(mediaHandle_);
        }
    }
    QWidget::mouseReleaseEvent(event);
}

void MosavraWidget::leaveEvent(QEvent* event)
{
    ClearHoverCursor();
    QWidget::leaveEvent(event);
}

void MosavraWidget::PaintGrid(QPainter& painter, int divisions) const
{
    const int w = width(), h = height();
    QPen dashed(Qt::gray, 0, Qt::DashLine);
    for (const QPen& pen : {QPen(Qt::black), dashed}) {
        painter.setPen(pen);
        for (int i = 1; int(double(i) * w / divisions) < w; ++i) {
            const int x = int(double(i) * w / divisions);
            painter.drawLine(x, 1, x, h - 1);
        }
        for (int i = 1; int(double(i) * h / divisions) < h; ++i) {
            const int y = int(double(i) * h / divisions);
            painter.drawLine(1, y, w - 1, y);
        }
    }
}

void MosavraWidget::PaintFixture(QPainter& painter, Fixture& fixture, const MosavraCanvasHost::Options& options)
{
    const EdgeRect r = FixtureRect(fixture);
    const double w = r.Width(), h = r.Height();
    const QPointF centre((r.left + r.right) / 2.0, (r.top + r.bottom) / 2.0);
    const QPen penA(fixture.selected ? Qt::red : Qt::black);
    const QPen penB(fixture.selected ? Qt::darkGreen : Qt::white);
    const int rings = RingCount(fixture.type);
    for (int k = rings; k >= 1; --k) {
        const double rx = k * w / (2 * rings), ry = k * h / (2 * rings);
        painter.setPen(penA);
        painter.drawEllipse(centre, rx, ry);
        painter.setPen(penB);
        painter.drawEllipse(centre, rx + 1, ry + 1);
    }
    painter.setPen(penB);
    painter.drawLine(centre - QPointF(0, 2), centre + QPointF(0, 2));
    painter.drawLine(centre - QPointF(2, 0), centre + QPointF(2, 0));

    if (!image_.isNull() && options.showSamples) {
        if (const QPixmap* samples = host_->FixtureSamples(fixture))
            painter.drawPixmap(r.left, r.top, *samples);
    }
    if (!image_.isNull() && options.showMask) {
        if (const QPixmap* mask = host_->FixtureMask(fixture); mask && !mask->isNull())
            painter.drawPixmap(QPointF(centre.x() - mask->width() / 2.0, centre.y() - mask->height() / 2.0), *mask);
    }
    if (options.showNumbers) {
        const QString text = QString::number(fixture.num);
        const QSize textSize = painter.fontMetrics().size(Qt::TextSingleLine, text);
        const int side = std::max(textSize.width(), textSize.height()) + 4;
        const QRect badge(r.left - side / 2 - 2, r.top - side / 2 - 2, side, side);
        painter.setPen(Qt::black);
        painter.setBrush(Qt::black);
        painter.drawEllipse(badge);
        painter.setPen(Qt::white);
        painter.drawText(badge.translated(1, 0), Qt::AlignCenter, text);
        painter.setBrush(Qt::NoBrush);
    }
}

void MosavraWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const MosavraCanvasHost::Options options = host_->CanvasOptions();
    painter.setPen(Qt::black);
    painter.setBrush(Qt::black);
    painter.drawRect(0, 0, width() - 1, height() - 1);
    painter.setBrush(Qt::NoBrush);

    if (!image_.isNull() && (options.showMediaChecked || !options.showMediaEnabled))
        painter.drawImage(ToPixels(host_->MediaPosition(), size()), image_);
    if (options.showGrid)
        PaintGrid(painter, options.gridDivisions);
    if (template_ && (image_.isNull() || options.showMediaChecked)) {
        const QRect media = ToPixels(host_->MediaRect(), size());
        const QRect outline(media.x(), media.y(), media.width() - 1, media.height() - 1);
        painter.setPen(QPen(Qt::cyan));
        painter.drawRect(outline);
        painter.setPen(QPen(Qt::green, 0, Qt::DashLine));
        painter.drawRect(outline);
    }
    if (!template_)
        return;
    for (bool selectedPass : {false, true}) {
        for (const auto& fixture : template_->fixtures) {
            if (fixture->selected == selectedPass)
                PaintFixture(painter, *fixture, options);
        }
    }
}
