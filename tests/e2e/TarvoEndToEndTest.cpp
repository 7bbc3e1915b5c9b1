// The lamp fixtures on the real path: the Tarvo discovery and firmware upgrade through the
// command thread, the widget transport, qex_usb, the simulated widget and line, and the
// simulated lamps. The protocol's bytes and the search are tested against a scripted far
// end and a model in tests/firmware; these show that the whole works, and what the
// registry and the upgrade make of it.
#include "firmware/TarvoDevice.h"
#include "firmware/TarvoProtocol.h"
#include "fixtures/QelRDM.h"
#include "link/commands/CommManager.h"
#include "link/commands/DiscoveryCommand.h"
#include "link/devices/DeviceManager.h"
#include "link/devices/ModelTable.h"
#include "link/devices/RDMDevice.h"
#include "platform/system/Clock.h"
#include "sim/fixtures/TarvoLamp.h"
#include "sim/fixtures/TarvoWire.h"
#include "tests/e2e/FirmwareRig.h"
#include "tests/link/DiscoveryTestSupport.h"
#include "tests/link/PollUntil.h"
#include "tests/link/RecordingFeedback.h"
#include "tools/lamp_firmware/LampFirmware.h"

#include <QFile>
#include <QStandardItemModel>
#include <QThread>

#include <mutex>

namespace sub = sim::tarvowire::sub;

namespace {

constexpr quint32 kLamp = 0x00C0FFEE;
constexpr int kSmallRow = 0;        // 512 packets, every packet sent
constexpr int kSkippingRow = 28;    // 512 packets, blank packets left out

QString Lamp(quint32 id, const QString& more = QString())
{
    return QStringLiteral(R"({ "kind": "tarvo-lamp", "id": "%1" %2 })")
        .arg(id, 8, 16, QLatin1Char('0'))
        .arg(more.isEmpty() ? QString() : QStringLiteral(", ") + more);
}

// Every packet on the line, with the virtual time it was sent at.
class LineRecorder : public sim::LineFixture
{
public:
    struct Heard
    {
        QByteArray packet;
        qint64 atMs;
    };
    QByteArray OnRequest(const QByteArray& packet) override
    {
        std::lock_guard lock(mutex_);
        heard_.append({packet, platform::Clock::NowMs()});
        return QByteArray();
    }
    QList<Heard> Tarvo() const
    {
        std::lock_guard lock(mutex_);
        QList<Heard> tarvo;
        for (const Heard& heard : heard_)
            if (!heard.packet.isEmpty() && quint8(heard.packet[0]) == sim::tarvowire::kCommand)
                tarvo.append(heard);
        return tarvo;
    }

private:
    mutable std::mutex mutex_;
    QList<Heard> heard_;
};

class TarvoEndToEnd : public FirmwareRigTest
{
protected:
    ~TarvoEndToEnd() override { qDeleteAll(found); }

    std::shared_ptr<sim::TarvoLamp> RigLamp(std::size_t index)
    {
        const auto& fixtures = Machine().Widgets().front().hardware.fixtures;
        return index < fixtures.size() ? std::dynamic_pointer_cast<sim::TarvoLamp>(fixtures[index]) : nullptr;
    }

    // One discovery command with the registry's protocols (Tarvo, then RDM); its devices
    // end up in `found`.
    void RunDiscoveryCommand()
    {
        DiscoveryCommand command;
        command.SetProtocols(DeviceManager::Instance()->DiscoveryProtocols());
        command.SetChainedFeedback(&feedback);
        ASSERT_TRUE(RunCommand(command));
        found = command.TakeDevices();
    }

    // Lamp devices as a discovery makes them, for upgrades that need no discovery first.
    QList<Device*> Lamps(const QList<quint32>& ids, int row)
    {
        QList<Device*> lamps;
        for (quint32 id : ids) {
            auto* lamp = new TarvoDevice();
            lamp->SetUniqueId(id, 0);
            lamp->SetDeviceModelId(quint16(row));
            found.append(lamp);
            lamps.append(lamp);
        }
        return lamps;
    }

    // Firmware images: bytes that are never a blank packet unless asked for.
    static QByteArray Image(int bytes, const QList<int>& blankPackets = {})
    {
        QByteArray image(bytes, '\0');
        for (int i = 0; i < bytes; ++i)
            image[i] = char((i * 7 + i / 256) % 251);
        for (int p : blankPackets)
            image.replace(p * 256, 256, QByteArray(256, '\xFF'));
        return image;
    }

