// The device registry's own bookkeeping, without a widget: upgrade dispatch and the
// lifetime of its commands. Discoveries through the simulated widget are in tests/e2e.
#include "link/commands/CommManager.h"
#include "link/devices/DeviceManager.h"
#include "link/devices/RDMDevice.h"
#include "tests/link/DiscoveryTestSupport.h"
#include "tests/link/PollUntil.h"
#include "tests/link/TestCommand.h"

#include <QPointer>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

class DeviceManagerTest : public ::testing::Test
{
protected:
    void SetUp() override { registry = DeviceManager::Instance(); }
    void TearDown() override { DeviceManager::DestroyInstance(); }

    static std::unique_ptr<RDMDevice> Fixture(const char* model)
    {
        auto fixture = std::make_unique<RDMDevice>();
        fixture->SetModelDescription(QString::fromLatin1(model));
        return fixture;
    }

    DeviceManager* registry = nullptr;
};

} // namespace

TEST_F(DeviceManagerTest, TheFirstDevicesModelNameChoosesTheUpgrade)
{
    using Kind = DeviceManager::UpgradeKind;
    const QList<QPair<QString, Kind>> cases = {
        {"BREVANT", Kind::Brevant}, {"brevant", Kind::Brevant}, {"Cindral", Kind::Cindral},
        {"CINDRAL", Kind::Cindral}, {"Brevant 2", Kind::Lamp},  {"Spot 300", Kind::Lamp},
        {"", Kind::Lamp},
    };
    for (const auto& [model, kind] : cases)
        EXPECT_EQ(DeviceManager::UpgradeKindOf(model), kind) << model.toStdString();

    // Only the first device counts.
    QList<Kind> asked;
    for (Kind kind : {Kind::Lamp, Kind::Brevant, Kind::Cindral}) {
        registry->SetUpgradeCommandFactory(kind, [&asked, kind](const QList<Device*>&, const QString&) {
            asked.append(kind);
            return std::make_unique<TestCommand>();
        });
    }
    auto cindral = Fixture("cindral");
    StandInLampFixture lamp(7, 3);
    EXPECT_TRUE(registry->UpgradeDevices({cindral.get(), &lamp}, "cindral.qrvpkg"));
    EXPECT_TRUE(registry->UpgradeDevices({&lamp, cindral.get()}, "lamp.bin"));
    EXPECT_EQ(asked, (QList<Kind>{Kind::Cindral, Kind::Lamp}));
}

TEST_F(DeviceManagerTest, AnUpgradeThatIsNotAvailableIsRefusedWithItsReason)
{
    auto brevant = Fixture("Brevant");
    StandInLampFixture lamp(7, 3);
    QSignalSpy queued(CommManager::Instance(), &CommManager::CommandQueued);
    const QList<QPair<QList<Device*>, QString>> cases = {
        {{brevant.get()}, "Firmware upgrades of Brevant fixtures are not available in this version."},
        {{&lamp}, "Firmware upgrades of lamp fixtures are not available in this version."},
        {{}, "No devices were chosen for the firmware upgrade."},
        {{nullptr}, "No devices were chosen for the firmware upgrade."},
    };
    for (const auto& [devices, reason] : cases) {
        QString error;
        EXPECT_FALSE(registry->UpgradeDevices(devices, "file", &error));
        EXPECT_EQ(error, reason);
    }
    EXPECT_EQ(queued.size(), 0);
}

// Each upgrade gets a command of its own, made with the devices and the file, run once and
// deleted by the registry after it has completed.
TEST_F(DeviceManagerTest, UpgradeCommandsAreQueuedAndDeletedAfterTheyCompleted)
{
    QList<QPointer<TestCommand>> made;
    QList<QPair<QList<Device*>, QString>> requests;
    int executed = 0;
    registry->SetUpgradeCommandFactory(DeviceManager::UpgradeKind::Brevant,
                                       [&](const QList<Device*>& devices, const QString& file) {
                                           requests.append({devices, file});
                                           auto command = std::make_unique<TestCommand>([&](TestCommand&) { ++executed; });
                                           made.append(command.get());
                                           return command;
                                       });
    auto first = Fixture("BREVANT");
    auto second = Fixture("BREVANT");
    QSignalSpy completed(CommManager::Instance(), &CommManager::CommandCompleted);
    ASSERT_TRUE(registry->UpgradeDevices({first.get(), nullptr, second.get()}, "brevant.qrvpkg"));
    ASSERT_TRUE(registry->UpgradeDevices({second.get()}, "brevant-2.qrvpkg"));

    ASSERT_EQ(made.size(), 2);
    EXPECT_NE(made[0], made[1]);
    EXPECT_EQ(requests[0], (QPair<QList<Device*>, QString>({first.get(), second.get()}, "brevant.qrvpkg")));
    EXPECT_EQ(requests[1], (QPair<QList<Device*>, QString>({second.get()}, "brevant-2.qrvpkg")));
    ASSERT_TRUE(PollUntil([&] { return made[0].isNull() && made[1].isNull(); }));
    EXPECT_EQ(executed, 2);
    EXPECT_EQ(completed.size(), 2);
}

// Without a widget the discovery fails before searching: the registry stays as it was
// and says so.
TEST_F(DeviceManagerTest, ADiscoveryWithoutAWidgetLeavesTheRegistryEmpty)
{
    QSignalSpy added(registry, &DeviceManager::DeviceAdded);
    QSignalSpy completed(registry, &DeviceManager::DiscoveryCompleted);
    EXPECT_TRUE(registry->Discover());
    ASSERT_TRUE(PollUntil([&] { return completed.size() == 1; }));
    EXPECT_FALSE(completed[0][0].toBool());
    EXPECT_TRUE(registry->Devices().isEmpty());
    EXPECT_EQ(added.size(), 0);
}

// Quitting with a discovery still queued: the queue stops, the registry deletes the
// command it queued and reports the discovery as not done.
TEST_F(DeviceManagerTest, StoppingTheQueueEndsTheRegistrysPendingCommands)
{
    QSignalSpy completed(registry, &DeviceManager::DiscoveryCompleted);
    // Holds the queue until the registry's discovery is behind it.
    std::atomic<bool> release = false;
    TestCommand blocker([&](TestCommand&) {
        while (!release)
            QThread::msleep(1);
    });
    CommManager::Instance()->QueueCommand(&blocker);
    registry->Discover();
    release = true;
    DeviceManager::DestroyInstance();
    registry = nullptr;
    EXPECT_EQ(completed.size(), 1);
    EXPECT_FALSE(completed[0][0].toBool());
}
