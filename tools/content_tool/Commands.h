#pragma once

#include <QStringList>

// The commands of content_tool and video_tool, one source file each. A command gets the
// arguments after its name, as many as its line of its tool's table states (the optional
// ones may be left out), and answers the process's exit status.
namespace ContentToolCommands {

constexpr int kSucceeded = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

int PackageImport(const QStringList& arguments);
int PackageExport(const QStringList& arguments);
int MakeSamplePackage(const QStringList& arguments);
int VideoImport(const QStringList& arguments);

} // namespace ContentToolCommands
