#include "images/LEDImageRender.h"

#include <QImage>
#include <QPainter>

#include <cmath>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

namespace {

struct Run {
    int x;
    int y;
    int length;
    int led;
    int coverage; // 0 .. 255: how much of the pixel the LED's ellipse covers
};

struct Face {
    QImage base;
    std::vector<Run> runs;
};

// Everything a face depends on. The position function follows from the family.
struct FaceKey {
    int family;
    int ledCount;
    int width;
    int height;
    double ledWidth;
    double ledHeight;
    double marginX;
    double marginY;
    QRgb face;
    QRgb background;

    auto Tie() const
    {
        return std::tie(family, ledCount, width, height, ledWidth, ledHeight, marginX, marginY, face, background);
    }
    friend bool operator<(const FaceKey& a, const FaceKey& b) { return a.Tie() < b.Tie(); }
};

// The process-wide face cache, least recently used last.
class FaceCache
{
public:
    std::shared_ptr<const Face> Lookup(const FaceKey& key)
    {
        std::lock_guard lock(mutex_);
        auto found = index_.find(key);
        if (found == index_.end())
            return nullptr;
        order_.splice(order_.begin(), order_, found->second);
        return found->second->second;
    }

    void Insert(const FaceKey& key, std::shared_ptr<const Face> face)
    {
        std::lock_guard lock(mutex_);
        if (index_.count(key))
            return; // another thread built the same face meanwhile
        order_.emplace_front(key, std::move(face));
        index_.emplace(key, order_.begin());
        while (order_.size() > LEDImageRender::kMaxCachedFaces) {
            index_.erase(order_.back().first);
            order_.pop_back();
        }
    }

    std::size_t Size()
    {
        std::lock_guard lock(mutex_);
        return order_.size();
    }

private:
    using Entry = std::pair<FaceKey, std::shared_ptr<const Face>>;
    std::mutex mutex_;
    std::list<Entry> order_;
    std::map<FaceKey, std::list<Entry>::iterator> index_;
};

FaceCache& Cache()
{
    static FaceCache cache;
    return cache;
}

std::shared_ptr<const Face> BuildFace(const LEDImageRender& p)
{
    auto face = std::make_shared<Face>();
    face->base = QImage(p.width, p.height, QImage::Format_ARGB32);
    QImage mask(p.width, p.height, QImage::Format_RGB32);
    if (face->base.isNull() || mask.isNull())
        return nullptr;

    face->base.fill(p.backgroundColour);
    {
        QPainter painter(&face->base);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(p.faceColour);
        painter.drawEllipse(QRectF(0, 0, p.width, p.height));
    }

    const double ox = (p.width - p.ledWidth) / 2;
    const double oy = (p.height - p.ledHeight) / 2;
    const double sx = p.width / 2.0 - p.marginX - p.ledWidth / 2;
    const double sy = p.height / 2.0 - p.marginY - p.ledHeight / 2;

    mask.fill(0);
    QPainter painter(&mask);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    for (int led = 0; led < p.ledCount; ++led) {
        const QPointF unit = p.ledPosition(led);
        const double left = unit.x() * sx + ox;
        const double top = oy - unit.y() * sy;
        // Only the part of the LED's box inside the picture has pixels to fill.
        const int firstRow = std::max(0, int(std::floor(top)));
        const int endRow = std::min(p.height, int(std::ceil(top + p.ledHeight)));
        const int firstColumn = std::max(0, int(std::floor(left)));
        const int endColumn = std::min(p.width, int(std::ceil(left + p.ledWidth)));
        if (firstRow >= endRow || firstColumn >= endColumn)
            continue;
        // Clear the box first, so an LED whose box overlaps a neighbour's ellipse takes
        // none of the neighbour's pixels.
        painter.fillRect(QRect(firstColumn, firstRow, endColumn - firstColumn, endRow - firstRow), Qt::black);
        painter.drawEllipse(QRectF(left, top, p.ledWidth, p.ledHeight));
        for (int y = firstRow; y < endRow; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
            int x = firstColumn;
            while (x < endColumn) {
                const QRgb value = line[x] & 0x00ffffffu;
                int end = x + 1;
                while (end < endColumn && (line[end] & 0x00ffffffu) == value)
                    ++end;
                if (value != 0)
                    face->runs.push_back({x, y, end - x, led, qRed(value)});
                x = end;
            }
        }
    }
    return face;
}

} // namespace

bool LEDImageRender::RenderFrame(std::span<const LEDColor, 256> palette, QImage& target) const
{
    if (!ledPosition || !indices || ledCount < 1 || width < 1 || height < 1)
        return false;

    const FaceKey key{family,   ledCount,  width,   height,
                      ledWidth, ledHeight, marginX, marginY,
                      faceColour.rgba(), backgroundColour.rgba()};
    std::shared_ptr<const Face> face = Cache().Lookup(key);
    if (!face) {
        face = BuildFace(*this);
        if (!face)
            return false;
        Cache().Insert(key, face);
    }

    QImage picture = face->base.copy();
    if (picture.isNull())
        return false;
    for (const Run& run : face->runs) {
        const LEDColor colour = palette[indices[run.led]];
        const int k = run.coverage;
        const QRgb value = qRgb(colour.red * k / 255, colour.green * k / 255, colour.blue * k / 255);
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(run.y));
        std::fill_n(line + run.x, run.length, value);
    }
    target = std::move(picture);
    return true;
}

std::size_t LEDImageRender::CachedFaceCount()
{
    return Cache().Size();
}
