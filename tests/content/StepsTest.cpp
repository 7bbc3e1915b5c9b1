#include "content/operations/ContentSteps.h"
#include "content/policies/NamedPolicies.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "tests/content/MemoryFolders.h"

#include <QPointer>
#include <gtest/gtest.h>

namespace {

using Answer = MemoryFolder::Answer;
// Unique names and addresses in 1-7: small enough to fill.
using SmallFolderPolicy = ContentPolicy<UniqueFilenamePolicy>::Combine<UniqueDMXChannelPolicy<1, 7>>;
// Unique names, every child at the only address 0: the packages of the library root.
using NamesAtZeroPolicy = ContentPolicy<UniqueFilenamePolicy>::Combine<UniqueDMXChannelPolicy<0, 0>>;

// Every step, run against folders that answer at once and against folders that answer
// later from the link thread.
class Steps : public testing::TestWithParam<Answer>
{
protected:
    Steps() : root(UniqueNamesAndChannels::Instance(), QStringLiteral("Root"))
    {
        root.SetAnswer(GetParam());
        a = root.AddFolder(QStringLiteral("A"), 1);
        b = root.AddFolder(QStringLiteral("B"), 2);
        sky = a->AddContent(QStringLiteral("Sky"), 5);
    }

    MemoryFolder root;
    MemoryFolder* a;
    MemoryFolder* b;
    MemoryContent* sky;
    FeedbackRecorder feedback;
};

// A folder that says it created a folder but did not.
class ForgetfulFolder : public MemoryFolder
{
public:
    using MemoryFolder::MemoryFolder;
    bool CreateFolder(const QString&, int, int, IFeedback* feedback) override
    {
        feedback->Finished(FeedbackSuccess);
        return true;
    }
};

// A folder that keeps an eye on what it was offered and refuses it.
class RefusingFolder : public MemoryFolder
{
public:
    using MemoryFolder::MemoryFolder;
    bool AddChild(QList<ContentBase*> children, IFeedback* feedback) override
    {
        offered = children.value(0);
        return Refuse(feedback, QStringLiteral("full"));
    }
    QPointer<ContentBase> offered;
};

} // namespace

TEST_P(Steps, EachStepSendsItsTextAndChangesTheTree)
{
    EXPECT_EQ(RenameStep(sky, QStringLiteral("Cloud"), &feedback), 0);
    EXPECT_EQ(RenumberStep(sky, 7, &feedback), 0);
    EXPECT_EQ(MoveStep(sky, b, &feedback), 0);
    ContentFolder* created = nullptr;
    EXPECT_EQ(CreateFolderStep(b, QStringLiteral("Sub"), 3, 0, created, &feedback), 0);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->GetParent(), b);
    EXPECT_EQ(CopyStep(sky, created, QStringLiteral("Copy"), 9, &feedback), 0);
    ASSERT_EQ(created->ChildCount(), 1);
    auto* copy = static_cast<Content*>(created->Child(0));
    EXPECT_EQ(copy->Key(), sky->Key());
    EXPECT_EQ(copy->GetName(), QStringLiteral("Copy"));
    EXPECT_EQ(copy->GetAddress(), 9);
    EXPECT_EQ(DeleteStep(copy, &feedback), 0);
    EXPECT_EQ(created->ChildCount(), 0);

    EXPECT_EQ(feedback.Texts(FeedbackNormal),
              QStringList({"Renaming Sky in A to Cloud", "Renumbering Cloud in A from 5 to 7",
                           "Moving Cloud from A to B", "Creating folder Sub in B", "Copying Cloud from B to Sub",
                           "Deleting Copy in Sub"}));
    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty());
    EXPECT_EQ(feedback.Totals(), QList<int>(6, 100)) << "every step reports through its own 0..100 wrapper";
    EXPECT_EQ(root.Log().Lines(),
              QStringList({"rename A/Sky -> Cloud", "renumber A/Cloud 5 -> 7", "move Cloud A -> B", "create B/Sub@3",
                           "add Sub/Copy@9", "remove Sub/Copy"}));
}

