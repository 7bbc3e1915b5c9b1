#include "tools/screenshots/Shooting.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QTimer>
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

bool ShowDialog(QWidget& dialog)
{
    dialog.move(0, 0);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        std::fprintf(stderr, "the %s \"%s\" was never shown\n", dialog.metaObject()->className(),
                     qPrintable(dialog.windowTitle()));
        return false;
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

QPixmap GrabContextMenu(QWidget& window, QAbstractScrollArea& view, QPoint at)
{
    // The menu runs its own event loop: it is grabbed from a timer of that loop.
    QPixmap picture;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!open || !open->isVisible())
            return;
        poll.stop();
        QTest::qWait(50);
        picture = Grab(window);
        open->close();
    });
    poll.start(10);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(view.viewport(), &event);
    return picture;
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
