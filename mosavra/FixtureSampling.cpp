#include "mosavra/FixtureSampling.h"

#include "content/ContentMutex.h"
#include "images/ImageStore.h"
#include "images/LEDImageImporter.h"
#include "mosavra/FamilyImage.h"

#include <algorithm>

namespace FixtureSampling {
namespace {

// Half-transparent white: the mask shows the media through it.
constexpr QRgb kMaskColour = 0x80ffffffu;

// The LEDs' circle keeps this fraction of a region's sides from its edge.
int InsetDivisor(MosavraTypes::FixtureFamily family)
{
    return family == MosavraTypes::kCindral ? 25 : 40;
}

} // namespace

QSize SampleSize(int w, int h, int sampleSlider)
{
    // The slider never goes below 1, but a division by zero must not be one slip away.
    const int v = std::max(1, sampleSlider);
    const int side = std::max({w / v, h / v, 3});
    return {side, side};
}

QPoint SampleInset(int w, int h, MosavraTypes::FixtureFamily family)
{
    const double divisor = InsetDivisor(family);
    return {qRound(w / divisor), qRound(h / divisor)};
}

std::optional<SourceRegion> FixtureSourceRegion(const MosavraTypes::Fixture& fixture, const QRectF& mediaRect,
                                                QSize frame, int sampleSlider)
{
    // A media rectangle of less than a pixel of the canvas stretches the media without
    // bound: nothing lies on it.
    if (frame.isEmpty() || mediaRect.width() * CanvasGeometry::kCanvasSide < 1.0 ||
        mediaRect.height() * CanvasGeometry::kCanvasSide < 1.0)
        return std::nullopt;
    const double a = frame.width() / mediaRect.width();
    const double b = frame.height() / mediaRect.height();
    const CanvasGeometry::EdgeRect edges =
        CanvasGeometry::ScaleRectAboutCentre(fixture.pos - mediaRect.topLeft(), fixture.scale, a, b);
    const int w = edges.Width();
    const int h = edges.Height();
    if (w < 1 || h < 1)
        return std::nullopt;
    SourceRegion region{edges.left, edges.top, edges.left + w - 1, edges.top + h - 1, SampleSize(w, h, sampleSlider),
                        SampleInset(w, h, fixture.type)};
    if (region.x2 < 0 || region.y2 < 0 || region.x1 >= frame.width() || region.y1 >= frame.height())
        return std::nullopt;
    return region;
}

std::unique_ptr<Content> CreateFixtureImage(const MosavraTypes::Fixture& fixture, const ImageStore& store,
                                            const QRectF& mediaRect, const Settings& settings)
{
    if (store.FrameCount() == 0)
        return nullptr;
    const auto region = FixtureSourceRegion(fixture, mediaRect, store.Frame(0).image.size(), settings.sampleSlider);
    if (!region)
        return nullptr;
    return WithFamilyImage(fixture.type, [&](auto family) -> std::unique_ptr<Content> {
        using Image = typename decltype(family)::type;
        LEDImageImporter<Image> importer(region->x1, region->y1, region->x2, region->y2, region->sampleSize.width(),
                                         region->sampleSize.height(), settings.brightness, settings.contrast,
                                         settings.luminanceWeight, settings.distanceWeight, settings.luminanceCutoff,
                                         settings.cutoffGreater, settings.colourMode, kMinimumFrameMs,
                                         region->inset.x(), region->inset.y());
        store.Replay(importer);
        auto image = std::make_unique<Image>();
        if (!importer.Finish(*image))
            return nullptr;
        image->SetMosavraID(quint16(fixture.num));
        return image;
    });
}

QImage SampleMaskImage(MosavraTypes::FixtureFamily family, int w, int h, const Settings& settings)
{
    if (w < 1 || h < 1)
        return {};
    const QSize sample = SampleSize(w, h, settings.sampleSlider);
    const QPoint inset = SampleInset(w, h, family);
    QImage mask(w, h, QImage::Format_ARGB32);
    mask.fill(0);
    WithFamilyImage(family, [&](auto tag) {
        using Image = typename decltype(tag)::type;
        const LEDImageImporter<Image> importer(0, 0, w - 1, h - 1, sample.width(), sample.height(), settings.brightness,
                                               settings.contrast, settings.luminanceWeight, settings.distanceWeight,
                                               settings.luminanceCutoff, settings.cutoffGreater, settings.colourMode,
                                               kMinimumFrameMs, inset.x(), inset.y());
        importer.DrawSampleMask(mask, kMaskColour);
    });
    return mask;
}

QImage RenderFixtureFrame(const Content& image, int frame, int w, int h)
{
    return WithImageOf(image, QImage(), [&](const auto& familyImage) {
        using Image = std::decay_t<decltype(familyImage)>;
        QImage target;
        if (!familyImage.RenderFrame(frame, w, h, qRound(double(w) / Image::kRenderLedDivisor),
                                     qRound(double(h) / Image::kRenderLedDivisor), QColor(0, 0, 0, 0), target))
            return QImage();
        return target;
    });
}

std::vector<int> FrameDurations(const Content& image)
{
    return WithImageOf(image, std::vector<int>(), [](const auto& familyImage) {
        ContentLocker lock(&ContentMutex);
        std::vector<int> durations;
        for (int i = 0; i < familyImage.FrameCount(); ++i)
            durations.push_back(familyImage.GetFrame(i)->duration);
        return durations;
    });
}

int FrameAtTime(qint64 t, const std::vector<int>& durations)
{
    if (t < 0)
        return 0;
    qint64 end = 0;
    for (int i = 0;; ++i) {
        if (i + 1 >= int(durations.size()))
            return i;
        end += durations[std::size_t(i)];
        if (t < end)
            return i;
    }
}

} // namespace FixtureSampling
