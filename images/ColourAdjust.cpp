#include "images/ColourAdjust.h"

#include <QImage>
#include <cmath>

float Luminance(QRgb rgb)
{
    return 0.299f * float(qRed(rgb)) / 255.0f + 0.587f * float(qGreen(rgb)) / 255.0f +
           0.114f * float(qBlue(rgb)) / 255.0f;
}

namespace {

int ScaleChannel(int channel, float factor)
{
    const float value = float(channel) / 255.0f * factor;
    // Written so that a NaN (from an infinite factor on a 0 channel) becomes 0.
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 255;
    return int(value * 255.0f);
}

} // namespace

QRgb ScaleColour(QRgb rgb, float factor)
{
    return qRgba(ScaleChannel(qRed(rgb), factor), ScaleChannel(qGreen(rgb), factor),
                 ScaleChannel(qBlue(rgb), factor), qAlpha(rgb));
}

QRgb AdjustContrast(QRgb rgb, float contrast)
{
    if (contrast == 0.0f)
        return rgb;
    const float luminance = Luminance(rgb);
    // Black has no hue to scale: the curve would divide 0 by 0.
    if (luminance <= 0.0f)
        return rgb;
    const float sign = luminance < 0.5f ? -1.0f : 1.0f;
    const float curved = sign * std::pow(std::fabs(2.0f * luminance - 1.0f), 1.0f - contrast) + 1.0f;
    return ScaleColour(rgb, curved / (2.0f * luminance));
}

QImage MakeAdjustedImage(const QImage& picture, float brightness, float contrast)
{
    QImage result = picture.convertToFormat(QImage::Format_ARGB32);
    if (contrast == 0.0f && brightness == 1.0f)
        return result;
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            const QRgb adjusted = contrast != 0.0f ? AdjustContrast(line[x], contrast) : line[x];
            line[x] = ScaleColour(adjusted, brightness);
        }
    }
    return result;
}
