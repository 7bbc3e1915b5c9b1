// The content commands of the navigation tree and the folder list over in-memory
// libraries: keys, context menus, renames in place and drops.
#include "app/tree/ContentNodes.h"
#include "app/tree/NodeTree.h"
#include "app/views/ContentCommands.h"
#include "app/views/ContentFolderList.h"
#include "app/views/ContentFolderModel.h"
#include "app/views/ContentFolderView.h"
#include "content/ContentSource.h"
#include "content/policies/NamedPolicies.h"
#include "link/ui/NameDialog.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/ModalDialogDriver.h"
#include "library/user/ContentLibraryRoot.h"
#include "tests/library/LibraryTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QDragMoveEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using testing_env::ModalDialogDriver;

namespace {

ContentFolder* Named(ContentFolder* folder, const QString& name)
{
    for (int i = 0; i < folder->ChildCount(); ++i) {
        if (folder->Child(i)->GetName() == name)
            return qobject_cast<ContentFolder*>(folder->Child(i));
    }
    return nullptr;
}

// A user library: root ⊃ package "Show" (BREVANT) ⊃ "Shows" at 45 (holding "Sky") and
// "Trees" at 46, shown in a navigation tree.
class ContentCommandsTest : public ::testing::Test
{
protected:
    ContentCommandsTest() : root_(dir_.path()), tree_(nullptr, &stack_)
    {
        EXPECT_TRUE(root_.CreateFolder("Show", 0, 0, nullptr));
        show_ = Named(&root_, "Show");
        EXPECT_TRUE(show_->CreateFolder("Shows", 45, 0, nullptr));
        EXPECT_TRUE(show_->CreateFolder("Trees", 46, 0, nullptr));
        shows_ = Named(show_, "Shows");
        trees_ = Named(show_, "Trees");
        auto sky = library_test::MakeImage<BrevantImage>("Sky");
        sky->SetAddress(1);
        EXPECT_TRUE(shows_->AddChild({sky.get()}, nullptr));
        sky.release();
        QList<QStandardItem*> cells;
        MakeContentFolderRow(cells, show_);
        tree_.Model()->appendRow(cells);
        QApplication::clipboard()->clear();
    }
    ~ContentCommandsTest() override
    {
        QApplication::clipboard()->clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QModelIndex RowOf(const QString& name) const
    {
        const QModelIndexList found = tree_.model()->match(tree_.model()->index(0, 0), Qt::DisplayRole, name, 1,
                                                           Qt::MatchStartsWith | Qt::MatchRecursive);
        return found.value(0);
    }
    // Sends `key` (with `modifiers`) to the tree row named `row`.
    void PressOn(const QString& row, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        tree_.setCurrentIndex(RowOf(row));
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(&tree_, &press);
    }

    QTemporaryDir dir_;
    ContentLibraryRoot root_;
    ContentFolder* show_;
    ContentFolder* shows_;
    ContentFolder* trees_;
    QStackedWidget stack_;
    NodeTree tree_;
};

} // namespace

TEST_F(ContentCommandsTest, TheTreesKeysCopyDeleteAndMakeFolders)
{
    PressOn("Shows", Qt::Key_C, Qt::ControlModifier);
    ContentMimeSource copied;
    ASSERT_TRUE(copied.FromMimeData(QApplication::clipboard()->mimeData()));
    EXPECT_EQ(copied.Mode(), ContentSource::CopiedToClipboard);
    EXPECT_EQ(copied.Items(), QList<ContentBase*>{shows_});

    QStringList asked;
    {
        ModalDialogDriver dialogs;
        dialogs.Then<QMessageBox>([&](QMessageBox* box) {
            asked << box->windowTitle();
            box->button(QMessageBox::Cancel)->click();
        });
        PressOn("Shows", Qt::Key_Delete);
    }
    EXPECT_EQ(asked, QStringList{"Delete Item"});
    EXPECT_EQ(show_->ChildCount(), 2);

    QStringList titles;
    {
        ModalDialogDriver dialogs;
        dialogs.Then<NameDialog>([&](NameDialog* dialog) {
            titles << dialog->windowTitle();
            dialog->reject();
        });
        PressOn("Show", Qt::Key_Insert);
        EXPECT_TRUE(dialogs.Done());
        // "Shows" makes no folders: Insert there opens nothing.
        PressOn("Shows", Qt::Key_Insert);
    }
    EXPECT_EQ(titles, QStringList{"New BREVANT Folder"});
}

TEST_F(ContentCommandsTest, RowsAreRenamedInPlaceOnlyWhereTheFolderAllows)
{
    QStandardItemModel* model = tree_.Model();
    EXPECT_TRUE(model->itemFromIndex(RowOf("Shows"))->isEditable());
    QList<QStandardItem*> cells;
    MakeContentFolderRow(cells, &root_);
    EXPECT_FALSE(cells[0]->isEditable()) << "the library's root has no folder to be renamed in";
    qDeleteAll(cells);

    // F2 opens the editor on the plain name.
    PressOn("Shows", Qt::Key_F2);
    auto* editor = tree_.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "Shows");

