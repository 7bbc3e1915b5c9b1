// Discovery, the device registry and the device commands on the real path: the command
// thread, the widget transport, qex_usb, the simulated widget and line, and the simulated
// fixtures. The search itself is tested against a test line in tests/link; these show that
// it works whole through the real widget, and what the commands and the registry make of it.
#include "fixtures/QelFamilies.h"
#include "fixtures/QelProtocol.h"
#include "fixtures/QelRDM.h"
#include "firmware/RegisterFirmware.h"
#include "link/commands/CommManager.h"
#include "link/commands/DiscoveryCommand.h"
#include "link/commands/RDMChangeAddressCommand.h"
#include "link/commands/RDMIdentifyCommand.h"
#include "link/devices/DeviceManager.h"
#include "link/devices/RDMDevice.h"
#include "link/rdm/RDMProtocol.h"
#include "link/rdm/RdmDefs.h"
#include "link/transport/RdmWidget.h"
#include "platform/system/Clock.h"
#include "tests/e2e/WidgetRig.h"
#include "tests/link/DiscoveryTestSupport.h"
#include "tests/link/PollUntil.h"
#include "tests/link/RecordingFeedback.h"

#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <mutex>
#include <set>

using rdm::PidDiscUniqueBranch;
using rdm::PidDiscUnMute;
using rdm::PidIdentifyDevice;
using rdm::UidHigh;
using rdm::UidLow;

namespace {

constexpr quint64 kFixture = 0x4142'0102'0304ull;

QString Responder(quint64 uid, const QString& more = QString())
{
    return QStringLiteral(R"({ "kind": "rdm-responder", "uid": "%1:%2" %3 })")
        .arg(UidHigh(uid), 4, 16, QLatin1Char('0'))
        .arg(UidLow(uid), 8, 16, QLatin1Char('0'))
        .arg(more.isEmpty() ? QString() : QStringLiteral(", ") + more);
}

bool IsRdmBranch(const QByteArray& packet)
{
    return packet.size() >= 23 && quint8(packet[20]) == rdm::DiscoveryCommand
        && RDMProtocol::ReadUInt16(reinterpret_cast<const quint8*>(packet.constData()) + 21) == PidDiscUniqueBranch;
}

// The lamp fixtures' discovery probe: '&', then sub-command 0x05.
bool IsTarvoProbe(const QByteArray& packet)
{
    return packet.size() >= 2 && quint8(packet[0]) == 0x26 && quint8(packet[1]) == 0x05;
}

// Stands on the line beside the rig's fixtures and answers nothing. At one moment of a
// discovery — the wake-up frame, or the n-th request of a kind — it sets the clock to a
// real line's pace, so that the discovery is surely still at that point when the test acts
// on it, however slow the machine.
class PaceSwitch : public sim::LineFixture
{
public:
    using Kind = bool (*)(const QByteArray&);
    // At the first DMX frame.
    PaceSwitch() = default;
    // At the n-th request of the kind.
    PaceSwitch(Kind kind, int count) : kind_(kind), count_(count) {}

    QByteArray OnRequest(const QByteArray& packet) override
    {
        if (kind_ && kind_(packet)) {
            std::lock_guard lock(mutex_);
            seen_.append(packet);
            if (seen_.size() == count_)
                Switch();
        }
        return {};
    }
    void OnDmxFrame(const QByteArray&) override
    {
        if (!kind_)
            Switch();
    }
    bool Switched() const { return switched_; }
    // The requests of its kind so far.
    int Seen() const
    {
        std::lock_guard lock(mutex_);
        return int(seen_.size());
    }

private:
    void Switch()
    {
        if (!switched_.exchange(true))
            platform::Clock::SetScale(1.0);
    }

    const Kind kind_ = nullptr;
    const int count_ = 0;
    mutable std::mutex mutex_;
    QList<QByteArray> seen_;
    std::atomic<bool> switched_{false};
};

class DiscoveryEndToEnd : public WidgetRigTest
{
protected:
    ~DiscoveryEndToEnd() override { qDeleteAll(found); }

    void BootDemoRig()
    {
        QFile file(QStringLiteral(VELMORA_DEMO_RIG));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray rig = file.readAll();
        BootRig(rig.constData());
    }

    // Every command queued from now on also reports to `log` (read it once the queue has
    // stopped).
    void LogEveryCommand(RecordingFeedback& log)
    {
        QObject::connect(&Manager(), &CommManager::CommandQueued, &hooks, [this, &log](QUuid id) {
            if (Command* command = Manager().FindCommand(id))
                command->SetChainedFeedback(&log);
        });
    }

