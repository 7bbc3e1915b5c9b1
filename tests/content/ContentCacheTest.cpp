#include "content/ContentMutex.h"
#include "content/cache/ContentFolderIndex.h"
#include "content/cache/ContentImageCache.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "tests/content/MemoryFolders.h"
#include "tests/fixtures/FamilyTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

constexpr qint64 k4MiB = 4 * 1024 * 1024;

// The frame count tells the copies of one key apart.
int Frames(const Content* content)
{
    if (const auto* brevant = qobject_cast<const BrevantImage*>(content))
        return brevant->FrameCount();
    if (const auto* cindral = qobject_cast<const CindralImage*>(content))
        return cindral->FrameCount();
    return -1;
}

// A cache over a fresh folder, with a user, a stock and a Mosavra library in memory.
class ContentCacheTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(temporary_.isValid()); }

    std::unique_ptr<ContentImageCache> MakeCache(const QString& folder)
    {
        return std::make_unique<ContentImageCache>(folder, [this] {
            return ImageCacheRoots{&user_, &stock_, &mosavra_};
        });
    }
    std::unique_ptr<ContentImageCache> MakeCache() { return MakeCache(Folder()); }

    QString Folder() const { return temporary_.filePath("Cache"); }
    QString PathOf(const QString& name) const { return QDir(Folder()).filePath(name); }
    QStringList FilesOnDisk() const { return QDir(Folder()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    static BrevantImage* AddImage(MemoryFolder& folder, quint32 key, int frames)
    {
        BrevantImage* image = MakeTestImage<BrevantImage>(frames, "Image", key).release();
        folder.Adopt(image);
        return image;
    }
    static void Store(ContentImageCache& cache, quint32 key, int frames)
    {
        auto image = MakeTestImage<BrevantImage>(frames, "Stored", key);
        ASSERT_TRUE(cache.Store(*image));
    }
    void Pad(const QString& name, qint64 size) const
    {
        QFile file(PathOf(name));
        ASSERT_TRUE(file.resize(size));
    }

    QTemporaryDir temporary_;
    MemoryFolder user_{nullptr, "User"};
    MemoryFolder stock_{nullptr, "Stock"};
    MemoryFolder mosavra_{nullptr, "Mosavra"};
};

} // namespace

