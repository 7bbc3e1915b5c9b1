// The "Preview" tab over a fixture's folder on the simulated computer: the files of a
// fixture are fetched over the line only while someone looks at their tiles.
#include "app/views/ContentFolderPreview.h"
#include "app/views/ContentFolderView.h"
#include "app/views/ContentPreview.h"
#include "content/ContentMutex.h"
#include "fixtures/QelRDM.h"
#include "fixtures/tree/QelRDMContentFolder.h"
#include "fixtures/tree/QelRDMContentGroup.h"
#include "fixtures/tree/QelRDMContentRoot.h"
#include "images/BrevantImage.h"
#include "images/ui/PreviewItem.h"
#include "link/commands/CommManager.h"
#include "link/rdm/RdmDefs.h"
#include "sim/fixtures/QelContentStore.h"
#include "sim/fixtures/QelFixture.h"
#include "sim/fixtures/QelWire.h"
#include "tests/e2e/WidgetRig.h"
#include "tests/link/PollUntil.h"

#include <QSet>
#include <QUuid>

#include <gtest/gtest.h>

namespace {

constexpr quint64 kFixture = 0x7FF0'0000'0101ull;

class PreviewEndToEnd : public WidgetRigTest
{
protected:
    void SetUp() override
    {
        WidgetRigTest::SetUp();
        BootFixtures(R"({ "kind": "brevant", "uid": "7ff0:00000101" })");
        QObject::connect(&Manager(), &CommManager::CommandQueued, &watch_, [this](QUuid id) { queued_.insert(id); });
        QObject::connect(&Manager(), &CommManager::CommandCompleted, &watch_,
                         [this](QUuid id) { completed_.insert(id); });
    }
    void TearDown() override
    {
        fixture_.reset();
        WidgetRigTest::TearDown();
    }

    // Folder 45 of the simulated fixture with two files of two frames each.
    void AddShows()
    {
        auto sim = std::dynamic_pointer_cast<sim::QelFixture>(RigResponder(0));
        ASSERT_TRUE(sim);
        sim->ModifyContent([](sim::QelContent& content) {
            sim::QelStoredFolder& folder = content.folders[45];
            folder.name = "Shows";
            const QList<std::pair<int, QByteArray>> files = {{3, "Sunset"}, {4, "Dawn"}};
            for (const auto& [number, name] : files) {
                sim::QelStoredFile& stored = folder.files[number];
                stored.record = sim::GenerateQelRecord(sim::QelFamily::Brevant, 0x1234'0000u + quint32(number), name,
                                                       2, number);
                stored.key = stored.record.mid(sim::qelrecord::kKeyAt, 4);
                stored.name = name;
            }
        });
    }
    // The fixture's folder 45 once the fixture's tree has been read.
    QelRDMContentFolder* Shows()
    {
        fixture_ = std::make_unique<BrevantRDM>();
        fixture_->SetUniqueId(rdm::UidLow(kFixture), rdm::UidHigh(kFixture));
        QelRDMContentRoot* root = fixture_->ContentRoot();
        Drain();
        return root->UserGroup()->FolderNumbered(45);
    }
    void Drain() { EXPECT_TRUE(PollUntil([&] { return completed_.contains(queued_); }, 60000)); }
    // The files whose data went over the line since MarkLine, as (folder, file) pairs.
    QSet<QByteArray> Downloads() const
    {
        QSet<QByteArray> files;
        for (const LineRequest& request : LineRequests(sim::qelpid::BulkDataDownload))
            files.insert(request.data.left(2));
        return files;
    }

    QObject watch_;
    QSet<QUuid> queued_;
    QSet<QUuid> completed_;
    std::unique_ptr<BrevantRDM> fixture_;
};

} // namespace

TEST_F(PreviewEndToEnd, AFixturesFilesAreFetchedOnlyWhenThePreviewIsShown)
{
    AddShows();
    QelRDMContentFolder* shows = Shows();
    ASSERT_TRUE(shows);
    ASSERT_EQ(shows->ChildCount(), 2);

    ContentFolderView view;
    view.setCurrentIndex(0); // "List"
    view.resize(600, 400);
    view.show();
    MarkLine();
    view.SetFolder(shows);
    ContentPreview* scene = view.Preview()->Preview();
    ASSERT_EQ(scene->ItemCount(), 2);
    Drain();
    EXPECT_TRUE(Downloads().isEmpty()) << "a hidden preview fetches nothing";

    // Shown: the tiles wait on their placeholders while both files come over the line.
    QList<LEDImageItem*> tiles;
    for (int row = 0; row < 2; ++row) {
        tiles << qobject_cast<LEDImageItem*>(scene->Item(row));
        ASSERT_TRUE(tiles.last());
        EXPECT_EQ(tiles.last()->FrameOnShow(), -1) << "a placeholder";
    }
    view.setCurrentWidget(view.Preview());
    Drain();
    EXPECT_EQ(Downloads(), (QSet<QByteArray>{QByteArray::fromHex("2d03"), QByteArray::fromHex("2d04")}));
    for (LEDImageItem* tile : tiles) {
        ASSERT_TRUE(PollUntil([&] { return tile->FrameOnShow() >= 0; }));
        auto* image = qobject_cast<BrevantImage*>(tile->GetContent());
        ASSERT_TRUE(image);
        EXPECT_FALSE(image->IsNotLoaded());
        EXPECT_EQ(tile->FrameCount(), 2);
        QImage face(92, 92, QImage::Format_ARGB32);
        ASSERT_TRUE(image->RenderFrameDefault(tile->FrameOnShow(), 92, 92, face));
        EXPECT_EQ(tile->Picture().toImage().convertToFormat(QImage::Format_ARGB32), face)
            << "the face of the frame on show";
    }
}
