#pragma once

#include <QPixmap>
#include <QString>

#include <functional>

class QWidget;

namespace screenshots {

// Saves one picture under its file name; false, with a line on stderr, when it cannot.
using SavePicture = std::function<bool(const QString& name, const QPixmap& picture)>;
// The widget's area as the screen shows it now.
using GrabWidget = std::function<QPixmap(QWidget& widget)>;

// The Mosavra creator over a picture with three fixtures (one selected), their samples,
// numbers and the grid; the same window expanded; and a clip in the middle of its
// playback: creator.png, creator-expanded.png, creator-playing.png. `mediaFolder` receives
// the media the scenes make.
bool TakeCreator(QWidget* parent, const QString& mediaFolder, const SavePicture& save, const GrabWidget& grab);

} // namespace screenshots
