#include "app/shell/CommandQueueWatcher.h"
#include "app/shell/ITaskList.h"
#include "link/commands/CommManager.h"
#include "tests/link/PollUntil.h"
#include "tests/link/RecordingFeedback.h"
#include "tests/link/TestCommand.h"

#include <QSemaphore>
#include <gtest/gtest.h>

namespace {

// Counts the tasks it is asked for, per command.
class CountingTaskList : public ITaskList
{
public:
    QWidget* Widget() override { return nullptr; }
    bool HasTaskFor(const QUuid& commandId) const override { return tasks.contains(commandId); }
    void AddCommandTask(CommManager*, Command* command) override { tasks.append(command->GetId()); }

    QList<QUuid> tasks;
};

class CommandQueueWatcherTest : public ::testing::Test
{
protected:
    void TearDown() override { CommManager::DestroyInstance(); }
};

} // namespace

TEST_F(CommandQueueWatcherTest, OneTaskPerQueuedCommandAndNoneForAChainedOne)
{
    CountingTaskList tasks;
    CommandQueueWatcher watcher;
    watcher.SetTaskList(&tasks);

    // The first command holds the queue, so the others stay queued while the test looks.
    QSemaphore release;
    TestCommand blocker([&](TestCommand&) { release.acquire(); });
    TestCommand plain;
    TestCommand chained;
    RecordingFeedback outer;
    chained.SetChainedFeedback(&outer);
    CommManager* queue = CommManager::Instance();
    queue->QueueCommand(&blocker);
    queue->QueueCommand(&plain);
    queue->QueueCommand(&chained);
    ASSERT_TRUE(PollUntil([&] { return tasks.tasks.size() == 2; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(tasks.tasks, (QList<QUuid>{blocker.GetId(), plain.GetId()}));

    // Announced again, or never queued: no second task, no task.
    watcher.OnCommandQueued(plain.GetId());
    watcher.OnCommandQueued(QUuid::createUuid());
    EXPECT_EQ(tasks.tasks.size(), 2);

    int completed = 0;
    QObject::connect(queue, &CommManager::CommandCompleted, [&](QUuid) { ++completed; });
    release.release();
    ASSERT_TRUE(PollUntil([&] { return completed == 3; }));
}
