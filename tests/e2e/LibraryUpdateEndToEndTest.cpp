// The libraries sent to the fixtures on the real path: the Mosavra update and the stock
// content synchronised from the library objects onto family fixtures that discovery found,
// through the command thread, qex_usb, the simulated widget and line to the fixtures'
// content stores.
//
// On the line: Brevant fixtures 7ff0:00000101 (Mosavra address 7) and 7ff0:00000102
// (Mosavra address 12).
#include "content/ContentProtection.h"
#include "content/operations/ContentSyncOperation.h"
#include "fixtures/QelFamilies.h"
#include "fixtures/QelRDM.h"
#include "fixtures/tree/QelRDMContentGroup.h"
#include "fixtures/tree/QelRDMContentRoot.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"
#include "library/mosavra/UpdateMosavraContentSyncOperation.h"
#include "library/stock/StockContentRoot.h"
#include "link/commands/CommManager.h"
#include "link/commands/Command.h"
#include "link/devices/DeviceManager.h"
#include "sim/fixtures/QelFixture.h"
#include "tests/content/MemoryFolders.h"
#include "tests/e2e/DialogRun.h"
#include "tests/e2e/WidgetRig.h"
#include "tests/fixtures/FamilyTestSupport.h"
#include "tests/library/archive/ArchiveTestSupport.h"
#include "tests/link/PollUntil.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

constexpr quint64 k7 = 0x7FF0'0000'0101ull;
constexpr quint64 k12 = 0x7FF0'0000'0102ull;

const char* const kRig = R"({ "widgets": [ { "kind": "programmed", "version": [1, 2], "fixtures": [
    { "kind": "brevant", "uid": "7ff0:00000101", "mosavraAddress": 7 },
    { "kind": "brevant", "uid": "7ff0:00000102", "mosavraAddress": 12 } ] } ] })";

constexpr int kMosavraFolder = 251;

class LibraryUpdateEndToEnd : public WidgetRigTest
{
protected:
    void SetUp() override
    {
        WidgetRigTest::SetUp();
        BootRig(kRig);
        RegisterQelFamilies();
        QObject::connect(&Manager(), &CommManager::CommandQueued, &watch_, [this](QUuid id) {
            if (Command* command = Manager().FindCommand(id))
                queuedNames_.append(command->GetName());
        });
        ASSERT_TRUE(Discover());
    }
    void TearDown() override
    {
        mosavra_.reset();
        StockContentRoot::DestroyInstance();
        QDir::setSearchPaths(QStringLiteral("StockContent"), savedStockPaths_);
        WidgetRigTest::TearDown();
    }

    static bool Discover()
    {
        DeviceManager* registry = DeviceManager::Instance();
        QSignalSpy completed(registry, &DeviceManager::DiscoveryCompleted);
        registry->Discover();
        return PollUntil([&] { return !completed.isEmpty(); }, 60000);
    }
    static QelRDM* Fixture(quint64 uid)
    {
        return qobject_cast<QelRDM*>(DeviceManager::Instance()->FindDevice(uid));
    }
    // The fixture with its content tree read from the fixture.
    static QelRDM* Ready(quint64 uid)
    {
        QelRDM* fixture = Fixture(uid);
        EXPECT_NE(fixture, nullptr);
        if (fixture) {
            EXPECT_TRUE(PollUntil([&] { return fixture->ContentRoot()->ChildrenRead(); }, 60000));
        }
        return fixture;
    }
    sim::QelFixture& Sim(quint64 uid)
    {
        return *std::dynamic_pointer_cast<sim::QelFixture>(RigResponder(uid == k7 ? 0 : 1));
    }
    // "number name" of every folder in the fixture's store, and of every file of one.
    QStringList SimFolders(quint64 uid)
    {
        QStringList folders;
        for (const auto& [number, folder] : Sim(uid).Content().folders)
            folders.append(QStringLiteral("%1 %2").arg(number).arg(QString::fromLatin1(folder.name)));
        return folders;
    }
    QStringList SimFiles(quint64 uid, int folder)
    {
        QStringList files;
        const sim::QelContent content = Sim(uid).Content();
        const auto found = content.folders.find(folder);
        if (found == content.folders.end())
            return files;
        for (const auto& [number, file] : found->second.files)
            files.append(QStringLiteral("%1 %2").arg(number).arg(QString::fromLatin1(file.name)));
        return files;
    }
    // The keys of the items in folder `folder` of the fixture's Mosavra or stock group, in
    // file order.
    static QList<quint32> TreeKeys(ContentFolder* group, int folder)
    {
        QList<quint32> keys;
        for (int f = 0; f < group->ChildCount(); ++f) {
            auto* child = qobject_cast<ContentFolder*>(group->Child(f));
            if (!child || child->GetAddress() != folder)
                continue;
            for (int i = 0; i < child->ChildCount(); ++i)
                keys.append(static_cast<Content*>(child->Child(i))->Key());
        }
        return keys;
    }
    int ContentRequestsTo(quint64 uid)
    {
        int count = 0;
        for (const LineRequest& request : LineRequests())
            count += request.destination == uid && request.pid >= 0xA060 && request.pid <= 0xA0A7;
        return count;
    }

