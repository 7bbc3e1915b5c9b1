#include "content/ContentSource.h"
#include "tests/content/MemoryFolders.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// Stands in for the clipboard: a payload list that the pruner rewrites the way the real
// clipboard code does, keeping only the nodes still registered.
class FakeClipboard
{
public:
    FakeClipboard()
    {
        ContentSource::SetClipboardPruner([this] {
            threads << QThread::currentThread();
            QList<ContentBase*> kept;
            for (ContentBase* item : payload) {
                if (ContentSource::IsOnClipboard(item))
                    kept << item;
            }
            payload = kept;
        });
    }
    ~FakeClipboard()
    {
        ContentSource::SetClipboardPruner({});
        ContentSource::SetClipboardItems({});
    }
    void Put(const QList<ContentBase*>& items)
    {
        payload = items;
        ContentSource::SetClipboardItems(items);
    }

    QList<ContentBase*> payload;
    QList<QThread*> threads;
};

} // namespace

TEST(ContentSource, HoldsAModeAndItsItemsInOrder)
{
    MemoryContent a, b;
    ContentSource source(ContentSource::CutToClipboard, {&b, &a});
    EXPECT_EQ(source.Mode(), 3);
    EXPECT_EQ(source.Items(), (QList<ContentBase*>{&b, &a}));
    source.Clear();
    EXPECT_EQ(source.Mode(), 0);
    EXPECT_TRUE(source.Items().isEmpty());
}

TEST(ContentSource, ANodeDestroyedOnTheGuiThreadLeavesTheClipboardAtOnce)
{
    FakeClipboard clipboard;
    auto* first = new MemoryContent(QStringLiteral("first"));
    auto* second = new MemoryContent(QStringLiteral("second"));
    MemoryContent bystander;
    clipboard.Put({first, second});

    delete bystander.Clone(); // a node not on the clipboard changes nothing
    EXPECT_TRUE(clipboard.threads.isEmpty());

    delete first;
    EXPECT_EQ(clipboard.payload, QList<ContentBase*>{second});
    EXPECT_EQ(clipboard.threads, QList<QThread*>{QThread::currentThread()});
    delete second;
    EXPECT_TRUE(clipboard.payload.isEmpty()) << "the last one empties the clipboard";
}

TEST(ContentSource, ANodeDestroyedOnAnotherThreadOnlyUnregistersThere)
{
    FakeClipboard clipboard;
    auto* first = new MemoryContent(QStringLiteral("first"));
    auto* second = new MemoryContent(QStringLiteral("second"));
    auto* kept = new MemoryContent(QStringLiteral("kept"));
    clipboard.Put({first, second, kept});

    std::unique_ptr<QThread> worker(QThread::create([&] {
        delete first;
        delete second;
    }));
    worker->start();
    worker->wait();
    EXPECT_TRUE(clipboard.threads.isEmpty()) << "the clipboard is not touched from the worker";
    EXPECT_FALSE(ContentSource::IsOnClipboard(first));
    EXPECT_FALSE(ContentSource::IsOnClipboard(second));
    EXPECT_TRUE(ContentSource::IsOnClipboard(kept));

    QCoreApplication::processEvents();
    EXPECT_EQ(clipboard.threads, QList<QThread*>{QThread::currentThread()})
        << "one prune on the GUI thread serves both deaths";
    EXPECT_EQ(clipboard.payload, QList<ContentBase*>{kept});
    delete kept;
}

TEST(ContentSource, WithoutAPrunerDyingNodesStillUnregister)
{
    MemoryContent* item = new MemoryContent;
    ContentSource::SetClipboardItems({item});
    EXPECT_TRUE(ContentSource::IsOnClipboard(item));
    delete item;
    EXPECT_FALSE(ContentSource::IsOnClipboard(item));
}
