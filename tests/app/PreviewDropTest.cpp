// Drags and drops on the "Preview" tab and its grey-outs of cut content, over a user library
// in a temporary folder: the drop rules and content operations are the program's own.
#include "app/views/ContentFolderPreview.h"
#include "app/views/ContentFolderView.h"
#include "app/views/ContentPreview.h"
#include "content/ContentSource.h"
#include "images/ui/PreviewItem.h"
#include "library/user/ContentLibraryFolder.h"
#include "library/user/ContentLibraryPackage.h"
#include "library/user/ContentLibraryRoot.h"
#include "tests/app/AppTestSupport.h"
#include "tests/library/LibraryTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

using library_test::ChildNamed;

namespace {

// The library "lib": the package "Show" with the folders "Shows" (45) and "Trees" (46), and
// the package "Other" with "Lights" (47) holding the image "Sky" at 1. The view shows the
// package "Show": two folder tiles.
class PreviewDropTest : public library_test::LibraryFolder
{
protected:
    void SetUp() override
    {
        QDir().mkpath(Path(QStringLiteral("lib")));
        library_ = std::make_unique<ContentLibraryRoot>(Path(QStringLiteral("lib")));
        for (const char* name : {"Show", "Other"})
            ASSERT_TRUE(library_->CreateFolder(QString::fromLatin1(name), 0, 0, nullptr));
        show_ = qobject_cast<ContentFolder*>(ChildNamed(library_.get(), QStringLiteral("Show")));
        auto* other = qobject_cast<ContentFolder*>(ChildNamed(library_.get(), QStringLiteral("Other")));
        ASSERT_TRUE(show_ && other);
        ASSERT_TRUE(show_->CreateFolder(QStringLiteral("Shows"), 45, 0, nullptr));
        ASSERT_TRUE(show_->CreateFolder(QStringLiteral("Trees"), 46, 0, nullptr));
        ASSERT_TRUE(other->CreateFolder(QStringLiteral("Lights"), 47, 0, nullptr));
        lights_ = qobject_cast<ContentFolder*>(ChildNamed(other, QStringLiteral("Lights")));
        ASSERT_TRUE(lights_);
        auto sky = library_test::MakeImage<BrevantImage>(QStringLiteral("Sky"), 0, 2);
        sky->SetAddress(1);
        ASSERT_TRUE(lights_->AddChild({sky.get()}, nullptr));
        sky.release();

        view_ = std::make_unique<ContentFolderView>();
        view_->setCurrentWidget(view_->Preview());
        view_->resize(600, 400);
        view_->show();
        view_->SetFolder(show_);
        ASSERT_EQ(Scene()->ItemCount(), 2);
    }
    void TearDown() override
    {
        QApplication::clipboard()->clear();
        view_.reset();
        library_.reset();
        library_test::DeleteLaterNodes();
    }

    ContentPreview* Scene() const { return view_->Preview()->Preview(); }
    QWidget* Viewport() const { return Scene()->viewport(); }
    // The tile of the child named `name`.
    PreviewItem* Tile(const QString& name) const
    {
        for (int row = 0; row < Scene()->ItemCount(); ++row)
            if (Scene()->Item(row)->GetContent() && Scene()->Item(row)->GetContent()->GetName() == name)
                return Scene()->Item(row);
        return nullptr;
    }
    QPoint Centre(const QString& name) const
    {
        return Scene()->mapFromScene(Tile(name)->sceneBoundingRect().center());
    }
    QPoint EmptySpace() const { return QPoint(Viewport()->width() - 5, Viewport()->height() - 5); }

