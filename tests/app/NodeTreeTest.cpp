#include "app/tree/ContentFolderDelegate.h"
#include "app/tree/ContentNodes.h"
#include "app/tree/Delegate.h"
#include "app/tree/NodeTree.h"
#include "app/views/ContentFolderList.h"
#include "app/views/ContentFolderModel.h"
#include "app/views/ContentFolderView.h"
#include "app/widgets/ItemPainters.h"
#include "content/policies/NamedPolicies.h"
#include "tests/common/UiStepDriver.h"
#include "tests/content/MemoryFolders.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QDragMoveEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QStackedWidget>
#include <gtest/gtest.h>

// Rows of test classes: each class name is a registry key of its own.
class PlainRow : public Node
{
    Q_OBJECT
public:
    using Node::Node;
};

class HiddenRow : public Node
{
    Q_OBJECT
public:
    using Node::Node;
};

class KeyRow : public Node
{
    Q_OBJECT
public:
    using Node::Node;
};

// A row that takes every drop, counting them.
class DropRow : public Node
{
    Q_OBJECT
public:
    explicit DropRow(const QString& text) : Node(text) { setDropEnabled(true); }
    bool CanDrop(const QMimeData*, Qt::DropActions, Qt::DropAction, Qt::DropAction* chosen) override
    {
        *chosen = Qt::CopyAction;
        return true;
    }
    bool Drop(QWidget*, const QMimeData*, Qt::DropAction) override
    {
        ++drops;
        return true;
    }
    int drops = 0;
};

// A controller whose row shows nothing.
class NullViewDelegate : public Delegate
{
    Q_OBJECT
public:
    using Delegate::Delegate;
};

// A controller that claims every key.
class GreedyDelegate : public Delegate
{
    Q_OBJECT
public:
    using Delegate::Delegate;
    void KeyPressEvent(NodeTree*, QKeyEvent* event, Node*) override { event->accept(); }
};

namespace {

class NodeTreeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        NodeTree::RegisterDelegate("HiddenRow", [](NodeTree* tree) { return new NullViewDelegate(tree); });
        NodeTree::RegisterDelegate("KeyRow", [](NodeTree* tree) { return new GreedyDelegate(tree); });
        tree_ = std::make_unique<NodeTree>(nullptr, &stack_);
        tree_->resize(300, 300);
        tree_->show();
    }
    void TearDown() override
    {
        tree_.reset();
        NodeTree::RegisterDelegate("HiddenRow", nullptr);
        NodeTree::RegisterDelegate("KeyRow", nullptr);
    }

    void Press(int key)
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(tree_.get(), &press);
    }
    // Sends a drag event of `type` at the centre of `index` (or below every row) to the
    // tree's viewport, as Qt delivers them; answers whether it was accepted.
    bool Drag(QEvent::Type type, const QModelIndex& index)
    {
        const QPoint at = index.isValid() ? tree_->visualRect(index).center() : QPoint(5, 290);
        QMimeData data;
        data.setText("payload");
        if (type == QEvent::DragEnter) {
            QDragEnterEvent event(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(tree_->viewport(), &event);
            return event.isAccepted();
        }
        if (type == QEvent::DragLeave) {
            QDragLeaveEvent event;
            QApplication::sendEvent(tree_->viewport(), &event);
            return event.isAccepted();
        }
        if (type == QEvent::DragMove) {
            QDragMoveEvent event(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(tree_->viewport(), &event);
            return event.isAccepted();
        }
        QDropEvent event(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree_->viewport(), &event);
        return event.isAccepted();
    }
    QModelIndex Highlight() const { return tree_->Highlighter()->Highlight(); }

    QStackedWidget stack_;
    std::unique_ptr<NodeTree> tree_;
};

} // namespace

TEST_F(NodeTreeTest, ARowWithoutAControllerOfItsOwnShowsTheDefaultViewAndANullViewKeepsTheCurrentOne)
{
    const QModelIndex plain = tree_->AddNode(new PlainRow("Plain"));
    const QModelIndex hidden = tree_->AddNode(new HiddenRow("Hidden"));
    tree_->setCurrentIndex(plain);
    auto* shown = qobject_cast<QLabel*>(stack_.currentWidget());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text(), "The selected item cannot be viewed");

    tree_->setCurrentIndex(hidden);
    EXPECT_EQ(stack_.currentWidget(), shown);
    EXPECT_EQ(stack_.count(), 1);
}

TEST_F(NodeTreeTest, ContentRowsShareOneFolderViewAddedToTheStackOnce)
{
    MemoryFolder root(BREVANTContentPackagePolicy::Instance(), "Show");
    MemoryFolder other(BREVANTContentPackagePolicy::Instance(), "Night");
    const QModelIndex first = tree_->AddNode(new ContentNameNode(&root));
    const QModelIndex second = tree_->AddNode(new ContentNameNode(&other));
    tree_->viewNode(first);
    tree_->viewNode(first);
    QWidget* view = stack_.currentWidget();
    tree_->viewNode(second);
    EXPECT_EQ(stack_.count(), 1);
    EXPECT_EQ(stack_.currentWidget(), view);
}

