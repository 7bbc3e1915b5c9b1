#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/ui/ImagePaletteDialog.h"
#include "images/ui/ImageViewDialog.h"
#include "images/ui/LEDImageAccess.h"
#include "platform/system/Clock.h"
#include "tests/common/ModalDialogDriver.h"
#include "tests/images/ui/DialogTestSupport.h"

#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

using testing_env::ModalDialogDriver;

namespace {

// An image of `durations.size()` frames; frame f has every LED at palette index f + 1
// (coloured apart), so each frame renders differently.
template <class Image>
std::unique_ptr<Image> ImageOfFrames(const std::vector<int>& durations, const QString& name = QStringLiteral("Waves"))
{
    auto image = std::make_unique<Image>();
    image->SetName(name);
    for (int i = 1; i < 256; ++i)
        image->SetPaletteColor(i, LEDColor{quint8(i * 37), quint8(i * 91), quint8(255 - i)});
    for (std::size_t f = 0; f < durations.size(); ++f) {
        typename Image::Frame frame;
        frame.duration = durations[f];
        frame.indices.fill(quint8((f % 255) + 1));
        image->AddFrame(frame);
    }
    return image;
}

QString Text(const QWidget* dialog, const char* label)
{
    const QLabel* shown = Child<QLabel>(dialog, label);
    return shown ? shown->text() : QString();
}

QString FrameText(const QWidget* dialog) { return Text(dialog, "frameInfo"); }
QString DmxText(const QWidget* dialog) { return Text(dialog, "dmxInfo"); }
QString DelayText(const QWidget* dialog) { return Text(dialog, "delayInfo"); }

} // namespace

TEST(ViewDialog, StepsThroughTheFramesWithTheirDmxValuesAndTimes)
{
    auto image = ImageOfFrames<BrevantImage>({100, 200, 300});
    BrevantImageViewDialog dialog(nullptr, image.get());
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Waves"));
    EXPECT_EQ(FrameText(&dialog), QStringLiteral("Frame 1/3"));
    EXPECT_EQ(DmxText(&dialog), QStringLiteral("DMX 0-85"));
    EXPECT_EQ(DelayText(&dialog), QStringLiteral("Delay 100 ms"));
    QImage face;
    ASSERT_TRUE(image->RenderFrameDefault(0, 250, 250, face));
    EXPECT_EQ(Shown(&dialog, "picture"), face.convertToFormat(QImage::Format_RGB32));

    Click(Child<QPushButton>(&dialog, "back"));
    EXPECT_EQ(FrameText(&dialog), QStringLiteral("Frame 3/3"));
    EXPECT_EQ(DmxText(&dialog), QStringLiteral("DMX 171-255"));
    EXPECT_EQ(DelayText(&dialog), QStringLiteral("Delay 300 ms"));
    Click(Child<QPushButton>(&dialog, "forward"));
    EXPECT_EQ(FrameText(&dialog), QStringLiteral("Frame 1/3"));
    Child<QSlider>(&dialog, "frame")->setValue(1);
    EXPECT_EQ(DmxText(&dialog), QStringLiteral("DMX 86-170"));
    EXPECT_EQ(DelayText(&dialog), QStringLiteral("Delay 200 ms"));
    ASSERT_TRUE(image->RenderFrameDefault(1, 250, 250, face));
    EXPECT_EQ(Shown(&dialog, "picture"), face.convertToFormat(QImage::Format_RGB32));

    // The dialog shows its own copy: the tree may change the image meanwhile.
    image->Clear();
    Child<QSlider>(&dialog, "frame")->setValue(2);
    EXPECT_EQ(FrameText(&dialog), QStringLiteral("Frame 3/3"));
    image.reset();
    Child<QSlider>(&dialog, "frame")->setValue(0);
    EXPECT_EQ(DelayText(&dialog), QStringLiteral("Delay 100 ms"));
}

