#include "link/ui/OperationDialog.h"

#include "link/feedback/FeedbackProxy.h"
#include "link/operation/Operation.h"
#include "platform/system/Clock.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimerEvent>
#include <QVBoxLayout>

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
      status_(new QLabel(this)),
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
    progress_->setMinimumWidth(300);
    layout->addWidget(progress_);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cancel_, 0, Qt::AlignHCenter);
    buttons->addWidget(ok_, 0, Qt::AlignHCenter);
    ok_->hide();
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinAndMaxSize);

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
