#include "link/ui/OperationDialog.h"

#include "link/feedback/FeedbackProxy.h"
#include "link/operation/Operation.h"
#include "link/ui/DialogFit.h"
#include "link/ui/InputBlocker.h"
#include "platform/system/Clock.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimerEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// The progress bar's width, which the dialog keeps once the bar has gone.
constexpr int kProgressWidth = 300;
// The shown log has room for this many lines (fewer while it holds fewer); more scroll.
constexpr int kLogLines = 10;

// The latest progress message, cut with an ellipsis to the width the dialog has: a long
// message must not widen the dialog while it runs.
class StatusLabel : public QLabel
{
public:
    explicit StatusLabel(QWidget* parent) : QLabel(parent)
    {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
        style()->drawItemText(&painter, area, int(QStyle::visualAlignment(layoutDirection(), alignment())), palette(),
                              isEnabled(), shown, foregroundRole());
    }
};

// The one run in progress: a dialog's run takes its turn once the run before has ended
// (its dialog closed), and gives it up as its own dialog finishes.
class RunTurn
{
public:
    explicit RunTurn(OperationDialog* dialog) : dialog_(dialog)
    {
        while (OperationDialog* active = Active()) {
            QEventLoop loop;
            QObject::connect(active, &QDialog::finished, &loop, &QEventLoop::quit);
            QObject::connect(active, &QObject::destroyed, &loop, &QEventLoop::quit);
            loop.exec(QEventLoop::DialogExec);
        }
        Active() = dialog;
        QObject::connect(dialog, &QDialog::finished, dialog, [dialog] { GiveUp(dialog); });
    }
    ~RunTurn() { GiveUp(dialog_); }
    RunTurn(const RunTurn&) = delete;
    RunTurn& operator=(const RunTurn&) = delete;

private:
    static QPointer<OperationDialog>& Active()
    {
        static QPointer<OperationDialog> active;
        return active;
    }
    static void GiveUp(OperationDialog* dialog)
    {
        if (Active() == dialog)
            Active() = nullptr;
    }

    OperationDialog* dialog_;
};

} // namespace

OperationDialog::Thread::Thread(Operation* operation, IFeedback* feedback, QThread* home, QObject* parent)
    : QThread(parent), operation_(operation), feedback_(feedback), home_(home)
{
}

void OperationDialog::Thread::run()
{
    const int result = operation_->Run(feedback_);
    result_.storeRelease(result);
    switch (result) {
    case Operation::Success:
        feedback_->Finished(FeedbackSuccess);
        break;
    case Operation::Failure:
        feedback_->Finished(FeedbackFailure);
        break;
    case Operation::Cancelled:
        feedback_->Finished(FeedbackCancelled);
        break;
    default:
        break;
    }
    // Hand the operation back to the thread that owns it before this thread ends.
    operation_->moveToThread(home_);
}

OperationDialog::OperationDialog(QWidget* parent)
    : QDialog(parent),
      status_(new StatusLabel(this)),
      details_(new QPushButton(tr("Details >>"), this)),
      log_(new QTextEdit(this)),
      progress_(new QProgressBar(this)),
      cancel_(new QPushButton(tr("Cancel"), this)),
      ok_(new QPushButton(tr("OK"), this))
{
    status_->setObjectName("statusLabel");
    details_->setObjectName("detailsButton");
    log_->setObjectName("log");
    progress_->setObjectName("progressBar");
    cancel_->setObjectName("cancelButton");
    ok_->setObjectName("okButton");

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(status_, 1);
    top->addWidget(details_);
    layout->addLayout(top);

    log_->setReadOnly(true);
    log_->setLineWrapMode(QTextEdit::NoWrap);
    log_->hide();
    layout->addWidget(log_, 1);

    progress_->setRange(0, 0); // a busy bar until the work sets a goal
    progress_->setMinimumWidth(kProgressWidth);
    layout->addWidget(progress_);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cancel_, 0, Qt::AlignHCenter);
    buttons->addWidget(ok_, 0, Qt::AlignHCenter);
    ok_->hide();
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinAndMaxSize);
    (new WidthFloor(this, layout))->SetContentWidth(kProgressWidth);

    normalFormat_.setBackground(Qt::white);
    warningFormat_.setBackground(QColor(255, 255, 192));
    errorFormat_.setBackground(QColor(255, 192, 192));

    connect(details_, &QPushButton::clicked, this, &OperationDialog::toggleLog);
    connect(cancel_, &QPushButton::clicked, this, &OperationDialog::cancel);
    connect(ok_, &QPushButton::clicked, this, &OperationDialog::ok);
}

OperationDialog::~OperationDialog()
{
    // Run always waits for its thread; this only guards against a dialog destroyed from
    // inside its own run, which must not leave a running thread behind.
    if (thread_)
        thread_->wait();
}

