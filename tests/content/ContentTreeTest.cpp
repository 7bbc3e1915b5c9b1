#include "content/ContentFolder.h"
#include "content/ContentMutex.h"
#include "content/policies/ContentPolicy.h"
#include "tests/content/MemoryFolders.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// Whether another thread finds ContentMutex taken right now.
bool MutexHeldElsewhere()
{
    bool held = false;
    std::thread probe([&] {
        held = !ContentMutex.tryLock();
        if (!held)
            ContentMutex.unlock();
    });
    probe.join();
    return held;
}

// A folder that is no policy folder, so that ContentFolder's own answers show: it owns its
// children, refuses every change and records what its import hooks are asked. The
// change contract itself is MemoryFolder's to show.
class PlainFolder : public ContentFolder
{
public:
    explicit PlainFolder(const QString& name = {}, int minAddress = 0, int maxAddress = 255,
                         ContentFolder* parent = nullptr)
        : ContentFolder(parent), min_(minAddress), max_(maxAddress)
    {
        SetName(name);
    }

    int ChildCount() const override
    {
        ContentLocker lock(&ContentMutex);
        return int(children_.size());
    }
    ContentBase* Child(int index) override
    {
        ContentLocker lock(&ContentMutex);
        return children_.at(std::size_t(index)).get();
    }
    const ContentBase* Child(int index) const override
    {
        ContentLocker lock(&ContentMutex);
        return children_.at(std::size_t(index)).get();
    }
    int MinAddress() override { return min_; }
    int MaxAddress() override { return max_; }

    MemoryContent* AddContent(const QString& name, int address)
    {
        auto* content = new MemoryContent(name, address, this);
        Adopt(content);
        return content;
    }
    PlainFolder* AddFolder(const QString& name)
    {
        auto* folder = new PlainFolder(name, 0, 255, this);
        Adopt(folder);
        return folder;
    }

    bool CreateFolder(const QString&, int, int, IFeedback* feedback) override { return Refuse(feedback, "no"); }
    bool AcceptsContent(const Content*) override { return true; }
    bool AddChild(QList<ContentBase*>, IFeedback* feedback) override { return Refuse(feedback, "no"); }
    bool ModifyChild(ContentBase*, const QString&, int, IFeedback* feedback) override { return Refuse(feedback, "no"); }
    bool MoveHere(ContentBase*, IFeedback* feedback) override { return Refuse(feedback, "no"); }
    bool RemoveChild(ContentBase*, IFeedback* feedback) override { return Refuse(feedback, "no"); }

    QList<Content*> ImportFile(const QString& path) override
    {
        imported << path;
        return {new MemoryContent(QStringLiteral("probe"))};
    }
    QList<Content*> ImportFileFor(QWidget* parent, const QString& path) override
    {
        imported << path;
        importParent = parent;
        return {new MemoryContent(QStringLiteral("real")), new MemoryContent(QStringLiteral("real2"))};
    }
    QStringList imported;
    QWidget* importParent = nullptr;

private:
    // Emits the matching signal under ContentMutex, as the real folders do.
    void Adopt(ContentBase* child)
    {
        ContentLocker lock(&ContentMutex);
        children_.emplace_back(child);
        if (auto* folder = qobject_cast<ContentFolder*>(child))
            emit FolderAdded(this, folder);
        else
            emit ContentAdded(this, static_cast<Content*>(child));
    }

    std::vector<std::unique_ptr<ContentBase>> children_;
    int min_;
    int max_;
};

} // namespace

TEST(ContentBase, StartsEmptyAndStoresItsFields)
{
    PlainFolder folder;
    MemoryContent content({}, 0, &folder);
    EXPECT_EQ(content.GetName(), QString());
    EXPECT_EQ(content.GetAddress(), 0);
    EXPECT_EQ(content.GetMosavraID(), 0);
    EXPECT_EQ(content.GetParent(), &folder);
    EXPECT_EQ(content.GetParentFolder(), &folder);
    EXPECT_EQ(content.parent(), nullptr) << "trees are not held together by QObject parents";
    EXPECT_FALSE(content.IsReadOnly());
    EXPECT_FALSE(content.IsNotLoaded());

    QSignalSpy names(&content, &ContentBase::NameChanged);
    QSignalSpy addresses(&content, &ContentBase::AddressChanged);
    EXPECT_TRUE(content.SetMosavraID(0xBEEF));
    EXPECT_EQ(content.GetMosavraID(), 0xBEEF);
    EXPECT_TRUE(content.SetParent(nullptr));
    EXPECT_EQ(content.GetParent(), nullptr);
    EXPECT_TRUE(names.isEmpty());
    EXPECT_TRUE(addresses.isEmpty());
}

