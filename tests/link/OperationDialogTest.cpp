#include "link/operation/Operation.h"
#include "link/ui/OperationDialog.h"
#include "platform/system/Clock.h"
#include "tests/link/TitleBar.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMutex>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSemaphore>
#include <QTest>
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
    explicit ScriptedOperation(std::function<int(IFeedback*)> body, QString title = "Scripted")
        : body_(std::move(body)), title_(std::move(title))
    {
    }
    QString Title() override { return title_; }
    int Run(IFeedback* feedback) override { return body_(feedback); }

private:
    std::function<int(IFeedback*)> body_;
    QString title_;
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

// A window open before an operation starts, with a button and a shortcut, as the main
// window has; counts what reaches them.
class OtherWindow
{
public:
    OtherWindow()
    {
        auto* button = new QPushButton("Delete", &window_);
        auto* action = new QAction(&window_);
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
        window_.addAction(action);
        QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
        QObject::connect(action, &QAction::triggered, [this] { ++shortcuts; });
        window_.show();
        window_.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window_));
    }
    // A click on the button and Ctrl+D on the window.
    void Use()
    {
        QTest::mouseClick(window_.findChild<QPushButton*>(), Qt::LeftButton);
        QTest::keyClick(&window_, Qt::Key_D, Qt::ControlModifier);
    }

    int clicks = 0;
    int shortcuts = 0;

private:
    QWidget window_;
};

// Lays the dialog out now rather than when its posted request comes.
int LaidOutWidth(OperationDialog& dialog)
{
    dialog.layout()->activate();
    QCoreApplication::sendPostedEvents();
    return dialog.width();
}

// Runs `operation`, which fails: `onFailed` looks at the dialog once it offers OK, which is
// then clicked, and the run answers false.
void RunToFailure(OperationDialog& dialog, Operation& operation, const std::function<void()>& onFailed)
{
    auto* ok = Child<QPushButton>(dialog, "okButton");
    WhenReady([ok] { return ok->isVisible(); }, [ok, onFailed] {
        onFailed();
        ok->click();
    });
    EXPECT_FALSE(dialog.Run(&operation));
}

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
    RunToFailure(dialog, operation, [&] {
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
    });
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

// Until the dialog shows, Qt's modality blocks nothing: the run blocks the other windows
// itself, from its start.
TEST_F(OperationDialogTest, OtherWindowsTakeNoInputFromTheStartOfTheRun)
{
    // The show delay outlasts the test: the dialog stays hidden throughout.
    platform::ScopedTimeScale slow(1000.0);
    OtherWindow other;
    other.Use();
    ASSERT_EQ(other.clicks, 1);
    ASSERT_EQ(other.shortcuts, 1) << "the shortcut reaches the window at all";

    OperationDialog dialog;
    QSemaphore release;
    ScriptedOperation operation([&](IFeedback*) {
        release.acquire();
        return 0;
    });
    bool hidden = false;
    WhenReady([&] { return dialog.findChild<QThread*>() != nullptr; }, [&] {
        hidden = !dialog.isVisible();
        other.Use();
        release.release();
    });
    EXPECT_TRUE(dialog.Run(&operation));
    EXPECT_TRUE(hidden);
    EXPECT_EQ(other.clicks, 1);
    EXPECT_EQ(other.shortcuts, 1);

    other.Use();
    EXPECT_EQ(other.clicks, 2) << "the window takes input again once the run has ended";
    EXPECT_EQ(other.shortcuts, 2);
}

// Two operations over the same content must not run at once: a run started from an event
// of another run's loop (a timer here, a click before) waits for it to end.
TEST_F(OperationDialogTest, ARunStartedWhileAnotherRunsWaitsForItToEnd)
{
    QMutex mutex;
    QStringList events;
    const auto note = [&](const char* event) {
        const QMutexLocker lock(&mutex);
        events << event;
    };
    QSemaphore releaseFirst;
    QAtomicInt secondStarted = 0;
    ScriptedOperation first([&](IFeedback*) {
        note("first starts");
        releaseFirst.acquire();
        note("first ends");
        return 0;
    });
    ScriptedOperation second([&](IFeedback*) {
        secondStarted = 1;
        note("second starts");
        return 0;
    });
    OperationDialog firstDialog;
    OperationDialog secondDialog;
    bool secondSucceeded = false;
    WhenReady([&] { return firstDialog.findChild<QThread*>() != nullptr; }, [&] {
        // The first ends once the second has had every chance to start beside it.
        int polls = 0;
        WhenReady([&, polls]() mutable { return secondStarted.loadRelaxed() || ++polls > 50; },
                  [&] { releaseFirst.release(); });
        secondSucceeded = secondDialog.Run(&second);
    });
    EXPECT_TRUE(firstDialog.Run(&first));
    EXPECT_TRUE(secondSucceeded);
    EXPECT_EQ(events.join(", ").toStdString(), "first starts, first ends, second starts");
}

