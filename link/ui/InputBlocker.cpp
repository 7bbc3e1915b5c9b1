#include "link/ui/InputBlocker.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>

namespace {

// What a person does to a window.
bool IsInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::InputMethod:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

} // namespace

InputBlocker::InputBlocker(QWidget* keep)
{
    const QWidget* kept = keep ? keep->window() : nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != kept)
            blocked_.append(window);
    }
    qApp->installEventFilter(this);
}

InputBlocker::~InputBlocker()
{
    qApp->removeEventFilter(this);
}

bool InputBlocker::IsBlocked(const QWidget* window) const
{
    return window && std::any_of(blocked_.begin(), blocked_.end(),
                                 [window](const QPointer<QWidget>& blocked) { return blocked == window; });
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event)
{
    bool blocked = false;
    if (event->type() == QEvent::Shortcut) {
        // A shortcut goes to its action, not to a window: it counts for the active one.
        blocked = IsBlocked(QApplication::activeWindow());
    } else if (event->spontaneous() && IsInput(event->type()) && watched->isWidgetType()) {
        blocked = IsBlocked(static_cast<QWidget*>(watched)->window());
    }
    if (!blocked)
        return false;
    // An accepted override keeps the key from becoming a shortcut; an ignored close keeps
    // the window open.
    if (event->type() == QEvent::ShortcutOverride)
        event->accept();
    else
        event->ignore();
    return true;
}
