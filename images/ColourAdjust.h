#pragma once

#include <QRgb>

class QImage;

// The colour adjustments of picture import, shared by the importer, the import dialog's
// previews and the Mosavra creator. All arithmetic is single precision. Pure functions:
// safe on any thread.

// Perceived brightness of a colour, 0 (black) .. 1 (white); alpha is ignored.
float Luminance(QRgb rgb);

// Each of red, green and blue multiplied by `factor` and kept within 0 .. 255
// (truncated); alpha kept.
QRgb ScaleColour(QRgb rgb, float factor);

// Moves the colour's luminance along the contrast curve: `contrast` 0 leaves the colour
// as it is, positive values push luminance away from mid-grey, negative values pull it
// towards mid-grey. Hue is kept (the channels are scaled together); black stays black.
QRgb AdjustContrast(QRgb rgb, float contrast);

// An ARGB32 copy of `picture` with the contrast curve and then the brightness gain
// applied to every pixel; the alpha of each pixel is kept (pictures without alpha are
// opaque).
QImage MakeAdjustedImage(const QImage& picture, float brightness, float contrast);
