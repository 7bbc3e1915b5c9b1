#pragma once

#include "link/feedback/Feedback.h"

#include <QDialog>
#include <QTextCharFormat>
#include <QThread>

#include <memory>

class FeedbackProxy;
class Operation;
class QLabel;
class QProgressBar;
class QPushButton;
class QTextEdit;

// Runs one operation on a worker thread behind a modal progress dialog.
//
// The dialog stays hidden for the first second, so quick work never flashes a window; it
// appears then, or at once when the work fails. It is modal from the start of Run all the
// same: the windows open before take no input until it ends. While the work runs the
// dialog cannot be closed (Escape and the window's close button do nothing); Cancel asks
// the operation to stop and the dialog closes when it has.
//
// One operation runs at a time: a Run started while another dialog's run is in progress
// (from an event its event loop delivered) waits until that dialog has closed.
//
// The dialog is as wide as its title bar needs and as it ran, also once the progress bar
// has gone; the shown log is as wide as its longest line, up to the screen's width (longer
// lines scroll), and as high as ten lines; progress messages never change the width. The
// dialog stays inside its screen's available area.
//
// GUI thread only. One Run per dialog.
class OperationDialog : public QDialog
{
    Q_OBJECT
public:
    class Thread;

    explicit OperationDialog(QWidget* parent = nullptr);
    ~OperationDialog() override;

    // Runs `operation` and returns true when it succeeded (and, had the dialog stayed
    // open, the user confirmed). The operation is moved to the worker thread for the run
    // and moved back to the calling thread afterwards; the caller keeps ownership.
    bool Run(Operation* operation);

    // How long the dialog stays hidden while the work runs.
    static constexpr int kShowDelayMs = 1000;

public slots:
    void addText(QString string, FeedbackStatus status);
    void setProgressGoal(int total);
    void setProgressCurrent(int current);
    void toggleLog();
    void operationFinished();
    void cancel();
    void ok();

    void reject() override;

protected:
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool IsRunning() const;
    void StopShowTimer();
    // Widens the log for the lines of `text`, up to the screen's width.
    void FitLogTo(const QString& text);
    // Sizes the log for its longest line, up to the screen's width, and for its first lines.
    void FitLog();

    QLabel* status_;
    QPushButton* details_;
    QTextEdit* log_;
    QProgressBar* progress_;
    QPushButton* cancel_;
    QPushButton* ok_;
    QTextCharFormat normalFormat_;
    QTextCharFormat warningFormat_;
    QTextCharFormat errorFormat_;
    int showTimerId_ = -1;
    int longestLogLine_ = 0;
    std::unique_ptr<FeedbackProxy> proxy_;
    Thread* thread_ = nullptr;
    bool concluded_ = false; // operationFinished has handled the thread's end
};

// The worker thread of one run.
class OperationDialog::Thread : public QThread
{
    Q_OBJECT
public:
    Thread(Operation* operation, IFeedback* feedback, QThread* home, QObject* parent);

    // The operation's step result; 1 (failure) until it has returned.
    int Result() const { return result_.loadAcquire(); }

protected:
    void run() override;

private:
    Operation* operation_;
    IFeedback* feedback_;
    QThread* home_;
    QAtomicInt result_{1};
};
