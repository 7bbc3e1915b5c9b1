#include "mosavra/MosavraDialog.h"

#include "mosavra/MosavraHighResTimer.h"
#include "mosavra/MosavraTemplateListModel.h"
#include "mosavra/TemplateFile.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

void SetButtonIcon(QPushButton* button, const QString& iconPath, const QString& name)
{
    // Without the program's artwork (a build that lacks its resources) the button still
    // says what it does.
    if (QFile::exists(iconPath)) {
        button->setIcon(QIcon(iconPath));
        button->setText(QString());
    } else {
        button->setIcon(QIcon());
        button->setText(name);
    }
}

namespace {

constexpr int kTemplatesGroupWidth = 170;
constexpr int kMainSpacing = 8;
constexpr int kMediaNameMaxHeight = 60;
constexpr QSize kExpandButtonMax{70, 25};
constexpr int kSliderTickInterval = 8;
constexpr int kSettingsSliderWidth = 128;

// A scroll area that asks for room for all of its content, so that the window can size
// itself to it; it scrolls only when the screen gives less.
class WholeContentScrollArea : public QScrollArea
{
public:
    using QScrollArea::QScrollArea;

    QSize sizeHint() const override
    {
        if (!widget())
            return QScrollArea::sizeHint();
        const int frame = 2 * frameWidth();
        return widget()->sizeHint() + QSize(frame, frame);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The content's layout is about to take a change of its children: so is the hint
        // the window's layout keeps of this area.
        if (watched == widget() && event->type() == QEvent::LayoutRequest)
            updateGeometry();
        return QScrollArea::eventFilter(watched, event);
    }
};

// Lets every layout that is waiting to take its children's changes do so now, so that the
// size hints read next are those of the window as it is.
void SettleLayouts()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

QPushButton* IconButton(const QString& iconPath, const QString& name, const QString& objectName)
{
    auto* button = new QPushButton;
    SetButtonIcon(button, iconPath, name);
    button->setToolTip(name);
    button->setAccessibleName(name);
    button->setObjectName(objectName);
    button->setEnabled(false);
    return button;
}

QCheckBox* OptionBox(const QString& text, const QString& objectName, bool checked, bool enabled)
{
    auto* box = new QCheckBox(text);
    box->setObjectName(objectName);
    box->setChecked(checked);
    box->setEnabled(enabled);
    return box;
}

} // namespace

MosavraDialog::RestoreCursorGroupBox::RestoreCursorGroupBox(const QString& title, QWidget* parent)
    : QGroupBox(title, parent)
{
    setMouseTracking(true);
}

void MosavraDialog::RestoreCursorGroupBox::mouseMoveEvent(QMouseEvent* event)
{
    if (canvas_ && event->buttons() == Qt::NoButton && !childAt(event->position().toPoint()))
        canvas_->ClearHoverCursor();
    QGroupBox::mouseMoveEvent(event);
}

MosavraDialog::MosavraDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint),
      timer_(std::make_unique<MosavraHighResTimer>())
{
    setMouseTracking(true);
    setObjectName(QStringLiteral("mosavraCreator"));
    adjustSizeTimer_.setSingleShot(true);
    LoadTemplates();
    BuildUserInterface();
    connect(timer_.get(), &MosavraHighResTimer::timeout, this, &MosavraDialog::onTimerFrame, Qt::QueuedConnection);
    connect(&adjustSizeTimer_, &QTimer::timeout, this, &MosavraDialog::onAdjustSize);
    onLoadTemplateList();
    mediaRect_ = QRectF(0.25, 0.25, 0.5, 0.5);
    mediaPosition_ = mediaRect_.topLeft();
}

MosavraDialog::~MosavraDialog()
{
    // No frame may arrive while the rest goes.
    timer_.reset();
    if (!closed_ && !TemplateFile::Write(TemplateFile::DefaultPath(), templates_))
        qWarning("Mosavra creator: the templates could not be saved to %s",
                 qPrintable(TemplateFile::DefaultPath()));
}

