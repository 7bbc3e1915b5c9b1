#include "tools/stock_content/StockContent.h"

#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "library/archive/CustomFileSystemEngineHandler.h"
#include "library/archive/FileLayer.h"
#include "library/config/ConfigFile.h"

#include <QColor>
#include <QCryptographicHash>
#include <QtEndian>

#include <cmath>
#include <functional>
#include <numbers>

namespace StockContent {
namespace {

// The policy the stock packages and their folders are governed by: read-only and
// view-only, whatever the package objects were built with.
constexpr char kPolicy[] = "StandardStockContentPolicy";

// Where an LED sits: the angle around the face (radians, 0 .. 2π) and the distance from
// the centre (0 .. 1), with the LED's number for patterns that scatter.
struct LedPlace
{
    double angle;
    double radius;
    int led;
};

// One image: its palette (index 0 stays black, the background) and, for every frame,
// the palette index of each LED.
struct Artwork
{
    QString name;
    int address;
    QList<QColor> palette; // entries 1, 2, ...
    int frames;
    int durationMs;
    std::function<int(const LedPlace&, int frame)> index;
};

struct FolderArt
{
    QString name;
    int address;
    QList<Artwork> items;
};

Artwork Solid(const QString& name, int address, QColor colour)
{
    return {name, address, {colour}, 1, 1000, [](const LedPlace&, int) { return 1; }};
}

QList<QColor> HueWheel(int steps)
{
    QList<QColor> colours;
    for (int i = 0; i < steps; ++i)
        colours.append(QColor::fromHsv(i * 360 / steps, 255, 255));
    return colours;
}

QList<QColor> Fade(QColor colour, int levels)
{
    QList<QColor> colours;
    for (int i = 1; i <= levels; ++i)
        colours.append(QColor::fromRgb(colour.red() * i / levels, colour.green() * i / levels, colour.blue() * i / levels));
    return colours;
}

// The same artwork for both families, drawn on each family's own face.
QList<FolderArt> Folders(int family)
{
    // Each family gets its own accent in the animations, so the two packages differ.
    const QColor accent = family == 0 ? QColor(255, 140, 0) : QColor(0, 200, 255);
    constexpr int kHues = 48;
    constexpr int kLevels = 16;
    const QList<QColor> rings{QColor(255, 0, 0), QColor(255, 255, 0), QColor(0, 255, 0),
                              QColor(0, 255, 255), QColor(0, 0, 255), QColor(255, 0, 255)};
    return {
        {QStringLiteral("Colours"), 1,
         {Solid(QStringLiteral("Red"), 1, QColor(255, 0, 0)), Solid(QStringLiteral("Green"), 2, QColor(0, 255, 0)),
          Solid(QStringLiteral("Blue"), 3, QColor(0, 0, 255)),
          Solid(QStringLiteral("Warm White"), 4, QColor(255, 214, 170))}},
        {QStringLiteral("Patterns"), 2,
         {
             // A colour wheel turning once every twelve frames.
             {QStringLiteral("Rainbow"), 1, HueWheel(kHues), 12, 80,
              [](const LedPlace& at, int frame) {
                  const int step = int(at.angle / (2 * std::numbers::pi) * kHues);
                  return 1 + (step + frame * kHues / 12) % kHues;
              }},
             // The accent breathing in and out, the centre leading the rim.
             {QStringLiteral("Pulse"), 2, Fade(accent, kLevels), 16, 60,
              [](const LedPlace& at, int frame) {
                  const int phase = (frame + int(at.radius * 4)) % 16;
                  const int level = phase < 8 ? phase * 2 : (16 - phase) * 2 - 1;
                  return 1 + qBound(0, level, kLevels - 1);
              }},
             // Coloured rings running outwards.
             {QStringLiteral("Rings"), 3, rings, 6, 120,
              [](const LedPlace& at, int frame) {
                  const int ring = int(std::lround(at.radius * 6));
                  return 1 + (ring + 6 - frame % 6) % 6;
              }},
             // Scattered white twinkles over the accent, the same on every build.
             {QStringLiteral("Sparkle"), 4, {accent.darker(300), QColor(255, 255, 255)}, 10, 100,
              [](const LedPlace& at, int frame) {
                  const quint32 hash = quint32(at.led) * 2654435761u ^ quint32(frame + 1) * 40503u;
                  return (hash >> 13) % 7 == 0 ? 2 : 1;
              }},
         }},
    };
}

// A key that stays the same from build to build; never 0.
quint32 StableKey(int family, const QString& folder, const QString& name)
{
    const QByteArray digest = QCryptographicHash::hash(
        QStringLiteral("%1/%2/%3").arg(family).arg(folder, name).toUtf8(), QCryptographicHash::Sha256);
    const quint32 key = qFromBigEndian<quint32>(digest.constData());
    return key ? key : 1;
}

template <class Image>
ArchiveResult WriteImage(int family, const FolderArt& folder, const Artwork& art, const QString& path)
{
    Image image;
    image.SetName(art.name);
    image.SetKey(StableKey(family, folder.name, art.name));
    for (int i = 0; i < art.palette.size(); ++i)
        image.SetPaletteColor(i + 1, LEDColor::FromRgb(art.palette.at(i).rgb()));
    QList<LedPlace> places;
    for (int led = 0; led < Image::kLedCount; ++led) {
        const QPointF at = Image::LedPosition(led);
        double angle = std::atan2(at.y(), at.x());
        if (angle < 0)
            angle += 2 * std::numbers::pi;
        places.append({angle, std::hypot(at.x(), at.y()), led});
    }
    for (int f = 0; f < art.frames; ++f) {
        typename Image::Frame frame;
        frame.duration = art.durationMs;
        for (const LedPlace& place : places)
            frame.indices[size_t(place.led)] = quint8(art.index(place, f));
        image.AddFrame(frame);
    }
    if (!image.Save(path))
        return ArchiveResult::Failure(QStringLiteral("\"%1\" could not be written").arg(path));
    return ArchiveResult::Success();
}

ArchiveResult WriteFolder(int family, const QString& package, const FolderArt& folder)
{
    const QString dir = package + QLatin1Char('/') + folder.name;
    if (!FileLayer::MakeDir(dir))
        return ArchiveResult::Failure(QStringLiteral("\"%1\" could not be made").arg(dir));
    LibraryConfig::Document config{LibraryConfig::Form::Folder, QString::fromLatin1(kPolicy), {}};
    for (const Artwork& art : folder.items) {
        const QString extension = family == 0 ? QStringLiteral(".bvi") : QStringLiteral(".cdli");
        const QString path = dir + QLatin1Char('/') + art.name + extension;
        const ArchiveResult written = family == 0 ? WriteImage<BrevantImage>(family, folder, art, path)
                                                  : WriteImage<CindralImage>(family, folder, art, path);
        if (!written)
            return written;
        config.entries.append({art.name, art.address, 0});
    }
    return LibraryConfig::Store(FileLayer::Dir(dir), config);
}

} // namespace

QString PackageFileName(int family)
{
    return family == 0 ? QStringLiteral("brevant_stock_content.qelpkg") : QStringLiteral("cindral_stock_content.qelpkg");
}

ArchiveResult WritePackage(int family, const QString& dir)
{
    const QString package = QDir(dir).absoluteFilePath(PackageFileName(family));
    CustomFileSystemEngineHandler::ArchiveWriterEnabler writing(
        package, CustomFileSystemEngineHandler::MemberEncoding::EncryptedRecords);
    LibraryConfig::Document config{LibraryConfig::Form::Package, QString::fromLatin1(kPolicy), {}};
    for (const FolderArt& folder : Folders(family)) {
        const ArchiveResult written = WriteFolder(family, package, folder);
        if (!written) {
            writing.Discard();
            return written;
        }
        config.entries.append({folder.name, folder.address, 0});
    }
    const ArchiveResult stored = LibraryConfig::Store(FileLayer::Dir(package), config);
    if (!stored) {
        writing.Discard();
        return stored;
    }
    return writing.Commit();
}

} // namespace StockContent
