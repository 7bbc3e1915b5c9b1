// The fixture content tree on the real path: the roots, groups, folders and aggregates of
// the LED-family fixtures queue their commands, the command thread runs them through the
// widget transport, qex_usb, the simulated widget and line to the simulated fixtures'
// content stores, and the outcomes come back into the tree on the GUI thread. Content
// operations run through the operation dialog, as the program runs them.
//
// On the line: Brevant fixtures 7ff0:00000101-104, a Cindral fixture 7ff0:00000201 and a
// plain RDM fixture 7ff0:00000301.
#include "content/ContentImageStore.h"
#include "content/cache/ContentImageCache.h"
#include "content/ContentMutex.h"
#include "content/ContentProtection.h"
#include "content/operations/ContentCopyOperation.h"
#include "content/operations/ContentSyncOperation.h"
#include "content/policies/NamedPolicies.h"
#include "fixtures/QelFamilies.h"
#include "fixtures/QelRDM.h"
#include "fixtures/operations/ContentDeleteAllOperations.h"
#include "content/operations/FeedbackWrapper.h"
#include "fixtures/tree/QelRDMContentAggregate.h"
#include "fixtures/tree/QelRDMContentFolder.h"
#include "fixtures/tree/QelRDMContentGroup.h"
#include "fixtures/tree/QelRDMContentRoot.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "link/commands/CommManager.h"
#include "link/commands/Command.h"
#include "link/devices/DeviceManager.h"
#include "link/rdm/RdmDefs.h"
#include "sim/fixtures/QelFixture.h"
#include "tests/content/MemoryFolders.h"
#include "tests/e2e/DialogRun.h"
#include "tests/e2e/WidgetRig.h"
#include "tests/fixtures/FamilyTestSupport.h"
#include "tests/link/PollUntil.h"
#include "tests/link/RecordingFeedback.h"
#include "tests/link/TestCommand.h"

#include <QMutex>
#include <QPointer>
#include <QSemaphore>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <array>
#include <map>

using sim::QelContentFault;
using sim::ResponderFault;

namespace {

namespace qelpid = sim::qelpid;

constexpr quint64 k101 = 0x7FF0'0000'0101ull;
constexpr quint64 k102 = 0x7FF0'0000'0102ull;
constexpr quint64 k103 = 0x7FF0'0000'0103ull;
constexpr quint64 k104 = 0x7FF0'0000'0104ull;
constexpr quint64 k201 = 0x7FF0'0000'0201ull;
constexpr quint64 k301 = 0x7FF0'0000'0301ull;

const char* const kRig = R"({ "widgets": [ { "kind": "programmed", "version": [1, 2], "fixtures": [
    { "kind": "brevant", "uid": "7ff0:00000101" },
    { "kind": "brevant", "uid": "7ff0:00000102" },
    { "kind": "brevant", "uid": "7ff0:00000103" },
    { "kind": "brevant", "uid": "7ff0:00000104" },
    { "kind": "cindral", "uid": "7ff0:00000201" },
    { "kind": "rdm-responder", "uid": "7ff0:00000301" } ] } ] })";

const QList<quint64> kRigUids = {k101, k102, k103, k104, k201, k301};

QByteArray Record(const Content* item)
{
    if (const auto* brevant = qobject_cast<const BrevantImage*>(item)) {
        BrevantRDMImage record;
        return brevant->ToRDMImage(record) ? record.Flatten() : QByteArray();
    }
    if (const auto* cindral = qobject_cast<const CindralImage*>(item)) {
        CindralRDMImage record;
        return cindral->ToRDMImage(record) ? record.Flatten() : QByteArray();
    }
    return QByteArray();
}

QList<int> Numbers(const ContentFolder* folder)
{
    ContentLocker lock(&ContentMutex);
    QList<int> numbers;
    for (int i = 0; i < folder->ChildCount(); ++i)
        numbers.append(folder->Child(i)->GetAddress());
    return numbers;
}

template <class... Images>
QList<ContentBase*> ListOf(Images*... images)
{
    return {images...};
}

// An image cache for the tests: it answers what it was given and notes what it kept.
class FakeImageCache : public ContentImageStore
{
public:
    FakeImageCache() { ContentImageStore::SetInstance(this); }
    ~FakeImageCache() override { ContentImageStore::SetInstance(nullptr); }

    std::unique_ptr<Content> Find(quint32 key) override
    {
        const auto it = images.find(key);
        return it == images.end() ? nullptr : it->second();
    }
    bool Store(Content& content) override
    {
        stored.append(content.Key());
        return true;
    }

    std::map<quint32, std::function<std::unique_ptr<Content>()>> images;
    QList<quint32> stored;
};

// A feedback that looks at the tree when Finished comes (on the tree's thread).
class WatchingFeedback : public RecordingFeedback
{
public:
    void Finished(FeedbackResult value) override
    {
        RecordingFeedback::Finished(value);
        if (onFinished)
            onFinished();
    }
    std::function<void()> onFinished;
};

class FixtureTreeEndToEnd : public WidgetRigTest
{
protected:
    void SetUp() override
    {
        WidgetRigTest::SetUp();
        BootRig(kRig);
        QObject::connect(&Manager(), &CommManager::CommandQueued, &watch_, [this](QUuid id) {
            queued_.insert(id);
            if (Command* command = Manager().FindCommand(id))
                queuedNames_.append(command->GetName());
        });
        QObject::connect(&Manager(), &CommManager::CommandCompleted, &watch_,
                         [this](QUuid id) { completed_.insert(id); });
    }
    void TearDown() override
    {
        fixtures_.clear();
        WidgetRigTest::TearDown();
    }

    sim::QelFixture& Sim(quint64 uid)
    {
        const auto index = std::size_t(kRigUids.indexOf(uid));
        return *std::dynamic_pointer_cast<sim::QelFixture>(RigResponder(index));
    }
    static sim::QelFamily SimFamily(quint64 uid) { return uid == k201 ? sim::QelFamily::Cindral : sim::QelFamily::Brevant; }

    // A folder in the fixture's store with files (file number, name, key).
    struct SimFile
    {
        int number;
        QByteArray name;
        quint32 key;
        int frames = 1;
    };
    void AddSimFolder(quint64 uid, int number, const QByteArray& name, const QList<SimFile>& files = {})
    {
        Sim(uid).ModifyContent([&](sim::QelContent& content) {
            sim::QelStoredFolder& folder = content.folders[number];
            folder.name = name;
            for (const SimFile& file : files) {
                sim::QelStoredFile& stored = folder.files[file.number];
                stored.record = sim::GenerateQelRecord(SimFamily(uid), file.key, file.name, file.frames, file.number);
                stored.key = stored.record.mid(sim::qelrecord::kKeyAt, 4);
                stored.name = file.name;
            }
        });
    }
    QList<int> SimFolders(quint64 uid)
    {
        QList<int> numbers;
        for (const auto& [number, folder] : Sim(uid).Content().folders)
            numbers.append(number);
        return numbers;
    }
    QByteArray SimRecord(quint64 uid, int folder, int file)
    {
        const sim::QelContent content = Sim(uid).Content();
        const auto f = content.folders.find(folder);
        if (f == content.folders.end())
            return QByteArray();
        const auto stored = f->second.files.find(file);
        return stored == f->second.files.end() ? QByteArray() : stored->second.record;
    }

