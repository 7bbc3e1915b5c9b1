#pragma once

#include <QList>

class ContentBase;
class ContentFolder;

// Questions the views ask a content tree, each answered under ContentMutex so that it sees
// one consistent tree whichever thread is changing it.
namespace content_queries {

// Whether `child` is among `folder`'s children now. Compares pointers only, so `child`
// may name a node that has died (as one named by a queued signal may have).
bool HoldsChild(ContentFolder* folder, const ContentBase* child);
// The content items (not folders) of `folder`'s whole subtree.
int CountContents(ContentFolder* folder);
// The sub-folders directly in `folder`, in child order.
QList<ContentFolder*> ChildFolders(ContentFolder* folder);
// `folder` and every folder below it, parents before their children.
QList<ContentFolder*> FolderTree(ContentFolder* folder);

} // namespace content_queries
