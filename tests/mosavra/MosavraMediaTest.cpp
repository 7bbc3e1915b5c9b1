#include "tests/mosavra/CreatorTestSupport.h"
#include "tests/mosavra/GermanLocale.h"

#include "images/BrevantImage.h"
#include "link/ui/NameDialog.h"
#include "link/ui/Preferences.h"
#include "mosavra/CanvasGeometry.h"
#include "mosavra/FixtureSampling.h"
#include "mosavra/MosavraHighResTimer.h"
#include "platform/system/Clock.h"
#include "tests/link/PollUntil.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>

using namespace creator_testing;
using MosavraTypes::Fixture;
using testing_env::ModalDialogDriver;

namespace {

// A Brevant LED image of one frame per duration, each all of one colour, exported as an
// animated GIF: media with exactly those frame times.
QString MakeAnimation(const QString& folder, const QString& name, std::initializer_list<int> durations)
{
    BrevantImage image;
    int index = 1;
    for (int duration : durations) {
        image.SetPaletteColor(index, LEDColor{quint8(60 * index), 0, quint8(255 - 60 * index)});
        BrevantImage::Frame frame;
        frame.duration = duration;
        frame.indices.fill(quint8(index++));
        image.AddFrame(frame);
    }
    const QString path = folder + QLatin1Char('/') + name;
    EXPECT_TRUE(image.ExportGIF(path, 64, 64));
    return path;
}

class CreatorMediaTest : public CreatorTest
{
protected:
    QSlider* Slider(const char* name) { return Widget<QSlider>(name); }
    QString FrameText() { return Widget<QLabel>("frameLabel")->text(); }
    QString TimeText() { return Widget<QLabel>("timeLabel")->text(); }
    QString Picture(const char* name, QSize size) { return MakePicture(MediaFolder(), QLatin1String(name), size); }
    // Shows the window with one fixture of a new template over a picture of `size`.
    bool ShowOneFixtureOver(QSize size)
    {
        Open();
        AddTemplate(MosavraTypes::kBrevant);
        ClickButton("addFixtureButton");
        const bool opened = Dialog().OpenMedia(Picture("media.png", size));
        Dialog().show();
        return opened;
    }
};

} // namespace

TEST_F(CreatorMediaTest, MediaIsChosenInAFileDialogThatRemembersItsFolder)
{
    const QString path = Picture("stage.png", QSize(640, 480));
    Open();
    ModalDialogDriver driver;
    ChooseFileInNextDialog(driver, path);
    ClickButton("mediaButton");
    ASSERT_TRUE(driver.Done());
    EXPECT_EQ(Widget<QLabel>("mediaNameLabel")->text(), "stage.png");
    EXPECT_EQ(Dialog().Media().FrameCount(), 1);
    {
        ScopedPreferences preferences;
        EXPECT_EQ(preferences->LastPath(QLatin1String(Preferences::kMosavraMediaSelection)), MediaFolder());
    }

    // A new window opens its file dialog where the last media was; cancelling changes nothing.
    Open();
    ModalDialogDriver cancel;
    cancel.Then<QFileDialog>([this](QFileDialog* d) {
        EXPECT_EQ(d->directory().absolutePath(), MediaFolder());
        QMetaObject::invokeMethod(d, "reject");
    });
    ClickButton("mediaButton");
    EXPECT_TRUE(cancel.Done());
    EXPECT_EQ(Dialog().Media().FrameCount(), 0);
    EXPECT_EQ(Widget<QLabel>("mediaNameLabel")->text(), "No Media Loaded");
}

TEST_F(CreatorMediaTest, TheSampleSizeRangeFollowsTheMediasShorterSide)
{
    const struct
    {
        QSize size;
        int minimum, maximum, value;
    } cases[] = {{{640, 480}, 10, 100, 50}, {{240, 90}, 10, 30, 30}, {{2, 2}, 1, 1, 1}, {{20, 21}, 6, 6, 6}};
    Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size.width() << " x " << c.size.height());
        ASSERT_TRUE(Dialog().OpenMedia(Picture("picture.png", c.size)));
        EXPECT_EQ(Slider("sampleSizeSlider")->minimum(), c.minimum);
        EXPECT_EQ(Slider("sampleSizeSlider")->maximum(), c.maximum);
        EXPECT_EQ(Slider("sampleSizeSlider")->value(), c.value);
    }
}

