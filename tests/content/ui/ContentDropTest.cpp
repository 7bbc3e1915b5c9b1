// The drop rules over the user library and a Brevant fixture's tree on the simulated line.
#include "content/ContentSource.h"
#include "content/operations/ContentSteps.h"
#include "content/policies/FamilyImport.h"
#include "content/policies/NamedPolicies.h"
#include "content/ui/ContentDrop.h"
#include "fixtures/tree/QelRDMContentFolder.h"
#include "fixtures/commands/QelContentDownloadCommand.h"
#include "fixtures/commands/QelContentUploadCommands.h"
#include "fixtures/tree/QelTreeFamily.h"
#include "images/QelRDMImage.h"
#include "tests/content/MemoryFolders.h"
#include "tests/content/ui/ContentUiTestSupport.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

using namespace content_ui_test;
using library_test::Describe;

namespace {

// A Brevant family whose roots have no user content group.
class FamilyWithoutUserGroup : public QelTreeFamily
{
public:
    const QelTreeFamily& base = QelTreeFamily::Brevant();
    QelFamilyKind Kind() const override { return base.Kind(); }
    const QelImageFamily& Images() const override { return base.Images(); }
    PolicyBase* FolderPolicy() const override { return base.FolderPolicy(); }
    int LastMosavraFolder() const override { return base.LastMosavraFolder(); }
    std::unique_ptr<Content> NewImage() const override { return base.NewImage(); }
    bool Fill(Content& item, const QelRDMImage& record) const override { return base.Fill(item, record); }
    QelRDMContentGroup* NewGroup(QelRDMContentRoot* root, QelRDM* device, int first, int last, const QString& name,
                                 int kind, int capacity) const override
    {
        if (kind == QelRDMContentGroup::UserContent)
            return nullptr;
        return base.NewGroup(root, device, first, last, name, kind, capacity);
    }
    QelRDMContentFolder* NewFolder(QelRDMContentGroup* group, QelRDM* device, int number, const QString& name,
                                   bool discover) const override
    {
        return base.NewFolder(group, device, number, name, discover);
    }
    QelRDMContentAggregate* NewAggregate(const QString& name, int folder) const override
    {
        return base.NewAggregate(name, folder);
    }
    std::unique_ptr<QelContentUploadCommand> NewUpload() const override { return base.NewUpload(); }
    std::unique_ptr<QelContentMultiUploadCommand> NewMultiUpload() const override { return base.NewMultiUpload(); }
    std::unique_ptr<QelContentDownloadCommand> NewDownload() const override { return base.NewDownload(); }
    ContentFolderAggregator* Aggregator() const override { return base.Aggregator(); }
};

class RootWithoutUserGroup : public QelRDMContentRoot
{
public:
    RootWithoutUserGroup() : QelRDMContentRoot(Family(), nullptr) {}
    static const QelTreeFamily& Family()
    {
        static FamilyWithoutUserGroup family;
        return family;
    }
};

QByteArray Record(const Content* item)
{
    BrevantRDMImage record;
    return qobject_cast<const BrevantImage*>(item)->ToRDMImage(record) ? record.Flatten() : QByteArray();
}

std::unique_ptr<QMimeData> Payload(int mode, const QList<ContentBase*>& items)
{
    return std::unique_ptr<QMimeData>(ContentMimeSource(mode, items).MimeData());
}

std::unique_ptr<QMimeData> Files(const QStringList& paths)
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    return data;
}

using ContentDropTest = LibraryAndFixture;

} // namespace

