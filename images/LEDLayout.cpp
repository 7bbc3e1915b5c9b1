#include "images/LEDLayout.h"

#include <cmath>
#include <numbers>

QPointF LEDRingPosition(std::span<const LEDRing> rings, int led)
{
    if (led < 0)
        return {0.0, 0.0};
    int k = led;
    for (const LEDRing& ring : rings) {
        if (k < ring.count) {
            const double angle = std::numbers::pi / 2 - (2 * std::numbers::pi / ring.count) * (k + 0.5);
            return {ring.radius * std::cos(angle), ring.radius * std::sin(angle)};
        }
        k -= ring.count;
    }
    return {0.0, 0.0};
}
