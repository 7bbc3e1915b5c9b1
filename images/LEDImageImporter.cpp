#include "images/LEDImageImporter.h"

#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/ColourAdjust.h"
#include "images/Palette.h"

#include <QHash>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Percent of the picture's shorter side the default region spans.
constexpr int kDefaultRegionPercent = 98;
// The default sample spans this fraction of the region, but at least kMinDefaultSample.
constexpr double kDefaultSampleDivisor = 32.0;
constexpr int kMinDefaultSample = 3;
// Boxes up to this size are sampled whole: an ellipse in them would be a cross or less.
constexpr int kWholeBoxSide = 4;
// The palette list's length: the image's 256 entries less the two reserved blacks.
constexpr int kPaletteListSize = 254;
constexpr quint8 kTransparentIndex = 255;
constexpr quint8 kBackgroundIndex = 0;
// Keeps a sample's weight above 0 when luminance and distance weights are both 0.
constexpr float kWeightFloor = 0.00001f;

const QRgb kSeeds[] = {0xff000000u, 0xffffffffu};

bool IsOpaque(QRgb colour)
{
    return (colour & 0x80000000u) != 0;
}

int FloorHalf(double value)
{
    return int(std::floor(value + 0.5));
}

} // namespace

float BrightnessFromSlider(int value)
{
    return (float(value) - 128.0f) / 128.0f * 2.0f + 1.0f;
}

float ContrastFromSlider(int value)
{
    const float contrast = (float(value) / 256.0f - 0.5f) * 2.0f;
    return contrast < 0.0f ? contrast * 2.0f : contrast;
}

float WeightFromSlider(int value)
{
    return float(value) / 255.0f;
}

ImportLayout DefaultRegion(const ImportLayout& layout, QSize picture)
{
    ImportLayout result = layout;
    const int w = std::max(0, picture.width());
    const int h = std::max(0, picture.height());
    if (!result.HasRegion()) {
        // A picture of a pixel or two still gets a region of one pixel.
        const int side = std::max(1, std::min(kDefaultRegionPercent * w / 100, kDefaultRegionPercent * h / 100));
        result.x1 = std::max(0, (w - side) / 2);
        result.y1 = std::max(0, (h - side) / 2);
        result.x2 = result.x1 + side - 1;
        result.y2 = result.y1 + side - 1;
    }
    if (!result.HasSampleSize()) {
        result.sampleWidth =
            std::max(kMinDefaultSample, int(std::floor((result.x2 - result.x1 + 1) / kDefaultSampleDivisor + 0.5)));
        result.sampleHeight =
            std::max(kMinDefaultSample, int(std::floor((result.y2 - result.y1 + 1) / kDefaultSampleDivisor + 0.5)));
    }
    return result;
}

std::vector<QPoint> LayoutSamplePoints(const ImportLayout& layout, int insetX, int insetY,
                                       LEDImageRender::PositionFunction ledPosition, int ledCount)
{
    const int rw = layout.x2 - layout.x1 + 1;
    const int rh = layout.y2 - layout.y1 + 1;
    const int cx = layout.x1 + rw / 2;
    const int cy = layout.y1 + rh / 2;
    const double rx = std::round(rw / 2.0) - insetX;
    const double ry = std::round(rh / 2.0) - insetY;
    std::vector<QPoint> points;
    points.reserve(std::size_t(std::max(0, ledCount)));
    for (int led = 0; led < ledCount; ++led) {
        const QPointF unit = ledPosition(led);
        points.emplace_back(FloorHalf(rx * unit.x() + cx), FloorHalf(cy - ry * unit.y()));
    }
    return points;
}

std::vector<bool> SampleMask(int sampleWidth, int sampleHeight)
{
    const int w = std::max(0, sampleWidth);
    const int h = std::max(0, sampleHeight);
    std::vector<bool> mask(std::size_t(w) * std::size_t(h), true);
    if (w <= kWholeBoxSide || h <= kWholeBoxSide)
        return mask;
    QImage disc(w, h, QImage::Format_RGB32);
    disc.fill(Qt::black);
    {
        QPainter painter(&disc);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(0, 0, w, h));
    }
    for (int row = 0; row < h; ++row)
        for (int column = 0; column < w; ++column)
            mask[std::size_t(row * w + column)] = (disc.pixel(column, row) & 0x00ffffffu) == 0x00ffffffu;
    return mask;
}