TEST(ContentBase, SetNameKeepsSixteenCharactersAndReportsTheOldName)
{
    MemoryContent content(QStringLiteral("Sunrise"));
    QSignalSpy spy(&content, &ContentBase::NameChanged);
    EXPECT_TRUE(content.SetName(QStringLiteral("ABCDEFGHIJKLMNOPQRST")));
    EXPECT_EQ(content.GetName(), QStringLiteral("ABCDEFGHIJKLMNOP"));
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy[0][0].value<const ContentBase*>(), &content);
    EXPECT_EQ(spy[0][1].toString(), QStringLiteral("Sunrise"));
}

TEST(ContentBase, SetAddressStoresAnyValueAndReportsTheOldOne)
{
    MemoryContent content({}, 7);
    QSignalSpy spy(&content, &ContentBase::AddressChanged);
    EXPECT_TRUE(content.SetAddress(999)); // no range check: ranges are the folder's business
    EXPECT_EQ(content.GetAddress(), 999);
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy[0][1].toInt(), 7);
}

TEST(Content, KeyIsDrawnAtRandomAndCarriedByClones)
{
    MemoryContent a, b;
    EXPECT_NE(a.Key(), b.Key());
    std::unique_ptr<Content> copy(a.Clone());
    EXPECT_EQ(copy->Key(), a.Key());
    EXPECT_EQ(copy->GetParent(), nullptr);
}

TEST(ContentFolder, NextFreeAddressFindsTheLowestUnusedAddressInRange)
{
    struct Case {
        const char* what;
        int min, max;
        std::vector<int> children;
        int start, expected;
    } cases[] = {
        {"walk restarts after each match", 1, 255, {2, 1, 3}, 0, 4},
        {"range used up", 1, 3, {2, 1, 3}, 0, -1},
        {"gap below the highest child", 1, 255, {1, 3}, 0, 2},
        {"start above the minimum", 1, 255, {1, 5}, 5, 6},
        {"empty folder answers the minimum", 41, 250, {}, 0, 41},
        {"empty folder answers the start", 1, 255, {}, 9, 9},
        {"start beyond the range", 1, 255, {}, 256, -1},
        {"address 0 counts as used when in range", 0, 255, {0}, 0, 1},
    };
    for (const Case& c : cases) {
        PlainFolder folder({}, c.min, c.max);
        for (int address : c.children)
            folder.AddContent(QStringLiteral("c%1").arg(address), address);
        EXPECT_EQ(folder.NextFreeAddress(c.start), c.expected) << c.what;
        if (c.start == 0) {
            EXPECT_EQ(folder.DefaultAddress(), c.expected) << c.what;
        }
    }
}

TEST(ContentFolder, ConflictsComparesNamesExactlyAndIgnoresAddresses)
{
    PlainFolder folder;
    folder.AddContent(QStringLiteral("Sky"), 1);
    folder.AddContent(QStringLiteral("Sea"), 1); // two children may share an address
    EXPECT_TRUE(folder.Conflicts(QStringLiteral("Sky"), 99));
    EXPECT_FALSE(folder.Conflicts(QStringLiteral("sky"), 1));
    EXPECT_FALSE(folder.Conflicts(QStringLiteral("Rain"), 1));
}

TEST(ContentFolder, MakeUniqueNumbersTheNameAndLeavesTheAddress)
{
    PlainFolder folder;
    folder.AddContent(QStringLiteral("Sky"), 1);
    folder.AddContent(QStringLiteral("Sky (2)"), 2);

    QString name = QStringLiteral("Sky");
    int address = 1;
    folder.MakeUnique(name, address);
    EXPECT_EQ(name, QStringLiteral("Sky (3)"));
    EXPECT_EQ(address, 1);

    QString fresh = QStringLiteral("Rain");
    folder.MakeUnique(fresh, address);
    EXPECT_EQ(fresh, QStringLiteral("Rain"));

    // The candidate is not cut here: a later SetName does that.
    folder.AddContent(QStringLiteral("SixteenCharsLong"), 3);
    QString longName = QStringLiteral("SixteenCharsLong");
    folder.MakeUnique(longName, address);
    EXPECT_EQ(longName, QStringLiteral("SixteenCharsLong (2)"));
}

