#pragma once

#include <QImage>
#include <QList>
#include <QString>

// The program's pictures: icons, banner, About picture and player buttons, all drawn here
// with QPainter from our own shapes. The build writes them as PNG files into a resource
// library, so the program loads them from ":/Resources/<file name>".
//
// Needs a QGuiApplication (text is drawn with the system's fonts).
namespace artwork {

struct Picture {
    QString fileName; // "icon16.png", ...
    QImage image;
};

// Every picture, drawn afresh, in a fixed order.
QList<Picture> DrawAll();

} // namespace artwork
