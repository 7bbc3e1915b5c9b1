#pragma once

#include "images/LEDImageImporter.h"

#include <QImage>
#include <QSize>

#include <vector>

// The arithmetic of the image import dialog, apart from its widgets: where the import
// samples, how large the previews are and which LED frame a stored frame shows.

// What the import dialog hands the importer besides the stored frames.
struct ImportSettings {
    ImportLayout layout;
    float brightness = 1.0f;
    float contrast = 0.0f;
    float luminanceWeight = 0.0f;
    float distanceWeight = 0.0f;
    float luminanceCutoff = 0.0f;
    bool cutoffGreater = false;
    int colourMode = LEDImportSampler::kColour;
};

// No imported frame is shorter: quicker frames are shown this long.
constexpr int kImportMinimumFrameMs = 30;

// The Sample Size slider: how many samples fit across the crop. Its range is
// kSampleSizeMinimum .. SampleSizeMaximum(first frame), the maximum pulling the minimum
// down for small pictures.
constexpr int kSampleSizeMinimum = 10;
constexpr int kSampleSizeDefault = 50;
// A third of the first frame's shorter side, at most 100 and at least 1 (so that a tiny
// picture still gets a usable range instead of a sample count of 0).
int SampleSizeMaximum(QSize firstFrame);

// The region an import samples from a frame of `frame`'s size: 98 % of each side (rounded),
// with `keepAspectRatio` the square of the shorter of the two, centred (offsets rounded);
// and the sample size: the region's sides divided by `sampleSize` (rounded, at least 1).
ImportLayout CropLayout(QSize frame, bool keepAspectRatio, int sampleSize);

// The previews' size: a picture is shown with its shorter side at 150 pixels.
inline constexpr QSize kPreviewSize{150, 150};
// The size the preview rule gives a picture of `picture`'s size: the shorter side becomes
// 150, the longer one grows with it (integer division); empty for an empty picture.
QSize PreviewSize(QSize picture);
// The picture scaled to PreviewSize, keeping its shape; smoothly when it shrinks.
QImage ScaleToPreview(const QImage& picture);

// For every stored frame (shown for storedDurations[k] ms each, in order), the LED frame
// (of ledDurations) on show when it starts. The walk only moves forward and stays on the
// last LED frame; with no LED frames every entry is 0.
std::vector<int> BuildFrameMap(const std::vector<int>& storedDurations, const std::vector<int>& ledDurations);
