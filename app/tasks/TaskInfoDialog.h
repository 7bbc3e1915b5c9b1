#pragma once

#include "app/tasks/TaskItem.h"

#include <QDialog>
#include <QPointer>
#include <QTextCharFormat>

class QPushButton;
class QTextEdit;

// The log of one tile: every message so far, each on the colour of its severity, and
// those that follow while it is open. A tile that ended in error can be dismissed from
// here (exec() then answers kDismissed). The tile's view keeps it while its log is open;
// were it deleted all the same, the dialog closes.
// GUI thread.
class TaskInfoDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kDismissed = 2;

    TaskInfoDialog(QWidget* parent, TaskItem* task);

    QTextEdit* Log() const { return log_; }
    QPushButton* DismissButton() const { return dismiss_; }
    QPushButton* OkButton() const { return ok_; }

public slots:
    void addText(QString text, TaskItem::Severity severity);
    void addText(QString text);
    // Dismiss shows only while the tile has finished in error.
    void updateButtons();
    bool close();
    void dismiss();

private:
    QTextEdit* log_;
    QPushButton* ok_;
    QPushButton* dismiss_;
    QTextCharFormat formats_[3];
    QPointer<TaskItem> task_;
};
