#include "content/operations/ContentSyncOperation.h"
#include "content/policies/NamedPolicies.h"
#include "tests/content/MemoryFolders.h"

#include <gtest/gtest.h>

namespace {

using Answer = MemoryFolder::Answer;

// A target content that stands for `source` (same key) under its own name and address.
MemoryContent* Match(MemoryContent* source, MemoryFolder* into, const QString& name, int address)
{
    auto* copy = static_cast<MemoryContent*>(source->Clone());
    copy->SetName(name);
    copy->SetAddress(address);
    into->Adopt(copy);
    return copy;
}

// Builds `into` as a copy of the tree below `from` (same keys).
void CloneTree(MemoryFolder* from, MemoryFolder* into)
{
    for (int i = 0; i < from->ChildCount(); ++i) {
        ContentBase* child = from->Child(i);
        if (auto* folder = qobject_cast<MemoryFolder*>(child))
            CloneTree(folder, into->AddFolder(folder->GetName(), folder->GetAddress()));
        else
            into->Adopt(static_cast<Content*>(child)->Clone());
    }
}

class Sync : public testing::TestWithParam<Answer>
{
protected:
    Sync() : source(UniqueNamesAndChannels::Instance(), QStringLiteral("Stock")) {}

    std::unique_ptr<MemoryFolder> Target(const QString& name)
    {
        auto target = std::make_unique<MemoryFolder>(UniqueNamesAndChannels::Instance(), name);
        target->SetAnswer(GetParam());
        return target;
    }

    int Run(const QList<ContentFolder*>& targets)
    {
        operation.SetSource(&source);
        operation.SetTargets(targets);
        return operation.Run(&feedback);
    }

    MemoryFolder source;
    ContentSyncOperation operation;
    FeedbackRecorder feedback;
};

} // namespace

TEST_P(Sync, EqualTreesRunNoStep)
{
    MemoryFolder* f1 = source.AddFolder(QStringLiteral("F1"), 1);
    f1->AddContent(QStringLiteral("a"), 1);
    f1->AddContent(QStringLiteral("b"), 2);
    source.AddFolder(QStringLiteral("F2"), 2);
    source.AddContent(QStringLiteral("c"), 3);
    auto t1 = Target("T1"), t2 = Target("T2");
    CloneTree(&source, t1.get());
    CloneTree(&source, t2.get());

    EXPECT_EQ(Run({t1.get(), t2.get()}), 0);
    EXPECT_EQ(operation.Title(), QStringLiteral("Cloning Stock to 2 location(s)"));
    EXPECT_TRUE(t1->Log().Lines().isEmpty());
    EXPECT_TRUE(t2->Log().Lines().isEmpty());
    EXPECT_TRUE(feedback.Texts().isEmpty()) << "no step ran";
    EXPECT_TRUE(operation.Succeeded());
}

TEST_P(Sync, AMatchedContentElsewhereIsMovedRenamedAndRenumbered)
{
    MemoryContent* alpha = source.AddFolder(QStringLiteral("F1"), 1)->AddContent(QStringLiteral("Alpha"), 1);
    auto target = Target("T");
    MemoryFolder* f1 = target->AddFolder(QStringLiteral("F1"), 1);
    f1->AddContent(QStringLiteral("Alpha"), 5); // stale, and in the way of the name
    Match(alpha, target->AddFolder(QStringLiteral("F9"), 9), QStringLiteral("Old"), 7);

    EXPECT_EQ(Run({target.get()}), 0);
    EXPECT_EQ(target->Log().Lines(),
              QStringList({"rename F1/Alpha -> Alpha (2)", "move Old F9 -> F1", "rename F1/Old -> Alpha",
                           "renumber F1/Alpha 7 -> 1", "remove F1/Alpha (2)", "remove T/F9"}));
    ASSERT_EQ(f1->ChildCount(), 1);
    EXPECT_EQ(static_cast<Content*>(f1->Child(0))->Key(), alpha->Key());
    EXPECT_TRUE(operation.Succeeded()) << "nothing had to be copied";
}

TEST_P(Sync, AMoveNeverCollidesWithWhatIsAlreadyInPlace)
{
    MemoryFolder* b = source.AddFolder(QStringLiteral("B"), 2);
    MemoryContent* x = b->AddContent(QStringLiteral("X"), 3);
    MemoryContent* y = b->AddContent(QStringLiteral("Y"), 5);
    auto target = Target("T");
    Match(y, target->AddFolder(QStringLiteral("A"), 1), QStringLiteral("X"), 3);
    Match(x, target->AddFolder(QStringLiteral("B"), 2), QStringLiteral("X"), 3);

    // Moved as it is, Y's item would arrive in B as a second X at 3.
    EXPECT_EQ(Run({target.get()}), 0);
    EXPECT_EQ(target->Log().Lines(), QStringList({"rename A/X -> Y", "renumber A/Y 3 -> 5", "move Y A -> B",
                                                   "remove T/A"}));
    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty());
}