void MosavraDialog::LoadTemplates()
{
    for (auto& t : TemplateFile::Read(TemplateFile::DefaultPath()))
        templates_.push_back(std::move(t));
}

bool MosavraDialog::SaveTemplates()
{
    if (TemplateFile::Write(TemplateFile::DefaultPath(), templates_))
        return true;
    // Saves follow every drag step: one box says it, not one per step.
    if (!saveFailureReported_) {
        saveFailureReported_ = true;
        ReportError(tr("The templates could not be saved."));
    }
    return false;
}

void MosavraDialog::ReportError(const QString& text)
{
    QMessageBox::warning(this, tr("Error"), text, QMessageBox::Ok);
}

void MosavraDialog::done(int result)
{
    SaveTemplates();
    closed_ = true;
    QDialog::done(result);
}

void MosavraDialog::showEvent(QShowEvent* event)
{
    closed_ = false;
    QDialog::showEvent(event);
}

void MosavraDialog::BuildUserInterface()
{
    setWindowTitle(tr("Mosavra Creator"));
    auto* content = new QWidget;
    auto* main = new QVBoxLayout(content);
    main->setSpacing(kMainSpacing);
    auto* top = new QHBoxLayout;
    top->addWidget(BuildTemplatesGroup());
    top->addWidget(BuildMosavraGroup(), 1);
    auto* right = new QVBoxLayout;
    right->addWidget(BuildOptionsGroup());
    right->addWidget(BuildSettingsGroup());
    right->addStretch();
    top->addLayout(right);
    main->addLayout(top, 1);

    scrollArea_ = new WholeContentScrollArea;
    scrollArea_->setObjectName(QStringLiteral("scrollArea"));
    scrollArea_->setFrameShape(QFrame::NoFrame);
    scrollArea_->setWidgetResizable(true);
    scrollArea_->setWidget(content);
    // Create and Close stay in sight below the scrolled part, however small the screen,
    // with the content's margins at their sides.
    QWidget* bottom = BuildBottomRow();
    const QMargins margins = main->contentsMargins();
    bottom->layout()->setContentsMargins(margins.left(), 0, margins.right(), margins.bottom());
    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, 0);
    window->setSpacing(0);
    window->addWidget(scrollArea_, 1);
    window->addWidget(bottom);
    FitToScreen();
}

QRect MosavraDialog::ClientArea() const
{
    QRect area = screen()->availableGeometry();
    QMargins frame(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                   frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
    // Until the window manager has framed the window, room is kept for a title bar.
    if (frame.isNull())
        frame.setTop(style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this));
    return area.marginsRemoved(frame);
}

void MosavraDialog::FitExpandedCanvas()
{
    // What lies around the canvas, taken from the window's size, tells the side the screen
    // has room for. Beside a small canvas other controls may set the window's width, so
    // the room is underrated at first; it grows as the canvas comes to fill the window,
    // and a few passes settle it. Never below the collapsed canvas: the window scrolls then.
    constexpr int kPasses = 4;
    for (int pass = 0; pass < kPasses; ++pass) {
        SettleLayouts();
        const QSize around = sizeHint() - canvas_->size();
        const QSize room = ClientArea().size() - around;
        const int side = std::max(CanvasGeometry::kCanvasSide, std::min(room.width(), room.height()));
        if (side == expandedCanvasRoom_)
            return;
        expandedCanvasRoom_ = side;
        const QSize before = canvas_->size();
        DropFixturePixmaps();
        RefreshCanvas();
        if (canvas_->size() == before)
            return;
    }
}

