#include "link/operation/Operation.h"
#include "link/ui/OperationDialog.h"
#include "platform/system/Clock.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

// An operation whose Run is a test's lambda.
class ScriptedOperation : public Operation
{
public:
    explicit ScriptedOperation(std::function<int(IFeedback*)> body) : body_(std::move(body)) {}
    QString Title() override { return "Scripted"; }
    int Run(IFeedback* feedback) override { return body_(feedback); }

private:
    std::function<int(IFeedback*)> body_;
};

template <typename T>
T* Child(OperationDialog& dialog, const char* name)
{
    T* child = dialog.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// Calls `step` on the GUI thread once `ready` holds, polling without real waits.
void WhenReady(std::function<bool()> ready, std::function<void()> step)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [=] {
        if (!ready())
            return;
        timer->stop();
        timer->deleteLater();
        step();
    });
    timer->start(1);
}

class OperationDialogTest : public testing::Test
{
protected:
    void SetUp() override { RegisterFeedbackMetaTypes(); }
};

} // namespace

TEST_F(OperationDialogTest, QuickSuccessNeverShowsTheDialog)
{
    platform::ScopedTimeScale realTime(1.0); // the show delay is a real second here
    OperationDialog dialog;
    bool everShown = false;
    QObject::connect(&dialog, &QDialog::finished, [&] { everShown = dialog.isVisible(); });
    ScriptedOperation operation([](IFeedback* f) {
        f->AddString("working", FeedbackNormal);
        return 0;
    });
    EXPECT_TRUE(dialog.Run(&operation));
    EXPECT_FALSE(everShown);
    EXPECT_EQ(dialog.windowTitle(), "Scripted");
    EXPECT_EQ(operation.thread(), QThread::currentThread()) << "the operation comes back to its thread";
}

// The show timer ends with the run, whatever the result: a dialog whose work ended
// before the show delay never appears afterwards.
TEST_F(OperationDialogTest, NoDialogAppearsAfterAQuickRunHasEnded)
{
    platform::ScopedTimeScale scale(0.1); // the show delay is 100 ms here
    OperationDialog succeeded;
    OperationDialog cancelled;
    ScriptedOperation quick([](IFeedback*) { return 0; });
    ScriptedOperation cancelling([](IFeedback*) { return 2; });
    EXPECT_TRUE(succeeded.Run(&quick));
    EXPECT_FALSE(cancelled.Run(&cancelling));

    QEventLoop pastTheDelay;
    QTimer::singleShot(platform::Clock::TimerIntervalMs(2 * OperationDialog::kShowDelayMs), &pastTheDelay,
                       &QEventLoop::quit);
    pastTheDelay.exec();
    EXPECT_FALSE(succeeded.isVisible());
    EXPECT_FALSE(cancelled.isVisible());
}

TEST_F(OperationDialogTest, FailureShowsTheLogColouredByStatusAndOkReturnsFalse)
{
    OperationDialog dialog;
    ScriptedOperation operation([](IFeedback* f) {
        f->AddString("normal", FeedbackNormal);
        f->AddString("warning", FeedbackWarning);
        f->AddString("error", FeedbackError);
        return 1;
    });
    auto* ok = Child<QPushButton>(dialog, "okButton");
    WhenReady([&] { return ok->isVisible(); }, [&] {
        EXPECT_EQ(Child<QLabel>(dialog, "statusLabel")->text(), "Operation Failed");
        EXPECT_FALSE(Child<QPushButton>(dialog, "cancelButton")->isVisible());
        QTextDocument* log = Child<QTextEdit>(dialog, "log")->document();
        const QColor expected[] = {Qt::white, QColor(255, 255, 192), QColor(255, 192, 192)};
        const char* texts[] = {"normal", "warning", "error"};
        for (int i = 0; i < 3; ++i) {
            const QTextBlock block = log->findBlockByNumber(i);
            EXPECT_EQ(block.text(), texts[i]);
            EXPECT_EQ(block.begin().fragment().charFormat().background().color(), expected[i]) << texts[i];
        }
        ok->click();
    });
    EXPECT_FALSE(dialog.Run(&operation));
}

