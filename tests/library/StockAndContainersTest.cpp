// The stock content as the program reads it, and the in-memory containers.
#include "content/operations/ContentSyncOperation.h"
#include "content/policies/NamedPolicies.h"
#include "library/containers/ContentContainer.h"
#include "library/stock/StockContentRoot.h"
#include "tests/library/LibraryTestSupport.h"
#include "tests/library/archive/ArchiveTestSupport.h"
#include "tools/stock_content/StockContent.h"

#include <QFile>

using namespace library_test;

namespace {

const QString kBuiltDir = QStringLiteral(VELMORA_STOCK_CONTENT_DIR);

class Stock : public LibraryFolder
{
protected:
    ~Stock() override { StockContentRoot::DestroyInstance(); }

    StockContentRoot* Open(const QString& dir)
    {
        paths_ = std::make_unique<ScopedSearchPath>(QStringLiteral("StockContent"), dir);
        StockContentRoot::DestroyInstance();
        return StockContentRoot::Instance();
    }

    std::unique_ptr<ScopedSearchPath> paths_;
};

TEST_F(Stock, ThePackagePathIsTheFirstStockDirectoryAndTheBaseName)
{
    ScopedSearchPath paths(QStringLiteral("StockContent"), QStringLiteral("/some/where"));
    EXPECT_EQ(StockContentPath(QStringLiteral("brevant_stock_content")),
              QStringLiteral("/some/where/brevant_stock_content.qelpkg"));
}

TEST_F(Stock, WithoutArchivesTheTwoPackagesAreEmpty)
{
    StockContentRoot* root = Open(Folder(QStringLiteral("none")));
    EXPECT_EQ(root->GetName(), QStringLiteral("Stock Content"));
    EXPECT_EQ(Describe(root), (QStringList{"BREVANT@0", "Cindral@0"}));
    EXPECT_EQ(static_cast<ContentFolder*>(root->Child(0))->ChildCount(), 0);
    EXPECT_EQ(static_cast<ContentFolder*>(root->Child(1))->ChildCount(), 0);
    EXPECT_TRUE(Entries(Path(QStringLiteral("none"))).isEmpty());
}

TEST_F(Stock, TheGeneratedPackagesReadAsTheirFamiliesWithEveryChangeRefused)
{
    StockContentRoot* root = Open(kBuiltDir);
    EXPECT_EQ(qobject_cast<ContentLibraryPackageFile*>(root->Child(0))->Path(),
              QStringLiteral("decode#") + kBuiltDir + QStringLiteral("/brevant_stock_content.qelpkg"));
    const QStringList colours{"Red@1", "Green@2", "Blue@3", "Warm White@4"};
    const QStringList patterns{"Rainbow@1", "Pulse@2", "Rings@3", "Sparkle@4"};
    for (int family = 0; family < 2; ++family) {
        auto* package = static_cast<ContentFolder*>(root->Child(family));
        SCOPED_TRACE(package->GetName().toStdString());
        package->Reload(true);
        EXPECT_EQ(Describe(package), (QStringList{"Colours@1", "Patterns@2"}));
        auto* coloursFolder = static_cast<ContentFolder*>(package->Child(0));
        auto* patternsFolder = static_cast<ContentFolder*>(package->Child(1));
        EXPECT_EQ(Describe(coloursFolder), colours);
        EXPECT_EQ(Describe(patternsFolder), patterns);
        ContentBase* rainbow = patternsFolder->Child(0);
        if (family == 0) {
            ASSERT_TRUE(qobject_cast<BrevantImage*>(rainbow));
            EXPECT_EQ(static_cast<BrevantImage*>(rainbow)->FrameCount(), 12);
            EXPECT_EQ(static_cast<BrevantImage*>(rainbow)->GetFrame(0)->duration, 80);
        } else {
            ASSERT_TRUE(qobject_cast<CindralImage*>(rainbow));
            EXPECT_EQ(static_cast<CindralImage*>(rainbow)->FrameCount(), 12);
        }

        // Read-only everywhere, and every change refused by the nodes themselves.
        for (ContentFolder* node : {static_cast<ContentFolder*>(root), package, coloursFolder}) {
            SCOPED_TRACE(node->GetName().toStdString());
            EXPECT_TRUE(node->IsReadOnly());
            EXPECT_TRUE(node->IsChildrenReadOnly());
            EXPECT_TRUE(node->IsViewOnly());
            auto image = MakeImage<BrevantImage>(QStringLiteral("x"));
            FeedbackRecorder feedback;
            EXPECT_FALSE(node->AddChild({image.get()}, &feedback));
            EXPECT_FALSE(node->CreateFolder(QStringLiteral("x"), 3, 0, &feedback));
            EXPECT_FALSE(node->ModifyChild(node->Child(0), QStringLiteral("x"), 3, &feedback));
            EXPECT_FALSE(node->MoveHere(patternsFolder->Child(1), &feedback));
            EXPECT_FALSE(node->RemoveChild(node->Child(0), &feedback));
            EXPECT_EQ(feedback.Texts(FeedbackError).size(), 5);
            EXPECT_TRUE(feedback.Results().isEmpty());
        }
        EXPECT_EQ(Describe(coloursFolder), colours);
    }
    EXPECT_EQ(root->PackageByModel(QStringLiteral("bReVaNt")), root->Child(0));
    EXPECT_EQ(root->PackageByModel(QStringLiteral("cindral")), root->Child(1));
    EXPECT_EQ(root->PackageByModel(QStringLiteral("Tarvo")), nullptr);
}

// The stock update's source: a stock package synchronised onto a stand-in of a fixture's
// stock group, which answers from another thread as a fixture does.
TEST_F(Stock, APackageSynchronisesOntoAStockGroup)
{
    StockContentRoot* root = Open(kBuiltDir);
    ContentFolder* brevant = root->PackageByModel(QStringLiteral("BREVANT"));
    MemoryFolder group(nullptr, QStringLiteral("Stock Content"));
    group.SetAnswer(MemoryFolder::Answer::Later);
    for (int run = 0; run < 2; ++run) {
        ContentSyncOperation sync;
        sync.SetSource(brevant);
        sync.SetTargets({&group});
        FeedbackRecorder feedback;
        ASSERT_EQ(sync.Run(&feedback), 0) << feedback.Texts().join(u'\n').toStdString();
        EXPECT_EQ(sync.Succeeded(), run == 1);
    }
    ASSERT_EQ(Describe(&group), (QStringList{"Colours@1", "Patterns@2"}));
    for (int f = 0; f < 2; ++f) {
        auto* source = static_cast<ContentFolder*>(brevant->Child(f));
        auto* copy = static_cast<ContentFolder*>(group.Child(f));
        ASSERT_EQ(copy->ChildCount(), 4);
        for (int i = 0; i < 4; ++i) {
            auto* item = static_cast<Content*>(copy->Child(i));
            auto* original = static_cast<Content*>(ChildNamed(source, item->GetName()));
            ASSERT_NE(original, nullptr);
            EXPECT_EQ(item->Key(), original->Key());
            EXPECT_EQ(item->GetAddress(), original->GetAddress());
        }
    }
}

// A package made with another key decodes into nothing readable: it is not taken for a
// package without content, which the stock update would make the fixtures' stock content.
TEST_F(Stock, AnArchiveOfAnotherKeyIsNotTakenForAnEmptyPackage)
{
    const QString other = Folder(QStringLiteral("other"));
    archive_test::RekeyPackage(kBuiltDir + QStringLiteral("/brevant_stock_content.qelpkg"),
                               other + QStringLiteral("/brevant_stock_content.qelpkg"),
                               {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    StockContentRoot* root = Open(other);
    auto* brevant = static_cast<ContentFolder*>(root->Child(0));
    auto* cindral = static_cast<ContentFolder*>(root->Child(1));
    EXPECT_FALSE(brevant->ChildrenRead());
    EXPECT_FALSE(cindral->ChildrenRead()) << "no archive at all";
    EXPECT_EQ(UnreadFolder(root), brevant);

    MemoryFolder group(nullptr, QStringLiteral("Stock Content"));
    group.AddFolder(QStringLiteral("Colours"), 1)->Adopt(new MemoryContent(QStringLiteral("Red"), 1));
    ContentSyncOperation sync;
    sync.SetSource(brevant);
    sync.SetTargets({&group});
    FeedbackRecorder feedback;
    EXPECT_EQ(sync.Run(&feedback), 1);
    EXPECT_EQ(Describe(&group), QStringList{"Colours@1"});
    EXPECT_EQ(static_cast<ContentFolder*>(group.Child(0))->ChildCount(), 1);
}

TEST_F(Stock, TheBuildStagesBothPackagesForMakeRun)
{
    for (int family = 0; family < StockContent::kFamilyCount; ++family) {
        const QString name = StockContent::PackageFileName(family);
        const QString staged = QStringLiteral(VELMORA_RUN_STOCK_CONTENT_DIR) + QLatin1Char('/') + name;
        ASSERT_TRUE(QFile::exists(staged)) << staged.toStdString();
        EXPECT_EQ(ReadBytes(staged), ReadBytes(kBuiltDir + QLatin1Char('/') + name));
    }
    EXPECT_TRUE(QStringLiteral(VELMORA_RUN_STOCK_CONTENT_DIR).endsWith(QStringLiteral("/run-data/Quorvane/Velmora/Content")));
}

TEST(Containers, HoldWhatTheyAreGivenAndRefuseEveryOtherChange)
{
    ContentContainerFolder package;
    package.SetName(QStringLiteral("Mosavra Content Package"));
    ContentContainer container;
    container.SetAddress(251);
    container.SetParent(&package);
    package.AddFolder(&container);
    MemoryContent a(QStringLiteral("a"), 3);
    MemoryContent b(QStringLiteral("b"), 3);

    FeedbackRecorder feedback;
    EXPECT_TRUE(container.AddChild({}, &feedback));
    EXPECT_EQ(container.ChildCount(), 0);
    EXPECT_TRUE(container.AddChild({&a, &b, &a}, &feedback));
    EXPECT_EQ(Describe(&container), (QStringList{"a@3", "b@3", "a@3"}));
    EXPECT_EQ(a.GetParent(), nullptr);
    EXPECT_EQ(feedback.Results(), (QList<FeedbackResult>{FeedbackSuccess, FeedbackSuccess}));

    for (ContentFolder* folder : {static_cast<ContentFolder*>(&container), static_cast<ContentFolder*>(&package)}) {
        EXPECT_EQ(folder->MinAddress(), 0);
        EXPECT_EQ(folder->MaxAddress(), 0);
        EXPECT_FALSE(folder->RemoveChild(folder->Child(0), &feedback));
        EXPECT_FALSE(folder->ModifyChild(folder->Child(0), QStringLiteral("x"), 0, &feedback));
        EXPECT_FALSE(folder->MoveHere(&b, &feedback));
        EXPECT_FALSE(folder->CreateFolder(QStringLiteral("x"), 0, 0, &feedback));
    }
    EXPECT_FALSE(package.AddChild({&a}, &feedback));
    EXPECT_FALSE(package.AcceptsContent(&a));
    EXPECT_TRUE(container.AcceptsContent(&a));
    EXPECT_EQ(package.ChildCount(), 1);
    EXPECT_EQ(package.GetName(), QStringLiteral("Mosavra Content Package"));
    EXPECT_EQ(container.ChildCount(), 3);
}

} // namespace
