#include "link/commands/CommManager.h"
#include "link/commands/CommThread.h"
#include "link/rdm/DefaultRdmLink.h"
#include "platform/system/Clock.h"
#include "tests/link/PollUntil.h"
#include "tests/link/QueueEventLog.h"
#include "tests/link/RecordingFeedback.h"
#include "tests/link/TestCommand.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

using platform::Clock;

namespace {

class CommandQueueTest : public ::testing::Test
{
protected:
    void SetUp() override { manager_ = CommManager::Instance(); }
    void TearDown() override { CommManager::DestroyInstance(); }

    CommManager* manager_ = nullptr;
};

} // namespace

// No machine is running, so the driver's map is not there: the manager runs without a
// widget and the RDM engines get no link.
TEST_F(CommandQueueTest, WithoutADriverThereIsNoWidgetAndNoLink)
{
    EXPECT_FALSE(manager_->HasWidget());
    EXPECT_EQ(manager_->GetWidget(), nullptr);
    EXPECT_EQ(DefaultRdmLink(), nullptr);
    EXPECT_EQ(CommManager::Instance(), manager_);
}

TEST_F(CommandQueueTest, CommandsRunInQueueOrderFramedByTheQueueSignals)
{
    QueueEventLog log(manager_);
    TestCommand first, second;
    log.Watch(&first);
    log.Watch(&second);
    manager_->QueueCommand(&first);
    manager_->QueueCommand(&second);
    ASSERT_TRUE(PollUntil([&] { return log.events.size() == 8; })) << log.events.join(", ").toStdString();

    EXPECT_EQ(log.events, QStringList({"queued 0", "queued 1", "executing 0", "done 0", "completed 0", "executing 1",
                                       "done 1", "completed 1"}));
    // Executed on the command thread, handed back to the queueing thread afterwards.
    EXPECT_NE(first.executedOn, QThread::currentThread());
    EXPECT_EQ(first.executedOn, second.executedOn);
    EXPECT_EQ(first.thread(), QThread::currentThread());
    EXPECT_EQ(second.thread(), QThread::currentThread());
}

TEST_F(CommandQueueTest, AThrowingCommandStillCompletesAndTheNextRuns)
{
    QueueEventLog log(manager_);
    TestCommand thrower([](TestCommand&) { throw std::runtime_error("broken fixture"); });
    TestCommand next;
    log.Watch(&thrower);
    log.Watch(&next);
    manager_->QueueCommand(&thrower);
    manager_->QueueCommand(&next);
    ASSERT_TRUE(PollUntil([&] { return log.events.contains("completed 1"); }));
    EXPECT_EQ(log.events, QStringList({"queued 0", "queued 1", "executing 0", "completed 0", "executing 1", "done 1",
                                       "completed 1"}));
}

// An owner may delete its command when CommandCompleted arrives, on its own thread,
// and deleteLater works there too.
TEST_F(CommandQueueTest, AnOwnerCanDeleteItsCommandOnCommandCompleted)
{
    auto* command = new TestCommand;
    QPointer<TestCommand> watch(command);
    QObject owner;
    QObject::connect(manager_, &CommManager::CommandCompleted, &owner, [command](QUuid id) {
        if (id == command->GetId())
            command->deleteLater();
    });
    manager_->QueueCommand(command);
    EXPECT_TRUE(PollUntil([&] { return watch.isNull(); }));
}

