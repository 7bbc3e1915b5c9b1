#include "app/tasks/TaskItem.h"

#include "app/widgets/ProgressDialItem.h"
#include "images/ui/FormattedTextItem.h"
#include "link/commands/CommManager.h"
#include "link/commands/Command.h"
#include "platform/system/Clock.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPalette>
#include <QStyleOptionGraphicsItem>
#include <QWidget>

namespace {

constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignVCenter;

FormattedTextItem* MakeText(QGraphicsItem* parent, bool bold)
{
    auto* item = new FormattedTextItem(parent);
    QFont font(QStringLiteral("Helvetica"), 8);
    font.setBold(bold);
    item->SetFont(font);
    item->SetFlags(kTextFlags);
    item->SetColorGroup(QPalette::ButtonText);
    return item;
}

} // namespace

// ---- TaskItem ----

TaskItem::TaskItem(QGraphicsItem* parent)
    : QGraphicsItem(parent),
      title_(MakeText(this, true)),
      text_(MakeText(this, false)),
      dial_(new ProgressDialItem(this)),
      status_(MakeText(this, false))
{
    dial_->setRange(0, 100);
    staleTimer_.setSingleShot(true);
    staleTimer_.setInterval(platform::Clock::TimerIntervalMs(kStaleMs));
    connect(&staleTimer_, &QTimer::timeout, this, &TaskItem::stale);
    connect(this, &TaskItem::finished, this, &TaskItem::OnFinished);
    ShowStatus();
}

TaskItem::~TaskItem() = default;

QString TaskItem::Title() const
{
    return title_->Text();
}

QString TaskItem::Status() const
{
    return status_->Text();
}

void TaskItem::ShowStatus()
{
    int value = 0;
    bool spin = false;
    QString status;
    switch (state_) {
    case Queued:
        status = QStringLiteral("Queued");
        break;
    case Running:
        if (goal_ > 0 && current_ >= 0) {
            value = int(qint64(current_) * 100 / goal_);
            status = QStringLiteral("%1%").arg(value);
        } else {
            spin = true;
            status = QStringLiteral("Running");
        }
        break;
    case Finished:
        value = 100;
        status = QStringLiteral("Finished");
        break;
    }
    dial_->setSpin(spin);
    dial_->setValue(value);
    status_->SetText(status);
}

void TaskItem::setState(TaskItem::State state)
{
    state_ = state;
    ShowStatus();
    update();
    if (state == Running)
        emit running();
    else if (state == Finished)
        emit finished();
}

void TaskItem::setTitle(const QString& title)
{
    title_->SetText(title);
}

void TaskItem::addText(const QString& text, TaskItem::Severity severity)
{
    messages_.append({text, severity});
    text_->SetText(text);
    if (severity > severity_)
        setSeverity(severity);
    emit textAdded(text, severity);
}

void TaskItem::addText(const QString& text)
{
    addText(text, Normal);
}

void TaskItem::setSeverity(TaskItem::Severity severity)
{
    severity_ = severity;
    dial_->setSeverity(severity);
    if (severity == Error)
        staleTimer_.stop();
}

void TaskItem::setProgressGoal(int goal)
{
    goal_ = goal;
    ShowStatus();
}

void TaskItem::setProgressCurrent(int current)
{
    current_ = current;
    ShowStatus();
}

void TaskItem::dismiss()
{
    emit stale();
}

void TaskItem::OnFinished()
{
    if (severity_ != Error)
        staleTimer_.start();
}

QRectF TaskItem::boundingRect() const
{
    return QRectF(QPointF(0, 0), QPointF(width_ - 1, height_ - 1));
}

void TaskItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    if (width_ <= 0 || height_ <= 0)
        return;
    const QPalette palette = widget ? widget->palette() : option->palette;
    if (state_ == Running) {
        QLinearGradient shade(0, 0, 0, height_ - 1);
        shade.setColorAt(0, palette.color(QPalette::Light));
        shade.setColorAt(1, palette.color(QPalette::Dark));
        painter->fillRect(QRect(0, 0, width_, height_), shade);
        return;
    }
    painter->fillRect(QRect(0, 0, width_, 1), palette.color(QPalette::Light));
    painter->fillRect(QRect(0, 1, width_, height_ - 2), palette.color(QPalette::Button));
    painter->fillRect(QRect(0, height_ - 1, width_, 1), palette.color(QPalette::Dark));
}

void TaskItem::SetRect(const QRect& rect)
{
    if (pos() == QPointF(rect.topLeft()) && width_ == rect.width() && height_ == rect.height())
        return;
    prepareGeometryChange();
    setPos(rect.topLeft());
    width_ = rect.width();
    height_ = rect.height();
    const int free = width_ - height_ - 62;
    dial_->SetRect(QRect(0, 0, height_, height_));
    const QRect title(height_ + kGap, 0, free / 3, height_);
    const QRect text(title.right() + 1 + kGap, 0, free * 2 / 3, height_);
    const QRect status(text.right() + 1 + kGap, 0, kStatusWidth, height_);
    title_->SetRect(title);
    text_->SetRect(text);
    status_->SetRect(status);
}

// ---- CommandItem ----

CommandItem::CommandItem(CommManager* manager, Command* command, QGraphicsItem* parent)
    : TaskItem(parent), commandId_(command->GetId())
{
    setTitle(command->GetName());
    connect(manager, &CommManager::ExecutingNextCommand, this, &CommandItem::commandRunning);
    connect(manager, &CommManager::CommandCompleted, this, &CommandItem::commandCompleted);
    connect(command, &Command::IFeedback_AddString, this, &CommandItem::feedback);
    connect(command, &Command::IFeedback_SetTotal, this, &CommandItem::setProgressGoal);
    connect(command, &Command::IFeedback_SetCurrent, this, &CommandItem::setProgressCurrent);
    connect(command, &Command::IFeedback_Finished, this, &CommandItem::finished);
}

void CommandItem::commandRunning(QUuid uuid)
{
    if (uuid == commandId_)
        setState(Running);
}

void CommandItem::feedback(QString text, FeedbackStatus status)
{
    Severity severity = Normal;
    if (status == FeedbackWarning)
        severity = Warning;
    else if (int(status) >= FeedbackError)
        severity = Error;
    addText(text, severity);
}

void CommandItem::finished(FeedbackResult result)
{
    if (result == FeedbackFailure && GetSeverity() != Error)
        setSeverity(Error);
    setState(Finished);
}

void CommandItem::commandCompleted(QUuid uuid)
{
    if (uuid != commandId_)
        return;
    // The command's own finish arrives before the queue's word that it completed; a
    // command that never reported one broke off, and its tile must not stay running.
    if (GetState() != Finished) {
        addText(QStringLiteral("Error: %1 ended unexpectedly").arg(Title()), Error);
        setState(Finished);
    }
}
