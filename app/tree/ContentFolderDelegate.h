#pragma once

#include "app/tree/Delegate.h"
#include "app/views/ContentFolderView.h"

#include <QPersistentModelIndex>

// The controller of content-folder rows: the content keys and context menu on the row's
// folder, and the folder view, which shows the folder of the row made current. When the
// view moves into a sub-folder, the tree moves to that sub-folder's row if it lies
// directly below the row shown last. GUI thread.
class ContentFolderDelegate : public Delegate
{
    Q_OBJECT
public:
    explicit ContentFolderDelegate(NodeTree* tree);

    void KeyPressEvent(NodeTree* tree, QKeyEvent* event, Node* node) override;
    void ContextMenuEvent(NodeTree* tree, QContextMenuEvent* event, Node* node) override;
    QWidget* View(Node* node) override;

    ContentFolderView* FolderView() const { return view_.get(); }

public slots:
    void navigateTo(ContentFolder* folder);

private:
    OwnedView<ContentFolderView> view_;
    // The row shown last; invalid once that row has gone.
    QPersistentModelIndex shownRow_;
};