bool OperationDialog::Run(Operation* operation)
{
    Q_ASSERT(!thread_);
    // Two runs at once would work on the same content (two clicks, two deletions).
    const RunTurn turn(this);
    // Modal from the start, shown or not: input to the other windows would start more work.
    const InputBlocker blocker(this);
    setWindowTitle(operation->Title());

    proxy_ = std::make_unique<FeedbackProxy>();
    connect(proxy_.get(), &FeedbackProxy::IFeedback_AddString, this, &OperationDialog::addText);
    connect(proxy_.get(), &FeedbackProxy::IFeedback_SetTotal, this, &OperationDialog::setProgressGoal);
    connect(proxy_.get(), &FeedbackProxy::IFeedback_SetCurrent, this, &OperationDialog::setProgressCurrent);

    thread_ = new Thread(operation, proxy_.get(), QThread::currentThread(), this);
    operation->moveToThread(thread_);
    proxy_->moveToThread(thread_);
    connect(thread_, &QThread::finished, this, &OperationDialog::operationFinished);

    setModal(true);
    showTimerId_ = startTimer(platform::Clock::TimerIntervalMs(kShowDelayMs));
    thread_->start(QThread::InheritPriority);

    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::DialogExec);

    // The dialog can only finish once the thread has ended; wait for it to be gone
    // entirely before the proxy it reports to is released.
    thread_->wait();
    StopShowTimer();
    proxy_.reset();
    return result() == QDialog::Accepted;
}

bool OperationDialog::IsRunning() const
{
    // Until operationFinished has taken the result, the run is not over even when the
    // thread has just ended: a reject in between would turn a success into a failure.
    return thread_ && !concluded_;
}

void OperationDialog::StopShowTimer()
{
    if (showTimerId_ != -1) {
        killTimer(showTimerId_);
        showTimerId_ = -1;
    }
}

void OperationDialog::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != showTimerId_) {
        QDialog::timerEvent(event);
        return;
    }
    StopShowTimer();
    show();
}

void OperationDialog::addText(QString string, FeedbackStatus status)
{
    status_->setText(string);
    const QTextCharFormat& format = status == FeedbackWarning ? warningFormat_
                                    : status == FeedbackError ? errorFormat_
                                                              : normalFormat_;
    QTextCursor cursor(log_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(string, format);
    cursor.insertText(QStringLiteral("\n"), QTextCharFormat());
    log_->setTextCursor(cursor);
    log_->ensureCursorVisible();
    FitLogTo(string);
}

void OperationDialog::FitLogTo(const QString& text)
{
    const QFontMetrics metrics = log_->fontMetrics();
    for (const QString& line : text.split(QLatin1Char('\n')))
        longestLogLine_ = std::max(longestLogLine_, metrics.horizontalAdvance(line));
    FitLog();
}

void OperationDialog::FitLog()
{
    // Besides the lines: the document's margins and the frame, a vertical scroll bar, which
    // a long log grows, and the cursor, so that the longest line needs no horizontal one
    // unless it is wider than the screen.
    const QFontMetrics metrics = log_->fontMetrics();
    const int margins = 2 * int(std::ceil(log_->document()->documentMargin())) + 2 * log_->frameWidth();
    const int wanted = longestLogLine_ + margins + log_->cursorWidth() + log_->verticalScrollBar()->sizeHint().width();
    const int available = AvailableContentWidth(this, qobject_cast<QBoxLayout*>(layout()));
    // The lines and the empty one after the last, where the cursor stays.
    const int lines = std::min(log_->document()->blockCount(), kLogLines);
    const int scrollBar = wanted > available ? log_->horizontalScrollBar()->sizeHint().height() : 0;
    const QSize size(std::min(wanted, available), lines * metrics.lineSpacing() + margins + scrollBar);
    if (log_->minimumSize() == size)
        return;
    log_->setMinimumSize(size);
    KeepOnScreen(this);
}

void OperationDialog::setProgressGoal(int total)
{
    progress_->setMaximum(total);
}

void OperationDialog::setProgressCurrent(int current)
{
    progress_->setValue(current);
}

void OperationDialog::toggleLog()
{
    log_->setVisible(log_->isHidden());
    details_->setText(log_->isHidden() ? tr("Details >>") : tr("<< Hide"));
    // The screen's width for it is known better now that the dialog shows.
    FitLog();
    KeepOnScreen(this);
}

void OperationDialog::operationFinished()
{
    concluded_ = true;
    StopShowTimer();
    const int r = thread_->Result();
    if (r == Operation::Success && log_->isHidden()) {
        accept();
        return;
    }
    if (r == Operation::Cancelled) {
        QDialog::reject();
        return;
    }
    status_->setText(r != Operation::Success ? tr("Operation Failed") : tr("Operation Completed"));
    progress_->hide();
    cancel_->hide();
    ok_->show();
    show();
}

void OperationDialog::cancel()
{
    if (proxy_)
        proxy_->Cancel();
}

void OperationDialog::ok()
{
    if (thread_ && thread_->Result() == Operation::Success)
        accept();
    else
        QDialog::reject();
}

void OperationDialog::reject()
{
    // Escape while the work runs would end Run and tear down a running thread.
    if (IsRunning())
        return;
    QDialog::reject();
}

void OperationDialog::closeEvent(QCloseEvent* event)
{
    if (IsRunning()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