LEDImportSampler::LEDImportSampler(LEDImageRender::PositionFunction ledPosition, int ledCount, int x1, int y1,
                                   int x2, int y2, int sampleWidth, int sampleHeight, float brightness,
                                   float contrast, float luminanceWeight, float distanceWeight,
                                   float luminanceCutoff, bool cutoffGreater, int colourMode, int minimumFrameMs,
                                   int insetX, int insetY)
    : ledPosition_(ledPosition),
      ledCount_(ledCount),
      layout_{x1, y1, x2, y2, sampleWidth, sampleHeight},
      brightness_(brightness),
      contrast_(contrast),
      luminanceWeight_(luminanceWeight),
      distanceWeight_(distanceWeight),
      luminanceCutoff_(luminanceCutoff),
      cutoffGreater_(cutoffGreater),
      colourMode_(colourMode),
      minimumFrameMs_(minimumFrameMs),
      insetX_(insetX),
      insetY_(insetY)
{
    if (layout_.HasRegion() && layout_.HasSampleSize())
        Lay();
}

void LEDImportSampler::Lay()
{
    points_ = LayoutSamplePoints(layout_, insetX_, insetY_, ledPosition_, ledCount_);
    mask_ = SampleMask(layout_.sampleWidth, layout_.sampleHeight);
}

bool LEDImportSampler::PutFrame(const QImage& picture, int durationMs)
{
    if (CollectedFrameCount() >= kMaxFrames)
        return false;
    if (!layout_.HasRegion() || !layout_.HasSampleSize() || points_.empty()) {
        layout_ = DefaultRegion(layout_, picture.size());
        Lay();
    }
    const std::vector<QRgb> colours = SampleFrame(picture);
    const int duration = std::clamp(durationMs, 0, kMaxFrameMs);
    if (!durations_.empty() && std::equal(colours.begin(), colours.end(), colours_.end() - ledCount_)) {
        // A still scene costs one frame: the last one shows longer, up to what an image
        // can hold (clamped, not wrapped).
        durations_.back() = std::min(kMaxFrameMs, durations_.back() + duration);
        return true;
    }
    colours_.insert(colours_.end(), colours.begin(), colours.end());
    durations_.push_back(std::clamp(std::max(minimumFrameMs_, duration), 0, kMaxFrameMs));
    return true;
}

std::vector<QRgb> LEDImportSampler::SampleFrame(const QImage& picture) const
{
    std::vector<QRgb> colours(std::size_t(ledCount_), 0);
    if (picture.isNull() || points_.empty())
        return colours;

    // Read 32-bit pixels straight from the lines; other formats are converted once
    // (to the same values QImage::pixel would give).
    const bool rgb32 = picture.format() == QImage::Format_RGB32;
    const QImage source =
        rgb32 || picture.format() == QImage::Format_ARGB32 ? picture : picture.convertToFormat(QImage::Format_ARGB32);
    const bool hasAlpha = picture.hasAlphaChannel();
    const QRgb forceOpaque = rgb32 ? 0xff000000u : 0u;

    const bool inverted = luminanceWeight_ < 0.0f;
    const float lw = std::fabs(luminanceWeight_);
    const bool adjust = !(brightness_ == 1.0f && contrast_ == 0.0f);
    const int w = layout_.sampleWidth;
    const int h = layout_.sampleHeight;
    const int halfW = w / 2;
    const int halfH = h / 2;
    // The width's half is the radius in both directions; a sample one pixel wide has
    // radius 0, taken as 1 so that the distance weight stays finite.
    const float r2 = float(std::max(1, halfW * halfW));

    struct Sample {
        float weight;
        QRgb colour;
    };
    std::vector<Sample> samples;
    samples.reserve(std::size_t(w) * std::size_t(h));

    for (int led = 0; led < ledCount_; ++led) {
        const QPoint point = points_[std::size_t(led)];
        const int x0 = point.x() - halfW;
        const int y0 = point.y() - halfH;
        samples.clear();
        float sum = 0.0f;
        for (int row = 0; row < h; ++row) {
            const int y = y0 + row;
            if (y < 0 || y >= source.height())
                continue;
            const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
            for (int column = 0; column < w; ++column) {
                const int x = x0 + column;
                if (x < 0 || x >= source.width() || !mask_[std::size_t(row * w + column)])
                    continue;
                QRgb p = line[x] | forceOpaque;
                if (adjust)
                    p = ScaleColour(AdjustContrast(p, contrast_), brightness_);
                const int dx = column - halfW;
                const int dy = row - halfH;
                const float distance = 1.0f - float(dx * dx + dy * dy) / r2;
                float luminance = Luminance(p);
                if (inverted)
                    luminance = 1.0f - luminance;
                if (cutoffGreater_ ? luminance > luminanceCutoff_ : luminance < luminanceCutoff_)
                    luminance = 0.0f;
                const float weight =
                    std::max(0.0f, luminance * lw + distance * distanceWeight_ + kWeightFloor);
                samples.push_back({weight, p});
                sum += weight;
            }
        }
        if (samples.empty())
            continue;
        if (sum == 0.0f)
            sum = 1.0f;
        float a = 0.0f, r = 0.0f, g = 0.0f, b = 0.0f;
        for (const Sample& sample : samples) {
            const float share = sample.weight / sum;
            a += share * float(qAlpha(sample.colour));
            r += share * float(qRed(sample.colour));
            g += share * float(qGreen(sample.colour));
            b += share * float(qBlue(sample.colour));
        }
        const auto round = [](float v) { return int(std::floor(std::min(v, 255.0f) + 0.5f)); };
        const int alpha = hasAlpha ? int(std::min(a, 255.0f)) : 255;
        colours[std::size_t(led)] = qRgba(round(r), round(g), round(b), alpha);
    }
    return colours;
}

