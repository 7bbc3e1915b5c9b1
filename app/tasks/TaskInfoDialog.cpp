#include "app/tasks/TaskInfoDialog.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

constexpr int kMargin = 4;
constexpr int kSize = 500;

} // namespace

TaskInfoDialog::TaskInfoDialog(QWidget* parent, TaskItem* task)
    : QDialog(parent),
      log_(new QTextEdit(this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      dismiss_(new QPushButton(QStringLiteral("Dismiss"), this)),
      task_(task)
{
    setWindowTitle(task->Title());
    formats_[TaskItem::Warning].setBackground(QColor(255, 255, 192));
    formats_[TaskItem::Error].setBackground(QColor(255, 192, 192));

    log_->setReadOnly(true);
    log_->setLineWrapMode(QTextEdit::NoWrap);
    for (const TaskItem::Message& message : task->Messages())
        addText(message.first, message.second);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(dismiss_);
    buttons->addWidget(ok_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(log_);
    layout->addLayout(buttons);
    resize(kSize, kSize);

    connect(dismiss_, &QPushButton::clicked, this, &TaskInfoDialog::dismiss);
    connect(ok_, &QPushButton::clicked, this, &TaskInfoDialog::close);
    connect(task, &TaskItem::textAdded, this, qOverload<QString, TaskItem::Severity>(&TaskInfoDialog::addText));
    connect(task, &TaskItem::finished, this, &TaskInfoDialog::updateButtons);
    // The view keeps the tile while its log is open; should it go all the same, so does the log.
    connect(task, &QObject::destroyed, this, &TaskInfoDialog::close);
    updateButtons();
}

void TaskInfoDialog::addText(QString text, TaskItem::Severity severity)
{
    QTextCursor end(log_->document());
    end.movePosition(QTextCursor::End);
    const int index = severity >= TaskItem::Normal && severity <= TaskItem::Error ? severity : TaskItem::Normal;
    end.insertText(text, formats_[index]);
    end.insertText(QStringLiteral("\n"), formats_[index]);
    log_->setTextCursor(end);
    log_->ensureCursorVisible();
}

void TaskInfoDialog::addText(QString text)
{
    addText(text, TaskItem::Normal);
}

void TaskInfoDialog::updateButtons()
{
    dismiss_->setVisible(task_ && task_->GetState() == TaskItem::Finished && task_->GetSeverity() == TaskItem::Error);
}

bool TaskInfoDialog::close()
{
    done(0);
    return true;
}

void TaskInfoDialog::dismiss()
{
    done(kDismissed);
}