void MosavraDialog::FitToScreen()
{
    if (expanded_)
        FitExpandedCanvas();
    SettleLayouts();
    const QRect area = ClientArea();
    resize(sizeHint().boundedTo(area.size()));
    // A window that is shown already is moved back inside; one about to be shown is
    // placed there by the dialog itself.
    if (!isVisible())
        return;
    const auto inside = [](int at, int length, int first, int last) {
        return std::max(first, std::min(at, last + 1 - length));
    };
    const QRect shown = geometry();
    const QPoint placed(inside(shown.left(), shown.width(), area.left(), area.right()),
                        inside(shown.top(), shown.height(), area.top(), area.bottom()));
    if (placed != shown.topLeft())
        move(pos() + placed - shown.topLeft());
}

QWidget* MosavraDialog::BuildTemplatesGroup()
{
    auto* group = new QGroupBox(tr("Templates"));
    group->setObjectName(QStringLiteral("templatesGroup"));
    group->setFixedWidth(kTemplatesGroupWidth);
    auto* layout = new QVBoxLayout(group);

    addBrevantTemplateButton_ = new QPushButton(tr("Add BREVANT Template"));
    addBrevantTemplateButton_->setObjectName(QStringLiteral("addBrevantTemplateButton"));
    connect(addBrevantTemplateButton_, &QPushButton::clicked, this, &MosavraDialog::onCreateNewBrevantTemplate);
    addCindralTemplateButton_ = new QPushButton(tr("Add Cindral Template"));
    addCindralTemplateButton_->setObjectName(QStringLiteral("addCindralTemplateButton"));
    connect(addCindralTemplateButton_, &QPushButton::clicked, this, &MosavraDialog::onCreateNewCindralTemplate);
    removeTemplateButton_ = new QPushButton(tr("Remove"));
    removeTemplateButton_->setObjectName(QStringLiteral("removeTemplateButton"));
    removeTemplateButton_->setEnabled(false);
    connect(removeTemplateButton_, &QPushButton::clicked, this, &MosavraDialog::onDeleteTemplate);

    templateModel_ = new QMosavraTemplateListModel(templates_, this);
    templateView_ = new MosavraTemplateListView;
    templateView_->setObjectName(QStringLiteral("templateView"));
    templateView_->setModel(templateModel_);
    templateView_->setSelectionMode(QAbstractItemView::SingleSelection);
    templateView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(templateView_, &MosavraTemplateListView::onContextMenu, this, &MosavraDialog::templateContextMenuEvent);
    connect(templateView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MosavraDialog::onTemplateSelectionChanged);

    layout->addWidget(addBrevantTemplateButton_);
    layout->addWidget(addCindralTemplateButton_);
    layout->addWidget(removeTemplateButton_);
    layout->addWidget(templateView_, 1);
    templatesGroup_ = group;
    return group;
}

