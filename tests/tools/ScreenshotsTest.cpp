#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Where `part` lies in `whole` with its left edge at x = 0, searching the top rows; -1 when
// it is not there.
int RowOf(const QImage& whole, const QImage& part, int searchRows)
{
    const QImage a = whole.convertToFormat(QImage::Format_RGB32);
    const QImage b = part.convertToFormat(QImage::Format_RGB32);
    for (int top = 0; top < searchRows && top + b.height() <= a.height(); ++top) {
        bool same = true;
        for (int y = 0; same && y < b.height(); ++y)
            for (int x = 0; same && x < b.width(); ++x)
                same = a.pixel(x, top + y) == b.pixel(x, y);
        if (same)
            return top;
    }
    return -1;
}

// Whether any pixel of `image` is a strong red, as the Mosavra address badges are.
bool HasRed(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const QColor pixel = rgb.pixelColor(x, y);
            if (pixel.red() > 200 && pixel.green() < 40 && pixel.blue() < 40)
                return true;
        }
    return false;
}

} // namespace

// The screenshot tool on a virtual display writes each of its pictures: the main window at
// its size, its banner right under the menu bar.
TEST(Screenshots, TheToolWritesEveryPictureOfTheWindow)
{
    QTemporaryDir output;
    ASSERT_TRUE(output.isValid());
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    tool.setProcessEnvironment(environment);
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start("xvfb-run", {"--auto-servernum", "--server-args=-screen 0 1024x768x24", VELMORA_SCREENSHOTS_TOOL,
                            output.path()});
    ASSERT_TRUE(tool.waitForFinished(120000)) << "the tool did not end";
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAll().toStdString();

    const QImage banner(":/Resources/banner-left.png");
    ASSERT_FALSE(banner.isNull());
    for (const char* name : {"devices.png", "library.png", "stock.png"}) {
        SCOPED_TRACE(name);
        const QImage shot(QDir(output.path()).filePath(name));
        ASSERT_FALSE(shot.isNull());
        EXPECT_EQ(shot.size(), QSize(750, 600));
        const int top = RowOf(shot, banner, 60);
        EXPECT_GT(top, 10) << "below the menu bar";
    }

    // Every page of the six wizards at the wizards' size; the Mosavra lists show their red
    // badges, the others none.
    for (const char* name : {"stock-content-model.png", "stock-content-devices.png", "mosavra-update-model.png",
                             "mosavra-update-devices.png", "delete-user-content-model.png",
                             "delete-user-content-devices.png", "delete-mosavra-content-model.png",
                             "delete-mosavra-content-devices.png", "clone-source.png", "clone-destination.png",
                             "upgrade-model.png", "upgrade-file.png", "upgrade-devices.png"}) {
        SCOPED_TRACE(name);
        const QImage shot(QDir(output.path()).filePath(name));
        ASSERT_FALSE(shot.isNull());
        EXPECT_EQ(shot.size(), QSize(600, 440));
        EXPECT_EQ(HasRed(shot), QString(name).contains("mosavra") && QString(name).contains("devices"));
    }

    // The About box: its picture fills it, from the top-left corner.
    const QImage about(QDir(output.path()).filePath("about.png"));
    const QImage picture(":/Resources/about.png");
    ASSERT_FALSE(about.isNull());
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(about.size(), picture.size());
    EXPECT_EQ(RowOf(about, picture.copy(0, 0, 60, 20), 1), 0);
}
