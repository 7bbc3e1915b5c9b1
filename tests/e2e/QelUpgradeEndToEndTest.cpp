// The LED families' firmware upgrade on the real path: the registry's upgrade command
// takes the family's package apart and sends the graphics engines' and the motion boards'
// images over the Tarvo protocol and the FPGA image over RDM, through the command thread,
// the widget transport, qex_usb, the simulated widget and line, to the simulated
// fixtures' boards and content stores.
#include "firmware/QelUpgradeCommand.h"
#include "fixtures/QelRDM.h"
#include "link/devices/DeviceManager.h"
#include "platform/system/Clock.h"
#include "sim/fixtures/QelFixture.h"
#include "sim/fixtures/TarvoWire.h"
#include "tests/e2e/FirmwareRig.h"
#include "tests/link/PollUntil.h"
#include "tools/firmware_packages/FirmwarePackages.h"

#include <QPointer>

namespace {

constexpr quint64 kStageLeft = 0x7FF0'0000'0101ull;
constexpr quint64 kStageRight = 0x7FF0'0000'0102ull;
constexpr quint64 kBackdrop = 0x7FF0'0000'0201ull;
constexpr quint32 kGraphicsEngine = 0x00ABCDEF;
constexpr int kPackageFpga = 9;

enum Family { kBrevant = 0, kCindral = 1 };

// A family fixture of the rig with FPGA `fpga` whose boards report the package's versions
// once upgraded.
QString FamilyFixture(Family family, quint64 uid, const QString& more = QString(), int fpga = 7)
{
    return QStringLiteral(R"({ "kind": "%1", "uid": "7ff0:%2", "fpgaVersion": %3,
        "motionBoard": { "upgradedVersion": "3.2.0.1" }, "graphicsBoard": { "upgradedVersion": "GE 2.4.2.0" },
        "upgradedFpgaVersion": %4 %5 })")
        .arg(family == kBrevant ? "brevant" : "cindral")
        .arg(quint32(uid), 8, 16, QLatin1Char('0'))
        .arg(fpga)
        .arg(kPackageFpga)
        .arg(more.isEmpty() ? QString() : QStringLiteral(", ") + more);
}

class QelUpgradeEndToEnd : public FirmwareRigTest
{
protected:
    // The family's package as the tools make it, with the FPGA version `fpga`; without the
    // graphics engines' image when `withGraphics` is false.
    QString WritePackage(Family family, int fpga = kPackageFpga, bool withGraphics = true)
    {
        using namespace firmware_packages;
        const QByteArray config = QStringLiteral(R"(<firmware><motion version="%1"/><graphics version="%2"/>)"
                                                 R"(<fpga version="%3"/></firmware>)")
                                      .arg(QLatin1String(kMotionVersion), QLatin1String(kGraphicsVersion))
                                      .arg(fpga)
                                      .toUtf8();
        QList<QPair<QString, QByteArray>> members = {{MotionMember(family), MotionImage(family)},
                                                     {FpgaMember(family), FpgaImage(family)},
                                                     {ConfigMember(family), config}};
        if (withGraphics)
            members.append({GraphicsMember(family), GraphicsImage(family)});
        const QString path = FilePath(PackageFileName(family));
        QString error;
        EXPECT_TRUE(WriteArchive(path, members, &error)) << error.toStdString();
        return path;
    }

    std::shared_ptr<sim::QelFixture> RigFixture(std::size_t index) const
    {
        const auto& fixtures = const_cast<QelUpgradeEndToEnd*>(this)->Machine().Widgets().front().hardware.fixtures;
        return index < fixtures.size() ? std::dynamic_pointer_cast<sim::QelFixture>(fixtures[index]) : nullptr;
    }

    // The images now in the boards of the rig's fixture `index`: motion, graphics.
    QPair<QByteArray, QByteArray> BoardImages(std::size_t index) const
    {
        QPair<QByteArray, QByteArray> images;
        RigFixture(index)->WithBoards([&images](sim::TarvoBoard& motion, sim::TarvoBoard& graphics) {
            images = {motion.Flash(), graphics.Flash()};
        });
        return images;
    }

