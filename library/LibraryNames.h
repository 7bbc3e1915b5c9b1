#pragma once

#include <QString>

// The one check of the names that become files and directories of the libraries (package,
// folder and item names from the user, from fixtures, from archives and from config.xml).
// A library node is bound to its directory or file by its name, so a name that could leave
// its folder ("..", "a/b") or name nothing must never reach a path.
namespace LibraryNames {

// Why `name` cannot be the name of a library node's directory or file; empty when it can.
// Refused: what the file layer refuses as a name (FileLayer::CheckName: empty, "." and
// "..", absolute or a search-path name, holding '/', '\' or NUL), "config.xml" (the
// directory's own file, in any case), control characters, and anything else config.xml
// cannot hold (an unpaired surrogate, U+FFFE, U+FFFF).
QString Problem(const QString& name);

// The name a node keeps of `name`: its first 16 characters, never half of one (what
// ContentBase::SetName stores), so that a node and its directory or file always agree.
QString Kept(const QString& name);

// Whether a node can carry `name` whole: it is kept uncut and has no Problem. A scan lists
// only such directories and files: under a cut name a node would be bound to another.
bool KeptWhole(const QString& name);

} // namespace LibraryNames
