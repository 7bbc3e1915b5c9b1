#pragma once

#include "images/LEDImage.h"

#include <QPointF>

class BrevantImage;
class CindralImage;
using CindralImageBase = LEDImage<CindralImage, LEDImageTraits<1, CindralRDMImage, LEDImageRender>>;

// An image of the second fixture family: 61 LEDs in rings of 24, 18, 12 and 6 around the
// centre LED 60; files "*.cdli".
class CindralImage : public CindralImageBase
{
    Q_OBJECT
public:
    explicit CindralImage(ContentFolder* parent = nullptr);

    QString FileExtension() const override;

    // RenderFrame keeps the outer ring 1/25 of the sides from the edge; RenderFrameDefault
    // draws LEDs of 1/15 of the sides.
    static constexpr int kRenderMarginDivisor = 25;
    static constexpr int kRenderLedDivisor = 15;

    // LED `led`'s position on the unit disc (y up).
    static QPointF LedPosition(int led);
    // A new second-family image of the first-family image's palette, frames and indices:
    // first-family LED 66 + j becomes LED j (the centre the centre), LEDs 0-65 are
    // dropped. Name, address, Mosavra id and key are not copied. Owned by the caller.
    static std::unique_ptr<CindralImage> FromBrevantImage(const BrevantImage& brevant);
};
