#include "app/tasks/TaskView.h"

#include "app/tasks/TaskInfoDialog.h"
#include "app/tasks/TaskItem.h"

#include <QMouseEvent>

#include <algorithm>

TaskView::TaskView(QWidget* parent) : QGraphicsView(parent)
{
    const QPalette palette = parent ? parent->palette() : this->palette();
    scene_.setBackgroundBrush(palette.brush(QPalette::Window));
    setScene(&scene_);
    setFrameShape(QFrame::NoFrame);
    setRenderHint(QPainter::Antialiasing);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FitHeight();
}

TaskView::~TaskView()
{
    const QList<TaskItem*> tiles = tasks_;
    tasks_.clear();
    qDeleteAll(tiles);
}

bool TaskView::AddTask(TaskItem* tile)
{
    connect(tile, &TaskItem::stale, this, &TaskView::removeTask);
    tasks_.append(tile);
    scene_.addItem(tile);
    Layout();
    FitHeight();
    return true;
}

bool TaskView::HasTaskFor(const QUuid& commandId) const
{
    for (TaskItem* tile : tasks_) {
        if (auto* command = qobject_cast<CommandItem*>(tile); command && command->CommandId() == commandId)
            return true;
    }
    return false;
}

void TaskView::AddCommandTask(CommManager* manager, Command* command)
{
    AddTask(new CommandItem(manager, command));
}

void TaskView::removeTask()
{
    auto* tile = qobject_cast<TaskItem*>(sender());
    // The log being read keeps its tile: it goes when the log is closed.
    if (tile && tile == logShown_) {
        staleWhileLogShown_ = true;
        return;
    }
    RemoveTile(tile);
}

void TaskView::RemoveTile(TaskItem* tile)
{
    if (!tile || !tasks_.contains(tile))
        return;
    tasks_.removeAll(tile);
    disconnect(tile, nullptr, this, nullptr);
    scene_.removeItem(tile);
    // The tile may be inside one of its own slots (its stale timer, dismiss).
    tile->deleteLater();
    Layout();
    FitHeight();
}

void TaskView::Layout()
{
    const QRectF area = transform().inverted().mapRect(QRectF(viewport()->rect()));
    const int width = int(area.width());
    for (int row = 0; row < tasks_.size(); ++row)
        tasks_[row]->SetRect(QRect(0, kRowHeight * row, width, kRowHeight));
    setSceneRect(0, 0, width, kRowHeight * tasks_.size());
}

void TaskView::FitHeight()
{
    const int height = int(sceneRect().height()) + 2 * frameWidth();
    setMaximumHeight(height);
    setMinimumHeight(std::min(height, kMinimumHeightCap));
}

void TaskView::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    Layout();
}

TaskItem* TaskView::TileAt(const QPoint& position) const
{
    QGraphicsItem* item = itemAt(position);
    return item ? dynamic_cast<TaskItem*>(item->topLevelItem()) : nullptr;
}

void TaskView::mousePressEvent(QMouseEvent* event)
{
    QGraphicsView::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    pressed_ = TileAt(event->position().toPoint());
    // The release comes here only after an accepted press.
    if (pressed_)
        event->accept();
}

void TaskView::mouseReleaseEvent(QMouseEvent* event)
{
    QGraphicsView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    QPointer<TaskItem> tile = TileAt(event->position().toPoint());
    const bool sameTile = tile && tile == pressed_;
    pressed_ = nullptr;
    if (!sameTile)
        return;
    ShowLog(tile);
}

void TaskView::ShowLog(TaskItem* tile)
{
    logShown_ = tile;
    staleWhileLogShown_ = false;
    TaskInfoDialog dialog(this, tile);
    const bool dismissed = dialog.exec() == TaskInfoDialog::kDismissed;
    TaskItem* shown = logShown_;
    logShown_ = nullptr;
    if (dismissed || staleWhileLogShown_)
        RemoveTile(shown);
}