// The Sample Size slider spans 10 only until media comes; a template's own sample size is
// shown as near as the range allows and kept until the user moves the slider.
TEST_F(CreatorMediaTest, ATemplatesSampleSizeIsKeptUntilTheUserMovesTheSlider)
{
    WriteTemplatesText(R"(<templates><template name="A" sample="40"/></templates>)");
    Open();
    SelectTemplateRow(0);
    const MosavraTypes::Template* t = Dialog().CurrentTemplate();
    EXPECT_EQ(t->sample, 40) << "selected before any media";
    ClickButton("addFixtureButton"); // saves
    EXPECT_TRUE(TemplatesText().contains(R"(sample="40")"));

    ASSERT_TRUE(Dialog().OpenMedia(Picture("narrow.png", QSize(240, 90)))); // range 10-30
    EXPECT_EQ(Slider("sampleSizeSlider")->value(), 30);
    Slider("contrastSlider")->setValue(100);
    EXPECT_EQ(t->sample, 40) << "other settings change nothing of it";

    ASSERT_TRUE(Dialog().OpenMedia(Picture("wide.png", QSize(640, 480)))); // range 10-100
    EXPECT_EQ(Slider("sampleSizeSlider")->value(), 40);
    Slider("sampleSizeSlider")->setValue(25);
    EXPECT_EQ(t->sample, 25);
    ClickButton("addFixtureButton");
    EXPECT_TRUE(TemplatesText().contains(R"(sample="25")"));
}

TEST_F(CreatorMediaTest, AStillPictureEnablesTheSettingsButNotPlayback)
{
    Open();
    AddTemplate(MosavraTypes::kBrevant);
    ASSERT_TRUE(Dialog().OpenMedia(Picture("still.png", QSize(640, 480))));
    for (const char* name : {"frameSlider", "rewindButton", "playPauseButton", "forwardButton"})
        EXPECT_FALSE(Widget<QWidget>(name)->isEnabled()) << name;
    for (const char* name : {"expandButton", "resetButton", "sampleSizeSlider", "sampleZoomSlider", "contrastSlider",
                             "luminanceCutoffSlider", "showMediaBox", "showSamplesBox", "showMaskBox"})
        EXPECT_TRUE(Widget<QWidget>(name)->isEnabled()) << name;
    EXPECT_EQ(FrameText(), "Frame (1/1):");
    EXPECT_EQ(TimeText(), "Time: 0.00s/0.00s - Frame Delay: 0.00s");
    EXPECT_FALSE(Canvas()->Image().isNull());
    EXPECT_EQ(Canvas()->size(), QSize(320, 320));
    EXPECT_FALSE(Widget<QWidget>("progressBar")->isVisible());
}

TEST_F(CreatorMediaTest, FramesAreStretchedToTheMediaRectangle)
{
    WriteTemplatesText(R"(<templates><template name="Wide" scale="0.25 0.25 0.5 0.25"/></templates>)");
    Open();
    SelectTemplateRow(0);
    ASSERT_TRUE(Dialog().OpenMedia(Picture("square.png", QSize(400, 400))));
    EXPECT_EQ(Dialog().FitToMediaRect(QImage(400, 400, QImage::Format_RGB32), true).size(), QSize(400, 200));
    EXPECT_EQ(Dialog().Media().Fitted().Frame(0).image.size(), QSize(400, 200));
    EXPECT_EQ(Dialog().Media().Preview().Frame(0).image.size(), QSize(160, 80)) << "the rectangle on the canvas";
    EXPECT_EQ(Dialog().Media().Adjusted().Frame(0).image.size(), QSize(200, 100)) << "the rectangle at 400 pixels";
}

TEST_F(CreatorMediaTest, AnUnreadableFileIsRefusedAndTheEarlierMediaStays)
{
    Open();
    AddTemplate(MosavraTypes::kBrevant);
    ASSERT_TRUE(Dialog().OpenMedia(Picture("good.png", QSize(200, 100))));
    const QImage shown = Canvas()->Image();
    const QString bad = MediaFolder() + QStringLiteral("/bad.png");
    {
        QFile file(bad);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("this is neither a picture nor a video");
    }
    ModalDialogDriver driver;
    driver.Then<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), "Invalid Media Format");
        EXPECT_EQ(box->text(), "The media file format is unsupported.");
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_FALSE(Dialog().OpenMedia(bad));
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(Dialog().Media().FrameCount(), 1);
    EXPECT_EQ(Dialog().Media().Preview().FrameCount(), 1);
    EXPECT_EQ(Widget<QLabel>("mediaNameLabel")->text(), "good.png");
    EXPECT_EQ(Canvas()->Image(), shown);
    EXPECT_EQ(FrameText(), "Frame (1/1):");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(CreatorMediaTest, TheLabelsShowTheFrameAndItsTimesInAnyLocale)
{
    const QString clip = MakeAnimation(MediaFolder(), QStringLiteral("clip.gif"), {100, 200, 300});
    Open();
    ASSERT_TRUE(Dialog().OpenMedia(clip));
    ASSERT_EQ(Dialog().Media().FrameCount(), 3);
    EXPECT_EQ(Slider("frameSlider")->maximum(), 2);
    EXPECT_EQ(FrameText(), "Frame (1/3):");
    EXPECT_EQ(TimeText(), "Time: 0.00s/0.60s - Frame Delay: 0.10s");
    ClickButton("forwardButton");
    EXPECT_EQ(Slider("frameSlider")->value(), 2);
    EXPECT_EQ(FrameText(), "Frame (3/3):");
    EXPECT_EQ(TimeText(), "Time: 0.30s/0.60s - Frame Delay: 0.30s");
    EXPECT_EQ(Dialog().TimeUpToFrame(2), 300);
    {
        GermanLocale german;
        ASSERT_TRUE(german.Active());
        ClickButton("rewindButton");
        Slider("frameSlider")->setValue(2);
        EXPECT_EQ(TimeText(), "Time: 0.30s/0.60s - Frame Delay: 0.30s");
    }
}