TEST_F(OperationDialogTest, CancelledOperationClosesAtOnce)
{
    OperationDialog dialog;
    ScriptedOperation operation([](IFeedback*) { return 2; });
    EXPECT_FALSE(dialog.Run(&operation));
}

TEST_F(OperationDialogTest, SuccessWithTheLogOpenWaitsForOk)
{
    OperationDialog dialog;
    QSemaphore logOpened;
    ScriptedOperation operation([&](IFeedback*) {
        logOpened.acquire();
        return 0;
    });
    auto* ok = Child<QPushButton>(dialog, "okButton");
    WhenReady([&] { return dialog.isVisible(); }, [&] {
        Child<QPushButton>(dialog, "detailsButton")->click();
        EXPECT_EQ(Child<QPushButton>(dialog, "detailsButton")->text(), "<< Hide");
        logOpened.release();
        WhenReady([&] { return ok->isVisible(); }, [&] {
            EXPECT_EQ(Child<QLabel>(dialog, "statusLabel")->text(), "Operation Completed");
            ok->click();
        });
    });
    EXPECT_TRUE(dialog.Run(&operation));
}

TEST_F(OperationDialogTest, EscapeAndCloseDuringTheRunChangeNothing)
{
    OperationDialog dialog;
    QSemaphore release;
    ScriptedOperation operation([&](IFeedback* f) {
        release.acquire();
        return f->IsCancelled() ? 2 : 0;
    });
    bool stillRunning = false;
    WhenReady([&] { return dialog.isVisible(); }, [&] {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &escape);
        dialog.close();
        dialog.reject();
        stillRunning = dialog.isVisible() && dialog.result() == 0;
        release.release();
    });
    EXPECT_TRUE(dialog.Run(&operation));
    EXPECT_TRUE(stillRunning);
}

TEST_F(OperationDialogTest, CancelButtonReachesTheOperation)
{
    OperationDialog dialog;
    ScriptedOperation operation([&](IFeedback* f) {
        while (!f->IsCancelled())
            platform::Clock::SleepMs(10);
        return 2;
    });
    WhenReady([&] { return dialog.isVisible(); }, [&] { Child<QPushButton>(dialog, "cancelButton")->click(); });
    EXPECT_FALSE(dialog.Run(&operation));
}

TEST_F(OperationDialogTest, ProgressReachesTheBar)
{
    OperationDialog dialog;
    QSemaphore checked;
    ScriptedOperation operation([&](IFeedback* f) {
        f->SetTotal(10);
        f->SetCurrent(4);
        checked.acquire();
        return 1;
    });
    auto* bar = dialog.findChild<QProgressBar*>("progressBar");
    WhenReady([&] { return bar->maximum() == 10 && bar->value() == 4; }, [&] {
        checked.release();
        WhenReady([&] { return dialog.findChild<QPushButton*>("okButton")->isVisible(); },
                  [&] { dialog.findChild<QPushButton*>("okButton")->click(); });
    });
    EXPECT_FALSE(dialog.Run(&operation));
}

// Escape that lands after the worker has ended but before the dialog has heard so must
// not turn the success into a failure.
TEST_F(OperationDialogTest, EscapeBetweenTheThreadsEndAndItsSignalChangesNothing)
{
    OperationDialog dialog;
    QSemaphore release;
    ScriptedOperation operation([&](IFeedback*) {
        release.acquire();
        return 0;
    });
    WhenReady([&] { return dialog.findChild<QThread*>() != nullptr; }, [&] {
        release.release();
        dialog.findChild<QThread*>()->wait(); // ended; its finished signal still queued
        dialog.reject();
    });
    EXPECT_TRUE(dialog.Run(&operation));
}
