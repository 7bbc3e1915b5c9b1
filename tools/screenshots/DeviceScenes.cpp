#include "tools/screenshots/DeviceScenes.h"

#include "app/devices/DeviceNodes.h"
#include "app/shell/VelmoraMainWindow.h"
#include "app/tasks/TaskInfoDialog.h"
#include "app/tasks/TaskItem.h"
#include "app/tasks/TaskView.h"
#include "app/tree/NodeTree.h"
#include "link/devices/Device.h"
#include "tools/screenshots/Shooting.h"

#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

// The name cell of the fixture `uid` below the "Devices" row, made visible.
QModelIndex FixtureRow(VelmoraMainWindow& window, quint64 uid)
{
    NodeTree* tree = window.Tree();
    QStandardItem* devices = tree->Model()->itemFromIndex(window.DevicesRow());
    for (int row = 0; devices && row < devices->rowCount(); ++row) {
        const auto* cell = DeviceNode::From(devices->child(row, 0));
        if (cell && cell->GetDevice() && cell->GetDevice()->GetUniqueId() == uid) {
            tree->expand(window.DevicesRow());
            tree->scrollTo(cell->index());
            // Let the expansion's animation end before the row is clicked.
            QTest::qWait(500);
            return cell->index();
        }
    }
    std::fprintf(stderr, "no row for the fixture %llx\n", static_cast<unsigned long long>(uid));
    return {};
}

bool Click(NodeTree* tree, const QModelIndex& index)
{
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(index).center());
    return tree->currentIndex() == index;
}

// The demo rig's first fixture of the first LED family, "Stage left".
constexpr quint64 kStageLeft = 0x7FF0'0000'0101ull;

} // namespace

bool TakeDeviceScenes(VelmoraMainWindow& window, const SaveScene& save)
{
    NodeTree* tree = window.Tree();
    if (!Click(tree, window.DevicesRow()) || !save(QStringLiteral("devices.png"), Grab(window)))
        return false;
    const QModelIndex stageLeft = FixtureRow(window, kStageLeft);
    if (!stageLeft.isValid() || !Click(tree, stageLeft)) {
        std::fprintf(stderr, "the fixture's row could not be opened\n");
        return false;
    }
    if (!save(QStringLiteral("device.png"), Grab(window)))
        return false;

    const QPixmap menu = GrabContextMenu(window, *tree, tree->visualRect(stageLeft).center());
    if (menu.isNull()) {
        std::fprintf(stderr, "the fixture's menu did not open\n");
        return false;
    }
    return save(QStringLiteral("menu.png"), menu);
}

bool TakeTaskScenes(VelmoraMainWindow& window, const SaveScene& save)
{
    auto* tasks = dynamic_cast<TaskView*>(window.TaskList());
    if (!tasks) {
        std::fprintf(stderr, "the window has no task list\n");
        return false;
    }
    const auto tile = [tasks](const QString& title, TaskItem::State state) {
        auto* item = new TaskItem;
        item->setTitle(title);
        tasks->AddTask(item);
        // Kept for the picture: a clean finish would go two seconds later.
        QObject::disconnect(item, &TaskItem::stale, tasks, nullptr);
        item->setState(state);
        return item;
    };
    tile(QStringLiteral("Identify Device"), TaskItem::Queued)->addText(QStringLiteral("Identifying 0x7ff000000101"));
    TaskItem* upgrade = tile(QStringLiteral("BREVANT Firmware Upgrade"), TaskItem::Running);
    upgrade->setProgressGoal(4);
    upgrade->setProgressCurrent(1);
    upgrade->addText(QStringLiteral("Writing the graphics board"));
    tile(QStringLiteral("Fixture Discovery"), TaskItem::Running)->addText(QStringLiteral("RDM Discovery: Searching"));
    TaskItem* warned = tile(QStringLiteral("Set Mosavra Address"), TaskItem::Running);
    warned->addText(QStringLiteral("Set Mosavra Address for 140668768878849 to 300"));
    warned->addText(QStringLiteral("Warning: the fixture answered late"), TaskItem::Warning);
    TaskItem* failed = tile(QStringLiteral("Change DMX Address"), TaskItem::Running);
    failed->addText(QStringLiteral("Setting address 42"));
    failed->addText(QStringLiteral("Error: Set Dmx address failed for 0x7ff000000102!"), TaskItem::Error);
    failed->setState(TaskItem::Finished);
    TaskItem* done = tile(QStringLiteral("Tarvo Firmware Upgrade"), TaskItem::Running);
    done->addText(QStringLiteral("Upgrade Completed!"));
    done->setState(TaskItem::Finished);
    QTest::qWait(100);
    if (!save(QStringLiteral("tasks.png"), Grab(window)))
        return false;

    TaskInfoDialog log(&window, failed);
    log.show();
    if (!QTest::qWaitForWindowExposed(&log)) {
        std::fprintf(stderr, "the log was never shown\n");
        return false;
    }
    const bool saved = save(QStringLiteral("task-log.png"), Grab(log));
    log.close();
    return saved;
}
