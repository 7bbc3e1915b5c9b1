#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/ColourAdjust.h"
#include "images/LEDImageImporter.h"

#include <QImage>

#include <cmath>
#include <gtest/gtest.h>

namespace {

QImage Solid(int w, int h, QRgb colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage picture(w, h, format);
    picture.fill(colour);
    return picture;
}

// An importer with the dialogs' neutral settings and no region: it lays itself out from
// the first picture.
template <class Image>
LEDImageImporter<Image> NeutralImporter(int colourMode = 0)
{
    return LEDImageImporter<Image>(0, 0, -1, -1, 0, 0, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, false, colourMode, 30, 0, 0);
}

} // namespace

TEST(ColourFunctions, LuminanceScaleAndContrast)
{
    EXPECT_FLOAT_EQ(Luminance(qRgb(255, 255, 255)), 1.0f);
    EXPECT_FLOAT_EQ(Luminance(qRgb(255, 0, 0)), 0.299f);
    EXPECT_EQ(ScaleColour(qRgba(100, 200, 10, 77), 2.0f), qRgba(200, 255, 20, 77));
    EXPECT_EQ(ScaleColour(qRgb(100, 200, 10), -1.0f), qRgb(0, 0, 0));
    EXPECT_EQ(ScaleColour(qRgb(0, 3, 0), INFINITY), qRgb(0, 255, 0));

    EXPECT_EQ(AdjustContrast(qRgb(12, 34, 56), 0.0f), qRgb(12, 34, 56));
    for (float c : {-2.0f, -0.5f, 0.5f, 0.99f}) {
        EXPECT_EQ(AdjustContrast(qRgb(0, 0, 0), c), qRgb(0, 0, 0)) << c;
        EXPECT_EQ(AdjustContrast(qRgba(0, 0, 0, 9), c), qRgba(0, 0, 0, 9)) << c;
    }
    // More contrast darkens the dark and lightens the light; less pulls towards grey.
    EXPECT_LT(qRed(AdjustContrast(qRgb(60, 60, 60), 0.5f)), 60);
    EXPECT_GT(qRed(AdjustContrast(qRgb(190, 190, 190), 0.5f)), 190);
    EXPECT_GT(qRed(AdjustContrast(qRgb(60, 60, 60), -0.5f)), 60);
}

TEST(ColourFunctions, AdjustedPicturesKeepAlpha)
{
    QImage picture = Solid(3, 2, qRgba(100, 50, 25, 128), QImage::Format_ARGB32);
    QImage adjusted = MakeAdjustedImage(picture, 2.0f, 0.0f);
    EXPECT_EQ(adjusted.format(), QImage::Format_ARGB32);
    EXPECT_EQ(adjusted.pixel(2, 1), qRgba(200, 100, 50, 128));
    EXPECT_EQ(MakeAdjustedImage(picture, 1.0f, 0.0f).pixel(0, 0), qRgba(100, 50, 25, 128));
    // A picture without alpha comes out opaque.
    EXPECT_EQ(MakeAdjustedImage(Solid(2, 2, qRgb(10, 10, 10)), 1.0f, 0.3f).pixel(1, 1) >> 24, 0xffu);
}

TEST(Importer, SliderMappings)
{
    EXPECT_FLOAT_EQ(BrightnessFromSlider(128), 1.0f);
    EXPECT_FLOAT_EQ(BrightnessFromSlider(0), -1.0f);
    EXPECT_FLOAT_EQ(BrightnessFromSlider(255), 2.984375f);
    EXPECT_FLOAT_EQ(ContrastFromSlider(128), 0.0f);
    EXPECT_FLOAT_EQ(ContrastFromSlider(0), -2.0f);
    EXPECT_FLOAT_EQ(ContrastFromSlider(255), 0.9921875f);
    EXPECT_FLOAT_EQ(ContrastFromSlider(64), -1.0f);
    EXPECT_FLOAT_EQ(WeightFromSlider(255), 1.0f);
    EXPECT_FLOAT_EQ(WeightFromSlider(51), 0.2f);
}

