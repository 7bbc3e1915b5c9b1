#pragma once

#include <QDialog>
#include <QIcon>
#include <QPixmap>
#include <QTimer>

#include <memory>
#include <utility>
#include <vector>

class BrevantImage;
class CindralImage;
class LEDImageAccess;
class QLabel;
class QPushButton;
class QSlider;

// The DMX values (0 .. 255) that select each of `frameCount` frames on a fixture: value d
// selects frame frameCount × d / 256, so each frame gets one consecutive run (first, last),
// or (-1, -1) when no value selects it. Empty for no frames.
std::vector<std::pair<int, int>> FrameDmxRanges(int frameCount);

// Plays one LED image frame by frame as a fixture would, and tells for each frame its
// position, the DMX values that select it and its display time; "Palette" lists the
// palette with how much each colour is used. It works on a private copy of the image, so
// the content tree may change while it is open. An image without frames shows no frame and
// cannot be played.
//
// The family twins are BrevantImageViewDialog and CindralImageViewDialog. GUI thread; run
// it with exec().
class ImageViewDialog : public QDialog
{
    Q_OBJECT
public:
    ~ImageViewDialog() override;

    bool IsPlaying() const { return playing_; }

public slots:
    // Shows the frame chosen by the Frame slider.
    void UpdateView();
    // Starts playback at the next frame, or stops it.
    void PlayPause();
    // The next frame (the first after the last); while playing, the next step is scheduled
    // for the display time of the frame now on show.
    void FrameForward();
    // The previous frame (the last before the first).
    void FrameBackward();
    // Lists the copy's palette and its use, modally.
    void OpenPalette();

protected:
    // `image`: the access to the dialog's own copy. `paletteTitle`: the palette dialog's title.
    ImageViewDialog(QWidget* parent, std::unique_ptr<LEDImageAccess> image, const QString& paletteTitle);

    void hideEvent(QHideEvent* event) override;

private:
    std::unique_ptr<LEDImageAccess> image_;
    QString paletteTitle_;
    int frameCount_ = 0;
    std::vector<int> durations_;
    std::vector<std::pair<int, int>> dmxRanges_;
    // Per frame: the rendered face; null until first shown.
    std::vector<QPixmap> frameCache_;
    bool playing_ = false;
    QTimer stepTimer_;
    QIcon playIcon_;
    QIcon pauseIcon_;

    QLabel* pictureLabel_ = nullptr;
    QSlider* frameSlider_ = nullptr;
    QPushButton* playButton_ = nullptr;
    QLabel* frameLabel_ = nullptr;
    QLabel* dmxLabel_ = nullptr;
    QLabel* delayLabel_ = nullptr;
};

// The view dialog of a first-family image; the palette is "Brevant Image Palette".
class BrevantImageViewDialog : public ImageViewDialog
{
    Q_OBJECT
public:
    // Copies `image` (which stays the caller's); a null image shows as one without frames.
    BrevantImageViewDialog(QWidget* parent, BrevantImage* image);
};

// The view dialog of a second-family image; the palette is "Cindral Image Palette".
class CindralImageViewDialog : public ImageViewDialog
{
    Q_OBJECT
public:
    CindralImageViewDialog(QWidget* parent, CindralImage* image);
};
