#pragma once

#include "library/archive/ArchiveResult.h"

#include <QString>

// The sample stock content that the build ships for the tests and the demo rig: one
// encrypted content package per fixture family, of our own procedurally drawn artwork.
//
// Each package holds two folders, "Colours" at address 1 (solid colours) and "Patterns" at
// address 2 (animations), with four LED images each at addresses 1 to 4, and a
// config.xml in the package and in each folder naming StandardStockContentPolicy. Every
// member is stored as encrypted records under StockContentKey, so the program reads the
// packages through "decode#" paths.
//
// An image's key is derived from its family, folder and name, so that every build ships
// the same keys: the stock update tells what a fixture already holds by its keys.
namespace StockContent {

// 0: the first family (BREVANT), 1: the second (Cindral).
inline constexpr int kFamilyCount = 2;

// "brevant_stock_content.qelpkg" and "cindral_stock_content.qelpkg".
QString PackageFileName(int family);

// Writes the package of `family` into the existing folder `dir`. An existing package is
// replaced only when the whole new one is written; the result says what went wrong.
// Call from one thread at a time per package.
ArchiveResult WritePackage(int family, const QString& dir);

} // namespace StockContent
