#include "images/LEDImage.h"

#include "content/ContentMutex.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/GIFWriter.h"
#include "images/ImageFile.h"
#include "images/Palette.h"

#include <QFileInfo>
#include <QImage>
#include <QSaveFile>
#include <algorithm>

namespace {

// The record form's duration field is 16 bits wide: a longer frame shows for the longest
// time the field can say rather than wrapping to a short one.
quint16 RecordDuration(qint32 milliseconds)
{
    return quint16(std::clamp<qint32>(milliseconds, 0, 0xFFFF));
}

} // namespace

template <class Image, class Traits>
LEDImage<Image, Traits>::LEDImage(ContentFolder* parent) : Content(parent)
{
}

template <class Image, class Traits>
LEDImage<Image, Traits>::~LEDImage() = default;

template <class Image, class Traits>
Content* LEDImage<Image, Traits>::Clone()
{
    ContentLocker lock(&ContentMutex);
    auto* copy = new Image();
    copy->Assign(*this);
    return copy;
}

template <class Image, class Traits>
bool LEDImage<Image, Traits>::Load(const QString& path)
{
    // The whole record is read before the image is touched, so a bad file changes
    // nothing; the file is read without holding ContentMutex.
    Record record;
    if (!ReadImageRecordFile(path, record))
        return false;
    if (record.Name().isEmpty())
        record.SetName(QFileInfo(path).baseName());
    return FromRDMImage(record);
}

template <class Image, class Traits>
bool LEDImage<Image, Traits>::Save(const QString& path)
{
    Record record;
    if (!ToRDMImage(record))
        return false;
    return WriteImageRecordFile(path, record);
}

template <class Image, class Traits>
bool LEDImage<Image, Traits>::IsNotLoaded() const
{
    ContentLocker lock(&ContentMutex);
    return blank_;
}

template <class Image, class Traits>
void LEDImage<Image, Traits>::GetHeader(LEDImageHeader& header) const
{
    ContentLocker lock(&ContentMutex);
    header.formatVersion = formatVersion_;
    header.frameCount = quint8(frames_.Read().size());
    header.backgroundIndex = background_;
    header.transparentIndex = transparent_;
    header.palette = palette_;
}

template <class Image, class Traits>
quint8 LEDImage<Image, Traits>::GetFormatVersion() const
{
    ContentLocker lock(&ContentMutex);
    return formatVersion_;
}

template <class Image, class Traits>
bool LEDImage<Image, Traits>::SetFormatVersion(quint8 version)
{
    ContentLocker lock(&ContentMutex);
    formatVersion_ = version;
    return true;
}

template <class Image, class Traits>
bool LEDImage<Image, Traits>::FromRDMImage(const QelRDMImage& record)
{
    const auto* own = dynamic_cast<const Record*>(&record);
    if (!own)
        return false;
    ContentLocker lock(&ContentMutex);
    Clear();
    formatVersion_ = own->FormatVersion();
    background_ = own->BackgroundIndex();
    transparent_ = own->TransparentIndex();
    for (int i = 0; i < kPaletteSize; ++i)
        palette_[std::size_t(i)] = own->PaletteColor(i);
    SetKey(own->Key());
    SetName(own->Name());
    const int count = std::min(own->FrameCount(), kMaxFrames);
    auto& frames = frames_.Write();
    frames.resize(std::size_t(count));
    for (int f = 0; f < count; ++f) {
        Frame& frame = frames[std::size_t(f)];
        frame.flag = own->FrameFlag(f);
        frame.duration = own->FrameDuration(f);
        std::copy_n(own->FrameIndices(f), kLedCount, frame.indices.begin());
    }
    MarkChanged();
    return true;
}

template <class Image, class Traits>
bool LEDImage<Image, Traits>::ToRDMImage(QelRDMImage& record) const
{
    auto* own = dynamic_cast<Record*>(&record);
    if (!own)
        return false;
    ContentLocker lock(&ContentMutex);
    own->SetFormatVersion(QelRDMImage::kFormatVersion);
    const auto& frames = frames_.Read();
    own->SetHeaderFrameCount(quint8(frames.size()));
    own->SetBackgroundIndex(background_);
    own->SetTransparentIndex(transparent_);
    own->SetKey(Key());
    own->SetName(GetName());
    for (int i = 0; i < kPaletteSize; ++i)
        own->SetPaletteColor(i, palette_[std::size_t(i)]);
    own->ClearFrames(int(frames.size()));
    for (const Frame& frame : frames)
        own->AppendFrame(frame.flag, RecordDuration(frame.duration), frame.indices.data());
    return true;
}