    // Quits the program while the registry's discovery stands where `pace` switched.
    void QuitWhenSwitched(const std::shared_ptr<PaceSwitch>& pace, RecordingFeedback& log)
    {
        LogEveryCommand(log);
        Line().Attach(pace);
        QSignalSpy added(DeviceManager::Instance(), &DeviceManager::DeviceAdded);
        DeviceManager::Instance()->Discover();
        ASSERT_TRUE(PollUntil([&] { return pace->Switched(); }, 60000));
        seenBeforeQuit = pace->Seen();
        Quit();
        EXPECT_EQ(added.size(), 0);
    }

    QObject hooks;
    int seenBeforeQuit = -1;

    void Boot(const QString& fixtures) { BootFixtures(fixtures); }

    // Runs one discovery command with the RDM engine; its devices end up in `found`.
    void RunDiscoveryCommand()
    {
        DiscoveryCommand command;
        command.SetProtocols({RDMProtocol::Instance()});
        command.SetChainedFeedback(&feedback);
        QSignalSpy finished(&command, &DiscoveryCommand::FinishedDiscovery);
        ASSERT_TRUE(RunCommand(command));
        finishedDiscovery = int(finished.size());
        found = command.TakeDevices();
    }

    // Runs a discovery of the registry and waits for its end.
    bool RunRegistryDiscovery()
    {
        QSignalSpy completed(DeviceManager::Instance(), &DeviceManager::DiscoveryCompleted);
        DeviceManager::Instance()->Discover();
        if (!PollUntil([&] { return completed.size() == 1; }, 60000))
            return false;
        return completed[0][0].toBool();
    }

    // What the widget put on the line, as command class and PID.
    int LineCount(quint8 commandClass, quint16 pid) const
    {
        int count = 0;
        for (const QByteArray& request : RigWidget()->LineRequests())
            count += request.size() >= 23 && quint8(request[20]) == commandClass
                  && RDMProtocol::ReadUInt16(reinterpret_cast<const quint8*>(request.constData()) + 21) == pid;
        return count;
    }

    RecordingFeedback feedback;
    QList<Device*> found;  // owned
    int finishedDiscovery = -1;
};

} // namespace

// An empty line: the widget is woken with one zero frame and set to RDM mode, then one
// broadcast un-mute and five branches over the whole range find nothing.
TEST_F(DiscoveryEndToEnd, AnEmptyLineIsWokenAskedFiveTimesAndFinishes)
{
    BootTappedWidget();
    ASSERT_TRUE(Manager().HasWidget());
    const int commandsAtBoot = int(Tap().OutTransfers(0x02).size());
    RunDiscoveryCommand();

    const QStringList expected = {
        "Found dmx widget version 1.2.",
        "Transmitting 10 seconds of DMX to wake up devices",
        "RDM Discovery: Starting..",
        "RDM Discovery: Unmute all devices",
        " RDM Discovery: Searching range 0x0 - 0xfffffffffffe",
        "\n Updating device information for 0 devices",
        "RDM Discovery: Finished!",
    };
    EXPECT_EQ(feedback.Texts(), expected);
    EXPECT_EQ(feedback.results, QList<FeedbackResult>{FeedbackSuccess});
    EXPECT_EQ(finishedDiscovery, 1);
    EXPECT_TRUE(found.isEmpty());

    // On the command endpoint: the wake-up frame's packets, then mode 3. (The queue's
    // idle frame may follow once the command has ended, if the test thread is slow to get
    // here: zero frames too.)
    const QList<QByteArray> commands = Tap().OutTransfers(0x02).mid(commandsAtBoot);
    const qsizetype modeAt = commands.indexOf(QByteArray::fromHex("0103"));
    ASSERT_GE(modeAt, 1);
    EXPECT_EQ(commands.count(QByteArray::fromHex("0103")), 1);
    for (qsizetype i = 0; i < commands.size(); ++i) {
        if (i == modeAt)
            continue;
        EXPECT_TRUE(commands[i].startsWith('\x30') || commands[i].startsWith('\x31')) << commands[i].toHex().toStdString();
    }
    const QList<QByteArray> frames = Fixture().Frames();
    ASSERT_FALSE(frames.isEmpty());
    for (const QByteArray& frame : frames)
        EXPECT_EQ(frame, QByteArray(512, '\0'));

    QStringList summary;
    for (const QByteArray& request : Fixture().Unexpected())
        summary.append(request.mid(20, 3).toHex());
    EXPECT_EQ(summary, QStringList({"100003", "100001", "100001", "100001", "100001", "100001"}));
}

TEST_F(DiscoveryEndToEnd, WithoutAWidgetTheDiscoveryFailsAtOnce)
{
    BootEmpty();
    RunDiscoveryCommand();
    EXPECT_EQ(feedback.Texts(), QStringList{"Dmx widget driver is not installed!"});
    EXPECT_EQ(feedback.lines.first().status, FeedbackError);
    EXPECT_EQ(feedback.results, QList<FeedbackResult>{FeedbackFailure});
    EXPECT_EQ(finishedDiscovery, 0);
}

