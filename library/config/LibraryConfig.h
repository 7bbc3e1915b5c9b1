#pragma once

#include "content/ContentMutex.h"
#include "library/config/ConfigFile.h"
#include "library/config/ConfigHandler.h"

#include <functional>

class ContentFolder;

// What the library nodes call to read and write their config.xml (format: ConfigFile.h,
// reader rules: ConfigHandler.h). A node class binds them to its own directory and form:
//
//   bool ContentLibraryFolder::LoadConfig() { return LibraryConfig::LoadConfig(this, Dir()).Ok(); }
//   ArchiveResult ContentLibraryFolder::SaveConfig()
//   {
//       return LibraryConfig::SaveConfig(LibraryConfig::Form::Folder, this, Dir());
//   }
//
// A package or root saving recursively calls its children's SaveConfig after its own.
//
// Threads: any thread; both hold ContentMutex for their whole run, file work included, so
// that a node's file always matches one state of its tree.
namespace LibraryConfig {

// Reads "config.xml" in `dir` and applies it to `node` and its children (ConfigHandler.h).
// `version` is the root's stored format version, null for other nodes. Fails when the file
// is missing, unreadable, too large or not well-formed; the elements read before an XML
// error stay applied.
template <class T>
ArchiveResult LoadConfig(T* node, const FileLayer::Dir& dir, int* version = nullptr)
{
    ContentLocker lock(&ContentMutex);
    ConfigHandler<T> handler(node, version);
    return ReadConfig(dir, handler);
}

// What `node`'s file in `form` says now: its policy's class name and one entry per child
// in child order (name, GetAddress, GetMosavraID).
Document Describe(Form form, const ContentFolder* node);

// Writes `node`'s file into `dir` (Describe, then Store): atomically, or removes it when
// the node has no children. The result is the real outcome.
ArchiveResult SaveConfig(Form form, const ContentFolder* node, const FileLayer::Dir& dir);

// The version rule, for a root at the end of its scan, after its LoadConfig: when
// `version` is not kVersion, `rewriteAll` (the root's recursive save, which rewrites every
// file of the library) runs, and once it has worked `version` becomes kVersion. Success
// without a call when the version is already kVersion.
ArchiveResult ApplyVersionRule(int& version, const std::function<ArchiveResult()>& rewriteAll);

} // namespace LibraryConfig
