#pragma once

#include "mosavra/MediaStores.h"
#include "mosavra/MosavraTypes.h"
#include "mosavra/MosavraWidget.h"

#include <QDialog>
#include <QGroupBox>
#include <QItemSelection>
#include <QPointer>
#include <QTimer>

#include <limits>
#include <memory>
#include <vector>

class MosavraHighResTimer;
class MosavraTemplateListView;
class QMosavraTemplateListModel;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QContextMenuEvent;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QSlider;

namespace FixtureSampling {
struct Settings;
}

// Shows the picture at `iconPath` on `button`, or `name` as its text when the picture is
// not there.
void SetButtonIcon(QPushButton* button, const QString& iconPath, const QString& name);

// The Mosavra creator: lays fixtures of one family over a picture or video, keeps the
// layouts as templates in "templates.xml", plays the media back with each fixture's
// sampled content on it, and exports one LED image per fixture as a collage of the
// Mosavra library.
//
// It reads the templates when it opens and writes them after each change that the
// canvas or the template list makes and when it closes; a failed write is reported once
// per window. GUI thread; open it modally (OpenMosavraCreator) or show it.
class MosavraDialog : public QDialog, private MosavraCanvasHost
{
    Q_OBJECT
public:
    explicit MosavraDialog(QWidget* parent = nullptr);
    ~MosavraDialog() override;

    // The templates, the current one, the selection (in the order it was made) and the
    // current fixture.
    const MosavraTypes::TemplateList& Templates() const { return templates_; }
    MosavraTypes::Template* CurrentTemplate() const { return currentTemplate_; }
    const std::vector<MosavraTypes::Fixture*>& Selection() const { return selection_; }
    MosavraTypes::Fixture* CurrentFixture() const { return currentFixture_; }
    MosavraWidget* Canvas() const { return canvas_; }
    const MediaStores& Media() const { return media_; }
    int SettingsCounter() const { return settingsCounter_; }
    bool IsExpanded() const { return expanded_; }
    bool IsPlaying() const { return playing_; }
    MosavraHighResTimer& FrameTimer() const { return *timer_; }

    // Reads the templates file, appending its templates to the list.
    void LoadTemplates();
    // Rewrites the templates file from the list. False when it could not be written; the
    // first failure in a window is shown to the user.
    bool SaveTemplates();

    // Loads the media file at `path` (what choosing it with "Media ..." does after the
    // file dialog). False, with the earlier media kept, when it is neither a picture nor
    // a video; the user is told.
    bool OpenMedia(const QString& path);

    // The square sample of a w × h fixture at the present Sample Size.
    QSize SampleSize(int w, int h) const;
    // The fixture's LED image sampled from `store` (the fitted media) with the present
    // settings; null when it samples nothing. Owned by the caller.
    std::unique_ptr<Content> CreateFixtureImage(const MosavraTypes::Fixture& fixture, const ImageStore& store) const;
    // Rebuilds the fixture's preview image when its stamp is stale and media is loaded.
    void UpdateFixtureImage(MosavraTypes::Fixture& fixture);
    // Makes sure the fixture's mask (index −1) or frame pixmap `index` exists; null
    // without media or when there is nothing to draw.
    const QPixmap* GetFixturePixmap(int index, MosavraTypes::Fixture& fixture);
    // The frame of the fixture's preview image shown at media time `t` ms; −1 without one.
    int FrameAtTime(qint64 t, const MosavraTypes::Fixture& fixture) const;
    // The display times of the media frames before frame `i`, summed.
    qint64 TimeUpToFrame(int i) const;
    // `frame` stretched to the media rectangle's aspect ratio.
    QImage FitToMediaRect(const QImage& frame, bool smooth) const;
    // Rebuilds the fitted, adjusted and preview frames from the media, with progress.
    void RebuildMediaPreviews();
    // Arms the frame timer with the present frame's display time.
    void ArmFrameTimer();
    // Gives the canvas the present frame and repaints it.
    void RefreshCanvas();

    // The importer settings the controls give now.
    FixtureSampling::Settings SamplingSettings() const;

