#include "images/BrevantImage.h"
#include "images/CindralImage.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

template <class Image>
void AddUniformFrame(Image& image, quint8 index)
{
    typename Image::Frame frame;
    frame.duration = 100;
    frame.indices.fill(index);
    image.AddFrame(frame);
}

// Where LED `led` of a face rendered with these parameters has its centre.
template <class Image>
QPoint LedCentre(int led, int width, int height, double ledSize, double margin)
{
    const QPointF unit = Image::LedPosition(led);
    const double sx = width / 2.0 - margin - ledSize / 2;
    const double sy = height / 2.0 - margin - ledSize / 2;
    return QPoint(int(unit.x() * sx + width / 2.0), int(height / 2.0 - unit.y() * sy));
}

} // namespace

TEST(Render, DefaultFaceOfTheFirstFamily)
{
    BrevantImage image;
    image.SetPaletteColor(5, {255, 255, 255});
    AddUniformFrame(image, 5);
    QImage picture;
    ASSERT_TRUE(image.RenderFrameDefault(0, 256, 256, picture));
    ASSERT_EQ(picture.size(), QSize(256, 256));
    EXPECT_EQ(picture.format(), QImage::Format_ARGB32);
    // Grey outside the face, black face between the LEDs.
    EXPECT_EQ(picture.pixel(1, 1), qRgb(192, 192, 192));
    EXPECT_EQ(picture.pixel(128, 100), qRgb(0, 0, 0));

    // LEDs 13 × 13 (256 / 20 rounded), the outer ring 6 pixels from the edge (256 / 40).
    for (int led : {0, 17, 35, 66, 126}) {
        const QPoint centre = LedCentre<BrevantImage>(led, 256, 256, 13, 6);
        EXPECT_EQ(picture.pixel(centre), qRgb(255, 255, 255)) << led;
    }

    // The rims fade towards black: some pixels are grey between white and black.
    int rims = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const QRgb p = picture.pixel(x, y);
            if (qRed(p) == qGreen(p) && qRed(p) > 0 && qRed(p) < 255 && qRed(p) != 192)
                ++rims;
        }
    EXPECT_GT(rims, 127 * 8);
}

TEST(Render, SecondFamilyMarginsAndPaletteColours)
{
    CindralImage image;
    image.SetPaletteColor(1, {200, 10, 10});
    image.SetPaletteColor(2, {10, 200, 10});
    CindralImage::Frame frame;
    frame.duration = 10;
    frame.indices.fill(1);
    frame.indices[60] = 2;
    image.AddFrame(frame);
    QImage picture;
    ASSERT_TRUE(image.RenderFrame(0, 100, 100, 7, 7, Qt::white, picture));
    EXPECT_EQ(picture.pixel(50, 50), qRgb(10, 200, 10));
    // Margins 4 (100 / 25): LED 0 sits just inside them.
    EXPECT_EQ(picture.pixel(LedCentre<CindralImage>(0, 100, 100, 7, 4)), qRgb(200, 10, 10));
    EXPECT_EQ(picture.pixel(LedCentre<CindralImage>(23, 100, 100, 7, 4)), qRgb(200, 10, 10));
    EXPECT_EQ(picture.pixel(0, 0), qRgb(255, 255, 255));
}

TEST(Render, TheBackgroundColourIsPartOfTheCachedFace)
{
    BrevantImage image;
    AddUniformFrame(image, 0);
    QImage red, blue;
    ASSERT_TRUE(image.RenderFrame(0, 64, 64, 3, 3, Qt::red, red));
    ASSERT_TRUE(image.RenderFrame(0, 64, 64, 3, 3, Qt::blue, blue));
    EXPECT_EQ(red.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(blue.pixel(0, 0), qRgb(0, 0, 255));
    // The same request again gives the same picture.
    QImage again;
    ASSERT_TRUE(image.RenderFrame(0, 64, 64, 3, 3, Qt::red, again));
    EXPECT_EQ(again, red);
}

TEST(Render, AFrameThatIsNotThereFailsCleanly)
{
    BrevantImage image;
    QImage target(5, 5, QImage::Format_ARGB32);
    target.fill(Qt::green);
    const QImage before = target;
    EXPECT_FALSE(image.RenderFrameDefault(0, 64, 64, target));
    AddUniformFrame(image, 0);
    EXPECT_FALSE(image.RenderFrameDefault(1, 64, 64, target));
    EXPECT_FALSE(image.RenderFrameDefault(-1, 64, 64, target));
    EXPECT_FALSE(image.RenderFrameDefault(0, 0, 64, target));
    image.Clear();
    EXPECT_FALSE(image.RenderFrameDefault(0, 64, 64, target));
    EXPECT_EQ(target, before);
}

TEST(Render, LedsOutsideThePictureAreClipped)
{
    BrevantImage image;
    image.SetPaletteColor(3, {1, 2, 3});
    AddUniformFrame(image, 3);
    LEDImageRender render;
    render.ledPosition = &BrevantImage::LedPosition;
    render.indices = image.GetFrame(0)->indices.data();
    render.ledCount = BrevantImage::kLedCount;
    render.width = 40;
    render.height = 30;
    render.ledWidth = 9;
    render.ledHeight = 9;
    // Negative margins push the outer rings past every edge.
    render.marginX = -30;
    render.marginY = -30;
    std::array<LEDColor, 256> palette{};
    palette[3] = {1, 2, 3};
    QImage picture;
    ASSERT_TRUE(render.RenderFrame(palette, picture));
    EXPECT_EQ(picture.size(), QSize(40, 30));
    EXPECT_EQ(picture.pixel(20, 15), qRgb(1, 2, 3)); // the centre LED is still drawn
}

TEST(Render, TheFaceCacheStaysBounded)
{
    CindralImage image;
    AddUniformFrame(image, 0);
    QImage picture;
    for (int size = 10; size < 10 + int(LEDImageRender::kMaxCachedFaces) + 10; ++size)
        ASSERT_TRUE(image.RenderFrameDefault(0, size, size, picture));
    EXPECT_LE(LEDImageRender::CachedFaceCount(), LEDImageRender::kMaxCachedFaces);
}