    QList<QByteArray> TarvoOnLine(quint8 subCommand) const
    {
        QList<QByteArray> packets;
        for (const QByteArray& request : RigWidget()->LineRequests())
            if (request.size() >= 2 && quint8(request[0]) == sim::tarvowire::kCommand && quint8(request[1]) == subCommand)
                packets.append(request);
        return packets;
    }

    // The device view's table of `device`: value by label.
    static QMap<QString, QString> TableRows(Device& device)
    {
        QStandardItemModel model;
        device.BuildParameterTable(&model);
        QMap<QString, QString> rows;
        for (int row = 0; row < model.rowCount(); ++row)
            rows.insert(model.data(model.index(row, 0)).toString(), model.data(model.index(row, 1)).toString());
        return rows;
    }

    RecordingFeedback feedback;
    QList<Device*> found;  // owned
};

} // namespace

// An empty line: the discovery resets the lamps, lets them settle, asks the whole id
// space three times (six sends each) and is done before RDM discovery begins.
TEST_F(TarvoEndToEnd, AnEmptyLineIsResetThenProbedThreeTimes)
{
    Boot(QString());
    auto recorder = std::make_shared<LineRecorder>();
    Line().Attach(recorder);
    RunDiscoveryCommand();

    const QStringList texts = feedback.Texts();
    const qsizetype start = texts.indexOf("Tarvo Discovery: Starting..");
    ASSERT_GE(start, 0);
    EXPECT_EQ(texts.mid(start, 5), QStringList({"Tarvo Discovery: Starting..", " Tarvo Discovery: Resetting Tarvo devices",
                                                " Tarvo Discovery: Searching range 0x0 - 0xffffffff",
                                                " Tarvo Discovery: Finished!", "RDM Discovery: Starting.."}));
    EXPECT_TRUE(found.isEmpty());

    const QList<LineRecorder::Heard> tarvo = recorder->Tarvo();
    ASSERT_EQ(tarvo.size(), 80 + 18);
    using sim::tarvowire::Code;
    const quint32 codes[] = {Code("CLRA"), Code("CLRB"), Code("CLRC"), Code("CLRE")};
    for (int i = 0; i < 80; ++i)
        EXPECT_EQ(tarvo[i].packet, sim::tarvowire::Encode(sub::CommandWord, codes[i % 4])) << i;
    for (int i = 80; i < tarvo.size(); ++i)
        EXPECT_EQ(tarvo[i].packet.toHex(' '), "26 05 00 00 00 00 00 00 17 3d") << i;
    EXPECT_GE(tarvo[80].atMs - tarvo[79].atMs, 1101) << "the lamps settle before the search";
}

