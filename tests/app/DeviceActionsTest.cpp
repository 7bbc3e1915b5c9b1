#include "app/devices/DeviceDelegates.h"
#include "app/devices/DeviceNodes.h"
#include "app/devices/DeviceViews.h"
#include "app/shell/MainWindowParts.h"
#include "app/shell/ProgramSession.h"
#include "app/shell/VelmoraMainWindow.h"
#include "app/tasks/TaskItem.h"
#include "app/tasks/TaskView.h"
#include "app/tree/NodeTree.h"
#include "fixtures/QelParameters.h"
#include "link/devices/DeviceManager.h"
#include "link/devices/RDMDevice.h"
#include "link/rdm/RdmDefs.h"
#include "link/ui/NumberDialog.h"
#include "link/ui/Preferences.h"
#include "sim/fixtures/QelFixture.h"
#include "tests/app/UiDriver.h"
#include "tests/common/TestEnvironment.h"
#include "tests/e2e/WidgetRig.h"
#include "tests/link/PollUntil.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QStackedWidget>
#include <gtest/gtest.h>

using app_test::UiDriver;

namespace {

constexpr quint64 k101 = 0x7FF0'0000'0101ull;
constexpr quint64 k102 = 0x7FF0'0000'0102ull;
constexpr quint64 k301 = 0x7FF0'0000'0301ull;
// Where the rig puts them on the line.
constexpr std::size_t kAt101 = 0;
constexpr std::size_t kAt102 = 1;
constexpr std::size_t kAt301 = 4;

constexpr const char* kRig = R"({ "widgets": [ { "kind": "programmed", "version": [1, 2], "fixtures": [
    { "kind": "brevant", "uid": "7ff0:00000101", "label": "Stage left", "startAddress": 17, "mosavraAddress": 7,
      "content": { "folders": [ { "number": 45, "name": "Shows", "files": [
          { "number": 3, "name": "Dawn" }, { "number": 4, "name": "Dusk" } ] } ] } },
    { "kind": "brevant", "uid": "7ff0:00000102", "mosavraAddress": 12 },
    { "kind": "cindral", "uid": "7ff0:00000201" },
    { "kind": "tarvo-lamp", "id": "00c0ffee", "deviceType": 3 },
    { "kind": "rdm-responder", "uid": "7ff0:00000301", "startAddress": 100 } ] } ] })";

// The program's window on the rig above, its fixtures discovered; the device actions are
// reached through the fixture rows' context menus, as a user reaches them.
class DeviceActionsTest : public WidgetRigTest
{
protected:
    void SetUp() override
    {
        WidgetRigTest::SetUp();
        Preferences::SetFolder(testing_env::TemporaryRoot());
        BootRig(kRig);
        RegisterProgramParts();
        window_ = std::make_unique<VelmoraMainWindow>();
        window_->resize(900, 700);
        window_->show();
        ASSERT_TRUE(PollUntil([] { return DeviceManager::Instance()->Devices().size() == 5; }, 30000));
        tasks_ = dynamic_cast<TaskView*>(window_->TaskList());
        ASSERT_NE(tasks_, nullptr);
    }
    void TearDown() override
    {
        window_.reset();
        MainWindowParts::Reset();
        Quit();
        WidgetRigTest::TearDown();
    }