    // How many Tarvo packets of `subCommand` went on the line since boot.
    int TarvoOnLine(quint8 subCommand) const
    {
        int count = 0;
        for (const QByteArray& request : RigWidget()->LineRequests())
            count += request.size() >= 2 && quint8(request[0]) == sim::tarvowire::kCommand
                  && quint8(request[1]) == subCommand;
        return count;
    }

    Device* Registered(quint64 uid) const { return DeviceManager::Instance()->FindDevice(uid); }
};

// The same for each family, and its fixture of the rig.
class QelFamilyUpgradeEndToEnd : public QelUpgradeEndToEnd, public testing::WithParamInterface<Family>
{
protected:
    Family ThisFamily() const { return GetParam(); }
    quint64 Uid() const { return GetParam() == kBrevant ? kStageLeft : kBackdrop; }
};

std::string FamilyName(const testing::TestParamInfo<Family>& info)
{
    return info.param == kBrevant ? "Brevant" : "Cindral";
}

} // namespace

// The whole upgrade of a BREVANT whose FPGA is behind the package's: the graphics engine
// by its own id, a pause, the motion board by the fixture's id, the FPGA over RDM, the
// pause while the fixture restarts, and its values read anew.
TEST_F(QelUpgradeEndToEnd, ABrevantTakesGraphicsThenMotionThenFpga)
{
    Boot(FamilyFixture(kBrevant, kStageLeft, QStringLiteral(R"("graphicsEngineId": %1)").arg(kGraphicsEngine)));
    ASSERT_TRUE(RunRegistryDiscovery());
    Device* fixture = Registered(kStageLeft);
    ASSERT_TRUE(fixture);
    ASSERT_EQ(fixture->GetSoftwareVersion().toStdString(), "Motion 3.2.0, Graphics GE 2.4.1, FPGA 7");
    MarkLine();
    Upgrade({fixture}, WritePackage(kBrevant));

    const QStringList texts = upgrade.Texts();
    const qsizetype graphicsAt = texts.indexOf("Uploading graphics engine firmware.");
    const qsizetype graphicsVerifiedAt = texts.indexOf(" Device 0xabcdef verified");
    const qsizetype motionAt = texts.indexOf("Uploading motion firmware.");
    const qsizetype motionVerifiedAt = texts.indexOf(" Device 0x7ff000000101 verified");
    const qsizetype fpgaAt = texts.indexOf("Uploading FPGA on 1 device(s).");
    const qsizetype waitAt = texts.indexOf(" Waiting 30 seconds for 1 device(s) to reset");
    EXPECT_EQ(graphicsAt, 0);
    EXPECT_LT(graphicsAt, graphicsVerifiedAt);
    EXPECT_LT(graphicsVerifiedAt, motionAt);
    EXPECT_LT(motionAt, motionVerifiedAt);
    EXPECT_LT(motionVerifiedAt, fpgaAt);
    EXPECT_LT(texts.indexOf(" FPGA uploaded!"), waitAt);
    EXPECT_LT(waitAt, texts.indexOf("\n Updating device information for 1 devices"));
    EXPECT_EQ(texts.last(), "Upgrade Completed!");
    EXPECT_TRUE(upgrade.Texts(FeedbackError).isEmpty()) << upgrade.Texts(FeedbackError).join('\n').toStdString();
    EXPECT_EQ(upgrade.ends.join(", ").toStdString(), "FinishedBrevantUpgrade, Finished(1)");

    // The pauses, in virtual time: after the graphics engine's last line, and after the
    // line that announces the wait.
    ASSERT_GT(motionAt, 0);
    EXPECT_GE(upgrade.atMs[motionAt] - upgrade.atMs[motionAt - 1], QelUpgradeCommand::kGraphicsRestartMs);
    EXPECT_GE(upgrade.TimeAfter(texts[waitAt]) - upgrade.TimeOf(texts[waitAt]), QelUpgradeCommand::kFixtureRestartMs);

    // Every board holds its image (the blank packets left out are the erased flash), the
    // FPGA took its image whole, and the fixture shows what it reports now.
    // (compared whole, not printed: they are hundreds of kilobytes)
    EXPECT_TRUE(BoardImages(0).first == firmware_packages::MotionImage(kBrevant));
    EXPECT_TRUE(BoardImages(0).second == firmware_packages::GraphicsImage(kBrevant));
    EXPECT_TRUE(RigFixture(0)->Content().fpgaImage == firmware_packages::FpgaImage(kBrevant));
    EXPECT_EQ(fixture->GetSoftwareVersion().toStdString(), "Motion 3.2.0.1, Graphics GE 2.4.2.0, FPGA 9");
    EXPECT_FALSE(LineRequests(sim::qelpid::FpgaBulkDataUpload).isEmpty());
}