void LEDImportSampler::DrawSampleMask(QImage& target, QRgb argb) const
{
    const int w = layout_.sampleWidth;
    const int h = layout_.sampleHeight;
    for (const QPoint& point : points_) {
        for (int row = 0; row < h; ++row) {
            for (int column = 0; column < w; ++column) {
                if (!mask_[std::size_t(row * w + column)])
                    continue;
                const int x = point.x() + column - w / 2;
                const int y = point.y() + row - h / 2;
                if (target.valid(x, y))
                    target.setPixel(x, y, argb);
            }
        }
    }
}

std::span<const QRgb> LEDImportSampler::CollectedColours(int frame) const
{
    return std::span<const QRgb>(colours_).subspan(std::size_t(frame) * std::size_t(ledCount_),
                                                    std::size_t(ledCount_));
}

std::vector<QRgb> LEDImportSampler::PaletteList() const
{
    if (colourMode_ == kGreyscale || colourMode_ == kMonochrome)
        return GreyPalette(kSeeds, kPaletteListSize);
    return BuildPalette(kSeeds, colours_, kPaletteListSize);
}

std::vector<quint8> LEDImportSampler::FrameIndices(int frame, std::span<const QRgb> list) const
{
    // LEDs repeat their colours a lot: look each colour up once.
    QHash<QRgb, quint8> known;
    std::vector<quint8> indices;
    indices.reserve(std::size_t(ledCount_));
    for (QRgb colour : CollectedColours(frame)) {
        if (!IsOpaque(colour)) {
            indices.push_back(kTransparentIndex);
            continue;
        }
        colour |= 0xff000000u;
        if (colourMode_ == kGreyscale || colourMode_ == kMonochrome) {
            int grey = (11 * qRed(colour) + 16 * qGreen(colour) + 5 * qBlue(colour)) >> 5;
            if (colourMode_ == kMonochrome)
                grey = grey < 128 ? 0 : 255;
            colour = qRgb(grey, grey, grey);
        }
        auto found = known.constFind(colour);
        if (found == known.constEnd())
            found = known.insert(colour, quint8(NearestPaletteIndex(list, colour) + 1));
        indices.push_back(*found);
    }
    return indices;
}

template <class Image>
LEDImageImporter<Image>::LEDImageImporter(int x1, int y1, int x2, int y2, int sampleWidth, int sampleHeight,
                                          float brightness, float contrast, float luminanceWeight,
                                          float distanceWeight, float luminanceCutoff, bool cutoffGreater,
                                          int colourMode, int minimumFrameMs, int insetX, int insetY)
    : LEDImportSampler(&Image::LedPosition, Image::kLedCount, x1, y1, x2, y2, sampleWidth, sampleHeight,
                       brightness, contrast, luminanceWeight, distanceWeight, luminanceCutoff, cutoffGreater,
                       colourMode, minimumFrameMs, insetX, insetY)
{
}

template <class Image>
bool LEDImageImporter<Image>::Commit(Image& image) const
{
    if (CollectedFrameCount() == 0)
        return false;
    const std::vector<QRgb> list = PaletteList();
    image.SetPaletteColor(0, LEDColor{});
    for (int i = 0; i < kPaletteListSize; ++i)
        image.SetPaletteColor(i + 1, LEDColor::FromRgb(list[std::size_t(i)]));
    image.SetPaletteColor(255, LEDColor{});
    image.SetTransparentIndex(kTransparentIndex);
    image.SetBackgroundIndex(kBackgroundIndex);

    for (int f = 0; f < CollectedFrameCount(); ++f) {
        typename Image::Frame frame;
        frame.duration = CollectedDuration(f);
        frame.flag = 0;
        const std::vector<quint8> indices = FrameIndices(f, list);
        std::copy(indices.begin(), indices.end(), frame.indices.begin());
        if (!image.AddFrame(frame))
            break; // the image is full
    }
    return true;
}

template <class Image>
bool LEDImageImporter<Image>::Finish(Image& image) const
{
    image.Clear();
    return Commit(image);
}

template class LEDImageImporter<BrevantImage>;
template class LEDImageImporter<CindralImage>;