TEST(ContentFolder, RootTopFolderAndInsideFollowTheParents)
{
    PlainFolder root(QStringLiteral("root"));
    PlainFolder* a = root.AddFolder(QStringLiteral("a"));
    PlainFolder* b = a->AddFolder(QStringLiteral("b"));
    MemoryContent* item = b->AddContent(QStringLiteral("item"), 1);
    MemoryContent orphan;

    EXPECT_EQ(root.GetRoot(), &root);
    EXPECT_EQ(b->GetRoot(), &root);
    EXPECT_EQ(b->GetTopFolder(), &root);
    EXPECT_EQ(item->GetRoot(), &root);
    EXPECT_EQ(item->GetTopFolder(), &root);
    EXPECT_EQ(orphan.GetRoot(), nullptr);
    EXPECT_EQ(orphan.GetTopFolder(), nullptr);

    EXPECT_TRUE(b->IsInside(b)) << "a folder is inside itself";
    EXPECT_TRUE(b->IsInside(&root));
    EXPECT_FALSE(a->IsInside(b));
    EXPECT_FALSE(a->IsInside(nullptr));
}

TEST(ContentFolder, MovesStayInOneTreeAndNeverIntoTheMovedFolder)
{
    PlainFolder root(QStringLiteral("root"));
    PlainFolder* a = root.AddFolder(QStringLiteral("a"));
    PlainFolder* b = a->AddFolder(QStringLiteral("b"));
    PlainFolder* c = root.AddFolder(QStringLiteral("c"));
    MemoryContent* item = a->AddContent(QStringLiteral("item"), 1);
    PlainFolder otherRoot(QStringLiteral("other"));
    PlainFolder* elsewhere = otherRoot.AddFolder(QStringLiteral("x"));

    EXPECT_FALSE(a->CanMoveFolderHere(a)) << "into itself";
    EXPECT_FALSE(b->CanMoveFolderHere(a)) << "below itself";
    EXPECT_TRUE(c->CanMoveFolderHere(a));
    EXPECT_TRUE(root.CanMoveFolderHere(b));
    EXPECT_FALSE(root.CanMoveFolderHere(a)) << "already here";
    EXPECT_FALSE(elsewhere->CanMoveFolderHere(a)) << "another tree";
    EXPECT_FALSE(c->CanMoveFolderHere(nullptr));

    EXPECT_FALSE(a->CanMoveContentHere(item)) << "already here";
    EXPECT_TRUE(b->CanMoveContentHere(item));
    EXPECT_TRUE(c->CanMoveContentHere(item));
    EXPECT_FALSE(elsewhere->CanMoveContentHere(item)) << "another tree";
    MemoryContent orphan;
    EXPECT_FALSE(c->CanMoveContentHere(&orphan));
    EXPECT_FALSE(c->CanMoveContentHere(nullptr));
}

TEST(ContentFolder, DefaultsOfTheQuestionsAndHooks)
{
    PlainFolder folder;
    EXPECT_FALSE(folder.IsReadOnly());
    EXPECT_FALSE(folder.IsChildrenReadOnly());
    EXPECT_FALSE(folder.IsViewOnly());
    EXPECT_FALSE(folder.HasNotLoadedContent());
    EXPECT_TRUE(folder.AcceptsFolder(nullptr));
    EXPECT_EQ(folder.NewChildTypeName(0), QString());
    EXPECT_EQ(folder.Aggregator(), nullptr);
    FeedbackRecorder feedback;
    EXPECT_FALSE(folder.CheckModifiable(&feedback));
    EXPECT_TRUE(feedback.Texts().isEmpty());
}

TEST(ContentFolder, ARefusedChangeSendsOneErrorAndNeverFinishes)
{
    // The test folders of every operation test keep the contract the operations rely on.
    MemoryFolder folder(UniqueFilenamePolicy::Instance(), QStringLiteral("F"));
    folder.AddFolder(QStringLiteral("Taken"));
    FeedbackRecorder feedback;
    EXPECT_FALSE(folder.CreateFolder(QStringLiteral("Taken"), 0, 0, &feedback));
    EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{QStringLiteral("Taken@0 clashes in F")});
    EXPECT_EQ(feedback.Texts().size(), 1);
    EXPECT_TRUE(feedback.Results().isEmpty());
    EXPECT_EQ(folder.ChildCount(), 1);

    folder.SetRefused(MemoryFolder::Modify);
    EXPECT_FALSE(folder.ModifyChild(folder.Child(0), QStringLiteral("x"), 1, nullptr))
        << "without a feedback only the answer tells";
    EXPECT_TRUE(folder.CreateFolder(QStringLiteral("New"), 0, 0, &feedback));
    EXPECT_EQ(feedback.Results(), QList<FeedbackResult>{FeedbackSuccess});
}

