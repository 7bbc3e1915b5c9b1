#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/LEDImageImporter.h"
#include "images/ui/ImageImportDialog.h"
#include "images/ui/ImportRules.h"
#include "tests/images/ui/DialogTestSupport.h"

#include <QApplication>
#include <QButtonGroup>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QSlider* Slider(const QWidget* dialog, const char* name)
{
    return Child<QSlider>(dialog, name);
}

// The radio button `text` in the choice row `row`.
QRadioButton* Choice(const QWidget* dialog, const char* row, const QString& text)
{
    const QWidget* choices = Child<QWidget>(dialog, row);
    return choices ? WithText<QRadioButton>(choices, text) : nullptr;
}

// The import a direct importer run gives for `dialog`'s stored frames and `settings`.
std::unique_ptr<BrevantImage> DirectImport(ImageImportDialog& dialog, const ImportSettings& s)
{
    const ImportLayout& l = s.layout;
    LEDImageImporter<BrevantImage> importer(l.x1, l.y1, l.x2, l.y2, l.sampleWidth, l.sampleHeight, s.brightness,
                                            s.contrast, s.luminanceWeight, s.distanceWeight, s.luminanceCutoff,
                                            s.cutoffGreater, s.colourMode, 30, 0, 0);
    dialog.Store().Replay(importer);
    auto image = std::make_unique<BrevantImage>();
    EXPECT_TRUE(importer.Finish(*image));
    return image;
}

bool Near(int a, int b, int tolerance = 3)
{
    return std::abs(a - b) <= tolerance;
}

} // namespace

