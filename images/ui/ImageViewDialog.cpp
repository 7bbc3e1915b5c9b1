#include "images/ui/ImageViewDialog.h"

#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/ui/ImagePaletteDialog.h"
#include "images/ui/LEDImageAccess.h"
#include "platform/system/Clock.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

// The view shows frames at this size.
constexpr QSize kViewSize{250, 250};
constexpr int kDmxValues = 256;
constexpr int kGridColumns = 6;
constexpr int kLayoutMargin = 8;
constexpr int kLayoutSpacing = 8;

QPushButton* IconButton(const QIcon& icon, const QString& accessibleName)
{
    auto* button = new QPushButton;
    button->setIcon(icon);
    // The buttons show only a picture; screen readers (and tests) still need a name.
    button->setAccessibleName(accessibleName);
    return button;
}

QLabel* InfoLabel()
{
    auto* label = new QLabel;
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

std::vector<std::pair<int, int>> FrameDmxRanges(int frameCount)
{
    std::vector<std::pair<int, int>> ranges(std::size_t(std::max(0, frameCount)), {-1, -1});
    if (frameCount <= 0)
        return ranges;
    for (int d = 0; d < kDmxValues; ++d) {
        auto& [first, last] = ranges[std::size_t(frameCount * d / kDmxValues)];
        if (first == -1 || first > d)
            first = d;
        if (last == -1 || last < d)
            last = d;
    }
    return ranges;
}

ImageViewDialog::ImageViewDialog(QWidget* parent, std::unique_ptr<LEDImageAccess> image,
                                 const QString& paletteTitle)
    : QDialog(parent),
      image_(std::move(image)),
      paletteTitle_(paletteTitle),
      stepTimer_(this),
      playIcon_(QStringLiteral(":/Resources/button-play.png")),
      pauseIcon_(QStringLiteral(":/Resources/button-pause.png"))
{
    frameCount_ = image_->FrameCount();
    durations_ = image_->FrameDurations();
    dmxRanges_ = FrameDmxRanges(frameCount_);
    frameCache_.assign(std::size_t(frameCount_), QPixmap());
    setWindowTitle(image_->Name());

    stepTimer_.setObjectName(QStringLiteral("stepTimer"));
    stepTimer_.setSingleShot(true);
    connect(&stepTimer_, &QTimer::timeout, this, &ImageViewDialog::FrameForward);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kLayoutMargin, kLayoutMargin, kLayoutMargin, kLayoutMargin);
    layout->setSpacing(kLayoutSpacing);

    auto* group = new QGroupBox(tr("Preview"));
    auto* grid = new QGridLayout(group);
    for (int column = 0; column < kGridColumns; ++column)
        grid->setColumnStretch(column, 1);

    pictureLabel_ = new QLabel;
    pictureLabel_->setObjectName(QStringLiteral("picture"));
    pictureLabel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    grid->addWidget(pictureLabel_, 0, 0, 1, kGridColumns);

    auto* back = IconButton(QIcon(QStringLiteral(":/Resources/button-back.png")), tr("Back"));
    back->setObjectName(QStringLiteral("back"));
    playButton_ = IconButton(playIcon_, tr("Play"));
    playButton_->setObjectName(QStringLiteral("play"));
    auto* forward = IconButton(QIcon(QStringLiteral(":/Resources/button-forward.png")), tr("Forward"));
    forward->setObjectName(QStringLiteral("forward"));
    frameSlider_ = new QSlider(Qt::Horizontal);
    frameSlider_->setObjectName(QStringLiteral("frame"));
    frameSlider_->setTickPosition(QSlider::TicksAbove);
    frameSlider_->setRange(0, std::max(0, frameCount_ - 1));
    frameSlider_->setValue(0);
    grid->addWidget(back, 1, 0);
    grid->addWidget(playButton_, 1, 1);
    grid->addWidget(forward, 1, 2);
    grid->addWidget(frameSlider_, 1, 3, 1, 3);

    frameLabel_ = InfoLabel();
    frameLabel_->setObjectName(QStringLiteral("frameInfo"));
    dmxLabel_ = InfoLabel();
    dmxLabel_->setObjectName(QStringLiteral("dmxInfo"));
    delayLabel_ = InfoLabel();
    delayLabel_->setObjectName(QStringLiteral("delayInfo"));
    grid->addWidget(frameLabel_, 2, 0, 1, 2);
    grid->addWidget(dmxLabel_, 2, 2, 1, 2);
    grid->addWidget(delayLabel_, 2, 4, 1, 2);
    layout->addWidget(group);

    auto* bottom = new QHBoxLayout;
    auto* palette = new QPushButton(tr("Palette"));
    auto* close = new QPushButton(tr("Close"));
    // Return closes the dialog rather than stepping a frame.
    close->setDefault(true);
    bottom->addWidget(palette);
    bottom->addStretch();
    bottom->addWidget(close);
    layout->addLayout(bottom);

    // An image without frames has nothing to step through or play.
    for (QWidget* control : {static_cast<QWidget*>(back), static_cast<QWidget*>(playButton_),
                             static_cast<QWidget*>(forward), static_cast<QWidget*>(frameSlider_)})
        control->setEnabled(frameCount_ > 0);

    connect(back, &QPushButton::clicked, this, &ImageViewDialog::FrameBackward);
    connect(playButton_, &QPushButton::clicked, this, &ImageViewDialog::PlayPause);
    connect(forward, &QPushButton::clicked, this, &ImageViewDialog::FrameForward);
    connect(frameSlider_, &QSlider::valueChanged, this, &ImageViewDialog::UpdateView);
    connect(palette, &QPushButton::clicked, this, &ImageViewDialog::OpenPalette);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    UpdateView();
}

