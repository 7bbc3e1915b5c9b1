#pragma once

#include <QString>

class Shooter;
class QWidget;

// The Mosavra creator over a picture with three fixtures (one selected), their samples,
// numbers and the grid; the same window expanded; and a clip in the middle of its
// playback: creator.png, creator-expanded.png, creator-playing.png. `mediaFolder` receives
// the media the scenes make.
bool TakeCreatorScenes(QWidget* parent, const QString& mediaFolder, Shooter& shooter);