    QStandardItem* Devices() const { return window_->Tree()->Model()->itemFromIndex(window_->DevicesRow()); }
    // The name cell of the fixture `uid`; null while it has no row.
    QStandardItem* Row(quint64 uid) const
    {
        for (int row = 0; row < Devices()->rowCount(); ++row) {
            const auto* cell = DeviceNode::From(Devices()->child(row, 0));
            if (cell && cell->GetDevice() && cell->GetDevice()->GetUniqueId() == uid)
                return Devices()->child(row, 0);
        }
        return nullptr;
    }
    QString AddressCell(quint64 uid) const
    {
        QStandardItem* row = Row(uid);
        return row ? Devices()->child(row->row(), 1)->text() : QStringLiteral("(no row)");
    }
    // Opens the fixture's context menu with a right click on its row.
    void RightClick(quint64 uid)
    {
        NodeTree* tree = window_->Tree();
        QStandardItem* row = Row(uid);
        ASSERT_NE(row, nullptr);
        tree->expand(window_->DevicesRow());
        tree->scrollTo(row->index());
        const QPoint at = tree->visualRect(row->index()).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree->viewport(), &event);
    }
    void Select(quint64 uid)
    {
        QStandardItem* row = Row(uid);
        ASSERT_NE(row, nullptr);
        window_->Tree()->setCurrentIndex(row->index());
    }
    // The value of the parameter `caption` in the table shown now.
    QString Parameter(const QString& caption) const
    {
        auto* table = qobject_cast<DeviceView*>(window_->ViewStack()->currentWidget());
        if (!table)
            return QStringLiteral("(no table)");
        QAbstractItemModel* model = table->model();
        const QModelIndexList found = model->match(model->index(0, 0), Qt::DisplayRole, caption, 1, Qt::MatchExactly);
        return found.isEmpty() ? QStringLiteral("(no row)") : found.first().siblingAtColumn(1).data().toString();
    }
    // The tiles titled `title`.
    QList<TaskItem*> Tiles(const QString& title) const
    {
        QList<TaskItem*> tiles;
        for (TaskItem* tile : tasks_->Tasks()) {
            if (tile->Title() == title)
                tiles << tile;
        }
        return tiles;
    }
    // Chooses `entry` of the fixture's menu and answers its address dialog with `typed`
    // (cancels it when empty); the number the dialog opened with.
    QString AnswerAddress(quint64 uid, const QString& entry, const QString& typed,
                          const std::function<void()>& whileOpen = {})
    {
        QString opened;
        UiDriver ui;
        ui.Then<QMenu>([&](QMenu* menu) { UiDriver::Choose(menu, entry); });
        ui.Then<AddressDialog>([&](AddressDialog* dialog) {
            auto* edit = dialog->findChild<QLineEdit*>();
            opened = edit->text();
            if (whileOpen)
                whileOpen();
            if (typed.isEmpty()) {
                dialog->reject();
                return;
            }
            QTest::keyClicks(edit, typed);
            QTest::keyClick(edit, Qt::Key_Return);
        });
        RightClick(uid);
        return opened;
    }
    void ChooseEntry(quint64 uid, const QString& entry)
    {
        UiDriver ui;
        ui.Then<QMenu>([&](QMenu* menu) { UiDriver::Choose(menu, entry); });
        RightClick(uid);
    }
    QList<QByteArray> SetsOf(quint16 pid, quint64 destination) const
    {
        QList<QByteArray> data;
        for (const LineRequest& request : LineRequests(pid)) {
            if (request.destination == destination && request.commandClass == 0x30)
                data << request.data;
        }
        return data;
    }
    // The fixture at `index` stops answering anything, discovery included.
    void Silence(std::size_t index)
    {
        for (quint16 pid : {quint16(rdm::PidDiscUniqueBranch), quint16(rdm::PidDiscMute)})
            RigResponder(index)->InjectFault(sim::ResponderFault::Silence().ForPid(pid).Always());
        RigResponder(index)->InjectFault(sim::ResponderFault::Silence().Always());
    }
    bool WaitForTileToGo(const QString& title)
    {
        return PollUntil([&] { return Tiles(title).isEmpty(); }, 30000);
    }

    std::unique_ptr<VelmoraMainWindow> window_;
    TaskView* tasks_ = nullptr;
};

} // namespace

TEST_F(DeviceActionsTest, TheListShowsEveryFixtureInUniqueIdOrder)
{
    window_->Tree()->setCurrentIndex(window_->DevicesRow());
    auto* list = qobject_cast<DeviceListView*>(window_->ViewStack()->currentWidget());
    ASSERT_NE(list, nullptr);
    QStringList uids;
    QStringList protocols;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        uids << list->model()->index(row, 0).data().toString();
        protocols << list->model()->index(row, 2).data().toString();
    }
    EXPECT_EQ(uids, (QStringList{"c0ffee", "7ff000000101", "7ff000000102", "7ff000000201", "7ff000000301"}));
    EXPECT_EQ(protocols, (QStringList{"QRV", "RDM", "RDM", "RDM", "RDM"}));
    EXPECT_EQ(list->model()->index(1, 1).data().toString(), "Stage left");
    EXPECT_EQ(list->model()->index(4, 6).data().toString(), "100");

    // A "Devices" row made now has the rows of the fixtures registered already.
    DeviceManagerNode later(DeviceManager::Instance());
    EXPECT_EQ(later.rowCount(), 5);
}

TEST_F(DeviceActionsTest, ChangingTheAddressReachesTheFixtureAndUpdatesRowTableAndTile)
{
    Select(k301);
    MarkLine();
    EXPECT_EQ(AnswerAddress(k301, "Change DMX Address", "42"), "100");
    ASSERT_EQ(Tiles("Change DMX Address").size(), 1);
    ASSERT_TRUE(PollUntil([&] { return RigResponder(kAt301)->State().startAddress == 42; }, 30000));
    EXPECT_EQ(SetsOf(rdm::PidDmxStartAddress, k301), QList<QByteArray>{QByteArray("\x00\x2A", 2)});
    ASSERT_TRUE(PollUntil([&] { return AddressCell(k301) == "42"; }));
    ASSERT_TRUE(PollUntil([&] { return Parameter("Dmx Start Address") == "42"; }));
    // The tile finishes cleanly and goes.
    EXPECT_TRUE(WaitForTileToGo("Change DMX Address"));
}

