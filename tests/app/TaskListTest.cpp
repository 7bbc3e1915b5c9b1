#include "app/tasks/TaskInfoDialog.h"
#include "app/tasks/TaskItem.h"
#include "app/tasks/TaskView.h"
#include "app/widgets/ProgressDialItem.h"
#include "images/ui/FormattedTextItem.h"
#include "link/commands/CommManager.h"
#include "link/commands/Command.h"
#include "platform/system/Clock.h"
#include "tests/app/UiDriver.h"
#include "tests/link/PollUntil.h"

#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

using app_test::UiDriver;

namespace {

// A command with a name whose work is the test's.
class ScriptCommand : public Command
{
public:
    ScriptCommand(const QString& name, std::function<void(Command&)> work) : work_(std::move(work))
    {
        SetName(name);
    }
    bool Execute() override
    {
        work_(*this);
        return true;
    }

private:
    std::function<void(Command&)> work_;
};

// The task list over the real command queue (no widget needed: the commands here never
// talk to one).
class TaskListTest : public ::testing::Test
{
protected:
    TaskListTest()
    {
        QObject::connect(CommManager::Instance(), &CommManager::CommandCompleted, &view_,
                         [this](QUuid id) { completed_ << id; });
    }
    ~TaskListTest() override { CommManager::DestroyInstance(); }

    void SetUp() override
    {
        view_.resize(400, 300);
        view_.show();
    }

    // Queues `command` with its tile in the view, as the window does; the tile.
    CommandItem* Queue(Command& command)
    {
        view_.AddCommandTask(CommManager::Instance(), &command);
        CommManager::Instance()->QueueCommand(&command);
        return qobject_cast<CommandItem*>(view_.Tasks().last());
    }
    bool WaitCompleted(const Command& command)
    {
        return PollUntil([&] { return completed_.contains(command.GetId()); });
    }
    // Clicks the tile at `row`: press and release on it.
    void Click(int pressRow, int releaseRow)
    {
        const auto centre = [](int row) { return QPoint(200, TaskView::kRowHeight * row + 9); };
        QTest::mousePress(view_.viewport(), Qt::LeftButton, {}, centre(pressRow));
        QTest::mouseRelease(view_.viewport(), Qt::LeftButton, {}, centre(releaseRow));
    }
    static void DeleteLeftOvers() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    TaskView view_;
    QList<QUuid> completed_;
};

} // namespace

TEST_F(TaskListTest, TilesFillTheViewsWidthInRowsAndTheViewGrowsWithThem)
{
    QPointer<TaskItem> first = new TaskItem;
    view_.AddTask(first);
    QCoreApplication::processEvents();
    EXPECT_EQ(view_.maximumHeight(), 18);
    ASSERT_EQ(view_.viewport()->width(), 400);
    EXPECT_EQ(first->Dial()->Rect(), QRect(0, 0, 18, 18));
    EXPECT_EQ(first->TitleItem()->Rect(), QRect(22, 0, 106, 18));
    EXPECT_EQ(first->TextItem()->Rect(), QRect(132, 0, 213, 18));
    EXPECT_EQ(first->StatusItem()->Rect(), QRect(349, 0, 50, 18));
    EXPECT_EQ(first->boundingRect(), QRectF(0, 0, 399, 17));

    for (int i = 0; i < 5; ++i)
        view_.AddTask(new TaskItem);
    EXPECT_EQ(view_.maximumHeight(), 108);
    EXPECT_EQ(view_.minimumHeight(), 100);
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(view_.Tasks()[row]->pos(), QPointF(0, 18 * row)) << row;

    // The first asks to go: the others move up, and it is deleted once control is back.
    first->dismiss();
    EXPECT_EQ(view_.Tasks().size(), 5);
    EXPECT_EQ(view_.maximumHeight(), 90);
    EXPECT_EQ(view_.minimumHeight(), 90);
    EXPECT_EQ(view_.Tasks()[0]->pos(), QPointF(0, 0));
    EXPECT_FALSE(first.isNull());
    DeleteLeftOvers();
    EXPECT_TRUE(first.isNull());
}

