#include "images/ui/ImageImportDialog.h"

#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/ColourAdjust.h"
#include "images/ui/LEDImageAccess.h"
#include "link/ui/OverrideCursorHelper.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The import dialogs keep at most this size of a frame: replays stay interactive.
constexpr int kStoredSide = 512;
// The five 0 .. 255 settings and their ticks; 128 leaves brightness and contrast as they are.
constexpr int kSettingMaximum = 255;
constexpr int kSettingTickInterval = 8;
constexpr int kNeutralSetting = 128;
// The sample mask: half-transparent white on the sampled pixels over half-transparent black.
constexpr QRgb kMaskBackground = 0x80000000u;
constexpr QRgb kMaskSample = 0x80ffffffu;

constexpr int kLayoutMargin = 8;
constexpr int kLayoutSpacing = 8;
constexpr int kSettingsRowSpacing = 6;

QLabel* MakePicture(const QString& name)
{
    auto* picture = new QLabel;
    picture->setObjectName(name);
    picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picture->setAlignment(Qt::AlignCenter);
    return picture;
}

QWidget* PictureColumn(const QString& caption, QLabel* picture)
{
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kLayoutSpacing);
    auto* title = new QLabel(caption);
    title->setAlignment(Qt::AlignHCenter);
    layout->addWidget(title);
    layout->addWidget(picture);
    return column;
}

// A row below the previews: the label takes a quarter of the width, the control the rest.
QHBoxLayout* PreviewRow(const QString& label, QWidget* control)
{
    auto* caption = new QLabel(label);
    caption->setBuddy(control);
    auto* row = new QHBoxLayout;
    row->addWidget(caption, 1);
    row->addWidget(control, 3);
    return row;
}

QSlider* MakeSlider(const QString& name)
{
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(name);
    slider->setTickPosition(QSlider::TicksAbove);
    return slider;
}

QLabel* SettingLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

} // namespace

ImageImportDialog::ImageImportDialog(const QString& familyTitle, int frameCount,
                                     std::unique_ptr<LEDImageAccess> target, QWidget* parent)
    : QDialog(parent),
      familyTitle_(familyTitle),
      store_(frameCount, kStoredSide, kStoredSide),
      target_(std::move(target))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kLayoutMargin, kLayoutMargin, kLayoutMargin, kLayoutMargin);
    layout->setSpacing(kLayoutSpacing);
    layout->addWidget(MakePreviewGroup());
    layout->addWidget(MakeSettingsGroup());

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new QPushButton(tr("OK"));
    auto* cancel = new QPushButton(tr("Cancel"));
    // Return accepts the import, whichever control has the focus.
    ok->setDefault(true);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    SetTitle(QString());
}

ImageImportDialog::~ImageImportDialog() = default;

QWidget* ImageImportDialog::MakePreviewGroup()
{
    auto* group = new QGroupBox(tr("Preview"));
    auto* layout = new QVBoxLayout(group);

    originalLabel_ = MakePicture(QStringLiteral("original"));
    importLabel_ = MakePicture(QStringLiteral("import"));
    auto* pictures = new QHBoxLayout;
    pictures->addWidget(PictureColumn(tr("Original"), originalLabel_));
    pictures->addWidget(PictureColumn(tr("Import"), importLabel_));
    layout->addLayout(pictures);

    // The Frame slider follows the mouse: it only swaps previews, it imports nothing.
    frameSlider_ = MakeSlider(QStringLiteral("frame"));
    frameSlider_->setTracking(true);
    layout->addLayout(PreviewRow(tr("Frame"), frameSlider_));

    showMaskButton_ = new QPushButton(tr("Show"));
    showMaskButton_->setObjectName(QStringLiteral("showMask"));
    showMaskButton_->setCheckable(true);
    layout->addLayout(PreviewRow(tr("Sample Mask"), showMaskButton_));
    connect(showMaskButton_, &QPushButton::toggled, this, &ImageImportDialog::UpdateMask);
    return group;
}

