#include "app/devices/DeviceDelegates.h"
#include "app/devices/DeviceGui.h"
#include "app/devices/DeviceNodes.h"
#include "app/devices/DeviceViews.h"
#include "app/shell/MainWindowParts.h"
#include "app/tree/ContentNodes.h"
#include "app/tree/NodeTree.h"
#include "firmware/TarvoDevice.h"
#include "fixtures/QelRDM.h"
#include "fixtures/tree/QelRDMContentGroup.h"
#include "link/devices/DeviceManager.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/UiDriver.h"

#include <QAbstractItemModelTester>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QStackedWidget>
#include <gtest/gtest.h>

using app_test::UiDriver;

namespace {

std::unique_ptr<RDMDevice> Rdm(quint32 id, const QString& model)
{
    auto device = std::make_unique<RDMDevice>();
    device->SetUniqueId(id, 0x7FF0);
    device->SetModelDescription(model);
    return device;
}

// The navigation tree with the device rows' controllers and a "Devices" row over the
// registry (empty: the rows' devices are made by the test and added to the row directly).
class DeviceTreeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterDeviceGui();
        tree_ = std::make_unique<NodeTree>(nullptr, &stack_);
        tester_ = std::make_unique<QAbstractItemModelTester>(tree_->model());
        root_ = new DeviceManagerNode(DeviceManager::Instance());
        tree_->AddNode(root_);
        tree_->resize(400, 300);
        tree_->show();
        tree_->expandAll();
    }
    void TearDown() override
    {
        tester_.reset();
        tree_.reset();
        MainWindowParts::Reset();
        DeviceManager::DestroyInstance();
    }

    QStringList Rows(int column = 0) const
    {
        QStringList texts;
        for (int row = 0; row < root_->rowCount(); ++row)
            texts << root_->child(row, column)->text();
        return texts;
    }
    // The entries of the context menu of the row at `row`, or nothing when none opens.
    std::optional<QStringList> MenuOf(int row, int column = 0)
    {
        std::optional<QStringList> entries;
        UiDriver ui;
        ui.Then<QMenu>([&](QMenu* menu) {
            entries = app_test::EntryTexts(*menu);
            menu->close();
        });
        const QModelIndex index = root_->child(row, column)->index();
        tree_->scrollTo(index);
        const QPoint at = tree_->visualRect(index).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree_->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree_->viewport(), &event);
        if (!entries)
            ui.Drop();
        return entries;
    }

    QStackedWidget stack_;
    std::unique_ptr<NodeTree> tree_;
    std::unique_ptr<QAbstractItemModelTester> tester_;
    DeviceManagerNode* root_ = nullptr;
};

} // namespace

TEST_F(DeviceTreeTest, RowsAreSortedByModelNameANewRowAboveItsEqualsAndRemovedOneByOne)
{
    const auto b = Rdm(0x201, "B");
    const auto a1 = Rdm(0x202, "A");
    const auto a2 = Rdm(0x203, "A");
    root_->AddDeviceNode(b.get());
    root_->AddDeviceNode(a1.get());
    EXPECT_EQ(Rows(), (QStringList{"A (0x7ff000000202)", "B (0x7ff000000201)"}));
    root_->AddDeviceNode(a2.get());
    EXPECT_EQ(Rows(), (QStringList{"A (0x7ff000000203)", "A (0x7ff000000202)", "B (0x7ff000000201)"}));

    root_->RemoveDeviceNode(a1.get());
    EXPECT_EQ(Rows(), (QStringList{"A (0x7ff000000203)", "B (0x7ff000000201)"}));
    EXPECT_EQ(root_->text(), "Devices");
    EXPECT_TRUE(root_->font().bold());
}

TEST_F(DeviceTreeTest, AFixtureRowShowsLabelOrUniqueIdAndAddressBadgeAndFollowsItsDevice)
{
    BrevantRDM labelled;
    labelled.SetUniqueId(0x101, 0x7FF0);
    labelled.SetDeviceLabel("Stage left");
    labelled.SetDmxStartAddress(17);
    BrevantRDM unlabelled;
    unlabelled.SetUniqueId(0x102, 0x7FF0);
    root_->AddDeviceNode(&labelled);
    root_->AddDeviceNode(&unlabelled);
    EXPECT_EQ(Rows(), (QStringList{"BREVANT (0x7ff000000102)", "BREVANT (Stage left)"}));
    EXPECT_EQ(Rows(1), (QStringList{"", "17"}));

    QStandardItem* badge = root_->child(1, 1);
    EXPECT_EQ(badge->data(Qt::UserRole).value<QColor>(), QColor(96, 96, 96));
    EXPECT_EQ(badge->data(Qt::UserRole + 1).value<QColor>(), QColor(Qt::black));
    EXPECT_EQ(badge->data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::white));
    EXPECT_EQ(badge->data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight));

    // A later discovery brings a new label; an acknowledged address change a new address.
    BrevantRDM fresh;
    fresh.SetUniqueId(0x101, 0x7FF0);
    fresh.SetDeviceLabel("Stage centre");
    fresh.SetDmxStartAddress(17);
    labelled.TakeValuesFrom(fresh);
    labelled.SetDmxStartAddress(18);
    EXPECT_EQ(Rows(), (QStringList{"BREVANT (0x7ff000000102)", "BREVANT (Stage centre)"}));
    EXPECT_EQ(Rows(1), (QStringList{"", "18"}));
}

