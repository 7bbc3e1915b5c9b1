// The Mosavra content library on disk: its fixed packages, collages and the packages it
// builds for the fixtures.
#include "content/policies/NamedPolicies.h"
#include "library/containers/ContentContainer.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"
#include "library/user/ContentLibraryRoot.h"
#include "tests/common/ScopedFileSizeLimit.h"
#include "tests/library/LibraryTestSupport.h"

#include <QFile>

using namespace library_test;

namespace {

class MosavraLibrary : public LibraryFolder
{
protected:
    MosavraContentLibraryRoot* Open()
    {
        root_.reset();
        DeleteLaterNodes();
        root_ = std::make_unique<MosavraContentLibraryRoot>(Folder(QStringLiteral("mosavra")));
        return root_.get();
    }
    MosavraContentLibraryPackage* Brevant() { return root_->Package(0); }
    MosavraContentLibraryFolder* Collage(const QString& name)
    {
        return qobject_cast<MosavraContentLibraryFolder*>(ChildNamed(Brevant(), name));
    }
    // Makes the collage `name` in the first package from new images of the given numbers.
    bool MakeCollage(const QString& name, int address, const QList<quint16>& ids, IFeedback* feedback = nullptr)
    {
        QList<Content*> images;
        for (quint16 id : ids)
            images.append(MakeImage<BrevantImage>(QStringLiteral("img"), id).release());
        const bool made = Brevant()->CreateFolder(name, address, images, feedback);
        if (!made)
            qDeleteAll(images);
        return made;
    }
    QString BrevantPath(const QString& name = QString()) const
    {
        return Path(QStringLiteral("mosavra/BREVANT") + (name.isEmpty() ? QString() : QLatin1Char('/') + name));
    }

    std::unique_ptr<MosavraContentLibraryRoot> root_;
};

TEST_F(MosavraLibrary, AnEmptyLibraryGetsItsTwoPackagesTheirDirectoriesAndItsFile)
{
    Open();
    EXPECT_EQ(root_->GetName(), QStringLiteral("Mosavra Content"));
    ASSERT_EQ(root_->ChildCount(), 2);
    EXPECT_EQ(root_->Child(0), Brevant());
    EXPECT_EQ(root_->Child(1)->GetName(), QStringLiteral("Cindral"));
    EXPECT_EQ(root_->Child(2), nullptr);
    EXPECT_EQ(Entries(Path(QStringLiteral("mosavra"))), (QStringList{"BREVANT", "Cindral", "config.xml"}));
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("mosavra/config.xml"))),
              QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<objects version=\"1\">\n"
                         "    <package name=\"BREVANT\" address=\"251\"/>\n"
                         "    <package name=\"Cindral\" address=\"251\"/>\n"
                         "</objects>\n"));
    EXPECT_EQ(Brevant()->Policy(), BREVANTMOSAVRAContentPackagePolicy::Instance());
    EXPECT_EQ(root_->Package(1)->Policy(), CINDRALMOSAVRAContentPackagePolicy::Instance());
    EXPECT_TRUE(ReadBytes(Path(QStringLiteral("mosavra/Cindral/config.xml"))).contains("CINDRALMOSAVRAContentPackagePolicy"));
    EXPECT_EQ(Brevant()->GetAddress(), 251);
    EXPECT_EQ(Brevant()->NewChildTypeName(0), QStringLiteral("Mosavra"));
    EXPECT_EQ(root_->NewChildTypeName(0), QString());
}

TEST_F(MosavraLibrary, APackageKeepsItsFamilyWhateverItsFileSays)
{
    Folder(QStringLiteral("mosavra/Cindral/Old"));
    WriteBytes(Path(QStringLiteral("mosavra/Cindral/config.xml")),
               R"(<objects policy="BREVANTMOSAVRAContentPackagePolicy"><folder name="Old" address="4"/></objects>)");
    Open();
    MosavraContentLibraryPackage* cindral = root_->Package(1);
    EXPECT_EQ(cindral->Policy(), CINDRALMOSAVRAContentPackagePolicy::Instance());
    ASSERT_EQ(Describe(cindral), QStringList{"Old@4"});
    EXPECT_EQ(PolicyOf(static_cast<ContentFolder*>(cindral->Child(0))), CINDRALMOSAVRAContentFolderPolicy::Instance());
}

