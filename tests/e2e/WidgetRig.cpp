#include "tests/e2e/WidgetRig.h"

#include "link/commands/CommManager.h"
#include "link/devices/DeviceManager.h"
#include "link/rdm/RDMProtocol.h"
#include "link/transport/RdmWidget.h"
#include "platform/kernel/ObjectNamespace.h"
#include "platform/kernel/Pool.h"
#include "tests/link/PollUntil.h"
#include "tests/link/TestCommand.h"

sim::WidgetConfig WidgetRigTest::DefaultConfig()
{
    sim::WidgetConfig config;
    config.version = {1, 2};
    return config;
}

void WidgetRigTest::SetUp()
{
    poolBefore_ = platform::kernel::OutstandingPoolAllocations();
    fixture_ = std::make_shared<ScriptedFixture>();
}

void WidgetRigTest::TearDown()
{
    Quit();
    machine_.reset();
    tap_.reset();
    EXPECT_EQ(platform::kernel::OutstandingPoolAllocations(), poolBefore_)
        << platform::kernel::DescribeOutstandingPool();
    EXPECT_TRUE(platform::kernel::ObjectNames().empty());
}

void WidgetRigTest::BootRig(const char* rigJson)
{
    machine::MachineOptions options;
    std::shared_ptr<ScriptedFixture> fixture = fixture_;
    options.fixtureKinds.Register("scripted", [fixture](const QJsonObject&, QString*) { return fixture; });
    QString error;
    options.rig = sim::ParseRig(rigJson, options.fixtureKinds, &error);
    ASSERT_TRUE(options.rig) << error.toStdString();
    machine_ = machine::Machine::Boot(std::move(options), &error);
    ASSERT_TRUE(machine_) << error.toStdString();
    ASSERT_FALSE(machine_->Widgets().empty());
    line_ = machine_->Widgets().front().hardware.line;
    port_ = machine_->Widgets().front().port;
    StartManager();
}

void WidgetRigTest::BootFixtures(const QString& fixtures)
{
    const QByteArray rig =
        QStringLiteral(R"({ "widgets": [ { "kind": "programmed", "version": [1, 2], "fixtures": [ %1 ] } ] })")
            .arg(fixtures)
            .toUtf8();
    BootRig(rig.constData());
}

void WidgetRigTest::BootTappedWidget(const sim::WidgetConfig& config)
{
    BootTappedWidget(std::make_shared<sim::ProgrammedWidget>(config, std::make_shared<sim::DmxLine>()));
}

void WidgetRigTest::BootTappedWidget(std::shared_ptr<sim::ProgrammedWidget> widget)
{
    BootMachine();
    if (HasFatalFailure())
        return;
    line_ = widget->Line();
    line_->Attach(fixture_);
    tap_ = std::make_shared<drivers_test::TappedDevice>(std::move(widget));
    port_ = machine_->Plug(tap_);
    StartManager();
}

void WidgetRigTest::BootEmpty()
{
    BootMachine();
    if (!HasFatalFailure())
        StartManager();
}

void WidgetRigTest::BootMachine()
{
    machine::MachineOptions options;
    QString error;
    machine_ = machine::Machine::Boot(std::move(options), &error);
    ASSERT_TRUE(machine_) << error.toStdString();
}

void WidgetRigTest::StartManager()
{
    manager_ = CommManager::Instance();
    // The widget's constructor waits a scaled second for the version reply, which at the
    // tests' time scale a loaded machine may not deliver in time. The simulated widget
    // always answers, so wait here for the reader to have taken it in: the tests then
    // start from a widget that knows its version, as the program does.
    if (RdmWidget* widget = manager_->GetWidget()) {
        quint8 major = 0, minor = 0;
        PollUntil([&] { return widget->HasError() || widget->GetVersion(major, minor); });
    }
}

std::shared_ptr<sim::RdmResponder> WidgetRigTest::RigResponder(std::size_t index) const
{
    if (!machine_ || machine_->Widgets().empty())
        return nullptr;
    const auto& fixtures = machine_->Widgets().front().hardware.fixtures;
    return index < fixtures.size() ? std::dynamic_pointer_cast<sim::RdmResponder>(fixtures[index]) : nullptr;
}

std::shared_ptr<sim::ProgrammedWidget> WidgetRigTest::RigWidget() const
{
    if (!machine_ || machine_->Widgets().empty())
        return nullptr;
    return std::dynamic_pointer_cast<sim::ProgrammedWidget>(machine_->DeviceOf(machine_->Widgets().front()));
}

void WidgetRigTest::MarkLine()
{
    lineMark_ = RigWidget()->LineRequestCount();
}

QList<WidgetRigTest::LineRequest> WidgetRigTest::RequestsOf(const QList<QByteArray>& packets, bool foldResends)
{
    QList<LineRequest> requests;
    QByteArray previous;
    for (const QByteArray& packet : packets) {
        if (packet.size() < 26)
            continue;
        const bool resent = foldResends && packet == previous;
        previous = packet;
        if (resent)
            continue;
        const auto* bytes = reinterpret_cast<const quint8*>(packet.constData());
        requests.append({RDMProtocol::ReadUid(bytes + 3), bytes[20], RDMProtocol::ReadUInt16(bytes + 21),
                         packet.mid(24, bytes[23]), bytes[15]});
    }
    return requests;
}

QList<WidgetRigTest::LineRequest> WidgetRigTest::LineRequests() const
{
    return RequestsOf(RigWidget()->LineRequestsSince(lineMark_), false);
}

QList<WidgetRigTest::LineRequest> WidgetRigTest::LineExchanges(std::optional<quint16> pid) const
{
    const QList<LineRequest> exchanges = RequestsOf(RigWidget()->LineRequestsSince(lineMark_), true);
    return pid ? OfPid(exchanges, *pid) : exchanges;
}

QList<WidgetRigTest::LineRequest> WidgetRigTest::OfPid(QList<LineRequest> requests, quint16 pid)
{
    requests.removeIf([pid](const LineRequest& request) { return request.pid != pid; });
    return requests;
}

QList<quint16> WidgetRigTest::ExchangePids() const
{
    return PidsOf(LineExchanges());
}

QList<quint16> WidgetRigTest::PidsOf(const QList<LineRequest>& requests)
{
    QList<quint16> pids;
    for (const LineRequest& request : requests)
        pids.append(request.pid);
    return pids;
}

QList<WidgetRigTest::LineRequest> WidgetRigTest::LineRequests(quint16 pid) const
{
    return OfPid(LineRequests(), pid);
}

QList<quint16> WidgetRigTest::LinePids() const
{
    return PidsOf(LineRequests());
}

RdmWidget* WidgetRigTest::Widget() const
{
    return manager_ ? manager_->GetWidget() : nullptr;
}

bool WidgetRigTest::RunOnCommandThread(const std::function<void()>& work)
{
    TestCommand command([&](TestCommand&) { work(); });
    return RunCommand(command);
}

bool WidgetRigTest::RunCommand(Command& command)
{
    const QUuid id = command.GetId();
    bool completed = false;
    QObject receiver;
    QObject::connect(manager_, &CommManager::CommandCompleted, &receiver, [&](QUuid done) { completed |= done == id; });
    manager_->QueueCommand(&command);
    // Generous: the work may wait out widget timeouts of its own.
    return PollUntil([&] { return completed; }, 60000);
}

void WidgetRigTest::Quit()
{
    if (!manager_)
        return;
    DeviceManager::DestroyInstance();
    CommManager::DestroyInstance();
    manager_ = nullptr;
}