    // The Mosavra library's first package: Stage at 3 (numbers 7 and 12), Wall at 5 (7).
    MosavraContentLibraryPackage* MosavraPackage()
    {
        mosavra_ = std::make_unique<MosavraContentLibraryRoot>(folder_.path());
        MosavraContentLibraryPackage* package = mosavra_->Package(0);
        const auto make = [&](const QString& name, int address, const QList<quint16>& ids) {
            QList<Content*> images;
            for (quint16 id : ids) {
                auto image = MakeTestImage<BrevantImage>(2, QStringLiteral("x"), 0xC000'0000u | quint32(address << 8) | id);
                image->SetMosavraID(id);
                images.append(image.release());
            }
            EXPECT_TRUE(package->CreateFolder(name, address, images));
        };
        make(QStringLiteral("Stage"), 3, {7, 12});
        make(QStringLiteral("Wall"), 5, {7});
        return package;
    }
    quint32 LibraryKey(const QString& collage, quint16 id)
    {
        ContentFolder* package = mosavra_->Package(0);
        for (int f = 0; f < package->ChildCount(); ++f) {
            auto* folder = static_cast<ContentFolder*>(package->Child(f));
            for (int i = 0; folder->GetName() == collage && i < folder->ChildCount(); ++i)
                if (folder->Child(i)->GetMosavraID() == id)
                    return static_cast<Content*>(folder->Child(i))->Key();
        }
        return 0;
    }

    // The stock root over the packages in `dir`.
    StockContentRoot* StockIn(const QString& dir)
    {
        StockContentRoot::DestroyInstance();
        QDir::setSearchPaths(QStringLiteral("StockContent"), {dir});
        return StockContentRoot::Instance();
    }

    QObject watch_;
    QStringList queuedNames_;
    QTemporaryDir folder_;
    std::unique_ptr<MosavraContentLibraryRoot> mosavra_;
    const QStringList savedStockPaths_ = QDir::searchPaths(QStringLiteral("StockContent"));
};

TEST_F(LibraryUpdateEndToEnd, EachFixtureGetsItsShareOfTheMosavraPackageOnceAndThenIsUpToDate)
{
    QelRDM* fixture7 = Ready(k7);
    QelRDM* fixture12 = Ready(k12);
    ASSERT_TRUE(fixture7 && fixture12);
    EXPECT_EQ(fixture7->GetMosavraAddress(), 7);
    EXPECT_EQ(fixture12->GetMosavraAddress(), 12);
    MosavraContentLibraryPackage* package = MosavraPackage();

    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        UpdateMosavraContentSyncOperation update;
        ASSERT_TRUE(update.Prepare(package, {fixture7, fixture12})) << update.PrepareFailure().toStdString();
        MarkLine();
        Outcome outcome;
        {
            ScopedProtectionLowering lowered(MosavraContentProtected);
            outcome = RunThroughDialog(update);
        }
        EXPECT_EQ(outcome.result, 0) << outcome.log.toStdString();
        EXPECT_EQ(update.Succeeded(), run == 1);
        EXPECT_EQ(LineRequests(sim::qelpid::BulkDataUpload).isEmpty(), run == 1) << "the second run sends nothing";

        EXPECT_EQ(SimFolders(k7), QStringList{"251 Mosavra"});
        EXPECT_EQ(SimFiles(k7, kMosavraFolder), (QStringList{"3 Stage", "5 Wall"}));
        EXPECT_EQ(SimFiles(k12, kMosavraFolder), QStringList{"3 Stage"});
        EXPECT_EQ(TreeKeys(fixture7->MosavraGroup(), kMosavraFolder),
                  (QList<quint32>{LibraryKey("Stage", 7), LibraryKey("Wall", 7)}));
        EXPECT_EQ(TreeKeys(fixture12->MosavraGroup(), kMosavraFolder), QList<quint32>{LibraryKey("Stage", 12)});
    }
    EXPECT_EQ(MosavraContentProtected.load(), 1);
    EXPECT_TRUE(fixture7->MosavraGroup()->IsChildrenReadOnly()) << "written only while the flag is lowered";
}

