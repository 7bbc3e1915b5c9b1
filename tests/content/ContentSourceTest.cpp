#include "content/ContentHandles.h"
#include "content/ContentSource.h"
#include "tests/content/MemoryFolders.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>

namespace {

QClipboard* Board()
{
    return QGuiApplication::clipboard();
}

// What the clipboard holds, read back as a payload; "none" when it holds none.
QString ClipboardPayload()
{
    ContentMimeSource source;
    if (!source.FromMimeData(Board()->mimeData()))
        return QStringLiteral("none");
    QStringList names;
    for (ContentBase* item : source.Items())
        names << item->GetName();
    return QStringLiteral("%1 [%2]").arg(source.Mode()).arg(names.join(QStringLiteral(", ")));
}

// The clipboard's formats (a cleared offscreen clipboard holds no data at all).
QStringList Formats()
{
    const QMimeData* data = Board()->mimeData();
    return data ? data->formats() : QStringList();
}

QMimeData* WithBytes(const QByteArray& bytes)
{
    auto* data = new QMimeData;
    data->setData(ContentSourceMimeType, bytes);
    return data;
}

QByteArray BytesOf(const ContentSource& source)
{
    std::unique_ptr<QMimeData> data(source.MimeData());
    return data->data(ContentSourceMimeType);
}

class ContentSourceTest : public ::testing::Test
{
protected:
    ~ContentSourceTest() override { Board()->clear(); }
};

} // namespace

TEST_F(ContentSourceTest, HoldsAModeAndItsItemsInOrder)
{
    MemoryContent a, b;
    ContentSource source(ContentSource::CutToClipboard, {&b, &a});
    EXPECT_EQ(source.Mode(), 3);
    EXPECT_EQ(source.Items(), (QList<ContentBase*>{&b, &a}));
    source.Clear();
    EXPECT_EQ(source.Mode(), 0);
    EXPECT_TRUE(source.Items().isEmpty());
}

TEST_F(ContentSourceTest, AClipboardPayloadLosesEachNodeThatDiesAndGoesWithTheLast)
{
    auto* sky = new MemoryContent(QStringLiteral("Sky"));
    auto* rain = new MemoryContent(QStringLiteral("Rain"));
    Board()->setMimeData(ContentMimeSource(ContentSource::CutToClipboard, {sky, rain}).MimeData());
    EXPECT_TRUE(Board()->mimeData()->hasFormat(
        QStringLiteral("application/x-qt-windows-mime;value=\"quorvane-velmora-contents\"")));
    EXPECT_EQ(Board()->text(), "Sky\nRain\n");
    EXPECT_EQ(ClipboardPayload(), "3 [Sky, Rain]");

    delete MemoryContent(QStringLiteral("bystander")).Clone(); // named by no payload: nothing changes
    EXPECT_EQ(ClipboardPayload(), "3 [Sky, Rain]");

    delete sky;
    EXPECT_EQ(ClipboardPayload(), "3 [Rain]");
    EXPECT_EQ(Board()->text(), "Rain\n");
    delete rain;
    EXPECT_TRUE(Formats().isEmpty());
}

TEST_F(ContentSourceTest, BytesThatAreNotOurWholePayloadAreNoPayload)
{
    MemoryContent one(QStringLiteral("one"));
    const QByteArray bytes = BytesOf(ContentMimeSource(ContentSource::CopiedToClipboard, {&one}));
    ASSERT_EQ(bytes.size(), 4 + 16 + 4 + 8);

    QList<QByteArray> bad;
    for (int size = 0; size < bytes.size(); ++size)
        bad << bytes.left(size);
    bad << bytes + QByteArray(8, '\0');
    QByteArray huge = bytes.left(24);
    huge.replace(20, 4, QByteArray::fromHex("7fffffff"));
    bad << huge;
    QByteArray foreign = bytes;
    foreign[10] = char(foreign[10] ^ 0x01);
    bad << foreign;

    ContentMimeSource source(ContentSource::CutToClipboard, {&one});
    for (const QByteArray& candidate : bad) {
        std::unique_ptr<QMimeData> data(WithBytes(candidate));
        EXPECT_FALSE(source.FromMimeData(data.get())) << candidate.toHex().toStdString();
        EXPECT_FALSE(ContentSource::IsOwnPayload(data.get()));
    }
    QMimeData text;
    text.setText(QStringLiteral("one\n"));
    EXPECT_FALSE(source.FromMimeData(&text));
    EXPECT_FALSE(source.FromMimeData(nullptr));
    EXPECT_EQ(source.Mode(), 3) << "a refused read leaves the source as it was";

    std::unique_ptr<QMimeData> whole(WithBytes(bytes));
    ASSERT_TRUE(source.FromMimeData(whole.get()));
    EXPECT_EQ(source.Mode(), 2);
    EXPECT_EQ(source.Items(), QList<ContentBase*>{&one});
}