QWidget* MosavraDialog::BuildMosavraGroup()
{
    auto* group = new RestoreCursorGroupBox(tr("Mosavra"));
    group->setObjectName(QStringLiteral("mosavraGroup"));
    auto* layout = new QVBoxLayout(group);

    auto* buttons = new QHBoxLayout;
    addFixtureButton_ = new QPushButton(tr("Add BREVANT"));
    addFixtureButton_->setObjectName(QStringLiteral("addFixtureButton"));
    addFixtureButton_->setEnabled(false);
    connect(addFixtureButton_, &QPushButton::clicked, this, &MosavraDialog::addFixture);
    mediaButton_ = new QPushButton(tr("Media ..."));
    mediaButton_->setObjectName(QStringLiteral("mediaButton"));
    connect(mediaButton_, &QPushButton::clicked, this, &MosavraDialog::onSelectMedia);
    familyLabel_ = new QLabel;
    familyLabel_->setObjectName(QStringLiteral("familyLabel"));
    addressLabel_ = new QLabel(tr("Selected Mosavra Address: N/A"));
    addressLabel_->setObjectName(QStringLiteral("addressLabel"));
    buttons->addWidget(addFixtureButton_);
    buttons->addWidget(mediaButton_);
    buttons->addStretch();
    layout->addLayout(buttons);
    auto* labels = new QHBoxLayout;
    labels->addWidget(familyLabel_);
    labels->addStretch();
    labels->addWidget(addressLabel_);
    layout->addLayout(labels);

    canvas_ = new MosavraWidget(this);
    group->SetCanvas(canvas_);
    connect(this, &MosavraDialog::repaintPreview, canvas_, qOverload<>(&QWidget::repaint));
    connect(canvas_, &MosavraWidget::onFixtureSelected, this, &MosavraDialog::onFixtureSelected);
    connect(canvas_, &MosavraWidget::onFixtureDeleted, this, &MosavraDialog::onFixtureDeleted);
    connect(canvas_, &MosavraWidget::onFixtureDragBegin, this, &MosavraDialog::onFixtureDragBegin);
    connect(canvas_, &MosavraWidget::onFixtureDragEnd, this, &MosavraDialog::onFixtureDragEnd);
    connect(canvas_, &MosavraWidget::onFixtureDrag, this, &MosavraDialog::onFixtureDrag);
    connect(canvas_, &MosavraWidget::onFixtureReleased, this, &MosavraDialog::onFixtureReleased);
    connect(canvas_, &MosavraWidget::onFixtureRenumbered, this, &MosavraDialog::onFixtureRenumbered);
    layout->addWidget(canvas_, 1, Qt::AlignCenter);

    mediaNameLabel_ = new QLabel(tr("No Media Loaded"));
    mediaNameLabel_->setObjectName(QStringLiteral("mediaNameLabel"));
    mediaNameLabel_->setAlignment(Qt::AlignCenter);
    mediaNameLabel_->setMaximumHeight(kMediaNameMaxHeight);
    layout->addWidget(mediaNameLabel_);

    auto* timeRow = new QHBoxLayout;
    timeLabel_ = new QLabel(tr("Time: 0.00s/0.00s - Frame Delay: 0.00s"));
    timeLabel_->setObjectName(QStringLiteral("timeLabel"));
    expandButton_ = new QPushButton(tr("Expand"));
    expandButton_->setObjectName(QStringLiteral("expandButton"));
    expandButton_->setMaximumSize(kExpandButtonMax);
    expandButton_->setEnabled(false);
    connect(expandButton_, &QPushButton::clicked, this, &MosavraDialog::onExpandCollapse);
    timeRow->addWidget(timeLabel_, 1);
    timeRow->addWidget(expandButton_);
    layout->addLayout(timeRow);

    auto* frameRow = new QHBoxLayout;
    frameLabel_ = new QLabel(tr("Frame (0/0):"));
    frameLabel_->setObjectName(QStringLiteral("frameLabel"));
    frameSlider_ = new QSlider(Qt::Horizontal);
    frameSlider_->setObjectName(QStringLiteral("frameSlider"));
    frameSlider_->setTickPosition(QSlider::TicksAbove);
    frameSlider_->setRange(0, 0);
    frameSlider_->setEnabled(false);
    connect(frameSlider_, &QSlider::valueChanged, this, &MosavraDialog::onFrameChanged);
    rewindButton_ = IconButton(QStringLiteral(":/Resources/button-back.png"), tr("Rewind"), QStringLiteral("rewindButton"));
    playPauseButton_ =
        IconButton(QStringLiteral(":/Resources/button-play.png"), tr("Play"), QStringLiteral("playPauseButton"));
    forwardButton_ =
        IconButton(QStringLiteral(":/Resources/button-forward.png"), tr("Forward"), QStringLiteral("forwardButton"));
    connect(rewindButton_, &QPushButton::clicked, this, &MosavraDialog::onRewind);
    connect(playPauseButton_, &QPushButton::clicked, this, &MosavraDialog::onPlayPause);
    connect(forwardButton_, &QPushButton::clicked, this, &MosavraDialog::onForward);
    frameRow->addWidget(frameLabel_);
    frameRow->addWidget(frameSlider_, 1);
    frameRow->addWidget(rewindButton_);
    frameRow->addWidget(playPauseButton_);
    frameRow->addWidget(forwardButton_);
    layout->addLayout(frameRow);
    return group;
}