TEST_P(Sync, StaleLeafFoldersGoLastFirstAndOtherFoldersStay)
{
    MemoryContent* x = source.AddFolder(QStringLiteral("K"), 1)->AddContent(QStringLiteral("x"), 1);
    auto target = Target("T");
    Match(x, target->AddFolder(QStringLiteral("K"), 1), QStringLiteral("x"), 1);
    target->AddFolder(QStringLiteral("S1"), 2)->AddContent(QStringLiteral("stale"), 1);
    MemoryFolder* n = target->AddFolder(QStringLiteral("N"), 3);
    n->AddFolder(QStringLiteral("L1"), 1);
    n->AddFolder(QStringLiteral("L2"), 2);

    EXPECT_EQ(Run({target.get()}), 0);
    EXPECT_EQ(target->Log().Lines(),
              QStringList({"remove S1/stale", "remove N/L2", "remove N/L1", "remove T/S1"}));
    EXPECT_EQ(target->ChildCount(), 2) << "K and the non-leaf N stay";
}

TEST_P(Sync, AFolderHoldingMatchedContentIsNeverDeletedWithIt)
{
    MemoryFolder* a = source.AddFolder(QStringLiteral("A"), 1);
    MemoryContent* x = a->AddContent(QStringLiteral("x"), 1);
    a->AddFolder(QStringLiteral("B"), 2)->AddContent(QStringLiteral("y"), 1);
    source.AddFolder(QStringLiteral("Empty"), 4);
    auto target = Target("T");
    Match(x, target->AddFolder(QStringLiteral("A"), 1), QStringLiteral("x"), 1);

    // A is a leaf in the target but not in the source.
    EXPECT_EQ(Run({target.get()}), 0);
    EXPECT_EQ(target->Log().Lines(), QStringList({"create A/B@2", "create T/Empty@4", "add B/y@1"}));
    EXPECT_FALSE(operation.Succeeded()) << "y had to be copied";
}

TEST_P(Sync, AContentMissingFromSeveralFixturesIsWrittenOnceThroughTheAggregator)
{
    MemoryContent* c = source.AddFolder(QStringLiteral("F"), 1)->AddContent(QStringLiteral("c"), 1);
    MemoryAggregator aggregator;
    std::vector<std::unique_ptr<MemoryFolder>> targets;
    QList<ContentFolder*> list;
    for (const char* name : {"T1", "T2", "T3", "Other"}) {
        targets.push_back(Target(QString::fromLatin1(name)));
        if (targets.size() < 4)
            targets.back()->SetAggregator(&aggregator);
        list.append(targets.back().get());
    }

    EXPECT_EQ(Run(list), 0);
    EXPECT_EQ(aggregator.AggregateCalls(), 1);
    EXPECT_EQ(aggregator.Released(), 1);
    EXPECT_EQ(aggregator.Outstanding(), 0);
    EXPECT_EQ(targets[0]->Log().Lines(), QStringList({"create T1/F@1", "add aggregate/c@1 x3"}));
    EXPECT_EQ(targets[1]->Log().Lines(), QStringList({"create T2/F@1"}));
    EXPECT_EQ(targets[3]->Log().Lines(), QStringList({"create Other/F@1", "add F/c@1"}));
    for (const auto& target : targets) {
        auto* folder = qobject_cast<ContentFolder*>(target->Child(0));
        ASSERT_EQ(folder->ChildCount(), 1);
        EXPECT_EQ(static_cast<Content*>(folder->Child(0))->Key(), c->Key());
    }
    EXPECT_FALSE(operation.Succeeded());

    // Cancelled while writing through the aggregate: the aggregate is still released.
    auto late = Target("Late");
    late->SetAggregator(&aggregator);
    auto later = Target("Later");
    later->SetAggregator(&aggregator);
    ContentSyncOperation cancelled;
    cancelled.SetSource(&source);
    cancelled.SetTargets({late.get(), later.get()});
    FeedbackRecorder cancelling;
    cancelling.CancelOnText(QStringLiteral("Copying c"));
    EXPECT_EQ(cancelled.Run(&cancelling), 2);
    MemoryLink::Instance().Drain();
    EXPECT_EQ(aggregator.AggregateCalls(), 2);
    EXPECT_EQ(aggregator.Outstanding(), 0);
}

TEST_P(Sync, CancelEndsTheRunAndIsNeverUpToDate)
{
    source.AddContent(QStringLiteral("a"), 1);
    auto t1 = Target("T1"), t2 = Target("T2");
    CloneTree(&source, t1.get());
    t1->AddContent(QStringLiteral("stale1"), 2);
    t1->AddContent(QStringLiteral("stale2"), 3);
    t2->AddContent(QStringLiteral("stale"), 2);

    feedback.CancelOnText(QStringLiteral("Deleting stale1"));
    EXPECT_EQ(Run({t1.get(), t2.get()}), 2);
    MemoryLink::Instance().Drain();
    EXPECT_EQ(t1->Log().Lines(), QStringList{"remove T1/stale1"}) << "the step in flight finishes, no other starts";
    EXPECT_TRUE(t2->Log().Lines().isEmpty());
    EXPECT_FALSE(operation.Succeeded());

    // Cancelled before it starts: not even equal trees are reported up to date.
    ContentSyncOperation equal;
    equal.SetSource(&source);
    auto t3 = Target("T3");
    CloneTree(&source, t3.get());
    equal.SetTargets({t3.get()});
    FeedbackRecorder cancelled;
    cancelled.Cancel();
    EXPECT_EQ(equal.Run(&cancelled), 2);
    EXPECT_FALSE(equal.Succeeded());
}

