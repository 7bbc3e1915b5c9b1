#include "tools/artwork/Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

#include <cmath>
#include <functional>
#include <initializer_list>

namespace artwork {
namespace {

// The house colours: a night-blue stage, teal trim and warm light.
const QColor kNightTop(0x1d, 0x3b, 0x5e);
const QColor kNightBottom(0x0c, 0x16, 0x25);
const QColor kTeal(0x2a, 0x8f, 0xa3);
const QColor kTealLight(0x8f, 0xd0, 0xdb);
const QColor kAmber(0xff, 0xb3, 0x47);
const QColor kAmberDeep(0xe8, 0x84, 0x14);
const QColor kMetal(0x9a, 0xa6, 0xb2);
const QColor kMetalDark(0x3c, 0x46, 0x52);
const QColor kOutline(0x22, 0x2a, 0x33);

constexpr double kPi = 3.14159265358979323846;

// A transparent picture of w x h pixels painted by `paint` in a grid of `gridWidth` units
// across (so one drawing serves several sizes).
QImage Draw(int w, int h, double gridWidth, const std::function<void(QPainter&)>& paint)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(w / gridWidth, w / gridWidth);
    paint(p);
    p.end();
    return image;
}

QImage Icon16(const std::function<void(QPainter&)>& paint)
{
    return Draw(16, 16, 16.0, paint);
}

QFont Font(double pixelSize, QFont::Weight weight)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(std::lround(pixelSize)));
    font.setWeight(weight);
    return font;
}

// A closed straight-edged shape in the painter's pen, filled with `fill`.
void Polygon(QPainter& p, std::initializer_list<QPointF> corners, const QBrush& fill)
{
    p.setBrush(fill);
    p.drawPolygon(QPolygonF(QList<QPointF>(corners)));
}

// A soft disc of light: `colour` at `alpha` in the centre, fading out at `radius`.
void DrawGlow(QPainter& p, QPointF centre, double radius, QColor colour, int alpha)
{
    QRadialGradient glow(centre, radius);
    colour.setAlpha(alpha);
    glow.setColorAt(0.0, colour);
    colour.setAlpha(0);
    glow.setColorAt(1.0, colour);
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(centre, radius, radius);
}

// The stage gradient behind the banner: vertical only, so the three banner pieces join
// without a seam however wide the middle one is stretched.
void FillNight(QPainter& p, const QRectF& rect)
{
    QLinearGradient night(0, rect.top(), 0, rect.bottom());
    night.setColorAt(0.0, kNightTop);
    night.setColorAt(1.0, kNightBottom);
    p.fillRect(rect, night);
    p.fillRect(QRectF(rect.left(), rect.bottom() - 2, rect.width(), 2), kTeal);
}

// An LED face as the fixtures have it: dots on a hexagonal grid of `rings` rings around a
// centre dot, coloured round the hue circle, each with a soft glow.
void DrawLedFace(QPainter& p, QPointF centre, double pitch, int rings, double dotRadius, bool glow)
{
    for (int q = -rings; q <= rings; ++q) {
        for (int r = -rings; r <= rings; ++r) {
            const int s = -q - r;
            if (std::abs(s) > rings)
                continue;
            const QPointF at(centre.x() + pitch * (q + r / 2.0), centre.y() + pitch * r * std::sqrt(3.0) / 2.0);
            const QPointF offset = at - centre;
            const double distance = std::hypot(offset.x(), offset.y());
            QColor colour = Qt::white;
            if (distance > 0.01) {
                const double hue = std::fmod(std::atan2(offset.y(), offset.x()) / (2 * kPi) + 1.0, 1.0);
                const double saturation = std::min(1.0, 0.35 + distance / (pitch * rings) * 0.65);
                colour = QColor::fromHsvF(float(hue), float(saturation), 1.0f);
            }
            if (glow)
                DrawGlow(p, at, dotRadius * 2.4, colour, 140);
            QRadialGradient dot(at - QPointF(dotRadius * 0.3, dotRadius * 0.3), dotRadius * 1.3);
            dot.setColorAt(0.0, colour.lighter(150));
            dot.setColorAt(1.0, colour);
            p.setPen(Qt::NoPen);
            p.setBrush(dot);
            p.drawEllipse(at, dotRadius, dotRadius);
        }
    }
}

