#include "tools/artwork/Artwork.h"

#include <QImage>
#include <QSet>
#include <gtest/gtest.h>

namespace {

// Whether some pixel of the picture is not fully transparent.
bool HasInk(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return true;
    return false;
}

} // namespace

TEST(Artwork, EveryPictureIsInTheResourcesAsDrawn)
{
    const QList<artwork::Picture> pictures = artwork::DrawAll();
    QSet<QString> names;
    for (const artwork::Picture& picture : pictures) {
        SCOPED_TRACE(picture.fileName.toStdString());
        names.insert(picture.fileName);
        const QImage loaded(QStringLiteral(":/Resources/") + picture.fileName);
        ASSERT_FALSE(loaded.isNull());
        EXPECT_EQ(loaded.size(), picture.image.size());
        EXPECT_TRUE(HasInk(loaded));
        if (picture.fileName.endsWith("-16.png") || picture.fileName == "icon16.png" || picture.fileName == "power.png") {
            EXPECT_EQ(loaded.size(), QSize(16, 16));
        }
    }
    EXPECT_EQ(names.size(), pictures.size()) << "no name twice";
    EXPECT_EQ(QImage(":/Resources/address-background.png").size(), QSize(24, 24));
    EXPECT_EQ(QImage(":/Resources/icon32.png").size(), QSize(32, 32));
    // The banner's pieces are of one height, and the middle one is stretched between the
    // others: its columns are all alike.
    const QImage left(":/Resources/banner-left.png");
    const QImage middle(":/Resources/banner-mid.png");
    EXPECT_EQ(middle.height(), left.height());
    EXPECT_EQ(QImage(":/Resources/banner-right.png").height(), left.height());
    for (int y = 0; y < middle.height(); ++y)
        EXPECT_EQ(middle.pixel(0, y), middle.pixel(middle.width() - 1, y));
}
