#include "machine/Machine.h"
#include "platform/io/DeviceFile.h"
#include "platform/kernel/ObjectNamespace.h"
#include "platform/kernel/Pool.h"
#include "sim/widget/ProgrammedWidget.h"
#include "sim/widget/UnprogrammedWidget.h"
#include "tests/machine/MiniDrivers.h"
#include "tests/sim/ScriptedFixture.h"
#include "tests/sim/WidgetBytes.h"

#include <gtest/gtest.h>

using machine::Machine;
using machine::MachineOptions;
using platform::io::DeviceFile;

namespace {

// Waits that end when the machine has done its part, however loaded the test machine.
constexpr qint64 kCompletes = 600'000;

class MachineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        poolBefore_ = platform::kernel::OutstandingPoolAllocations();
        mini::TakeJournal();
        fixture_ = std::make_shared<ScriptedFixture>();
    }
    void TearDown() override
    {
        machine_.reset();
        EXPECT_EQ(platform::kernel::OutstandingPoolAllocations(), poolBefore_)
            << platform::kernel::DescribeOutstandingPool();
        EXPECT_TRUE(platform::kernel::ObjectNames().empty());
    }

    // The mini drivers, and a registry that knows the test's scripted fixture as "scripted".
    MachineOptions Options(const char* rigJson)
    {
        MachineOptions options;
        options.drivers = {
            {L"miniloader", widget_ids::kUnprogrammedVendorId, widget_ids::kUnprogrammedProductId, &mini::LoaderEntry},
            {L"miniwidget", widget_ids::kWidgetVendorId, widget_ids::kWidgetProductId, &mini::WidgetEntry},
        };
        std::shared_ptr<ScriptedFixture> fixture = fixture_;
        options.fixtureKinds.Register("scripted", [fixture](const QJsonObject&, QString*) { return fixture; });
        QString error;
        options.rig = sim::ParseRig(rigJson, options.fixtureKinds, &error);
        EXPECT_TRUE(options.rig) << error.toStdString();
        return options;
    }

    void Boot(const char* rigJson)
    {
        QString error;
        machine_ = Machine::Boot(Options(rigJson), &error);
        ASSERT_TRUE(machine_) << error.toStdString();
    }

    std::unique_ptr<DeviceFile> OpenWidget()
    {
        platform::io::IoError error;
        auto file = DeviceFile::Open("\\\\.\\MiniWidget", DeviceFile::Access::Write, &error);
        EXPECT_TRUE(file) << error.Text().toStdString();
        return file;
    }

    std::size_t poolBefore_ = 0;
    std::shared_ptr<ScriptedFixture> fixture_;
    std::unique_ptr<Machine> machine_;
};

const char kProgrammedRig[] =
    R"({"widgets": [{"kind": "programmed", "serial": "0042A", "fixtures": [{"kind": "scripted"}]}]})";
const char kUnprogrammedRig[] = R"({"widgets": [{"kind": "unprogrammed", "serial": "12", "fixtures": []}]})";

TEST_F(MachineTest, BootsAndShutsDownManyTimesInOneProcess)
{
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        Boot(kProgrammedRig);
        EXPECT_EQ(mini::TakeJournal(), QStringList({"widget:add", "widget:start"}));
        EXPECT_TRUE(OpenWidget());
        machine_.reset();
        EXPECT_EQ(mini::TakeJournal(),
                  QStringList({"widget:surprise-removal", "widget:remove", "widget:unload"}));
        EXPECT_EQ(platform::kernel::OutstandingPoolAllocations(), poolBefore_)
            << platform::kernel::DescribeOutstandingPool();
    }
}

TEST_F(MachineTest, OneMachineRunsAtATime)
{
    Boot(kProgrammedRig);
    QString error;
    EXPECT_FALSE(Machine::Boot(MachineOptions{}, &error));
    EXPECT_EQ(error, "a machine is already running in this process");
}

TEST_F(MachineTest, TheUnprogrammedWidgetIsLoadedAndComesBackAsTheProgrammedWidget)
{
    Boot(kUnprogrammedRig);
    EXPECT_EQ(mini::TakeJournal(), QStringList({"loader:add", "loader:start", "loader:remove", "loader:unload",
                                                "widget:add", "widget:start"}));
    ASSERT_EQ(machine_->Widgets().size(), 1u);
    auto programmed = std::dynamic_pointer_cast<sim::ProgrammedWidget>(machine_->DeviceOf(machine_->Widgets()[0]));
    ASSERT_TRUE(programmed);
    EXPECT_EQ(programmed->Config().serial, "12");
    EXPECT_EQ(programmed->Line(), machine_->Widgets()[0].hardware.line);
    EXPECT_TRUE(OpenWidget());
}

