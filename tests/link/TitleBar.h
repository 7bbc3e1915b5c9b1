#pragma once

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QString>

namespace link_ui_test {

// The least width a title bar needs to show `title` whole: the title in the title bar's
// font beside the window icon and the minimise, maximise and close buttons, each at least
// a square of the title's line.
inline int TitleBarNeeds(const QString& title)
{
    const QFontMetrics metrics(QFontDatabase::systemFont(QFontDatabase::TitleFont));
    return metrics.horizontalAdvance(title) + 4 * metrics.height();
}

// The area of the screen that windows may take.
inline QRect AvailableGeometry()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

inline int AvailableWidth()
{
    return AvailableGeometry().width();
}

} // namespace link_ui_test
