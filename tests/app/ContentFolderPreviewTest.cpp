// The folder view's "Preview" tab on real widgets over in-memory folders: the layout of the
// tiles, keeping them in step with the model, the selection shared with the list, keys,
// activation and menus.
#include "app/views/ContentFolderModel.h"
#include "app/views/ContentFolderPreview.h"
#include "app/views/ContentFolderView.h"
#include "app/views/ContentPreview.h"
#include "images/BrevantImage.h"
#include "images/ui/PreviewItem.h"
#include "link/ui/NameDialog.h"
#include "tests/common/MenuEntries.h"
#include "tests/common/ModalDialogDriver.h"
#include "tests/content/MemoryFolders.h"

#include <QAbstractItemModelTester>
#include <QContextMenuEvent>
#include <QAction>
#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using testing_env::MenuEntries;

class ContentFolderPreviewTest : public ::testing::Test
{
protected:
    ContentFolderPreviewTest() : folder_(std::make_unique<MemoryFolder>(nullptr, "Shows"))
    {
        view_.setCurrentWidget(view_.Preview());
    }
    ~ContentFolderPreviewTest() override { MemoryLink::Instance().Drain(); }

    // Shows the view with the scene's viewport `width` wide (and tall enough for every row).
    void ShowWithViewportWidth(int width, int height = 600)
    {
        view_.show();
        ContentFolderPreview* preview = view_.Preview();
        const QSize outside = preview->size() - preview->viewport()->size();
        view_.resize(view_.size() - preview->size() + outside + QSize(width, height));
        QCoreApplication::processEvents();
        ASSERT_EQ(Scene()->viewport()->width(), width);
    }

    ContentPreview* Scene() const { return view_.Preview()->Preview(); }
    QList<QPoint> Positions() const
    {
        QList<QPoint> positions;
        for (int row = 0; row < Scene()->ItemCount(); ++row)
            positions << Scene()->Item(row)->pos().toPoint();
        return positions;
    }
    QModelIndex Row(int row) const { return view_.Model()->index(row, 0); }
    QList<int> SelectedRows() const
    {
        QList<int> rows;
        for (const QModelIndex& index : view_.Selection()->selectedRows())
            rows << index.row();
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    QList<int> SelectedTiles() const
    {
        QList<int> rows;
        for (int row = 0; row < Scene()->ItemCount(); ++row)
            if (Scene()->Item(row)->isSelected())
                rows << row;
        return rows;
    }
    // The centre of row `row`'s tile, in the scene's viewport.
    QPoint TileCentre(int row) const { return view_.Preview()->visualRect(Row(row)).center(); }

    std::unique_ptr<MemoryFolder> folder_;
    ContentFolderView view_;
    QAbstractItemModelTester tester_{view_.Model(), QAbstractItemModelTester::FailureReportingMode::Fatal};
};

} // namespace

TEST_F(ContentFolderPreviewTest, TilesFlowInRowsThatWrapAtTheViewportsWidth)
{
    for (const char* name : {"a", "b", "c", "d", "e"})
        folder_->AddContent(name, 0);
    view_.SetFolder(folder_.get());
    ShowWithViewportWidth(350);
    ASSERT_EQ(Scene()->ItemCount(), 5);
    const int tileHeight = int(Scene()->Item(0)->childrenBoundingRect().united(Scene()->Item(0)->rect()).height());
    EXPECT_GT(tileHeight, 100) << "the square and its name line";
    const int second = 20 + tileHeight;
    EXPECT_EQ(Positions(), (QList<QPoint>{{10, 10}, {120, 10}, {230, 10}, {10, second}, {120, second}}));
    EXPECT_EQ(Scene()->sceneRect(), QRectF(0, 0, 340, second + tileHeight + 10));

    // Narrower than a tile: one a row, none pushed off the first row.
    ShowWithViewportWidth(100, 900);
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(Positions()[row], QPoint(10, 10 + row * (tileHeight + 10)));
    EXPECT_EQ(Scene()->sceneRect().width(), 120);

    ShowWithViewportWidth(350);
    EXPECT_EQ(Positions()[3], QPoint(10, second)) << "a resize re-flows";

    // The last child goes: its tile goes, and the scene shrinks.
    ASSERT_TRUE(folder_->RemoveChild(folder_->Child(4), nullptr));
    ASSERT_EQ(Scene()->ItemCount(), 4);
    EXPECT_EQ(Scene()->Item(3)->GetContent()->GetName(), QStringLiteral("d"));
    EXPECT_EQ(Scene()->sceneRect(), QRectF(0, 0, 340, second + tileHeight + 10));
    ASSERT_TRUE(folder_->RemoveChild(folder_->Child(3), nullptr));
    EXPECT_EQ(Scene()->sceneRect(), QRectF(0, 0, 340, 10 + tileHeight + 10));

    // A new child gets its tile at its row.
    ASSERT_TRUE(folder_->AddChild({new MemoryContent("b2", 0)}, nullptr));
    ASSERT_EQ(Scene()->ItemCount(), 4);
    EXPECT_EQ(Scene()->Item(2)->GetContent()->GetName(), QStringLiteral("b2"));
    EXPECT_EQ(Positions()[3], QPoint(10, second));
}