// A fixture whose FPGA is at the package's version is told so and gets no FPGA image;
// both families still wait for their fixtures and read them anew.
TEST_P(QelFamilyUpgradeEndToEnd, AnFpgaAtThePackagesVersionIsLeftAlone)
{
    Boot(FamilyFixture(ThisFamily(), Uid(), QString(), kPackageFpga));
    ASSERT_TRUE(RunRegistryDiscovery());
    Device* fixture = Registered(Uid());
    ASSERT_TRUE(fixture);
    MarkLine();
    Upgrade({fixture}, WritePackage(ThisFamily()));

    EXPECT_TRUE(upgrade.Texts().contains(QStringLiteral(" Device 0x%1 FPGA version is up to date").arg(Uid(), 0, 16)));
    EXPECT_TRUE(LineRequests(sim::qelpid::FpgaBulkDataUpload).isEmpty());
    EXPECT_TRUE(upgrade.Texts().contains(" Waiting 30 seconds for 1 device(s) to reset"));
    EXPECT_EQ(upgrade.ends.join(", ").toStdString(), "FinishedBrevantUpgrade, Finished(1)");
    EXPECT_EQ(fixture->GetSoftwareVersion().toStdString(), "Motion 3.2.0.1, Graphics GE 2.4.2.0, FPGA 9");
}

// An FPGA that will not take its image fails the upgrade. A BREVANT is still waited for
// and read anew, since its boards took their images; a Cindral is not.
TEST_P(QelFamilyUpgradeEndToEnd, AnFpgaUploadThatFailsFailsTheUpgrade)
{
    Boot(FamilyFixture(ThisFamily(), Uid(), R"("contentFaults": [ { "kind": "fpgaReadyState", "state": 5, "times": -1 } ])"));
    ASSERT_TRUE(RunRegistryDiscovery());
    Device* fixture = Registered(Uid());
    ASSERT_TRUE(fixture);
    Upgrade({fixture}, WritePackage(ThisFamily()));

    EXPECT_TRUE(upgrade.Texts().contains("Waiting for 1 devices to be ready to program the FPGA..."));
    EXPECT_FALSE(upgrade.Texts().contains(" FPGA uploaded!"));
    const bool waited = upgrade.Texts().contains(" Waiting 30 seconds for 1 device(s) to reset");
    EXPECT_EQ(waited, ThisFamily() == kBrevant);
    EXPECT_EQ(upgrade.Texts().last(), "Upgrade Completed!");
    EXPECT_EQ(upgrade.ends.join(", ").toStdString(), "FinishedBrevantUpgrade, Finished(2)");
    EXPECT_EQ(fixture->GetSoftwareVersion().toStdString(),
              waited ? "Motion 3.2.0.1, Graphics GE 2.4.2.0, FPGA 7" : "Motion 3.2.0, Graphics GE 2.4.1, FPGA 7");
}

INSTANTIATE_TEST_SUITE_P(Families, QelFamilyUpgradeEndToEnd, testing::Values(kBrevant, kCindral), FamilyName);

