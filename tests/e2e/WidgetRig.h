#pragma once

#include "machine/Machine.h"
#include "sim/fixtures/RdmResponder.h"
#include "sim/line/DmxLine.h"
#include "sim/widget/ProgrammedWidget.h"
#include "tests/drivers/DriverTestSupport.h"
#include "tests/sim/ScriptedFixture.h"

#include <QUuid>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

class Command;
class CommManager;
class RdmWidget;

// The program's link against the simulated computer: a machine running the project's
// drivers (its default binding table) with one programmed widget plugged in, a scripted fixture on that widget's line,
// and the process-wide CommManager made on top of it, which finds and opens the widget
// through qex_usb as the program does.
//
// Two ways to plug the widget in: BootRig() boots the machine from a rig file whose
// fixture kind "scripted" is the test's ScriptedFixture; BootTappedWidget() boots an empty
// machine and plugs in a programmed widget wrapped in a tap that records every USB
// transfer, so that a test can check the exact messages on each endpoint.
//
// TearDown destroys the manager (stopping its thread and closing the widget), shuts the
// machine down and checks that the kernel's pool and names are as they were: a leaked
// request or handle anywhere along the link fails the test that leaked it.
class WidgetRigTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Each boots the machine and then makes the CommManager.
    void BootRig(const char* rigJson);
    // BootRig with one programmed widget (version 1.2) whose line holds `fixtures`: rig-file
    // fixture objects, separated by commas.
    void BootFixtures(const QString& fixtures);
    void BootTappedWidget(const sim::WidgetConfig& config = DefaultConfig());
    // The same with a widget of the test's own (its line gets the scripted fixture).
    void BootTappedWidget(std::shared_ptr<sim::ProgrammedWidget> widget);
    // A machine with nothing plugged in.
    void BootEmpty();
    static sim::WidgetConfig DefaultConfig(); // version {1, 2}

    machine::Machine& Machine() { return *machine_; }
    CommManager& Manager() { return *manager_; }
    RdmWidget* Widget() const;
    ScriptedFixture& Fixture() { return *fixture_; }
    sim::DmxLine& Line() { return *line_; }
    // The fixture a rig file put at `index` on the first widget's line, as an E1.20
    // responder (null for other kinds).
    std::shared_ptr<sim::RdmResponder> RigResponder(std::size_t index) const;
    // The programmed widget now on the rig's first port (null while it is away, and for
    // the tapped widget).
    std::shared_ptr<sim::ProgrammedWidget> RigWidget() const;
    // The tap of BootTappedWidget, and the port the widget is on (either way).
    drivers_test::TappedDevice& Tap() { return *tap_; }
    platform::usb::UsbBus::PortId Port() const { return port_; }

    // One RDM request the widget put on the line.
    struct LineRequest
    {
        quint64 destination = 0;
        quint8 commandClass = 0;
        quint16 pid = 0;
        QByteArray data;
        quint8 transaction = 0;
    };
    // The RDM requests from now on are what LineRequests gives (all since boot before).
    void MarkLine();
    QList<LineRequest> LineRequests() const;
    QList<LineRequest> LineRequests(quint16 pid) const;
    // The PIDs of LineRequests(), in order.
    QList<quint16> LinePids() const;
    // The exchanges: the requests with each one the engine sent again unchanged (its reply
    // did not come in time; same transaction number) counted once. What a test counts here
    // does not depend on how fast a loaded machine carried the replies.
    QList<LineRequest> LineExchanges(std::optional<quint16> pid = std::nullopt) const;
    QList<quint16> ExchangePids() const;

    // Runs `work` as a queued command on the command thread and waits for its
    // CommandCompleted; false if it never completed.
    bool RunOnCommandThread(const std::function<void()>& work);
    // Queues `command` and waits for its CommandCompleted; false if it never completed.
    bool RunCommand(Command& command);
    // Destroys the device registry, if one was made, and the manager now (what quitting
    // the program does); TearDown then skips it.
    void Quit();

private:
    // The requests among `packets`; with `foldResends`, one sent again unchanged right after
    // itself is left out.
    static QList<LineRequest> RequestsOf(const QList<QByteArray>& packets, bool foldResends);
    static QList<LineRequest> OfPid(QList<LineRequest> requests, quint16 pid);
    static QList<quint16> PidsOf(const QList<LineRequest>& requests);
    void BootMachine(); // with nothing plugged in, and no manager yet
    void StartManager();

    std::size_t poolBefore_ = 0;
    quint64 lineMark_ = 0;
    std::shared_ptr<ScriptedFixture> fixture_;
    std::unique_ptr<machine::Machine> machine_;
    std::shared_ptr<sim::DmxLine> line_;
    std::shared_ptr<drivers_test::TappedDevice> tap_;
    platform::usb::UsbBus::PortId port_ = 0;
    CommManager* manager_ = nullptr;
};
