#include "content/ContentMutex.h"
#include "content/operations/ContentCopyOperation.h"
#include "content/policies/NamedPolicies.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "link/ui/OperationDialog.h"
#include "platform/system/Clock.h"
#include "tests/content/MemoryFolders.h"

#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using Answer = MemoryFolder::Answer;

// Two trees: a library with a package and a fixture-like target, answering at once or later.
class CopyMove : public testing::TestWithParam<Answer>
{
protected:
    CopyMove()
        : library(UniqueNamesAndChannels::Instance(), QStringLiteral("Library")),
          target(UniqueNamesAndChannels::Instance(), QStringLiteral("Target"))
    {
        library.SetAnswer(GetParam());
        target.SetAnswer(GetParam());
        package = library.AddFolder(QStringLiteral("Package"), 3);
        sky = package->AddContent(QStringLiteral("Sky"), 1);
        inner = package->AddFolder(QStringLiteral("Inner"), 2);
        rain = inner->AddContent(QStringLiteral("Rain"), 4);
        sun = library.AddContent(QStringLiteral("Sun"), 7);
    }

    int Copy(const QList<ContentBase*>& items, ContentFolder* to, int flags = 0)
    {
        ContentCopyOperation operation;
        operation.SetItems(items);
        operation.SetTarget(to);
        operation.SetFlags(flags);
        return operation.Run(&feedback);
    }

    MemoryFolder library;
    MemoryFolder target;
    MemoryFolder* package;
    MemoryFolder* inner;
    MemoryContent* sky;
    MemoryContent* rain;
    MemoryContent* sun;
    FeedbackRecorder feedback;
};

} // namespace

TEST_P(CopyMove, CopiesFoldersWithEverythingBelowThem)
{
    ContentCopyOperation operation;
    operation.SetItems({package, sun});
    operation.SetTarget(&target);
    EXPECT_EQ(operation.Title(), QStringLiteral("Copying 5 files to Target"));
    EXPECT_TRUE(operation.IsValid());
    EXPECT_EQ(operation.Run(&feedback), 0);

    EXPECT_EQ(target.Log().Lines(), QStringList({"create Target/Package@3", "add Package/Sky@1", "create Package/Inner@2",
                                                  "add Inner/Rain@4", "add Target/Sun@7"}));
    ASSERT_EQ(target.ChildCount(), 2);
    auto* copiedPackage = qobject_cast<ContentFolder*>(target.Child(0));
    ASSERT_NE(copiedPackage, nullptr);
    EXPECT_EQ(static_cast<Content*>(copiedPackage->Child(0))->Key(), sky->Key());
    EXPECT_EQ(feedback.Totals().first(), 2 + 300) << "folders weigh 1, contents 100";
    EXPECT_EQ(feedback.Currents().last(), 302);
    EXPECT_TRUE(library.Log().Lines().isEmpty()) << "the source is only read";
}

TEST_P(CopyMove, AFolderIsNeverCopiedIntoItsOwnSubTree)
{
    ContentCopyOperation alone;
    alone.SetItems({package});
    alone.SetTarget(inner);
    EXPECT_FALSE(alone.IsValid());

    EXPECT_EQ(Copy({package, sun}, inner), 1);
    EXPECT_EQ(library.Log().Lines(), QStringList{"add Inner/Sun@7"}) << "the other item is still copied";
    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty());

    ContentCopyOperation empty;
    empty.SetTarget(&target);
    EXPECT_TRUE(empty.IsValid());
    FeedbackRecorder quiet;
    EXPECT_EQ(empty.Run(&quiet), 0);
    EXPECT_EQ(quiet.Totals(), QList<int>{0});
}

TEST_P(CopyMove, ClashesAreMadeUniqueOrFailSilently)
{
    target.AddContent(QStringLiteral("Sun"), 9);
    EXPECT_EQ(Copy({sun}, &target), 0);
    EXPECT_EQ(target.Log().Lines(), QStringList{"add Target/Sun (2)@7"});
    EXPECT_EQ(target.Child(0)->GetName(), QStringLiteral("Sun")) << "the item already there keeps its name";

    EXPECT_EQ(Copy({sun}, &target, ContentCopyOperation::FailOnClash), 1);
    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty());
    EXPECT_EQ(target.ChildCount(), 2);
}

TEST_P(CopyMove, OutOfRangeAddressesTakeTheDefaultAndAFullTargetFails)
{
    MemoryFolder* fixture = target.AddFolder(QStringLiteral("Fixture"), 1, BREVANTContentPackagePolicy::Instance());
    auto* image = new BrevantImage;
    image->AddFrame({});
    image->SetName(QStringLiteral("Img"));
    image->SetAddress(7);
    library.Adopt(image);
    MemoryFolder* family = fixture->AddFolder(QStringLiteral("Family"), 41);
    EXPECT_EQ(Copy({image}, fixture), 1) << "a package takes no images";
    EXPECT_EQ(Copy({image}, family), 0);
    EXPECT_EQ(family->Child(0)->GetAddress(), 7);

    // Folders copied into the package land at its default address, 41 and up.
    EXPECT_EQ(Copy({inner}, fixture), 1) << "the package takes no plain folders";
    MemoryFolder* brevantFolder = library.AddFolder(QStringLiteral("BF"), 2, BREVANTContentFolderPolicy::Instance());
    EXPECT_EQ(Copy({brevantFolder}, fixture), 0);
    EXPECT_EQ(fixture->Child(1)->GetAddress(), 42);
}

