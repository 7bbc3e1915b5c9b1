// The creator's media: choosing and reading it, the frames derived from it, playback,
// the canvas's frame, and each fixture's sampled preview.
#include "mosavra/MosavraDialog.h"

#include "link/ui/OverrideCursorHelper.h"
#include "link/ui/Preferences.h"
#include "mosavra/CanvasGeometry.h"
#include "mosavra/FixtureSampling.h"
#include "mosavra/MosavraHighResTimer.h"
#include "platform/system/Clock.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

using MosavraTypes::Fixture;

namespace {

const char* const kMediaFilter =
    "Media Files (*.png *.jpg *.bmp *.tif *.gif *.mpg *.mpeg *.mov);; All Files (*.*)";
// The Sample Size slider spans from kMinSampleSlider to a third of the media's shorter
// side, at most kMaxSampleSlider, and starts at kDefaultSampleSlider.
constexpr int kMinSampleSlider = 10;
constexpr int kMaxSampleSlider = 100;
constexpr int kDefaultSampleSlider = 50;
// The window fits itself to the expanded or collapsed canvas once the layout has settled.
constexpr qint64 kAdjustSizeDelayMs = 100;

QString Seconds(double seconds)
{
    return QString::number(seconds, 'f', 2);
}

// `image` as it covers the media rectangle `mediaRect` on a canvas of `side` pixels: scaled
// when it was made for another size (the screen left the canvas less room than the media's
// own size, or the stored frames are capped below it).
QImage OverMediaRect(const QImage& image, const QRectF& mediaRect, int side)
{
    const QSize size = CanvasGeometry::ToPixels(mediaRect, QSize(side, side)).size().expandedTo(QSize(1, 1));
    return image.size() == size ? image : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

void MosavraDialog::onSelectMedia()
{
    QString path;
    {
        ScopedPreferences preferences;
        // A new window starts where the user last found media.
        const QString directory = mediaDirectory_.isEmpty()
                                      ? preferences->LastPath(QLatin1String(Preferences::kMosavraMediaSelection))
                                      : mediaDirectory_;
        path = QFileDialog::getOpenFileName(this, tr("Select Mosavra Media"), directory, tr(kMediaFilter));
        if (path.isEmpty())
            return;
        preferences->SetLastDirectory(QLatin1String(Preferences::kMosavraMediaSelection), path);
    }
    OpenMedia(path);
}

bool MosavraDialog::OpenMedia(const QString& path)
{
    progressBar_->reset();
    progressBar_->show();
    mediaDirectory_ = QFileInfo(path).absolutePath();
    bool loaded = false;
    {
        const OverrideCursorHelper wait;
        loaded = media_.Load(path);
        if (loaded) {
            progressBar_->setValue(40);
            mediaNameLabel_->setText(QFileInfo(path).fileName());
            mediaBaseName_ = QFileInfo(path).completeBaseName();
            onNewMedia();
            progressBar_->setValue(100);
        }
    }
    progressBar_->hide();
    progressBar_->reset();
    if (!loaded)
        QMessageBox::critical(this, tr("Invalid Media Format"), tr("The media file format is unsupported."),
                              QMessageBox::Ok);
    return loaded;
}

void MosavraDialog::onNewMedia()
{
    timer_->Disarm();
    ++settingsCounter_;
    RebuildMediaPreviews();
    progressBar_->setValue(60);

    totalTime_ = media_.TotalSeconds();
    const int frames = media_.FrameCount();
    const bool animated = frames >= 2;
    {
        const QSignalBlocker quiet(frameSlider_);
        frameSlider_->setMinimum(0);
        frameSlider_->setMaximum(animated ? frames - 1 : 0);
        frameSlider_->setValue(0);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{frameSlider_, rewindButton_, playPauseButton_, forwardButton_})
        w->setEnabled(animated);

    if (QLayout* layout = canvas_->parentWidget()->layout())
        layout->setAlignment(canvas_, Qt::AlignCenter);
    const QSize first = media_.Media().Frame(0).image.size();
    // Never below 1: the sample size divides by it.
    const int maximum = std::max(1, std::min(std::min(first.width(), first.height()) / 3, kMaxSampleSlider));
    {
        const QSignalBlocker quiet(sampleSizeSlider_);
        sampleSizeSlider_->setRange(std::min(kMinSampleSlider, maximum), maximum);
        // The current template's own sample size, as near as the new range allows.
        sampleSizeSlider_->setValue(currentTemplate_ ? currentTemplate_->sample : kDefaultSampleSlider);
    }
    progressBar_->setValue(80);

    for (QWidget* w : std::initializer_list<QWidget*>{expandButton_, resetButton_, sampleSizeSlider_, sampleZoomSlider_,
                                                      contrastSlider_, brightnessSlider_, luminanceWeightSlider_,
                                                      distanceWeightSlider_, luminanceCutoffSlider_})
        w->setEnabled(true);
    for (QButtonGroup* group : {cutoffModeGroup_, luminanceGroup_, colourModeGroup_}) {
        for (QAbstractButton* button : group->buttons())
            button->setEnabled(true);
    }

    RefreshFixtureImages();
    UpdateFrameLabels();
    RefreshCanvas();
    onUpdateCreateButtonState();
    onUpdateShowSamplesState();
    onUpdateShowMediaState();

    if (playing_ && animated) {
        ArmFrameTimer();
    } else {
        playing_ = false;
        SetPlayIcon(false);
    }
}

QImage MosavraDialog::FitToMediaRect(const QImage& frame, bool smooth) const
{
    return ::FitToMediaRect(frame, mediaRect_.size(), smooth);
}

void MosavraDialog::RebuildMediaPreviews()
{
    const bool showsProgress = progressBar_->isHidden() && HasMedia();
    if (showsProgress) {
        progressBar_->reset();
        progressBar_->setRange(0, 3 * media_.FrameCount());
        progressBar_->show();
    }
    const FixtureSampling::Settings settings = SamplingSettings();
    media_.Rebuild(mediaRect_, settings.brightness, settings.contrast, [this, showsProgress](int done, int) {
        if (!showsProgress)
            return;
        progressBar_->setValue(done);
        // The work holds the event loop: paint the step now.
        progressBar_->repaint();
    });
    if (showsProgress) {
        progressBar_->hide();
        progressBar_->reset();
        progressBar_->setRange(0, 100);
    }
}

void MosavraDialog::onExpandCollapse()
{
    expanded_ = !expanded_;
    templatesGroup_->setVisible(!expanded_);
    for (QWidget* w : collapsibleSettings_)
        w->setVisible(!expanded_);
    expandButton_->setText(expanded_ ? tr("Collapse") : tr("Expand"));
    DropFixturePixmaps();
    RefreshCanvas();
    if (expanded_)
        FitExpandedCanvas();
    adjustSizeTimer_.start(platform::Clock::TimerIntervalMs(kAdjustSizeDelayMs));
}

void MosavraDialog::onAdjustSize()
{
    FitToScreen();
}

void MosavraDialog::DropFixturePixmaps()
{
    if (!currentTemplate_)
        return;
    for (const auto& f : currentTemplate_->fixtures) {
        f->maskPixmap = QPixmap();
        std::fill(f->framePixmaps.begin(), f->framePixmaps.end(), QPixmap());
    }
}

// Playback.

qint64 MosavraDialog::TimeUpToFrame(int i) const
{
    return media_.TimeUpToFrame(i);
}

int MosavraDialog::FrameAtTime(qint64 t, const Fixture& fixture) const
{
    if (!fixture.previewImage)
        return -1;
    return FixtureSampling::FrameAtTime(t, FixtureSampling::FrameDurations(*fixture.previewImage));
}

void MosavraDialog::ArmFrameTimer()
{
    const int i = frameSlider_->value();
    if (i < media_.FrameCount())
        timer_->Start(unsigned(std::max(0, media_.FrameMs(i))));
}

void MosavraDialog::RefreshCanvas()
{
    const int i = frameSlider_->value();
    const ImageStore& shown = expanded_ ? media_.Adjusted() : media_.Preview();
    if (i < shown.FrameCount()) {
        if (expanded_) {
            // The media's own size, unless the screen has less room.
            const QSize frame = media_.Media().Frame(i).image.size();
            const int side = std::min(std::max(frame.width(), frame.height()), expandedCanvasRoom_);
            canvas_->SetImage(OverMediaRect(shown.Frame(i).image, mediaRect_, side), side, side, i);
        } else {
            canvas_->SetImage(shown.Frame(i).image, CanvasGeometry::kCanvasSide, CanvasGeometry::kCanvasSide, i);
        }
    } else {
        canvas_->SetImage(QImage(), 0, 0, i);
    }
    emit repaintPreview();
}

void MosavraDialog::UpdateFrameLabels()
{
    const int frames = media_.FrameCount();
    if (frames >= 2) {
        const int i = frameSlider_->value();
        frameLabel_->setText(tr("Frame (%1/%2):").arg(i + 1).arg(frames));
        timeLabel_->setText(tr("Time: %1s/%2s - Frame Delay: %3s")
                                .arg(Seconds(TimeUpToFrame(i) / 1000.0), Seconds(totalTime_),
                                     Seconds(media_.FrameMs(i) / 1000.0)));
    } else {
        frameLabel_->setText(frames == 1 ? tr("Frame (1/1):") : tr("Frame (0/0):"));
        timeLabel_->setText(tr("Time: 0.00s/0.00s - Frame Delay: 0.00s"));
    }
}

void MosavraDialog::SetPlayIcon(bool playing)
{
    const QString name = playing ? tr("Pause") : tr("Play");
    SetButtonIcon(playPauseButton_,
                  playing ? QStringLiteral(":/Resources/button-pause.png") : QStringLiteral(":/Resources/button-play.png"),
                  name);
    playPauseButton_->setToolTip(name);
    playPauseButton_->setAccessibleName(name);
}

void MosavraDialog::onFrameChanged()
{
    UpdateFrameLabels();
    RefreshCanvas();
}

void MosavraDialog::onPlayPause()
{
    playing_ = !playing_;
    SetPlayIcon(playing_);
    if (playing_)
        ArmFrameTimer();
    else
        timer_->Disarm();
}

void MosavraDialog::onRewind()
{
    const QSignalBlocker quiet(frameSlider_);
    frameSlider_->setValue(0);
    onFrameChanged();
}

void MosavraDialog::onForward()
{
    const QSignalBlocker quiet(frameSlider_);
    frameSlider_->setValue(frameSlider_->maximum());
    onFrameChanged();
}

void MosavraDialog::onTimerFrame()
{
    // A frame that was already on its way when playback stopped is dropped.
    if (!playing_)
        return;
    const int next = frameSlider_->value() + 1;
    {
        const QSignalBlocker quiet(frameSlider_);
        frameSlider_->setValue(next >= media_.FrameCount() ? 0 : next);
    }
    onFrameChanged();
    if (playing_)
        ArmFrameTimer();
}

// Fixture previews.

QSize MosavraDialog::SampleSize(int w, int h) const
{
    return FixtureSampling::SampleSize(w, h, sampleSizeSlider_->value());
}

std::unique_ptr<Content> MosavraDialog::CreateFixtureImage(const Fixture& fixture, const ImageStore& store) const
{
    return FixtureSampling::CreateFixtureImage(fixture, store, mediaRect_, SamplingSettings());
}

void MosavraDialog::UpdateFixtureImage(Fixture& fixture)
{
    if (fixture.stamp == settingsCounter_ || !HasMedia())
        return;
    fixture.previewImage = CreateFixtureImage(fixture, media_.Fitted());
    fixture.stamp = settingsCounter_;
    fixture.maskPixmap = QPixmap();
    fixture.framePixmaps.assign(std::size_t(media_.FrameCount()), QPixmap());
}

void MosavraDialog::RefreshFixtureImages()
{
    if (!currentTemplate_ || !HasMedia())
        return;
    for (const auto& f : currentTemplate_->fixtures)
        UpdateFixtureImage(*f);
}

void MosavraDialog::RebuildSelectedFixtureImages()
{
    for (Fixture* f : selection_) {
        f->stamp = settingsCounter_ - 1;
        UpdateFixtureImage(*f);
    }
}

const QPixmap* MosavraDialog::GetFixturePixmap(int index, Fixture& fixture)
{
    if (!HasMedia())
        return nullptr;
    const CanvasGeometry::EdgeRect r = canvas_->FixtureRect(fixture);
    if (index < 0) {
        if (fixture.maskPixmap.isNull()) {
            const QImage mask = FixtureSampling::SampleMaskImage(fixture.type, r.Width(), r.Height(), SamplingSettings());
            if (!mask.isNull())
                fixture.maskPixmap = QPixmap::fromImage(mask);
        }
        return fixture.maskPixmap.isNull() ? nullptr : &fixture.maskPixmap;
    }
    if (!fixture.previewImage)
        return nullptr;
    if (std::size_t(index) >= fixture.framePixmaps.size())
        fixture.framePixmaps.resize(std::size_t(index) + 1);
    QPixmap& pixmap = fixture.framePixmaps[std::size_t(index)];
    if (pixmap.isNull()) {
        const QImage frame = FixtureSampling::RenderFixtureFrame(*fixture.previewImage, index, r.Width(), r.Height());
        if (!frame.isNull())
            pixmap = QPixmap::fromImage(frame);
    }
    return pixmap.isNull() ? nullptr : &pixmap;
}

const QPixmap* MosavraDialog::FixtureSamples(Fixture& fixture)
{
    const int frame = FrameAtTime(TimeUpToFrame(canvas_->FrameIndex()), fixture);
    return frame < 0 ? nullptr : GetFixturePixmap(frame, fixture);
}

const QPixmap* MosavraDialog::FixtureMask(Fixture& fixture)
{
    return GetFixturePixmap(-1, fixture);
}

void MosavraDialog::MediaDragEnded(CanvasGeometry::MediaHandle handle)
{
    mediaPosition_ = mediaRect_.topLeft();
    if (currentTemplate_)
        currentTemplate_->scale = mediaRect_;
    if (handle == CanvasGeometry::kInside) {
        // Only the place changed: the stretched frames stay, the fixtures sample anew.
        ++settingsCounter_;
        RefreshFixtureImages();
        emit repaintPreview();
    } else {
        onSettingsChange();
    }
    SaveTemplates();
}