TEST_F(ContentDropTest, AdjustTargetFollowsTheTable)
{
    ContentBase* sky = Item(shows_, "Sky");
    ContentFolder* lamps = UserFolder(47);
    ContentFolder* stock = root_->StockGroup();
    RootWithoutUserGroup bare;
    ASSERT_EQ(bare.UserGroup(), nullptr);

    struct Case {
        const char* what;
        QList<ContentBase*> items;
        ContentFolder* target;
        bool accepted;
        QList<ContentBase*> adjustedItems;
        ContentFolder* adjustedTarget;
    };
    const QList<ContentBase*> showsFolders = {shows_, trees_};
    const QList<Case> cases = {
        {"content onto the library root", {sky}, library_.get(), true, {sky}, library_.get()},
        {"content onto a fixture root", {sky}, root_, true, {sky}, root_},
        {"content onto a fixture group", {sky}, stock, true, {sky}, stock},
        {"package onto the library root", {show_}, library_.get(), true, {show_}, library_.get()},
        {"library folder onto the library root", {shows_}, library_.get(), false, {}, nullptr},
        {"fixture folder onto the library root", {lamps}, library_.get(), false, {}, nullptr},
        {"package onto a fixture root", {show_}, root_, true, showsFolders, root_->UserGroup()},
        {"library folder onto a fixture root", {shows_}, root_, true, {shows_}, root_->UserGroup()},
        {"fixture root onto a fixture root", {root_}, root_, false, {}, nullptr},
        {"package onto a package", {show_}, show_, true, showsFolders, show_},
        {"fixture group onto a package", {stock}, show_, true, ChildrenOf(stock), show_},
        {"fixture folder onto a package", {lamps}, show_, true, {lamps}, show_},
        {"library root onto a package", {library_.get()}, show_, false, {}, nullptr},
        {"library folder onto a fixture group", {shows_}, stock, true, {shows_}, stock},
        {"folder onto a folder", {shows_}, trees_, true, {sky, Item(shows_, "Rain")}, trees_},
        {"fixture folder onto a library folder", {lamps}, trees_, true, ChildrenOf(lamps), trees_},
        {"package onto a folder", {show_}, trees_, false, {}, nullptr},
        {"folder onto a root without user group", {shows_}, &bare, false, {}, nullptr},
        {"package onto a root without user group", {show_}, &bare, false, {}, nullptr},
        {"two items at once", {sky, shows_}, trees_, false, {}, nullptr},
    };
    for (const Case& c : cases) {
        QList<ContentBase*> items = c.items;
        ContentFolder* target = c.target;
        ASSERT_EQ(ContentDrop::AdjustTarget(items, target), c.accepted) << c.what;
        if (c.accepted) {
            EXPECT_EQ(items, c.adjustedItems) << c.what;
            EXPECT_EQ(target, c.adjustedTarget) << c.what;
        } else {
            EXPECT_EQ(items, c.items) << c.what << ": a refusal changes nothing";
            EXPECT_EQ(target, c.target) << c.what;
        }
    }

    // The whole drop: a content and a folder would end in different folders.
    QList<ContentBase*> mixed = {sky, shows_};
    ContentFolder* target = root_;
    EXPECT_FALSE(ContentDrop::AdjustTargets(mixed, target));
    QList<ContentBase*> none;
    EXPECT_FALSE(ContentDrop::AdjustTargets(none, target));
    QList<ContentBase*> both = {shows_, trees_};
    ASSERT_TRUE(ContentDrop::AdjustTargets(both, target));
    EXPECT_EQ(target, root_->UserGroup());
}

TEST_F(ContentDropTest, CanDropPrefersTheProposedActionThenAMove)
{
    ContentBase* sky = Item(shows_, "Sky");
    const Qt::DropActions both = Qt::CopyAction | Qt::MoveAction;
    Qt::DropAction out = Qt::IgnoreAction;

    // Items of a folder view dropped on their own folder, or on themselves.
    EXPECT_FALSE(ContentDrop::CanDrop(shows_, Payload(1, {sky}).get(), both, Qt::IgnoreAction, &out));
    EXPECT_FALSE(ContentDrop::CanDrop(trees_, Payload(1, {trees_}).get(), both, Qt::IgnoreAction, &out));

    EXPECT_TRUE(ContentDrop::CanDrop(trees_, Payload(3, {sky}).get(), both, Qt::IgnoreAction, &out));
    EXPECT_EQ(out, Qt::MoveAction) << "a cut moves inside one tree";
    EXPECT_TRUE(ContentDrop::CanDrop(trees_, Payload(2, {sky}).get(), both, Qt::IgnoreAction, &out));
    EXPECT_EQ(out, Qt::CopyAction) << "a copied payload copies";

    auto other = MakeLibrary(QStringLiteral("other"));
    ContentFolder* otherTrees = Folder(Package(other.get(), "Show"), "Trees");
    EXPECT_TRUE(ContentDrop::CanDrop(otherTrees, Payload(0, {sky}).get(), both, Qt::MoveAction, &out));
    EXPECT_EQ(out, Qt::CopyAction) << "no move across trees";
    out = Qt::IgnoreAction;
    EXPECT_FALSE(ContentDrop::CanDrop(otherTrees, Payload(3, {sky}).get(), Qt::MoveAction, Qt::IgnoreAction, &out));
    EXPECT_EQ(out, Qt::IgnoreAction);

    std::unique_ptr<QMimeData> dead = Payload(2, {});
    EXPECT_FALSE(ContentDrop::CanDrop(trees_, dead.get(), both, Qt::IgnoreAction, &out)) << "nothing to drop";
}

TEST_F(ContentDropTest, FilesAreJudgedByTheFoldersQuickImport)
{
    const QString image = Path("a.bvi");
    const QString notes = Path("notes.txt");
    library_test::WriteImage<BrevantImage>(image);
    library_test::WriteBytes(notes, "notes");
    const Qt::DropActions both = Qt::CopyAction | Qt::MoveAction;
    Qt::DropAction out = Qt::IgnoreAction;

    EXPECT_TRUE(ContentDrop::DropFiles(trees_, Files({image, notes}).get(), both, &out));
    EXPECT_EQ(out, Qt::CopyAction);
    EXPECT_TRUE(ContentDrop::CanDrop(trees_, Files({image, notes}).get(), both, Qt::MoveAction, &out));
    EXPECT_EQ(out, Qt::CopyAction);

    EXPECT_TRUE(ContentDrop::DropFiles(library_.get(), Files({notes}).get(), both, &out));
    EXPECT_FALSE(ContentDrop::CanDrop(library_.get(), Files({notes}).get(), both, Qt::IgnoreAction, &out));
    EXPECT_FALSE(ContentDrop::DropFiles(trees_, Files({image}).get(), Qt::MoveAction, &out));
}

