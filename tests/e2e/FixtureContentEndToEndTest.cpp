// Content operations over fixture folders while the fixtures come and go on the real line:
// the registry's discoveries through the simulated widget, and fixture folders that finish
// their changes on another thread, as the fixture link does.
#include "content/operations/ContentDeleteOperation.h"
#include "content/operations/ContentSyncOperation.h"
#include "content/policies/NamedPolicies.h"
#include "link/devices/DeviceManager.h"
#include "link/devices/RDMDevice.h"
#include "link/rdm/RdmFamilies.h"
#include "tests/content/MemoryFolders.h"
#include "tests/e2e/WidgetRig.h"
#include "tests/link/PollUntil.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>

namespace {

// A fixture of a test family whose content tree is made of memory folders: a root with one
// group, "Stock", that finishes its changes on the memory link's thread.
class FolderFixture : public RDMDevice
{
    Q_OBJECT
public:
    ContentFolder* GetContentRoot() override { return Root(); }
    ContentFolder* ExistingContentRoot() override { return root_.get(); }
    ContentFolder* GetStockContentGroup() override { return Group(); }
    MemoryFolder* Group() { return static_cast<MemoryFolder*>(Root()->Child(0)); }

private:
    // Made where it is first asked for (the registry's thread), not where discovery made
    // the fixture.
    MemoryFolder* Root()
    {
        if (!root_) {
            root_ = std::make_unique<MemoryFolder>(UniqueNamesAndChannels::Instance(), QStringLiteral("Fixture"));
            root_->SetAnswer(MemoryFolder::Answer::Later);
            root_->AddFolder(QStringLiteral("Stock"), 1);
        }
        return root_.get();
    }

    std::unique_ptr<MemoryFolder> root_;
};

class FolderFamily : public IRdmFamily
{
public:
    std::unique_ptr<RDMDevice> CreateFixture() const override { return std::make_unique<FolderFixture>(); }
    bool ReadIdentity(RDMDevice*, IFeedback*) const override { return true; }
    void ReadDetails(RDMDevice*, IFeedback*) const override {}
    quint32 GraphicsEngineUniqueId(const RDMDevice*) const override { return 100; }
    bool AssignGraphicsEngineUniqueId(RDMDevice*, quint32, IFeedback*) const override { return false; }
    bool AssignMotionUniqueId(RDMDevice*, quint32, IFeedback*) const override { return false; }
};

constexpr quint64 kLeaving = 0x4142'0000'0010ull;
constexpr quint64 kStaying = 0x4142'0000'0020ull;

class FixtureContentEndToEnd : public WidgetRigTest
{
protected:
    void SetUp() override
    {
        WidgetRigTest::SetUp();
        RdmFamilies::Register(QStringLiteral("Folder Fixture"), std::make_shared<FolderFamily>());
        BootRig(R"({ "widgets": [ { "kind": "programmed", "fixtures": [
            { "kind": "rdm-responder", "uid": "4142:00000010", "model": "Folder Fixture" },
            { "kind": "rdm-responder", "uid": "4142:00000020", "model": "Folder Fixture" } ] } ] })");
    }
    void TearDown() override
    {
        WidgetRigTest::TearDown();
        RdmFamilies::Unregister(QStringLiteral("Folder Fixture"));
    }

    bool Discover()
    {
        QSignalSpy completed(DeviceManager::Instance(), &DeviceManager::DiscoveryCompleted);
        DeviceManager::Instance()->Discover();
        return PollUntil([&] { return completed.size() == 1; }, 60000) && completed[0][0].toBool();
    }
};

} // namespace

// A fixture leaves the line while a synchronisation onto it and another fixture runs, and a
// discovery drops it. Its folders stay in memory until the run has ended (the operation
// holds the registry's removals), the run skips it from then on with a line, and the other
// fixture is still done.
TEST_F(FixtureContentEndToEnd, ASyncSkipsAFixtureThatLeavesAndItsFoldersLastTheRun)
{
    DeviceManager* registry = DeviceManager::Instance();
    ASSERT_TRUE(Discover());
    const QPointer<Device> leaving = registry->FindDevice(kLeaving);
    auto* staying = qobject_cast<FolderFixture*>(registry->FindDevice(kStaying));
    ASSERT_TRUE(qobject_cast<FolderFixture*>(leaving.data()) && staying);
    MemoryFolder* leavingGroup = static_cast<FolderFixture*>(leaving.data())->Group();
    MemoryFolder* stayingGroup = staying->Group();

    MemoryFolder source(UniqueNamesAndChannels::Instance(), QStringLiteral("Package"));
    source.AddContent(QStringLiteral("one"), 1);
    source.AddContent(QStringLiteral("two"), 2);

    // A wizard chose the fixtures for a later operation too; it holds the removals from then on.
    auto wizard = std::make_unique<DeviceManager::RemovalHold>();

    // The first copy onto the leaving fixture waits; meanwhile it leaves and a discovery
    // drops it, and then the copy goes on.
    leavingGroup->SetHeld(MemoryFolder::Add);
    QSignalSpy removed(registry, &DeviceManager::DeviceRemoved);
    QObject::connect(registry, &DeviceManager::DiscoveryCompleted, leavingGroup, [&] { leavingGroup->ReleaseHeld(); });
    QTimer::singleShot(0, registry, [&] {
        Line().Detach(RigResponder(0));
        registry->Discover();
    });
    {
        ContentSyncOperation operation;
        operation.SetSource(&source);
        operation.SetTargets({leavingGroup, stayingGroup});
        FeedbackRecorder feedback;
        EXPECT_EQ(operation.Run(&feedback), 1);

        EXPECT_EQ(removed.size(), 1) << "the removal is announced at once";
        EXPECT_EQ(registry->FindDevice(kLeaving), nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_FALSE(leaving.isNull()) << "kept while the holds live";
        EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{"Skipped Stock: its fixture has left the line"});
        EXPECT_EQ(leavingGroup->Log().Lines("add"), QStringList{"add Stock/one@1"}) << "the copy under way ended";
        EXPECT_EQ(stayingGroup->Log().Lines("add"), QStringList({"add Stock/one@1", "add Stock/two@2"}));
    }

    // The wizard's operation, built after the removal, skips it in each of its steps.
    {
        ContentDeleteOperation deletion;
        deletion.SetRemovalHold(*wizard);
        wizard.reset();
        deletion.SetItems({leavingGroup->Child(0), stayingGroup->Child(0)});
        FeedbackRecorder feedback;
        EXPECT_EQ(deletion.Run(&feedback), 1);
        EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{"Skipped Stock: its fixture has left the line"});
        EXPECT_TRUE(leavingGroup->Log().Lines("remove").isEmpty());
        EXPECT_EQ(stayingGroup->Log().Lines("remove"), QStringList{"remove Stock/one"});
    }
    EXPECT_TRUE(PollUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return leaving.isNull();
    })) << "deleted once the last hold has ended";
    EXPECT_EQ(registry->FindDevice(kStaying), staying);
}

#include "FixtureContentEndToEndTest.moc"