    // A drag of `data` over the viewport, as the platform would send it.
    bool Enter(const QMimeData& data, QPoint at)
    {
        QDragEnterEvent event(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Viewport(), &event);
        return event.isAccepted();
    }
    bool Move(const QMimeData& data, QPoint at)
    {
        QDragMoveEvent event(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Viewport(), &event);
        return event.isAccepted();
    }
    bool Drop(const QMimeData& data, QPoint at)
    {
        QDropEvent event(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        app_test::ModalAnswerer answerer;
        QCoreApplication::sendEvent(Viewport(), &event);
        return event.isAccepted();
    }
    QStringList Names(ContentFolder* folder) const { return library_test::Describe(folder); }

    std::unique_ptr<ContentLibraryRoot> library_;
    ContentFolder* show_ = nullptr;
    ContentFolder* lights_ = nullptr;
    std::unique_ptr<ContentFolderView> view_;
};

} // namespace

TEST_F(PreviewDropTest, ASubFolderTileUnderTheCursorTakesTheDropAndEmptySpaceGivesTheShownFolder)
{
    const std::unique_ptr<QMimeData> drag(ContentMimeSource(ContentSource::DraggedFromItemView, {lights_}).MimeData());
    ASSERT_TRUE(Enter(*drag, Centre("Trees")));
    ASSERT_TRUE(Move(*drag, Centre("Trees")));
    EXPECT_TRUE(Tile("Trees")->IsHighlighted());
    EXPECT_EQ(Scene()->DropTarget(), Tile("Trees"));
    ASSERT_TRUE(Move(*drag, Centre("Shows")));
    EXPECT_FALSE(Tile("Trees")->IsHighlighted()) << "one target at a time";
    EXPECT_TRUE(Tile("Shows")->IsHighlighted());
    ASSERT_TRUE(Move(*drag, EmptySpace())) << "the package takes the folder";
    EXPECT_EQ(Scene()->DropTarget(), nullptr);

    // Over the sub-folder: its contents go into it.
    ASSERT_TRUE(Move(*drag, Centre("Trees")));
    ASSERT_TRUE(Drop(*drag, Centre("Trees")));
    EXPECT_FALSE(Tile("Trees")->IsHighlighted());
    auto* trees = qobject_cast<ContentFolder*>(ChildNamed(show_, QStringLiteral("Trees")));
    EXPECT_EQ(Names(trees), QStringList{"Sky@1"});
    EXPECT_EQ(Names(lights_), QStringList{"Sky@1"}) << "copied, not moved";

    // Left the folder tiles for empty space: the shown folder takes it.
    ASSERT_TRUE(Enter(*drag, Centre("Shows")));
    ASSERT_TRUE(Move(*drag, Centre("Shows")));
    ASSERT_TRUE(Move(*drag, EmptySpace()));
    ASSERT_TRUE(Drop(*drag, EmptySpace()));
    EXPECT_EQ(Names(show_), (QStringList{"Shows@45", "Trees@46", "Lights@47"}));
    EXPECT_EQ(Scene()->ItemCount(), 3) << "its tile follows";
    EXPECT_TRUE(Names(qobject_cast<ContentFolder*>(ChildNamed(show_, QStringLiteral("Shows")))).isEmpty());

    // A drag that leaves forgets its target.
    ASSERT_TRUE(Enter(*drag, Centre("Trees")));
    ASSERT_TRUE(Move(*drag, Centre("Trees")));
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(Viewport(), &leave);
    EXPECT_FALSE(Tile("Trees")->IsHighlighted());
}

TEST_F(PreviewDropTest, ADragFromThePreviewCarriesItsSelectionAsAnItemViewPayload)
{
    Tile("Shows")->setSelected(true);
    Tile("Trees")->setSelected(true);
    const QPoint from = Centre("Trees");
    QMouseEvent press(QEvent::MouseButtonPress, from, Viewport()->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                      Qt::ControlModifier);
    QCoreApplication::sendEvent(Viewport(), &press);
    const QPoint to = from + QPoint(QApplication::startDragDistance() + 1, 0);
    QMouseEvent move(QEvent::MouseMove, to, Viewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::ControlModifier);
    QCoreApplication::sendEvent(Viewport(), &move);

    // Offscreen the drag ends at once; its object lives until the event loop deletes it.
    auto* drag = Scene()->findChild<QDrag*>();
    ASSERT_TRUE(drag);
    ContentSource payload;
    ASSERT_TRUE(payload.FromMimeData(drag->mimeData()));
    EXPECT_EQ(payload.Mode(), ContentSource::DraggedFromItemView);
    EXPECT_EQ(QSet<ContentBase*>(payload.Items().begin(), payload.Items().end()),
              (QSet<ContentBase*>{Tile("Shows")->GetContent(), Tile("Trees")->GetContent()}));
    EXPECT_EQ(drag->supportedActions(), Qt::CopyAction | Qt::MoveAction);
}

TEST_F(PreviewDropTest, TilesOfContentCutToTheClipboardAreGreyedOut)
{
    ContentBase* shows = Tile("Shows")->GetContent();
    QApplication::clipboard()->setMimeData(ContentMimeSource(ContentSource::CutToClipboard, {shows}).MimeData());
    EXPECT_TRUE(Tile("Shows")->IsGreyedOut());
    EXPECT_FALSE(Tile("Trees")->IsGreyedOut());

    QApplication::clipboard()->setMimeData(ContentMimeSource(ContentSource::CopiedToClipboard, {shows}).MimeData());
    EXPECT_FALSE(Tile("Shows")->IsGreyedOut()) << "a copy greys nothing";

    // The keys do the same.
    Tile("Trees")->setSelected(true);
    QTest::keyClick(view_->Preview(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(Tile("Trees")->IsGreyedOut());
    EXPECT_FALSE(Tile("Shows")->IsGreyedOut());
    QTest::keyClick(view_->Preview(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(Tile("Trees")->IsGreyedOut()) << "copied: no longer grey";

    // A tile made while the cut is on the clipboard starts grey.
    QApplication::clipboard()->setMimeData(ContentMimeSource(ContentSource::CutToClipboard, {shows}).MimeData());
    view_->SetFolder(nullptr);
    view_->SetFolder(show_);
    EXPECT_TRUE(Tile("Shows")->IsGreyedOut());
}