QWidget* ImageImportDialog::MakeSettingsGroup()
{
    auto* group = new QGroupBox(tr("Settings"));
    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 3);
    grid->setVerticalSpacing(kSettingsRowSpacing);

    // Aspect ratio: both buttons report, so a switch imports twice (one unchecks, one checks).
    auto* aspect = new QWidget;
    aspect->setObjectName(QStringLiteral("aspectRatio"));
    auto* aspectRow = new QHBoxLayout(aspect);
    aspectRow->setContentsMargins(0, 0, 0, 0);
    auto* keep = new QRadioButton(tr("Keep"));
    auto* ignore = new QRadioButton(tr("Ignore"));
    auto* aspectGroup = new QButtonGroup(aspect);
    aspectGroup->addButton(keep);
    aspectGroup->addButton(ignore);
    aspectRow->addWidget(keep);
    aspectRow->addWidget(ignore);
    keep->setChecked(true);
    keepButton_ = keep;
    grid->addWidget(SettingLabel(tr("Aspect Ratio")), 0, 0);
    grid->addWidget(aspect, 0, 1);
    connect(keep, &QAbstractButton::toggled, this, &ImageImportDialog::UpdateImport);
    connect(ignore, &QAbstractButton::toggled, this, &ImageImportDialog::UpdateImport);

    // Larger values give smaller samples; the inverted look puts larger samples right.
    sampleSizeSlider_ = AddSettingSlider(grid, 1, QStringLiteral("sampleSize"), tr("Sample Size"), kSampleSizeDefault);
    sampleSizeSlider_->setTickInterval(0);
    contrastSlider_ = AddSettingSlider(grid, 2, QStringLiteral("contrast"), tr("Contrast"), kNeutralSetting);
    brightnessSlider_ = AddSettingSlider(grid, 3, QStringLiteral("brightness"), tr("Brightness"), kNeutralSetting);
    luminanceWeightSlider_ =
        AddSettingSlider(grid, 4, QStringLiteral("luminanceWeight"), tr("Luminance Weight"), 0);
    distanceWeightSlider_ = AddSettingSlider(grid, 5, QStringLiteral("distanceWeight"), tr("Distance Weight"), 0);
    luminanceCutoffSlider_ =
        AddSettingSlider(grid, 6, QStringLiteral("luminanceCutoff"), tr("Luminance Cutoff"), 0);

    cutoffModeGroup_ = AddChoice(grid, 7, QStringLiteral("cutoffMode"), tr("Cutoff Mode"), {tr("Less"), tr("Greater")});
    luminanceGroup_ = AddChoice(grid, 8, QStringLiteral("luminance"), tr("Luminance"), {tr("Normal"), tr("Invert")});
    colourGroup_ = AddChoice(grid, 9, QStringLiteral("color"), tr("Color"),
                             {tr("Normal"), tr("Greyscale"), tr("Monochrome")});
    return group;
}

QSlider* ImageImportDialog::AddSettingSlider(QGridLayout* grid, int row, const QString& name, const QString& label,
                                            int value)
{
    // Each report runs the whole import: sliders report only when released.
    QSlider* slider = MakeSlider(name);
    slider->setTracking(false);
    slider->setRange(0, kSettingMaximum);
    slider->setTickInterval(kSettingTickInterval);
    slider->setValue(value);
    QLabel* caption = SettingLabel(label);
    caption->setBuddy(slider);
    grid->addWidget(caption, row, 0);
    grid->addWidget(slider, row, 1);
    return slider;
}

QButtonGroup* ImageImportDialog::AddChoice(QGridLayout* grid, int row, const QString& name, const QString& label,
                                           const QStringList& choices)
{
    auto* choiceRow = new QWidget;
    auto* layout = new QHBoxLayout(choiceRow);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* group = new QButtonGroup(choiceRow);
    for (int id = 0; id < choices.size(); ++id) {
        auto* button = new QRadioButton(choices[id]);
        group->addButton(button, id);
        layout->addWidget(button);
    }
    group->button(0)->setChecked(true);
    QLabel* caption = SettingLabel(label);
    caption->setBuddy(group->button(0));
    choiceRow->setObjectName(name);
    grid->addWidget(caption, row, 0);
    grid->addWidget(choiceRow, row, 1);
    connect(group, &QButtonGroup::idClicked, this, &ImageImportDialog::UpdateImport);
    return group;
}

void ImageImportDialog::SetTitle(const QString& name)
{
    setWindowTitle(name.isEmpty() ? familyTitle_ : familyTitle_ + QStringLiteral(" - ") + name);
}

ImportLayout ImageImportDialog::CurrentLayout() const
{
    if (store_.FrameCount() == 0)
        return {};
    return CropLayout(store_.Frame(0).image.size(), keepButton_->isChecked(), sampleSizeSlider_->value());
}

ImportSettings ImageImportDialog::CurrentSettings() const
{
    ImportSettings settings;
    settings.layout = CurrentLayout();
    settings.brightness = BrightnessFromSlider(brightnessSlider_->value());
    settings.contrast = ContrastFromSlider(contrastSlider_->value());
    settings.luminanceWeight = WeightFromSlider(luminanceWeightSlider_->value());
    if (luminanceGroup_->checkedId() == 1)
        settings.luminanceWeight = -settings.luminanceWeight;
    settings.distanceWeight = WeightFromSlider(distanceWeightSlider_->value());
    settings.luminanceCutoff = WeightFromSlider(luminanceCutoffSlider_->value());
    settings.cutoffGreater = cutoffModeGroup_->checkedId() == 1;
    settings.colourMode = std::max(0, colourGroup_->checkedId());
    return settings;
}

void ImageImportDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Shown again (restored from the task bar, say), the dialog keeps the user's settings
    // and its connections.
    if (!setUp_) {
        setUp_ = true;
        SetUp();
    }
}

