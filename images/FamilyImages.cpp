#include "images/BrevantImage.h"
#include "images/CindralImage.h"

#include "content/ContentMutex.h"
#include "images/LEDLayout.h"

#include <algorithm>

namespace {

constexpr LEDRing kBrevantRings[] = {
    {36, 0.9583333333333334}, {30, 0.7916666666666666}, {24, 0.6416666666666667},
    {18, 0.475},              {12, 0.31666666666666665}, {6, 0.16666666666666666},
};
constexpr LEDRing kCindralRings[] = {{24, 0.925}, {18, 0.7}, {12, 0.4625}, {6, 0.2375}};

// Every LED but the centre one lies on a ring.
template <std::size_t Rings>
constexpr int RingLeds(const LEDRing (&rings)[Rings])
{
    int count = 0;
    for (const LEDRing& ring : rings)
        count += ring.count;
    return count;
}
static_assert(RingLeds(kBrevantRings) + 1 == BrevantImage::kLedCount);
static_assert(RingLeds(kCindralRings) + 1 == CindralImage::kLedCount);

// The second family's face is the first family's without its two outer rings, so LED
// numbers differ by a constant offset between the two.
static_assert(BrevantImage::kLedCount - CindralImage::kLedCount == BrevantImage::kOuterRingLeds);

// Copies palette, frames and indices into a new image of the other family. Target LED t
// takes source LED t + (source count − target count); LEDs without a source get index 0.
template <class Target, class Source>
std::unique_ptr<Target> ConvertFamily(const Source& source)
{
    ContentLocker lock(&ContentMutex);
    auto target = std::make_unique<Target>();
    for (int i = 0; i < Source::kPaletteSize; ++i)
        target->SetPaletteColor(i, source.GetPaletteColor(i));
    constexpr int offset = Source::kLedCount - Target::kLedCount;
    for (int f = 0, count = source.FrameCount(); f < count; ++f) {
        const typename Source::Frame& from = *source.GetFrame(f);
        typename Target::Frame to;
        to.duration = from.duration;
        to.flag = from.flag;
        for (int led = std::max(0, -offset); led < Target::kLedCount && led + offset < Source::kLedCount; ++led)
            to.indices[std::size_t(led)] = from.indices[std::size_t(led + offset)];
        target->AddFrame(to);
    }
    target->SetBackgroundIndex(source.GetBackgroundIndex());
    target->SetTransparentIndex(source.GetTransparentIndex());
    return target;
}

} // namespace

BrevantImage::BrevantImage(ContentFolder* parent) : BrevantImageBase(parent) {}

QString BrevantImage::FileExtension() const
{
    return QStringLiteral("bvi");
}

QPointF BrevantImage::LedPosition(int led)
{
    return LEDRingPosition(kBrevantRings, led);
}

std::unique_ptr<BrevantImage> BrevantImage::FromCindralImage(const CindralImage& cindral)
{
    return ConvertFamily<BrevantImage>(cindral);
}

CindralImage::CindralImage(ContentFolder* parent) : CindralImageBase(parent) {}

QString CindralImage::FileExtension() const
{
    return QStringLiteral("cdli");
}

QPointF CindralImage::LedPosition(int led)
{
    return LEDRingPosition(kCindralRings, led);
}

std::unique_ptr<CindralImage> CindralImage::FromBrevantImage(const BrevantImage& brevant)
{
    return ConvertFamily<CindralImage>(brevant);
}