// The round bezel of a fixture's face with its LED dots, the program's mark.
void DrawMark(QPainter& p, QPointF centre, double radius, int rings)
{
    QRadialGradient bezel(centre - QPointF(radius * 0.3, radius * 0.4), radius * 1.4);
    bezel.setColorAt(0.0, QColor(0x5b, 0x6b, 0x7c));
    bezel.setColorAt(1.0, QColor(0x10, 0x18, 0x22));
    p.setPen(QPen(QColor(0xc8, 0xd3, 0xdd), radius * 0.07));
    p.setBrush(bezel);
    p.drawEllipse(centre, radius, radius);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x05, 0x09, 0x10));
    p.drawEllipse(centre, radius * 0.84, radius * 0.84);
    const double pitch = radius * 0.78 / (rings + 0.5);
    DrawLedFace(p, centre, pitch, rings, pitch * 0.36, true);
}

// A moving-head fixture in a 16-unit box: yoke, base, round head with a lit lens.
void DrawFixture(QPainter& p, const QRectF& box, const QColor& light = kAmber)
{
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width() / 16.0, box.height() / 16.0);
    const QPen outline(kOutline, 0.9);

    QLinearGradient steel(0, 0, 16, 0);
    steel.setColorAt(0.0, kMetal);
    steel.setColorAt(1.0, kMetalDark);
    p.setPen(outline);
    Polygon(p, {{1.8, 5.5}, {3.4, 5.5}, {3.4, 12.2}, {12.6, 12.2}, {12.6, 5.5}, {14.2, 5.5}, {14.2, 13.8}, {1.8, 13.8}},
            steel);
    p.drawRoundedRect(QRectF(4.2, 13.6, 7.6, 2.0), 0.8, 0.8);

    QRadialGradient body(QPointF(6.5, 5.5), 6.5);
    body.setColorAt(0.0, QColor(0x6d, 0x7a, 0x88));
    body.setColorAt(1.0, QColor(0x1c, 0x23, 0x2c));
    p.setBrush(body);
    p.drawEllipse(QPointF(8, 7.6), 4.9, 4.9);

    QRadialGradient lens(QPointF(7.3, 6.9), 3.2);
    lens.setColorAt(0.0, Qt::white);
    lens.setColorAt(0.45, light.lighter(130));
    lens.setColorAt(1.0, light.darker(140));
    p.setPen(Qt::NoPen);
    p.setBrush(lens);
    p.drawEllipse(QPointF(8, 7.6), 3.0, 3.0);
    p.restore();
}

// A small round badge in the lower right corner of a 16-unit icon, for the marks that
// tell one fixture command from another.
void DrawCornerDisc(QPainter& p, const QColor& top, const QColor& bottom)
{
    QLinearGradient fill(0, 8.5, 0, 15.5);
    fill.setColorAt(0.0, top);
    fill.setColorAt(1.0, bottom);
    p.setPen(QPen(bottom.darker(160), 0.8));
    p.setBrush(fill);
    p.drawEllipse(QPointF(12, 12), 3.7, 3.7);
}

// ---- the icons ----

QImage AppIcon(int size)
{
    return Draw(size, size, 32.0, [](QPainter& p) {
        QLinearGradient tile(0, 1, 0, 31);
        tile.setColorAt(0.0, kNightTop.lighter(125));
        tile.setColorAt(1.0, kNightBottom);
        p.setPen(QPen(kTeal, 1.2));
        p.setBrush(tile);
        p.drawRoundedRect(QRectF(1, 1, 30, 30), 7, 7);
        DrawMark(p, QPointF(16, 16), 11.5, 2);
    });
}

QImage Truss()
{
    return Icon16([](QPainter& p) {
        const QPen brace(kMetalDark, 1.2);
        p.setPen(brace);
        QPainterPath zigzag;
        zigzag.moveTo(2, 11);
        for (int i = 0; i < 3; ++i) {
            zigzag.lineTo(2 + 4 * i + 2, 5);
            zigzag.lineTo(2 + 4 * i + 4, 11);
        }
        p.setBrush(Qt::NoBrush);
        p.drawPath(zigzag);
        QLinearGradient tube(0, 0, 0, 2.6);
        tube.setSpread(QGradient::RepeatSpread);
        tube.setColorAt(0.0, QColor(0xe6, 0xec, 0xf1));
        tube.setColorAt(1.0, kMetal.darker(120));
        p.setPen(QPen(kOutline, 0.8));
        p.setBrush(tube);
        p.drawRoundedRect(QRectF(0.6, 3.4, 14.8, 2.2), 1.1, 1.1);
        p.drawRoundedRect(QRectF(0.6, 10.4, 14.8, 2.2), 1.1, 1.1);
    });
}

