#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/ImageStore.h"
#include "mosavra/FixtureSampling.h"
#include "mosavra/MediaStores.h"

#include <gtest/gtest.h>

using namespace FixtureSampling;
using MosavraTypes::Fixture;

namespace {

// A media rectangle of width 0.5 and height 0.25 stretches a frame to twice as wide as high.
const QRectF kWideMediaRect{0.25, 0.25, 0.5, 0.25};

const Fixture& MakeFixture(QPointF pos, double side, MosavraTypes::FixtureFamily family, int num = 1)
{
    static std::vector<std::unique_ptr<Fixture>> made;
    auto& f = made.emplace_back(std::make_unique<Fixture>());
    f->pos = pos;
    f->scale = QSizeF(side, side);
    f->type = family;
    f->num = num;
    return *f;
}

QImage Filled(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

TEST(FixtureSamplingTest, TheSampleIsASliderthOfTheRegionButAtLeastThreePixels)
{
    EXPECT_EQ(SampleSize(80, 80, 50), QSize(3, 3));
    EXPECT_EQ(SampleSize(80, 80, 10), QSize(8, 8));
    EXPECT_EQ(SampleSize(200, 90, 10), QSize(20, 20)) << "the larger side decides";
    EXPECT_EQ(SampleSize(80, 80, 0), QSize(80, 80)) << "no division by zero";
}

TEST(FixtureSamplingTest, TheInsetIsAFortiethOrATwentyFifthRoundedHalfUp)
{
    EXPECT_EQ(SampleInset(80, 80, MosavraTypes::kBrevant), QPoint(2, 2));
    EXPECT_EQ(SampleInset(80, 80, MosavraTypes::kCindral), QPoint(3, 3));
    EXPECT_EQ(SampleInset(100, 60, MosavraTypes::kBrevant), QPoint(3, 2)) << "2.5 rounds up";
}

TEST(FixtureSamplingTest, AFixtureSamplesTheRegionUnderItOfTheFittedFrame)
{
    // 800 pixels per canvas unit both ways; a fixture of 0.1 at the rectangle's centre.
    const Fixture& brevant = MakeFixture(kWideMediaRect.center(), 0.1, MosavraTypes::kBrevant);
    const auto region = FixtureSourceRegion(brevant, kWideMediaRect, QSize(400, 200), 50);
    ASSERT_TRUE(region);
    EXPECT_EQ(*region, (SourceRegion{160, 60, 239, 139, QSize(3, 3), QPoint(2, 2)}));
    EXPECT_EQ(FixtureSourceRegion(brevant, kWideMediaRect, QSize(400, 200), 10)->sampleSize, QSize(8, 8));
    const Fixture& cindral = MakeFixture(kWideMediaRect.center(), 0.1, MosavraTypes::kCindral);
    EXPECT_EQ(FixtureSourceRegion(cindral, kWideMediaRect, QSize(400, 200), 50)->inset, QPoint(3, 3));
}

TEST(FixtureSamplingTest, NothingIsSampledOffTheFrameOrWithoutAnArea)
{
    const QSize frame(400, 200);
    EXPECT_FALSE(FixtureSourceRegion(MakeFixture({0.05, 0.05}, 0.1, MosavraTypes::kBrevant), kWideMediaRect, frame, 50))
        << "wholly off the frame";
    EXPECT_TRUE(FixtureSourceRegion(MakeFixture({0.25, 0.25}, 0.1, MosavraTypes::kBrevant), kWideMediaRect, frame, 50))
        << "partly on it";
    EXPECT_FALSE(FixtureSourceRegion(MakeFixture({0.5, 0.5}, 0.0001, MosavraTypes::kBrevant), kWideMediaRect, frame, 50))
        << "less than a pixel";
    EXPECT_FALSE(
        FixtureSourceRegion(MakeFixture({0.5, 0.5}, 0.1, MosavraTypes::kBrevant), QRectF(0.25, 0.25, 0, 0.5), frame, 50))
        << "a media rectangle without width";
    EXPECT_FALSE(FixtureSourceRegion(MakeFixture({0.5, 0.5}, 0.1, MosavraTypes::kBrevant), kWideMediaRect, QSize(), 50));
}

TEST(FixtureSamplingTest, TheImageIsOfTheFixturesFamilyAndCarriesItsNumber)
{
    ImageStore store;
    store.PutFrame(Filled(QSize(400, 200), Qt::red), 100);
    store.PutFrame(Filled(QSize(400, 200), Qt::blue), 200);
    const Fixture& brevant = MakeFixture(kWideMediaRect.center(), 0.1, MosavraTypes::kBrevant, 7);
    const std::unique_ptr<Content> image = CreateFixtureImage(brevant, store, kWideMediaRect, Settings());
    auto* b = qobject_cast<BrevantImage*>(image.get());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetMosavraID(), 7);
    ASSERT_EQ(b->FrameCount(), 2);
    EXPECT_EQ(FrameDurations(*b), (std::vector<int>{100, 200}));
    const LEDColor first = b->GetPaletteColor(b->GetFrame(0)->indices[0]);
    EXPECT_EQ(first.ToRgb(), qRgb(255, 0, 0));

    const Fixture& cindral = MakeFixture(kWideMediaRect.center(), 0.1, MosavraTypes::kCindral, 65535 + 3);
    const std::unique_ptr<Content> other = CreateFixtureImage(cindral, store, kWideMediaRect, Settings());
    ASSERT_NE(qobject_cast<CindralImage*>(other.get()), nullptr);
    EXPECT_EQ(other->GetMosavraID(), 2) << "the number as a 16-bit value";

    EXPECT_EQ(CreateFixtureImage(brevant, ImageStore(), kWideMediaRect, Settings()), nullptr);
    EXPECT_EQ(CreateFixtureImage(MakeFixture({0.02, 0.02}, 0.01, MosavraTypes::kBrevant), store, kWideMediaRect,
                                 Settings()),
              nullptr);
}

TEST(FixtureSamplingTest, TheMaskAndTheFramesAreDrawnAtTheFixturesSize)
{
    const QImage mask = SampleMaskImage(MosavraTypes::kBrevant, 40, 40, Settings());
    ASSERT_EQ(mask.size(), QSize(40, 40));
    EXPECT_EQ(mask.pixel(0, 0), 0u) << "transparent outside the samples";
    EXPECT_EQ(mask.pixel(20, 20), 0x80ffffffu) << "the centre LED's sample";
    EXPECT_TRUE(SampleMaskImage(MosavraTypes::kCindral, 0, 40, Settings()).isNull());

    ImageStore store;
    store.PutFrame(Filled(QSize(400, 200), Qt::white), 100);
    const auto image =
        CreateFixtureImage(MakeFixture(kWideMediaRect.center(), 0.1, MosavraTypes::kCindral), store, kWideMediaRect,
                           Settings());
    ASSERT_NE(image, nullptr);
    const QImage frame = RenderFixtureFrame(*image, 0, 60, 60);
    ASSERT_EQ(frame.size(), QSize(60, 60));
    EXPECT_EQ(qAlpha(frame.pixel(0, 0)), 0) << "a transparent background";
    EXPECT_EQ(frame.pixel(30, 30), qRgb(255, 255, 255)) << "the centre LED in its colour";
    EXPECT_TRUE(RenderFixtureFrame(*image, 1, 60, 60).isNull());
}

TEST(FixtureSamplingTest, EachFixtureFindsItsFrameByTime)
{
    const std::vector<int> frames{40, 40, 40};
    const struct
    {
        qint64 t;
        int frame;
    } cases[] = {{0, 0}, {39, 0}, {40, 1}, {79, 1}, {80, 2}, {1000, 2}, {-5, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(FrameAtTime(c.t, frames), c.frame) << c.t;
    EXPECT_EQ(FrameAtTime(500, {}), 0);
}

TEST(FixtureSamplingTest, FramesAreStretchedToTheMediaRectanglesRatioNeverBelowAPixel)
{
    const QImage square = Filled(QSize(400, 400), Qt::green);
    EXPECT_EQ(FitToMediaRect(square, QSizeF(0.5, 0.25), true).size(), QSize(400, 200));
    EXPECT_EQ(FitToMediaRect(square, QSizeF(0.25, 0.5), false).size(), QSize(200, 400));
    EXPECT_EQ(FitToMediaRect(Filled(QSize(300, 100), Qt::green), QSizeF(1, 1), true).size(), QSize(300, 100));
    EXPECT_EQ(FitToMediaRect(square, QSizeF(0.5, 0), true).size(), QSize(400, 1));
    EXPECT_EQ(FitToMediaRect(square, QSizeF(0, 0.5), true).size(), QSize(1, 400));
    EXPECT_EQ(FitToMediaRect(square, QSizeF(0, 0), true).size(), QSize(1, 1));
}
