// Picture import: any picture (recognised by its content) read frame by frame with
// ReadImageFrames into the LED image importer of either family, with settings from the
// input, and committed to an image.
#include "fuzz/FuzzSupport.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/ImageFrames.h"
#include "images/LEDImageImporter.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

namespace fuzz_target {
namespace {

// The settings bytes every input begins with.
constexpr int kSettingsSize = 12;

template <class Image>
void Import(fuzz::Input& settings, const QString& path)
{
    const int x1 = settings.Byte() - 8, y1 = settings.Byte() - 8, x2 = settings.Byte(), y2 = settings.Byte();
    const int sample = settings.Byte() % 40 - 2;
    const float brightness = settings.Byte() / 64.0f;
    const float contrast = (settings.Byte() - 128) / 64.0f;
    const float luminance = (settings.Byte() - 128) / 32.0f;
    const float distance = settings.Byte() / 32.0f;
    const float cutoff = settings.Byte() / 255.0f;
    const quint8 mode = settings.Byte();
    const int inset = settings.Byte() % 64 - 4;
    LEDImageImporter<Image> importer(x1, y1, x2, y2, sample, sample, brightness, contrast, luminance, distance, cutoff,
                                     mode & 0x80, mode & 3, (mode >> 2) % 8 * 10, inset, inset);
    ReadImageFrames(path, 255, 100, importer);
    Image image;
    if (importer.Finish(image)) {
        fuzz::Require(image.FrameCount() >= 1 && image.FrameCount() <= 255, "an import gives 1 to 255 frames");
        fuzz::Require(image.GetTransparentIndex() == 255, "an import's transparent index is 255");
    }
}

QByteArray Encoded(const QImage& picture, const char* format)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    fuzz::Require(picture.save(&buffer, format), "a seed picture encoded");
    return buffer.data();
}

} // namespace

void Setup() {}

void WriteSeeds()
{
    const QByteArray settings = QByteArray::fromHex("0808404010404080404000000");
    QImage picture(48, 40, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgba(x * 5, y * 6, (x ^ y) * 8, 200 + (x & 31)));
    fuzz::Seed(QStringLiteral("picture.png"), settings.left(kSettingsSize) + Encoded(picture, "PNG"));
    fuzz::Seed(QStringLiteral("picture.bmp"), settings.left(kSettingsSize) + Encoded(picture.convertToFormat(QImage::Format_RGB32), "BMP"));
    fuzz::Seed(QStringLiteral("picture.jpg"), settings.left(kSettingsSize) + Encoded(picture, "JPEG"));
    fuzz::Seed(QStringLiteral("picture.ppm"), settings.left(kSettingsSize) + Encoded(picture, "PPM"));
    // An animation as the program exports one.
    BrevantImage animation;
    animation.Clear();
    for (int i = 0; i < 256; ++i)
        animation.SetPaletteColor(i, LEDColor{quint8(i), quint8(255 - i), quint8(i * 7)});
    for (int f = 0; f < 4; ++f) {
        BrevantImage::Frame frame;
        frame.duration = 50 * (f + 1);
        for (int led = 0; led < BrevantImage::kLedCount; ++led)
            frame.indices[size_t(led)] = quint8(led * (f + 3));
        animation.AddFrame(frame);
    }
    const QString gif = fuzz::ScratchPath(QStringLiteral("seed.gif"));
    fuzz::Require(animation.ExportGIF(gif, 32, 32), "a seed animation exported");
    QFile file(gif);
    fuzz::Require(file.open(QIODevice::ReadOnly), "the seed animation reads");
    QByteArray cindral = settings.left(kSettingsSize);
    cindral[10] = char(0x81);
    fuzz::Seed(QStringLiteral("animation.gif"), cindral + file.readAll());
}

void Run(const std::uint8_t* data, std::size_t size)
{
    if (size < std::size_t(kSettingsSize))
        return;
    fuzz::Input settings(data, kSettingsSize);
    const QString path = fuzz::ScratchPath(QStringLiteral("picture"));
    fuzz::WriteFile(path, QByteArray(reinterpret_cast<const char*>(data) + kSettingsSize, qsizetype(size - kSettingsSize)));
    if (data[10] & 1)
        Import<CindralImage>(settings, path);
    else
        Import<BrevantImage>(settings, path);
}

} // namespace fuzz_target