TEST_F(DeviceActionsTest, IdentifyTogglesAndTheMosavraAddressReachesAFamilyFixture)
{
    Select(k101);
    ChooseEntry(k101, "Enable Identify");
    ASSERT_TRUE(PollUntil([&] { return RigResponder(kAt101)->State().identify; }, 30000));
    ASSERT_TRUE(PollUntil([&] { return Parameter("Identify") == "On"; }));
    QStringList entries;
    UiDriver ui;
    ui.Then<QMenu>([&](QMenu* menu) {
        for (QAction* action : menu->actions())
            entries << action->text();
        menu->close();
    });
    RightClick(k101);
    EXPECT_EQ(entries.value(1), "Disable Identify");

    EXPECT_EQ(AnswerAddress(k101, "Set Mosavra Address", "300"), "7");
    const auto fixture = std::dynamic_pointer_cast<sim::QelFixture>(RigResponder(kAt101));
    ASSERT_TRUE(PollUntil([&] { return fixture->FamilyState().mosavraAddress == 300; }, 30000));
    ASSERT_TRUE(PollUntil([&] { return Parameter("Mosavra Address") == "300"; }));
    EXPECT_TRUE(WaitForTileToGo("Set Mosavra Address"));
}

TEST_F(DeviceActionsTest, ACancelledDialogQueuesNothing)
{
    MarkLine();
    EXPECT_EQ(AnswerAddress(k301, "Change DMX Address", ""), "100");
    EXPECT_EQ(AnswerAddress(k102, "Set Mosavra Address", ""), "12");
    EXPECT_TRUE(Tiles("Change DMX Address").isEmpty());
    EXPECT_TRUE(Tiles("Set Mosavra Address").isEmpty());
    // Whatever else is on the line meanwhile (the fixtures' content being read), no SET.
    QCoreApplication::processEvents();
    EXPECT_TRUE(SetsOf(rdm::PidDmxStartAddress, k301).isEmpty());
    EXPECT_TRUE(SetsOf(qel::PidMosavraAddress, k102).isEmpty());
}

TEST_F(DeviceActionsTest, AFixtureThatLeavesAndReturnsWhileItsDialogIsOpenGetsNothing)
{
    MarkLine();
    const auto silence102 = [this] {
        Silence(kAt102);
        window_->OnDiscover();
        ASSERT_TRUE(PollUntil([&] { return !Row(k102); }, 30000));
        RigResponder(kAt102)->ClearFaults();
        window_->OnDiscover();
        ASSERT_TRUE(PollUntil([&] { return Row(k102) != nullptr; }, 30000));
    };
    AnswerAddress(k102, "Change DMX Address", "5", silence102);
    EXPECT_TRUE(Tiles("Change DMX Address").isEmpty());
    EXPECT_TRUE(SetsOf(rdm::PidDmxStartAddress, k102).isEmpty());
    EXPECT_EQ(RigResponder(kAt102)->State().startAddress, 1);
}

TEST_F(DeviceActionsTest, AnIdentifyWhoseFixtureLeftEndsItsTileAndLeavesTheTableAlone)
{
    Select(k102);
    ASSERT_EQ(qobject_cast<DeviceView*>(window_->ViewStack()->currentWidget())->ShownUid(), k102);
    // The discovery that drops the silent fixture runs before its identify.
    Silence(kAt102);
    UiDriver ui;
    ui.Then<QMenu>([&](QMenu* menu) {
        window_->OnDiscover();
        UiDriver::Choose(menu, "Enable Identify");
    });
    RightClick(k102);
    ASSERT_EQ(Tiles("Identify Device").size(), 1);
    QPointer<TaskItem> tile = Tiles("Identify Device").first();
    ASSERT_TRUE(PollUntil([&] { return tile && tile->GetState() == TaskItem::Finished; }, 30000));
    EXPECT_EQ(tile->GetSeverity(), TaskItem::Error);
    EXPECT_EQ(Row(k102), nullptr);
    auto* table = qobject_cast<DeviceView*>(window_->ViewStack()->currentWidget());
    EXPECT_TRUE(!table || table->ShownUid() != k102) << "the table moved on with the tree";

    // Back on the line: a new row.
    RigResponder(kAt102)->ClearFaults();
    window_->OnDiscover();
    ASSERT_TRUE(PollUntil([&] { return Row(k102) != nullptr; }, 30000));
    EXPECT_FALSE(RigResponder(kAt102)->State().identify);
}

TEST_F(DeviceActionsTest, AFinishWhileAnotherFixturesTableIsShownLeavesThatTable)
{
    Select(k301);
    ChooseEntry(k101, "Enable Identify");
    ASSERT_EQ(Tiles("Identify Device").size(), 1);
    QPointer<TaskItem> tile = Tiles("Identify Device").first();
    ASSERT_TRUE(PollUntil([&] { return RigResponder(kAt101)->State().identify; }, 30000));
    ASSERT_TRUE(PollUntil([&] { return !tile || tile->GetState() == TaskItem::Finished; }, 30000));
    EXPECT_EQ(Parameter("Unique ID"), "0x7ff000000301");
    EXPECT_EQ(Parameter("Identify"), "Off");
}

TEST_F(DeviceActionsTest, ACommandStillQueuedWhenTheWindowGoesIsDeletedOnceItCompleted)
{
    // The family fixtures' content is still being read: the identify waits behind it.
    ChooseEntry(k301, "Enable Identify");
    window_.reset();
    ASSERT_TRUE(PollUntil([&] { return RigResponder(kAt301)->State().identify; }, 30000));
    // The queue goes on without the window; the command goes with its completion.
    QCoreApplication::processEvents();
}
