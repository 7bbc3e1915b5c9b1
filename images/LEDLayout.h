#pragma once

#include <QPointF>
#include <span>

// One ring of a fixture's face: how many LEDs it holds and its radius on the unit disc.
struct LEDRing {
    int count;
    double radius;
};

// Position on the unit disc (y up) of LED `led` of a face whose rings are listed
// outermost first and whose centre LED follows the last ring. LEDs are numbered ring by
// ring from the outside in, clockwise within a ring, LED 0 of each ring half a step
// clockwise of 12 o'clock. The centre LED, and any number beyond it or below 0, is (0, 0).
QPointF LEDRingPosition(std::span<const LEDRing> rings, int led);