TEST_F(MachineTest, ARequestCrossesTheWholeStackAndItsLongAnswerComesBack)
{
    Boot(kProgrammedRig);
    const QByteArray request = Pattern(62, 1);
    const QByteArray answer = Pattern(100, 2);
    fixture_->Expect(request, answer);
    auto file = OpenWidget();

    // The reply reader waits first, as the program's reader thread does.
    auto reply = file->DeviceControl(mini::IOCTL_MINI_READ_PIPE, U32(5), 64);
    EXPECT_FALSE(reply->Wait(10));
    for (const QByteArray& message : {QByteArray("R\x00\x00", 3) + request.left(61),
                                      QByteArray("R\x3D\x00", 3) + request.mid(61), QByteArray("T\x3E\x00\x00\x02", 5)}) {
        auto write = file->DeviceControl(mini::IOCTL_MINI_WRITE_PIPE, U32(4), message);
        ASSERT_TRUE(write->Wait(kCompletes));
        EXPECT_EQ(write->Status(), STATUS_SUCCESS);
        EXPECT_EQ(write->BytesTransferred(), quint64(message.size()));
    }
    ASSERT_TRUE(reply->Wait(kCompletes));
    EXPECT_EQ(reply->Status(), STATUS_SUCCESS);
    EXPECT_EQ(reply->Output(), QByteArray("t\x64\x00", 3) + answer.left(61));
    auto rest = file->DeviceControl(mini::IOCTL_MINI_READ_PIPE, U32(5), 64);
    ASSERT_TRUE(rest->Wait(kCompletes));
    EXPECT_EQ(rest->Output(), "u" + answer.mid(61));
    EXPECT_TRUE(fixture_->ScriptUsedUp());
}

TEST_F(MachineTest, AWaitingReadCanBeCancelledAndEndsWhenTheWidgetIsUnplugged)
{
    Boot(kProgrammedRig);
    auto file = OpenWidget();
    auto cancelled = file->DeviceControl(mini::IOCTL_MINI_READ_PIPE, U32(3), 64);
    EXPECT_FALSE(cancelled->Wait(10));
    cancelled->Cancel();
    ASSERT_TRUE(cancelled->Wait(kCompletes));
    EXPECT_EQ(cancelled->Status(), STATUS_CANCELLED);

    auto waiting = file->DeviceControl(mini::IOCTL_MINI_READ_PIPE, U32(3), 64);
    EXPECT_FALSE(waiting->Wait(10));
    mini::TakeJournal();
    machine_->Unplug(machine_->Widgets()[0].port);
    ASSERT_TRUE(waiting->Wait(kCompletes));
    EXPECT_FALSE(NT_SUCCESS(waiting->Status()));
    EXPECT_EQ(mini::TakeJournal(), QStringList({"widget:surprise-removal", "widget:remove", "widget:unload"}));
    EXPECT_EQ(file->DeviceControl(mini::IOCTL_MINI_READ_PIPE, U32(3), 64)->Status(), STATUS_DELETE_PENDING);
    EXPECT_FALSE(DeviceFile::Open("\\\\.\\MiniWidget", DeviceFile::Access::Write));
}

TEST_F(MachineTest, TheDemoRigBootsWithTheStandardFixtures)
{
    qputenv("VELMORA_RIG", VELMORA_DEMO_RIG);
    MachineOptions options;
    QString error;
    ASSERT_TRUE(machine::LoadRigFromEnvironment(&options, &error)) << error.toStdString();
    qunsetenv("VELMORA_RIG");
    ASSERT_TRUE(options.rig);
    ASSERT_EQ(options.rig->widgets.size(), 1u);
    EXPECT_EQ(options.rig->widgets[0].kind, sim::WidgetSpec::Kind::Unprogrammed);
    machine_ = Machine::Boot(std::move(options), &error);
    ASSERT_TRUE(machine_) << error.toStdString();
    EXPECT_EQ(machine_->Widgets()[0].hardware.fixtures.size(), 6u);
    // The firmware loader programs the widget, and the USB driver serves it.
    EXPECT_TRUE(std::dynamic_pointer_cast<sim::ProgrammedWidget>(machine_->DeviceOf(machine_->Widgets()[0])));
    EXPECT_TRUE(DeviceFile::Open("\\\\.\\qex_usb_dev00", DeviceFile::Access::Write));
}

TEST_F(MachineTest, ABadRigFileIsReportedWithItsPath)
{
    qputenv("VELMORA_RIG", "/nonexistent/rig.json");
    MachineOptions options;
    QString error;
    EXPECT_FALSE(machine::LoadRigFromEnvironment(&options, &error));
    qunsetenv("VELMORA_RIG");
    EXPECT_TRUE(error.startsWith("VELMORA_RIG: /nonexistent/rig.json: ")) << error.toStdString();
}

} // namespace