TEST_F(ContentSourceTest, ADeadNodeIsNeverReadBackAndItsHandleNeverComesAgain)
{
    auto* gone = new MemoryContent(QStringLiteral("gone"));
    MemoryContent live(QStringLiteral("live"));
    std::unique_ptr<QMimeData> data(ContentMimeSource(1, {gone, &live}).MimeData());
    const quint64 goneHandle = ContentHandles::HandleOf(gone);
    EXPECT_EQ(ContentHandles::HandleOf(gone), goneHandle) << "a node keeps its handle";
    delete gone;
    EXPECT_EQ(ContentHandles::NodeOf(goneHandle), nullptr);

    // Whatever address the next node gets, it is not the dead one to the payload.
    auto successor = std::make_unique<MemoryContent>(QStringLiteral("successor"));
    EXPECT_GT(ContentHandles::HandleOf(successor.get()), goneHandle);
    ContentMimeSource source;
    ASSERT_TRUE(source.FromMimeData(data.get()));
    EXPECT_EQ(source.Items(), QList<ContentBase*>{&live});
}

TEST_F(ContentSourceTest, OnlyOurOwnPayloadIsForgottenOrClearedAtTheEnd)
{
    auto* item = new MemoryContent(QStringLiteral("item"));
    QByteArray foreign = BytesOf(ContentMimeSource(ContentSource::CopiedToClipboard, {item}));
    foreign[5] = char(foreign[5] ^ 0x80); // another process's payload naming the same handle
    Board()->setMimeData(WithBytes(foreign));
    delete item;
    ContentSource::ClearOwnClipboard();
    EXPECT_EQ(Board()->mimeData()->data(ContentSourceMimeType), foreign);

    MemoryContent kept(QStringLiteral("kept"));
    Board()->setMimeData(ContentMimeSource(ContentSource::CopiedToClipboard, {&kept}).MimeData());
    ContentSource::ClearOwnClipboard();
    EXPECT_TRUE(Formats().isEmpty());
}

TEST_F(ContentSourceTest, ANodeDyingOnAnotherThreadIsTakenOffTheClipboardOnTheGuiThread)
{
    auto* first = new MemoryContent(QStringLiteral("first"));
    auto* second = new MemoryContent(QStringLiteral("second"));
    auto* kept = new MemoryContent(QStringLiteral("kept"));
    Board()->setMimeData(ContentMimeSource(ContentSource::CopiedToClipboard, {first, second, kept}).MimeData());
    int changes = 0;
    const QMetaObject::Connection counting =
        QObject::connect(Board(), &QClipboard::dataChanged, Board(), [&] { ++changes; });

    std::unique_ptr<QThread> worker(QThread::create([&] {
        delete first;
        delete second;
    }));
    worker->start();
    worker->wait();
    EXPECT_EQ(changes, 0) << "the clipboard is not touched from the worker";
    EXPECT_EQ(ClipboardPayload(), "2 [kept]") << "dead nodes are never read back";

    QCoreApplication::processEvents();
    EXPECT_EQ(changes, 1) << "one rewrite on the GUI thread serves both deaths";
    EXPECT_EQ(Board()->text(), "kept\n");
    QObject::disconnect(counting);
    delete kept;
    EXPECT_TRUE(Formats().isEmpty());
}
