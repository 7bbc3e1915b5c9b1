#include "tools/screenshots/Shooting.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QScreen>
#include <QWidget>

#include <cstdio>

namespace {

// Real time the tool gives any one step before it gives up.
constexpr int kStepLimitMs = 60000;

} // namespace

bool WaitFor(const std::function<bool()>& done)
{
    QDeadlineTimer limit(kStepLimitMs);
    while (!done()) {
        if (limit.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

QPixmap Grab(QWidget& window)
{
    window.repaint();
    QCoreApplication::processEvents();
    const QRect area = window.geometry();
    return window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
}

bool Shooter::Save(const QString& name, const QPixmap& picture)
{
    const QString path = QDir(folder_).filePath(name);
    if (picture.isNull() || !picture.save(path, "PNG")) {
        std::fprintf(stderr, "%s: cannot write the picture\n", qPrintable(path));
        return false;
    }
    return true;
}
