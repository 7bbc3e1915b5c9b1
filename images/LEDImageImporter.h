#pragma once

#include "images/ImageSink.h"
#include "images/LEDImageRender.h"

#include <QImage>
#include <QPoint>
#include <QRgb>
#include <QSize>

#include <span>
#include <vector>

// Where on a picture an import samples: the source region (corners inclusive; invalid
// when x2 < x1 or y2 < y1) and the sample size (unset when a side is below 1).
struct ImportLayout {
    int x1 = 0;
    int y1 = 0;
    int x2 = -1;
    int y2 = -1;
    int sampleWidth = 0;
    int sampleHeight = 0;

    bool HasRegion() const { return x2 >= x1 && y2 >= y1; }
    bool HasSampleSize() const { return sampleWidth >= 1 && sampleHeight >= 1; }
    friend bool operator==(const ImportLayout&, const ImportLayout&) = default;
};

// The import settings as the import dialogs' sliders (0 .. 255) give them.
// Brightness gain: 1 at 128, -1 at 0, 2.984375 at 255.
float BrightnessFromSlider(int value);
// Contrast: 0 at 128, 0.9921875 at 255; below 128 the lowering is doubled (-2 at 0).
float ContrastFromSlider(int value);
// Luminance weight, distance weight and luminance cutoff: value / 255.
float WeightFromSlider(int value);

// Fills in what `layout` lacks for a picture of `picture`'s size: a missing region
// becomes the centred square of 98 % of the shorter side (at least one pixel), a
// missing sample size a 32nd of the region's sides (at least 3).
ImportLayout DefaultRegion(const ImportLayout& layout, QSize picture);

// Each LED's sample point within the layout's region: the LED's place on the unit disc
// stretched over the region's ellipse, whose radii are shrunk by the inset.
std::vector<QPoint> LayoutSamplePoints(const ImportLayout& layout, int insetX, int insetY,
                                       LEDImageRender::PositionFunction ledPosition, int ledCount);

// Which cells of a sampleWidth × sampleHeight box around a sample point are sampled,
// row by row: the ellipse filling the box, or the whole box when a side is 4 or less.
std::vector<bool> SampleMask(int sampleWidth, int sampleHeight);

// The family-independent half of LEDImageImporter: samples every picture at the LEDs'
// places into one colour per LED and collects the frames, merging equal consecutive
// ones. See LEDImageImporter for the settings.
class LEDImportSampler : public ImageSink
{
public:
    // The most frames an LED image holds.
    static constexpr int kMaxFrames = 255;
    // The longest frame an image record can hold, in ms.
    static constexpr int kMaxFrameMs = 0xFFFF;

    enum ColourMode { kColour = 0, kGreyscale = 1, kMonochrome = 2 };

    // Samples the picture (its region and sample size chosen from it when the importer
    // has none) and collects the frame. False, nothing collected, once 255 frames are
    // held. A negative duration counts as 0; a frame's time never exceeds kMaxFrameMs.
    bool PutFrame(const QImage& picture, int durationMs) override;

    // One ARGB colour per LED: the weighted mean of the LED's sampled pixels, 0 for an
    // LED with no sampled pixel inside the picture. Uses the current layout as it is.
    std::vector<QRgb> SampleFrame(const QImage& picture) const;

    // Marks every sampled pixel of every LED in `target` with `argb` (pixels outside the
    // target are left out).
    void DrawSampleMask(QImage& target, QRgb argb) const;

    const ImportLayout& Layout() const { return layout_; }
    const std::vector<QPoint>& SamplePoints() const { return points_; }
    int CollectedFrameCount() const { return int(durations_.size()); }
    int CollectedDuration(int frame) const { return durations_[std::size_t(frame)]; }
    std::span<const QRgb> CollectedColours(int frame) const;
    int LedCount() const { return ledCount_; }

protected:
    LEDImportSampler(LEDImageRender::PositionFunction ledPosition, int ledCount, int x1, int y1, int x2, int y2,
                     int sampleWidth, int sampleHeight, float brightness, float contrast, float luminanceWeight,
                     float distanceWeight, float luminanceCutoff, bool cutoffGreater, int colourMode,
                     int minimumFrameMs, int insetX, int insetY);

    // The palette list of 254 colours for the collected frames (black and white first).
    std::vector<QRgb> PaletteList() const;
    // Palette index (0 .. 255, 255 = transparent) of every LED colour of frame `frame`,
    // over a palette whose entry i + 1 is list entry i.
    std::vector<quint8> FrameIndices(int frame, std::span<const QRgb> list) const;

private:
    void Lay();

    LEDImageRender::PositionFunction ledPosition_;
    int ledCount_;
    ImportLayout layout_;
    float brightness_;
    float contrast_;
    float luminanceWeight_;
    float distanceWeight_;
    float luminanceCutoff_;
    bool cutoffGreater_;
    int colourMode_;
    int minimumFrameMs_;
    int insetX_;
    int insetY_;

    std::vector<QPoint> points_;
    std::vector<bool> mask_;
    // Frame f's colours are colours_[f × ledCount_ ...].
    std::vector<QRgb> colours_;
    std::vector<int> durations_;
};

// Turns a stream of pictures into the frames of an LED image of the family `Image`
// (BrevantImage, CindralImage): every picture is sampled in a small disc around each
// LED's place on a circular region of the picture, equal consecutive frames merge, and
// Commit quantises all colours to a palette and writes the indices into an image.
//
// Settings: the source region x1, y1, x2, y2 (corners inclusive) and sample size (both
// chosen from the first picture when unset or invalid); brightness (a gain, 1 =
// unchanged); contrast (0 = unchanged, positive raises, negative lowers); luminance
// weight (weight of a pixel's luminance in the mean; negative = inverted luminance);
// distance weight (weight of a pixel's closeness to the LED's centre); luminance cutoff
// (0 .. 1) and cutoff mode (greater: pixels brighter than the cutoff weigh only by
// distance; else the darker ones); colour mode (0 colour, 1 greyscale, 2 monochrome,
// anything else colour); minimum frame time in ms; inset (shrinks the LEDs' circle).
//
// Threads: one thread at a time; Commit writes through the image's own (locking)
// members.
template <class Image>
class LEDImageImporter : public LEDImportSampler
{
public:
    LEDImageImporter(int x1, int y1, int x2, int y2, int sampleWidth, int sampleHeight, float brightness,
                     float contrast, float luminanceWeight, float distanceWeight, float luminanceCutoff,
                     bool cutoffGreater, int colourMode, int minimumFrameMs, int insetX, int insetY);

    // Writes the collected frames into `image`: palette entries 0 and 255 black, 1 .. 254
    // the palette list, transparent index 255, background index 0, then every frame
    // (an LED that is off takes 255). False, image untouched, when nothing was collected.
    bool Commit(Image& image) const;
    // Clears the image, then Commit.
    bool Finish(Image& image) const;
};

class BrevantImage;
class CindralImage;
extern template class LEDImageImporter<BrevantImage>;
extern template class LEDImageImporter<CindralImage>;