TEST(Importer, DefaultRegionAndSampleSize)
{
    struct Case {
        QSize picture;
        ImportLayout expected;
    };
    const Case cases[] = {
        {{200, 100}, {51, 1, 148, 98, 3, 3}},
        {{640, 480}, {85, 5, 554, 474, 15, 15}},
        {{1920, 1080}, {431, 11, 1488, 1068, 33, 33}},
        // A picture too small for 98 % of a side still gets one pixel.
        {{1, 1}, {0, 0, 0, 0, 3, 3}},
        {{1000, 2}, {499, 0, 499, 0, 3, 3}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DefaultRegion({}, c.picture), c.expected) << c.picture.width() << "x" << c.picture.height();
    // Only what is missing is filled in.
    EXPECT_EQ(DefaultRegion({10, 10, 73, 73, 0, 0}, {640, 480}), (ImportLayout{10, 10, 73, 73, 3, 3}));
    EXPECT_EQ(DefaultRegion({0, 0, -1, -1, 7, 5}, {200, 100}), (ImportLayout{51, 1, 148, 98, 7, 5}));
}

TEST(Importer, SamplePointsFollowTheLedLayout)
{
    auto importer = NeutralImporter<BrevantImage>();
    ASSERT_TRUE(importer.PutFrame(Solid(200, 100, qRgb(1, 2, 3)), 10));
    EXPECT_EQ(importer.Layout(), (ImportLayout{51, 1, 148, 98, 3, 3}));
    const std::vector<QPoint>& points = importer.SamplePoints();
    ASSERT_EQ(points.size(), 127u);
    EXPECT_EQ(points[0], QPoint(104, 3));
    EXPECT_EQ(points[1], QPoint(112, 5));
    EXPECT_EQ(points[35], QPoint(96, 3));
    EXPECT_EQ(points[66], QPoint(104, 19));
    EXPECT_EQ(points[126], QPoint(100, 50));

    // An inset shrinks the circle.
    LEDImageImporter<CindralImage> inset(51, 1, 148, 98, 3, 3, 1, 0, 0, 0, 0, false, 0, 30, 10, 20);
    EXPECT_EQ(inset.SamplePoints()[60], QPoint(100, 50));
    EXPECT_LT(std::abs(inset.SamplePoints()[6].y() - 50), 29); // ry = 49 − 20 = 29
}

TEST(Importer, SampleMaskIsADiscFromFiveCells)
{
    EXPECT_EQ(SampleMask(3, 4), std::vector<bool>(12, true));
    const std::vector<bool> disc = SampleMask(9, 9);
    EXPECT_FALSE(disc[0]);                    // corner
    EXPECT_TRUE(disc[4 * 9 + 4]);             // centre
    EXPECT_TRUE(disc[4 * 9 + 0]);             // middle of the left edge
    EXPECT_GT(std::count(disc.begin(), disc.end(), true), 50);

    LEDImageImporter<CindralImage> importer(0, 0, 99, 99, 9, 9, 1, 0, 0, 0, 0, false, 0, 30, 0, 0);
    QImage overlay(100, 100, QImage::Format_ARGB32);
    overlay.fill(0x80000000u);
    importer.DrawSampleMask(overlay, 0x80ffffffu);
    const QPoint centre = importer.SamplePoints()[60];
    EXPECT_EQ(overlay.pixel(centre), 0x80ffffffu);
    EXPECT_EQ(overlay.pixel(centre.x() - 4, centre.y() - 4), 0x80000000u);
    EXPECT_EQ(overlay.pixel(0, 99), 0x80000000u);
}

TEST(Importer, ASolidPictureImportsToItsColour)
{
    for (int mode : {0, 1, 2}) {
        auto importer = NeutralImporter<BrevantImage>(mode);
        ASSERT_TRUE(importer.PutFrame(Solid(320, 240, qRgb(200, 100, 50)), 400));
        BrevantImage image;
        image.SetName(QStringLiteral("before"));
        ASSERT_TRUE(importer.Finish(image));
        EXPECT_EQ(image.GetName(), QString());
        EXPECT_EQ(image.GetPaletteColor(0), LEDColor{});
        EXPECT_EQ(image.GetPaletteColor(255), LEDColor{});
        EXPECT_EQ(image.GetTransparentIndex(), 255);
        EXPECT_EQ(image.GetBackgroundIndex(), 0);
        EXPECT_EQ(image.GetPaletteColor(1), (LEDColor{0, 0, 0}));
        EXPECT_EQ(image.GetPaletteColor(2), (LEDColor{255, 255, 255}));
        ASSERT_EQ(image.FrameCount(), 1);
        const BrevantImage::Frame& frame = *image.GetFrame(0);
        EXPECT_EQ(frame.duration, 400);
        EXPECT_EQ(frame.flag, 0);
        // Every LED takes the same entry.
        EXPECT_EQ(std::count(frame.indices.begin(), frame.indices.end(), frame.indices[0]), 127) << mode;
        const LEDColor shown = image.GetPaletteColor(frame.indices[0]);
        if (mode == 0) {
            EXPECT_EQ(shown, (LEDColor{200, 100, 50}));
        } else if (mode == 1) {
            // The grey (11 × 200 + 16 × 100 + 5 × 50) >> 5 = 126, on the grey ramp.
            EXPECT_EQ(shown.red, shown.blue);
            EXPECT_LE(std::abs(shown.red - 126), 1);
        } else {
            EXPECT_EQ(frame.indices[0], 1); // grey 126 is below the middle: black
        }
    }
}

TEST(Importer, FewColoursKeepTheirExactValues)
{
    // A gradient gives every LED its own colour; fewer colours than the palette holds
    // come through unchanged.
    QImage gradient(200, 200, QImage::Format_RGB32);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            gradient.setPixel(x, y, qRgb(x, y, 100));
    auto importer = NeutralImporter<BrevantImage>();
    ASSERT_TRUE(importer.PutFrame(gradient, 40));
    BrevantImage image;
    ASSERT_TRUE(importer.Finish(image));
    const std::span<const QRgb> sampled = importer.CollectedColours(0);
    for (int led = 0; led < BrevantImage::kLedCount; ++led)
        EXPECT_EQ(image.GetPaletteColor(image.GetFrame(0)->indices[std::size_t(led)]),
                  LEDColor::FromRgb(sampled[std::size_t(led)]))
            << led;
}

TEST(Importer, EqualFramesMergeAndShortFramesAreLengthened)
{
    auto importer = NeutralImporter<CindralImage>();
    const QImage grey = Solid(64, 64, qRgb(90, 90, 90));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(importer.PutFrame(grey, 10));
    ASSERT_EQ(importer.CollectedFrameCount(), 1);
    EXPECT_EQ(importer.CollectedDuration(0), 50); // 30 + 10 + 10

    ASSERT_TRUE(importer.PutFrame(Solid(64, 64, qRgb(10, 90, 90)), 5));
    EXPECT_EQ(importer.CollectedDuration(1), 30);
    // Backwards time stamps count as 0; a still scene stops at the longest frame time.
    ASSERT_TRUE(importer.PutFrame(Solid(64, 64, qRgb(10, 90, 90)), -500));
    EXPECT_EQ(importer.CollectedDuration(1), 30);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(importer.PutFrame(Solid(64, 64, qRgb(10, 90, 90)), 30000));
    EXPECT_EQ(importer.CollectedDuration(1), 65535);
    ASSERT_TRUE(importer.PutFrame(grey, 70000));
    EXPECT_EQ(importer.CollectedDuration(2), 65535);
}

TEST(Importer, RefusesThe256thFrame)
{
    auto importer = NeutralImporter<CindralImage>();
    for (int i = 0; i < 255; ++i)
        ASSERT_TRUE(importer.PutFrame(Solid(8, 8, qRgb(i, 0, 0)), 40)) << i;
    EXPECT_FALSE(importer.PutFrame(Solid(8, 8, qRgb(0, 9, 0)), 40));
    CindralImage image;
    ASSERT_TRUE(importer.Finish(image));
    EXPECT_EQ(image.FrameCount(), 255);
}

TEST(Importer, LedsThatAreOffOrOutsideTheRegionAreTransparent)
{
    // A fully transparent picture.
    auto importer = NeutralImporter<CindralImage>();
    ASSERT_TRUE(importer.PutFrame(Solid(50, 50, qRgba(255, 255, 255, 0), QImage::Format_ARGB32), 100));
    EXPECT_EQ(qAlpha(importer.CollectedColours(0)[0]), 0);
    CindralImage image;
    ASSERT_TRUE(importer.Finish(image));
    EXPECT_EQ(image.GetFrame(0)->indices[30], 255);

    // A region much larger than the picture: the outer LEDs sample nothing.
    LEDImageImporter<BrevantImage> wide(-200, -200, 299, 299, 5, 5, 1, 0, 0, 0, 0, false, 0, 30, 0, 0);
    ASSERT_TRUE(wide.PutFrame(Solid(100, 100, qRgb(0, 255, 0)), 100));
    EXPECT_EQ(wide.CollectedColours(0)[0], 0u);
    EXPECT_EQ(wide.CollectedColours(0)[126], qRgb(0, 255, 0));
    BrevantImage brevant;
    ASSERT_TRUE(wide.Finish(brevant));
    EXPECT_EQ(brevant.GetFrame(0)->indices[0], 255);
    EXPECT_EQ(brevant.GetPaletteColor(brevant.GetFrame(0)->indices[126]), (LEDColor{0, 255, 0}));

    // Nothing collected: nothing to commit.
    EXPECT_FALSE(NeutralImporter<BrevantImage>().Commit(brevant));
    EXPECT_EQ(brevant.FrameCount(), 1);
}

TEST(Importer, WeightsBrightnessAndNarrowSamples)
{
    // Left half black, right half white: the LED at the centre sees both.
    QImage split(40, 40, QImage::Format_RGB32);
    split.fill(Qt::black);
    for (int y = 0; y < 40; ++y)
        for (int x = 20; x < 40; ++x)
            split.setPixel(x, y, qRgb(255, 255, 255));
    auto sample = [&](float brightness, float luminanceWeight, float cutoff, bool greater, int w, int h) {
        LEDImageImporter<CindralImage> importer(0, 0, 39, 39, w, h, brightness, 0, luminanceWeight, 1.0f, cutoff,
                                                greater, 0, 30, 0, 0);
        importer.PutFrame(split, 10);
        return importer.CollectedColours(0)[60];
    };
    const int plain = qRed(sample(1, 0, 0, false, 9, 9));
    EXPECT_GT(plain, 60);
    EXPECT_LT(plain, 200);
    // Weighting by luminance favours the white pixels; inverted, the black ones.
    EXPECT_GT(qRed(sample(1, 1, 0, false, 9, 9)), plain);
    EXPECT_LT(qRed(sample(1, -1, 0, false, 9, 9)), plain);
    // With the cutoff in "greater" mode the white pixels lose their luminance weight.
    EXPECT_EQ(qRed(sample(1, 1, 0.5f, true, 9, 9)), plain);
    EXPECT_EQ(qRed(sample(1, 1, 0.5f, false, 9, 9)), qRed(sample(1, 1, 0, false, 9, 9)));
    // Brightness 0.5 halves every channel before the mean.
    EXPECT_NEAR(qRed(sample(0.5f, 0, 0, false, 9, 9)), plain / 2, 2);
    // A sample one pixel wide has no radius: the distance weight stays finite.
    const QRgb narrow = sample(1, 0, 0, false, 1, 5);
    EXPECT_EQ(qAlpha(narrow), 255);
    EXPECT_TRUE(qRed(narrow) == 0 || qRed(narrow) == 255);
}
