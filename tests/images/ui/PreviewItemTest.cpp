// The preview tiles on a real scene: badge, name, frame player, hover, activation.
#include "content/policies/NamedPolicies.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/ui/FormattedTextItem.h"
#include "images/ui/ImageViewDialog.h"
#include "images/ui/PreviewItem.h"
#include "platform/system/Clock.h"
#include "tests/common/MenuEntries.h"
#include "tests/common/ModalDialogDriver.h"
#include "tests/content/MemoryFolders.h"
#include "tests/images/ui/DialogTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QGraphicsScene>
#include <QGraphicsSceneHoverEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using testing_env::ModalDialogDriver;

namespace {

// An image of one frame per duration; frame f has every LED at palette index f + 1, each
// index coloured apart, so every frame looks different.
template <class Image>
std::unique_ptr<Image> ImageOfFrames(const std::vector<int>& durations)
{
    auto image = std::make_unique<Image>();
    image->SetName(QStringLiteral("Waves"));
    for (int i = 1; i < 256; ++i)
        image->SetPaletteColor(i, LEDColor{quint8(i * 37), quint8(i * 91), quint8(255 - i)});
    for (std::size_t f = 0; f < durations.size(); ++f) {
        typename Image::Frame frame;
        frame.duration = durations[f];
        frame.indices.fill(quint8(f + 1));
        image->AddFrame(frame);
    }
    return image;
}

QImage Picture(const PreviewItem& tile)
{
    return tile.Picture().toImage().convertToFormat(QImage::Format_RGB32);
}

void Hover(QGraphicsScene& scene, PreviewItem& tile, QEvent::Type type)
{
    QGraphicsSceneHoverEvent event(type);
    scene.sendEvent(&tile, &event);
}

// Each step of a tile's player: the frame it moved to and the time it will stay.
struct Step
{
    int frame;
    int intervalMs;
    bool operator==(const Step&) const = default;
};

std::vector<Step> Steps(LEDImageItem& tile, std::size_t count, const std::function<void(std::size_t)>& after = {})
{
    std::vector<Step> steps;
    QObject context;
    QObject::connect(&tile.StepTimer(), &QTimer::timeout, &context, [&] {
        steps.push_back({tile.FrameOnShow(), tile.StepTimer().interval()});
        if (after)
            after(steps.size());
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return steps.size() >= count; }));
    return steps;
}

using testing_env::MenuEntries;

} // namespace

TEST(PreviewItem, TheBadgeShowsTheAddressAndTheNameFollowsTheContent)
{
    MemoryFolder folder(nullptr, QStringLiteral("Root"));
    MemoryContent* item = folder.AddContent(QStringLiteral("Lamp"), 0);
    UnknownItem tile(item);
    EXPECT_FALSE(tile.Badge()->isVisible()) << "no badge for address 0";
    EXPECT_EQ(tile.NameText()->Text(), QStringLiteral("Lamp"));
    EXPECT_EQ(tile.rect(), QRectF(0, 0, 100, 100));
    EXPECT_EQ(tile.NameText()->Rect().topLeft(), QPoint(0, 100)) << "the name just below the square";

    item->SetAddress(5);
    EXPECT_TRUE(tile.Badge()->isVisible());
    EXPECT_EQ(tile.BadgeText()->Text(), QStringLiteral("5"));
    item->SetName(QStringLiteral("Beam"));
    EXPECT_EQ(tile.NameText()->Text(), QStringLiteral("Beam"));
    item->SetAddress(0);
    EXPECT_FALSE(tile.Badge()->isVisible());

    tile.SetGreyedOut(true);
    EXPECT_TRUE(tile.IsGreyedOut());
    tile.SetGreyedOut(false);
    EXPECT_FALSE(tile.IsGreyedOut());
}