TEST_F(DeviceTreeTest, AFamilyFixturesRowHoldsTheRowsOfItsContentGroups)
{
    BrevantRDM fixture;
    fixture.SetUniqueId(0x101, 0x7FF0);
    root_->AddDeviceNode(&fixture);
    QStandardItem* row = root_->child(0, 0);
    const QList<ContentFolder*> groups = {fixture.StockGroup(), fixture.UserGroup(), fixture.MosavraGroup()};
    ASSERT_EQ(row->rowCount(), groups.size());
    for (int i = 0; i < groups.size(); ++i) {
        const auto* cell = ContentFolderNode::From(row->child(i, 0));
        ASSERT_NE(cell, nullptr) << i;
        EXPECT_EQ(cell->Folder(), groups[i]) << i;
        EXPECT_NE(ContentFolderNode::From(row->child(i, 1)), nullptr) << "a badge beside it";
    }
}

TEST_F(DeviceTreeTest, OnlyRdmFixturesHaveTheDeviceActionsAndTheFamiliesTheMosavraAddress)
{
    BrevantRDM family;
    family.SetUniqueId(0x101, 0x7FF0);
    const auto plain = Rdm(0x301, "Dimmer");
    TarvoDevice lamp;
    lamp.SetUniqueId(0xC0FFEE, 0);
    root_->AddDeviceNode(&family);
    root_->AddDeviceNode(plain.get());
    root_->AddDeviceNode(&lamp);
    const QStringList rows = Rows();
    const int familyRow = int(rows.indexOf("BREVANT (0x7ff000000101)"));
    const int plainRow = int(rows.indexOf("Dimmer (0x7ff000000301)"));
    const int lampRow = int(rows.indexOf(QRegularExpression(".*\\(0xc0ffee\\)")));
    ASSERT_GE(familyRow, 0);
    ASSERT_GE(plainRow, 0);
    ASSERT_GE(lampRow, 0) << rows.join(", ").toStdString();

    const QStringList familyEntries{"Change DMX Address", "Enable Identify", "-", "Set Mosavra Address"};
    EXPECT_EQ(MenuOf(familyRow), familyEntries);
    EXPECT_EQ(MenuOf(familyRow, 1), familyEntries) << "the address cell has the same menu";
    family.SetIdentify(true);
    EXPECT_EQ(MenuOf(plainRow), (QStringList{"Change DMX Address", "Enable Identify"}));
    EXPECT_EQ(MenuOf(familyRow)->value(1), "Disable Identify");
    EXPECT_EQ(MenuOf(lampRow), std::nullopt);
}

TEST_F(DeviceTreeTest, SelectingRowsShowsTheListOrTheFixturesTable)
{
    BrevantRDM fixture;
    fixture.SetUniqueId(0x101, 0x7FF0);
    fixture.SetDmxStartAddress(17);
    root_->AddDeviceNode(&fixture);
    tree_->setCurrentIndex(root_->index());
    auto* list = qobject_cast<DeviceListView*>(stack_.currentWidget());
    ASSERT_NE(list, nullptr);
    QStringList headers;
    for (int column = 0; column < list->model()->columnCount(); ++column)
        headers << list->model()->headerData(column, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{"Unique ID", "Device Name", "Protocol", "Manufacturer", "Model", "Version",
                                    "Dmx Address"}));
    EXPECT_FALSE(list->verticalHeader()->isVisible());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::NoSelection);

    tree_->setCurrentIndex(root_->child(0, 1)->index());
    auto* table = qobject_cast<DeviceView*>(stack_.currentWidget());
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->ShownUid(), 0x7FF0'0000'0101ull);
    const QModelIndexList address =
        table->model()->match(table->model()->index(0, 0), Qt::DisplayRole, "Dmx Start Address", 1, Qt::MatchExactly);
    ASSERT_EQ(address.size(), 1);
    EXPECT_EQ(address.first().siblingAtColumn(1).data().toString(), "17");
}