TEST_F(CreatorMediaTest, PlaybackLoopsAndAPauseStopsAllStepping)
{
    const QString clip = MakeAnimation(MediaFolder(), QStringLiteral("clip.gif"), {100, 200, 300});
    Open();
    ASSERT_TRUE(Dialog().OpenMedia(clip));
    auto* play = Widget<QPushButton>("playPauseButton");
    EXPECT_EQ(play->accessibleName(), "Play");
    ClickButton("playPauseButton");
    EXPECT_TRUE(Dialog().IsPlaying());
    EXPECT_EQ(play->accessibleName(), "Pause");

    // Every frame shown is noted as it is shown: on a busy machine one turn of the event
    // loop can step through several frames that came due meanwhile.
    std::vector<int> shown{Slider("frameSlider")->value()};
    const QMetaObject::Connection noting = QObject::connect(&Dialog(), &MosavraDialog::repaintPreview, [&] {
        if (Slider("frameSlider")->value() != shown.back())
            shown.push_back(Slider("frameSlider")->value());
    });
    const bool looped = PollUntil([&] { return shown.size() >= 4; });
    QObject::disconnect(noting);
    ASSERT_TRUE(looped);
    shown.resize(4);
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 0})) << "after the last frame the first";
    EXPECT_EQ(FrameText(), QStringLiteral("Frame (%1/3):").arg(Slider("frameSlider")->value() + 1));

    ClickButton("playPauseButton");
    EXPECT_EQ(play->accessibleName(), "Play");
    EXPECT_FALSE(Dialog().FrameTimer().IsArmed());
    const int paused = Slider("frameSlider")->value();
    const qint64 later = platform::Clock::NowMs() + 2000; // past any frame that was due
    PollUntil([&] { return platform::Clock::NowMs() > later; });
    EXPECT_EQ(Slider("frameSlider")->value(), paused);

    // New media keeps playing when it is animated, and stops playback when it is not.
    ClickButton("playPauseButton");
    ASSERT_TRUE(Dialog().OpenMedia(clip));
    EXPECT_TRUE(Dialog().IsPlaying());
    ASSERT_TRUE(Dialog().OpenMedia(Picture("still.png", QSize(64, 64))));
    EXPECT_FALSE(Dialog().IsPlaying());
    EXPECT_FALSE(Dialog().FrameTimer().IsArmed());
    EXPECT_EQ(play->accessibleName(), "Play");
}

// At real time: a window whose timer thread slept through its frame would hold the test
// a minute.
TEST_F(CreatorMediaTest, ClosingDoesNotWaitForTheFrameThatIsPlaying)
{
    const QString clip = MakeAnimation(MediaFolder(), QStringLiteral("slow.gif"), {60000, 60000});
    Open();
    ASSERT_TRUE(Dialog().OpenMedia(clip));
    platform::ScopedTimeScale realTime(1.0);
    ClickButton("playPauseButton");
    ASSERT_TRUE(Dialog().FrameTimer().IsArmed());
    const qint64 start = platform::Clock::NowMs();
    dialog_.reset();
    EXPECT_LT(platform::Clock::NowMs() - start, 60000);
}

