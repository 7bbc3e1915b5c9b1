// Draws the pictures of the fixtures' write-protected content groups and folders (the
// "-qrv" pictures: a folder or a package with a padlock) into a folder, at 16 and 32 pixels:
//   content_icons_gen <output folder>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>

namespace {

// Everything is drawn on a 32-unit canvas and scaled to the picture's size.
constexpr qreal kCanvas = 32.0;

void DrawFolder(QPainter& p)
{
    const QColor edge(150, 105, 20);
    p.setPen(QPen(edge, 1.2));
    QPainterPath tab;
    tab.moveTo(2, 8);
    tab.lineTo(2, 5);
    tab.quadTo(2, 4, 3, 4);
    tab.lineTo(11, 4);
    tab.lineTo(14, 7);
    tab.lineTo(29, 7);
    tab.quadTo(30, 7, 30, 8);
    tab.closeSubpath();
    p.setBrush(QColor(226, 176, 64));
    p.drawPath(tab);
    QLinearGradient front(0, 9, 0, 28);
    front.setColorAt(0, QColor(255, 214, 110));
    front.setColorAt(1, QColor(236, 178, 50));
    p.setBrush(front);
    p.drawRoundedRect(QRectF(2, 9, 28, 19), 1.5, 1.5);
}

void DrawPackage(QPainter& p)
{
    const QColor edge(92, 64, 36);
    p.setPen(QPen(edge, 1.2));
    // Lid and box of a parcel, with its band.
    p.setBrush(QColor(196, 150, 96));
    p.drawRect(QRectF(3, 6, 26, 6));
    QLinearGradient side(0, 12, 0, 29);
    side.setColorAt(0, QColor(214, 170, 112));
    side.setColorAt(1, QColor(176, 128, 74));
    p.setBrush(side);
    p.drawRect(QRectF(5, 12, 22, 16));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 84, 48));
    p.drawRect(QRectF(14, 6, 4, 22));
}

// A padlock in the lower right corner: the contents cannot be changed.
void DrawPadlock(QPainter& p)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(60, 60, 66), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(19, 13, 8, 10), 0, 180 * 16);
    p.drawLine(QPointF(19, 18), QPointF(19, 19.5));
    p.drawLine(QPointF(27, 18), QPointF(27, 19.5));
    p.setPen(QPen(QColor(40, 40, 46), 1.0));
    QLinearGradient body(0, 19, 0, 30);
    body.setColorAt(0, QColor(190, 194, 204));
    body.setColorAt(1, QColor(120, 124, 136));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(17, 19, 12, 10), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 46));
    p.drawEllipse(QPointF(23, 23), 1.4, 1.4);
    p.drawRect(QRectF(22.4, 23, 1.2, 3.5));
}

bool Write(const QString& dir, const QString& name, int size, const std::function<void(QPainter&)>& draw)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / kCanvas, size / kCanvas);
        draw(painter);
        DrawPadlock(painter);
    }
    const QString path = dir + QLatin1Char('/') + name;
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "%s: cannot be written\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "%s: cannot make the folder\n", argv[1]);
        return 1;
    }
    const bool ok = Write(dir, QStringLiteral("content-folder-qrv-16.png"), 16, DrawFolder) &&
                    Write(dir, QStringLiteral("content-folder-qrv.png"), 32, DrawFolder) &&
                    Write(dir, QStringLiteral("content-package-qrv-16.png"), 16, DrawPackage) &&
                    Write(dir, QStringLiteral("content-package-qrv.png"), 32, DrawPackage);
    return ok ? 0 : 1;
}