// A root's file that names a policy (a root writes none) leaves the root and its packages
// as they are.
TEST_F(MosavraLibrary, ARootKeepsItsPolicyWhateverItsFileSays)
{
    Folder(QStringLiteral("mosavra"));
    for (const char* policy : {"CINDRALContentFolderPolicy", "BREVANTMOSAVRAContentPackagePolicy", "RootContentPolicy"}) {
        WriteBytes(Path(QStringLiteral("mosavra/config.xml")),
                   QByteArray("<objects version=\"1\" policy=\"") + policy + "\"><package name=\"BREVANT\" address=\"251\"/></objects>");
        Open();
        EXPECT_EQ(root_->Policy(), RootMosavraContentPolicy::Instance()) << policy;
        EXPECT_EQ(Brevant()->Policy(), BREVANTMOSAVRAContentPackagePolicy::Instance()) << policy;
        EXPECT_EQ(root_->Package(1)->Policy(), CINDRALMOSAVRAContentPackagePolicy::Instance()) << policy;
        ContentLibraryRoot user(Folder(QStringLiteral("user")));
        WriteBytes(Path(QStringLiteral("user/config.xml")), QByteArray("<objects version=\"1\" policy=\"") + policy + "\"/>");
        ContentLibraryRoot reread(Path(QStringLiteral("user")));
        EXPECT_EQ(reread.Policy(), RootContentPolicy::Instance()) << policy;
    }
}

TEST_F(MosavraLibrary, ACollageTakesTheNextFreeAddressAndNamesItsItemsByNumber)
{
    Open();
    ASSERT_TRUE(MakeCollage(QStringLiteral("One"), 1, {1}));
    ASSERT_TRUE(MakeCollage(QStringLiteral("Two"), 2, {1}));
    ASSERT_TRUE(MakeCollage(QStringLiteral("Stage"), 0, {7, 12}));
    ASSERT_TRUE(MakeCollage(QStringLiteral("ABCDEFGHIJKLMNOP"), 0, {7, 12}));

    EXPECT_EQ(Describe(Collage(QStringLiteral("Stage"))), (QStringList{"Stage_7@3", "Stage_12@3"}));
    EXPECT_EQ(Describe(Collage(QStringLiteral("ABCDEFGHIJKLMNOP"))),
              (QStringList{"ABCDEFGHIJKLMN_7@4", "ABCDEFGHIJKLM_12@4"}));
    // A longer name is cut before its directory is made, so the two agree.
    ASSERT_TRUE(MakeCollage(QStringLiteral("LONGER THAN SIXTEEN"), 0, {3}));
    EXPECT_TRUE(QFile::exists(BrevantPath(QStringLiteral("LONGER THAN SIXT/LONGER THAN SI_3.bvi"))));
    EXPECT_EQ(Entries(BrevantPath(QStringLiteral("Stage"))), (QStringList{"Stage_12.bvi", "Stage_7.bvi", "config.xml"}));
    EXPECT_EQ(ReadBytes(BrevantPath(QStringLiteral("Stage/config.xml"))),
              QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<objects policy=\"BREVANTMOSAVRAContentFolderPolicy\">\n"
                         "    <content name=\"Stage_7\" mosavraID=\"7\" address=\"3\"/>\n"
                         "    <content name=\"Stage_12\" mosavraID=\"12\" address=\"3\"/>\n"
                         "</objects>\n"));

    // A taken name changes nothing, and the images stay the caller's as they were.
    auto image = MakeImage<BrevantImage>(QStringLiteral("mine"), 9);
    const QStringList before = Entries(BrevantPath());
    FeedbackRecorder feedback;
    EXPECT_FALSE(Brevant()->CreateFolder(QStringLiteral("Stage"), 0, {image.get()}, &feedback));
    EXPECT_EQ(feedback.Texts(FeedbackError).size(), 1);
    EXPECT_EQ(image->GetName(), QStringLiteral("mine"));
    EXPECT_EQ(image->GetParent(), nullptr);
    EXPECT_EQ(Entries(BrevantPath()), before);
    EXPECT_EQ(Brevant()->ChildCount(), 5);

    // All of it comes back from disk.
    Open();
    EXPECT_EQ(Describe(Brevant()),
              (QStringList{"ABCDEFGHIJKLMNOP@4", "LONGER THAN SIXT@5", "One@1", "Stage@3", "Two@2"}));
    ContentFolder* stage = Collage(QStringLiteral("Stage"));
    EXPECT_EQ(stage->Child(0)->GetMosavraID() + stage->Child(1)->GetMosavraID(), 19);
}

