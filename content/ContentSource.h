#pragma once

#include <QList>
#include <functional>

class ContentBase;

// The payload of the clipboard and of drags between views: a mode and a list of nodes in
// selection order. The nodes are named by address and not owned, so a payload is
// meaningful only inside the process that made it, and only while its nodes live.
//
// Liveness of clipboard payloads: the code that puts a payload on the clipboard registers
// its nodes with SetClipboardItems. Every node unregisters itself in its destructor
// (ForgetContent), on whatever thread it dies; a payload read back from the clipboard must
// keep only the nodes for which IsOnClipboard still holds. The clipboard itself is touched
// only on the GUI thread: there ForgetContent runs the clipboard pruner at once; a node
// that dies on another thread only unregisters and leaves the pruning to a call queued to
// the GUI thread.
class ContentSource
{
public:
    enum Mode {
        DraggedFromTree = 0,
        DraggedFromItemView = 1,
        CopiedToClipboard = 2,
        CutToClipboard = 3,
    };

    explicit ContentSource(int mode = DraggedFromTree, const QList<ContentBase*>& items = {});
    virtual ~ContentSource();

    int Mode() const { return mode_; }
    const QList<ContentBase*>& Items() const { return items_; }
    // Mode 0 and no items.
    void Clear();

    // Called by every ContentBase destructor, on any thread: unregisters `item` from the
    // clipboard payload and, when it was registered, has the pruner run on the GUI thread
    // (at once there, queued from elsewhere). Does nothing while the application closes.
    static void ForgetContent(const ContentBase* item);

    // Replaces the registered nodes by those of the payload just put on the clipboard
    // (an empty list when the clipboard no longer holds one of ours). Any thread.
    static void SetClipboardItems(const QList<ContentBase*>& items);
    // Whether `item` is still named by our clipboard payload and alive. Any thread.
    static bool IsOnClipboard(const ContentBase* item);
    // Installs the GUI-thread routine that rewrites the clipboard payload without the
    // nodes that are no longer registered (and clears it when none is left). An empty
    // function uninstalls it.
    static void SetClipboardPruner(std::function<void()> pruner);

private:
    int mode_;
    QList<ContentBase*> items_;
};
