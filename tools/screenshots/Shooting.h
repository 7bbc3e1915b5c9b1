#pragma once

#include <QPixmap>
#include <QString>

#include <functional>

class QWidget;

// What every scene of the screenshot tool uses: waiting for the program, grabbing a window
// as the screen shows it, and writing the pictures.

// Processes events until `done` holds; false when the tool's real-time limit for one step
// passes first.
bool WaitFor(const std::function<bool()>& done);

// The window's client area as the screen shows it now.
QPixmap Grab(QWidget& window);

class Shooter
{
public:
    explicit Shooter(const QString& folder) : folder_(folder) {}

    // Writes `picture` as `name` in the output folder; false, said on stderr, when it cannot.
    bool Save(const QString& name, const QPixmap& picture);

private:
    QString folder_;
};