TEST_F(CreatorMediaTest, EachFixtureShowsItsOwnSampledFrame)
{
    Open();
    AddTemplate(MosavraTypes::kBrevant);
    ClickButton("addFixtureButton");
    Fixture* fixture = Dialog().CurrentTemplate()->fixtures[0].get();
    EXPECT_EQ(Dialog().FrameAtTime(0, *fixture), -1) << "no image without media";
    EXPECT_EQ(Dialog().GetFixturePixmap(0, *fixture), nullptr);

    const QString clip = MakeAnimation(MediaFolder(), QStringLiteral("clip.gif"), {100, 200, 300});
    ASSERT_TRUE(Dialog().OpenMedia(clip));
    ASSERT_NE(fixture->previewImage, nullptr);
    EXPECT_EQ(fixture->stamp, Dialog().SettingsCounter());
    EXPECT_EQ(FixtureSampling::FrameDurations(*fixture->previewImage), (std::vector<int>{100, 200, 300}));
    EXPECT_EQ(Dialog().FrameAtTime(Dialog().TimeUpToFrame(2), *fixture), 2);
    const QPixmap* frame = Dialog().GetFixturePixmap(2, *fixture);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->size(), QSize(40, 40));
    const QPixmap* mask = Dialog().GetFixturePixmap(-1, *fixture);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(mask->size(), QSize(40, 40));

    // A drag samples the moved fixture anew.
    const Content* before = fixture->previewImage.get();
    Drag(Canvas(), {160, 160}, {170, 170});
    EXPECT_NE(fixture->previewImage.get(), before);
}

TEST_F(CreatorMediaTest, TheSettingsGiveTheImportersValuesAndResetKeepsTheSampleSliders)
{
    Open();
    AddTemplate(MosavraTypes::kBrevant);
    ClickButton("addFixtureButton");
    ASSERT_TRUE(Dialog().OpenMedia(Picture("still.png", QSize(400, 300))));
    const int counter = Dialog().SettingsCounter();
    Slider("brightnessSlider")->setValue(255);
    Slider("contrastSlider")->setValue(0);
    Slider("luminanceWeightSlider")->setValue(51);
    Slider("distanceWeightSlider")->setValue(255);
    Slider("luminanceCutoffSlider")->setValue(102);
    Slider("sampleZoomSlider")->setValue(64);
    Slider("sampleSizeSlider")->setValue(20);
    for (QButtonGroup* group : Dialog().findChildren<QButtonGroup*>())
        group->buttons().last()->click(); // Greater, Invert, Monochrome
    EXPECT_GT(Dialog().SettingsCounter(), counter) << "every change samples anew";
    const Fixture& fixture = *Dialog().CurrentTemplate()->fixtures[0];
    EXPECT_EQ(fixture.scale, QSizeF(0.25, 0.25)) << "the zoom sizes every fixture";
    EXPECT_EQ(fixture.stamp, Dialog().SettingsCounter());
    EXPECT_EQ(Dialog().CurrentTemplate()->zoom, 64);
    EXPECT_EQ(Dialog().CurrentTemplate()->sample, 20);

    FixtureSampling::Settings s = Dialog().SamplingSettings();
    EXPECT_FLOAT_EQ(s.brightness, 2.984375f);
    EXPECT_FLOAT_EQ(s.contrast, -2.0f);
    EXPECT_FLOAT_EQ(s.luminanceWeight, -0.2f);
    EXPECT_FLOAT_EQ(s.distanceWeight, 1.0f);
    EXPECT_FLOAT_EQ(s.luminanceCutoff, 0.4f);
    EXPECT_TRUE(s.cutoffGreater);
    EXPECT_EQ(s.colourMode, 2);
    EXPECT_EQ(s.sampleSlider, 20);
    EXPECT_EQ(Dialog().SampleSize(80, 80), QSize(4, 4));

    ClickButton("resetButton");
    s = Dialog().SamplingSettings();
    EXPECT_FLOAT_EQ(s.brightness, 1.0f);
    EXPECT_FLOAT_EQ(s.contrast, 0.0f);
    EXPECT_FLOAT_EQ(s.luminanceWeight, 0.0f);
    EXPECT_FALSE(s.cutoffGreater);
    EXPECT_EQ(s.colourMode, 0);
    EXPECT_EQ(Slider("sampleZoomSlider")->value(), 64);
    EXPECT_EQ(Slider("sampleSizeSlider")->value(), 20);
}

