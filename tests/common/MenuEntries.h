#pragma once

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace testing_env {

// The entries of the menu that `open` shows ("-" for a separator), which is then closed
// unchosen; empty when no menu showed.
inline QStringList MenuEntries(const std::function<void()>& open)
{
    QStringList entries;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        poll.stop();
        for (QAction* action : menu->actions())
            entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
        menu->close();
    });
    poll.start();
    open();
    return entries;
}

} // namespace testing_env