TEST_F(NodeTreeTest, AKeyTheControllerLeavesMovesTheCurrentRowAndOneItClaimsDoesNot)
{
    const QModelIndex first = tree_->AddNode(new PlainRow("One"));
    const QModelIndex second = tree_->AddNode(new PlainRow("Two"));
    tree_->setCurrentIndex(first);
    Press(Qt::Key_Down);
    EXPECT_EQ(tree_->currentIndex(), second);

    const QModelIndex greedy = tree_->AddNode(new KeyRow("Three"));
    tree_->AddNode(new PlainRow("Four"));
    tree_->setCurrentIndex(greedy);
    Press(Qt::Key_Down);
    EXPECT_EQ(tree_->currentIndex(), greedy);
}

TEST_F(NodeTreeTest, OnlyADropTargetIsHighlightedAndOnlyWhileTheDragIsOverIt)
{
    auto* target = new DropRow("Target");
    const QModelIndex droppable = tree_->AddNode(target);
    const QModelIndex plain = tree_->AddNode(new PlainRow("Plain"));

    EXPECT_TRUE(Drag(QEvent::DragEnter, droppable));
    EXPECT_TRUE(Drag(QEvent::DragMove, droppable));
    EXPECT_EQ(Highlight(), droppable);
    EXPECT_FALSE(Drag(QEvent::DragMove, plain));
    EXPECT_FALSE(Highlight().isValid());
    EXPECT_FALSE(Drag(QEvent::DragMove, QModelIndex())) << "empty space";
    EXPECT_FALSE(Highlight().isValid());

    EXPECT_TRUE(Drag(QEvent::DragMove, droppable));
    Drag(QEvent::DragLeave, QModelIndex());
    EXPECT_FALSE(Highlight().isValid());

    EXPECT_TRUE(Drag(QEvent::DragEnter, droppable));
    EXPECT_TRUE(Drag(QEvent::DragMove, droppable));
    EXPECT_TRUE(Drag(QEvent::Drop, droppable));
    EXPECT_EQ(target->drops, 1);
    EXPECT_FALSE(Highlight().isValid());
    EXPECT_TRUE(Drag(QEvent::DragEnter, plain));
    EXPECT_FALSE(Drag(QEvent::Drop, plain));
    EXPECT_EQ(target->drops, 1);
}

TEST_F(NodeTreeTest, MovingIntoASubFolderInTheViewMovesTheTreeToItsRowWhileThatRowLives)
{
    MemoryFolder library(RootContentPolicy::Instance(), "User Content");
    MemoryFolder* show = library.AddFolder("Show", 0, BREVANTContentPackagePolicy::Instance());
    MemoryFolder* shows = show->AddFolder("Shows", 45);
    MemoryFolder* trees = show->AddFolder("Trees", 46);
    const QModelIndex top = tree_->AddNode(new ContentLibraryNode(&library));
    const QModelIndex showRow = tree_->Model()->index(0, 0, top);
    tree_->setCurrentIndex(showRow);
    auto* view = qobject_cast<ContentFolderView*>(stack_.currentWidget());
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->Model()->Folder(), show);

    ContentFolderList* list = view->List();
    list->ActivateItem(list->model()->index(view->Model()->RowOf(shows), 0));
    EXPECT_EQ(view->Model()->Folder(), shows);
    EXPECT_EQ(tree_->currentIndex(), tree_->Model()->index(0, 0, showRow));

    // Back in "Show" through the tree, then its row goes: the view keeps working alone.
    tree_->setCurrentIndex(showRow);
    tree_->Model()->removeRow(0, top);
    view->SetFolder(trees);
    EXPECT_EQ(view->Model()->Folder(), trees);
    EXPECT_EQ(tree_->currentIndex(), top) << "the tree stays where the removal left it";
}

TEST_F(NodeTreeTest, AViewOnlyFolderGivesNoDrag)
{
    MemoryFolder stock(StandardStockContentPolicy::Instance(), "Stock");
    ASSERT_TRUE(stock.IsViewOnly());
    ContentNameNode row(&stock);
    EXPECT_EQ(row.MimeData(), nullptr);
}

// The row's menu runs an event loop of its own, in which the row may go (here its folder
// is removed while the menu is open); "Rename" then opens no editor on the row that went.
TEST_F(NodeTreeTest, RenameFromTheMenuOfARowThatWentMeanwhileOpensNoEditor)
{
    for (const bool removed : {false, true}) {
        SCOPED_TRACE(removed ? "removed" : "kept");
        MemoryFolder library(RootContentPolicy::Instance(), "User Content");
        MemoryFolder* show = library.AddFolder("Show", 0, BREVANTContentPackagePolicy::Instance());
        MemoryFolder* shows = show->AddFolder("Shows", 45);
        const QModelIndex top = tree_->AddNode(new ContentLibraryNode(&library));
        tree_->expandAll();
        const QModelIndex showRow = tree_->Model()->index(0, 0, top);
        const QPoint at = tree_->visualRect(tree_->Model()->index(0, 0, showRow)).center();

        testing_env::UiStepDriver driver;
        driver.Popup([&](QMenu* menu) {
            if (removed) {
                ASSERT_TRUE(show->RemoveChild(shows, nullptr));
            }
            for (QAction* entry : menu->actions()) {
                if (entry->text() == "Rename")
                    menu->setActiveAction(entry);
            }
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree_->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree_->viewport(), &event);
        EXPECT_TRUE(driver.Done());
        EXPECT_EQ(tree_->Model()->rowCount(showRow), removed ? 0 : 1);
        EXPECT_EQ(tree_->viewport()->findChild<QLineEdit*>() != nullptr, !removed);
        tree_->Model()->clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

#include "NodeTreeTest.moc"
