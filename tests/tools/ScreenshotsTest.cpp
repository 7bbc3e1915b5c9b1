#include <QDir>
#include <QImage>
#include <QProcess>
#include <QSet>
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

// The number of distinct colours in `picture`.
int Colours(const QImage& picture)
{
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            colours.insert(picture.pixel(x, y));
    return int(colours.size());
}

// The pixels of `colour` in `picture`.
int Count(const QImage& picture, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            count += picture.pixel(x, y) == colour;
    return count;
}

// The pixels that differ between two pictures of one size (all of them for two sizes).
int DifferentPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    int different = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            different += a.pixel(x, y) != b.pixel(x, y);
    return different;
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
    for (const char* name : {"devices.png", "device.png", "menu.png", "library.png", "stock.png", "tasks.png"}) {
        SCOPED_TRACE(name);
        const QImage shot(QDir(output.path()).filePath(name));
        ASSERT_FALSE(shot.isNull());
        EXPECT_EQ(shot.size(), QSize(750, 600));
        const int top = RowOf(shot, banner, 60);
        EXPECT_GT(top, 10) << "below the menu bar";
    }

    // The image dialogs and the preview tab.
    const auto picture = [&](const char* name) {
        return QImage(QDir(output.path()).filePath(name)).convertToFormat(QImage::Format_RGB32);
    };
    const QImage importPicture = picture("import-picture.png");
    const QImage importClip = picture("import-clip.png");
    ASSERT_FALSE(importPicture.isNull());
    EXPECT_EQ(importClip.size(), importPicture.size()) << "one dialog, two media";
    EXPECT_GT(Colours(importPicture), 200) << "the pictures and faces show";
    EXPECT_GT(DifferentPixels(importPicture, importClip), 1000);
    const QImage view = picture("view.png");
    ASSERT_FALSE(view.isNull());
    EXPECT_GT(Colours(view), 20);
    const QImage preview = picture("preview.png");
    const QImage next = picture("preview-next.png");
    EXPECT_EQ(preview.size(), QSize(560, 320));
    EXPECT_EQ(next.size(), preview.size());
    EXPECT_GT(DifferentPixels(preview, next), 1000) << "a frame apart, the tiles played";
    // Seven tiles, each a light grey square with a rim of 4 pixels round its picture.
    EXPECT_GT(Count(preview, qRgb(232, 232, 232)), 7 * 4 * 4 * 92 / 2);

    // The creator over the tool's picture, whose sun is one flat colour; expanded, the
    // canvas grows and shows more of it; playing, the clip's frame replaces the picture.
    const QImage creator = picture("creator.png");
    const QImage expanded = picture("creator-expanded.png");
    const QImage playing = picture("creator-playing.png");
    ASSERT_FALSE(creator.isNull());
    ASSERT_FALSE(expanded.isNull());
    ASSERT_FALSE(playing.isNull());
    const QRgb sun = qRgb(255, 240, 160);
    EXPECT_GT(Count(creator, sun), 1000);
    EXPECT_GT(Count(expanded, sun), Count(creator, sun));
    EXPECT_EQ(Count(playing, sun), 0);
    EXPECT_EQ(playing.size(), creator.size());

    // The open menu changes the picture of the fixture's view.
    const QImage device(QDir(output.path()).filePath("device.png"));
    const QImage menu(QDir(output.path()).filePath("menu.png"));
    EXPECT_NE(device, menu);
    // The failed tile's log: its error line on its colour.
    const QImage log = QImage(QDir(output.path()).filePath("task-log.png")).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(log.size(), QSize(500, 500));
    bool errorLine = false;
    for (int y = 0; y < log.height() && !errorLine; ++y)
        for (int x = 0; x < log.width() && !errorLine; ++x)
            errorLine = log.pixel(x, y) == qRgb(255, 192, 192);
    EXPECT_TRUE(errorLine);
    // The task list: six tiles below the views, one of them in the failed tile's red.
    const QImage tasks = QImage(QDir(output.path()).filePath("tasks.png")).convertToFormat(QImage::Format_RGB32);
    int redPixels = 0;
    for (int y = tasks.height() - 120; y < tasks.height(); ++y)
        for (int x = 0; x < 30; ++x) {
            const QColor colour(tasks.pixel(x, y));
            redPixels += colour.red() > 150 && colour.green() < 100 && colour.blue() < 100;
        }
    EXPECT_GT(redPixels, 10) << "a red dial";

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
    const QImage aboutPicture(":/Resources/about.png");
    ASSERT_FALSE(about.isNull());
    ASSERT_FALSE(aboutPicture.isNull());
    EXPECT_EQ(about.size(), aboutPicture.size());
    EXPECT_EQ(RowOf(about, aboutPicture.copy(0, 0, 60, 20), 1), 0);

    // A failed copy with its log open: its warning and error lines on their colours. The
    // name dialog of a new package.
    const QImage failed = picture("operation-failed.png");
    ASSERT_FALSE(failed.isNull());
    EXPECT_GT(Count(failed, qRgb(255, 255, 192)), 100);
    EXPECT_GT(Count(failed, qRgb(255, 192, 192)), 100);
    EXPECT_FALSE(picture("name-dialog.png").isNull());
}