TEST_F(TaskListTest, TheDialAndStatusWordFollowStateAndProgressAndTheWorstMessageColoursTheTile)
{
    struct Case {
        TaskItem::State state;
        int goal;
        int current;
        const char* status;
        bool spinning;
        int value;
    };
    const Case cases[] = {
        {TaskItem::Queued, 4, 1, "Queued", false, 0},   {TaskItem::Running, 4, 1, "25%", false, 25},
        {TaskItem::Running, 0, 0, "Running", true, 0},  {TaskItem::Running, 4, -1, "Running", true, 0},
        {TaskItem::Running, 3, 3, "100%", false, 100},  {TaskItem::Finished, 4, 1, "Finished", false, 100},
    };
    for (const Case& c : cases) {
        TaskItem tile;
        tile.setProgressGoal(c.goal);
        tile.setProgressCurrent(c.current);
        tile.setState(c.state);
        EXPECT_EQ(tile.Status(), c.status) << c.status;
        EXPECT_EQ(tile.Dial()->IsSpinning(), c.spinning) << c.status;
        if (!c.spinning) {
            EXPECT_EQ(tile.Dial()->Value(), c.value) << c.status;
        }
    }

    TaskItem tile;
    tile.addText("Warming up", TaskItem::Warning);
    EXPECT_EQ(tile.GetSeverity(), TaskItem::Warning);
    tile.addText("Broken", TaskItem::Error);
    tile.addText("Carrying on");
    EXPECT_EQ(tile.GetSeverity(), TaskItem::Error);
    EXPECT_EQ(tile.Dial()->GetSeverity(), ProgressDialItem::Error);
    EXPECT_EQ(tile.TextItem()->Text(), "Carrying on");
    EXPECT_EQ(tile.Messages().size(), 3);
}

TEST_F(TaskListTest, ACleanFinishGoesTwoSecondsLaterButNotWhileItsLogIsRead)
{
    ScriptCommand command("Change DMX Address", [](Command& c) {
        c.AddString("Address in use", FeedbackWarning);
        c.Finished(FeedbackSuccess);
    });
    QPointer<CommandItem> tile = Queue(command);
    ASSERT_TRUE(tile);
    EXPECT_EQ(tile->Title(), "Change DMX Address");
    EXPECT_EQ(tile->Status(), "Queued");
    ASSERT_TRUE(PollUntil([&] { return tile->GetState() == TaskItem::Finished; }));
    const qint64 finishedAt = platform::Clock::NowMs();
    EXPECT_EQ(tile->GetSeverity(), TaskItem::Warning);
    EXPECT_EQ(tile->Status(), "Finished");
    ASSERT_TRUE(WaitCompleted(command));
    bool stale = false;
    QObject::connect(tile, &TaskItem::stale, [&] { stale = true; });

    // The log is opened while the tile waits; its two seconds pass, and both stay until
    // the user closes the log.
    bool keptWhileRead = false;
    UiDriver ui;
    ui.Then<TaskInfoDialog>([&](TaskInfoDialog* log) {
        EXPECT_EQ(log->windowTitle(), "Change DMX Address");
        EXPECT_FALSE(log->DismissButton()->isVisible()) << "no error: nothing to dismiss";
        EXPECT_TRUE(PollUntil([&] { return stale; }));
        QCoreApplication::processEvents();
        keptWhileRead = log->isVisible() && view_.Tasks().size() == 1;
        log->OkButton()->click();
    });
    Click(0, 0);
    EXPECT_TRUE(keptWhileRead);
    EXPECT_GE(platform::Clock::NowMs() - finishedAt, TaskItem::kStaleMs);
    EXPECT_TRUE(view_.Tasks().isEmpty()) << "the tile goes with its log";
    DeleteLeftOvers();
    EXPECT_TRUE(tile.isNull());
}