TEST_F(DiscoveryEndToEnd, AWidgetInErrorIsNotUsed)
{
    Boot(Responder(kFixture));
    ASSERT_TRUE(Manager().HasWidget());
    testing::internal::CaptureStdout();
    Machine().Unplug(Port());
    ASSERT_TRUE(PollUntil([&] { return Widget()->HasError(); }));
    RunDiscoveryCommand();
    Quit();  // the widget's teardown reports the missing device too
    testing::internal::GetCapturedStdout();

    EXPECT_EQ(feedback.Texts(), QStringList{"Dmx widget is not in correct state. Please reconnect the widget!"});
    EXPECT_EQ(feedback.results, QList<FeedbackResult>{FeedbackFailure});
    EXPECT_EQ(finishedDiscovery, 0);
}

TEST_F(DiscoveryEndToEnd, OneFixtureIsIsolatedLevelByLevelThenMuted)
{
    Boot(Responder(kFixture, R"("model": "Spot 300")"));
    RunDiscoveryCommand();

    EXPECT_EQ(LineCount(rdm::DiscoveryCommand, PidDiscUnMute), 1);
    EXPECT_EQ(LineCount(rdm::DiscoveryCommand, PidDiscUniqueBranch), 283);
    // The last level holds 304 and 305; the upper half, 305, is asked three times first.
    EXPECT_EQ(MuteDestinations(RigWidget()->LineRequests()),
              (QList<quint64>{kFixture + 1, kFixture + 1, kFixture + 1, kFixture}));
    EXPECT_TRUE(feedback.Texts().contains(" RDM Discovery: Device found 0x414201020304"));
    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty()) << feedback.Texts(FeedbackError).join('\n').toStdString();

    ASSERT_EQ(found.size(), 1);
    auto* fixture = qobject_cast<RDMDevice*>(found[0]);
    ASSERT_TRUE(fixture);
    EXPECT_EQ(fixture->GetUniqueId(), kFixture);
    EXPECT_EQ(fixture->GetModelName(), "Spot 300");
    // Made on the command thread, handed to the thread that made the command.
    EXPECT_EQ(fixture->thread(), QThread::currentThread());
    EXPECT_TRUE(RigResponder(0)->IsMuted());
}

TEST_F(DiscoveryEndToEnd, AdjacentFixturesAreFoundUpperFirst)
{
    Boot(Responder(kFixture) + ", " + Responder(kFixture + 1));
    RunDiscoveryCommand();
    EXPECT_EQ(FoundUidLines(feedback.Texts()), (QList<quint64>{kFixture + 1, kFixture}));
    EXPECT_EQ(Uids(found), (QList<quint64>{kFixture, kFixture + 1}));
}

// The misbehaving responders of discovery side by side on one line, with a normal one.
TEST_F(DiscoveryEndToEnd, MisbehavingRespondersGiveTheirResults)
{
    struct Case
    {
        const char* name;
        quint64 uid;
        const char* discovery;
        bool found;
    };
    const Case cases[] = {
        {"normal", 0x4142'0000'0010ull, "{}", true},
        {"answers while muted", 0x4142'1000'0000ull, R"({"answersWhileMuted": true})", true},
        {"never mutes", 0x4142'2000'0000ull, R"({"muteAfter": 0})", false},
        {"mutes at the third try", 0x4142'3000'0000ull, R"({"muteAfter": 3})", true},
        {"mutes at the fourth try", 0x4142'4000'0000ull, R"({"muteAfter": 4})", false},
    };
    QStringList fixtures;
    for (const Case& c : cases)
        fixtures.append(Responder(c.uid, QStringLiteral(R"("discovery": %1)").arg(c.discovery)));
    Boot(fixtures.join(", "));
    RunDiscoveryCommand();

    const QList<quint64> uids = Uids(found);
    for (const Case& c : cases)
        EXPECT_EQ(uids.count(c.uid), c.found ? 1 : 0) << c.name;
    EXPECT_EQ(feedback.Texts().last(), "RDM Discovery: Finished!");
}

// The widget is pulled out while the search is under way: the discovery still ends, at
// once, with its closing line.
TEST_F(DiscoveryEndToEnd, AWidgetPulledOutMidSearchEndsTheDiscovery)
{
    Boot(Responder(kFixture) + ", " + Responder(0x4142'0000'0010ull));
    const std::shared_ptr<sim::ProgrammedWidget> widget = RigWidget();
    QTimer unplug;
    QObject::connect(&unplug, &QTimer::timeout, [&] {
        if (widget->LineRequests().size() >= 20) {
            unplug.stop();
            Machine().Unplug(Port());
        }
    });
    unplug.start(1);
    testing::internal::CaptureStdout();
    RunDiscoveryCommand();
    const bool unplugged = !unplug.isActive();
    Quit();  // the widget's teardown reports the missing device too
    testing::internal::GetCapturedStdout();

    ASSERT_TRUE(unplugged);
    EXPECT_EQ(finishedDiscovery, 1);
    EXPECT_EQ(feedback.Texts().last(), "RDM Discovery: Finished!");
    EXPECT_LT(widget->LineRequests().size(), 283) << "the search stopped when the widget went";
}

