#pragma once

#include "app/shell/ITaskList.h"

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QList>
#include <QPointer>

class TaskItem;

// The task list: its tiles one below the other, 18 pixels each, as wide as the view, in
// the order they came. The view is as tall as its tiles (no taller than 100 pixels unless
// there is room). A click on a tile (press and release on the same one) opens its log;
// dismissing the log removes the tile. A tile that asks to be removed (stale) is taken
// out at once and deleted once control is back in the event loop, so a tile may ask from
// inside its own slots; but while its log is open it stays, and goes when the log is
// closed, so that the log can be read to its end.
//
// Owns its tiles; destroying the view deletes them. GUI thread.
class TaskView : public QGraphicsView, public ITaskList
{
    Q_OBJECT
public:
    static constexpr int kRowHeight = 18;
    // The view grows with its tiles; beyond this it may be squeezed to this height.
    static constexpr int kMinimumHeightCap = 100;

    explicit TaskView(QWidget* parent = nullptr);
    ~TaskView() override;

    // Shows `tile` below the others and takes it over. Always true.
    bool AddTask(TaskItem* tile);
    QList<TaskItem*> Tasks() const { return tasks_; }

    // ITaskList
    QWidget* Widget() override { return this; }
    bool HasTaskFor(const QUuid& commandId) const override;
    void AddCommandTask(CommManager* manager, Command* command) override;

public slots:
    // Removes the tile that sent the signal.
    void removeTask();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void RemoveTile(TaskItem* tile);
    // Shows the log of `tile` until the user closes it.
    void ShowLog(TaskItem* tile);
    void Layout();
    void FitHeight();
    TaskItem* TileAt(const QPoint& position) const;

    QGraphicsScene scene_;
    QList<TaskItem*> tasks_;
    QPointer<TaskItem> pressed_;
    // The tile whose log is open, and whether it asked to go meanwhile.
    QPointer<TaskItem> logShown_;
    bool staleWhileLogShown_ = false;
};
