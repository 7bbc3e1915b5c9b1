#pragma once

#include <QString>

class ContentFolder;
class ContentLibraryRoot;
class IFeedback;

// The package the package benchmarks move in and out and compare with bsdtar: one
// second-family package of kFolders folders × kImagesPerFolder full images (kFrames frames,
// the most an image holds, of random palette indices over a random palette, so that gzip
// has work). The same seed makes the same package every time.
namespace SamplePackage {

constexpr int kFolders = 20;
constexpr int kImagesPerFolder = 50;
constexpr int kFrames = 255;
inline const QString kName = QStringLiteral("Show");

// Makes the package kName in `root`, which must not have one of that name yet, and answers
// it; null when the library refused a step (the reason went to `feedback`).
ContentFolder* Make(ContentLibraryRoot* root, IFeedback* feedback);

} // namespace SamplePackage