TEST(PreviewItem, ImagesWithoutASecondFrameShowTheirPictureAndNeverStep)
{
    auto none = ImageOfFrames<BrevantImage>({});
    auto one = ImageOfFrames<CindralImage>({100});
    BrevantImageItem empty(none.get());
    CindralImageItem single(one.get());
    for (LEDImageItem* tile : {static_cast<LEDImageItem*>(&empty), static_cast<LEDImageItem*>(&single)}) {
        EXPECT_FALSE(tile->Picture().isNull());
        EXPECT_EQ(tile->Picture().size(), QSize(92, 92));
        EXPECT_TRUE(tile->SetAnimated(true));
        EXPECT_TRUE(tile->IsAnimated());
        EXPECT_FALSE(tile->IsStepping()) << "nothing to step to";
    }
    EXPECT_EQ(empty.FrameOnShow(), -1);
    EXPECT_EQ(single.FrameOnShow(), 0);
    EXPECT_NE(Picture(empty), Picture(single)) << "the placeholder is no face";

    // A double click on a tile without frames opens nothing (a dialog would stay open).
    empty.Activate(nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(PreviewItem, AnAnimatedImageShowsEachFrameForItsOwnTimeAndLoops)
{
    const platform::ScopedTimeScale scale(0.01);
    auto image = ImageOfFrames<BrevantImage>({100, 200, 300});
    BrevantImageItem tile(image.get());
    const QImage first = Picture(tile);
    EXPECT_FALSE(tile.IsStepping()) << "still until the scene animates it";

    tile.SetAnimated(true);
    ASSERT_TRUE(tile.IsStepping());
    EXPECT_EQ(tile.StepTimer().interval(), platform::Clock::TimerIntervalMs(100));
    // Stopped within its fourth step, so it rests on a known frame.
    const std::vector<Step> steps = Steps(tile, 4, [&](std::size_t step) {
        if (step == 4)
            tile.SetAnimated(false);
    });
    const int t100 = platform::Clock::TimerIntervalMs(100);
    const int t200 = platform::Clock::TimerIntervalMs(200);
    const int t300 = platform::Clock::TimerIntervalMs(300);
    EXPECT_EQ(std::vector<Step>(steps.begin(), steps.begin() + 4),
              (std::vector<Step>{{1, t200}, {2, t300}, {0, t100}, {1, t200}}));

    EXPECT_FALSE(tile.IsStepping());
    QTest::qWait(5);
    EXPECT_EQ(tile.FrameOnShow(), 1);
    EXPECT_EQ(tile.FrameCount(), 3);
    EXPECT_NE(Picture(tile), first) << "another frame's face";
}

TEST(PreviewItem, AChangedImageRestartsFromItsFirstFrameAndAnEmptiedOneStops)
{
    auto image = ImageOfFrames<CindralImage>({40, 40, 40});
    CindralImageItem tile(image.get());
    tile.SetAnimated(true);
    // Changed while playing, two steps in: back to the first frame, and it plays on.
    std::vector<int> afterChange;
    Steps(tile, 2, [&](std::size_t step) {
        if (step == 2) {
            typename CindralImage::Frame frame;
            frame.duration = 40;
            frame.indices.fill(9);
            image->AddFrame(frame);
            afterChange.push_back(tile.FrameOnShow());
        }
    });
    ASSERT_EQ(afterChange, std::vector<int>{0}) << "restarted at its first frame";
    EXPECT_EQ(tile.FrameCount(), 4);
    EXPECT_TRUE(tile.IsStepping()) << "and plays on";
    EXPECT_TRUE(tile.IsAnimated());

    // Emptied: the placeholder, and no step on a frame that is gone.
    image->Clear();
    emit image->ContentChanged();
    EXPECT_EQ(tile.FrameCount(), 0);
    EXPECT_EQ(tile.FrameOnShow(), -1);
    EXPECT_FALSE(tile.IsStepping());
    const QImage placeholder = Picture(tile);
    QTest::qWait(5);
    EXPECT_EQ(Picture(tile), placeholder);

    // Refilled, it plays again: the scene's wish to animate was kept.
    for (int f = 0; f < 2; ++f) {
        typename CindralImage::Frame frame;
        frame.duration = 40;
        frame.indices.fill(quint8(f + 1));
        image->AddFrame(frame);
    }
    EXPECT_TRUE(tile.IsStepping());

    // A tile whose image died stops and shows the placeholder.
    image.reset();
    EXPECT_FALSE(tile.IsStepping());
    EXPECT_EQ(tile.GetContent(), nullptr);
    EXPECT_EQ(Picture(tile), placeholder);
    tile.Activate(nullptr);
    tile.ContextMenu(nullptr, QPoint());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(PreviewItem, InHoverModeATilePlaysWhileTheCursorIsOverIt)
{
    auto image = ImageOfFrames<BrevantImage>({40, 40, 40});
    QGraphicsScene scene;
    auto* tile = new BrevantImageItem(image.get());
    scene.addItem(tile);

    Hover(scene, *tile, QEvent::GraphicsSceneHoverEnter);
    EXPECT_FALSE(tile->IsStepping()) << "hovering does nothing outside hover mode";

    tile->SetHoverAnimates(true);
    Hover(scene, *tile, QEvent::GraphicsSceneHoverEnter);
    EXPECT_TRUE(tile->IsStepping());
    ASSERT_TRUE(QTest::qWaitFor([&] { return tile->FrameOnShow() == 2; }));
    Hover(scene, *tile, QEvent::GraphicsSceneHoverLeave);
    EXPECT_FALSE(tile->IsStepping());
    EXPECT_EQ(tile->FrameOnShow(), 2) << "stopped on the frame then on show";

    Hover(scene, *tile, QEvent::GraphicsSceneHoverEnter);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tile->FrameOnShow() == 0; })) << "it goes on from there";
}

