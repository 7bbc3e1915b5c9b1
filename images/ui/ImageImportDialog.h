#pragma once

#include "images/ImageStore.h"
#include "images/LEDImageImporter.h"
#include "images/ui/ImportRules.h"

#include <QDialog>
#include <QImage>
#include <QPixmap>

#include <memory>
#include <vector>

class BrevantImage;
class CindralImage;
class LEDImageAccess;
class QAbstractButton;
class QButtonGroup;
class QGridLayout;
class QLabel;
class QPushButton;
class QSlider;

// Turns a picture or video, already read into the dialog's ImageStore, into an LED image:
// the source frame (with brightness, contrast and, on request, the LEDs' sample mask) and
// the LED face of the same moment are shown side by side above the importer's settings.
// Every change of a setting runs the whole import again into the target image, so the
// target holds the import of the last settings when the dialog closes, accepted or not.
//
// Use: construct, fill Store() (the picture and video readers), SetTitle, exec(). The
// dialog needs at least one stored frame; without any it shows nothing and leaves the
// target alone. The settings are laid out once, when the dialog is first shown.
//
// The family twins are BrevantImageImportDialog and CindralImageImportDialog. GUI thread.
class ImageImportDialog : public QDialog
{
    Q_OBJECT
public:
    ~ImageImportDialog() override;

    // "<family> Image Import", followed by " - " and `name` when it is not empty.
    void SetTitle(const QString& name);
    ImageStore& Store() { return store_; }

    // The region and sample size the current settings give for the first stored frame
    // (an empty layout without stored frames).
    ImportLayout CurrentLayout() const;
    // The importer's settings as the controls give them now.
    ImportSettings CurrentSettings() const;

public slots:
    // Shows the stored frame chosen by the Frame slider and the LED frame on show then.
    void UpdateImportPreview();
    // Shows or hides the sample mask.
    void UpdateMask();
    // Imports again with the current settings, under the wait cursor.
    void UpdateImport();

signals:
    // An import ran and the previews show it.
    void ImportUpdated();

protected:
    // `familyTitle`: "Brevant Image Import" and the like. `frameCount`: the frames the
    // store makes room for. `target`: the access to the image the import writes.
    ImageImportDialog(const QString& familyTitle, int frameCount, std::unique_ptr<LEDImageAccess> target,
                      QWidget* parent);

    void showEvent(QShowEvent* event) override;

private:
    QWidget* MakePreviewGroup();
    QWidget* MakeSettingsGroup();
    // A settings row: `label` right-aligned in column 0, the control (object `name`) in 1.
    QSlider* AddSettingSlider(QGridLayout* grid, int row, const QString& name, const QString& label, int value);
    // A row of exclusive choices with the ids 0, 1, …; the first is checked.
    QButtonGroup* AddChoice(QGridLayout* grid, int row, const QString& name, const QString& label,
                            const QStringList& choices);
    // Sets the ranges and defaults that depend on the stored frames, runs the first import,
    // then connects the sliders (so that setting them up runs no import).
    void SetUp();
    // Sizes the window to hold the previews as they are now.
    void FitToPreviews();
    void ShowLedFrame(int storedFrame);

    QString familyTitle_;
    ImageStore store_;
    std::unique_ptr<LEDImageAccess> target_;
    bool setUp_ = false;

    // Per stored frame: the LED frame on show at its start.
    std::vector<int> frameMap_;
    // Per stored frame: the frame at preview size, unadjusted; null until first shown.
    std::vector<QImage> sourceCache_;
    // The sample mask at preview size: 50 % white on sampled pixels, 50 % black elsewhere.
    QImage maskPreview_;
    // Per LED frame: the face at preview size; null until first shown.
    std::vector<QPixmap> ledCache_;

    QLabel* originalLabel_ = nullptr;
    QLabel* importLabel_ = nullptr;
    QSlider* frameSlider_ = nullptr;
    QPushButton* showMaskButton_ = nullptr;
    QAbstractButton* keepButton_ = nullptr;
    QSlider* sampleSizeSlider_ = nullptr;
    QSlider* contrastSlider_ = nullptr;
    QSlider* brightnessSlider_ = nullptr;
    QSlider* luminanceWeightSlider_ = nullptr;
    QSlider* distanceWeightSlider_ = nullptr;
    QSlider* luminanceCutoffSlider_ = nullptr;
    QButtonGroup* cutoffModeGroup_ = nullptr;
    QButtonGroup* luminanceGroup_ = nullptr;
    QButtonGroup* colourGroup_ = nullptr;
};

// The import dialog of the first fixture family: "Brevant Image Import", 127 LEDs.
// `target` is not owned; should it be destroyed while the dialog is open, the dialog
// imports into nothing.
class BrevantImageImportDialog : public ImageImportDialog
{
    Q_OBJECT
public:
    BrevantImageImportDialog(int frameCount, BrevantImage* target, QWidget* parent = nullptr);
};

// The import dialog of the second fixture family: "Cindral Image Import", 61 LEDs.
class CindralImageImportDialog : public ImageImportDialog
{
    Q_OBJECT
public:
    CindralImageImportDialog(int frameCount, CindralImage* target, QWidget* parent = nullptr);
};