TEST_P(CopyMove, ImagesOfTheOtherFamilyAreConverted)
{
    auto* cindral = new CindralImage;
    cindral->AddFrame({});
    cindral->SetName(QStringLiteral("Wave"));
    cindral->SetAddress(3);
    library.Adopt(cindral);
    MemoryFolder brevant(BREVANTContentFolderPolicy::Instance(), QStringLiteral("Brevant"));
    brevant.SetAnswer(GetParam());
    EXPECT_EQ(Copy({cindral}, &brevant), 0);
    ASSERT_EQ(brevant.ChildCount(), 1);
    EXPECT_EQ(typeid(*brevant.Child(0)), typeid(BrevantImage));
}

TEST_P(CopyMove, PlaceholdersAreRefusedAndCancelStopsTheRest)
{
    sky->SetNotLoaded(true);
    EXPECT_EQ(Copy({sky, sun}, &target), 1);
    EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{"Can't copy Sky: its data has not been loaded yet"});
    EXPECT_EQ(target.Log().Lines(), QStringList{"add Target/Sun@7"});

    MemoryFolder second(UniqueNamesAndChannels::Instance(), QStringLiteral("Second"));
    second.SetAnswer(GetParam());
    FeedbackRecorder cancelling;
    cancelling.CancelOnText(QStringLiteral("Copying Rain"));
    ContentCopyOperation operation;
    operation.SetItems({rain, sun});
    operation.SetTarget(&second);
    EXPECT_EQ(operation.Run(&cancelling), 2);
    MemoryLink::Instance().Drain();
    EXPECT_EQ(second.Log().Lines(), QStringList{"add Second/Rain@4"})
        << "the step in flight finishes, nothing after it starts";
    EXPECT_FALSE(cancelling.Texts().join('|').contains(QStringLiteral("Sun")));
}

TEST_P(CopyMove, MovesInsideOneTree)
{
    ContentMoveOperation empty;
    empty.SetTarget(inner);
    EXPECT_FALSE(empty.IsValid());

    ContentMoveOperation operation;
    operation.SetItems({sky, sun});
    operation.SetTarget(inner);
    EXPECT_EQ(operation.Title(), QStringLiteral("Moving 2 files to Inner"));
    EXPECT_TRUE(operation.IsValid());
    EXPECT_EQ(operation.Run(&feedback), 0);
    EXPECT_EQ(library.Log().Lines(), QStringList({"move Sky Package -> Inner", "move Sun Library -> Inner"}));
    EXPECT_EQ(feedback.Totals().first(), 2);
    EXPECT_EQ(feedback.Currents().last(), 2);

    ContentMoveOperation intoOtherTree;
    intoOtherTree.SetItems({rain});
    intoOtherTree.SetTarget(&target);
    EXPECT_FALSE(intoOtherTree.IsValid());
    EXPECT_EQ(intoOtherTree.Run(&feedback), 1);

    inner->SetRefused(MemoryFolder::Move);
    MemoryContent* moon = library.AddContent(QStringLiteral("Moon"), 9);
    MemoryContent* star = package->AddContent(QStringLiteral("Star"), 8);
    ContentMoveOperation refused;
    refused.SetItems({moon, star});
    refused.SetTarget(inner);
    FeedbackRecorder partly;
    EXPECT_EQ(refused.Run(&partly), 1);
    EXPECT_EQ(partly.Texts(FeedbackError), QStringList({"Inner refuses the change", "Can't move Moon to Inner",
                                                        "Inner refuses the change", "Can't move Star to Inner"}))
        << "a failed item does not end the run";
    EXPECT_EQ(moon->GetParent(), &library);

    MemoryFolder readOnly(StandardStockContentPolicy::Instance());
    EXPECT_FALSE(CanMove({star}, &readOnly));
    EXPECT_FALSE(CanCopy({star}, &readOnly));
}

INSTANTIATE_TEST_SUITE_P(AtOnceAndLater, CopyMove, testing::Values(Answer::AtOnce, Answer::Later));

// The way the program runs an operation: on the operation dialog's worker thread, with the
// folders answering from the link thread.
TEST(CopyThroughOperationDialog, RunsOnTheWorkerThreadAndCancelEndsAWaitThatWouldNeverEnd)
{
    MemoryFolder library(UniqueNamesAndChannels::Instance(), QStringLiteral("Library"));
    MemoryContent* sky = library.AddContent(QStringLiteral("Sky"), 1);
    MemoryFolder fixture(UniqueNamesAndChannels::Instance(), QStringLiteral("Fixture"));
    fixture.SetAnswer(Answer::Later);

    ContentCopyOperation copy;
    copy.SetItems({sky});
    copy.SetTarget(&fixture);
    {
        OperationDialog dialog;
        EXPECT_TRUE(dialog.Run(&copy));
    }
    EXPECT_EQ(copy.thread(), QThread::currentThread()) << "handed back after the run";
    EXPECT_EQ(fixture.Log().Lines(), QStringList{"add Fixture/Sky@1"});

    // The fixture never answers: only the user's cancel ends the run. The user cancels once
    // the fixture has taken the add on (and holds it).
    fixture.SetHeld(MemoryFolder::Add);
    const int acceptedBefore = fixture.Accepted();
    ContentCopyOperation stuck;
    stuck.SetItems({sky});
    stuck.SetTarget(&fixture);
    {
        OperationDialog dialog;
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, &dialog, [&] {
            ContentLocker lock(&ContentMutex);
            if (fixture.Accepted() > acceptedBefore) {
                user.stop();
                dialog.cancel();
            }
        });
        user.start(1);
        EXPECT_FALSE(dialog.Run(&stuck));
    }
    // Its late answer, after the dialog and its feedback are gone, reaches nothing.
    fixture.ReleaseHeld();
    MemoryLink::Instance().Drain();
    EXPECT_EQ(fixture.ChildCount(), 2);
}
