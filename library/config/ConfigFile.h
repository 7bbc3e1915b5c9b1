#pragma once

#include "library/archive/ArchiveLimits.h"
#include "library/archive/ArchiveResult.h"
#include "library/archive/FileLayer.h"

#include <QByteArray>
#include <QLatin1StringView>
#include <QList>
#include <QString>

// The "config.xml" beside the things it describes, in every directory of the user and the
// Mosavra library and inside packages and stock packages. The directory gives the nodes'
// names; the file adds what a directory cannot hold: each child's address (and Mosavra
// number), the node's policy and, for a root, the format version.
//
// One document element, `objects`, holding one empty element per child node:
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <objects policy="BREVANTContentFolderPolicy">
//       <content name="Sunrise" address="42"/>
//   </objects>
//
// Element and attribute names and their order are fixed (older files and other copies of
// the program read them); numbers are plain decimal.
namespace LibraryConfig {

inline constexpr QLatin1StringView kFileName("config.xml");
// The format version a root file carries. A root read with any other is rewritten whole
// (ApplyVersionRule).
inline constexpr int kVersion = 1;
// A larger file is refused unread, plain or inside a package alike: a library folder holds
// at most 255 children of a few dozen bytes each.
inline constexpr qint64 kMaxFileSize = ArchiveLimits::kMaxConfigMemberSize;

// The shapes of file, by the node that owns it.
enum class Form {
    // A user library folder: `objects` with `policy`; `content` with `name`, `address` for
    // each item whose address is not 0.
    Folder,
    // A package of either library: `objects` with `policy`; `folder` with `name`,
    // `address` for every folder. Written also for a package without folders.
    Package,
    // The root of either library: `objects` with `version` = "1"; `package` with `name`,
    // `address` for every package.
    Root,
    // A Mosavra collage folder: `objects` with `policy`; `content` with `name`,
    // `mosavraID`, `address` for every item, address 0 included.
    Collage,
};

// One child node as its parent's file lists it.
struct Entry
{
    QString name;
    int address = 0;
    quint16 mosavraId = 0;
};

// What one file says.
struct Document
{
    Form form = Form::Folder;
    // The class name of the node's policy (PolicyBase::ClassName); a root writes none.
    QString policy;
    // One per child node, in child order; the form decides which of them are written.
    QList<Entry> entries;
};

// True when every character of `text` is one XML 1.0 can hold: no control character but
// tab and line breaks, no unpaired surrogate, neither U+FFFE nor U+FFFF.
bool XmlCanHold(QStringView text);

// The file's text: UTF-8, one element a line, nested elements indented. Fails, naming the
// entry, for a name or policy that XML cannot hold: such a file would be ill-formed, or
// would name another child when read.
ArchiveResult ToXml(const Document& document, QByteArray* bytes);

// Writes `document` as "config.xml" in `dir` — or, when it has no entries, removes that
// file, since a node without children has none; a package's file is written even then, as
// it names the package's family, which an empty package would otherwise lose. The file is
// replaced only once every byte is down: on failure the old file stays whole and the
// result says what went wrong. Inside a package the file is written only while the package
// is being written (CustomFileSystemEngineHandler::ArchiveWriterEnabler); it is then stored
// with the package's other members, encrypted when the package's are.
ArchiveResult Store(const FileLayer::Dir& dir, const Document& document);

} // namespace LibraryConfig