TEST_P(Steps, RefusalsCostOneErrorTextAndFailuresLaterAreFailures)
{
    a->SetRefused(MemoryFolder::AllChanges);
    b->SetRefused(MemoryFolder::AllChanges);
    ContentFolder* created = nullptr;
    EXPECT_EQ(RenameStep(sky, QStringLiteral("Cloud"), &feedback), 1);
    EXPECT_EQ(RenumberStep(sky, 7, &feedback), 1);
    EXPECT_EQ(MoveStep(sky, b, &feedback), 1);
    EXPECT_EQ(CreateFolderStep(b, QStringLiteral("Sub"), 3, 0, created, &feedback), 1);
    EXPECT_EQ(CopyStep(sky, b, QStringLiteral("Sky"), 5, &feedback), 1);
    EXPECT_EQ(DeleteStep(sky, &feedback), 1);
    EXPECT_EQ(created, nullptr);
    EXPECT_EQ(feedback.Texts(FeedbackError),
              QStringList({"A refuses the change", "Can't rename Sky to Cloud", "A refuses the change",
                           "Can't renumber Sky to 7", "B refuses the change", "Can't move Sky to B",
                           "B refuses the change", "Can't create folder Sub in B", "B refuses the change",
                           "Can't copy Sky to B", "A refuses the change", "Can't delete Sky"}));

    // Accepted, then failed: the folder's outcome, without a text of the step's own.
    a->SetRefused(0);
    a->SetFailing(MemoryFolder::Modify);
    FeedbackRecorder later;
    EXPECT_EQ(RenameStep(sky, QStringLiteral("Cloud"), &later), 1);
    EXPECT_TRUE(later.Texts(FeedbackError).isEmpty());
    EXPECT_EQ(sky->GetName(), QStringLiteral("Sky"));
}

INSTANTIATE_TEST_SUITE_P(AtOnceAndLater, Steps, testing::Values(Answer::AtOnce, Answer::Later));

TEST(StepsWithoutParent, SendTheProgressTextThenNoParent)
{
    MemoryContent orphan(QStringLiteral("Orphan"), 3);
    FeedbackRecorder feedback;
    EXPECT_EQ(RenameStep(&orphan, QStringLiteral("New"), &feedback), 1);
    EXPECT_EQ(RenumberStep(&orphan, 4, &feedback), 1);
    EXPECT_EQ(DeleteStep(&orphan, &feedback), 1);
    EXPECT_EQ(feedback.Texts(), QStringList({"Renaming Orphan in (none) to New", "No parent for Orphan",
                                             "Renumbering Orphan in (none) from 3 to 4", "No parent for Orphan",
                                             "Deleting Orphan in (none)", "No parent for Orphan"}));
    EXPECT_EQ(feedback.Texts(FeedbackError).size(), 3);
}

TEST(CreateFolderStep, ComplainsWhenTheNewFolderCannotBeFound)
{
    ForgetfulFolder folder(UniqueNamesAndChannels::Instance(), QStringLiteral("F"));
    FeedbackRecorder feedback;
    ContentFolder* created = nullptr;
    EXPECT_EQ(CreateFolderStep(&folder, QStringLiteral("New"), 4, 0, created, &feedback), 1);
    EXPECT_EQ(created, nullptr);
    EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{"Newly created folder New not available in F"});
}

TEST(CopyStep, LeavesNoCopyBehindWhenRefusedAndConvertsForFamilyFolders)
{
    MemoryFolder source(nullptr, QStringLiteral("Src"));
    auto* cindral = new CindralImage;
    typename CindralImage::Frame frame;
    cindral->AddFrame(frame);
    cindral->SetName(QStringLiteral("Wave"));
    source.Adopt(cindral);

    RefusingFolder full(nullptr, QStringLiteral("Full"));
    FeedbackRecorder feedback;
    EXPECT_EQ(CopyStep(cindral, &full, QStringLiteral("Wave"), 1, &feedback), 1);
    EXPECT_TRUE(full.offered.isNull()) << "the refused copy is destroyed";
    EXPECT_EQ(feedback.Texts(FeedbackError), QStringList({"full", "Can't copy Wave to Full"}));

    MemoryFolder brevant(BREVANTContentFolderPolicy::Instance(), QStringLiteral("Brevant"));
    EXPECT_EQ(CopyStep(cindral, &brevant, QStringLiteral("Wave"), 1, &feedback), 0);
    ASSERT_EQ(brevant.ChildCount(), 1);
    EXPECT_EQ(typeid(*brevant.Child(0)), typeid(BrevantImage));

    // A fixture placeholder is refused: its copy would be blank under the real image's key.
    MemoryContent* placeholder = source.AddContent(QStringLiteral("Later"), 2);
    placeholder->SetNotLoaded(true);
    FeedbackRecorder refused;
    EXPECT_EQ(CopyStep(placeholder, &source, QStringLiteral("Again"), 3, &refused), 1);
    EXPECT_EQ(refused.Texts(FeedbackError), QStringList{"Can't copy Later: its data has not been loaded yet"});
    EXPECT_EQ(source.ChildCount(), 2);
}

