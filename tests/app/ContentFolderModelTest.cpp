#include "app/views/ContentFolderList.h"
#include "app/views/ContentFolderModel.h"
#include "app/views/ContentFolderView.h"
#include "tests/content/MemoryFolders.h"
#include "tests/link/PollUntil.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

// The model under Qt's own checker, over an in-memory folder.
class ContentFolderModelTest : public ::testing::Test
{
protected:
    ContentFolderModelTest()
        : folder_(std::make_unique<MemoryFolder>(nullptr, "Shows")),
          tester_(&model_, QAbstractItemModelTester::FailureReportingMode::Fatal)
    {
    }
    ~ContentFolderModelTest() override { MemoryLink::Instance().Drain(); }

    QStringList Column(int column) const
    {
        QStringList texts;
        for (int row = 0; row < model_.rowCount(); ++row)
            texts << model_.index(row, column).data().toString();
        return texts;
    }

    std::unique_ptr<MemoryFolder> folder_;
    ContentFolderModel model_;
    QAbstractItemModelTester tester_;
};

// The list's protected selection request, as a click sends it.
class ClickableList : public ContentFolderList
{
public:
    using ContentFolderList::setSelection;
};

} // namespace

TEST_F(ContentFolderModelTest, AddressesSortWithTheUnaddressedLastInBothOrders)
{
    for (int address : {5, 0, 3, 0, 1})
        folder_->AddContent(QStringLiteral("at %1").arg(address), address);
    model_.SetFolder(folder_.get());
    ASSERT_EQ(model_.rowCount(), 5);
    EXPECT_EQ(model_.index(0, 1).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));

    model_.sort(ContentFolderModel::AddressColumn, Qt::AscendingOrder);
    EXPECT_EQ(Column(1), (QStringList{"1", "3", "5", "", ""}));
    model_.sort(ContentFolderModel::AddressColumn, Qt::DescendingOrder);
    EXPECT_EQ(Column(1), (QStringList{"5", "3", "1", "", ""}));
    EXPECT_EQ(Column(0), (QStringList{"at 5", "at 3", "at 1", "at 0", "at 0"}));
}

TEST_F(ContentFolderModelTest, AnAddedChildGoesBeforeTheFirstRowThatSortsAfterIt)
{
    for (const char* name : {"1", "3", "5"})
        folder_->AddContent(name, 1);
    model_.SetFolder(folder_.get());
    ASSERT_TRUE(folder_->AddChild({new MemoryContent("3", 2)}, nullptr));
    EXPECT_EQ(Column(0), (QStringList{"1", "3", "3", "5"}));
    EXPECT_EQ(model_.ChildAt(2)->GetAddress(), 2) << "the new one after the equal row";

    ASSERT_TRUE(folder_->AddChild({new MemoryContent("9", 3)}, nullptr));
    EXPECT_EQ(Column(0).last(), "9");

    // A child equal to every row goes last.
    MemoryFolder same(nullptr, "Same");
    same.AddContent("a", 1);
    same.AddContent("a", 2);
    model_.SetFolder(&same);
    ASSERT_TRUE(same.AddChild({new MemoryContent("a", 3)}, nullptr));
    EXPECT_EQ(model_.ChildAt(2)->GetAddress(), 3);
}

TEST_F(ContentFolderModelTest, ARenamedChildKeepsItsRowUntilTheNextSort)
{
    folder_->AddContent("Alpha", 1);
    folder_->AddContent("Beta", 2);
    model_.SetFolder(folder_.get());
    QSignalSpy changed(&model_, &QAbstractItemModel::dataChanged);
    ASSERT_TRUE(folder_->ModifyChild(model_.ChildAt(0), "Zulu", 1, nullptr));
    EXPECT_EQ(Column(0), (QStringList{"Zulu", "Beta"}));
    ASSERT_GE(changed.count(), 1);
    EXPECT_EQ(changed.last().at(0).value<QModelIndex>().row(), 0);

    // Through the table's editor too.
    EXPECT_TRUE(model_.setData(model_.index(1, 1), 7));
    EXPECT_EQ(Column(1), (QStringList{"1", "7"}));

    model_.sort(ContentFolderModel::AddressColumn, Qt::DescendingOrder);
    model_.sort(ContentFolderModel::NameColumn, Qt::AscendingOrder);
    EXPECT_EQ(Column(0), (QStringList{"Beta", "Zulu"}));
}