TEST(ViewDialog, PlaysEachFrameForItsOwnTimeUntilPaused)
{
    auto image = ImageOfFrames<CindralImage>({100, 200, 300});
    CindralImageViewDialog dialog(nullptr, image.get());
    dialog.show();
    auto* play = Child<QPushButton>(&dialog, "play");
    auto* timer = Child<QTimer>(&dialog, "stepTimer");
    QSlider* slider = Child<QSlider>(&dialog, "frame");
    QSignalSpy shown(slider, &QSlider::valueChanged);
    EXPECT_EQ(play->accessibleName(), QStringLiteral("Play"));

    Click(play);
    EXPECT_TRUE(dialog.IsPlaying());
    EXPECT_EQ(FrameText(&dialog), QStringLiteral("Frame 2/3")) << "the next frame at once";
    EXPECT_EQ(play->accessibleName(), QStringLiteral("Pause"));
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_EQ(timer->interval(), platform::Clock::TimerIntervalMs(200)) << "frame 2's own time";

    ASSERT_TRUE(shown.wait());
    EXPECT_EQ(FrameText(&dialog), QStringLiteral("Frame 3/3"));
    EXPECT_EQ(timer->interval(), platform::Clock::TimerIntervalMs(300));
    ASSERT_TRUE(shown.wait());
    EXPECT_EQ(FrameText(&dialog), QStringLiteral("Frame 1/3")) << "it loops";

    Click(play);
    EXPECT_FALSE(dialog.IsPlaying());
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(play->accessibleName(), QStringLiteral("Play"));
    EXPECT_EQ(FrameText(&dialog), QStringLiteral("Frame 1/3"));

    // Closing stops playback too.
    Click(play);
    EXPECT_TRUE(timer->isActive());
    dialog.close();
    EXPECT_FALSE(dialog.IsPlaying());
    EXPECT_FALSE(timer->isActive());
}

TEST(ViewDialog, DmxRangesOfManyAndFewFrames)
{
    EXPECT_EQ(FrameDmxRanges(3), (std::vector<std::pair<int, int>>{{0, 85}, {86, 170}, {171, 255}}));
    EXPECT_EQ(FrameDmxRanges(1), (std::vector<std::pair<int, int>>{{0, 255}}));
    EXPECT_TRUE(FrameDmxRanges(0).empty());
    const auto hundred = FrameDmxRanges(100);
    EXPECT_EQ(hundred[0], std::make_pair(0, 2));
    EXPECT_EQ(hundred[1], std::make_pair(3, 5));
    EXPECT_EQ(hundred[2], std::make_pair(6, 7));
    EXPECT_EQ(hundred[3], std::make_pair(8, 10));

    // 255 frames: "DMX 0-1", then one value each, up to "DMX 255".
    auto image = ImageOfFrames<BrevantImage>(std::vector<int>(255, 40));
    BrevantImageViewDialog dialog(nullptr, image.get());
    dialog.show();
    EXPECT_EQ(DmxText(&dialog), QStringLiteral("DMX 0-1"));
    auto* forward = Child<QPushButton>(&dialog, "forward");
    for (int k = 1; k < 255; ++k) {
        Click(forward);
        ASSERT_EQ(DmxText(&dialog), QStringLiteral("DMX %1").arg(k + 1)) << "frame " << k;
    }
    EXPECT_EQ(FrameText(&dialog), QStringLiteral("Frame 255/255"));

    auto one = ImageOfFrames<BrevantImage>({500});
    BrevantImageViewDialog single(nullptr, one.get());
    single.show();
    EXPECT_EQ(DmxText(&single), QStringLiteral("DMX 0-255"));
    Click(Child<QPushButton>(&single, "forward"));
    Click(Child<QPushButton>(&single, "back"));
    EXPECT_EQ(FrameText(&single), QStringLiteral("Frame 1/1"));
}

TEST(ViewDialog, AnImageWithoutFramesShowsNothingAndCannotPlay)
{
    BrevantImage empty;
    empty.SetName(QStringLiteral("Blank"));
    BrevantImageViewDialog dialog(nullptr, &empty);
    EXPECT_EQ(FrameText(&dialog), QStringLiteral("Frame 0/0"));
    EXPECT_EQ(DmxText(&dialog), QStringLiteral("DMX (none)"));
    EXPECT_EQ(DelayText(&dialog), QStringLiteral("Delay 0 ms"));
    EXPECT_TRUE(Shown(&dialog, "picture").isNull());
    EXPECT_FALSE(Child<QPushButton>(&dialog, "play")->isEnabled());
    dialog.PlayPause();
    dialog.FrameForward();
    dialog.FrameBackward();
    EXPECT_FALSE(dialog.IsPlaying());
    EXPECT_FALSE(Child<QTimer>(&dialog, "stepTimer")->isActive());

    BrevantImageViewDialog none(nullptr, nullptr);
    EXPECT_EQ(FrameText(&none), QStringLiteral("Frame 0/0"));
}