TEST(ImportRules, CropSampleAndPreviewSizes)
{
    struct Case {
        QSize frame;
        bool keep;
        int sampleSize;
        ImportLayout layout;
    } const cases[] = {
        {{512, 384}, true, 50, {68, 4, 443, 379, 8, 8}},
        {{512, 384}, false, 50, {5, 4, 506, 379, 10, 8}},
        {{384, 512}, true, 10, {4, 68, 379, 443, 38, 38}},
        {{40, 24}, true, 8, {8, 0, 31, 23, 3, 3}},
        {{2, 2}, true, 1, {0, 0, 1, 1, 2, 2}},
        // A picture a pixel high still has a pixel to sample, and a sample of at least one.
        {{512, 1}, false, 1, {5, 0, 506, 0, 502, 1}},
        {{1, 1}, true, 100, {0, 0, 0, 0, 1, 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CropLayout(c.frame, c.keep, c.sampleSize), c.layout)
            << c.frame.width() << "x" << c.frame.height() << (c.keep ? " keep " : " ignore ") << c.sampleSize;

    EXPECT_EQ(SampleSizeMaximum({512, 384}), 100);
    EXPECT_EQ(SampleSizeMaximum({40, 24}), 8);
    EXPECT_EQ(SampleSizeMaximum({29, 300}), 9);
    EXPECT_EQ(SampleSizeMaximum({2, 2}), 1) << "never 0, which would divide by zero";
    EXPECT_EQ(SampleSizeMaximum({}), 1);

    EXPECT_EQ(PreviewSize({512, 384}), QSize(200, 150));
    EXPECT_EQ(PreviewSize({384, 512}), QSize(150, 200));
    EXPECT_EQ(PreviewSize({40, 24}), QSize(250, 150));
    EXPECT_EQ(PreviewSize({100, 100}), QSize(150, 150));
    EXPECT_TRUE(PreviewSize({0, 10}).isEmpty());
    EXPECT_EQ(ScaleToPreview(SolidPicture({512, 384}, qRgb(1, 2, 3))).size(), QSize(200, 150));
    EXPECT_TRUE(ScaleToPreview(QImage()).isNull());
}

TEST(ImportRules, FrameMapFollowsTheLedFramesStartTimes)
{
    struct Case {
        std::vector<int> stored;
        std::vector<int> led;
        std::vector<int> map;
    } const cases[] = {
        {{40, 40, 100}, {80, 100}, {0, 0, 1}},
        {{10, 10, 10}, {30}, {0, 0, 0}},
        // A stored frame starting after the last LED frame's end stays on the last one.
        {{100, 100, 100, 100}, {100, 100}, {0, 1, 1, 1}},
        {{30, 30}, {30, 30}, {0, 1}},
        // No LED frames: every stored frame maps to 0, which the dialog shows as nothing.
        {{40, 40}, {}, {0, 0}},
        {{}, {100}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildFrameMap(c.stored, c.led), c.map);
}

TEST(ImportDialog, LaysOutThePictureAndImportsOnceWhenShown)
{
    BrevantImage target;
    BrevantImageImportDialog dialog(255, &target);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Brevant Image Import"));
    dialog.SetTitle(QStringLiteral("pic.png"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Brevant Image Import - pic.png"));
    ASSERT_TRUE(dialog.Store().PutFrame(QuadrantPicture({640, 480}), 0));
    EXPECT_EQ(dialog.Store().Frame(0).image.size(), QSize(512, 384));

    QSignalSpy imports(&dialog, &ImageImportDialog::ImportUpdated);
    QList<Qt::CursorShape> cursors;
    QObject::connect(&target, &Content::ContentChanged, [&] {
        cursors << (QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor);
    });
    dialog.show();
    EXPECT_EQ(imports.count(), 1) << "setting the sliders up runs no import of its own";
    ASSERT_FALSE(cursors.isEmpty());
    EXPECT_EQ(cursors.count(Qt::WaitCursor), cursors.size()) << "the import runs under the wait cursor";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    QSlider* sampleSize = Slider(&dialog, "sampleSize");
    EXPECT_EQ(sampleSize->minimum(), 10);
    EXPECT_EQ(sampleSize->maximum(), 100);
    EXPECT_EQ(sampleSize->value(), 50);
    EXPECT_TRUE(sampleSize->invertedAppearance());
    EXPECT_FALSE(sampleSize->hasTracking());
    EXPECT_EQ(Slider(&dialog, "frame")->minimum(), 0);
    EXPECT_EQ(Slider(&dialog, "frame")->maximum(), 0);
    EXPECT_TRUE(Slider(&dialog, "frame")->hasTracking());
    for (const char* name : {"contrast", "brightness", "luminanceWeight", "distanceWeight", "luminanceCutoff"}) {
        EXPECT_EQ(Slider(&dialog, name)->maximum(), 255) << name;
        EXPECT_EQ(Slider(&dialog, name)->tickInterval(), 8) << name;
        EXPECT_FALSE(Slider(&dialog, name)->hasTracking()) << name;
    }
    EXPECT_EQ(Shown(&dialog, "original").size(), QSize(200, 150));
    EXPECT_EQ(Shown(&dialog, "import").size(), QSize(150, 150));
    // The window took the previews' size as it appeared, without waiting for the event loop.
    EXPECT_GE(Child<QLabel>(&dialog, "original")->contentsRect().height(), 150);
    EXPECT_GE(Child<QLabel>(&dialog, "import")->contentsRect().width(), 150);

    EXPECT_EQ(dialog.CurrentLayout(), (ImportLayout{68, 4, 443, 379, 8, 8}));
    ExpectSameImage(target, *DirectImport(dialog, dialog.CurrentSettings()));
    const ImportSettings neutral = dialog.CurrentSettings();
    EXPECT_EQ(neutral.brightness, 1.0f);
    EXPECT_EQ(neutral.contrast, 0.0f);
    EXPECT_EQ(neutral.colourMode, 0);

    // The switch unchecks one button and checks the other: two imports.
    Click(Choice(&dialog, "aspectRatio", QStringLiteral("Ignore")));
    EXPECT_EQ(imports.count(), 3);
    EXPECT_EQ(dialog.CurrentLayout(), (ImportLayout{5, 4, 506, 379, 10, 8}));
    ExpectSameImage(target, *DirectImport(dialog, dialog.CurrentSettings()));

    // Shown again, the dialog keeps the user's settings and imports nothing more.
    dialog.hide();
    dialog.show();
    EXPECT_EQ(imports.count(), 3);
    EXPECT_TRUE(Choice(&dialog, "aspectRatio", QStringLiteral("Ignore"))->isChecked());
}

TEST(ImportDialog, EverySettingReachesTheImporter)
{
    BrevantImage target;
    BrevantImageImportDialog dialog(255, &target);
    dialog.Store().PutFrame(QuadrantPicture({300, 200}), 0);
    dialog.show();
    QSignalSpy imports(&dialog, &ImageImportDialog::ImportUpdated);

    // Keys move a slider as a person would; each release of a setting imports once.
    QSlider* brightness = Slider(&dialog, "brightness");
    brightness->setFocus();
    QTest::keyClick(brightness, Qt::Key_PageUp);
    EXPECT_EQ(imports.count(), 1);
    Slider(&dialog, "contrast")->setValue(40);
    Slider(&dialog, "luminanceWeight")->setValue(100);
    Slider(&dialog, "distanceWeight")->setValue(60);
    Slider(&dialog, "luminanceCutoff")->setValue(30);
    Slider(&dialog, "sampleSize")->setValue(20);
    EXPECT_EQ(imports.count(), 6);
    Click(Choice(&dialog, "cutoffMode", QStringLiteral("Greater")));
    Click(Choice(&dialog, "luminance", QStringLiteral("Invert")));
    Click(Choice(&dialog, "color", QStringLiteral("Greyscale")));
    EXPECT_EQ(imports.count(), 9);

    const ImportSettings s = dialog.CurrentSettings();
    EXPECT_EQ(s.brightness, BrightnessFromSlider(brightness->value()));
    EXPECT_GT(brightness->value(), 128);
    EXPECT_EQ(s.contrast, ContrastFromSlider(40));
    EXPECT_EQ(s.luminanceWeight, -WeightFromSlider(100));
    EXPECT_EQ(s.distanceWeight, WeightFromSlider(60));
    EXPECT_EQ(s.luminanceCutoff, WeightFromSlider(30));
    EXPECT_TRUE(s.cutoffGreater);
    EXPECT_EQ(s.colourMode, 1);
    EXPECT_EQ(s.layout, CropLayout({300, 200}, true, 20));
    ExpectSameImage(target, *DirectImport(dialog, s));

    Click(Choice(&dialog, "color", QStringLiteral("Monochrome")));
    EXPECT_EQ(dialog.CurrentSettings().colourMode, 2);
    ExpectSameImage(target, *DirectImport(dialog, dialog.CurrentSettings()));
}

TEST(ImportDialog, MergedFramesShareTheirLedFrameAndTheMaskLiesOverTheOriginal)
{
    BrevantImage target;
    BrevantImageImportDialog dialog(255, &target);
    const QImage grey = SolidPicture({300, 200}, qRgb(128, 128, 128));
    dialog.Store().PutFrame(grey, 40);
    dialog.Store().PutFrame(grey, 40);
    dialog.Store().PutFrame(QuadrantPicture({300, 200}), 100);
    dialog.show();

    ASSERT_EQ(target.FrameCount(), 2);
    EXPECT_EQ(target.GetFrame(0)->duration, 80);
    EXPECT_EQ(target.GetFrame(1)->duration, 100);

    // The "Import" picture shows LED frame 0, 0, then 1 as the Frame slider moves.
    QImage led[2];
    for (int i = 0; i < 2; ++i) {
        QImage face;
        ASSERT_TRUE(target.RenderFrameDefault(i, 150, 150, face));
        led[i] = face.convertToFormat(QImage::Format_RGB32);
    }
    ASSERT_NE(led[0], led[1]);
    QSlider* frame = Slider(&dialog, "frame");
    EXPECT_EQ(frame->maximum(), 2);
    const int expected[] = {0, 0, 1};
    for (int f = 0; f < 3; ++f) {
        frame->setValue(f);
        EXPECT_EQ(Shown(&dialog, "import"), led[expected[f]]) << "stored frame " << f;
    }

    // Large samples, so that the mask's discs are many pixels wide at preview size.
    Slider(&dialog, "sampleSize")->setValue(10);
    frame->setValue(0);
    const ImportLayout layout = dialog.CurrentLayout();
    const QPoint centre((layout.x1 + layout.x2 + 1) / 2 * 150 / 200, (layout.y1 + layout.y2 + 1) / 2 * 150 / 200);
    const QImage plain = Shown(&dialog, "original");
    ASSERT_EQ(plain.size(), QSize(225, 150));
    EXPECT_EQ(plain.pixel(centre), qRgb(128, 128, 128));

    Click(Child<QPushButton>(&dialog, "showMask"));
    const QImage masked = Shown(&dialog, "original");
    // Half white over the samples, half black elsewhere (the corner lies outside the crop).
    EXPECT_TRUE(Near(qRed(masked.pixel(centre)), 192)) << qRed(masked.pixel(centre));
    EXPECT_TRUE(Near(qRed(masked.pixel(2, 2)), 64)) << qRed(masked.pixel(2, 2));
    EXPECT_EQ(qRed(masked.pixel(centre)), qBlue(masked.pixel(centre)));

    Click(Child<QPushButton>(&dialog, "showMask"));
    EXPECT_EQ(Shown(&dialog, "original"), plain);
}

TEST(ImportDialog, SmallPicturesGetAUsableSampleSizeRange)
{
    struct Case {
        QSize size;
        int minimum, maximum, value;
    } const cases[] = {
        {{40, 24}, 8, 8, 8},
        {{2, 2}, 1, 1, 1},
        {{30, 90}, 10, 10, 10},
    };
    for (const Case& c : cases) {
        BrevantImage target;
        BrevantImageImportDialog dialog(255, &target);
        dialog.Store().PutFrame(QuadrantPicture(c.size), 0);
        dialog.show();
        QSlider* sampleSize = Slider(&dialog, "sampleSize");
        EXPECT_EQ(sampleSize->minimum(), c.minimum) << c.size.width();
        EXPECT_EQ(sampleSize->maximum(), c.maximum) << c.size.width();
        EXPECT_EQ(sampleSize->value(), c.value) << c.size.width();
        EXPECT_EQ(target.FrameCount(), 1) << "imported";
    }
}

TEST(ImportDialog, WithoutStoredFramesItLeavesTheTargetAlone)
{
    CindralImage target;
    CindralImage::Frame frame;
    frame.duration = 70;
    target.AddFrame(frame);
    CindralImageImportDialog dialog(255, &target);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Cindral Image Import"));
    QSignalSpy imports(&dialog, &ImageImportDialog::ImportUpdated);
    dialog.show();
    Click(Choice(&dialog, "aspectRatio", QStringLiteral("Ignore")));
    Click(Child<QPushButton>(&dialog, "showMask"));
    Slider(&dialog, "brightness")->setValue(3);
    EXPECT_EQ(imports.count(), 0);
    ASSERT_EQ(target.FrameCount(), 1);
    EXPECT_EQ(target.GetFrame(0)->duration, 70);
    EXPECT_TRUE(Shown(&dialog, "original").isNull());
    EXPECT_TRUE(Shown(&dialog, "import").isNull());
    EXPECT_EQ(dialog.CurrentLayout(), ImportLayout{});
}

TEST(ImportDialog, ATargetDestroyedWhileOpenIsNotWritten)
{
    auto target = std::make_unique<BrevantImage>();
    BrevantImageImportDialog dialog(255, target.get());
    dialog.Store().PutFrame(QuadrantPicture({64, 64}), 0);
    dialog.show();
    target.reset();
    QSignalSpy imports(&dialog, &ImageImportDialog::ImportUpdated);
    Slider(&dialog, "contrast")->setValue(10);
    EXPECT_EQ(imports.count(), 1);
    EXPECT_TRUE(Shown(&dialog, "import").isNull());
    EXPECT_FALSE(Shown(&dialog, "original").isNull());
}
