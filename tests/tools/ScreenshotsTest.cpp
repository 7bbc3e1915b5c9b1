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

// How many pixels of `picture` have exactly `colour`.
int CountOf(const QImage& picture, QRgb colour)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            count += (rgb.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return count;
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

    // The creator over the tool's picture, whose sun is one flat colour; expanded, the
    // canvas grows and shows more of it; playing, the clip's frame replaces the picture.
    const QImage creator(QDir(output.path()).filePath("creator.png"));
    const QImage expanded(QDir(output.path()).filePath("creator-expanded.png"));
    const QImage playing(QDir(output.path()).filePath("creator-playing.png"));
    ASSERT_FALSE(creator.isNull());
    ASSERT_FALSE(expanded.isNull());
    ASSERT_FALSE(playing.isNull());
    const QRgb sun = qRgb(255, 240, 160);
    EXPECT_GT(CountOf(creator, sun), 1000);
    EXPECT_GT(CountOf(expanded, sun), CountOf(creator, sun));
    EXPECT_EQ(CountOf(playing, sun), 0);
    EXPECT_EQ(playing.size(), creator.size());
}
