#include "app/shell/CommandQueueWatcher.h"
#include "app/shell/ITaskList.h"
#include "firmware/FirmwareUpgradeCommand.h"
#include "firmware/QelUpgradeCommand.h"
#include "fixtures/commands/QelContentCommands.h"
#include "fixtures/commands/QelContentDiscoveryCommand.h"
#include "fixtures/commands/QelContentDownloadCommand.h"
#include "fixtures/commands/QelContentUploadCommands.h"
#include "fixtures/commands/QelDeleteAllContentCommand.h"
#include "fixtures/commands/QelFolderCommands.h"
#include "fixtures/commands/QelSetMosavraIdCommand.h"
#include "link/commands/CommManager.h"
#include "link/commands/DiscoveryCommand.h"
#include "link/commands/RDMChangeAddressCommand.h"
#include "link/commands/RDMIdentifyCommand.h"
#include "tests/link/PollUntil.h"
#include "tests/link/RecordingFeedback.h"
#include "tests/link/TestCommand.h"

#include <QSemaphore>
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

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

// Quitting asks about every command that writes to a fixture or a library; discovery,
// identify and reading a content list may be cut short.
TEST(DeviceCommandKindsTest, OnlyThoseThatLookMayBeCutShort)
{
    std::vector<std::pair<std::unique_ptr<Command>, bool>> commands;
    const auto add = [&commands](Command* command, bool safe) { commands.emplace_back(command, safe); };
    add(new DiscoveryCommand, true);
    add(new RDMIdentifyCommand, true);
    add(new QelContentDiscoveryCommand, true);
    add(new RDMChangeAddressCommand, false);
    add(new QelSetMosavraIdCommand, false);
    add(new BrevantContentUploadCommand, false);
    add(new CindralContentMultiUploadCommand, false);
    add(new BrevantContentDownloadCommand, false);
    add(new QelRemoveContentCommand, false);
    add(new QelRenameContentCommand, false);
    add(new QelMoveContentCommand, false);
    add(new QelAddFolderCommand, false);
    add(new QelRemoveFolderCommand, false);
    add(new QelRenameFolderCommand, false);
    add(new QelDeleteAllContentCommand, false);
    add(new BrevantUpgradeCommand, false);
    add(new FirmwareUpgradeCommand, false);
    for (const auto& [command, safe] : commands)
        EXPECT_EQ(command->InterruptsSafely(), safe) << command->GetName().toStdString();
}