void DrawDatabase(QPainter& p)
{
    QLinearGradient side(2, 0, 14, 0);
    side.setColorAt(0.0, kTeal.lighter(140));
    side.setColorAt(0.5, kTeal);
    side.setColorAt(1.0, kTeal.darker(170));
    p.setPen(QPen(kTeal.darker(260), 0.8));
    p.setBrush(side);
    for (int layer = 2; layer >= 0; --layer) {
        const double top = 2.2 + layer * 3.8;
        QPainterPath slab;
        slab.moveTo(2.2, top + 1.6);
        slab.lineTo(2.2, top + 4.6);
        slab.arcTo(QRectF(2.2, top + 3.0, 11.6, 3.2), 180, 180);
        slab.lineTo(13.8, top + 1.6);
        slab.closeSubpath();
        p.drawPath(slab);
        p.setBrush(kTealLight);
        p.drawEllipse(QRectF(2.2, top, 11.6, 3.2));
        p.setBrush(side);
    }
}

// A folder in a 16-unit box: back panel with its tab, paper, front panel.
void DrawFolder(QPainter& p)
{
    const QColor edge(0x9a, 0x66, 0x0c);
    p.setPen(QPen(edge, 0.8));
    QLinearGradient back(0, 2, 0, 14);
    back.setColorAt(0.0, QColor(0xe9, 0xae, 0x2e));
    back.setColorAt(1.0, QColor(0xc2, 0x82, 0x12));
    p.setBrush(back);
    QPainterPath rear;
    rear.moveTo(1.0, 3.8);
    rear.quadTo(1.0, 2.6, 2.2, 2.6);
    rear.lineTo(5.8, 2.6);
    rear.lineTo(7.2, 4.0);
    rear.lineTo(13.8, 4.0);
    rear.quadTo(15.0, 4.0, 15.0, 5.2);
    rear.lineTo(15.0, 13.4);
    rear.lineTo(1.0, 13.4);
    rear.closeSubpath();
    p.drawPath(rear);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xfb, 0xf7, 0xee));
    p.drawRect(QRectF(2.4, 4.8, 11.2, 5.0));
    QLinearGradient front(0, 6, 0, 14);
    front.setColorAt(0.0, QColor(0xff, 0xd7, 0x6a));
    front.setColorAt(1.0, QColor(0xf0, 0xaf, 0x2a));
    p.setPen(QPen(edge, 0.8));
    Polygon(p, {{1.0, 13.4}, {2.2, 6.6}, {15.0, 6.6}, {15.0, 13.4}}, front);
}

// A taped carton in a 16-unit box, seen from above one corner.
void DrawPackage(QPainter& p)
{
    p.setPen(QPen(QColor(0x6b, 0x3f, 0x12), 0.7));
    Polygon(p, {{8, 1.2}, {15, 4.4}, {8, 7.6}, {1, 4.4}}, QColor(0xf3, 0xc0, 0x7c));
    Polygon(p, {{1, 4.4}, {8, 7.6}, {8, 15}, {1, 11.8}}, QColor(0xd8, 0x95, 0x4a));
    Polygon(p, {{15, 4.4}, {8, 7.6}, {8, 15}, {15, 11.8}}, QColor(0xb0, 0x6f, 0x2c));
    // The tape across the lid and down the front edge.
    p.setPen(Qt::NoPen);
    const QColor tape(0x2a, 0x8f, 0xa3, 230);
    Polygon(p, {{4.2, 2.8}, {5.6, 2.2}, {12.6, 5.4}, {11.2, 6.0}}, tape);
    Polygon(p, {{11.2, 6.0}, {12.6, 5.4}, {12.6, 9.4}, {11.2, 10.0}}, tape);
}

void DrawContent(QPainter& p)
{
    QLinearGradient frame(0, 1, 0, 15);
    frame.setColorAt(0.0, QColor(0x2c, 0x36, 0x44));
    frame.setColorAt(1.0, QColor(0x0a, 0x0f, 0x16));
    p.setPen(QPen(QColor(0x8d, 0x99, 0xa6), 0.8));
    p.setBrush(frame);
    p.drawRoundedRect(QRectF(1, 1, 14, 14), 2.5, 2.5);
    DrawLedFace(p, QPointF(8, 8), 3.6, 1, 1.45, false);
}