TEST_F(DiscoveryEndToEnd, TwentyFixturesOfOneMakerAreFoundWhole)
{
    std::set<quint64> expected;
    for (quint64 i = 0; i < 10; ++i)  // side by side
        expected.insert(0x4142'0000'1000ull + i);
    for (quint64 i = 0; i < 10; ++i)  // spread over the maker's range
        expected.insert(0x4142'0000'0000ull + i * 0x1999'9999ull + 7);
    QStringList fixtures;
    for (quint64 uid : expected)
        fixtures.append(Responder(uid));
    Boot(fixtures.join(", "));

    ASSERT_TRUE(RunRegistryDiscovery());
    const QList<quint64> uids = Uids(DeviceManager::Instance()->Devices());
    EXPECT_EQ(uids, QList<quint64>(expected.begin(), expected.end()));  // each once, ascending
}

TEST_F(DiscoveryEndToEnd, AFixtureWhoseModelTextIsCindralBecomesACindralFixture)
{
    RegisterQelFamilies();
    Boot(R"({ "kind": "cindral", "uid": "7ff0:00000201", "model": "cindral", "graphicsEngineId": 4660 })");
    ASSERT_TRUE(RunRegistryDiscovery());
    const QList<Device*> devices = DeviceManager::Instance()->Devices();
    ASSERT_EQ(devices.size(), 1);
    auto* fixture = qobject_cast<CindralRDM*>(devices[0]);
    ASSERT_TRUE(fixture);
    EXPECT_EQ(fixture->GetUniqueId(), 0x7FF0'0000'0201ull);
    EXPECT_EQ(fixture->GetGraphicsEngineUniqueId(), 4660u);
    // The motion board's label is its version; the program says which board it is.
    EXPECT_TRUE(fixture->GetSoftwareVersion().startsWith("Motion 3.2.0, Graphics ")) << fixture->GetSoftwareVersion().toStdString();
}

// A family fixture whose graphics engine never answers its identity is left out, after
// six tries of five sends each; the plain fixture beside it is kept.
TEST_F(DiscoveryEndToEnd, AFamilyFixtureWithoutItsGraphicsEngineIdIsLeftOut)
{
    RegisterQelFamilies();
    Boot(R"({ "kind": "cindral", "uid": "7ff0:00000201", "model": "cindral",
              "faults": [ { "kind": "silence", "pid": 41138, "times": -1 } ] }, )" + Responder(kFixture));
    RunDiscoveryCommand();

    EXPECT_EQ(Uids(found), QList<quint64>{kFixture});
    EXPECT_TRUE(feedback.Texts(FeedbackError)
                    .contains("Cannot instantiate cindral because cannot get the FPGA version or the GE unique Id"))
        << feedback.Texts(FeedbackError).join('\n').toStdString();
    EXPECT_EQ(LineCount(rdm::GetCommand, 0xA0B2), QelProtocol::kIdentityTries * RDMProtocol::kMaxAttempts);
    EXPECT_EQ(feedback.Texts().last(), "RDM Discovery: Finished!");
}

// Production mode: only the fixtures still without identifiers are searched for, and a
// fresh family fixture gets its graphics-engine id (SET 0xA0B2) and then its motion id
// (SET 0xA0B3), which becomes its UID.
TEST_F(DiscoveryEndToEnd, ProductionModeGivesAFreshFixtureItsIdentifiers)
{
    RegisterQelFamilies();
    ProductionStation station("Cindral");
    Boot(R"({ "kind": "cindral", "uid": "7ff0:00000000", "graphicsEngineId": 0 })");
    RunDiscoveryCommand();

    EXPECT_TRUE(feedback.Texts().contains(" RDM Discovery: Searching range 0x0 - 0x7ff000000002"));
    EXPECT_FALSE(feedback.Texts().contains(" RDM Discovery: Searching range 0x0 - 0xfffffffffffe"));
    QStringList sets;
    for (const QByteArray& request : RigWidget()->LineRequests())
        if (request.size() >= 23 && quint8(request[20]) == rdm::SetCommand)
            sets.append(request.mid(21, 2).toHex());
    EXPECT_EQ(sets, QStringList({"a0b2", "a0b3"}));
    ASSERT_EQ(found.size(), 1);
    auto* fixture = qobject_cast<CindralRDM*>(found[0]);
    ASSERT_TRUE(fixture);
    // An empty identifier file hands out 3 first: the graphics engine gets 3, motion 4.
    EXPECT_EQ(fixture->GetGraphicsEngineUniqueId(), 3u);
    EXPECT_EQ(fixture->GetUniqueId(), 0x7FF0'0000'0004ull);
    EXPECT_EQ(RigResponder(0)->Uid(), 0x7FF0'0000'0004ull);
    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty()) << feedback.Texts(FeedbackError).join('\n').toStdString();
}