    // The fixture object of a rig fixture, made on first use as discovery would.
    QelRDM& Fixture(quint64 uid)
    {
        std::unique_ptr<QelRDM>& fixture = fixtures_[uid];
        if (!fixture) {
            if (uid == k201)
                fixture = std::make_unique<CindralRDM>();
            else
                fixture = std::make_unique<BrevantRDM>();
            fixture->SetUniqueId(rdm::UidLow(uid), rdm::UidHigh(uid));
        }
        return *fixture;
    }
    // The fixture's tree once its discoveries have all come back.
    QelRDMContentRoot* Tree(quint64 uid)
    {
        QelRDMContentRoot* root = Fixture(uid).ContentRoot();
        Drain();
        return root;
    }
    QelRDMContentGroup* UserGroup(quint64 uid) { return Tree(uid)->UserGroup(); }
    QelRDMContentFolder* UserFolder(quint64 uid, int number) { return UserGroup(uid)->FolderNumbered(number); }

    // Clones a package whose folder "Shows" (45) holds `image` to the user groups of `uids`
    // through the operation dialog. The package (with `image`) stays for the test.
    Outcome CloneShowsTo(const QList<quint64>& uids, Content* image)
    {
        QList<ContentFolder*> targets;
        for (quint64 uid : uids)
            targets.append(UserGroup(uid));
        package_ = std::make_unique<MemoryFolder>(BREVANTContentPackagePolicy::Instance(), QStringLiteral("Package"));
        package_->AddFolder(QStringLiteral("Shows"), 45, BREVANTContentFolderPolicy::Instance())->Adopt(image);
        ContentSyncOperation clone;
        clone.SetSource(package_.get());
        clone.SetTargets(targets);
        return RunThroughDialog(clone);
    }

    // Waits until every command queued so far has completed, and its outcome reached the tree.
    void Drain()
    {
        EXPECT_TRUE(PollUntil([&] { return completed_.contains(queued_); }, 60000));
    }
    // Waits for `feedback` to have finished once.
    static bool WaitFinished(const RecordingFeedback& feedback)
    {
        return PollUntil([&] { return !feedback.results.isEmpty(); }, 60000);
    }

    QObject watch_;
    QSet<QUuid> queued_;
    QSet<QUuid> completed_;
    QStringList queuedNames_;
    std::map<quint64, std::unique_ptr<QelRDM>> fixtures_;
    std::unique_ptr<MemoryFolder> package_;
};

// ---- root and groups --------------------------------------------------------------------

TEST_F(FixtureTreeEndToEnd, TheFoldersGoToTheGroupsOfTheirNumbers)
{
    for (quint64 uid : {k101, k201})
        for (int number : {40, 41, 250, 251, 252})
            AddSimFolder(uid, number, " Folder " + QByteArray::number(number) + " ");

    struct Group
    {
        const char* name;
        int first;
        int last;
        QList<int> folders;
    };
    const QList<Group> brevant = {{"Stock Content", 1, 40, {40}},
                                  {"User Content", 41, 250, {41, 250}},
                                  {"Mosavra Content", 251, 251, {251}}};
    const QList<Group> cindral = {{"Stock Content", 1, 40, {40}},
                                  {"User Content", 41, 250, {41, 250}},
                                  {"Mosavra Content", 251, 255, {251, 252}}};
    for (const auto& [uid, groups] : {std::pair{k101, brevant}, std::pair{k201, cindral}}) {
        QelRDMContentRoot* root = Tree(uid);
        EXPECT_TRUE(root->ChildrenRead());
        ASSERT_EQ(root->ChildCount(), 3);
        for (int i = 0; i < 3; ++i) {
            auto* group = qobject_cast<QelRDMContentGroup*>(root->Child(i));
            ASSERT_TRUE(group);
            EXPECT_EQ(group->GetName(), QLatin1String(groups[i].name));
            EXPECT_EQ(group->MinAddress(), groups[i].first);
            EXPECT_EQ(group->MaxAddress(), groups[i].last);
            EXPECT_EQ(Numbers(group), groups[i].folders) << groups[i].name << " of 0x" << std::hex << uid;
            EXPECT_EQ(group->Capacity(), 256);
        }
        EXPECT_EQ(Fixture(uid).GetStockContentGroup(), root->Child(0));
        EXPECT_EQ(Fixture(uid).GetUserContentGroup(), root->Child(1));
        EXPECT_EQ(Fixture(uid).GetMosavraContentGroup(), root->Child(2));
        EXPECT_EQ(Fixture(uid).GetContentRoot(), root) << "built once";
        EXPECT_EQ(root->UserGroup()->FolderNumbered(41)->GetName(), "Folder 41") << "names come trimmed";
    }
    EXPECT_TRUE(qobject_cast<BrevantRDMContentFolder*>(UserFolder(k101, 41)));
    EXPECT_TRUE(qobject_cast<CindralRDMContentFolder*>(UserFolder(k201, 41)));
    EXPECT_EQ(UserGroup(k101)->NewChildTypeName(0), "BREVANT Folder");
    EXPECT_EQ(UserGroup(k201)->NewChildTypeName(0), "Cindral Folder");
    EXPECT_EQ(UserGroup(k201)->NewChildTypeName(1), QString());
}

TEST_F(FixtureTreeEndToEnd, ARootAskedForOnAnotherThreadLivesAndDiscoversOnTheFixturesThread)
{
    AddSimFolder(k102, 45, "Show");
    QelRDM& fixture = Fixture(k102);
    ContentFolder* root = nullptr;
    QThread* worker = QThread::create([&] { root = fixture.GetContentRoot(); });
    worker->start();
    ASSERT_TRUE(PollUntil([&] { return worker->isFinished(); }));
    delete worker;
    ASSERT_TRUE(root);
    EXPECT_EQ(root->thread(), QThread::currentThread());
    // Its first listing is asked for by a call posted to this thread and runs as a command
    // whose end no drain here can know of in advance: the test waits for the listing itself.
    QelRDMContentRoot* tree = fixture.ContentRoot();
    ASSERT_EQ(tree, root);
    const auto listed = [&] {
        return tree->ChildrenRead() && tree->UserGroup() && Numbers(tree->UserGroup()) == QList<int>{45};
    };
    EXPECT_TRUE(PollUntil(listed, 60000)) << "the fixture's folder 45 never came";
}

// ---- folders: discovery and download ------------------------------------------------------