TEST_F(MosavraLibrary, RenamingACollageRenamesItsItemsAndTheirFilesForGood)
{
    Open();
    ASSERT_TRUE(MakeCollage(QStringLiteral("Stage"), 0, {7, 12}));
    FeedbackRecorder feedback;
    ASSERT_TRUE(Brevant()->ModifyChild(Collage(QStringLiteral("Stage")), QStringLiteral("Wall"), 5, &feedback));
    EXPECT_EQ(feedback.Results(), QList<FeedbackResult>{FeedbackSuccess});
    EXPECT_EQ(Describe(Collage(QStringLiteral("Wall"))), (QStringList{"Wall_7@5", "Wall_12@5"}));
    EXPECT_EQ(Entries(BrevantPath(QStringLiteral("Wall"))), (QStringList{"Wall_12.bvi", "Wall_7.bvi", "config.xml"}));

    Open();
    ContentFolder* wall = Collage(QStringLiteral("Wall"));
    ASSERT_NE(wall, nullptr);
    EXPECT_EQ(Describe(wall), (QStringList{"Wall_12@5", "Wall_7@5"}));
    EXPECT_EQ(wall->Child(0)->GetMosavraID(), 12);
    EXPECT_EQ(wall->Child(1)->GetMosavraID(), 7);

    // A long name is cut for the items as it is when a collage is made.
    ASSERT_TRUE(Brevant()->ModifyChild(wall, QStringLiteral("ABCDEFGHIJKLMNOPQRS"), 5, &feedback));
    EXPECT_EQ(Describe(Collage(QStringLiteral("ABCDEFGHIJKLMNOP"))),
              (QStringList{"ABCDEFGHIJKLM_12@5", "ABCDEFGHIJKLMN_7@5"}));
    EXPECT_TRUE(QFile::exists(BrevantPath(QStringLiteral("ABCDEFGHIJKLMNOP/ABCDEFGHIJKLMN_7.bvi"))));
}

TEST_F(MosavraLibrary, AnItemWhoseFileCannotBeRenamedKeepsItsNameAndIsReported)
{
    Open();
    ASSERT_TRUE(MakeCollage(QStringLiteral("Stage"), 0, {7, 12}));
    Folder(QStringLiteral("mosavra/BREVANT/Stage/Tower_7.bvi")); // in the way of one rename
    ContentFolder* collage = Collage(QStringLiteral("Stage"));
    FeedbackRecorder feedback;
    ASSERT_TRUE(Brevant()->ModifyChild(collage, QStringLiteral("Tower"), collage->GetAddress(), &feedback));
    EXPECT_EQ(feedback.Results(), QList<FeedbackResult>{FeedbackFailure});
    EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{"Can't rename file: Stage_7 keep their names"});
    EXPECT_EQ(Describe(collage), (QStringList{"Stage_7@1", "Tower_12@1"}));
    Open();
    EXPECT_EQ(Describe(Collage(QStringLiteral("Tower"))), (QStringList{"Stage_7@1", "Tower_12@1"}));
}

TEST_F(MosavraLibrary, ACollageThatCannotBeMadeLeavesNothingBehind)
{
    Open();
    auto big = MakeImage<BrevantImage>(QStringLiteral("big"), 3, 255);
    const QStringList before = Entries(BrevantPath());
    {
        testing_env::ScopedFileSizeLimit limit(4000);
        EXPECT_FALSE(Brevant()->CreateFolder(QStringLiteral("Big"), 0, {big.get()}));
    }
    EXPECT_EQ(Entries(BrevantPath()), before);
    EXPECT_EQ(Brevant()->ChildCount(), 0);
    EXPECT_EQ(big->GetName(), QStringLiteral("big"));
    EXPECT_EQ(big->GetParent(), nullptr);

    // Out of range, or no address left.
    EXPECT_FALSE(MakeCollage(QStringLiteral("Far"), 256, {1}));
    QStringList lines{R"(<objects policy="BREVANTMOSAVRAContentPackagePolicy">)"};
    for (int address = 1; address <= 255; ++address) {
        Folder(QStringLiteral("mosavra/BREVANT/C%1").arg(address));
        lines.append(QStringLiteral(R"(<folder name="C%1" address="%1"/>)").arg(address));
    }
    lines.append(QStringLiteral("</objects>"));
    WriteBytes(BrevantPath(QStringLiteral("config.xml")), lines.join(u'\n').toUtf8());
    Open();
    FeedbackRecorder feedback;
    EXPECT_FALSE(MakeCollage(QStringLiteral("Full"), 0, {1}, &feedback));
    EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{"No free address left in BREVANT for Full"});
    EXPECT_FALSE(QFile::exists(BrevantPath(QStringLiteral("Full"))));
}