TEST(FitNameAndAddress, FitsTheRangeAndResolvesClashes)
{
    MemoryFolder folder(UniqueNamesAndChannels::Instance(), QStringLiteral("F"));
    folder.AddContent(QStringLiteral("Sky"), 5);
    folder.AddContent(QStringLiteral("Top"), 255);

    struct Case {
        int flags;
        QString name;
        int address;
        bool fits;
        QString fittedName;
        int fittedAddress;
    };
    const Case cases[] = {
        {0, "Rain", 0, true, "Rain", 1},          // below the range: the default address
        {0, "Rain", 300, true, "Rain", 1},        // above it
        {0, "Sky", 7, true, "Sky (2)", 7},        // name clash made unique
        {0, "Cloud", 5, true, "Cloud", 6},        // address clash made unique
        {0, "Top", 255, true, "Top (2)", 1},      // 255 + 1 leaves the range: lowest free
        {FitFailOnClash, "Sky", 7, false, "Sky", 7},
        {FitIgnoreClash, "Sky", 5, true, "Sky", 5},
        {0, "ABCDEFGHIJKLMNOPQRST", 9, true, "ABCDEFGHIJKLMNOP", 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        QString name = c.name;
        int address = c.address;
        FeedbackRecorder feedback;
        EXPECT_EQ(FitNameAndAddress(&folder, c.flags, name, address, &feedback), c.fits);
        EXPECT_EQ(name, c.fittedName);
        EXPECT_EQ(address, c.fittedAddress);
        EXPECT_TRUE(feedback.Texts().isEmpty());
    }

    MemoryFolder full(UniqueNamesAndChannels::Instance(), QStringLiteral("Full"));
    for (int i = 1; i <= 255; ++i)
        full.AddContent(QStringLiteral("c%1").arg(i), i);
    for (int address : {0, 255}) {
        QString name = QStringLiteral("c255");
        FeedbackRecorder feedback;
        EXPECT_FALSE(FitNameAndAddress(&full, 0, name, address, &feedback));
        EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{"No free address left in Full for " + name});
    }

    // Where every child stands at the only address, the name alone settles a clash.
    MemoryFolder root(NamesAtZeroPolicy::Instance(), QStringLiteral("Root"));
    root.AddContent(QStringLiteral("My Show"));
    root.AddContent(QStringLiteral("My Show (2)"));
    QString name = QStringLiteral("My Show");
    int address = 0;
    FeedbackRecorder feedback;
    EXPECT_TRUE(FitNameAndAddress(&root, 0, name, address, &feedback)) << feedback.Texts().join('\n').toStdString();
    EXPECT_EQ(name, QStringLiteral("My Show (3)"));
    EXPECT_EQ(address, 0);
}

TEST(KindIndex, FindsTheKindWhoseChildPolicyTheNodeHolds)
{
    MemoryFolder root(RootContentPolicy::Instance(), QStringLiteral("Root"));
    MemoryFolder* brevant = root.AddFolder(QStringLiteral("B"), 0, BREVANTContentPackagePolicy::Instance());
    MemoryFolder* cindral = root.AddFolder(QStringLiteral("C"), 0, CINDRALContentPackagePolicy::Instance());
    MemoryFolder* folder = cindral->AddFolder(QStringLiteral("F"), 41);
    MemoryFolder plain(nullptr);
    EXPECT_EQ(KindIndex(&root, brevant), 0);
    EXPECT_EQ(KindIndex(&root, cindral), 1);
    EXPECT_EQ(KindIndex(&root, folder), 0) << "no kind of the root makes it";
    EXPECT_EQ(KindIndex(&plain, cindral), 0);
    EXPECT_EQ(KindIndex(&root, cindral->AddContent(QStringLiteral("x"), 1)), 0);

    const ContentPathList path = ContentPath(&root, folder);
    ASSERT_EQ(path.size(), 2);
    EXPECT_EQ(path[0].name, QStringLiteral("C"));
    EXPECT_EQ(path[0].kind, 1);
    EXPECT_EQ(path[1].name, QStringLiteral("F"));
    EXPECT_EQ(path[1].address, 41);
    EXPECT_EQ(ContentPath(folder, &root).size(), 1) << "not below: the path up to the topmost folder";
    EXPECT_TRUE(ContentPath(&root, &root).isEmpty());
}