QImage UnknownContent()
{
    return Draw(96, 96, 96.0, [](QPainter& p) {
        QLinearGradient tile(0, 4, 0, 92);
        tile.setColorAt(0.0, QColor(0x5c, 0x67, 0x73));
        tile.setColorAt(1.0, QColor(0x2b, 0x32, 0x3a));
        p.setPen(QPen(QColor(0xa9, 0xb4, 0xbf), 2.0, Qt::DashLine));
        p.setBrush(tile);
        p.drawRoundedRect(QRectF(4, 4, 88, 88), 12, 12);
        // Unlit LEDs where the picture would be.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 28));
        for (int q = -3; q <= 3; ++q)
            for (int r = -3; r <= 3; ++r)
                if (std::abs(q + r) <= 3)
                    p.drawEllipse(QPointF(48 + 11 * (q + r / 2.0), 48 + 11 * r * std::sqrt(3.0) / 2.0), 3.4, 3.4);
        p.setPen(QColor(0xe4, 0xea, 0xf0));
        p.setFont(Font(52, QFont::Bold));
        p.drawText(QRectF(4, 2, 88, 88), Qt::AlignCenter, QStringLiteral("?"));
    });
}

QImage Help()
{
    return Icon16([](QPainter& p) {
        QLinearGradient disc(0, 1, 0, 15);
        disc.setColorAt(0.0, QColor(0x5a, 0xa9, 0xf0));
        disc.setColorAt(1.0, QColor(0x1a, 0x5e, 0xb0));
        p.setPen(QPen(QColor(0x10, 0x3c, 0x74), 0.8));
        p.setBrush(disc);
        p.drawEllipse(QPointF(8, 8), 7, 7);
        p.setPen(Qt::white);
        p.setFont(Font(12, QFont::Bold));
        p.drawText(QRectF(0, 0, 16, 16.5), Qt::AlignCenter, QStringLiteral("?"));
    });
}

QImage Power()
{
    return Icon16([](QPainter& p) {
        const QColor red(0xd6, 0x30, 0x3a);
        QPen stroke(red, 2.0, Qt::SolidLine, Qt::RoundCap);
        p.setPen(stroke);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2.3, 2.8, 11.4, 11.4), 120 * 16, 300 * 16);
        p.drawLine(QPointF(8, 1.6), QPointF(8, 7.6));
    });
}

QImage AddressBackground()
{
    return Draw(24, 24, 24.0, [](QPainter& p) {
        QLinearGradient disc(0, 1, 0, 23);
        disc.setColorAt(0.0, QColor(0x6a, 0x74, 0x80));
        disc.setColorAt(1.0, QColor(0x0e, 0x12, 0x18));
        p.setPen(QPen(QColor(255, 255, 255, 200), 1.2));
        p.setBrush(disc);
        p.drawEllipse(QPointF(12, 12), 10.6, 10.6);
    });
}