// What discovery asks a plain fixture, in order: its own three questions, then the
// standard update, which reads the supported parameters that have a GET in ascending PID
// order (the fixture lists 0x0401 before 0x0080).
TEST_F(DiscoveryEndToEnd, APlainFixtureIsQueriedInItsFixedOrder)
{
    Boot(Responder(kFixture, R"("parameters": [1025, 128], "lampHours": 1234)"));
    RunDiscoveryCommand();

    QStringList asked;
    for (const sim::RdmResponder::LoggedRequest& request : RigResponder(0)->Requests())
        if (request.commandClass != rdm::DiscoveryCommand)
            asked.append(QStringLiteral("%1:%2").arg(request.commandClass, 0, 16).arg(request.pid, 4, 16, QLatin1Char('0')));
    const QStringList expected = {
        "20:0060", "20:00e1", "20:0080", "20:1000",                       // discovery's own
        "20:0060", "20:00e1", "20:00c0", "20:00f0", "20:1000", "20:0050",  // the standard update
        "20:0080", "20:0401",                                             // supported, ascending
    };
    EXPECT_EQ(asked, expected);
    ASSERT_EQ(found.size(), 1);
    auto* fixture = qobject_cast<RDMDevice*>(found[0]);
    ASSERT_TRUE(fixture);
    EXPECT_EQ(fixture->SupportedParameters(), (QList<quint16>{0x0080, 0x0401}));
    EXPECT_EQ(fixture->GetLampHours(), 1234u);
}

// The registry across two discoveries: A and B, then B and C.
TEST_F(DiscoveryEndToEnd, TheRegistryAnnouncesChangesAndKeepsItsObjects)
{
    const quint64 a = 0x4142'0000'0001ull, b = 0x4142'0000'0002ull, c = 0x4142'0000'0003ull;
    Boot(Responder(a) + ", " + Responder(b));
    DeviceManager* registry = DeviceManager::Instance();
    QStringList events;
    QObject::connect(registry, &DeviceManager::DeviceAdded, registry,
                     [&](Device* d) { events.append(QStringLiteral("added %1").arg(d->GetUniqueId() & 0xF)); });
    QObject::connect(registry, &DeviceManager::DeviceRemoved, registry, [&](Device* d) {
        events.append(QStringLiteral("removed %1").arg(d->GetUniqueId() & 0xF));
        EXPECT_EQ(registry->FindDevice(d->GetUniqueId()), nullptr) << "out of the map before it is announced";
    });

    ASSERT_TRUE(RunRegistryDiscovery());
    EXPECT_EQ(events, QStringList({"added 1", "added 2"}));
    const QPointer<Device> deviceA = registry->FindDevice(a);
    const QPointer<Device> deviceB = registry->FindDevice(b);
    ASSERT_TRUE(deviceA && deviceB);

    Line().Detach(RigResponder(0));
    sim::RdmResponderState state;
    state.uid = c;
    Line().Attach(std::make_shared<sim::RdmResponder>(state));
    events.clear();
    ASSERT_TRUE(RunRegistryDiscovery());

    EXPECT_EQ(events, QStringList({"added 3", "removed 1"}));
    EXPECT_EQ(Uids(registry->Devices()), (QList<quint64>{b, c}));
    EXPECT_EQ(registry->FindDevice(b), deviceB.data()) << "a known fixture keeps its object";
    EXPECT_TRUE(PollUntil([&] { return deviceA.isNull(); })) << "a fixture gone is deleted after its announcement";
}

// A discovery that fails before searching leaves the registry as it was.
TEST_F(DiscoveryEndToEnd, AFailedDiscoveryLeavesTheRegistryAsItWas)
{
    Boot(Responder(kFixture));
    ASSERT_TRUE(RunRegistryDiscovery());
    ASSERT_EQ(Uids(DeviceManager::Instance()->Devices()), QList<quint64>{kFixture});
    testing::internal::CaptureStdout();
    Machine().Unplug(Port());
    ASSERT_TRUE(PollUntil([&] { return Widget()->HasError(); }));
    EXPECT_FALSE(RunRegistryDiscovery());
    EXPECT_EQ(Uids(DeviceManager::Instance()->Devices()), QList<quint64>{kFixture});
    Quit();  // the widget's teardown reports the missing device too
    testing::internal::GetCapturedStdout();
}