TEST(MakeRoom, RenamesAndRenumbersTheChildrenInTheWay)
{
    MemoryFolder folder(SmallFolderPolicy::Instance(), QStringLiteral("F"));
    MemoryContent* sky = folder.AddContent(QStringLiteral("Sky"), 5);
    folder.AddContent(QStringLiteral("Sky (2)"), 6);
    FeedbackRecorder feedback;
    EXPECT_EQ(MakeRoom(&folder, QStringLiteral("Sky"), 5, nullptr, &feedback), 0);
    EXPECT_EQ(sky->GetName(), QStringLiteral("Sky (3)"));
    EXPECT_EQ(sky->GetAddress(), 7);

    // Nothing free above: the lowest free address.
    MemoryContent* top = folder.AddContent(QStringLiteral("Top"), 1);
    folder.AddContent(QStringLiteral("Mid"), 2);
    EXPECT_EQ(MakeRoom(&folder, QStringLiteral("New"), 7, nullptr, &feedback), 0);
    EXPECT_EQ(sky->GetAddress(), 3);
    EXPECT_EQ(MakeRoom(&folder, QStringLiteral("Top"), 1, top, &feedback), 0) << "the skipped item stays";
    EXPECT_EQ(top->GetName(), QStringLiteral("Top"));

    // Long names are numbered within the 16 characters a node keeps, so they stay distinct.
    MemoryContent* longName = folder.AddContent(QStringLiteral("ABCDEFGHIJKLMNOP"), 0);
    folder.AddContent(QStringLiteral("ABCDEFGHIJ (2)"), 0);
    EXPECT_EQ(MakeRoom(&folder, QStringLiteral("ABCDEFGHIJKLMNOP"), 0, nullptr, &feedback), 0);
    EXPECT_EQ(longName->GetName(), QStringLiteral("ABCDEFGHIJ (3)"));

    // A full folder: an error, never a renumbering to -1.
    for (int address : {4, 5, 6, 7})
        folder.AddContent(QStringLiteral("fill%1").arg(address), address);
    FeedbackRecorder full;
    EXPECT_EQ(MakeRoom(&folder, QStringLiteral("X"), 3, nullptr, &full), 1);
    EXPECT_EQ(full.Texts(FeedbackError), QStringList{"No free address left in F for X"});
    EXPECT_EQ(sky->GetAddress(), 3);
}

TEST(ItemCounts, CountAndDescribeSelections)
{
    MemoryFolder root(nullptr, QStringLiteral("Root"));
    MemoryFolder* folder = root.AddFolder(QStringLiteral("Trio"));
    for (const char* name : {"a", "b", "c"})
        folder->AddContent(QString::fromLatin1(name));
    MemoryContent* one = root.AddContent(QStringLiteral("one"));
    MemoryContent* two = root.AddContent(QStringLiteral("two"));

    EXPECT_EQ(DescribeItems({folder}), QStringLiteral("Trio"));
    EXPECT_EQ(DescribeItems({one, two}), QStringLiteral("2 files"));
    EXPECT_EQ(DescribeItems({folder, one}), QStringLiteral("5 files"));
    EXPECT_EQ(DescribeItems({}), QStringLiteral("0 files"));
    EXPECT_EQ(CountItems({folder, one}, 1, 100), 401);
    EXPECT_EQ(CountItems({}, 1, 1), 0);

    ContentBase* inner = folder->Child(1);
    EXPECT_EQ(TopmostItems({inner, one, folder, one, &root}), QList<ContentBase*>{&root});
    EXPECT_EQ(TopmostItems({inner, one, folder, one}), QList<ContentBase*>({one, folder}));
}