// The window manager shows the title in full, and a failure that comes before the
// dialog ever showed still gets the width the dialog runs at.
TEST_F(OperationDialogTest, TheDialogFitsItsTitleUpToTheScreenAndKeepsTheBarsWidth)
{
    for (const QString& title : {QString("Copying My Show to User Content"), QString("Copy"), QString(300, 'W')}) {
        SCOPED_TRACE(title.left(40).toStdString());
        OperationDialog dialog;
        ScriptedOperation operation([](IFeedback*) { return 1; }, title);
        RunToFailure(dialog, operation, [&] {
            const int width = LaidOutWidth(dialog);
            // The title bar spans the window's frame.
            const int frame = dialog.frameGeometry().width();
            EXPECT_GE(frame, std::min(link_ui_test::TitleBarNeeds(title), link_ui_test::AvailableWidth()));
            EXPECT_LE(frame, link_ui_test::AvailableWidth());
            EXPECT_GE(width, dialog.findChild<QProgressBar*>("progressBar")->minimumWidth())
                << "as wide as while the bar showed";
        });
    }
}

TEST_F(OperationDialogTest, NeitherMessagesNorTheEndChangeTheWidthTheDialogRunsAt)
{
    OperationDialog dialog;
    QSemaphore step;
    ScriptedOperation operation([&](IFeedback* f) {
        step.acquire();
        f->AddString(QString(400, 'm'), FeedbackNormal);
        step.acquire();
        return 1;
    });
    auto* status = dialog.findChild<QLabel*>("statusLabel");
    auto* ok = dialog.findChild<QPushButton*>("okButton");
    int running = 0;
    WhenReady([&] { return dialog.isVisible(); }, [&] {
        running = LaidOutWidth(dialog);
        step.release();
        WhenReady([&] { return status->text().size() == 400; }, [&] {
            EXPECT_EQ(LaidOutWidth(dialog), running) << "a long message";
            step.release();
            WhenReady([&] { return ok->isVisible(); }, [&] {
                EXPECT_EQ(LaidOutWidth(dialog), running) << "the bar gone";
                ok->click();
            });
        });
    });
    EXPECT_FALSE(dialog.Run(&operation));
    EXPECT_GT(running, 0);
}

// The log shows its longest line whole; one wider than the screen scrolls in a dialog
// that stays within the screen.
TEST_F(OperationDialogTest, TheShownLogFitsItsLongestLineUpToTheScreen)
{
    const struct {
        QString line;
        bool whole;
    } cases[] = {
        {"Error: Opening (41) could not be written to BREVANT 0x7ff000000101: no answer", true},
        {QString(2000, 'e'), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.left(40).toStdString());
        OperationDialog dialog;
        ScriptedOperation operation([&](IFeedback* f) {
            f->AddString("Copying Opening to BREVANT 0x7ff000000101", FeedbackNormal);
            f->AddString(c.line, FeedbackError);
            return 1;
        });
        RunToFailure(dialog, operation, [&] {
            dialog.findChild<QPushButton*>("detailsButton")->click();
            LaidOutWidth(dialog);
            auto* log = dialog.findChild<QTextEdit*>("log");
            EXPECT_EQ(log->horizontalScrollBar()->maximum() == 0, c.whole);
            if (c.whole) {
                EXPECT_GE(log->viewport()->width(), log->fontMetrics().horizontalAdvance(c.line));
            }
            EXPECT_LE(dialog.frameGeometry().width(), link_ui_test::AvailableWidth());
            EXPECT_TRUE(link_ui_test::AvailableGeometry().contains(dialog.frameGeometry()));
        });
    }
}
