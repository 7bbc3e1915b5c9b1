#pragma once

#include "images/LEDColor.h"
#include "images/ui/ImportRules.h"

#include <QImage>
#include <QPointer>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

class Content;
class ImageStore;
class LEDImportSampler;

// One LED image of either fixture family, seen through one interface, so that the image
// widgets are written once for both families: frames, palette, rendering and import.
//
// An access either watches an image it does not own, which may be destroyed meanwhile
// (it then reads as an image without frames and imports nothing), or owns one.
//
// Threads: GUI thread; every read goes through the image's own locking members, and the
// reads that need several fields hold ContentMutex across them.
class LEDImageAccess
{
public:
    virtual ~LEDImageAccess() = default;

    // The image; null once a watched image was destroyed.
    virtual Content* GetContent() const = 0;
    virtual QString Name() const = 0;
    virtual int LedCount() const = 0;
    virtual int FrameCount() const = 0;
    // Every frame's display time in ms, in order.
    virtual std::vector<int> FrameDurations() const = 0;
    // Frame `frame`'s palette indices, one per LED; empty when there is no such frame.
    virtual std::vector<quint8> FrameIndices(int frame) const = 0;
    // Palette entry `index` (0 .. 255).
    virtual LEDColor PaletteColor(int index) const = 0;
    // Frame `frame` drawn as the fixture's face at `size` with the family's default look;
    // null when there is no such frame.
    virtual QImage RenderFrameDefault(int frame, QSize size) const = 0;
    // Runs the family's importer over every frame of `store` with `settings` (minimum frame
    // time kImportMinimumFrameMs, no inset), then clears the image and commits the frames
    // into it. Answers the importer, whose layout and sample mask the caller may show.
    virtual std::unique_ptr<LEDImportSampler> Import(const ImageStore& store, const ImportSettings& settings) = 0;
};

// The access to an image of the family `Image` (BrevantImage, CindralImage).
template <class Image>
class LEDImageAccessFor final : public LEDImageAccess
{
public:
    // Watches `image` (not owned; may be null).
    explicit LEDImageAccessFor(Image* image);
    // Owns `image`.
    explicit LEDImageAccessFor(std::unique_ptr<Image> image);
    ~LEDImageAccessFor() override;

    Content* GetContent() const override;
    QString Name() const override;
    int LedCount() const override;
    int FrameCount() const override;
    std::vector<int> FrameDurations() const override;
    std::vector<quint8> FrameIndices(int frame) const override;
    LEDColor PaletteColor(int index) const override;
    QImage RenderFrameDefault(int frame, QSize size) const override;
    std::unique_ptr<LEDImportSampler> Import(const ImageStore& store, const ImportSettings& settings) override;

private:
    std::unique_ptr<Image> owned_;
    QPointer<Image> image_;
};

class BrevantImage;
class CindralImage;
extern template class LEDImageAccessFor<BrevantImage>;
extern template class LEDImageAccessFor<CindralImage>;

// An owning access to a copy of `image` (Content::Clone, same key); a null image gives an
// empty image of the family. The copy is private to the caller: the content tree may
// change the original meanwhile.
template <class Image>
std::unique_ptr<LEDImageAccess> AccessToCopyOf(Image* image);