TEST_P(Sync, AFailedRunIsNeverUpToDateAndGoesOn)
{
    source.AddContent(QStringLiteral("a"), 1);
    auto t1 = Target("T1"), t2 = Target("T2");
    CloneTree(&source, t1.get());
    t1->AddContent(QStringLiteral("stuck"), 2);
    t1->SetRefused(MemoryFolder::Remove);
    t2->AddContent(QStringLiteral("stale"), 2);

    EXPECT_EQ(Run({t1.get(), t2.get()}), 1);
    EXPECT_EQ(feedback.Texts(FeedbackError), QStringList({"T1 refuses the change", "Can't delete stuck"}));
    EXPECT_EQ(t2->Log().Lines(), QStringList({"remove T2/stale", "add T2/a@1"})) << "the next target is still done";
    EXPECT_FALSE(operation.Succeeded());
}

// A source that could not be read whole (its root or any folder below) is refused and
// nothing changes: the targets would lose what it only seems to lack. A target that could
// not be read is left alone; the others are still done.
TEST_P(Sync, WhatCouldNotBeReadChangesNothing)
{
    MemoryFolder* pack = source.AddFolder(QStringLiteral("Pack"), 1);
    pack->AddContent(QStringLiteral("a"), 1);
    for (MemoryFolder* unread : {&source, pack}) {
        SCOPED_TRACE(unread->GetName().toStdString());
        unread->SetChildrenRead(false);
        auto target = Target("T");
        target->AddContent(QStringLiteral("keep"), 1);
        FeedbackRecorder log;
        operation.SetSource(&source);
        operation.SetTargets({target.get()});
        EXPECT_EQ(operation.Run(&log), 1);
        EXPECT_EQ(log.Texts(FeedbackError),
                  QStringList{QStringLiteral("Can't clone Stock: %1 could not be read").arg(unread->GetName())});
        EXPECT_TRUE(target->Log().Lines().isEmpty());
        unread->SetChildrenRead(true);
    }

    auto unreadable = Target("T1"), readable = Target("T2");
    unreadable->AddContent(QStringLiteral("keep"), 2);
    unreadable->SetChildrenRead(false);
    EXPECT_EQ(Run({unreadable.get(), readable.get()}), 1);
    EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{"Can't clone Stock to T1: T1 could not be read"});
    EXPECT_TRUE(unreadable->Log().Lines().isEmpty());
    EXPECT_EQ(readable->Log().Lines(), QStringList({"create T2/Pack@1", "add Pack/a@1"}));
}

// A package that holds nothing, read whole, is synchronised like any other: the targets
// are emptied.
TEST_P(Sync, AReadableEmptySourceEmptiesTheTargets)
{
    auto target = Target("T");
    target->AddContent(QStringLiteral("old"), 1);
    target->AddFolder(QStringLiteral("Old"), 2);
    EXPECT_EQ(Run({target.get()}), 0);
    EXPECT_EQ(target->Log().Lines(), QStringList({"remove T/old", "remove T/Old"}));
    EXPECT_EQ(target->ChildCount(), 0);
    EXPECT_TRUE(operation.Succeeded());
}

TEST_P(Sync, TheSourceAmongTheTargetsIsLeftOutAndTheOthersAreCloned)
{
    MemoryFolder* inside = source.AddFolder(QStringLiteral("Inside"), 1);
    auto target = Target("T");
    EXPECT_EQ(Run({&source, target.get(), inside}), 0);
    EXPECT_EQ(operation.Title(), QStringLiteral("Cloning Stock to 1 location(s)"));
    EXPECT_EQ(feedback.Texts(FeedbackWarning),
              QStringList({"Left out Stock: the source of a clone can't also be its destination",
                           "Left out Inside: the source of a clone can't also be its destination"}));
    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty());
    EXPECT_EQ(target->Log().Lines(), QStringList{"create T/Inside@1"});
    EXPECT_EQ(source.ChildCount(), 1);
}

TEST_P(Sync, ANestedTargetChangesNothing)
{
    MemoryFolder* inside = source.AddFolder(QStringLiteral("Inside"), 1);
    EXPECT_EQ(Run({inside}), 1);
    EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{"Can't clone Stock into itself"});

    ContentSyncOperation unset;
    FeedbackRecorder nested;
    EXPECT_FALSE(unset.IsValid());
    EXPECT_EQ(unset.Run(&nested), 1);
}

INSTANTIATE_TEST_SUITE_P(AtOnceAndLater, Sync, testing::Values(Answer::AtOnce, Answer::Later));