TEST_F(TaskListTest, AFailureStaysUntilItsLogDismissesIt)
{
    ScriptCommand failing("Identify Device", [](Command& c) {
        c.AddString("Identifying 42", FeedbackNormal);
        c.AddString("Slow reply", FeedbackWarning);
        c.Finished(FeedbackFailure);
    });
    ScriptCommand clean("Fixture Discovery", [](Command& c) { c.Finished(FeedbackSuccess); });
    QPointer<CommandItem> failed = Queue(failing);
    QPointer<CommandItem> succeeded = Queue(clean);
    ASSERT_TRUE(WaitCompleted(clean));
    // The clean one has gone its two seconds later; the failed one stays.
    ASSERT_TRUE(PollUntil([&] { return view_.Tasks().size() == 1; }));
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->GetSeverity(), TaskItem::Error) << "a failure without an error line is still one";
    EXPECT_EQ(failed->Status(), "Finished");

    QStringList lines;
    QList<QColor> backgrounds;
    UiDriver ui;
    ui.Then<TaskInfoDialog>([&](TaskInfoDialog* log) {
        EXPECT_EQ(log->windowTitle(), "Identify Device");
        EXPECT_EQ(log->size(), QSize(500, 500));
        for (QTextBlock block = log->Log()->document()->begin(); block.isValid(); block = block.next()) {
            if (block.text().isEmpty())
                continue;
            lines << block.text();
            backgrounds << block.begin().fragment().charFormat().background().color();
        }
        EXPECT_TRUE(log->DismissButton()->isVisible());
        log->DismissButton()->click();
    });
    Click(0, 0);
    EXPECT_EQ(lines, (QStringList{"Identifying 42", "Slow reply"}));
    ASSERT_EQ(backgrounds.size(), 2);
    EXPECT_EQ(backgrounds[1], QColor(255, 255, 192));
    EXPECT_TRUE(view_.Tasks().isEmpty());
}

TEST_F(TaskListTest, PressingOneTileAndReleasingOnAnotherOpensNothing)
{
    view_.AddTask(new TaskItem);
    view_.AddTask(new TaskItem);
    bool opened = false;
    UiDriver ui;
    ui.Then<TaskInfoDialog>([&](TaskInfoDialog* log) {
        opened = true;
        log->reject();
    });
    Click(0, 1);
    Click(1, 0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(opened);
    ui.Drop();
}

TEST_F(TaskListTest, ACommandThatBreaksOffEndsItsTileInError)
{
    ScriptCommand throwing("Upload", [](Command& c) {
        c.AddString("Sending", FeedbackNormal);
        throw std::runtime_error("lost");
    });
    QPointer<CommandItem> tile = Queue(throwing);
    ASSERT_TRUE(WaitCompleted(throwing));
    ASSERT_TRUE(PollUntil([&] { return tile->GetState() == TaskItem::Finished; }));
    EXPECT_EQ(tile->GetSeverity(), TaskItem::Error);
    EXPECT_EQ(tile->Status(), "Finished");
    ASSERT_FALSE(tile->Messages().isEmpty());
    EXPECT_EQ(tile->Messages().last(), TaskItem::Message("Error: Upload ended unexpectedly", TaskItem::Error));

    // Its log shows the line in the error colour.
    QColor background;
    UiDriver ui;
    ui.Then<TaskInfoDialog>([&](TaskInfoDialog* log) {
        const QTextBlock last = log->Log()->document()->lastBlock().previous();
        EXPECT_EQ(last.text(), "Error: Upload ended unexpectedly");
        background = last.begin().fragment().charFormat().background().color();
        log->OkButton()->click();
    });
    Click(0, 0);
    EXPECT_EQ(background, QColor(255, 192, 192));
    EXPECT_EQ(view_.Tasks().size(), 1) << "OK leaves the tile";
}