TEST(PaletteDialog, ListsEveryEntryWithItsUse)
{
    auto image = std::make_unique<BrevantImage>();
    image->SetPaletteColor(1, LEDColor{200, 100, 50});
    image->SetPaletteColor(2, LEDColor{0, 255, 0});
    image->SetPaletteColor(3, LEDColor{0, 255, 255});
    BrevantImage::Frame all;
    all.indices.fill(3);
    image->AddFrame(all);
    BrevantImage::Frame some;
    std::fill_n(some.indices.begin(), 100, quint8(3));
    image->AddFrame(some);

    const auto usage = PaletteUsage(*AccessToCopyOf(image.get()));
    EXPECT_EQ(usage[3], (PaletteUse{227, 2}));
    EXPECT_EQ(usage[0], (PaletteUse{27, 1}));
    EXPECT_EQ(usage[1], (PaletteUse{0, 0}));

    BrevantImageViewDialog view(nullptr, image.get());
    view.show();
    ModalDialogDriver driver;
    driver.Then<ImagePaletteDialog>([](ImagePaletteDialog* palette) {
        EXPECT_EQ(palette->windowTitle(), QStringLiteral("Brevant Image Palette"));
        auto* tree = palette->findChild<QTreeWidget*>();
        ASSERT_NE(tree, nullptr);
        ASSERT_EQ(tree->topLevelItemCount(), 256);
        EXPECT_EQ(tree->headerItem()->text(0), QStringLiteral("Index"));
        EXPECT_EQ(tree->headerItem()->text(1), QStringLiteral("Color"));
        EXPECT_EQ(tree->headerItem()->text(2), QStringLiteral("Pixels"));
        EXPECT_EQ(tree->headerItem()->text(3), QStringLiteral("Frames"));
        EXPECT_FALSE(tree->rootIsDecorated());
        EXPECT_EQ(tree->header()->sectionSize(0), 50);
        EXPECT_EQ(tree->header()->sectionSize(1), 100);
        EXPECT_EQ(tree->header()->sectionSize(3), 75);

        struct Row {
            int index;
            const char* colour;
            QColor text;
            const char* pixels;
            const char* frames;
        } const rows[] = {
            {0, "00 00 00", Qt::white, "27", "1"},
            {1, "c8 64 32", Qt::white, "0", "0"},
            {2, "00 ff 00", Qt::white, "0", "0"},
            {3, "00 ff ff", Qt::black, "227", "2"},
            {255, "00 00 00", Qt::white, "0", "0"},
        };
        for (const Row& row : rows) {
            QTreeWidgetItem* item = tree->topLevelItem(row.index);
            EXPECT_EQ(item->text(0), QString::number(row.index));
            EXPECT_EQ(item->text(1), QString::fromLatin1(row.colour)) << row.index;
            EXPECT_EQ(item->foreground(1).color(), row.text) << row.index;
            EXPECT_EQ(item->text(2), QString::fromLatin1(row.pixels)) << row.index;
            EXPECT_EQ(item->text(3), QString::fromLatin1(row.frames)) << row.index;
            EXPECT_TRUE(item->textAlignment(2) & Qt::AlignRight);
        }
        EXPECT_EQ(tree->topLevelItem(1)->background(1).color(), QColor(200, 100, 50));
        Click(WithText<QPushButton>(palette, QStringLiteral("OK")));
    });
    Click(WithText<QPushButton>(&view, QStringLiteral("Palette")));
    EXPECT_TRUE(driver.Done());

    CindralImage cindral;
    CindralImageViewDialog cindralView(nullptr, &cindral);
    driver.Then<ImagePaletteDialog>([](ImagePaletteDialog* palette) {
        EXPECT_EQ(palette->windowTitle(), QStringLiteral("Cindral Image Palette"));
        palette->accept();
    });
    cindralView.OpenPalette();
    EXPECT_TRUE(driver.Done());
}
