#pragma once

#include "link/feedback/Feedback.h"

#include <QGraphicsItem>
#include <QList>
#include <QObject>
#include <QPair>
#include <QTimer>
#include <QUuid>

class Command;
class CommManager;
class FormattedTextItem;
class ProgressDialItem;

// One tile of the task list: a progress dial, the title, the latest message and a status
// word in one row. It follows its work from queued through running to finished, takes the
// colour of the worst message seen, and asks to be removed (stale) two seconds after a
// finish without error; a tile that ended in error stays until it is dismissed.
//
// The view that shows it lays it out (SetRect) and removes it on stale(). GUI thread.
class TaskItem : public QObject, public QGraphicsItem
{
    Q_OBJECT
    Q_INTERFACES(QGraphicsItem)
public:
    enum State { Queued = 0, Running = 1, Finished = 2 };
    enum Severity { Normal = 0, Warning = 1, Error = 2 };
    using Message = QPair<QString, Severity>;

    // How long a tile that finished without error stays, in virtual milliseconds.
    static constexpr int kStaleMs = 2000;
    // Room the status word takes, and the gaps between the parts.
    static constexpr int kStatusWidth = 50;
    static constexpr int kGap = 4;

    explicit TaskItem(QGraphicsItem* parent = nullptr);
    ~TaskItem() override;

    // Places and sizes the tile; nothing when neither changes.
    void SetRect(const QRect& rect);

    State GetState() const { return state_; }
    Severity GetSeverity() const { return severity_; }
    QString Title() const;
    QString Status() const;
    QList<Message> Messages() const { return messages_; }
    int ProgressGoal() const { return goal_; }
    int ProgressCurrent() const { return current_; }
    const ProgressDialItem* Dial() const { return dial_; }
    const FormattedTextItem* TitleItem() const { return title_; }
    const FormattedTextItem* TextItem() const { return text_; }
    const FormattedTextItem* StatusItem() const { return status_; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

public slots:
    virtual void setState(TaskItem::State state);
    virtual void setTitle(const QString& title);
    virtual void addText(const QString& text, TaskItem::Severity severity);
    virtual void setSeverity(TaskItem::Severity severity);
    virtual void setProgressGoal(int goal);
    virtual void setProgressCurrent(int current);
    // Asks at once to be removed.
    virtual void dismiss();
    void addText(const QString& text);
    void OnFinished();

signals:
    void running();
    void finished();
    // The tile is done with: its view removes it.
    void stale();
    void textAdded(QString text, TaskItem::Severity severity);

private:
    // The dial and the status word for the state, goal and current value now.
    void ShowStatus();

    int width_ = -1;
    int height_ = -1;
    State state_ = Queued;
    Severity severity_ = Normal;
    QList<Message> messages_;
    int goal_ = 0;
    int current_ = 0;
    QTimer staleTimer_;
    FormattedTextItem* title_;
    FormattedTextItem* text_;
    ProgressDialItem* dial_;
    FormattedTextItem* status_;
};

// The tile of one queued device command: its title is the command's name, and it follows
// the command's feedback and the queue's announcements of it. A command that the queue
// reports completed without having reported its finish (its work broke off) ends the tile
// in error.
//
// Made on the GUI thread when the command is queued, before it executes; it never touches
// the command after that (the command's owner deletes it once it has completed).
class CommandItem : public TaskItem
{
    Q_OBJECT
public:
    CommandItem(CommManager* manager, Command* command, QGraphicsItem* parent = nullptr);

    QUuid CommandId() const { return commandId_; }

public slots:
    void commandRunning(QUuid uuid);
    void feedback(QString text, FeedbackStatus status);
    void finished(FeedbackResult result);
    void commandCompleted(QUuid uuid);

private:
    QUuid commandId_;
};