TEST_F(CreatorMediaTest, ExpandShowsTheMediaAtItsOwnSizeAndHidesTheFineSettings)
{
    // Small enough for the screen to hold at its own size.
    ASSERT_TRUE(ShowOneFixtureOver(QSize(400, 300)));
    Fixture& fixture = *Dialog().CurrentTemplate()->fixtures[0];
    ASSERT_NE(Dialog().GetFixturePixmap(0, fixture), nullptr);

    ClickButton("expandButton");
    EXPECT_TRUE(Dialog().IsExpanded());
    EXPECT_EQ(Widget<QPushButton>("expandButton")->text(), "Collapse");
    EXPECT_EQ(Canvas()->size(), QSize(400, 400));
    EXPECT_EQ(Canvas()->Image().size(), Dialog().Media().Adjusted().Frame(0).image.size());
    EXPECT_TRUE(fixture.framePixmaps[0].isNull()) << "drawn anew at the new size";
    EXPECT_EQ(Dialog().GetFixturePixmap(0, fixture)->size(), QSize(50, 50));
    EXPECT_FALSE(Widget<QWidget>("templatesGroup")->isVisible());
    EXPECT_FALSE(Slider("contrastSlider")->isVisible());
    EXPECT_TRUE(Slider("sampleSizeSlider")->isVisible());
    EXPECT_TRUE(Slider("sampleZoomSlider")->isVisible());

    ClickButton("expandButton");
    EXPECT_EQ(Widget<QPushButton>("expandButton")->text(), "Expand");
    EXPECT_EQ(Canvas()->size(), QSize(320, 320));
    EXPECT_TRUE(Widget<QWidget>("templatesGroup")->isVisible());
    EXPECT_TRUE(Slider("contrastSlider")->isVisible());
}

// Expanded over media larger than the screen has room for, the window stays inside the
// screen's available area: the canvas shrinks (the media still covering its rectangle),
// and Create and Close stay in sight below the part that would scroll.
TEST_F(CreatorMediaTest, AnExpandedCreatorKeepsInsideTheScreenWithCreateAndCloseInSight)
{
    ASSERT_TRUE(ShowOneFixtureOver(QSize(800, 600)));
    const QSize collapsed = Dialog().size();
    ClickButton("expandButton");
    // The window takes its new size a moment after the click.
    ASSERT_TRUE(PollUntil([&] { return Dialog().size() != collapsed; }));
    QCoreApplication::processEvents();

    const QRect available = Dialog().screen()->availableGeometry();
    EXPECT_TRUE(available.contains(Dialog().frameGeometry()))
        << Dialog().frameGeometry().width() << "x" << Dialog().frameGeometry().height() << " at "
        << Dialog().frameGeometry().x() << "," << Dialog().frameGeometry().y();
    const QSize canvas = Canvas()->size();
    EXPECT_LT(canvas.width(), 768) << "the media's own size does not fit";
    EXPECT_EQ(canvas.width(), canvas.height());
    EXPECT_EQ(Canvas()->Image().size(), CanvasGeometry::ToPixels(QRectF(0.25, 0.25, 0.5, 0.5), canvas).size());

    auto* scroll = Widget<QScrollArea>("scrollArea");
    EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 0) << "the shrunk canvas leaves room for everything";
    for (const char* name : {"createButton", "closeButton"}) {
        auto* button = Widget<QPushButton>(name);
        EXPECT_TRUE(button->isVisible()) << name;
        EXPECT_FALSE(scroll->isAncestorOf(button)) << name;
        const QRect shown(button->mapTo(&Dialog(), QPoint(0, 0)), button->size());
        EXPECT_TRUE(Dialog().rect().contains(shown)) << name;
    }
}

TEST_F(CreatorMediaTest, AMediaRectangleWithoutWidthSamplesNothingAndExportsNothing)
{
    Open();
    AddTemplate(MosavraTypes::kBrevant);
    ClickButton("addFixtureButton");
    ASSERT_TRUE(Dialog().OpenMedia(Picture("sunset.png", QSize(400, 200))));
    ASSERT_NE(Dialog().CurrentTemplate()->fixtures[0]->previewImage, nullptr);
    Click(Canvas(), {300, 300}); // let the fixture go, so the next press takes the media
    Drag(Canvas(), {81, 120}, {300, 120});
    ASSERT_EQ(Dialog().CurrentTemplate()->scale.width(), 0);
    EXPECT_EQ(Dialog().CurrentTemplate()->fixtures[0]->previewImage, nullptr);
    EXPECT_EQ(Dialog().Media().Fitted().Frame(0).image.size(), QSize(1, 200));
    EXPECT_FALSE(Canvas()->grab().isNull());

    ModalDialogDriver driver;
    driver.Then<NameDialog>([](NameDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Create BREVANT Mosavra");
        EXPECT_EQ(d->GetName(), "sunset");
        d->accept();
    });
    driver.Then<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), "Error");
        EXPECT_EQ(box->text(), "No fixture lies on the media: nothing was exported.");
        box->accept();
    });
    ClickButton("createButton");
    EXPECT_TRUE(driver.Done());
}