QWidget* MosavraDialog::BuildOptionsGroup()
{
    auto* group = new QGroupBox(tr("Options"));
    group->setObjectName(QStringLiteral("optionsGroup"));
    auto* layout = new QVBoxLayout(group);
    showMediaBox_ = OptionBox(tr("Show Media"), QStringLiteral("showMediaBox"), true, false);
    showSamplesBox_ = OptionBox(tr("Show Samples"), QStringLiteral("showSamplesBox"), true, false);
    showMaskBox_ = OptionBox(tr("Show Mask"), QStringLiteral("showMaskBox"), false, false);
    showNumbersBox_ = OptionBox(tr("Show Mosavra Addresses"), QStringLiteral("showNumbersBox"), true, false);
    showGridBox_ = OptionBox(tr("Show Grid"), QStringLiteral("showGridBox"), false, true);
    snapToGridBox_ = OptionBox(tr("Snap To Grid"), QStringLiteral("snapToGridBox"), false, true);
    gridCombo_ = new QComboBox;
    gridCombo_->setObjectName(QStringLiteral("gridCombo"));
    for (int k = 0; k < 6; ++k)
        gridCombo_->addItem(QStringLiteral("1:%1").arg(CanvasGeometry::GridDivisions(k)));
    lockBox_ = OptionBox(tr("Lock"), QStringLiteral("lockBox"), false, false);

    for (QCheckBox* box : {showMediaBox_, showSamplesBox_, showMaskBox_, showNumbersBox_, showGridBox_})
        connect(box, &QCheckBox::toggled, this, &MosavraDialog::repaintPreview);
    connect(gridCombo_, &QComboBox::currentIndexChanged, this, &MosavraDialog::repaintPreview);
    connect(lockBox_, &QCheckBox::toggled, this, &MosavraDialog::onChangeTemplateLock);

    for (QWidget* w : std::initializer_list<QWidget*>{showMediaBox_, showSamplesBox_, showMaskBox_, showNumbersBox_,
                                                      showGridBox_, snapToGridBox_, gridCombo_, lockBox_})
        layout->addWidget(w);
    return group;
}

QSlider* MosavraDialog::AddSettingsSlider(QFormLayout* form, const QString& label, int minimum, int maximum, int value,
                                          bool ticks)
{
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setMinimumWidth(kSettingsSliderWidth);
    slider->setRange(minimum, maximum);
    slider->setValue(value);
    slider->setTracking(false);
    slider->setEnabled(false);
    if (ticks) {
        slider->setTickPosition(QSlider::TicksAbove);
        slider->setTickInterval(kSliderTickInterval);
    }
    auto* caption = new QLabel(label);
    caption->setBuddy(slider);
    form->addRow(caption, slider);
    connect(slider, &QSlider::valueChanged, this, &MosavraDialog::onSettingsChange);
    return slider;
}

QButtonGroup* MosavraDialog::AddChoiceGroup(QFormLayout* form, const QString& label, const QStringList& choices)
{
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int id = 0; id < choices.size(); ++id) {
        auto* button = new QPushButton(choices[id]);
        button->setCheckable(true);
        button->setChecked(id == 0);
        button->setEnabled(false);
        group->addButton(button, id);
        layout->addWidget(button);
    }
    auto* caption = new QLabel(label);
    form->addRow(caption, row);
    collapsibleSettings_.push_back(caption);
    collapsibleSettings_.push_back(row);
    connect(group, &QButtonGroup::idClicked, this, &MosavraDialog::onSettingsChange);
    return group;
}

