#include "images/ui/ImportRules.h"

#include <algorithm>
#include <cmath>

namespace {

// Percent of each side of the frame the crop spans.
constexpr int kCropPercent = 98;
// The Sample Size slider never offers more samples across than this...
constexpr int kSampleSizeCeiling = 100;
// ...nor a sample narrower than this many pixels of the first frame.
constexpr int kSmallestSampleSide = 3;

int RoundedDivision(double value, double divisor)
{
    return int(std::lround(value / divisor));
}

} // namespace

int SampleSizeMaximum(QSize firstFrame)
{
    const int shorter = std::min(firstFrame.width(), firstFrame.height());
    return std::clamp(shorter / kSmallestSampleSide, 1, kSampleSizeCeiling);
}

ImportLayout CropLayout(QSize frame, bool keepAspectRatio, int sampleSize)
{
    const int w = std::max(0, frame.width());
    const int h = std::max(0, frame.height());
    int width = RoundedDivision(double(w) * kCropPercent, 100.0);
    int height = RoundedDivision(double(h) * kCropPercent, 100.0);
    if (keepAspectRatio)
        width = height = std::min(width, height);
    // A picture of a pixel or two still has a pixel to sample.
    width = std::max(1, width);
    height = std::max(1, height);
    const int left = RoundedDivision(w - width, 2.0);
    const int top = RoundedDivision(h - height, 2.0);

    ImportLayout layout;
    layout.x1 = std::max(0, left);
    layout.y1 = std::max(0, top);
    layout.x2 = layout.x1 + width - 1;
    layout.y2 = layout.y1 + height - 1;
    const int samples = std::max(1, sampleSize);
    layout.sampleWidth = std::max(1, RoundedDivision(width, samples));
    layout.sampleHeight = std::max(1, RoundedDivision(height, samples));
    return layout;
}

QSize PreviewSize(QSize picture)
{
    const qint64 w = picture.width();
    const qint64 h = picture.height();
    if (w <= 0 || h <= 0)
        return {};
    const qint64 side = kPreviewSize.width();
    if (w < h)
        return {int(side), int(h * side / w)};
    return {int(w * side / h), int(side)};
}

QImage ScaleToPreview(const QImage& picture)
{
    const QSize size = PreviewSize(picture.size());
    if (size.isEmpty())
        return {};
    const Qt::TransformationMode mode =
        size.width() < picture.width() ? Qt::SmoothTransformation : Qt::FastTransformation;
    return picture.scaled(size, Qt::KeepAspectRatio, mode);
}

std::vector<int> BuildFrameMap(const std::vector<int>& storedDurations, const std::vector<int>& ledDurations)
{
    std::vector<int> map;
    map.reserve(storedDurations.size());
    const int n = int(ledDurations.size());
    int led = 0;
    // Start of the stored frame and of the LED frame on show, in ms (64-bit: 255 frames
    // of any length cannot overflow).
    qint64 storedStart = 0;
    qint64 ledStart = 0;
    for (int duration : storedDurations) {
        while (led + 1 < n && storedStart >= ledStart + ledDurations[std::size_t(led)]) {
            ledStart += ledDurations[std::size_t(led)];
            ++led;
        }
        map.push_back(led);
        storedStart += duration;
    }
    return map;
}