template <class Image, class Traits>
void LEDImage<Image, Traits>::Assign(const LEDImage& other)
{
    if (&other == this)
        return;
    ContentLocker lock(&ContentMutex);
    SetName(other.GetName());
    SetAddress(other.GetAddress());
    SetMosavraID(other.GetMosavraID());
    SetKey(other.Key());
    blank_ = other.blank_;
    frames_ = other.frames_;
    formatVersion_ = other.formatVersion_;
    background_ = other.background_;
    transparent_ = other.transparent_;
    palette_ = other.palette_;
}

template <class Image, class Traits>
bool LEDImage<Image, Traits>::ExportGIF(const QString& path, int width, int height) const
{
    if (width < 1 || height < 1 || width > kGIFMaxSide || height > kGIFMaxSide)
        return false;

    // A snapshot taken under the lock is what gets written, so the file shows one state
    // of the image while rendering and writing run without holding ContentMutex. The
    // snapshot shares the frames: a change meanwhile gives the image a copy of its own.
    SharedFrames<Frame> snapshot;
    std::array<LEDColor, kPaletteSize> palette;
    quint8 background = 0;
    quint8 transparent = 0;
    {
        ContentLocker lock(&ContentMutex);
        snapshot = frames_;
        palette = palette_;
        background = background_;
        transparent = transparent_;
    }

    const auto& frames = snapshot.Read();

    std::array<QRgb, kPaletteSize> table;
    std::transform(palette.begin(), palette.end(), table.begin(), [](LEDColor c) { return c.ToRgb(); });

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    bool ok = WriteGIFHeader(file, table, width, height, background);
    // One cache for every frame: the frames share most of their colours.
    NearestPaletteCache nearest(table);
    // Both families export with the same LED size and no margin.
    const double ledWidth = qRound(width / 20.0);
    const double ledHeight = qRound(height / 20.0);
    for (std::size_t f = 0; ok && f < frames.size(); ++f) {
        QImage picture;
        const LEDImageRender render =
            RenderParameters(frames[f], width, height, ledWidth, ledHeight, 0, 0, Qt::black);
        ok = render.RenderFrame(palette, picture);
        if (!ok)
            break;
        GIFFrameControl control;
        control.durationMs = frames[f].duration;
        if (frames[f].flag != 0) {
            control.transparent = true;
            control.transparentIndex = frames[f].flag;
        } else if (transparent != 0) {
            control.transparent = true;
            control.transparentIndex = transparent;
        }
        ok = WriteGIFFrame(file, control, ToIndexedPicture(picture, nearest));
    }
    // Flush before committing: commit() does not notice a failing last write.
    ok = ok && WriteGIFTrailer(file) && file.flush();
    if (!ok) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

template <class Image, class Traits>
bool LEDImage<Image, Traits>::RenderFrame(int frameIndex, int width, int height, double ledWidth,
                                          double ledHeight, const QColor& background, QImage& target) const
{
    // Copied under the lock: the image may be emptied on another thread meanwhile.
    Frame frame;
    std::array<LEDColor, kPaletteSize> palette;
    {
        ContentLocker lock(&ContentMutex);
        const auto& frames = frames_.Read();
        if (frameIndex < 0 || frameIndex >= int(frames.size()))
            return false;
        frame = frames[std::size_t(frameIndex)];
        palette = palette_;
    }
    const LEDImageRender render =
        RenderParameters(frame, width, height, ledWidth, ledHeight, qRound(double(width) / Image::kRenderMarginDivisor),
                         qRound(double(height) / Image::kRenderMarginDivisor), background);
    return render.RenderFrame(palette, target);
}

template <class Image, class Traits>
bool LEDImage<Image, Traits>::RenderFrameDefault(int frameIndex, int width, int height, QImage& target) const
{
    return RenderFrame(frameIndex, width, height, qRound(double(width) / Image::kRenderLedDivisor),
                       qRound(double(height) / Image::kRenderLedDivisor), QColor(192, 192, 192), target);
}

template <class Image, class Traits>
LEDImageRender LEDImage<Image, Traits>::RenderParameters(const Frame& frame, int width, int height,
                                                         double ledWidth, double ledHeight, double marginX,
                                                         double marginY, const QColor& background)
{
    LEDImageRender render;
    render.ledPosition = &Image::LedPosition;
    render.family = kFamilyId;
    render.indices = frame.indices.data();
    render.ledCount = kLedCount;
    render.width = width;
    render.height = height;
    render.ledWidth = ledWidth;
    render.ledHeight = ledHeight;
    render.marginX = marginX;
    render.marginY = marginY;
    render.faceColour = Qt::black;
    render.backgroundColour = background;
    return render;
}

template <class Image, class Traits>
int LEDImage<Image, Traits>::FrameCount() const
{
    ContentLocker lock(&ContentMutex);
    return int(frames_.Read().size());
}

template <class Image, class Traits>
auto LEDImage<Image, Traits>::GetFrame(int index) const -> const Frame*
{
    ContentLocker lock(&ContentMutex);
    const auto& frames = frames_.Read();
    if (index < 0 || index >= int(frames.size()))
        return nullptr;
    return &frames[std::size_t(index)];
}

template <class Image, class Traits>
bool LEDImage<Image, Traits>::AddFrame(const Frame& frame)
{
    ContentLocker lock(&ContentMutex);
    if (int(frames_.Read().size()) >= kMaxFrames)
        return false;
    frames_.Write().push_back(frame);
    MarkChanged();
    return true;
}

template <class Image, class Traits>
void LEDImage<Image, Traits>::Clear()
{
    ContentLocker lock(&ContentMutex);
    blank_ = true;
    frames_.Clear();
    formatVersion_ = QelRDMImage::kFormatVersion;
    background_ = 0;
    transparent_ = 0;
    palette_.fill(LEDColor{});
    SetName(QString());
    DrawNewKey();
}

template <class Image, class Traits>
LEDColor LEDImage<Image, Traits>::GetPaletteColor(int index) const
{
    ContentLocker lock(&ContentMutex);
    if (index < 0 || index >= kPaletteSize)
        return {};
    return palette_[std::size_t(index)];
}

template <class Image, class Traits>
bool LEDImage<Image, Traits>::SetPaletteColor(int index, LEDColor color)
{
    if (index < 0 || index >= kPaletteSize)
        return false;
    ContentLocker lock(&ContentMutex);
    palette_[std::size_t(index)] = color;
    MarkChanged();
    return true;
}

template <class Image, class Traits>
quint8 LEDImage<Image, Traits>::GetBackgroundIndex() const
{
    ContentLocker lock(&ContentMutex);
    return background_;
}

template <class Image, class Traits>
bool LEDImage<Image, Traits>::SetBackgroundIndex(quint8 index)
{
    ContentLocker lock(&ContentMutex);
    background_ = index;
    MarkChanged();
    return true;
}

template <class Image, class Traits>
quint8 LEDImage<Image, Traits>::GetTransparentIndex() const
{
    ContentLocker lock(&ContentMutex);
    return transparent_;
}

template <class Image, class Traits>
bool LEDImage<Image, Traits>::SetTransparentIndex(quint8 index)
{
    ContentLocker lock(&ContentMutex);
    transparent_ = index;
    MarkChanged();
    return true;
}

template <class Image, class Traits>
std::unique_ptr<Image> LEDImage<Image, Traits>::LoadFile(const QString& path)
{
    Record record;
    if (!ReadImageRecordFile(path, record))
        return nullptr;
    auto image = std::make_unique<Image>();
    image->FromRDMImage(record);
    return image;
}

template <class Image, class Traits>
void LEDImage<Image, Traits>::MarkChanged()
{
    ContentLocker lock(&ContentMutex);
    blank_ = false;
    emit ContentChanged();
}

// The two families; the members above exist for them only.
template class LEDImage<BrevantImage, BrevantImage::FamilyTraits>;
template class LEDImage<CindralImage, CindralImage::FamilyTraits>;
