#pragma once

#include "content/Content.h"
#include "images/LEDColor.h"
#include "images/LEDImageRender.h"
#include "images/QelRDMImage.h"
#include "images/SharedFrames.h"

#include <QColor>

#include <array>
#include <memory>
#include <vector>

// One frame of an image of N LEDs.
template <int N>
struct LEDFrame {
    // Display time in milliseconds. The record form holds 0 .. 65535; longer times are
    // stored as 65535.
    qint32 duration = 0;
    // The frame's own transparent palette index; 0 = none.
    quint8 flag = 0;
    // One palette index per LED, in the family's LED numbering.
    std::array<quint8, N> indices{};

    friend bool operator==(const LEDFrame&, const LEDFrame&) = default;
};

// The summary GetHeader fills.
struct LEDImageHeader {
    quint8 formatVersion = 0;
    quint8 frameCount = 0;
    quint8 backgroundIndex = 0;
    quint8 transparentIndex = 0;
    std::array<LEDColor, 256> palette{};
};

// What makes a family: its number (0 first family, 1 second), its record class (which
// also fixes the LED count) and its renderer.
template <int FamilyId, class RecordType, class Render>
struct LEDImageTraits {
    static constexpr int kFamilyId = FamilyId;
    static constexpr int kLedCount = RecordType::kLedCount;
    using Record = RecordType;
    using Renderer = Render;
};

// An LED image of one fixture family: up to 255 frames, each one palette index per LED,
// and a palette of 256 colours; a Content leaf of the content tree. `Image` is the
// concrete family class (BrevantImage, CindralImage), `Traits` its LEDImageTraits.
//
// A new image is blank (IsNotLoaded true) with format version 0, no frames and a black
// palette; every data change clears the blank flag and emits ContentChanged.
//
// An image and its clones (Clone, Assign) share their frames until one of them changes
// its own: a copy costs no frame memory until then.
//
// Threads: every member takes ContentMutex (recursively) for its whole body, so the GUI
// may read an image while a worker loads, saves or converts it; file reading and writing
// in Load, Save and LoadFile happen outside it. Images sharing frames may change them on
// different threads (SharedFrames). A pointer from GetFrame stays valid until this
// image's frame sequence changes (a change gives it a sequence of its own, so the pointer
// is then no longer its frame, even when the old one lives on in a clone): use it while
// holding ContentMutex or owning the image.
template <class Image, class Traits>
class LEDImage : public Content
{
public:
    static constexpr int kLedCount = Traits::kLedCount;
    static constexpr int kFamilyId = Traits::kFamilyId;
    static constexpr int kMaxFrames = QelRDMImage::kMaxFrames;
    static constexpr int kPaletteSize = QelRDMImage::kPaletteSize;
    using Frame = LEDFrame<kLedCount>;
    using Record = typename Traits::Record;
    using FamilyTraits = Traits;

    explicit LEDImage(ContentFolder* parent = nullptr);
    ~LEDImage() override;

    // A new image of the same family without parent, equal to this one (same key).
    Content* Clone() override;
    // Reads a file of this family. An empty stored name is replaced by the file's base
    // name (first 16 bytes). False, with the image unchanged, when the file cannot be
    // opened or is not a valid record of this family.
    bool Load(const QString& path) override;
    // Writes the file form atomically: false, with any previous file left whole, when the
    // file cannot be written completely.
    bool Save(const QString& path) override;
    // The blank flag.
    bool IsNotLoaded() const override;
    virtual void GetHeader(LEDImageHeader& header) const;
    virtual quint8 GetFormatVersion() const;
    virtual bool SetFormatVersion(quint8 version);
    // Replaces the image by a record of this family (false, image unchanged, for a record
    // of another family): Clear, then the header's fields, key and name, then every frame.
    virtual bool FromRDMImage(const QelRDMImage& record);
    // Fills a record of this family from the image (false for another family's record).
    // Durations are clamped to 0 .. 65535 ms.
    virtual bool ToRDMImage(QelRDMImage& record) const;
    // Copies name, address, Mosavra id, key, blank flag, frames, format version,
    // background and transparent index and palette. Emits no ContentChanged itself.
    virtual void Assign(const LEDImage& other);
    // Writes the image as an animated GIF that loops for ever: every frame rendered as
    // the fixture's face at width × height (LEDs of a twentieth of the sides, black face
    // and background), reduced to the image's palette. Transparency is the frame's flag
    // or else the image's transparent index (none when both are 0). The file is written
    // atomically: false, any previous file left whole, when it cannot be opened or
    // written completely, or when a side lies outside 1 .. 65535.
    virtual bool ExportGIF(const QString& path, int width, int height) const;
    // Renders frame `frameIndex` into `target` (a width × height ARGB32 picture) as the
    // fixture's face: a black face on `background`, LEDs of ledWidth × ledHeight pixels,
    // the outer ring a family-specific fraction of the sides from the edge. False,
    // target untouched, when the frame does not exist or the sizes are unusable.
    virtual bool RenderFrame(int frameIndex, int width, int height, double ledWidth, double ledHeight,
                             const QColor& background, QImage& target) const;
    // RenderFrame with the family's default LED size and a light grey background.
    virtual bool RenderFrameDefault(int frameIndex, int width, int height, QImage& target) const;

    int FrameCount() const;
    // Frame `index`, or null outside 0 .. FrameCount() - 1.
    const Frame* GetFrame(int index) const;
    // Appends a copy; false (image unchanged, no signal) when 255 frames are held.
    bool AddFrame(const Frame& frame);
    // Back to blank: no frames, format version 1, indices 0, black palette, empty name
    // (through SetName) and a newly drawn key. No ContentChanged of its own.
    void Clear();

    // Entry `index` (0 .. 255); black outside.
    LEDColor GetPaletteColor(int index) const;
    // False for an index outside 0 .. 255.
    bool SetPaletteColor(int index, LEDColor color);
    quint8 GetBackgroundIndex() const;
    bool SetBackgroundIndex(quint8 index);
    quint8 GetTransparentIndex() const;
    bool SetTransparentIndex(quint8 index);

    // Reads a file of this family into a new image without parent; null when the file
    // cannot be read. Unlike Load, an empty stored name stays empty.
    static std::unique_ptr<Image> LoadFile(const QString& path);

private:
    // Clears the blank flag and emits ContentChanged (under ContentMutex).
    void MarkChanged();
    // The render parameters of `frame` (its indices are referenced, not copied).
    static LEDImageRender RenderParameters(const Frame& frame, int width, int height, double ledWidth,
                                           double ledHeight, double marginX, double marginY,
                                           const QColor& background);

    bool blank_ = true;
    SharedFrames<Frame> frames_;
    quint8 formatVersion_ = 0;
    quint8 background_ = 0;
    quint8 transparent_ = 0;
    std::array<LEDColor, kPaletteSize> palette_{};
};
