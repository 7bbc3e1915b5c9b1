#include "app/devices/DeviceNodes.h"
#include "app/tree/ContentNodes.h"
#include "content/policies/NamedPolicies.h"
#include "library/mosavra/MosavraContentLibraryFolder.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"
#include "link/devices/RDMDevice.h"
#include "tests/common/ModalDialogDriver.h"
#include "tests/content/MemoryFolders.h"
#include "tests/library/LibraryTestSupport.h"
#include "tests/link/PollUntil.h"

#include <QMessageBox>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

// A user library: root ⊃ package "Show" (BREVANT) ⊃ folder "Shows" at 45.
class ContentNodesTest : public ::testing::Test
{
protected:
    ContentNodesTest() : root_(RootContentPolicy::Instance(), "User Content")
    {
        show_ = root_.AddFolder("Show", 0, BREVANTContentPackagePolicy::Instance());
        shows_ = show_->AddFolder("Shows", 45, BREVANTContentFolderPolicy::Instance());
    }
    ~ContentNodesTest() override { MemoryLink::Instance().Drain(); }

    // The row of `folder` as the tree shows it under its parent's name cell.
    QList<QStandardItem*> Row(ContentFolder* folder)
    {
        QList<QStandardItem*> cells;
        MakeContentFolderRow(cells, folder);
        model_.appendRow(cells);
        return cells;
    }
    static QStringList ChildTexts(QStandardItem* cell)
    {
        QStringList texts;
        for (int row = 0; row < cell->rowCount(); ++row)
            texts << cell->child(row, 0)->text() + "|" + cell->child(row, 1)->text();
        return texts;
    }

    QStandardItemModel model_;
    MemoryFolder root_;
    MemoryFolder* show_;
    MemoryFolder* shows_;
};

} // namespace

TEST_F(ContentNodesTest, NamesCarryTheFamilyInALibraryAndAddressesShowAsBadges)
{
    const QList<QStandardItem*> show = Row(show_);
    EXPECT_EQ(show[0]->text(), "Show (BREVANT)");
    EXPECT_EQ(show[1]->text(), "") << "address 0: no badge";
    EXPECT_EQ(ChildTexts(show[0]), QStringList{"Shows |45"});
    EXPECT_EQ(show[1]->data(Qt::UserRole).value<QColor>(), QColor(96, 96, 96));
    EXPECT_EQ(show[1]->data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::white));

    MemoryFolder stock(StandardStockContentPolicy::Instance(), "Stock Content");
    MemoryFolder* colours = stock.AddFolder("Colours", 1, BREVANTContentPackagePolicy::Instance());
    EXPECT_EQ(Row(colours)[0]->text(), "Colours");

    // Renames and renumbering follow the folder.
    ASSERT_TRUE(show_->ModifyChild(shows_, "Encores", 46, nullptr));
    EXPECT_EQ(ChildTexts(show[0]), QStringList{"Encores |46"});
}

TEST_F(ContentNodesTest, FoldersAddedOnAnotherThreadAppearAndRemovalsTakeEveryRowOfTheFolder)
{
    const QList<QStandardItem*> show = Row(show_);
    show_->SetAnswer(MemoryFolder::Answer::Later);
    ASSERT_TRUE(show_->CreateFolder("Trees", 46, 0, nullptr));
    ASSERT_TRUE(PollUntil([&] { return show[0]->rowCount() == 2; }));
    EXPECT_EQ(ChildTexts(show[0]), (QStringList{"Shows |45", "Trees |46"}));

    // A second row bound to "Shows" (as two views of one folder would have).
    QList<QStandardItem*> again;
    MakeContentFolderRow(again, shows_);
    show[0]->appendRow(again);
    ASSERT_TRUE(show_->RemoveChild(shows_, nullptr));
    ASSERT_TRUE(PollUntil([&] { return show[0]->rowCount() == 1; }));
    EXPECT_EQ(ChildTexts(show[0]), QStringList{"Trees |46"});
}

TEST_F(ContentNodesTest, TheEditorStartsFromThePlainNameAndARefusedRenameKeepsTheText)
{
    show_->AddFolder("Taken", 46);
    const QList<QStandardItem*> show = Row(show_);
    QStandardItem* shows = show[0]->child(0, 0);
    ASSERT_EQ(shows->text(), "Shows ");
    EXPECT_EQ(shows->data(Qt::EditRole).toString(), "Shows");

    testing_env::ModalDialogDriver dialogs;
    QString title, text;
    dialogs.Then<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        box->accept();
    });
    shows->setData("Taken", Qt::EditRole);
    EXPECT_TRUE(dialogs.Done());
    EXPECT_EQ(title, "Rename Failed");
    EXPECT_EQ(text, "The content could not be renamed");
    EXPECT_EQ(shows->text(), "Shows ");

    shows->setData("Sunsets", Qt::EditRole);
    EXPECT_EQ(shows->text(), "Sunsets ");
}