TEST(PreviewItem, ActivatingAnImageOpensItsFamilysViewDialogAndAFolderAsksToBeShown)
{
    auto image = ImageOfFrames<CindralImage>({100, 200, 300});
    CindralImageItem tile(image.get());
    ModalDialogDriver driver;
    QString title;
    driver.Then<CindralImageViewDialog>([&](CindralImageViewDialog* dialog) {
        title = dialog->windowTitle();
        dialog->accept();
    });
    tile.Activate(nullptr);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(title, QStringLiteral("Waves"));

    MemoryFolder root(nullptr, QStringLiteral("Root"));
    MemoryFolder* sub = root.AddFolder(QStringLiteral("Shows"), 45);
    FolderItem folderTile(sub);
    EXPECT_EQ(folderTile.Folder(), sub);
    EXPECT_TRUE(folderTile.Badge()->isVisible());
    EXPECT_EQ(folderTile.BadgeText()->Text(), QStringLiteral("45"));
    EXPECT_FALSE(folderTile.Picture().isNull());
    QList<ContentFolder*> activated;
    QObject::connect(&folderTile, &FolderItem::activated, [&](ContentFolder* folder) { activated.append(folder); });
    folderTile.Activate(nullptr);
    EXPECT_EQ(activated, QList<ContentFolder*>{sub});
}

TEST(PreviewItem, MenusOfferWhatAppliesToTheTilesContent)
{
    MemoryFolder root(nullptr, QStringLiteral("Root"));
    MemoryFolder* shows = root.AddFolder(QStringLiteral("Shows"), 45);
    auto image = ImageOfFrames<BrevantImage>({100, 100});
    image->SetAddress(5);
    BrevantImage* waves = image.release();
    shows->Adopt(waves);
    QWidget view;

    BrevantImageItem tile(waves);
    EXPECT_EQ(MenuEntries([&] { tile.ContextMenu(&view, QPoint(10, 10)); }),
              (QStringList{"Rename", "Edit DMX", "Autoset DMX", "Reset DMX", "-", "Copy", "Cut", "Delete", "-",
                           "Export to GIF"}));
    EXPECT_TRUE(view.findChildren<QAction*>().isEmpty()) << "the entries go with their menu";

    FolderItem folderTile(shows);
    const QStringList folderEntries = MenuEntries([&] { folderTile.ContextMenu(&view, QPoint(10, 10)); });
    EXPECT_TRUE(folderEntries.contains("Rename"));
    EXPECT_TRUE(folderEntries.contains("Autoset All DMX")) << "for the folder's children";
    EXPECT_TRUE(folderEntries.contains("Delete"));

    // A folder tile for which nothing applies (a top folder, empty, making no sub-folders,
    // nothing to paste) shows no menu at all.
    QApplication::clipboard()->clear();
    MemoryFolder lonely(nullptr, QStringLiteral("Lonely"));
    FolderItem lonelyTile(&lonely);
    EXPECT_TRUE(MenuEntries([&] { lonelyTile.ContextMenu(&view, QPoint(10, 10)); }).isEmpty());
}