TEST_F(MosavraLibrary, ThePackageBuiltForAFixtureHoldsItsShareOfEveryCollage)
{
    Open();
    ASSERT_TRUE(MakeCollage(QStringLiteral("Stage"), 3, {7, 12}));
    ASSERT_TRUE(MakeCollage(QStringLiteral("Wall"), 5, {12, 7}));
    ASSERT_TRUE(MakeCollage(QStringLiteral("Floor"), 6, {12}));

    std::unique_ptr<ContentContainerFolder> package(Brevant()->BuildDevicePackage(7));
    EXPECT_EQ(package->GetName(), QStringLiteral("Mosavra Content Package"));
    ASSERT_EQ(package->ChildCount(), 1);
    auto* container = qobject_cast<ContentContainer*>(package->Child(0));
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(container->GetName(), QStringLiteral("Mosavra"));
    EXPECT_EQ(container->GetAddress(), 251);
    EXPECT_EQ(container->GetParent(), package.get());
    EXPECT_EQ(Describe(container), (QStringList{"Stage@3", "Wall@5"}));
    const auto keyOf = [](ContentBase* node) { return static_cast<Content*>(node)->Key(); };
    EXPECT_EQ(keyOf(container->Child(0)), keyOf(Collage(QStringLiteral("Stage"))->Child(0)));
    EXPECT_EQ(keyOf(container->Child(1)), keyOf(Collage(QStringLiteral("Wall"))->Child(1)));
    EXPECT_EQ(container->Child(0)->GetParent(), container);

    std::unique_ptr<ContentContainerFolder> none(Brevant()->BuildDevicePackage(99));
    ASSERT_EQ(none->ChildCount(), 1);
    EXPECT_EQ(static_cast<ContentFolder*>(none->Child(0))->ChildCount(), 0);

    EXPECT_EQ(root_->PackageByName(QStringLiteral("brevant")), Brevant());
    EXPECT_EQ(root_->PackageByName(QStringLiteral("CINDRAL")), root_->Package(1));
    EXPECT_EQ(root_->PackageByName(QStringLiteral("Mosavra")), nullptr);
}

TEST_F(MosavraLibrary, CollagesChangeOnlyAsAWholeAndThePackagesAreFixed)
{
    Open();
    ASSERT_TRUE(MakeCollage(QStringLiteral("Stage"), 3, {7}));
    MosavraContentLibraryFolder* stage = Collage(QStringLiteral("Stage"));
    FeedbackRecorder feedback;
    EXPECT_TRUE(stage->IsChildrenReadOnly());
    EXPECT_FALSE(stage->IsReadOnly());
    EXPECT_FALSE(stage->ModifyChild(stage->Child(0), QStringLiteral("x"), 3, &feedback));
    EXPECT_FALSE(stage->MoveHere(stage->Child(0), &feedback));
    EXPECT_FALSE(stage->CreateFolder(QStringLiteral("x"), 1, 0, &feedback));
    EXPECT_FALSE(root_->CreateFolder(QStringLiteral("x"), 0, 0, &feedback));
    EXPECT_FALSE(root_->RemoveChild(Brevant(), &feedback));
    EXPECT_FALSE(root_->ModifyChild(Brevant(), QStringLiteral("x"), 0, &feedback));
    EXPECT_FALSE(Brevant()->AcceptsFolder(stage));
    EXPECT_FALSE(Brevant()->SetAddress(3));
    EXPECT_EQ(feedback.Texts(FeedbackError).size(), 6);

    // A new address reaches the items and their file.
    ASSERT_TRUE(Brevant()->ModifyChild(stage, QStringLiteral("Stage"), 9, &feedback));
    EXPECT_EQ(Describe(stage), QStringList{"Stage_7@9"});
    EXPECT_TRUE(ReadBytes(BrevantPath(QStringLiteral("Stage/config.xml"))).contains(R"(address="9")"));

    // A collage moves to the other package, and is deleted item by item.
    MosavraContentLibraryPackage* cindral = root_->Package(1);
    ASSERT_TRUE(cindral->MoveHere(stage, &feedback));
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("mosavra/Cindral/Stage/Stage_7.bvi"))));
    EXPECT_FALSE(cindral->RemoveChild(stage, &feedback));
    ASSERT_TRUE(stage->RemoveChild(stage->Child(0), &feedback));
    ASSERT_TRUE(cindral->RemoveChild(stage, &feedback));
    EXPECT_EQ(Entries(Path(QStringLiteral("mosavra/Cindral"))), QStringList{"config.xml"});
}

TEST_F(MosavraLibrary, CreateMosavraPackageFillsTheProcessWideLibrary)
{
    ScopedSearchPath roots(QStringLiteral("MosavraContentLibraryRoot"), Folder(QStringLiteral("shared")));
    MosavraContentLibraryRoot::DestroyInstance();
    auto image = MakeImage<CindralImage>(QStringLiteral("x"), 4);
    FeedbackRecorder feedback;
    ASSERT_TRUE(CreateMosavraPackage(1, QStringLiteral("Made"), 0, {image.get()}, &feedback));
    image.release();
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("shared/Cindral/Made/Made_4.cdli"))));
    EXPECT_FALSE(CreateMosavraPackage(2, QStringLiteral("None"), 0, {}, &feedback));
    MosavraContentLibraryRoot::DestroyInstance();
}

} // namespace