TEST_F(ContentFolderPreviewTest, TheKindOfEachTileFollowsItsContentAndEveryImagePlays)
{
    folder_->AddFolder("Sub", 3);
    auto* image = new BrevantImage;
    image->SetName(QStringLiteral("Waves"));
    for (int f = 0; f < 2; ++f) {
        BrevantImage::Frame frame;
        frame.duration = 50;
        frame.indices.fill(quint8(f + 1));
        image->AddFrame(frame);
    }
    folder_->Adopt(image);
    folder_->AddContent("Other", 2);
    view_.SetFolder(folder_.get());
    ShowWithViewportWidth(400);
    ASSERT_EQ(Scene()->ItemCount(), 3);
    EXPECT_TRUE(qobject_cast<UnknownItem*>(Scene()->Item(0)));
    EXPECT_TRUE(qobject_cast<FolderItem*>(Scene()->Item(1)));
    auto* tile = qobject_cast<BrevantImageItem*>(Scene()->Item(2));
    ASSERT_TRUE(tile);
    EXPECT_TRUE(tile->IsAnimated()) << "the preview animates every tile";
    EXPECT_TRUE(tile->IsStepping());
}

TEST_F(ContentFolderPreviewTest, TheSelectionIsSharedWithTheListBothWays)
{
    for (const char* name : {"a", "b", "c", "d"})
        folder_->AddContent(name, 0);
    view_.SetFolder(folder_.get());
    ShowWithViewportWidth(600);

    // The list's selection (the shared model) shows in the tiles.
    view_.Selection()->select(Row(1), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(SelectedTiles(), QList<int>{1});
    // Tiles selected in the scene select their rows.
    Scene()->Item(3)->setSelected(true);
    EXPECT_EQ(SelectedRows(), (QList<int>{1, 3}));
    Scene()->Item(1)->setSelected(false);
    EXPECT_EQ(SelectedRows(), QList<int>{3});

    // A click on a tile selects it alone and makes it current.
    QTest::mouseClick(Scene()->viewport(), Qt::LeftButton, Qt::NoModifier, TileCentre(0));
    EXPECT_EQ(SelectedRows(), QList<int>{0});
    EXPECT_EQ(view_.Selection()->currentIndex().row(), 0);

    // Shift+Right from the first tile takes the second too, and only it.
    QTest::keyClick(view_.Preview(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(SelectedRows(), (QList<int>{0, 1}));
    EXPECT_EQ(SelectedTiles(), (QList<int>{0, 1}));
    QTest::keyClick(view_.Preview(), Qt::Key_End);
    EXPECT_EQ(SelectedRows(), QList<int>{3});
    QTest::keyClick(view_.Preview(), Qt::Key_Left);
    EXPECT_EQ(SelectedRows(), QList<int>{2});

    // A rebuild (a sort) keeps the selected tiles.
    view_.Model()->sort(ContentFolderModel::NameColumn, Qt::DescendingOrder);
    EXPECT_EQ(Scene()->Item(0)->GetContent()->GetName(), QStringLiteral("d"));
    EXPECT_EQ(SelectedTiles(), QList<int>{1});
    EXPECT_EQ(SelectedRows(), QList<int>{1});

    // The geometry is the tiles' place in the viewport.
    EXPECT_EQ(view_.Preview()->indexAt(TileCentre(2)), Row(2));
    EXPECT_FALSE(view_.Preview()->visualRect(Row(0)).intersects(view_.Preview()->visualRect(Row(1))));
}

TEST_F(ContentFolderPreviewTest, ADoubleClickOnAFolderTileShowsTheFolderInBothTabs)
{
    MemoryFolder* sub = folder_->AddFolder("Sub", 0);
    sub->AddContent("inside", 1);
    folder_->AddContent("next", 0);
    view_.SetFolder(folder_.get());
    ShowWithViewportWidth(600);
    QList<ContentFolder*> changed;
    QObject::connect(&view_, &ContentFolderView::folderChanged, [&](ContentFolder* folder) { changed << folder; });

    QTest::mouseDClick(Scene()->viewport(), Qt::LeftButton, Qt::NoModifier, TileCentre(1));
    EXPECT_TRUE(changed.isEmpty()) << "a content tile is no folder";
    QTest::mouseDClick(Scene()->viewport(), Qt::LeftButton, Qt::NoModifier, TileCentre(0));
    EXPECT_EQ(changed, QList<ContentFolder*>{sub});
    EXPECT_EQ(view_.Model()->Folder(), sub) << "the model both tabs show";
    EXPECT_EQ(Scene()->Folder(), sub);
    ASSERT_EQ(Scene()->ItemCount(), 1);
    EXPECT_EQ(Scene()->Item(0)->GetContent()->GetName(), QStringLiteral("inside"));
}

TEST_F(ContentFolderPreviewTest, ARightClickOnAnUnselectedTileSelectsItAloneAndShowsItsMenu)
{
    for (const char* name : {"a", "b", "c"})
        folder_->AddContent(name, 0);
    view_.SetFolder(folder_.get());
    ShowWithViewportWidth(600);
    view_.Selection()->select(Row(0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view_.Selection()->select(Row(1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const auto rightClick = [&](int row) {
        return MenuEntries([&] {
            QContextMenuEvent event(QContextMenuEvent::Mouse, TileCentre(row),
                                    Scene()->viewport()->mapToGlobal(TileCentre(row)));
            QCoreApplication::sendEvent(Scene()->viewport(), &event);
        });
    };

    const QStringList both = rightClick(1);
    EXPECT_EQ(SelectedRows(), (QList<int>{0, 1})) << "a selected tile keeps the selection";
    EXPECT_FALSE(both.contains("Rename")) << "the menu of several items";
    EXPECT_TRUE(both.contains("Copy"));

    const QStringList own = rightClick(2);
    EXPECT_EQ(SelectedRows(), QList<int>{2});
    EXPECT_EQ(own.value(0), QStringLiteral("Rename")) << "the tile's own menu";
    EXPECT_TRUE(own.contains("Delete"));

    // Asked by keyboard with nothing selected: the folder's menu.
    view_.Selection()->clearSelection();
    const QStringList folderMenu = MenuEntries([&] {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        QCoreApplication::sendEvent(Scene()->viewport(), &event);
    });
    EXPECT_TRUE(folderMenu.contains("Autoset All DMX")) << folderMenu.join(", ").toStdString();
    EXPECT_FALSE(folderMenu.contains("Rename"));
}

TEST_F(ContentFolderPreviewTest, F2RenamesTheOneSelectedItemAndNothingForTwo)
{
    for (const char* name : {"a", "b"})
        folder_->AddContent(name, 0);
    view_.SetFolder(folder_.get());
    ShowWithViewportWidth(600);

    view_.Selection()->select(Row(0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view_.Selection()->select(Row(1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    {
        testing_env::ModalDialogDriver none;
        bool asked = false;
        none.Then<NameDialog>([&](NameDialog* dialog) {
            asked = true;
            dialog->reject();
        });
        QTest::keyClick(view_.Preview(), Qt::Key_F2);
        EXPECT_FALSE(asked) << "two items are not renamed";
    }

    view_.Selection()->select(Row(1), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    testing_env::ModalDialogDriver names;
    names.Then<NameDialog>([](NameDialog* dialog) {
        EXPECT_EQ(dialog->GetName(), QStringLiteral("b"));
        dialog->findChild<QLineEdit*>()->setText(QStringLiteral("z"));
        dialog->accept();
    });
    QTest::keyClick(view_.Preview(), Qt::Key_F2);
    EXPECT_TRUE(names.Done());
    EXPECT_EQ(folder_->Child(1)->GetName(), QStringLiteral("z"));
}