QWidget* MosavraDialog::BuildSettingsGroup()
{
    auto* group = new QGroupBox(tr("Settings"));
    group->setObjectName(QStringLiteral("settingsGroup"));
    auto* form = new QFormLayout(group);

    sampleSizeSlider_ = AddSettingsSlider(form, tr("Sample Size:"), 10, 10, 10, false);
    sampleSizeSlider_->setObjectName(QStringLiteral("sampleSizeSlider"));
    sampleSizeSlider_->setInvertedAppearance(true);
    sampleZoomSlider_ = AddSettingsSlider(form, tr("Sample Zoom:"), 1, 256, MosavraTypes::Template::kDefaultZoom, true);
    sampleZoomSlider_->setObjectName(QStringLiteral("sampleZoomSlider"));
    const struct
    {
        QSlider** slider;
        QString label;
        const char* name;
        int value;
    } adjustments[] = {
        {&contrastSlider_, tr("Contrast:"), "contrastSlider", 128},
        {&brightnessSlider_, tr("Brightness:"), "brightnessSlider", 128},
        {&luminanceWeightSlider_, tr("Luminance Weight:"), "luminanceWeightSlider", 0},
        {&distanceWeightSlider_, tr("Distance Weight:"), "distanceWeightSlider", 0},
        {&luminanceCutoffSlider_, tr("Luminance Cutoff:"), "luminanceCutoffSlider", 0},
    };
    for (const auto& a : adjustments) {
        *a.slider = AddSettingsSlider(form, a.label, 0, 255, a.value, true);
        (*a.slider)->setObjectName(QLatin1String(a.name));
        collapsibleSettings_.push_back(form->labelForField(*a.slider));
        collapsibleSettings_.push_back(*a.slider);
    }
    cutoffModeGroup_ = AddChoiceGroup(form, tr("Cutoff Mode:"), {tr("Less"), tr("Greater")});
    luminanceGroup_ = AddChoiceGroup(form, tr("Luminance:"), {tr("Normal"), tr("Invert")});
    colourModeGroup_ = AddChoiceGroup(form, tr("Color Mode:"), {tr("Normal"), tr("Greyscale"), tr("Monochrome")});

    resetButton_ = new QPushButton(tr("Reset To Defaults"));
    resetButton_->setObjectName(QStringLiteral("resetButton"));
    resetButton_->setEnabled(false);
    connect(resetButton_, &QPushButton::clicked, this, &MosavraDialog::onResetToDefaults);
    form->addRow(resetButton_);
    return group;
}

QWidget* MosavraDialog::BuildBottomRow()
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    progressBar_ = new QProgressBar;
    progressBar_->setObjectName(QStringLiteral("progressBar"));
    progressBar_->hide();
    createButton_ = new QPushButton(tr("Create Mosavra..."));
    createButton_->setObjectName(QStringLiteral("createButton"));
    createButton_->setEnabled(false);
    connect(createButton_, &QPushButton::clicked, this, &MosavraDialog::onCreateMosavra);
    closeButton_ = new QPushButton(tr("Close"));
    closeButton_->setObjectName(QStringLiteral("closeButton"));
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(progressBar_, 1);
    layout->addStretch();
    layout->addWidget(createButton_);
    layout->addWidget(closeButton_);
    return row;
}

MosavraCanvasHost::Options MosavraDialog::CanvasOptions() const
{
    Options options;
    options.showMediaChecked = showMediaBox_->isChecked();
    options.showMediaEnabled = showMediaBox_->isEnabled();
    options.showSamples = showSamplesBox_->isChecked();
    options.showMask = showMaskBox_->isChecked();
    options.showNumbers = showNumbersBox_->isChecked();
    options.showGrid = showGridBox_->isChecked();
    options.gridDivisions = CanvasGeometry::GridDivisions(gridCombo_->currentIndex());
    options.snapDivisions = snapToGridBox_->isChecked() ? options.gridDivisions : 0;
    return options;
}

void MosavraDialog::SetQuietly(QSlider* slider, int value)
{
    const QSignalBlocker quiet(slider);
    slider->setValue(value);
}