TEST(ContentFolder, ImportFilesProbesOnlyFilesAndImportFilesForTakesEveryPath)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString first = dir.filePath(QStringLiteral("b.png"));
    const QString second = dir.filePath(QStringLiteral("a.png"));
    for (const QString& path : {first, second}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString missing = dir.filePath(QStringLiteral("missing.png"));

    PlainFolder folder;
    const QStringList paths{first, dir.path(), missing, second};
    QList<Content*> probes = folder.ImportFiles(paths);
    EXPECT_EQ(folder.imported, (QStringList{first, second})) << "in the given order, files only";
    EXPECT_EQ(probes.size(), 2);
    qDeleteAll(probes);

    folder.imported.clear();
    QWidget window;
    QList<Content*> contents = folder.ImportFilesFor(&window, paths);
    EXPECT_EQ(folder.imported, paths);
    EXPECT_EQ(folder.importParent, &window);
    EXPECT_EQ(contents.size(), 8);
    qDeleteAll(contents);
}

TEST(ContentTreeSignals, AreEmittedUnderTheMutexAndADirectSlotMayReadTheTree)
{
    PlainFolder folder(QStringLiteral("folder"));
    MemoryContent* item = folder.AddContent(QStringLiteral("old"), 3);
    bool heldDuringSignal = false;
    QString seenName;
    int seenCount = -1;
    QObject::connect(item, &ContentBase::NameChanged, item, [&](const ContentBase* node, const QString&) {
        heldDuringSignal = MutexHeldElsewhere();
        seenName = node->GetName();
        seenCount = node->GetParent()->ChildCount();
    });
    item->SetName(QStringLiteral("new"));
    EXPECT_TRUE(heldDuringSignal);
    EXPECT_EQ(seenName, QStringLiteral("new"));
    EXPECT_EQ(seenCount, 1);
    EXPECT_FALSE(MutexHeldElsewhere());
}

TEST(ContentTreeSignals, ReachReceiversOnOtherThreadsQueuedWithoutDeadlock)
{
    PlainFolder folder(QStringLiteral("folder"));
    QThread receiverThread;
    QObject receiver;
    receiver.moveToThread(&receiverThread);
    receiverThread.start();

    std::atomic<int> names{0};
    std::atomic<int> added{0};
    QString addedName;
    QObject::connect(&folder, &ContentFolder::ContentAdded, &receiver,
                     [&](const ContentFolder* parent, Content* content) {
                         // Reads the tree from the receiving thread while the GUI thread
                         // may be changing it.
                         addedName = content->GetName() + "@" + parent->GetName();
                         ++added;
                     });
    QObject::connect(&folder, &ContentBase::NameChanged, &receiver, [&] { ++names; });

    for (int i = 0; i < 50; ++i) {
        ContentLocker lock(&ContentMutex); // hold it across a burst of changes
        folder.SetName(QStringLiteral("folder"));
    }
    folder.AddContent(QStringLiteral("item"), 1);

    // Posted events reach one receiver in order: this one ends the thread after the rest.
    QMetaObject::invokeMethod(&receiver, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
    receiverThread.wait();
    EXPECT_EQ(names, 50);
    EXPECT_EQ(added, 1);
    EXPECT_EQ(addedName, QStringLiteral("item@folder"));
}

TEST(ContentTreeSignals, ChangesOnAWorkerThreadReachTheGuiThreadQueued)
{
    PlainFolder folder(QStringLiteral("folder"));
    QObject guiReceiver;
    QList<Qt::HANDLE> threads;
    QObject::connect(&folder, &ContentFolder::FolderAdded, &guiReceiver,
                     [&](const ContentFolder*, ContentFolder* added) {
                         threads << QThread::currentThreadId();
                         EXPECT_EQ(added->GetName(), QStringLiteral("sub"));
                     });
    std::unique_ptr<QThread> worker(QThread::create([&] { folder.AddFolder(QStringLiteral("sub")); }));
    worker->start();
    worker->wait();
    EXPECT_TRUE(threads.isEmpty()) << "queued, not run on the worker";
    QCoreApplication::processEvents();
    EXPECT_EQ(threads, QList<Qt::HANDLE>{QThread::currentThreadId()});
}
