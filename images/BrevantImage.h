#pragma once

#include "images/LEDImage.h"

#include <QPointF>

class BrevantImage;
class CindralImage;
using BrevantImageBase = LEDImage<BrevantImage, LEDImageTraits<0, BrevantRDMImage, LEDImageRender>>;

// An image of the first fixture family: 127 LEDs in rings of 36, 30, 24, 18, 12 and 6
// around the centre LED 126; files "*.bvi".
class BrevantImage : public BrevantImageBase
{
    Q_OBJECT
public:
    // LEDs of the outer two rings, which the second family's face lacks.
    static constexpr int kOuterRingLeds = 66;

    explicit BrevantImage(ContentFolder* parent = nullptr);

    QString FileExtension() const override;

    // RenderFrame keeps the outer ring 1/40 of the sides from the edge; RenderFrameDefault
    // draws LEDs of 1/20 of the sides.
    static constexpr int kRenderMarginDivisor = 40;
    static constexpr int kRenderLedDivisor = 20;

    // LED `led`'s position on the unit disc (y up).
    static QPointF LedPosition(int led);
    // A new first-family image of the second-family image's palette, frames and indices:
    // its LED j goes to LED 66 + j (the centre to the centre), LEDs 0-65 get index 0.
    // Name, address, Mosavra id and key are not copied. Owned by the caller.
    static std::unique_ptr<BrevantImage> FromCindralImage(const CindralImage& cindral);
};