// Identify and address changes on a fixture the registry holds.
TEST_F(DiscoveryEndToEnd, IdentifyAndAddressCommandsReachTheFixtureAndTheRegistry)
{
    Boot(Responder(kFixture, R"("startAddress": 17)"));
    ASSERT_TRUE(RunRegistryDiscovery());
    auto* device = qobject_cast<RDMDevice*>(DeviceManager::Instance()->FindDevice(kFixture));
    ASSERT_TRUE(device);
    ASSERT_FALSE(device->GetIdentify());
    std::shared_ptr<sim::RdmResponder> responder = RigResponder(0);

    // Off, so on (01); then on, so off (00). The device shows the new state by the time the
    // command's own signal arrives.
    for (const bool expected : {true, false}) {
        SCOPED_TRACE(expected ? "switch on" : "switch off");
        responder->ClearRequests();
        RecordingFeedback log;
        RDMIdentifyCommand identify;
        identify.SetChainedFeedback(&log);
        identify.SetDevice(device);
        QList<bool> stateWhenFinished;
        QObject::connect(&identify, &RDMIdentifyCommand::FinishedIdentify, device,
                         [&](QUuid, bool ok) { stateWhenFinished.append(ok && device->GetIdentify()); });
        ASSERT_TRUE(RunCommand(identify));
        ASSERT_TRUE(PollUntil([&] { return !stateWhenFinished.isEmpty(); }));

        EXPECT_EQ(log.Texts(), QStringList{QStringLiteral("Identifying %1").arg(kFixture)});
        EXPECT_EQ(log.results, QList<FeedbackResult>{FeedbackSuccess});
        ASSERT_EQ(responder->Requests().size(), 1);
        EXPECT_EQ(responder->Requests()[0].pid, PidIdentifyDevice);
        EXPECT_EQ(responder->Requests()[0].data, QByteArray(1, expected ? '\1' : '\0'));
        EXPECT_EQ(responder->State().identify, expected);
        EXPECT_EQ(device->GetIdentify(), expected);
        EXPECT_EQ(stateWhenFinished, QList<bool>{expected});
    }

    struct Case
    {
        const char* name;
        quint16 address;
        bool ok;
        QStringList errors;
        quint16 stored;
    };
    const Case cases[] = {
        {"accepted", 42, true, {}, 42},
        {"out of range", 600, false,
         {" Device 0x414201020304 Failed Setting Dmx Start Address: Nack Error 6 (data out of range)!"}, 42},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingFeedback log;
        RDMChangeAddressCommand change;
        change.SetChainedFeedback(&log);
        change.SetDevice(device, c.address);
        QStringList events;
        QObject::connect(device, &Device::AddressChanged, device, [&] {
            EXPECT_EQ(QThread::currentThread(), device->thread());
            events.append(QStringLiteral("address %1").arg(device->GetDmxAddress()));
        });
        QObject::connect(&change, &RDMChangeAddressCommand::FinishedChangeAddress, device,
                         [&](QUuid id, bool ok) {
                             EXPECT_EQ(id, change.GetId());
                             events.append(QStringLiteral("finished %1").arg(ok));
                         });
        ASSERT_TRUE(RunCommand(change));
        ASSERT_TRUE(PollUntil([&] { return events.size() >= 1 && events.last().startsWith("finished"); }));

        EXPECT_EQ(log.Texts(FeedbackError), c.errors);
        EXPECT_EQ(log.results, QList<FeedbackResult>{c.ok ? FeedbackSuccess : FeedbackFailure});
        EXPECT_EQ(events, c.ok ? QStringList({"address 42", "finished 1"}) : QStringList{"finished 0"});
        EXPECT_EQ(responder->State().startAddress, c.stored);
        EXPECT_EQ(device->GetDmxAddress(), c.stored);
        QObject::disconnect(device, &Device::AddressChanged, device, nullptr);
    }
}

// A command keeps the unique id, not the object: a device deleted while the command waits
// in the queue is not touched, and the fixture still gets its request.
TEST_F(DiscoveryEndToEnd, ACommandOutlivesItsDevice)
{
    Boot(Responder(kFixture));
    auto device = std::make_unique<RDMDevice>();
    device->SetUniqueId(UidLow(kFixture), UidHigh(kFixture));
    RDMChangeAddressCommand change;
    change.SetDevice(device.get(), 99);
    device.reset();
    QSignalSpy finished(&change, &RDMChangeAddressCommand::FinishedChangeAddress);
    ASSERT_TRUE(RunCommand(change));
    ASSERT_TRUE(PollUntil([&] { return finished.size() == 1; }));
    EXPECT_TRUE(finished[0][1].toBool());
    EXPECT_EQ(RigResponder(0)->State().startAddress, 99);
}