TEST_F(FixtureTreeEndToEnd, AFolderListsItsFilesAndLoadsTheirDataOnce)
{
    FakeImageCache cache;
    AddSimFolder(k101, 45, "Show", {{3, "Sunset", 0x1234'5678, 4}, {4, "Nothing", 0, 2}});
    QelRDMContentFolder* folder = UserFolder(k101, 45);
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->ChildrenRead());
    ASSERT_EQ(folder->ChildCount(), 1) << "a file of key 0 is no content";
    auto* sunset = qobject_cast<BrevantImage*>(folder->Child(0));
    ASSERT_TRUE(sunset);
    EXPECT_EQ(sunset->GetName(), "Sunset");
    EXPECT_EQ(sunset->GetAddress(), 3);
    EXPECT_EQ(sunset->Key(), 0x1234'5678u) << "the placeholder carries the file's key";
    EXPECT_TRUE(sunset->IsNotLoaded());
    EXPECT_TRUE(folder->HasNotLoadedContent());

    // Listed again, nothing comes twice.
    ASSERT_TRUE(folder->QueueDiscovery(nullptr));
    Drain();
    EXPECT_EQ(folder->ChildCount(), 1);

    MarkLine();
    folder->LoadContent();
    Drain();
    EXPECT_FALSE(LineRequests(qelpid::BulkDataDownload).isEmpty());
    EXPECT_FALSE(sunset->IsNotLoaded());
    EXPECT_FALSE(folder->HasNotLoadedContent());
    EXPECT_EQ(Record(sunset), SimRecord(k101, 45, 3));
    EXPECT_EQ(cache.stored, QList<quint32>{0x1234'5678u}) << "a downloaded image goes to the cache";

    MarkLine();
    folder->LoadContent();
    Drain();
    EXPECT_TRUE(LineRequests(qelpid::BulkDataDownload).isEmpty()) << "a folder loads once";
}

TEST_F(FixtureTreeEndToEnd, TheCacheIsAskedFirstAndOnlyForImagesOfTheFixturesFamily)
{
    FakeImageCache cache;
    const auto cached = MakeTestImage<BrevantImage>(3, "Cached", 0xAAAA'0001);
    const QByteArray cachedRecord = Record(cached.get());
    cache.images[0xAAAA'0001] = [&] { return std::unique_ptr<Content>(cached->Clone()); };
    cache.images[0xAAAA'0002] = [] { return MakeTestImage<CindralImage>(2, "Other family", 0xAAAA'0002); };
    AddSimFolder(k102, 45, "Show", {{3, "Sunset", 0xAAAA'0001}, {5, "Dusk", 0xAAAA'0002}});

    QelRDMContentFolder* folder = UserFolder(k102, 45);
    ASSERT_EQ(Numbers(folder), (QList<int>{3, 5}));
    auto* fromCache = qobject_cast<BrevantImage*>(folder->Child(0));
    ASSERT_TRUE(fromCache);
    EXPECT_FALSE(fromCache->IsNotLoaded());
    EXPECT_EQ(fromCache->GetName(), "Sunset") << "the fixture's name";
    EXPECT_EQ(Record(fromCache).mid(sim::qelrecord::kPaletteAt), cachedRecord.mid(sim::qelrecord::kPaletteAt));
    auto* placeholder = qobject_cast<BrevantImage*>(folder->Child(1));
    ASSERT_TRUE(placeholder) << "a cached image of the other family is not taken";
    EXPECT_TRUE(placeholder->IsNotLoaded());

    MarkLine();
    folder->LoadContent();
    Drain();
    const QList<LineRequest> downloads = LineRequests(qelpid::BulkDataDownload);
    ASSERT_FALSE(downloads.isEmpty());
    for (const LineRequest& request : downloads)
        EXPECT_EQ(request.data.left(2), QByteArray::fromHex("2d05")) << "only the file not in the cache";
}

TEST_F(FixtureTreeEndToEnd, ADownloadedImageIsCachedAndSparesAnotherFixtureItsDownload)
{
    QTemporaryDir folder;
    ContentImageCache cache(folder.path(), nullptr);
    ContentImageStore::SetInstance(&cache); // until the cache goes
    AddSimFolder(k101, 45, "Show", {{3, "Sunset", 0x1122'3344, 4}});
    AddSimFolder(k102, 45, "Show", {{6, "Sunset", 0x1122'3344, 4}});

    QelRDMContentFolder* first = UserFolder(k101, 45);
    ASSERT_EQ(Numbers(first), QList<int>{3});
    first->LoadContent();
    Drain();
    ASSERT_FALSE(qobject_cast<Content*>(first->Child(0))->IsNotLoaded());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"11223344.bvi"});

    QelRDMContentFolder* second = UserFolder(k102, 45);
    ASSERT_EQ(Numbers(second), QList<int>{6});
    auto* taken = qobject_cast<BrevantImage*>(second->Child(0));
    ASSERT_TRUE(taken);
    EXPECT_FALSE(taken->IsNotLoaded()) << "the cached image is taken at the listing";
    EXPECT_EQ(taken->Key(), 0x1122'3344u);
    EXPECT_EQ(Record(taken).mid(sim::qelrecord::kPaletteAt), SimRecord(k101, 45, 3).mid(sim::qelrecord::kPaletteAt));
    MarkLine();
    second->LoadContent();
    Drain();
    EXPECT_TRUE(LineRequests(qelpid::BulkDataDownload).isEmpty());
}

// ---- adding: folders and uploads ------------------------------------------------------

TEST_F(FixtureTreeEndToEnd, CopyingALibraryFolderMakesTheFolderAndUploadsItsImages)
{
    QelRDMContentGroup* user = UserGroup(k101);
    MemoryFolder library(BREVANTContentPackagePolicy::Instance(), QStringLiteral("Library"));
    MemoryFolder* shows = library.AddFolder(QStringLiteral("Shows"), 45, BREVANTContentFolderPolicy::Instance());
    BrevantImage* dawn = MakeTestImage<BrevantImage>(2, "Dawn", 0x1111'0001, 1).release();
    BrevantImage* dusk = MakeTestImage<BrevantImage>(3, "Dusk", 0x1111'0002, 2).release();
    shows->Adopt(dawn);
    shows->Adopt(dusk);

    ContentCopyOperation copy;
    copy.SetItems({shows});
    copy.SetTarget(user);
    MarkLine();
    const Outcome outcome = RunThroughDialog(copy);
    EXPECT_TRUE(outcome.accepted) << outcome.log.toStdString();
    EXPECT_EQ(outcome.result, 0);

    QList<QByteArray> folderSets;
    for (const LineRequest& request : LineRequests(qelpid::FolderInfo))
        if (request.commandClass == rdm::SetCommand)
            folderSets.append(request.data);
    EXPECT_EQ(folderSets, QList<QByteArray>{QByteArray::fromHex("2d53686f7773") + QByteArray(11, '\0')});
    QSet<QByteArray> uploaded;
    for (const LineRequest& request : LineRequests(qelpid::BulkDataUpload))
        uploaded.insert(request.data.left(2));
    EXPECT_EQ(uploaded, (QSet<QByteArray>{QByteArray::fromHex("2d01"), QByteArray::fromHex("2d02")}));
    EXPECT_EQ(SimRecord(k101, 45, 1), Record(dawn));
    EXPECT_EQ(SimRecord(k101, 45, 2), Record(dusk));

    QelRDMContentFolder* folder = user->FolderNumbered(45);
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->GetName(), "Shows");
    ASSERT_EQ(Numbers(folder), (QList<int>{1, 2}));
    EXPECT_EQ(qobject_cast<Content*>(folder->Child(0))->Key(), dawn->Key());
    EXPECT_EQ(folder->Child(1)->GetName(), "Dusk");
    EXPECT_EQ(folder->Child(0)->thread(), QThread::currentThread()) << "items live with their folder";
}

TEST_F(FixtureTreeEndToEnd, ACallerHearsFinishedOnlyOnceTheTreeHasChanged)
{
    QelRDMContentGroup* user = UserGroup(k101);
    WatchingFeedback created;
    bool folderThere = false;
    created.onFinished = [&] { folderThere = user->FolderNumbered(46) != nullptr; };
    ASSERT_TRUE(user->CreateFolder(QStringLiteral("Later"), 46, 0, &created));
    ASSERT_TRUE(WaitFinished(created));
    EXPECT_EQ(created.results, QList<FeedbackResult>{FeedbackSuccess});
    EXPECT_TRUE(folderThere);

    QelRDMContentFolder* folder = user->FolderNumbered(46);
    WatchingFeedback uploaded;
    int childrenThen = -1;
    uploaded.onFinished = [&] { childrenThen = folder->ChildCount(); };
    ASSERT_TRUE(folder->AddChild(ListOf(MakeTestImage<BrevantImage>(1, "One", 7, 9).release()), &uploaded));
    ASSERT_TRUE(WaitFinished(uploaded));
    EXPECT_EQ(uploaded.results, QList<FeedbackResult>{FeedbackSuccess});
    EXPECT_EQ(childrenThen, 1);
    EXPECT_FALSE(uploaded.TextsStartingWith(" Content uploaded!").isEmpty()) << "progress passes at once";
}

TEST_F(FixtureTreeEndToEnd, AnUploadKeepsTheFoldersRulesAndSendsNothingWhenRefused)
{
    QList<SimFile> full;
    for (int file = 1; file <= 250; ++file)
        full.append({file, "F" + QByteArray::number(file), quint32(0x5000'0000 + file)});
    AddSimFolder(k101, 41, "Full", full);
    AddSimFolder(k101, 42, "Spare");
    QelRDMContentGroup* user = UserGroup(k101);
    ASSERT_EQ(user->ContentCount(), 250);
    QelRDMContentFolder* spare = user->FolderNumbered(42);
    QelRDMContentFolder* fullFolder = user->FolderNumbered(41);

    const auto images = [](QList<int> addresses) {
        std::vector<std::unique_ptr<BrevantImage>> list;
        for (int address : addresses)
            list.push_back(MakeTestImage<BrevantImage>(1, "New", quint32(0x6000'0000 + address), address));
        return list;
    };
    const auto refs = [](const std::vector<std::unique_ptr<BrevantImage>>& list) {
        QList<ContentBase*> children;
        for (const auto& image : list)
            children.append(image.get());
        return children;
    };
    struct Refusal
    {
        QelRDMContentFolder* folder;
        QList<int> addresses;
        const char* text;
    };
    const Refusal refusals[] = {
        {spare, {1, 2, 3, 4, 5, 6, 7}, "No space left in folder group for additional content"},
        {spare, {0}, "Content address is out of range"},
        {spare, {256}, "Content address is out of range"},
        {spare, {8, 8}, "New name and/or address conflicts with an existing child"},
        {fullFolder, {5}, "New name and/or address conflicts with an existing child"},
    };
    MarkLine();
    for (const Refusal& refusal : refusals) {
        RecordingFeedback feedback;
        const auto list = images(refusal.addresses);
        EXPECT_FALSE(refusal.folder->AddChild(refs(list), &feedback)) << refusal.text;
        EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{refusal.text});
        EXPECT_TRUE(feedback.results.isEmpty());
    }
    {
        RecordingFeedback feedback;
        const auto other = MakeTestImage<CindralImage>(1, "Other", 9, 9);
        EXPECT_FALSE(spare->AddChild(ListOf(other.get()), &feedback));
        EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{"Folder can't store content of this type"});
        EXPECT_FALSE(spare->AcceptsContent(other.get()));
    }
    Drain();
    EXPECT_TRUE(LinePids().isEmpty()) << "nothing goes to the fixture for a refusal";

    RecordingFeedback accepted;
    auto six = images({1, 2, 3, 4, 5, 6});
    ASSERT_TRUE(spare->AddChild(refs(six), &accepted));
    for (auto& image : six)
        image.release();  // the folder's now
    ASSERT_TRUE(WaitFinished(accepted));
    EXPECT_EQ(accepted.results, QList<FeedbackResult>{FeedbackSuccess});
    EXPECT_EQ(Numbers(spare), (QList<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(user->ContentCount(), 256);
    EXPECT_FALSE(spare->AcceptsContent(six.front().get())) << "the group is full";
}

TEST_F(FixtureTreeEndToEnd, TheStockGroupChangesOnlyWhileItsProtectionIsLowered)
{
    AddSimFolder(k101, 1, "Stock", {{1, "Pulse", 0x7000'0001}});
    QelRDMContentGroup* stock = Tree(k101)->StockGroup();
    QelRDMContentFolder* folder = stock->FolderNumbered(1);
    ASSERT_TRUE(folder);
    ASSERT_EQ(StockContentProtected.load(), 1);
    EXPECT_TRUE(stock->IsChildrenReadOnly());
    EXPECT_TRUE(stock->IsViewOnly());
    EXPECT_TRUE(folder->IsReadOnly());
    const QImage protectedPicture(QStringLiteral(":/Resources/content-package-qrv.png"));
    ASSERT_FALSE(protectedPicture.isNull()) << "the picture is built in";
    EXPECT_EQ(stock->Icon().pixmap(32).toImage().convertToFormat(QImage::Format_ARGB32),
              protectedPicture.convertToFormat(QImage::Format_ARGB32));
    EXPECT_FALSE(QImage(QStringLiteral(":/Resources/content-folder-qrv-16.png")).isNull());

    MarkLine();
    const QString refused = QString::fromLatin1(ContentFolder::kNotModifiableText);
    RecordingFeedback feedback;
    EXPECT_FALSE(stock->CreateFolder(QStringLiteral("New"), 2, 0, &feedback));
    EXPECT_FALSE(stock->ModifyChild(folder, QStringLiteral("Renamed"), 1, &feedback));
    EXPECT_FALSE(stock->RemoveChild(folder, &feedback));
    EXPECT_FALSE(folder->RemoveChild(folder->Child(0), &feedback));
    EXPECT_EQ(feedback.Texts(FeedbackError), QStringList(4, refused));
    Drain();
    EXPECT_TRUE(LinePids().isEmpty());

    {
        ScopedProtectionLowering lowered(StockContentProtected);
        EXPECT_FALSE(stock->IsChildrenReadOnly());
        RecordingFeedback created, renamed;
        ASSERT_TRUE(stock->CreateFolder(QStringLiteral("New"), 2, 0, &created));
        ASSERT_TRUE(stock->ModifyChild(folder, QStringLiteral("Renamed"), 1, &renamed));
        ASSERT_TRUE(WaitFinished(created) && WaitFinished(renamed));
        RecordingFeedback removed;
        ASSERT_TRUE(stock->RemoveChild(stock->FolderNumbered(2), &removed));
        ASSERT_TRUE(WaitFinished(removed));
        for (const RecordingFeedback* done : {&created, &renamed, &removed})
            EXPECT_EQ(done->results, QList<FeedbackResult>{FeedbackSuccess});
    }
    EXPECT_EQ(StockContentProtected.load(), 1) << "put back as it was";
    EXPECT_EQ(Numbers(stock), QList<int>{1});
    EXPECT_EQ(folder->GetName(), "Renamed");
    EXPECT_EQ(SimFolders(k101), QList<int>{1});
    EXPECT_EQ(Sim(k101).Content().folders.at(1).name, "Renamed");
}

// ---- folders of a group: rename, renumber, add ----------------------------------------

TEST_F(FixtureTreeEndToEnd, FolderNumbersStayUniqueAndFailedOrCutOffRequestsLeaveTheTreeAsTheFixtureIs)
{
    AddSimFolder(k101, 45, "Folder");
    AddSimFolder(k101, 46, "Folder (2)");
    QelRDMContentGroup* user = UserGroup(k101);
    QelRDMContentFolder* f45 = user->FolderNumbered(45);

    QString name = QStringLiteral("Folder");
    int number = 45;
    user->MakeUnique(name, number);
    EXPECT_EQ(name, "Folder (3)");
    EXPECT_EQ(number, 47);
    EXPECT_TRUE(user->Conflicts(QStringLiteral("Anything"), 46));
    EXPECT_FALSE(user->Conflicts(QStringLiteral("Folder"), 47)) << "names are not compared";

    MarkLine();
    RecordingFeedback refused;
    EXPECT_FALSE(user->ModifyChild(f45, QStringLiteral("Moved"), 46, &refused));
    EXPECT_FALSE(user->CreateFolder(QStringLiteral("Again"), 46, 0, &refused));
    EXPECT_FALSE(user->CreateFolder(QStringLiteral("Far"), 251, 0, &refused));
    EXPECT_FALSE(user->MoveHere(f45, &refused));
    EXPECT_EQ(refused.Texts(FeedbackError),
              (QStringList{"New name and/or address conflicts with an existing child",
                           "New name and/or address conflicts with an existing child", "Address is out of range",
                           "Moves to folder groups not permitted"}));
    Drain();
    EXPECT_TRUE(LinePids().isEmpty());

    RecordingFeedback renamed;
    ASSERT_TRUE(user->ModifyChild(f45, QStringLiteral("Renamed"), 45, &renamed));
    ASSERT_TRUE(WaitFinished(renamed));
    EXPECT_EQ(renamed.results, QList<FeedbackResult>{FeedbackSuccess});
    EXPECT_EQ(ExchangePids(), QList<quint16>{qelpid::FolderInfo}) << "a new name alone is one SET FOLDER_INFO";
    EXPECT_EQ(f45->GetName(), "Renamed");
    EXPECT_EQ(Sim(k101).Content().folders.at(45).name, "Renamed");

    RecordingFeedback renumbered;
    ASSERT_TRUE(user->ModifyChild(f45, QStringLiteral("Renamed"), 60, &renumbered));
    ASSERT_TRUE(WaitFinished(renumbered));
    EXPECT_EQ(f45->GetAddress(), 60);
    EXPECT_EQ(SimFolders(k101), (QList<int>{46, 60}));

    Sim(k101).InjectFault(ResponderFault::Nack(0x8105).ForPid(qelpid::FolderInfo));
    RecordingFeedback nacked;
    ASSERT_TRUE(user->CreateFolder(QStringLiteral("Nacked"), 47, 0, &nacked));
    ASSERT_TRUE(WaitFinished(nacked));
    EXPECT_EQ(nacked.results, QList<FeedbackResult>{FeedbackFailure});
    EXPECT_FALSE(nacked.Texts(FeedbackError).isEmpty()) << "the command's own lines reach the caller";
    EXPECT_EQ(Numbers(user), (QList<int>{60, 46}));

    // A listing that breaks off after its first page: the folders it got are there.
    for (int folder = 41; folder <= 60; ++folder)
        AddSimFolder(k102, folder, "Part " + QByteArray::number(folder));
    Sim(k102).InjectFault(ResponderFault::Silence().ForPid(qelpid::FolderInfo).After(1).Always());
    QelRDMContentRoot* cutOff = Tree(k102);
    EXPECT_FALSE(cutOff->ChildrenRead());
    EXPECT_EQ(cutOff->UserGroup()->ChildCount(), 13);
    EXPECT_EQ(cutOff->UserGroup()->Child(12)->GetAddress(), 53);
}

// ---- moving and removing content ------------------------------------------------------

TEST_F(FixtureTreeEndToEnd, ContentMovesOnlyBetweenFoldersOfOneFixture)
{
    AddSimFolder(k101, 45, "Show", {{3, "Sunset", 0x8000'0003}, {4, "Dawn", 0x8000'0004}});
    AddSimFolder(k101, 46, "Other", {{4, "Taken", 0x8000'0014}});
    AddSimFolder(k102, 47, "Elsewhere", {{3, "Far", 0x8000'0023}});
    QelRDMContentFolder* f45 = UserFolder(k101, 45);
    QelRDMContentFolder* f46 = UserFolder(k101, 46);
    QelRDMContentFolder* far = UserFolder(k102, 47);
    Content* sunset = qobject_cast<Content*>(f45->Child(0));
    Content* dawn = qobject_cast<Content*>(f45->Child(1));
    Content* elsewhere = qobject_cast<Content*>(far->Child(0));

    MarkLine();
    RecordingFeedback refused;
    EXPECT_FALSE(f46->MoveHere(elsewhere, &refused)) << "another fixture's item";
    EXPECT_FALSE(f46->MoveHere(dawn, &refused)) << "its number is taken here";
    EXPECT_FALSE(f45->MoveHere(sunset, &refused)) << "it is here already";
    EXPECT_FALSE(f45->MoveHere(f46, &refused));
    EXPECT_FALSE(f45->RemoveChild(elsewhere, &refused));
    EXPECT_FALSE(f45->ModifyChild(elsewhere, QStringLiteral("X"), 9, &refused));
    EXPECT_FALSE(f45->ModifyChild(sunset, QStringLiteral("X"), 4, &refused));
    EXPECT_EQ(refused.lines.size(), 7);
    EXPECT_EQ(refused.Texts(FeedbackError)[3], "Only content objects can be moved into this folder");
    EXPECT_EQ(refused.Texts(FeedbackError)[4], "Far is not in Show");
    EXPECT_EQ(refused.Texts(FeedbackError)[6], "New name and/or address conflicts with an existing child");
    Drain();
    EXPECT_TRUE(LinePids().isEmpty());

    QStringList events;
    QObject::connect(f45, &ContentFolder::ContentRemoved, &watch_,
                     [&](const ContentFolder*, const Content* item) { events << "removed " + item->GetName(); });
    QObject::connect(f46, &ContentFolder::ContentAdded, &watch_,
                     [&](const ContentFolder*, Content* item) { events << "added " + item->GetName(); });
    RecordingFeedback moved;
    ASSERT_TRUE(f46->MoveHere(sunset, &moved));
    ASSERT_TRUE(WaitFinished(moved));
    EXPECT_EQ(moved.results, QList<FeedbackResult>{FeedbackSuccess});
    const QList<LineRequest> moves = LineRequests(qelpid::MoveFile);
    ASSERT_EQ(moves.size(), 1);
    EXPECT_EQ(moves[0].data, QByteArray::fromHex("2d032e03"));
    EXPECT_EQ(events, (QStringList{"removed Sunset", "added Sunset"}));
    EXPECT_EQ(sunset->GetParent(), f46);
    EXPECT_EQ(Numbers(f46), (QList<int>{4, 3}));
    EXPECT_FALSE(SimRecord(k101, 46, 3).isEmpty());
    EXPECT_TRUE(SimRecord(k101, 45, 3).isEmpty());

    RecordingFeedback renamed, removed;
    ASSERT_TRUE(f46->ModifyChild(sunset, QStringLiteral("Evening"), 5, &renamed));
    ASSERT_TRUE(f45->RemoveChild(dawn, &removed));
    ASSERT_TRUE(WaitFinished(renamed) && WaitFinished(removed));
    EXPECT_EQ(sunset->GetName(), "Evening");
    EXPECT_EQ(sunset->GetAddress(), 5);
    EXPECT_EQ(Sim(k101).Content().folders.at(46).files.at(5).name, "Evening");
    EXPECT_EQ(f45->ChildCount(), 0);
    EXPECT_TRUE(SimRecord(k101, 45, 4).isEmpty());
}

// ---- many fixtures at once -------------------------------------------------------------

TEST_F(FixtureTreeEndToEnd, TheAggregatorJoinsTheFoldersOfOneNumberAndEveryMemberGetsItsOwnItem)
{
    AddSimFolder(k101, 45, "Show");
    AddSimFolder(k102, 46, "Other");
    AddSimFolder(k103, 45, "Show");
    AddSimFolder(k104, 45, "Show");
    AddSimFolder(k201, 45, "Show");
    QelRDMContentFolder* a = UserFolder(k101, 45);
    QelRDMContentFolder* b = UserFolder(k102, 46);
    QelRDMContentFolder* c = UserFolder(k103, 45);
    QelRDMContentFolder* d = UserFolder(k104, 45);
    QelRDMContentFolder* cindral = UserFolder(k201, 45);
    ContentFolderAggregator* aggregator = a->Aggregator();
    ASSERT_TRUE(aggregator);
    EXPECT_EQ(b->Aggregator(), aggregator);
    EXPECT_NE(cindral->Aggregator(), aggregator);

    QList<ContentFolder*> one;
    EXPECT_FALSE(aggregator->Aggregate({a}, one));
    EXPECT_EQ(one, QList<ContentFolder*>{a});

    QList<ContentFolder*> mixed;
    EXPECT_TRUE(aggregator->Aggregate({a, cindral, c}, mixed));
    ASSERT_EQ(mixed.size(), 2);
    EXPECT_EQ(mixed[0], cindral) << "a folder of the other family passes";
    aggregator->Release(mixed);
    EXPECT_EQ(mixed, QList<ContentFolder*>{cindral});

    QList<ContentFolder*> joined;
    EXPECT_TRUE(aggregator->Aggregate({a, b, c, d}, joined));
    ASSERT_EQ(joined.size(), 2);
    EXPECT_EQ(joined[0], b);
    auto* aggregate = qobject_cast<BrevantRDMContentAggregate*>(joined[1]);
    ASSERT_TRUE(aggregate);
    EXPECT_EQ(aggregate->GetName(), a->GetName());
    EXPECT_EQ(aggregate->GetAddress(), 45);
    EXPECT_EQ(aggregate->Members(), (QList<QelRDMContentFolder*>{a, c, d}));
    EXPECT_EQ(aggregate->ChildCount(), 0);

    BrevantImage* given = MakeTestImage<BrevantImage>(3, "Glow", 0x9000'0003, 3).release();
    MarkLine();
    WatchingFeedback feedback;
    QList<QList<int>> heldAtFinished;
    feedback.onFinished = [&] {
        for (QelRDMContentFolder* member : {a, c, d})
            heldAtFinished.append(Numbers(member));
    };
    // The upload's two signals are both queued here before either is handled (a command
    // queued after it runs once the upload's CommandCompleted is out), so the members'
    // parts, posted while the first is handled, arrive after the second.
    QSemaphore uploadDone;
    TestCommand marker([&uploadDone](TestCommand&) { uploadDone.release(); });
    ASSERT_TRUE(aggregate->AddChild(ListOf(given), &feedback));
    Manager().QueueCommand(&marker);
    ASSERT_TRUE(uploadDone.tryAcquire(1, 60000));
    ASSERT_TRUE(WaitFinished(feedback));
    Drain();
    EXPECT_EQ(feedback.results, QList<FeedbackResult>{FeedbackSuccess});
    EXPECT_EQ(heldAtFinished, QList<QList<int>>(3, {3})) << "the caller hears Finished once every member holds the item";
    QList<Content*> items;
    for (QelRDMContentFolder* member : {a, c, d}) {
        ASSERT_EQ(Numbers(member), QList<int>{3});
        items.append(qobject_cast<Content*>(member->Child(0)));
        EXPECT_EQ(items.last()->Key(), 0x9000'0003u);
        EXPECT_EQ(Record(items.last()), Record(given));
    }
    EXPECT_EQ(items[2], given) << "the last member holds the very object";
    EXPECT_NE(items[0], items[1]);
    EXPECT_NE(items[0], given);
    EXPECT_EQ(b->ChildCount(), 0);
    for (quint64 uid : {k101, k103, k104})
        EXPECT_EQ(SimRecord(uid, 45, 3), Record(given));
    EXPECT_TRUE(SimRecord(k102, 46, 3).isEmpty());

    // A member's own rules hold: file 3 is taken now.
    RecordingFeedback refused;
    const auto again = MakeTestImage<BrevantImage>(1, "Again", 0x9000'0004, 3);
    EXPECT_FALSE(aggregate->AddChild(ListOf(again.get()), &refused));
    EXPECT_EQ(refused.Texts(FeedbackError), QStringList{"New name and/or address conflicts with an existing child"});

    const QPointer<QObject> watched(aggregate);
    aggregator->Release(joined);
    EXPECT_EQ(joined, QList<ContentFolder*>{b});
    EXPECT_TRUE(watched.isNull());
}

// The clone runs on the operation's worker thread, where the aggregate of the three folders
// is made; the folders live on the thread of their fixtures' trees (this one). Each gets its
// item there, never from the worker.
TEST_F(FixtureTreeEndToEnd, ACloneToSeveralFixturesHandsEachFolderItsItemOnTheFoldersThread)
{
    const QList<quint64> uids{k101, k102, k103};
    QMutex mutex;
    QList<QThread*> addedOn;
    for (quint64 uid : uids) {
        AddSimFolder(uid, 45, "Shows");
        QelRDMContentFolder* folder = UserFolder(uid, 45);
        ASSERT_TRUE(folder);
        ASSERT_EQ(folder->thread(), QThread::currentThread());
        QObject::connect(
            folder, &ContentFolder::ContentAdded, &watch_,
            [&] {
                QMutexLocker lock(&mutex);
                addedOn.append(QThread::currentThread());
            },
            Qt::DirectConnection);
    }
    queuedNames_.clear();
    const Outcome outcome = CloneShowsTo(uids, MakeTestImage<BrevantImage>(2, "Dawn", 0xA000'0033, 3).release());
    EXPECT_EQ(outcome.result, 0) << outcome.log.toStdString();
    EXPECT_TRUE(queuedNames_.contains(QStringLiteral("BREVANT Multicast Content Upload"))) << "one upload for the three";
    QMutexLocker lock(&mutex);
    EXPECT_EQ(addedOn, QList<QThread*>(3, QThread::currentThread()));
    for (quint64 uid : uids)
        EXPECT_EQ(Numbers(UserFolder(uid, 45)), QList<int>{3});
}

// A member that goes while its item is on the way to its thread takes the item with it; the
// others keep theirs, and the caller still hears Finished.
TEST_F(FixtureTreeEndToEnd, AMemberThatGoesBeforeItsItemArrivesTakesTheItemWithIt)
{
    for (quint64 uid : {k101, k102, k103})
        AddSimFolder(uid, 45, "Show");
    QelRDMContentFolder* a = UserFolder(k101, 45);
    QelRDMContentFolder* b = UserFolder(k102, 45);
    QelRDMContentFolder* c = UserFolder(k103, 45);
    QList<ContentFolder*> joined;
    ASSERT_TRUE(a->Aggregator()->Aggregate({a, b, c}, joined));
    auto* aggregate = qobject_cast<QelRDMContentAggregate*>(joined.value(0));
    ASSERT_TRUE(aggregate);

    // The aggregate announces the item just before it posts the members their parts: a
    // queued call made then runs before those parts arrive.
    QPointer<QObject> lastMember(c);
    QObject::connect(aggregate, &ContentFolder::ContentAdded, &watch_, [&] { fixtures_.erase(k103); },
                     Qt::QueuedConnection);
    const QPointer<Content> given(MakeTestImage<BrevantImage>(3, "Glow", 0x9000'0013, 3).release());
    RecordingFeedback feedback;
    ASSERT_TRUE(aggregate->AddChild(ListOf(given.data()), &feedback));
    ASSERT_TRUE(WaitFinished(feedback));
    EXPECT_EQ(feedback.results, QList<FeedbackResult>{FeedbackSuccess});
    EXPECT_TRUE(lastMember.isNull());
    EXPECT_TRUE(given.isNull()) << "the last member's item (the very one uploaded) went with it";
    EXPECT_EQ(Numbers(a), QList<int>{3});
    EXPECT_EQ(Numbers(b), QList<int>{3});
    a->Aggregator()->Release(joined);
}

TEST_F(FixtureTreeEndToEnd, ACloneToSeveralFixturesSendsEachPacketOnce)
{
    const QList<quint64> uids{k101, k102, k103};
    BrevantImage* image = MakeTestImage<BrevantImage>(2, "Dawn", 0xA000'0003, 3).release();
    MarkLine();
    const Outcome outcome = CloneShowsTo(uids, image);
    EXPECT_EQ(outcome.result, 0) << outcome.log.toStdString();
    EXPECT_TRUE(outcome.accepted);

    QList<QByteArray> packets;
    for (const LineRequest& request : LineRequests(qelpid::BulkDataUpload))
        packets.append(request.data.left(4));
    const int expected = (Record(image).size() + 225) / 226;
    EXPECT_EQ(packets.size(), expected) << "one stream for the three fixtures";
    EXPECT_EQ(QSet<QByteArray>(packets.begin(), packets.end()).size(), expected);
    for (quint64 uid : uids) {
        EXPECT_EQ(SimRecord(uid, 45, 3), Record(image)) << std::hex << uid;
        QelRDMContentFolder* folder = UserFolder(uid, 45);
        ASSERT_TRUE(folder);
        EXPECT_EQ(folder->GetName(), "Shows");
        ASSERT_EQ(Numbers(folder), QList<int>{3});
        EXPECT_EQ(qobject_cast<Content*>(folder->Child(0))->Key(), image->Key());
    }
}

TEST_F(FixtureTreeEndToEnd, AnImageOfTheOtherFamilyIsConvertedForSeveralFixturesAsForOne)
{
    CindralImage* image = MakeTestImage<CindralImage>(2, "Glow", 0xA000'0023, 3).release();
    const Outcome outcome = CloneShowsTo({k101, k102}, image);
    EXPECT_EQ(outcome.result, 0) << outcome.log.toStdString();
    for (quint64 uid : {k101, k102}) {
        QelRDMContentFolder* folder = UserFolder(uid, 45);
        ASSERT_TRUE(folder);
        ASSERT_EQ(folder->ChildCount(), 1);
        auto* converted = qobject_cast<BrevantImage*>(folder->Child(0));
        ASSERT_TRUE(converted) << "uploaded as an image of the fixtures' family";
        EXPECT_EQ(SimRecord(uid, 45, 3), Record(converted));
    }
}

TEST_F(FixtureTreeEndToEnd, AFixtureThatLeavesTheCloneStreamMissesTheFileAndTheCloneFails)
{
    BrevantImage* image = MakeTestImage<BrevantImage>(4, "Dawn", 0xA000'0013, 3).release();
    // Its readiness before the stream and after the first packet are fine; then it aborts.
    Sim(k102).InjectContentFault(QelContentFault::ReadyState(5).After(2));
    const Outcome outcome = CloneShowsTo({k101, k102, k103}, image);
    EXPECT_EQ(outcome.result, 1) << outcome.log.toStdString();
    EXPECT_FALSE(outcome.accepted);
    for (quint64 uid : {k101, k103}) {
        EXPECT_EQ(SimRecord(uid, 45, 3), Record(image));
        EXPECT_EQ(Numbers(UserFolder(uid, 45)), QList<int>{3});
    }
    EXPECT_TRUE(SimRecord(k102, 45, 3).isEmpty());
    ASSERT_TRUE(UserFolder(k102, 45));
    EXPECT_EQ(UserFolder(k102, 45)->ChildCount(), 0);
    EXPECT_TRUE(outcome.log.contains(QStringLiteral("Device 0x7ff000000102 did not take Dawn")));
}

TEST_F(FixtureTreeEndToEnd, AFixtureTickedAsItsOwnCloneDestinationIsLeftOutAndTheOthersAreCloned)
{
    AddSimFolder(k101, 45, "Shows", {{3, "Dawn", 0xA000'0031, 2}});
    QelRDMContentFolder* shows = UserFolder(k101, 45);
    ASSERT_TRUE(shows);
    shows->LoadContent();
    Drain();
    ASSERT_FALSE(shows->HasNotLoadedContent());
    const QByteArray record = SimRecord(k101, 45, 3);

    ContentSyncOperation clone;
    clone.SetSource(UserGroup(k101));
    clone.SetTargets({UserGroup(k101), UserGroup(k102), UserGroup(k103)});
    EXPECT_EQ(clone.Title(), QStringLiteral("Cloning User Content to 2 location(s)"));
    MarkLine();
    const Outcome outcome = RunThroughDialog(clone);
    EXPECT_EQ(outcome.result, 0) << outcome.log.toStdString();
    EXPECT_EQ(outcome.log.count(QStringLiteral("Left out User Content: the source of a clone can't also be its "
                                               "destination")),
              1)
        << outcome.log.toStdString();
    for (quint64 uid : {k102, k103}) {
        EXPECT_EQ(SimRecord(uid, 45, 3), record) << std::hex << uid;
        ASSERT_TRUE(UserFolder(uid, 45));
        EXPECT_EQ(UserFolder(uid, 45)->GetName(), "Shows");
    }
    EXPECT_EQ(SimFolders(k101), QList<int>{45});
    EXPECT_EQ(SimRecord(k101, 45, 3), record) << "the source is left as it was";
    EXPECT_TRUE(LineRequests(qelpid::EraseFolder).isEmpty());
}

// ---- delete-all ----------------------------------------------------------------------

TEST_F(FixtureTreeEndToEnd, DeletingAllUserContentRunsAsQueuedCommandsAndEmptiesTheUserGroups)
{
    AddSimFolder(k101, 1, "Stock", {{1, "Pulse", 0xB000'0001}});
    AddSimFolder(k101, 41, "Shows", {{1, "Sunrise", 0xB000'0002}});
    AddSimFolder(k101, 250, "Last");
    AddSimFolder(k101, 251, "Mosavra");
    AddSimFolder(k201, 41, "Ambient", {{1, "Glow", 0xB000'0003}});
    AddSimFolder(k201, 252, "Mosavra");
    Tree(k101);
    Tree(k201);
    RDMDevice plain;
    plain.SetUniqueId(rdm::UidLow(k301), rdm::UidHigh(k301));
    queuedNames_.clear();

    ContentDeleteUserContentOperation wipe;
    wipe.SetDevices({&Fixture(k101), &plain, &Fixture(k201)});
    EXPECT_EQ(wipe.Title(), "Deleting User Content from 3 devices");
    MarkLine();
    const Outcome outcome = RunThroughDialog(wipe);
    EXPECT_EQ(outcome.result, 0) << outcome.log.toStdString();
    EXPECT_TRUE(outcome.accepted);
    EXPECT_EQ(outcome.title, "Deleting User Content from 3 devices");
    EXPECT_EQ(outcome.maximum, 3);
    EXPECT_EQ(outcome.value, 2) << "the plain fixture counts no unit";

    EXPECT_EQ(SimFolders(k101), (QList<int>{1, 251}));
    EXPECT_EQ(SimFolders(k201), QList<int>{252});
    EXPECT_EQ(UserGroup(k101)->ChildCount(), 0);
    EXPECT_EQ(UserGroup(k201)->ChildCount(), 0);
    EXPECT_EQ(Numbers(Tree(k101)->StockGroup()), QList<int>{1});
    EXPECT_EQ(Numbers(Tree(k201)->MosavraGroup()), QList<int>{252});
    QList<quint64> wiped;
    for (const LineRequest& request : LineRequests(qelpid::DeleteAllUserContent))
        wiped.append(request.destination);
    EXPECT_EQ(wiped, (QList<quint64>{k101, k201}));
    EXPECT_EQ(queuedNames_, QStringList(2, QStringLiteral("Qel Delete All Content")))
        << "the fixtures are asked through the command queue";
}

TEST_F(FixtureTreeEndToEnd, DeletingAllMosavraContentErasesTheGroupsFoldersOneByOne)
{
    AddSimFolder(k201, 41, "Ambient");
    AddSimFolder(k201, 251, "Wall 1", {{1, "Part", 0xC000'0001}});
    AddSimFolder(k201, 253, "Wall 3", {{2, "Part", 0xC000'0002}});
    QelRDMContentGroup* mosavra = Tree(k201)->MosavraGroup();
    ASSERT_EQ(Numbers(mosavra), (QList<int>{251, 253}));
    Tree(k101);  // no Mosavra content at all

    ContentDeleteMosavraContentOperation wipe;
    wipe.SetDevices({&Fixture(k201), &Fixture(k101)});
    EXPECT_EQ(wipe.Title(), "Deleting Mosavra Content from 2 devices");
    MarkLine();
    Outcome outcome;
    {
        // A lowering that was in force before the run is still in force after it.
        ScopedProtectionLowering outer(MosavraContentProtected);
        outcome = RunThroughDialog(wipe);
        EXPECT_EQ(MosavraContentProtected.load(), 0);
    }
    EXPECT_EQ(outcome.result, 0) << outcome.log.toStdString();
    QList<QByteArray> erased;
    for (const LineRequest& request : LineRequests(qelpid::EraseFolder))
        erased.append(request.data);
    EXPECT_EQ(erased, (QList<QByteArray>{QByteArray::fromHex("fb"), QByteArray::fromHex("fd")}));
    EXPECT_EQ(mosavra->ChildCount(), 0);
    EXPECT_EQ(SimFolders(k201), QList<int>{41});
    EXPECT_EQ(MosavraContentProtected.load(), 1);

    // The fixture refuses to erase folder 251: it stays, the other goes, the run fails.
    AddSimFolder(k201, 251, "Wall 1", {{1, "Part", 0xC000'0001}});
    AddSimFolder(k201, 253, "Wall 3", {{2, "Part", 0xC000'0002}});
    ASSERT_TRUE(Tree(k201)->QueueFolderDiscovery(nullptr));
    Drain();
    ASSERT_EQ(Numbers(mosavra), (QList<int>{251, 253}));
    Sim(k201).InjectFault(ResponderFault::Nack(0x8111).ForPid(qelpid::EraseFolder));
    ContentDeleteMosavraContentOperation refused;
    refused.SetDevices({&Fixture(k201)});
    const Outcome failed = RunThroughDialog(refused);
    EXPECT_EQ(failed.result, 1);
    EXPECT_EQ(Numbers(mosavra), QList<int>{251});
    EXPECT_EQ(SimFolders(k201), (QList<int>{41, 251}));
    EXPECT_EQ(MosavraContentProtected.load(), 1);
}

// ---- the fixture goes ------------------------------------------------------------------

TEST_F(FixtureTreeEndToEnd, ANodeThatGoesWithAChangePendingEndsTheWaitingStep)
{
    AddSimFolder(k101, 45, "Show");
    QelRDMContentGroup* user = UserGroup(k101);
    RecordingFeedback parent;
    FeedbackWrapper wrapper(&parent);
    {
        FeedbackWrapper::Lease lease(wrapper, user);
        ASSERT_TRUE(user->CreateFolder(QStringLiteral("Late"), 46, 0, lease.Feedback()));
    }
    fixtures_.erase(k101);  // the fixture object goes, and its tree with it
    EXPECT_EQ(wrapper.WaitForCompletion(), 1);
    EXPECT_EQ(parent.Texts(FeedbackError), QStringList{"User Content was removed before its change finished"});
    Drain();  // the command still runs; its keeper lets it go
    EXPECT_EQ(FeedbackWrapper::OutstandingLeases(), 0);
    EXPECT_EQ(parent.Texts(FeedbackError).size(), 1) << "nothing reaches the step after its end";
    EXPECT_EQ(SimFolders(k101), (QList<int>{45, 46}));
}

TEST_F(FixtureTreeEndToEnd, AFixtureDroppedWhileAnOperationHoldsItsFoldersIsSkipped)
{
    RegisterQelFamilies();
    AddSimFolder(k101, 41, "Shows", {{1, "Sunrise", 0xD000'0001}});
    AddSimFolder(k102, 41, "Shows", {{1, "Sunrise", 0xD000'0002}});
    DeviceManager* registry = DeviceManager::Instance();
    const auto discover = [&] {
        QSignalSpy completed(registry, &DeviceManager::DiscoveryCompleted);
        registry->Discover();
        return PollUntil([&] { return !completed.isEmpty(); }, 60000);
    };
    ASSERT_TRUE(discover());
    auto* stays = qobject_cast<QelRDM*>(registry->FindDevice(k101));
    auto* leaves = qobject_cast<QelRDM*>(registry->FindDevice(k102));
    ASSERT_TRUE(stays && leaves);
    QList<ContentFolder*> targets{stays->GetUserContentGroup(), leaves->GetUserContentGroup()};
    Drain();

    // Chosen while both were there; the operations hold the registry's removals from now on.
    MemoryFolder package(BREVANTContentPackagePolicy::Instance(), QStringLiteral("Package"));
    package.AddFolder(QStringLiteral("Logos"), 42, BREVANTContentFolderPolicy::Instance())
        ->Adopt(MakeTestImage<BrevantImage>(1, "Welcome", 0xD000'0003, 1).release());
    auto clone = std::make_unique<ContentSyncOperation>();
    clone->SetSource(&package);
    clone->SetTargets(targets);
    auto wipe = std::make_unique<ContentDeleteUserContentOperation>();
    wipe->SetDevices({stays, leaves});

    Line().Detach(RigResponder(1));
    ASSERT_TRUE(discover());
    EXPECT_EQ(registry->FindDevice(k102), nullptr) << "announced removed";
    const QPointer<QelRDM> kept(leaves);
    QCoreApplication::processEvents();
    ASSERT_FALSE(kept.isNull()) << "held while the operations live";

    const Outcome cloned = RunThroughDialog(*clone);
    EXPECT_EQ(cloned.result, 1);
    EXPECT_TRUE(cloned.log.contains(QStringLiteral("Skipped User Content: its fixture has left the line")))
        << cloned.log.toStdString();
    EXPECT_FALSE(SimRecord(k101, 42, 1).isEmpty());
    const Outcome wiped = RunThroughDialog(*wipe);
    EXPECT_EQ(wiped.result, 1);
    EXPECT_TRUE(wiped.log.contains(QStringLiteral("Skipped Device 0x7ff000000102: it has left the line")));
    EXPECT_EQ(SimFolders(k101), QList<int>{});
    EXPECT_EQ(stays->GetUserContentGroup()->ChildCount(), 0);

    clone.reset();
    wipe.reset();
    // deleteLater, outside any event loop: deferred deletions are delivered by hand.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(kept.isNull()) << "let go of once nothing holds it";
}

TEST_F(FixtureTreeEndToEnd, ChangesStillPendingWhenTheQueueStopsEndAsFailures)
{
    AddSimFolder(k101, 45, "Show");
    QelRDMContentGroup* user = UserGroup(k101);
    std::array<RecordingFeedback, 3> feedbacks;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(user->CreateFolder(QStringLiteral("New"), 46 + i, 0, &feedbacks[std::size_t(i)]));
    Quit();  // the program ends: the queue stops, whatever it still holds
    for (const RecordingFeedback& feedback : feedbacks) {
        EXPECT_EQ(feedback.results, QList<FeedbackResult>{FeedbackFailure});
        EXPECT_EQ(feedback.Texts(FeedbackError),
                  QStringList{"The command queue stopped before User Content's change finished"});
    }
    fixtures_.clear();  // the commands, run or not, go with the tree
}

} // namespace
