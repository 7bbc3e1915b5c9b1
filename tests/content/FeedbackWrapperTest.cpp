#include "content/operations/ContentOperation.h"
#include "content/operations/ContentSteps.h"
#include "content/operations/FeedbackWrapper.h"
#include "content/policies/NamedPolicies.h"
#include "platform/system/Clock.h"
#include "tests/content/MemoryFolders.h"

#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <thread>

namespace {

// Finishes `wrapper` from another thread after a short pause, while the test thread waits.
std::thread FinishLater(FeedbackWrapper& wrapper, FeedbackResult result)
{
    return std::thread([&wrapper, result] {
        platform::Clock::SleepMs(20);
        wrapper.Finished(result);
    });
}

} // namespace

TEST(FeedbackWrapper, MapsTheStepIntoItsRangeOfTheParent)
{
    FeedbackRecorder parent;
    FeedbackWrapper wrapper(&parent, 20, 40);
    EXPECT_TRUE(parent.Totals().isEmpty()) << "the ranged form leaves the parent alone";
    wrapper.SetCurrent(3);
    EXPECT_TRUE(parent.Currents().isEmpty()) << "nothing before a total is set";

    wrapper.SetTotal(4);
    for (int current : {1, 4, 9})
        wrapper.SetCurrent(current);
    EXPECT_EQ(parent.Currents(), QList<int>({25, 40, 40}));
    EXPECT_TRUE(parent.Totals().isEmpty()) << "the total is not forwarded";

    wrapper.AddString(QStringLiteral("hello"), FeedbackWarning);
    wrapper.Finished(FeedbackSuccess);
    EXPECT_EQ(parent.Texts(FeedbackWarning), QStringList{"hello"});
    EXPECT_TRUE(parent.Results().isEmpty()) << "Finished belongs to whoever owns the parent";
    EXPECT_EQ(wrapper.Completion(), int(FeedbackSuccess));

    FeedbackWrapper step(&parent);
    EXPECT_EQ(parent.Totals(), QList<int>{100}) << "the step form sets the parent's total to 100";
    EXPECT_FALSE(step.IsCancelled());
    parent.Cancel();
    EXPECT_TRUE(step.IsCancelled());
}

TEST(FeedbackWrapper, WaitForCompletionAnswersTheOutcomeDeliveredFromAnotherThread)
{
    struct Case {
        FeedbackResult result;
        bool cancelled;
        int expected;
    };
    const Case cases[] = {
        {FeedbackSuccess, false, 0},
        {FeedbackFailure, false, 1},
        {FeedbackCancelled, false, 1},
        {FeedbackFailure, true, 2},
        {FeedbackSuccess, true, 2},
    };
    for (const Case& c : cases) {
        FeedbackRecorder parent;
        if (c.cancelled)
            parent.Cancel();
        FeedbackWrapper wrapper(&parent);
        std::thread finisher = FinishLater(wrapper, c.result);
        if (!c.cancelled) {
            EXPECT_EQ(wrapper.WaitForCompletion(), c.expected) << int(c.result);
        }
        finisher.join();
        EXPECT_EQ(wrapper.WaitForCompletion(), c.expected) << int(c.result);
    }
}

TEST(FeedbackWrapper, QueuedCallsToTheWaitingThreadAreDeliveredDuringTheWait)
{
    FeedbackRecorder parent;
    FeedbackWrapper wrapper(&parent);
    QObject here; // lives on the waiting thread
    std::thread poster([&] {
        QMetaObject::invokeMethod(&here, [&] { wrapper.Finished(FeedbackSuccess); }, Qt::QueuedConnection);
    });
    EXPECT_EQ(wrapper.WaitForCompletion(), 0);
    poster.join();
}