// The task list connects to a command's feedback when it hears CommandQueued: nothing the
// command says may come before that, however slow the listener.
TEST_F(CommandQueueTest, ACommandStartsOnlyAfterItsQueuedSignalWasHeard)
{
    RegisterFeedbackMetaTypes();
    // The thread is running already, waiting for work.
    TestCommand earlier;
    QSignalSpy completed(manager_, &CommManager::CommandCompleted);
    manager_->QueueCommand(&earlier);
    ASSERT_TRUE(PollUntil([&] { return completed.size() == 1; }));

    TestCommand command([](TestCommand& self) { self.AddString("first words", FeedbackNormal); });
    QStringList heard;
    QObject listener;
    QObject::connect(manager_, &CommManager::CommandQueued, &listener, [&](QUuid id) {
        QThread::msleep(20);
        Command* queued = manager_->FindCommand(id);
        ASSERT_EQ(queued, &command);
        QObject::connect(queued, &Command::IFeedback_AddString, &listener,
                         [&](QString text, FeedbackStatus) { heard.append(text); });
    });
    manager_->QueueCommand(&command);
    ASSERT_TRUE(PollUntil([&] { return completed.size() == 2; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(heard, QStringList{"first words"});
}

TEST_F(CommandQueueTest, FindCommandSeesWaitingCommandsButNotTheOneExecuting)
{
    std::atomic<bool> started = false, release = false;
    TestCommand blocker([&](TestCommand&) {
        started = true;
        while (!release)
            QThread::usleep(100);
    });
    TestCommand waiting;
    QSignalSpy completed(manager_, &CommManager::CommandCompleted);
    manager_->QueueCommand(&blocker);
    manager_->QueueCommand(&waiting);
    ASSERT_TRUE(PollUntil([&] { return started.load(); }));

    EXPECT_EQ(manager_->FindCommand(blocker.GetId()), nullptr);
    EXPECT_EQ(manager_->FindCommand(waiting.GetId()), &waiting);
    EXPECT_EQ(manager_->FindCommand(QUuid::createUuid()), nullptr);
    release = true;
    ASSERT_TRUE(PollUntil([&] { return completed.size() == 2; }));
    EXPECT_EQ(manager_->FindCommand(waiting.GetId()), nullptr);
}

// The command the program must not quit on is named from the moment it is queued, from
// whichever thread, until it has executed: the one executing first, else the first such
// that waits. Commands that only look are never named.
TEST_F(CommandQueueTest, TheCommandNotToCutShortIsNamedWhileItWaitsOrRuns)
{
    class NamedCommand : public TestCommand
    {
    public:
        NamedCommand(const QString& name, bool safe, std::function<void(TestCommand&)> work = {})
            : TestCommand(std::move(work)), safe_(safe)
        {
            SetName(name);
        }
        bool InterruptsSafely() const override { return safe_; }

    private:
        const bool safe_;
    };
    std::atomic<bool> started = false, release = false;
    const auto hold = [&](TestCommand&) {
        started = true;
        while (!release)
            QThread::usleep(100);
    };
    NamedCommand read("Read", true, hold);
    NamedCommand upload("Upload", false);
    NamedCommand identify("Identify", true);
    QSignalSpy completed(manager_, &CommManager::CommandCompleted);
    EXPECT_EQ(manager_->UninterruptibleCommandName(), QString());

    manager_->QueueCommand(&read);
    ASSERT_TRUE(PollUntil([&] { return started.load(); }));
    EXPECT_EQ(manager_->UninterruptibleCommandName(), QString()) << "a read may be cut";
    // Queued by a worker, as a content operation queues: seen at once, before this
    // thread has heard of it.
    QThread worker;
    worker.start();
    QThread* const home = QThread::currentThread();
    upload.moveToThread(&worker);
    QMetaObject::invokeMethod(&upload, [&] { manager_->QueueCommand(&upload); }, Qt::BlockingQueuedConnection);
    manager_->QueueCommand(&identify);
    EXPECT_EQ(manager_->UninterruptibleCommandName(), "Upload");
    release = true;
    ASSERT_TRUE(PollUntil([&] { return completed.size() == 3; }));
    EXPECT_EQ(manager_->UninterruptibleCommandName(), QString());
    QMetaObject::invokeMethod(&upload, [&] { upload.moveToThread(home); }, Qt::BlockingQueuedConnection);
    worker.quit();
    worker.wait();
}

// Stopping lets the executing command finish and leaves the waiting one untouched.
TEST(CommThreadTest, StoppingLeavesWaitingCommandsUnexecutedAndUncompleted)
{
    CommThread thread;
    QSignalSpy completed(&thread, &CommThread::CommandCompleted);
    TestCommand stopper([&](TestCommand&) { thread.RequestStop(); });
    TestCommand waiting;
    stopper.moveToThread(&thread);
    waiting.moveToThread(&thread);
    thread.Enqueue(&stopper, QThread::currentThread());
    thread.Enqueue(&waiting, QThread::currentThread());
    ASSERT_TRUE(thread.wait(QDeadlineTimer(10000)));

    EXPECT_NE(stopper.executedOn, nullptr);
    EXPECT_EQ(waiting.executedOn, nullptr);
    EXPECT_EQ(thread.FindCommand(waiting.GetId()), &waiting);
    ASSERT_TRUE(PollUntil([&] { return completed.size() >= 1; }));
    QCoreApplication::processEvents();
    ASSERT_EQ(completed.size(), 1);
    EXPECT_EQ(completed[0][0].value<QUuid>(), stopper.GetId());
    // A stopped queue does not start again.
    thread.StartThread();
    EXPECT_FALSE(thread.isRunning());
}

// Idle frames come every 30 s of quiet (virtual time), counted again from each command, each
// action followed by the signal. Times and counts are taken on the command thread, under a
// lock: the thread's signals are emitted there.
TEST(CommThreadTest, IdleActionAndSignalEveryThirtySecondsOfQuiet)
{
    QMutex mutex;
    QStringList events;
    QList<qint64> idleAt;
    CommThread thread([&] {
        QMutexLocker lock(&mutex);
        idleAt.append(Clock::NowMs());
        events.append("action");
    });
    QObject::connect(&thread, &CommThread::CommandQueueIdle, &thread, [&] {
        QMutexLocker lock(&mutex);
        events.append("signal");
    }, Qt::DirectConnection);
    std::atomic<qint64> executedAt = 0;
    TestCommand command([&](TestCommand&) { executedAt = Clock::NowMs(); });
    command.moveToThread(&thread);
    thread.Enqueue(&command, QThread::currentThread());
    ASSERT_TRUE(PollUntil([&] {
        QMutexLocker lock(&mutex);
        return events.size() >= 4;
    }));
    thread.Stop();

    QMutexLocker lock(&mutex);
    EXPECT_EQ(events.mid(0, 4), QStringList({"action", "signal", "action", "signal"}));
    ASSERT_GE(idleAt.size(), 2);
    EXPECT_GE(idleAt[0] - executedAt, CommThread::kIdleFrameMs);
    EXPECT_GE(idleAt[1] - idleAt[0], CommThread::kIdleFrameMs);
}

TEST(CommandTest, FeedbackIsSignalledAndPassedToTheChainedFeedback)
{
    RegisterFeedbackMetaTypes();
    TestCommand command;
    EXPECT_EQ(command.GetName(), "Unknown");
    QSignalSpy lines(&command, &Command::IFeedback_AddString);
    QSignalSpy finished(&command, &Command::IFeedback_Finished);

    command.AddString("alone", FeedbackNormal);
    EXPECT_FALSE(command.IsCancelled());

    RecordingFeedback chained;
    chained.cancelled = true;
    command.SetChainedFeedback(&chained);
    command.AddString("warned", FeedbackWarning);
    command.SetTotal(4);
    command.SetCurrent(2);
    command.Finished(FeedbackFailure);
    EXPECT_TRUE(command.IsCancelled());

    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1][0].toString(), "warned");
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished[0][0].value<FeedbackResult>(), FeedbackFailure);
    EXPECT_EQ(chained.Texts(), QStringList({"warned"}));
    EXPECT_EQ(chained.total, 4);
    EXPECT_EQ(chained.current, 2);
    EXPECT_EQ(chained.results, QList<FeedbackResult>({FeedbackFailure}));
}
