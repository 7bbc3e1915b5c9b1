#pragma once

#include <QRgb>
#include <QtGlobal>

// One palette entry of an LED image: red, green and blue bytes.
struct LEDColor {
    quint8 red = 0;
    quint8 green = 0;
    quint8 blue = 0;

    QRgb ToRgb() const { return qRgb(red, green, blue); }
    static LEDColor FromRgb(QRgb rgb) { return {quint8(qRed(rgb)), quint8(qGreen(rgb)), quint8(qBlue(rgb))}; }

    friend bool operator==(const LEDColor&, const LEDColor&) = default;
};