TEST(FeedbackWrapper, CancelEndsTheWaitAndALateAnswerReachesNothing)
{
    MemoryFolder folder(UniqueNamesAndChannels::Instance(), QStringLiteral("F"));
    MemoryContent* sky = folder.AddContent(QStringLiteral("Sky"), 5);
    folder.SetHeld(MemoryFolder::Modify);

    FeedbackRecorder feedback;
    std::thread canceller([&] {
        platform::Clock::SleepMs(30);
        feedback.Cancel();
    });
    EXPECT_EQ(RenameStep(sky, QStringLiteral("Cloud"), &feedback), 2);
    canceller.join();

    // The folder finishes after the step has gone: its answer must land nowhere harmful.
    folder.ReleaseHeld();
    MemoryLink::Instance().Drain();
    EXPECT_EQ(sky->GetName(), QStringLiteral("Cloud"));
    EXPECT_EQ(feedback.Texts(FeedbackError), QStringList());
}

// A folder that dies with a change it accepted still pending ends the step's wait with an
// error, whether the step hears it through its watch on the folder or through the lease the
// folder held; either way the folder's death lets go of the lease, which would otherwise
// never be released.
TEST(FeedbackWrapper, AFolderThatDisappearsEndsTheWaitWithAnError)
{
    const int leasesBefore = FeedbackWrapper::OutstandingLeases();
    for (const bool watched : {true, false}) {
        SCOPED_TRACE(watched ? "watched" : "heard through the lease");
        auto folder = std::make_unique<MemoryFolder>(UniqueNamesAndChannels::Instance(), QStringLiteral("Doomed"));
        MemoryContent* sky = folder->AddContent(QStringLiteral("Sky"), 5);
        folder->SetHeld(MemoryFolder::Remove);

        FeedbackRecorder feedback;
        int result = -1;
        {
            FeedbackWrapper wrapper(&feedback);
            FeedbackWrapper::Lease lease(wrapper, folder.get());
            ASSERT_TRUE(folder->RemoveChild(sky, lease.Feedback()));
            // Dies while the test waits for its change, with the change still held.
            QTimer::singleShot(0, [&] { folder.reset(); });
            result = wrapper.WaitForCompletion(watched ? folder.get() : nullptr);
        }
        EXPECT_EQ(result, 1);
        EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{"Doomed was removed before its change finished"});
        EXPECT_EQ(FeedbackWrapper::OutstandingLeases(), leasesBefore) << "the dead folder's lease is let go";
    }

    // The same through a step.
    auto folder = std::make_unique<MemoryFolder>(UniqueNamesAndChannels::Instance(), QStringLiteral("Doomed"));
    MemoryContent* sky = folder->AddContent(QStringLiteral("Sky"), 5);
    folder->SetHeld(MemoryFolder::Remove);
    FeedbackRecorder feedback;
    QTimer::singleShot(0, [&] { folder.reset(); });
    EXPECT_EQ(DeleteStep(sky, &feedback), 1);
    EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{"Doomed was removed before its change finished"});
    EXPECT_EQ(FeedbackWrapper::OutstandingLeases(), leasesBefore);
}

namespace {

class MessageSink : public QObject
{
    Q_OBJECT
public slots:
    void DisplayInformationBox(const QString& title, const QString& text) { shown << title + ": " + text; }

public:
    QStringList shown;
};

class SayingOperation : public ContentOperation
{
public:
    QString Title() override { return QStringLiteral("Saying"); }
    bool IsValid() override { return true; }
    int Run(IFeedback*) override
    {
        emit InformationMessageBox(QStringLiteral("Title"), QStringLiteral("Text"));
        return 0;
    }
};

} // namespace

TEST(ContentOperation, InformationBoxesReachTheInstalledReceiver)
{
    MessageSink sink;
    ContentOperation::SetMessageReceiver(&sink);
    {
        SayingOperation operation;
        FeedbackRecorder feedback;
        EXPECT_EQ(operation.Run(&feedback), 0);
    }
    ContentOperation::SetMessageReceiver(nullptr);
    SayingOperation unconnected;
    unconnected.Run(nullptr);
    EXPECT_EQ(sink.shown, QStringList{"Title: Text"});
}

#include "FeedbackWrapperTest.moc"