// Commands without an RDM fixture fail with their own line and touch nothing.
TEST_F(DiscoveryEndToEnd, CommandsWithoutAnRdmFixtureFail)
{
    Boot(Responder(kFixture));
    RecordingFeedback addressLog;
    RDMChangeAddressCommand change;
    change.SetChainedFeedback(&addressLog);
    change.SetDevice(nullptr, 10);
    QSignalSpy changed(&change, &RDMChangeAddressCommand::FinishedChangeAddress);
    RecordingFeedback identifyLog;
    RDMIdentifyCommand identify;
    identify.SetChainedFeedback(&identifyLog);
    identify.SetDevice(nullptr);
    QSignalSpy identified(&identify, &RDMIdentifyCommand::FinishedIdentify);
    ASSERT_TRUE(RunCommand(change));
    ASSERT_TRUE(RunCommand(identify));
    ASSERT_TRUE(PollUntil([&] { return changed.size() == 1 && identified.size() == 1; }));

    EXPECT_EQ(addressLog.Texts(FeedbackError), QStringList{"Error: Set Dmx address failed for 0x0! Invalid Device object."});
    EXPECT_EQ(addressLog.results, QList<FeedbackResult>{FeedbackFailure});
    EXPECT_FALSE(changed[0][1].toBool());
    EXPECT_EQ(identifyLog.Texts(FeedbackError), QStringList{"Error: Identify failed for 0x0! Invalid Device object."});
    EXPECT_FALSE(identified[0][1].toBool());
    EXPECT_TRUE(RigResponder(0)->Requests().isEmpty());
}

// Quitting stops the command queue, which ends a discovery at once wherever it is: here
// in its ten seconds of wake-up, which would otherwise run out, followed by the whole
// search, before the program could end.
TEST_F(DiscoveryEndToEnd, QuittingDuringTheWakeUpEndsTheDiscoveryAtOnce)
{
    BootDemoRig();
    const platform::ScopedTimeScale restore(platform::Clock::Scale());
    RecordingFeedback log;
    QuitWhenSwitched(std::make_shared<PaceSwitch>(), log);

    EXPECT_EQ(log.results, QList<FeedbackResult>{FeedbackCancelled}) << log.Texts().join('\n').toStdString();
    EXPECT_TRUE(log.Texts().contains("Fixture discovery stopped: the command queue is closing."));
    EXPECT_FALSE(log.Texts().contains("RDM Discovery: Starting.."));
    EXPECT_TRUE(RigWidget()->LineRequests().isEmpty()) << "no RDM request after the wake-up";
}

// The same in the middle of the search, now at a real line's pace: the search stops at the
// next range, and the fixtures found so far are neither queried nor registered.
TEST_F(DiscoveryEndToEnd, QuittingMidSearchEndsTheDiscoveryAtOnce)
{
    BootDemoRig();
    const platform::ScopedTimeScale restore(platform::Clock::Scale());
    RecordingFeedback log;
    const auto pace = std::make_shared<PaceSwitch>(&IsRdmBranch, 20);
    QuitWhenSwitched(pace, log);

    EXPECT_EQ(log.results, QList<FeedbackResult>{FeedbackCancelled}) << log.Texts().join('\n').toStdString();
    EXPECT_TRUE(log.Texts().contains("RDM Discovery: Stopped."));
    EXPECT_FALSE(log.Texts().contains("RDM Discovery: Finished!"));
    EXPECT_EQ(LineCount(rdm::GetCommand, rdm::PidDeviceInfo), 0) << "no fixture is queried";
    EXPECT_LE(pace->Seen(), seenBeforeQuit + 1) << "at most the branch on its way goes out after the quit";
}

// The program's discovery searches for the lamp fixtures first: quitting in the middle of
// that search ends it as promptly, and the RDM search never starts.
TEST_F(DiscoveryEndToEnd, QuittingMidLampSearchEndsTheDiscoveryAtOnce)
{
    BootDemoRig();
    RegisterFirmware();
    const platform::ScopedTimeScale restore(platform::Clock::Scale());
    RecordingFeedback log;
    const auto pace = std::make_shared<PaceSwitch>(&IsTarvoProbe, 20);
    QuitWhenSwitched(pace, log);

    EXPECT_EQ(log.results, QList<FeedbackResult>{FeedbackCancelled}) << log.Texts().join('\n').toStdString();
    EXPECT_FALSE(log.Texts().contains("RDM Discovery: Starting.."));
    EXPECT_LE(pace->Seen(), seenBeforeQuit + 1) << "at most the probe on its way goes out after the quit";
}

