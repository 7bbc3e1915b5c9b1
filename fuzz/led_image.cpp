// LED image records (".bvi", ".cdli"): QelRDMImage's reader and LEDImage::Load through the
// file layer, from a plain file or from a package member. What is loaded and saved again
// reads back to the same bytes.
#include "fuzz/FuzzSupport.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "library/archive/ArchiveIndex.h"
#include "library/archive/CustomFileSystemEngineHandler.h"
#include "library/archive/FileLayer.h"

#include <QBuffer>
#include <QFile>

namespace fuzz_target {
namespace {

QByteArray ReadWhole(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

template <class Image>
QByteArray SavedBytes(Image& image, const QString& name)
{
    const QString path = fuzz::ScratchPath(name);
    fuzz::Require(image.Save(path), "a loaded image saves");
    return ReadWhole(path);
}

template <class Image>
void LoadAndSave(const QString& path)
{
    Image image;
    if (!image.Load(path))
        return;
    const QByteArray saved = SavedBytes(image, QStringLiteral("saved.") + image.FileExtension());
    Image again;
    fuzz::Require(again.Load(fuzz::ScratchPath(QStringLiteral("saved.") + image.FileExtension())), "a saved image loads");
    fuzz::Require(SavedBytes(again, QStringLiteral("again.") + image.FileExtension()) == saved,
                  "an image saved, loaded and saved again gives the same bytes");
    fuzz::Require(again.FrameCount() == image.FrameCount() && again.GetName() == image.GetName(),
                  "a saved image reads back the same frames and name");
}

template <class Image>
void Make(const QString& name, int frames, quint8 seed)
{
    Image image;
    image.Clear();
    image.SetName(name);
    image.SetBackgroundIndex(seed);
    image.SetTransparentIndex(quint8(seed + 1));
    for (int i = 0; i < 256; ++i)
        image.SetPaletteColor(i, LEDColor{quint8(i), quint8(i * 3 + seed), quint8(255 - i)});
    for (int f = 0; f < frames; ++f) {
        typename Image::Frame frame;
        frame.duration = 40 * (f + 1);
        frame.flag = quint8(f % 3);
        for (int led = 0; led < Image::kLedCount; ++led)
            frame.indices[size_t(led)] = quint8(led * (f + 1) + seed);
        image.AddFrame(frame);
    }
    const QString file = name + QLatin1Char('.') + image.FileExtension();
    // The selector byte: even for a plain file, the family by bit 1.
    const char selector = char(Image::kFamilyId << 1);
    fuzz::Require(image.Save(fuzz::ScratchPath(file)), "a seed image saves");
    fuzz::Seed(file, QByteArray(1, selector) + ReadWhole(fuzz::ScratchPath(file)));
}

} // namespace

void Setup() {}

void WriteSeeds()
{
    Make<BrevantImage>(QStringLiteral("one"), 1, 0);
    Make<BrevantImage>(QStringLiteral("Sixteen chars ok"), 12, 7);
    Make<CindralImage>(QStringLiteral("two"), 3, 9);
    Make<CindralImage>(QString(), 0, 1);
    // A short (type-1) frame record behind a header, in a package.
    QByteArray old(QelRDMImage::kHeaderSize, '\0');
    old[0] = 1;
    old[1] = 1;
    QByteArray frame(8 + CindralRDMImage::kLedCount, '\x05');
    frame[0] = 1;
    fuzz::Seed(QStringLiteral("short-frame-in-package"), QByteArray(1, char(3)) + old + frame);
}

void Run(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const quint8 selector = input.Byte();
    const bool second = selector & 2;
    const QByteArray bytes = input.Rest();
    const QString extension = second ? QStringLiteral("cdli") : QStringLiteral("bvi");

    QString path = fuzz::ScratchPath(QStringLiteral("in.") + extension);
    if (selector & 1) {
        // Through a package member.
        const QString package = fuzz::ScratchPath(QStringLiteral("in.qelpkg"));
        QFile::remove(package);
        ArchiveLibInterface::ArchiveIndexCache::Clear();
        {
            CustomFileSystemEngineHandler::ArchiveWriterEnabler writing(package);
            FileLayer::File member(package + QStringLiteral("/f/in.") + extension);
            fuzz::Require(member.open(QIODevice::WriteOnly) && member.write(bytes) == bytes.size()
                              && member.Close().Ok(),
                          "a member written");
            fuzz::Require(writing.Commit().Ok(), "a package written");
        }
        path = package + QStringLiteral("/f/in.") + extension;
    } else {
        fuzz::WriteFile(path, bytes);
    }

    // The record alone, as the fixtures' transfers use it.
    {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        BrevantRDMImage brevant;
        CindralRDMImage cindral;
        QelRDMImage& record = second ? static_cast<QelRDMImage&>(cindral) : brevant;
        if (record.ReadFrom(buffer)) {
            fuzz::Require(record.FrameCount() <= QelRDMImage::kMaxFrames, "at most 255 frames");
            const QByteArray flat = record.Flatten();
            fuzz::Require(flat.size() == record.HeaderSize() + qsizetype(record.FrameCount()) * record.FrameSize(),
                          "a flattened record is header and frames");
        }
    }
    if (second)
        LoadAndSave<CindralImage>(path);
    else
        LoadAndSave<BrevantImage>(path);
}

} // namespace fuzz_target