TEST_F(LibraryUpdateEndToEnd, ACancelInTheFirstFixtureLeavesTheSecondAlone)
{
    QelRDM* fixture7 = Ready(k7);
    QelRDM* fixture12 = Ready(k12);
    ASSERT_TRUE(fixture7 && fixture12);
    UpdateMosavraContentSyncOperation update;
    ASSERT_TRUE(update.Prepare(MosavraPackage(), {fixture7, fixture12}));
    MarkLine();
    FeedbackRecorder feedback;
    feedback.CancelOnText(QStringLiteral("Creating folder Mosavra"));
    {
        ScopedProtectionLowering lowered(MosavraContentProtected);
        // On this thread, which the fixtures' trees live on: the steps' waits let their
        // outcomes in, and the cancel comes exactly where it is asked for.
        EXPECT_EQ(update.Run(&feedback), 2) << feedback.Texts().join(u'\n').toStdString();
        // The folder the first fixture was making when the cancel came.
        EXPECT_TRUE(PollUntil([&] { return fixture7->MosavraGroup()->ChildCount() == 1; }, 60000));
    }
    EXPECT_FALSE(update.Succeeded());
    EXPECT_EQ(ContentRequestsTo(k12), 0);
    EXPECT_TRUE(SimFolders(k12).isEmpty());
    EXPECT_EQ(fixture12->MosavraGroup()->ChildCount(), 0);
    EXPECT_TRUE(SimFiles(k7, kMosavraFolder).isEmpty()) << "nothing was sent after the cancel";
}

TEST_F(LibraryUpdateEndToEnd, StockContentReachesAFixtureAndAPackageOfAnotherKeyLeavesItAlone)
{
    QelRDM* fixture = Ready(k7);
    ASSERT_NE(fixture, nullptr);
    QelRDMContentGroup* group = fixture->StockGroup();
    ContentFolder* brevant = StockIn(QStringLiteral(VELMORA_STOCK_CONTENT_DIR))->PackageByModel(QStringLiteral("BREVANT"));
    ASSERT_NE(brevant, nullptr);
    {
        ContentSyncOperation sync;
        sync.SetSource(brevant);
        sync.SetTargets({group});
        ScopedProtectionLowering lowered(StockContentProtected);
        const Outcome outcome = RunThroughDialog(sync);
        EXPECT_EQ(outcome.result, 0) << outcome.log.toStdString();
    }
    const QStringList folders{"1 Colours", "2 Patterns"};
    const QStringList colours{"1 Red", "2 Green", "3 Blue", "4 Warm White"};
    const QStringList patterns{"1 Rainbow", "2 Pulse", "3 Rings", "4 Sparkle"};
    EXPECT_EQ(SimFolders(k7), folders);
    EXPECT_EQ(SimFiles(k7, 1), colours);
    EXPECT_EQ(SimFiles(k7, 2), patterns);
    EXPECT_EQ(TreeKeys(group, 2).size(), 4);

    // The same package made with another key reads as empty folders: synchronised, it
    // would wipe the fixture's stock content. It is refused, and the fixture hears nothing.
    QTemporaryDir other;
    archive_test::RekeyPackage(QStringLiteral(VELMORA_STOCK_CONTENT_DIR "/brevant_stock_content.qelpkg"),
                               other.filePath(QStringLiteral("brevant_stock_content.qelpkg")),
                               {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6});
    ContentFolder* rekeyed = StockIn(other.path())->PackageByModel(QStringLiteral("BREVANT"));
    ASSERT_NE(rekeyed, nullptr);
    EXPECT_FALSE(rekeyed->ChildrenRead());
    MarkLine();
    {
        ContentSyncOperation sync;
        sync.SetSource(rekeyed);
        sync.SetTargets({group});
        ScopedProtectionLowering lowered(StockContentProtected);
        const Outcome outcome = RunThroughDialog(sync);
        EXPECT_EQ(outcome.result, 1);
        EXPECT_TRUE(outcome.log.contains(QStringLiteral("could not be read"))) << outcome.log.toStdString();
    }
    EXPECT_EQ(ContentRequestsTo(k7), 0);
    EXPECT_EQ(SimFolders(k7), folders);
    EXPECT_EQ(SimFiles(k7, 1), colours);
    EXPECT_EQ(SimFiles(k7, 2), patterns);
}

// A fixture that leaves the line before anything looked at its content goes without its
// content ever being asked for.
TEST_F(LibraryUpdateEndToEnd, AFixtureThatLeavesUnreadIsNotAskedForItsContent)
{
    ASSERT_NE(Fixture(k12), nullptr);
    ASSERT_EQ(Fixture(k12)->ExistingContentRoot(), nullptr);
    Line().Detach(RigResponder(1));
    queuedNames_.clear();
    ASSERT_TRUE(Discover());
    QCoreApplication::processEvents();
    EXPECT_EQ(Fixture(k12), nullptr);
    EXPECT_FALSE(queuedNames_.contains(QStringLiteral("Qel Content Discovery"))) << queuedNames_.join(", ").toStdString();
}

} // namespace