// One lamp at the top of the id space: 32 halvings upwards, found at its single id and
// extinguished once; every lower half on the way back is probed and found empty.
TEST_F(TarvoEndToEnd, ALampAtTheTopIsFoundByHalvingUpwards)
{
    Boot(Lamp(0xFFFF'FFFFu));
    RunDiscoveryCommand();
    EXPECT_EQ(TarvoOnLine(sub::Probe).size(), 633);
    EXPECT_EQ(TarvoOnLine(sub::Extinguish).size(), 1);
    EXPECT_EQ(feedback.TextsStartingWith(" Tarvo Discovery: Device found"),
              QStringList{" Tarvo Discovery: Device found 0xffffffff"});
    ASSERT_EQ(found.size(), 1);
    auto* lamp = qobject_cast<TarvoDevice*>(found[0]);
    ASSERT_TRUE(lamp);
    EXPECT_EQ(lamp->GetUniqueId(), 0xFFFF'FFFFull);
    EXPECT_EQ(lamp->thread(), QThread::currentThread()) << "handed to the thread that made the command";
}

TEST_F(TarvoEndToEnd, LampsAreFoundHighestFirst)
{
    Boot(Lamp(0x10) + ", " + Lamp(0x8000'0000u) + ", " + Lamp(0xFFFF'FFFFu));
    RunDiscoveryCommand();
    EXPECT_EQ(feedback.TextsStartingWith(" Tarvo Discovery: Device found"),
              QStringList({" Tarvo Discovery: Device found 0xffffffff", " Tarvo Discovery: Device found 0x80000000",
                           " Tarvo Discovery: Device found 0x10"}));
    EXPECT_EQ(Uids(found), (QList<quint64>{0x10, 0x8000'0000u, 0xFFFF'FFFFu}));  // RDM discovery reverses the list
}

// A lamp that never goes quiet answers every probe beneath it: the search stops with its
// error line once 64 single ids below it have answered for nothing; the lamps above it
// are found, and the discovery goes on to RDM.
TEST_F(TarvoEndToEnd, ALampThatNeverGoesQuietEndsTheSearch)
{
    Boot(Lamp(0x1000, R"("faults": { "neverExtinguishes": true })") + ", " + Lamp(0x2000) + ", " + Lamp(0xF000'0000u));
    RunDiscoveryCommand();
    EXPECT_EQ(Uids(found), (QList<quint64>{0x2000, 0xF000'0000u}));  // RDM discovery hands the list back reversed
    EXPECT_EQ(feedback.TextsStartingWith(" Tarvo Discovery: Device would not extinquish").first(),
              " Tarvo Discovery: Device would not extinquish 0x1000");
    EXPECT_EQ(feedback.Texts(FeedbackError),
              QStringList{" Tarvo Discovery: The line keeps answering where no device can be found; search stopped."});
    EXPECT_TRUE(feedback.Texts().contains(" Tarvo Discovery: Finished!"));
    EXPECT_EQ(feedback.Texts().last(), "RDM Discovery: Finished!");
}

// What a lamp reports reaches its device and the device's table; a reply that does not
// end on a record boundary keeps the records before it; faulty talkback replies are
// warned about and leave the values as they were.
TEST_F(TarvoEndToEnd, ALampsRecordsReachItsTable)
{
    Boot(Lamp(kLamp, R"("deviceType": 3, "parameters": "01 00 2A",
                        "information": "08 01 23 04 08 00 03 02 FF FF FF FB 13 00 0C 00 00 00")")
         + ", " + Lamp(0x100, R"("parameters": "01 00 2A 0D 05 00 07")"));
    ASSERT_TRUE(RunRegistryDiscovery());
    auto* lamp = qobject_cast<TarvoDevice*>(DeviceManager::Instance()->FindDevice(kLamp));
    ASSERT_TRUE(lamp);
    const QMap<QString, QString> rows = TableRows(*lamp);
    EXPECT_EQ(rows.value("Model"), "TS-700 Spot");
    EXPECT_EQ(rows.value("Address"), "42");
    EXPECT_EQ(rows.value("Software Version"), "v334");
    EXPECT_EQ(rows.value("Build Status"), "Release");
    EXPECT_EQ(rows.value("Head1 Temp"), "-5 C");
    EXPECT_EQ(rows.value("Box Fan #1 Speed"), "12 r/s");
    EXPECT_EQ(lamp->GetModelName(), "TS-700 Spot");

    auto* stray = qobject_cast<TarvoDevice*>(DeviceManager::Instance()->FindDevice(0x100));
    ASSERT_TRUE(stray);
    EXPECT_EQ(stray->GetDmxAddress(), 42);
    EXPECT_EQ(stray->GetMode(), 5);
}

TEST_F(TarvoEndToEnd, FaultyTalkbackRepliesAreWarnedAbout)
{
    const char* faults[] = {"wrongKind", "wrongParameter", "badChecksum", "badLength"};
    QStringList lamps;
    for (int i = 0; i < 4; ++i)
        lamps.append(Lamp(0x100 + quint32(i), QStringLiteral(R"("parameters": "01 00 2A", "faults": { "talkback": "%1" })")
                                                  .arg(QLatin1String(faults[i]))));
    Boot(lamps.join(", "));
    RunDiscoveryCommand();
    ASSERT_EQ(found.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const QString id = QString::number(0x100 + i, 16);
        EXPECT_TRUE(feedback.Texts().contains(" Tarvo Talkback: Warning: No reply from 0x" + id)) << faults[i];
        EXPECT_TRUE(feedback.Texts().contains(" Tarvo Discovery: Warning: Failed getting all params for 0x" + id))
            << faults[i];
        EXPECT_EQ(found[i]->GetDmxAddress(), 0) << faults[i];
    }
}

// A BREVANT's motion board and graphics engine answer the lamps' search like lamps; once
// RDM discovery knows the fixture they are that fixture again, and the lamp alone stays a
// lamp.
TEST_F(TarvoEndToEnd, AFamilyFixturesBoardsAreNoLampsOfTheirOwn)
{
    Boot(QStringLiteral(R"({ "kind": "brevant", "uid": "7ff0:00000101", "graphicsEngineId": %1 }, )").arg(0x00ABCDEF)
         + Lamp(kLamp));
    RunDiscoveryCommand();
    EXPECT_EQ(feedback.TextsStartingWith(" Tarvo Discovery: Device found"),
              QStringList({" Tarvo Discovery: Device found 0xc0ffee", " Tarvo Discovery: Device found 0xabcdef",
                           " Tarvo Discovery: Device found 0x101"}));
    ASSERT_EQ(found.size(), 2);
    EXPECT_TRUE(qobject_cast<BrevantRDM*>(found[0]));
    EXPECT_EQ(found[0]->GetUniqueId(), 0x7FF0'0000'0101ull);
    EXPECT_TRUE(qobject_cast<TarvoDevice*>(found[1]));
    EXPECT_EQ(found[1]->GetUniqueId(), kLamp);
}

// A lamp that answers RDM too, under the same device id, is one fixture: an RDM fixture
// that can take the lamp's firmware.
TEST_F(TarvoEndToEnd, ALampAnsweringRdmTooBecomesOneUpgradableRdmFixture)
{
    Boot(Lamp(kLamp, R"("deviceType": 28, "rdm": { "uid": "4142:00c0ffee", "model": "Mini Spot" })"));
    ASSERT_TRUE(RunRegistryDiscovery());
    const QList<Device*> devices = DeviceManager::Instance()->Devices();
    ASSERT_EQ(devices.size(), 1);
    auto* fixture = qobject_cast<RDMDevice*>(devices[0]);
    ASSERT_TRUE(fixture);
    EXPECT_EQ(fixture->GetUniqueId(), 0x4142'00C0'FFEEull);
    EXPECT_EQ(fixture->GetModelName(), "Mini Spot");
    EXPECT_TRUE(fixture->IsUpgradable());
    EXPECT_EQ(fixture->GetModelIndex(), kSkippingRow);
    EXPECT_EQ(fixture->GetFirmwarePacketCount(), kModelTable[kSkippingRow].packetCount);
    EXPECT_EQ(fixture->GetFirmwareFileFilter(), "tvm330*.bin");
}

// The whole upgrade of a discovered lamp: resets, erase, every packet confirmed, the
// checksum verified. The file fills 511 packets and one byte of the last.
TEST_F(TarvoEndToEnd, ALampIsUpgradedFromAFileThatEndsInItsLastPacket)
{
    Boot(Lamp(kLamp, R"("deviceType": 0)"));
    ASSERT_TRUE(RunRegistryDiscovery());
    Device* lamp = DeviceManager::Instance()->FindDevice(kLamp);
    ASSERT_TRUE(lamp);
    const QByteArray file = Image(511 * 256 + 1);
    QByteArray flash = file + QByteArray(255, '\0');
    Upgrade({lamp}, WriteFile("tvs150-3.0.bin", file));

    EXPECT_EQ(TarvoOnLine(sub::Reset).size(), 204);
    EXPECT_GE(TarvoOnLine(sub::Erase).size(), 1);
    const QList<QByteArray> packets = TarvoOnLine(sub::FirmwarePacket);
    ASSERT_EQ(packets.size(), 512);
    for (int p = 0; p < 512; ++p)
        ASSERT_EQ(packets[p], sim::tarvowire::Encode(sub::FirmwarePacket, quint32(p), flash.mid(p * 256, 256))) << p;
    EXPECT_EQ(RigLamp(0)->Flash(), flash);

    const QString checksum = QString::number(sim::tarvowire::Checksum(flash), 16);
    const QStringList texts = upgrade.Texts();
    EXPECT_TRUE(texts.contains(" Verify checksum value of 0x" + checksum + " in 1 device(s)"));
    EXPECT_TRUE(texts.contains(" Device 0xc0ffee verified"));
    EXPECT_TRUE(texts.contains(" 1 device(s) out of 1 verified."));
    EXPECT_TRUE(upgrade.Texts(FeedbackError).isEmpty()) << upgrade.Texts(FeedbackError).join('\n').toStdString();
    EXPECT_EQ(upgrade.ends, QStringList({"FinishedFirmwareUpgrade", "Finished(1)"}));
}

// The demo rig's TM-330 takes the image that `make run` stages for its model, and the next
// discovery shows the version that image carries ("2.1.0", reported as v210).
TEST_F(TarvoEndToEnd, TheDemoRigsLampShowsItsNewVersionAfterAnUpgrade)
{
    constexpr quint32 kDemoTm330 = 0x10203041;
    BootDemoRig();
    ASSERT_TRUE(RunRegistryDiscovery());
    Device* lamp = DeviceManager::Instance()->FindDevice(kDemoTm330);
    ASSERT_TRUE(lamp);
    ASSERT_EQ(lamp->GetModelName(), "TM-330 Mini Spot");
    ASSERT_EQ(TableRows(*lamp).value("Software Version"), "v192");

    const QString staged = QStringLiteral(VELMORA_RUN_FIRMWARE_DIR "/") + lamp_firmware::FileName(kSkippingRow);
    ASSERT_TRUE(QFile::exists(staged)) << staged.toStdString();
    Upgrade({lamp}, staged);
    EXPECT_TRUE(upgrade.Texts().contains(" 1 device(s) out of 1 verified."))
        << upgrade.Texts().join('\n').toStdString();

    ASSERT_TRUE(RunRegistryDiscovery());
    EXPECT_EQ(DeviceManager::Instance()->FindDevice(kDemoTm330), lamp) << "the view's device stays";
    EXPECT_EQ(lamp->GetSoftwareVersion().toStdString(), "v210");
    EXPECT_EQ(TableRows(*lamp).value("Software Version").toStdString(), "v210");
    EXPECT_EQ(TableRows(*lamp).value("Build Status").toStdString(), "Beta") << "the rig's build status stays";
}

// A model with the blank rule leaves the all-0xFF packets out; they count in the checksum
// all the same, and the erased flash holds them.
TEST_F(TarvoEndToEnd, BlankPacketsAreLeftOutWhereTheModelAllowsIt)
{
    Boot(Lamp(kLamp, R"("deviceType": 28)"));
    const QByteArray file = Image(512 * 256, {3, 511});
    Upgrade(Lamps({kLamp}, kSkippingRow), WriteFile("tvm330-3.0.bin", file));

    EXPECT_TRUE(upgrade.Texts().contains(" Processing packet 3 of 512 - Skipping packet"));
    EXPECT_EQ(TarvoOnLine(sub::FirmwarePacket).size(), 510);
    EXPECT_EQ(RigLamp(0)->Flash(), file);
    EXPECT_TRUE(upgrade.Texts().contains(" Verify checksum value of 0x" + QString::number(sim::tarvowire::Checksum(file), 16)
                                         + " in 1 device(s)"));
    EXPECT_EQ(upgrade.results, QList<FeedbackResult>{FeedbackSuccess});
}

// Every lamp that has not confirmed a packet is asked in every round, so thirty lamps all
// keep up.
TEST_F(TarvoEndToEnd, ThirtyLampsAreUpgradedTogether)
{
    // Each round of erase polls asks thirty lamps; at the tests' usual scale a loaded
    // machine's round can outlast the minute (virtual) the lamps are given to erase. This
    // scale makes the minute 600 real milliseconds, ten times what such a round takes.
    const platform::ScopedTimeScale roomier(0.01);
    QList<quint32> ids;
    QStringList lamps;
    for (quint32 i = 0; i < 30; ++i) {
        ids.append(kLamp + i);
        lamps.append(Lamp(kLamp + i));
    }
    Boot(lamps.join(", "));
    const QByteArray file = Image(512 * 256);
    Upgrade(Lamps(ids, kSmallRow), WriteFile("tvs150-3.0.bin", file));
    EXPECT_TRUE(upgrade.Texts().contains(" 30 device(s) out of 30 verified."));
    EXPECT_TRUE(upgrade.Texts(FeedbackError).isEmpty()) << upgrade.Texts(FeedbackError).join('\n').toStdString();
    for (std::size_t i = 0; i < 30; ++i)
        EXPECT_EQ(RigLamp(i)->Flash(), file) << i;
}

TEST_F(TarvoEndToEnd, ALampThatLosesAPacketLeavesTheUpload)
{
    Boot(Lamp(kLamp, R"("faults": { "unconfirmedPacket": 5 })") + ", " + Lamp(kLamp + 1) + ", " + Lamp(kLamp + 2));
    const QByteArray file = Image(512 * 256);
    Upgrade(Lamps({kLamp, kLamp + 1, kLamp + 2}, kSmallRow), WriteFile("tvs150-3.0.bin", file));
    EXPECT_EQ(upgrade.Texts(FeedbackError), QStringList{" Error: Device 0xc0ffee lost., 2 devices left in upload"});
    EXPECT_TRUE(upgrade.Texts().contains(" 2 device(s) out of 2 verified."));
    EXPECT_EQ(RigLamp(1)->Flash(), file);
    EXPECT_EQ(RigLamp(2)->Flash(), file);
    EXPECT_EQ(upgrade.results, QList<FeedbackResult>{FeedbackFailure}) << "one lamp chosen was not upgraded";
}

// An upload that cannot be made whole touches no lamp: a file one byte short of the
// last packet, a model without a packet count.
TEST_F(TarvoEndToEnd, AnUploadThatCannotBeMadeSendsNoReset)
{
    Boot(Lamp(kLamp));
    Upgrade(Lamps({kLamp}, kSmallRow), WriteFile("short.bin", Image(511 * 256)));
    EXPECT_EQ(upgrade.Texts(), QStringList{" Error: Failed to sending upload packets"});
    EXPECT_EQ(upgrade.ends, QStringList({"FinishedFirmwareUpgrade", "Finished(2)"}));

    Upgrade(Lamps({kLamp}, 40), WriteFile("whole.bin", Image(512 * 256)));
    EXPECT_EQ(upgrade.Texts(), QStringList{" Error: Failed to sending upload packets"});
    EXPECT_EQ(upgrade.results, QList<FeedbackResult>{FeedbackFailure});
    EXPECT_TRUE(TarvoOnLine(sub::Reset).isEmpty());
}

// A lamp whose erase never ends is waited for 60 seconds of the clock, then given up.
TEST_F(TarvoEndToEnd, AnEraseThatNeverEndsFailsTheUpgradeAfterAMinute)
{
    Boot(Lamp(kLamp, R"("faults": { "eraseNever": true })"));
    const qint64 start = platform::Clock::NowMs();
    Upgrade(Lamps({kLamp}, kSmallRow), WriteFile("tvs150-3.0.bin", Image(512 * 256)));
    EXPECT_GE(platform::Clock::NowMs() - start, TarvoProtocol::kEraseLimitMs);
    EXPECT_EQ(upgrade.Texts(FeedbackError), QStringList({" Error: Device 0xc0ffee lost., 0 devices left in upload",
                                                         " Error: No fixtures ready for code!"}));
    EXPECT_TRUE(TarvoOnLine(sub::FirmwarePacket).isEmpty());
    EXPECT_EQ(upgrade.ends, QStringList({"FinishedFirmwareUpgrade", "Finished(2)"}));
}

// A lamp still erasing when the others are ready is named as lost, and the upgrade of the
// others does not pass for the upgrade of all.
TEST_F(TarvoEndToEnd, ALampLeftErasingIsNamedAndFailsTheUpgrade)
{
    Boot(Lamp(kLamp, R"("faults": { "eraseNever": true })") + ", " + Lamp(kLamp + 1));
    const QByteArray file = Image(512 * 256);
    Upgrade(Lamps({kLamp, kLamp + 1}, kSmallRow), WriteFile("tvs150-3.0.bin", file));
    EXPECT_EQ(upgrade.Texts(FeedbackError), QStringList{" Error: Device 0xc0ffee lost., 1 devices left in upload"});
    EXPECT_TRUE(upgrade.Texts().contains(" 1 device(s) out of 1 verified."));
    EXPECT_EQ(RigLamp(1)->Flash(), file);
    EXPECT_EQ(upgrade.ends, QStringList({"FinishedFirmwareUpgrade", "Finished(2)"}));
}

TEST_F(TarvoEndToEnd, AFlashThatDoesNotHoldTheImageFailsTheUpgrade)
{
    Boot(Lamp(kLamp, R"("faults": { "flippedFlashByte": 1000 })"));
    Upgrade(Lamps({kLamp}, kSmallRow), WriteFile("tvs150-3.0.bin", Image(512 * 256)));
    EXPECT_EQ(upgrade.Texts(FeedbackError), QStringList{" Error: Device 0xc0ffee checksum failed"});
    EXPECT_TRUE(upgrade.Texts().contains(" 0 device(s) out of 1 verified."));
    EXPECT_EQ(upgrade.ends, QStringList({"FinishedFirmwareUpgrade", "Finished(2)"}));
}