TEST_F(ContentDropTest, AFolderDroppedOnAFixtureLandsInItsUserGroupOnTheFixture)
{
    OperationConfirmer confirmer;
    const QByteArray sky = Record(static_cast<Content*>(Item(shows_, "Sky")));
    const QByteArray rain = Record(static_cast<Content*>(Item(shows_, "Rain")));
    Qt::DropAction out = Qt::IgnoreAction;
    std::unique_ptr<QMimeData> drag = Payload(0, {shows_});
    ASSERT_TRUE(ContentDrop::CanDrop(root_, drag.get(), Qt::CopyAction | Qt::MoveAction, Qt::IgnoreAction, &out));
    EXPECT_EQ(out, Qt::CopyAction);
    ASSERT_TRUE(ContentDrop::Drop(nullptr, root_, drag.get(), out));
    EXPECT_EQ(confirmer.confirmed, 0);

    const sim::QelContent content = Sim().Content();
    ASSERT_EQ(content.folders.count(45), 1u);
    const sim::QelStoredFolder& folder = content.folders.at(45);
    EXPECT_EQ(folder.name, "Shows");
    ASSERT_EQ(folder.files.size(), 2u);
    EXPECT_EQ(folder.files.at(1).record, sky);
    EXPECT_EQ(folder.files.at(2).record, rain);
    ASSERT_TRUE(PollUntil([&] { return UserFolder(45) && UserFolder(45)->ChildCount() == 2; }));
    EXPECT_EQ(UserFolder(45)->GetName(), "Shows");
}

TEST_F(ContentDropTest, ACutPastedElsewhereMovesAndEmptiesTheClipboard)
{
    OperationConfirmer confirmer;
    QClipboard* board = QGuiApplication::clipboard();
    board->setMimeData(ContentMimeSource(ContentSource::CutToClipboard, {Item(shows_, "Sky")}).MimeData());
    ASSERT_TRUE(ContentDrop::Drop(nullptr, trees_, board->mimeData(), Qt::IgnoreAction));
    EXPECT_EQ(Describe(shows_), QStringList{"Rain@2"});
    EXPECT_EQ(Describe(trees_), QStringList{"Sky@1"});
    EXPECT_FALSE(board->mimeData() && board->mimeData()->hasFormat(ContentSourceMimeType));
    EXPECT_EQ(confirmer.confirmed, 0);
}

TEST_F(ContentDropTest, AMoveWhoseCopyFailsDeletesNothing)
{
    OperationConfirmer confirmer;
    MemoryFolder root(nullptr, QStringLiteral("root"));
    MemoryFolder* from = root.AddFolder(QStringLiteral("from"));
    MemoryFolder* to = root.AddFolder(QStringLiteral("to"));
    from->AddContent(QStringLiteral("one"), 1);
    to->SetFailing(MemoryFolder::Add);
    EXPECT_FALSE(ContentDrop::Drop(nullptr, to, Payload(3, {from->Child(0)}).get(), Qt::MoveAction));
    EXPECT_EQ(confirmer.confirmed, 1) << "the failed copy is shown";
    EXPECT_EQ(from->ChildCount(), 1);
    EXPECT_TRUE(root.Log().Lines("remove").isEmpty());
}

// Each picture dropped is imported through a dialog, during which the folder may go (its
// fixture leaving the line); the pictures after it are not imported into the dead folder.
TEST(ContentDropFilesTest, AFolderDeletedDuringAnImportDialogTakesNoMoreFiles)
{
    MemoryFolder root(RootContentPolicy::Instance(), QStringLiteral("User Content"));
    MemoryFolder* package = root.AddFolder(QStringLiteral("Show"), 0, BREVANTContentPackagePolicy::Instance());
    MemoryFolder* folder = package->AddFolder(QStringLiteral("Shows"), 45, BREVANTContentFolderPolicy::Instance());
    int dialogs = 0;
    SetPictureImporter([&](QWidget*, const QFileInfo&, Content&) {
        if (++dialogs == 1) {
            EXPECT_TRUE(package->RemoveChild(folder, nullptr));
        }
        return PictureImportResult::Imported;
    });
    EXPECT_FALSE(ContentDrop::Drop(nullptr, folder, Files({"/pictures/one.png", "/pictures/two.png"}).get(),
                                   Qt::CopyAction));
    SetPictureImporter({});
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(package->ChildCount(), 0);
}