    // A taken name is refused with the tree's own box; the row keeps its name.
    QStringList shown;
    ModalDialogDriver dialogs;
    dialogs.Then<QMessageBox>([&](QMessageBox* box) {
        shown << box->windowTitle() << box->text();
        box->accept();
    });
    model->setData(RowOf("Shows"), "Trees", Qt::EditRole);
    EXPECT_EQ(shown, (QStringList{"Rename Failed", "The content could not be renamed"}));
    EXPECT_EQ(shows_->GetName(), "Shows");
}

TEST_F(ContentCommandsTest, TheFolderListOffersWhatTheSelectionAllowsAndTakesDropsIntoTheFolder)
{
    ContentFolderView view;
    view.SetFolder(show_);
    ContentFolderList* list = view.List();

    QMenu none;
    ContentCommands::AddSelectionEntries(&none, show_, {});
    QStringList offered;
    for (QAction* entry : none.actions())
        if (!entry->isSeparator())
            offered << entry->text();
    EXPECT_EQ(offered, (QStringList{"Autoset All DMX", "Reset All DMX", "New BREVANT Folder"}));

    QMenu both;
    ContentCommands::AddSelectionEntries(&both, show_, {shows_, trees_});
    offered.clear();
    for (QAction* entry : both.actions())
        if (!entry->isSeparator())
            offered << entry->text();
    EXPECT_EQ(offered, (QStringList{"Autoset DMX", "Reset DMX", "Copy", "Cut", "Delete"}));

    // Drops: on a content row refused, on a folder row or empty space taken.
    ContentFolderModel* model = list->FolderModel();
    view.SetFolder(shows_);
    EXPECT_FALSE(model->flags(model->index(0, 0)) & Qt::ItemIsDropEnabled) << "Sky is a content";
    EXPECT_TRUE(model->flags(QModelIndex()) & Qt::ItemIsDropEnabled);
    const std::unique_ptr<QMimeData> sky(ContentCommands::ItemViewDragData({shows_->Child(0)}));
    Qt::DropAction chosen = Qt::IgnoreAction;
    EXPECT_FALSE(ContentCommands::CanDrop(shows_, sky.get(), Qt::CopyAction | Qt::MoveAction, Qt::IgnoreAction, &chosen))
        << "its own folder";
    EXPECT_TRUE(ContentCommands::CanDrop(trees_, sky.get(), Qt::CopyAction | Qt::MoveAction, Qt::IgnoreAction, &chosen));
    ASSERT_TRUE(ContentCommands::Drop(nullptr, trees_, sky.get(), Qt::CopyAction));
    EXPECT_EQ(trees_->ChildCount(), 1);

    // Files the folder cannot take are refused as the drag enters.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(dir_.filePath("a.bvi"))});
    EXPECT_FALSE(ContentCommands::AcceptsDrag(trees_, &files, Qt::MoveAction, &chosen));
}

TEST_F(ContentCommandsTest, ItemsDraggedWithShiftOntoATreeRowMoveIntoItsFolderButNotIntoTheirOwn)
{
    tree_.resize(300, 300);
    tree_.expandAll();
    ContentBase* sky = shows_->Child(0);
    const std::unique_ptr<QMimeData> data(ContentCommands::ItemViewDragData({sky}));
    const auto send = [&](QEvent::Type type, const QString& row) {
        const QPoint at = tree_.visualRect(RowOf(row)).center();
        if (type == QEvent::DragMove) {
            QDragMoveEvent event(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::ShiftModifier);
            QApplication::sendEvent(tree_.viewport(), &event);
            return event.isAccepted();
        }
        QDropEvent event(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(tree_.viewport(), &event);
        return event.isAccepted() && event.dropAction() == Qt::MoveAction;
    };
    QDragEnterEvent enter(tree_.visualRect(RowOf("Shows")).center(), Qt::CopyAction | Qt::MoveAction, data.get(),
                          Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(tree_.viewport(), &enter);
    EXPECT_FALSE(send(QEvent::DragMove, "Shows")) << "its own folder";
    EXPECT_TRUE(send(QEvent::DragMove, "Trees"));
    EXPECT_TRUE(send(QEvent::Drop, "Trees"));
    EXPECT_EQ(shows_->ChildCount(), 0);
    ASSERT_EQ(trees_->ChildCount(), 1);
    EXPECT_EQ(trees_->Child(0)->GetName(), "Sky");
}
