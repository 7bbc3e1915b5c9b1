#pragma once

#include <QString>
#include <QStringList>

// Runs the ffmpeg command-line tool (installed by scripts/install-deps) to make test
// media: `ffmpeg -v error -y <arguments>`. False, with ffmpeg's messages in `error`, when
// it fails or cannot be started.
bool RunFFmpeg(const QStringList& arguments, QString* error = nullptr);

// A tiny test-pattern clip of `seconds` at `rate` frames per second and `width` × `height`,
// MPEG-4 part 2 (no B-frames) in the container that `path`'s suffix names.
bool MakeTestClip(const QString& path, int width, int height, int rate, double seconds, QString* error = nullptr);