TEST_F(ContentCacheTest, FilesAreNamedByKeyAndOnlyTheCachesOwnAreListed)
{
    EXPECT_EQ(ContentImageCache::FileName(0x1F, "bvi"), "0000001f.bvi");
    EXPECT_EQ(ContentImageCache::FileName(0xA1B2C3D4, "cdli"), "a1b2c3d4.cdli");

    auto cache = MakeCache();
    Store(*cache, 0x1F, 1);
    EXPECT_EQ(FilesOnDisk(), QStringList{"0000001f.bvi"}) << "the folder is made on the first store";

    // Files of others, among them some whose names start with hex digits.
    for (const char* name : {"notes.txt", "cafe.txt", "1f.bvi.bak", "123456789.bvi", "xyz.bvi", ".bvi"}) {
        QFile file(PathOf(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(k4MiB, 'n'));
    }
    auto rescanned = MakeCache();
    EXPECT_EQ(rescanned->FileNames(), QStringList{"0000001f.bvi"});
    EXPECT_TRUE(rescanned->TrimToLimit());
    EXPECT_EQ(FilesOnDisk().size(), 7) << "files that are not the cache's are never deleted";
}

TEST_F(ContentCacheTest, TheTrimKeepsTheMostRecentlyUsedFilesThatFitInTenMiB)
{
    auto cache = MakeCache();
    Store(*cache, 1, 1);
    Store(*cache, 2, 1);
    Store(*cache, 3, 1);
    ASSERT_TRUE(cache->Find(1)) << "a find is a use";
    for (const char* name : {"00000001.bvi", "00000002.bvi", "00000003.bvi"})
        Pad(name, k4MiB);

    EXPECT_TRUE(cache->TrimToLimit());
    EXPECT_EQ(FilesOnDisk(), (QStringList{"00000001.bvi", "00000003.bvi"}));
    EXPECT_EQ(cache->FileNames(), (QStringList{"00000001.bvi", "00000003.bvi"}));

    // Exactly at the limit nothing more goes.
    Pad("00000001.bvi", ContentImageCache::kSizeLimit - k4MiB);
    EXPECT_TRUE(cache->TrimToLimit());
    EXPECT_EQ(FilesOnDisk().size(), 2);
}

TEST_F(ContentCacheTest, FilesFoundAtStartCountAsUsedInTheOrderTheyWereWritten)
{
    {
        auto cache = MakeCache();
        for (quint32 key : {1u, 2u, 3u})
            Store(*cache, key, 1);
    }
    const QDateTime now = QDateTime::currentDateTime();
    const struct
    {
        const char* name;
        int daysAgo;
    } written[] = {{"00000001.bvi", 1}, {"00000002.bvi", 3}, {"00000003.bvi", 2}};
    for (const auto& file : written) {
        Pad(file.name, k4MiB);
        QFile handle(PathOf(file.name));
        ASSERT_TRUE(handle.open(QIODevice::ReadWrite));
        ASSERT_TRUE(handle.setFileTime(now.addDays(-file.daysAgo), QFileDevice::FileModificationTime));
    }
    EXPECT_TRUE(MakeCache()->TrimToLimit());
    EXPECT_EQ(FilesOnDisk(), (QStringList{"00000001.bvi", "00000003.bvi"}));
}

TEST_F(ContentCacheTest, FindAsksTheCacheThenTheUserStockAndMosavraLibraries)
{
    AddImage(user_, 0x10, 2);
    AddImage(*user_.AddFolder("Shows"), 0x20, 2); // deep in the tree
    AddImage(stock_, 0x20, 3);
    AddImage(stock_, 0x30, 3);
    AddImage(mosavra_, 0x40, 4);
    auto cache = MakeCache();
    Store(*cache, 0x10, 5);

    const struct
    {
        quint32 key;
        int frames; // -1: nothing
    } cases[] = {{0x10, 5}, {0x20, 2}, {0x30, 3}, {0x40, 4}, {0x50, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        const std::unique_ptr<Content> found = cache->Find(c.key);
        EXPECT_EQ(Frames(found.get()), c.frames);
        if (found) {
            EXPECT_EQ(found->Key(), c.key);
            EXPECT_EQ(found->GetParent(), nullptr) << "a new copy, the caller's";
        }
    }
}

TEST_F(ContentCacheTest, ACachedFileOfAnotherKeyIsDeletedAndTheLibraryAnswers)
{
    AddImage(user_, 0x5, 2);
    auto cache = MakeCache();
    Store(*cache, 0x6, 7);
    ASSERT_TRUE(QFile::rename(PathOf("00000006.bvi"), PathOf("00000005.bvi")));
    auto rescanned = MakeCache();
    ASSERT_EQ(rescanned->FileNames(), QStringList{"00000005.bvi"});

    EXPECT_EQ(Frames(rescanned->Find(0x5).get()), 2);
    EXPECT_TRUE(FilesOnDisk().isEmpty());
    EXPECT_TRUE(rescanned->FileNames().isEmpty());
}

TEST_F(ContentCacheTest, SecondFamilyFilesReadBackAsTheirFamily)
{
    auto cache = MakeCache();
    auto cindral = MakeTestImage<CindralImage>(3, "Cindral", 0xC0DE);
    ASSERT_TRUE(cache->Store(*cindral));
    EXPECT_EQ(FilesOnDisk(), QStringList{"0000c0de.cdli"});

    // A later image of the key in the other family replaces the file.
    const std::unique_ptr<Content> found = MakeCache()->Find(0xC0DE);
    EXPECT_TRUE(qobject_cast<CindralImage*>(found.get()));
    EXPECT_EQ(Frames(found.get()), 3);
    Store(*cache, 0xC0DE, 2);
    EXPECT_EQ(FilesOnDisk(), QStringList{"0000c0de.bvi"});
    EXPECT_TRUE(qobject_cast<BrevantImage*>(cache->Find(0xC0DE).get()));
}

TEST_F(ContentCacheTest, WhatCannotBeStoredLeavesTheCacheAsItWas)
{
    AddImage(user_, 0x7, 2);
    QFile blocker(temporary_.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    auto unmakeable = MakeCache(temporary_.filePath("file/Cache"));
    auto image = MakeTestImage<BrevantImage>(1, "Image", 0x7);
    EXPECT_FALSE(unmakeable->Store(*image));
    EXPECT_TRUE(unmakeable->FileNames().isEmpty());
    EXPECT_EQ(Frames(unmakeable->Find(0x7).get()), 2) << "the libraries still answer";

    auto none = MakeCache(QString());
    EXPECT_FALSE(none->Store(*image));

    auto cache = MakeCache();
    BrevantImage placeholder;
    placeholder.SetKey(0x8);
    EXPECT_FALSE(cache->Store(placeholder)) << "a placeholder has no data to keep";
    EXPECT_FALSE(QDir(Folder()).exists());
}

TEST_F(ContentCacheTest, OnlyTheCachesThreadMayUseIt)
{
    auto cache = MakeCache();
    Store(*cache, 0x9, 1);
    bool stored = true;
    bool found = true;
    QThread* worker = QThread::create([&] {
        auto image = MakeTestImage<BrevantImage>(1, "Image", 0xA);
        stored = cache->Store(*image);
        found = cache->Find(0x9) != nullptr;
    });
    worker->start();
    worker->wait();
    delete worker;
    EXPECT_FALSE(stored);
    EXPECT_FALSE(found);
    EXPECT_EQ(cache->FileNames(), QStringList{"00000009.bvi"});
}

TEST_F(ContentCacheTest, TheProgramsCacheIsBuiltOnTheGuiThreadAndInstalledForTheFixtures)
{
    const QStringList previous = QDir::searchPaths(ContentImageCache::kFolderPrefix);
    QDir::setSearchPaths(ContentImageCache::kFolderPrefix, {Folder()});
    ContentImageCache::SetRootsProvider([this] { return ImageCacheRoots{&user_, nullptr, nullptr}; });
    AddImage(user_, 0xB, 2);

    ContentImageCache* cache = nullptr;
    QThread* worker = QThread::create([&] { cache = ContentImageCache::Instance(); });
    worker->start();
    worker->wait();
    delete worker;
    ASSERT_TRUE(cache);
    EXPECT_EQ(cache->thread(), QCoreApplication::instance()->thread());
    EXPECT_EQ(ContentImageStore::Instance(), cache);
    EXPECT_EQ(ContentImageCache::Instance(), cache);
    EXPECT_EQ(cache->Folder(), QDir(Folder()).absolutePath());
    EXPECT_EQ(Frames(cache->Find(0xB).get()), 2);

    ContentImageCache::DestroyInstance();
    ContentImageCache::SetRootsProvider(nullptr);
    QDir::setSearchPaths(ContentImageCache::kFolderPrefix, previous);
    EXPECT_EQ(ContentImageStore::Instance()->Find(0xB), nullptr) << "the empty store is back";
}

// ---- the index ---------------------------------------------------------------------------

TEST(ContentFolderIndexTest, FollowsItsTreeAndNoLongerHearsARemovedFolder)
{
    MemoryFolder root(nullptr, "Root");
    MemoryContent* top = root.AddContent("Top", 1);
    MemoryFolder* shows = root.AddFolder("Shows", 2);
    MemoryFolder* inner = shows->AddFolder("Inner", 3);
    MemoryContent* deep = inner->AddContent("Deep", 1);
    ContentFolderIndex index(&root);
    EXPECT_EQ(index.Keys().size(), 2);

    MemoryContent* later = inner->AddContent("Later", 2);
    MemoryFolder* added = root.AddFolder("Added", 4);
    MemoryContent* inAdded = added->AddContent("In added", 1);
    EXPECT_EQ(index.Keys().size(), 4);
    EXPECT_TRUE(index.Watches(added));
    EXPECT_EQ(index.CloneByKey(inAdded->Key())->GetName(), "In added");

    // A removal the folder announces without deleting anything: the index lets go of the
    // folder, everything below it, and their contents.
    emit root.FolderRemoved(&root, shows);
    EXPECT_FALSE(index.Watches(shows));
    EXPECT_FALSE(index.Watches(inner));
    EXPECT_EQ(index.CloneByKey(deep->Key()), nullptr);
    EXPECT_EQ(index.CloneByKey(later->Key()), nullptr);
    inner->AddContent("Unheard", 3);
    QList<quint32> left{top->Key(), inAdded->Key()};
    std::sort(left.begin(), left.end());
    EXPECT_EQ(index.Keys(), left);

    ASSERT_TRUE(root.RemoveChild(top, nullptr));
    EXPECT_EQ(index.Keys(), QList<quint32>{inAdded->Key()});
}

TEST(ContentFolderIndexTest, AnswersOnlyLivingLoadedContentsThatStillCarryTheKey)
{
    MemoryFolder root(nullptr, "Root");
    MemoryContent* renamedKey = root.AddContent("Rekeyed", 1);
    MemoryContent* placeholder = root.AddContent("Placeholder", 2);
    placeholder->SetNotLoaded(true);
    const quint32 oldKey = renamedKey->Key();
    ContentFolderIndex index(&root);
    renamedKey->SetKey(oldKey + 1);
    EXPECT_EQ(index.CloneByKey(oldKey), nullptr);
    EXPECT_EQ(index.CloneByKey(placeholder->Key()), nullptr);
}

// A folder that changes on the link thread: its announcements reach the index queued,
// after the change, when the nodes they name may be gone.
TEST(ContentFolderIndexTest, QueuedAnnouncementsNeverReachADeadNode)
{
    MemoryFolder root(nullptr, "Root");
    MemoryContent* doomed = root.AddContent("Doomed", 1);
    const quint32 doomedKey = doomed->Key();
    root.SetAnswer(MemoryFolder::Answer::Later);
    ContentFolderIndex index(&root);

    ASSERT_TRUE(root.RemoveChild(doomed, nullptr));
    MemoryLink::Instance().Drain(); // removed and deleted on the link thread
    EXPECT_EQ(index.CloneByKey(doomedKey), nullptr) << "its removal has not arrived yet";

    // Added, then removed and deleted, before the index hears either.
    auto* fleeting = new MemoryContent("Fleeting", 2);
    const quint32 fleetingKey = fleeting->Key();
    ASSERT_TRUE(root.AddChild({fleeting}, nullptr));
    MemoryLink::Instance().Drain();
    ASSERT_TRUE(root.RemoveChild(fleeting, nullptr));
    auto* kept = new MemoryContent("Kept", 3);
    ASSERT_TRUE(root.AddChild({kept}, nullptr));
    MemoryLink::Instance().Drain();

    QCoreApplication::processEvents();
    EXPECT_EQ(index.Keys(), QList<quint32>{kept->Key()});
    EXPECT_EQ(index.CloneByKey(fleetingKey), nullptr);
    EXPECT_EQ(index.CloneByKey(kept->Key())->GetName(), "Kept");
}
