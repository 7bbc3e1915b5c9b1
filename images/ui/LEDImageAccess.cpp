#include "images/ui/LEDImageAccess.h"

#include "content/ContentMutex.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/ImageStore.h"
#include "images/LEDImageImporter.h"

template <class Image>
LEDImageAccessFor<Image>::LEDImageAccessFor(Image* image) : image_(image)
{
}

template <class Image>
LEDImageAccessFor<Image>::LEDImageAccessFor(std::unique_ptr<Image> image)
    : owned_(std::move(image)), image_(owned_.get())
{
}

template <class Image>
LEDImageAccessFor<Image>::~LEDImageAccessFor() = default;

template <class Image>
Content* LEDImageAccessFor<Image>::GetContent() const
{
    return image_.data();
}

template <class Image>
QString LEDImageAccessFor<Image>::Name() const
{
    return image_ ? image_->GetName() : QString();
}

template <class Image>
int LEDImageAccessFor<Image>::LedCount() const
{
    return Image::kLedCount;
}

template <class Image>
int LEDImageAccessFor<Image>::FrameCount() const
{
    return image_ ? image_->FrameCount() : 0;
}

template <class Image>
std::vector<int> LEDImageAccessFor<Image>::FrameDurations() const
{
    std::vector<int> durations;
    if (!image_)
        return durations;
    ContentLocker lock(&ContentMutex);
    const int count = image_->FrameCount();
    durations.reserve(std::size_t(count));
    for (int f = 0; f < count; ++f)
        durations.push_back(image_->GetFrame(f)->duration);
    return durations;
}

template <class Image>
std::vector<quint8> LEDImageAccessFor<Image>::FrameIndices(int frame) const
{
    if (!image_)
        return {};
    ContentLocker lock(&ContentMutex);
    const auto* record = image_->GetFrame(frame);
    if (!record)
        return {};
    return {record->indices.begin(), record->indices.end()};
}

template <class Image>
LEDColor LEDImageAccessFor<Image>::PaletteColor(int index) const
{
    return image_ ? image_->GetPaletteColor(index) : LEDColor{};
}

template <class Image>
QImage LEDImageAccessFor<Image>::RenderFrameDefault(int frame, QSize size) const
{
    QImage picture;
    if (image_)
        image_->RenderFrameDefault(frame, size.width(), size.height(), picture);
    return picture;
}

template <class Image>
std::unique_ptr<LEDImportSampler> LEDImageAccessFor<Image>::Import(const ImageStore& store,
                                                                    const ImportSettings& settings)
{
    const ImportLayout& layout = settings.layout;
    auto importer = std::make_unique<LEDImageImporter<Image>>(
        layout.x1, layout.y1, layout.x2, layout.y2, layout.sampleWidth, layout.sampleHeight, settings.brightness,
        settings.contrast, settings.luminanceWeight, settings.distanceWeight, settings.luminanceCutoff,
        settings.cutoffGreater, settings.colourMode, kImportMinimumFrameMs, 0, 0);
    store.Replay(*importer);
    if (image_) {
        image_->Clear();
        importer->Commit(*image_);
    }
    return importer;
}

template <class Image>
std::unique_ptr<LEDImageAccess> AccessToCopyOf(Image* image)
{
    std::unique_ptr<Image> copy(image ? static_cast<Image*>(image->Clone()) : new Image());
    return std::make_unique<LEDImageAccessFor<Image>>(std::move(copy));
}

template class LEDImageAccessFor<BrevantImage>;
template class LEDImageAccessFor<CindralImage>;
template std::unique_ptr<LEDImageAccess> AccessToCopyOf(BrevantImage*);
template std::unique_ptr<LEDImageAccess> AccessToCopyOf(CindralImage*);