// A package without the graphics engines' image ends the upgrade before anything is sent:
// no motion image, no wait for the fixture, and a failure.
TEST_F(QelUpgradeEndToEnd, APackageWithoutAGraphicsImageChangesNothing)
{
    Boot(FamilyFixture(kBrevant, kStageLeft));
    ASSERT_TRUE(RunRegistryDiscovery());
    Device* fixture = Registered(kStageLeft);
    ASSERT_TRUE(fixture);
    MarkLine();
    Upgrade({fixture}, WritePackage(kBrevant, kPackageFpga, false));

    EXPECT_EQ(upgrade.Texts(), QStringList{"Upgrade Completed!"});
    EXPECT_EQ(upgrade.ends.join(", ").toStdString(), "FinishedBrevantUpgrade, Finished(2)");
    EXPECT_EQ(TarvoOnLine(sim::tarvowire::sub::Reset), 0);
    EXPECT_TRUE(LineRequests().isEmpty());
    EXPECT_EQ(fixture->GetSoftwareVersion().toStdString(), "Motion 3.2.0, Graphics GE 2.4.1, FPGA 7");
}

// A discovery queued before the upgrade no longer finds one of its fixtures, and the
// registry drops it while the upgrade runs. The upgrade goes on with what it copied, and
// its fresh values reach only the fixture that is still there.
TEST_F(QelUpgradeEndToEnd, AFixtureDroppedWhileItsUpgradeWaitsIsNeverTouched)
{
    Boot(FamilyFixture(kBrevant, kStageLeft) + ", " + FamilyFixture(kBrevant, kStageRight));
    ASSERT_TRUE(RunRegistryDiscovery());
    Device* kept = Registered(kStageLeft);
    QPointer<Device> dropped = Registered(kStageRight);
    ASSERT_TRUE(kept && dropped);
    int droppedChanges = 0;
    QObject::connect(dropped, &Device::ValuesChanged, [&droppedChanges] { ++droppedChanges; });
    // From now on the discovery does not find it, though it is still on the line.
    RigFixture(1)->InjectFault(sim::ResponderFault::Silence().ForPid(sim::rdmwire::pid::DiscUniqueBranch).Always());

    bool discovered = false;
    QObject receiver;
    QObject::connect(DeviceManager::Instance(), &DeviceManager::DiscoveryCompleted, &receiver,
                     [&discovered](bool) { discovered = true; });
    DeviceManager::Instance()->Discover();
    Upgrade({kept, dropped}, WritePackage(kBrevant));
    ASSERT_TRUE(PollUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return discovered && dropped.isNull();
    }));

    EXPECT_EQ(droppedChanges, 0);
    EXPECT_EQ(upgrade.ends.join(", ").toStdString(), "FinishedBrevantUpgrade, Finished(1)");
    EXPECT_TRUE(upgrade.Texts().contains(" Waiting 30 seconds for 2 device(s) to reset"));
    EXPECT_TRUE(BoardImages(1).first == firmware_packages::MotionImage(kBrevant)) << "its upgrade ran all the same";
    EXPECT_EQ(kept->GetSoftwareVersion().toStdString(), "Motion 3.2.0.1, Graphics GE 2.4.2.0, FPGA 9");
}

// The demo rig's fixtures take the sample packages that `make run` stages: both BREVANTs
// at once, from the package as the tools make it, and show the package's versions after.
TEST_F(QelUpgradeEndToEnd, TheDemoRigsFixturesTakeTheSamplePackage)
{
    BootDemoRig();
    ASSERT_TRUE(RunRegistryDiscovery());
    Device* left = Registered(kStageLeft);
    Device* right = Registered(kStageRight);
    ASSERT_TRUE(left && right);
    for (Device* fixture : {left, right})
        ASSERT_EQ(fixture->GetSoftwareVersion().toStdString(), "Motion 3.2.0, Graphics GE 2.4.1, FPGA 7");
    QString error;
    ASSERT_TRUE(firmware_packages::WritePackage(kBrevant, files.path(), &error)) << error.toStdString();
    Upgrade({left, right}, FilePath("brevant.qrvpkg"));

    EXPECT_TRUE(upgrade.Texts(FeedbackError).isEmpty()) << upgrade.Texts(FeedbackError).join('\n').toStdString();
    EXPECT_EQ(upgrade.ends.join(", ").toStdString(), "FinishedBrevantUpgrade, Finished(1)");
    for (Device* fixture : {left, right})
        EXPECT_EQ(fixture->GetSoftwareVersion().toStdString(), "Motion 3.2.0.1, Graphics GE 2.4.2.0, FPGA 8");
}
