#pragma once

#include <QString>

// The program's storage roots: Qt search-path prefixes that all later file access uses
// as virtual roots ("ContentLibraryRoot:", "StockContent:", ...).
namespace StorageRoots {

// The user's documents folder.
QString DocumentsFolder();
// The folder for the program's shared data: the common application-data folder, then
// "Quorvane/Velmora".
QString CommonAppDataFolder();

// Makes base/folder (with any missing parents) and registers it as `prefix`. A folder
// that cannot be made is still registered, so that later access fails with its path.
void SetSearchPath(const QString& base, const QString& folder, const QString& prefix);

// Moves the older library folder name to the current one, then registers the five roots,
// making their folders.
void SetUp();

} // namespace StorageRoots