ImageViewDialog::~ImageViewDialog() = default;

void ImageViewDialog::UpdateView()
{
    const int f = frameSlider_->value();
    if (f < 0 || f >= frameCount_) {
        pictureLabel_->clear();
        frameLabel_->setText(tr("Frame %1/%2").arg(0).arg(frameCount_));
        dmxLabel_->setText(tr("DMX (none)"));
        delayLabel_->setText(tr("Delay %1 ms").arg(0));
        return;
    }

    QPixmap& cached = frameCache_[std::size_t(f)];
    if (cached.isNull())
        cached = QPixmap::fromImage(image_->RenderFrameDefault(f, kViewSize));
    pictureLabel_->setPixmap(cached);

    frameLabel_->setText(tr("Frame %1/%2").arg(f + 1).arg(frameCount_));
    const auto [first, last] = dmxRanges_[std::size_t(f)];
    if (first == -1 || last == -1)
        dmxLabel_->setText(tr("DMX (none)"));
    else if (first == last)
        dmxLabel_->setText(tr("DMX %1").arg(first));
    else
        dmxLabel_->setText(tr("DMX %1-%2").arg(first).arg(last));
    delayLabel_->setText(tr("Delay %1 ms").arg(durations_[std::size_t(f)]));
}

void ImageViewDialog::PlayPause()
{
    if (!playing_) {
        if (frameCount_ == 0)
            return;
        playing_ = true;
        playButton_->setIcon(pauseIcon_);
        playButton_->setAccessibleName(tr("Pause"));
        FrameForward();
    } else {
        playing_ = false;
        playButton_->setIcon(playIcon_);
        playButton_->setAccessibleName(tr("Play"));
        stepTimer_.stop();
    }
}

void ImageViewDialog::FrameForward()
{
    if (frameCount_ == 0)
        return;
    const int next = frameSlider_->value() + 1;
    frameSlider_->setValue(next < frameCount_ ? next : 0);
    if (playing_)
        stepTimer_.start(platform::Clock::TimerIntervalMs(durations_[std::size_t(frameSlider_->value())]));
}

void ImageViewDialog::FrameBackward()
{
    if (frameCount_ == 0)
        return;
    const int previous = frameSlider_->value() - 1;
    frameSlider_->setValue(previous >= 0 ? previous : frameCount_ - 1);
}

void ImageViewDialog::OpenPalette()
{
    ImagePaletteDialog palette(this, *image_, paletteTitle_);
    palette.exec();
}

void ImageViewDialog::hideEvent(QHideEvent* event)
{
    // A closed dialog plays no more, even while its object lives on.
    if (playing_)
        PlayPause();
    QDialog::hideEvent(event);
}

BrevantImageViewDialog::BrevantImageViewDialog(QWidget* parent, BrevantImage* image)
    : ImageViewDialog(parent, AccessToCopyOf(image), tr("Brevant Image Palette"))
{
}

CindralImageViewDialog::CindralImageViewDialog(QWidget* parent, CindralImage* image)
    : ImageViewDialog(parent, AccessToCopyOf(image), tr("Cindral Image Palette"))
{
}
