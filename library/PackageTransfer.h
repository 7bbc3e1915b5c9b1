#pragma once

#include "library/archive/ArchiveResult.h"

#include <QString>

#include <functional>

class ContentFolder;
class ContentLibraryRoot;
class ContentOperation;
class MosavraContentLibraryPackage;

// Package archives in and out of the libraries, as the export and import actions run them.
//
// Each builds the package object on the archive inside the file layer's scope for it (an
// ArchiveWriterEnabler for an export, an ArchiveReaderEnabler for an import), hands one
// content operation to `run`, and releases everything before it answers. GUI thread.
namespace PackageTransfer {

// How the caller runs a content operation: OperationDialog::Run in the program, the
// operation's own Run in tests. Answers whether the operation succeeded.
using OperationRunner = std::function<bool(ContentOperation& operation)>;

// Writes `package` — a user library package to a package archive (".qelpkg"), a Mosavra
// family package to a collage archive (".brevantcollage", ".cindralcollage") — by copying
// its folders into a new package on the archive. The archive on disk is replaced only when
// the whole copy worked and the archive was written; otherwise it stays as it was and the
// answer says why.
ArchiveResult ExportPackage(ContentFolder* package, const QString& archivePath, const OperationRunner& run);

// Copies the package in the package archive `archivePath` into `root` as a new package of
// the archive's family, named after the archive (made unique). Fails, changing nothing,
// for a file that is no package archive or cannot be read whole.
ArchiveResult ImportPackage(const QString& archivePath, ContentLibraryRoot* root, const OperationRunner& run);

// Adds every collage of the collage archive `archivePath` to `package`, one of the two
// packages of MosavraContentLibraryRoot::Instance() (MosavraContentImport). Fails,
// changing nothing, for a file that is no collage archive or cannot be read whole.
ArchiveResult ImportCollages(const QString& archivePath, MosavraContentLibraryPackage* package,
                             const OperationRunner& run);

} // namespace PackageTransfer
