#pragma once

#include "library/archive/ArchiveResult.h"
#include "library/archive/FileLayer.h"

#include <QIcon>
#include <QString>

class ContentBase;
class ContentFolder;
class IFeedback;
class PolicyBase;
class QObject;

// What every node of the user and the Mosavra library shares: how a node finds its
// directory, and how its change operations answer (content/ContentFolder.h).
namespace LibraryNode {

// The path of the directory `name` inside `parentPath`; empty when the parent has none.
QString ChildPath(const QString& parentPath, const QString& name);

// `dir` on `path` when that is a directory. Otherwise false, after telling `feedback` (when
// there is one) that the directory of `node` is missing: a node whose directory is gone (moved
// by another program) must not fall back on some other directory and write there.
bool FindDir(const QString& path, const ContentBase* node, FileLayer::Dir& dir, IFeedback* feedback);

// For a node's scan: `dir` on the node's directory when it can be listed whole. Otherwise
// false, and the node's read state says why: no directory (Partial) or no listing
// (Unread).
template <class Node>
bool ListableDir(Node& node, FileLayer::Dir& dir)
{
    if (!node.FindDir(dir, nullptr)) {
        node.NoteReadState(Node::ReadState::Partial);
        return false;
    }
    if (!FileLayer::IsListable(dir.path())) {
        node.NoteReadState(Node::ReadState::Unread);
        return false;
    }
    return true;
}

// `text` as an error to `feedback` (when there is one).
void ReportError(IFeedback* feedback, const QString& text);
// A refusal of the change contract: ReportError; false.
bool Refuse(IFeedback* feedback, const QString& text);

// The end of a change that was carried out: Finished(success), or, when the config.xml
// files could not be written (`saved`), the reason as an error and Finished(failure) — the
// change itself stands. Answers true.
bool Conclude(IFeedback* feedback, const ArchiveResult& saved);

// The first failure of the two, else success.
ArchiveResult FirstFailure(const ArchiveResult& first, const ArchiveResult& second);

// Moves `node` (made or handed over on the calling thread, typically an operation's worker)
// to the thread of `owner`, the library node that is to hold it, so that it is used and
// deleted there. A node that lives on a third thread cannot be moved from here and stays.
void MoveToOwnerThread(QObject* node, const QObject* owner);

// The icon of a package (user, stock and Mosavra alike).
QIcon PackageIcon();

// The DisplayName of `policy`'s NewChildPolicy(folder, kind); empty when there is none.
QString ChildTypeName(PolicyBase* policy, ContentFolder* folder, int kind);

// The standard texts of the libraries' refusals.
QString MissingDirText(const ContentBase* node);
QString UnreadText(const ContentBase* node);
QString ConflictText();
QString AddressOutOfRangeText();

} // namespace LibraryNode
