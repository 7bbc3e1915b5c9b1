#include "content/operations/ContentDeleteOperation.h"
#include "content/policies/NamedPolicies.h"
#include "tests/content/MemoryFolders.h"

#include <gtest/gtest.h>

namespace {

using Answer = MemoryFolder::Answer;

class DeleteAndAddress : public testing::TestWithParam<Answer>
{
protected:
    DeleteAndAddress() : root(UniqueNamesAndChannels::Instance(), QStringLiteral("Root"))
    {
        root.SetAnswer(GetParam());
    }

    MemoryFolder root;
    FeedbackRecorder feedback;
};

} // namespace

TEST_P(DeleteAndAddress, DeletesChildrenFirst)
{
    MemoryFolder* folder = root.AddFolder(QStringLiteral("Outer"), 1);
    MemoryFolder* sub = folder->AddFolder(QStringLiteral("Sub"), 1);
    sub->AddContent(QStringLiteral("a"), 1);
    sub->AddContent(QStringLiteral("b"), 2);

    ContentDeleteOperation operation;
    operation.SetItems({folder});
    EXPECT_EQ(operation.Title(), QStringLiteral("Deleting Outer"));
    EXPECT_TRUE(operation.IsValid());
    EXPECT_EQ(operation.Run(&feedback), 0);
    EXPECT_EQ(root.Log().Lines(), QStringList({"remove Sub/a", "remove Sub/b", "remove Outer/Sub", "remove Root/Outer"}));
    EXPECT_EQ(feedback.Totals().first(), 4);
    EXPECT_EQ(feedback.Currents().last(), 4);
    EXPECT_EQ(root.ChildCount(), 0);
}

TEST_P(DeleteAndAddress, AnItemInsideASelectedFolderGoesWithIt)
{
    MemoryFolder* folder = root.AddFolder(QStringLiteral("F"), 1);
    MemoryContent* inner = folder->AddContent(QStringLiteral("inner"), 1);
    MemoryContent* other = root.AddContent(QStringLiteral("other"), 2);

    ContentDeleteOperation operation;
    operation.SetItems({folder, inner, other, other});
    EXPECT_EQ(operation.Run(&feedback), 0);
    EXPECT_EQ(root.Log().Lines(), QStringList({"remove F/inner", "remove Root/F", "remove Root/other"}));
    EXPECT_EQ(feedback.Totals().first(), 3);
}

TEST_P(DeleteAndAddress, ARefusedItemFailsAndTheOthersAreStillDeleted)
{
    MemoryFolder* locked = root.AddFolder(QStringLiteral("Locked"), 1);
    MemoryContent* kept = locked->AddContent(QStringLiteral("kept"), 1);
    locked->SetRefused(MemoryFolder::Remove);
    MemoryContent* gone = root.AddContent(QStringLiteral("gone"), 2);

    ContentDeleteOperation operation;
    operation.SetItems({kept, gone});
    EXPECT_EQ(operation.Run(&feedback), 1);
    EXPECT_EQ(feedback.Texts(FeedbackError), QStringList({"Locked refuses the change", "Can't delete kept"}));
    EXPECT_EQ(root.Log().Lines(), QStringList{"remove Root/gone"});

    // With the stop flag the walk ends at the first failure.
    MemoryContent* last = root.AddContent(QStringLiteral("last"), 3);
    ContentDeleteOperation stopping;
    stopping.SetItems({kept, last});
    stopping.SetFlags(ContentDeleteOperation::StopAtFirstFailure);
    EXPECT_EQ(stopping.Run(&feedback), 1);
    EXPECT_TRUE(root.HasChild(last));

    // A cancel during a step that fails at once still keeps the rest from starting.
    FeedbackRecorder cancelling;
    cancelling.CancelOnText(QStringLiteral("Can't delete kept"));
    ContentDeleteOperation cancelled;
    cancelled.SetItems({kept, last});
    EXPECT_EQ(cancelled.Run(&cancelling), 1) << "a failure before the cancel makes the answer 1";
    EXPECT_TRUE(root.HasChild(last));
}

TEST_P(DeleteAndAddress, AutosetFillsTheLowestFreeAddressesInSelectionOrder)
{
    MemoryContent* three = root.AddContent(QStringLiteral("three"), 3);
    MemoryContent* five = root.AddContent(QStringLiteral("five"), 5);
    MemoryContent* zero = root.AddContent(QStringLiteral("zero"), 0);

    ContentAddressOperation autoset;
    autoset.SetItems({three, five, zero});
    autoset.SetMode(ContentAddressOperation::Autoset);
    EXPECT_EQ(autoset.Title(), QStringLiteral("Addressing 3 files"));
    EXPECT_EQ(autoset.Run(&feedback), 0);
    EXPECT_EQ(three->GetAddress(), 1);
    EXPECT_EQ(five->GetAddress(), 2);
    EXPECT_EQ(zero->GetAddress(), 3) << "below the minimum: moved up to the lowest free";

    // At 2 with 1 taken: the lowest free is 4 (2 is its own), which is not below 2.
    MemoryFolder other(UniqueNamesAndChannels::Instance(), QStringLiteral("Other"));
    other.AddContent(QStringLiteral("one"), 1);
    MemoryContent* two = other.AddContent(QStringLiteral("two"), 2);
    other.AddContent(QStringLiteral("three"), 3);
    ContentAddressOperation stays;
    stays.SetItems({two});
    stays.SetMode(ContentAddressOperation::Autoset);
    EXPECT_EQ(stays.Run(&feedback), 0);
    EXPECT_EQ(two->GetAddress(), 2);
    EXPECT_TRUE(other.Log().Lines().isEmpty());
}

TEST_P(DeleteAndAddress, ResetTakesAddressesAwayAndCountsEveryItem)
{
    MemoryContent* seven = root.AddContent(QStringLiteral("seven"), 7);
    MemoryContent* zero = root.AddContent(QStringLiteral("zero"), 0);
    MemoryContent orphan(QStringLiteral("orphan"), 4);

    ContentAddressOperation reset;
    reset.SetItems({seven, zero, &orphan});
    reset.SetMode(ContentAddressOperation::Reset);
    EXPECT_EQ(reset.Run(&feedback), 0);
    EXPECT_EQ(seven->GetAddress(), 0);
    EXPECT_EQ(orphan.GetAddress(), 4) << "an item without a folder is left alone";
    EXPECT_EQ(root.Log().Lines(), QStringList{"renumber Root/seven 7 -> 0"});
    EXPECT_EQ(feedback.Totals().first(), 3);
    EXPECT_EQ(feedback.Currents(), QList<int>({1, 2, 3}));
}

INSTANTIATE_TEST_SUITE_P(AtOnceAndLater, DeleteAndAddress, testing::Values(Answer::AtOnce, Answer::Later));