// The player buttons' glyphs on a 24-unit grid.
QImage PlayerButton(const std::function<void(QPainterPath&)>& glyph)
{
    return Draw(24, 24, 24.0, [&](QPainter& p) {
        QPainterPath path;
        glyph(path);
        QLinearGradient fill(0, 4, 0, 20);
        fill.setColorAt(0.0, QColor(0x3f, 0x5d, 0x7d));
        fill.setColorAt(1.0, QColor(0x16, 0x26, 0x3a));
        p.setPen(QPen(QColor(0x0c, 0x14, 0x1f), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(fill);
        p.drawPath(path);
    });
}

void Triangle(QPainterPath& path, double tipX, double baseX)
{
    path.moveTo(baseX, 5);
    path.lineTo(tipX, 12);
    path.lineTo(baseX, 19);
    path.closeSubpath();
}

// ---- the banner and the About picture ----

constexpr int kBannerHeight = 64;

QImage BannerLeft()
{
    QImage image(340, kBannerHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    FillNight(p, image.rect());
    DrawGlow(p, QPointF(38, 31), 34, kTeal, 110);
    DrawMark(p, QPointF(38, 31), 22, 2);
    p.setPen(Qt::white);
    p.setFont(Font(27, QFont::Bold));
    p.drawText(QPointF(72, 36), QStringLiteral("Velmora"));
    p.setPen(kTealLight);
    p.setFont(Font(11, QFont::Normal));
    p.drawText(QPointF(74, 53), QStringLiteral("fixtures  \u00b7  content  \u00b7  firmware"));
    return image;
}

QImage BannerMid()
{
    QImage image(8, kBannerHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    FillNight(p, image.rect());
    return image;
}

// Beams of coloured light falling from `origin` towards the bottom left, fading out.
void DrawBeam(QPainter& p, QPointF origin, double angleDegrees, double length, double spreadDegrees, QColor colour)
{
    const double a = angleDegrees * kPi / 180.0;
    const double s = spreadDegrees * kPi / 180.0;
    QPainterPath cone;
    cone.moveTo(origin);
    cone.lineTo(origin + QPointF(std::cos(a - s), std::sin(a - s)) * length);
    cone.lineTo(origin + QPointF(std::cos(a + s), std::sin(a + s)) * length);
    cone.closeSubpath();
    QRadialGradient fade(origin, length);
    QColor bright = colour;
    bright.setAlpha(150);
    QColor gone = colour;
    gone.setAlpha(0);
    fade.setColorAt(0.0, bright);
    fade.setColorAt(1.0, gone);
    p.setPen(Qt::NoPen);
    p.setBrush(fade);
    p.drawPath(cone);
}

QImage BannerRight()
{
    QImage image(260, kBannerHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    FillNight(p, image.rect());
    p.setClipRect(QRect(0, 0, image.width(), kBannerHeight - 2));
    // Three heads on a truss above the banner's top edge, their beams fading before the
    // banner's left edge so that it meets the middle piece cleanly.
    const struct { double x; double angle; QColor colour; } heads[] = {
        {150, 150, QColor(0xff, 0x4f, 0xa3)},
        {196, 128, kAmber},
        {242, 108, QColor(0x45, 0xc8, 0xff)},
    };
    for (const auto& head : heads)
        DrawBeam(p, QPointF(head.x, 9), head.angle, 150, 9, head.colour);
    p.setClipping(false);
    p.fillRect(QRectF(124, 0, 136, 3), kMetalDark);
    for (const auto& head : heads)
        DrawFixture(p, QRectF(head.x - 8, 1, 16, 16), head.colour);
    p.setPen(kTealLight);
    p.setFont(Font(11, QFont::Bold));
    p.drawText(QRectF(0, 0, image.width() - 12, kBannerHeight - 9), Qt::AlignRight | Qt::AlignBottom,
               QStringLiteral("QUORVANE"));
    return image;
}

QImage About()
{
    QImage image(420, 300, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QRadialGradient stage(QPointF(210, 90), 330);
    stage.setColorAt(0.0, kNightTop.lighter(120));
    stage.setColorAt(0.6, kNightBottom);
    stage.setColorAt(1.0, QColor(0x05, 0x09, 0x10));
    p.fillRect(image.rect(), stage);
    DrawBeam(p, QPointF(60, -10), 60, 330, 11, QColor(0xff, 0x4f, 0xa3));
    DrawBeam(p, QPointF(360, -10), 120, 330, 11, QColor(0x45, 0xc8, 0xff));
    DrawGlow(p, QPointF(210, 82), 90, kTeal, 120);
    DrawMark(p, QPointF(210, 82), 58, 4);
    // The lower part stays dark: the About box writes its text there.
    QLinearGradient floor(0, 150, 0, 300);
    floor.setColorAt(0.0, QColor(0, 0, 0, 0));
    floor.setColorAt(1.0, QColor(0, 0, 0, 140));
    p.fillRect(QRect(0, 150, 420, 150), floor);
    p.fillRect(QRect(0, 296, 420, 4), kTeal);
    return image;
}

} // namespace

QList<Picture> DrawAll()
{
    const auto fixtureWith = [](const std::function<void(QPainter&)>& mark) {
        return Icon16([&](QPainter& p) {
            DrawFixture(p, QRectF(0, 0, 13, 13));
            mark(p);
        });
    };
    return {
        {QStringLiteral("icon16.png"), AppIcon(16)},
        {QStringLiteral("icon32.png"), AppIcon(32)},
        {QStringLiteral("banner-left.png"), BannerLeft()},
        {QStringLiteral("banner-mid.png"), BannerMid()},
        {QStringLiteral("banner-right.png"), BannerRight()},
        {QStringLiteral("about.png"), About()},
        {QStringLiteral("truss-16.png"), Truss()},
        {QStringLiteral("content-database-16.png"), Icon16(DrawDatabase)},
        {QStringLiteral("content-package-16.png"), Icon16(DrawPackage)},
        {QStringLiteral("content-package.png"), Draw(96, 96, 16.0, DrawPackage)},
        {QStringLiteral("content-folder-16.png"), Icon16(DrawFolder)},
        {QStringLiteral("content-folder.png"), Draw(96, 96, 16.0, DrawFolder)},
        {QStringLiteral("content-16.png"), Icon16(DrawContent)},
        {QStringLiteral("content-unknown.png"), UnknownContent()},
        {QStringLiteral("fixture-16.png"), Icon16([](QPainter& p) { DrawFixture(p, QRectF(0, 0, 16, 16)); })},
        {QStringLiteral("fixtures-16.png"), Icon16([](QPainter& p) {
             DrawFixture(p, QRectF(0, 0, 11, 11), QColor(0x45, 0xc8, 0xff));
             DrawFixture(p, QRectF(5, 5, 11, 11));
         })},
        {QStringLiteral("fixture-discover-16.png"), fixtureWith([](QPainter& p) {
             p.setPen(QPen(kOutline, 2.0, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(QPointF(12.6, 12.6), QPointF(15.2, 15.2));
             QRadialGradient glass(QPointF(10, 10), 3.4);
             glass.setColorAt(0.0, QColor(0xe8, 0xf6, 0xff));
             glass.setColorAt(1.0, QColor(0x7c, 0xc4, 0xee));
             p.setPen(QPen(kOutline, 1.1));
             p.setBrush(glass);
             p.drawEllipse(QPointF(10.6, 10.6), 3.0, 3.0);
         })},
        {QStringLiteral("fixture-upgrade-16.png"), fixtureWith([](QPainter& p) {
             DrawCornerDisc(p, QColor(0x6c, 0xe0, 0x6c), QColor(0x1c, 0x8a, 0x2c));
             p.setPen(Qt::NoPen);
             Polygon(p, {{12, 9.4}, {14.4, 12.2}, {12.9, 12.2}, {12.9, 14.6}, {11.1, 14.6}, {11.1, 12.2}, {9.6, 12.2}},
                     Qt::white);
         })},
        {QStringLiteral("fixture-content-16.png"), fixtureWith([](QPainter& p) {
             p.save();
             p.translate(7.5, 7.5);
             p.scale(8.5 / 16.0, 8.5 / 16.0);
             DrawContent(p);
             p.restore();
         })},
        {QStringLiteral("fixture-delete-16.png"), fixtureWith([](QPainter& p) {
             DrawCornerDisc(p, QColor(0xff, 0x6b, 0x6b), QColor(0xb0, 0x18, 0x22));
             p.setPen(QPen(Qt::white, 1.3, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(QPointF(10.5, 10.5), QPointF(13.5, 13.5));
             p.drawLine(QPointF(13.5, 10.5), QPointF(10.5, 13.5));
         })},
        {QStringLiteral("help-16.png"), Help()},
        {QStringLiteral("power.png"), Power()},
        {QStringLiteral("address-background.png"), AddressBackground()},
        {QStringLiteral("button-back.png"), PlayerButton([](QPainterPath& path) {
             path.addRect(QRectF(5, 5, 2.6, 14));
             Triangle(path, 8.4, 18.5);
         })},
        {QStringLiteral("button-forward.png"), PlayerButton([](QPainterPath& path) {
             Triangle(path, 15.6, 5.5);
             path.addRect(QRectF(16.4, 5, 2.6, 14));
         })},
        {QStringLiteral("button-play.png"), PlayerButton([](QPainterPath& path) { Triangle(path, 19, 6.5); })},
        {QStringLiteral("button-pause.png"), PlayerButton([](QPainterPath& path) {
             path.addRoundedRect(QRectF(6, 5, 4.2, 14), 1, 1);
             path.addRoundedRect(QRectF(13.8, 5, 4.2, 14), 1, 1);
         })},
    };
}

} // namespace artwork