TEST_F(ContentNodesTest, TheFillLevelCountsTheWholeGroupAndColoursGreenToRed)
{
    MemoryFolder group(nullptr, "User Content");
    MemoryFolder* folder = group.AddFolder("Shows", 45);
    const struct {
        int items;
        QString text;
        int hue;
    } cases[] = {{128, "50%", 120}, {160, "62%", 92}, {192, "75%", 60}, {300, "117%", 0}};
    for (const auto& c : cases) {
        while (folder->ChildCount() < c.items)
            folder->AddContent(QString::number(folder->ChildCount()), 1);
        ContentCapacityNode level(&group, 256);
        EXPECT_EQ(level.text(), c.text);
        const QColor colour = QColor::fromHsv(c.hue, 255, 255);
        EXPECT_EQ(level.data(Qt::UserRole).value<QColor>(), colour.lighter(150)) << c.items;
        EXPECT_EQ(level.data(Qt::UserRole + 1).value<QColor>(), colour.darker(150)) << c.items;
    }

    ContentCapacityNode empty(&group, 0);
    EXPECT_EQ(empty.text(), "0%");
    EXPECT_EQ(empty.data(Qt::UserRole).value<QColor>(), QColor::fromHsv(120, 255, 255).lighter(150));
}

TEST_F(ContentNodesTest, AnItemAddedOrRemovedDeepInTheGroupRecounts)
{
    MemoryFolder group(nullptr, "User Content");
    MemoryFolder* folder = group.AddFolder("Shows", 45);
    ContentCapacityNode level(&group, 4);
    EXPECT_EQ(level.text(), "0%");

    // A sub-folder made after the cell, then an item in it.
    ASSERT_TRUE(folder->CreateFolder("Encores", 2, 0, nullptr));
    auto* encores = static_cast<MemoryFolder*>(folder->Child(0));
    ASSERT_TRUE(encores->AddChild({new MemoryContent("Sky", 1)}, nullptr));
    EXPECT_EQ(level.text(), "25%");
    ASSERT_TRUE(encores->RemoveChild(encores->Child(0), nullptr));
    EXPECT_EQ(level.text(), "0%");
    ASSERT_TRUE(folder->RemoveChild(encores, nullptr));
    ASSERT_TRUE(folder->AddChild({new MemoryContent("Rain", 1)}, nullptr));
    EXPECT_EQ(level.text(), "25%");
}

TEST_F(ContentNodesTest, ACollagesNumberIsItsFixturesMosavraAddressInRed)
{
    QTemporaryDir disk;
    ASSERT_TRUE(disk.isValid());
    MosavraContentLibraryRoot library(disk.path());
    MosavraContentLibraryPackage* brevant = library.Package(0);
    ASSERT_TRUE(brevant->CreateFolder("Stage", 3, {library_test::MakeImage<BrevantImage>("Stage", 7).release()}, nullptr));
    auto* stage = qobject_cast<MosavraContentLibraryFolder*>(brevant->Child(0));
    ASSERT_NE(stage, nullptr);
    const QList<QStandardItem*> row = Row(stage);
    EXPECT_EQ(row[1]->text(), "3");
    EXPECT_EQ(row[1]->data(Qt::UserRole).value<QColor>(), QColor(255, 0, 0));
    EXPECT_EQ(row[1]->data(Qt::UserRole + 1).value<QColor>(), QColor(Qt::darkRed));
    EXPECT_EQ(Row(shows_)[1]->data(Qt::UserRole).value<QColor>(), QColor(96, 96, 96));
    model_.clear();
}

namespace {

// A fixture whose content root is a folder of the test's.
class FixtureWithRoot : public RDMDevice
{
public:
    explicit FixtureWithRoot(ContentFolder* root) : root_(root) { SetUniqueId(0x101, 0x7FF0); }
    ContentFolder* GetContentRoot() override { return root_; }

private:
    ContentFolder* root_;
};

} // namespace

// Rows of a folder are built on the GUI thread while the fixture link's thread adds
// sub-folders to it: whatever the interleaving, every row ends with a row for every folder.
TEST_F(ContentNodesTest, RowsBuiltWhileAnotherThreadAddsFoldersMissNone)
{
    constexpr int kFolders = 300;
    constexpr int kRows = 12;
    constexpr int kAddedPerRow = 13;
    std::vector<std::unique_ptr<FixtureWithRoot>> fixtures;
    const struct {
        const char* name;
        std::function<QStandardItem*(MemoryFolder*)> row;
    } kinds[] = {
        {"content row", [](MemoryFolder* folder) { return new ContentNameNode(folder); }},
        {"fixture row", [&fixtures](MemoryFolder* folder) {
             fixtures.push_back(std::make_unique<FixtureWithRoot>(folder));
             return new DeviceNameNode(fixtures.back().get());
         }},
    };
    for (const auto& kind : kinds) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            MemoryFolder parent(nullptr, QStringLiteral("Probe"));
            for (int i = 0; i < kFolders; ++i)
                parent.AddFolder(QStringLiteral("F%1").arg(i));
            parent.SetAnswer(MemoryFolder::Answer::Later);
            QList<QStandardItem*> rows;
            for (int row = 0; row < kRows; ++row) {
                for (int i = 0; i < kAddedPerRow; ++i)
                    ASSERT_TRUE(parent.CreateFolder(QStringLiteral("N%1-%2").arg(row).arg(i), 0, 0, nullptr));
                rows.append(kind.row(&parent));
                model_.appendRow(rows.last());
            }
            MemoryLink::Instance().Drain();
            QCoreApplication::sendPostedEvents();
            const int expected = kFolders + kRows * kAddedPerRow;
            ASSERT_EQ(parent.ChildCount(), expected);
            for (int row = 0; row < kRows; ++row)
                EXPECT_EQ(rows[row]->rowCount(), expected) << kind.name << ", attempt " << attempt << ", row " << row;
            model_.clear();
        }
    }
}