// A later discovery refreshes what the registry shows. The object views hold stays, and
// takes over what the fixture holds now (its address and label, changed by another
// controller), with its change signals; a fixture that is now recognised as a family
// fixture becomes an object of that family, with both registry signals.
TEST_F(DiscoveryEndToEnd, ARediscoveryShowsWhatTheFixturesHoldNow)
{
    RegisterQelFamilies();
    constexpr quint64 kFamily = 0x7FF0'0000'0201ull;
    Boot(Responder(kFixture, R"("label": "Truss 2", "startAddress": 421)")
         + R"(, { "kind": "cindral", "uid": "7ff0:00000201", "model": "Spot" })");
    DeviceManager* registry = DeviceManager::Instance();
    ASSERT_TRUE(RunRegistryDiscovery());
    const QPointer<Device> plain = registry->FindDevice(kFixture);
    const QPointer<Device> unrecognised = registry->FindDevice(kFamily);
    ASSERT_TRUE(plain && unrecognised);
    EXPECT_FALSE(qobject_cast<CindralRDM*>(unrecognised.data()));
    QStringList events;
    QObject::connect(plain, &Device::AddressChanged, registry, [&] { events.append("address changed"); });
    QObject::connect(plain, &Device::ValuesChanged, registry, [&] { events.append("values changed"); });
    QObject::connect(registry, &DeviceManager::DeviceRemoved, registry,
                     [&](Device* d) { events.append(QStringLiteral("removed %1").arg(d->metaObject()->className())); });
    QObject::connect(registry, &DeviceManager::DeviceAdded, registry,
                     [&](Device* d) { events.append(QStringLiteral("added %1").arg(d->metaObject()->className())); });

    RigResponder(0)->Modify([](sim::RdmResponderState& state) {
        state.startAddress = 200;
        state.deviceLabel = "Truss 3";
    });
    RigResponder(1)->Modify([](sim::RdmResponderState& state) { state.modelDescription = "cindral"; });
    ASSERT_TRUE(RunRegistryDiscovery());

    EXPECT_EQ(registry->FindDevice(kFixture), plain.data()) << "the registered object stays";
    EXPECT_EQ(plain->GetDmxAddress(), 200);
    EXPECT_EQ(plain->GetDeviceName(), "Truss 3");
    EXPECT_EQ(events, QStringList({"address changed", "values changed", "removed RDMDevice", "added CindralRDM"}));
    EXPECT_TRUE(qobject_cast<CindralRDM*>(registry->FindDevice(kFamily)));
    EXPECT_TRUE(PollUntil([&] { return unrecognised.isNull(); })) << "the object of the old class is deleted";

    // Nothing changed: no signal.
    events.clear();
    ASSERT_TRUE(RunRegistryDiscovery());
    EXPECT_EQ(events, QStringList());
}

// Identify clicks in a row alternate on the line however quickly they come: each command
// decides when it runs, from what the fixture last confirmed.
TEST_F(DiscoveryEndToEnd, IdentifyCommandsQueuedInARowAlternate)
{
    Boot(Responder(kFixture));
    ASSERT_TRUE(RunRegistryDiscovery());
    auto* device = qobject_cast<RDMDevice*>(DeviceManager::Instance()->FindDevice(kFixture));
    ASSERT_TRUE(device);
    ASSERT_FALSE(device->GetIdentify());
    RigResponder(0)->ClearRequests();

    RDMIdentifyCommand clicks[3];
    for (RDMIdentifyCommand& click : clicks)
        click.SetDevice(device);  // all set up before the first runs
    QSignalSpy completed(&Manager(), &CommManager::CommandCompleted);
    for (RDMIdentifyCommand& click : clicks)
        Manager().QueueCommand(&click);
    ASSERT_TRUE(PollUntil([&] { return completed.size() == 3; }));

    QStringList sent;
    for (const sim::RdmResponder::LoggedRequest& request : RigResponder(0)->Requests())
        if (request.pid == PidIdentifyDevice)
            sent.append(request.data.toHex());
    EXPECT_EQ(sent, QStringList({"01", "00", "01"}));
    EXPECT_TRUE(RigResponder(0)->State().identify);
    EXPECT_TRUE(PollUntil([&] { return device->GetIdentify(); }));
}

// A fixture with none of E1.20's optional parameters: it lists none, and answers the ones
// discovery asks all the same with NACK unknown PID. Neither is an error.
TEST_F(DiscoveryEndToEnd, OptionalParametersAFixtureLacksAreNoErrors)
{
    Boot(Responder(kFixture));
    RigResponder(0)->Modify([](sim::RdmResponderState& state) { state.optionalParameters.clear(); });
    RunDiscoveryCommand();

    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty()) << feedback.Texts(FeedbackError).join('\n').toStdString();
    EXPECT_EQ(feedback.Texts().count(" Device 0x414201020304 does not support DMX_PERSONALITY_DESCRIPTION."), 2);
    EXPECT_EQ(feedback.Texts().count(" Device 0x414201020304 does not support DEVICE_MODEL_DESCRIPTION."), 1);
    ASSERT_EQ(found.size(), 1);
    auto* fixture = qobject_cast<RDMDevice*>(found[0]);
    ASSERT_TRUE(fixture);
    EXPECT_TRUE(fixture->SupportedParameters().isEmpty());
}
