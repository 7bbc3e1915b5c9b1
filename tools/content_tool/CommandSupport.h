#pragma once

#include <QString>

class ConsoleRunner;
class ContentFolder;

namespace ContentToolCommands {

// `path` as a folder that exists, made with its parents where missing; false, with the
// reason written through `runner`, when that cannot be.
bool MakeFolder(const QString& path, const ConsoleRunner& runner);

// "20 folders, 1000 images": what a package holds.
QString Contents(ContentFolder* package);

// The child folder of `parent` named `name` (a package of a library root, say), or null.
ContentFolder* ChildFolderNamed(ContentFolder* parent, const QString& name);

} // namespace ContentToolCommands
