#pragma once

#include <QtGlobal>

class ContentBase;

// Names content nodes by numbers that outlive them: the payloads of the clipboard and of
// drags carry handles, never addresses, so a payload can name a node that has died (its
// handle then finds nothing) and a new node at the same address is never taken for it.
//
// A node gets its handle when a payload first names it and keeps it for its life; handles
// come from a 64-bit counter and are never given twice in a process. Every node forgets
// its handle as it dies (ContentBase's destructor, through ContentSource::ForgetContent).
//
// Threads: any; the registry has its own mutex (never ContentMutex). A node found by
// NodeOf is alive at that moment only: look it up on the thread that owns the node.
namespace ContentHandles {

// The handle of `node`, given now when it has none. 0 (never a handle) for null.
quint64 HandleOf(ContentBase* node);
// The living node of `handle`; null when it has died or never was.
ContentBase* NodeOf(quint64 handle);
// Takes the handle of `node` away; false when it had none.
bool Forget(const ContentBase* node);

} // namespace ContentHandles