TEST_F(ContentFolderModelTest, ChildrenAddedAndRemovedOnAnotherThreadFollow)
{
    folder_->SetAnswer(MemoryFolder::Answer::Later);
    model_.SetFolder(folder_.get());
    ASSERT_TRUE(folder_->CreateFolder("Encores", 4, 0, nullptr));
    ASSERT_TRUE(folder_->AddChild({new MemoryContent("Sky", 1)}, nullptr));
    ASSERT_TRUE(PollUntil([&] { return model_.rowCount() == 2; }));
    EXPECT_EQ(Column(0), (QStringList{"Encores", "Sky"}));
    EXPECT_TRUE(model_.flags(model_.index(0, 0)) & Qt::ItemIsDropEnabled) << "a folder row";
    EXPECT_FALSE(model_.flags(model_.index(1, 0)) & Qt::ItemIsDropEnabled) << "a content row";
    ASSERT_TRUE(folder_->RemoveChild(model_.ChildAt(0), nullptr));
    ASSERT_TRUE(PollUntil([&] { return model_.rowCount() == 1; }));
    EXPECT_EQ(Column(0), QStringList{"Sky"});
}

TEST_F(ContentFolderModelTest, NoFolderOrADestroyedOneEmptiesTheTable)
{
    folder_->AddContent("Sky", 1);
    model_.SetFolder(folder_.get());
    model_.SetFolder(nullptr);
    EXPECT_EQ(model_.rowCount(), 0);
    EXPECT_EQ(model_.flags(QModelIndex()), Qt::NoItemFlags);
    EXPECT_FALSE(model_.CanDrop(nullptr, Qt::CopyAction, Qt::CopyAction, nullptr, -1, 0, QModelIndex()));

    model_.SetFolder(folder_.get());
    ASSERT_EQ(model_.rowCount(), 1);
    folder_.reset();
    EXPECT_EQ(model_.rowCount(), 0);
    EXPECT_EQ(model_.Folder(), nullptr);
    EXPECT_FALSE(model_.index(0, 0).data().isValid());
}

TEST_F(ContentFolderModelTest, AClearOnlyRequestClearsSelectionAndCurrent)
{
    folder_->AddContent("Sky", 1);
    folder_->AddContent("Rain", 2);
    model_.SetFolder(folder_.get());
    ClickableList list;
    list.setModel(&model_);
    list.selectionModel()->setCurrentIndex(model_.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_TRUE(list.selectionModel()->hasSelection());
    list.setSelection(QRect(), QItemSelectionModel::Clear);
    EXPECT_FALSE(list.selectionModel()->hasSelection());
    EXPECT_FALSE(list.selectionModel()->currentIndex().isValid());
}

TEST_F(ContentFolderModelTest, ActivatingASubFolderShowsItInTheView)
{
    MemoryFolder* encores = folder_->AddFolder("Encores", 4);
    folder_->AddContent("Sky", 1);
    ContentFolderView view;
    QSignalSpy changed(&view, &ContentFolderView::folderChanged);
    view.SetFolder(folder_.get());
    EXPECT_EQ(changed.count(), 1);
    view.SetFolder(folder_.get());
    EXPECT_EQ(changed.count(), 1) << "the same folder again";

    ContentFolderList* list = view.List();
    ASSERT_EQ(list->model()->index(0, 0).data().toString(), "Encores");
    list->ActivateItem(list->model()->index(1, 0));
    EXPECT_EQ(view.Model()->Folder(), folder_.get()) << "a content is not opened";
    list->ActivateItem(list->model()->index(0, 0));
    EXPECT_EQ(view.Model()->Folder(), encores);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(list->selectionModel(), view.Selection());
}