    // A group box that takes back the canvas's resize cursor when the pointer moves
    // over the box itself, outside any of its children, with no button held.
    class RestoreCursorGroupBox : public QGroupBox
    {
    public:
        explicit RestoreCursorGroupBox(const QString& title, QWidget* parent = nullptr);
        void SetCanvas(MosavraWidget* canvas) { canvas_ = canvas; }

    protected:
        void mouseMoveEvent(QMouseEvent* event) override;

    private:
        QPointer<MosavraWidget> canvas_;
    };

signals:
    void repaintPreview();

public slots:
    void addFixture();
    void onFixtureAdded(MosavraTypes::Fixture* f);
    void onFixtureSelected(MosavraTypes::Fixture* f, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void onFixtureDeleted(MosavraTypes::Fixture* f);
    void onFixtureDragBegin(MosavraTypes::Fixture* f);
    void onFixtureDragEnd(MosavraTypes::Fixture* f);
    void onFixtureDrag(MosavraTypes::Fixture* f, double mx, double my, double dx, double dy);
    void onFixtureReleased(MosavraTypes::Fixture* f, bool moved, Qt::MouseButtons buttons,
                           Qt::KeyboardModifiers modifiers);
    void onFixtureRenumbered(MosavraTypes::Fixture* f);
    void onSelectMedia();
    void onCreateMosavra();
    void onUpdateCreateButtonState();
    void onUpdateDeleteTemplateButtonState();
    void onUpdateAddFixtureButtonState();
    void onUpdateShowSamplesState();
    void onUpdateShowNumbersState();
    void onUpdateShowMediaState();
    void onLoadTemplateList();
    void onCreateNewBrevantTemplate();
    void onCreateNewCindralTemplate();
    void onDeleteTemplate();
    void onTemplateSelected(MosavraTypes::Template* t);
    void onTemplateSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void onNewMedia();
    void onFrameChanged();
    void onPlayPause();
    void onRewind();
    void onForward();
    void onTimerFrame();
    void onFixtureNumberChanged(int index);
    void onExpandCollapse();
    void onAdjustSize();
    void onSettingsChange();
    void onChangeTemplateLock();
    void onResetToDefaults();
    void templateContextMenuEvent(QContextMenuEvent* event);

    // Saves the templates (reporting a failure) before the window closes.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The canvas's view of the window.
    Options CanvasOptions() const override;
    QRectF MediaRect() const override { return mediaRect_; }
    void SetMediaRect(const QRectF& rect) override { mediaRect_ = rect; }
    QPointF MediaPosition() const override { return mediaPosition_; }
    int SelectedFixtureCount() const override { return int(selection_.size()); }
    void MediaDragEnded(CanvasGeometry::MediaHandle handle) override;
    const QPixmap* FixtureSamples(MosavraTypes::Fixture& fixture) override;
    const QPixmap* FixtureMask(MosavraTypes::Fixture& fixture) override;

    void BuildUserInterface();
    QWidget* BuildTemplatesGroup();
    QWidget* BuildMosavraGroup();
    QWidget* BuildOptionsGroup();
    QWidget* BuildSettingsGroup();
    QWidget* BuildBottomRow();
    QSlider* AddSettingsSlider(class QFormLayout* form, const QString& label, int minimum, int maximum, int value,
                               bool ticks);
    QButtonGroup* AddChoiceGroup(class QFormLayout* form, const QString& label, const QStringList& choices);
    // Sizes the window to its content, within the screen's available area (the expanded
    // canvas shrinking where it must), and keeps a shown window inside that area.
    void FitToScreen();
    // The screen's available area less the window's frame.
    QRect ClientArea() const;
    // Gives the expanded canvas the largest side that keeps the window inside ClientArea,
    // up to the media's own size.
    void FitExpandedCanvas();

    void CreateNewTemplate(MosavraTypes::FixtureFamily family);
    void DeleteTemplate(MosavraTypes::Template* t);
    void ClearSelection();
    void UpdateAddressLabel();
    void HandCanvasTemplate();
    void ApplyZoom();
    void RefreshFixtureImages();
    void RebuildSelectedFixtureImages();
    void DropFixturePixmaps();
    void UpdateFrameLabels();
    void SetPlayIcon(bool playing);
    bool HasMedia() const { return media_.HasMedia(); }
    // Sets a slider without the settings change its signal would start.
    void SetQuietly(QSlider* slider, int value);
    // Makes `t` current whether or not it already is (see onTemplateSelected).
    void ApplyTemplate(MosavraTypes::Template* t);
    // The collage export of onCreateMosavra.
    void ExportCollage();
    void ReportError(const QString& text);

    std::unique_ptr<MosavraHighResTimer> timer_;
    QScrollArea* scrollArea_ = nullptr;
    QString mediaDirectory_;
    QString mediaBaseName_;
    QTimer adjustSizeTimer_;
    MosavraTypes::TemplateList templates_;
    QMosavraTemplateListModel* templateModel_ = nullptr;
    std::vector<MosavraTypes::Fixture*> selection_;
    MediaStores media_;

    MosavraTypes::Template* currentTemplate_ = nullptr;
    MosavraTypes::Fixture* currentFixture_ = nullptr;
    MosavraWidget* canvas_ = nullptr;
    QPointF mediaPosition_;
    QRectF mediaRect_{0.25, 0.25, 0.5, 0.5};
    double totalTime_ = 0;
    bool playing_ = false;
    bool expanded_ = false;
    // The largest side the expanded canvas takes, as the screen leaves room for it.
    int expandedCanvasRoom_ = std::numeric_limits<int>::max();
    bool snapDragStarted_ = false;
    QPointF lastSnapped_;
    int settingsCounter_ = -1;
    // The templates file failed to save and the user was told: not again in this window.
    bool saveFailureReported_ = false;
    // done() saved: the destructor need not save again.
    bool closed_ = false;

    // Widgets (owned by their Qt parents).
    QWidget* templatesGroup_ = nullptr;
    QPushButton* addBrevantTemplateButton_ = nullptr;
    QPushButton* addCindralTemplateButton_ = nullptr;
    QPushButton* removeTemplateButton_ = nullptr;
    MosavraTemplateListView* templateView_ = nullptr;
    QPushButton* addFixtureButton_ = nullptr;
    QPushButton* mediaButton_ = nullptr;
    QLabel* familyLabel_ = nullptr;
    QLabel* addressLabel_ = nullptr;
    QCheckBox* showMediaBox_ = nullptr;
    QCheckBox* showSamplesBox_ = nullptr;
    QCheckBox* showMaskBox_ = nullptr;
    QCheckBox* showNumbersBox_ = nullptr;
    QCheckBox* showGridBox_ = nullptr;
    QCheckBox* snapToGridBox_ = nullptr;
    QComboBox* gridCombo_ = nullptr;
    QCheckBox* lockBox_ = nullptr;
    QLabel* mediaNameLabel_ = nullptr;
    QLabel* timeLabel_ = nullptr;
    QPushButton* expandButton_ = nullptr;
    QLabel* frameLabel_ = nullptr;
    QSlider* frameSlider_ = nullptr;
    QPushButton* rewindButton_ = nullptr;
    QPushButton* playPauseButton_ = nullptr;
    QPushButton* forwardButton_ = nullptr;
    QSlider* sampleSizeSlider_ = nullptr;
    QSlider* sampleZoomSlider_ = nullptr;
    QSlider* contrastSlider_ = nullptr;
    QSlider* brightnessSlider_ = nullptr;
    QSlider* luminanceWeightSlider_ = nullptr;
    QSlider* distanceWeightSlider_ = nullptr;
    QSlider* luminanceCutoffSlider_ = nullptr;
    QButtonGroup* cutoffModeGroup_ = nullptr;
    QButtonGroup* luminanceGroup_ = nullptr;
    QButtonGroup* colourModeGroup_ = nullptr;
    // What the expanded view hides: the settings besides Sample Size and Sample Zoom.
    std::vector<QWidget*> collapsibleSettings_;
    QPushButton* resetButton_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QPushButton* createButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};
