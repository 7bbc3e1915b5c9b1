#pragma once

#include <QPixmap>
#include <QString>

#include <functional>

class VelmoraMainWindow;

// The screenshot tool's pictures of the device rows and the task list. Each saves its
// pictures through `save` and answers false (after saying why on stderr) when one could
// not be taken.
using SaveScene = std::function<bool(const QString& name, const QPixmap& picture)>;

// devices.png (the list of fixtures), device.png (a family fixture's parameters) and
// menu.png (its context menu), once the fixtures have been discovered.
bool TakeDeviceScenes(VelmoraMainWindow& window, const SaveScene& save);
// tasks.png (tiles queued, at 25 %, spinning, with a warning, failed and finished) and
// task-log.png (the failed tile's log). Leaves its tiles in the task list: take it last.
bool TakeTaskScenes(VelmoraMainWindow& window, const SaveScene& save);