void ImageImportDialog::SetUp()
{
    const int frames = store_.FrameCount();
    frameSlider_->setRange(0, std::max(0, frames - 1));
    frameSlider_->setValue(0);

    // The minimum first: a small picture's maximum then pulls it down.
    const QSize first = frames > 0 ? store_.Frame(0).image.size() : QSize();
    sampleSizeSlider_->setMinimum(kSampleSizeMinimum);
    sampleSizeSlider_->setMaximum(SampleSizeMaximum(first));
    sampleSizeSlider_->setInvertedAppearance(true);
    sampleSizeSlider_->setValue(kSampleSizeDefault);

    UpdateImport();
    FitToPreviews();

    connect(frameSlider_, &QSlider::valueChanged, this, &ImageImportDialog::UpdateImportPreview);
    for (QSlider* setting : {sampleSizeSlider_, contrastSlider_, brightnessSlider_, luminanceWeightSlider_,
                             distanceWeightSlider_, luminanceCutoffSlider_})
        connect(setting, &QSlider::valueChanged, this, &ImageImportDialog::UpdateImport);
}

void ImageImportDialog::FitToPreviews()
{
    // Each level of nested widgets learns its children's new sizes only from a posted
    // request: settle them here, innermost first (descendants come after their ancestors
    // in findChildren), so that the window takes its size before it appears rather than
    // growing on the screen.
    const QList<QWidget*> widgets = findChildren<QWidget*>();
    for (auto widget = widgets.crbegin(); widget != widgets.crend(); ++widget)
        if (QLayout* nested = (*widget)->layout())
            nested->activate();
    layout()->activate();
    adjustSize();
}

void ImageImportDialog::UpdateImport()
{
    // Without stored frames there is nothing to import, and the target keeps what it has.
    if (store_.FrameCount() == 0)
        return;
    OverrideCursorHelper waitCursor;

    const ImportSettings settings = CurrentSettings();
    const std::unique_ptr<LEDImportSampler> importer = target_->Import(store_, settings);

    const QImage& first = store_.Frame(0).image;
    QImage mask(first.size(), QImage::Format_ARGB32);
    mask.fill(kMaskBackground);
    importer->DrawSampleMask(mask, kMaskSample);
    maskPreview_ = ScaleToPreview(mask);

    std::vector<int> storedDurations;
    storedDurations.reserve(std::size_t(store_.FrameCount()));
    for (const ImageStore::StoredFrame& frame : store_.Frames())
        storedDurations.push_back(frame.durationMs);
    const std::vector<int> ledDurations = target_->FrameDurations();
    frameMap_ = BuildFrameMap(storedDurations, ledDurations);

    ledCache_.assign(ledDurations.size(), QPixmap());
    UpdateImportPreview();
    emit ImportUpdated();
}

void ImageImportDialog::UpdateImportPreview()
{
    const int frames = store_.FrameCount();
    if (int(sourceCache_.size()) != frames)
        sourceCache_.assign(std::size_t(frames), QImage());
    const int f = frameSlider_->value();
    if (f < 0 || f >= frames) {
        originalLabel_->clear();
        importLabel_->clear();
        return;
    }

    QImage& cached = sourceCache_[std::size_t(f)];
    if (cached.isNull())
        cached = ScaleToPreview(store_.Frame(f).image);
    QImage adjusted = MakeAdjustedImage(cached, BrightnessFromSlider(brightnessSlider_->value()),
                                        ContrastFromSlider(contrastSlider_->value()));
    if (showMaskButton_->isChecked() && !adjusted.isNull()) {
        QPainter painter(&adjusted);
        painter.drawImage(0, 0, maskPreview_);
    }
    originalLabel_->setPixmap(QPixmap::fromImage(adjusted));

    ShowLedFrame(f);
}

void ImageImportDialog::ShowLedFrame(int storedFrame)
{
    const int led = storedFrame < int(frameMap_.size()) ? frameMap_[std::size_t(storedFrame)] : 0;
    if (led >= int(ledCache_.size())) {
        importLabel_->clear();
        return;
    }
    QPixmap& cached = ledCache_[std::size_t(led)];
    if (cached.isNull())
        cached = QPixmap::fromImage(target_->RenderFrameDefault(led, kPreviewSize));
    importLabel_->setPixmap(cached);
}

void ImageImportDialog::UpdateMask()
{
    UpdateImportPreview();
}

BrevantImageImportDialog::BrevantImageImportDialog(int frameCount, BrevantImage* target, QWidget* parent)
    : ImageImportDialog(tr("Brevant Image Import"), frameCount,
                        std::make_unique<LEDImageAccessFor<BrevantImage>>(target), parent)
{
}

CindralImageImportDialog::CindralImageImportDialog(int frameCount, CindralImage* target, QWidget* parent)
    : ImageImportDialog(tr("Cindral Image Import"), frameCount,
                        std::make_unique<LEDImageAccessFor<CindralImage>>(target), parent)
{
}
