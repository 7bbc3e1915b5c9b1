#pragma once

#include <QString>

namespace platform {

// The user's documents folder: VELMORA_DOCUMENTS when set, else the system's Documents
// location (the home folder when there is none).
QString DocumentsFolder();

// The folder for data shared by all users of the program: VELMORA_APPDATA when set, else
// the first generic data location, else the home folder.
QString CommonAppDataFolder();

} // namespace platform
