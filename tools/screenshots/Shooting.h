#pragma once

#include <QPixmap>
#include <QString>

#include <functional>

class QAbstractScrollArea;
class QPoint;
class QWidget;

// What every scene of the screenshot tool uses: waiting for the program, grabbing a window
// as the screen shows it, and writing the pictures.

// Processes events until `done` holds; false when the tool's real-time limit for one step
// passes first.
bool WaitFor(const std::function<bool()>& done);

// Shows `dialog` at the screen's corner, laid out and painted; false, said on stderr, when
// it never shows.
bool ShowDialog(QWidget& dialog);

// The window's client area as the screen shows it now.
QPixmap Grab(QWidget& window);

// `window` as the screen shows it while the context menu that a right click at `at` in
// `view`'s viewport opens is up; the menu is closed afterwards. A null picture when no
// menu opened.
QPixmap GrabContextMenu(QWidget& window, QAbstractScrollArea& view, QPoint at);

class Shooter
{
public:
    explicit Shooter(const QString& folder) : folder_(folder) {}

    // Writes `picture` as `name` in the output folder; false, said on stderr, when it cannot.
    bool Save(const QString& name, const QPixmap& picture);

private:
    QString folder_;
};
